#include "stage/text_drawing.h"

#include "stage/face_metrics.h"

TextDrawing::TextDrawing(Color backColor, Color foreColor, float points)
    : backColor_(backColor), foreColor_(foreColor), points_(points) {}

void TextDrawing::SetBackColor(Color color) {
    backColor_ = color;
    strokes_.clear();
}

void TextDrawing::Cls() {
    strokes_.clear();
    currentX_ = 0;
    currentY_ = 0;
}

const TextStroke* TextDrawing::Print(const std::u16string& text) {
    const TextStroke* stroke = nullptr;
    if (!text.empty()) {
        strokes_.push_back(
            {currentX_, currentY_ + BaselineOffset(points_), foreColor_, points_, text});
        stroke = &strokes_.back();
    }
    currentX_ = 0;
    currentY_ += LineHeight(points_);
    return stroke;
}
