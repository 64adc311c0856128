// The show window's drawing, on Qt's offscreen platform: what Print, Cls and BackColor leave
// in the backing image, the text's units and font, and which keys reach the show.

#include <QFontMetricsF>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "show/show_script.h"
#include "stage/font_coverage.h"
#include "stage/qt_stage.h"

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
    stage.Print(u"田");
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
    stage.Print(u"字");
    const float lineHeight = stage.CurrentY() - 40;
    EXPECT_EQ(window.CurrentX(), 0);
    // One line of 30-point text: the 40-pixel character and some leading.
    EXPECT_GE(lineHeight, 40);
    EXPECT_LE(lineHeight, 70);

    stage.SetCurrentX(80);
    stage.Print(u"");
    EXPECT_FLOAT_EQ(stage.CurrentY() - 40, 2 * lineHeight);
    EXPECT_EQ(window.CurrentX(), 0);
}

TEST_F(ShowWindowTest, ThirtyPointsIsFortyPixelsWhateverTheScreen) {
    stage.SetFontSize(30);
    EXPECT_NEAR(QFontMetricsF(window.TextFont(), &canvas).horizontalAdvance(u'田'), 40.0, 0.5);

    stage.SetBackColor(RGB(0, 0, 0));
    stage.SetForeColor(RGB(255, 255, 255));
    stage.SetCurrentX(40);
    stage.Print(u"田");
    const auto [first, last] = InkColumns(canvas, QRect(30, 0, 60, 60));
    EXPECT_GE(first, 40);
    EXPECT_LE(last, 80);
    EXPECT_GE(last - first + 1, 32);  // a full-width character nearly fills its cell
}

TEST_F(ShowWindowTest, ClsAndBackColorEraseTheTextButNotTheCards) {
    stage.SetForeColor(RGB(255, 255, 255));
    stage.SetBackColor(RGB(0, 0, 0));
    stage.SetFontSize(30);
    stage.Print(u"田田田");
    CardPane& pane = stage.Picture1(4);
    pane.Move(10, 10);
    pane.SetVisible(true);

    stage.SetBackColor(RGB(80, 80, 80));
    EXPECT_EQ(
        CountPixels(canvas, QRect(0, 0, 200, 100), [](QRgb p) { return p != qRgb(80, 80, 80); }),
        0);
    EXPECT_GT(stage.CurrentY(), 0);  // a new background keeps the drawing position

    stage.Print(u"田");
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
    stage.Print(u"田田田田田田");
    for (std::int16_t slot = 0; slot < 18; ++slot) {
        stage.Picture1(slot).SetVisible(false);
    }
    CardPane& pane = stage.Picture1(9);  // the red J with the circle
    pane.Move(20.4F, 40);
    pane.SetVisible(true);
    window.resize(400, 300);
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
    EXPECT_THROW(stage.Picture1(18), std::out_of_range);
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

TEST(FontCoverage, TheInstalledFontsDrawEveryCharacterOfTheShow) {
    QtStage stage;
    EXPECT_EQ(MissingCharacters(stage.Window().TextFont(), ShowMessages()), QString());
}

TEST(FontCoverage, ReportsEachMissingCharacterOnceAndIgnoresSpaces) {
    QtStage stage;
    // U+0378 is unassigned and U+10FFFD private: no font draws them.
    const std::vector<std::u16string> texts = {u"好 \u0378\u0378", u"\U0010FFFD\u0378 ."};
    const QString missing = MissingCharacters(stage.Window().TextFont(), texts);
    EXPECT_EQ(missing, QString::fromStdU32String(U"\u0378\U0010FFFD"));
    const QString message = MissingFontMessage(missing);
    EXPECT_TRUE(message.contains("fonts-noto-cjk"));
    EXPECT_TRUE(message.contains(missing));
}

}  // namespace
