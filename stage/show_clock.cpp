#include "stage/show_clock.h"

#include <algorithm>

void ShowClock::SetInterval(std::int32_t ms, Ms now) {
    interval_ = ms;
    tickDue_ = ShowTime(now) + Ms(ms);
}

std::optional<ShowClock::Ms> ShowClock::TickDue() const {
    if (interval_ <= 0) {
        return std::nullopt;
    }
    return tickDue_;
}

bool ShowClock::StartStep(Ms now) {
    if (inStep_) {
        return false;
    }
    inStep_ = true;
    // A held tick starts when the step before it has ended, on the show's time.
    show_ = std::max(show_, tickDue_);
    tickDue_ = ShowTime(now) + Ms(interval_);
    return true;
}

ShowClock::Ms ShowClock::Pump(Ms now) {
    changed_ = false;
    const Ms called = ShowTime(now);
    if (called >= nextPumpSlot_) {
        nextPumpSlot_ = called + kDrawPeriod;
        return called;
    }
    show_ = nextPumpSlot_;
    nextPumpSlot_ += kDrawPeriod;
    return show_;
}

ShowClock::Ms ShowClock::Sleep(std::int32_t ms, Ms now) {
    changed_ = true;
    show_ = ShowTime(now) + Ms(ms);
    return show_;
}

void ShowClock::SetSeen(bool seen) {
    seen_ = seen;
    makingUpAll_ = makingUpAll_ || !seen;
}

ShowClock::Ms ShowClock::ShowTime(Ms now) {
    if (!inStep_) {
        show_ = now;
        return show_;
    }
    const Ms giveUpBefore = now - kMaxLag;
    if (makingUpAll_ && seen_ && show_ >= giveUpBefore) {
        makingUpAll_ = false;  // caught up
    }
    if (!makingUpAll_) {
        show_ = std::max(show_, giveUpBefore);
    }
    return show_;
}
