#include "clock/clock_follower.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace dvbk {
namespace {

// Moves older than this no longer narrow the estimate.
constexpr double STEP_WINDOW_MS = 10000.0;
constexpr size_t MAX_STEPS = 48;
// VLC's moves land within a few milliseconds of where the others put them; one further off than
// this means the player went back or stalled, and the moves before it no longer count.
constexpr double STEP_JITTER_SECONDS = 0.02;
// Less unsure than this, quicker reports would not make the clock much better; and a player that
// has not moved in this long while asked quickly will not be pinned down by asking on.
constexpr double QUICK_SPREAD_SECONDS = 0.04;
constexpr double QUICK_FOR_MS = 2000.0;
// Around a pause, a report this close behind where the player is can be stale (VLC moves its
// position only every 0.3 s); one further off is a seek.
constexpr double STALE_SECONDS = 0.5;

double seconds_between(double earlier, double later) {
    return (later - earlier) / 1000.0;
}

struct Estimate {
    double position;  // the player's, at the report's tick
    double spread;
};

// Where the player is, from the moves seen in the reports: each move puts the position between a
// lowest (it moved just before the report that showed it) and a highest (just after the report
// before); the newest moves, together, put it where all of them allow, and it is taken half-way.
// Without a move seen yet, the report is only a lower bound: the position may have been set a
// while before.
Estimate estimate_playing(ClockFollower& follower, const PlayerReport& report, double previous,
                          std::optional<double> previous_position) {
    auto& steps = follower.steps;
    if (report.rate != follower.rate)
        steps.clear();
    follower.rate = report.rate;
    double read_by = std::max(report.tick, report.latest_tick);
    if (previous_position && *previous_position != report.position && previous != 0 && previous < read_by)
        steps.push_back({report.position, previous, read_by});
    while (!steps.empty() && (steps.size() > MAX_STEPS || report.tick - steps.front().by > STEP_WINDOW_MS))
        steps.pop_front();
    if (steps.empty())
        return {report.position, INFINITY};

    auto moved_at = [&](const ClockFollower::Step& step, double tick) {
        return step.position + seconds_between(tick, report.tick) * report.rate;
    };
    double low = moved_at(steps.back(), steps.back().by);
    double high = moved_at(steps.back(), steps.back().after);
    for (size_t i = steps.size() - 1; i-- > 0;) {
        if (steps[i].afresh)
            continue;
        double step_low = std::max(low, moved_at(steps[i], steps[i].by));
        double step_high = std::min(high, moved_at(steps[i], steps[i].after));
        if (step_low <= step_high) {
            low = step_low;
            high = step_high;
        } else if (step_low - step_high > STEP_JITTER_SECONDS) {
            // Some of the moves that seemed to agree may be from before it moved too: only the
            // newest is sure.
            steps.erase(steps.begin(), steps.end() - 1);
            steps.back().afresh = true;
            low = moved_at(steps.back(), steps.back().by);
            high = moved_at(steps.back(), steps.back().after);
            break;
        }
    }
    return {(low + high) / 2.0, high - low};
}

}  // namespace

void begin_following(ClockFollower& follower, ClockSource source, double now) {
    follower = ClockFollower{};
    follower.source = source;
    follower.since = now;
}

PlayerReport in_script_time(PlayerReport report, const TimeMap& map) {
    report.position = map.script_time_at(report.position);
    report.rate /= map.rate;
    return report;
}

void take_new_map(ClockFollower& follower) {
    follower.offset = 0.0;
    follower.steps.clear();
    follower.last_position.reset();
    follower.spread = 0.0;
}

