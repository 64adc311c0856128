#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "stage/stage_trace.h"

// Records, through the stage's trace hook, when the show's steps start, when every pump and
// sleep returns, and the processor time used in the phases the benchmark reports.
class StageRecorder : public StageTrace {
  public:
    using Clock = std::chrono::steady_clock;

    struct Pump {
        Clock::time_point returned;
        int tick;
        // Whether the pump came straight after another pump of the same step, with a draw
        // and no sleep between: such a pump returns one draw period after the previous one.
        bool inBurst;
    };

    std::vector<Clock::time_point> tickStarts;
    std::vector<Pump> pumps;
    Clock::time_point loadReturned;
    Clock::time_point firstPainted;
    // Called after each step's start and each pump have been recorded.
    std::function<void(int tick)> onTick;
    std::function<void(const Pump&)> onPump;

    void LoadReturned() override;
    void TickStarted() override;
    void PumpReturned(bool waitedForAnEvent) override;
    void SleepReturned() override;
    void FirstPainted() override;

    int CurrentTick() const { return static_cast<int>(tickStarts.size()) - 1; }

  private:
    bool lastWasPump_ = false;
    bool painted_ = false;
};

// Processor time used by this process so far, user and system.
std::chrono::microseconds ProcessorTime();
