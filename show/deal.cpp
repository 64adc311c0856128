#include "show/deal.h"

#include <cstddef>

namespace {

// Each even-numbered arrangement is the one before it with its rows swapped.
constexpr std::array<Arrangement, 6> kArrangements{{
    {17, 12, 5, 10, 15, 1, /**/ 16, 14, 4, 9, 7, 0},
    {16, 14, 4, 9, 7, 0, /**/ 17, 12, 5, 10, 15, 1},
    {9, 13, 6, 5, 17, 1, /**/ 10, 14, 8, 4, 15, 0},
    {10, 14, 8, 4, 15, 0, /**/ 9, 13, 6, 5, 17, 1},
    {12, 10, 17, 6, 1, 5, /**/ 14, 9, 16, 8, 0, 4},
    {14, 9, 16, 8, 0, 4, /**/ 12, 10, 17, 6, 1, 5},
}};

// Upper bounds (exclusive) of the draws that choose arrangements 1 to 5.
constexpr std::array<float, 5> kThresholds{0.1F, 0.2F, 0.4F, 0.6F, 0.8F};

}  // namespace

int ChooseArrangement(float x) {
    for (std::size_t i = 0; i < kThresholds.size(); ++i) {
        if (x < kThresholds[i]) {
            return static_cast<int>(i) + 1;
        }
    }
    return 6;
}

const Arrangement& ArrangementSlots(int number) {
    return kArrangements.at(static_cast<std::size_t>(number - 1));
}
