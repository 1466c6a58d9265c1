// The link to VLC's web interface: one HTTP request for its status on a fresh connection per poll,
// and one for its playlist after a status that names another file.
// Winsock 2 must come before <windows.h>, which would otherwise declare the first Winsock's names.
#include "players/link_thread_win.h"

#include <ws2tcpip.h>

#include "players/player_link_win.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <random>
#include <string_view>
#include <thread>
#include <utility>

#include "base/scoped_win.h"
#include "clock/playback_clock.h"
#include "wire/http_exchange.h"
#include "wire/player_messages.h"

namespace dvbk {
namespace {

constexpr DWORD ANSWER_TIMEOUT_MS = 1000;  // the texts below say "1 s"
constexpr unsigned QUICK_INTERVAL_MS = 30;
constexpr double VLC_ANSWER_WAIT_MS = 20.0;
constexpr size_t MAX_ANSWER_BYTES = 1 << 20;  // VLC's status is a few kilobytes, its playlist a line an item

struct AddressListDeleter {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};
using AddressList = std::unique_ptr<addrinfo, AddressListDeleter>;

std::string connect_error_text(int code) {
    switch (code) {
        case WSAECONNREFUSED:
            return "connection refused";
        case WSAETIMEDOUT:
            return "connection timed out";
        case WSAENETUNREACH:
        case WSAEHOSTUNREACH:
            return "host unreachable";
        default:
            return with_code("cannot connect", code);
    }
}

// A host name looked up on a thread of its own, for as long as the name servers take. The link
// waits for it or for its stop, whichever comes first; a lookup left behind ends by itself and
// frees what it found.
struct HostLookup {
    ScopedHandle done{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    AddressList addresses;
};

std::shared_ptr<HostLookup> start_lookup(const std::string& host, const std::string& port) {
    auto lookup = std::make_shared<HostLookup>();
    if (!lookup->done.valid())
        return nullptr;
    std::thread([lookup, host, port] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        addrinfo* found = nullptr;
        if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) == 0)
            lookup->addresses.reset(found);
        SetEvent(lookup->done.get());
    }).detach();
    return lookup;
}

PlayerReply answer_reply(std::string_view answer) {
    if (answer.empty())
        return error_reply("closed without answering");
    std::optional<HttpResponse> response = read_http_response(answer);
    if (!response)
        return error_reply("not an HTTP answer");
    if (response->status == 200)
        return ok_reply(std::move(response->body), system_tick_count());
    if (response->status == 401)
        return error_reply("HTTP 401 (wrong password?)");
    return error_reply("HTTP " + std::to_string(response->status));
}

class VlcLink : public PlayerLink {
public:
    VlcLink(HWND window, UINT message, std::string host, int port, std::string password, unsigned interval_ms)
        : host_(std::move(host)),
          port_(std::to_string(port)),
          status_request_(http_get_request(host_, port, "/requests/status.json", password)),
          playlist_request_(http_get_request(host_, port, "/requests/playlist.json", password)),
          interval_ms_(interval_ms),
          thread_(window, message) {
        thread_.start([this] { run(); });
    }
    ~VlcLink() override { thread_.stop(); }

    std::vector<PlayerReply> take() override { return thread_.take(); }

    void ask_quickly(bool quickly) override {
        // A poll already waited for comes sooner.
        if (!quick_.exchange(quickly) && quickly)
            SetEvent(hurry_.get());
    }

private:
    void run() {
        if (!winsock_ready()) {
            thread_.push(error_reply("Winsock unavailable"));
            return;
        }
        std::minstd_rand random(
            static_cast<std::minstd_rand::result_type>(static_cast<std::uint64_t>(system_tick_count())));
        for (;;) {
            // The next poll is due one gap after this one started, however long this one takes.
            double start = system_tick_count();
            std::optional<PlayerReply> reply = poll();
            if (!reply || !add_playlist(*reply))
                return;
            thread_.push(std::move(*reply));
            // Gaps of varied length fall at every point of VLC's own update steps, which is what
            // pins down when it makes them.
            unsigned gap = interval_ms_ - static_cast<unsigned>(random() % (interval_ms_ / 5 + 1));
            for (;;) {
                double due = start + (quick_ ? std::min(gap, QUICK_INTERVAL_MS) : gap);
                Wait woken = thread_.wait_until(hurry_.get(), due);
                if (woken == Wait::Stopped)
                    return;
                if (woken != Wait::Ready)
                    break;
            }
        }
    }

    // VLC names the file it plays in every status, but tells where it is only in its playlist: that
    // is asked for once for each file name, right after the status that named it, and goes with
    // that status. A failure leaves the reply without it. False when the link stopped meanwhile.
    bool add_playlist(PlayerReply& reply) {
        if (!reply.ok)
            return true;
        std::optional<VlcStatus> status = read_vlc_status(reply.text);
        if (!status || status->file_name.empty() || status->file_name == file_name_)
            return true;
        file_name_ = status->file_name;
        std::optional<PlayerReply> playlist = ask(playlist_request_);
        if (!playlist)
            return false;
        if (playlist->ok)
            reply.playlist = std::move(playlist->text);
        return true;
    }

    // The status, asked on a fresh connection; nullopt when the link stopped meanwhile.
    std::optional<PlayerReply> poll() { return ask(status_request_); }

