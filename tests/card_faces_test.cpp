// The card faces and the program icon as the program finds them in its resources.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QColor>
#include <QColorSpace>
#include <QFile>
#include <QImage>
#include <QRect>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "assets/card_faces.h"

namespace {

// Where the parts of a 150 x 200 face lie, with a pixel of slack round each.
const QRect kLetterArea(12, 6, 20, 30);
const QRect kSymbolArea(9, 35, 30, 33);
const QRect kPicture(42, 47, 68, 103);
// The same areas turned by 180 degrees about the face's centre.
QRect Turned(const QRect& area) {
    return {150 - area.right() - 1, 200 - area.bottom() - 1, area.width(), area.height()};
}

// This much a channel may stray between two faces painted alike. The faces are stored
// with the chroma at half resolution, so the colour of a suit symbol leaks a little into
// the 16 x 16 blocks it shares with the rank letter and the centre picture.
constexpr int kJpegTolerance = 20;

bool IsRed(int slot) {
    return slot >= 9;
}
char Rank(int slot) {
    return "JKQ"[(slot % 9) / 3];
}

QString DenseResource(int slot) {
    QString name = cardFaceResource(slot);
    return name.insert(name.size() - 4, "@2x");
}

QByteArray ReadResource(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QImage Decode(const QByteArray& bytes) {
    return QImage::fromData(bytes, "JPEG").convertToFormat(QImage::Format_RGB32);
}

QImage Face(int slot) {
    return Decode(ReadResource(cardFaceResource(slot)));
}

// The segments of a JPEG file up to its first scan, marker byte and payload.
struct Segment {
    unsigned char marker;
    QByteArray payload;
};
std::vector<Segment> HeaderSegments(const QByteArray& jpeg) {
    std::vector<Segment> segments;
    if (!jpeg.startsWith("\xFF\xD8")) {
        return segments;
    }
    qsizetype at = 2;
    while (at + 4 <= jpeg.size() && static_cast<unsigned char>(jpeg[at]) == 0xFF) {
        const auto marker = static_cast<unsigned char>(jpeg[at + 1]);
        const int length = static_cast<unsigned char>(jpeg[at + 2]) << 8 |
                           static_cast<unsigned char>(jpeg[at + 3]);
        segments.push_back({marker, jpeg.mid(at + 4, length - 2)});
        if (marker == 0xDA) {
            break;
        }
        at += 2 + length;
    }
    return segments;
}

int Distance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

// The largest difference of any channel between the two images inside `area`.
int LargestDifference(const QImage& a, const QImage& b, const QRect& area) {
    int largest = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            largest = std::max(largest, Distance(a.pixel(x, y), b.pixel(x, y)));
        }
    }
    return largest;
}

// The colour of the ink in `area`: the mean of the eight pixels farthest from white, which
// lie inside the strokes rather than on their softened edges.
QColor InkColour(const QImage& face, const QRect& area) {
    std::vector<std::pair<int, QRgb>> pixels;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = face.pixel(x, y);
            const int r = 255 - qRed(p), g = 255 - qGreen(p), b = 255 - qBlue(p);
            pixels.emplace_back(r * r + g * g + b * b, p);
        }
    }
    const int count = 8;
    if (pixels.size() < static_cast<std::size_t>(count)) {
        ADD_FAILURE() << "ink area too small: " << pixels.size() << " pixels";
        return {};
    }
    std::partial_sort(pixels.begin(), pixels.begin() + count, pixels.end(),
                      [](const auto& a, const auto& b) { return a.first > b.first; });
    int r = 0, g = 0, b = 0;
    for (int i = 0; i < count; ++i) {
        r += qRed(pixels[i].second);
        g += qGreen(pixels[i].second);
        b += qBlue(pixels[i].second);
    }
    return QColor(r / count, g / count, b / count);
}

