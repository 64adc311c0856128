#include "show/form1.h"

#include <algorithm>

#include "show/deal.h"

void Form1::Form_Load() {
    stage_.SetWindowState(StageServices::kMaximized);
    stage_.SetInterval(1000);
    for (std::int16_t i = 0; i < static_cast<std::int16_t>(CardOrder.size()); ++i) {
        CardOrder[static_cast<std::size_t>(i)] = i;
        stage_.Picture1(i).SetVisible(false);
    }
    stage_.Randomize(stage_.Timer());
    const float x = stage_.Rnd();
    const Arrangement& dealt = ArrangementSlots(ChooseArrangement(x));
    std::copy(dealt.begin(), dealt.end(), CardOrder.begin());
}

void Form1::Form_KeyPress(std::int16_t& /*KeyAscii*/) {
    KeyFlag = u"yes";
}
