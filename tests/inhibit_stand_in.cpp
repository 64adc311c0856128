// A stand-in for the desktop's screen-saver inhibition, on whatever session bus it is
// started on: the desktop portal's Inhibit, the screen saver service, or both.
//
//     inhibit_stand_in [--portal] [--screensaver]
//
// It prints "ready" once its services are on the bus, then one line for every call it
// answers, e.g. "portal Inhibit window='' flags=8 reason='...'", "portal Close",
// "screensaver Inhibit application='Qorvelin' reason='...'", "screensaver UnInhibit 42".

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QVariantMap>

#include <cstdio>

namespace {

const QString kRequestPath = "/org/freedesktop/portal/desktop/request/stand_in/1";
constexpr unsigned kCookie = 42;

void Say(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

}  // namespace

class PortalInhibit : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Inhibit")

  public slots:
    QDBusObjectPath Inhibit(const QString& window, uint flags, const QVariantMap& options) {
        Say(QString("portal Inhibit window='%1' flags=%2 reason='%3'")
                .arg(window)
                .arg(flags)
                .arg(options.value("reason").toString()));
        return QDBusObjectPath(kRequestPath);
    }
};

class PortalRequest : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")

  public slots:
    void Close() { Say("portal Close"); }
};

class ScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

  public slots:
    uint Inhibit(const QString& application, const QString& reason) {
        Say(QString("screensaver Inhibit application='%1' reason='%2'").arg(application, reason));
        return kCookie;
    }
    void UnInhibit(uint cookie) { Say(QString("screensaver UnInhibit %1").arg(cookie)); }
};

int main(int argc, char** argv) {
    const QCoreApplication application(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "inhibit_stand_in: no session bus\n");
        return 1;
    }
    PortalInhibit portal;
    PortalRequest request;
    ScreenSaver screenSaver;
    const auto serve = [&bus](const QString& service, const QString& path, QObject* object) {
        return bus.registerObject(path, object, QDBusConnection::ExportAllSlots) &&
               bus.registerService(service);
    };
    bool served = true;
    if (QCoreApplication::arguments().contains("--portal")) {
        served =
            served && bus.registerObject(kRequestPath, &request, QDBusConnection::ExportAllSlots) &&
            serve("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop", &portal);
    }
    if (QCoreApplication::arguments().contains("--screensaver")) {
        served = served &&
                 serve("org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", &screenSaver);
    }
    if (!served) {
        std::fprintf(stderr, "inhibit_stand_in: cannot serve on the bus\n");
        return 1;
    }
    Say("ready");
    return QCoreApplication::exec();
}

#include "inhibit_stand_in.moc"
