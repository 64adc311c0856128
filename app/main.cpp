// Qorvelin: a self-running card trick that shows how attention fails. The program takes no
// command line, reads and writes no files and keeps no state: it plays the show once in its
// window and ends.

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

#include "show/form1.h"
#include "stage/qt/failure_report.h"
#include "stage/qt/qt_stage.h"

namespace {

QtMessageHandler defaultMessageHandler = nullptr;

// While the application starts, a platform that cannot open a display makes Qt abort with a
// core dump. Instead, say so in one line and end with status 1.
void ReportMissingDisplay(QtMsgType type, const QMessageLogContext& context,
                          const QString& message) {
    if (type == QtFatalMsg) {
        std::fputs(
            "qorvelin: cannot open the display: no X11 or Wayland session is reachable; "
            "start Qorvelin from a desktop.\n",
            stderr);
        std::_Exit(EXIT_FAILURE);
    }
    const bool platformNoise =
        context.category != nullptr && QByteArray(context.category).startsWith("qt.qpa");
    if (!platformNoise && defaultMessageHandler != nullptr) {
        defaultMessageHandler(type, context, message);
    }
}

std::unique_ptr<QApplication> StartApplication() {
    // Qt keeps references to these for the application's lifetime.
    static int argc = 1;
    static char name[] = "qorvelin";
    static char* argv[] = {name, nullptr};

    defaultMessageHandler = qInstallMessageHandler(ReportMissingDisplay);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(defaultMessageHandler);
    return application;
}

void SetIdentity() {
    QApplication::setApplicationName("Qorvelin");
    QApplication::setApplicationVersion(QORVELIN_VERSION);
    QApplication::setDesktopFileName("org.qorvelin.Qorvelin");
    QIcon icon;
    for (const int size : {16, 32, 48, 256}) {
        icon.addFile(QString(":/icon/qorvelin-%1.png").arg(size), QSize(size, size));
    }
    QApplication::setWindowIcon(icon);
}

int PlayTheShow() {
    QtStage stage;
    Form1 form(stage);
    return stage.Play(form);
}

}  // namespace

int main() {
    const std::unique_ptr<QApplication> application = StartApplication();
    SetIdentity();
    try {
        return PlayTheShow();
    } catch (const std::exception& error) {
        ReportFailure(
            QString("cannot start the show: %1").arg(QString::fromLocal8Bit(error.what())));
    }
    return EXIT_FAILURE;
}
