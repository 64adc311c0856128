// The whole show as a viewer sees it: the built program runs once on a private desktop, is
// watched through screenshots at quiet moments of its timeline, gets one key press when it
// asks for it, and must end by itself. The run is recorded once; each test below judges one
// part of the record.
//
//     e2e_test              an X server with a window manager (Xvfb and openbox)
//     e2e_test --wayland    a Wayland compositor (a headless sway)
//     e2e_test --projector  an X server of 1024 x 768, narrower than the show, whose fonts
//                           the program cannot see: the show scaled down, in its own face
//     e2e_test --page ENGINE  the web page in chromium (the whole show, no fonts, the replay
//                           button, what a screen reader is told), firefox (the site played
//                           offline on a 1024 x 600 touch screen, a tap for the key, a hidden
//                           tab, up to the second row) or webkit (up to the second row)
//     e2e_test --site       the site in Chromium: judged by Lighthouse, installed as an app,
//                           played offline in a 1024 x 600 window up to the first row, then
//                           full screen on a 1280 x 800 screen after a double click

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "bench/show_timeline.h"
#include "page_run.h"
#include "show/show_script.h"
#include "stage/fit_rule.h"
#include "stage/slot_face.h"
#include "wayland_session.h"
#include "x_session.h"

namespace {

// The show's timeline in ms after its window opens, the key pressed at the wait's first pump.
constexpr qint64 kFirstTick = 1000;           // the opening starts
constexpr qint64 kPointerMoves = 4500;        // the mouse moves once over the window
constexpr qint64 kFadedLineHeld = 13100;      // step 3's line, typed by ~11700, until 14580
constexpr qint64 kFirstRowPause = 30400;      // step 10 shows the row and sleeps until 33400
constexpr qint64 kFirstRowHeld = 35000;       // step 11 has typed its line by ~34400
constexpr qint64 kKeyWaitBegins = 38590;      // step 13 has typed its request, hides the row
constexpr qint64 kFullScreenBy = 40000;       // F11 twice, once the row has gone
constexpr qint64 kKeyWaitFrames = 40500;      // two frames one second apart from here
constexpr qint64 kIdleWindow = 2000;          // CPU time is read over this span
constexpr qint64 kKeyAt = 44000;              // the key press, well into the wait
constexpr qint64 kSecondRowPause = 1680;      // step 14 shows the row at ~key+1680 and
constexpr qint64 kSecondRowAfterKey = 4500;   // sleeps until ~key+7680
constexpr qint64 kLastLinesAfterKey = 26500;  // step 17 completes its lines at ~key+27970
constexpr qint64 kEndAfterKey = 72875 - kKeyWaitBegins;  // the program ends at key+34285
// From the last visible change (step 17's last character) to the end: its empty last
// position (64 draws of 5 ms), the step's 1000 ms pause and the end step's 5000 ms.
constexpr qint64 kHoldAfterLastChange = 320 + 1000 + 5000;
// A correct program is never earlier than its timeline by more than the measuring error;
// when the machine is busy its typing can only stretch.
constexpr qint64 kEarly = 400;
constexpr qint64 kLate = 2000;
// A row is on the screen as its pause begins. The screenshots that look for it take some tens
// of milliseconds each, and more on a busy machine, whose stalls can also put the show behind
// its timeline before the first row (a stall of more than five draws is given up). A stage
// that held the row back until its pause ended would show it 3000 or 6000 ms late.
constexpr qint64 kRowSeenWithin = 1000;
constexpr qint64 kLaidOutWhenStillFor = 200;
// The pointer hides 2000 ms after the mouse stood still, and comes back when it moves.
constexpr qint64 kPointerHidesAfter = 2000;
constexpr qint64 kPointerAnswersWithin = 500;

constexpr int kCardWidth = 150;
constexpr int kCardHeight = 200;

// The web page's viewports, and the moment a tab hides it for a while in one of its runs:
// steps 4 to 6 type while nobody sees them. The site's window is the smaller one, on a screen
// of the larger size.
constexpr QSize kPageViewport(1280, 800);
constexpr QSize kSmallPageViewport(1024, 600);
constexpr qint64 kPageHiddenFrom = 15000;
constexpr qint64 kPageHiddenUntil = 20000;
// Once the page is seen again, the show is where its timeline says: a show that kept the
// hidden time's lag would be seconds late, while a busy machine may hold back a step that is
// seen by a few tenths of a second.
constexpr qint64 kOnTimelineWithin = 250;

constexpr const char* kDesktopNames[] = {"X11",     "Wayland", "projector", "chromium",
                                         "firefox", "webkit",  "site"};

// Where the show plays: the program on a desktop, or the web page in a browser.
enum class Desktop { X11, Wayland, Projector, Chromium, Firefox, WebKit, Site };

// How far a run plays the show.
enum class Reach { FirstRow, SecondRow, End };

// Everything one run of the show left for the tests to judge.
struct ShowRecord {
    QString failure;  // why the run could not be recorded; empty when it was
    QString title;
    bool maximised = false;
    QRect client;
    QSize screen;
    // Screen pixels per logical pixel of the show: 1 unless the client area is smaller than
    // the show.
    double scale = 1;
    qint64 openedAt = -1;  // ms after launch
    Frame beforeFirstTick;
    // The pointer over the window, on X11 (XFIXES): blank before the mouse first moved, and
    // when it came back and when it hid again, in ms after the move.
    bool pointerWatched = false;
    std::optional<bool> pointerBlankBeforeMove;
    qint64 pointerBackAfter = -1;
    qint64 pointerHiddenAfter = -1;
    Frame fadedLine;
    Frame firstRowShown;  // the first frame in which it shows, early in its pause
    Frame firstRow;       // under the next step's line
    Frame keyWaitFirst;
    Frame keyWaitSecond;
    double keyWaitCpuShare = -1;  // of one core
    qint64 keyAt = -1;            // ms after the window opened
    Frame secondRowShown;         // likewise
    Frame secondRow;
    Frame lastLines;
    qint64 lastChangeAt = -1;  // the first frame that showed the finished last lines
    qint64 exitAt = -1;
    bool exited = false;  // by itself, within its timeline's tolerance
    bool exitedNormally = false;
    int exitCode = -1;

    // When the first row's pause began: by the timeline, or on a page as its steps came.
    qint64 firstRowPause = kFirstRowPause;

    // F11 in the key wait, on X11: the window full screen, and maximised again.
    bool wentFullScreen = false;
    QRect fullScreenClient;
    Frame fullScreenKeyWait;
    bool maximisedAgain = false;
    QRect clientAgain;
    qint64 backFromFullScreenAt = -1;

    // The web page's run. It may stop once a row has shown.
    bool page = false;
    Reach reach = Reach::End;
    QString language;
    QString icon;           // how its link's address begins
    QString pointer;        // the pointer's style over the page, after it stood still
    int keyWaitPumps = -1;  // in two seconds of the key wait, where the page can be traced
    QStringList requests;   // what the page asked for, blocked
    QStringList errors;     // what it said in the console
    Frame replayOffered;    // after the end
    Frame replayed;         // after its button
    qint64 replayedAt = -1;
    qint64 hiddenFrom = -1;  // a tab in front of the page meanwhile
    qint64 hiddenUntil = -1;
    qint64 hiddenPumpGap = -1;  // the longest the show went without a pump meanwhile
    Frame afterHidden;
    std::vector<qint64> tickStarts;
    // What a screen reader is told while the first row is held, and what axe-core finds wrong
    // for readers at named moments.
    QString spoken;
    QStringList cardNames;
    std::map<QString, QStringList> axe;

    // The site: its address, its worker, what Chromium and Lighthouse make of it, and the page
    // full screen after a double click.
    QString siteAddress;
    bool workerReady = false;
    bool controlled = false;
    bool offline = false;
    QJsonObject site;  // play_page.mjs's record: installability, manifestErrors, lighthouse
    Frame fullScreen;
    QSize fullScreenViewport;
};

// CPU time the process has used so far, in seconds (user and system, all threads).
std::optional<double> CpuSeconds(qint64 pid) {
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray line = stat.readAll();
    // The command name is in parentheses and may hold spaces; the fields after it start
    // with the state (field 3); utime and stime are fields 14 and 15.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) {
        return std::nullopt;
    }
    const double ticks = fields[11].toDouble() + fields[12].toDouble();
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::vector<QRect> WhiteBlocks(const QImage& image);

// A row of six cards shows.
bool SixCards(const QImage& image) {
    return WhiteBlocks(image).size() == 6;
}

class ShowRun {
  public:
    explicit ShowRun(Desktop desktop) : desktop_(desktop) {}

