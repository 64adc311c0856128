#include "stage/qt/wake_timer.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace {

// The steady clock is the kernel's monotonic clock.
timespec ToTimespec(WakeTimer::Clock::time_point at) {
    const auto since = at.time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
    const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds);
    return {static_cast<time_t>(seconds.count()), static_cast<long>(nanos.count())};
}

}  // namespace

WakeTimer::WakeTimer(QObject* parent)
    : QObject(parent), descriptor_(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)) {
    if (descriptor_ < 0) {
        throw std::system_error(errno, std::generic_category(), "timerfd_create");
    }
    notifier_ = new QSocketNotifier(descriptor_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &WakeTimer::OnReady);
}

WakeTimer::~WakeTimer() {
    delete notifier_;
    close(descriptor_);
}

void WakeTimer::StartAt(Clock::time_point at) {
    if (active_) {
        Stop();
    }
    // A zero time would disarm the timer: a moment that has passed fires in a nanosecond.
    const bool passed = at <= Clock::now();
    itimerspec setting{};
    setting.it_value = passed ? timespec{0, 1} : ToTimespec(at);
    timerfd_settime(descriptor_, passed ? 0 : TFD_TIMER_ABSTIME, &setting, nullptr);
    active_ = true;
}

// Disarms the timer and takes back an expiry the event loop has not read yet.
void WakeTimer::Stop() {
    const itimerspec disarm{};
    timerfd_settime(descriptor_, 0, &disarm, nullptr);
    std::uint64_t expirations = 0;
    (void)!read(descriptor_, &expirations, sizeof expirations);
    active_ = false;
}

void WakeTimer::OnReady() {
    std::uint64_t expirations = 0;
    if (read(descriptor_, &expirations, sizeof expirations) != sizeof expirations) {
        return;  // disarmed before the event loop got to it
    }
    if (active_) {
        active_ = false;
        emit Timeout();
    }
}
