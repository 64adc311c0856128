// The real program under faults from around it, as a desktop and its user cause them: the
// window closed mid-show, minimised, covered and resized; thousands of stray key presses;
// two copies at once; no display; and a trace of what it opens and connects to.
//
// Each show plays on a private X display of its own (Xvfb and openbox, on :80 to :89) in a
// thread of its own. All of them start before the first test, so the file takes about as
// long as its longest show, some 80 s; each test then waits for its show's record and
// judges it.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <future>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "stage/fit_rule.h"
#include "x_session.h"

namespace {

// The show's timeline in ms after its window opens, for a key pressed at the wait's first
// pump; a later key shifts everything after the wait by as much. A busy machine makes the
// opening zoom late (it loads the faces at 64 sizes), so the runs time their faults from
// what they see on the screen: step 1's line beginning, the first row coming and going.
constexpr qint64 kZoomEnds = 2275;          // the opening zoom leaves the window black ...
constexpr qint64 kStepOne = 3275;           // ... until step 1 types its line ...
constexpr qint64 kStepOneTyped = 4075;      // ... which stands still until step 2, at 7070
constexpr qint64 kRowShown = 30400;         // step 10 shows the first row, then sleeps 3000 ms
constexpr qint64 kRowPauseEnds = 33400;     // step 11 types over the row until 34360
constexpr qint64 kStepTwelveTyped = 36535;  // its last character; the window stands still ...
constexpr qint64 kStepThirteen = 38070;     // ... until step 13 clears it
constexpr qint64 kKeyWaitBegins = 38590;    // step 13 has typed its request, hides the row
constexpr qint64 kKeyToEnd = 72875 - kKeyWaitBegins;  // from the key to the program's end
constexpr qint64 kSecondRowAfterKey = 1680;  // step 14 types two lines, shows the second row
constexpr qint64 kSecondRowPause = 6000;     // and sleeps before step 15 hides it

// A correct program is never earlier than its timeline by more than the measuring error;
// when the machine is busy its typing can only stretch.
constexpr qint64 kEarly = 400;
constexpr qint64 kLate = 2000;
// A close is handled at once, also in a pause: the program ends within 100 ms of it. The
// tests allow for a busy machine.
constexpr qint64 kCloseWithin = 300;
// Two runs of the show on one machine at once keep the same timeline within this.
constexpr qint64 kSameTimeline = 400;
// Repainting after a window manager's change takes a pump or two; give it a few frames.
constexpr unsigned long kSettleMs = 150;

// The first row's cards, 150 x 200 from x = 40 on, under step 12's line (client pixels).
const QRect kRowArea(45, 150, 900, 180);
// The second row's cards, from x = 70 on, some 170 pixels lower.
const QRect kSecondRowArea(75, 325, 900, 180);
// Where a 30-point line at y = 40 draws, and above it, where only the opening zoom does.
const QRect kLineBand(0, 40, 1280, 60);
const QRect kAboveLine(0, 5, 1280, 30);

// How a program ended.
struct ProgramEnd {
    bool ended = false;    // within the time given
    bool crashed = false;  // by a signal
    int status = -1;
    QByteArray out;
    QByteArray err;
    qint64 at = -1;  // ms after its window opened
};

// Everything a run left for its tests to judge; moments in ms after the window opened.
struct RunRecord {
    std::string failure;  // why the run could not be recorded; empty when it was
    std::map<std::string, qint64> moments;
    std::map<std::string, QImage> frames;  // client areas
    std::map<std::string, QRect> areas;    // on the screen
    std::map<std::string, ProgramEnd> ends;
    QString display;
    QString trace;
    QString bus;           // the private session bus's socket
    QStringList busCalls;  // what the stand-in for the desktop was asked
    int keysSent = 0;
};

RunRecord Failed(const QString& why) {
    RunRecord record;
    record.failure = why.toStdString();
    return record;
}

// Displays come from one range; two sessions started at the same moment could both see
// the same free number, so they are started one at a time, and far enough apart that the
// shows' opening zooms do not all load their faces at once. When every display is taken,
// the next one given back is waited for, as long as the longest run may take.
std::unique_ptr<XSession> OpenDisplay() {
    constexpr unsigned long kApartMs = 1200;
    static std::mutex starting;
    static QDeadlineTimer nextStart(0);
    const QDeadlineTimer deadline(150000);
    while (true) {
        {
            const std::lock_guard lock(starting);
            QThread::msleep(
                static_cast<unsigned long>(std::max<qint64>(0, nextStart.remainingTime())));
            auto x = std::make_unique<XSession>(80, 89);
            if (x->IsUp() || deadline.hasExpired()) {
                nextStart.setRemainingTime(kApartMs);
                return x;
            }
        }
        QThread::msleep(500);
    }
}

ProgramEnd Ended(QProcess& program, qint64 at) {
    ProgramEnd end;
    end.ended = program.state() == QProcess::NotRunning;
    end.crashed = end.ended && program.exitStatus() == QProcess::CrashExit;
    end.status = end.ended ? program.exitCode() : -1;
    end.out = program.readAllStandardOutput();
    end.err = program.readAllStandardError();
    end.at = at;
    return end;
}

// One copy of a program on a display: its process, its window and a clock that starts when
// the window appears.
class Show {
  public:
    explicit Show(XSession& x, const QString& program = QORVELIN_PROGRAM,
                  const QStringList& arguments = {})
        : x_(x), program_(x.Launch(program, arguments, QProcess::SeparateChannels)) {}

