// Character classes as the C library gives them in the "C" locale, independent of the user's
// regional settings and of whether `char` is signed: bytes from 0x80 up are never blanks or digits.
#pragma once

namespace dvbk {

inline bool is_c_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline bool is_c_digit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace dvbk
