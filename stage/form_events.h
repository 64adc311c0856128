#pragma once

#include <cstdint>

// The handlers the stage calls on the show window, one at a time, on the one thread.
class FormEvents {
  public:
    virtual ~FormEvents() = default;
    // Once, before the window is first shown.
    virtual void Form_Load() = 0;
    // For every key press that yields a typed character, with its first UTF-16 code unit.
    virtual void Form_KeyPress(std::int16_t& KeyAscii) = 0;
    // Each tick of Timer1; never re-entered, not even from a pump inside a step.
    virtual void Timer1_Timer() = 0;
};
