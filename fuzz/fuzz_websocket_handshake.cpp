// Any bytes as the start of a client's opening request; the first two bytes say where to cut it.
// Nothing undefined; a verdict reached on the part before the cut is the one on the whole; an
// accepted head is a start of the input, ends in its blank line, and reads the same on its own.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "wire/websocket.h"

namespace {

using dvbk::WebSocketHandshake;
using Outcome = WebSocketHandshake::Outcome;

constexpr int PORT = 47813;  // the seeds' Host

bool same(const WebSocketHandshake& a, const WebSocketHandshake& b) {
    return a.outcome == b.outcome && a.response == b.response && a.origin == b.origin && a.head_size == b.head_size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    std::string_view received(reinterpret_cast<const char*>(data + 2), size - 2);
    size_t cut = (size_t(data[0]) << 8 | data[1]) % (received.size() + 1);

    WebSocketHandshake whole = dvbk::read_websocket_handshake(received, PORT);
    WebSocketHandshake part = dvbk::read_websocket_handshake(received.substr(0, cut), PORT);
    if (part.outcome != Outcome::NeedMore && !same(part, whole))
        std::abort();
    if ((whole.outcome == Outcome::NeedMore) != whole.response.empty())
        std::abort();
    if (whole.outcome == Outcome::NeedMore && received.size() >= dvbk::WEBSOCKET_MAX_HEAD_BYTES)
        std::abort();
    if (whole.outcome != Outcome::Accepted)
        return 0;

    std::string_view head = received.substr(0, whole.head_size);
    if (whole.head_size > received.size() || whole.head_size > dvbk::WEBSOCKET_MAX_HEAD_BYTES ||
        head.substr(head.size() - 4) != "\r\n\r\n" || !dvbk::is_extension_origin(whole.origin) ||
        whole.response.rfind("HTTP/1.1 101 Switching Protocols\r\n", 0) != 0)
        std::abort();
    if (!same(dvbk::read_websocket_handshake(head, PORT), whole) ||
        dvbk::read_websocket_handshake(head.substr(0, head.size() - 1), PORT).outcome != Outcome::NeedMore)
        std::abort();
    return 0;
}
