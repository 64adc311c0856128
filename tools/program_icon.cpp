#include "tools/program_icon.h"

#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <QTextStream>

#include "web/page_values.h"

// The shapes are laid out on a 256 x 256 canvas.
namespace {

constexpr qreal kCanvas = 256;

// The window sheet, turned about its centre so that it leans.
const QRectF kSheet(30, 52, 180, 140);
constexpr qreal kTitleBarHeight = 34;
constexpr qreal kSheetAngle = -12;
const QPointF kSheetCentre(120, 122);

// A mouse pointer with its tip at the origin, placed at the sheet's lower right.
const QPolygonF kPointer({{0, 0}, {0, 62}, {15, 48}, {25, 72}, {36, 67}, {26, 44}, {46, 44}});
const QPointF kPointerTip(168, 150);

const QColor kSheetColour(255, 255, 255);
const QColor kTitleBarColour(0, 188, 228);
const QColor kPointerColour(150, 150, 150);
const QColor kOutlineColour(52, 60, 70);

// A tile takes the page's colour before the show, and its drawing this share of its width.
const QColor kTileColour(page::kFaceGrey, page::kFaceGrey, page::kFaceGrey);
constexpr qreal kTileDrawing = 0.62;

constexpr qreal kSheetOutline = 8;
constexpr qreal kPointerOutline = 6;

QRectF titleBar() {
    return {kSheet.left(), kSheet.top(), kSheet.width(), kTitleBarHeight};
}

// Small icons get outlines of at least one pixel, so the white sheet still shows against
// a white panel.
qreal outlineWidth(qreal canvasWidth, int size) {
    return qMax(canvasWidth, kCanvas / size);
}

QString svgColour(const QColor& colour) {
    return colour.name(QColor::HexRgb);
}

}  // namespace

QImage paintProgramIcon(int size) {
    QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / kCanvas, size / kCanvas);

    painter.save();
    painter.translate(kSheetCentre);
    painter.rotate(kSheetAngle);
    painter.translate(-kSheetCentre);
    painter.setPen(Qt::NoPen);
    painter.fillRect(kSheet, kSheetColour);
    painter.fillRect(titleBar(), kTitleBarColour);
    painter.setPen(QPen(kOutlineColour, outlineWidth(kSheetOutline, size), Qt::SolidLine,
                        Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(kSheet);
    painter.drawLine(titleBar().bottomLeft(), titleBar().bottomRight());
    painter.restore();

    painter.translate(kPointerTip);
    painter.setPen(QPen(kOutlineColour, outlineWidth(kPointerOutline, size), Qt::SolidLine,
                        Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(kPointerColour);
    painter.drawPolygon(kPointer);
    painter.end();
    return icon.convertToFormat(QImage::Format_ARGB32);
}

QImage paintProgramTile(int size) {
    QImage tile(size, size, QImage::Format_RGB32);
    tile.fill(kTileColour);
    const int drawing = qRound(size * kTileDrawing);
    const int margin = (size - drawing) / 2;
    QPainter painter(&tile);
    painter.drawImage(margin, margin, paintProgramIcon(drawing));
    painter.end();
    return tile;
}

QByteArray programIconSvg() {
    QString points;
    for (const QPointF& point : kPointer) {
        points += QString("%1,%2 ").arg(point.x()).arg(point.y());
    }
    const QRectF bar = titleBar();

    QString svg;
    QTextStream out(&svg);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\""
        << " viewBox=\"0 0 256 256\">\n"
        << "  <g transform=\"rotate(" << kSheetAngle << ' ' << kSheetCentre.x() << ' '
        << kSheetCentre.y() << ")\" stroke=\"" << svgColour(kOutlineColour) << "\" stroke-width=\""
        << kSheetOutline << "\">\n"
        << "    <rect x=\"" << kSheet.x() << "\" y=\"" << kSheet.y() << "\" width=\""
        << kSheet.width() << "\" height=\"" << kSheet.height() << "\" fill=\""
        << svgColour(kSheetColour) << "\" stroke=\"none\"/>\n"
        << "    <rect x=\"" << bar.x() << "\" y=\"" << bar.y() << "\" width=\"" << bar.width()
        << "\" height=\"" << bar.height() << "\" fill=\"" << svgColour(kTitleBarColour)
        << "\" stroke=\"none\"/>\n"
        << "    <rect x=\"" << kSheet.x() << "\" y=\"" << kSheet.y() << "\" width=\""
        << kSheet.width() << "\" height=\"" << kSheet.height() << "\" fill=\"none\"/>\n"
        << "    <line x1=\"" << bar.left() << "\" y1=\"" << bar.bottom() << "\" x2=\""
        << bar.right() << "\" y2=\"" << bar.bottom() << "\"/>\n"
        << "  </g>\n"
        << "  <polygon transform=\"translate(" << kPointerTip.x() << ' ' << kPointerTip.y()
        << ")\" points=\"" << points.trimmed() << "\" fill=\"" << svgColour(kPointerColour)
        << "\" stroke=\"" << svgColour(kOutlineColour) << "\" stroke-width=\"" << kPointerOutline
        << "\" stroke-linejoin=\"round\"/>\n"
        << "</svg>\n";
    out.flush();
    return svg.toUtf8();
}
