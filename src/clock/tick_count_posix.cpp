#include <chrono>

#include "clock/playback_clock.h"

namespace dvbk {

double system_tick_count() {
    auto since_start = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration<double, std::milli>(since_start).count();
}

}  // namespace dvbk
