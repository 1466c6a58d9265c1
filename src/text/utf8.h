// UTF-8: read a code point at a time, written, checked and cut, for text from outside (a socket,
// a subtitle file).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dvbk {

// U+FFFD, which stands for what cannot be read.
inline constexpr char32_t REPLACEMENT_CHARACTER = 0xFFFD;

// Reads the code point at `pos` and moves past it. False for a byte that starts no well-formed
// sequence (overlong forms and surrogates included): `cp` is then U+FFFD and `pos` moves one byte.
bool next_code_point(std::string_view text, size_t& pos, char32_t& cp);

// Appends `cp` (at most U+10FFFF) as UTF-8.
void append_utf8(std::string& text, char32_t cp);

// Whether `text` is well-formed UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool is_valid_utf8(std::string_view text);

// The longest start of `text` of at most `max_bytes` that does not end inside a UTF-8 sequence.
std::string_view cut_utf8(std::string_view text, size_t max_bytes);

}  // namespace dvbk