    // Waits for the window (of this very process unless `anyProcess`, for a program started
    // through another) and starts the clock.
    bool Open(bool anyProcess = false) {
        if (program_ == nullptr) {
            failure_ = x_.Error();
            return false;
        }
        window_ = x_.WaitForWindow("Qorvelin", 30000, anyProcess ? 0 : program_->processId());
        clock_.start();
        if (window_.isEmpty()) {
            failure_ = "no visible window titled Qorvelin within 30 s";
            if (program_->state() == QProcess::NotRunning) {
                failure_ += QString("; the program ended with status %1: %2")
                                .arg(program_->exitCode())
                                .arg(QString::fromLocal8Bit(program_->readAllStandardError()));
            } else {
                failure_ += QString("; on %1 the windows are: %2; the program said: %3")
                                .arg(x_.Display(), x_.Run("xwininfo", {"-root", "-tree"}),
                                     QString::fromLocal8Bit(program_->readAllStandardError()));
            }
            return false;
        }
        // The window may first map at its normal size and be maximised a moment later.
        const QDeadlineTimer deadline(5000);
        while (!x_.WindowStates(window_).contains("_NET_WM_STATE_MAXIMIZED_HORZ")) {
            if (deadline.hasExpired()) {
                failure_ = "the window was not maximised within 5 s";
                return false;
            }
            QThread::msleep(20);
        }
        client_ = x_.WindowGeometry(window_);
        if (client_.isEmpty()) {
            failure_ = "the window's geometry cannot be read";
            return false;
        }
        return true;
    }
    QString Failure() const { return failure_; }
    const QString& Window() const { return window_; }
    QRect Client() const { return client_; }
    QProcess& Program() { return *program_; }

    qint64 Now() const { return clock_.elapsed(); }
    void SleepUntil(qint64 at) const {
        if (const qint64 left = at - Now(); left > 0) {
            QThread::msleep(static_cast<unsigned long>(left));
        }
    }

    // The screen within `area`, by default where the window's client area first was.
    QImage Frame(std::optional<QRect> area = std::nullopt) {
        const QImage screen = x_.Screenshot();
        return screen.isNull() ? screen : screen.copy(area.value_or(client_));
    }

    // A click on the title bar's close button: the window manager asks the window to close
    // (WM_DELETE_WINDOW). Returns the moment the request went out.
    qint64 Close() {
        const qint64 at = Now();
        x_.CloseWindow(window_);
        return at;
    }

    qint64 PressKey() {
        Activate();
        const qint64 at = Now();
        x_.Xdotool({"key", "space"});
        return at;
    }

    void Activate() { x_.Xdotool({"windowactivate", "--sync", window_}); }

    // Waits up to `timeoutMs` for the program to end.
    ProgramEnd WaitForEnd(int timeoutMs) {
        program_->waitForFinished(timeoutMs);
        return Ended(*program_, Now());
    }
    // Whether it has ended, within `ms`.
    bool EndsWithin(int ms) { return program_->waitForFinished(ms); }

  private:
    XSession& x_;
    QProcess* program_;
    QString window_;
    QString failure_;
    QRect client_;
    QElapsedTimer clock_;
};

// The share of the pixels of `area` brighter than a dark grey.
double LitShare(const QImage& image, const QRect& area) {
    const QRect inside = area.intersected(image.rect());
    if (inside.isEmpty()) {
        return 0;
    }
    qint64 lit = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = inside.left(); x <= inside.right(); ++x) {
            lit += qGray(row[x]) > 64 ? 1 : 0;
        }
    }
    return static_cast<double>(lit) / static_cast<double>(inside.width() * inside.height());
}

// The smallest rectangle that holds every pixel brighter than a dark grey.
QRect LitBox(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(row[x]) > 64) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

// How many pixels of two frames differ; -1 when their sizes do.
qint64 DifferingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull()) {
        return -1;
    }
    qint64 differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* rowA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rowB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            differing += (rowA[x] & 0xFFFFFF) != (rowB[x] & 0xFFFFFF) ? 1 : 0;
        }
    }
    return differing;
}

// The first moment, from `from` until `until`, whose frame shows what `seen` looks for;
// -1 if none did. `meanwhile` runs between the looks.
qint64 FirstSeen(Show& show, qint64 from, qint64 until,
                 const std::function<bool(const QImage&)>& seen,
                 const std::function<void()>& meanwhile) {
    while (show.Now() < from) {
        meanwhile();
        QThread::msleep(20);
    }
    while (show.Now() < until) {
        const qint64 at = show.Now();
        if (const QImage frame = show.Frame(); !frame.isNull() && seen(frame)) {
            return at;
        }
        meanwhile();
        QThread::msleep(20);
    }
    return -1;
}

// The zoom has ended: the whole window is black, and no longer the near black of its last
// frames.
bool ZoomOver(const QImage& frame) {
    return LitShare(frame, frame.rect()) == 0 && (frame.pixel(0, 0) & 0xFFFFFF) == 0;
}
// Step 1 has begun to type: the zoom's large line is gone, a line at y = 40 shows.
bool StepOneTypes(const QImage& frame) {
    return LitShare(frame, kAboveLine) < 0.001 && LitShare(frame, kLineBand) > 0.002;
}
bool RowShows(const QImage& frame) {
    return LitShare(frame, kRowArea) > 0.5;
}
bool RowGone(const QImage& frame) {
    return LitShare(frame, kRowArea) < 0.01;
}
bool SecondRowShows(const QImage& frame) {
    return LitShare(frame, kSecondRowArea) > 0.5;
}

// Where the show is: when the zoom ended, when step 1 began, when the first row came and
// when it went (the key wait's start), and when the second row came after the key, each
// seen on the screen and kept in `record`; false, with the reason in `record`, when it was
// not seen in good time.
bool Seen(
    Show& show, RunRecord& record, const std::string& event,
    const std::function<void()>& meanwhile = [] {}) {
    qint64 at = -1;
    if (event == "zoom over") {
        at = FirstSeen(show, kZoomEnds - 1000, kZoomEnds + 8000, ZoomOver, meanwhile);
    } else if (event == "step 1") {
        at = FirstSeen(show, kStepOne - 1000, kStepOne + 8000, StepOneTypes, meanwhile);
    } else if (event == "row shown") {
        const qint64 expected = record.moments.at("step 1") + kRowShown - kStepOne;
        at = FirstSeen(show, expected - 1000, expected + 5000, RowShows, meanwhile);
    } else if (event == "row gone") {
        const qint64 expected = record.moments.at("row shown") + kKeyWaitBegins - kRowShown;
        at = FirstSeen(show, expected - 1000, expected + 5000, RowGone, meanwhile);
    } else if (event == "second row shown") {
        const qint64 expected = record.moments.at("key") + kSecondRowAfterKey;
        at = FirstSeen(show, expected - 1000, expected + 4000, SecondRowShows, meanwhile);
    }
    record.moments[event] = at;
    if (at < 0) {
        record.failure = "did not see " + event + " in good time";
    }
    return at >= 0;
}