    ShowRecord Record() {
        if (desktop_ >= Desktop::Chromium) {
            return RecordPage();
        }
        std::unique_ptr<DisplaySession> session;
        if (desktop_ == Desktop::Wayland) {
            session = std::make_unique<WaylandSession>();
        } else if (desktop_ == Desktop::Projector) {
            session = std::make_unique<XSession>(90, 99, QSize(1024, 768));
        } else {
            session = std::make_unique<XSession>();
        }
        DisplaySession& x = *session;
        if (!x.IsUp()) {
            return Fail(x.Error());
        }
        record_.screen = x.ScreenSize();
        clock_.start();
        QProcess* program =
            desktop_ == Desktop::Projector
                ? x.Launch("env", {"FONTCONFIG_FILE=" + NoFonts(), QORVELIN_PROGRAM})
                : x.Launch(QORVELIN_PROGRAM);
        if (program == nullptr) {
            return Fail(x.Error());
        }
        const QString window = x.WaitForWindow("Qorvelin", 15000);
        if (window.isEmpty()) {
            return Fail("no visible window titled Qorvelin within 15 s");
        }
        record_.openedAt = clock_.elapsed();
        opened_ = record_.openedAt;
        // The window may first show at its normal size, or without its title bar, and be
        // laid out a moment later: its place counts once it has held still for a while.
        const QDeadlineTimer laidOut(kFirstTick / 2);
        QElapsedTimer still;
        still.start();
        while (!laidOut.hasExpired()) {
            const QRect client = x.WindowGeometry(window);
            const bool maximised = x.IsMaximised(window);
            if (client != record_.client || maximised != record_.maximised) {
                record_.client = client;
                record_.maximised = maximised;
                still.restart();
            } else if (maximised && still.elapsed() >= kLaidOutWhenStillFor) {
                break;
            }
            QThread::msleep(20);
        }
        if (record_.client.isEmpty()) {
            return Fail("the window's geometry cannot be read");
        }
        record_.scale = FitScale(static_cast<float>(record_.client.width()),
                                 static_cast<float>(record_.client.height()));
        record_.beforeFirstTick = Capture(x, 0);
        record_.title = x.WindowTitle(window);

        if (auto* xServer = dynamic_cast<XSession*>(&x)) {
            WatchThePointer(*xServer);
        }
        record_.fadedLine = Capture(x, kFadedLineHeld);
        record_.firstRowShown = FirstFrame(x, kFirstRowPause - 300, kFirstRowHeld, SixCards);
        record_.firstRow = Capture(x, kFirstRowHeld);
        if (desktop_ != Desktop::Projector) {
            ToggleFullScreen(x, window);
        }
        // A compositor that is slow to go full screen and back may hold these up a little.
        record_.keyWaitFirst = Capture(x, std::max(kKeyWaitFrames, Now()));
        record_.keyWaitSecond = Capture(x, record_.keyWaitFirst.at + 1000);

        WaitUntil(record_.keyWaitSecond.at + 100);
        const std::optional<double> cpuBefore = CpuSeconds(program->processId());
        QElapsedTimer span;
        span.start();
        QThread::msleep(kIdleWindow);
        const std::optional<double> cpuAfter = CpuSeconds(program->processId());
        if (cpuBefore && cpuAfter) {
            record_.keyWaitCpuShare =
                (*cpuAfter - *cpuBefore) / (static_cast<double>(span.elapsed()) / 1000.0);
        }

        WaitUntil(kKeyAt);
        const int keyWentOutBefore = x.PressKey(window, "space");
        if (keyWentOutBefore < 0) {
            return Fail("the space bar could not be pressed");
        }
        record_.keyAt = Now() - keyWentOutBefore;

        record_.secondRowShown = FirstFrame(x, record_.keyAt + kSecondRowPause - 300,
                                            record_.keyAt + kSecondRowAfterKey, SixCards);
        record_.secondRow = Capture(x, record_.keyAt + kSecondRowAfterKey);
        WatchTheEnd(x, *program);
        record_.exited = program->state() == QProcess::NotRunning;
        record_.exitedNormally = program->exitStatus() == QProcess::NormalExit;
        record_.exitCode = program->exitCode();
        Report();
        KeepFrames();
        return record_;
    }

  private:
    ShowRecord Fail(const QString& why) {
        record_.failure = why;
        return record_;
    }

    // A font configuration that knows no font at all, for the program alone.
    QString NoFonts() {
        QFile config(fontConfig_.filePath("fonts.conf"));
        config.open(QIODevice::WriteOnly);
        config.write(QString(R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig><cachedir>%1</cachedir></fontconfig>
)")
                         .arg(fontConfig_.filePath("cache"))
                         .toUtf8());
        return config.fileName();
    }

    qint64 Now() const { return clock_.elapsed() - opened_; }

    void WaitUntil(qint64 at) const {
        const qint64 left = at - Now();
        if (left > 0) {
            QThread::msleep(static_cast<unsigned long>(left));
        }
    }

    Frame Capture(DisplaySession& x, qint64 at) {
        WaitUntil(at);
        Frame frame;
        frame.at = Now();
        frame.image = x.Screenshot().copy(record_.client);
        return frame;
    }

    // The ms from `since` until `seen` holds, looked at every 20 ms until `until`; -1 if it
    // never did.
    qint64 MsUntil(qint64 since, qint64 until, const std::function<bool()>& seen) const {
        while (Now() < until) {
            if (seen()) {
                return Now() - since;
            }
            QThread::msleep(20);
        }
        return -1;
    }

    // The mouse stood still over the window since the program started; it moves once, a
    // little, and then stands still again.
    void WatchThePointer(XSession& x) {
        record_.pointerWatched = true;
        WaitUntil(kPointerMoves - 200);
        record_.pointerBlankBeforeMove = x.PointerIsBlank();
        WaitUntil(kPointerMoves);
        const QPoint to = record_.client.center() + QPoint(20, 20);
        const qint64 moved = Now();
        x.Xdotool({"mousemove", QString::number(to.x()), QString::number(to.y())});
        record_.pointerBackAfter = MsUntil(moved, moved + 2 * kPointerAnswersWithin,
                                           [&] { return x.PointerIsBlank() == false; });
        record_.pointerHiddenAfter =
            MsUntil(moved, moved + kPointerHidesAfter + 2 * kPointerAnswersWithin,
                    [&] { return x.PointerIsBlank() == true; });
    }

    // Once the key wait has begun, F11 makes the window full screen and a second F11 maximised
    // again; neither types a character. The frames of the key wait after it show whether the
    // wait went on.
    void ToggleFullScreen(DisplaySession& x, const QString& window) {
        FirstFrame(x, kKeyWaitBegins - 500, kFullScreenBy,
                   [](const QImage& image) { return WhiteBlocks(image).empty(); });
        const QRect screen(QPoint(0, 0), record_.screen);
        x.PressKey(window, "F11");
        MsUntil(Now(), Now() + 2000,
                [&] { return x.IsFullScreen(window) && x.WindowGeometry(window) == screen; });
        record_.wentFullScreen = x.IsFullScreen(window);
        record_.fullScreenClient = x.WindowGeometry(window);
        QThread::msleep(300);  // for the window to be drawn at its new size
        record_.fullScreenKeyWait = {x.Screenshot(), Now()};
        x.PressKey(window, "F11");
        MsUntil(Now(), Now() + 2000, [&] {
            return !x.IsFullScreen(window) && x.WindowGeometry(window) == record_.client;
        });
        record_.maximisedAgain = x.IsMaximised(window) && !x.IsFullScreen(window);
        record_.clientAgain = x.WindowGeometry(window);
        record_.backFromFullScreenAt = Now();
    }

    // The first of frames taken one after another from `from` that shows what `wanted`
    // looks for; a frame without an image if none did by `until`.
    Frame FirstFrame(DisplaySession& x, qint64 from, qint64 until,
                     const std::function<bool(const QImage&)>& wanted) {
        WaitUntil(from);
        while (Now() < until) {
            Frame frame = Capture(x, Now());
            if (!frame.image.isNull() && wanted(frame.image)) {
                return frame;
            }
        }
        return {QImage(), Now()};
    }

