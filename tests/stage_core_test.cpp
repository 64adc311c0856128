// The core every stage is built on, on the tests' recording stage: how a failure and the
// show's end become the one outcome, and the range of the card panes.

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "recording_stage.h"

namespace {

// A form whose first tick does what the test says.
struct ScriptedForm : FormEvents {
    std::function<void()> tick;
    RecordingStage* stage = nullptr;

    void Form_Load() override { stage->SetInterval(100); }
    void Form_KeyPress(std::int16_t& /*KeyAscii*/) override {}
    void Timer1_Timer() override { tick(); }
};

StageCore::Outcome Play(const std::function<void(RecordingStage&)>& tick, RecordingStage& stage) {
    ScriptedForm form;
    form.stage = &stage;
    form.tick = [&] { tick(stage); };
    stage.Run(form, 10000);
    EXPECT_TRUE(stage.ShowOutcome().has_value()) << "the show did not end";
    return stage.ShowOutcome().value_or(StageCore::Outcome::Ended);
}

TEST(StageCore, ThereAreEighteenCardPanesAndAskingForAnotherIsAFailure) {
    RecordingStage stage;
    EXPECT_NO_THROW(stage.Picture1(0));
    EXPECT_NO_THROW(stage.Picture1(17));
    EXPECT_THROW(stage.Picture1(18), std::out_of_range);
    EXPECT_THROW(stage.Picture1(-1), std::out_of_range);

    RecordingStage playing;
    EXPECT_EQ(Play([](RecordingStage& s) { s.Picture1(18).SetVisible(true); }, playing),
              StageCore::Outcome::Failed);
    EXPECT_EQ(playing.failure, "there is no card pane 18");
    EXPECT_FALSE(playing.ended);
}

// Whatever a step throws ends the show as a failure, with its words, and the show's own end is
// no failure. The first reason to end stands: what fails once the show is ending is not told.
TEST(StageCore, AFailureEndsTheShowAndTheFirstReasonToEndStands) {
    RecordingStage unknown;
    EXPECT_EQ(Play([](RecordingStage&) { throw 42; }, unknown), StageCore::Outcome::Failed);
    EXPECT_EQ(unknown.failure, "an unknown error");

    RecordingStage ended;
    EXPECT_EQ(Play([](RecordingStage& s) { s.End(); }, ended), StageCore::Outcome::Ended);
    EXPECT_EQ(ended.failure, "");

    RecordingStage failingWhileEnding;
    EXPECT_EQ(Play(
                  [](RecordingStage& s) {
                      try {
                          s.End();
                      } catch (const ShowEnded&) {
                          throw std::runtime_error("too late");
                      }
                  },
                  failingWhileEnding),
              StageCore::Outcome::Ended);
    EXPECT_EQ(failingWhileEnding.failure, "");
}

}  // namespace
