// Standard base64 ("A".."Z", "a".."z", "0".."9", "+", "/", with "=" padding): HTTP Basic
// authentication's credentials and the WebSocket handshake's keys.
#pragma once

#include <string>
#include <string_view>

namespace dvbk {

// `bytes` as base64 with "=" padding.
std::string base64(std::string_view bytes);

// The value (0 to 63) of one base64 digit; -1 for anything else, "=" included.
int base64_digit_value(char c);

}  // namespace dvbk
