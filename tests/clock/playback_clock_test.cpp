#include "clock/playback_clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace dvbk {
namespace {

double fake_ticks = 0;

double read_fake_ticks() {
    return fake_ticks;
}

// Drives the real clock operations with a tick count the test sets, in milliseconds.
class PlaybackClockTest : public testing::Test {
protected:
    void SetUp() override {
        fake_ticks = 1000000;
        set_tick_source(read_fake_ticks);
        reset(clock);
    }
    void TearDown() override { set_tick_source(nullptr); }

    void advance(double seconds) { fake_ticks += seconds * 1000.0; }

    PlaybackClock clock;
};

TEST_F(PlaybackClockTest, ResetHoldsZeroUntilResumed) {
    advance(30);
    EXPECT_EQ(0.0, position(clock));
    resume(clock);
    EXPECT_EQ(0.0, position(clock));
    advance(12.5);
    EXPECT_NEAR(12.5, position(clock), 1e-9);
    reset(clock);
    advance(5);
    EXPECT_TRUE(clock.paused);
    EXPECT_EQ(0.0, position(clock));
}

TEST_F(PlaybackClockTest, PauseFreezesAndResumeRunsOn) {
    resume(clock);
    advance(83.4);
    pause(clock);
    advance(600);
    EXPECT_NEAR(83.4, position(clock), 1e-9);
    resume(clock);
    EXPECT_NEAR(83.4, position(clock), 1e-9);
    advance(1);
    EXPECT_NEAR(84.4, position(clock), 1e-9);
}

TEST_F(PlaybackClockTest, SeekKeepsTheState) {
    seek(clock, 600);
    advance(10);
    EXPECT_TRUE(clock.paused);
    EXPECT_NEAR(600, position(clock), 1e-9);
    resume(clock);
    advance(2);
    EXPECT_NEAR(602, position(clock), 1e-9);
    seek(clock, 30);
    EXPECT_FALSE(clock.paused);
    advance(1);
    EXPECT_NEAR(31, position(clock), 1e-9);
}

TEST_F(PlaybackClockTest, NudgeSteps) {
    struct Case {
        double from;
        double step;
        double to;
    };
    const Case cases[] = {
        {1.5, -2.0, 0.0},  {2.0, -2.0, 0.0},  {2.5, -2.0, 0.5}, {0.2, -0.2, 0.0}, {0.0, -0.2, 0.0},
        {-3.0, -0.2, 0.0}, {10.0, -0.2, 9.8}, {0.0, 0.2, 0.2},  {5.0, 2.0, 7.0},  {1e7, 2.0, 1e7 + 2},
    };
    for (bool running : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << (running ? "running " : "paused ") << c.from << " " << c.step);
            reset(clock);
            if (running)
                resume(clock);
            seek(clock, c.from);
            nudge(clock, c.step);
            if (c.to == 0.0)
                EXPECT_EQ(0.0, position(clock));  // exactly: a backward nudge stops at the very start
            else
                EXPECT_NEAR(c.to, position(clock), 1e-9);
            EXPECT_EQ(!running, clock.paused);
        }
    }
}

TEST_F(PlaybackClockTest, DriftCorrectionScalesTheTickCount) {
    struct Case {
        double adj;
        double per_hour;  // position gained over one hour of ticks
    };
    // Beyond a sixth of the time either way the correction is bounded; no number is no correction.
    for (const Case c : {Case{0, 3600}, Case{36, 3564}, Case{-36, 3636}, Case{600, 3000}, Case{3600, 3000},
                         Case{-1e300, 4200}, Case{std::nan(""), 3600}, Case{INFINITY, 3600}}) {
        SCOPED_TRACE(c.adj);
        clock.clock_adj = c.adj;
        reset(clock);
        resume(clock);
        advance(3600);
        EXPECT_NEAR(c.per_hour, position(clock), 1e-6);
    }
}

TEST_F(PlaybackClockTest, DriftChangeWhileRunningMovesThePositionAtOnce) {
    // The correction applies to the whole tick count, not only to the time since the change.
    resume(clock);
    advance(100);
    double before = position(clock);
    clock.clock_adj = 36;
    double ticks_seconds = static_cast<double>(fake_ticks) / 1000.0;
    EXPECT_NEAR(before - 36 * ticks_seconds / 3600, position(clock), 1e-6);
}

TEST_F(PlaybackClockTest, DriftChangeWhilePausedDoesNotMoveThePosition) {
    resume(clock);
    advance(50);
    pause(clock);
    clock.clock_adj = -36;
    EXPECT_NEAR(50, position(clock), 1e-9);
    advance(20);
    resume(clock);
    EXPECT_NEAR(50, position(clock), 1e-6);
    advance(100);
    EXPECT_NEAR(151, position(clock), 1e-6);
}

TEST_F(PlaybackClockTest, SpeedChangesTheRateFromWhereTheFilmIs) {
    struct Case {
        bool paused;
        double speed;
        double effective;  // the speed the clock runs at afterwards
    };
    const Case cases[] = {
        {false, 2.0, 2.0},  {false, 0.5, 0.5},          {true, 1.5, 1.5},
        {false, 0.0, 1.0},  // not a speed: the clock runs on as it was
        {false, -1.0, 1.0}, {false, std::nan(""), 1.0}, {false, INFINITY, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.speed);
        reset(clock);
        clock.speed = 1.0;
        clock.clock_adj = 36;  // the drift correction still applies, on top
        resume(clock);
        seek(clock, 100);
        if (c.paused)
            pause(clock);
        advance(7);
        double reached = c.paused ? 100 : 106.93;
        set_speed(clock, c.speed);
        EXPECT_NEAR(reached, position(clock), 1e-6);
        if (c.paused) {
            advance(7);
            resume(clock);
        }
        advance(10);
        EXPECT_NEAR(reached + 10 * 0.99 * c.effective, position(clock), 1e-6);
    }
}

TEST_F(PlaybackClockTest, TickCountPastThirtyTwoBits) {
    // 60 days of uptime: a 32-bit counter would have wrapped and thrown the clock back.
    fake_ticks = 60ull * 24 * 3600 * 1000;
    reset(clock);
    resume(clock);
    advance(1.5);
    EXPECT_NEAR(1.5, position(clock), 1e-9);
}

// What the clock and the links' stamps read never runs back, and moves in steps well below a
// millisecond (GetTickCount64's are 15.6 ms on Windows, 1 ms under Wine).
TEST(SystemTickCount, NeverRunsBackwardAndStepsBelowAMillisecond) {
    double smallest = INFINITY;
    for (double last = system_tick_count(), now = last, changes = 0; changes < 100; last = now) {
        now = system_tick_count();
        ASSERT_LE(last, now);
        if (now > last && ++changes)
            smallest = std::min(smallest, now - last);
    }
    EXPECT_LT(smallest, 0.5);
}

}  // namespace
}  // namespace dvbk
