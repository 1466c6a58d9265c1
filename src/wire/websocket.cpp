#include "wire/websocket.h"

#include <algorithm>
#include <optional>
#include <string>

#include "text/c_locale.h"
#include "text/utf8.h"
#include "wire/base64.h"
#include "wire/sha1.h"

namespace dvbk {
namespace {

bool is_alnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool is_token_char(char c) {
    return is_alnum(c) || std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

// Control characters other than tab have no place in a field value; a stray CR or LF in one would
// mean the sender and we disagree about where lines end.
bool is_field_value(std::string_view value) {
    return std::none_of(value.begin(), value.end(), [](char c) { return is_c_control(c) && c != '\t'; });
}

bool has_token(std::string_view list, std::string_view token) {
    while (!list.empty()) {
        size_t comma = list.find(',');
        if (equals_ignoring_case(trim_blanks(list.substr(0, comma)), token))
            return true;
        list.remove_prefix(comma == std::string_view::npos ? list.size() : comma + 1);
    }
    return false;
}

// 16 bytes make 22 digits and "=="; the last digit holds 2 bits of the 16th byte and 4 zero bits.
bool is_base64_of_16_bytes(std::string_view key) {
    if (key.size() != 24 || key.substr(22) != "==")
        return false;
    for (size_t i = 0; i < 22; ++i) {
        if (base64_digit_value(key[i]) < 0)
            return false;
    }
    return (base64_digit_value(key[21]) & 0x0F) == 0;
}

struct RequestFields {
    std::optional<std::string_view> host, upgrade, version, key, origin;
    bool connection_upgrade = false;
};

// A field we judge by must come once: two origins or two keys leave no one answer to trust.
bool set_once(std::optional<std::string_view>& field, std::string_view value) {
    if (field)
        return false;
    field = value;
    return true;
}

bool read_field(std::string_view line, RequestFields& fields) {
    size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return false;
    // No blank before the colon, and no line folded onto the previous one: both are refused by
    // HTTP/1.1 servers, as they are how requests get read two ways.
    std::string_view name = line.substr(0, colon);
    if (!std::all_of(name.begin(), name.end(), is_token_char))
        return false;
    std::string_view value = trim_blanks(line.substr(colon + 1));
    if (!is_field_value(value))
        return false;
    if (equals_ignoring_case(name, "Host"))
        return set_once(fields.host, value);
    if (equals_ignoring_case(name, "Upgrade"))
        return set_once(fields.upgrade, value);
    if (equals_ignoring_case(name, "Sec-WebSocket-Version"))
        return set_once(fields.version, value);
    if (equals_ignoring_case(name, "Sec-WebSocket-Key"))
        return set_once(fields.key, value);
    if (equals_ignoring_case(name, "Origin"))
        return set_once(fields.origin, value);
    // A list field may be split over several lines.
    if (equals_ignoring_case(name, "Connection"))
        fields.connection_upgrade = fields.connection_upgrade || has_token(value, "upgrade");
    return true;
}

// A browser names the host and port of ws://HOST:PORT/ as it was written, the port left out when it
// is 80, and we are reached only through the loopback.
bool is_our_host(std::string_view host, int port) {
    for (std::string_view name : {"127.0.0.1", "localhost", "[::1]"}) {
        if (host.size() < name.size() || !equals_ignoring_case(host.substr(0, name.size()), name))
            continue;
        std::string_view rest = host.substr(name.size());
        if (rest.empty())
            return port == 80;
        return rest[0] == ':' && rest.substr(1) == std::to_string(port);
    }
    return false;
}

WebSocketHandshake refusal(WebSocketHandshake::Outcome outcome) {
    WebSocketHandshake handshake;
    handshake.outcome = outcome;
    handshake.response = outcome == WebSocketHandshake::Outcome::Forbidden ? websocket_forbidden_response()
                                                                           : websocket_bad_request_response();
    return handshake;
}

constexpr std::uint8_t OP_TEXT = 0x1;
constexpr std::uint8_t OP_BINARY = 0x2;
constexpr std::uint8_t OP_CLOSE = 0x8;
constexpr std::uint8_t OP_PING = 0x9;
constexpr std::uint8_t OP_PONG = 0xA;

bool is_control(std::uint8_t opcode) {
    return opcode >= OP_CLOSE;
}

// The codes a peer may put in a close frame; the rest are reserved or only for local use.
bool is_sendable_close_code(int code) {
    return (code >= 1000 && code <= 1003) || (code >= 1007 && code <= 1014) || (code >= 3000 && code <= 4999);
}

std::string server_frame(std::uint8_t opcode, std::string_view payload) {
    std::string frame;
    frame += static_cast<char>(0x80 | opcode);
    std::uint64_t size = payload.size();
    if (size < 126) {
        frame += static_cast<char>(size);
    } else if (size <= 0xFFFF) {
        frame += static_cast<char>(126);
        frame += static_cast<char>(size >> 8);
        frame += static_cast<char>(size & 0xFF);
    } else {
        frame += static_cast<char>(127);
        for (int shift = 56; shift >= 0; shift -= 8)
            frame += static_cast<char>((size >> shift) & 0xFF);
    }
    frame.append(payload);
    return frame;
}

}  // namespace

std::string websocket_accept_key(std::string_view key) {
    std::string text(key);
    text += "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
    return base64(sha1(text));
}

bool is_extension_origin(std::string_view origin) {
    std::string_view id;
    for (std::string_view scheme : {"chrome-extension://", "moz-extension://"}) {
        if (origin.substr(0, scheme.size()) == scheme)
            id = origin.substr(scheme.size());
    }
    return !id.empty() && id.size() <= 64 &&
           std::all_of(id.begin(), id.end(), [](char c) { return is_alnum(c) || c == '-'; });
}

std::string_view websocket_bad_request_response() {
    return "HTTP/1.1 400 Bad Request\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
}

std::string_view websocket_forbidden_response() {
    return "HTTP/1.1 403 Forbidden\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
}

WebSocketHandshake read_websocket_handshake(std::string_view received, int port) {
    using Outcome = WebSocketHandshake::Outcome;
    constexpr std::string_view request_line = "GET / HTTP/1.1\r\n";
    // Past the limit nothing is looked at, so no later byte can change a verdict.
    std::string_view head = received.substr(0, WEBSOCKET_MAX_HEAD_BYTES);
    // Anything but our one request line is refused without waiting for the rest of it.
    size_t pos = std::min(head.size(), request_line.size());
    if (head.substr(0, pos) != request_line.substr(0, pos))
        return refusal(Outcome::BadRequest);

    RequestFields fields;
    int lines = 0;
    for (;;) {
        size_t end = head.find("\r\n", pos);
        if (end == std::string_view::npos)
            return received.size() >= WEBSOCKET_MAX_HEAD_BYTES ? refusal(Outcome::TooLarge) : WebSocketHandshake{};
        std::string_view line = head.substr(pos, end - pos);
        pos = end + 2;
        if (line.empty())
            break;
        if (++lines > WEBSOCKET_MAX_HEADER_LINES)
            return refusal(Outcome::TooLarge);
        if (!read_field(line, fields))
            return refusal(Outcome::BadRequest);
    }

    if (!fields.origin || !is_extension_origin(*fields.origin) || (fields.host && !is_our_host(*fields.host, port)))
        return refusal(Outcome::Forbidden);
    if (!fields.host || !fields.upgrade || !equals_ignoring_case(*fields.upgrade, "websocket") ||
        !fields.connection_upgrade || fields.version != "13" || !fields.key || !is_base64_of_16_bytes(*fields.key))
        return refusal(Outcome::BadRequest);

    WebSocketHandshake handshake;
    handshake.outcome = Outcome::Accepted;
    handshake.origin = *fields.origin;
    handshake.head_size = pos;
    handshake.response =
        "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: " +
        websocket_accept_key(*fields.key) + "\r\n\r\n";
    return handshake;
}

std::vector<WebSocketMessage> WebSocketReader::feed(std::string_view bytes) {
    std::vector<WebSocketMessage> out;
    size_t pos = 0;
    while (pos < bytes.size() && !finished_) {
        if (!in_payload_) {
            header_[header_size_++] = static_cast<std::uint8_t>(bytes[pos++]);
            take_header_byte(out);
            continue;
        }
        size_t take = static_cast<size_t>(std::min<std::uint64_t>(payload_left_, bytes.size() - pos));
        if (keep_payload_) {
            const std::uint8_t* mask = &header_[header_size_ - 4];
            for (size_t i = 0; i < take; ++i)
                payload_ += static_cast<char>(bytes[pos + i] ^ mask[(payload_offset_ + i) % 4]);
        }
        pos += take;
        payload_offset_ += take;
        payload_left_ -= take;
        if (payload_left_ == 0)
            end_frame(out);
    }
    return out;
}

// Judges the header as each byte of it comes, so a bad frame is refused at its first bad byte and
// a huge announced length is never waited for.
void WebSocketReader::take_header_byte(std::vector<WebSocketMessage>& out) {
    if (header_size_ == 1) {
        std::uint8_t first = header_[0];
        opcode_ = first & 0x0F;
        if (first & 0x70)
            return fail(close_code::PROTOCOL_ERROR, out);
        if (opcode_ == OP_BINARY)
            return fail(close_code::UNSUPPORTED_DATA, out);
        if (opcode_ != OP_TEXT && opcode_ != OP_CLOSE && opcode_ != OP_PING && opcode_ != OP_PONG)
            return fail(close_code::PROTOCOL_ERROR, out);
        if (!(first & 0x80))
            return fail(close_code::PROTOCOL_ERROR, out);
        return;
    }
    std::uint8_t length_code = header_[1] & 0x7F;
    size_t length_bytes = length_code == 127 ? 8 : length_code == 126 ? 2 : 0;
    if (header_size_ == 2) {
        if (!(header_[1] & 0x80))
            return fail(close_code::PROTOCOL_ERROR, out);
        header_needed_ = 2 + length_bytes + 4;
    }
    if (header_size_ == 2 + length_bytes) {
        std::uint64_t length = length_code;
        if (length_bytes > 0) {
            length = 0;
            for (size_t i = 0; i < length_bytes; ++i)
                length = length << 8 | header_[2 + i];
        }
        if (is_control(opcode_) && length > WEBSOCKET_MAX_CONTROL)
            return fail(close_code::PROTOCOL_ERROR, out);
        if (length >> 63)
            return fail(close_code::PROTOCOL_ERROR, out);
        if (length > WEBSOCKET_MAX_TEXT)
            return fail(close_code::TOO_BIG, out);
        payload_left_ = length;
    }
    if (header_size_ < header_needed_)
        return;
    in_payload_ = true;
    payload_offset_ = 0;
    payload_.clear();
    keep_payload_ = !(opcode_ == OP_TEXT && discard_text_);
    if (payload_left_ == 0)
        end_frame(out);
}

void WebSocketReader::end_frame(std::vector<WebSocketMessage>& out) {
    header_size_ = 0;
    header_needed_ = 2;
    in_payload_ = false;
    WebSocketMessage message;
    switch (opcode_) {
        case OP_TEXT:
            if (!keep_payload_)
                return;
            if (!is_valid_utf8(payload_))
                return fail(close_code::INVALID_PAYLOAD, out);
            message.kind = WebSocketMessage::Kind::Text;
            break;
        case OP_PING:
            message.kind = WebSocketMessage::Kind::Ping;
            break;
        case OP_PONG:
            message.kind = WebSocketMessage::Kind::Pong;
            break;
        default:
            message.kind = WebSocketMessage::Kind::Close;
            message.code = close_code::NO_STATUS;
            if (payload_.size() == 1)
                return fail(close_code::PROTOCOL_ERROR, out);
            if (payload_.size() >= 2) {
                message.code = static_cast<unsigned char>(payload_[0]) << 8 | static_cast<unsigned char>(payload_[1]);
                if (!is_sendable_close_code(message.code))
                    return fail(close_code::PROTOCOL_ERROR, out);
                if (!is_valid_utf8(std::string_view(payload_).substr(2)))
                    return fail(close_code::INVALID_PAYLOAD, out);
                payload_.erase(0, 2);
            }
            finished_ = true;
            break;
    }
    message.payload = std::move(payload_);
    payload_.clear();
    out.push_back(std::move(message));
}

void WebSocketReader::fail(int code, std::vector<WebSocketMessage>& out) {
    WebSocketMessage message;
    message.kind = WebSocketMessage::Kind::Failure;
    message.code = code;
    out.push_back(std::move(message));
    finished_ = true;
    payload_.clear();
    payload_.shrink_to_fit();
}

std::string websocket_text_frame(std::string_view text) {
    return server_frame(OP_TEXT, text);
}

std::string websocket_ping_frame(std::string_view payload) {
    return server_frame(OP_PING, payload.substr(0, WEBSOCKET_MAX_CONTROL));
}

std::string websocket_pong_frame(std::string_view payload) {
    return server_frame(OP_PONG, payload.substr(0, WEBSOCKET_MAX_CONTROL));
}

std::string websocket_close_frame(int code, std::string_view reason) {
    std::string payload;
    if (code != close_code::NO_STATUS) {
        payload += static_cast<char>((code >> 8) & 0xFF);
        payload += static_cast<char>(code & 0xFF);
        payload.append(cut_utf8(reason, WEBSOCKET_MAX_CONTROL - 2));
    }
    return server_frame(OP_CLOSE, payload);
}

}  // namespace dvbk
