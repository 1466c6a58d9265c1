// Every connection of the link to the browser extension, each with its gate, and the rules between
// them: how many at once, who gives way to a newcomer, one answer of the user for all. No sockets
// here: the link tells what happened to which connection and carries out what comes back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "players/browser_gate.h"

namespace dvbk {

// One browser, perhaps two, and room for a stranger knocking.
constexpr size_t BROWSER_MAX_CONNECTIONS = 4;
// What one connection may have read each time the link wakes, before the others and the stop have
// their turn: a few seconds' reports, so that a peer that never stops sending starves nobody.
constexpr size_t BROWSER_READ_BUDGET = 16384;

// Connections are named by the numbers accept() gives, never 0 and never used twice.
using ConnectionId = std::uint64_t;

struct LinkAction {
    ConnectionId connection = 0;
    GateAction action;

    friend bool operator==(const LinkAction&, const LinkAction&) = default;
};

class BrowserConnections {
public:
    // Listening on the loopback port `port`, with the user's lists as the settings hold them.
    BrowserConnections(int port, std::vector<std::string> allowed, std::vector<std::string> refused)
        : port_(port), origins_{std::move(allowed), std::move(refused), {}} {}
    // The gates hold on to the origins.
    BrowserConnections(const BrowserConnections&) = delete;
    BrowserConnections& operator=(const BrowserConnections&) = delete;

    // A connection accepted at the tick `now`: its id, or 0 when it is to be closed at once. When
    // every slot is taken, the oldest connection that is not an allowed extension's gives way to it
    // (what that one is to do goes into `out`); an allowed one never does, so when all are allowed
    // the newcomer is the one turned away.
    ConnectionId accept(double now, std::vector<LinkAction>& out);
    // Bytes read from a connection at the tick `now`. An extension that waits for the user holds one
    // slot: when another of its connections opens, the older one gives way.
    std::vector<LinkAction> receive(ConnectionId id, std::string_view bytes, double now);
    // The peer closed, the socket failed, or a send could not go at once.
    std::vector<LinkAction> drop(ConnectionId id);
    // The user's answer about `origin`: kept, and told to every connection.
    std::vector<LinkAction> answer(const std::string& origin, bool allow);
    // The time for every connection's pings and deadlines.
    std::vector<LinkAction> tick(double now);

    const BrowserOrigins& origins() const { return origins_; }

private:
    struct Held {
        ConnectionId id;
        BrowserGate gate;
    };
    Held* find(ConnectionId id);
    static void add(ConnectionId id, std::vector<GateAction> actions, std::vector<LinkAction>& out);
    void forget_done();

    int port_;
    BrowserOrigins origins_;
    ConnectionId next_id_ = 1;
    std::vector<Held> held_;  // oldest first
};

}  // namespace dvbk
