#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "stage/stage_services.h"

using CardOrderArray = std::array<std::int16_t, 18>;

// Six cards laid out left to right under the line typed last. Card n's slot is
// CardOrder[firstEntry + n]; its top is CurrentY + topOffsets[n].
struct CardRow {
    int firstEntry;
    float firstLeft;
    float gap;
    std::array<float, 6> topOffsets;
};

// The cards the viewer picks from, in a straight line.
inline constexpr CardRow kFirstRow{0, 40, 4, {40, 40, 40, 40, 40, 40}};
// The look-alikes, shifted right, closer together and staggered, so that the two rows never
// line up.
inline constexpr CardRow kSecondRow{6, 70, 2, {160, 150, 160, 150, 160, 150}};

// Moves and then shows each card of the row in turn, left to right; each card's left edge is
// read from the card placed before it.
void ShowCardRow(StageServices& stage, const CardOrderArray& cardOrder, const CardRow& row);

// Hides the six cards of the row, with no pump in between.
void HideCardRow(StageServices& stage, const CardOrderArray& cardOrder, const CardRow& row);

// Empties the key flag, then pumps events until a key press has set it to "yes".
void WaitForKey(StageServices& stage, std::u16string& keyFlag);
