#include <windows.h>

#include "clock/playback_clock.h"

namespace dvbk {

double system_tick_count() {
    // Fixed at boot and the same on every processor, so read once.
    static const LONGLONG frequency = [] {
        LARGE_INTEGER per_second;
        QueryPerformanceFrequency(&per_second);
        return per_second.QuadPart;
    }();
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency);
}

}  // namespace dvbk
