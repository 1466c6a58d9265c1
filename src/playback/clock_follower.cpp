#include "playback/clock_follower.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace dvbk {
namespace {

// Reports older than this no longer bound the estimate.
constexpr std::uint64_t SAMPLE_WINDOW_MS = 2000;
// How stale a report can be: VLC moves its position in steps of about 0.3 s. A report further
// behind the estimate than this means the player went back (or stalled), not that it is stale.
constexpr double STALE_SECONDS = 0.5;

double seconds_between(std::uint64_t earlier, std::uint64_t later) {
    return later >= earlier ? static_cast<double>(later - earlier) / 1000.0
                            : -static_cast<double>(earlier - later) / 1000.0;
}

// The player's position at `tick`, from the newest report and those before it. Every report is a
// lower bound (the value may have been set a little while before it was sent), so the best
// estimate is the highest of them carried forward to now.
double estimate_playing(ClockFollower& follower, const PlayerReport& report) {
    auto& recent = follower.recent;
    if (report.rate != follower.rate)
        recent.clear();
    follower.rate = report.rate;
    while (!recent.empty() && report.tick - std::min(report.tick, recent.front().tick) > SAMPLE_WINDOW_MS)
        recent.pop_front();
    double best = report.position;
    for (const ClockFollower::Sample& sample : recent)
        best = std::max(best, sample.position + seconds_between(sample.tick, report.tick) * report.rate);
    if (report.position < best - STALE_SECONDS) {
        recent.clear();
        best = report.position;
    }
    recent.push_back({report.tick, report.position});
    return best;
}

}  // namespace

void begin_following(ClockFollower& follower, ClockSource source, std::uint64_t now) {
    follower = ClockFollower{};
    follower.source = source;
    follower.since = now;
}

PlayerReport report_from_vlc(ClockFollower& follower, const VlcStatus& status, std::uint64_t tick) {
    PlayerReport report;
    report.tick = tick;
    if (status.state == PlayerState::Stopped) {
        report.stopped = true;
        return report;
    }
    report.paused = status.state == PlayerState::Paused;
    report.position = status.time;
    report.rate = status.rate;
    if (status.length > 0.0 && status.position > 0.0 && status.position <= 1.0) {
        // The length as sent is within a second of the real one, and "time", whole seconds, is the
        // position times the real length rounded down. Each report narrows the range; a new film
        // or an inconsistent pair starts it again.
        if (!(status.length - 1.0 <= follower.length_low && follower.length_high <= status.length + 1.0)) {
            follower.length_low = status.length - 1.0;
            follower.length_high = status.length + 1.0;
        }
        double low = std::max(follower.length_low, status.time / status.position);
        double high = std::min(follower.length_high, (status.time + 1.0) / status.position);
        if (low < high) {
            follower.length_low = low;
            follower.length_high = high;
        } else {
            follower.length_low = status.length - 1.0;
            follower.length_high = status.length + 1.0;
        }
        // The length as sent, unless the pairs have shown it to be off.
        double seconds = status.position * std::clamp(status.length, follower.length_low, follower.length_high);
        report.position = std::clamp(seconds, status.time, status.time + 0.999);
    }
    return report;
}

std::optional<PlayerReport> report_from_mpv(ClockFollower& follower, const MpvMessage& message, std::uint64_t tick) {
    if (message.kind == MpvMessage::Kind::TimePos)
        follower.mpv_time = message.time_pos;
    else if (message.kind == MpvMessage::Kind::Pause)
        follower.mpv_paused = message.paused;
    else if (message.kind == MpvMessage::Kind::Speed)
        follower.mpv_speed = message.speed;
    else
        return std::nullopt;
    PlayerReport report;
    report.tick = tick;
    report.stopped = !follower.mpv_time;
    report.paused = follower.mpv_paused;
    report.position = follower.mpv_time.value_or(0.0);
    report.rate = follower.mpv_speed;
    return report;
}

std::optional<PlayerReport> report_from_browser(ClockFollower& follower, const BrowserReport& message,
                                                std::uint64_t tick) {
    if (message.kind == BrowserReport::Kind::Idle || message.kind == BrowserReport::Kind::Gone) {
        note_problem(follower, "no video followed in the browser");
        return std::nullopt;
    }
    if (message.kind != BrowserReport::Kind::Video)
        return std::nullopt;
    PlayerReport report;
    // The extension says how long ago the page read the video; it arrived at `tick`.
    auto age = static_cast<std::uint64_t>(std::llround(message.age_ms));
    report.tick = tick - std::min(age, tick);
    report.paused = message.paused;
    report.position = message.current_time;
    report.rate = message.playback_rate;
    report.exact = true;
    return report;
}

