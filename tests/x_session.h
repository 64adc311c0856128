#pragma once

// A private X display for tests that run the real program as a user would: an Xvfb server
// on a free display number with an openbox window manager on it, the programs launched
// there, screenshots of the whole screen and xdotool commands against it.
//
//     XSession x;                              // Xvfb 1280x800x24 on :90..:99, then openbox
//     ASSERT_TRUE(x.IsUp()) << x.Error();
//     QProcess* app = x.Launch(program);       // DISPLAY and QT_QPA_PLATFORM=xcb set
//     const QString id = x.WaitForWindow("Qorvelin", 10000);
//     QImage screen = x.Screenshot();          // the root window, RGB32
//     x.Xdotool({"key", "--window", id, "space"});
//
// Everything the session started (launched programs, openbox, Xvfb) ends with it, launched
// programs first. Every call blocks; none needs an event loop.

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class XSession {
  public:
    // Starts Xvfb (-nolisten tcp) on the first display number from `first` to `last` that is
    // free, waits until it answers, then starts openbox and waits until it manages the screen.
    // On failure IsUp() is false and Error() says why.
    explicit XSession(int first = 90, int last = 99, QSize screen = QSize(1280, 800));
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    bool IsUp() const { return up_; }
    QString Error() const { return error_; }
    QString Display() const { return display_; }  // ":93"
    QSize ScreenSize() const { return screen_; }

    // The environment programs get: this one's, with DISPLAY and QT_QPA_PLATFORM=xcb.
    QProcessEnvironment Environment() const;

    // Starts `program` on the display. The session owns the process and ends it at teardown
    // if it is still running; the pointer stays valid until then. Returns nullptr (and sets
    // Error()) if it cannot be started. Its output goes to this process's unless other
    // `channels` are asked for (SeparateChannels to read it with readAllStandardError()).
    QProcess* Launch(const QString& program, const QStringList& arguments = {},
                     QProcess::ProcessChannelMode channels = QProcess::ForwardedChannels);

    // The whole screen as RGB32; a null image (and Error()) if the capture failed.
    QImage Screenshot();

    // Runs `program arguments` against the display and returns its standard output with
    // surrounding white space removed; `ok` (if given) tells whether it exited with status 0
    // within `timeoutMs`.
    QString Run(const QString& program, const QStringList& arguments, bool* ok = nullptr,
                int timeoutMs = 10000);
    QString Xdotool(const QStringList& arguments, bool* ok = nullptr) {
        return Run("xdotool", arguments, ok);
    }

    // The id of the first visible window whose title matches `name` exactly, once there is
    // one; an empty string if none appears within `timeoutMs`. With a `pid`, only a window of
    // that process counts (its _NET_WM_PID), for telling several copies of a program apart.
    QString WaitForWindow(const QString& name, int timeoutMs, qint64 pid = 0);

    // The window's area on the screen (root coordinates, without the frame); an empty rectangle
    // if it cannot be read.
    QRect WindowGeometry(const QString& windowId);

    // The atoms of the window's _NET_WM_STATE, e.g. "_NET_WM_STATE_MAXIMIZED_VERT".
    QStringList WindowStates(const QString& windowId);

  private:
    bool StartServer(int display);
    bool StartWindowManager();
    void Teardown();

    QSize screen_;
    QString display_;
    QString error_;
    bool up_ = false;
    std::unique_ptr<QProcess> server_;
    std::unique_ptr<QProcess> windowManager_;
    std::vector<std::unique_ptr<QProcess>> programs_;
};
