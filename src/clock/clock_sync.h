// Sync Here: moments the user gave as the script has them (the clock's position, which they brought
// into line with the film) and as their copy of the film has them (the player's time), and the map
// between the two timelines that they make.
//
// The clock counts script time. A copy plays one of its seconds per real second, so with a map of
// rate r the script passes 1 / r seconds per real second: the manual clock runs at speed 1 / r, and
// a followed player's times and speed go through the map before they set the clock.
//
// That is the drift correction's job done another way. The clock's rate, in script seconds per
// real second, is (3600 - drift correction) / 3600 / r, so a rate r on its own acts like a drift
// correction of 3600 * (1 - 1 / r) s/h: -150 s/h for a 25 fps copy of a 24 fps script (r = 0.96),
// where (r - 1) * 3600 = -144 s/h is the drift per hour of the script rather than of playing. The
// two multiply; they do not replace each other. The drift correction stays what the tick count
// needs to keep pace with the player; the rate is what the copy needs.
#pragma once

#include <optional>
#include <string>

#include "script/time_map.h"

namespace dvbk {

class ClockSync {
public:
    // The first moment gives the offset alone; a later one, with the first, the offset and the rate
    // through both. Each further moment replaces the second, so the rate is measured over the
    // longest stretch. Nothing, with the map unchanged and the reason in `refusal`, for a moment
    // that gives no trustworthy map with the first.
    std::optional<TimeMap> add(double script_time, double copy_time, std::string& refusal);
    void clear();
    // Takes a map made before (remembered for this copy, or written into the script) as if its two
    // moments had been given; a further moment replaces the second, measured from the first at the
    // script's 0:00:00.
    void restore(const TimeMap& map, bool from_script = false);

    const TimeMap& map() const { return map_; }
    int moments() const { return moments_; }

    // "" before the first moment; "Synced: +2.3 s, rate 0.959" after two; after one, "Synced: +2.3 s,
    // rate 1.000 until a second moment"; "Synced as last time: +2.3 s, rate 0.959" after restore, or
    // "Synced as the script says for this copy: ..." for a map from the script.
    std::string status() const;

private:
    double first_script_ = 0.0;
    double first_copy_ = 0.0;
    int moments_ = 0;
    const char* restored_ = nullptr;  // how a restored map is introduced
    TimeMap map_;
};

// Where the clock goes when the map changes from `before` to `after`.
struct MapChange {
    double position;  // the clock's new position: where the copy is now, through `after`
    double speed;     // the clock's new speed, from `speed` and the change of rate
};

// The copy was at `copy_time` when the clock stood at `script_time`; the clock is now at `position`
// and runs at `speed`. The copy has gone on at the old map's pace since, and the clock goes on from
// where it now is in the script as the new map has it, at the new map's pace.
MapChange clock_after_map_change(const TimeMap& before, const TimeMap& after, double script_time, double copy_time,
                                 double position, double speed);

}  // namespace dvbk
