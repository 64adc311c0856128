// The show window's drawing, on Qt's offscreen platform: what Print, Cls and BackColor leave
// in the backing image, the text's units and font, and which keys reach the show.

#include <QFontMetricsF>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "stage/face_metrics.h"
#include "stage/fit_rule.h"
#include "stage/qt/qt_stage.h"

namespace {

int Brightness(QRgb pixel) {
    return std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)});
}

// The pixels of `image` inside `area` (logical pixels) for which `test` holds.
template <typename Test>
int CountPixels(const QImage& image, const QRect& area, Test test) {
    const qreal ratio = image.devicePixelRatio();
    int count = 0;
    for (int y = static_cast<int>(area.top() * ratio); y < (area.bottom() + 1) * ratio; ++y) {
        for (int x = static_cast<int>(area.left() * ratio); x < (area.right() + 1) * ratio; ++x) {
            count += test(image.pixel(x, y)) ? 1 : 0;
        }
    }
    return count;
}

// The columns of `area` that hold any pixel brighter than the black background.
std::pair<int, int> InkColumns(const QImage& image, const QRect& area) {
    int first = area.right() + 1;
    int last = area.left() - 1;
    for (int x = area.left(); x <= area.right(); ++x) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            if (Brightness(image.pixel(x, y)) > 64) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
        }
    }
    return {first, last};
}

class ShowWindowTest : public ::testing::Test {
  protected:
    QtStage stage;
    ShowWindow& window = stage.Window();
    const QImage& canvas = window.Canvas();
    const QRect cell{0, 0, 40, 60};
};

TEST_F(ShowWindowTest, TextIsDrawnAsGlyphsOnlyAndNeverErasesWhatIsUnderIt) {
    stage.SetBackColor(RGB(0, 0, 0));
    stage.SetFontSize(30);
    stage.SetForeColor(RGB(255, 255, 255));
    stage.Print(u"現");
    const QImage first = canvas.copy();
    const int lit = CountPixels(first, cell, [](QRgb p) { return Brightness(p) > 200; });
    ASSERT_GT(lit, 100);

    // A second, smaller character over the first one: the first stays wherever the second
    // has no ink, and no pixel goes back to the background.
    stage.SetCurrentX(0);
    stage.SetCurrentY(0);
    stage.SetForeColor(RGB(0, 0, 255));
    stage.Print(u"一");
    int erased = 0;
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 40; ++x) {
            if (Brightness(first.pixel(x, y)) > 200 && Brightness(canvas.pixel(x, y)) < 32) {
                ++erased;
            }
        }
    }
    EXPECT_EQ(erased, 0);
}

TEST_F(ShowWindowTest, PrintEndsTheLineEvenForAnEmptyText) {
    stage.SetFontSize(30);
    stage.SetCurrentX(120);
    stage.SetCurrentY(40);
    stage.Print(u"現");
    const float lineHeight = stage.CurrentY() - 40;
    EXPECT_EQ(stage.Drawing().CurrentX(), 0);
    // One line of 30-point text: the 40-pixel character and some leading.
    EXPECT_GE(lineHeight, 40);
    EXPECT_LE(lineHeight, 70);

    stage.SetCurrentX(80);
    stage.Print(u"");
    EXPECT_FLOAT_EQ(stage.CurrentY() - 40, 2 * lineHeight);
    EXPECT_EQ(stage.Drawing().CurrentX(), 0);
}

TEST_F(ShowWindowTest, ThirtyPointsIsFortyPixelsWhateverTheScreen) {
    stage.SetFontSize(30);
    stage.SetBackColor(RGB(0, 0, 0));
    stage.SetForeColor(RGB(255, 255, 255));
    stage.SetCurrentX(40);
    stage.Print(u"現");
    EXPECT_NEAR(QFontMetricsF(window.TextFont(), &canvas).horizontalAdvance(u'現'), 40.0, 0.5);
    const auto [first, last] = InkColumns(canvas, QRect(30, 0, 60, 60));
    EXPECT_GE(first, 40);
    EXPECT_LE(last, 80);
    EXPECT_GE(last - first + 1, 32);  // a full-width character nearly fills its cell
}

