#pragma once

// What the page's C++ shares with its script and its markup, typed once: the build writes these
// values into the page from this file (web/page_values.py). Each is defined as
// `inline constexpr TYPE kName = VALUE;`, with a whole number or a string for its value.
namespace page {

// What PageTakeChanges() reports, one bit each.
inline constexpr int kResized = 1;     // the viewport has a new size
inline constexpr int kVisibility = 2;  // the page was hidden, or seen again

// The page before the show's first tick: the grey of a desktop window's face.
inline constexpr int kFaceGrey = 240;

// The family name the page gives the show's face.
inline constexpr const char* kFaceFamily = "Qorvelin Show Face";

// How the line that says the show stopped on an error begins; the error's words follow.
inline constexpr const char* kStoppedByAnError =
    "節目因錯誤而停止 (the show stopped because of an error: ";

}  // namespace page
