// The link to the browser extension: the loopback listener, one socket per connection and the
// bytes between them and the connections' gates, which decide everything else.
// Winsock 2 must come before <windows.h>, which would otherwise declare the first Winsock's names.
#include "players/link_thread_win.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "base/scoped_win.h"
#include "clock/playback_clock.h"
#include "players/browser_gate.h"

namespace dvbk {
namespace {

// One browser, perhaps two: more at once is someone else knocking.
constexpr size_t MAX_CONNECTIONS = 4;
constexpr DWORD LISTEN_RETRY_MS = 2000;
// How often the worker gives the gates the time when nothing else wakes it.
constexpr DWORD HOUSEKEEPING_MS = 500;

// One socket and what guards it.
struct Connection {
    Connection(BrowserOrigins& origins, std::uint64_t now) : gate(origins, now) {}
    ScopedSocket socket;
    ScopedHandle event{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    BrowserGate gate;
};

class BrowserLink : public PlayerLink {
public:
    BrowserLink(HWND window, UINT message, int port, std::vector<std::string> allowed, std::vector<std::string> refused)
        : port_(port), origins_{std::move(allowed), std::move(refused), {}}, thread_(window, message) {
        thread_.start([this] { run(); });
    }
    ~BrowserLink() override { thread_.stop(); }

    std::vector<PlayerReply> take() override { return thread_.take(); }

    void answer_permission(const std::string& origin, bool allowed) override {
        {
            std::lock_guard<std::mutex> lock(answers_mutex_);
            answers_.emplace_back(origin, allowed);
        }
        SetEvent(wake_.get());
    }

private:
    void run() {
        if (!winsock_ready()) {
            thread_.push(error_reply("Winsock unavailable"));
            return;
        }
        std::string last_error;
        while (!listen_now(last_error)) {
            if (thread_.wait(nullptr, LISTEN_RETRY_MS) == Wait::Stopped)
                return;
        }
        thread_.push(error_reply("no extension connected"));
        for (;;) {
            std::vector<HANDLE> handles = {thread_.stop_event(), wake_.get(), listen_event_.get()};
            for (const auto& connection : connections_)
                handles.push_back(connection->event.get());
            DWORD result =
                WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, HOUSEKEEPING_MS);
            if (result == WAIT_OBJECT_0)
                return;
            if (result == WAIT_OBJECT_0 + 1)
                apply_answers();
            else if (result == WAIT_OBJECT_0 + 2)
                accept_connections();
            else if (result >= WAIT_OBJECT_0 + 3 && result < WAIT_OBJECT_0 + handles.size())
                serve(*connections_[result - WAIT_OBJECT_0 - 3]);
            std::uint64_t now = system_tick_count();
            for (const auto& connection : connections_)
                carry_out(*connection, connection->gate.tick(now), now);
            forget_done();
        }
    }

    // Loopback only, and the port ours alone: SO_EXCLUSIVEADDRUSE keeps another program from
    // binding it beside us and reading what the extension sends.
    bool listen_now(std::string& last_error) {
        std::string error;
        ScopedSocket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        if (!listener.valid()) {
            error = with_code("no socket", WSAGetLastError());
        } else {
            BOOL exclusive = TRUE;
            setsockopt(listener.get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                       sizeof exclusive);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(static_cast<u_short>(port_));
            if (bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
                int code = WSAGetLastError();
                error = code == WSAEADDRINUSE || code == WSAEACCES
                            ? "port " + std::to_string(port_) + " is in use by another program"
                            : with_code(("cannot listen on port " + std::to_string(port_)).c_str(), code);
            } else if (listen(listener.get(), SOMAXCONN) != 0 ||
                       WSAEventSelect(listener.get(), listen_event_.get(), FD_ACCEPT) != 0) {
                error = with_code("cannot listen", WSAGetLastError());
            }
        }
        if (error.empty()) {
            listener_ = std::move(listener);
            return true;
        }
        // The same failure every two seconds would bury everything else.
        if (error != last_error)
            thread_.push(error_reply(error));
        last_error = error;
        return false;
    }

