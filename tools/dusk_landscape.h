#pragma once

#include <QSizeF>

class QPainter;

// The picture in the middle of every card face: a dusk sky shading from orange to pink
// above dark hills, a stretch of grey water and a dark spit of land in the foreground.
// Painted in the rectangle (0, 0, size) of the painter's coordinates.
void paintDuskLandscape(QPainter& painter, const QSizeF& size);
