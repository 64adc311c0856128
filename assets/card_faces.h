#pragma once

#include <QString>

// The resource path of the face that card slot `slot` (0 to 17) holds, ":/cards/card07.jpg"
// for slot 7. Each face also comes at twice the density, under the same path with "@2x"
// before the extension, for screens with a device pixel ratio of 2.
QString cardFaceResource(int slot);
