#include <windows.h>

#include "clock/playback_clock.h"

namespace dvbk {

std::uint64_t system_tick_count() {
    return GetTickCount64();
}

}  // namespace dvbk
