#pragma once

// A stage for tests: records everything the show does and runs it in virtual time, over the
// stage core that every stage shares.
//
// Time is a virtual clock in ms, kept by the core's rules (ShowClock): pumps on the 5 ms grid,
// sleeps and held ticks. Drawing takes no time, so the show's time is the clock's. Text is set
// in the show's face, as on the real stages. Key presses are queued at virtual times and
// delivered at the first pump (or idle moment between ticks) at or after that time; a pump
// with nothing new to show waits for the next of them.

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "stage/form_events.h"
#include "stage/placed_pane.h"
#include "stage/stage_core.h"

class RecordingStage;

// How the log writes a number: as short as it goes, "40", "137.919998".
std::string LoggedNumber(float value);

// Logs each move, show and hide.
class RecordingPane : public PlacedPane {
  public:
    RecordingPane(RecordingStage& stage, int slot) : PlacedPane(slot), stage_(stage) {}

  private:
    void Moved() override;
    void VisibilityChanged() override;

    RecordingStage& stage_;
};

class RecordingStage : public StageCore {
  public:
    // One Print: where, in which colour and size, what, when, and in which tick (0 for the
    // first tick, -1 during Form_Load).
    struct Draw {
        float x;
        float y;
        Color color;
        float fontSize;
        std::u16string text;
        std::int64_t time;
        int tick;
    };

    // A drawing in the platform's face colour with black text at 9 points.
    RecordingStage();

    // Runs Form_Load, then the ticks, until the show ends or `limitMs` of virtual time
    // have passed. Returns true when the show ended itself.
    bool Run(FormEvents& form, std::int64_t limitMs);

    // A key press reaching the window at virtual time `at` (now when not given).
    void PressKeyAt(std::int64_t at);
    void PressKey() { PressKeyAt(now); }

    // The draws of tick `tick` only.
    std::vector<Draw> DrawsOfTick(int tick) const;

    // StageServices, recorded
    void SetWindowState(int state) override;
    void SetFontSize(float points) override;
    void Cls() override;
    void Print(const std::u16string& text) override;
    void Announce(const std::u16string& line) override;
    void SetInterval(std::int32_t ms) override;
    void DoEvents() override;
    void Sleep(std::int32_t ms) override;
    float Timer() override;
    void Randomize(float seed) override;
    float Rnd() override;
    [[noreturn]] void End() override;

    // What a test looks at.
    std::int64_t now = 0;
    std::int32_t interval = 0;
    std::vector<Draw> draws;       // the text drawn since the last Cls or BackColor
    std::vector<Draw> allDraws;    // every Print of the run
    std::vector<std::string> log;  // every operation but colours and positions, in order
    std::vector<std::int64_t> tickStarts;
    std::vector<std::int64_t> pumpReturns;
    std::vector<RecordingPane> panes;  // Picture1(0) to Picture1(17)
    bool ended = false;
    std::string failure;  // what made the show stop, if it failed
    // Every line announced, with when and after how many draws of the run.
    struct Announcement {
        std::u16string line;
        std::int64_t time;
        std::size_t drawsBefore;
    };
    std::vector<Announcement> announced;

    // Called with every operation as it is logged, e.g. to press a key at a chosen moment.
    std::function<void(const std::string& operation)> observer;
    void Record(std::string operation);

    // What the runtime hands the show.
    float timeOfDay = 45296.5F;            // 12:34:56.5
    std::vector<float> randomDraws{0.5F};  // handed out in turn, the last one repeatedly
    std::vector<float> seeds;

  private:
    // StageCore, in virtual time
    ShowClock::Ms Now() const override { return ShowClock::Ms(now); }
    ShowClock::Ms WaitForAnEvent() override;
    void HandleEventsUntil(ShowClock::Ms until) override;
    void TakeInput() override { DeliverKeysUpTo(now); }
    void Erase() override { draws.clear(); }
    void Paint(const TextStroke& /*stroke*/) override {}
    CardPane& Pane(int slot) override { return panes[static_cast<std::size_t>(slot)]; }
    void StepStarting() override;
    void SayWhatFailed(const std::string& what) override { failure = what; }

    void DeliverKeysUpTo(std::int64_t time);
    // The first key press still to come, or a moment past the time limit when none is.
    std::int64_t NextKeyOrLimit() const;

    std::vector<std::int64_t> pendingKeys_;
    std::int64_t limit_ = std::numeric_limits<std::int64_t>::max();
    std::size_t nextRandom_ = 0;
    int tick_ = -1;
};
