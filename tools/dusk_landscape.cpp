#include "tools/dusk_landscape.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

namespace {

// A silhouette edge: `height(x)` above the baseline `y`, closed downwards to `bottom`.
template <typename Height>
QPainterPath ridge(const QSizeF& size, qreal y, qreal bottom, Height height) {
    QPainterPath path;
    path.moveTo(0, bottom);
    const int steps = 68;
    for (int step = 0; step <= steps; ++step) {
        const qreal x = size.width() * step / steps;
        path.lineTo(x, y - height(x / size.width()));
    }
    path.lineTo(size.width(), bottom);
    path.closeSubpath();
    return path;
}

void paintSky(QPainter& painter, const QSizeF& size, qreal horizon) {
    QLinearGradient sky(0, 0, 0, horizon);
    sky.setColorAt(0.0, QColor(196, 104, 150));
    sky.setColorAt(0.45, QColor(236, 128, 124));
    sky.setColorAt(0.8, QColor(250, 160, 84));
    sky.setColorAt(1.0, QColor(255, 196, 110));
    painter.fillRect(QRectF(0, 0, size.width(), horizon), sky);

    // The glow where the sun has just gone down behind the hills.
    QRadialGradient glow(QPointF(size.width() * 0.62, horizon), size.width() * 0.5);
    glow.setColorAt(0.0, QColor(255, 232, 170, 200));
    glow.setColorAt(1.0, QColor(255, 232, 170, 0));
    painter.fillRect(QRectF(0, 0, size.width(), horizon), glow);
}

void paintHills(QPainter& painter, const QSizeF& size, qreal horizon) {
    const QPainterPath farHills = ridge(size, horizon, horizon + 2, [](qreal x) {
        return 5 + 4 * qSin(x * 7.0 + 0.6) + 2.5 * qSin(x * 17.0 + 1.3);
    });
    painter.fillPath(farHills, QColor(92, 58, 82));

    const QPainterPath nearHills = ridge(size, horizon, horizon + 2, [](qreal x) {
        const qreal shoulder = qMax(0.0, 1.0 - x * 1.6);
        return 1.5 + 11 * shoulder * shoulder + 1.5 * qSin(x * 23.0);
    });
    painter.fillPath(nearHills, QColor(48, 30, 44));
}

void paintWater(QPainter& painter, const QSizeF& size, qreal horizon) {
    const QRectF water(0, horizon, size.width(), size.height() - horizon);
    QLinearGradient grey(0, water.top(), 0, water.bottom());
    grey.setColorAt(0.0, QColor(168, 160, 166));
    grey.setColorAt(1.0, QColor(104, 102, 112));
    painter.fillRect(water, grey);

    // Streaks of the sky's light on the water, brightest under the glow.
    for (int streak = 0; streak < 7; ++streak) {
        const qreal y = horizon + 2.5 + streak * 3.2;
        const qreal halfLength = 14 - streak * 1.6;
        const qreal centre = size.width() * 0.62 + (streak % 2 == 0 ? -2 : 3);
        painter.fillRect(QRectF(centre - halfLength, y, 2 * halfLength, 0.9),
                         QColor(250, 190, 140, 150 - streak * 15));
    }
}

// A low spit of land that runs in from the left edge of the foreground and tapers to a
// point over the water, with water still showing in front of its tip.
void paintSpit(QPainter& painter, const QSizeF& size) {
    const qreal w = size.width();
    const qreal h = size.height();
    QPainterPath spit;
    spit.moveTo(0, h * 0.70);
    spit.cubicTo(w * 0.22, h * 0.69, w * 0.46, h * 0.76, w * 0.86, h * 0.84);
    spit.cubicTo(w * 0.62, h * 0.86, w * 0.44, h * 0.92, w * 0.34, h);
    spit.lineTo(0, h);
    spit.closeSubpath();
    painter.fillPath(spit, QColor(30, 26, 30));
}

}  // namespace

void paintDuskLandscape(QPainter& painter, const QSizeF& size) {
    const qreal horizon = size.height() * 0.5;
    paintSky(painter, size, horizon);
    paintWater(painter, size, horizon);
    paintHills(painter, size, horizon);
    paintSpit(painter, size);
}