// The bounding box of the pixels in `area` that are at least half covered by ink. Red,
// black and the brown-black of the queens all lack green, so green tells coverage.
QRect InkBounds(const QImage& face, const QRect& area) {
    QRect bounds;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qGreen(face.pixel(x, y)) < 128) {
                bounds |= QRect(x, y, 1, 1);
            }
        }
    }
    return bounds;
}

void ExpectColour(const QColor& seen, int r, int g, int b, int tolerance) {
    EXPECT_NEAR(seen.red(), r, tolerance);
    EXPECT_NEAR(seen.green(), g, tolerance);
    EXPECT_NEAR(seen.blue(), b, tolerance);
}

class CardFace : public testing::TestWithParam<int> {};

TEST_P(CardFace, IsABaselineSrgbJpegOfTheSlotSize) {
    const int slot = GetParam();
    for (const bool dense : {false, true}) {
        SCOPED_TRACE(dense ? "@2x" : "1x");
        const QByteArray bytes = ReadResource(dense ? DenseResource(slot) : cardFaceResource(slot));
        ASSERT_FALSE(bytes.isEmpty());

        const QImage image = QImage::fromData(bytes, "JPEG");
        EXPECT_EQ(image.size(), dense ? QSize(300, 400) : QSize(150, 200));
        EXPECT_EQ(image.colorSpace(), QColorSpace(QColorSpace::SRgb));

        // The first frame header is SOF0: baseline, 8-bit samples, three components.
        bool profile = false;
        const Segment* frame = nullptr;
        const std::vector<Segment> segments = HeaderSegments(bytes);
        for (const Segment& segment : segments) {
            profile =
                profile || (segment.marker == 0xE2 && segment.payload.startsWith("ICC_PROFILE"));
            if (!frame && segment.marker >= 0xC0 && segment.marker <= 0xCF &&
                segment.marker != 0xC4 && segment.marker != 0xCC) {
                frame = &segment;
            }
        }
        EXPECT_TRUE(profile);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->marker, 0xC0);
        ASSERT_GE(frame->payload.size(), 6);
        EXPECT_EQ(frame->payload[0], 8);
        EXPECT_EQ(frame->payload[5], 3);
    }
}

TEST_P(CardFace, IndicesHaveTheColourOfTheSlot) {
    const int slot = GetParam();
    const QImage face = Face(slot);
    ASSERT_FALSE(face.isNull());
    for (const bool turned : {false, true}) {
        SCOPED_TRACE(turned ? "bottom right" : "top left");
        const QColor letter = InkColour(face, turned ? Turned(kLetterArea) : kLetterArea);
        const QColor symbol = InkColour(face, turned ? Turned(kSymbolArea) : kSymbolArea);
        if (IsRed(slot)) {
            ExpectColour(letter, 245, 10, 10, 30);
            ExpectColour(symbol, 245, 10, 10, 12);
        } else {
            if (Rank(slot) == 'Q') {
                ExpectColour(letter, 35, 16, 15, 10);
            } else {
                ExpectColour(letter, 0, 0, 0, 10);
            }
            ExpectColour(symbol, 0, 0, 0, 10);
        }
    }
}

TEST_P(CardFace, IndicesSitInTheCorners) {
    const int slot = GetParam();
    const QImage face = Face(slot);
    ASSERT_FALSE(face.isNull());

    const QRect letter = InkBounds(face, kLetterArea);
    EXPECT_NEAR(letter.top(), 9, 1);
    EXPECT_NEAR(letter.left(), 15, 1);
    EXPECT_GE(letter.width(), 11);
    EXPECT_LE(letter.width(), 15);
    EXPECT_GE(letter.height(), 22);
    EXPECT_LE(letter.height(), 27);

    const QRect symbol = InkBounds(face, kSymbolArea);
    const bool diamond = slot % 3 == 1;
    EXPECT_NEAR(symbol.width(), diamond ? 19 : 25, 2);
    EXPECT_NEAR(symbol.height(), diamond ? 30 : 25, 2);
    EXPECT_NEAR(symbol.center().x(), 23, 2);
    EXPECT_NEAR(symbol.center().y(), 51, 2);

    // The bottom-right pair is the top-left one turned by 180 degrees.
    const QImage upsideDown = face.mirrored(true, true);
    EXPECT_LE(LargestDifference(face, upsideDown, kLetterArea), kJpegTolerance);
    EXPECT_LE(LargestDifference(face, upsideDown, kSymbolArea), kJpegTolerance);
}

