#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#include "stage/card_pane_widget.h"
#include "stage/form_events.h"
#include "stage/screen_saver_inhibitor.h"
#include "stage/show_window.h"
#include "stage/stage_services.h"
#include "stage/wake_timer.h"

class StageTrace;

// The real stage: the show window on the screen, its eighteen card panes, the tick timer
// and the runtime services, on Qt's one user-interface thread.
//
// Pumps return on a 5 ms grid: consecutive pumps return 5 ms apart without drift, and a pump
// that comes later than its slot returns at once and starts a new grid. While a pump waits,
// it blocks in the event loop. Drawing counts as taking no time: the grid, the sleeps and the
// tick countdowns run on the show's own time, which lags the clock by at most a few draw
// periods. A pump that follows another with nothing drawn, shown, hidden or slept in between
// has nothing new for the screen: it waits in the event loop until an event comes, so a show
// waiting for a key uses no processor time and answers the key as soon as it is handled.
//
// A sleep blocks the show, not the window: the event loop runs on while the user's input is
// held back, so what the step drew reaches the screen and the window repaints, answers the
// window manager and can be closed; key presses wait, in order, for the next pump, and no
// tick starts.
//
// The next tick is due Interval ms after the later of the last tick's start and the last
// Interval assignment. A tick never starts while a step runs; one that falls due meanwhile
// comes once, right after the step returns.
//
// Closing the window ends the show with status 0, and a failure of the show or of the stage
// ends it with status 1 after saying what failed: at once when no step runs, otherwise at
// the step's next pump or sleep, which then unwind it.
class QtStage : public QObject, public StageServices {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kDrawPeriod = std::chrono::milliseconds(5);
    // How far the screen may fall behind the show's time before the show gives up on it.
    static constexpr auto kMaxLag = 5 * kDrawPeriod;

    // Needs a QApplication.
    QtStage();
    ~QtStage() override;

    // Loads `form`, shows the window and plays ticks until the show ends or the window is
    // closed; returns the program's exit status.
    int Play(FormEvents& form);

    ShowWindow& Window() { return window_; }
    // Watches the stage's timing; null, the default, for none.
    void SetTrace(StageTrace* trace) { trace_ = trace; }

    // StageServices
    void SetWindowState(int state) override;
    void SetCurrentX(float x) override { window_.SetCurrentX(x); }
    void SetCurrentY(float y) override { window_.SetCurrentY(y); }
    float CurrentY() const override { return window_.CurrentY(); }
    void SetFontSize(float points) override { window_.SetFontSize(points); }
    void SetForeColor(Color color) override;
    void SetBackColor(Color color) override;
    void Cls() override;
    void Print(const std::u16string& text) override;
    CardPane& Picture1(std::int16_t index) override;
    void SetInterval(std::int32_t ms) override;
    void DoEvents() override;
    void Sleep(std::int32_t ms) override;
    float Timer() override;
    void Randomize(float seed) override;
    float Rnd() override;
    [[noreturn]] void End() override;

  private:
    // Ticks
    void OnTick();
    void ArmTick();
    // Pumps and sleeps
    void HandleEventsUntil(Clock::time_point until);
    Clock::time_point ShowTime();
    // Events of the window
    void OnKeyTyped(char16_t code);
    void OnCloseRequested();
    void OnFirstPainted();
    void PrepareForTheShow();
    // The end of the show
    void RunHandler(const std::function<void()>& handler);
    void Fail(const QString& what);
    void EndShow(int status);
    void ThrowIfEnding() const;
    void Finish();

    ShowWindow window_;
    std::vector<std::unique_ptr<CardPaneWidget>> panes_;
    FormEvents* form_ = nullptr;
    StageTrace* trace_ = nullptr;

    WakeTimer tickTimer_;
    WakeTimer pumpTimer_;
    QTimer preparation_;
    ScreenSaverInhibitor screenSaver_;
    std::int32_t interval_ = 0;
    Clock::time_point tickDue_;
    bool inStep_ = false;
    bool changedSincePump_ = true;
    // Set once the show is to end, with the program's exit status.
    std::optional<int> exitStatus_;

    Clock::time_point showTime_;
    Clock::time_point nextPumpSlot_;
    std::mt19937 generator_;
};
