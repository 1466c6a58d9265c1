// Text as the C library sees it in the "C" locale, independent of the user's regional settings and
// of whether `char` is signed: bytes from 0x80 up are never blanks, digits, letters or control
// bytes, letter case is ASCII's only, and the decimal separator is always a point.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dvbk {

inline bool is_c_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline bool is_c_digit(char c) {
    return c >= '0' && c <= '9';
}

// A C0 control byte or DEL: nothing a line of text shows.
inline bool is_c_control(char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}

// The value of a hexadecimal digit in either letter case; -1 for any other character.
inline int hex_digit_value(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

inline char ascii_lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whole-text comparison, ASCII letters without regard to case: script keywords, HTTP header names,
// the words of other tools' files.
bool equals_ignoring_case(std::string_view a, std::string_view b);

// `text` without the blanks and tabs at either end, as HTTP header values are read.
std::string_view trim_blanks(std::string_view text);

// A quoted line is cut here: a binary file or a runaway line would otherwise turn a one-line
// message into megabytes of text.
inline constexpr size_t MAX_QUOTED_LINE = 200;

// A line of a file as a message quotes it: cut after MAX_QUOTED_LINE bytes (then "..." follows),
// and with control bytes other than the tab shown as "?". A NUL would end the message early
// wherever it is shown as C text, and an escape sequence must not reach the user's terminal.
std::string quote_line(std::string_view line);

// A left-to-right reader of numbers as a stream extracts them. It never looks past the end of the
// view, so a NUL byte inside the text is an ordinary character that ends a number.
class CReader {
public:
    explicit CReader(std::string_view text) : text_(text) {}

    bool at_end() const { return pos_ == text_.size(); }
    void skip_space();
    bool take(char c);

    // Skips white space, then an optional sign and decimal digits that must fit 32 bits.
    bool read_int32(std::int32_t& value);

    // Skips white space, then an optional sign, digits with an optional point and fraction, and an
    // optional exponent. A magnitude too large for a double is no number; one too small reads as
    // the nearest double (possibly 0).
    bool read_double(double& value);

private:
    size_t skip_digits();

    std::string_view text_;
    size_t pos_ = 0;
};

}  // namespace dvbk
