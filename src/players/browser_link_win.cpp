// Winsock 2 must come before <windows.h>, which would otherwise declare the first Winsock's names.
#include "players/link_thread_win.h"

#include <algorithm>
#include <memory>
#include <set>
#include <utility>

#include "base/scoped_win.h"
#include "clock/playback_clock.h"
#include "wire/browser_report.h"
#include "wire/websocket.h"

namespace dvbk {
namespace {

// One browser, perhaps two: more at once is someone else knocking.
constexpr size_t MAX_CONNECTIONS = 4;
// A handshake is a few hundred bytes sent at once; a peer that takes longer is not a browser.
constexpr std::uint64_t HANDSHAKE_MS = 5000;
// The extension sends something every second; the browser answers our pings by itself.
constexpr std::uint64_t PING_EVERY_MS = 5000;
constexpr std::uint64_t IDLE_MS = 15000;
constexpr DWORD LISTEN_RETRY_MS = 2000;
// How often the worker looks at the clocks above when nothing else wakes it.
constexpr DWORD HOUSEKEEPING_MS = 500;

struct Connection {
    ScopedSocket socket;
    ScopedHandle event{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    std::string head;  // the handshake as it arrives
    bool open = false;
    std::string origin;
    BrowserPermission permission = BrowserPermission::Pending;
    WebSocketReader reader;
    std::uint64_t opened = 0;
    std::uint64_t last_heard = 0;
    std::uint64_t last_ping = 0;
    bool done = false;  // to be closed and forgotten
};

class BrowserLink : public PlayerLink {
public:
    BrowserLink(HWND window, UINT message, int port, std::vector<std::string> allowed, std::vector<std::string> refused)
        : port_(port),
          allowed_(allowed.begin(), allowed.end()),
          refused_(refused.begin(), refused.end()),
          thread_(window, message) {
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
            keep_time();
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
            auto connection = std::make_unique<Connection>();
            if (WSAEventSelect(socket.get(), connection->event.get(), FD_READ | FD_CLOSE) != 0)
                continue;
            connection->socket = std::move(socket);
            connection->opened = connection->last_heard = system_tick_count();
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
                connection.last_heard = system_tick_count();
                take_bytes(connection, std::string_view(buffer, static_cast<size_t>(got)));
                if (connection.done)
                    return;
                continue;
            }
            if (got == 0 || WSAGetLastError() != WSAEWOULDBLOCK)
                drop(connection);
            return;
        }
    }

    void take_bytes(Connection& connection, std::string_view bytes) {
        if (connection.open) {
            take_frames(connection, bytes);
            return;
        }
        // The head never grows past what the reader looks at: it refuses a longer one.
        size_t room = WEBSOCKET_MAX_HEAD_BYTES + 1 - connection.head.size();
        connection.head.append(bytes.substr(0, room));
        WebSocketHandshake handshake = read_websocket_handshake(connection.head);
        if (handshake.outcome == WebSocketHandshake::Outcome::NeedMore)
            return;
        send_bytes(connection, handshake.response);
        if (handshake.outcome != WebSocketHandshake::Outcome::Accepted) {
            connection.done = true;
            return;
        }
        connection.open = true;
        connection.origin = handshake.origin;
        connection.last_ping = system_tick_count();
        std::string rest = connection.head.substr(handshake.head_size);
        connection.head.clear();
        if (refused_.contains(connection.origin)) {
            refuse(connection);
            return;
        }
        if (allowed_.contains(connection.origin))
            connection.permission = BrowserPermission::Allowed;
        else
            connection.reader.set_discard_text(true);  // nothing it sends is read until the user says yes
        send_bytes(connection, websocket_text_frame(browser_status_message(connection.permission)));
        if (connection.permission == BrowserPermission::Pending && asked_.insert(connection.origin).second) {
            PlayerReply ask;
            ask.tick = system_tick_count();
            ask.asks_permission = true;
            ask.text = connection.origin;
            thread_.push(std::move(ask));
        }
        take_frames(connection, rest);
    }

