// What events do: the rule by which each one changes what is in force, which of them a position has
// passed, what is in force at a moment, and when the event timer should next wake. The loop that
// carries events out, previews of the next ones and the checkers of a run all go by these.
#pragma once

#include <cstddef>
#include <vector>

#include "script/filter_script.h"

namespace dvbk {

// What the script has in force: the picture covered, the sound silenced.
struct InForce {
    bool covered = false;
    bool muted = false;
    friend bool operator==(const InForce&, const InForce&) = default;
};

// The state an event leaves behind: starts set, ends clear; unknown kinds change nothing.
void apply_event(EventKind kind, bool& covered, bool& muted);

// Index of the first event later than `position`, or events.size() when none is.
size_t first_event_after(const std::vector<FilterEvent>& events, double position);

// What the events up to and including `position` leave in force, taken in list order.
InForce in_force_at(const std::vector<FilterEvent>& events, double position);

// How far ahead of a mute, in seconds of film, the note that lets a later run switch the sound back
// on is written: long enough for a thread to write it, short enough that a run seldom leaves a note
// of a mute that never came.
inline constexpr double MUTE_NOTE_LEAD = 30.0;

// Whether an event from `next_event` on that mutes (a mute or a combined range starting) is due
// within `lead` seconds of film after `position`.
bool mute_due_within(const std::vector<FilterEvent>& events, size_t next_event, double position, double lead);

// How long before an event the 1 ms timer resolution is asked for, in seconds of waiting.
inline constexpr double FINE_TIMER_LEAD = 1.0;

// When the one-shot event timer is to go off next.
struct EventTimerPlan {
    bool armed = false;         // false: stop it (the clock stands, or nothing is left)
    bool fine = false;          // ask for 1 ms timer resolution until it goes off
    unsigned milliseconds = 0;  // from now
    friend bool operator==(const EventTimerPlan&, const EventTimerPlan&) = default;
};

// The plan for the event at `next_event` with the clock at `position`, running `rate` film seconds
// per real second (paused: not running). The 1 ms resolution keeps the whole machine's timer ticking
// fast, so it is asked for only for the last stretch before an event: until then the timer wakes
// FINE_TIMER_LEAD early at the ordinary resolution and is set again. It goes off one millisecond
// past the event, which is due only once the position is strictly greater; far waits are cut to an
// hour.
EventTimerPlan plan_event_timer(const std::vector<FilterEvent>& events, size_t next_event, double position, bool paused,
                                double rate);

}  // namespace dvbk