    // From shortly before step 17 completes its lines, frames are taken until the program
    // ends. The frames of its last moments, when the window may be going, are left out; the
    // first frame of the final run of equal ones is the last visible change.
    // The web page in a browser, watched at the same moments of its timeline, from its load.
    ShowRecord RecordPage() {
        PagePlan plan;
        const bool site = desktop_ == Desktop::Site;
        plan.engine = site ? "chromium" : kDesktopNames[static_cast<int>(desktop_)];
        plan.name = kDesktopNames[static_cast<int>(desktop_)];
        const bool small = desktop_ == Desktop::Firefox || site;
        const QSize viewport = small ? kSmallPageViewport : kPageViewport;
        plan.width = viewport.width();
        plan.height = viewport.height();
        plan.hideFonts = desktop_ == Desktop::Chromium;
        plan.touch = desktop_ == Desktop::Firefox;
        plan.site = site || desktop_ == Desktop::Firefox;
        plan.lighthouse = site;
        plan.screen = site ? kPageViewport : QSize();
        record_.reach = desktop_ == Desktop::Chromium ? Reach::End
                        : site                        ? Reach::FirstRow
                                                      : Reach::SecondRow;
        plan.steps = PageSteps();
        const PageRun run = PlayPage(plan);
        if (!run.failure.isEmpty()) {
            return Fail(run.failure);
        }
        const QJsonObject& page = run.record;
        const auto frame = [&run](const QString& name) {
            const auto found = run.frames.find(name);
            return found == run.frames.end() ? Frame() : found->second;
        };
        const auto burst = [&run](const QString& name) {
            const auto found = run.bursts.find(name);
            return found == run.bursts.end() ? std::vector<Frame>() : found->second;
        };
        const auto moment = [](const QJsonValue& value) {
            return value.isDouble() ? static_cast<qint64>(value.toDouble()) : -1;
        };
        const auto strings = [](const QJsonValue& list) {
            QStringList all;
            for (const QJsonValue item : list.toArray()) {
                all << item.toString();
            }
            return all;
        };
        const QJsonObject values = page["values"].toObject();
        record_.page = true;
        record_.title = page["title"].toString();
        record_.language = page["language"].toString();
        record_.icon = page["icon"].toString();
        record_.pointer = values["pointer"].toString();
        record_.client = QRect(QPoint(0, 0), viewport);
        record_.screen = viewport;
        const QImage& first = frame("0-before-first-tick").image;
        if (first.size() != viewport) {
            return Fail(QString("the browser shows %1 x %2, not the viewport asked for")
                            .arg(first.width())
                            .arg(first.height()));
        }
        record_.scale =
            FitScale(static_cast<float>(viewport.width()), static_cast<float>(viewport.height()));
        record_.beforeFirstTick = frame("0-before-first-tick");
        record_.fadedLine = frame("1-faded-line");
        record_.firstRowShown = FirstWith(burst("2-first-row-shown"), SixCards);
        record_.firstRow = frame("3-first-row");
        record_.keyWaitFirst = frame("4-key-wait");
        record_.keyWaitSecond = frame("4-key-wait-later");
        const QJsonValue quiet = page["quiet"].toObject()["key-wait"];
        record_.keyWaitPumps = quiet.isDouble() ? quiet.toInt() : -1;
        record_.keyAt = moment(page["keyAt"]);
        record_.secondRowShown = FirstWith(burst("5-second-row-shown"), SixCards);
        record_.secondRow = frame("5-second-row");
        record_.requests = strings(page["requests"]) + strings(page["resources"]);
        record_.errors = strings(page["consoleErrors"]);
        for (const QJsonValue tick : page["ticks"].toArray()) {
            record_.tickStarts.push_back(static_cast<qint64>(tick.toDouble()));
        }
        constexpr std::size_t kFirstRowStep = 10;
        if (record_.tickStarts.size() > kFirstRowStep) {
            record_.firstRowPause =
                record_.tickStarts[kFirstRowStep] + kFirstRowPause - kStepOnsetsMs[kFirstRowStep];
        }
        const QJsonObject hidden = page["hidden"].toObject()["hidden"].toObject();
        record_.hiddenFrom = moment(hidden["from"]);
        record_.hiddenUntil = moment(hidden["until"]);
        record_.hiddenPumpGap = moment(hidden["longestPumpGap"]);
        record_.afterHidden = frame("after-hidden");
        record_.spoken = values["spoken"].toString();
        record_.cardNames = strings(values["card-names"]);
        const QJsonObject axe = page["axe"].toObject();
        for (auto judged = axe.begin(); judged != axe.end(); ++judged) {
            record_.axe[judged.key()] = strings(judged.value());
        }
        record_.siteAddress = page["siteAddress"].toString();
        record_.workerReady = page["workerReady"].toBool();
        record_.controlled = page["controlled"].toBool();
        record_.offline = page["offline"].toBool();
        record_.site = page;
        record_.fullScreen = frame("full-screen");
        const QJsonArray fullScreenViewport = values["full-screen"].toArray();
        record_.fullScreenViewport =
            QSize(fullScreenViewport.at(0).toInt(), fullScreenViewport.at(1).toInt());
        if (record_.reach == Reach::End) {
            record_.exitAt = moment(page["endAt"]);
            record_.exited = record_.exitAt >= 0;
            record_.exitedNormally = true;
            record_.exitCode = page["failureLine"].toString().isEmpty() ? 0 : 1;
            SettleTheEnd(burst("6-end"));
            record_.replayOffered = frame("7-replay-offered");
            record_.replayed = frame("7-replay-again");
            record_.replayedAt = moment(page["replayedAt"]);
        }
        Report();
        return record_;
    }

    // What the page's run looks at, and when: the desktop run's moments.
    QJsonArray PageSteps() const {
        const auto at = [](const char* kind, const char* name, qint64 ms) {
            return QJsonObject{{kind, name}, {"at", ms}};
        };
        const auto span = [](const char* kind, const char* name, qint64 from, qint64 until) {
            return QJsonObject{{kind, name}, {"from", from}, {"until", until}};
        };
        const auto value = [](const char* name, const char* expression, qint64 ms) {
            return QJsonObject{{"value", name}, {"expression", expression}, {"at", ms}};
        };
        const auto afterKey = [](QJsonObject step) {
            step["after"] = "key";
            return step;
        };
        // A moment of the timeline, taken from when the page actually started `onset`'s step:
        // a busy browser may have given up some time before it, as the desktop does, and
        // what is judged here is what the step shows.
        const auto fromStep = [](std::size_t onset, QJsonObject step) {
            for (const char* moment : {"at", "from", "until"}) {
                if (step.contains(moment)) {
                    step[moment] = step[moment].toInteger() - kStepOnsetsMs.at(onset);
                }
            }
            step["after"] = static_cast<qint64>(onset);
            return step;
        };
        // The Chromium page is also read as a screen reader reads it.
        const bool readers = desktop_ == Desktop::Chromium;
        QJsonArray steps{
            at("capture", "0-before-first-tick", 300),
            value("pointer", "getComputedStyle(document.documentElement).cursor", kPointerMoves),
            fromStep(3, at("capture", "1-faded-line", kFadedLineHeld)),
        };
        if (readers) {
            steps.insert(1, at("axe", "empty page", 400));
        }
        if (desktop_ == Desktop::Firefox) {
            // From the last step the page starts before it is hidden.
            steps.append(fromStep(3, span("hide", "hidden", kPageHiddenFrom, kPageHiddenUntil)));
            steps.append(fromStep(3, at("capture", "after-hidden", kPageHiddenUntil + 100)));
        }
        steps.append(fromStep(10, span("burst", "2-first-row-shown", kFirstRowPause - 300,
                                       kFirstRowPause + kRowSeenWithin)));
        steps.append(fromStep(11, at("capture", "3-first-row", kFirstRowHeld)));
        if (readers) {
            steps.append(fromStep(
                11,
                value("spoken", "document.getElementById('spoken').textContent", kFirstRowHeld)));
            steps.append(fromStep(11, value("card-names",
                                            "[...document.querySelectorAll('.card:not([hidden])')]"
                                            ".map(card => card.getAttribute('aria-label'))",
                                            kFirstRowHeld)));
            steps.append(fromStep(11, at("axe", "mid-show", kFirstRowHeld + 100)));
        }
        if (record_.reach == Reach::FirstRow) {
            // A double click while the row is held: the page full screen.
            steps.append(fromStep(11, at("doubleClick", "full-screen", kFirstRowHeld + 200)));
            steps.append(fromStep(11, at("capture", "full-screen", kFirstRowHeld + 1200)));
            steps.append(fromStep(
                11,
                value("full-screen", "document.fullscreenElement ? [innerWidth, innerHeight] : []",
                      kFirstRowHeld + 1200)));
            return steps;
        }
        for (const QJsonValue step : QJsonArray{
                 fromStep(13, at("capture", "4-key-wait", kKeyWaitFrames)),
                 fromStep(13, at("capture", "4-key-wait-later", kKeyWaitFrames + 1000)),
                 fromStep(13, span("quiet", "key-wait", kKeyWaitFrames + 1100,
                                   kKeyWaitFrames + 1100 + kIdleWindow)),
                 fromStep(13, at("press", desktop_ == Desktop::Firefox ? "tap" : "key", kKeyAt)),
                 afterKey(span("burst", "5-second-row-shown", kSecondRowPause - 300,
                               kSecondRowPause + kRowSeenWithin)),
                 afterKey(at("capture", "5-second-row", kSecondRowAfterKey))}) {
            steps.append(step);
        }
        if (record_.reach == Reach::End) {
            steps.append(
                afterKey(QJsonObject{{"watchEnd", "6-end"}, {"from", kLastLinesAfterKey}}));
            QJsonObject replay{{"replay", "7-replay"}};
            if (readers) {
                replay["axe"] = "replay button";
            }
            steps.append(replay);
        }
        return steps;
    }

