#pragma once

// A private X display for tests that run the real program as a user would: an Xvfb server
// on a free display number with an openbox window manager on it, the programs launched
// there, screenshots of the whole screen (read straight from the server) and xdotool
// commands against it.
//
//     XSession x;                              // Xvfb 1280x800x24 on :90..:99, then openbox
//     ASSERT_TRUE(x.IsUp()) << x.Error();
//     QProcess* app = x.Launch(program);       // DISPLAY and QT_QPA_PLATFORM=xcb set
//     const QString id = x.WaitForWindow("Qorvelin", 10000);
//     QImage screen = x.Screenshot();          // the root window, RGB32
//     x.Xdotool({"key", "--window", id, "space"});

#include <QProcessEnvironment>
#include <QTemporaryFile>

#include <memory>
#include <optional>
#include <vector>

#include "display_session.h"

// Xlib's Display, by the name Xlib gives it; its header would bring its macros along.
struct _XDisplay;  // NOLINT(bugprone-reserved-identifier)

class XSession : public DisplaySession {
  public:
    // Starts Xvfb (-nolisten tcp, a black root window) on the first display number from `first`
    // to `last` that is free, waits until it answers, then starts openbox (configured as
    // installed, but without animations) and waits until it manages the screen. On failure
    // IsUp() is false and Error() says why.
    explicit XSession(int first = 90, int last = 99, QSize screen = QSize(1280, 800));
    ~XSession() override;
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    bool IsUp() const override { return up_; }
    QString Error() const override { return error_; }
    QString Display() const { return display_; }  // ":93"
    QSize ScreenSize() const override { return screen_; }

    // The environment programs get: this one's, with DISPLAY and QT_QPA_PLATFORM=xcb, and
    // without a session bus.
    QProcessEnvironment Environment() const;

    QProcess* Launch(const QString& program, const QStringList& arguments = {},
                     QProcess::ProcessChannelMode channels = QProcess::ForwardedChannels) override;
    QImage Screenshot() override;

    // Runs `program arguments` against the display and returns its standard output with
    // surrounding white space removed; `ok` (if given) tells whether it exited with status 0
    // within `timeoutMs`.
    QString Run(const QString& program, const QStringList& arguments, bool* ok = nullptr,
                int timeoutMs = 10000);
    QString Xdotool(const QStringList& arguments, bool* ok = nullptr) {
        return Run("xdotool", arguments, ok);
    }

    // A window's process is its _NET_WM_PID.
    QString WaitForWindow(const QString& name, int timeoutMs, qint64 pid = 0) override;
    QRect WindowGeometry(const QString& windowId) override;
    QString WindowTitle(const QString& windowId) override;
    // Maximised both ways in its _NET_WM_STATE.
    bool IsMaximised(const QString& windowId) override;
    bool IsFullScreen(const QString& windowId) override;
    // Activates the window, then types the key.
    int PressKey(const QString& windowId, const QString& key) override;
    // Asks the window manager to close the window, as its title bar's close button does
    // (_NET_CLOSE_WINDOW); the request has gone out to the server when this returns.
    bool CloseWindow(const QString& windowId);

    // Whether the mouse pointer's image, as XFIXES reports it, is wholly transparent; no
    // answer if the server cannot tell.
    std::optional<bool> PointerIsBlank();

    // The atoms of the window's _NET_WM_STATE, e.g. "_NET_WM_STATE_MAXIMIZED_VERT".
    QStringList WindowStates(const QString& windowId);

  private:
    bool StartServer(int display);
    bool Connect();
    bool StartWindowManager();
    bool FramesAWindow();
    QStringList OpenboxArguments();
    void Teardown();

    QSize screen_;
    QString display_;
    QString error_;
    bool up_ = false;
    std::unique_ptr<QProcess> server_;
    // The test's own connection to the server, for screenshots and the pointer's image.
    _XDisplay* connection_ = nullptr;
    std::unique_ptr<QProcess> windowManager_;
    std::unique_ptr<QTemporaryFile> openboxConfig_;
    std::vector<std::unique_ptr<QProcess>> programs_;
};
