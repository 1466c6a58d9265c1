#include "players/browser_connections.h"

#include <algorithm>

namespace dvbk {

BrowserConnections::Held* BrowserConnections::find(ConnectionId id) {
    auto held = std::find_if(held_.begin(), held_.end(), [&](const Held& h) { return h.id == id; });
    return held == held_.end() ? nullptr : &*held;
}

void BrowserConnections::add(ConnectionId id, std::vector<GateAction> actions, std::vector<LinkAction>& out) {
    for (GateAction& action : actions)
        out.push_back({id, std::move(action)});
}

void BrowserConnections::forget_done() {
    held_.erase(std::remove_if(held_.begin(), held_.end(), [](const Held& h) { return h.gate.done(); }), held_.end());
}

ConnectionId BrowserConnections::accept(double now, std::vector<LinkAction>& out) {
    if (held_.size() >= BROWSER_MAX_CONNECTIONS) {
        auto oldest = std::find_if(held_.begin(), held_.end(), [](const Held& h) { return h.gate.waiting(); });
        if (oldest == held_.end())
            return 0;
        add(oldest->id, oldest->gate.give_way(), out);
        held_.erase(oldest);
    }
    held_.push_back({next_id_, BrowserGate(origins_, port_, now)});
    return next_id_++;
}

std::vector<LinkAction> BrowserConnections::receive(ConnectionId id, std::string_view bytes, double now) {
    std::vector<LinkAction> out;
    Held* held = find(id);
    if (!held)
        return out;
    bool was_open = held->gate.open();
    add(id, held->gate.receive(bytes, now), out);
    if (!was_open && held->gate.open() && held->gate.waiting()) {
        std::string origin = held->gate.origin();
        for (Held& other : held_) {
            if (other.id != id && other.gate.open() && other.gate.waiting() && other.gate.origin() == origin)
                add(other.id, other.gate.give_way(), out);
        }
    }
    forget_done();
    return out;
}

std::vector<LinkAction> BrowserConnections::drop(ConnectionId id) {
    std::vector<LinkAction> out;
    if (Held* held = find(id))
        add(id, held->gate.drop(), out);
    forget_done();
    return out;
}

std::vector<LinkAction> BrowserConnections::answer(const std::string& origin, bool allow) {
    std::vector<LinkAction> out;
    origins_.settle(origin, allow);
    for (Held& held : held_)
        add(held.id, held.gate.answer(origin, allow), out);
    forget_done();
    return out;
}

std::vector<LinkAction> BrowserConnections::tick(double now) {
    std::vector<LinkAction> out;
    for (Held& held : held_)
        add(held.id, held.gate.tick(now), out);
    forget_done();
    return out;
}

}  // namespace dvbk