    // The first frame that shows what `wanted` looks for; a frame without an image, at the
    // last look, if none did.
    static Frame FirstWith(const std::vector<Frame>& frames,
                           const std::function<bool(const QImage&)>& wanted) {
        for (const Frame& frame : frames) {
            if (!frame.image.isNull() && wanted(frame.image)) {
                return frame;
            }
        }
        return {QImage(), frames.empty() ? -1 : frames.back().at};
    }

    void WatchTheEnd(DisplaySession& x, QProcess& program) {
        WaitUntil(record_.keyAt + kLastLinesAfterKey);
        const qint64 giveUp = record_.keyAt + kEndAfterKey + kLate;
        std::vector<Frame> frames;
        while (program.state() == QProcess::Running && Now() < giveUp) {
            Frame frame = Capture(x, Now());
            if (!frame.image.isNull()) {
                frames.push_back(frame);
                // Of each run of equal frames the first and the latest are kept, of the
                // last three runs.
                const std::size_t n = frames.size();
                if (n >= 3 && frames[n - 2].image == frame.image &&
                    frames[n - 3].image == frame.image) {
                    frames.erase(frames.end() - 2);
                }
                if (frames.size() > 6) {
                    frames.erase(frames.begin());
                }
            }
            if (program.waitForFinished(100)) {
                break;
            }
        }
        program.waitForFinished(static_cast<int>(std::max<qint64>(0, giveUp - Now())));
        exitAt_ = Now();
        record_.exitAt = exitAt_;
        SettleTheEnd(frames);
    }

    // Of the frames watched until the end, those of its last moments, when the window may be
    // going, are left out (a busy machine may take a second to end a process whose window is
    // gone; the last lines stand for five); the first frame of the final run of equal ones is
    // the last visible change.
    void SettleTheEnd(std::vector<Frame> frames) {
        const qint64 exitAt = record_.exitAt;
        std::erase_if(frames, [exitAt](const Frame& frame) { return frame.at > exitAt - 1500; });
        if (frames.empty()) {
            return;
        }
        record_.lastLines = frames.back();
        std::size_t first = frames.size() - 1;
        while (first > 0 && frames[first - 1].image == frames.back().image) {
            --first;
        }
        record_.lastChangeAt = frames[first].at;
    }

    void Report() const {
        std::printf(
            "Measured on %s: the first row first seen %lld ms into its pause (by the timeline; "
            "each screenshot takes some tens of ms)\n",
            kDesktopNames[static_cast<int>(desktop_)],
            static_cast<long long>(record_.firstRowShown.at - record_.firstRowPause));
        const bool pastTheKey = record_.reach != Reach::FirstRow;
        if (pastTheKey) {
            std::printf("Measured: the second row first seen %lld ms into its pause\n",
                        static_cast<long long>(record_.secondRowShown.at - record_.keyAt -
                                               kSecondRowPause));
        }
        if (record_.pointerWatched) {
            std::printf(
                "Measured: the pointer came back %lld ms after the mouse moved and hid "
                "%lld ms after it\n",
                static_cast<long long>(record_.pointerBackAfter),
                static_cast<long long>(record_.pointerHiddenAfter));
        }
        if (!record_.page) {
            std::printf(
                "Measured: window open %lld ms after launch, CPU in the key wait %.1f %% "
                "of a core\n",
                static_cast<long long>(record_.openedAt), 100.0 * record_.keyWaitCpuShare);
        } else if (pastTheKey) {
            std::printf("Measured: %d pumps in two seconds of the key wait\n",
                        record_.keyWaitPumps);
        }
        if (record_.reach == Reach::End) {
            std::printf(
                "Measured: after the start, key %lld ms, last change %lld ms, end %lld ms\n"
                "  end - key = %lld ms (timeline %lld), end - last change = %lld ms (%lld)\n",
                static_cast<long long>(record_.keyAt), static_cast<long long>(record_.lastChangeAt),
                static_cast<long long>(record_.exitAt),
                static_cast<long long>(record_.exitAt - record_.keyAt),
                static_cast<long long>(kEndAfterKey),
                static_cast<long long>(record_.exitAt - record_.lastChangeAt),
                static_cast<long long>(kHoldAfterLastChange));
        }
        std::fflush(stdout);
    }

    // The frames stay in the working directory for whoever has to look at a failure.
    void KeepFrames() const {
        const QString folder =
            QString("e2e-frames-%1").arg(kDesktopNames[static_cast<int>(desktop_)]);
        QDir().mkpath(folder);
        const std::pair<const char*, const Frame*> frames[] = {
            {"0-before-first-tick", &record_.beforeFirstTick},
            {"1-faded-line", &record_.fadedLine},
            {"2-first-row-shown", &record_.firstRowShown},
            {"3-first-row", &record_.firstRow},
            {"4-key-wait-full-screen", &record_.fullScreenKeyWait},
            {"4-key-wait", &record_.keyWaitFirst},
            {"5-second-row-shown", &record_.secondRowShown},
            {"5-second-row", &record_.secondRow},
            {"6-last-lines", &record_.lastLines},
        };
        for (const auto& [name, frame] : frames) {
            frame->image.save(QString("%1/%2.png").arg(folder, name));
        }
    }

    Desktop desktop_;
    QTemporaryDir fontConfig_;
    ShowRecord record_;
    QElapsedTimer clock_;
    qint64 opened_ = 0;
    qint64 exitAt_ = -1;
};

// Which desktop the show plays on: an X server unless the command line says otherwise.
Desktop desktop = Desktop::X11;

const ShowRecord& Show() {
    static const ShowRecord record = ShowRun(desktop).Record();
    return record;
}

#define REQUIRE_FRAME(frame)                                                   \
    ASSERT_FALSE((frame).image.isNull()) << "no screenshot at " << (frame).at; \
    SCOPED_TRACE(testing::Message() << "frame taken " << (frame).at << " ms after opening")

// ---- reading frames -------------------------------------------------------------------

bool IsBlack(QRgb pixel) {
    return (pixel & 0xFFFFFF) == 0;
}

bool IsWhite(QRgb pixel) {
    return qRed(pixel) >= 235 && qGreen(pixel) >= 235 && qBlue(pixel) >= 235;
}

// The pixels of `area` that are not black: where they lie, how bright the brightest is and
// whether every one of them is a grey.
struct Ink {
    QRect box;
    int brightest = 0;
    bool allGrey = true;
    int pixels = 0;
};

Ink InkIn(const QImage& image, QRect area) {
    area = area.intersected(image.rect());
    Ink ink;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (IsBlack(pixel)) {
                continue;
            }
            ++ink.pixels;
            ink.box |= QRect(x, y, 1, 1);
            ink.brightest = std::max({ink.brightest, qRed(pixel), qGreen(pixel), qBlue(pixel)});
            ink.allGrey =
                ink.allGrey && qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel);
        }
    }
    return ink;
}

