#include "x_session.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QThread>

#include <algorithm>
#include <mutex>

// Xlib's macros (None, Bool, Status) would clash with Qt's headers: it comes last.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr int kPollMs = 20;

std::unique_ptr<QProcess> Quiet(const QProcessEnvironment& environment) {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    return process;
}

// The integer after `label` in xwininfo's report, e.g. "  Width: 1280".
int Field(const QString& report, const QString& label, bool* ok) {
    const QRegularExpression pattern(QRegularExpression::escape(label) + R"(:\s*(-?\d+))");
    const QRegularExpressionMatch match = pattern.match(report);
    if (!match.hasMatch()) {
        *ok = false;
        return 0;
    }
    return match.captured(1).toInt();
}

// The process that holds a display: the X server writes its pid into the lock file.
qint64 LockHolder(int display) {
    QFile lock(QString("/tmp/.X%1-lock").arg(display));
    if (!lock.open(QIODevice::ReadOnly)) {
        return -1;
    }
    bool ok = false;
    const qint64 pid = lock.readAll().trimmed().toLongLong(&ok);
    return ok ? pid : -1;
}

// Sessions may run in threads of their own, each with its own connection. An error on one
// (a window gone between two calls) must not end the test program, as Xlib's default does.
void PrepareXlib() {
    static std::once_flag prepared;
    std::call_once(prepared, [] {
        XInitThreads();
        XSetErrorHandler([](::Display* /*display*/, XErrorEvent* /*error*/) { return 0; });
    });
}

}  // namespace

XSession::XSession(int first, int last, QSize screen) : screen_(screen) {
    for (int display = first; display <= last && !server_; ++display) {
        StartServer(display);
    }
    if (!server_) {
        if (error_.isEmpty()) {
            error_ = QString("no free X display from :%1 to :%2").arg(first).arg(last);
        }
        return;
    }
    up_ = Connect() && StartWindowManager();
    if (!up_) {
        Teardown();
    }
}

XSession::~XSession() {
    Teardown();
}

QProcessEnvironment XSession::Environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", display_);
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("DBUS_SESSION_BUS_ADDRESS");
    return environment;
}

// A display is taken when its lock file or socket exists; a server that loses the race for
// a number nobody held a moment ago exits at once, and the next number is tried.
bool XSession::StartServer(int display) {
    if (QFile::exists(QString("/tmp/.X%1-lock").arg(display)) ||
        QFile::exists(QString("/tmp/.X11-unix/X%1").arg(display))) {
        return false;
    }
    display_ = QString(":%1").arg(display);
    server_ = Quiet(QProcessEnvironment::systemEnvironment());
    const QString size = QString("%1x%2x24").arg(screen_.width()).arg(screen_.height());
    server_->start("Xvfb", {display_, "-screen", "0", size, "-nolisten", "tcp", "-noreset", "-br"});
    if (!server_->waitForStarted(kStartTimeoutMs)) {
        error_ = "cannot start Xvfb: " + server_->errorString();
        server_.reset();
        return false;
    }
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (!deadline.hasExpired() && server_->state() == QProcess::Running) {
        bool answers = false;
        Run("xdpyinfo", {}, &answers, 2000);
        // Until it exits, a server that lost the race runs beside the one that answers.
        if (answers && server_->state() == QProcess::Running &&
            LockHolder(display) == server_->processId()) {
            return true;
        }
        QThread::msleep(kPollMs);
    }
    error_ = QString("Xvfb did not come up on %1").arg(display_);
    StopProcess(*server_);
    server_.reset();
    return false;
}

// Openbox as installed, but without the animation of a window being minimised or restored:
// a window is judged where it ends up, and under load the animation may still be on its way.
QStringList XSession::OpenboxArguments() {
    QFile installed("/etc/xdg/openbox/rc.xml");
    openboxConfig_ = std::make_unique<QTemporaryFile>();
    if (!installed.open(QIODevice::ReadOnly) || !openboxConfig_->open()) {
        return {};
    }
    QByteArray config = installed.readAll();
    config.replace("<animateIconify>yes</animateIconify>", "<animateIconify>no</animateIconify>");
    openboxConfig_->write(config);
    openboxConfig_->close();
    return {"--config-file", openboxConfig_->fileName()};
}

