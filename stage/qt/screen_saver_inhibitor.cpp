#include "stage/qt/screen_saver_inhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString kApplication = "Qorvelin";
const QString kReason = "A classroom demonstration is playing";

// How long the program's end waits for the desktop to hear that it lets go.
constexpr int kReleaseTimeoutMs = 50;

const QString kPortalService = "org.freedesktop.portal.Desktop";
const QString kScreenSaverService = "org.freedesktop.ScreenSaver";
const QString kScreenSaverPath = "/org/freedesktop/ScreenSaver";

}  // namespace

void ScreenSaverInhibitor::Connect() {
    QDBusConnection::sessionBus();
}

void ScreenSaverInhibitor::Inhibit() {
    if (asked_) {
        return;
    }
    asked_ = true;
    if (!QDBusConnection::sessionBus().isConnected()) {
        return;
    }
    QDBusMessage request =
        QDBusMessage::createMethodCall(kPortalService, "/org/freedesktop/portal/desktop",
                                       "org.freedesktop.portal.Inhibit", "Inhibit");
    request << QString() << kIdleFlag << QVariantMap{{"reason", kReason}};
    auto* answer =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(request), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this, [this, answer] {
        const QDBusPendingReply<QDBusObjectPath> reply = *answer;
        answer->deleteLater();
        if (reply.isValid()) {
            portalRequest_ = reply.value();
        } else {
            AskTheScreenSaver();
        }
    });
}

void ScreenSaverInhibitor::AskTheScreenSaver() {
    QDBusMessage request = QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath,
                                                          kScreenSaverService, "Inhibit");
    request << kApplication << kReason;
    auto* answer =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(request), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this, [this, answer] {
        const QDBusPendingReply<unsigned> reply = *answer;
        answer->deleteLater();
        if (reply.isValid()) {
            screenSaverCookie_ = reply.value();
        }
    });
}

void ScreenSaverInhibitor::Release() {
    QDBusMessage release;
    if (portalRequest_) {
        release = QDBusMessage::createMethodCall(kPortalService, portalRequest_->path(),
                                                 "org.freedesktop.portal.Request", "Close");
    } else if (screenSaverCookie_) {
        release = QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath,
                                                 kScreenSaverService, "UnInhibit");
        release << *screenSaverCookie_;
    } else {
        return;
    }
    portalRequest_.reset();
    screenSaverCookie_.reset();
    QDBusConnection::sessionBus().call(release, QDBus::Block, kReleaseTimeoutMs);
}