    void accept_connections() {
        WSANETWORKEVENTS events{};
        WSAEnumNetworkEvents(listener_.get(), listen_event_.get(), &events);
        for (;;) {
            sockaddr_in peer{};
            int peer_size = sizeof peer;
            ScopedSocket socket(accept(listener_.get(), reinterpret_cast<sockaddr*>(&peer), &peer_size));
            if (!socket.valid())
                return;
            // Only this computer can reach a loopback listener; the check costs nothing all the same.
            if (peer.sin_family != AF_INET || (ntohl(peer.sin_addr.s_addr) >> 24) != 127 ||
                connections_.size() >= MAX_CONNECTIONS)
                continue;
            auto connection = std::make_unique<Connection>(origins_, system_tick_count());
            if (WSAEventSelect(socket.get(), connection->event.get(), FD_READ | FD_CLOSE) != 0)
                continue;
            connection->socket = std::move(socket);
            connections_.push_back(std::move(connection));
        }
    }

    void serve(Connection& connection) {
        WSANETWORKEVENTS events{};
        WSAEnumNetworkEvents(connection.socket.get(), connection.event.get(), &events);
        char buffer[4096];
        for (;;) {
            int got = recv(connection.socket.get(), buffer, sizeof buffer, 0);
            if (got > 0) {
                std::uint64_t now = system_tick_count();
                carry_out(connection, connection.gate.receive(std::string_view(buffer, static_cast<size_t>(got)), now),
                          now);
                if (connection.gate.done())
                    return;
                continue;
            }
            if (got == 0 || WSAGetLastError() != WSAEWOULDBLOCK)
                carry_out(connection, connection.gate.drop(), system_tick_count());
            return;
        }
    }

    void apply_answers() {
        std::vector<std::pair<std::string, bool>> answers;
        {
            std::lock_guard<std::mutex> lock(answers_mutex_);
            answers.swap(answers_);
        }
        for (const auto& [origin, allowed] : answers) {
            origins_.settle(origin, allowed);
            for (const auto& connection : connections_)
                carry_out(*connection, connection->gate.answer(origin, allowed), system_tick_count());
        }
    }

    // Does what the gate said, in order. Frames are small and the peer is on this computer: a send
    // that cannot go at once means a peer that stopped reading, and it is let go.
    void carry_out(Connection& connection, const std::vector<GateAction>& actions, std::uint64_t now) {
        bool send_failed = false;
        for (const GateAction& action : actions) {
            switch (action.kind) {
                case GateAction::Kind::Send:
                    if (!send_failed && connection.socket.valid()) {
                        int size = static_cast<int>(action.text.size());
                        send_failed = send(connection.socket.get(), action.text.data(), size, 0) != size;
                    }
                    break;
                case GateAction::Kind::Deliver:
                    thread_.push(ok_reply(action.text, now));
                    break;
                case GateAction::Kind::Ask: {
                    PlayerReply ask;
                    ask.tick = now;
                    ask.asks_permission = true;
                    ask.text = action.text;
                    thread_.push(std::move(ask));
                    break;
                }
                case GateAction::Kind::Lost:
                    thread_.push(error_reply("extension disconnected"));
                    break;
                case GateAction::Kind::Close:
                    connection.socket.reset();
                    break;
            }
        }
        if (send_failed)
            carry_out(connection, connection.gate.drop(), now);
    }

    void forget_done() {
        connections_.erase(std::remove_if(connections_.begin(), connections_.end(),
                                          [](const std::unique_ptr<Connection>& c) { return c->gate.done(); }),
                           connections_.end());
    }

    int port_;
    BrowserOrigins origins_;
    ScopedHandle wake_{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    ScopedHandle listen_event_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    ScopedSocket listener_;
    std::vector<std::unique_ptr<Connection>> connections_;
    std::mutex answers_mutex_;
    std::vector<std::pair<std::string, bool>> answers_;
    LinkThread thread_;  // last: it goes first
};

}  // namespace

std::unique_ptr<PlayerLink> start_browser_link(HWND window, UINT message, int port, std::vector<std::string> allowed,
                                               std::vector<std::string> refused) {
    return std::make_unique<BrowserLink>(window, message, port, std::move(allowed), std::move(refused));
}

}  // namespace dvbk