TEST_F(ShowWindowTest, ClsAndBackColorEraseTheTextButNotTheCards) {
    stage.SetForeColor(RGB(255, 255, 255));
    stage.SetBackColor(RGB(0, 0, 0));
    stage.SetFontSize(30);
    stage.Print(u"現現現");
    CardPane& pane = stage.Picture1(4);
    pane.Move(10, 10);
    pane.SetVisible(true);

    stage.SetBackColor(RGB(80, 80, 80));
    EXPECT_EQ(
        CountPixels(canvas, QRect(0, 0, 200, 100), [](QRgb p) { return p != qRgb(80, 80, 80); }),
        0);
    EXPECT_GT(stage.CurrentY(), 0);  // a new background keeps the drawing position

    stage.Print(u"現");
    stage.Cls();
    EXPECT_EQ(
        CountPixels(canvas, QRect(0, 0, 200, 200), [](QRgb p) { return p != qRgb(80, 80, 80); }),
        0);
    EXPECT_EQ(stage.CurrentY(), 0);
    EXPECT_TRUE(dynamic_cast<QWidget&>(pane).isVisibleTo(&window));
}

TEST_F(ShowWindowTest, AShownCardCoversTheTextUnderItAndSurvivesCls) {
    stage.SetBackColor(RGB(0, 0, 0));
    stage.SetForeColor(RGB(255, 255, 255));
    stage.SetFontSize(30);
    stage.SetCurrentY(50);
    stage.Print(u"現現現現現現");
    for (std::int16_t slot = 0; slot < 18; ++slot) {
        stage.Picture1(slot).SetVisible(false);
    }
    CardPane& pane = stage.Picture1(9);  // the red J with the circle
    pane.Move(20.4F, 40);
    pane.SetVisible(true);
    window.resize(1280, 800);  // holds the show: drawn one to one
    stage.Cls();

    const QImage shown = window.grab().toImage();
    // The card's white ground where the text lay, and its red suit symbol at the top left.
    EXPECT_EQ(shown.pixel(20 + 75, 40 + 20), qRgb(255, 255, 255));
    const QRgb suit = shown.pixel(20 + 23, 40 + 51);
    EXPECT_GT(qRed(suit), 200);
    EXPECT_LT(qGreen(suit), 60);
    // Beside the card, the cleared black window.
    EXPECT_EQ(shown.pixel(300, 60), qRgb(0, 0, 0));
}

TEST_F(ShowWindowTest, CardPanesKeepTheirSizeAndNeverTakeTheKeyboard) {
    for (std::int16_t slot = 0; slot < 18; ++slot) {
        auto& pane = dynamic_cast<CardPaneWidget&>(stage.Picture1(slot));
        pane.Move(12.6F, 30);
        EXPECT_EQ(pane.geometry(), QRect(13, 30, 150, 200));
        EXPECT_FLOAT_EQ(pane.Left(), 12.6F);
        EXPECT_EQ(pane.Width(), 150);
        EXPECT_EQ(pane.focusPolicy(), Qt::NoFocus);
        EXPECT_EQ(pane.Face(1.0).size(), QSize(150, 200)) << "slot " << slot;
        const QPixmap dense = pane.Face(2.0);
        EXPECT_EQ(dense.size(), QSize(300, 400)) << "slot " << slot;
        EXPECT_EQ(dense.deviceIndependentSize(), QSizeF(150, 200));
    }
}

TEST_F(ShowWindowTest, EveryKeyThatTypesACharacterReachesTheShowWithItsCode) {
    QSignalSpy typed(&window, &ShowWindow::KeyTyped);
    const std::vector<std::pair<Qt::Key, char16_t>> typing = {
        {Qt::Key_A, u'a'},       {Qt::Key_7, u'7'},         {Qt::Key_Space, u' '},
        {Qt::Key_Return, u'\r'}, {Qt::Key_Escape, u'\x1b'}, {Qt::Key_Backspace, u'\b'},
        {Qt::Key_Tab, u'\t'}};
    for (const auto& [key, code] : typing) {
        typed.clear();
        QTest::keyClick(&window, key);
        ASSERT_EQ(typed.count(), 1) << "key " << key;
        EXPECT_EQ(typed.at(0).at(0).value<char16_t>(), code) << "key " << key;
    }
    typed.clear();
    for (const Qt::Key key : {Qt::Key_Left, Qt::Key_F1, Qt::Key_Shift, Qt::Key_Control}) {
        QTest::keyClick(&window, key);
    }
    EXPECT_EQ(typed.count(), 0);
    EXPECT_FALSE(window.testAttribute(Qt::WA_InputMethodEnabled));
}

