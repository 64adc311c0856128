#include "tools/rank_letters.h"

#include <QRawFont>
#include <QRectF>
#include <QTransform>

namespace {

// The box each letter fills in the top-left corner index: its top at y 9 and its left
// edge at x 15, narrow like the condensed letters of a real card index.
QRectF letterBox(char rank) {
    switch (rank) {
        case 'J':
            return {15, 9, 11, 24};
        case 'K':
            return {15, 9, 14, 23};
        default:
            return {15, 9, 14, 26};
    }
}

QPainterPath fittedLetter(const QRawFont& font, char rank) {
    const QList<quint32> glyphs = font.glyphIndexesForString(QString(QChar(rank)));
    const QPainterPath glyph = font.pathForGlyph(glyphs.value(0));
    const QRectF from = glyph.boundingRect();
    const QRectF to = letterBox(rank);
    QTransform fit;
    fit.translate(to.left(), to.top());
    fit.scale(to.width() / from.width(), to.height() / from.height());
    fit.translate(-from.left(), -from.top());
    return fit.map(glyph);
}

}  // namespace

RankLetters::RankLetters(const QString& fontFile) {
    const QRawFont font(fontFile, 1000, QFont::PreferNoHinting);
    if (!font.isValid()) {
        return;
    }
    jack_ = fittedLetter(font, 'J');
    king_ = fittedLetter(font, 'K');
    queen_ = fittedLetter(font, 'Q');
    valid_ = true;
}

const QPainterPath& RankLetters::outline(char rank) const {
    switch (rank) {
        case 'J':
            return jack_;
        case 'K':
            return king_;
        default:
            return queen_;
    }
}
