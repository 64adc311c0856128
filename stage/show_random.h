#pragma once

#include <cstdint>
#include <cstring>
#include <random>

// The runtime's random numbers, the same on every stage: Randomize seeds the generator with
// the bits of its float, and Rnd hands out 24 random bits scaled by 2^-24, a float in [0, 1)
// that is never 1.
class ShowRandom {
  public:
    void Randomize(float seed) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &seed, sizeof bits);
        generator_.seed(bits);
    }

    float Rnd() {
        constexpr float kScale = 1.0F / 16777216.0F;
        return static_cast<float>(generator_() >> 8) * kScale;
    }

  private:
    std::mt19937 generator_;
};
