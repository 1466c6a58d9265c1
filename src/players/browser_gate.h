// What guards one connection from the browser extension, with no socket in sight: the opening
// handshake, the origin's standing with the user (allowed, refused, or waiting for an answer that
// is asked for once), text read only once allowed, pings, deadlines and the close. The link feeds
// it what arrived, the time and the user's answers, and carries out what comes back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "wire/browser_report.h"
#include "wire/websocket.h"

namespace dvbk {

// A handshake is a few hundred bytes sent at once; a peer that takes longer is not a browser.
constexpr double BROWSER_HANDSHAKE_MS = 5000.0;
// The extension sends something every second; the browser answers our pings by itself.
constexpr double BROWSER_PING_EVERY_MS = 5000.0;
constexpr double BROWSER_IDLE_MS = 15000.0;

// How an extension on neither of the user's lists stands in this run of the program.
enum class Standing {
    Ask,      // put the question to the user: it waits for the answer from now on
    Waiting,  // asked already, not answered yet
    Allowed,  // the user said yes
    Refused,  // the user said no, dismissed the question, or it was never asked (see below)
};

// Questions waiting for the user at once: about as many as a user has browsers. The extension after
// them is turned away unasked, so that whoever makes up origins cannot bury the screen in questions.
constexpr size_t BROWSER_MAX_WAITING = 4;
// Extensions on neither list heard of in one run, answered or not: once that many are known, any
// other is turned away unasked until the program starts again.
constexpr size_t BROWSER_MAX_STRANGERS = 32;

// The questions about extensions put to the user in one run: each asked once, and what came of it,
// kept even when the settings' lists are full. The link keeps one for as long as it listens, and the
// window one for the run, which outlives the link when the settings change.
class OriginQuestions {
public:
    // What to do about `origin`; the first time, Ask, or Refused when too many wait or are known.
    Standing consider(const std::string& origin);
    // The user's answer; a question dismissed counts as a no.
    void settle(const std::string& origin, bool allow);

private:
    struct Known {
        std::string origin;
        Standing standing;
    };
    Known* find(const std::string& origin);
    std::vector<Known> known_;
};

// The user's answers about extensions, shared by every connection of one link.
struct BrowserOrigins {
    std::vector<std::string> allowed;
    std::vector<std::string> refused;
    OriginQuestions questions;  // about those on neither list

    // Keeps the user's answer (see settle_origin) and notes it among the questions.
    void settle(const std::string& origin, bool allow);
};

// One thing the link is to do, in the order given.
struct GateAction {
    enum class Kind {
        Send,     // write `text` to the socket
        Deliver,  // hand `text`, a message of an allowed extension, to the user-interface thread
        Ask,      // ask the user whether the extension `text` (its origin) may set the clock
        Lost,     // tell the user-interface thread that the extension it followed went
        Close,    // close the socket; the gate is done
    };
    Kind kind = Kind::Send;
    std::string text;

    friend bool operator==(const GateAction&, const GateAction&) = default;
};

class BrowserGate {
public:
    // A connection accepted at the tick `now` on the loopback port `port`, judged by `origins`, which
    // must outlive the gate.
    BrowserGate(BrowserOrigins& origins, int port, double now)
        : origins_(&origins), port_(port), opened_(now), last_heard_(now) {}

    // Bytes read from the socket at the tick `now`.
    std::vector<GateAction> receive(std::string_view bytes, double now);
    // The user's answer about `origin`, after origins.settle(): a connection from there that waits
    // is let in or turned away; any other is left alone.
    std::vector<GateAction> answer(const std::string& origin, bool allow);
    // Pings an open connection now and then, and lets go of one that stays silent or never
    // finishes its handshake. The link calls it every few hundred milliseconds.
    std::vector<GateAction> tick(double now);
    // The peer closed, the socket failed, or a send could not go at once (frames are small and the
    // peer is on this computer: it stopped reading).
    std::vector<GateAction> drop();
    // Closes a connection that has not finished its handshake or waits for the user, to make room
    // for another; it may connect again later.
    std::vector<GateAction> give_way();

    bool done() const { return done_; }
    bool open() const { return open_; }
    const std::string& origin() const { return origin_; }  // once open
    BrowserPermission permission() const { return permission_; }
    // Not (yet) an allowed extension's: the handshake is not done, or the user has not answered.
    bool waiting() const { return !done_ && (!open_ || permission_ == BrowserPermission::Pending); }

private:
    void take_handshake(std::string_view bytes, std::vector<GateAction>& out);
    void take_frames(std::string_view bytes, std::vector<GateAction>& out);
    void refuse(std::vector<GateAction>& out);
    void drop(std::vector<GateAction>& out);
    void send(std::string bytes, std::vector<GateAction>& out);

    BrowserOrigins* origins_;
    int port_;
    std::string head_;  // the handshake as it arrives
    bool open_ = false;
    bool done_ = false;
    std::string origin_;
    BrowserPermission permission_ = BrowserPermission::Pending;
    WebSocketReader reader_;
    double opened_;
    double last_heard_;
    double last_ping_ = 0.0;
};

}  // namespace dvbk
