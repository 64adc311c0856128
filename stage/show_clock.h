#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>

// The rules every stage keeps the show's time by. The stage tells the moment on its own steady
// clock and does the waiting; these rules say until when. Moments are milliseconds since the
// stage clock's epoch.
//
// The show's own time. Drawing counts as taking no time: a draw or a pump that comes late does
// not push back the draws, steps and pauses after it, which make the delay up. The show's time
// never falls more than kMaxLag behind the clock while someone sees the stage; what the screen
// loses beyond that is given up. While nobody sees it (a hidden browser tab, whose timers the
// browser slows), nothing is given up, so that once it is seen again the show is where its
// timeline says. Between steps the show's time is the clock's.
//
// Pumps return on a grid of kDrawPeriod: consecutive pumps return one period apart without
// drift, and a pump that comes later than its slot returns at once and starts a new grid. A
// pump that follows another with nothing drawn, shown, hidden or slept in between has nothing
// new for the screen: it waits for an event first, so a show waiting for a key costs nothing.
//
// Ticks. The next tick is due Interval ms after the later of the last tick's start and the last
// Interval assignment; a timer without a positive Interval never ticks. A tick never starts a
// step while one runs; one that falls due meanwhile comes once, right after the step.
class ShowClock {
  public:
    using Ms = std::chrono::duration<double, std::milli>;
    static constexpr Ms kDrawPeriod{5};
    static constexpr Ms kMaxLag = 5 * kDrawPeriod;

    // --- ticks
    void SetInterval(std::int32_t ms, Ms now);
    // When the next tick is due, if the timer ticks at all.
    std::optional<Ms> TickDue() const;
    // A tick at `now` starts a step, unless one runs: then it is held, and false.
    bool StartStep(Ms now);
    void EndStep() { inStep_ = false; }
    bool InStep() const { return inStep_; }

    // --- pumps and sleeps
    // Something new for the screen: drawn, erased, shown or hidden.
    void Changed() { changed_ = true; }
    // Whether the next pump has nothing new to show and first waits for an event.
    bool PumpWaitsForAnEvent() const { return !changed_; }
    // The event that pump waited for came at `at`: the waiting was the show's time passing.
    void EventCame(Ms at) { show_ = std::max(show_, at); }
    // When the pump called at `now` returns; at `now` or before it, the pump returns at once.
    Ms Pump(Ms now);
    // When a sleep of `ms` begun at `now` ends.
    Ms Sleep(std::int32_t ms, Ms now);

    // --- who sees the stage
    void SetSeen(bool seen);

    // The show's time at `now`.
    Ms ShowTime(Ms now);

  private:
    std::int32_t interval_ = 0;
    Ms tickDue_{0};
    bool inStep_ = false;
    bool changed_ = true;
    Ms show_{0};
    Ms nextPumpSlot_{0};
    bool seen_ = true;
    // Set while lag that arose unseen is still to be made up.
    bool makingUpAll_ = false;
};
