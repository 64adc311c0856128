#include "stage/qt/input_hold.h"

#include <QCoreApplication>
#include <QKeyEvent>

InputHold::InputHold(QWindow* window) : window_(window) {
    if (window_ != nullptr) {
        window_->installEventFilter(this);
    }
}

InputHold::~InputHold() {
    if (window_ == nullptr) {
        return;
    }
    window_->removeEventFilter(this);
    for (auto& event : held_) {
        QCoreApplication::postEvent(window_, event.release());
    }
}

bool InputHold::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_ || !event->isInputEvent()) {
        return false;
    }
    const bool keyEvent = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
    if (keyEvent && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F11) {
        return false;
    }
    held_.emplace_back(event->clone());
    return true;
}
