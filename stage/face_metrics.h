#pragma once

// How the show's own face sets a line, the same on every stage. Font sizes are points at 96
// dots per inch on every screen, so 30 points is an em of 40 logical pixels; a line of text
// is the face's ascent plus its descent, and Print draws its glyphs on a baseline one ascent
// below CurrentY.

// Logical pixels per point.
inline constexpr float kPixelsPerPoint = 96.0F / 72.0F;
// The face's ascent and descent, in ems.
inline constexpr float kFaceAscent = 1.160F;
inline constexpr float kFaceDescent = 0.288F;

constexpr float EmPixels(float points) {
    return points * kPixelsPerPoint;
}

// From the top of a line to its baseline.
constexpr float BaselineOffset(float points) {
    return EmPixels(points) * kFaceAscent;
}

// How far Print moves CurrentY down.
constexpr float LineHeight(float points) {
    return EmPixels(points) * (kFaceAscent + kFaceDescent);
}