// Starts openbox and waits until it handles windows.
bool XSession::StartWindowManager() {
    windowManager_ = Quiet(Environment());
    windowManager_->start("openbox", OpenboxArguments());
    if (!windowManager_->waitForStarted(kStartTimeoutMs)) {
        error_ = "cannot start openbox: " + windowManager_->errorString();
        return false;
    }
    if (!FramesAWindow()) {
        error_ = QString("openbox did not take over %1").arg(display_);
        return false;
    }
    return true;
}

// The window manager handles windows once it has framed one of ours. Openbox may read events
// in its start and then wait for more before it handles them, leaving a window that asked to
// be mapped unmapped: a change to a property of the root window, which it watches, wakes it.
bool XSession::FramesAWindow() {
    const Window root = DefaultRootWindow(connection_);
    const Window probe = XCreateSimpleWindow(connection_, root, 0, 0, 1, 1, 0, 0, 0);
    XMapWindow(connection_, probe);
    const Atom wake = XInternAtom(connection_, "_QORVELIN_WAKE", False);
    bool framed = false;
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (!framed && !deadline.hasExpired() && windowManager_->state() == QProcess::Running) {
        const unsigned char none = 0;
        XChangeProperty(connection_, root, wake, XA_STRING, 8, PropModeReplace, &none, 0);
        XSync(connection_, False);
        QThread::msleep(kPollMs);
        Window treeRoot = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(connection_, probe, &treeRoot, &parent, &children, &count) != 0) {
            framed = parent != root;
            XFree(children);
        }
    }
    XDestroyWindow(connection_, probe);
    XDeleteProperty(connection_, root, wake);
    XSync(connection_, False);
    return framed;
}

bool XSession::Connect() {
    PrepareXlib();
    connection_ = XOpenDisplay(display_.toLocal8Bit().constData());
    if (connection_ == nullptr) {
        error_ = "cannot connect to " + display_;
        return false;
    }
    return true;
}

void XSession::Teardown() {
    if (connection_ != nullptr) {
        XCloseDisplay(connection_);
        connection_ = nullptr;
    }
    for (const auto& program : programs_) {
        StopProcess(*program);
    }
    programs_.clear();
    if (windowManager_) {
        StopProcess(*windowManager_);
        windowManager_.reset();
    }
    if (server_) {
        StopProcess(*server_);
        server_.reset();
    }
    up_ = false;
}

QProcess* XSession::Launch(const QString& program, const QStringList& arguments,
                           QProcess::ProcessChannelMode channels) {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(Environment());
    process->setProcessChannelMode(channels);
    process->start(program, arguments);
    if (!process->waitForStarted(kStartTimeoutMs)) {
        error_ = QString("cannot start %1: %2").arg(program, process->errorString());
        return nullptr;
    }
    programs_.push_back(std::move(process));
    return programs_.back().get();
}

QImage XSession::Screenshot() {
    if (connection_ == nullptr) {
        error_ = "no connection to the X server";
        return {};
    }
    XImage* shot = XGetImage(connection_, DefaultRootWindow(connection_), 0, 0,
                             static_cast<unsigned>(screen_.width()),
                             static_cast<unsigned>(screen_.height()), AllPlanes, ZPixmap);
    if (shot == nullptr) {
        error_ = "the X server gave no image of the screen";
        return {};
    }
    QImage image;
    // Xvfb at depth 24 keeps a pixel in 32 bits, blue in the lowest byte: Qt's RGB32.
    if (shot->bits_per_pixel == 32 && shot->byte_order == LSBFirst) {
        image = QImage(reinterpret_cast<const uchar*>(shot->data), shot->width, shot->height,
                       shot->bytes_per_line, QImage::Format_RGB32)
                    .copy();
    } else {
        error_ = QString("cannot read a screen of %1 bits a pixel").arg(shot->bits_per_pixel);
    }
    XDestroyImage(shot);
    return image;
}

