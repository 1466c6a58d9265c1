#include <chrono>

#include "clock/playback_clock.h"

namespace dvbk {

std::uint64_t system_tick_count() {
    auto since_start = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since_start).count());
}

}  // namespace dvbk