FollowOutcome follow_report(ClockFollower& follower, PlaybackClock& clock, const PlayerReport& report, double now) {
    double previous = follower.last_report;
    std::optional<double> previous_position = follower.last_position;
    follower.heard = true;
    follower.lost = false;
    follower.last_report = report.tick;
    follower.last_position.reset();
    if (!report.stopped && !report.exact)
        follower.last_position = report.position;
    follower.problem.clear();
    bool was_unsure = follower.spread > QUICK_SPREAD_SECONDS;
    follower.spread = 0.0;

    double before = position(clock);
    bool was_paused = follower.player_paused || clock.paused;
    set_speed(clock, report.rate);
    if (report.stopped || report.paused) {
        follower.steps.clear();
        follower.player_paused = true;
        if (!clock.paused)
            pause(clock);
        if (report.stopped)
            return FollowOutcome::Held;
        // Paused since the last report. A paused VLC goes on saying where it last moved to, up to
        // a step before it paused, while the clock ran on from where the player was then: unless it
        // was moved too, it paused somewhere in between, half-way at a guess.
        double halfway = before - follower.offset -
                         (seconds_between(previous, now) + seconds_between(report.tick, now)) / 2.0 * report.rate;
        if (!was_paused && !report.exact && previous != 0 && previous < report.tick && halfway >= report.position &&
            halfway < report.position + STALE_SECONDS)
            follower.paused_at = halfway;
        else if (!was_paused || previous_position != report.position)
            follower.paused_at = report.position;
        double target = std::max(follower.paused_at + follower.offset, 0.0);
        seek(clock, target);
        return std::abs(target - before) > FOLLOW_JUMP_SECONDS ? FollowOutcome::Jumped : FollowOutcome::Moved;
    }

    double since = seconds_between(report.tick, now) * report.rate;
    if (report.exact) {
        follower.steps.clear();
        follower.player_paused = false;
        if (clock.paused)
            resume(clock);
        double target = std::max(report.position + follower.offset + since, 0.0);
        seek(clock, target);
        return std::abs(target - before) > FOLLOW_JUMP_SECONDS ? FollowOutcome::Jumped : FollowOutcome::Moved;
    }
    Estimate estimate = estimate_playing(follower, report, previous, previous_position);
    follower.spread = estimate.spread;
    if (follower.spread > QUICK_SPREAD_SECONDS && !was_unsure)
        follower.unsure_since = report.tick;
    double target = std::max(estimate.position + follower.offset + since, 0.0);
    // Played on from where it paused, and not seen to move yet: it started somewhere between the
    // last report and this one, half the gap ago at a guess, which is closer than the stale
    // position it reports at first.
    if (follower.player_paused && clock.paused && previous != 0 && std::isinf(estimate.spread) &&
        std::abs(target - before) < STALE_SECONDS)
        target = std::max(target, before + seconds_between(previous, report.tick) * report.rate / 2.0 + since);
    follower.player_paused = false;
    if (clock.paused)
        resume(clock);
    seek(clock, target);
    return std::abs(target - before) > FOLLOW_JUMP_SECONDS ? FollowOutcome::Jumped : FollowOutcome::Moved;
}

bool wants_quick_reports(const ClockFollower& follower, double now) {
    return follower.heard && !follower.lost && !follower.player_paused && follower.spread > QUICK_SPREAD_SECONDS &&
           seconds_between(follower.unsure_since, now) * 1000.0 < QUICK_FOR_MS;
}

void note_problem(ClockFollower& follower, std::string problem) {
    follower.problem = std::move(problem);
}

bool check_silence(ClockFollower& follower, double now) {
    if (follower.source == ClockSource::Manual || follower.lost)
        return false;
    if (follower.source == ClockSource::Mpv && follower.heard && follower.player_paused && follower.problem.empty())
        return false;
    double last = follower.heard ? follower.last_report : follower.since;
    if (now - last <= FOLLOW_SILENCE_MS)
        return false;
    follower.lost = true;
    follower.steps.clear();
    return true;
}

void note_user_shift(ClockFollower& follower, double seconds) {
    if (follower.source != ClockSource::Manual && std::isfinite(seconds))
        follower.offset += seconds;
}

std::string clock_status_text(const ClockFollower& follower, double now) {
    if (follower.source == ClockSource::Manual)
        return "Clock: manual";
    // The players by their own names; the browser is no name.
    std::string name = follower.source == ClockSource::Browser ? "browser" : clock_source_name(follower.source);
    if (follower.heard && !follower.lost) {
        char age[32];
        std::snprintf(age, sizeof age, "%.1f",
                      seconds_between(follower.last_report, std::max(now, follower.last_report)));
        std::string text = "Clock: " + name + ", " + age + " s ago";
        return follower.problem.empty() ? text : text + ": " + follower.problem;
    }
    std::string text =
        follower.lost ? "Clock: manual, " + name + " not answering" : "Clock: " + name + ", waiting for the player";
    if (!follower.problem.empty())
        text += ": " + follower.problem;
    return text;
}

}  // namespace dvbk
