// The real stage's clock, on Qt's offscreen platform: the pump grid, the tick rules, the
// random numbers, and the show's first two steps drawn for real.

#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <set>

#include "show/form1.h"
#include "stage/qt/qt_stage.h"

namespace {

using Clock = QtStage::Clock;

double MsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Runs `action` once from the event loop, `ms` from now, unless it goes out of scope first.
class Later {
  public:
    Later(int ms, const std::function<void()>& action) {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, action);
        timer_.start(ms);
    }

  private:
    QTimer timer_;
};

// A form whose ticks run a given script and record when they start and end.
class ScriptedForm : public FormEvents {
  public:
    std::function<void()> load;
    std::function<void(int tick)> tick;
    std::vector<Clock::time_point> starts;
    std::vector<Clock::time_point> ends;
    int depth = 0;
    int deepest = 0;

    void Form_Load() override { load(); }
    std::function<void(std::int16_t code)> onKey = [](std::int16_t /*code*/) {};

    void Form_KeyPress(std::int16_t& KeyAscii) override { onKey(KeyAscii); }
    void Timer1_Timer() override {
        ++depth;
        deepest = std::max(deepest, depth);
        starts.push_back(Clock::now());
        struct Leave {
            ScriptedForm& form;
            ~Leave() {
                form.ends.push_back(Clock::now());
                --form.depth;
            }
        } leave{*this};
        tick(static_cast<int>(starts.size()) - 1);
    }
};

TEST(QtStagePump, ConsecutiveDrawsReturnOnAFiveMillisecondGrid) {
    QtStage stage;
    stage.Print(u"現");
    stage.DoEvents();  // the first pump of a burst returns at once and starts the grid
    const auto start = Clock::now();
    for (int pump = 1; pump < 200; ++pump) {
        stage.SetCurrentY(0);
        stage.Print(u"現");
        stage.DoEvents();
    }
    EXPECT_NEAR(MsBetween(start, Clock::now()), 995, 10);
}

TEST(QtStagePump, APumpWithNothingNewWaitsForAnEventAndAnswersAKeyAtOnce) {
    QtStage stage;
    ScriptedForm form;
    std::vector<Clock::time_point> keys;
    int pumpsInWait = 0;
    std::optional<Clock::time_point> keyPressed;
    form.load = [&] { stage.SetInterval(10); };
    form.onKey = [&](std::int16_t /*code*/) { keys.push_back(Clock::now()); };
    form.tick = [&](int /*tick*/) {
        stage.Print(u"請按空白鍵");
        stage.DoEvents();
        const Later press(300, [&] {
            keyPressed = Clock::now();
            QTest::keyClick(&stage.Window(), Qt::Key_Space);
        });
        while (keys.empty()) {
            stage.DoEvents();
            ++pumpsInWait;
        }
        stage.End();
    };
    EXPECT_EQ(stage.Play(form), 0);
    ASSERT_TRUE(keyPressed.has_value());
    // A pump on the 5 ms grid would have run some sixty times in those 300 ms.
    EXPECT_LE(pumpsInWait, 3);
    EXPECT_LT(MsBetween(keys.front(), form.ends.front()), 6);
}

TEST(QtStageTicks, AnIntervalAssignmentRestartsTheCountdown) {
    QtStage stage;
    ScriptedForm form;
    form.load = [&] { stage.SetInterval(100); };
    form.tick = [&](int tick) {
        if (tick == 0) {
            stage.Sleep(40);
            stage.SetInterval(100);  // the value already in force still restarts it
        } else {
            stage.End();
        }
    };
    EXPECT_EQ(stage.Play(form), 0);
    ASSERT_EQ(form.starts.size(), 2U);
    EXPECT_NEAR(MsBetween(form.starts[0], form.starts[1]), 140, 15);
}

TEST(QtStageTicks, ATickDueDuringASleepComesOnceRightAfterTheStep) {
    QtStage stage;
    ScriptedForm form;
    form.load = [&] { stage.SetInterval(50); };
    form.tick = [&](int tick) {
        if (tick == 0) {
            stage.Sleep(180);  // three ticks' worth
        } else if (tick == 2) {
            stage.End();
        }
    };
    EXPECT_EQ(stage.Play(form), 0);
    ASSERT_EQ(form.starts.size(), 3U);
    EXPECT_LT(MsBetween(form.ends[0], form.starts[1]), 15);
    // The held tick counts as the last tick's start: the next one is a whole interval later.
    EXPECT_NEAR(MsBetween(form.starts[1], form.starts[2]), 50, 15);
}

TEST(QtStageTicks, ATickNeverStartsFromAPumpInsideAStep) {
    QtStage stage;
    ScriptedForm form;
    form.load = [&] { stage.SetInterval(20); };
    form.tick = [&](int tick) {
        if (tick == 0) {
            for (int pump = 0; pump < 60; ++pump) {
                stage.Print(u"現");
                stage.DoEvents();
            }
        } else {
            stage.End();
        }
    };
    EXPECT_EQ(stage.Play(form), 0);
    EXPECT_EQ(form.deepest, 1);
    ASSERT_EQ(form.starts.size(), 2U);
    EXPECT_GE(MsBetween(form.starts[0], form.ends[0]), 250);  // a dozen ticks' worth
    EXPECT_LT(MsBetween(form.ends[0], form.starts[1]), 15);
}

TEST(QtStageTicks, ClosingTheWindowEndsTheShowAtTheStepsNextPump) {
    QtStage stage;
    ScriptedForm form;
    int pumpsAfterClose = 0;
    form.load = [&] { stage.SetInterval(10); };
    form.tick = [&](int /*tick*/) {
        stage.Window().close();
        for (;;) {
            stage.DoEvents();
            ++pumpsAfterClose;
        }
    };
    EXPECT_EQ(stage.Play(form), 0);
    EXPECT_EQ(pumpsAfterClose, 0);
    EXPECT_EQ(form.starts.size(), 1U);
}