    void take_frames(Connection& connection, std::string_view bytes) {
        for (WebSocketMessage& message : connection.reader.feed(bytes)) {
            switch (message.kind) {
                case WebSocketMessage::Kind::Text:
                    if (connection.permission == BrowserPermission::Allowed)
                        thread_.push(ok_reply(std::move(message.payload), system_tick_count()));
                    break;
                case WebSocketMessage::Kind::Ping:
                    send_bytes(connection, websocket_pong_frame(message.payload));
                    break;
                case WebSocketMessage::Kind::Pong:
                    break;
                case WebSocketMessage::Kind::Close:
                    send_bytes(connection, websocket_close_frame(message.code));
                    drop(connection);
                    return;
                case WebSocketMessage::Kind::Failure:
                    send_bytes(connection, websocket_close_frame(message.code));
                    drop(connection);
                    return;
            }
            if (connection.done)
                return;
        }
    }

    void refuse(Connection& connection) {
        connection.permission = BrowserPermission::Refused;
        send_bytes(connection, websocket_text_frame(browser_status_message(BrowserPermission::Refused)));
        send_bytes(connection, websocket_close_frame(close_code::POLICY_VIOLATION, "refused in DunvelBlenk"));
        connection.done = true;
    }

    void apply_answers() {
        std::vector<std::pair<std::string, bool>> answers;
        {
            std::lock_guard<std::mutex> lock(answers_mutex_);
            answers.swap(answers_);
        }
        for (const auto& [origin, allowed] : answers) {
            asked_.erase(origin);
            (allowed ? allowed_ : refused_).insert(origin);
            (allowed ? refused_ : allowed_).erase(origin);
            for (const auto& connection : connections_) {
                if (!connection->open || connection->origin != origin || connection->done)
                    continue;
                if (!allowed) {
                    refuse(*connection);
                } else if (connection->permission != BrowserPermission::Allowed) {
                    connection->permission = BrowserPermission::Allowed;
                    connection->reader.set_discard_text(false);
                    send_bytes(*connection, websocket_text_frame(browser_status_message(BrowserPermission::Allowed)));
                }
            }
        }
    }

    // Pings an open connection now and then, and lets go of one that stays silent or never
    // finishes its handshake.
    void keep_time() {
        std::uint64_t now = system_tick_count();
        for (const auto& connection : connections_) {
            if (connection->done)
                continue;
            if (!connection->open) {
                if (now - connection->opened > HANDSHAKE_MS)
                    connection->done = true;
            } else if (now - connection->last_heard > IDLE_MS) {
                send_bytes(*connection, websocket_close_frame(close_code::NORMAL, "silent too long"));
                drop(*connection);
            } else if (now - connection->last_ping >= PING_EVERY_MS) {
                connection->last_ping = now;
                send_bytes(*connection, websocket_ping_frame(""));
            }
        }
    }

    // Frames are small and the peer is on this computer: a send that cannot go at once means a peer
    // that stopped reading, and it is let go.
    void send_bytes(Connection& connection, std::string_view bytes) {
        if (connection.done || bytes.empty())
            return;
        int sent = send(connection.socket.get(), bytes.data(), static_cast<int>(bytes.size()), 0);
        if (sent != static_cast<int>(bytes.size()))
            drop(connection);
    }

    // Ends a connection; when it was one we followed, the user-interface thread hears why.
    void drop(Connection& connection) {
        if (connection.done)
            return;
        connection.done = true;
        if (connection.open && connection.permission == BrowserPermission::Allowed)
            thread_.push(error_reply("extension disconnected"));
    }

    void forget_done() {
        connections_.erase(std::remove_if(connections_.begin(), connections_.end(),
                                          [](const std::unique_ptr<Connection>& c) { return c->done; }),
                           connections_.end());
    }

    int port_;
    std::set<std::string> allowed_;
    std::set<std::string> refused_;
    std::set<std::string> asked_;  // waiting for the user's answer
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