TEST_P(CardFace, DenseFaceIsTheSameDrawingAtTwiceTheScale) {
    const int slot = GetParam();
    const QImage face = Face(slot);
    const QImage dense = Decode(ReadResource(DenseResource(slot)));
    ASSERT_EQ(dense.size(), QSize(300, 400));
    // Averaging each 2 x 2 block of the dense face must give back the single-density face,
    // up to the softer edges of the smaller drawing.
    long long total = 0;
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 150; ++x) {
            int sum[3] = {0, 0, 0};
            for (const QPoint d : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)}) {
                const QRgb p = dense.pixel(2 * x + d.x(), 2 * y + d.y());
                sum[0] += qRed(p);
                sum[1] += qGreen(p);
                sum[2] += qBlue(p);
            }
            total += Distance(qRgb(sum[0] / 4, sum[1] / 4, sum[2] / 4), face.pixel(x, y));
        }
    }
    EXPECT_LT(total / (150.0 * 200.0), 4.0);
}

INSTANTIATE_TEST_SUITE_P(Slots, CardFace, testing::Range(0, 18));

TEST(CardFaces, AllShareOneDuskLandscape) {
    const QImage first = Face(0);
    ASSERT_FALSE(first.isNull());
    for (int slot = 1; slot < 18; ++slot) {
        SCOPED_TRACE(slot);
        EXPECT_LE(LargestDifference(first, Face(slot), kPicture), kJpegTolerance);
    }
    // Rounded corners show the card round them; the sky shades from pink at the top to
    // orange over the hills; the spit of land in front is dark.
    EXPECT_GT(qGray(first.pixel(kPicture.topLeft())), 200);
    const QRgb top = first.pixel(kPicture.center().x(), kPicture.top() + 3);
    const QRgb low = first.pixel(kPicture.center().x(), kPicture.top() + 40);
    EXPECT_GT(qBlue(top), qGreen(top));
    EXPECT_GT(qRed(low), 230);
    EXPECT_GT(qGreen(low), qBlue(low));
    EXPECT_LT(qGray(first.pixel(kPicture.left() + 8, kPicture.bottom() - 6)), 50);
    // The water between the hills and the spit is grey.
    const QRgb water = first.pixel(kPicture.right() - 6, kPicture.top() + 75);
    EXPECT_LT(Distance(water, qRgb(qGray(water), qGray(water), qGray(water))), 20);
}

TEST(CardFaces, TwinsOfOneRankAndColourDifferOnlyInTheSuitSymbol) {
    for (int base = 0; base < 18; base += 3) {
        for (int other = base + 1; other < base + 3; ++other) {
            SCOPED_TRACE(testing::Message() << base << " and " << other);
            const QImage a = Face(base);
            const QImage b = Face(other);
            EXPECT_LE(LargestDifference(a, b, kLetterArea), kJpegTolerance);
            EXPECT_LE(LargestDifference(a, b, Turned(kLetterArea)), kJpegTolerance);
            EXPECT_GT(LargestDifference(a, b, kSymbolArea), 120);
            EXPECT_GT(LargestDifference(a, b, Turned(kSymbolArea)), 120);
        }
    }
}