// The bounding boxes of the white blocks, left to right: a block is a run of columns that
// hold white pixels, from its highest white pixel to its lowest. Text is never white.
std::vector<QRect> WhiteBlocks(const QImage& image) {
    std::vector<QRect> blocks;
    int runStart = -1;
    for (int x = 0; x <= image.width(); ++x) {
        bool white = false;
        for (int y = 0; x < image.width() && y < image.height() && !white; ++y) {
            white = IsWhite(image.pixel(x, y));
        }
        if (white && runStart < 0) {
            runStart = x;
        } else if (!white && runStart >= 0) {
            QRect block;
            for (int y = 0; y < image.height(); ++y) {
                for (int column = runStart; column < x; ++column) {
                    if (IsWhite(image.pixel(column, y))) {
                        block |= QRect(runStart, y, x - runStart, 1);
                        break;
                    }
                }
            }
            blocks.push_back(block);
            runStart = -1;
        }
    }
    return blocks;
}

// The eighteen faces as the program holds them, at the size they show in; slot i has rank
// (i mod 9) div 3 and suit symbol i mod 3.
std::vector<QImage> Faces(const QSize& size) {
    std::vector<QImage> all;
    for (int slot = 0; slot < 18; ++slot) {
        const QString path = QString(QORVELIN_CARDS_DIR "/card%1.jpg").arg(slot, 2, 10, QChar('0'));
        const QImage face = QImage(path).convertToFormat(QImage::Format_RGB32);
        all.push_back(face.size() == size
                          ? face
                          : face.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    return all;
}

double MeanDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return 255;
    }
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * a.width() * a.height());
}

// The slot whose face the screen shows in `area`, or -1 when it shows none of them. Drawn
// one to one, it is the same decoded face; scaled, it is much nearer one face than any other.
int SlotShownIn(const QImage& image, const QRect& area) {
    const QImage shown = image.copy(area);
    const std::vector<QImage> faces = Faces(area.size());
    std::vector<double> differences(faces.size());
    std::transform(faces.begin(), faces.end(), differences.begin(),
                   [&shown](const QImage& face) { return MeanDifference(shown, face); });
    const auto best = std::min_element(differences.begin(), differences.end());
    double runnerUp = 255;
    for (auto difference = differences.begin(); difference != differences.end(); ++difference) {
        runnerUp = difference == best ? runnerUp : std::min(runnerUp, *difference);
    }
    const bool oneToOne = area.size() == QSize(kCardWidth, kCardHeight);
    const bool found = oneToOne ? *best < 2.0 : *best < runnerUp / 2;
    return found ? static_cast<int>(best - differences.begin()) : -1;
}

int Rank(int slot) {
    return (slot % 9) / 3;
}
int Suit(int slot) {
    return slot % 3;
}

// Where a position of the show, in its logical pixels, lies on the screen.
int OnScreen(const ShowRecord& show, double logical) {
    return static_cast<int>(std::lround(logical * show.scale));
}

// The height of a text line at 30 points, in the show's pixels, read off the first row: it
// stands 40 below the line after the one typed at 40.
int LineHeight(const ShowRecord& show) {
    const std::vector<QRect> cards = WhiteBlocks(show.firstRow.image);
    return cards.empty() ? 0 : static_cast<int>(std::lround(cards.front().top() / show.scale)) - 80;
}

// The screen's rows of a line typed at `y`, `height` high (the show's pixels): scaled, a row
// more at each end for the rounding.
// A light grey all over, not yet the white the opening starts from.
void ExpectEmptyInFaceColour(const QImage& image) {
    const QRgb face = image.pixel(0, 0);
    EXPECT_TRUE(qRed(face) == qGreen(face) && qGreen(face) == qBlue(face)) << std::hex << face;
    EXPECT_GE(qRed(face), 192);
    EXPECT_LT(qRed(face), 255);
    int others = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            others += image.pixel(x, y) != face ? 1 : 0;
        }
    }
    EXPECT_EQ(others, 0) << "not uniform";
}

QRect Band(const ShowRecord& show, const QImage& image, int y, int height) {
    const int slack = show.scale == 1 ? 0 : 1;
    const int top = OnScreen(show, y) - slack;
    return QRect(0, top, image.width(), OnScreen(show, y + height) + slack - top);
}

// A card shown at `left`, `top` in the show's pixels: there to the pixel when drawn one to
// one, within a pixel of it when scaled.
void ExpectCardAt(const ShowRecord& show, const QRect& card, double left, double top) {
    const QRect wanted(OnScreen(show, left), OnScreen(show, top), OnScreen(show, kCardWidth),
                       OnScreen(show, kCardHeight));
    const int slack = show.scale == 1 ? 0 : 1;
    EXPECT_NEAR(card.left(), wanted.left(), slack) << "card at " << left << ", " << top;
    EXPECT_NEAR(card.top(), wanted.top(), slack) << "card at " << left << ", " << top;
    EXPECT_NEAR(card.right(), wanted.right(), slack) << "card at " << left << ", " << top;
    EXPECT_NEAR(card.bottom(), wanted.bottom(), slack) << "card at " << left << ", " << top;
}

// One typed line at `y` in `grey`, on black: its ink lies in the line's band, starts in the
// first cell and ends in the cell of the message's last character (`lastCell`, from 1).
void ExpectLine(const ShowRecord& show, const QImage& image, int y, int height, int grey,
                int lastCell) {
    SCOPED_TRACE(testing::Message() << "line at y " << y);
    const Ink ink = InkIn(image, Band(show, image, y, height));
    ASSERT_GT(ink.pixels, 100) << "no text";
    EXPECT_TRUE(ink.allGrey);
    EXPECT_EQ(ink.brightest, grey);
    EXPECT_GE(ink.box.top(), OnScreen(show, y) - 1);
    EXPECT_LT(ink.box.left(), OnScreen(show, 40));
    EXPECT_GE(ink.box.right(), OnScreen(show, 40 * (lastCell - 1)));
    EXPECT_LT(ink.box.right(), OnScreen(show, 40 * lastCell));
}

// Nothing but black outside the given bands and cards.
void ExpectBlackElsewhere(const QImage& image, const std::vector<QRect>& drawn) {
    QImage rest = image;
    for (const QRect& area : drawn) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if (rest.rect().contains(x, y)) {
                    rest.setPixel(x, y, qRgb(0, 0, 0));
                }
            }
        }
    }
    const Ink stray = InkIn(rest, rest.rect());
    EXPECT_EQ(stray.pixels, 0) << "something drawn at " << stray.box.x() << "," << stray.box.y()
                               << " " << stray.box.width() << "x" << stray.box.height();
}

// ---- the tests ------------------------------------------------------------------------

#define SKIP_UNLESS_THE_RUN_REACHES_THE_SECOND_ROW()       \
    if (show.reach < Reach::SecondRow) {                   \
        GTEST_SKIP() << "this run stops at the first row"; \
    }

// Every test judges the one recorded run, which the first of them to run makes.
class ShowOnScreen : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(show.failure.isEmpty()) << qPrintable(show.failure); }

    const ShowRecord& show = Show();
};

TEST_F(ShowOnScreen, OpensOneMaximisedWindowTitledQorvelin) {
    if (show.page) {
        GTEST_SKIP() << "a page lives in the browser's window";
    }
    EXPECT_EQ(show.title, "Qorvelin");
    EXPECT_TRUE(show.maximised);
    // The whole screen but the title bar.
    EXPECT_EQ(show.client.width(), show.screen.width());
    EXPECT_GT(show.client.height(), show.screen.height() - 60);
    EXPECT_EQ(show.client.bottom(), show.screen.height() - 1);
}

// The page is titled as the window is, in Traditional Chinese as written in Taiwan, with the
// program's icon.
TEST_F(ShowOnScreen, PageIsTitledQorvelinInTaiwanChineseWithTheProgramsIcon) {
    if (!show.page) {
        GTEST_SKIP() << "a window of the program's own";
    }
    EXPECT_EQ(show.title, "Qorvelin");
    EXPECT_EQ(show.language, "zh-Hant-TW");
    EXPECT_EQ(show.icon, "data:image/png;base64,");
}

