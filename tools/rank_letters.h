#pragma once

#include <QPainterPath>
#include <QString>

// Outlines of the corner rank letters J, K and Q, cut from a serif font and fitted to the
// boxes the corner index gives them. Drawing the letters as outlines rather than as text
// keeps the faces independent of the font rasteriser's hinting settings.
class RankLetters {
  public:
    // Loads the serif font file at `fontFile`; `isValid()` tells whether that worked.
    explicit RankLetters(const QString& fontFile);

    bool isValid() const { return valid_; }

    // The outline of `rank` ('J', 'K' or 'Q') in card coordinates, top-left index position.
    const QPainterPath& outline(char rank) const;

  private:
    bool valid_ = false;
    QPainterPath jack_;
    QPainterPath king_;
    QPainterPath queen_;
};
