#pragma once

#include <QFont>
#include <QString>

#include <string>
#include <vector>

// The characters of `texts` that no installed font can draw in `font`, each listed once,
// in the order they first appear. Empty when everything can be drawn.
QString MissingCharacters(const QFont& font, const std::vector<std::u16string>& texts);

// What to tell the user when the show's characters cannot be drawn.
QString MissingFontMessage(const QString& missing);
