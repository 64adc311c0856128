#pragma once

#include <string>
#include <vector>

#include "stage/form_events.h"
#include "stage/placed_pane.h"
#include "stage/stage_core.h"

class WebStage;

// Picture1(i) on the page: a card above the drawing that shows the face of slot i. It never
// takes the keyboard. Its position is in the show's logical pixels; the page shows it scaled
// like the drawing.
class WebCardPane : public PlacedPane {
  public:
    WebCardPane(WebStage& stage, int slot) : PlacedPane(slot), stage_(stage) {}

    // Puts the card where it belongs at the stage's present scale.
    void Place() const;

  private:
    void Moved() override { Place(); }
    void VisibilityChanged() override;

    WebStage& stage_;
};

// The browser's stage: the page's drawing, its eighteen card panes, the tick timer and the
// runtime services, on the page's one thread, over the stage core. It fits the show into the
// viewport by the fit rule, as the desktop's stage does.
//
// The show's steps are synchronous; every wait (a pump, a sleep, the time between ticks)
// yields to the browser through the page's Wait, which Asyncify turns into an await. The
// page's listeners only queue input and note changes, and the stage takes them at its next
// look: keys at pumps and between ticks, a new viewport or visibility at once. A sleep holds
// the keys for the next pump. A pump with nothing new waits for input, so the key wait costs
// nothing.
class WebStage : public StageCore {
  public:
    // Shows the page empty, in the face colour. The page must be prepared.
    WebStage();

    // Loads `form` and plays ticks until the show ends; false when it stopped on an error,
    // which the page has then shown.
    bool Play(FormEvents& form);

    float Scale() const { return scale_; }

    // StageServices
    // The browser has no maximised page; the viewport is what there is.
    void SetWindowState(int /*state*/) override {}
    void Announce(const std::u16string& line) override;
    float Timer() override;

  private:
    // StageCore
    ShowClock::Ms Now() const override;
    ShowClock::Ms WaitForAnEvent() override;
    void HandleEventsUntil(ShowClock::Ms until) override;
    void TakeInput() override;
    void Erase() override;
    void Paint(const TextStroke& stroke) override;
    CardPane& Pane(int slot) override { return panes_[static_cast<std::size_t>(slot)]; }
    void StepStarting() override;
    void SayWhatFailed(const std::string& what) override;

    void HandlePageChanges();
    void Fit();

    std::vector<WebCardPane> panes_;
    float scale_ = 1;
    bool awake_ = false;
};
