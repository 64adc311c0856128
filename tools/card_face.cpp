#include "tools/card_face.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include "tools/dusk_landscape.h"
#include "tools/rank_letters.h"

namespace {

const QColor kRed(245, 10, 10);
const QColor kBlack(0, 0, 0);
const QColor kBlackQueenLetter(35, 16, 15);
const QColor kCardBody(249, 248, 244);

const QRectF kCardBodyRect(24, 28.5, 102, 143);
const QRectF kPictureRect(42, 47, 68, 102);
constexpr qreal kPictureCornerRadius = 8;

// Centre of the top-left suit symbol; the symbols span about x 11 to 36, y 36 to 66.
const QPointF kSymbolCentre(23.5, 51);

QPainterPath circleSymbol() {
    QPainterPath path;
    path.addEllipse(kSymbolCentre, 12.5, 12.5);
    return path;
}

QPainterPath diamondSymbol() {
    const qreal halfWidth = 9.5;
    const qreal halfHeight = 15;
    QPainterPath path;
    path.moveTo(kSymbolCentre + QPointF(0, -halfHeight));
    path.lineTo(kSymbolCentre + QPointF(halfWidth, 0));
    path.lineTo(kSymbolCentre + QPointF(0, halfHeight));
    path.lineTo(kSymbolCentre + QPointF(-halfWidth, 0));
    path.closeSubpath();
    return path;
}

// A five-pointed star, one point up, 26 wide and about 25 high, so that it looks as large
// as the circle beside it; its bounding box is centred on the symbol centre, so the star's
// own centre sits a little lower.
QPainterPath starSymbol() {
    const qreal outer = 26 / (2 * qSin(qDegreesToRadians(72.0)));
    const qreal inner = outer * 0.42;
    const qreal top = -outer;
    const qreal bottom = outer * qCos(qDegreesToRadians(36.0));
    const QPointF centre = kSymbolCentre + QPointF(0, -(top + bottom) / 2);
    QPainterPath path;
    for (int corner = 0; corner < 10; ++corner) {
        const qreal radius = corner % 2 == 0 ? outer : inner;
        const qreal angle = qDegreesToRadians(-90.0 + 36.0 * corner);
        const QPointF point = centre + QPointF(radius * qCos(angle), radius * qSin(angle));
        if (corner == 0) {
            path.moveTo(point);
        } else {
            path.lineTo(point);
        }
    }
    path.closeSubpath();
    return path;
}

QPainterPath suitSymbol(CardFace::Suit suit) {
    switch (suit) {
        case CardFace::Suit::Circle:
            return circleSymbol();
        case CardFace::Suit::Diamond:
            return diamondSymbol();
        case CardFace::Suit::Star:
            return starSymbol();
    }
    return {};
}

void paintCornerIndex(QPainter& painter, const CardFace& face, const RankLetters& letters) {
    painter.fillPath(letters.outline(face.rank), face.letterColour());
    painter.fillPath(suitSymbol(face.suit), face.symbolColour());
}

// The landscape is painted into its own image at the painter's device scale, only where
// the rounded rectangle already lies, so the rounded corners are smooth at either density.
void paintCentrePicture(QPainter& painter) {
    const qreal scale = painter.transform().m11();
    const QSize pixels = (kPictureRect.size() * scale).toSize();
    QImage picture(pixels, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter picturePainter(&picture);
    picturePainter.setRenderHint(QPainter::Antialiasing);
    picturePainter.scale(scale, scale);
    picturePainter.setPen(Qt::NoPen);
    picturePainter.setBrush(Qt::white);
    picturePainter.drawRoundedRect(QRectF(QPointF(0, 0), kPictureRect.size()), kPictureCornerRadius,
                                   kPictureCornerRadius);
    picturePainter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    paintDuskLandscape(picturePainter, kPictureRect.size());
    picturePainter.end();
    painter.drawImage(kPictureRect, picture);
}

}  // namespace

QColor CardFace::letterColour() const {
    if (colour == Colour::Red) {
        return kRed;
    }
    return rank == 'Q' ? kBlackQueenLetter : kBlack;
}

QColor CardFace::symbolColour() const {
    return colour == Colour::Red ? kRed : kBlack;
}

void paintCardFace(QPainter& painter, const CardFace& face, const RankLetters& letters) {
    painter.fillRect(QRectF(0, 0, 150, 200), Qt::white);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kCardBody);
    painter.drawRoundedRect(kCardBodyRect, 4, 4);

    paintCentrePicture(painter);

    paintCornerIndex(painter, face, letters);
    painter.save();
    painter.translate(150, 200);
    painter.rotate(180);
    paintCornerIndex(painter, face, letters);
    painter.restore();
}
