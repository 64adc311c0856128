// The text path fed with what the show never types: random UTF-16 with lone surrogates,
// control characters, combining marks, mixed scripts and very long runs, through Mid, the
// real window's Print and the three effects on the Qt stage. Whatever the text, nothing may
// crash and the drawing state must stay sane: a line ends at x = 0, exactly one text line
// further down, and the canvas keeps its size.

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QtGlobal>

#include <array>
#include <cstdint>
#include <random>
#include <string>

#include "show/text_effects.h"
#include "stage/qt/qt_stage.h"

namespace {

// A fixed seed: every run types the same texts, so a failure can be replayed.
constexpr std::uint32_t kSeed = 20240611;

// Code units from the kinds of text that trip up shaping and drawing, each kind as likely
// as the others.
struct UnitRange {
    char16_t first;
    char16_t last;
};
constexpr std::array<UnitRange, 20> kUnitKinds{{
    {0x0000, 0x001F},  // C0 controls: NUL, tab, line feed, escape
    {0x007F, 0x009F},  // DEL and the C1 controls
    {0x0020, 0x007E},  // ASCII
    {0x0300, 0x036F},  // combining diacritical marks
    {0x20D0, 0x20FF},  // combining marks for symbols
    {0x0591, 0x05C7},  // Hebrew points, right to left
    {0x0600, 0x06FF},  // Arabic, joined and right to left
    {0x0900, 0x097F},  // Devanagari, reordered by shaping
    {0x0E00, 0x0E7F},  // Thai, stacked marks
    {0x200B, 0x200F},  // zero-width space and joiners, direction marks
    {0x2028, 0x202E},  // line and paragraph separators, bidi embeddings and overrides
    {0x2066, 0x2069},  // bidi isolates
    {0x3000, 0x303F},  // CJK punctuation and the ideographic space
    {0x4E00, 0x9FFF},  // CJK ideographs, the show's own script
    {0xFE00, 0xFE0F},  // variation selectors
    {0xFF00, 0xFFEF},  // full-width and half-width forms
    {0xFFF0, 0xFFFF},  // specials, the replacement character, non-characters
    {0xD800, 0xDBFF},  // high surrogates, alone unless a low one happens to follow
    {0xDC00, 0xDFFF},  // low surrogates
    {0x0000, 0xFFFF},  // anything
}};

class TextSource {
  public:
    explicit TextSource(std::uint32_t seed) : random_(seed) {}

    int Between(int low, int high) { return std::uniform_int_distribution(low, high)(random_); }

    char16_t Unit() {
        const UnitRange& kind = kUnitKinds.at(
            static_cast<std::size_t>(Between(0, static_cast<int>(kUnitKinds.size()) - 1)));
        return static_cast<char16_t>(Between(kind.first, kind.last));
    }

    // `length` units; now and then a well-formed surrogate pair (emoji and beyond) among them.
    std::u16string Text(int length) {
        std::u16string text;
        text.reserve(static_cast<std::size_t>(length));
        while (static_cast<int>(text.size()) < length) {
            if (Between(0, 15) == 0 && static_cast<int>(text.size()) + 2 <= length) {
                const int beyond = Between(0x10000, 0x10FFFF) - 0x10000;
                text += static_cast<char16_t>(0xD800 + (beyond >> 10));
                text += static_cast<char16_t>(0xDC00 + (beyond & 0x3FF));
            } else {
                text += Unit();
            }
        }
        return text;
    }

    // Mostly as short as the show's lines, sometimes empty, sometimes a page long.
    std::u16string AnyText() {
        const int roll = Between(0, 99);
        if (roll < 5) {
            return {};
        }
        return Text(roll < 97 ? Between(1, 40) : Between(41, 1000));
    }

    // The zoom's smallest and largest sizes, the show's own, and a fractional one. (Every
    // new size loads every fallback face afresh, which costs far more than drawing.)
    float Size() {
        constexpr std::array<float, 5> kSizes{1, 9, 30, 41.25F, 64};
        return kSizes.at(static_cast<std::size_t>(Between(0, static_cast<int>(kSizes.size()) - 1)));
    }
    Color Grey() {
        const int v = Between(0, 255);
        return RGB(v, v, v);
    }

  private:
    std::mt19937 random_;
};

// What the fuzzing cannot reach by chance: runs far longer than a line, and one base
// character carrying thousands of combining marks.
std::vector<std::u16string> ExtremeTexts(TextSource& source) {
    std::u16string stacked(u"a");
    for (int mark = 0; mark < 4000; ++mark) {
        stacked += static_cast<char16_t>(0x0300 + mark % 0x70);
    }
    return {source.Text(5000),
            std::u16string(30000, u'\xD800'),
            std::u16string(30000, u'\xDC00'),
            std::u16string(20000, u'\u00FF'),
            stacked,
            std::u16string(10000, u'\u202E') + u"abc",
            std::u16string(50000, u'\u4E00')};
}

// Drawing scripts that no installed face shapes makes Qt warn once per face and script, a few
// thousand lines over this file; they would bury a failure's report.
class QuietShapingWarnings : public testing::Environment {
  public:
    void SetUp() override { previous_ = qInstallMessageHandler(Filter); }
    void TearDown() override { qInstallMessageHandler(previous_); }

