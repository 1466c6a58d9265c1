// The program's side of the WebSocket that links it to the browser extension: the opening
// handshake, reading the extension's frames as they arrive in pieces, and writing our own. No
// sockets here; the caller moves the bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dvbk {

// What answers the client's Sec-WebSocket-Key: base64 of the SHA-1 of the key and the fixed GUID.
std::string websocket_accept_key(std::string_view key);

// "chrome-extension://<id>" or "moz-extension://<id>", the id being 1 to 64 letters, digits and
// '-', with nothing after it. Web pages cannot claim such an origin, so only an extension gets in.
bool is_extension_origin(std::string_view origin);

constexpr size_t WEBSOCKET_MAX_HEAD_BYTES = 8192;
constexpr int WEBSOCKET_MAX_HEADER_LINES = 64;

// The full answers to a refused handshake; the connection is closed after sending either.
std::string_view websocket_bad_request_response();  // 400
std::string_view websocket_forbidden_response();    // 403

struct WebSocketHandshake {
    enum class Outcome {
        NeedMore,    // no verdict yet: read more and ask again with everything received so far
        TooLarge,    // the head runs past 8192 bytes or 64 header lines; answer 400
        BadRequest,  // answer 400
        Forbidden,   // not an extension's origin, or none, or a Host other than ours; answer 403
        Accepted,    // answer with `response`; frames start at `head_size`
    };
    Outcome outcome = Outcome::NeedMore;
    std::string response;  // what to send back; empty for NeedMore
    std::string origin;    // Accepted
    size_t head_size = 0;  // Accepted: bytes of the head, its blank line included
};

// Reads the client's opening request, made to us on the loopback port `port`, from the start of
// `received`. A verdict other than NeedMore never changes when more bytes arrive, so a caller may
// decide as soon as one comes. A head that reads as HTTP is judged by its origin and its Host first
// (403), then by the WebSocket fields (400); a page's plain fetch of our port thus gets 403 like its
// WebSocket would. The Host must name the loopback and `port` (127.0.0.1, localhost or [::1], the
// name in any case): a page whose own name was made to point at 127.0.0.1 (DNS rebinding) sends
// its name, and is turned away even should the browser let it claim an extension's origin.
WebSocketHandshake read_websocket_handshake(std::string_view received, int port);

// Client frames are capped: text well above any report, control frames as RFC 6455 caps them.
constexpr size_t WEBSOCKET_MAX_TEXT = 4096;
constexpr size_t WEBSOCKET_MAX_CONTROL = 125;

namespace close_code {
constexpr int NORMAL = 1000;
constexpr int PROTOCOL_ERROR = 1002;
constexpr int UNSUPPORTED_DATA = 1003;
constexpr int NO_STATUS = 1005;  // never sent; stands for a close without a code
constexpr int INVALID_PAYLOAD = 1007;
constexpr int POLICY_VIOLATION = 1008;
constexpr int TOO_BIG = 1009;
constexpr int TRY_AGAIN_LATER = 1013;
}  // namespace close_code

struct WebSocketMessage {
    enum class Kind {
        Text,
        Ping,  // answer with a pong carrying `payload`
        Pong,
        Close,    // the peer is closing: `code` (no_status when it gave none), `payload` its reason
        Failure,  // the peer broke the protocol: close with `code`
    };
    Kind kind = Kind::Text;
    std::string payload;
    int code = 0;

    friend bool operator==(const WebSocketMessage&, const WebSocketMessage&) = default;
};

// Cuts the client's byte stream into messages, whatever sizes the reads come in. Holds at most one
// frame's header and one text payload. After a Close or a Failure, the stream is over and any
// further bytes are ignored.
class WebSocketReader {
public:
    // The messages completed by `bytes`, in order.
    std::vector<WebSocketMessage> feed(std::string_view bytes);

    // While set, text frames are skipped without being kept or checked and yield no message; the
    // framing still stays in step and pings still come out. Taken into account from the next frame
    // whose header is complete.
    void set_discard_text(bool discard) { discard_text_ = discard; }

    bool finished() const { return finished_; }

private:
    void take_header_byte(std::vector<WebSocketMessage>& out);
    void end_frame(std::vector<WebSocketMessage>& out);
    void fail(int code, std::vector<WebSocketMessage>& out);

    bool discard_text_ = false;
    bool finished_ = false;
    std::array<std::uint8_t, 14> header_{};  // 2 + 8 length bytes + 4 mask bytes at most
    size_t header_size_ = 0;
    size_t header_needed_ = 2;
    bool in_payload_ = false;
    bool keep_payload_ = false;
    std::uint8_t opcode_ = 0;
    std::uint64_t payload_left_ = 0;
    std::uint64_t payload_offset_ = 0;  // for the mask, which repeats every 4 bytes
    std::string payload_;
};

// Server frames, unmasked and unfragmented.
std::string websocket_text_frame(std::string_view text);
std::string websocket_ping_frame(std::string_view payload);  // payload cut to 125 bytes
std::string websocket_pong_frame(std::string_view payload);  // payload cut to 125 bytes
// A close frame with `code` and a reason cut to fit 125 bytes. close_code::NO_STATUS gives a close
// without a code, the answer to a close that had none.
std::string websocket_close_frame(int code, std::string_view reason = {});

}  // namespace dvbk
