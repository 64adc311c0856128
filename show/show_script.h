#pragma once

#include <string>
#include <vector>

// Every line the show puts on the screen, in the order it appears; the stage checks at
// start-up that the installed fonts can draw each of their characters.
const std::vector<std::u16string>& ShowMessages();
