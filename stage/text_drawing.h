#pragma once

#include <string>
#include <vector>

#include "stage/stage_services.h"

// One Print of a text: its glyphs at `x` on a baseline, in a colour and a size in points.
struct TextStroke {
    float x;
    float baseline;
    Color color;
    float points;
    std::u16string text;
};

// The show window's drawing state, and the text drawn since the drawing was last erased, the
// same on every stage: the stage draws each stroke as Print hands it out, and all of them again,
// in order, when it has to draw the window anew (at a new scale, say). Print sets its text in
// the show's face, with its baseline one ascent below CurrentY, and then ends the line.
class TextDrawing {
  public:
    TextDrawing(Color backColor, Color foreColor, float points);

    void SetCurrentX(float x) { currentX_ = x; }
    void SetCurrentY(float y) { currentY_ = y; }
    float CurrentX() const { return currentX_; }
    float CurrentY() const { return currentY_; }
    void SetFontSize(float points) { points_ = points; }
    float FontSize() const { return points_; }
    void SetForeColor(Color color) { foreColor_ = color; }
    Color ForeColor() const { return foreColor_; }
    // The whole drawing takes the colour: all text is erased; the position stays.
    void SetBackColor(Color color);
    Color BackColor() const { return backColor_; }
    // All text is erased and the position goes back to 0, 0.
    void Cls();
    // The stroke that draws `text` where the position is, or null for an empty text, which
    // draws nothing. Either way the line then ends: CurrentX goes to 0 and CurrentY one line
    // down.
    const TextStroke* Print(const std::u16string& text);

    // Every stroke since the drawing was last erased, in the order they came.
    const std::vector<TextStroke>& Strokes() const { return strokes_; }

  private:
    Color backColor_;
    Color foreColor_;
    float points_;
    float currentX_ = 0;
    float currentY_ = 0;
    std::vector<TextStroke> strokes_;
};
