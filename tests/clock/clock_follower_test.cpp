#include "clock/clock_follower.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "clock/event_rules.h"

namespace dvbk {
namespace {

double fake_ticks = 0;

double read_fake_ticks() {
    return fake_ticks;
}

// The real follower and clock, with a tick count the test sets.
class ClockFollowerTest : public testing::Test {
protected:
    void SetUp() override {
        fake_ticks = 5000000;
        set_tick_source(read_fake_ticks);
        reset(clock);
        begin_following(follower, ClockSource::Vlc, fake_ticks);
    }
    void TearDown() override { set_tick_source(nullptr); }

    void advance_ms(double ms) { fake_ticks += ms; }

    FollowOutcome hear(double player_position, bool paused = false) {
        PlayerReport report{fake_ticks, false, paused, player_position};
        return follow_report(follower, clock, report, fake_ticks);
    }

    PlaybackClock clock;
    ClockFollower follower;
};

// VLC moves its position every 0.25 to 0.3 s to where it is at that moment, and is asked every
// 0.2 to 0.25 s: each answer may be up to a step old, but when the answers show it move, and where
// to, narrows down where it is in between.
TEST_F(ClockFollowerTest, PlayingNarrowsDownFromWhenThePlayerMoves) {
    struct Case {
        const char* what;
        std::vector<int> asked_ms;  // the gaps between the answers, in turn
        std::vector<int> held_ms;   // how long VLC held each answer up before it read its position
        bool quick;                 // asked every 30 ms while the follower wants it
        // VLC jumps this far then (0 ms: never). Told to (a seek), it says so at once: where it last
        // moved to plus the jump, and plays on from there 40 ms ahead.
        std::uint64_t jump_at_ms;
        double jump;
        bool told;
        double worst;  // from three seconds on (two after a jump), before and after each answer
    };
    const Case cases[] = {
        // The answers fall on only a few points of VLC's steps: it is pinned down to a fifth of one.
        {"asked every 0.25 s", {250}, {0}, false, 0, 0.0, false, 0.035},
        {"asked at varied gaps", {225, 240, 210}, {0}, false, 0, 0.0, false, 0.015},
        {"answers held up", {225, 240, 210}, {0, 0, 70, 0, 0, 0, 0, 40}, false, 0, 0.0, false, 0.015},
        {"asked quickly at first", {250}, {0}, true, 0, 0.0, false, 0.01},
        {"falls behind", {225, 240, 210}, {0}, true, 4000, -0.1, false, 0.015},
        // VLC's own report of the seek, 40 ms behind where it plays on from, is no bound for long.
        {"seeks", {225, 240, 210}, {0}, true, 4112, 20.0, true, 0.015},
    };
    const int steps_ms[] = {300, 250};
    const int jitter_ms[] = {2, -3, 0, 1};  // how far off each move lands
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset(clock);
        begin_following(follower, ClockSource::Vlc, fake_ticks);
        const std::uint64_t start = fake_ticks;
        // The player is at `origin.second` plus the time since `origin.first`.
        std::pair<std::uint64_t, double> origin = {0, 100.0};
        auto truth = [&](std::uint64_t elapsed) { return origin.second + (elapsed - origin.first) / 1000.0; };
        // When VLC moved, and what it said from then on.
        std::vector<std::pair<std::uint64_t, double>> moves = {{0, 100.0}};
        auto said_at = [&](std::uint64_t elapsed) {
            for (;;) {
                std::uint64_t next = moves.back().first + steps_ms[moves.size() % 2];
                if (c.jump_at_ms && origin.first < c.jump_at_ms && c.jump_at_ms <= std::min(elapsed, next)) {
                    if (c.told)
                        moves.push_back({c.jump_at_ms, moves.back().second + c.jump});
                    origin = {c.jump_at_ms, (c.told ? moves.back().second + 0.04 : truth(c.jump_at_ms) + c.jump)};
                } else if (next > elapsed) {
                    return moves.back().second;
                } else {
                    moves.push_back({next, truth(next) + jitter_ms[moves.size() % 4] / 1000.0});
                }
            }
        };
        double worst = 0.0;
        auto measure = [&] {
            std::uint64_t elapsed = fake_ticks - start;
            if (elapsed >= 3000 && (elapsed < c.jump_at_ms || elapsed >= c.jump_at_ms + 2000))
                worst = std::max(worst, std::abs(position(clock) - truth(elapsed)));
        };
        for (size_t answer = 0; fake_ticks - start < 9000; ++answer) {
            measure();
            PlayerReport report{fake_ticks};
            auto held = static_cast<std::uint64_t>(c.held_ms[answer % c.held_ms.size()]);
            advance_ms(held);
            report.position = said_at(fake_ticks - start);
            report.latest_tick = held ? fake_ticks : 0;
            follow_report(follower, clock, report, fake_ticks);
            measure();
            bool quick = c.quick && wants_quick_reports(follower, fake_ticks);
            advance_ms(quick ? 30 : c.asked_ms[answer % c.asked_ms.size()]);
        }
        EXPECT_LT(worst, c.worst);
    }
}

// Windows wakes the loop every 15.625 ms unless a finer timer resolution is in force, and a
// browser's report comes with every 16th wake. As every reading keeps its fraction of a millisecond,
// the clock holds the film's position at each wake, and the event timer set then goes off a
// millisecond past the next event, rounded up to a whole one.
TEST_F(ClockFollowerTest, ClockAndEventTimerKeepTheFractionOfEachWake) {
    struct Case {
        ClockSource source;
        double rate, clock_adj, age_ms;  // age: how long before it came the page read the video
    };
    const Case cases[] = {{ClockSource::Manual, 1.0, 36.0, 0.0},
                          {ClockSource::Browser, 1.0, 0.0, 3.3},
                          {ClockSource::Browser, 1.5, 0.0, 0.7}};
    std::vector<FilterEvent> events;
    for (int i = 0; i < 40; ++i)
        events.push_back({EventKind::MuteStart, 6.0 + 0.2371 * i});
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " " << c.clock_adj << " " << c.age_ms);
        const double start = fake_ticks, pace = (3600.0 - c.clock_adj) / 3600.0 * c.rate;
        auto film_at = [&](double tick) { return 5.0 + (tick - start) / 1000.0 * pace; };
        reset(clock);
        clock.clock_adj = c.clock_adj;
        begin_following(follower, c.source, start);
        resume(clock);
        seek(clock, 5.0);
        double worst = 0.0, earliest = INFINITY, latest = 0.0;
        for (int wake = 0; position(clock) < events.back().time; ++wake, fake_ticks += 15.625) {
            double read = fake_ticks - c.age_ms;
            if (wake % 16 == 0 && c.source == ClockSource::Browser)
                follow_report(follower, clock, {read, false, false, film_at(read), c.rate, true}, fake_ticks);
            worst = std::max(worst, std::abs(position(clock) - film_at(fake_ticks)));
            size_t next = first_event_after(events, position(clock));
            EventTimerPlan plan = plan_event_timer(events, next, position(clock), false, film_seconds(clock, 1.0));
            double late = fake_ticks + plan.milliseconds - (start + (events[next].time - 5.0) / pace * 1000.0);
            earliest = std::min(earliest, late);
            latest = std::max(latest, late);
        }
        EXPECT_LT(worst, 1e-6);
        EXPECT_GT(earliest, 1.0 - 1e-6);
        EXPECT_LT(latest, 2.0 + 1e-6);
    }
}

