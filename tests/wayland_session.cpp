#include "wayland_session.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QThread>

#include <pwd.h>
#include <unistd.h>

#include <functional>

namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr int kPollMs = 20;

QRect RectOf(const QJsonValue& value) {
    const QJsonObject rect = value.toObject();
    return QRect(rect["x"].toInt(), rect["y"].toInt(), rect["width"].toInt(),
                 rect["height"].toInt());
}

// The first node of sway's tree, depth first, that `wanted` accepts.
std::optional<QJsonObject> FindNode(const QJsonObject& node,
                                    const std::function<bool(const QJsonObject&)>& wanted) {
    if (wanted(node)) {
        return node;
    }
    for (const char* children : {"nodes", "floating_nodes"}) {
        for (const auto& child : node[children].toArray()) {
            // cppcheck-suppress useStlAlgorithm
            if (auto found = FindNode(child.toObject(), wanted)) {
                return found;
            }
        }
    }
    return std::nullopt;
}

}  // namespace

WaylandSession::WaylandSession(QSize screen) : screen_(screen) {
    if (!folder_.isValid()) {
        error_ = "cannot make the session's folder";
        return;
    }
    if (geteuid() == 0) {
        const passwd* user = getpwnam(kUser);
        if (user == nullptr) {
            error_ = QString(
                         "sway refuses to run as root, and there is no user %1 to run it "
                         "as: tools/install-deps.sh creates it")
                         .arg(kUser);
            return;
        }
        uid_ = user->pw_uid;
        gid_ = user->pw_gid;
        if (chown(QFile::encodeName(folder_.path()).constData(), *uid_, *gid_) != 0) {
            error_ = "cannot hand the session's folder to " + QString(kUser);
            return;
        }
    }
    environment_ = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SWAYSOCK", "DBUS_SESSION_BUS_ADDRESS",
                             "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) {
        environment_.remove(name);
    }
    environment_.insert("XDG_RUNTIME_DIR", folder_.path());
    environment_.insert("HOME", folder_.path());
    environment_.insert("WLR_BACKENDS", "headless");
    environment_.insert("WLR_RENDERER", "pixman");
    environment_.insert("WLR_LIBINPUT_NO_DEVICES", "1");
    environment_.insert("QT_QPA_PLATFORM", "wayland");
    up_ = StartCompositor();
    if (!up_) {
        Teardown();
    }
}

WaylandSession::~WaylandSession() {
    Teardown();
}

// sway makes its Wayland socket and its IPC socket in the session's folder, and answers on
// the latter once its output is up.
bool WaylandSession::StartCompositor() {
    const QString config = folder_.filePath("sway.config");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) {
        error_ = "cannot write sway's configuration";
        return false;
    }
    file.write(QString("output HEADLESS-1 mode --custom %1x%2\n"
                       "default_border normal 0\n"
                       "xwayland disable\n")
                   .arg(screen_.width())
                   .arg(screen_.height())
                   .toUtf8());
    file.close();

    compositor_ = AsUser("sway", {"--config", config});
    compositor_->setStandardOutputFile(QProcess::nullDevice());
    compositor_->setStandardErrorFile(folder_.filePath("sway.log"));
    compositor_->start();
    if (!compositor_->waitForStarted(kStartTimeoutMs)) {
        error_ = "cannot start sway: " + compositor_->errorString();
        return false;
    }
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (!deadline.hasExpired() && compositor_->state() == QProcess::Running) {
        const QDir folder(folder_.path());
        const QStringList displays = folder.entryList({"wayland-*"}, QDir::System);
        const QStringList ipc = folder.entryList({"sway-ipc.*.sock"}, QDir::System);
        const QStringList sockets = displays.filter(QRegularExpression("^wayland-\\d+$"));
        if (!sockets.isEmpty() && !ipc.isEmpty()) {
            environment_.insert("WAYLAND_DISPLAY", sockets.front());
            environment_.insert("SWAYSOCK", folder.filePath(ipc.front()));
            bool answers = false;
            Run("swaymsg", {"-t", "get_outputs"}, &answers);
            if (answers) {
                return true;
            }
        }
        QThread::msleep(kPollMs);
    }
    QFile log(folder_.filePath("sway.log"));
    log.open(QIODevice::ReadOnly);
    error_ = "sway did not come up: " + QString::fromLocal8Bit(log.readAll()).trimmed();
    return false;
}

