// The show's extent and the scale that fits it into a window: a whole run in virtual time,
// each of its texts measured in the program's own face and each card where it was shown.

#include <gtest/gtest.h>

#include <QFile>
#include <QRawFont>
#include <QRectF>

#include <cmath>
#include <numeric>
#include <string>

#include "recording_stage.h"
#include "show/form1.h"
#include "stage/face_metrics.h"
#include "stage/fit_rule.h"

namespace {

// The face at one pixel to the unit of its design, from which every size scales.
constexpr qreal kDesignSize = 1000;

// The area a Print takes: its advance across and one line down, and wherever its glyphs'
// ink reaches beyond that.
QRectF TextArea(const QRawFont& face, const RecordingStage::Draw& draw) {
    const qreal toPixels = EmPixels(draw.fontSize) / kDesignSize;
    const QList<quint32> glyphs = face.glyphIndexesForString(QString::fromStdU16String(draw.text));
    const QPointF baseline(draw.x, draw.y + BaselineOffset(draw.fontSize));
    QRectF area;
    qreal pen = 0;
    const QList<QPointF> advances = face.advancesForGlyphIndexes(glyphs);
    for (qsizetype g = 0; g < glyphs.size(); ++g) {
        const QRectF ink = face.boundingRect(glyphs[g]);
        area |=
            QRectF(baseline + (QPointF(pen, 0) + ink.topLeft()) * toPixels, ink.size() * toPixels);
        pen += advances[g].x();
    }
    return area | QRectF(draw.x, draw.y, pen * toPixels, LineHeight(draw.fontSize));
}

TEST(ShowExtent, IsTheSmallestRectangleThatHoldsAllAWholeRunDrawsAndShows) {
    QFile file(":/face/show-face.woff2");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QRawFont face(file.readAll(), kDesignSize);
    ASSERT_TRUE(face.isValid());

    RecordingStage stage;
    Form1 form(stage);
    QRectF held;
    stage.observer = [&](const std::string& operation) {
        if (operation.starts_with("Show ")) {
            const RecordingPane& pane = stage.panes.at(std::stoul(operation.substr(5)));
            held |= QRectF(pane.Left(), pane.Top(), pane.Width(), kCardHeight);
        }
    };
    stage.PressKeyAt(45000);  // during the key wait
    ASSERT_TRUE(stage.Run(form, 200000));

    // An empty text draws nothing, wherever it stands.
    held = std::accumulate(stage.allDraws.begin(), stage.allDraws.end(), held,
                           [&face](const QRectF& sum, const RecordingStage::Draw& draw) {
                               return draw.text.empty() ? sum : sum | TextArea(face, draw);
                           });
    EXPECT_GE(held.left(), 0);
    EXPECT_GE(held.top(), 0);
    EXPECT_EQ(kShowExtent.width, std::ceil(held.right()));
    EXPECT_EQ(kShowExtent.height, std::ceil(held.bottom()));
}

TEST(FitScale, IsOneWhereTheExtentFitsAndTheTighterRatioWhereItDoesNot) {
    EXPECT_EQ(FitScale(1280, 1024), 1.0F);
    EXPECT_EQ(FitScale(kShowExtent.width, kShowExtent.height), 1.0F);
    // A 1024 x 768 projector with a title bar: too narrow, tall enough.
    EXPECT_FLOAT_EQ(FitScale(1024, 740), 1024 / kShowExtent.width);
    // A wide, low window: too low.
    EXPECT_FLOAT_EQ(FitScale(1600, 400), 400 / kShowExtent.height);
}

}  // namespace
