#include <gtest/gtest.h>

#include <algorithm>

#include "recording_stage.h"
#include "show/form1.h"
#include "show/show_script.h"

namespace {

Color Grey(int v) {
    return RGB(v, v, v);
}

// The moment the show is at the key wait's first pump: step 13 starts at 38070 and types
// 104 draws, 515 ms; the pump after that returns 5 ms later.
constexpr std::int64_t kKeyWaitFirstPump = 38590;

struct Show {
    RecordingStage stage;
    Form1 form{stage};
    bool ended = false;

    // Plays the show with a key at the key wait's first pump.
    void Play(std::int64_t limitMs = 200000) {
        stage.PressKeyAt(kKeyWaitFirstPump);
        ended = stage.Run(form, limitMs);
    }
};

// What the viewer reads in each step, each typed character of each line in turn.
std::u16string TypedText(const std::vector<RecordingStage::Draw>& draws) {
    std::u16string text;
    const RecordingStage::Draw* previous = nullptr;
    for (const auto& draw : draws) {
        const bool samePlace =
            previous != nullptr && previous->x == draw.x && previous->y == draw.y;
        if (!samePlace) {
            text += draw.text;
        }
        previous = &draw;
    }
    return text;
}

TEST(ShowScript, KeepsItsTimelineWordsAndDrawCounts) {
    Show show;
    show.Play();
    ASSERT_TRUE(show.ended);

    const std::vector<std::int64_t> onsets{1000,  3275,  7070,  10745, 14580, 16815, 19030,
                                           21865, 24560, 27155, 29550, 33400, 35855, 38070,
                                           40090, 46270, 51165, 54080, 67875};
    EXPECT_EQ(show.stage.tickStarts, onsets);
    EXPECT_EQ(show.stage.now, 72875) << "the program ends 5000 ms after the end step starts";

    const std::vector<std::size_t> drawCounts{256, 160, 136, 168, 128, 104, 168, 140,  120, 80,
                                              17,  192, 144, 104, 36,  480, 384, 2560, 0};
    const std::vector<std::u16string> words{
        u"好戲就要上場了......",
        u"你相信這個世界上有超能力嗎? ",
        u"我現在就是要告訴你, 有....",
        u"現在我就要透過這個程式,證明給你們看..",
        u"等一下螢幕會出現數張撲克牌..",
        u"請你記住其中一張撲克牌,",
        u"記住,只要選一張,選定之後你就一直想著它",
        u"你不需要告訴我,你選了哪一張",
        u"也不需要按任何鍵,讓我來猜猜看",
        u"如果我猜中,那張牌就會自動消失!",
        u"請注意,撲克牌已經出現囉....",
        u"沒錯,繼續想,記住其中一張,不要說出來...",
        u"OK..,我已經知道你選哪一張了!",
        u"請按空白鍵,謎底揭曉吧!",
        u"看..你選的那一張撲克牌是不是不見了?而其他張有一部分還在,是不是?",
        u"哈哈哈...,我是不是猜中你選的牌了呢?其他你沒有選的牌, 還有一部分在螢幕上, 是不是?",
        u"你想知道為什麼我有超能力嗎?...嗯",
        u"好吧,告訴你..其實這是人類注意力運作機制的自然現象...稱為錯覺組合現象!",
        u""};
    // The height of each step's lines, in the order they are typed.
    const std::vector<std::vector<float>> lineYs{
        {0},  {40}, {80}, {120}, {120},     {120},     {120}, {0},       {40}, {40},
        {40}, {40}, {40}, {40},  {40, 100}, {40, 140}, {40},  {40, 190}, {}};
    for (int tick = 0; tick < 19; ++tick) {
        SCOPED_TRACE("step " + std::to_string(tick));
        const auto draws = show.stage.DrawsOfTick(tick);
        EXPECT_EQ(draws.size(), drawCounts[static_cast<std::size_t>(tick)]);
        std::vector<float> ys;
        for (const auto& draw : draws) {
            if (ys.empty() || ys.back() != draw.y) {
                ys.push_back(draw.y);
            }
        }
        EXPECT_EQ(ys, lineYs[static_cast<std::size_t>(tick)]);
        if (tick == 0) {
            EXPECT_EQ(draws.front().text, words[0]);
        } else {
            EXPECT_EQ(TypedText(draws), words[static_cast<std::size_t>(tick)]);
        }
    }
}

TEST(ShowScript, FadesEndInTheirGreyAndPlainLinesTypeInTheGreyLeftBehind) {
    Show show;
    show.Play();
    const int lastGrey[] = {255, 225, 225, 225, 225, 225, 225, 241, 251,
                            193, 193, 225, 225, 225, 225, 225, 241, 253};
    for (int tick = 0; tick < 18; ++tick) {
        const auto draws = show.stage.DrawsOfTick(tick);
        EXPECT_EQ(draws.back().color, Grey(lastGrey[tick])) << "step " << tick;
    }
    for (int plainStep : {10, 13, 14, 15}) {
        for (const auto& draw : show.stage.DrawsOfTick(plainStep)) {
            ASSERT_EQ(draw.color, Grey(lastGrey[plainStep])) << "step " << plainStep;
        }
    }
}

TEST(ShowScript, StepOneTypesFiveEmptyPositionsAfterItsSpace) {
    Show show;
    show.Play();
    const auto draws = show.stage.DrawsOfTick(1);
    ASSERT_EQ(draws.size(), 160U);
    EXPECT_EQ(draws[14 * 8].text, u" ");
    for (std::size_t d = 15 * 8; d < draws.size(); ++d) {
        EXPECT_EQ(draws[d].text, u"") << d;
    }
    EXPECT_EQ(draws.back().x, 760.0F);
}

TEST(ShowScript, EveryStepButTheZoomOpensAtThirtyPointsOnAClearedWindow) {
    Show show;
    show.Play();
    const auto& log = show.stage.log;
    const auto firstCls = std::find(log.begin(), log.end(), "Cls");
    ASSERT_NE(firstCls, log.end());
    EXPECT_EQ(std::count(log.begin(), log.end(), "Cls"), 17);
    for (auto cls = firstCls; cls != log.end(); cls = std::find(cls + 1, log.end(), "Cls")) {
        EXPECT_EQ(*(cls - 1), "FontSize 30");
    }
    // The zoom (step 0) comes before the first Cls and leaves the window black and empty.
    EXPECT_EQ(std::count(log.begin(), firstCls, "Print"), 256);
}

TEST(ShowScript, EndStepHoldsTheLastLinesFiveSecondsAndEnds) {
    Show show;
    show.Play();
    ASSERT_GE(show.stage.log.size(), 3U);
    const std::vector<std::string> tail(show.stage.log.end() - 3, show.stage.log.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"Sleep 1000", "Sleep 5000", "End"}));
    EXPECT_EQ(show.form.ShowStep, 18);
    ASSERT_EQ(show.stage.draws.size(), 2560U) << "step 17's two lines are still there";
    EXPECT_EQ(show.stage.draws.front().tick, 17);
    EXPECT_TRUE(show.stage.DrawsOfTick(18).empty());
}

