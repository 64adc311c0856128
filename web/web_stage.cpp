#include "web/web_stage.h"

#include <emscripten.h>

#include <string>

#include "stage/face_metrics.h"
#include "stage/fit_rule.h"
#include "stage/slot_face.h"
#include "web/page.h"

namespace {

// How the page looks before the show's first tick: the grey of a desktop window's face, with
// black text.
constexpr Color kFaceColor = RGB(page::kFaceGrey, page::kFaceGrey, page::kFaceGrey);
constexpr Color kTextColor = RGB(0, 0, 0);
constexpr float kDefaultPoints = 12;

}  // namespace

void WebCardPane::VisibilityChanged() {
    PageShowCard(Slot(), Visible() ? 1 : 0);
}

void WebCardPane::Place() const {
    PagePlaceCard(Slot(), Left(), Top(), kCardWidth, kCardHeight, stage_.Scale());
}

WebStage::WebStage() : StageCore(TextDrawing(kFaceColor, kTextColor, kDefaultPoints)) {
    panes_.reserve(kSlotCount);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        panes_.emplace_back(*this, slot);
        PageAddCard(slot, SpokenName(SlotFace::Of(slot)).c_str());
    }
    Announce(u"");
    Fit();
    while (PageNextKey() >= 0) {
        // Keys from before the show are not the show's.
    }
}

bool WebStage::Play(FormEvents& form) {
    Load(form);
    while (!Ending()) {
        const std::optional<ShowClock::Ms> due = TickDue();
        PageWait(due ? due->count() : -1, 1);
        TakeInput();
        if (due && !Ending() && Now() >= *due) {
            Tick();
        }
    }
    Unload();
    if (awake_) {
        PageKeepAwake(0);
    }
    return ShowOutcome() == Outcome::Ended;
}

void WebStage::Announce(const std::u16string& line) {
    PageSay(line.data(), static_cast<int>(line.size()));
}

float WebStage::Timer() {
    return static_cast<float>(PageSecondsSinceMidnight());
}

// --- waiting --------------------------------------------------------------------------------

ShowClock::Ms WebStage::Now() const {
    return ShowClock::Ms(emscripten_get_now());
}

// From the moment the key or the tap came: the browser takes a few ms to hand it over.
ShowClock::Ms WebStage::WaitForAnEvent() {
    return ShowClock::Ms(PageWait(-1, 1));
}

// Yields to the browser until `until`, answering a new viewport or visibility meanwhile; the
// keys wait for the next pump.
void WebStage::HandleEventsUntil(ShowClock::Ms until) {
    while (Now() < until) {
        PageWait(until.count(), 0);
        HandlePageChanges();
    }
}

void WebStage::TakeInput() {
    HandlePageChanges();
    for (int code = PageNextKey(); code >= 0; code = PageNextKey()) {
        KeyTyped(static_cast<char16_t>(code));
    }
}

void WebStage::HandlePageChanges() {
    const int changes = PageTakeChanges();
    if ((changes & page::kResized) != 0) {
        Fit();
    }
    if ((changes & page::kVisibility) != 0) {
        SetSeen(PageVisible() != 0);
    }
}

// --- drawing --------------------------------------------------------------------------------

void WebStage::Erase() {
    PageErase(Drawing().BackColor());
}

void WebStage::Paint(const TextStroke& stroke) {
    PageDrawText(stroke.x, stroke.baseline, stroke.color, EmPixels(stroke.points),
                 stroke.text.data(), static_cast<int>(stroke.text.size()));
}

// The drawing and the cards anew at the scale that fits the viewport now.
void WebStage::Fit() {
    scale_ =
        FitScale(static_cast<float>(PageViewportWidth()), static_cast<float>(PageViewportHeight()));
    PageFit(scale_);
    Erase();
    for (const TextStroke& stroke : Drawing().Strokes()) {
        Paint(stroke);
    }
    for (const WebCardPane& pane : panes_) {
        pane.Place();
    }
}

// --- the show's steps and its end ----------------------------------------------------------

void WebStage::StepStarting() {
    if (!awake_) {
        awake_ = true;
        PageKeepAwake(1);
    }
}

void WebStage::SayWhatFailed(const std::string& what) {
    PageFail((page::kStoppedByAnError + what + ")").c_str());
}
