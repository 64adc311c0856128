#include "stage/qt/qt_stage.h"

#include <QApplication>
#include <QTime>

#include "stage/qt/failure_report.h"
#include "stage/qt/input_hold.h"
#include "stage/stage_trace.h"

namespace {

QtStage::Clock::time_point TimePoint(ShowClock::Ms moment) {
    return QtStage::Clock::time_point(std::chrono::duration_cast<QtStage::Clock::duration>(moment));
}

}  // namespace

QtStage::QtStage() : StageCore(ShowWindow::BlankDrawing()), window_(Drawing()) {
    panes_.reserve(kSlotCount);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        panes_.push_back(std::make_unique<CardPaneWidget>(slot, window_));
    }
    connect(&tickTimer_, &WakeTimer::Timeout, this, &QtStage::OnTick);
    connect(&window_, &ShowWindow::KeyTyped, this, [this](char16_t code) { KeyTyped(code); });
    connect(&window_, &ShowWindow::CloseRequested, this, [this] { EndShow(Outcome::Ended); });
    connect(&window_, &ShowWindow::FirstPainted, this, &QtStage::OnFirstPainted);
    preparation_.setSingleShot(true);
    connect(&preparation_, &QTimer::timeout, this, &QtStage::PrepareForTheShow);
}

// The panes are the window's children; they go before it.
QtStage::~QtStage() = default;

int QtStage::Play(FormEvents& form) {
    Load(form);
    if (Ending()) {
        Unload();
        return ShowOutcome() == Outcome::Failed ? 1 : 0;
    }
    window_.show();
    ArmTick();
    return QApplication::exec();
}

void QtStage::SetWindowState(int state) {
    if (state == kMaximized) {
        window_.setWindowState(Qt::WindowMaximized);
    }
}

float QtStage::Timer() {
    return static_cast<float>(QTime::currentTime().msecsSinceStartOfDay()) / 1000.0F;
}

// --- waiting --------------------------------------------------------------------------------

ShowClock::Ms QtStage::Now() const {
    return Clock::now().time_since_epoch();
}

ShowClock::Ms QtStage::WaitForAnEvent() {
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return Now();
}

void QtStage::HandleEventsUntil(ShowClock::Ms until) {
    pumpTimer_.StartAt(TimePoint(until));
    while (pumpTimer_.IsActive() && !Ending()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (pumpTimer_.IsActive()) {
        pumpTimer_.Stop();
    }
}

// The show stands still; the window goes on repainting, showing what the step drew and
// answering the window manager.
void QtStage::HoldInputUntil(ShowClock::Ms until) {
    const InputHold held(window_.windowHandle());
    HandleEventsUntil(until);
}

// Handles the events and has the window system show the result now.
void QtStage::ShowFrameNow() {
    QGuiApplication::sync();
}

// --- ticks ---------------------------------------------------------------------------------

void QtStage::OnTick() {
    if (!Tick()) {
        return;
    }
    if (Ending()) {
        Finish();
    } else {
        ArmTick();
    }
}

// A tick already due comes at once.
void QtStage::ArmTick() {
    const std::optional<ShowClock::Ms> due = TickDue();
    if (!due || Ending()) {
        tickTimer_.Stop();
        return;
    }
    tickTimer_.StartAt(TimePoint(*due));
}

void QtStage::StepStarting() {
    screenSaver_.Inhibit();
}

void QtStage::IntervalSet() {
    if (!InStep()) {
        ArmTick();
    }
}

// --- the window's own events ---------------------------------------------------------------

// Once the window is on the screen, the card faces are decoded and the session bus is
// connected to while the show waits for its first tick, so that neither holds up a step.
void QtStage::OnFirstPainted() {
    if (Trace() != nullptr) {
        Trace()->FirstPainted();
    }
    preparation_.start(0);
}

void QtStage::PrepareForTheShow() {
    for (const auto& pane : panes_) {
        pane->PrepareFace();
    }
    screenSaver_.Connect();
}

// --- the end of the show -------------------------------------------------------------------

void QtStage::ShowEnding() {
    if (!InStep()) {
        Finish();
    }
}

// No tick comes while the report's message box waits for the user.
void QtStage::SayWhatFailed(const std::string& what) {
    tickTimer_.Stop();
    ReportFailure("the show stopped because of an error: " + QString::fromLocal8Bit(what));
}

void QtStage::Finish() {
    tickTimer_.Stop();
    screenSaver_.Release();
    Unload();
    QApplication::exit(ShowOutcome() == Outcome::Failed ? 1 : 0);
}
