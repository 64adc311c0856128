#include "web/web_stage.h"

#include <stdexcept>
#include <string>

#include "stage/face_metrics.h"
#include "stage/fit_rule.h"
#include "stage/slot_face.h"
#include "web/page.h"

namespace {

constexpr int kSlotCount = 18;
// How the page looks before the show's first tick: the light grey of a desktop window's face,
// with black text.
constexpr Color kFaceColor = RGB(240, 240, 240);
constexpr Color kTextColor = RGB(0, 0, 0);
constexpr float kDefaultPoints = 12;

ShowClock::Ms Now() {
    return ShowClock::Ms(page::Now());
}

}  // namespace

void WebCardPane::Move(float left, float top) {
    left_ = left;
    top_ = top;
    Place();
}

void WebCardPane::SetVisible(bool visible) {
    page::ShowCard(slot_, visible);
}

void WebCardPane::Place() const {
    page::PlaceCard(slot_, left_, top_, stage_.Scale());
}

WebStage::WebStage() : drawing_(kFaceColor, kTextColor, kDefaultPoints) {
    panes_.reserve(kSlotCount);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        panes_.emplace_back(*this, slot);
        page::NameCard(slot, SpokenName(SlotFace::Of(slot)));
    }
    page::Say(u"");
    Fit();
    while (page::NextKey() >= 0) {
        // Keys from before the show are not the show's.
    }
}

bool WebStage::Play(FormEvents& form) {
    form_ = &form;
    RunHandler([&form] { form.Form_Load(); });
    if (trace_ != nullptr) {
        trace_->LoadReturned();
    }
    while (!outcome_) {
        const std::optional<ShowClock::Ms> due = clock_.TickDue();
        page::Wait(due ? due->count() : -1, true);
        HandlePageChanges();
        DeliverKeys();
        if (due && !outcome_ && Now() >= *due) {
            OnTick();
        }
    }
    form_ = nullptr;
    if (awake_) {
        page::KeepAwake(false);
    }
    return outcome_ == Outcome::Ended;
}

// The browser has no maximised page; the viewport is what there is.
void WebStage::SetWindowState(int /*state*/) {}

void WebStage::SetBackColor(Color color) {
    drawing_.SetBackColor(color);
    page::Erase(color);
    clock_.Changed();
}

void WebStage::Cls() {
    drawing_.Cls();
    page::Erase(drawing_.BackColor());
    clock_.Changed();
}

void WebStage::Print(const std::u16string& text) {
    if (const TextStroke* stroke = drawing_.Print(text)) {
        Draw(*stroke);
    }
    clock_.Changed();
}

void WebStage::Announce(const std::u16string& line) {
    page::Say(line);
}

void WebStage::Draw(const TextStroke& stroke) const {
    page::DrawText(stroke.x, stroke.baseline, stroke.color, EmPixels(stroke.points), stroke.text);
}

CardPane& WebStage::Picture1(std::int16_t index) {
    if (index < 0 || index >= kSlotCount) {
        throw std::out_of_range("there is no card pane " + std::to_string(index));
    }
    clock_.Changed();  // the pane is fetched to be moved, shown or hidden
    return panes_[static_cast<std::size_t>(index)];
}

void WebStage::SetInterval(std::int32_t ms) {
    clock_.SetInterval(ms, Now());
}

// --- pumps and sleeps ---------------------------------------------------------------------

void WebStage::DoEvents() {
    const bool idle = clock_.PumpWaitsForAnEvent();
    if (idle) {
        page::Wait(-1, true);
        clock_.EventCame(Now());
    }
    const ShowClock::Ms now = Now();
    const ShowClock::Ms until = clock_.Pump(now);
    if (until > now) {
        HandleEventsUntil(until);
    }
    HandlePageChanges();
    DeliverKeys();
    if (trace_ != nullptr) {
        trace_->PumpReturned(idle);
    }
    ThrowIfEnding();
}

// The keys wait for the next pump.
void WebStage::Sleep(std::int32_t ms) {
    HandleEventsUntil(clock_.Sleep(ms, Now()));
    if (trace_ != nullptr) {
        trace_->SleepReturned();
    }
    ThrowIfEnding();
}

// Yields to the browser until `until`, answering a new viewport or visibility meanwhile.
void WebStage::HandleEventsUntil(ShowClock::Ms until) {
    while (Now() < until) {
        page::Wait(until.count(), false);
        HandlePageChanges();
    }
}

void WebStage::HandlePageChanges() {
    const int changes = page::TakeChanges();
    if ((changes & page::kResized) != 0) {
        Fit();
    }
    if ((changes & page::kVisibility) != 0) {
        clock_.SetSeen(page::Visible());
    }
}

void WebStage::DeliverKeys() {
    for (int code = page::NextKey(); code >= 0 && form_ != nullptr; code = page::NextKey()) {
        auto keyAscii = static_cast<std::int16_t>(code);
        RunHandler([this, &keyAscii] { form_->Form_KeyPress(keyAscii); });
    }
}

// The drawing and the cards anew at the scale that fits the viewport now.
void WebStage::Fit() {
    scale_ = FitScale(static_cast<float>(page::ViewportWidth()),
                      static_cast<float>(page::ViewportHeight()));
    page::Fit(scale_);
    page::Erase(drawing_.BackColor());
    for (const TextStroke& stroke : drawing_.Strokes()) {
        Draw(stroke);
    }
    for (const WebCardPane& pane : panes_) {
        pane.Place();
    }
}

// --- the runtime ---------------------------------------------------------------------------

float WebStage::Timer() {
    return static_cast<float>(page::SecondsSinceMidnight());
}

void WebStage::End() {
    if (!outcome_) {
        outcome_ = Outcome::Ended;
    }
    throw ShowEnded{};
}

// --- ticks and the end of the show ---------------------------------------------------------

void WebStage::OnTick() {
    if (!clock_.StartStep(Now())) {
        return;
    }
    if (!awake_) {
        awake_ = true;
        page::KeepAwake(true);
    }
    if (trace_ != nullptr) {
        trace_->TickStarted();
    }
    RunHandler([this] { form_->Timer1_Timer(); });
    clock_.EndStep();
}

// Runs one of the form's handlers. The show's end unwinds to here; any other exception is a
// failure of the show or of the stage, which the page says in one line.
void WebStage::RunHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const ShowEnded&) {
        // End() has set the outcome.
    } catch (const std::exception& error) {
        outcome_ = Outcome::Failed;
        page::Fail(std::string("節目因錯誤而停止 (the show stopped because of an error: ") +
                   error.what() + ")");
    }
}

void WebStage::ThrowIfEnding() const {
    if (outcome_) {
        throw ShowEnded{};
    }
}
