// The show's own face as the program carries it in its resources, read from the file
// itself, never from the fonts the machine has installed.

#include <gtest/gtest.h>

#include <QFile>
#include <QRawFont>

#include "show/show_script.h"
#include "stage/face_metrics.h"

namespace {

QRawFont Face(qreal pixelSize) {
    QFile file(":/face/show-face.woff2");
    return QRawFont(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), pixelSize);
}

// Every line the show types, and the words of its web page, which draws them in this face too.
TEST(ShowFace, HoldsEveryCharacterTheShowTypesAndItsPageShows) {
    const QRawFont face = Face(40);
    ASSERT_TRUE(face.isValid());
    EXPECT_NE(face.familyName(), "Noto Sans CJK TC") << "an installed family of the same name";
    QFile pageWords(QORVELIN_PAGE_WORDS);
    ASSERT_TRUE(pageWords.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(pageWords.readAll()).trimmed();
    ASSERT_FALSE(text.isEmpty());
    for (const std::u16string& message : ShowMessages()) {
        text += QString::fromStdU16String(message);
    }
    QString missing;
    for (const QChar character : text) {
        if (!face.supportsCharacter(character) && !missing.contains(character)) {
            missing += character;
        }
    }
    EXPECT_EQ(missing, "");
    // A character the show never types is not in it: the file is a subset.
    EXPECT_FALSE(face.supportsCharacter(QChar(u'鬱')));
}

// Both stages set a line by the same numbers: they must be the face's own.
TEST(ShowFace, AscentAndDescentAreTheOnesTheStagesSetLinesBy) {
    const QRawFont face = Face(1000);
    ASSERT_TRUE(face.isValid());
    EXPECT_FLOAT_EQ(static_cast<float>(face.ascent()), 1000 * kFaceAscent);
    EXPECT_FLOAT_EQ(static_cast<float>(face.descent()), 1000 * kFaceDescent);
    // A full-width character fills its 40-pixel cell at 30 points.
    const QList<quint32> glyph = face.glyphIndexesForString("現");
    ASSERT_EQ(glyph.size(), 1);
    ASSERT_NE(glyph.front(), 0U);  // not the face's missing-character box
    EXPECT_FLOAT_EQ(
        static_cast<float>(face.advancesForGlyphIndexes(glyph).front().x()) * EmPixels(30) / 1000,
        40);
}

}  // namespace
