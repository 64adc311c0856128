#include <gtest/gtest.h>

#include <algorithm>

#include "recording_stage.h"
#include "show/card_reveal.h"
#include "show/form1.h"
#include "stage/face_metrics.h"

namespace {

constexpr CardOrderArray kOrder{9, 13, 6, 5, 17, 1, 10, 14, 8, 4, 15, 0, 12, 13, 14, 15, 16, 17};
constexpr float kLine = LineHeight(30);  // one text line at 30 points

std::vector<std::string> CardOperations(const std::vector<std::string>& log) {
    std::vector<std::string> operations;
    std::copy_if(log.begin(), log.end(), std::back_inserter(operations), [](const std::string& op) {
        return op.starts_with("Move") || op.starts_with("Show") || op.starts_with("Hide");
    });
    return operations;
}

TEST(CardRow, FirstRowStandsInAStraightLineUnderTheText) {
    RecordingStage stage;
    stage.SetCurrentY(100);
    ShowCardRow(stage, kOrder, kFirstRow);
    EXPECT_EQ(stage.log,
              (std::vector<std::string>{"Move 9 40 140", "Show 9", "Move 13 194 140", "Show 13",
                                        "Move 6 348 140", "Show 6", "Move 5 502 140", "Show 5",
                                        "Move 17 656 140", "Show 17", "Move 1 810 140", "Show 1"}));
    EXPECT_TRUE(stage.pumpReturns.empty());
}

TEST(CardRow, SecondRowIsShiftedTighterAndStaggered) {
    RecordingStage stage;
    stage.SetCurrentY(160);
    ShowCardRow(stage, kOrder, kSecondRow);
    EXPECT_EQ(stage.log,
              (std::vector<std::string>{"Move 10 70 320", "Show 10", "Move 14 222 310", "Show 14",
                                        "Move 8 374 320", "Show 8", "Move 4 526 310", "Show 4",
                                        "Move 15 678 320", "Show 15", "Move 0 830 310", "Show 0"}));
}

TEST(CardRow, HidingARowPumpsNothingAndMovesNothing) {
    RecordingStage stage;
    HideCardRow(stage, kOrder, kSecondRow);
    EXPECT_EQ(stage.log, (std::vector<std::string>{"Hide 10", "Hide 14", "Hide 8", "Hide 4",
                                                   "Hide 15", "Hide 0"}));
    EXPECT_TRUE(stage.pumpReturns.empty());
}

// The whole show with the deal of arrangement 3 (a draw of 0.25).
struct Show {
    RecordingStage stage;
    Form1 form{stage};

    Show() { stage.randomDraws = {0.25F}; }
    bool Play(std::int64_t limitMs = 200000) { return stage.Run(form, limitMs); }

