#pragma once

#include <QDBusObjectPath>
#include <QObject>

#include <optional>

// Asks the desktop not to blank or lock the screen or start its screen saver while the show
// plays, as presentation programs do: through the desktop portal where the session bus has
// it, otherwise through the screen saver service. The request goes out without waiting for
// an answer, so it never holds up the show. Without a session bus, or when neither service
// answers, nothing happens and nothing is said. The desktop also lets go by itself when the
// program's bus connection ends.
class ScreenSaverInhibitor : public QObject {
  public:
    static constexpr unsigned kIdleFlag = 8;  // the portal's "idle": no blanking, no lock

    // Connects to the session bus, a moment's work best done before the show needs it.
    void Connect();
    // Sends the request the first time; later calls do nothing.
    void Inhibit();
    // Ends an inhibition the desktop granted, waiting a moment for it to hear.
    void Release();

  private:
    void AskTheScreenSaver();

    bool asked_ = false;
    std::optional<QDBusObjectPath> portalRequest_;
    std::optional<unsigned> screenSaverCookie_;
};
