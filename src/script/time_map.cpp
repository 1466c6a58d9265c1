#include "script/time_map.h"

#include <cmath>
#include <cstdio>

namespace dvbk {

std::optional<TimeMap> fit_two_points(double script_1, double copy_1, double script_2, double copy_2,
                                      std::string* refusal) {
    auto refuse = [&](std::string reason) -> std::optional<TimeMap> {
        if (refusal)
            *refusal = std::move(reason);
        return std::nullopt;
    };
    if (!(std::fabs(script_2 - script_1) >= MIN_SYNC_SPAN))
        return refuse("the two script times are under 10 s apart");
    double rate = (copy_2 - copy_1) / (script_2 - script_1);
    if (!(rate >= MIN_RATE && rate <= MAX_RATE)) {
        char text[96];
        std::snprintf(text, sizeof text, "the rate would be %.3f, outside 0.5 to 2", rate);
        return refuse(text);
    }
    return TimeMap{rate, copy_1 - rate * script_1};
}

}  // namespace dvbk
