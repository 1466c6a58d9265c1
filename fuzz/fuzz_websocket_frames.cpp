// Any bytes as what a client sends after the handshake; the first byte picks discarding text
// (bit 0), the next two where to cut the rest. Nothing undefined; the same messages whether the
// bytes come whole, cut in two or one at a time; every message within its limits; discarding
// changes nothing but the text messages; our own frames, masked, read back as written. Each text
// message, and the rest of the input itself, also goes through the browser report reader.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wire/browser_report.h"
#include "wire/media_location.h"
#include "text/utf8.h"
#include "wire/websocket.h"

namespace {

using dvbk::WebSocketMessage;
using Kind = WebSocketMessage::Kind;

std::vector<WebSocketMessage> read_in_pieces(std::string_view bytes, bool discard, size_t piece) {
    dvbk::WebSocketReader reader;
    reader.set_discard_text(discard);
    std::vector<WebSocketMessage> messages;
    for (size_t pos = 0; pos < bytes.size(); pos += piece) {
        for (WebSocketMessage& message : reader.feed(bytes.substr(pos, piece)))
            messages.push_back(std::move(message));
    }
    bool ends = !messages.empty() && (messages.back().kind == Kind::Close || messages.back().kind == Kind::Failure);
    // Once over, the stream stays over.
    if (ends != reader.finished() || (ends && !reader.feed(std::string_view("\x81\x80\0\0\0\0", 6)).empty()))
        std::abort();
    return messages;
}

std::vector<WebSocketMessage> read_cut(std::string_view bytes, bool discard, size_t cut) {
    dvbk::WebSocketReader reader;
    reader.set_discard_text(discard);
    std::vector<WebSocketMessage> messages = reader.feed(bytes.substr(0, cut));
    for (WebSocketMessage& message : reader.feed(bytes.substr(cut)))
        messages.push_back(std::move(message));
    return messages;
}

void check_limits(const std::vector<WebSocketMessage>& messages, bool discard) {
    for (size_t i = 0; i < messages.size(); ++i) {
        const WebSocketMessage& m = messages[i];
        bool last = i + 1 == messages.size();
        switch (m.kind) {
            case Kind::Text:
                if (discard || m.payload.size() > dvbk::WEBSOCKET_MAX_TEXT || !dvbk::is_valid_utf8(m.payload))
                    std::abort();
                break;
            case Kind::Ping:
            case Kind::Pong:
                if (m.payload.size() > dvbk::WEBSOCKET_MAX_CONTROL)
                    std::abort();
                break;
            case Kind::Close:
                if (!last || m.payload.size() > dvbk::WEBSOCKET_MAX_CONTROL - 2 || !dvbk::is_valid_utf8(m.payload) ||
                    (m.code != dvbk::close_code::NO_STATUS && (m.code < 1000 || m.code > 4999)) ||
                    (m.code == dvbk::close_code::NO_STATUS && !m.payload.empty()))
                    std::abort();
                break;
            case Kind::Failure:
                if (!last || (m.code != 1002 && m.code != 1003 && m.code != 1007 && m.code != 1009))
                    std::abort();
                break;
        }
    }
}

// A server frame as a client would send it: masked, with a mask of zeros that leaves it as it is.
std::string masked(std::string frame) {
    size_t length_code = static_cast<unsigned char>(frame[1]);
    size_t mask_at = 2 + (length_code == 127 ? 8 : length_code == 126 ? 2 : 0);
    frame[1] = static_cast<char>(frame[1] | 0x80);
    return frame.insert(mask_at, 4, '\0');
}

void check_written(const std::string& client_bytes, const WebSocketMessage& expected) {
    std::vector<WebSocketMessage> back = dvbk::WebSocketReader().feed(client_bytes);
    if (back.size() != 1 || back[0] != expected)
        std::abort();
}

void check_report(std::string_view text, bool utf8) {
    std::optional<dvbk::BrowserReport> report = dvbk::read_browser_report(text);
    if (!report)
        return;
    if (report->title.size() > dvbk::BROWSER_TITLE_MAX_BYTES || (utf8 && !dvbk::is_valid_utf8(report->title)))
        std::abort();
    for (char c : report->title) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            std::abort();
    }
    // A video's name is compared with the one followed and nothing else: never empty, never long,
    // only the characters allowed.
    bool names_video =
        report->kind == dvbk::BrowserReport::Kind::Video || report->kind == dvbk::BrowserReport::Kind::Gone;
    if (names_video != !report->video.empty() || report->video.size() > dvbk::BROWSER_VIDEO_MAX_BYTES ||
        report->video.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._:") !=
            std::string::npos)
        std::abort();
    if (report->kind == dvbk::BrowserReport::Kind::Video &&
        (!std::isfinite(report->current_time) || report->current_time < 0.0 || !(report->playback_rate > 0.0) ||
         report->playback_rate > 16.0 || !(report->age_ms >= 0.0) || report->age_ms > 60000.0 ||
         (report->duration && !(*report->duration >= 0.0 && std::isfinite(*report->duration)))))
        std::abort();
    // The page's address only ever as page_address leaves it.
    if (!report->page.empty() && dvbk::page_address(report->page) != report->page)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3)
        return 0;
    bool discard = data[0] & 1;
    std::string_view bytes(reinterpret_cast<const char*>(data + 3), size - 3);
    size_t cut = (size_t(data[1]) << 8 | data[2]) % (bytes.size() + 1);

    std::vector<WebSocketMessage> whole = read_in_pieces(bytes, discard, bytes.size() + 1);
    check_limits(whole, discard);
    if (read_cut(bytes, discard, cut) != whole || read_in_pieces(bytes, discard, 1) != whole)
        std::abort();

    // With text discarded, the rest comes out the same, unless keeping it ended in bad text.
    std::vector<WebSocketMessage> kept = discard ? read_in_pieces(bytes, false, bytes.size() + 1) : whole;
    std::vector<WebSocketMessage> others;
    for (const WebSocketMessage& m : kept) {
        if (m.kind != Kind::Text)
            others.push_back(m);
    }
    bool bad_text = !others.empty() && others.back().kind == Kind::Failure && others.back().code == 1007;
    if (!bad_text && others != read_in_pieces(bytes, true, bytes.size() + 1))
        std::abort();

    for (const WebSocketMessage& m : whole) {
        if (m.kind == Kind::Text) {
            check_written(masked(dvbk::websocket_text_frame(m.payload)), m);
            check_report(m.payload, true);
        } else if (m.kind == Kind::Ping) {
            WebSocketMessage pong{Kind::Pong, m.payload, 0};
            check_written(masked(dvbk::websocket_pong_frame(m.payload)), pong);
        } else if (m.kind == Kind::Close) {
            check_written(masked(dvbk::websocket_close_frame(m.code, m.payload)), m);
        }
    }
    check_report(bytes, false);
    return 0;
}
