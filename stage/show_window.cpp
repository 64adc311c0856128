#include "stage/show_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

namespace {

// The size of the window's client area when it is not maximised.
constexpr QSize kRestoredSize(1012, 767);
// Points become pixels at 96 dots per inch: 3780 dots per metre.
constexpr int kDotsPerMetre = 3780;

// The platform's user-interface face, with a Traditional Chinese face for the Han
// characters, so they take their Taiwanese forms whatever the machine's locale.
QFont ShowFont() {
    QFont font = QApplication::font();
    font.setFamilies({font.family(), "Noto Sans CJK TC", "Noto Serif CJK TC", "AR PL UMing TW",
                      "AR PL UKai TW"});
    return font;
}

}  // namespace

ShowWindow::ShowWindow(QWidget* parent)
    : QWidget(parent),
      backColor_(palette().color(QPalette::Window)),
      foreColor_(palette().color(QPalette::ButtonText)),
      font_(ShowFont()),
      metrics_(font_) {
    setWindowTitle(QApplication::applicationName());
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setFocusPolicy(Qt::StrongFocus);
    resize(kRestoredSize);

    QSize start = kRestoredSize;
    if (const QScreen* screen = QApplication::primaryScreen()) {
        start = start.expandedTo(screen->virtualSize());
    }
    GrowCanvasTo(start);
    metrics_ = QFontMetricsF(font_, &canvas_);
}

void ShowWindow::SetFontSize(float points) {
    font_.setPointSizeF(points);
    metrics_ = QFontMetricsF(font_, &canvas_);
}

void ShowWindow::SetBackColor(const QColor& color) {
    backColor_ = color;
    canvas_.fill(backColor_);
    update();
}

void ShowWindow::Cls() {
    canvas_.fill(backColor_);
    currentX_ = 0;
    currentY_ = 0;
    update();
}

void ShowWindow::Print(const QString& text) {
    if (!text.isEmpty()) {
        const QPointF baseline(currentX_, currentY_ + metrics_.ascent());
        QPainter painter(&canvas_);
        painter.setFont(font_);
        painter.setPen(foreColor_);
        painter.drawText(baseline, text);
        // Antialiased edges and overhanging strokes can reach past the ink's box.
        update(metrics_.boundingRect(text).translated(baseline).toAlignedRect().adjusted(-2, -2, 2,
                                                                                         2));
    }
    currentX_ = 0;
    currentY_ += static_cast<float>(metrics_.height());
}

void ShowWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const qreal ratio = canvas_.devicePixelRatio();
    for (const QRect& area : event->region()) {
        const QRectF source(area.x() * ratio, area.y() * ratio, area.width() * ratio,
                            area.height() * ratio);
        painter.drawImage(QRectF(area), canvas_, source);
    }
    if (!painted_) {
        painted_ = true;
        emit FirstPainted();
    }
}

void ShowWindow::resizeEvent(QResizeEvent* /*event*/) {
    GrowCanvasTo(size());
}

void ShowWindow::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    if (text.isEmpty()) {
        QWidget::keyPressEvent(event);
        return;
    }
    emit KeyTyped(text.at(0).unicode());
}

void ShowWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    emit CloseRequested();
}

bool ShowWindow::focusNextPrevChild(bool /*next*/) {
    return false;
}

// The canvas never shrinks: text drawn while the window was large stays for when it is
// large again. New area takes the background colour.
void ShowWindow::GrowCanvasTo(const QSize& size) {
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (size.expandedTo(canvas_.deviceIndependentSize().toSize()) * ratio);
    if (!canvas_.isNull() && canvas_.size() == pixels) {
        return;
    }
    QImage grown(pixels, QImage::Format_RGB32);
    grown.setDevicePixelRatio(ratio);
    grown.setDotsPerMeterX(kDotsPerMetre);
    grown.setDotsPerMeterY(kDotsPerMetre);
    grown.fill(backColor_);
    if (!canvas_.isNull()) {
        QPainter painter(&grown);
        painter.drawImage(QPointF(0, 0), canvas_);
    }
    canvas_ = grown;
}
