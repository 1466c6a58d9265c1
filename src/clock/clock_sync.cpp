#include "clock/clock_sync.h"

#include <cmath>

#include "text/decimal_number.h"

namespace dvbk {

std::optional<TimeMap> ClockSync::add(double script_time, double copy_time, std::string& refusal) {
    if (!std::isfinite(script_time) || !std::isfinite(copy_time)) {
        refusal = "the times are not numbers";
        return std::nullopt;
    }
    if (moments_ == 0) {
        first_script_ = script_time;
        first_copy_ = copy_time;
        moments_ = 1;
        map_ = TimeMap{1.0, copy_time - script_time};
        return map_;
    }
    std::optional<TimeMap> fit = fit_two_points(first_script_, first_copy_, script_time, copy_time, &refusal);
    if (!fit)
        return std::nullopt;
    moments_ = 2;
    restored_ = nullptr;
    map_ = *fit;
    return map_;
}

void ClockSync::restore(const TimeMap& map, bool from_script) {
    first_script_ = 0.0;
    first_copy_ = map.offset;
    moments_ = 2;
    restored_ = from_script ? "Synced as the script says for this copy: " : "Synced as last time: ";
    map_ = map;
}

MapChange clock_after_map_change(const TimeMap& before, const TimeMap& after, double script_time, double copy_time,
                                 double position, double speed) {
    double copy_now = copy_time + (position - script_time) * before.rate;
    return MapChange{after.script_time_at(copy_now), speed * before.rate / after.rate};
}

void ClockSync::clear() {
    *this = ClockSync{};
}

std::string ClockSync::status() const {
    if (moments_ == 0)
        return "";
    // Rounded first, so that a small negative offset shows as +0.0 rather than -0.0.
    double tenths = std::round(map_.offset * 10.0);
    std::string text = std::string(restored_ ? restored_ : "Synced: ") + (tenths < 0.0 ? "-" : "+") +
                       format_fixed(std::fabs(tenths) / 10.0, 1) + " s, rate " + format_fixed(map_.rate, 3);
    if (moments_ == 1)
        text += " until a second moment";
    return text;
}

}  // namespace dvbk
