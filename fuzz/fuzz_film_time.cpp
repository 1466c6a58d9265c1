// read_time on any text, and rounded_time_text on any double: nothing undefined, and a time that was
// read is written back in a form that reads as the same time to within half a second.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "script/film_time.h"

namespace {

void check_round_trip(double seconds) {
    std::string text = dvbk::rounded_time_text(seconds);
    // Beyond a whole part of 2^31 seconds the text holds hours the reader refuses, by design.
    if (!std::isfinite(seconds) || std::fabs(seconds) >= 2147480000.0)
        return;
    double back = 0.0;
    if (!dvbk::read_time(text, back) || std::fabs(back - seconds) > 0.5)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    double seconds = 1.0;
    if (dvbk::read_time(text, seconds)) {
        if (!std::isfinite(seconds))
            std::abort();
        check_round_trip(seconds);
    } else if (seconds != 0.0) {
        std::abort();
    }
    if (size >= sizeof(double)) {
        double raw;
        std::memcpy(&raw, data, sizeof raw);
        check_round_trip(raw);
    }
    return 0;
}
