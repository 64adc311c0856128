// The rules every stage keeps the show's time by, in virtual time: the moment each pump,
// sleep and tick is called at is handed in, as a stage's clock would tell it.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "stage/show_clock.h"

namespace {

using Ms = ShowClock::Ms;

// A stage that takes `drawMs` to draw before each pump and waits for what the pump asks;
// returns the moment the last of `pumps` pumps returned.
Ms Typing(ShowClock& clock, Ms start, int pumps, const std::function<Ms(int pump)>& drawMs) {
    Ms now = start;
    for (int pump = 0; pump < pumps; ++pump) {
        now += drawMs(pump);
        clock.Changed();
        now = std::max(now, clock.Pump(now));
    }
    return now;
}

// A clock whose tick started a step at `at`.
ShowClock InAStep(Ms at) {
    ShowClock clock;
    clock.SetInterval(1000, at - Ms(1000));
    EXPECT_TRUE(clock.StartStep(at));
    return clock;
}

TEST(ShowClockPumps, ReturnOnAGridOfFiveMillisecondsWithoutDrift) {
    ShowClock clock = InAStep(Ms(1000));
    // The first pump of a burst returns at once and starts the grid; drawing takes none of
    // the show's time.
    const Ms end = Typing(clock, Ms(1000), 200, [](int) { return Ms(0.3); });
    EXPECT_DOUBLE_EQ(end.count(), 1000 + 199 * 5);
}

TEST(ShowClockPumps, ADrawThatComesLateIsMadeUpByTheNextOnes) {
    ShowClock clock = InAStep(Ms(0));
    // One draw takes 20 ms, within what the show makes up: the pumps after it return at once
    // until the grid is reached again, and the line ends when it would have.
    const Ms stalled = Typing(clock, Ms(0), 200, [](int pump) { return Ms(pump == 50 ? 20 : 0); });
    EXPECT_DOUBLE_EQ(stalled.count(), 199 * 5);
}

TEST(ShowClockPumps, BeyondFiveDrawsBehindTheExcessIsGivenUp) {
    ShowClock clock = InAStep(Ms(0));
    const Ms stalled = Typing(clock, Ms(0), 200, [](int pump) { return Ms(pump == 50 ? 100 : 0); });
    // The pump after the stall comes 95 ms after its slot, of which 25 are made up.
    EXPECT_DOUBLE_EQ(stalled.count(), 199 * 5 + 95 - 25);
}

// A hidden browser tab runs its timers once a second; once it is seen again, the show is
// where its timeline says.
TEST(ShowClockPumps, UnseenNothingIsGivenUp) {
    ShowClock clock = InAStep(Ms(0));
    Ms now = Typing(clock, Ms(0), 50, [](int) { return Ms(0); });
    clock.SetSeen(false);
    now = Typing(clock, now, 3, [](int) { return Ms(1000); });
    clock.SetSeen(true);
    // Every pump now returns at once until the show has made up those three seconds; the
    // first that waits again is on the grid of a show that never stopped, pump k at 5k ms.
    int atOnce = 0;
    Ms until = now;
    for (; until <= now; ++atOnce) {
        clock.Changed();
        until = clock.Pump(now);
    }
    EXPECT_GT(atOnce, 550);
    EXPECT_DOUBLE_EQ(until.count(), 5.0 * (50 + 3 + atOnce - 1));
    EXPECT_LE((until - now).count(), 5) << "where the timeline says, within one draw";
}

// The wait lasts until the event's own moment, which the stage may learn of a little later:
// what follows counts from the key press, not from when the stage saw it.
TEST(ShowClockPumps, APumpWithNothingNewWaitsForAnEventAndThatWaitIsTheShowsTime) {
    ShowClock clock = InAStep(Ms(0));
    clock.Changed();
    EXPECT_FALSE(clock.PumpWaitsForAnEvent());
    EXPECT_DOUBLE_EQ(clock.Pump(Ms(0)).count(), 0);
    EXPECT_TRUE(clock.PumpWaitsForAnEvent()) << "nothing drawn since";
    clock.EventCame(Ms(60000));
    EXPECT_DOUBLE_EQ(clock.Pump(Ms(60004)).count(), 60000) << "an hour's wait is not lag";
    EXPECT_DOUBLE_EQ(clock.Sleep(1500, Ms(60004)).count(), 61500);
    EXPECT_FALSE(clock.PumpWaitsForAnEvent()) << "a sleep counts as something new";
    clock.EventCame(Ms(100));
    EXPECT_DOUBLE_EQ(clock.ShowTime(Ms(61500)).count(), 61500) << "an event never takes it back";
}

TEST(ShowClockSleeps, EndOnTheShowsTimeSoThatALateStartDoesNotPushThemBack) {
    ShowClock clock = InAStep(Ms(0));
    EXPECT_DOUBLE_EQ(clock.Sleep(3000, Ms(10)).count(), 3000) << "10 ms late: made up";
    EXPECT_DOUBLE_EQ(clock.Sleep(1000, Ms(3100)).count(), 3100 - 25 + 1000) << "100 ms: not all";
}

TEST(ShowClockTicks, AnIntervalAssignmentRestartsTheCountdown) {
    ShowClock clock;
    EXPECT_FALSE(clock.TickDue().has_value()) << "no interval, no tick";
    clock.SetInterval(1000, Ms(0));
    ASSERT_TRUE(clock.StartStep(Ms(1000)));
    EXPECT_DOUBLE_EQ(clock.TickDue()->count(), 2000);
    const Ms typed = Typing(clock, Ms(1000), 160, [](int) { return Ms(0); });
    clock.SetInterval(3000, typed);  // the value in force or not, the countdown starts again
    clock.EndStep();
    EXPECT_DOUBLE_EQ(clock.TickDue()->count(), 1000 + 159 * 5 + 3000);
    clock.SetInterval(0, Ms(5000));
    EXPECT_FALSE(clock.TickDue().has_value());
}

TEST(ShowClockTicks, ATickDueDuringAStepIsHeldAndCountsAsStartedWhenDue) {
    ShowClock clock;
    clock.SetInterval(50, Ms(0));
    ASSERT_TRUE(clock.StartStep(Ms(50)));
    const Ms sleepEnds = clock.Sleep(180, Ms(50));
    EXPECT_FALSE(clock.StartStep(Ms(100))) << "a step runs";
    clock.EndStep();
    // The held tick starts right after the step; the next one is a whole interval later.
    ASSERT_TRUE(clock.StartStep(sleepEnds));
    clock.EndStep();
    EXPECT_DOUBLE_EQ(clock.TickDue()->count(), 230 + 50);
}

}  // namespace
