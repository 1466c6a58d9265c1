// The film clock: the system's tick count, corrected for drift, frozen while paused and
// shifted so that position 0 is the moment the script was loaded.
#pragma once

namespace dvbk {

// The four clock fields of the application state. They start as `reset` leaves them only after
// `reset` has run; the application does that before its window exists.
struct PlaybackClock {
    bool paused = true;
    double frozen_clock = 0.0;  // raw clock when paused
    double clock_offset = 0.0;  // raw clock at film position 0
    // Drift correction in seconds per hour; positive runs slower. It is the clock's own copy of the
    // `time_adj` setting: taken from the settings at start-up and whenever the Settings dialog is
    // confirmed, and never written back.
    double clock_adj = 0.0;
    // Film seconds per corrected second: 1 unless a followed player plays faster or slower.
    double speed = 1.0;
};

// Milliseconds since system start, with the fraction of a millisecond the system counts: a double
// holds well under a microsecond after a year of uptime, and never wraps.
using TickSource = double (*)();

// The platform's tick count: the performance counter on Windows, a monotonic clock elsewhere.
// GetTickCount64 would do for waits, but it moves in steps of about 15.6 ms on Windows, and the
// clock, the player links' stamps and every due time would be off by up to a step.
double system_tick_count();

// Replaces the tick source (tests feed exact ticks); nullptr restores `system_tick_count`.
void set_tick_source(TickSource source);

// The tick source's count now: waits measured with it agree with the clock, also in tests.
double clock_ticks();

// A moment stamped with the system's tick count (as the player links stamp what they hear, on
// their own threads) as clock_ticks() counts it: the same tick while the source is the system's,
// and under a test's source as far from that source's now as it was from the system's.
double clock_ticks_at(double system_tick);

// The drift correction the clock goes by: the setting within a sixth of the time either way, and
// none for a setting that is no number. A real clock drifts by seconds an hour, a PAL copy runs
// 4 % fast; a larger figure is a slip of the keyboard or a damaged file, and would stop the clock or
// run it backwards.
inline constexpr double MAX_CLOCK_ADJ = 600.0;
double bounded_clock_adj(double clock_adj);

// How many film seconds pass in `real_seconds` with the clock's drift correction and speed: the
// one formula for the clock's rate.
double film_seconds(const PlaybackClock& clock, double real_seconds);

double raw_clock(const PlaybackClock& clock);
double position(const PlaybackClock& clock);
void reset(PlaybackClock& clock);
void pause(PlaybackClock& clock);
void resume(PlaybackClock& clock);
void seek(PlaybackClock& clock, double t);
// Steps of -2.0, -0.2, +0.2 or +2.0 seconds; a backward step never goes below position 0.
void nudge(PlaybackClock& clock, double step);
// From now on the film runs at `speed` (a finite number above 0; anything else is ignored), from
// the position it has reached.
void set_speed(PlaybackClock& clock, double speed);

}  // namespace dvbk
