#pragma once

// A private display server for tests that run the real program as a user would: the
// program launched on it, screenshots of the whole screen, its window found, measured and
// typed into. XSession serves an X server with a window manager, WaylandSession a Wayland
// compositor. Every call blocks; none needs an event loop. Everything a session started
// ends with it, launched programs first.

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

// A captured client area and the moment its capture started, in ms after the show began.
struct Frame {
    QImage image;
    qint64 at = -1;
};

class DisplaySession {
  public:
    virtual ~DisplaySession() = default;

    virtual bool IsUp() const = 0;
    // Why the session is not up, or why the last call failed.
    virtual QString Error() const = 0;
    virtual QSize ScreenSize() const = 0;

    // Starts `program` on the display. The session owns the process and ends it at teardown
    // if it is still running; the pointer stays valid until then. Returns nullptr (and sets
    // Error()) if it cannot be started. Its output goes to this process's unless other
    // `channels` are asked for (SeparateChannels to read it with readAllStandardError()).
    virtual QProcess* Launch(
        const QString& program, const QStringList& arguments = {},
        QProcess::ProcessChannelMode channels = QProcess::ForwardedChannels) = 0;

    // The whole screen as RGB32; a null image (and Error()) if the capture failed.
    virtual QImage Screenshot() = 0;

    // The id of the first visible window whose title matches `name` exactly, once there is
    // one; an empty string if none appears within `timeoutMs`. With a `pid`, only a window of
    // that process counts, for telling several copies of a program apart.
    virtual QString WaitForWindow(const QString& name, int timeoutMs, qint64 pid = 0) = 0;
    // The window's client area on the screen, without its frame; an empty rectangle if it
    // cannot be read.
    virtual QRect WindowGeometry(const QString& windowId) = 0;
    virtual QString WindowTitle(const QString& windowId) = 0;
    // Whether the window manager or compositor has the window maximised, or full screen.
    virtual bool IsMaximised(const QString& windowId) = 0;
    virtual bool IsFullScreen(const QString& windowId) = 0;

    // Presses and releases a key for the window, as a user at the keyboard would: "space",
    // "F11" (the key's name in X11 and XKB). Returns how many ms before its own return the key
    // went out, or -1 if it could not.
    virtual int PressKey(const QString& windowId, const QString& key) = 0;
};

// Asks a process to end, and makes it end if it does not within a few seconds.
void StopProcess(QProcess& process);
