#include "stage/qt/qt_stage.h"

#include <QApplication>
#include <QTime>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "stage/qt/failure_report.h"
#include "stage/qt/input_hold.h"
#include "stage/stage_trace.h"

namespace {

constexpr int kSlotCount = 18;

ShowClock::Ms Now() {
    return QtStage::Clock::now().time_since_epoch();
}

QtStage::Clock::time_point TimePoint(ShowClock::Ms moment) {
    return QtStage::Clock::time_point(std::chrono::duration_cast<QtStage::Clock::duration>(moment));
}

}  // namespace

QtStage::QtStage() {
    panes_.reserve(kSlotCount);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        panes_.push_back(std::make_unique<CardPaneWidget>(slot, window_));
    }
    connect(&tickTimer_, &WakeTimer::Timeout, this, &QtStage::OnTick);
    connect(&window_, &ShowWindow::KeyTyped, this, &QtStage::OnKeyTyped);
    connect(&window_, &ShowWindow::CloseRequested, this, &QtStage::OnCloseRequested);
    connect(&window_, &ShowWindow::FirstPainted, this, &QtStage::OnFirstPainted);
    preparation_.setSingleShot(true);
    connect(&preparation_, &QTimer::timeout, this, &QtStage::PrepareForTheShow);
}

// The panes are the window's children; they go before it.
QtStage::~QtStage() = default;

int QtStage::Play(FormEvents& form) {
    form_ = &form;
    exitStatus_.reset();
    RunHandler([&form] { form.Form_Load(); });
    if (exitStatus_) {
        form_ = nullptr;
        return *exitStatus_;
    }
    if (trace_ != nullptr) {
        trace_->LoadReturned();
    }
    window_.show();
    ArmTick();
    const int status = QApplication::exec();
    form_ = nullptr;
    return status;
}

void QtStage::SetWindowState(int state) {
    if (state == kMaximized) {
        window_.setWindowState(Qt::WindowMaximized);
    }
}

void QtStage::SetBackColor(Color color) {
    window_.SetBackColor(color);
    clock_.Changed();
}

void QtStage::Cls() {
    window_.Cls();
    clock_.Changed();
}

void QtStage::Print(const std::u16string& text) {
    window_.Print(text);
    clock_.Changed();
}

CardPane& QtStage::Picture1(std::int16_t index) {
    if (index < 0 || index >= kSlotCount) {
        throw std::out_of_range("there is no card pane " + std::to_string(index));
    }
    clock_.Changed();  // the pane is fetched to be moved, shown or hidden
    return *panes_[static_cast<std::size_t>(index)];
}

void QtStage::SetInterval(std::int32_t ms) {
    clock_.SetInterval(ms, Now());
    if (!clock_.InStep()) {
        ArmTick();
    }
}

// --- pumps and sleeps ---------------------------------------------------------------------

void QtStage::DoEvents() {
    const bool idle = clock_.PumpWaitsForAnEvent();
    if (idle) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        clock_.EventCame(Now());
    }
    const ShowClock::Ms now = Now();
    const ShowClock::Ms until = clock_.Pump(now);
    if (until > now) {
        HandleEventsUntil(until);
    } else {
        // Handles the events and has the window system show the result now.
        QGuiApplication::sync();
    }
    if (trace_ != nullptr) {
        trace_->PumpReturned(idle);
    }
    ThrowIfEnding();
}

// The show stands still; the window goes on repainting, showing what the step drew and
// answering the window manager. Key presses wait for the next pump.
void QtStage::Sleep(std::int32_t ms) {
    {
        const InputHold held(window_.windowHandle());
        HandleEventsUntil(clock_.Sleep(ms, Now()));
    }
    if (trace_ != nullptr) {
        trace_->SleepReturned();
    }
    ThrowIfEnding();
}

// Handles events as they come until `until`, blocked in the event loop in between; returns
// early when the show is to end.
void QtStage::HandleEventsUntil(ShowClock::Ms until) {
    pumpTimer_.StartAt(TimePoint(until));
    while (pumpTimer_.IsActive() && !exitStatus_) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (pumpTimer_.IsActive()) {
        pumpTimer_.Stop();
    }
}

// --- the runtime ---------------------------------------------------------------------------

float QtStage::Timer() {
    return static_cast<float>(QTime::currentTime().msecsSinceStartOfDay()) / 1000.0F;
}

void QtStage::Randomize(float seed) {
    random_.Randomize(seed);
}

float QtStage::Rnd() {
    return random_.Rnd();
}

void QtStage::End() {
    EndShow(0);
    throw ShowEnded{};
}

// --- ticks ---------------------------------------------------------------------------------

void QtStage::OnTick() {
    if (form_ == nullptr || !clock_.StartStep(Now())) {
        return;
    }
    screenSaver_.Inhibit();
    if (trace_ != nullptr) {
        trace_->TickStarted();
    }
    RunHandler([this] { form_->Timer1_Timer(); });
    clock_.EndStep();
    if (exitStatus_) {
        Finish();
    } else {
        ArmTick();
    }
}

// A tick already due comes at once.
void QtStage::ArmTick() {
    const std::optional<ShowClock::Ms> due = clock_.TickDue();
    if (!due || exitStatus_) {
        tickTimer_.Stop();
        return;
    }
    tickTimer_.StartAt(TimePoint(*due));
}

// --- events of the window ------------------------------------------------------------------

void QtStage::OnKeyTyped(char16_t code) {
    if (form_ != nullptr) {
        auto keyAscii = static_cast<std::int16_t>(code);
        RunHandler([this, &keyAscii] { form_->Form_KeyPress(keyAscii); });
    }
}

// Once the window is on the screen, the card faces are decoded and the session bus is
// connected to while the show waits for its first tick, so that neither holds up a step.
void QtStage::OnFirstPainted() {
    if (trace_ != nullptr) {
        trace_->FirstPainted();
    }
    preparation_.start(0);
}

void QtStage::PrepareForTheShow() {
    for (const auto& pane : panes_) {
        pane->PrepareFace();
    }
    screenSaver_.Connect();
}

void QtStage::OnCloseRequested() {
    EndShow(0);
}

// --- the end of the show -------------------------------------------------------------------

// Runs one of the form's handlers. The show's end unwinds to here; any other exception is a
// failure of the show or of the stage.
void QtStage::RunHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const ShowEnded&) {
        // EndShow has been called.
    } catch (const std::exception& error) {
        Fail(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        Fail("an unknown error");
    }
}

// The status is set before the report, whose message box may wait a while for the user.
void QtStage::Fail(const QString& what) {
    if (exitStatus_) {
        return;  // ending already; the first reason stands
    }
    exitStatus_ = 1;
    tickTimer_.Stop();
    ReportFailure("the show stopped because of an error: " + what);
    EndShow(1);
}

void QtStage::EndShow(int status) {
    if (!exitStatus_) {
        exitStatus_ = status;
    }
    if (!clock_.InStep()) {
        Finish();
    }
}

void QtStage::ThrowIfEnding() const {
    if (exitStatus_) {
        throw ShowEnded{};
    }
}

void QtStage::Finish() {
    tickTimer_.Stop();
    screenSaver_.Release();
    form_ = nullptr;
    QApplication::exit(exitStatus_.value_or(0));
}
