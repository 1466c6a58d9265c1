#include "players/browser_gate.h"

#include <algorithm>
#include <utility>

#include "settings/settings_file.h"

namespace dvbk {
namespace {

bool listed(const std::vector<std::string>& origins, const std::string& origin) {
    return std::find(origins.begin(), origins.end(), origin) != origins.end();
}

}  // namespace

OriginQuestions::Known* OriginQuestions::find(const std::string& origin) {
    auto known = std::find_if(known_.begin(), known_.end(), [&](const Known& k) { return k.origin == origin; });
    return known == known_.end() ? nullptr : &*known;
}

Standing OriginQuestions::consider(const std::string& origin) {
    if (Known* known = find(origin))
        return known->standing == Standing::Ask ? Standing::Waiting : known->standing;
    if (known_.size() >= BROWSER_MAX_STRANGERS)
        return Standing::Refused;
    size_t waiting =
        std::count_if(known_.begin(), known_.end(), [](const Known& k) { return k.standing == Standing::Ask; });
    Standing standing = waiting < BROWSER_MAX_WAITING ? Standing::Ask : Standing::Refused;
    known_.push_back({origin, standing});
    return standing;
}

void OriginQuestions::settle(const std::string& origin, bool allow) {
    Standing answer = allow ? Standing::Allowed : Standing::Refused;
    if (Known* known = find(origin))
        known->standing = answer;
    else if (known_.size() < BROWSER_MAX_STRANGERS)
        known_.push_back({origin, answer});
}

void BrowserOrigins::settle(const std::string& origin, bool allow) {
    settle_origin(allowed, refused, origin, allow);
    questions.settle(origin, allow);
}

std::vector<GateAction> BrowserGate::receive(std::string_view bytes, double now) {
    std::vector<GateAction> out;
    if (done_)
        return out;
    last_heard_ = now;
    if (open_)
        take_frames(bytes, out);
    else
        take_handshake(bytes, out);
    return out;
}

void BrowserGate::take_handshake(std::string_view bytes, std::vector<GateAction>& out) {
    // The head never grows past what the reader looks at: it refuses a longer one.
    size_t room = WEBSOCKET_MAX_HEAD_BYTES + 1 - head_.size();
    head_.append(bytes.substr(0, room));
    WebSocketHandshake handshake = read_websocket_handshake(head_, port_);
    if (handshake.outcome == WebSocketHandshake::Outcome::NeedMore)
        return;
    send(std::move(handshake.response), out);
    if (handshake.outcome != WebSocketHandshake::Outcome::Accepted) {
        done_ = true;
        out.push_back({GateAction::Kind::Close, {}});
        return;
    }
    open_ = true;
    origin_ = handshake.origin;
    last_ping_ = last_heard_;
    std::string rest = head_.substr(handshake.head_size);
    head_.clear();
    // The lists first: they hold the user's answers of earlier runs, and of this one.
    Standing standing = listed(origins_->refused, origin_)   ? Standing::Refused
                        : listed(origins_->allowed, origin_) ? Standing::Allowed
                                                             : origins_->questions.consider(origin_);
    if (standing == Standing::Refused) {
        refuse(out);
        return;
    }
    if (standing == Standing::Allowed)
        permission_ = BrowserPermission::Allowed;
    else
        reader_.set_discard_text(true);  // nothing it sends is read until the user says yes
    send(websocket_text_frame(browser_status_message(permission_)), out);
    if (standing == Standing::Ask)
        out.push_back({GateAction::Kind::Ask, origin_});
    take_frames(rest, out);
}

void BrowserGate::take_frames(std::string_view bytes, std::vector<GateAction>& out) {
    for (WebSocketMessage& message : reader_.feed(bytes)) {
        switch (message.kind) {
            case WebSocketMessage::Kind::Text:
                if (permission_ == BrowserPermission::Allowed)
                    out.push_back({GateAction::Kind::Deliver, std::move(message.payload)});
                break;
            case WebSocketMessage::Kind::Ping:
                send(websocket_pong_frame(message.payload), out);
                break;
            case WebSocketMessage::Kind::Pong:
                break;
            case WebSocketMessage::Kind::Close:
            case WebSocketMessage::Kind::Failure:
                send(websocket_close_frame(message.code), out);
                drop(out);
                return;
        }
    }
}

std::vector<GateAction> BrowserGate::answer(const std::string& origin, bool allow) {
    std::vector<GateAction> out;
    if (!open_ || done_ || origin != origin_)
        return out;
    if (!allow) {
        refuse(out);
    } else if (permission_ != BrowserPermission::Allowed) {
        permission_ = BrowserPermission::Allowed;
        reader_.set_discard_text(false);
        send(websocket_text_frame(browser_status_message(BrowserPermission::Allowed)), out);
    }
    return out;
}

std::vector<GateAction> BrowserGate::tick(double now) {
    std::vector<GateAction> out;
    if (done_)
        return out;
    if (!open_) {
        if (now - opened_ > BROWSER_HANDSHAKE_MS) {
            done_ = true;
            out.push_back({GateAction::Kind::Close, {}});
        }
    } else if (now - last_heard_ > BROWSER_IDLE_MS) {
        send(websocket_close_frame(close_code::NORMAL, "silent too long"), out);
        drop(out);
    } else if (now - last_ping_ >= BROWSER_PING_EVERY_MS) {
        last_ping_ = now;
        send(websocket_ping_frame(""), out);
    }
    return out;
}

std::vector<GateAction> BrowserGate::drop() {
    std::vector<GateAction> out;
    drop(out);
    return out;
}

std::vector<GateAction> BrowserGate::give_way() {
    std::vector<GateAction> out;
    if (!waiting())
        return out;
    if (open_)
        send(websocket_close_frame(close_code::TRY_AGAIN_LATER, "too many connections"), out);
    done_ = true;
    out.push_back({GateAction::Kind::Close, {}});
    return out;
}

void BrowserGate::refuse(std::vector<GateAction>& out) {
    permission_ = BrowserPermission::Refused;
    send(websocket_text_frame(browser_status_message(BrowserPermission::Refused)), out);
    send(websocket_close_frame(close_code::POLICY_VIOLATION, "refused in DunvelBlenk"), out);
    done_ = true;
    out.push_back({GateAction::Kind::Close, {}});
}

// Ends the connection; when it was one we followed, the user-interface thread hears why.
void BrowserGate::drop(std::vector<GateAction>& out) {
    if (done_)
        return;
    done_ = true;
    if (open_ && permission_ == BrowserPermission::Allowed)
        out.push_back({GateAction::Kind::Lost, {}});
    out.push_back({GateAction::Kind::Close, {}});
}

void BrowserGate::send(std::string bytes, std::vector<GateAction>& out) {
    if (!bytes.empty())
        out.push_back({GateAction::Kind::Send, std::move(bytes)});
}

}  // namespace dvbk