    // The operations of step n (1 to 17), from its opening to the opening of the next step.
    std::vector<std::string> StepLog(int n) const {
        const auto& log = stage.log;
        auto begin = std::find(log.begin() + 1, log.end(), "Cls");
        for (int cls = 1; cls < n; ++cls) {
            begin = std::find(begin + 1, log.end(), "Cls");
        }
        const auto end = std::find(begin + 1, log.end(), "FontSize 30");
        return {begin - 1, end};
    }
};

// The key wait's first pump in a show whose key comes at once: step 13 starts at 38070 and
// types 104 draws, 515 ms.
constexpr std::int64_t kKeyWaitFirstPump = 38590;

TEST(Reveal, RowsStandUnderTheLinesTheirStepsTyped) {
    Show show;
    std::vector<int> stepOfOperation;
    show.stage.observer = [&](const std::string& op) {
        if (op.starts_with("Move") || op.starts_with("Show") || op.starts_with("Hide")) {
            stepOfOperation.push_back(show.form.ShowStep);
        }
    };
    show.stage.PressKeyAt(kKeyWaitFirstPump);
    ASSERT_TRUE(show.Play());

    const auto ops = CardOperations(show.stage.log);
    ASSERT_EQ(ops.size(), 18U + 36U);
    const std::vector<std::string> reveal(ops.begin() + 18, ops.end());
    const std::string top = LoggedNumber(40 + kLine + 40);
    const std::string low = LoggedNumber(100 + kLine + 160);
    const std::string high = LoggedNumber(100 + kLine + 150);
    EXPECT_EQ(reveal, (std::vector<std::string>{"Move 9 40 " + top,
                                                "Show 9",
                                                "Move 13 194 " + top,
                                                "Show 13",
                                                "Move 6 348 " + top,
                                                "Show 6",
                                                "Move 5 502 " + top,
                                                "Show 5",
                                                "Move 17 656 " + top,
                                                "Show 17",
                                                "Move 1 810 " + top,
                                                "Show 1",
                                                "Hide 9",
                                                "Hide 13",
                                                "Hide 6",
                                                "Hide 5",
                                                "Hide 17",
                                                "Hide 1",
                                                "Move 10 70 " + low,
                                                "Show 10",
                                                "Move 14 222 " + high,
                                                "Show 14",
                                                "Move 8 374 " + low,
                                                "Show 8",
                                                "Move 4 526 " + high,
                                                "Show 4",
                                                "Move 15 678 " + low,
                                                "Show 15",
                                                "Move 0 830 " + high,
                                                "Show 0",
                                                "Hide 10",
                                                "Hide 14",
                                                "Hide 8",
                                                "Hide 4",
                                                "Hide 15",
                                                "Hide 0"}));
    const std::vector<int> steps(stepOfOperation.begin() + 18, stepOfOperation.end());
    std::vector<int> expectedSteps(12, 10);
    expectedSteps.insert(expectedSteps.end(), 6, 13);
    expectedSteps.insert(expectedSteps.end(), 12, 14);
    expectedSteps.insert(expectedSteps.end(), 6, 15);
    EXPECT_EQ(steps, expectedSteps);
}

TEST(Reveal, EachRowIsOnScreenForThePauseThatFollowsIt) {
    Show show;
    show.stage.PressKeyAt(kKeyWaitFirstPump);
    ASSERT_TRUE(show.Play());
    auto After = [](const std::vector<std::string>& ops, const std::string& op) {
        const auto at = std::find(ops.begin(), ops.end(), op);
        return std::vector<std::string>(at + 1, ops.end());
    };
    EXPECT_EQ(After(show.StepLog(10), "Show 1"),
              (std::vector<std::string>{"DoEvents", "Sleep 3000"}));
    EXPECT_EQ(After(show.StepLog(14), "Show 0"),
              (std::vector<std::string>{"DoEvents", "Sleep 6000"}));
}

TEST(Reveal, StepThirteenHidesTheRowTogetherOnlyAfterItsRequestIsTyped) {
    Show show;
    show.stage.PressKeyAt(kKeyWaitFirstPump);
    ASSERT_TRUE(show.Play());
    const auto step = show.StepLog(13);
    const auto firstHide = std::find(step.begin(), step.end(), "Hide 9");
    ASSERT_NE(firstHide, step.end());
    EXPECT_EQ(std::count(step.begin(), firstHide, "Print"), 104);
    const std::vector<std::string> hides(firstHide, firstHide + 7);
    EXPECT_EQ(hides, (std::vector<std::string>{"Hide 9", "Hide 13", "Hide 6", "Hide 5", "Hide 17",
                                               "Hide 1", "DoEvents"}));
    EXPECT_EQ(step.back(), "Sleep 1500");
}

TEST(Reveal, StepFifteenHidesTheRowBeforeItsFirstCharacter) {
    Show show;
    show.stage.PressKeyAt(kKeyWaitFirstPump);
    ASSERT_TRUE(show.Play());
    const auto step = show.StepLog(15);
    const std::vector<std::string> start(step.begin(), step.begin() + 9);
    EXPECT_EQ(start, (std::vector<std::string>{"FontSize 30", "Cls", "Hide 10", "Hide 14", "Hide 8",
                                               "Hide 4", "Hide 15", "Hide 0", "Print"}));
}

TEST(KeyWait, KeysBeforeTheFlagIsEmptiedAreDiscarded) {
    Show show;
    for (std::int64_t at : {0, 1000, 20000, 30000, 38300, 38585}) {
        show.stage.PressKeyAt(at);  // the last while step 13 types its last character
    }
    EXPECT_FALSE(show.Play(120000));
    EXPECT_EQ(show.form.ShowStep, 13);
    EXPECT_EQ(show.stage.tickStarts.size(), 14U);
    EXPECT_TRUE(show.form.KeyFlag.empty());
}

TEST(KeyWait, AKeyPressedWhileTheRowIsHiddenEndsTheWaitAtItsFirstPump) {
    Show show;
    show.stage.observer = [&](const std::string& op) {
        if (op == "Hide 9") {
            show.stage.PressKey();
        }
    };
    ASSERT_TRUE(show.Play());
    EXPECT_EQ(show.stage.tickStarts.at(14), 40090);
}

TEST(KeyWait, TheFirstOfSeveralKeysEndsItAndTheRestChangeNothing) {
    Show show;
    for (std::int64_t at : {50000, 50001, 50003, 51000, 60000}) {
        show.stage.PressKeyAt(at);
    }
    ASSERT_TRUE(show.Play());
    const std::int64_t shift = 50000 - kKeyWaitFirstPump;
    const std::vector<std::int64_t> later{40090, 46270, 51165, 54080, 67875};
    for (std::size_t i = 0; i < later.size(); ++i) {
        EXPECT_EQ(show.stage.tickStarts.at(14 + i), later[i] + shift) << "step " << 14 + i;
    }
    EXPECT_EQ(show.form.KeyFlag, u"yes");
}

TEST(KeyWait, WithoutAKeyTheShowWaitsForAnHourAndMore) {
    Show show;
    constexpr std::int64_t kHour = 3600 * 1000;
    EXPECT_FALSE(show.Play(kHour + 40000));
    EXPECT_EQ(show.form.ShowStep, 13);
    EXPECT_EQ(show.stage.tickStarts.size(), 14U) << "no step started during the wait";
    EXPECT_GE(show.stage.pumpReturns.back(), kHour);
    EXPECT_TRUE(std::none_of(show.stage.panes.begin(), show.stage.panes.end(),
                             [](const RecordingPane& pane) { return pane.Visible(); }));
}

TEST(KeyWait, KeyPressOnlySetsTheFlag) {
    RecordingStage stage;
    Form1 form(stage);
    std::int16_t code = 27;
    form.Form_KeyPress(code);
    EXPECT_EQ(form.KeyFlag, u"yes");
    EXPECT_EQ(code, 27);
    EXPECT_TRUE(stage.log.empty());
}

}  // namespace
