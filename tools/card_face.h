#pragma once

#include <QColor>

class QPainter;
class RankLetters;

// One of the eighteen faces: its colour, court rank and suit symbol.
struct CardFace {
    enum class Colour { Black, Red };
    enum class Suit { Circle, Diamond, Star };

    Colour colour;
    char rank;  // 'J', 'K' or 'Q'
    Suit suit;

    // The face that card slot `slot` (0 to 17) holds: black below 9, rank J, K, Q by
    // (slot mod 9) div 3, suit circle, diamond, star by slot mod 3.
    static CardFace forSlot(int slot);

    // The colour of the rank letter; the suit symbol is drawn in `symbolColour()`.
    QColor letterColour() const;
    QColor symbolColour() const;
};

// Paints `face` on a 150 x 200 card at the painter's current transform (scale it by two
// for the double-density variant). The painter should have antialiasing on.
void paintCardFace(QPainter& painter, const CardFace& face, const RankLetters& letters);
