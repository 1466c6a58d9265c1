// SHA-1, for the WebSocket handshake's accept key alone: it is no longer fit for anything that must
// resist forgery.
#pragma once

#include <string>
#include <string_view>

namespace dvbk {

// The 20-byte SHA-1 digest of `bytes`, raw.
std::string sha1(std::string_view bytes);

}  // namespace dvbk
