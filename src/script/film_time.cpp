#include "script/film_time.h"

#include "text/c_locale.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

namespace dvbk {
namespace {

bool read_colon(CReader& reader) {
    reader.skip_space();
    return reader.take(':');
}

// A sum of fields is held to the microsecond, far below a frame: it otherwise comes out a bit off
// the plain number for some times ("2:22.08" against "142.08"), and one instant written in two
// notations would be two times. Back-to-back ranges would read as overlapping, and a time typed
// into Set Time one way would miss an event written the other. The microsecond's nearest double is
// the plain number's own, so a plain number is left as it is read.
double on_microseconds(double seconds) {
    // Beyond this the product would lose whole microseconds; film times are far below it.
    if (!(std::fabs(seconds) < 4e9))
        return seconds;
    return std::round(seconds * 1e6) / 1e6;
}

bool read_fields(std::string_view text, double& seconds) {
    size_t first_colon = text.find(':');
    size_t last_colon = text.rfind(':');
    CReader reader(text);
    std::int32_t hours = 0;
    std::int32_t minutes = 0;
    if (first_colon != std::string_view::npos && first_colon != last_colon) {
        if (!reader.read_int32(hours) || !read_colon(reader))
            return false;
    }
    if (first_colon != std::string_view::npos) {
        if (!reader.read_int32(minutes) || !read_colon(reader))
            return false;
    }
    double s = 0.0;
    if (!reader.read_double(s) || !reader.at_end())
        return false;
    // Formed in 64 bits so that a whole part beyond the 32-bit range is refused, not wrapped.
    std::int64_t whole = std::int64_t{hours} * 3600 + std::int64_t{minutes} * 60;
    if (whole < std::numeric_limits<std::int32_t>::min() || whole > std::numeric_limits<std::int32_t>::max())
        return false;
    seconds = first_colon == std::string_view::npos ? s : on_microseconds(static_cast<double>(whole) + s);
    return true;
}

}  // namespace

bool read_time(std::string_view text, double& seconds) {
    seconds = 0.0;
    double value = 0.0;
    if (!read_fields(text, value))
        return false;
    seconds = value;
    return true;
}

bool read_offset(std::string_view text, double& seconds) {
    bool earlier = text.starts_with('-');
    if (!read_time(text.substr(earlier ? 1 : 0), seconds))
        return false;
    seconds = earlier ? -seconds : seconds;
    return true;
}

std::string rounded_time_text(double seconds) {
    // Hours must fit 32 bits; beyond that (and for NaN or infinity) there is no time to show.
    constexpr double hour_limit = 2147483648.0;
    if (!std::isfinite(seconds) || std::fabs(seconds / 3600.0) >= hour_limit)
        return "--:--:--";
    auto hours = static_cast<std::int32_t>(seconds / 3600.0);
    double rest = seconds - static_cast<double>(hours) * 3600.0;
    auto minutes = static_cast<std::int32_t>(rest / 60.0);
    auto secs = static_cast<std::int32_t>(std::round(rest - static_cast<double>(minutes) * 60.0));
    char text[48];
    std::snprintf(text, sizeof text, "%d:%02d:%02d", hours, minutes, secs);
    return text;
}

std::string exact_time_text_ms(std::int64_t ms) {
    // Whole seconds are exact in a double, so rounded_time_text has nothing to round.
    std::string text = rounded_time_text(static_cast<double>(ms / 1000));
    if (std::int64_t fraction = ms % 1000) {
        char digits[8];
        std::snprintf(digits, sizeof digits, ".%03d", static_cast<int>(fraction));
        std::string_view trimmed(digits);
        text += trimmed.substr(0, trimmed.find_last_not_of('0') + 1);
    }
    return text;
}

std::string exact_time_text(double seconds) {
    return std::fabs(seconds) < 2e9 ? exact_time_text_ms(std::llround(seconds * 1000.0)) : shortest_decimal(seconds);
}

std::string shortest_decimal(double value) {
    char text[64];
    auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

}  // namespace dvbk
