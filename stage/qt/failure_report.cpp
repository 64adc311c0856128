#include "stage/qt/failure_report.h"

#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>

namespace {

// Offscreen and minimal platforms have no screen anyone looks at: a message box there would
// wait for a click forever.
bool SomeoneSeesTheScreen() {
    const QString platform = QGuiApplication::platformName();
    return !platform.isEmpty() && platform != "offscreen" && platform != "minimal";
}

}  // namespace

void ReportFailure(const QString& message) {
    std::fprintf(stderr, "qorvelin: %s\n", qUtf8Printable(message));
    std::fflush(stderr);
    if (SomeoneSeesTheScreen()) {
        QMessageBox::critical(nullptr, QGuiApplication::applicationDisplayName(), message);
    }
}
