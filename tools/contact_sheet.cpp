#include "tools/contact_sheet.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>

namespace {

constexpr int kColumns = 6;
constexpr int kMargin = 24;
constexpr int kGap = 18;
constexpr int kLabelHeight = 30;
constexpr int kCardWidth = 150;
constexpr int kCardHeight = 200;

const QColor kGround(34, 36, 40);
const QColor kLabelColour(220, 220, 220);

// The label as an outline, centred above a card whose top-left corner is `cardTopLeft`.
QPainterPath labelOutline(const QRawFont& font, int slot, QPoint cardTopLeft) {
    QPainterPath text;
    qreal x = 0;
    for (const quint32 glyph : font.glyphIndexesForString(QString::number(slot))) {
        text.addPath(font.pathForGlyph(glyph).translated(x, 0));
        x += font.advancesForGlyphIndexes({glyph}).value(0).x();
    }
    const QRectF bounds = text.boundingRect();
    const QPointF centre(cardTopLeft.x() + kCardWidth / 2.0, cardTopLeft.y() - kLabelHeight / 2.0);
    return text.translated(centre - bounds.center());
}

}  // namespace

QImage paintContactSheet(const QList<QImage>& faces, const QString& labelFontFile) {
    const int rows = (static_cast<int>(faces.size()) + kColumns - 1) / kColumns;
    const int width = 2 * kMargin + kColumns * kCardWidth + (kColumns - 1) * kGap;
    const int height = 2 * kMargin + rows * (kLabelHeight + kCardHeight) + (rows - 1) * kGap;
    QImage sheet(width, height, QImage::Format_RGB32);
    sheet.fill(kGround);

    const QRawFont font(labelFontFile, 20, QFont::PreferNoHinting);
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int slot = 0; slot < faces.size(); ++slot) {
        const int column = slot % kColumns;
        const int row = slot / kColumns;
        const QPoint topLeft(kMargin + column * (kCardWidth + kGap),
                             kMargin + kLabelHeight + row * (kLabelHeight + kCardHeight + kGap));
        painter.drawImage(topLeft, faces[slot]);
        if (font.isValid()) {
            painter.fillPath(labelOutline(font, slot, topLeft), kLabelColour);
        }
    }
    painter.end();
    return sheet;
}
