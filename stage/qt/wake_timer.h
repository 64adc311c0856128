#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <chrono>

// A one-shot timer that wakes the event loop at an exact moment of the steady clock. Qt's own
// timers count whole milliseconds from when they are started; the show's 5 ms draw grid and
// its step onsets need a wake-up at a given instant, without a second, finer sleep after it.
// It is a kernel timer whose descriptor the event loop watches.
class WakeTimer : public QObject {
    Q_OBJECT

  public:
    using Clock = std::chrono::steady_clock;

    explicit WakeTimer(QObject* parent = nullptr);
    ~WakeTimer() override;
    WakeTimer(const WakeTimer&) = delete;
    WakeTimer& operator=(const WakeTimer&) = delete;

    // Fires once at `at`, or as soon as the event loop runs when `at` has passed.
    void StartAt(Clock::time_point at);
    void Stop();
    bool IsActive() const { return active_; }

  signals:
    void Timeout();

  private:
    void OnReady();

    int descriptor_;
    QSocketNotifier* notifier_;
    bool active_ = false;
};
