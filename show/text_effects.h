#pragma once

#include <cstdint>
#include <string>

#include "stage/stage_services.h"

// The three ways the show puts words on the screen. Each is a blocking loop that pumps the
// window's events after every single draw; a draw is: set CurrentX, set CurrentY, (in a
// fade) set ForeColor, Print one character, DoEvents. Character i of a typed line (from 1)
// sits in a 40-pixel cell at x = 40 * (i - 1), whatever its width. Positions past the
// message's end are typed as empty characters and take their draws and pauses all the same.
// Once a line is complete, the stage is told the words it shows (Announce).

// The message drawn 256 times at the top left, growing from 1 to 64 points and brightening
// from black to white while the background darkens from white to black. The window is black
// and empty afterwards.
void OpeningZoom(StageServices& stage, const std::u16string& message);

// Types N positions at height y; each character is drawn over itself in the greys
// 1, 1 + s, 1 + 2s, ... up to 255, so that it fades in out of the black.
void FadeTypeLine(StageServices& stage, const std::u16string& message, std::int16_t N, float y,
                  std::int16_t s);

// Types N positions at height y in the colour the window already has: k draws per
// position, then a pause of p ms when p is positive.
void PlainTypeLine(StageServices& stage, const std::u16string& message, std::int16_t N, float y,
                   std::int16_t k, std::int16_t p);