std::string Describe(const QRect& area) {
    return QString("%1 x %2 at (%3, %4)")
        .arg(area.width())
        .arg(area.height())
        .arg(area.x())
        .arg(area.y())
        .toStdString();
}

// Keeps a frame a test found wrong, and says where.
std::string Kept(const QImage& frame, const std::string& name) {
    const QString folder = QDir::temp().filePath(
        QString("qorvelin-faults-%1").arg(QCoreApplication::applicationPid()));
    QDir().mkpath(folder);
    QString file = QString::fromStdString(name);
    file.replace(QRegularExpression("[^A-Za-z0-9]+"), "-");
    const QString path = QDir(folder).filePath(file + ".png");
    frame.save(path);
    return path.toStdString();
}

// --- the runs -----------------------------------------------------------------------------

// Closes the window `after` ms after the last of `events` was seen and sees how the program
// ends. The event "key" is the key press that ends the wait, two seconds into it.
RunRecord RecordOneClose(const std::vector<std::string>& events, qint64 after) {
    const auto x = OpenDisplay();
    if (!x->IsUp()) {
        return Failed(x->Error());
    }
    Show show(*x);
    if (!show.Open()) {
        return Failed(show.Failure());
    }
    RunRecord record;
    for (const std::string& event : events) {
        if (event == "key") {
            show.SleepUntil(record.moments.at("row gone") + 2000);
            record.moments["key"] = show.PressKey();
        } else if (!Seen(show, record, event)) {
            return record;
        }
    }
    show.SleepUntil(record.moments.at(events.back()) + after);
    record.moments["closed"] = show.Close();
    record.ends["program"] = show.WaitForEnd(10000);
    return record;
}

qint64 CloseToEnd(const RunRecord& record, const std::string& prefix = "") {
    return record.ends.at(prefix + "program").at - record.moments.at(prefix + "closed");
}

// A close that was not obeyed in time is tried once more, in a new show. A program that
// waits out its pause fails both tries; a loaded machine that stalls for a second now and
// then seldom does so twice at the same moment of two shows. The first try is kept.
RunRecord RecordClose(const std::vector<std::string>& events, qint64 after) {
    RunRecord first = RecordOneClose(events, after);
    if (!first.failure.empty() || !first.ends.at("program").ended ||
        CloseToEnd(first) <= kCloseWithin) {
        return first;
    }
    RunRecord second = RecordOneClose(events, after);
    second.moments["first try: closed"] = first.moments.at("closed");
    second.ends["first try: program"] = first.ends.at("program");
    return second;
}

// Something a window manager or another program does to the window, and its undoing. It
// keeps what the screen shows meanwhile as "<moment> during", or for a resize as
// "<moment> shrunk" with its area.
using Disturbance = std::function<QString(XSession&, Show&, RunRecord&, const std::string&)>;

QString Minimise(XSession& x, Show& show, RunRecord& record, const std::string& moment) {
    bool ok = false;
    x.Xdotool({"windowminimize", "--sync", show.Window()}, &ok);
    if (!ok) {
        return "the window manager did not minimise the window";
    }
    // The window is unmapped by now, its frame a moment later.
    QThread::msleep(kSettleMs);
    record.frames[moment + " during"] = show.Frame();
    x.Xdotool({"windowactivate", "--sync", show.Window()}, &ok);
    return ok ? QString() : "the window manager did not restore the window";
}

QString Cover(XSession& x, Show& show, RunRecord& record, const std::string& moment) {
    QProcess* cover = x.Launch(
        "xmessage", {"-title", "Cover", "-geometry", "640x360+200+60", "A window over the show"});
    if (cover == nullptr || x.WaitForWindow("Cover", 5000).isEmpty()) {
        return "the covering window did not appear: " + x.Error();
    }
    QThread::msleep(kSettleMs);
    record.frames[moment + " during"] = show.Frame();
    cover->terminate();
    cover->waitForFinished(3000);
    return {};
}

bool Maximised(XSession& x, const QString& window) {
    return x.WindowStates(window).contains("_NET_WM_STATE_MAXIMIZED_VERT");
}

// A double click on the title bar toggles maximisation in openbox; true once the window
// is in the state wanted.
bool ToggleMaximised(XSession& x, const QString& window, const QRect& client, bool wanted) {
    const QPoint title(client.center().x(), client.top() - 9);
    x.Xdotool({"mousemove", QString::number(title.x()), QString::number(title.y()), "click",
               "--repeat", "2", "--delay", "60", "1"});
    const QDeadlineTimer deadline(3000);
    while (Maximised(x, window) != wanted) {
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(20);
    }
    return true;
}

QString Resize(XSession& x, Show& show, RunRecord& record, const std::string& moment) {
    if (!ToggleMaximised(x, show.Window(), show.Client(), false)) {
        return "the window manager did not restore the window to its normal size";
    }
    bool ok = false;
    x.Xdotool({"windowsize", "--sync", show.Window(), "600", "400"}, &ok);
    const QRect small = x.WindowGeometry(show.Window());
    if (!ok || small.size() != QSize(600, 400)) {
        return "the window manager did not make the window 600 x 400";
    }
    QThread::msleep(kSettleMs);
    record.areas[moment + " shrunk"] = small;
    record.frames[moment + " shrunk"] = show.Frame(small);
    if (!ToggleMaximised(x, show.Window(), small, true)) {
        return "the window manager did not maximise the window again";
    }
    return {};
}

