#pragma once

#include <string>

// The face each card pane holds, the same on every stage and in the tool that draws the faces:
// black in slots 0 to 8 and red in 9 to 17, rank J, K, Q by (slot mod 9) div 3, suit symbol
// circle, diamond, star by slot mod 3.
struct SlotFace {
    enum class Colour { Black, Red };
    enum class Suit { Circle, Diamond, Star };

    Colour colour;
    char rank;  // 'J', 'K' or 'Q', as the face prints it
    Suit suit;

    static constexpr SlotFace Of(int slot) {
        constexpr char kRanks[] = {'J', 'K', 'Q'};
        constexpr Suit kSuits[] = {Suit::Circle, Suit::Diamond, Suit::Star};
        return {slot < 9 ? Colour::Black : Colour::Red, kRanks[(slot % 9) / 3], kSuits[slot % 3]};
    }
};

// What a screen reader says of a face, in the show's language: its colour, its rank letter
// and its suit symbol, "紅色 K 菱形" (red, K, diamond). UTF-8.
inline std::string SpokenName(SlotFace face) {
    const char* suits[] = {"圓形", "菱形", "星形"};
    return std::string(face.colour == SlotFace::Colour::Red ? "紅色 " : "黑色 ") + face.rank + " " +
           suits[static_cast<int>(face.suit)];
}
