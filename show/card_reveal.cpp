#include "show/card_reveal.h"

#include <cstddef>

namespace {

CardPane& CardAt(StageServices& stage, const CardOrderArray& cardOrder, const CardRow& row,
                 std::size_t n) {
    return stage.Picture1(cardOrder.at(static_cast<std::size_t>(row.firstEntry) + n));
}

}  // namespace

void ShowCardRow(StageServices& stage, const CardOrderArray& cardOrder, const CardRow& row) {
    const float y = stage.CurrentY();
    for (std::size_t n = 0; n < row.topOffsets.size(); ++n) {
        float left = row.firstLeft;
        if (n > 0) {
            const CardPane& previous = CardAt(stage, cardOrder, row, n - 1);
            left = previous.Width() + previous.Left() + row.gap;
        }
        CardPane& card = CardAt(stage, cardOrder, row, n);
        card.Move(left, y + row.topOffsets[n]);
        card.SetVisible(true);
    }
}

void HideCardRow(StageServices& stage, const CardOrderArray& cardOrder, const CardRow& row) {
    for (std::size_t n = 0; n < row.topOffsets.size(); ++n) {
        CardAt(stage, cardOrder, row, n).SetVisible(false);
    }
}

void WaitForKey(StageServices& stage, std::u16string& keyFlag) {
    keyFlag.clear();
    do {
        stage.DoEvents();
    } while (keyFlag != u"yes");
}
