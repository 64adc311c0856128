// Draws the eighteen card faces and the program icon that are compiled into Qorvelin.
//
//   make_card_faces CARDS_DIR ICON_DIR CONTACT_SHEET
//
// writes CARDS_DIR/card00.jpg .. card17.jpg (150 x 200) and card00@2x.jpg .. (300 x 400),
// ICON_DIR/qorvelin.svg and qorvelin-16/32/48/192/256/512.png, the tiles that a web app's home
// screen cuts its shape from, qorvelin-tile-180.png (a touch icon) and qorvelin-tile-512.png,
// and the contact sheet PNG of all eighteen faces. The same Qt and fonts give the same bytes on
// every run.

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

#include <cstdio>

#include "tools/card_face.h"
#include "tools/contact_sheet.h"
#include "tools/program_icon.h"
#include "tools/rank_letters.h"

namespace {

// Both come with Debian's fonts-dejavu-core.
const QString kRankFont = "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf";
const QString kLabelFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

constexpr int kSlotCount = 18;
constexpr int kJpegQuality = 95;
constexpr int kIconSizes[] = {16, 32, 48, 192, 256, 512};
constexpr int kTileSizes[] = {180, 512};

QImage paintFace(int slot, const RankLetters& letters, int scale) {
    QImage face(150 * scale, 200 * scale, QImage::Format_RGB32);
    face.setColorSpace(QColorSpace::SRgb);
    QPainter painter(&face);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    paintCardFace(painter, CardFace::forSlot(slot), letters);
    painter.end();
    return face;
}

// Qt writes a baseline (not progressive, not optimised) JPEG with three 8-bit components,
// the chroma at half resolution, and embeds the image's colour space as an ICC profile.
bool writeJpeg(const QImage& image, const QString& fileName) {
    QImageWriter writer(fileName, "jpeg");
    writer.setQuality(kJpegQuality);
    writer.setProgressiveScanWrite(false);
    writer.setOptimizedWrite(false);
    return writer.write(image);
}

bool fail(const QString& message) {
    std::fprintf(stderr, "make_card_faces: %s\n", qPrintable(message));
    return false;
}

bool writeFaces(const QString& cardsDir, const RankLetters& letters, QList<QImage>& written) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const QString name = QString("card%1").arg(slot, 2, 10, QChar('0'));
        const QString single = cardsDir + "/" + name + ".jpg";
        const QString dense = cardsDir + "/" + name + "@2x.jpg";
        if (!writeJpeg(paintFace(slot, letters, 1), single) ||
            !writeJpeg(paintFace(slot, letters, 2), dense)) {
            return fail("cannot write " + single);
        }
        // The contact sheet shows the faces as they decode, not as they were painted.
        written.append(QImage(single));
    }
    return true;
}

bool writeIcon(const QString& iconDir) {
    for (const int size : kIconSizes) {
        const QString name = QString("%1/qorvelin-%2.png").arg(iconDir).arg(size);
        if (!paintProgramIcon(size).save(name, "PNG")) {
            return fail("cannot write " + name);
        }
    }
    for (const int size : kTileSizes) {
        const QString name = QString("%1/qorvelin-tile-%2.png").arg(iconDir).arg(size);
        if (!paintProgramTile(size).save(name, "PNG")) {
            return fail("cannot write " + name);
        }
    }
    QFile svg(iconDir + "/qorvelin.svg");
    if (!svg.open(QIODevice::WriteOnly) || svg.write(programIconSvg()) < 0) {
        return fail("cannot write " + svg.fileName());
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: make_card_faces CARDS_DIR ICON_DIR CONTACT_SHEET\n");
        return 2;
    }
    const QString& cardsDir = args[1];
    const QString& iconDir = args[2];
    const QString& sheetFile = args[3];
    for (const QString& dir : {cardsDir, iconDir, QFileInfo(sheetFile).path()}) {
        if (!QDir().mkpath(dir)) {
            fail("cannot create " + dir);
            return 1;
        }
    }

    const RankLetters letters(kRankFont);
    if (!letters.isValid()) {
        fail("cannot load " + kRankFont + " (Debian package fonts-dejavu-core)");
        return 1;
    }

    QList<QImage> faces;
    if (!writeFaces(cardsDir, letters, faces) || !writeIcon(iconDir)) {
        return 1;
    }
    if (!paintContactSheet(faces, kLabelFont).save(sheetFile, "PNG")) {
        fail("cannot write " + sheetFile);
        return 1;
    }
    return 0;
}
