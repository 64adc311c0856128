#include "stage/show_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

#include <stdexcept>

#include "stage/face_metrics.h"
#include "stage/fit_rule.h"

namespace {

// The size of the window's client area when it is not maximised.
constexpr QSize kRestoredSize(1012, 767);
// Points become pixels at 96 dots per inch: 3780 dots per metre.
constexpr int kDotsPerMetre = 3780;

// The program's own face, compiled in, so that the show looks the same whatever fonts the
// machine has. It is added to the application's fonts once.
QFont ShowFont() {
    static const QString family = [] {
        QFile file(":/face/show-face.woff2");
        const int id = file.open(QIODevice::ReadOnly)
                           ? QFontDatabase::addApplicationFontFromData(file.readAll())
                           : -1;
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (families.isEmpty()) {
            throw std::runtime_error("the program's own face cannot be loaded");
        }
        return families.first();
    }();
    QFont font = QApplication::font();
    font.setFamilies({family});
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
    SetFontSize(static_cast<float>(font_.pointSizeF()));
}

void ShowWindow::SetFontSize(float points) {
    points_ = points;
    font_.setPointSizeF(points);
    metrics_ = QFontMetricsF(font_, &canvas_);
}

void ShowWindow::SetBackColor(const QColor& color) {
    backColor_ = color;
    strokes_.clear();
    canvas_.fill(backColor_);
    update();
}

void ShowWindow::Cls() {
    strokes_.clear();
    canvas_.fill(backColor_);
    currentX_ = 0;
    currentY_ = 0;
    update();
}

void ShowWindow::Print(const QString& text) {
    if (!text.isEmpty()) {
        strokes_.push_back(
            {QPointF(currentX_, currentY_ + BaselineOffset(points_)), foreColor_, font_, text});
        Draw(strokes_.back());
        const QRectF ink = metrics_.boundingRect(text).translated(strokes_.back().at);
        // Antialiased edges and overhanging strokes can reach past the ink's box.
        update(QRectF(ink.topLeft() * scale_, ink.size() * scale_)
                   .toAlignedRect()
                   .adjusted(-2, -2, 2, 2));
    }
    currentX_ = 0;
    currentY_ += LineHeight(points_);
}

void ShowWindow::Draw(const Stroke& stroke) {
    QPainter painter(&canvas_);
    painter.scale(scale_, scale_);
    painter.setFont(stroke.font);
    painter.setPen(stroke.color);
    painter.drawText(stroke.at, stroke.text);
}

// Every text since the drawing was last erased, again, in the order it came: the greys of a
// fade build up as they did the first time.
void ShowWindow::Redraw() {
    canvas_.fill(backColor_);
    for (const Stroke& stroke : strokes_) {
        Draw(stroke);
    }
    update();
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
    if (size().isEmpty()) {
        return;  // nothing to fit into; the next real size decides
    }
    const qreal scale = FitScale(static_cast<float>(width()), static_cast<float>(height()));
    if (scale != scale_) {
        scale_ = scale;
        Redraw();
        emit ScaleChanged(scale_);
    }
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
