// Following a player: the film clock set from what the player reports of its position, with the
// user's own corrections on top, and the manual clock taking over when the player falls silent. The
// players' own messages are read elsewhere; here they are all one kind of report.
#pragma once

#include <deque>
#include <optional>
#include <string>

#include "clock/playback_clock.h"
#include "script/time_map.h"
#include "settings/settings_file.h"

namespace dvbk {

// What one answer from the player comes to.
struct PlayerReport {
    double tick = 0.0;     // when the player read its position (VLC: at the earliest)
    bool stopped = false;  // nothing is playing: the clock holds where it is
    bool paused = false;
    double position = 0.0;  // the player's position in seconds at `tick`
    double rate = 1.0;      // film seconds per second while playing
    // The position was read at `tick` exactly (a browser's video), rather than being a lower bound
    // that may have been set a while before it was sent (VLC, mpv).
    bool exact = false;
    // VLC: the latest the player can have read it, when its answer was held up; 0: at `tick`.
    double latest_tick = 0.0;
};

struct ClockFollower {
    ClockSource source = ClockSource::Manual;
    double offset = 0.0;       // the user's Set Time and nudges while following, on top of the player
    double since = 0.0;        // when following began
    double last_report = 0.0;  // when the player last answered
    bool heard = false;        // the player has answered since following began
    bool lost = false;         // silent too long: the manual clock runs on
    bool player_paused = true;
    std::string problem;  // why the player is not heard, for the status line

    // The last report's position, while the player is paused or playing (not for exact reports).
    std::optional<double> last_position;
    // While the player plays: its recent moves, newest last. VLC moves its position only every 0.25
    // to 0.3 s, each time to where it is at that moment; a move first seen in the report read by
    // `by` happened after the report before it was read, from `after` on. Together the moves narrow
    // down when the player moves, and so where it is between moves.
    struct Step {
        double position;
        double after;
        double by;
        // The move that showed the player jumped: it may be VLC's own report of a seek, which it
        // makes at once, some 40 ms behind where it then plays on from. It counts only until the
        // player is seen to move again.
        bool afresh = false;
    };
    std::deque<Step> steps;
    // How far apart the earliest and the latest positions the reports allow are, in seconds:
    // infinity while they give only a lower bound.
    double spread = 0.0;
    double unsure_since = 0.0;  // the report from which the spread has been wide
    double paused_at = 0.0;     // where the player paused, as far as the reports tell

    double rate = 1.0;  // of the samples in `recent`
};

enum class FollowOutcome { Held, Moved, Jumped };

// How far apart the clock and the player may be before it counts as the user seeking in the player.
inline constexpr double FOLLOW_JUMP_SECONDS = 1.5;
// How long the player may stay silent before the manual clock takes over.
inline constexpr double FOLLOW_SILENCE_MS = 2000.0;

// Starts afresh with `source` (Manual stops following); the user's offset goes back to 0.
void begin_following(ClockFollower& follower, ClockSource source, double now);

// The report as the script's timeline has it, for a player that plays a copy of the film `map`
// leads to: its position taken back through the map, its speed divided by the map's rate.
PlayerReport in_script_time(PlayerReport report, const TimeMap& map);

// The map from the player's times to the script's has changed: the positions learnt so far and the
// user's offset (which the new map takes in) no longer hold.
void take_new_map(ClockFollower& follower);

// Sets `clock` from the report as of `now`: paused when the player is, at the player's position plus
// the user's offset. Jumped when that is more than FOLLOW_JUMP_SECONDS from where the clock was.
FollowOutcome follow_report(ClockFollower& follower, PlaybackClock& clock, const PlayerReport& report, double now);

// True while the player plays and its position has been known only roughly for less than two
// seconds (just after following began, after a seek or after it played on from a pause): asking it
// more often then narrows it down.
bool wants_quick_reports(const ClockFollower& follower, double now);

// The player could not be reached or said something unreadable.
void note_problem(ClockFollower& follower, std::string problem);

// True once, when the player has been silent too long and the manual clock takes over. A paused mpv
// sends nothing until something changes, so its silence counts only while it plays or is gone.
bool check_silence(ClockFollower& follower, double now);

// The user moved the clock by `seconds` (Set Time, a nudge) while following.
void note_user_shift(ClockFollower& follower, double seconds);

// "Clock: manual", "Clock: VLC, 0.1 s ago", "Clock: browser, 0.1 s ago",
// "Clock: manual, VLC not answering: connection refused"; a problem noted since the last report
// follows the age too ("Clock: browser, 0.1 s ago: Another video plays in the browser: ...").
std::string clock_status_text(const ClockFollower& follower, double now);

}  // namespace dvbk