// The link asks VLC quickly while the position is known only roughly, and not for long.
TEST_F(ClockFollowerTest, WantsQuickReportsWhileUnsure) {
    struct Case {
        const char* what;
        bool paused;
        std::uint64_t later_ms;
        bool quick;
    };
    const Case cases[] = {
        {"first answer: a lower bound", false, 0, true},
        {"unsure for two seconds", false, 2000, false},
        {"paused", true, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        begin_following(follower, ClockSource::Vlc, fake_ticks);
        hear(10.0, c.paused);
        EXPECT_EQ(c.quick, wants_quick_reports(follower, fake_ticks + c.later_ms));
    }
}

TEST_F(ClockFollowerTest, PauseSeekAndStopFollowThePlayer) {
    struct Step {
        std::uint64_t after_ms;
        double player;
        bool paused;
        FollowOutcome outcome;
        double clock_at;
        bool clock_paused;
    };
    const Step steps[] = {
        {0, 10.0, false, FollowOutcome::Jumped, 10.0, false},  // first answer, far from 0: at least there
        // Moved since the last answer: half-way between the two at a guess.
        {250, 10.25, false, FollowOutcome::Moved, 10.375, false},
        {250, 10.5, true, FollowOutcome::Moved, 10.5, true},       // paused in the player
        {5000, 10.5, true, FollowOutcome::Moved, 10.5, true},      // stays paused
        {250, 10.5, false, FollowOutcome::Moved, 10.625, false},   // playing again, since half the gap
        {250, 9.9, false, FollowOutcome::Moved, 10.025, false},    // a small step back is followed at once
        {250, 60.0, false, FollowOutcome::Jumped, 60.125, false},  // seek forward
        {250, 20.0, false, FollowOutcome::Jumped, 20.125, false},  // and back
        // Paused, still saying where it last moved to: the clock was at 20.125 at the last answer
        // and ran on to 20.375; it paused in between, and stays there.
        {250, 20.0, true, FollowOutcome::Moved, 20.25, true},
        {250, 20.0, true, FollowOutcome::Moved, 20.25, true},
        {250, 30.0, true, FollowOutcome::Jumped, 30.0, true},  // seek while pausing
        {250, 30.0, false, FollowOutcome::Moved, 30.125, false},
        {250, 12.0, true, FollowOutcome::Jumped, 12.0, true},  // and back
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.player);
        advance_ms(step.after_ms);
        EXPECT_EQ(step.outcome, hear(step.player, step.paused));
        EXPECT_NEAR(step.clock_at, position(clock), 1e-6);
        EXPECT_EQ(step.clock_paused, clock.paused);
    }
    // Stopped: the clock holds where it was, paused, rather than going back to 0.
    hear(31.0);
    PlayerReport stopped{fake_ticks, true, false, 0.0};
    EXPECT_EQ(FollowOutcome::Held, follow_report(follower, clock, stopped, fake_ticks));
    EXPECT_TRUE(clock.paused);
    EXPECT_NEAR(31.0, position(clock), 1e-6);
}

