#include <gtest/gtest.h>

#include <set>

#include "recording_stage.h"
#include "show/text_effects.h"
#include "stage/face_metrics.h"

namespace {

Color Grey(int v) {
    return RGB(v, v, v);
}

TEST(FadeTypeLine, TypesPastTheMessageEndWithEmptyCharacters) {
    RecordingStage stage;
    const std::u16string message = u"你相信這個世界上有超能力嗎? ";
    ASSERT_EQ(message.size(), 15U);
    FadeTypeLine(stage, message, 20, 40, 32);

    ASSERT_EQ(stage.draws.size(), 160U);
    EXPECT_EQ(stage.pumpReturns.size(), 160U) << "every draw is followed by one pump";
    for (std::size_t d = 0; d < stage.draws.size(); ++d) {
        const auto& draw = stage.draws[d];
        const std::size_t position = d / 8;  // eight greys per position
        EXPECT_EQ(draw.x, 40.0F * static_cast<float>(position));
        EXPECT_EQ(draw.y, 40.0F);
        EXPECT_EQ(draw.color, Grey(1 + 32 * static_cast<int>(d % 8)));
        EXPECT_EQ(draw.text, position < 15 ? message.substr(position, 1) : u"") << d;
    }
    EXPECT_EQ(stage.Drawing().ForeColor(), Grey(225));
    EXPECT_EQ(stage.Drawing().CurrentX(), 0.0F);
    EXPECT_EQ(stage.CurrentY(), 40.0F + LineHeight(stage.Drawing().FontSize()));
}

TEST(FadeTypeLine, RampStepSetsTheDrawsPerPositionAndTheLastGrey) {
    struct Ramp {
        std::int16_t s;
        std::size_t draws;
        int lastGrey;
    };
    for (const Ramp& ramp : {Ramp{4, 64, 253}, Ramp{16, 16, 241}, Ramp{32, 8, 225},
                             Ramp{40, 7, 241}, Ramp{50, 6, 251}, Ramp{64, 4, 193}}) {
        RecordingStage stage;
        FadeTypeLine(stage, u"嗯", 1, 0, ramp.s);
        ASSERT_EQ(stage.draws.size(), ramp.draws) << ramp.s;
        EXPECT_EQ(stage.draws.front().color, Grey(1)) << ramp.s;
        EXPECT_EQ(stage.draws.back().color, Grey(ramp.lastGrey)) << ramp.s;
        EXPECT_EQ(stage.Drawing().ForeColor(), Grey(ramp.lastGrey)) << ramp.s;
    }
}

TEST(FadeTypeLine, GivesEveryCharacterItsOwnCellWhateverItsWidth) {
    RecordingStage stage;
    FadeTypeLine(stage, u"OK..,我", 6, 0, 64);
    std::vector<std::pair<float, std::u16string>> cells;
    for (std::size_t d = 0; d < stage.draws.size(); d += 4) {
        cells.emplace_back(stage.draws[d].x, stage.draws[d].text);
    }
    const std::vector<std::pair<float, std::u16string>> expected{
        {0, u"O"}, {40, u"K"}, {80, u"."}, {120, u"."}, {160, u","}, {200, u"我"}};
    EXPECT_EQ(cells, expected);
}

TEST(PlainTypeLine, PausesAfterEveryPositionIncludingTheEmptyOnes) {
    RecordingStage stage;
    stage.SetForeColor(Grey(193));
    PlainTypeLine(stage, u"請注意,撲克牌已經出現囉....", 17, 40, 1, 50);

    ASSERT_EQ(stage.draws.size(), 17U);
    EXPECT_EQ(stage.draws.back().text, u"");
    std::vector<std::string> perPosition;
    for (int i = 0; i < 17; ++i) {
        perPosition.insert(perPosition.end(), {"Print", "DoEvents", "Sleep 50"});
    }
    EXPECT_EQ(stage.log, perPosition) << "the last pause follows the empty 17th position";
    EXPECT_EQ(stage.now, 850);
    for (const auto& draw : stage.draws) {
        EXPECT_EQ(draw.color, Grey(193));
    }
}

TEST(PlainTypeLine, DrawsEachCharacterKTimesInPlaceInOneColour) {
    RecordingStage stage;
    stage.SetForeColor(Grey(225));
    PlainTypeLine(stage, u"請按", 3, 40, 8, 0);
    ASSERT_EQ(stage.draws.size(), 24U);
    EXPECT_EQ(stage.pumpReturns.size(), 24U);
    for (std::size_t d = 0; d < stage.draws.size(); ++d) {
        EXPECT_EQ(stage.draws[d].x, 40.0F * static_cast<float>(d / 8));
        EXPECT_EQ(stage.draws[d].color, Grey(225));
    }
    EXPECT_EQ(stage.draws[15].text, u"按");
    EXPECT_EQ(stage.draws[16].text, u"");
    EXPECT_EQ(stage.now, 115) << "24 consecutive draws take 23 pump periods";
}

TEST(OpeningZoom, GrowsAndBrightensOverADarkeningBackgroundAndLeavesItBlack) {
    RecordingStage stage;
    const std::u16string message = u"好戲就要上場了......";
    OpeningZoom(stage, message);

    ASSERT_EQ(stage.allDraws.size(), 256U);
    std::set<float> sizes;
    for (int i = 0; i < 256; ++i) {
        const auto& frame = stage.allDraws[static_cast<std::size_t>(i)];
        EXPECT_EQ(frame.text, message);
        EXPECT_EQ(frame.x, 0.0F);
        EXPECT_EQ(frame.y, 0.0F);
        EXPECT_EQ(frame.color, Grey(i));
        EXPECT_EQ(frame.fontSize, static_cast<float>(i / 4 + 1)) << i;
        sizes.insert(frame.fontSize);
    }
    EXPECT_EQ(sizes.size(), 64U);
    EXPECT_EQ(*sizes.rbegin(), 64.0F);
    EXPECT_EQ(stage.pumpReturns.size(), 256U);
    EXPECT_EQ(stage.now, 255 * 5);
    EXPECT_TRUE(stage.draws.empty()) << "the last background change erases the last frame";
    EXPECT_EQ(stage.Drawing().BackColor(), RGB(0, 0, 0));
    EXPECT_EQ(stage.Drawing().ForeColor(), RGB(255, 255, 255));
}

}  // namespace