// Over the show the pointer keeps out of the way, as in a slide show: it hides once the mouse
// stands still and comes back as soon as it moves.
TEST_F(ShowOnScreen, PointerHidesWhileTheMouseStandsStill) {
    if (show.page) {
        EXPECT_EQ(show.pointer, "none") << "still visible after the mouse stood still";
        return;
    }
    if (!show.pointerWatched) {
        GTEST_SKIP() << "only an X server tells the pointer's image";
    }
    ASSERT_TRUE(show.pointerBlankBeforeMove.has_value()) << "XFIXES did not answer";
    EXPECT_TRUE(*show.pointerBlankBeforeMove) << "still visible after the mouse stood still";
    ASSERT_GE(show.pointerBackAfter, 0) << "the pointer did not come back when the mouse moved";
    EXPECT_LT(show.pointerBackAfter, kPointerAnswersWithin);
    ASSERT_GE(show.pointerHiddenAfter, 0) << "the pointer did not hide again";
    EXPECT_GE(show.pointerHiddenAfter, kPointerHidesAfter - 50);
    EXPECT_LT(show.pointerHiddenAfter, kPointerHidesAfter + kPointerAnswersWithin);
}

TEST_F(ShowOnScreen, WindowIsEmptyInItsFaceColourBeforeTheFirstTick) {
    const Frame& frame = show.beforeFirstTick;
    REQUIRE_FRAME(frame);
    ASSERT_LT(frame.at, kFirstTick - 100) << "the capture came too late to judge";
    ExpectEmptyInFaceColour(frame.image);
}

TEST_F(ShowOnScreen, FadedLineStandsAloneOnBlackInItsLastGrey) {
    const int height = LineHeight(show);
    ASSERT_GT(height, 30);
    const Frame& frame = show.fadedLine;
    REQUIRE_FRAME(frame);
    // Step 3: "現在我就要透過這個程式,證明給你們看..", 20 characters at y 120, ramp to 225.
    ExpectLine(show, frame.image, 120, height, 225, 20);
    ExpectBlackElsewhere(frame.image, {Band(show, frame.image, 120, height)});
}

TEST_F(ShowOnScreen, FirstRowShowsSixCardsSideBySideUnderTheLine) {
    const Frame& frame = show.firstRow;
    REQUIRE_FRAME(frame);
    const std::vector<QRect> cards = WhiteBlocks(frame.image);
    ASSERT_EQ(cards.size(), 6u);
    const int height = LineHeight(show);  // the row stands 40 below the line after the one at 40
    EXPECT_GT(height, 30);
    EXPECT_LT(height, 90);
    std::vector<int> shown;
    for (int k = 0; k < 6; ++k) {
        SCOPED_TRACE(testing::Message() << "card " << k);
        const QRect& card = cards[static_cast<std::size_t>(k)];
        ExpectCardAt(show, card, 40 + 154 * k, 80 + height);
        shown.push_back(SlotShownIn(frame.image, card));
        EXPECT_GE(shown.back(), 0) << "not one of the card faces";
    }
    std::vector<int> distinct = shown;
    std::sort(distinct.begin(), distinct.end());
    EXPECT_EQ(std::unique(distinct.begin(), distinct.end()), distinct.end()) << "a card twice";
    // Step 11: "沒錯,繼續想,記住其中一張,不要說出來...", 22 characters at y 40, ramp to 225.
    ExpectLine(show, frame.image, 40, height, 225, 22);
    std::vector<QRect> drawn(cards);
    drawn.push_back(Band(show, frame.image, 40, height));
    ExpectBlackElsewhere(frame.image, drawn);
}

// The step that shows the row pauses 3000 ms after it: the row reaches the screen as the
// pause begins, not when it ends.
TEST_F(ShowOnScreen, FirstRowIsOnScreenInThePauseAfterItIsShown) {
    const int height = LineHeight(show);
    ASSERT_GT(height, 30);
    const Frame& frame = show.firstRowShown;
    REQUIRE_FRAME(frame);
    EXPECT_LT(frame.at, show.firstRowPause + kRowSeenWithin);
    const std::vector<QRect> cards = WhiteBlocks(frame.image);
    const std::vector<QRect> later = WhiteBlocks(show.firstRow.image);
    ASSERT_EQ(cards, later) << cards.size() << " cards where the row stands later";
    for (const QRect& card : later) {
        EXPECT_TRUE(frame.image.copy(card) == show.firstRow.image.copy(card));
    }
    // Step 10: "請注意,撲克牌已經出現囉....", 16 characters at y 40, typed in the 193 step 9
    // left.
    ExpectLine(show, frame.image, 40, height, 193, 16);
    std::vector<QRect> drawn(later);
    drawn.push_back(Band(show, frame.image, 40, height));
    ExpectBlackElsewhere(frame.image, drawn);
}

TEST_F(ShowOnScreen, KeyWaitShowsOnlyTheRequestAndStandsStill) {
    SKIP_UNLESS_THE_RUN_REACHES_THE_SECOND_ROW();
    const int height = LineHeight(show);
    ASSERT_GT(height, 30);
    const Frame& first = show.keyWaitFirst;
    const Frame& second = show.keyWaitSecond;
    REQUIRE_FRAME(first);
    REQUIRE_FRAME(second);
    EXPECT_GT(first.at, kKeyWaitBegins + 500);
    EXPECT_GE(second.at - first.at, 900);
    EXPECT_TRUE(first.image == second.image) << "the screen changed during the wait";
    EXPECT_TRUE(WhiteBlocks(first.image).empty()) << "a card is still showing";
    // Step 13: "請按空白鍵,謎底揭曉吧!", 12 characters at y 40 in grey 225.
    ExpectLine(show, first.image, 40, height, 225, 12);
    ExpectBlackElsewhere(first.image, {Band(show, first.image, 40, height)});
}

TEST_F(ShowOnScreen, KeyWaitLeavesTheProcessIdle) {
    SKIP_UNLESS_THE_RUN_REACHES_THE_SECOND_ROW();
    if (show.page) {
        if (show.keyWaitPumps < 0) {
            GTEST_SKIP() << "this browser's page cannot be traced";
        }
        EXPECT_EQ(show.keyWaitPumps, 0) << "the show polls while it waits for the key";
        return;
    }
    ASSERT_GE(show.keyWaitCpuShare, 0.0) << "the process's CPU time could not be read";
    EXPECT_LT(show.keyWaitCpuShare, 0.05);
}

// Step 14 sleeps 6000 ms after showing the second row; it too shows as the pause begins, and
// stands still through it.
TEST_F(ShowOnScreen, SecondRowIsOnScreenInThePauseAfterItIsShown) {
    SKIP_UNLESS_THE_RUN_REACHES_THE_SECOND_ROW();
    const Frame& frame = show.secondRowShown;
    REQUIRE_FRAME(frame);
    EXPECT_LT(frame.at, show.keyAt + kSecondRowPause + kRowSeenWithin);
    EXPECT_TRUE(frame.image == show.secondRow.image) << "the screen changed in the pause";
}

TEST_F(ShowOnScreen, SecondRowIsShiftedAndStaggeredWithTheSameRanksInOtherSuits) {
    SKIP_UNLESS_THE_RUN_REACHES_THE_SECOND_ROW();
    const int height = LineHeight(show);
    ASSERT_GT(height, 30);
    const Frame& frame = show.secondRow;
    REQUIRE_FRAME(frame);
    const std::vector<QRect> cards = WhiteBlocks(frame.image);
    ASSERT_EQ(cards.size(), 6u);
    const std::vector<QRect> firstCards = WhiteBlocks(show.firstRow.image);
    ASSERT_EQ(firstCards.size(), 6u);
    // The last line is typed at 100; the row stands 160 and 150 below the line after it,
    // which is 180 and 170 lower than the first row.
    const int lower = 80 + height + 180;
    for (int k = 0; k < 6; ++k) {
        SCOPED_TRACE(testing::Message() << "card " << k);
        const QRect& card = cards[static_cast<std::size_t>(k)];
        ExpectCardAt(show, card, 70 + 152 * k, k % 2 == 0 ? lower : lower - 10);
        const int slot = SlotShownIn(frame.image, card);
        const int before =
            SlotShownIn(show.firstRow.image, firstCards[static_cast<std::size_t>(k)]);
        ASSERT_GE(slot, 0) << "not one of the card faces";
        ASSERT_GE(before, 0);
        EXPECT_EQ(Rank(slot), Rank(before)) << "slots " << before << " and " << slot;
        EXPECT_NE(Suit(slot), Suit(before)) << "slots " << before << " and " << slot;
        for (const QRect& earlier : firstCards) {
            EXPECT_NE(slot, SlotShownIn(show.firstRow.image, earlier)) << "shown in the first row";
        }
    }
    // Step 14: "看..你選的那一張撲克牌是不是不見了?" (19 characters) at 40 and
    // "而其他張有一部分還在,是不是?" (15) at 100, both in grey 225.
    ExpectLine(show, frame.image, 40, height, 225, 19);
    ExpectLine(show, frame.image, 100, height, 225, 15);
    std::vector<QRect> drawn(cards);
    drawn.push_back(Band(show, frame.image, 40, height));
    drawn.push_back(Band(show, frame.image, 100, height));
    ExpectBlackElsewhere(frame.image, drawn);
}

