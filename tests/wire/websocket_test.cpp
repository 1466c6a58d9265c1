#include "wire/websocket.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "wire/sha1.h"

namespace dvbk {
namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;
using Outcome = WebSocketHandshake::Outcome;

std::string hex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (char c : bytes) {
        text += digits[static_cast<unsigned char>(c) >> 4];
        text += digits[c & 0x0F];
    }
    return text;
}

TEST(WebSocket, Sha1) {
    struct Case {
        std::string bytes;
        const char* digest;
    };
    const Case cases[] = {
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {std::string(55, 'a'), "c1c8bbdc22796e28c0e15163d20899b65621d65a"},
        {std::string(64, 'a'), "0098ba824b5c16427bd7a1122a5a442a25ec644d"},
        {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.size());
        EXPECT_EQ(c.digest, hex(sha1(c.bytes)));
    }
    EXPECT_EQ("s3pPLMBiTxaQ9kYGzzhZRbK+xOo=", websocket_accept_key("dGhlIHNhbXBsZSBub25jZQ=="));
}

// As Chromium sends it from an extension's service worker.
const std::string chrome_head =
    "GET / HTTP/1.1\r\nHost: 127.0.0.1:47813\r\nConnection: Upgrade\r\nPragma: no-cache\r\n"
    "Cache-Control: no-cache\r\nUser-Agent: Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/126.0.0.0 Safari/537.36\r\nUpgrade: websocket\r\nOrigin: "
    "chrome-extension://mhjfbmdgcfjbbpaeojofohoefgiehjai\r\n"
    "Sec-WebSocket-Version: 13\r\nAccept-Encoding: gzip, deflate, br, zstd\r\nAccept-Language: en-US,en;q=0.9\r\n"
    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Extensions: permessage-deflate; "
    "client_max_window_bits\r\n\r\n";
// As Firefox sends it from an extension's background page.
const std::string firefox_head =
    "GET / HTTP/1.1\r\nHost: 127.0.0.1:47813\r\nUser-Agent: Mozilla/5.0 (X11; Linux x86_64; rv:128.0) Gecko/20100101 "
    "Firefox/128.0\r\nAccept: */*\r\nAccept-Language: en-US,en;q=0.5\r\nAccept-Encoding: gzip, deflate, br, zstd\r\n"
    "Sec-WebSocket-Version: 13\r\nOrigin: moz-extension://2c127fa4-62c7-7e4f-90e5-472b45eecfdc\r\n"
    "Sec-WebSocket-Extensions: permessage-deflate\r\nSec-WebSocket-Key: x3JJHMbDL1EzLkh9GBhXDw==\r\n"
    "Connection: keep-alive, Upgrade\r\nSec-Fetch-Dest: empty\r\nSec-Fetch-Mode: websocket\r\n"
    "Sec-Fetch-Site: cross-site\r\nPragma: no-cache\r\nCache-Control: no-cache\r\nUpgrade: websocket\r\n\r\n";

std::string replaced(std::string text, std::string_view from, std::string_view to) {
    return text.replace(text.find(from), from.size(), to);
}

// A minimal accepted head with `fields` added before its end.
std::string head_with(std::string_view fields) {
    return "GET / HTTP/1.1\r\nHost: 127.0.0.1:47813\r\nUpgrade: websocket\r\nConnection: "
           "Upgrade\r\nSec-WebSocket-Version: 13\r\n"
           "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nOrigin: moz-extension://a\r\n" +
           std::string(fields) + "\r\n";
}

std::string with_origin(const std::string& origin) {
    return replaced(head_with(""), "moz-extension://a", origin);
}

std::string filler_lines(int count) {
    std::string lines;
    for (int i = 0; i < count; ++i)
        lines += "X-" + std::to_string(i) + ": 1\r\n";
    return lines;
}