// Where the client area is smaller than the show's extent, everything is drawn smaller
// alike, from the top-left corner; the show's own coordinates do not change.
TEST_F(ShowWindowTest, ASmallWindowScalesTextAndCardsAlikeAndTheShowKeepsItsPixels) {
    window.resize(1012, 767);  // the restored window: too narrow for the show
    window.show();
    const qreal s = window.Scale();
    ASSERT_FLOAT_EQ(static_cast<float>(s), FitScale(1012, 767));
    ASSERT_LT(s, 0.95);

    stage.SetBackColor(RGB(0, 0, 0));
    stage.SetForeColor(RGB(255, 255, 255));
    stage.SetFontSize(30);
    stage.SetCurrentX(400);
    stage.SetCurrentY(40);
    stage.Print(u"現");
    EXPECT_FLOAT_EQ(stage.CurrentY(), 40 + LineHeight(30));
    const auto [first, last] = InkColumns(canvas, QRect(0, 30, 800, 60));
    EXPECT_GE(first, std::floor(400 * s));
    EXPECT_LE(last, std::ceil(440 * s));
    EXPECT_GE(last - first + 1, std::floor(32 * s));

    CardPane& pane = stage.Picture1(9);
    pane.Move(810, 138);
    pane.SetVisible(true);
    auto& widget = dynamic_cast<CardPaneWidget&>(pane);
    EXPECT_EQ(widget.geometry(), QRect(std::lround(810 * s), std::lround(138 * s),
                                       std::lround(150 * s), std::lround(200 * s)));
    EXPECT_EQ(pane.Left(), 810);
    EXPECT_EQ(pane.Width(), 150);
    // The whole face, smaller: its white margin at the pane's edges, its red suit symbol.
    const QImage shown = widget.grab().toImage();
    EXPECT_EQ(shown.pixel(2, 2), qRgb(255, 255, 255));
    const QRgb suit = shown.pixel(static_cast<int>(23 * s), static_cast<int>(51 * s));
    EXPECT_GT(qRed(suit), 200);
    EXPECT_LT(qGreen(suit), 60);
}

// Maximising or restoring the window draws what is already on it again at the new scale,
// so that it matches what the show draws next; back at full size it is as it first was.
TEST_F(ShowWindowTest, AResizeRedrawsWhatIsOnTheWindowAtTheNewScale) {
    window.resize(1280, 800);
    window.show();
    ASSERT_EQ(window.Scale(), 1.0);
    stage.SetBackColor(RGB(0, 0, 0));
    stage.SetFontSize(30);
    for (int grey = 1; grey < 256; grey += 32) {  // a fade, one grey over the other
        stage.SetForeColor(RGB(grey, grey, grey));
        stage.SetCurrentX(1080);
        stage.SetCurrentY(40);
        stage.Print(u"象");
    }
    const QRect line(0, 0, 1280, 120);
    const QImage full = canvas.copy(line);
    CardPane& pane = stage.Picture1(0);
    pane.Move(830, 318);

    window.resize(1024, 740);
    const qreal s = window.Scale();
    ASSERT_LT(s, 1.0);
    const auto [first, last] = InkColumns(canvas, line);
    EXPECT_GE(first, std::floor(1080 * s));
    EXPECT_LE(last, std::ceil(1120 * s));
    EXPECT_GT(CountPixels(canvas, line, [](QRgb p) { return Brightness(p) == 225; }), 0)
        << "the fade's last grey is gone";
    EXPECT_EQ(dynamic_cast<QWidget&>(pane).geometry().topLeft(),
              QPoint(std::lround(830 * s), std::lround(318 * s)));

    window.resize(1280, 800);
    EXPECT_EQ(window.Scale(), 1.0);
    EXPECT_TRUE(canvas.copy(line) == full);
    EXPECT_EQ(dynamic_cast<QWidget&>(pane).geometry(), QRect(830, 318, 150, 200));
}

}  // namespace