// Disturbs the window twice, while step 1's line stands still and while step 12's line and
// the first row do, keeping frames before and after; then closes it in the key wait.
RunRecord RecordDisturbed(const Disturbance& disturb) {
    const auto x = OpenDisplay();
    if (!x->IsUp()) {
        return Failed(x->Error());
    }
    Show show(*x);
    if (!show.Open()) {
        return Failed(show.Failure());
    }
    RunRecord record;
    record.areas["client"] = show.Client();
    for (const auto& [moment, event, after] :
         {std::tuple{"line", "step 1", kStepOneTyped - kStepOne + 700},
          std::tuple{"row", "row shown", kStepTwelveTyped - kRowShown + 100}}) {
        if (!Seen(show, record, event)) {
            return record;
        }
        show.SleepUntil(record.moments.at(event) + after);
        record.frames[std::string(moment) + " before"] = show.Frame();
        if (const QString failure = disturb(*x, show, record, moment); !failure.isEmpty()) {
            return Failed(QString("%1 (%2)").arg(failure, moment));
        }
        // The window manager may take a moment to put the frame back.
        const QDeadlineTimer deadline(1000);
        while (x->WindowGeometry(show.Window()) != show.Client() && !deadline.hasExpired()) {
            QThread::msleep(20);
        }
        QThread::msleep(kSettleMs);
        record.areas[std::string(moment) + " after"] = x->WindowGeometry(show.Window());
        record.frames[std::string(moment) + " after"] = show.Frame();
        record.moments[std::string(moment) + " after"] = show.Now();
    }
    if (!Seen(show, record, "row gone")) {
        return record;
    }
    show.SleepUntil(record.moments.at("row gone") + 2000);
    record.moments["closed"] = show.Close();
    record.ends["program"] = show.WaitForEnd(10000);
    return record;
}

// Keys that type a character, keys that type none, and control combinations; none of
// them is one of the window manager's.
const QStringList kStormKeys{"a",       "space",  "Return",   "Escape", "Tab",       "BackSpace",
                             "z",       "5",      "Shift_L",  "F5",     "Left",      "ctrl+c",
                             "shift+q", "Delete", "KP_Enter", "Home",   "Control_R", "minus"};

QStringList StormKeys(int count, int delayMs) {
    QStringList arguments{"key", "--delay", QString::number(delayMs)};
    for (int key = 0; key < count; ++key) {
        arguments << kStormKeys[key % kStormKeys.size()];
    }
    return arguments;
}

// The show with a storm of keys from its first moment until shortly before step 13, and
// another from the key that ends the wait to the end; or, as the yardstick, the same show
// with no key but that one. The storm comes in bursts, so that none is under way when step
// 13 begins.
RunRecord RecordKeys(bool storm) {
    const auto x = OpenDisplay();
    if (!x->IsUp()) {
        return Failed(x->Error());
    }
    Show show(*x);
    if (!show.Open()) {
        return Failed(show.Failure());
    }
    RunRecord record;
    constexpr int kBurst = 150;
    QProcess* burst = nullptr;
    qint64 burstStarted = 0;
    qint64 longestBurst = 0;
    qint64 stopBy = std::numeric_limits<qint64>::max();
    // Keeps one burst under way, but starts none that might not be over by `stopBy`.
    const auto storming = [&] {
        if (!storm) {
            return;
        }
        if (burst != nullptr &&
            (burst->waitForFinished(1) || burst->state() == QProcess::NotRunning)) {
            longestBurst = std::max(longestBurst, show.Now() - burstStarted);
            record.keysSent += kBurst;
            burst = nullptr;
        }
        if (burst == nullptr && show.Now() + 2 * longestBurst + 200 < stopBy) {
            burstStarted = show.Now();
            burst = x->Launch("xdotool", StormKeys(kBurst, 3));
        }
    };
    if (!Seen(show, record, "step 1", storming)) {
        return record;
    }
    record.moments["step 13"] = record.moments.at("step 1") + kStepThirteen - kStepOne;
    stopBy = record.moments.at("step 13") - 300;
    if (!Seen(show, record, "row shown", storming)) {
        return record;
    }
    while (burst != nullptr) {
        storming();
    }
    record.moments["storm stopped"] = show.Now();
    if (!Seen(show, record, "row gone")) {
        return record;
    }
    const qint64 waitBegins = record.moments.at("row gone");
    show.SleepUntil(waitBegins + 4500);
    record.frames["waiting"] = show.Frame();
    show.SleepUntil(waitBegins + 5000);
    if (storm) {
        constexpr int kAfterKey = 3000;
        record.moments["key"] = show.Now();
        QProcess* keys = x->Launch("xdotool", StormKeys(kAfterKey, 10));
        record.ends["program"] = show.WaitForEnd(60000);
        if (keys != nullptr) {
            keys->kill();
            keys->waitForFinished(3000);
            record.keysSent += kAfterKey;
        }
    } else {
        record.moments["key"] = show.PressKey();
        record.ends["program"] = show.WaitForEnd(60000);
    }
    return record;
}

// Both copies play on one display, one window over the other, so neither can be watched:
// their keys come on the clock, late enough for a busy machine.
constexpr qint64 kFirstCopysKey = 44000;
constexpr qint64 kSecondCopysKey = 48000;

// Two copies started together on one display; each gets its key at its own moment.
RunRecord RecordTwoCopies() {
    const auto x = OpenDisplay();
    if (!x->IsUp()) {
        return Failed(x->Error());
    }
    Show first(*x);
    Show second(*x);
    if (!first.Open() || !second.Open()) {
        return Failed("first copy: " + first.Failure() + "; second copy: " + second.Failure());
    }
    RunRecord record;
    first.SleepUntil(kFirstCopysKey);
    record.moments["first key"] = first.PressKey();
    second.SleepUntil(kSecondCopysKey);
    record.moments["second key"] = second.PressKey();

    const QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired() &&
           (!record.ends.contains("first") || !record.ends.contains("second"))) {
        for (auto [name, show] : {std::pair{"first", &first}, std::pair{"second", &second}}) {
            if (!record.ends.contains(name) && show->EndsWithin(10)) {
                record.ends[name] = Ended(show->Program(), show->Now());
            }
        }
    }
    for (auto [name, show] : {std::pair{"first", &first}, std::pair{"second", &second}}) {
        if (!record.ends.contains(name)) {
            record.ends[name] = Ended(show->Program(), show->Now());
        }
    }
    return record;
}