QString XSession::Run(const QString& program, const QStringList& arguments, bool* ok,
                      int timeoutMs) {
    QProcess process;
    process.setProcessEnvironment(Environment());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    const bool finished = process.waitForFinished(timeoutMs);
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }
    if (ok != nullptr) {
        *ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

QString XSession::WaitForWindow(const QString& name, int timeoutMs, qint64 pid) {
    const QString pattern = "^" + QRegularExpression::escape(name) + "$";
    // xdotool's conditions are alternatives unless --all is given, and the pattern comes last.
    QStringList search{"search", "--all", "--onlyvisible"};
    if (pid > 0) {
        search << "--pid" << QString::number(pid);
    }
    search << "--name" << pattern;
    const QDeadlineTimer deadline(timeoutMs);
    do {
        const QString found = Xdotool(search);
        if (!found.isEmpty()) {
            return found.section('\n', 0, 0).trimmed();
        }
        QThread::msleep(kPollMs);
    } while (!deadline.hasExpired());
    return {};
}

QRect XSession::WindowGeometry(const QString& windowId) {
    bool ran = false;
    const QString report = Run("xwininfo", {"-id", windowId}, &ran);
    bool ok = ran;
    const QRect area(Field(report, "Absolute upper-left X", &ok),
                     Field(report, "Absolute upper-left Y", &ok), Field(report, "Width", &ok),
                     Field(report, "Height", &ok));
    return ok ? area : QRect();
}

QStringList XSession::WindowStates(const QString& windowId) {
    const QString report = Run("xprop", {"-id", windowId, "_NET_WM_STATE"});
    const qsizetype equals = report.indexOf('=');
    if (equals < 0) {
        return {};
    }
    QStringList states = report.mid(equals + 1).split(',', Qt::SkipEmptyParts);
    for (QString& state : states) {
        state = state.trimmed();
    }
    return states;
}

QString XSession::WindowTitle(const QString& windowId) {
    return Xdotool({"getwindowname", windowId});
}

bool XSession::IsMaximised(const QString& windowId) {
    const QStringList states = WindowStates(windowId);
    return states.contains("_NET_WM_STATE_MAXIMIZED_VERT") &&
           states.contains("_NET_WM_STATE_MAXIMIZED_HORZ");
}

bool XSession::IsFullScreen(const QString& windowId) {
    return WindowStates(windowId).contains("_NET_WM_STATE_FULLSCREEN");
}

int XSession::PressKey(const QString& windowId, const QString& key) {
    Xdotool({"windowactivate", "--sync", windowId});
    bool pressed = false;
    Xdotool({"key", key}, &pressed);
    return pressed ? 0 : -1;
}

bool XSession::CloseWindow(const QString& windowId) {
    if (connection_ == nullptr) {
        error_ = "no connection to the X server";
        return false;
    }
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = windowId.toULong();
    request.xclient.message_type = XInternAtom(connection_, "_NET_CLOSE_WINDOW", False);
    request.xclient.format = 32;
    request.xclient.data.l[0] = CurrentTime;
    request.xclient.data.l[1] = 2;  // from a user's direct action, as a taskbar sends it
    XSendEvent(connection_, DefaultRootWindow(connection_), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &request);
    XFlush(connection_);
    return true;
}

std::optional<bool> XSession::PointerIsBlank() {
    if (connection_ == nullptr) {
        return std::nullopt;
    }
    std::optional<bool> blank;
    int eventBase = 0;
    int errorBase = 0;
    if (XFixesQueryExtension(connection_, &eventBase, &errorBase) != 0) {
        if (XFixesCursorImage* image = XFixesGetCursorImage(connection_)) {
            const unsigned long* pixels = image->pixels;
            const std::size_t count = static_cast<std::size_t>(image->width) * image->height;
            // ARGB, one pixel to a long: transparent where alpha is 0.
            blank = std::all_of(pixels, pixels + count,
                                [](unsigned long pixel) { return (pixel >> 24 & 0xFF) == 0; });
            XFree(image);
        }
    }
    return blank;
}
