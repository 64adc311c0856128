#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "stage/form_events.h"
#include "stage/show_clock.h"
#include "stage/show_random.h"
#include "stage/stage_services.h"
#include "stage/stage_trace.h"
#include "stage/text_drawing.h"

// What every stage does alike, written once: the drawing state and the clock it keeps the
// show's time by, with every drawing and pane call marking the clock; the range of Picture1;
// the order of a pump and of a sleep; and how the form's handlers run, with the show's end or
// a failure becoming the one outcome of the show. A stage adapts it to its world (the desktop's
// window, the browser's page, the tests' virtual time): it tells the time, waits, draws, holds
// the card panes and says what failed, through the few steps below that are its own.
class StageCore : public StageServices {
  public:
    enum class Outcome {
        Ended,  // the show came to its end, or its window was closed
        Failed,
    };
    static constexpr int kSlotCount = 18;

    // Watches the stage's timing; null, the default, for none.
    void SetTrace(StageTrace* trace) { trace_ = trace; }
    const TextDrawing& Drawing() const { return drawing_; }
    // How the show ends, once it is to end.
    std::optional<Outcome> ShowOutcome() const { return outcome_; }

    // StageServices
    void SetCurrentX(float x) override { drawing_.SetCurrentX(x); }
    void SetCurrentY(float y) override { drawing_.SetCurrentY(y); }
    float CurrentY() const override { return drawing_.CurrentY(); }
    void SetFontSize(float points) override { drawing_.SetFontSize(points); }
    void SetForeColor(Color color) override { drawing_.SetForeColor(color); }
    void SetBackColor(Color color) override;
    void Cls() override;
    void Print(const std::u16string& text) override;
    // The pane is fetched to be moved, shown or hidden.
    CardPane& Picture1(std::int16_t index) override;
    void SetInterval(std::int32_t ms) override;
    void DoEvents() override;
    void Sleep(std::int32_t ms) override;
    void Randomize(float seed) override { random_.Randomize(seed); }
    float Rnd() override { return random_.Rnd(); }
    [[noreturn]] void End() override;

  protected:
    explicit StageCore(const TextDrawing& drawing) : drawing_(drawing) {}

    // --- the stage's own steps
    // The moment on the stage's steady clock.
    virtual ShowClock::Ms Now() const = 0;
    // Blocks until an event comes (a key, a click, a change of the window); returns the moment
    // it came, which may be before the stage learnt of it.
    virtual ShowClock::Ms WaitForAnEvent() = 0;
    // Handles events as they come until `until`, blocked in between; returns early once the
    // show is to end.
    virtual void HandleEventsUntil(ShowClock::Ms until) = 0;
    // A sleep: the show stands still until `until`, and the user's input waits for the next
    // pump; the window still shows what was drawn.
    virtual void HoldInputUntil(ShowClock::Ms until) { HandleEventsUntil(until); }
    // A pump that has no time left to wait: the window system shows what was drawn, now.
    virtual void ShowFrameNow() {}
    // At every pump, input that the stage keeps for pumps reaches the show: its keys, a new
    // size of its window.
    virtual void TakeInput() {}
    virtual void Erase() = 0;
    virtual void Paint(const TextStroke& stroke) = 0;
    virtual CardPane& Pane(int slot) = 0;
    // A step is about to start.
    virtual void StepStarting() {}
    // An Interval was assigned.
    virtual void IntervalSet() {}
    // The show is to end (ShowOutcome() says how): at once when no step runs, otherwise at the
    // step's next pump or sleep, which then unwind it.
    virtual void ShowEnding() {}
    // Tells the viewer what failed; the show then ends.
    virtual void SayWhatFailed(const std::string& what) = 0;

    // --- the stage's own loop calls these
    void Load(FormEvents& form);
    // Lets go of the form: no handler of it runs any more.
    void Unload() { form_ = nullptr; }
    FormEvents* Form() const { return form_; }
    // A tick starts a step, unless one runs; then it is held, and false.
    bool Tick();
    void KeyTyped(char16_t code);
    // The show is to end this way; the first reason stands.
    void EndShow(Outcome outcome);
    bool Ending() const { return outcome_.has_value(); }
    // When the next tick is due, if the timer ticks at all.
    std::optional<ShowClock::Ms> TickDue() const { return clock_.TickDue(); }
    bool InStep() const { return clock_.InStep(); }
    // Whether anybody sees the stage: an unseen one gives none of its lag up.
    void SetSeen(bool seen) { clock_.SetSeen(seen); }
    StageTrace* Trace() const { return trace_; }

  private:
    // Runs one of the form's handlers. The show's end unwinds to here; any other exception is
    // a failure of the show or of the stage.
    void RunHandler(const std::function<void()>& handler);
    void Fail(const std::string& what);
    void ThrowIfEnding() const;

    TextDrawing drawing_;
    ShowClock clock_;
    ShowRandom random_;
    FormEvents* form_ = nullptr;
    StageTrace* trace_ = nullptr;
    std::optional<Outcome> outcome_;
};
