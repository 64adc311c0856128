#pragma once

#include <array>
#include <cstdint>

// When each step of the show starts, in ms after the window's load returns, for a show whose
// key press is answered at the first pump of the key wait. Steps 14 onwards, the end step and
// the program's end come later by however long the audience takes to press the key.
constexpr std::array<std::int64_t, 19> kStepOnsetsMs = {
    1000,  3275,  7070,  10745, 14580, 16815, 19030, 21865, 24560, 27155,
    29550, 33400, 35855, 38070, 40090, 46270, 51165, 54080, 67875};
constexpr std::int64_t kShowEndMs = 72875;
constexpr std::size_t kKeyWaitStep = 13;
