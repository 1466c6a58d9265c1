#include "players/browser_connections.h"
#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace dvbk {
namespace {

const std::string EXTENSION = "chrome-extension://abcdefghijklmnopabcdefghijklmnop";
const std::string STRANGER = "moz-extension://4b9d1c7e-2f3a-4c55-9d0e-1a2b3c4d5e6f";

std::string head_from(std::string_view origin) {
    return "GET / HTTP/1.1\r\nHost: 127.0.0.1:47813\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
           "Sec-WebSocket-Version: 13\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nOrigin: " +
           std::string(origin) + "\r\n\r\n";
}
const std::string HEAD = head_from(EXTENSION);

// A frame as a browser sends it: masked, final, with fewer than 126 bytes.
std::string client_frame(unsigned first, std::string_view payload) {
    static const char mask[] = "\x37\xfa\x21\x3d";
    std::string frame{static_cast<char>(first), static_cast<char>(0x80 | payload.size())};
    frame.append(mask, 4);
    for (size_t i = 0; i < payload.size(); ++i)
        frame += static_cast<char>(payload[i] ^ mask[i % 4]);
    return frame;
}
std::string text(std::string_view payload) {
    return client_frame(0x81, payload);
}

// What the gate said, short: "send 101" (the answer to the handshake), "send pending" (a status
// message), "send pong p", "send close 1008 refused in DunvelBlenk", "deliver r1", "ask ORIGIN",
// "lost", "close". Our frames here are all shorter than 126 bytes.
std::string describe(const GateAction& action) {
    static const char* const kinds[] = {"send", "deliver", "ask", "lost", "close"};
    std::string said = kinds[static_cast<int>(action.kind)];
    std::string detail = action.text;
    if (action.kind == GateAction::Kind::Send && detail.rfind("HTTP/1.1 ", 0) == 0) {
        detail = detail.substr(9, 3);
    } else if (action.kind == GateAction::Kind::Send) {
        unsigned opcode = static_cast<unsigned char>(detail[0]) & 0x0F;
        std::string payload = detail.substr(2);
        size_t state = payload.find(R"("state":")");
        if (opcode == 0x1)
            detail = state == std::string::npos ? payload : payload.substr(state + 9, payload.size() - state - 11);
        else if (opcode == 0x8 && payload.size() >= 2)
            detail =
                "close " +
                std::to_string(static_cast<unsigned char>(payload[0]) << 8 | static_cast<unsigned char>(payload[1])) +
                (payload.size() > 2 ? " " : "") + payload.substr(2);
        else
            detail = (opcode == 0x9   ? "ping"
                      : opcode == 0xA ? "pong"
                                      : "close") +
                     (payload.empty() ? "" : " " + payload);
    }
    return detail.empty() ? said : said + " " + detail;
}

// One thing that happens to a connection (named by a letter) and what the link's rules say back. A
// connection is accepted at its first step; a tick and an answer go to every connection.
struct Step {
    enum class Kind { Bytes, Tick, Answer, Drop };
    Kind kind;
    char connection;
    std::uint64_t at;   // Bytes, Tick; a connection opens at its first step's time
    std::string bytes;  // Bytes; Answer: the origin
    bool allow;         // Answer
    std::vector<std::string> out;
};

Step in(std::uint64_t at, std::string bytes, std::vector<std::string> out, char connection = 'a') {
    return {Step::Kind::Bytes, connection, at, std::move(bytes), false, std::move(out)};
}
Step tick(std::uint64_t at, std::vector<std::string> out) {
    return {Step::Kind::Tick, 'a', at, {}, false, std::move(out)};
}
Step answer(bool allow, std::vector<std::string> out, const std::string& origin = EXTENSION) {
    return {Step::Kind::Answer, 'a', 0, origin, allow, std::move(out)};
}
Step gone(std::vector<std::string> out) {
    return {Step::Kind::Drop, 'a', 0, {}, false, std::move(out)};
}

struct Scenario {
    const char* what;
    std::vector<std::string> allowed, refused;
    std::vector<Step> steps;
    // The lists after the steps (the answers kept); unchecked when both are empty.
    std::vector<std::string> allowed_after{}, refused_after{};
};

// Runs the steps; with `named`, every line of output starts with its connection's letter, and a
// connection turned away as it comes says "no room".
void run(const Scenario& scenario, bool named) {
    SCOPED_TRACE(scenario.what);
    BrowserConnections connections(47813, scenario.allowed, scenario.refused);
    std::map<ConnectionId, char> letters;
    std::map<char, ConnectionId> ids;
    int number = 0;
    for (const Step& step : scenario.steps) {
        SCOPED_TRACE("step " + std::to_string(++number));
        std::vector<std::string> said;
        auto note = [&](const std::vector<LinkAction>& actions) {
            for (const LinkAction& done : actions) {
                std::string line = describe(done.action);
                said.push_back(named ? std::string(1, letters[done.connection]) + ": " + line : line);
            }
        };
        if (!ids.contains(step.connection)) {
            std::vector<LinkAction> made_room;
            ConnectionId id = connections.accept(step.at, made_room);
            note(made_room);
            ids[step.connection] = id;
            letters[id] = step.connection;
            if (id == 0)
                said.push_back(std::string(1, step.connection) + ": no room");
        }
        ConnectionId id = ids[step.connection];
        switch (step.kind) {
            case Step::Kind::Bytes:
                note(connections.receive(id, step.bytes, step.at));
                break;
            case Step::Kind::Tick:
                note(connections.tick(step.at));
                break;
            case Step::Kind::Drop:
                note(connections.drop(id));
                break;
            case Step::Kind::Answer:
                note(connections.answer(step.bytes, step.allow));
                break;
        }
        EXPECT_EQ(step.out, said);
    }
    if (!scenario.allowed_after.empty() || !scenario.refused_after.empty()) {
        EXPECT_EQ(scenario.allowed_after, connections.origins().allowed);
        EXPECT_EQ(scenario.refused_after, connections.origins().refused);
    }
}

const std::vector<std::string> ALLOWED_HELLO = {"send 101", "send allowed"};

TEST(BrowserGate, OneConnection) {
    const std::string refused_close = "send close 1008 refused in DunvelBlenk";
    const Scenario scenarios[] = {
        {"allowed: reports go through, pings are answered, a close is answered",
         {EXTENSION},
         {},
         {in(0, HEAD.substr(0, 20), {}),
          in(1, HEAD.substr(20) + text("r1"), {"send 101", "send allowed", "deliver r1"}),
          in(2, client_frame(0x89, "p") + text("r2"), {"send pong p", "deliver r2"}),
          in(3, client_frame(0x88, "\x03\xe8") + text("r3"), {"send close 1000", "lost", "close"}),
          in(4, text("r4"), {}), tick(100000, {})}},
        {"a web page is turned away before a frame is read",
         {},
         {},
         {in(0, head_from("https://films.example") + text("r1"), {"send 403", "close"})}},
        {"a head sent to another port is not for us",
         {EXTENSION},
         {},
         {in(0, "GET / HTTP/1.1\r\nHost: 127.0.0.1:47814" + HEAD.substr(HEAD.find("\r\nUpgrade")),
             {"send 403", "close"})}},
        {"a refused extension is told so and closed",
         {},
         {EXTENSION},
         {in(0, HEAD + text("r1"), {"send 101", "send refused", refused_close, "close"})}},
        {"an unknown extension waits, unread, until the user allows it",
         {},
         {},
         {in(0, HEAD + text("r1"), {"send 101", "send pending", "ask " + EXTENSION}),
          in(1, text(std::string(100, 'x')) + client_frame(0x89, "p") + text("\xff"), {"send pong p"}),
          answer(true, {"send allowed"}), in(2, text("r2"), {"deliver r2"}), answer(true, {})},
         {EXTENSION},
         {}},
        {"an unknown extension the user turns away",
         {},
         {},
         {in(0, HEAD, {"send 101", "send pending", "ask " + EXTENSION}),
          answer(false, {"send refused", refused_close, "close"})},
         {},
         {EXTENSION}},
        {"an answer about another extension changes nothing",
         {},
         {},
         {in(0, HEAD, {"send 101", "send pending", "ask " + EXTENSION}), answer(true, {}, STRANGER),
          in(1, text("r1"), {})}},
        {"frames that break the rules close the connection",
         {EXTENSION},
         {},
         // A text of 5000 bytes is refused by its header.
         {in(0, HEAD, ALLOWED_HELLO), in(1, "\x81\xfe\x13\x88", {"send close 1009", "lost", "close"})}},
        {"a waiting extension that goes was never followed",
         {},
         {},
         {in(0, HEAD, {"send 101", "send pending", "ask " + EXTENSION}), gone({"close"}), gone({})}},
        {"a followed extension that goes is lost",
         {EXTENSION},
         {},
         {in(0, HEAD, ALLOWED_HELLO), gone({"lost", "close"})}},
        {"a handshake gets 5 s", {}, {}, {in(0, "GET / HTTP/1.1\r\n", {}), tick(5000, {}), tick(5001, {"close"})}},
        {"pings every 5 s; 15 s of silence ends it",
         {EXTENSION},
         {},
         {in(1000, HEAD, ALLOWED_HELLO), tick(5999, {}), tick(6000, {"send ping"}),
          in(9000, text("r1"), {"deliver r1"}), tick(10999, {}), tick(11000, {"send ping"}), tick(24000, {"send ping"}),
          tick(24001, {"send close 1000 silent too long", "lost", "close"}), tick(30000, {})}},
    };
    for (const Scenario& scenario : scenarios)
        run(scenario, false);
}

// The user's answers are shared by every connection of the link: one question per extension in a
// run, one answer for all of its connections, and kept for the next. The slots go to allowed
// extensions first.
TEST(BrowserGate, ConnectionsShareTheAnswers) {
    const std::string refused_close = "send close 1008 refused in DunvelBlenk";
    std::vector<std::string> numbered;  // as many as a list of the settings holds
    for (size_t i = 0; i < MAX_BROWSER_ORIGINS; ++i)
        numbered.push_back("moz-extension://" + std::to_string(i));
    const Scenario scenarios[] = {
        {"asked once; a waiting extension holds one slot, its newer connection taking the older's; one yes lets "
         "it in, and the next at once",
         {},
         {STRANGER},
         {in(0, HEAD, {"a: send 101", "a: send pending", "a: ask " + EXTENSION}),
          in(1, HEAD, {"b: send 101", "b: send pending", "a: send close 1013 too many connections", "a: close"}, 'b'),
          in(2, HEAD.substr(0, 30), {}, 'c'), answer(true, {"b: send allowed"}),
          in(3, HEAD.substr(30), {"c: send 101", "c: send allowed"}, 'c')},
         {EXTENSION},
         {STRANGER}},
        {"one no turns the waiting connection away, and the next",
         {},
         {},
         {in(0, HEAD, {"a: send 101", "a: send pending", "a: ask " + EXTENSION}), in(1, HEAD.substr(0, 30), {}, 'b'),
          answer(false, {"a: send refused", "a: " + refused_close, "a: close"}),
          in(2, HEAD.substr(30), {"b: send 101", "b: send refused", "b: " + refused_close, "b: close"}, 'b')},
         {},
         {EXTENSION}},
        {"an answer moves an extension from one list to the other",
         {STRANGER, EXTENSION},
         {},
         {in(0, HEAD, {"a: send 101", "a: send allowed"}),
          answer(false, {"a: send refused", "a: " + refused_close, "a: close"})},
         {STRANGER},
         {EXTENSION}},
        {"a question still waiting is not asked again for the next connection",
         {},
         {},
         {in(0, HEAD, {"a: send 101", "a: send pending", "a: ask " + EXTENSION}), gone({"a: close"}),
          in(1, HEAD, {"b: send 101", "b: send pending"}, 'b')}},
        {"slots full: the oldest connection not allowed gives way; one allowed never does",
         {EXTENSION},
         {},
         {in(0, HEAD, {"a: send 101", "a: send allowed"}),
          in(1, head_from(STRANGER), {"b: send 101", "b: send pending", "b: ask " + STRANGER}, 'b'),
          in(2, HEAD, {"c: send 101", "c: send allowed"}, 'c'), in(3, "GET", {}, 'd'),
          in(4, HEAD, {"b: send close 1013 too many connections", "b: close", "e: send 101", "e: send allowed"}, 'e'),
          in(5, HEAD, {"d: close", "f: send 101", "f: send allowed"}, 'f'), in(6, HEAD, {"g: no room"}, 'g')}},
        {"four extensions wait for an answer; a fifth is turned away unasked, for the whole run",
         {},
         {},
         {in(0, head_from(numbered[0]), {"a: send 101", "a: send pending", "a: ask " + numbered[0]}),
          in(0, head_from(numbered[1]), {"b: send 101", "b: send pending", "b: ask " + numbered[1]}, 'b'),
          in(0, head_from(numbered[2]), {"c: send 101", "c: send pending", "c: ask " + numbered[2]}, 'c'),
          in(0, head_from(numbered[3]), {"d: send 101", "d: send pending", "d: ask " + numbered[3]}, 'd'),
          in(0, head_from(numbered[4]),
             {"a: send close 1013 too many connections", "a: close", "e: send 101", "e: send refused",
              "e: " + refused_close, "e: close"},
             'e'),
          in(1, head_from(numbered[0]), {"f: send 101", "f: send pending"}, 'f'),
          answer(true, {"b: send allowed"}, numbered[1]),
          in(2, head_from(numbered[4]),
             {"c: send close 1013 too many connections", "c: close", "g: send 101", "g: send refused",
              "g: " + refused_close, "g: close"},
             'g')}},
        {"with the list full, a yes still holds for the rest of the run",
         numbered,
         {},
         {in(0, HEAD, {"a: send 101", "a: send pending", "a: ask " + EXTENSION}), answer(true, {"a: send allowed"}),
          gone({"a: lost", "a: close"}), in(1, HEAD, {"b: send 101", "b: send allowed"}, 'b')}},
    };
    for (const Scenario& scenario : scenarios)
        run(scenario, true);
}

}  // namespace
}  // namespace dvbk
