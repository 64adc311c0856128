#include "stage/qt/card_pane_widget.h"

#include <QPainter>
#include <cmath>

#include "stage/qt/show_window.h"

CardPaneWidget::CardPaneWidget(int slot, ShowWindow& window)
    : QWidget(&window), slot_(slot), scale_(window.Scale()) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&window, &ShowWindow::ScaleChanged, this, &CardPaneWidget::SetScale);
    Place();
}

void CardPaneWidget::Move(float left, float top) {
    left_ = left;
    top_ = top;
    Place();
}

void CardPaneWidget::SetScale(qreal scale) {
    scale_ = scale;
    Place();
    update();
}

void CardPaneWidget::Place() {
    const auto scaled = [this](qreal logical) {
        return static_cast<int>(std::lround(logical * scale_));
    };
    setGeometry(scaled(left_), scaled(top_), scaled(kCardWidth), scaled(kCardHeight));
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
    const QPixmap face = Face(FaceRatio());
    if (scale_ == 1.0) {
        painter.drawPixmap(0, 0, face);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(rect(), face);
    }
}
