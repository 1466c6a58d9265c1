// Two connections' gates sharing one link's answers, driven by any bytes. The first byte sets the
// scene: bit 0 puts the extension on the allowed list, bit 1 on the refused one, bit 2 and bit 3
// open connection a and b with a good handshake from it. Then each byte is a step: its low two bits
// say what (00 bytes read, whose count comes next; 01 time passing, by the next two bytes in ms;
// 10 the user's answer, bit 2 yes, bit 3 about another extension; 11 the peer goes), bit 4 which
// connection. Nothing undefined; nothing after a gate closed; a report only from an allowed
// extension, valid UTF-8 and within the cap; one question per extension in a run; lost only what
// was followed; our sends are an HTTP answer first, then whole unmasked frames; and the same
// actions when the bytes of the steps come one at a time.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "players/browser_gate.h"
#include "text/utf8.h"

namespace {

using dvbk::BrowserGate;
using dvbk::GateAction;
using Kind = GateAction::Kind;

constexpr int PORT = 47813;
const std::string EXTENSION = "chrome-extension://abcdefghijklmnopabcdefghijklmnop";
const std::string STRANGER = "moz-extension://stranger";
const std::string HEAD =
    "GET / HTTP/1.1\r\nHost: 127.0.0.1:47813\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
    "Sec-WebSocket-Version: 13\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nOrigin: " +
    EXTENSION + "\r\n\r\n";

void check(bool ok) {
    if (!ok)
        std::abort();
}

// An unmasked, final frame of ours, exactly: control frames short, text of any length.
bool is_server_frame(std::string_view bytes) {
    if (bytes.size() < 2)
        return false;
    unsigned first = static_cast<unsigned char>(bytes[0]);
    unsigned length = static_cast<unsigned char>(bytes[1]);
    if (first != 0x81 && first != 0x88 && first != 0x89 && first != 0x8A)
        return false;
    if (first != 0x81 && length > dvbk::WEBSOCKET_MAX_CONTROL)
        return false;
    if (length == 126)
        return bytes.size() >= 4 && bytes.size() - 4 == (size_t(static_cast<unsigned char>(bytes[2])) << 8 |
                                                         static_cast<unsigned char>(bytes[3]));
    return length < 126 && bytes.size() - 2 == length;
}

// What one connection has been told to do so far, and what it may still be told.
struct Watch {
    bool answered_handshake = false;
    bool closed = false;
    bool lost = false;
};

// One run of the steps; every action, in order, tagged with its connection.
struct Run {
    dvbk::BrowserOrigins origins;
    std::vector<BrowserGate> gates;
    Watch watch[2];
    std::set<std::string> asked;
    std::vector<std::pair<int, GateAction>> actions;

    void take(int which, const std::vector<GateAction>& out) {
        const BrowserGate& gate = gates[which];
        Watch& w = watch[which];
        for (size_t i = 0; i < out.size(); ++i) {
            const GateAction& action = out[i];
            check(!w.closed);
            switch (action.kind) {
                case Kind::Send:
                    check(w.answered_handshake ? is_server_frame(action.text) : action.text.rfind("HTTP/1.1 ", 0) == 0);
                    w.answered_handshake = true;
                    break;
                case Kind::Deliver:
                    check(gate.open() && gate.permission() == dvbk::BrowserPermission::Allowed &&
                          action.text.size() <= dvbk::WEBSOCKET_MAX_TEXT && dvbk::is_valid_utf8(action.text));
                    break;
                case Kind::Ask:
                    check(action.text == gate.origin() && asked.insert(action.text).second);
                    break;
                case Kind::Lost:
                    check(!w.lost && gate.permission() == dvbk::BrowserPermission::Allowed && i + 1 < out.size() &&
                          out[i + 1].kind == Kind::Close);
                    w.lost = true;
                    break;
                case Kind::Close:
                    check(i + 1 == out.size() && gate.done());
                    w.closed = true;
                    break;
            }
            actions.emplace_back(which, action);
        }
        check(w.closed == gate.done());
    }
};

// Runs the input; with `bytewise`, read bytes reach the gate one at a time.
std::vector<std::pair<int, GateAction>> run(const std::uint8_t* data, size_t size, bool bytewise, size_t& fed) {
    Run r;
    std::uint8_t scene = data[0];
    if (scene & 1)
        r.origins.allowed.push_back(EXTENSION);
    if (scene & 2)
        r.origins.refused.push_back(EXTENSION);
    std::uint64_t now = 1000;
    r.gates.reserve(2);
    r.gates.emplace_back(r.origins, PORT, now);
    r.gates.emplace_back(r.origins, PORT, now);
    fed = 0;
    auto feed = [&](int which, std::string_view bytes, bool whole = false) {
        fed += bytes.size();
        if (bytes.empty())
            return;  // a read brings at least a byte; none is the peer's close
        if (whole || !bytewise) {
            r.take(which, r.gates[which].receive(bytes, now));
            return;
        }
        for (char c : bytes)
            r.take(which, r.gates[which].receive(std::string_view(&c, 1), now));
    };
    for (int which = 0; which < 2; ++which) {
        if (scene & (4 << which))
            feed(which, HEAD, true);  // the handshake in pieces is fuzz_websocket_handshake's
    }
    size_t pos = 1;
    while (pos < size) {
        std::uint8_t step = data[pos++];
        int which = (step >> 4) & 1;
        switch (step & 3) {
            case 0: {
                size_t count = pos < size ? data[pos++] : 0;
                count = std::min(count, size - pos);
                feed(which, std::string_view(reinterpret_cast<const char*>(data + pos), count));
                pos += count;
                break;
            }
            case 1: {
                std::uint64_t ms = pos < size ? data[pos++] : 0;
                ms = ms << 8 | (pos < size ? data[pos++] : 0);
                now += ms;
                for (int each = 0; each < 2; ++each)
                    r.take(each, r.gates[each].tick(now));
                break;
            }
            case 2: {
                const std::string& origin = step & 8 ? STRANGER : EXTENSION;
                bool allow = step & 4;
                r.origins.settle(origin, allow);
                for (int each = 0; each < 2; ++each)
                    r.take(each, r.gates[each].answer(origin, allow));
                break;
            }
            default:
                r.take(which, r.gates[which].drop());
                break;
        }
    }
    // A closed gate stays closed and silent.
    for (BrowserGate& gate : r.gates) {
        if (gate.done())
            check(gate.receive(HEAD, now).empty() && gate.tick(now + 100000).empty() && gate.drop().empty());
    }
    return r.actions;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    size_t fed = 0;
    std::vector<std::pair<int, GateAction>> whole = run(data, size, false, fed);
    // Past the longest head, a read that completes one may carry more than the gate looks at.
    if (fed <= dvbk::WEBSOCKET_MAX_HEAD_BYTES)
        check(run(data, size, true, fed) == whole);
    return 0;
}
