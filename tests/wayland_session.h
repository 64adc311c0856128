#pragma once

// A private Wayland desktop for tests that run the real program as a user would: a headless
// sway (no GPU, software rendering, no Xwayland) on a 1280 x 800 output, the programs
// launched on it with Qt's wayland platform, screenshots with grim, the tree of windows
// from swaymsg and keys typed with wtype.
//
//     WaylandSession wayland;
//     ASSERT_TRUE(wayland.IsUp()) << wayland.Error();
//     QProcess* app = wayland.Launch(program);
//     const QString id = wayland.WaitForWindow("Qorvelin", 10000);
//     QImage screen = wayland.Screenshot();
//
// sway refuses to run as root. Run by root, the session runs the compositor and every
// program on it as the unprivileged user kUser, which the project's set-up creates; the
// session's folder (its XDG_RUNTIME_DIR and HOME) belongs to that user, and a program is
// copied there first, as the build tree may be out of its reach.

#include <QJsonObject>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <vector>

#include "display_session.h"

class WaylandSession : public DisplaySession {
  public:
    static constexpr const char* kUser = "qorvelin-test";

    explicit WaylandSession(QSize screen = QSize(1280, 800));
    ~WaylandSession() override;
    WaylandSession(const WaylandSession&) = delete;
    WaylandSession& operator=(const WaylandSession&) = delete;

    bool IsUp() const override { return up_; }
    QString Error() const override { return error_; }
    QSize ScreenSize() const override { return screen_; }

    QProcess* Launch(const QString& program, const QStringList& arguments = {},
                     QProcess::ProcessChannelMode channels = QProcess::ForwardedChannels) override;
    QImage Screenshot() override;
    // A window's id is its node id in sway's tree; its process is the node's pid.
    QString WaitForWindow(const QString& name, int timeoutMs, qint64 pid = 0) override;
    QRect WindowGeometry(const QString& windowId) override;
    QString WindowTitle(const QString& windowId) override;
    // A tiling compositor gives a lone window the whole output: its frame fills the output.
    bool IsMaximised(const QString& windowId) override;
    // wtype's virtual keyboard, kept a moment before and after the key, or the compositor
    // may never send it; the key goes to the focused window, the only one.
    bool IsFullScreen(const QString& windowId) override;
    int PressKey(const QString& windowId, const QString& key) override;

  private:
    bool StartCompositor();
    // A process that runs `program` as the session's user, in its environment.
    std::unique_ptr<QProcess> AsUser(const QString& program, const QStringList& arguments) const;
    // Runs a command to its end; its standard output, `ok` telling whether it succeeded.
    QByteArray Run(const QString& program, const QStringList& arguments, bool* ok = nullptr);
    std::optional<QJsonObject> Node(const QString& windowId);
    void Teardown();

    QSize screen_;
    QString error_;
    bool up_ = false;
    std::optional<unsigned> uid_;  // the user to run as, when not the one running the test
    std::optional<unsigned> gid_;
    QTemporaryDir folder_;
    QProcessEnvironment environment_;
    std::unique_ptr<QProcess> compositor_;
    std::vector<std::unique_ptr<QProcess>> programs_;
};
