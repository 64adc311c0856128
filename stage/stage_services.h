#pragma once

// Everything the show asks of its window, its card panes, its timer and the runtime.
// The show logic sees the stage only through these two interfaces; the Qt window
// implements them for the real program and a recording fake implements them for tests.
//
// Positions and sizes are logical pixels of the window's client area (origin top left,
// y downwards), colours are 24-bit RGB with red in the low byte, times are milliseconds.

#include <cstdint>
#include <string>

using Color = std::uint32_t;

// Colour composition: red in the low byte, then green, then blue.
constexpr Color RGB(int red, int green, int blue) {
    return static_cast<Color>(red & 0xFF) | static_cast<Color>(green & 0xFF) << 8 |
           static_cast<Color>(blue & 0xFF) << 16;
}

// The `length` UTF-16 code units of `text` from position `start` (counting from 1), as many
// as there are, or the empty string when the position lies outside the text. The show takes
// one character at a time.
inline std::u16string Mid(const std::u16string& text, int start, int length) {
    if (start < 1 || length < 1 || static_cast<std::size_t>(start) > text.size()) {
        return {};
    }
    return text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(length));
}

// Thrown by End(), and by a pump or a sleep once the show is to end (the user closed the
// window, or something failed). It unwinds the running step back to the stage, which then
// ends the program.
struct ShowEnded {};

// A card pane's size, its face's, in logical pixels.
inline constexpr float kCardWidth = 150;
inline constexpr float kCardHeight = 200;

// One card pane, Picture1(i): kCardWidth x kCardHeight, shows its face unscaled, never takes
// the keyboard.
class CardPane {
  public:
    virtual ~CardPane() = default;
    virtual void Move(float left, float top) = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual float Left() const = 0;
    virtual float Width() const = 0;
};

class StageServices {
  public:
    static constexpr int kMaximized = 2;

    virtual ~StageServices() = default;

    // Window and drawing state.
    virtual void SetWindowState(int state) = 0;
    virtual void SetCurrentX(float x) = 0;
    virtual void SetCurrentY(float y) = 0;
    virtual float CurrentY() const = 0;
    virtual void SetFontSize(float points) = 0;
    virtual void SetForeColor(Color color) = 0;
    // Fills the whole drawing with the colour, erasing all text.
    virtual void SetBackColor(Color color) = 0;
    // Erases the drawing to the background colour and puts CurrentX and CurrentY at 0.
    // Card panes are not touched.
    virtual void Cls() = 0;
    // Draws the text glyphs-only at (CurrentX, CurrentY), then ends the line: CurrentX
    // becomes 0 and CurrentY moves down by one text line. An empty text still moves down.
    virtual void Print(const std::u16string& text) = 0;
    // A typed line is complete, and these are its words: for the viewers who hear the show
    // rather than see it, where the stage has a screen reader to tell. Nothing is drawn.
    virtual void Announce(const std::u16string& line) = 0;

    // The card pane of slot `index`, 0 to 17.
    virtual CardPane& Picture1(std::int16_t index) = 0;

    // The next tick comes `ms` after this assignment.
    virtual void SetInterval(std::int32_t ms) = 0;

    // Handles pending paints and key presses; consecutive pumps return on a 5 ms grid.
    virtual void DoEvents() = 0;
    // Blocks the show for `ms`: keys wait for the next pump and ticks for the step's end. The
    // window still shows what was drawn, and closing it ends the show at once.
    virtual void Sleep(std::int32_t ms) = 0;

    // Seconds since local midnight.
    virtual float Timer() = 0;
    virtual void Randomize(float seed) = 0;
    // Uniform in [0, 1); never 1.
    virtual float Rnd() = 0;

    // Ends the program at once; never returns (throws ShowEnded).
    [[noreturn]] virtual void End() = 0;
};
