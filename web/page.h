#pragma once

#include <string>

// What the browser stage asks of the page's script (page.js). None of these calls back into
// the WebAssembly; Wait is the one that yields to the browser.
namespace page {

// Bits of TakeChanges().
inline constexpr int kResized = 1;
inline constexpr int kVisibility = 2;

// The page's clock, performance.now(), in ms.
double Now();
// Seconds since local midnight.
double SecondsSinceMidnight();

// Decodes the show's face and the card faces; false, once the page has said why, when it
// cannot.
bool Prepare();
// Yields to the browser until `until` (Now(); none when negative), until the viewport or the
// page's visibility changes, or, when `forInput`, until a key or a tap comes.
void Wait(double until, bool forInput);
// The next key code the viewer typed (a tap counts as a space), or -1 when there is none.
int NextKey();
// What changed since the last call: kResized, kVisibility.
int TakeChanges();
bool Visible();
double ViewportWidth();
double ViewportHeight();

// Sizes the drawing to the viewport at `scale` logical pixels per CSS pixel; it is then blank.
void Fit(double scale);
void Erase(unsigned color);
void DrawText(double x, double baseline, unsigned color, double pixels, const std::u16string& text);
void PlaceCard(int slot, double left, double top, double scale);
void ShowCard(int slot, bool visible);
// What a screen reader says of the card in `slot` (UTF-8).
void NameCard(int slot, const std::string& name);
// A typed line, complete, for screen readers; nothing of it shows.
void Say(const std::u16string& line);

void KeepAwake(bool wanted);
// Shows the replay button and returns once it has been pressed.
void OfferReplay();
void Fail(const std::string& message);
// Tells whoever measures the show what it did: `event` at Now(), with a detail.
void Trace(const char* event, int detail);

}  // namespace page
