#include "stage/qt_stage.h"

#include <QApplication>
#include <QTime>

#include <algorithm>
#include <bit>
#include <stdexcept>
#include <string>

#include "stage/failure_report.h"
#include "stage/input_hold.h"
#include "stage/stage_trace.h"

namespace {

constexpr int kSlotCount = 18;

QColor ToQColor(Color color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
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

void QtStage::SetForeColor(Color color) {
    window_.SetForeColor(ToQColor(color));
}

void QtStage::SetBackColor(Color color) {
    window_.SetBackColor(ToQColor(color));
    changedSincePump_ = true;
}

void QtStage::Cls() {
    window_.Cls();
    changedSincePump_ = true;
}

void QtStage::Print(const std::u16string& text) {
    window_.Print(QString::fromStdU16String(text));
    changedSincePump_ = true;
}

CardPane& QtStage::Picture1(std::int16_t index) {
    if (index < 0 || index >= kSlotCount) {
        throw std::out_of_range("there is no card pane " + std::to_string(index));
    }
    changedSincePump_ = true;  // the pane is fetched to be moved, shown or hidden
    return *panes_[static_cast<std::size_t>(index)];
}

void QtStage::SetInterval(std::int32_t ms) {
    interval_ = ms;
    tickDue_ = ShowTime() + std::chrono::milliseconds(ms);
    if (!inStep_) {
        ArmTick();
    }
}

// --- pumps and sleeps ---------------------------------------------------------------------

void QtStage::DoEvents() {
    const bool idle = !changedSincePump_;
    if (idle) {
        // Waiting for an event is the show's time passing, not the screen falling behind.
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        showTime_ = Clock::now();
    }
    changedSincePump_ = false;
    const auto called = ShowTime();
    if (called >= nextPumpSlot_) {
        // Handles the events and has the window system show the result now.
        QGuiApplication::sync();
        nextPumpSlot_ = called + kDrawPeriod;
    } else {
        HandleEventsUntil(nextPumpSlot_);
        showTime_ = nextPumpSlot_;
        nextPumpSlot_ += kDrawPeriod;
    }
    if (trace_ != nullptr) {
        trace_->PumpReturned(idle);
    }
    ThrowIfEnding();
}

// The show stands still; the window goes on repainting, showing what the step drew and
// answering the window manager. Key presses wait for the next pump.
void QtStage::Sleep(std::int32_t ms) {
    showTime_ = ShowTime() + std::chrono::milliseconds(ms);
    {
        const InputHold held(window_.windowHandle());
        HandleEventsUntil(showTime_);
    }
    changedSincePump_ = true;
    if (trace_ != nullptr) {
        trace_->SleepReturned();
    }
    ThrowIfEnding();
}

// Handles events as they come until `until`, blocked in the event loop in between; returns
// early when the show is to end.
void QtStage::HandleEventsUntil(Clock::time_point until) {
    pumpTimer_.StartAt(until);
    while (pumpTimer_.IsActive() && !exitStatus_) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (pumpTimer_.IsActive()) {
        pumpTimer_.Stop();
    }
}

// The show's own time: drawing takes none of it, so the time a draw or a pump's events take
// does not push back the draws, steps and pauses after it: a draw that comes late is made up
// by the next ones. The show's time never falls more than a few draws behind the clock; what
// the screen loses beyond that is given up. Between steps it is the clock's time.
QtStage::Clock::time_point QtStage::ShowTime() {
    const auto now = Clock::now();
    showTime_ = inStep_ ? std::max(showTime_, now - kMaxLag) : now;
    return showTime_;
}

// --- the runtime ---------------------------------------------------------------------------

float QtStage::Timer() {
    return static_cast<float>(QTime::currentTime().msecsSinceStartOfDay()) / 1000.0F;
}

void QtStage::Randomize(float seed) {
    generator_.seed(std::bit_cast<std::uint32_t>(seed));
}

// 24 random bits scaled by 2^-24: every result is a float in [0, 1), never 1.
float QtStage::Rnd() {
    constexpr float kScale = 1.0F / 16777216.0F;
    return static_cast<float>(generator_() >> 8) * kScale;
}

void QtStage::End() {
    EndShow(0);
    throw ShowEnded{};
}

// --- ticks ---------------------------------------------------------------------------------

void QtStage::OnTick() {
    if (form_ == nullptr || inStep_) {
        return;
    }
    inStep_ = true;
    screenSaver_.Inhibit();
    // A held tick starts when the step before it has ended.
    showTime_ = std::max(showTime_, tickDue_);
    tickDue_ = ShowTime() + std::chrono::milliseconds(interval_);
    if (trace_ != nullptr) {
        trace_->TickStarted();
    }
    RunHandler([this] { form_->Timer1_Timer(); });
    inStep_ = false;
    if (exitStatus_) {
        Finish();
    } else {
        ArmTick();
    }
}

// A timer without a positive interval never ticks; a tick already due comes at once.
void QtStage::ArmTick() {
    if (interval_ <= 0 || exitStatus_) {
        tickTimer_.Stop();
        return;
    }
    tickTimer_.StartAt(tickDue_);
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
    if (!inStep_) {
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
