#pragma once

#include <array>
#include <cstdint>

// The deal: one random draw picks one of six fixed arrangements of twelve card slots.
// Entries 0 to 5 are the first row, 6 to 11 the second row. Position by position the two
// rows share the rank but never the card, which is the whole trick.
using Arrangement = std::array<std::int16_t, 12>;

// The arrangement, 1 to 6, that a draw x in [0, 1) chooses: 10 % each for 1 and 2,
// 20 % each for 3 to 6.
int ChooseArrangement(float x);

// The twelve slots of arrangement `number`, 1 to 6.
const Arrangement& ArrangementSlots(int number);
