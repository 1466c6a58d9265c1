#include "script/time_text.h"

#include "script/c_text.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace dvbk {
namespace {

// A left-to-right reader over the text. It never looks past the end of the view, so a NUL byte
// inside the text is an ordinary character that ends a number, not the end of the text.
class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    bool at_end() const { return pos_ == text_.size(); }

    void skip_space() {
        while (pos_ < text_.size() && is_c_space(text_[pos_]))
            ++pos_;
    }

    bool take(char c) {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    // Optional sign and decimal digits; the value must fit a 32-bit signed integer.
    bool whole_number(std::int64_t& value) {
        skip_space();
        bool negative = false;
        if (!take('+'))
            negative = take('-');
        size_t digits = 0;
        std::int64_t magnitude = 0;
        while (pos_ < text_.size() && is_c_digit(text_[pos_])) {
            magnitude = magnitude * 10 + (text_[pos_] - '0');
            if (magnitude > std::int64_t{1} << 31)
                return false;
            ++pos_;
            ++digits;
        }
        if (digits == 0)
            return false;
        value = negative ? -magnitude : magnitude;
        return value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max();
    }

    // Optional sign, digits with an optional point and fraction, optional exponent: what a
    // stream extracts as a double. A magnitude too large for a double is not a number.
    bool decimal_number(double& value) {
        skip_space();
        size_t start = pos_;
        if (!take('+'))
            take('-');
        size_t mantissa_digits = skip_digits();
        if (take('.'))
            mantissa_digits += skip_digits();
        if (mantissa_digits == 0)
            return false;
        if (take('e') || take('E')) {
            if (!take('+'))
                take('-');
            if (skip_digits() == 0)
                return false;
        }
        // strtod needs a terminated copy; the program never changes the C locale, so the
        // decimal separator is always a point.
        std::string number(text_.substr(start, pos_ - start));
        value = std::strtod(number.c_str(), nullptr);
        return std::isfinite(value);
    }

private:
    size_t skip_digits() {
        size_t begin = pos_;
        while (pos_ < text_.size() && is_c_digit(text_[pos_]))
            ++pos_;
        return pos_ - begin;
    }

    std::string_view text_;
    size_t pos_ = 0;
};

bool read_colon(Reader& reader) {
    reader.skip_space();
    return reader.take(':');
}

bool parse_fields(std::string_view text, double& seconds) {
    size_t first_colon = text.find(':');
    size_t last_colon = text.rfind(':');
    Reader reader(text);
    std::int64_t hours = 0;
    std::int64_t minutes = 0;
    if (first_colon != std::string_view::npos && first_colon != last_colon) {
        if (!reader.whole_number(hours) || !read_colon(reader))
            return false;
    }
    if (first_colon != std::string_view::npos) {
        if (!reader.whole_number(minutes) || !read_colon(reader))
            return false;
    }
    double s = 0.0;
    if (!reader.decimal_number(s) || !reader.at_end())
        return false;
    // Formed in 64 bits so that a whole part beyond the 32-bit range is refused, not wrapped.
    std::int64_t whole = hours * 3600 + minutes * 60;
    if (whole < std::numeric_limits<std::int32_t>::min() || whole > std::numeric_limits<std::int32_t>::max())
        return false;
    seconds = static_cast<double>(whole) + s;
    return true;
}

}  // namespace

bool parse_time(std::string_view text, double& seconds) {
    seconds = 0.0;
    double value = 0.0;
    if (!parse_fields(text, value))
        return false;
    seconds = value;
    return true;
}

std::string format_time(double seconds) {
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

}  // namespace dvbk
