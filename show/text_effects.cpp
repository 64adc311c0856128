#include "show/text_effects.h"

#include <optional>

namespace {

constexpr int kCellWidth = 40;

// One draw of `character` at position i of a line at height y, in `color` when one is given.
void DrawCharacter(StageServices& stage, std::int16_t i, float y, const std::u16string& character,
                   std::optional<Color> color) {
    stage.SetCurrentX(static_cast<float>(kCellWidth * (i - 1)));
    stage.SetCurrentY(y);
    if (color) {
        stage.SetForeColor(*color);
    }
    stage.Print(character);
    stage.DoEvents();
}

}  // namespace

void OpeningZoom(StageServices& stage, const std::u16string& message) {
    for (std::int16_t i = 0; i <= 255; ++i) {
        stage.SetCurrentX(0);
        stage.SetCurrentY(0);
        stage.SetForeColor(RGB(i, i, i));
        stage.SetFontSize(static_cast<float>(i / 4 + 1));  // four frames to each size
        stage.Print(message);
        stage.DoEvents();
        stage.SetBackColor(RGB(255 - i, 255 - i, 255 - i));
    }
    stage.Announce(message);
}

void FadeTypeLine(StageServices& stage, const std::u16string& message, std::int16_t N, float y,
                  std::int16_t s) {
    for (std::int16_t i = 1; i <= N; ++i) {
        const std::u16string character = Mid(message, i, 1);
        for (std::int16_t j = 1; j <= 255; j += s) {
            DrawCharacter(stage, i, y, character, RGB(j, j, j));
        }
    }
    stage.Announce(Mid(message, 1, N));
}

void PlainTypeLine(StageServices& stage, const std::u16string& message, std::int16_t N, float y,
                   std::int16_t k, std::int16_t p) {
    for (std::int16_t i = 1; i <= N; ++i) {
        const std::u16string character = Mid(message, i, 1);
        for (std::int16_t draw = 1; draw <= k; ++draw) {
            DrawCharacter(stage, i, y, character, std::nullopt);
        }
        if (p > 0) {
            stage.Sleep(p);
        }
    }
    stage.Announce(Mid(message, 1, N));
}
