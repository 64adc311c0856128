#pragma once

// A hook for measuring the stage: the benchmark and the tests watch through it when a step
// starts, when every pump and sleep returns and when the window first paints. The shipped
// program installs none, and the stage then only tests a null pointer.
class StageTrace {
  public:
    virtual ~StageTrace() = default;
    virtual void LoadReturned() = 0;
    virtual void TickStarted() = 0;
    // `waitedForAnEvent`: the pump had nothing new to show and waited for an event.
    virtual void PumpReturned(bool waitedForAnEvent) = 0;
    virtual void SleepReturned() = 0;
    virtual void FirstPainted() = 0;
};
