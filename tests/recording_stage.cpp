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

std::string Number(float value) {
    std::string text = std::to_string(value);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') {
        text.pop_back();
    }
    return text;
}

}  // namespace

void RecordingStage::Record(std::string operation) {
    log.push_back(std::move(operation));
    if (observer) {
        observer(log.back());
    }
}

void RecordingPane::Move(float newLeft, float newTop) {
    left = newLeft;
    top = newTop;
    stage_.Record("Move " + std::to_string(index_) + " " + Number(newLeft) + " " + Number(newTop));
}

void RecordingPane::SetVisible(bool show) {
    visible = show;
    stage_.Record((show ? "Show " : "Hide ") + std::to_string(index_));
}

RecordingStage::RecordingStage() {
    panes.reserve(18);
    for (int i = 0; i < 18; ++i) {
        panes.emplace_back(*this, i);
    }
}

bool RecordingStage::Run(FormEvents& form, std::int64_t limitMs) {
    form_ = &form;
    limit_ = limitMs;
    try {
        form.Form_Load();
        while (!ended) {
            const std::optional<ShowClock::Ms> tickDue = clock_.TickDue();
            const std::int64_t due = tickDue ? std::max(Whole(*tickDue), now) : limit_ + 1;
            const auto key = std::min_element(pendingKeys_.begin(), pendingKeys_.end());
            if (key != pendingKeys_.end() && *key <= due) {
                // Idle between ticks: the key arrives when it is pressed.
                now = std::max(now, *key);
                DeliverKeysUpTo(now);
                continue;
            }
            if (due > limit_) {
                now = limit_;
                break;
            }
            now = due;
            ++tick_;
            clock_.StartStep(ShowClock::Ms(now));
            tickStarts.push_back(now);
            form.Timer1_Timer();
            clock_.EndStep();
        }
    } catch (const ShowEnded&) {
        ended = true;
    } catch (const TimeLimit&) {
    }
    form_ = nullptr;
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
    fontSize = points;
    Record("FontSize " + Number(points));
}

void RecordingStage::SetBackColor(Color color) {
    backColor = color;
    draws.clear();
    clock_.Changed();
}

void RecordingStage::Cls() {
    draws.clear();
    clock_.Changed();
    currentX = 0;
    currentY = 0;
    Record("Cls");
}

void RecordingStage::Print(const std::u16string& text) {
    const Draw draw{currentX, currentY, foreColor, fontSize, text, now, tick_};
    draws.push_back(draw);
    allDraws.push_back(draw);
    clock_.Changed();
    Record("Print");
    currentX = 0;
    currentY += lineHeight(fontSize);
}

void RecordingStage::Announce(const std::u16string& line) {
    announced.push_back({line, now, allDraws.size()});
}

CardPane& RecordingStage::Picture1(std::int16_t index) {
    clock_.Changed();  // the pane is fetched to be moved, shown or hidden
    return panes.at(static_cast<std::size_t>(index));
}

void RecordingStage::SetInterval(std::int32_t ms) {
    interval = ms;
    clock_.SetInterval(ms, ShowClock::Ms(now));
    Record("Interval " + std::to_string(ms));
}

void RecordingStage::DoEvents() {
    if (clock_.PumpWaitsForAnEvent()) {
        now = std::max(now, NextKeyOrLimit());
        clock_.EventCame(ShowClock::Ms(now));
    }
    now = std::max(now, Whole(clock_.Pump(ShowClock::Ms(now))));
    pumpReturns.push_back(now);
    Record("DoEvents");
    DeliverKeysUpTo(now);
    if (now > limit_) {
        throw TimeLimit{};
    }
}

void RecordingStage::Sleep(std::int32_t ms) {
    now = Whole(clock_.Sleep(ms, ShowClock::Ms(now)));
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
    throw ShowEnded{};
}

void RecordingStage::DeliverKeysUpTo(std::int64_t time) {
    const auto arrived =
        std::erase_if(pendingKeys_, [time](std::int64_t at) { return at <= time; });
    for (std::size_t i = 0; i < arrived && form_ != nullptr; ++i) {
        std::int16_t code = u' ';
        form_->Form_KeyPress(code);
    }
}

std::int64_t RecordingStage::NextKeyOrLimit() const {
    const auto key = std::min_element(pendingKeys_.begin(), pendingKeys_.end());
    return key != pendingKeys_.end() ? *key : limit_ + 1;
}
