#include "recording_stage.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <optional>
#include <utility>

namespace {

std::int64_t Whole(ShowClock::Ms moment) {
    return std::llround(moment.count());
}

}  // namespace

std::string LoggedNumber(float value) {
    std::string text = std::to_string(value);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') {
        text.pop_back();
    }
    return text;
}

void RecordingStage::Record(std::string operation) {
    log.push_back(std::move(operation));
    if (observer) {
        observer(log.back());
    }
}

void RecordingPane::Moved() {
    stage_.Record("Move " + std::to_string(Slot()) + " " + LoggedNumber(Left()) + " " +
                  LoggedNumber(Top()));
}

void RecordingPane::VisibilityChanged() {
    stage_.Record((Visible() ? "Show " : "Hide ") + std::to_string(Slot()));
}

RecordingStage::RecordingStage() : StageCore(TextDrawing(RGB(240, 240, 240), RGB(0, 0, 0), 9)) {
    panes.reserve(kSlotCount);
    for (int i = 0; i < kSlotCount; ++i) {
        panes.emplace_back(*this, i);
    }
}

bool RecordingStage::Run(FormEvents& form, std::int64_t limitMs) {
    limit_ = limitMs;
    Load(form);
    while (!Ending()) {
        const std::optional<ShowClock::Ms> tickDue = TickDue();
        const std::int64_t due = tickDue ? std::max(Whole(*tickDue), now) : limit_ + 1;
        const std::int64_t key = NextKeyOrLimit();
        if (key <= due && key <= limit_) {
            // Idle between ticks: the key arrives when it is pressed.
            now = std::max(now, key);
            DeliverKeysUpTo(now);
            continue;
        }
        if (due > limit_) {
            now = limit_;
            break;
        }
        now = due;
        Tick();
    }
    Unload();
    return ended;
}

void RecordingStage::PressKeyAt(std::int64_t at) {
    pendingKeys_.push_back(at);
}

std::vector<RecordingStage::Draw> RecordingStage::DrawsOfTick(int tick) const {
    std::vector<Draw> result;
    std::copy_if(allDraws.begin(), allDraws.end(), std::back_inserter(result),
                 [tick](const Draw& draw) { return draw.tick == tick; });
    return result;
}

void RecordingStage::SetWindowState(int state) {
    Record("WindowState " + std::to_string(state));
}

void RecordingStage::SetFontSize(float points) {
    StageCore::SetFontSize(points);
    Record("FontSize " + LoggedNumber(points));
}

void RecordingStage::Cls() {
    StageCore::Cls();
    Record("Cls");
}

void RecordingStage::Print(const std::u16string& text) {
    const TextDrawing& drawing = Drawing();
    const Draw draw{drawing.CurrentX(),
                    drawing.CurrentY(),
                    drawing.ForeColor(),
                    drawing.FontSize(),
                    text,
                    now,
                    tick_};
    StageCore::Print(text);
    draws.push_back(draw);
    allDraws.push_back(draw);
    Record("Print");
}

void RecordingStage::Announce(const std::u16string& line) {
    announced.push_back({line, now, allDraws.size()});
}

void RecordingStage::SetInterval(std::int32_t ms) {
    interval = ms;
    StageCore::SetInterval(ms);
    Record("Interval " + std::to_string(ms));
}

// Once the time limit has passed, the run stops at the next pump.
void RecordingStage::DoEvents() {
    StageCore::DoEvents();
    pumpReturns.push_back(now);
    Record("DoEvents");
    if (now > limit_) {
        EndShow(Outcome::Ended);
        throw ShowEnded{};
    }
}

void RecordingStage::Sleep(std::int32_t ms) {
    StageCore::Sleep(ms);
    Record("Sleep " + std::to_string(ms));
}

float RecordingStage::Timer() {
    return timeOfDay;
}

void RecordingStage::Randomize(float seed) {
    seeds.push_back(seed);
    Record("Randomize");
}

float RecordingStage::Rnd() {
    Record("Rnd");
    const float draw = randomDraws.at(std::min(nextRandom_, randomDraws.size() - 1));
    ++nextRandom_;
    return draw;
}

void RecordingStage::End() {
    Record("End");
    ended = true;
    StageCore::End();
}

ShowClock::Ms RecordingStage::WaitForAnEvent() {
    now = std::max(now, NextKeyOrLimit());
    return Now();
}

void RecordingStage::HandleEventsUntil(ShowClock::Ms until) {
    now = std::max(now, Whole(until));
}

void RecordingStage::StepStarting() {
    ++tick_;
    tickStarts.push_back(now);
}

void RecordingStage::DeliverKeysUpTo(std::int64_t time) {
    const auto arrived =
        std::erase_if(pendingKeys_, [time](std::int64_t at) { return at <= time; });
    for (std::size_t i = 0; i < arrived; ++i) {
        KeyTyped(u' ');
    }
}

std::int64_t RecordingStage::NextKeyOrLimit() const {
    const auto key = std::min_element(pendingKeys_.begin(), pendingKeys_.end());
    return key != pendingKeys_.end() ? *key : limit_ + 1;
}
