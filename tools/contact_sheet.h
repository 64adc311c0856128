#pragma once

#include <QList>
#include <QString>

class QImage;

// All eighteen faces in three rows of six on a dark ground, each under its slot index,
// for looking the family over at a glance. `labelFontFile` is the font of the indices.
QImage paintContactSheet(const QList<QImage>& faces, const QString& labelFontFile);
