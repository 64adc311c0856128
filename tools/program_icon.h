#pragma once

#include <QByteArray>

class QImage;

// The program icon: a white window sheet drawn slanted, a cyan title bar along its top
// edge and a small grey pointer at its lower right, on a transparent background. The
// pixel images and the SVG are made from the same shapes.
QImage paintProgramIcon(int size);
QByteArray programIconSvg();