TEST_F(ClockFollowerTest, UserCorrectionStaysOnTopOfThePlayer) {
    hear(50.0, true);
    note_user_shift(follower, -2.0);
    advance_ms(250);
    hear(50.0, true);
    EXPECT_NEAR(48.0, position(clock), 1e-6);
    note_user_shift(follower, 0.2);
    advance_ms(250);
    hear(51.0);
    EXPECT_NEAR(49.325, position(clock), 1e-6);

    begin_following(follower, ClockSource::Manual, fake_ticks);
    note_user_shift(follower, 5.0);
    EXPECT_EQ(0.0, follower.offset);
}

TEST_F(ClockFollowerTest, SilenceFallsBackOnceAndAnswersPickUpAgain) {
    struct Case {
        ClockSource source;
        bool paused;
        const char* problem;
        bool falls_back;
    };
    const Case cases[] = {
        {ClockSource::Vlc, false, "", true},
        {ClockSource::Vlc, true, "", true},              // VLC is asked, so even paused it answers
        {ClockSource::Mpv, false, "", true},             // a playing mpv reports every frame
        {ClockSource::Mpv, true, "", false},             // a paused one says nothing until it changes
        {ClockSource::Mpv, true, "disconnected", true},  //
        {ClockSource::Browser, false, "", true},
        {ClockSource::Browser, true, "", true},  // the extension reports a paused video every second
        {ClockSource::Manual, false, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.source));
        reset(clock);
        begin_following(follower, c.source, fake_ticks);
        hear(10.0, c.paused);
        note_problem(follower, c.problem);
        advance_ms(FOLLOW_SILENCE_MS);
        EXPECT_FALSE(check_silence(follower, fake_ticks));
        advance_ms(1);
        EXPECT_EQ(c.falls_back, check_silence(follower, fake_ticks));
        EXPECT_FALSE(check_silence(follower, fake_ticks + 5000));
        if (c.falls_back) {
            EXPECT_EQ(c.paused, clock.paused);  // the manual clock goes on as the player was
        }
        hear(13.0);
        EXPECT_FALSE(follower.lost);
    }
}

TEST_F(ClockFollowerTest, StatusLine) {
    EXPECT_EQ("Clock: VLC, waiting for the player", clock_status_text(follower, fake_ticks));
    note_problem(follower, "connection refused");
    EXPECT_EQ("Clock: VLC, waiting for the player: connection refused", clock_status_text(follower, fake_ticks));
    advance_ms(2001);
    check_silence(follower, fake_ticks);
    EXPECT_EQ("Clock: manual, VLC not answering: connection refused", clock_status_text(follower, fake_ticks));
    hear(1.0);
    advance_ms(149);
    EXPECT_EQ("Clock: VLC, 0.1 s ago", clock_status_text(follower, fake_ticks));
    begin_following(follower, ClockSource::Mpv, fake_ticks);
    advance_ms(2001);
    check_silence(follower, fake_ticks);
    EXPECT_EQ("Clock: manual, mpv not answering", clock_status_text(follower, fake_ticks));
    begin_following(follower, ClockSource::Browser, fake_ticks);
    hear(1.0);
    advance_ms(100);
    EXPECT_EQ("Clock: browser, 0.1 s ago", clock_status_text(follower, fake_ticks));
    note_problem(follower, "Another video plays");  // heard all the same: the note is on show
    EXPECT_EQ("Clock: browser, 0.1 s ago: Another video plays", clock_status_text(follower, fake_ticks));
    begin_following(follower, ClockSource::Manual, fake_ticks);
    EXPECT_EQ("Clock: manual", clock_status_text(follower, fake_ticks));
}

}  // namespace
}  // namespace dvbk
