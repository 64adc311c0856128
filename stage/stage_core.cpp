#include "stage/stage_core.h"

#include <exception>
#include <stdexcept>

void StageCore::SetBackColor(Color color) {
    drawing_.SetBackColor(color);
    Erase();
    clock_.Changed();
}

void StageCore::Cls() {
    drawing_.Cls();
    Erase();
    clock_.Changed();
}

void StageCore::Print(const std::u16string& text) {
    if (const TextStroke* stroke = drawing_.Print(text)) {
        Paint(*stroke);
    }
    clock_.Changed();
}

CardPane& StageCore::Picture1(std::int16_t index) {
    if (index < 0 || index >= kSlotCount) {
        throw std::out_of_range("there is no card pane " + std::to_string(index));
    }
    clock_.Changed();
    return Pane(index);
}

void StageCore::SetInterval(std::int32_t ms) {
    clock_.SetInterval(ms, Now());
    IntervalSet();
}

// --- pumps and sleeps ---------------------------------------------------------------------

void StageCore::DoEvents() {
    const bool idle = clock_.PumpWaitsForAnEvent();
    if (idle) {
        clock_.EventCame(WaitForAnEvent());
    }
    const ShowClock::Ms now = Now();
    const ShowClock::Ms until = clock_.Pump(now);
    if (until > now) {
        HandleEventsUntil(until);
    } else {
        ShowFrameNow();
    }
    TakeInput();
    if (trace_ != nullptr) {
        trace_->PumpReturned(idle);
    }
    ThrowIfEnding();
}

void StageCore::Sleep(std::int32_t ms) {
    HoldInputUntil(clock_.Sleep(ms, Now()));
    if (trace_ != nullptr) {
        trace_->SleepReturned();
    }
    ThrowIfEnding();
}

// --- the form's handlers and the end of the show -------------------------------------------

void StageCore::Load(FormEvents& form) {
    form_ = &form;
    RunHandler([&form] { form.Form_Load(); });
    if (trace_ != nullptr && !Ending()) {
        trace_->LoadReturned();
    }
}

bool StageCore::Tick() {
    if (form_ == nullptr || !clock_.StartStep(Now())) {
        return false;
    }
    StepStarting();
    if (trace_ != nullptr) {
        trace_->TickStarted();
    }
    RunHandler([this] { form_->Timer1_Timer(); });
    clock_.EndStep();
    return true;
}

void StageCore::KeyTyped(char16_t code) {
    if (form_ != nullptr) {
        auto keyAscii = static_cast<std::int16_t>(code);
        RunHandler([this, &keyAscii] { form_->Form_KeyPress(keyAscii); });
    }
}

void StageCore::End() {
    EndShow(Outcome::Ended);
    throw ShowEnded{};
}

void StageCore::EndShow(Outcome outcome) {
    if (!outcome_) {
        outcome_ = outcome;
    }
    ShowEnding();
}

void StageCore::RunHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const ShowEnded&) {
        // The outcome is set.
    } catch (const std::exception& error) {
        Fail(error.what());
    } catch (...) {
        Fail("an unknown error");
    }
}

// The outcome is set before the viewer is told, which may take a while (a message box waits
// for the user).
void StageCore::Fail(const std::string& what) {
    if (outcome_) {
        return;  // ending already; the first reason stands
    }
    outcome_ = Outcome::Failed;
    SayWhatFailed(what);
    ShowEnding();
}

void StageCore::ThrowIfEnding() const {
    if (outcome_) {
        throw ShowEnded{};
    }
}