// Slot i and i + 9 have the same ink in the same places, black on one and red on the other.
TEST(CardFaces, BlackAndRedFacesDifferOnlyInColour) {
    for (int slot = 0; slot < 9; ++slot) {
        SCOPED_TRACE(slot);
        const QImage black = Face(slot);
        const QImage red = Face(slot + 9);
        int inkOnOneOnly = 0;
        int ink = 0;
        for (int y = 0; y < 200; ++y) {
            for (int x = 0; x < 150; ++x) {
                const QPoint at(x, y);
                if (kPicture.contains(at)) {
                    continue;
                }
                // Red ink has little green; black ink is dark in every channel.
                const bool blackInk = qGray(black.pixel(at)) < 128;
                const bool redInk = qGreen(red.pixel(at)) < 128;
                ink += blackInk;
                inkOnOneOnly += blackInk != redInk;
            }
        }
        EXPECT_GT(ink, 600);
        EXPECT_LT(inkOnOneOnly, ink / 20);
        EXPECT_LE(LargestDifference(black, red, kPicture), kJpegTolerance);
    }
}

// The desktop's sizes come with the program; the web app's lie beside them.
TEST(ProgramIcon, PngsAreSquareWithTransparentCorners) {
    for (const auto& [size, file] :
         {std::pair{16, ":/icon/qorvelin-16.png"}, std::pair{32, ":/icon/qorvelin-32.png"},
          std::pair{48, ":/icon/qorvelin-48.png"}, std::pair{256, ":/icon/qorvelin-256.png"},
          std::pair{192, QORVELIN_ICON_DIR "/qorvelin-192.png"},
          std::pair{512, QORVELIN_ICON_DIR "/qorvelin-512.png"}}) {
        SCOPED_TRACE(file);
        const QImage icon(file);
        ASSERT_EQ(icon.size(), QSize(size, size));
        ASSERT_TRUE(icon.hasAlphaChannel());
        const int last = size - 1;
        for (const QPoint corner :
             {QPoint(0, 0), QPoint(last, 0), QPoint(0, last), QPoint(last, last)}) {
            EXPECT_EQ(qAlpha(icon.pixel(corner)), 0) << corner.x() << ", " << corner.y();
        }
        // The sheet covers the middle; somewhere there is the cyan title bar.
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255);
        bool cyan = false;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const QColor c = icon.pixelColor(x, y);
                cyan =
                    cyan || (c.alpha() == 255 && c.red() < 60 && c.green() > 150 && c.blue() > 190);
            }
        }
        EXPECT_TRUE(cyan);
    }
}

// A home screen cuts its own shape out of a web app's tile, a circle at its smallest: the
// drawing keeps inside the middle circle of four fifths of the width, on an opaque square.
TEST(ProgramIcon, TilesKeepTheDrawingInsideTheCircleEveryShapeLeaves) {
    for (const int size : {180, 512}) {
        SCOPED_TRACE(size);
        const QImage tile(QString(QORVELIN_ICON_DIR "/qorvelin-tile-%1.png").arg(size));
        ASSERT_EQ(tile.size(), QSize(size, size));
        EXPECT_FALSE(tile.hasAlphaChannel());
        const QRgb background = tile.pixel(0, 0);
        const double centre = (size - 1) / 2.0;
        int drawn = 0;
        int outside = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                if (tile.pixel(x, y) != background) {
                    ++drawn;
                    outside += std::hypot(x - centre, y - centre) > 0.4 * size ? 1 : 0;
                }
            }
        }
        EXPECT_GT(drawn, size * size / 8) << "no drawing on the tile";
        EXPECT_EQ(outside, 0);
    }
}

TEST(ProgramIcon, SvgIsAScalableDrawing) {
    QXmlStreamReader svg(ReadResource(":/icon/qorvelin.svg"));
    ASSERT_TRUE(svg.readNextStartElement());
    EXPECT_EQ(svg.name(), QLatin1String("svg"));
    EXPECT_FALSE(svg.attributes().value("viewBox").isEmpty());
    while (!svg.atEnd()) {
        svg.readNext();
    }
    EXPECT_FALSE(svg.hasError()) << svg.errorString().toStdString();
}

}  // namespace