FollowOutcome follow_report(ClockFollower& follower, PlaybackClock& clock, const PlayerReport& report,
                            std::uint64_t now) {
    std::uint64_t previous = follower.last_report;
    follower.heard = true;
    follower.lost = false;
    follower.last_report = report.tick;
    follower.problem.clear();

    double before = position(clock);
    set_speed(clock, report.rate);
    if (report.stopped || report.paused) {
        follower.recent.clear();
        follower.player_paused = true;
        if (!clock.paused)
            pause(clock);
        if (report.stopped)
            return FollowOutcome::Held;
        double target = std::max(report.position + follower.offset, 0.0);
        seek(clock, target);
        return std::abs(target - before) > FOLLOW_JUMP_SECONDS ? FollowOutcome::Jumped : FollowOutcome::Moved;
    }

    double since = seconds_between(report.tick, now) * report.rate;
    if (report.exact) {
        follower.recent.clear();
        follower.player_paused = false;
        if (clock.paused)
            resume(clock);
        double target = std::max(report.position + follower.offset + since, 0.0);
        seek(clock, target);
        return std::abs(target - before) > FOLLOW_JUMP_SECONDS ? FollowOutcome::Jumped : FollowOutcome::Moved;
    }
    double target = std::max(estimate_playing(follower, report) + follower.offset + since, 0.0);
    // A clock that was set from lower bounds and has run since is itself one, as long as the player
    // keeps pace: it gives way only slowly (1 % of the time between reports) to a lower estimate, so
    // that the loss of the freshest report does not pull it back. A player that went back or
    // stalled for more than a stale report's worth is followed at once.
    if (!clock.paused && !follower.player_paused && follower.recent.size() > 1 && target < before &&
        target > before - STALE_SECONDS)
        target = std::max(target, before - 0.01 * seconds_between(previous, report.tick));
    // Played on from where it paused: it started somewhere between the last report and this one,
    // half the gap ago at a guess, which is closer than the stale position it reports at first.
    if (follower.player_paused && clock.paused && previous != 0 && std::abs(target - before) < STALE_SECONDS)
        target = std::max(target, before + seconds_between(previous, report.tick) * report.rate / 2.0 + since);
    follower.player_paused = false;
    if (clock.paused)
        resume(clock);
    seek(clock, target);
    return std::abs(target - before) > FOLLOW_JUMP_SECONDS ? FollowOutcome::Jumped : FollowOutcome::Moved;
}

void note_problem(ClockFollower& follower, std::string problem) {
    follower.problem = std::move(problem);
}

bool check_silence(ClockFollower& follower, std::uint64_t now) {
    if (follower.source == ClockSource::Manual || follower.lost)
        return false;
    if (follower.source == ClockSource::Mpv && follower.heard && follower.player_paused && follower.problem.empty())
        return false;
    std::uint64_t last = follower.heard ? follower.last_report : follower.since;
    if (now < last || now - last <= FOLLOW_SILENCE_MS)
        return false;
    follower.lost = true;
    follower.recent.clear();
    return true;
}

void note_user_shift(ClockFollower& follower, double seconds) {
    if (follower.source != ClockSource::Manual && std::isfinite(seconds))
        follower.offset += seconds;
}

std::string clock_status_text(const ClockFollower& follower, std::uint64_t now) {
    if (follower.source == ClockSource::Manual)
        return "Clock: manual";
    // The players by their own names; the browser is no name.
    std::string name = follower.source == ClockSource::Browser ? "browser" : clock_source_name(follower.source);
    if (follower.heard && !follower.lost) {
        char age[32];
        std::snprintf(age, sizeof age, "%.1f",
                      seconds_between(follower.last_report, std::max(now, follower.last_report)));
        return "Clock: " + name + ", " + age + " s ago";
    }
    std::string text =
        follower.lost ? "Clock: manual, " + name + " not answering" : "Clock: " + name + ", waiting for the player";
    if (!follower.problem.empty())
        text += ": " + follower.problem;
    return text;
}

}  // namespace dvbk
