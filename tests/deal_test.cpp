#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <set>

#include "recording_stage.h"
#include "show/deal.h"
#include "show/form1.h"

namespace {

// The face that slot n shows.
int Rank(int slot) {
    return (slot % 9) / 3;
}  // J, K, Q
int Suit(int slot) {
    return slot % 3;
}  // circle, diamond, star
bool IsRed(int slot) {
    return slot >= 9;
}

float Below(float x) {
    return std::nextafter(x, 0.0F);
}

TEST(Deal, EachThresholdBelongsToTheArrangementAboveIt) {
    EXPECT_EQ(ChooseArrangement(0.0F), 1);
    EXPECT_EQ(ChooseArrangement(Below(1.0F)), 6);
    const float thresholds[] = {0.1F, 0.2F, 0.4F, 0.6F, 0.8F};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(thresholds[i]);
        EXPECT_EQ(ChooseArrangement(Below(thresholds[i])), i + 1);
        EXPECT_EQ(ChooseArrangement(thresholds[i]), i + 2);
    }
}

TEST(Deal, ArrangementsComeWithTheirShares) {
    std::mt19937 generator(20261208);
    std::map<int, int> counts;
    constexpr int kDraws = 200000;
    for (int i = 0; i < kDraws; ++i) {
        const float x = static_cast<float>(generator() >> 8) * 0x1p-24F;
        ++counts[ChooseArrangement(x)];
    }
    const double expected[] = {0.1, 0.1, 0.2, 0.2, 0.2, 0.2};
    for (int n = 1; n <= 6; ++n) {
        EXPECT_NEAR(counts[n] / static_cast<double>(kDraws), expected[n - 1], 0.005) << n;
    }
}

TEST(Deal, EveryArrangementHidesTheChosenCardAmongLookAlikes) {
    std::set<int> shown;
    for (int n = 1; n <= 6; ++n) {
        SCOPED_TRACE(n);
        const Arrangement& slots = ArrangementSlots(n);
        const std::set<int> distinct(slots.begin(), slots.end());
        EXPECT_EQ(distinct.size(), 12U) << "the rows share a card";
        std::map<int, int> ranksOfFirstRow;
        for (int position = 0; position < 6; ++position) {
            const int first = slots[position];
            const int second = slots[position + 6];
            EXPECT_EQ(Rank(first), Rank(second)) << "position " << position + 1;
            EXPECT_NE(Suit(first), Suit(second)) << "position " << position + 1;
            const bool colourException = n <= 2 && position == 4;
            EXPECT_EQ(IsRed(first) == IsRed(second), !colourException)
                << "position " << position + 1;
            ++ranksOfFirstRow[Rank(first)];
        }
        EXPECT_EQ(ranksOfFirstRow, (std::map<int, int>{{0, 2}, {1, 2}, {2, 2}}));
        shown.insert(distinct.begin(), distinct.end());
    }
    // The arrangements come in pairs: the second of each pair swaps the rows.
    for (int n = 1; n <= 6; n += 2) {
        const Arrangement& odd = ArrangementSlots(n);
        const Arrangement& even = ArrangementSlots(n + 1);
        EXPECT_TRUE(std::equal(odd.begin(), odd.begin() + 6, even.begin() + 6)) << n;
        EXPECT_TRUE(std::equal(odd.begin() + 6, odd.end(), even.begin())) << n;
    }
    EXPECT_EQ(shown.size(), 15U);
    for (int never : {2, 3, 11}) {
        EXPECT_FALSE(shown.contains(never)) << never;
    }
}

TEST(FormLoad, MaximisesSetsTheTickHidesEveryPaneAndDealsOnce) {
    RecordingStage stage;
    stage.randomDraws = {0.25F};
    Form1 form(stage);
    form.Form_Load();

    std::vector<std::string> expected{"WindowState 2", "Interval 1000"};
    for (int i = 0; i < 18; ++i) {
        expected.push_back("Hide " + std::to_string(i));
    }
    expected.insert(expected.end(), {"Randomize", "Rnd"});
    EXPECT_EQ(stage.log, expected);
    EXPECT_EQ(stage.seeds, std::vector<float>{stage.timeOfDay});
    for (const RecordingPane& pane : stage.panes) {
        EXPECT_FALSE(pane.Visible());
    }
    const std::array<std::int16_t, 18> dealt{9, 13, 6, 5,  17, 1,  10, 14, 8,
                                             4, 15, 0, 12, 13, 14, 15, 16, 17};
    EXPECT_EQ(form.CardOrder, dealt);
}

TEST(FormLoad, KeepsTheLastSixEntriesWhateverTheDraw) {
    for (float x : {0.0F, 0.15F, 0.5F, 0.7F, Below(1.0F)}) {
        RecordingStage stage;
        stage.randomDraws = {x};
        Form1 form(stage);
        form.Form_Load();
        const Arrangement& slots = ArrangementSlots(ChooseArrangement(x));
        EXPECT_TRUE(std::equal(slots.begin(), slots.end(), form.CardOrder.begin())) << x;
        for (std::int16_t i = 12; i < 18; ++i) {
            EXPECT_EQ(form.CardOrder[i], i) << x;
        }
    }
}

}  // namespace
