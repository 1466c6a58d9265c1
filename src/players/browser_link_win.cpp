// The link to the browser extension: the loopback listener, one socket per connection, and the
// bytes between them and the connections' rules (BrowserConnections), which decide everything else.
// Nothing here waits on a peer: the sockets never block, each wake reads a bounded amount from each,
// and the worker waits only on events, the stop first among them, so that stopping the link (the
// Settings dialog's OK, the program's end) never waits on the network.
// Winsock 2 must come before <windows.h>, which would otherwise declare the first Winsock's names.
#include "players/link_thread_win.h"

#include <algorithm>
#include <map>
#include <memory>
#include <utility>

#include "base/scoped_win.h"
#include "clock/playback_clock.h"
#include "players/browser_connections.h"

namespace dvbk {
namespace {

constexpr DWORD LISTEN_RETRY_MS = 2000;
// How often the worker gives the gates the time when nothing else wakes it.
constexpr DWORD HOUSEKEEPING_MS = 500;
// Connections taken from the listener's queue each wake; the rest wait for the next.
constexpr int ACCEPTS_PER_WAKE = 8;

// The socket of a connection; its gate is in BrowserConnections under the same id.
struct Socket {
    ScopedSocket socket;
    ScopedHandle event{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    bool behind = false;  // its budget ran out with bytes perhaps left: read on without waiting
};

bool signalled(HANDLE event) {
    return WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

// For a peer that is told nothing: a reset at once, and nothing of it left behind in TIME_WAIT
// for every one of a flood of connections.
void close_abortively(ScopedSocket& socket) {
    linger off{1, 0};
    setsockopt(socket.get(), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&off), sizeof off);
    socket.reset();
}

class BrowserLink : public PlayerLink {
public:
    BrowserLink(HWND window, UINT message, int port, std::vector<std::string> allowed, std::vector<std::string> refused)
        : port_(port), connections_(port, std::move(allowed), std::move(refused)), thread_(window, message) {
        thread_.start([this] {
            run();
            // Closed by the worker, so that the user-interface thread only waits for it to return.
            // A socket that never blocks, without SO_LINGER, closes at once either way.
            sockets_.clear();
            listener_.reset();
        });
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
            bool behind = accept_behind_;
            for (const auto& [id, socket] : sockets_) {
                handles.push_back(socket.event.get());
                behind = behind || socket.behind;
            }
            DWORD woken = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE,
                                                 behind ? 0 : HOUSEKEEPING_MS);
            if (woken == WAIT_FAILED && thread_.wait(nullptr, HOUSEKEEPING_MS) == Wait::Stopped)
                return;
            if (thread_.stopped())
                return;
            // Whatever woke the worker, everything that is ready has its turn, and each socket its
            // budget: the first of the handles to be signalled is not the only one served.
            apply_answers();
            if (accept_behind_ || signalled(listen_event_.get()))
                accept_connections();
            std::vector<ConnectionId> ids;
            for (const auto& [id, socket] : sockets_)
                ids.push_back(id);
            for (ConnectionId id : ids) {
                Socket* socket = find(id);
                if (socket && (socket->behind || signalled(socket->event.get())))
                    serve(id);
            }
            double now = system_tick_count();
            carry_out(connections_.tick(now), now);
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
        accept_behind_ = false;
        for (int taken = 0; taken < ACCEPTS_PER_WAKE; ++taken) {
            sockaddr_in peer{};
            int peer_size = sizeof peer;
            ScopedSocket socket(accept(listener_.get(), reinterpret_cast<sockaddr*>(&peer), &peer_size));
            if (!socket.valid())
                return;
            // Only this computer can reach a loopback listener; the check costs nothing all the same.
            if (peer.sin_family != AF_INET || (ntohl(peer.sin_addr.s_addr) >> 24) != 127) {
                close_abortively(socket);
                continue;
            }
            double now = system_tick_count();
            std::vector<LinkAction> made_room;
            ConnectionId id = connections_.accept(now, made_room);
            carry_out(made_room, now);
            if (id == 0) {
                close_abortively(socket);
                continue;
            }
            Socket& added = sockets_[id];
            if (!added.event.valid() || WSAEventSelect(socket.get(), added.event.get(), FD_READ | FD_CLOSE) != 0) {
                sockets_.erase(id);
                connections_.drop(id);
                close_abortively(socket);
                continue;
            }
            added.socket = std::move(socket);
        }
        accept_behind_ = true;
    }

    // Reads what arrived, up to the budget: a peer that never stops sending waits for the next wake
    // behind the others, the user's answers and the stop.
    void serve(ConnectionId id) {
        Socket* socket = find(id);
        WSANETWORKEVENTS events{};
        WSAEnumNetworkEvents(socket->socket.get(), socket->event.get(), &events);
        socket->behind = false;
        char buffer[4096];
        for (size_t budget = BROWSER_READ_BUDGET; budget > 0;) {
            int got = recv(socket->socket.get(), buffer, static_cast<int>(std::min(sizeof buffer, budget)), 0);
            double now = system_tick_count();
            if (got <= 0) {
                if (got == 0 || WSAGetLastError() != WSAEWOULDBLOCK)
                    carry_out(connections_.drop(id), now);
                return;
            }
            budget -= static_cast<size_t>(got);
            carry_out(connections_.receive(id, std::string_view(buffer, static_cast<size_t>(got)), now), now);
            socket = find(id);
            if (!socket)
                return;
        }
        socket->behind = true;
    }

    void apply_answers() {
        std::vector<std::pair<std::string, bool>> answers;
        {
            std::lock_guard<std::mutex> lock(answers_mutex_);
            answers.swap(answers_);
        }
        for (const auto& [origin, allowed] : answers)
            carry_out(connections_.answer(origin, allowed), system_tick_count());
    }

    // Does what the rules said, in order. Frames are small and the peer is on this computer: a send
    // that cannot go at once means a peer that stopped reading, and it is let go.
    void carry_out(const std::vector<LinkAction>& actions, double now) {
        std::vector<ConnectionId> failed;
        for (const auto& [id, action] : actions) {
            switch (action.kind) {
                case GateAction::Kind::Send: {
                    Socket* socket = find(id);
                    if (!socket || std::find(failed.begin(), failed.end(), id) != failed.end())
                        break;
                    int size = static_cast<int>(action.text.size());
                    if (send(socket->socket.get(), action.text.data(), size, 0) != size)
                        failed.push_back(id);
                    break;
                }
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
                    sockets_.erase(id);
                    break;
            }
        }
        for (ConnectionId id : failed)
            carry_out(connections_.drop(id), now);
    }

    Socket* find(ConnectionId id) {
        auto found = sockets_.find(id);
        return found == sockets_.end() ? nullptr : &found->second;
    }

    int port_;
    BrowserConnections connections_;
    ScopedHandle wake_{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    ScopedHandle listen_event_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    ScopedSocket listener_;
    bool accept_behind_ = false;
    std::map<ConnectionId, Socket> sockets_;
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
