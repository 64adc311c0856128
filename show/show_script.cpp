// The performance: eighteen steps, one per tick of Timer1, then the end step.

#include <array>
#include <string_view>

#include "show/card_reveal.h"
#include "show/form1.h"
#include "show/show_script.h"
#include "show/text_effects.h"

enum class CardCue {
    None,
    ShowFirstRow,            // then one pump, so that the row is on screen during the pause
    HideFirstRowAndWaitKey,  // the request is typed with the row still showing
    ShowSecondRow,           // then one pump
    HideSecondRow,           // before the first character of the step is drawn
};

namespace {

enum class Effect { None, Zoom, Fade, Plain };

// One typed line and the parameters of its effect: N positions at height y; the ramp step s
// of a fade; the draws per position k and the pause p of a plain line.
struct TypedLine {
    std::u16string_view message;
    Effect effect = Effect::None;
    std::int16_t N = 0;
    float y = 0;
    std::int16_t s = 0;
    std::int16_t k = 0;
    std::int16_t p = 0;
};

constexpr TypedLine Zoom(std::u16string_view message) {
    return {message, Effect::Zoom};
}
constexpr TypedLine Fade(std::u16string_view message, std::int16_t N, float y, std::int16_t s) {
    return {message, Effect::Fade, N, y, s};
}
constexpr TypedLine Plain(std::u16string_view message, std::int16_t N, float y, std::int16_t k,
                          std::int16_t p) {
    return {message, Effect::Plain, N, y, 0, k, p};
}

// How a step fixes the pause before the next one: a new Interval restarts the countdown to
// the next tick; a Sleep blocks the window and leaves the Interval as it is.
struct Pause {
    enum Kind { Interval, Sleep } kind;
    std::int32_t ms;
};

constexpr Pause Interval(std::int32_t ms) {
    return {Pause::Interval, ms};
}
constexpr Pause Sleep(std::int32_t ms) {
    return {Pause::Sleep, ms};
}

struct Step {
    std::array<TypedLine, 2> lines;
    Pause pause;
    CardCue beforeLines = CardCue::None;
    CardCue afterLines = CardCue::None;
};

// clang-format off
const std::array<Step, 18> kScript{{
    /*  0 */ {{Zoom(u"好戲就要上場了......")}, Sleep(1000)},
    /*  1 */ {{Fade(u"你相信這個世界上有超能力嗎? ", 20, 40, 32)}, Interval(3000)},
    /*  2 */ {{Fade(u"我現在就是要告訴你, 有....", 17, 80, 32)}, Interval(3000)},
    /*  3 */ {{Fade(u"現在我就要透過這個程式,證明給你們看..", 21, 120, 32)}, Interval(3000)},
    /*  4 */ {{Fade(u"等一下螢幕會出現數張撲克牌..", 16, 120, 32)}, Interval(1600)},
    /*  5 */ {{Fade(u"請你記住其中一張撲克牌,", 13, 120, 32)}, Interval(1700)},
    /*  6 */ {{Fade(u"記住,只要選一張,選定之後你就一直想著它", 21, 120, 32)}, Interval(2000)},
    /*  7 */ {{Fade(u"你不需要告訴我,你選了哪一張", 20, 0, 40)}, Interval(2000)},
    /*  8 */ {{Fade(u"也不需要按任何鍵,讓我來猜猜看", 20, 40, 50)}, Interval(2000)},
    /*  9 */ {{Fade(u"如果我猜中,那張牌就會自動消失!", 20, 40, 64)}, Interval(2000)},
    /* 10 */ {{Plain(u"請注意,撲克牌已經出現囉....", 17, 40, 1, 50)}, Sleep(3000),
              CardCue::None, CardCue::ShowFirstRow},
    /* 11 */ {{Fade(u"沒錯,繼續想,記住其中一張,不要說出來...", 24, 40, 32)}, Sleep(1500)},
    /* 12 */ {{Fade(u"OK..,我已經知道你選哪一張了!", 18, 40, 32)}, Interval(1500)},
    /* 13 */ {{Plain(u"請按空白鍵,謎底揭曉吧!", 13, 40, 8, 0)}, Sleep(1500),
              CardCue::None, CardCue::HideFirstRowAndWaitKey},
    /* 14 */ {{Plain(u"看..你選的那一張撲克牌是不是不見了?", 20, 40, 1, 0),
               Plain(u"而其他張有一部分還在,是不是?", 16, 100, 1, 0)}, Sleep(6000),
              CardCue::None, CardCue::ShowSecondRow},
    /* 15 */ {{Plain(u"哈哈哈...,我是不是猜中你選的牌了呢?", 30, 40, 8, 0),
               Plain(u"其他你沒有選的牌, 還有一部分在螢幕上, 是不是?", 30, 140, 8, 0)}, Sleep(2500),
              CardCue::HideSecondRow},
    /* 16 */ {{Fade(u"你想知道為什麼我有超能力嗎?...嗯", 24, 40, 16)}, Sleep(1000)},
    /* 17 */ {{Fade(u"好吧,告訴你..其實這是人類注意力運作機制的自然現象...", 30, 40, 4),
               Fade(u"稱為錯覺組合現象!", 10, 190, 4)}, Sleep(1000)},
}};
// clang-format on

void Type(StageServices& stage, const TypedLine& line) {
    const std::u16string message(line.message);
    switch (line.effect) {
        case Effect::None:
            break;
        case Effect::Zoom:
            OpeningZoom(stage, message);
            break;
        case Effect::Fade:
            FadeTypeLine(stage, message, line.N, line.y, line.s);
            break;
        case Effect::Plain:
            PlainTypeLine(stage, message, line.N, line.y, line.k, line.p);
            break;
    }
}

}  // namespace

