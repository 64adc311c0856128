#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "stage/form_events.h"
#include "stage/qt/card_pane_widget.h"
#include "stage/qt/screen_saver_inhibitor.h"
#include "stage/qt/show_window.h"
#include "stage/qt/wake_timer.h"
#include "stage/stage_core.h"

// The desktop's stage: the show window on the screen, its eighteen card panes, the tick timer
// and the runtime services, on Qt's one user-interface thread, over the stage core.
//
// While a pump waits, it blocks in the event loop; a pump with nothing new for the screen
// waits there until an event comes, so a show waiting for a key uses no processor time and
// answers the key as soon as it is handled.
//
// A sleep blocks the show, not the window: the event loop runs on while the user's input is
// held back, so what the step drew reaches the screen and the window repaints, answers the
// window manager and can be closed; key presses wait, in order, for the next pump, and no
// tick starts.
//
// Closing the window ends the show with status 0, and a failure of the show or of the stage
// ends it with status 1 after saying what failed: at once when no step runs, otherwise at
// the step's next pump or sleep, which then unwind it.
class QtStage : public QObject, public StageCore {
  public:
    using Clock = std::chrono::steady_clock;

    // Needs a QApplication.
    QtStage();
    ~QtStage() override;

    // Loads `form`, shows the window and plays ticks until the show ends or the window is
    // closed; returns the program's exit status.
    int Play(FormEvents& form);

    ShowWindow& Window() { return window_; }

    // StageServices
    void SetWindowState(int state) override;
    // A desktop's screen reader reads the window's widgets, and the show has none to give it.
    void Announce(const std::u16string& /*line*/) override {}
    float Timer() override;

  private:
    // StageCore
    ShowClock::Ms Now() const override;
    ShowClock::Ms WaitForAnEvent() override;
    void HandleEventsUntil(ShowClock::Ms until) override;
    void HoldInputUntil(ShowClock::Ms until) override;
    void ShowFrameNow() override;
    void Erase() override { window_.Erase(); }
    void Paint(const TextStroke& stroke) override { window_.Draw(stroke); }
    CardPane& Pane(int slot) override { return *panes_[static_cast<std::size_t>(slot)]; }
    void StepStarting() override;
    void IntervalSet() override;
    void ShowEnding() override;
    void SayWhatFailed(const std::string& what) override;

    // Ticks
    void OnTick();
    void ArmTick();
    // Events of the window
    void OnFirstPainted();
    void PrepareForTheShow();
    void Finish();

    ShowWindow window_;
    std::vector<std::unique_ptr<CardPaneWidget>> panes_;

    WakeTimer tickTimer_;
    WakeTimer pumpTimer_;
    QTimer preparation_;
    ScreenSaverInhibitor screenSaver_;
};
