#include "stage/qt/show_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

#include <stdexcept>

#include "stage/fit_rule.h"

namespace {

// The size of the window's client area when it is not maximised.
constexpr QSize kRestoredSize(1012, 767);
// Points become pixels at 96 dots per inch: 3780 dots per metre.
constexpr int kDotsPerMetre = 3780;

QColor ToQColor(Color color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

Color FromQColor(const QColor& color) {
    return RGB(color.red(), color.green(), color.blue());
}

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

TextDrawing ShowWindow::BlankDrawing() {
    const QPalette palette = QApplication::palette();
    return {FromQColor(palette.color(QPalette::Window)),
            FromQColor(palette.color(QPalette::ButtonText)),
            static_cast<float>(QApplication::font().pointSizeF())};
}

ShowWindow::ShowWindow(const TextDrawing& drawing, QWidget* parent)
    : QWidget(parent), drawing_(drawing), font_(ShowFont()), metrics_(font_) {
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

void ShowWindow::Draw(const TextStroke& stroke) {
    const QString glyphs = QString::fromStdU16String(stroke.text);
    const QPointF baseline = DrawOnCanvas(stroke, glyphs);
    // Antialiased edges and overhanging strokes can reach past the ink's box.
    update(
        metrics_.boundingRect(glyphs).translated(baseline).toAlignedRect().adjusted(-2, -2, 2, 2));
}

// Draws at the scale's own font size rather than through a scaled painter, so that a scaled
// glyph comes from the font's cache as any other does. Returns where its baseline begins.
QPointF ShowWindow::DrawOnCanvas(const TextStroke& stroke, const QString& glyphs) {
    const qreal points = stroke.points * scale_;
    if (font_.pointSizeF() != points) {
        font_.setPointSizeF(points);
        metrics_ = QFontMetricsF(font_, &canvas_);
    }
    const QPointF baseline = QPointF(stroke.x, stroke.baseline) * scale_;
    QPainter painter(&canvas_);
    painter.setFont(font_);
    painter.setPen(ToQColor(stroke.color));
    painter.drawText(baseline, glyphs);
    return baseline;
}

void ShowWindow::Erase() {
    canvas_.fill(ToQColor(drawing_.BackColor()));
    update();
}

// Every text since the drawing was last erased, again, in the order it came: the greys of a
// fade build up as they did the first time.
void ShowWindow::Redraw() {
    canvas_.fill(ToQColor(drawing_.BackColor()));
    for (const TextStroke& stroke : drawing_.Strokes()) {
        DrawOnCanvas(stroke, QString::fromStdU16String(stroke.text));
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
    if (event->key() == Qt::Key_F11) {
        if (!event->isAutoRepeat()) {
            setWindowState(windowState() ^ Qt::WindowFullScreen);
        }
        return;
    }
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
    grown.fill(ToQColor(drawing_.BackColor()));
    if (!canvas_.isNull()) {
        QPainter painter(&grown);
        painter.drawImage(QPointF(0, 0), canvas_);
    }
    canvas_ = grown;
}