const std::vector<std::u16string>& ShowMessages() {
    static const std::vector<std::u16string> messages = [] {
        std::vector<std::u16string> all;
        for (const Step& step : kScript) {
            for (const TypedLine& line : step.lines) {
                if (line.effect != Effect::None) {
                    all.emplace_back(line.message);
                }
            }
        }
        return all;
    }();
    return messages;
}

void Form1::PlayCardCue(CardCue cue) {
    switch (cue) {
        case CardCue::None:
            break;
        case CardCue::ShowFirstRow:
            ShowCardRow(stage_, CardOrder, kFirstRow);
            stage_.DoEvents();
            break;
        case CardCue::HideFirstRowAndWaitKey:
            HideCardRow(stage_, CardOrder, kFirstRow);
            WaitForKey(stage_, KeyFlag);
            break;
        case CardCue::ShowSecondRow:
            ShowCardRow(stage_, CardOrder, kSecondRow);
            stage_.DoEvents();
            break;
        case CardCue::HideSecondRow:
            HideCardRow(stage_, CardOrder, kSecondRow);
            break;
    }
}

void Form1::Timer1_Timer() {
    if (ShowStep < 0 || ShowStep >= static_cast<std::int16_t>(kScript.size())) {
        // The end step: the last lines stay on screen for five seconds, then the show is over.
        stage_.Sleep(5000);
        stage_.End();
    }
    const Step& step = kScript[static_cast<std::size_t>(ShowStep)];

    // Every step but the opening zoom starts on a cleared window at 30 points; the zoom's
    // own background changes do its clearing. Cls leaves the card panes alone.
    if (step.lines[0].effect != Effect::Zoom) {
        stage_.SetFontSize(30);
        stage_.Cls();
    }
    PlayCardCue(step.beforeLines);
    for (const TypedLine& line : step.lines) {
        Type(stage_, line);
    }
    PlayCardCue(step.afterLines);

    if (step.pause.kind == Pause::Interval) {
        stage_.SetInterval(step.pause.ms);
    } else {
        stage_.Sleep(step.pause.ms);
    }
    ++ShowStep;
}