// The close comes from the event loop that the sleep keeps running; the rest of the sleep
// is not waited for.
TEST(QtStageTicks, ClosingTheWindowDuringASleepEndsTheShowAtOnce) {
    QtStage stage;
    ScriptedForm form;
    bool sleepReturned = false;
    form.load = [&] { stage.SetInterval(10); };
    form.tick = [&](int /*tick*/) {
        const Later close(100, [&] { stage.Window().close(); });
        stage.Sleep(3000);
        sleepReturned = true;
    };
    EXPECT_EQ(stage.Play(form), 0);
    EXPECT_FALSE(sleepReturned);
    ASSERT_EQ(form.ends.size(), 1U);
    EXPECT_LT(MsBetween(form.starts[0], form.ends[0]), 1500);
}

// Keys that come during a sleep reach the show at the next pump, in the order they came. F11
// is the window's key, not the show's: it makes the window full screen at once, and types
// nothing.
TEST(QtStageTicks, KeysDuringASleepWaitForTheNextPumpButF11IsAnsweredAtOnce) {
    QtStage stage;
    ScriptedForm form;
    std::u16string typed;
    std::u16string typedBySleepsEnd;
    bool fullScreenBySleepsEnd = false;
    form.load = [&] { stage.SetInterval(10); };
    form.onKey = [&](std::int16_t code) { typed += static_cast<char16_t>(code); };
    form.tick = [&](int /*tick*/) {
        const Later type(50, [&] {
            QTest::keyClick(stage.Window().windowHandle(), Qt::Key_A);
            QTest::keyClick(stage.Window().windowHandle(), Qt::Key_F11);
            QTest::keyClick(stage.Window().windowHandle(), Qt::Key_B);
        });
        stage.Sleep(300);
        typedBySleepsEnd = typed;
        fullScreenBySleepsEnd = stage.Window().isFullScreen();
        stage.DoEvents();
        stage.End();
    };
    EXPECT_EQ(stage.Play(form), 0);
    EXPECT_EQ(typedBySleepsEnd, u"");
    EXPECT_TRUE(fullScreenBySleepsEnd);
    EXPECT_EQ(typed, u"ab");
}

// A failing operation inside a step unwinds it and ends the program with status 1 and one
// line that says what failed, instead of leaving the event loop with an exception.
TEST(QtStageTicks, AFailureInAStepEndsTheProgramWithStatusOneAndSaysWhy) {
    QtStage stage;
    ScriptedForm form;
    form.load = [&] { stage.SetInterval(10); };
    form.tick = [&](int /*tick*/) { stage.Picture1(18).SetVisible(true); };
    testing::internal::CaptureStderr();
    const int status = stage.Play(form);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 1);
    EXPECT_EQ(form.starts.size(), 1U) << "no tick after the failure";
    EXPECT_EQ(said, "qorvelin: the show stopped because of an error: there is no card pane 18\n");
}

TEST(QtStageRandom, RndIsAReproducibleFloatBelowOne) {
    QtStage stage;
    std::vector<float> first;
    stage.Randomize(45296.5F);
    double sum = 0;
    for (int draw = 0; draw < 100000; ++draw) {
        const float x = stage.Rnd();
        ASSERT_GE(x, 0.0F);
        ASSERT_LT(x, 1.0F);
        sum += x;
        if (draw < 10) {
            first.push_back(x);
        }
    }
    EXPECT_NEAR(sum / 100000, 0.5, 0.01);

    stage.Randomize(45296.5F);
    for (const float x : first) {
        EXPECT_EQ(stage.Rnd(), x);
    }
    stage.Randomize(45296.75F);
    std::set<float> other;
    for (int draw = 0; draw < 10; ++draw) {
        other.insert(stage.Rnd());
    }
    EXPECT_NE(other, std::set<float>(first.begin(), first.end()));
}

TEST(QtStageRandom, TimerIsTheTimeOfDayInSeconds) {
    QtStage stage;
    const float seconds = stage.Timer();
    EXPECT_GE(seconds, 0.0F);
    EXPECT_LT(seconds, 86400.0F);
}

// The opening zoom and the first typed line, really drawn into the window's backing image.
TEST(QtStageShow, TheOpeningZoomEndsBlackAndStepOneTypesItsLineInGrey) {
    QtStage stage;
    Form1 form(stage);
    form.Form_Load();
    for (std::int16_t slot = 0; slot < 18; ++slot) {
        EXPECT_FALSE(dynamic_cast<QWidget&>(stage.Picture1(slot)).isVisibleTo(&stage.Window()));
    }

    form.Timer1_Timer();  // step 0, the zoom
    const QImage& canvas = stage.Window().Canvas();
    const QRect area(0, 0, 900, 300);
    auto brightest = [&](const QRect& band) {
        int most = 0;
        for (int y = band.top(); y <= band.bottom(); ++y) {
            for (int x = band.left(); x <= band.right(); ++x) {
                const QRgb p = canvas.pixel(x, y);
                most = std::max({most, qRed(p), qGreen(p), qBlue(p)});
            }
        }
        return most;
    };
    EXPECT_EQ(brightest(area), 0);

    form.Timer1_Timer();  // step 1, twenty characters fading in at y 40
    EXPECT_EQ(form.ShowStep, 2);
    EXPECT_EQ(brightest(QRect(0, 40, 900, 60)), 225);
    EXPECT_EQ(brightest(QRect(0, 0, 900, 38)), 0);
    EXPECT_EQ(brightest(QRect(0, 110, 900, 190)), 0);
}

}  // namespace
