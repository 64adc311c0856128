#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "stage/form_events.h"
#include "stage/qt/card_pane_widget.h"
#include "stage/qt/screen_saver_inhibitor.h"
#include "stage/qt/show_window.h"
#include "stage/qt/wake_timer.h"
#include "stage/show_clock.h"
#include "stage/show_random.h"
#include "stage/stage_services.h"

class StageTrace;

// The desktop's stage: the show window on the screen, its eighteen card panes, the tick timer
// and the runtime services, on Qt's one user-interface thread. It keeps the show's time by the
// rules of ShowClock: the 5 ms pump grid, the show's own time and the held ticks.
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
class QtStage : public QObject, public StageServices {
  public:
    using Clock = std::chrono::steady_clock;

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
    void SetForeColor(Color color) override { window_.SetForeColor(color); }
    void SetBackColor(Color color) override;
    void Cls() override;
    void Print(const std::u16string& text) override;
    // A desktop's screen reader reads the window's widgets, and the show has none to give it.
    void Announce(const std::u16string& /*line*/) override {}
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
    void HandleEventsUntil(ShowClock::Ms until);
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
    ShowClock clock_;
    // Set once the show is to end, with the program's exit status.
    std::optional<int> exitStatus_;
    ShowRandom random_;
};
