#pragma once

#include <QColor>

#include "stage/slot_face.h"

class QPainter;
class RankLetters;

// One of the eighteen faces, with the colours it is painted in.
struct CardFace : SlotFace {
    // The face that card slot `slot` (0 to 17) holds.
    static CardFace forSlot(int slot) { return {SlotFace::Of(slot)}; }

    // The colour of the rank letter; the suit symbol is drawn in `symbolColour()`.
    QColor letterColour() const;
    QColor symbolColour() const;
};

// Paints `face` on a 150 x 200 card at the painter's current transform (scale it by two
// for the double-density variant). The painter should have antialiasing on.
void paintCardFace(QPainter& painter, const CardFace& face, const RankLetters& letters);
