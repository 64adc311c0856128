#pragma once

#include <algorithm>

// The show works in logical pixels. A stage shows them one to one where its client area holds
// the show's extent, and scales them all down alike where it does not, so that nothing the
// show draws or shows ever falls outside the window.

// The smallest rectangle, from the client area's top-left corner, that holds everything a
// whole run draws and shows: every line at its own size, the opening's largest frame and both
// card rows. It ends at the first line of the explanation near the end (x) and at the bottom
// of the second card row (y).
struct Extent {
    float width;
    float height;
};
inline constexpr Extent kShowExtent{1132, 518};

// The uniform scale, anchored at the top-left corner, at which the show fits a client area of
// the given size: 1 where the extent fits, otherwise the smaller of the two ratios.
constexpr float FitScale(float clientWidth, float clientHeight, Extent extent = kShowExtent) {
    return std::min({1.0F, clientWidth / extent.width, clientHeight / extent.height});
}
