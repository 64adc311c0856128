#pragma once

// A stage for tests: records everything the show does and runs it in virtual time.
//
// Time is a virtual clock in ms, kept by the rules every stage keeps the show's time by
// (ShowClock): pumps on the 5 ms grid, sleeps and held ticks. Drawing takes no time, so the
// show's time is the clock's. Key presses are queued at virtual times and delivered at the
// first pump (or idle moment between ticks) at or after that time; a pump with nothing new to
// show waits for the next of them.

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "stage/form_events.h"
#include "stage/show_clock.h"
#include "stage/stage_services.h"

class RecordingStage;

class RecordingPane : public CardPane {
  public:
    RecordingPane(RecordingStage& stage, int index) : stage_(stage), index_(index) {}
    void Move(float left, float top) override;
    void SetVisible(bool show) override;
    float Left() const override { return left; }
    float Width() const override { return 150; }

    float left = 0;
    float top = 0;
    bool visible = true;

  private:
    RecordingStage& stage_;
    int index_;
};

class RecordingStage : public StageServices {
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

    // Text height of one line per point of font size, unless `lineHeight` says otherwise.
    static constexpr float kLineHeightPerPoint = 2.0F;

    RecordingStage();

    // Runs Form_Load, then the ticks, until the show ends or `limitMs` of virtual time
    // have passed. Returns true when the show ended itself.
    bool Run(FormEvents& form, std::int64_t limitMs);

    // A key press reaching the window at virtual time `at` (now when not given).
    void PressKeyAt(std::int64_t at);
    void PressKey() { PressKeyAt(now); }

    // The draws of tick `tick` only.
    std::vector<Draw> DrawsOfTick(int tick) const;

    // StageServices
    void SetWindowState(int state) override;
    void SetCurrentX(float x) override { currentX = x; }
    void SetCurrentY(float y) override { currentY = y; }
    float CurrentY() const override { return currentY; }
    void SetFontSize(float points) override;
    void SetForeColor(Color color) override { foreColor = color; }
    void SetBackColor(Color color) override;
    void Cls() override;
    void Print(const std::u16string& text) override;
    void Announce(const std::u16string& line) override;
    CardPane& Picture1(std::int16_t index) override;
    void SetInterval(std::int32_t ms) override;
    void DoEvents() override;
    void Sleep(std::int32_t ms) override;
    float Timer() override;
    void Randomize(float seed) override;
    float Rnd() override;
    [[noreturn]] void End() override;

    // What a test looks at.
    std::int64_t now = 0;
    float currentX = 0;
    float currentY = 0;
    float fontSize = 9;
    Color foreColor = RGB(0, 0, 0);
    Color backColor = RGB(240, 240, 240);
    std::int32_t interval = 0;
    std::vector<Draw> draws;     // the text drawn since the last Cls or BackColor
    std::vector<Draw> allDraws;  // every Print of the run
    // Every line announced, with when and after how many draws of the run.
    struct Announcement {
        std::u16string line;
        std::int64_t time;
        std::size_t drawsBefore;
    };
    std::vector<Announcement> announced;
    std::vector<std::string> log;  // every operation but colours, in order
    std::vector<std::int64_t> tickStarts;
    std::vector<std::int64_t> pumpReturns;
    std::vector<RecordingPane> panes;  // Picture1(0) to Picture1(17)
    bool ended = false;

    // Called with every operation as it is logged, e.g. to press a key at a chosen moment.
    std::function<void(const std::string& operation)> observer;
    void Record(std::string operation);

    // How far Print moves CurrentY down at a font size in points.
    float (*lineHeight)(float points) = [](float points) { return points * kLineHeightPerPoint; };

    // What the runtime hands the show.
    float timeOfDay = 45296.5F;            // 12:34:56.5
    std::vector<float> randomDraws{0.5F};  // handed out in turn, the last one repeatedly
    std::vector<float> seeds;

  private:
    struct TimeLimit {};

    void DeliverKeysUpTo(std::int64_t time);
    // The first key press still to come, or a moment past the time limit when none is.
    std::int64_t NextKeyOrLimit() const;

    ShowClock clock_;
    FormEvents* form_ = nullptr;
    std::vector<std::int64_t> pendingKeys_;
    std::int64_t limit_ = std::numeric_limits<std::int64_t>::max();
    std::size_t nextRandom_ = 0;
    int tick_ = -1;
};