TEST_F(ShowOnScreen, LastTwoLinesStayAloneOnBlack) {
    if (show.reach != Reach::End) {
        GTEST_SKIP() << "this run stops once a row has shown";
    }
    const int height = LineHeight(show);
    ASSERT_GT(height, 30);
    const Frame& frame = show.lastLines;
    REQUIRE_FRAME(frame);
    // Step 17: "好吧,告訴你..其實這是人類注意力運作機制的自然現象..." (29 characters) at 40 and
    // "稱為錯覺組合現象!" (9) at 190, both faded to 253.
    ExpectLine(show, frame.image, 40, height, 253, 29);
    ExpectLine(show, frame.image, 190, height, 253, 9);
    ExpectBlackElsewhere(
        frame.image, {Band(show, frame.image, 40, height), Band(show, frame.image, 190, height)});
}

// On a screen narrower than the show everything is scaled down alike, from the top-left
// corner: the explanation's long line ends inside the window, whole, and the cards keep their
// shape and their places relative to their size. (This run's program sees no installed font:
// every line the other tests read came from its own face.)
TEST_F(ShowOnScreen, OnANarrowScreenTheWholeShowIsScaledIntoTheWindow) {
    if (show.scale == 1) {
        GTEST_SKIP() << "the window holds the show one to one";
    }
    const int height = LineHeight(show);
    ASSERT_GT(height, 30);
    if (show.reach == Reach::End) {
        const Frame& last = show.lastLines;
        REQUIRE_FRAME(last);
        const int width = last.image.width();
        const Ink line = InkIn(last.image, Band(show, last.image, 40, height));
        EXPECT_GE(line.box.right(), width * 85 / 100) << "the line does not reach across";
        EXPECT_LT(line.box.right(), width - 1) << "the line is cut at the window's edge";
    }

    const std::vector<QRect> cards = WhiteBlocks(show.firstRow.image);
    ASSERT_EQ(cards.size(), 6U);
    const double cardWidth = cards.front().width();
    EXPECT_NEAR(cardWidth, kCardWidth * show.scale, 1);
    for (int k = 0; k < 6; ++k) {
        SCOPED_TRACE(testing::Message() << "card " << k);
        const QRect& card = cards[static_cast<std::size_t>(k)];
        EXPECT_NEAR(card.left(), cardWidth * (40 + 154 * k) / kCardWidth, 2);
        EXPECT_NEAR(card.height() * kCardWidth, card.width() * kCardHeight, 2 * kCardWidth)
            << "not a whole card";
        EXPECT_TRUE(show.firstRow.image.rect().contains(card));
    }
}

TEST_F(ShowOnScreen, EndsWithStatusZeroAfterHoldingTheLastLines) {
    if (show.reach != Reach::End) {
        GTEST_SKIP() << "this run stops once a row has shown";
    }
    ASSERT_TRUE(show.exited) << "still running " << show.exitAt - show.keyAt << " ms after the key";
    EXPECT_TRUE(show.exitedNormally);
    EXPECT_EQ(show.exitCode, 0);
    ASSERT_GE(show.lastChangeAt, 0);
    const qint64 hold = show.exitAt - show.lastChangeAt;
    EXPECT_GT(hold, kHoldAfterLastChange - kEarly);
    EXPECT_LT(hold, kHoldAfterLastChange + kEarly);
    const qint64 afterKey = show.exitAt - show.keyAt;
    EXPECT_GT(afterKey, kEndAfterKey - kEarly);
    EXPECT_LT(afterKey, kEndAfterKey + kLate);
}

// The page carries all it needs and asks nothing of anyone: from a file no request goes out,
// blocked or not, and from its site nothing but the site's own files. Nothing goes wrong in its
// console.
TEST_F(ShowOnScreen, ThePageAsksForNothing) {
    if (!show.page) {
        GTEST_SKIP() << "a program, not a page";
    }
    if (show.siteAddress.isEmpty()) {
        EXPECT_TRUE(show.requests.isEmpty()) << qPrintable(show.requests.join(", "));
    }
    for (const QString& request : show.requests) {
        EXPECT_TRUE(request.startsWith(show.siteAddress)) << qPrintable(request);
    }
    EXPECT_TRUE(show.errors.isEmpty()) << qPrintable(show.errors.join("\n"));
}

// F11 makes the window full screen, with no title bar or panel, and a second F11 maximised
// again. Neither is a key for the show: the key wait goes on (its frames after the two, judged
// above, show the request alone, and the second row comes after the space bar only).
TEST_F(ShowOnScreen, F11TogglesFullScreenWithoutEndingTheKeyWait) {
    if (show.backFromFullScreenAt < 0) {
        GTEST_SKIP() << "no F11 in this run";
    }
    EXPECT_TRUE(show.wentFullScreen) << "not full screen by the window manager's word";
    EXPECT_EQ(show.fullScreenClient, QRect(QPoint(0, 0), show.screen));
    const Frame& full = show.fullScreenKeyWait;
    REQUIRE_FRAME(full);
    const int height = LineHeight(show);
    ASSERT_GT(height, 30);
    ExpectLine(show, full.image, 40, height, 225, 12);
    ExpectBlackElsewhere(full.image, {Band(show, full.image, 40, height)});
    EXPECT_TRUE(show.maximisedAgain);
    EXPECT_EQ(show.clientAgain, show.client);
    EXPECT_LE(show.backFromFullScreenAt, show.keyWaitFirst.at);
}

// A screen reader hears each typed line once it is complete, and the cards of the row that
// shows, left to right, each by its colour, rank and suit. None of it shows on the page: the
// frames judged above hold nothing else.
TEST_F(ShowOnScreen, AScreenReaderHearsTheLinesAndTheCardsOfTheRow) {
    if (show.cardNames.isEmpty() && show.spoken.isEmpty()) {
        GTEST_SKIP() << "this run is not read as a screen reader reads it";
    }
    // Step 11's line, complete while the row is held.
    EXPECT_EQ(show.spoken, QString::fromStdU16String(ShowMessages().at(11)));
    const std::vector<QRect> cards = WhiteBlocks(show.firstRow.image);
    ASSERT_EQ(cards.size(), 6U);
    ASSERT_EQ(show.cardNames.size(), 6);
    for (std::size_t k = 0; k < cards.size(); ++k) {
        const int slot = SlotShownIn(show.firstRow.image, cards[k]);
        ASSERT_GE(slot, 0) << "card " << k << " is none of the faces";
        EXPECT_EQ(show.cardNames[static_cast<qsizetype>(k)],
                  QString::fromStdString(SpokenName(SlotFace::Of(slot))))
            << "card " << k;
    }
}

// axe-core finds nothing that keeps a reader out: on the empty page, in the middle of the show
// and when the replay button is offered.
TEST_F(ShowOnScreen, AxeFindsNothingThatKeepsAReaderOut) {
    if (show.axe.empty()) {
        GTEST_SKIP() << "axe-core does not look at this run";
    }
    for (const char* moment : {"empty page", "mid-show", "replay button"}) {
        const auto found = show.axe.find(moment);
        ASSERT_NE(found, show.axe.end()) << moment << ": axe-core did not run";
        EXPECT_TRUE(found->second.isEmpty())
            << moment << ": " << qPrintable(found->second.join("\n"));
    }
}

// From its site the page installs as an app: Chromium finds nothing against installing it and
// nothing wrong in its manifest, and the worker takes the page over at the first reload. With
// the server gone, the next reload plays the show: the frames judged above come from it.
TEST_F(ShowOnScreen, TheSiteInstallsAsAnAppAndPlaysOffline) {
    if (show.siteAddress.isEmpty()) {
        GTEST_SKIP() << "not played from the site";
    }
    EXPECT_TRUE(show.workerReady) << "no worker installed";
    EXPECT_TRUE(show.controlled) << "the worker does not answer the page after a reload";
    EXPECT_TRUE(show.offline);
    REQUIRE_FRAME(show.firstRow);
    if (desktop == Desktop::Site) {
        ASSERT_TRUE(show.site.contains("installability"));
        EXPECT_TRUE(show.site["installability"].toArray().isEmpty())
            << QJsonDocument(show.site["installability"].toArray()).toJson().constData();
        EXPECT_TRUE(show.site["manifestErrors"].toArray().isEmpty())
            << QJsonDocument(show.site["manifestErrors"].toArray()).toJson().constData();
    }
}

