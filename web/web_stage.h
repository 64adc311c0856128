#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "stage/form_events.h"
#include "stage/show_clock.h"
#include "stage/show_random.h"
#include "stage/stage_services.h"
#include "stage/stage_trace.h"
#include "stage/text_drawing.h"

class WebStage;

// Picture1(i) on the page: a card above the drawing that shows the face of slot i. It never
// takes the keyboard. Its position is in the show's logical pixels; the page shows it scaled
// like the drawing.
class WebCardPane : public CardPane {
  public:
    WebCardPane(WebStage& stage, int slot) : stage_(stage), slot_(slot) {}

    void Move(float left, float top) override;
    void SetVisible(bool visible) override;
    float Left() const override { return left_; }
    float Width() const override { return 150; }

    // Puts the card where it belongs at the stage's present scale.
    void Place() const;

  private:
    WebStage& stage_;
    int slot_;
    float left_ = 0;
    float top_ = 0;
};

// The browser's stage: the page's drawing, its eighteen card panes, the tick timer and the
// runtime services, on the page's one thread. It keeps the show's time by the rules of
// ShowClock and fits the show into the viewport by the fit rule, as the desktop's stage does.
//
// The show's steps are synchronous; every wait (a pump, a sleep, the time between ticks)
// yields to the browser through the page's Wait, which Asyncify turns into an await. The
// page's listeners only queue input and note changes, and the stage takes them at its next
// look: keys at pumps and between ticks, a new viewport or visibility at once. A sleep holds
// the keys for the next pump. A pump with nothing new waits for input, so the key wait costs
// nothing.
class WebStage : public StageServices {
  public:
    // Shows the page empty, in the face colour. The page must be prepared.
    WebStage();

    // Loads `form` and plays ticks until the show ends; false when it stopped on an error,
    // which the page has then shown.
    bool Play(FormEvents& form);

    // Watches the stage's timing; null, the default, for none.
    void SetTrace(StageTrace* trace) { trace_ = trace; }
    float Scale() const { return scale_; }

    // StageServices
    void SetWindowState(int state) override;
    void SetCurrentX(float x) override { drawing_.SetCurrentX(x); }
    void SetCurrentY(float y) override { drawing_.SetCurrentY(y); }
    float CurrentY() const override { return drawing_.CurrentY(); }
    void SetFontSize(float points) override { drawing_.SetFontSize(points); }
    void SetForeColor(Color color) override { drawing_.SetForeColor(color); }
    void SetBackColor(Color color) override;
    void Cls() override;
    void Print(const std::u16string& text) override;
    void Announce(const std::u16string& line) override;
    CardPane& Picture1(std::int16_t index) override;
    void SetInterval(std::int32_t ms) override;
    void DoEvents() override;
    void Sleep(std::int32_t ms) override;
    float Timer() override;
    void Randomize(float seed) override { random_.Randomize(seed); }
    float Rnd() override { return random_.Rnd(); }
    [[noreturn]] void End() override;

  private:
    enum class Outcome { Ended, Failed };

    void OnTick();
    void HandleEventsUntil(ShowClock::Ms until);
    void HandlePageChanges();
    void DeliverKeys();
    void Fit();
    void Draw(const TextStroke& stroke) const;
    void RunHandler(const std::function<void()>& handler);
    void ThrowIfEnding() const;

    TextDrawing drawing_;
    std::vector<WebCardPane> panes_;
    ShowClock clock_;
    ShowRandom random_;
    float scale_ = 1;
    FormEvents* form_ = nullptr;
    StageTrace* trace_ = nullptr;
    bool awake_ = false;
    std::optional<Outcome> outcome_;
};