TEST(WebSocket, Handshake) {
    struct Case {
        const char* what;
        std::string received;
        Outcome outcome;
        int port = 47813;  // where we listen
    };
    auto host = [](std::string_view to) { return replaced(head_with(""), "127.0.0.1:47813", to); };
    std::string padding = "X: " + std::string(8192 - head_with("").size() - 5, 'a') + "\r\n";
    const Case cases[] = {
        {"Chrome", chrome_head, Outcome::Accepted},
        {"Firefox", firefox_head, Outcome::Accepted},
        {"frames follow", chrome_head + "\x81\x85\x37\xfa\x21\x3d\x7f\x9f\x4d\x51\x58", Outcome::Accepted},
        {"names in any case", replaced(replaced(head_with(""), "Upgrade:", "uPGRADE:"), "Origin", "ORIGIN"),
         Outcome::Accepted},
        {"id of 64", with_origin("chrome-extension://" + std::string(64, 'a')), Outcome::Accepted},
        {"64 header lines", head_with(filler_lines(64 - 6)), Outcome::Accepted},
        {"8192 bytes", head_with(padding), Outcome::Accepted},
        {"localhost, any case", host("LocalHost:47813"), Outcome::Accepted},
        {"IPv6 loopback", host("[::1]:47813"), Outcome::Accepted},
        {"port 80 left out", host("127.0.0.1"), Outcome::Accepted, 80},

        {"a page", replaced(chrome_head, "chrome-extension://mhjfbmdgcfjbbpaeojofohoefgiehjai", "https://example.com"),
         Outcome::Forbidden},
        {"null origin", with_origin("null"), Outcome::Forbidden},
        {"no origin", replaced(head_with(""), "Origin: moz-extension://a\r\n", ""), Outcome::Forbidden},
        {"id of 65", with_origin("chrome-extension://" + std::string(65, 'a')), Outcome::Forbidden},
        {"no id", with_origin("moz-extension://"), Outcome::Forbidden},
        {"path after id", with_origin("moz-extension://abc/"), Outcome::Forbidden},
        {"scheme in capitals", with_origin("MOZ-EXTENSION://abc"), Outcome::Forbidden},
        {"another port", host("127.0.0.1:8080"), Outcome::Forbidden},
        {"port left out", host("localhost"), Outcome::Forbidden},
        {"a page's name pointed at the loopback", host("films.example:47813"), Outcome::Forbidden},
        {"a name that starts like ours", host("localhost.films.example:47813"), Outcome::Forbidden},
        {"port with a leading zero", host("127.0.0.1:047813"), Outcome::Forbidden},
        {"empty Host", host(""), Outcome::Forbidden},
        {"page's plain GET", "GET / HTTP/1.1\r\nHost: 127.0.0.1:47813\r\nOrigin: http://evil.example\r\n\r\n",
         Outcome::Forbidden},

        {"no key", replaced(chrome_head, "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n", ""), Outcome::BadRequest},
        {"version 8", replaced(firefox_head, "Version: 13", "Version: 8"), Outcome::BadRequest},
        {"key of 15 bytes", replaced(head_with(""), "dGhlIHNhbXBsZSBub25jZQ==", "MDEyMzQ1Njc4OWFiY2Rl"),
         Outcome::BadRequest},
        {"key with stray bits", replaced(head_with(""), "jZQ==", "jZR=="), Outcome::BadRequest},
        {"no Upgrade", replaced(head_with(""), "Upgrade: websocket\r\n", ""), Outcome::BadRequest},
        {"Connection without Upgrade", replaced(head_with(""), "Connection: Upgrade", "Connection: keep-alive"),
         Outcome::BadRequest},
        {"no Host", replaced(head_with(""), "Host: 127.0.0.1:47813\r\n", ""), Outcome::BadRequest},
        {"two origins", head_with("Origin: moz-extension://b\r\n"), Outcome::BadRequest},
        {"query string", replaced(head_with(""), "GET /", "GET /?a=1"), Outcome::BadRequest},
        {"POST, refused at once", "POST / HT", Outcome::BadRequest},
        {"blank before colon", head_with("X-Y : 1\r\n"), Outcome::BadRequest},
        {"folded line", head_with("X-Y: 1\r\n 2\r\n"), Outcome::BadRequest},
        {"bare LF in a line", head_with("X-Y: 1\nOrigin: moz-extension://b\r\n"), Outcome::BadRequest},

        {"65 header lines", head_with(filler_lines(65 - 6)), Outcome::TooLarge},
        {"8193 bytes", head_with("X" + padding), Outcome::TooLarge},
        {"8192 bytes, no end", "GET / HTTP/1.1\r\nX: " + std::string(8192, 'a'), Outcome::TooLarge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WebSocketHandshake handshake = read_websocket_handshake(c.received, c.port);
        EXPECT_EQ(c.outcome, handshake.outcome);
        if (c.outcome == Outcome::Forbidden) {
            EXPECT_EQ(websocket_forbidden_response(), handshake.response);
        } else if (c.outcome == Outcome::BadRequest || c.outcome == Outcome::TooLarge) {
            EXPECT_EQ(websocket_bad_request_response(), handshake.response);
        }
    }

    WebSocketHandshake chrome = read_websocket_handshake(chrome_head + "\x81\x80", 47813);
    EXPECT_EQ("chrome-extension://mhjfbmdgcfjbbpaeojofohoefgiehjai", chrome.origin);
    EXPECT_EQ(chrome_head.size(), chrome.head_size);
    EXPECT_EQ(
        "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
        "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n",
        chrome.response);
    // Every start of a good head waits for the rest.
    for (size_t size = 0; size < firefox_head.size(); ++size)
        ASSERT_EQ(Outcome::NeedMore, read_websocket_handshake(firefox_head.substr(0, size), 47813).outcome) << size;
}

// A frame as a browser sends it: masked, with the shortest length form unless `length_code` asks
// for a longer one.
std::string client_frame(unsigned first, std::string_view payload, int length_code = 0) {
    static const char mask[] = "\x37\xfa\x21\x3d";
    std::string frame(1, static_cast<char>(first));
    size_t size = payload.size();
    if (length_code == 0)
        length_code = size < 126 ? 0 : size <= 0xFFFF ? 126 : 127;
    frame += static_cast<char>(0x80 | (length_code ? length_code : size));
    for (int shift = length_code == 127 ? 56 : length_code == 126 ? 8 : -8; shift >= 0; shift -= 8)
        frame += static_cast<char>(size >> shift);
    frame.append(mask, 4);
    for (size_t i = 0; i < size; ++i)
        frame += static_cast<char>(payload[i] ^ mask[i % 4]);
    return frame;
}

std::string describe(const WebSocketMessage& message) {
    static const char* const kinds[] = {"text", "ping", "pong", "close", "fail"};
    std::string text = kinds[static_cast<int>(message.kind)];
    if (message.code != 0) {
        text += ' ';
        text += std::to_string(message.code);
    }
    if (!message.payload.empty()) {
        text += ' ';
        text += message.payload;
    }
    return text;
}

std::vector<std::string> read_all(std::string_view bytes, bool discard, size_t piece) {
    WebSocketReader reader;
    reader.set_discard_text(discard);
    std::vector<std::string> seen;
    for (size_t pos = 0; pos < bytes.size(); pos += piece) {
        for (const WebSocketMessage& message : reader.feed(bytes.substr(pos, piece)))
            seen.push_back(describe(message));
    }
    return seen;
}

TEST(WebSocket, ReadsFrames) {
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::string> messages;
        bool discard = false;
    };
    const std::string hello = "\x81\x85\x37\xfa\x21\x3d\x7f\x9f\x4d\x51\x58";
    const std::string big(4096, 'x'), long_text(300, 'y');
    const std::string close_bye = client_frame(0x88,
                                               "\x03\xe8"
                                               "bye");
    const Case cases[] = {
        {"masked Hello", hello, {"text Hello"}},
        {"ping mid-stream, one read",
         hello + client_frame(0x89, "p1") + client_frame(0x8A, "") + hello,
         {"text Hello", "ping p1", "pong", "text Hello"}},
        {"empty text", client_frame(0x81, ""), {"text"}},
        {"UTF-8", client_frame(0x81, "\xc3\xa9\xf0\x9f\x8e\xac"), {"text \xc3\xa9\xf0\x9f\x8e\xac"}},
        {"64-bit length", client_frame(0x81, long_text, 127), {"text " + long_text}},
        {"4096 bytes", client_frame(0x81, big), {"text " + big}},
        {"close", close_bye + hello, {"close 1000 bye"}},
        {"close, no code", client_frame(0x88, ""), {"close 1005"}},

        {"unmasked", "\x81\x05Hello", {"fail 1002"}},
        {"fragmented", client_frame(0x01, "Hel") + client_frame(0x80, "lo"), {"fail 1002"}},
        {"continuation", client_frame(0x80, "lo"), {"fail 1002"}},
        {"reserved bit", client_frame(0xC1, "x"), {"fail 1002"}},
        {"binary", client_frame(0x82, "x"), {"fail 1003"}},
        {"unknown opcode", client_frame(0x83, "x"), {"fail 1002"}},
        {"4097 bytes, header only", client_frame(0x81, big + "x").substr(0, 4), {"fail 1009"}},
        {"top length bit", "\x81\xff\x80\0\0\0\0\0\0\x05"s, {"fail 1002"}},
        {"ping of 126", client_frame(0x89, std::string(126, 'p')), {"fail 1002"}},
        {"invalid UTF-8", hello + client_frame(0x81, "\xc0\xaf"), {"text Hello", "fail 1007"}},
        {"close of 1 byte", client_frame(0x88, "\x03"), {"fail 1002"}},
        {"close code 1005", client_frame(0x88, "\x03\xed"), {"fail 1002"}},
        {"close reason not UTF-8", client_frame(0x88, "\x03\xe8\xff"), {"fail 1007"}},

        {"discarding", hello + client_frame(0x89, "p") + client_frame(0x81, "\xff") + hello, {"ping p"}, true},
        {"discarding, still capped", client_frame(0x81, big + "x"), {"fail 1009"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.messages, read_all(c.bytes, c.discard, c.bytes.size()));
        EXPECT_EQ(c.messages, read_all(c.bytes, c.discard, 1));
        for (size_t split = 1; split < c.bytes.size() && split < 40; ++split)
            ASSERT_EQ(c.messages, read_all(c.bytes, c.discard, split)) << split;
    }
}

TEST(WebSocket, WritesFrames) {
    struct Case {
        std::string frame;
        std::string_view start;
        size_t size;
    };
    const std::string accented = std::string(122, 'r') + "\xc3\xa9";
    const Case cases[] = {
        {websocket_text_frame(std::string(200, 'x')), "\x81\x7e\x00\xc8xx"sv, 204},
        {websocket_text_frame(std::string(65536, 'x')), "\x81\x7f\0\0\0\0\0\x01\0\0xx"sv, 65546},
        {websocket_pong_frame("p1"), "\x8a\x02p1", 4},
        {websocket_pong_frame(std::string(200, 'p')), "\x8a\x7dpp", 127},
        {websocket_close_frame(close_code::NORMAL), "\x88\x02\x03\xe8", 4},
        {websocket_close_frame(close_code::POLICY_VIOLATION, "refused"), "\x88\x09\x03\xf0refused", 11},
        {websocket_close_frame(close_code::NO_STATUS), "\x88\x00"sv, 2},
        {websocket_close_frame(close_code::NORMAL, accented), "\x88\x7c\x03\xe8rr", 126},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(hex(c.start));
        EXPECT_EQ(hex(c.start), hex(c.frame.substr(0, c.start.size())));
        EXPECT_EQ(c.size, c.frame.size());
    }
}

}  // namespace
}  // namespace dvbk
