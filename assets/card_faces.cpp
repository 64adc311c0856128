#include "assets/card_faces.h"

QString cardFaceResource(int slot) {
    return QString(":/cards/card%1.jpg").arg(slot, 2, 10, QChar('0'));
}
