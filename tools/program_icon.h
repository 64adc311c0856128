#pragma once

#include <QByteArray>

class QImage;

// The program icon: a white window sheet drawn slanted, a cyan title bar along its top
// edge and a small grey pointer at its lower right, on a transparent background. The
// pixel images and the SVG are made from the same shapes.
QImage paintProgramIcon(int size);
QByteArray programIconSvg();

// The icon on an opaque square of the page's face colour, for a home screen that cuts its
// own shape out of it: the drawing keeps within the middle circle of four fifths of the
// width, which every such shape leaves whole.
QImage paintProgramTile(int size);