std::unique_ptr<QProcess> WaylandSession::AsUser(const QString& program,
                                                 const QStringList& arguments) const {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment_);
    process->setWorkingDirectory(folder_.path());
    if (uid_) {
        process->setProgram("setpriv");
        process->setArguments(QStringList{QString("--reuid=%1").arg(*uid_),
                                          QString("--regid=%1").arg(*gid_), "--clear-groups", "--",
                                          program} +
                              arguments);
    } else {
        process->setProgram(program);
        process->setArguments(arguments);
    }
    return process;
}

QByteArray WaylandSession::Run(const QString& program, const QStringList& arguments, bool* ok) {
    const std::unique_ptr<QProcess> process = AsUser(program, arguments);
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start();
    const bool finished = process->waitForFinished(kStartTimeoutMs);
    if (!finished) {
        StopProcess(*process);
    }
    if (ok != nullptr) {
        *ok = finished && process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    }
    return process->readAllStandardOutput();
}

QProcess* WaylandSession::Launch(const QString& program, const QStringList& arguments,
                                 QProcess::ProcessChannelMode channels) {
    QString path = program;
    if (uid_ && QFileInfo(program).isAbsolute()) {
        path = folder_.filePath(QFileInfo(program).fileName());
        QFile::remove(path);
        if (!QFile::copy(program, path)) {
            error_ = QString("cannot copy %1 into the session's folder").arg(program);
            return nullptr;
        }
    }
    std::unique_ptr<QProcess> process = AsUser(path, arguments);
    process->setProcessChannelMode(channels);
    process->start();
    if (!process->waitForStarted(kStartTimeoutMs)) {
        error_ = QString("cannot start %1: %2").arg(program, process->errorString());
        return nullptr;
    }
    programs_.push_back(std::move(process));
    return programs_.back().get();
}

QImage WaylandSession::Screenshot() {
    bool ok = false;
    const QByteArray ppm = Run("grim", {"-t", "ppm", "-"}, &ok);
    const QImage image = ok ? QImage::fromData(ppm, "PPM") : QImage();
    if (image.isNull()) {
        error_ = "grim took no screenshot";
        return {};
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

std::optional<QJsonObject> WaylandSession::Node(const QString& windowId) {
    const QJsonObject tree =
        QJsonDocument::fromJson(Run("swaymsg", {"-t", "get_tree", "-r"})).object();
    return FindNode(tree, [&](const QJsonObject& node) {
        return QString::number(node["id"].toInteger()) == windowId;
    });
}

QString WaylandSession::WaitForWindow(const QString& name, int timeoutMs, qint64 pid) {
    const QDeadlineTimer deadline(timeoutMs);
    do {
        const QJsonObject tree =
            QJsonDocument::fromJson(Run("swaymsg", {"-t", "get_tree", "-r"})).object();
        const auto window = FindNode(tree, [&](const QJsonObject& node) {
            return node["name"].toString() == name && node["visible"].toBool() &&
                   (pid == 0 || node["pid"].toInteger() == pid);
        });
        if (window) {
            return QString::number((*window)["id"].toInteger());
        }
        QThread::msleep(kPollMs);
    } while (!deadline.hasExpired());
    return {};
}

// The node's rect is its area below the title bar; its window_rect, the client within it.
QRect WaylandSession::WindowGeometry(const QString& windowId) {
    const auto node = Node(windowId);
    if (!node) {
        return {};
    }
    const QRect area = RectOf((*node)["rect"]);
    const QRect client = RectOf((*node)["window_rect"]);
    return client.translated(area.topLeft());
}

QString WaylandSession::WindowTitle(const QString& windowId) {
    const auto node = Node(windowId);
    return node ? (*node)["name"].toString() : QString();
}

bool WaylandSession::IsMaximised(const QString& windowId) {
    const auto node = Node(windowId);
    if (!node) {
        return false;
    }
    const QRect area = RectOf((*node)["rect"]);
    const QRect titleBar = RectOf((*node)["deco_rect"]);
    return area.adjusted(0, -titleBar.height(), 0, 0) == QRect(QPoint(0, 0), screen_);
}

bool WaylandSession::IsFullScreen(const QString& windowId) {
    const auto node = Node(windowId);
    return node && (*node)["fullscreen_mode"].toInt() != 0;
}

int WaylandSession::PressKey(const QString& /*windowId*/, const QString& key) {
    constexpr int kKeyboardKeptMs = 300;
    const QString kept = QString::number(kKeyboardKeptMs);
    bool ok = false;
    Run("wtype", {"-s", kept, "-k", key, "-s", kept}, &ok);
    return ok ? kKeyboardKeptMs : -1;
}

void WaylandSession::Teardown() {
    for (const auto& program : programs_) {
        StopProcess(*program);
    }
    programs_.clear();
    if (compositor_) {
        StopProcess(*compositor_);
        compositor_.reset();
    }
    up_ = false;
}
