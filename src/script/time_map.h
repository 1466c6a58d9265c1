// How a script's times (A) become times in the user's copy of the film (B): B = A * rate + offset.
// A release at 25 frames a second of a film made at 24 runs 4 % fast: rate 24 / 25 = 0.96. A copy
// that opens with 2.3 s more of a studio logo has offset +2.3 s.
#pragma once

#include <optional>
#include <string>

namespace dvbk {

struct TimeMap {
    double rate = 1.0;
    double offset = 0.0;
    double apply(double script_time) const { return script_time * rate + offset; }
    double script_time_at(double copy_time) const { return (copy_time - offset) / rate; }
};

// Two moments known in both timelines, at least this far apart in the script, give a map with a
// rate in this range; anything else is a mistyped time rather than another copy of the film.
inline constexpr double MIN_SYNC_SPAN = 10.0;
inline constexpr double MIN_RATE = 0.5;
inline constexpr double MAX_RATE = 2.0;

// The map through (script_1, copy_1) and (script_2, copy_2); nothing, with the reason in `refusal`
// when one is given ("the two script times are under 10 s apart"), for moments that give no
// trustworthy line.
std::optional<TimeMap> fit_two_points(double script_1, double copy_1, double script_2, double copy_2,
                                      std::string* refusal = nullptr);

}  // namespace dvbk