// Lighthouse, on the served site, finds it accessible and well made, and every search engine
// check but one passes. Lighthouse fetches robots.txt from inside the page, which the page's
// content security policy does not allow, so that one may not pass.
TEST_F(ShowOnScreen, LighthouseFindsTheSiteAccessibleWellMadeAndFindable) {
    if (!show.site.contains("lighthouse")) {
        GTEST_SKIP() << "Lighthouse does not judge this run";
    }
    const QJsonObject lighthouse = show.site["lighthouse"].toObject();
    ASSERT_TRUE(lighthouse["runtimeError"].isNull())
        << qPrintable(lighthouse["runtimeError"].toString());
    const QJsonObject scores = lighthouse["scores"].toObject();
    QStringList failed;
    for (const QJsonValue audit : lighthouse["failed"].toArray()) {
        failed << audit.toString();
    }
    EXPECT_EQ(scores["accessibility"].toDouble(), 1.0) << qPrintable(failed.join(", "));
    EXPECT_EQ(scores["best-practices"].toDouble(), 1.0) << qPrintable(failed.join(", "));
    for (const QJsonValue audit : lighthouse["seo"].toArray()) {
        if (audit.toString() != "robots-txt") {
            EXPECT_FALSE(failed.contains(audit.toString())) << qPrintable(audit.toString());
        }
    }
}

// A double click makes the page full screen, and the show fits the new viewport: on the larger
// screen the row that was scaled down stands one to one.
TEST_F(ShowOnScreen, ADoubleClickMakesThePageFullScreenAndTheShowFillsIt) {
    if (desktop != Desktop::Site) {
        GTEST_SKIP() << "no double click in this run";
    }
    EXPECT_EQ(show.fullScreenViewport, kPageViewport) << "not full screen";
    const Frame& frame = show.fullScreen;
    REQUIRE_FRAME(frame);
    ASSERT_EQ(frame.image.size(), kPageViewport);
    ShowRecord full = show;
    full.scale = FitScale(static_cast<float>(kPageViewport.width()),
                          static_cast<float>(kPageViewport.height()));
    const int height = LineHeight(show);
    ASSERT_GT(height, 30);
    const std::vector<QRect> cards = WhiteBlocks(frame.image);
    ASSERT_EQ(cards.size(), 6U);
    for (int k = 0; k < 6; ++k) {
        SCOPED_TRACE(testing::Message() << "card " << k);
        ExpectCardAt(full, cards[static_cast<std::size_t>(k)], 40 + 154 * k, 80 + height);
    }
}

// A page cannot close its window: at the end one button offers the show again, drawn in the
// show's own face, and pressed it starts a new run from the empty page.
TEST_F(ShowOnScreen, AtTheEndOneButtonPlaysTheShowAgain) {
    if (!show.page || show.reach != Reach::End) {
        GTEST_SKIP() << "no page, or not to its end";
    }
    const Frame& offered = show.replayOffered;
    REQUIRE_FRAME(offered);
    const QRect middle(offered.image.rect().center() - QPoint(150, 60), QSize(300, 120));
    const Ink button = InkIn(offered.image, middle);
    EXPECT_GT(button.pixels, 5000) << "no button in the middle of the page";
    int label = 0;
    for (int y = button.box.top(); y <= button.box.bottom(); ++y) {
        for (int x = button.box.left(); x <= button.box.right(); ++x) {
            label += qGray(offered.image.pixel(x, y)) > 200 ? 1 : 0;
        }
    }
    EXPECT_GT(label, 200) << "the button has no label";
    ExpectLine(show, offered.image, 40, LineHeight(show), 253, 29);

    ASSERT_GE(show.replayedAt, 0) << "the button did not start the show again";
    const Frame& replayed = show.replayed;
    REQUIRE_FRAME(replayed);
    ExpectEmptyInFaceColour(replayed.image);
}

// A browser slows a hidden tab's timers to once a second. Once the page is seen again, the
// show is where its timeline says, not as late as it was hidden.
TEST_F(ShowOnScreen, OnceAHiddenPageIsSeenAgainTheShowIsWhereItsTimelineSays) {
    if (show.hiddenFrom < 0) {
        GTEST_SKIP() << "nothing hid this run's page";
    }
    // How late each step started against the timeline. A page can fall behind while it is
    // seen too (a slow screenshot, say); that is given up, as on the desktop, and is not the
    // hidden tab's doing.
    const auto late = [this](std::size_t step) {
        return show.tickStarts.at(step) - kStepOnsetsMs.at(step);
    };
    std::size_t lastSeen = 0;
    std::size_t firstSeenAgain = 0;
    for (std::size_t step = 0; step < show.tickStarts.size(); ++step) {
        const qint64 onset = show.tickStarts[step];
        if (onset < show.hiddenFrom) {
            lastSeen = step;
        } else if (onset > show.hiddenUntil && firstSeenAgain == 0) {
            firstSeenAgain = step;
        }
    }
    ASSERT_GT(firstSeenAgain, lastSeen + 1) << "no step started while the page was hidden";
    EXPECT_GT(show.hiddenPumpGap, 500) << "the browser did not slow the hidden page";
    // A busy machine may hold back the start of a step or two; that is not lag the show
    // kept. Had it given up the hidden time, every step after it would be that much later.
    qint64 leastLate = late(firstSeenAgain);
    for (std::size_t step = firstSeenAgain + 1; step < firstSeenAgain + 3; ++step) {
        leastLate = std::min(leastLate, late(step));
    }
    EXPECT_LE(leastLate, late(lastSeen) + kOnTimelineWithin)
        << "the steps after the hidden time came later than those before it";
    // Step 6's line, whole, as soon as the page is seen again.
    const Frame& back = show.afterHidden;
    REQUIRE_FRAME(back);
    ExpectLine(show, back.image, 120, LineHeight(show), 225, 20);
}

// A browser without WebAssembly, or a face that does not load: the page says so in one line, on
// the page and in the console, and is never blank.
TEST(PageFailure, WithoutWebAssemblyOrItsFaceThePageSaysWhyInOneLine) {
    if (desktop != Desktop::Chromium) {
        GTEST_SKIP() << "once is enough, in the page's Chromium run";
    }
    for (const auto& [broken, saying] :
         {std::pair{"webassembly", "WebAssembly"}, std::pair{"face", "字型"}}) {
        SCOPED_TRACE(broken);
        PagePlan plan;
        plan.engine = "chromium";
        plan.breaks = broken;
        plan.name = QString("chromium-without-") + broken;
        const PageRun run = PlayPage(plan);
        ASSERT_EQ(run.failure, "");
        const QString line = run.record["failureLine"].toString();
        EXPECT_TRUE(line.contains(QString::fromUtf8(saying))) << qPrintable(line);
        const QJsonArray errors = run.record["consoleErrors"].toArray();
        EXPECT_TRUE(std::any_of(errors.begin(), errors.end(), [&line](const QJsonValue& error) {
            return error.toString() == "qorvelin: " + line;
        })) << "not in the console";
        const auto frame = run.frames.find("broken");
        ASSERT_NE(frame, run.frames.end());
        // The notice's red frame.
        const QImage& page = frame->second.image;
        int red = 0;
        for (int y = 0; y < page.height(); ++y) {
            for (int x = 0; x < page.width(); ++x) {
                const QRgb pixel = page.pixel(x, y);
                red += qRed(pixel) > 150 && qGreen(pixel) < 50 && qBlue(pixel) < 50 ? 1 : 0;
            }
        }
        EXPECT_GT(red, 1000) << "no notice on the page";
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);  // for the image format plugins
    testing::InitGoogleTest(&argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.contains("--wayland")) {
        desktop = Desktop::Wayland;
    } else if (arguments.contains("--projector")) {
        desktop = Desktop::Projector;
    } else if (arguments.contains("--site")) {
        desktop = Desktop::Site;
    } else if (const qsizetype page = arguments.indexOf("--page"); page > 0) {
        const QString engine = arguments.value(page + 1);
        desktop = engine == "firefox"  ? Desktop::Firefox
                  : engine == "webkit" ? Desktop::WebKit
                                       : Desktop::Chromium;
    }
    return RUN_ALL_TESTS();
}