  private:
    static void Filter(QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (type == QtWarningMsg && message.contains("OpenType support missing")) {
            return;
        }
        previous_(type, context, message);
    }
    static inline QtMessageHandler previous_ = nullptr;
};
[[maybe_unused]] testing::Environment* const kQuietShaping =
    testing::AddGlobalTestEnvironment(new QuietShapingWarnings);

// How far one Print moves down at `points`: measured with an empty line, which draws nothing.
float LineAdvance(QtStage& stage, float points) {
    stage.SetFontSize(points);
    stage.SetCurrentY(0);
    stage.Print(u"");
    return stage.CurrentY();
}

TEST(TextFuzz, MidGivesTheOneUnitAtItsPositionOrNothing) {
    TextSource source(kSeed);
    for (int round = 0; round < 5000; ++round) {
        const std::u16string text = source.AnyText();
        const int size = static_cast<int>(text.size());
        const int start = source.Between(-2, size + 2);
        SCOPED_TRACE(testing::Message()
                     << "round " << round << ", start " << start << " of " << size);
        const std::u16string unit = Mid(text, start, 1);
        if (start >= 1 && start <= size) {
            ASSERT_EQ(unit, std::u16string(1, text[static_cast<std::size_t>(start - 1)]));
        } else {
            ASSERT_TRUE(unit.empty());
        }
    }
    const std::u16string text(u"\xD83D\xDE00z");  // a surrogate pair: each half on its own
    EXPECT_EQ(Mid(text, 1, 1), u"\xD83D");
    EXPECT_EQ(Mid(text, 2, 1), u"\xDE00");
    EXPECT_TRUE(Mid(text, INT32_MAX, 1).empty());
    EXPECT_TRUE(Mid(text, INT32_MIN, 1).empty());
    EXPECT_TRUE(Mid(text, 1, 0).empty());
}

TEST(TextFuzz, PrintEndsEveryLineOneTextLineDownWhateverItDrew) {
    QtStage stage;
    const QSize canvas = stage.Window().Canvas().size();
    TextSource source(kSeed + 1);

    std::vector<std::u16string> texts = ExtremeTexts(source);
    for (int round = 0; round < 1500; ++round) {
        texts.push_back(source.AnyText());
    }
    for (std::size_t round = 0; round < texts.size(); ++round) {
        const std::u16string& text = texts[round];
        SCOPED_TRACE(testing::Message() << "text " << round << " of " << text.size() << " units");
        const float points = source.Size();
        const float advance = LineAdvance(stage, points);
        ASSERT_GT(advance, 0);

        const auto x = static_cast<float>(source.Between(-100, 2000));
        const auto y = static_cast<float>(source.Between(-100, 1000));
        stage.SetForeColor(source.Grey());
        stage.SetCurrentX(x);
        stage.SetCurrentY(y);
        stage.Print(text);
        ASSERT_EQ(stage.Drawing().CurrentX(), 0);
        ASSERT_FLOAT_EQ(stage.CurrentY(), y + advance);
        ASSERT_EQ(stage.Window().Canvas().size(), canvas);
    }
}

// The effects pump 5 ms after every draw, so their lines stay short: one to three
// positions of one or two draws each.
TEST(TextFuzz, FadedAndPlainLinesOfAnyTextEndWhereALineEnds) {
    QtStage stage;
    const QSize canvas = stage.Window().Canvas().size();
    TextSource source(kSeed + 2);

    for (int round = 0; round < 80; ++round) {
        const std::u16string text = source.AnyText();
        const auto N = static_cast<std::int16_t>(source.Between(1, 3));
        const auto y = static_cast<float>(source.Between(0, 700));
        const float advance = LineAdvance(stage, source.Size());
        const bool fade = round % 2 == 0;
        SCOPED_TRACE(testing::Message() << "round " << round << (fade ? ", fade" : ", plain")
                                        << " of " << text.size() << " units, N " << N);
        stage.SetCurrentX(static_cast<float>(source.Between(0, 900)));
        if (fade) {
            FadeTypeLine(stage, text, N, y, static_cast<std::int16_t>(source.Between(128, 255)));
        } else {
            PlainTypeLine(stage, text, N, y, static_cast<std::int16_t>(source.Between(1, 2)), 0);
        }
        ASSERT_EQ(stage.Drawing().CurrentX(), 0);
        ASSERT_FLOAT_EQ(stage.CurrentY(), y + advance);
        ASSERT_EQ(stage.Window().Canvas().size(), canvas);
    }
}

// 256 pumps at 64 sizes, of a line of fuzz.
TEST(TextFuzz, OpeningZoomOfAnyTextLeavesTheWindowBlackAndEmpty) {
    QtStage stage;
    const QSize canvas = stage.Window().Canvas().size();
    TextSource source(kSeed + 3);
    const float advanceAt64 = LineAdvance(stage, 64);

    stage.SetBackColor(RGB(255, 255, 255));
    OpeningZoom(stage, source.Text(40));
    EXPECT_EQ(stage.Drawing().CurrentX(), 0);
    EXPECT_FLOAT_EQ(stage.CurrentY(), advanceAt64) << "the last frame is at 64 points";
    const QImage& drawn = stage.Window().Canvas();
    ASSERT_EQ(drawn.size(), canvas);
    int lit = 0;
    for (int row = 0; row < drawn.height(); ++row) {
        const auto* pixels = reinterpret_cast<const QRgb*>(drawn.constScanLine(row));
        for (int column = 0; column < drawn.width(); ++column) {
            lit += qGray(pixels[column]) != 0 ? 1 : 0;
        }
    }
    EXPECT_EQ(lit, 0) << "pixels left lit after the zoom";
}

}  // namespace
