// The soak's verdict on a run of the real program: the events it carried out (one debug line each)
// and the driver's marks, read from the one log both wrote in the order they happened, against
// what the program's own event rules require.
#pragma once

#include <cstddef>
#include <istream>
#include <utility>
#include <vector>

#include "clock/event_rules.h"
#include "script/filter_script.h"

namespace soak_log {

// Where things stood at a pause, once settled.
struct Checkpoint {
    std::size_t segment;
    double position;
    bool covered;
    bool uncovered;  // neither maximised nor topmost: anything between is neither
    bool muted;
    // The furthest the clock can have been in this segment: at least `reach_low`, at most
    // `reach_high` (a nudge back is taken at a moment between two readings).
    double reach_low;
    double reach_high;
};

// From one Set Time to the next (the first from the start).
struct Segment {
    double set_to = 0.0;
    double reach_low = 0.0;
    double reach_high = 0.0;
    // Film time jumped over by forward nudges: events there are late by design.
    std::vector<std::pair<double, double>> jumps;
};

struct Verdict {
    long carried = 0;                 // event lines in the log
    long expected = 0;                // events the clock certainly passed
    long ambiguous = 0;               // events within 1.5 ms of a pause: carried out or not, either is right
    long lost = 0;                    // passed, never carried out
    long twice = 0;                   // carried out again in the same segment
    long skipped_but_done = 0;        // before the Set Time that began the segment, carried out all the same
    long early = 0;                   // carried out before the clock reached them
    long wrong_time = 0;              // not in the script at that index and time
    long late = 0;                    // more than half a second late, not jumped over
    std::vector<double> lateness_ms;  // of the events not jumped over by a nudge
    long checks = 0;                  // checkpoints
    long judged = 0;                  // checkpoints with no event in doubt
    long state_wrong = 0;             // the window or the mute unlike what the events left
    long outside_but_on = 0;          // muted or covered with no range of it near
    long outside_on_by_nudge = 0;     // the same, where the rules say so (a nudge back out of a range)

    bool clean() const {
        return lost == 0 && twice == 0 && skipped_but_done == 0 && early == 0 && wrong_time == 0 && late == 0 &&
               state_wrong == 0 && outside_but_on == 0;
    }
};

// Between two Set Times (a segment) the program carries out, in list order and once each, the
// events from the first one after the set time up to the furthest the clock has been; a Set Time
// that moves the cursor ends mute and cover first. At a checkpoint the window and the mute must
// show what those events leave.
Verdict check_log(std::istream& log, const std::vector<dvbk::FilterEvent>& events, const std::vector<Segment>& segments,
                  const std::vector<Checkpoint>& checkpoints);

// Whether a range of each kind is in force anywhere within `margin` of `at`.
dvbk::InForce in_force_near(const std::vector<dvbk::FilterEvent>& events, double at, double margin);

}  // namespace soak_log
