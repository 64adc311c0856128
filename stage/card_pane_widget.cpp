#include "stage/card_pane_widget.h"

#include <QPainter>
#include <cmath>

CardPaneWidget::CardPaneWidget(int slot, QWidget* parent) : QWidget(parent), slot_(slot) {
    setFixedSize(kWidth, kHeight);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CardPaneWidget::Move(float left, float top) {
    left_ = left;
    move(static_cast<int>(std::lround(left)), static_cast<int>(std::lround(top)));
}

QPixmap CardPaneWidget::Face(qreal ratio) const {
    const bool dense = ratio > 1.0;
    if (face_.isNull() || (face_.devicePixelRatio() > 1.0) != dense) {
        const QString name =
            QString(":/cards/card%1%2.jpg").arg(slot_, 2, 10, QChar('0')).arg(dense ? "@2x" : "");
        face_ = QPixmap(name);
        face_.setDevicePixelRatio(dense ? 2.0 : 1.0);
    }
    return face_;
}

void CardPaneWidget::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, Face(devicePixelRatioF()));
}
