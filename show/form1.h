#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "stage/form_events.h"
#include "stage/stage_services.h"

enum class CardCue;

// The show window's own logic: the deal at start-up, the key handler and the script that
// the timer plays one step per tick. All of its state lives in these members.
class Form1 : public FormEvents {
  public:
    explicit Form1(StageServices& stage) : stage_(stage) {}

    void Form_Load() override;
    void Form_KeyPress(std::int16_t& KeyAscii) override;
    void Timer1_Timer() override;

    // The next step of the script; any value outside 0 to 17 selects the end step.
    std::int16_t ShowStep = 0;
    // "yes" once a key has been pressed; step 13 empties it before it waits for a key.
    std::u16string KeyFlag;
    // Slots of the first row (entries 0 to 5) and the second row (6 to 11), left to right.
    std::array<std::int16_t, 18> CardOrder{};

  private:
    void PlayCardCue(CardCue cue);

    StageServices& stage_;
};
