// Checking and cutting UTF-8 text as it arrives from outside.
#pragma once

#include <cstddef>
#include <string_view>

namespace dvbk {

// Whether `text` is well-formed UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool is_valid_utf8(std::string_view text);

// The longest start of `text` of at most `max_bytes` that does not end inside a UTF-8 sequence.
std::string_view cut_utf8(std::string_view text, size_t max_bytes);

}  // namespace dvbk
