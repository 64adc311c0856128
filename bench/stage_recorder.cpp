#include "bench/stage_recorder.h"

#include <sys/resource.h>

void StageRecorder::LoadReturned() {
    loadReturned = Clock::now();
}

void StageRecorder::TickStarted() {
    tickStarts.push_back(Clock::now());
    lastWasPump_ = false;
    if (onTick) {
        onTick(CurrentTick());
    }
}

void StageRecorder::PumpReturned(bool waitedForAnEvent) {
    pumps.push_back({Clock::now(), CurrentTick(), lastWasPump_ && !waitedForAnEvent});
    lastWasPump_ = true;
    if (onPump) {
        onPump(pumps.back());
    }
}

void StageRecorder::SleepReturned() {
    lastWasPump_ = false;
}

void StageRecorder::FirstPainted() {
    if (!painted_) {
        painted_ = true;
        firstPainted = Clock::now();
    }
}

std::chrono::microseconds ProcessorTime() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto micros = [](const timeval& t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    return micros(usage.ru_utime) + micros(usage.ru_stime);
}