TEST(ShowScript, AnyStepNumberOutsideTheScriptEndsTheShow) {
    for (std::int16_t step : {18, 19, 1000, 32767, -1, -18, -32768}) {
        RecordingStage stage;
        Form1 form(stage);
        form.ShowStep = step;
        EXPECT_THROW(form.Timer1_Timer(), ShowEnded) << step;
        EXPECT_EQ(stage.log, (std::vector<std::string>{"Sleep 5000", "End"})) << step;
        EXPECT_EQ(form.ShowStep, step);
    }
}

// A reader who cannot see the window hears each line once it is complete: its words are those
// the line's draws put on the screen, told after the last of them and before the next line.
TEST(ShowScript, EveryTypedLineIsAnnouncedOnceCompleteWithTheWordsItShows) {
    Show show;
    show.Play();
    const auto& announced = show.stage.announced;
    ASSERT_EQ(announced.size(), ShowMessages().size());
    const auto& draws = show.stage.allDraws;
    std::size_t lineStart = 0;
    for (const auto& announcement : announced) {
        SCOPED_TRACE(testing::Message() << "after draw " << announcement.drawsBefore);
        ASSERT_GT(announcement.drawsBefore, lineStart);
        const std::vector<RecordingStage::Draw> line(draws.begin() + lineStart,
                                                     draws.begin() + announcement.drawsBefore);
        EXPECT_EQ(announcement.line, TypedText(line));
        lineStart = announcement.drawsBefore;
    }
    EXPECT_EQ(lineStart, draws.size());
    EXPECT_EQ(announced[1].line, u"你相信這個世界上有超能力嗎? ");
}

TEST(ShowScript, MessagesForTheFontCheckAreEveryTypedLine) {
    const auto& messages = ShowMessages();
    ASSERT_EQ(messages.size(), 21U);
    EXPECT_EQ(messages.front(), u"好戲就要上場了......");
    EXPECT_EQ(messages.back(), u"稱為錯覺組合現象!");
}

}  // namespace