// A session bus of the test's own, with the stand-in for the desktop's screen-saver
// inhibition on it serving `services` (--portal, --screensaver). Nothing is activated on it.
class PrivateBus {
  public:
    explicit PrivateBus(const QStringList& services) {
        QFile config(folder_.filePath("bus.conf"));
        config.open(QIODevice::WriteOnly);
        config.write(QString(R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=%1</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)")
                         .arg(SocketPath())
                         .toUtf8());
        config.close();
        daemon_.start("dbus-daemon",
                      {"--nofork", "--print-address=1", "--config-file=" + config.fileName()});
        if (!daemon_.waitForReadyRead(10000)) {
            error_ = "dbus-daemon did not start: " + daemon_.errorString();
            return;
        }
        address_ = QString::fromLocal8Bit(daemon_.readLine()).trimmed();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DBUS_SESSION_BUS_ADDRESS", address_);
        standIn_.setProcessEnvironment(environment);
        standIn_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        standIn_.start(QORVELIN_INHIBIT_STAND_IN, services);
        if (!WaitFor("ready", 10000)) {
            error_ = "the stand-in did not come up on the bus";
        }
    }
    ~PrivateBus() {
        for (QProcess* process : {&standIn_, &daemon_}) {
            process->kill();
            process->waitForFinished(3000);
        }
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    QString Error() const { return error_; }
    QString Address() const { return address_; }
    QString SocketPath() const { return folder_.filePath("bus"); }

    // Whether the stand-in has said a line that begins with `start`, waiting up to `ms`.
    bool WaitFor(const QString& start, int ms) {
        const QDeadlineTimer deadline(ms);
        while (true) {
            ReadLines();
            if (std::any_of(said_.begin(), said_.end(),
                            [&](const QString& line) { return line.startsWith(start); })) {
                return true;
            }
            if (deadline.hasExpired()) {
                return false;
            }
            standIn_.waitForReadyRead(100);
        }
    }
    // What it has been asked, the "ready" left out.
    QStringList Calls() {
        standIn_.waitForReadyRead(200);
        ReadLines();
        return said_.mid(1);
    }

  private:
    void ReadLines() {
        while (standIn_.canReadLine()) {
            said_ << QString::fromUtf8(standIn_.readLine()).trimmed();
        }
    }

    QTemporaryDir folder_;
    QProcess daemon_;
    QProcess standIn_;
    QString address_;
    QString error_;
    QStringList said_;
};

// The program, started through `wrapper` (env, strace ...) with a private session bus whose
// stand-in serves `services`; closed once it has asked to keep the screen awake and the
// answer had a moment to reach it.
RunRecord RecordWithBus(const QStringList& services, const QStringList& wrapper) {
    const auto x = OpenDisplay();
    if (!x->IsUp()) {
        return Failed(x->Error());
    }
    PrivateBus bus(services);
    if (!bus.Error().isEmpty()) {
        return Failed(bus.Error());
    }
    Show show(*x, "env",
              QStringList{"DBUS_SESSION_BUS_ADDRESS=" + bus.Address()} + wrapper +
                  QStringList{QORVELIN_PROGRAM});
    if (!show.Open(true)) {
        return Failed(show.Failure());
    }
    RunRecord record;
    record.display = x->Display();
    record.bus = bus.SocketPath();
    if (!bus.WaitFor(services.contains("--portal") ? "portal Inhibit" : "screensaver Inhibit",
                     15000)) {
        record.failure = "the program asked nothing of the stand-in within 15 s";
    }
    QThread::msleep(1000);
    record.moments["closed"] = show.Close();
    record.ends["program"] = show.WaitForEnd(20000);
    record.busCalls = bus.Calls();
    return record;
}

// The program traced for its network calls and opened files, with a portal on its bus.
RunRecord RecordTrace() {
    QTemporaryDir folder;
    const QString log = folder.filePath("trace.txt");
    RunRecord record = RecordWithBus(
        {"--portal"}, {"strace", "-f", "-qq", "-e", "trace=network,openat", "-o", log});
    QFile file(log);
    if (record.failure.empty() && !file.open(QIODevice::ReadOnly)) {
        return Failed("strace left no log");
    }
    record.trace = QString::fromLocal8Bit(file.readAll());
    return record;
}

// --- running them all at once --------------------------------------------------------------

struct Run {
    std::string name;
    std::function<RunRecord()> record;
    std::string suite;  // the test suite that reads it
    std::shared_future<RunRecord> result;
    std::unique_ptr<QThread> thread;
};

// The longest first: the runs start one after another, and the file lasts until the last
// of them ends.
std::vector<Run>& Runs() {
    static std::vector<Run> runs = [] {
        std::vector<Run> all;
        const auto add = [&](std::string name, std::function<RunRecord()> record,
                             std::string suite) {
            all.push_back({std::move(name), std::move(record), std::move(suite), {}, {}});
        };
        add("two copies", RecordTwoCopies, "TwoCopies");
        add(
            "close in the second row's pause",
            [] {
                return RecordClose({"step 1", "row shown", "row gone", "key", "second row shown"},
                                   kSecondRowPause / 2);
            },
            "CloseTheWindow");
        add(
            "key storm", [] { return RecordKeys(true); }, "KeyStorm");
        add(
            "one key", [] { return RecordKeys(false); }, "KeyStorm");
        add(
            "close in the key wait",
            [] {
                return RecordClose({"step 1", "row shown", "row gone"}, 3400);
            },
            "CloseTheWindow");
        add(
            "minimise", [] { return RecordDisturbed(Minimise); }, "WindowManager");
        add(
            "cover", [] { return RecordDisturbed(Cover); }, "WindowManager");
        add(
            "resize", [] { return RecordDisturbed(Resize); }, "WindowManager");
        add(
            "close while typing over the row",
            [] {
                return RecordClose({"step 1", "row shown"}, kRowPauseEnds - kRowShown + 500);
            },
            "CloseTheWindow");
        add(
            "close in the row's pause",
            [] {
                return RecordClose({"step 1", "row shown"}, (kRowPauseEnds - kRowShown) / 2);
            },
            "CloseTheWindow");
        // Step 1's line is seen within some 150 ms of its start and types for 800 ms.
        add(
            "close while typing", [] { return RecordClose({"step 1"}, 150); }, "CloseTheWindow");
        // The zoom's end is seen within some 100 ms; the pause after it lasts 1000 ms.
        add(
            "close in the opening's pause", [] { return RecordClose({"zoom over"}, 400); },
            "CloseTheWindow");
        // From the eleventh display on, they wait for the first ones given back.
        add("trace", RecordTrace, "Trace");
        add(
            "screen saver", [] { return RecordWithBus({"--screensaver"}, {}); },
            "KeepTheScreenAwake");
        return all;
    }();
    return runs;
}

void Start(Run& run) {
    if (run.thread) {
        return;
    }
    auto task = std::make_shared<std::packaged_task<RunRecord()>>(run.record);
    run.result = task->get_future().share();
    run.thread.reset(QThread::create([task] { (*task)(); }));
    run.thread->start();
}

// The record of a run, once it is complete; a run nobody started yet starts now.
const RunRecord& Record(const std::string& name) {
    const auto run = std::find_if(Runs().begin(), Runs().end(),
                                  [&](const Run& candidate) { return candidate.name == name; });
    Start(*run);
    return run->result.get();
}

// Starts the runs of every test suite that is going to run, before the first test.
class RunsInBackground : public testing::Environment {
  public:
    void SetUp() override {
        std::set<std::string> suites;
        const testing::UnitTest& tests = *testing::UnitTest::GetInstance();
        for (int index = 0; index < tests.total_test_suite_count(); ++index) {
            if (tests.GetTestSuite(index)->should_run()) {
                suites.insert(tests.GetTestSuite(index)->name());
            }
        }
        for (Run& run : Runs()) {
            if (suites.contains(run.suite)) {
                Start(run);
            }
        }
    }
    void TearDown() override {
        for (Run& run : Runs()) {
            if (run.thread) {
                run.thread->wait();
                run.thread.reset();
            }
        }
    }
};

// --- judging ------------------------------------------------------------------------------

std::string Text(const QByteArray& bytes) {
    return bytes.toStdString();
}

// Ended by itself, normally, with status 0 and not a word on either stream.
void ExpectQuietEnd(const ProgramEnd& end) {
    ASSERT_TRUE(end.ended) << "still running";
    EXPECT_FALSE(end.crashed) << "ended by a signal";
    EXPECT_EQ(end.status, 0);
    EXPECT_EQ(Text(end.out), "") << "on stdout";
    EXPECT_EQ(Text(end.err), "") << "on stderr";
}

void ExpectPromptQuietEnd(const std::string& run) {
    const RunRecord& record = Record(run);
    ASSERT_EQ(record.failure, "");
    if (record.ends.contains("first try: program")) {
        ExpectQuietEnd(record.ends.at("first try: program"));
        std::printf("Measured: %s, first try: the program ended %lld ms after the close\n",
                    run.c_str(), static_cast<long long>(CloseToEnd(record, "first try: ")));
    }
    ExpectQuietEnd(record.ends.at("program"));
    const qint64 closeToEnd = CloseToEnd(record);
    std::printf("Measured: %s: the program ended %lld ms after the close\n", run.c_str(),
                static_cast<long long>(closeToEnd));
    std::fflush(stdout);
    EXPECT_LE(closeToEnd, kCloseWithin) << "ms from the close to the end";
}

TEST(CloseTheWindow, WhileALineTypesEndsTheProgramAtOnceAndQuietly) {
    ExpectPromptQuietEnd("close while typing");
}

TEST(CloseTheWindow, WhileALineTypesOverTheFirstRowEndsItAtOnce) {
    ExpectPromptQuietEnd("close while typing over the row");
}

TEST(CloseTheWindow, DuringTheKeyWaitEndsItAtOnce) {
    ExpectPromptQuietEnd("close in the key wait");
}

// A pause holds the show, not the window: a close in the middle of one is obeyed at once.
// (None of these runs has a session bus: without one the program says nothing either.)
TEST(CloseTheWindow, InThePausesEndsItAtOnce) {
    for (const std::string run : {"close in the opening's pause", "close in the row's pause",
                                  "close in the second row's pause"}) {
        SCOPED_TRACE(run);
        ExpectPromptQuietEnd(run);
    }
}

// Before, the frame shows the line (and in the row's moment the cards); the disturbance
// changed what the screen showed; afterwards the window is where it was and shows exactly
// what it showed before.
void ExpectRestored(const std::string& run) {
    const RunRecord& record = Record(run);
    ASSERT_EQ(record.failure, "");
    for (const std::string moment : {"line", "row"}) {
        SCOPED_TRACE(moment);
        std::string name = run;
        name.append(" ").append(moment);
        const QImage& before = record.frames.at(moment + " before");
        const QImage& after = record.frames.at(moment + " after");
        ASSERT_FALSE(before.isNull());
        EXPECT_GT(LitShare(before, kLineBand), 0.02)
            << "no line in " << Kept(before, name + " before");
        const std::string anchor = moment == "line" ? "step 1" : "row shown";
        testing::Test::RecordProperty(
            moment + "_after_frame_ms_from_" + (moment == "line" ? "step_1" : "row"),
            std::to_string(record.moments.at(moment + " after") - record.moments.at(anchor)));
        // The last frame came before the next step cleared the window.
        if (moment == "line") {
            EXPECT_LT(record.moments.at("line after"),
                      record.moments.at("step 1") + 7070 - kStepOne);
        } else {
            EXPECT_TRUE(RowShows(before)) << "no row in " << Kept(before, name + " before");
            EXPECT_LT(record.moments.at("row after"),
                      record.moments.at("row shown") + kStepThirteen - kRowShown);
        }
        if (record.frames.contains(moment + " during")) {
            EXPECT_GT(DifferingPixels(before, record.frames.at(moment + " during")), 1000)
                << "the disturbance did not show";
        }
        EXPECT_EQ(Describe(record.areas.at(moment + " after")),
                  Describe(record.areas.at("client")));
        EXPECT_EQ(DifferingPixels(before, after), 0)
            << "pixels changed: " << Kept(before, name + " before") << " and "
            << Kept(after, name + " after");
    }
    ExpectQuietEnd(record.ends.at("program"));
}

TEST(WindowManager, MinimisedAndRestoredTheWindowShowsItsLineAndCardsInPlace) {
    ExpectRestored("minimise");
}

TEST(WindowManager, CoveredAndUncoveredTheWindowShowsItsLineAndCardsInPlace) {
    ExpectRestored("cover");
}

// While small, the window shows all it showed, scaled down alike to fit from its top-left
// corner: whatever is lit stands where it stood, at the smaller scale.
TEST(WindowManager, ShrunkAndMaximisedAgainTheWindowShowsItsLineAndCardsInPlace) {
    ExpectRestored("resize");
    const RunRecord& record = Record("resize");
    ASSERT_EQ(record.failure, "");
    for (const std::string moment : {"line", "row"}) {
        SCOPED_TRACE(moment);
        const QImage& shrunk = record.frames.at(moment + " shrunk");
        const QImage& before = record.frames.at(moment + " before");
        const double scale =
            FitScale(static_cast<float>(shrunk.width()), static_cast<float>(shrunk.height()));
        ASSERT_LT(scale, 1);
        const QRect lit = LitBox(before);
        const QRect wanted(
            QPoint(static_cast<int>(lit.left() * scale), static_cast<int>(lit.top() * scale)),
            QPoint(static_cast<int>(lit.right() * scale), static_cast<int>(lit.bottom() * scale)));
        const QRect seen = LitBox(shrunk);
        for (const auto& [edge, at, expected] :
             {std::tuple{"left", seen.left(), wanted.left()},
              std::tuple{"top", seen.top(), wanted.top()},
              std::tuple{"right", seen.right(), wanted.right()},
              std::tuple{"bottom", seen.bottom(), wanted.bottom()}}) {
            EXPECT_NEAR(at, expected, 2) << edge << ": " << Kept(before, "resize " + moment)
                                         << " and " << Kept(shrunk, "resize " + moment + " shrunk");
        }
    }
}

TEST(KeyStorm, KeepsTheShowOnItsTimeline) {
    const RunRecord& storm = Record("key storm");
    const RunRecord& yardstick = Record("one key");
    ASSERT_EQ(storm.failure, "");
    ASSERT_EQ(yardstick.failure, "");
    EXPECT_GE(storm.keysSent, 5000);
    EXPECT_LT(storm.moments.at("storm stopped"), storm.moments.at("step 13"));

    // From step 1 to the wait: the storm's keys came between ticks, in pumps and in sleeps.
    const auto toWait = [](const RunRecord& record) {
        return record.moments.at("row gone") - record.moments.at("step 1");
    };
    EXPECT_GE(toWait(yardstick), kKeyWaitBegins - kStepOne - kEarly);
    EXPECT_LE(toWait(yardstick), kKeyWaitBegins - kStepOne + kLate);
    EXPECT_NEAR(toWait(storm), toWait(yardstick), kSameTimeline);
    RecordProperty("keys", storm.keysSent);
    RecordProperty("step_1_seen_ms", std::to_string(storm.moments.at("step 1")) + " / " +
                                         std::to_string(yardstick.moments.at("step 1")));
    RecordProperty("step_1_to_wait_ms",
                   std::to_string(toWait(storm)) + " / " + std::to_string(toWait(yardstick)));

    // From the key to the end.
    const ProgramEnd& stormEnd = storm.ends.at("program");
    const ProgramEnd& yardstickEnd = yardstick.ends.at("program");
    ExpectQuietEnd(stormEnd);
    ExpectQuietEnd(yardstickEnd);
    const qint64 keyToEnd = yardstickEnd.at - yardstick.moments.at("key");
    EXPECT_GE(keyToEnd, kKeyToEnd - kEarly);
    EXPECT_LE(keyToEnd, kKeyToEnd + kLate);
    EXPECT_NEAR(stormEnd.at - storm.moments.at("key"), keyToEnd, kSameTimeline);
    RecordProperty("key_to_end_ms", std::to_string(stormEnd.at - storm.moments.at("key")) + " / " +
                                        std::to_string(keyToEnd));
}

// None of the thousands of keys before step 13 ends its wait: 5 s into it the storm's show
// still shows just the request, as the undisturbed one does.
TEST(KeyStorm, TheKeyWaitStillEndsOnlyOnAKeyAfterItsRequest) {
    const RunRecord& storm = Record("key storm");
    const RunRecord& yardstick = Record("one key");
    ASSERT_EQ(storm.failure, "");
    ASSERT_EQ(yardstick.failure, "");
    const QImage& waiting = storm.frames.at("waiting");
    EXPECT_EQ(DifferingPixels(waiting, yardstick.frames.at("waiting")), 0)
        << Kept(waiting, "storm waiting") << " and "
        << Kept(yardstick.frames.at("waiting"), "yardstick waiting");
    EXPECT_GT(LitShare(waiting, kLineBand), 0.02) << "no request";
    EXPECT_GE(storm.ends.at("program").at - storm.moments.at("key"), kKeyToEnd - kEarly)
        << "the show went on before the key";
}

// Each copy waits for its own key, 4 s apart, and ends on its own timeline from it.
TEST(TwoCopies, StartedAtOnceBothPlayToTheEndOnTheirOwnTimelines) {
    const RunRecord& record = Record("two copies");
    ASSERT_EQ(record.failure, "");
    for (const std::string copy : {"first", "second"}) {
        SCOPED_TRACE(copy + " copy");
        const ProgramEnd& end = record.ends.at(copy);
        ExpectQuietEnd(end);
        const qint64 keyToEnd = end.at - record.moments.at(copy + " key");
        RecordProperty(copy + "_key_to_end_ms", std::to_string(keyToEnd));
        EXPECT_GE(keyToEnd, kKeyToEnd - kEarly);
        EXPECT_LE(keyToEnd, kKeyToEnd + kLate);
    }
}

// One traced call as strace wrote it, its pieces joined when threads interleaved.
struct TracedCall {
    QString name;
    QString text;
};

std::vector<TracedCall> TracedCalls(const QString& trace) {
    static const QRegularExpression line(R"(^(\d+)\s+(.*)$)");
    static const QRegularExpression resumed(R"(^<\.\.\. (\w+) resumed>(.*)$)");
    std::vector<TracedCall> calls;
    std::map<QString, QString> unfinished;  // by thread
    for (const QString& raw : trace.split('\n', Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = line.match(raw);
        if (!match.hasMatch()) {
            continue;
        }
        const QString thread = match.captured(1);
        QString text = match.captured(2);
        if (text.endsWith("<unfinished ...>")) {
            unfinished[thread] = text.chopped(16);
            continue;
        }
        if (const QRegularExpressionMatch rest = resumed.match(text); rest.hasMatch()) {
            text = unfinished[thread] + rest.captured(2);
            unfinished.erase(thread);
        }
        if (text.startsWith("+++") || text.startsWith("---")) {
            continue;
        }
        calls.push_back({text.section('(', 0, 0), text});
    }
    return calls;
}

TEST(Trace, ConnectsToNothingButTheXServerAndTheSessionBus) {
    const RunRecord& record = Record("trace");
    ASSERT_EQ(record.failure, "");
    ExpectQuietEnd(record.ends.at("program"));
    const QString server = "\"/tmp/.X11-unix/X" + record.display.mid(1) + "\"";
    const QString bus = "\"" + record.bus + "\"";
    int toServer = 0;
    int toBus = 0;
    for (const TracedCall& call : TracedCalls(record.trace)) {
        const std::string text = call.text.toStdString();
        EXPECT_FALSE(call.text.contains("AF_INET")) << text;
        if (call.name == "socket") {
            EXPECT_TRUE(call.text.startsWith("socket(AF_UNIX,")) << text;
        }
        if (call.name == "connect") {
            toServer += call.text.contains(server) ? 1 : 0;
            toBus += call.text.contains(bus) ? 1 : 0;
            EXPECT_TRUE(call.text.contains(server) || call.text.contains(bus)) << text;
        }
    }
    EXPECT_GE(toServer, 1) << "not even to the X server: was the trace taken?";
    EXPECT_GE(toBus, 1) << "not to the session bus";
}

// From the first tick the desktop is asked, once, not to blank or lock the screen, through
// the portal where there is one, else through the screen saver service; the program lets go
// as it ends.
TEST(KeepTheScreenAwake, ThroughThePortalWhileTheShowPlays) {
    const RunRecord& record = Record("trace");
    ASSERT_EQ(record.failure, "");
    EXPECT_EQ(record.busCalls.join('\n').toStdString(),
              "portal Inhibit window='' flags=8 reason='A classroom demonstration is playing'\n"
              "portal Close");
}

TEST(KeepTheScreenAwake, ThroughTheScreenSaverServiceWithoutAPortal) {
    const RunRecord& record = Record("screen saver");
    ASSERT_EQ(record.failure, "");
    ExpectQuietEnd(record.ends.at("program"));
    EXPECT_EQ(record.busCalls.join('\n').toStdString(),
              "screensaver Inhibit application='Qorvelin' reason='A classroom demonstration is "
              "playing'\nscreensaver UnInhibit 42");
}

TEST(Trace, OpensNoFileOfTheProjectAndNoImage) {
    const RunRecord& record = Record("trace");
    ASSERT_EQ(record.failure, "");
    static const QRegularExpression path(R"(^openat\([^"]*"([^"]*)\")");
    static const QRegularExpression openedFile(R"(\) = \d+$)");
    static const QRegularExpression image(R"(\.(jpe?g|png|svg)$)",
                                          QRegularExpression::CaseInsensitiveOption);
    const QString source = QDir::cleanPath(QORVELIN_SOURCE_DIR) + "/";
    const QString build = QDir::cleanPath(QORVELIN_BUILD_DIR) + "/";
    int opened = 0;
    for (const TracedCall& call : TracedCalls(record.trace)) {
        const QRegularExpressionMatch match = path.match(call.text);
        if (call.name != "openat" || !match.hasMatch()) {
            continue;
        }
        ++opened;
        const QString file = QDir::cleanPath(QDir::current().absoluteFilePath(match.captured(1)));
        // A call cut short by the program's end shows "= ?": only a descriptor is an open file.
        const bool succeeded = openedFile.match(call.text).hasMatch();
        const std::string text = call.text.toStdString();
        // Qt looks for plugin folders beside the executable; a folder is not a file read.
        if (succeeded && !call.text.contains("O_DIRECTORY")) {
            EXPECT_FALSE(file.startsWith(source)) << text;
            EXPECT_FALSE(file.startsWith(build)) << text;
        }
        EXPECT_FALSE(image.match(file).hasMatch()) << text;
    }
    EXPECT_GE(opened, 10) << "hardly any file: was the trace taken?";
}

