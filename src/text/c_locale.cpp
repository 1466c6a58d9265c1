#include "text/c_locale.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace dvbk {

bool equals_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (ascii_lower(a[i]) != ascii_lower(b[i]))
            return false;
    }
    return true;
}

std::string_view trim_blanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::string quote_line(std::string_view line) {
    std::string quoted(line.substr(0, MAX_QUOTED_LINE));
    for (char& c : quoted) {
        if (is_c_control(c) && c != '\t')
            c = '?';
    }
    if (line.size() > MAX_QUOTED_LINE)
        quoted += "...";
    return quoted;
}

void CReader::skip_space() {
    while (pos_ < text_.size() && is_c_space(text_[pos_]))
        ++pos_;
}

bool CReader::take(char c) {
    if (pos_ < text_.size() && text_[pos_] == c) {
        ++pos_;
        return true;
    }
    return false;
}

size_t CReader::skip_digits() {
    size_t begin = pos_;
    while (pos_ < text_.size() && is_c_digit(text_[pos_]))
        ++pos_;
    return pos_ - begin;
}

bool CReader::read_int32(std::int32_t& value) {
    skip_space();
    bool negative = false;
    if (!take('+'))
        negative = take('-');
    size_t begin = pos_;
    std::int64_t magnitude = 0;
    for (; pos_ < text_.size() && is_c_digit(text_[pos_]); ++pos_) {
        magnitude = magnitude * 10 + (text_[pos_] - '0');
        if (magnitude > (std::int64_t{1} << 31))
            return false;
    }
    if (pos_ == begin)
        return false;
    std::int64_t signed_value = negative ? -magnitude : magnitude;
    if (signed_value > INT32_MAX)
        return false;
    value = static_cast<std::int32_t>(signed_value);
    return true;
}

bool CReader::read_double(double& value) {
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
    // strtod needs a terminated copy. The program never changes the C locale from "C".
    std::string number(text_.substr(start, pos_ - start));
    double parsed = std::strtod(number.c_str(), nullptr);
    if (!std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

}  // namespace dvbk
