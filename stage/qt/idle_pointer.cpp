#include "stage/qt/idle_pointer.h"

#include <QCoreApplication>
#include <QEvent>

IdlePointer::IdlePointer(QWidget& window) : window_(window) {
    stillness_.setSingleShot(true);
    stillness_.setInterval(kHideAfterMs);
    // A coarse timer may fire a twentieth early: not before the two seconds are up.
    stillness_.setTimerType(Qt::PreciseTimer);
    connect(&stillness_, &QTimer::timeout, this, [this] { window_.setCursor(Qt::BlankCursor); });
    stillness_.start();
    // The application sees every motion, also over children that do not track the mouse.
    QCoreApplication::instance()->installEventFilter(this);
}

IdlePointer::~IdlePointer() {
    QCoreApplication::instance()->removeEventFilter(this);
}

bool IdlePointer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove && watched->isWidgetType()) {
        const auto* widget = static_cast<QWidget*>(watched);
        if (widget == &window_ || window_.isAncestorOf(widget)) {
            window_.unsetCursor();
            stillness_.start();
        }
    }
    return false;
}