// --- without a display ------------------------------------------------------------------------

// Runs the program with `environment` and no window to watch, for at most `timeoutMs`.
ProgramEnd RunAlone(const QProcessEnvironment& environment, int timeoutMs) {
    QProcess program;
    program.setProcessEnvironment(environment);
    QElapsedTimer clock;
    clock.start();
    program.start(QORVELIN_PROGRAM, {});
    if (!program.waitForFinished(timeoutMs)) {
        ProgramEnd hung = Ended(program, clock.elapsed());
        program.kill();
        program.waitForFinished(3000);
        return hung;
    }
    return Ended(program, clock.elapsed());
}

QProcessEnvironment WithoutDisplay() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(name);
    }
    return environment;
}

void ExpectOneLineAndStatusOne(const ProgramEnd& end, const std::string& saying) {
    ASSERT_TRUE(end.ended) << "still running after " << end.at << " ms";
    EXPECT_FALSE(end.crashed) << "ended by a signal (an abort dumps core)";
    EXPECT_EQ(end.status, 1);
    EXPECT_EQ(Text(end.out), "");
    const std::string err = Text(end.err);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_TRUE(err.ends_with("\n")) << err;
    EXPECT_NE(err.find(saying), std::string::npos) << err;
}

TEST(NoDisplay, WithoutAnySessionSaysSoInOneLineAndEndsWithStatusOne) {
    ExpectOneLineAndStatusOne(RunAlone(WithoutDisplay(), 15000), "cannot open the display");
}

TEST(NoDisplay, WithADisplayNobodyServesSaysSoInOneLineAndEndsWithStatusOne) {
    if (QFile::exists("/tmp/.X11-unix/X79") || QFile::exists("/tmp/.X79-lock")) {
        GTEST_SKIP() << "an X server holds :79";
    }
    QProcessEnvironment environment = WithoutDisplay();
    environment.insert("DISPLAY", ":79");
    ExpectOneLineAndStatusOne(RunAlone(environment, 15000), "cannot open the display");
}

}  // namespace

int main(int argc, char** argv) {
    const QCoreApplication application(argc, argv);
    // A desktop session always has a private runtime folder, and Qt warns on stderr without
    // one; the tests read the program's stderr.
    std::optional<QTemporaryDir> runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        runtime.emplace();
        qputenv("XDG_RUNTIME_DIR", runtime->path().toLocal8Bit());
    }
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new RunsInBackground);
    return RUN_ALL_TESTS();
}