    // One request on a fresh connection; nullopt when the link stopped meanwhile.
    std::optional<PlayerReply> ask(const std::string& request) {
        // An address needs no name server, and no thread of its own.
        addrinfo hints{};
        hints.ai_flags = AI_NUMERICHOST;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        addrinfo* found = nullptr;
        AddressList addresses;
        if (getaddrinfo(host_.c_str(), port_.c_str(), &hints, &found) == 0) {
            addresses.reset(found);
        } else {
            std::shared_ptr<HostLookup> lookup = start_lookup(host_, port_);
            Wait wait = lookup ? thread_.wait(lookup->done.get(), INFINITE) : Wait::Failed;
            if (wait == Wait::Stopped)
                return std::nullopt;
            if (wait == Wait::Ready)
                addresses = std::move(lookup->addresses);
        }
        if (!addresses)
            return error_reply("unknown host " + host_);

        // "localhost" may name ::1 before 127.0.0.1 while the player listens on only one of them.
        std::string error;
        for (const addrinfo* address = addresses.get(); address; address = address->ai_next) {
            ScopedSocket socket = connect_to(*address, error);
            if (thread_.stopped())
                return std::nullopt;
            if (!socket.valid())
                continue;
            std::string answer;
            double asked = 0.0;
            double sent = 0.0;
            bool answered = read_answer(socket.get(), request, answer, asked, sent, error);
            if (thread_.stopped())
                return std::nullopt;
            if (!answered)
                return error_reply(error);
            // VLC reads its position as soon as the request reaches it, but sends the answer only
            // after its web server's next 20 ms wait (sooner when another request wakes it): the
            // answer tells of the moment it was asked. One that took longer was held up, maybe
            // before VLC read its position.
            PlayerReply reply = answer_reply(answer);
            if (reply.ok) {
                double latest = std::max(sent, reply.tick - VLC_ANSWER_WAIT_MS);
                reply.tick = asked;
                reply.latest_tick = latest > asked ? latest : 0.0;
            }
            return reply;
        }
        return error_reply(error);
    }

    ScopedSocket connect_to(const addrinfo& address, std::string& error) {
        ScopedSocket socket(::socket(address.ai_family, address.ai_socktype, address.ai_protocol));
        if (!socket.valid()) {
            error = with_code("no socket", WSAGetLastError());
            return ScopedSocket();
        }
        // From here the socket does not block: connect, data and close are signalled through the event.
        ResetEvent(network_.get());
        if (WSAEventSelect(socket.get(), network_.get(), FD_CONNECT | FD_READ | FD_CLOSE) != 0) {
            error = with_code("no socket events", WSAGetLastError());
            return ScopedSocket();
        }
        if (connect(socket.get(), address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0)
            return socket;
        if (WSAGetLastError() != WSAEWOULDBLOCK) {
            error = connect_error_text(WSAGetLastError());
            return ScopedSocket();
        }
        double deadline = system_tick_count() + ANSWER_TIMEOUT_MS;
        for (;;) {
            Wait wait = thread_.wait_until(network_.get(), deadline);
            if (wait != Wait::Ready) {
                error = "no answer in 1 s";
                return ScopedSocket();
            }
            WSANETWORKEVENTS events{};
            if (WSAEnumNetworkEvents(socket.get(), network_.get(), &events) != 0) {
                error = with_code("cannot connect", WSAGetLastError());
                return ScopedSocket();
            }
            if (events.lNetworkEvents & FD_CONNECT) {
                if (events.iErrorCode[FD_CONNECT_BIT] == 0)
                    return socket;
                error = connect_error_text(events.iErrorCode[FD_CONNECT_BIT]);
                return ScopedSocket();
            }
        }
    }

    // Sends the request, noting when it was about to go (`asked`) and when it had gone (`sent`), and
    // reads until the server closes; false with `error` when it did not.
    bool read_answer(SOCKET socket, const std::string& request, std::string& answer, double& asked, double& sent,
                     std::string& error) {
        asked = system_tick_count();
        if (send(socket, request.data(), static_cast<int>(request.size()), 0) != static_cast<int>(request.size())) {
            error = with_code("cannot send the request", WSAGetLastError());
            return false;
        }
        sent = system_tick_count();
        double deadline = system_tick_count() + ANSWER_TIMEOUT_MS;
        char buffer[4096];
        for (;;) {
            int got = recv(socket, buffer, sizeof buffer, 0);
            if (got > 0) {
                answer.append(buffer, got);
                if (answer.size() > MAX_ANSWER_BYTES) {
                    error = "answer too long";
                    return false;
                }
                continue;
            }
            if (got == 0)
                return true;
            int code = WSAGetLastError();
            // A server that closes before reading all we sent resets the connection after its answer.
            if (code == WSAECONNRESET && !answer.empty())
                return true;
            if (code != WSAEWOULDBLOCK) {
                error = code == WSAECONNRESET ? "connection reset" : with_code("cannot read", code);
                return false;
            }
            if (thread_.wait_until(network_.get(), deadline) != Wait::Ready) {
                error = answer.empty() ? "no answer in 1 s" : "answer not finished in 1 s";
                return false;
            }
            // Clears the event; what happened shows in the next recv.
            WSANETWORKEVENTS events{};
            WSAEnumNetworkEvents(socket, network_.get(), &events);
        }
    }

    std::string host_;
    std::string port_;
    std::string status_request_;
    std::string playlist_request_;
    unsigned interval_ms_;
    std::string file_name_;  // the last one a status named, for which the playlist was asked
    ScopedHandle network_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    ScopedHandle hurry_{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    std::atomic<bool> quick_{false};
    LinkThread thread_;  // last: it goes first
};

}  // namespace

std::unique_ptr<PlayerLink> start_vlc_link(HWND window, UINT message, std::string host, int port, std::string password,
                                           unsigned interval_ms) {
    return std::make_unique<VlcLink>(window, message, std::move(host), port, std::move(password), interval_ms);
}

}  // namespace dvbk
