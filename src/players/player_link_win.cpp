// Winsock 2 must come before <windows.h>, which would otherwise declare the first Winsock's names.
#include "players/link_thread_win.h"

#include <ws2tcpip.h>

#include "players/player_link_win.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>
#include <optional>
#include <random>
#include <string_view>
#include <thread>
#include <utility>

#include "base/scoped_win.h"
#include "clock/playback_clock.h"
#include "wire/http_exchange.h"
#include "wire/line_assembler.h"
#include "wire/player_messages.h"

namespace dvbk {
namespace {

constexpr DWORD ANSWER_TIMEOUT_MS = 1000;  // the texts below say "1 s"
constexpr DWORD PIPE_RETRY_MS = 500;
constexpr unsigned QUICK_INTERVAL_MS = 30;
constexpr std::uint64_t VLC_ANSWER_WAIT_MS = 20;
constexpr size_t MAX_ANSWER_BYTES = 1 << 20;  // VLC's status is a few kilobytes

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
          request_(http_get_request(host_, port, "/requests/status.json", password)),
          interval_ms_(interval_ms),
          queue_(window, message) {
        worker_ = std::thread([this] { guarded(queue_, [this] { run(); }); });
    }
    ~VlcLink() override {
        SetEvent(stop_.get());
        worker_.join();
    }

    std::vector<PlayerReply> take() override { return queue_.take(); }

    void ask_quickly(bool quickly) override {
        // A poll already waited for comes sooner.
        if (!quick_.exchange(quickly) && quickly)
            SetEvent(hurry_.get());
    }

private:
    bool stopped() const { return WaitForSingleObject(stop_.get(), 0) == WAIT_OBJECT_0; }

    void run() {
        if (!winsock_ready()) {
            queue_.push(error_reply("Winsock unavailable"));
            return;
        }
        std::minstd_rand random(static_cast<std::minstd_rand::result_type>(system_tick_count()));
        for (;;) {
            // The next poll is due one gap after this one started, however long this one takes.
            std::uint64_t start = system_tick_count();
            std::optional<PlayerReply> reply = poll();
            if (!reply)
                return;
            queue_.push(std::move(*reply));
            // Gaps of varied length fall at every point of VLC's own update steps, which is what
            // pins down when it makes them.
            unsigned gap = interval_ms_ - static_cast<unsigned>(random() % (interval_ms_ / 5 + 1));
            for (;;) {
                std::uint64_t due = start + (quick_ ? std::min(gap, QUICK_INTERVAL_MS) : gap);
                std::uint64_t now = system_tick_count();
                HANDLE events[] = {stop_.get(), hurry_.get()};
                DWORD woken = WaitForMultipleObjects(2, events, FALSE, due > now ? static_cast<DWORD>(due - now) : 0);
                if (woken == WAIT_OBJECT_0)
                    return;
                if (woken != WAIT_OBJECT_0 + 1)
                    break;
            }
        }
    }

    // One request on a fresh connection; nullopt when the link stopped meanwhile.
    std::optional<PlayerReply> poll() {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        addrinfo* found = nullptr;
        if (getaddrinfo(host_.c_str(), port_.c_str(), &hints, &found) != 0)
            return error_reply("unknown host " + host_);
        AddressList addresses(found);

        // "localhost" may name ::1 before 127.0.0.1 while the player listens on only one of them.
        std::string error;
        for (const addrinfo* address = addresses.get(); address; address = address->ai_next) {
            ScopedSocket socket = connect_to(*address, error);
            if (stopped())
                return std::nullopt;
            if (!socket.valid())
                continue;
            std::string answer;
            std::uint64_t asked = 0;
            std::uint64_t sent = 0;
            bool answered = read_answer(socket.get(), answer, asked, sent, error);
            if (stopped())
                return std::nullopt;
            if (!answered)
                return error_reply(error);
            // VLC reads its position as soon as the request reaches it, but sends the answer only
            // after its web server's next 20 ms wait (sooner when another request wakes it): the
            // answer tells of the moment it was asked. One that took longer was held up, maybe
            // before VLC read its position.
            PlayerReply reply = answer_reply(answer);
            if (reply.ok) {
                std::uint64_t latest = std::max(sent, reply.tick - std::min(reply.tick, VLC_ANSWER_WAIT_MS));
                reply.tick = asked;
                reply.latest_tick = latest > asked ? latest : 0;
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
        std::uint64_t deadline = system_tick_count() + ANSWER_TIMEOUT_MS;
        for (;;) {
            Wait wait = wait_for(stop_.get(), network_.get(), deadline);
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
    bool read_answer(SOCKET socket, std::string& answer, std::uint64_t& asked, std::uint64_t& sent,
                     std::string& error) {
        asked = system_tick_count();
        if (send(socket, request_.data(), static_cast<int>(request_.size()), 0) != static_cast<int>(request_.size())) {
            error = with_code("cannot send the request", WSAGetLastError());
            return false;
        }
        sent = system_tick_count();
        std::uint64_t deadline = system_tick_count() + ANSWER_TIMEOUT_MS;
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
            if (wait_for(stop_.get(), network_.get(), deadline) != Wait::Ready) {
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
    std::string request_;
    unsigned interval_ms_;
    ReplyQueue queue_;
    ScopedHandle stop_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    ScopedHandle network_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    ScopedHandle hurry_{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    std::atomic<bool> quick_{false};
    std::thread worker_;
};

class MpvLink : public PlayerLink {
public:
    MpvLink(HWND window, UINT message, std::string pipe_name)
        : pipe_name_(std::move(pipe_name)), queue_(window, message) {
        worker_ = std::thread([this] { guarded(queue_, [this] { run(); }); });
    }
    ~MpvLink() override {
        SetEvent(stop_.get());
        worker_.join();
    }

    std::vector<PlayerReply> take() override { return queue_.take(); }

private:
    enum class Io { Done, Failed, Stopped };

    void run() {
        // Only a change is worth telling: the same failure every half second would bury the rest.
        std::string last_error;
        for (;;) {
            ScopedHandle pipe(CreateFileA(pipe_name_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_OVERLAPPED, nullptr));
            std::string error;
            if (pipe.valid()) {
                last_error.clear();
                error = talk(pipe.get());
                if (error.empty())
                    return;
            } else {
                error = open_error_text(GetLastError());
            }
            if (error != last_error)
                queue_.push(error_reply(error));
            last_error = error;
            if (WaitForSingleObject(stop_.get(), PIPE_RETRY_MS) == WAIT_OBJECT_0)
                return;
        }
    }

    std::string open_error_text(DWORD code) const {
        switch (code) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
                return "pipe " + pipe_name_ + " not found";
            case ERROR_PIPE_BUSY:
                return "pipe " + pipe_name_ + " busy";
            case ERROR_ACCESS_DENIED:
                return "pipe " + pipe_name_ + ": access denied";
            default:
                return with_code(("cannot open pipe " + pipe_name_).c_str(), code);
        }
    }

    // Asks mpv for the properties we follow, then delivers its lines until the pipe breaks (the
    // result says so) or the link stops (the result is empty).
    std::string talk(HANDLE pipe) {
        const std::string observe = mpv_observe_commands();
        OVERLAPPED write{};
        write.hEvent = io_.get();
        DWORD written = 0;
        if (!WriteFile(pipe, observe.data(), static_cast<DWORD>(observe.size()), nullptr, &write) &&
            GetLastError() != ERROR_IO_PENDING)
            return "disconnected";
        Io io = finish(pipe, write, ANSWER_TIMEOUT_MS, written);
        if (io != Io::Done || written != observe.size())
            return io == Io::Stopped ? "" : "disconnected";

        LineAssembler lines;
        char buffer[4096];
        for (;;) {
            OVERLAPPED read{};
            read.hEvent = io_.get();
            DWORD got = 0;
            if (!ReadFile(pipe, buffer, sizeof buffer, nullptr, &read) && GetLastError() != ERROR_IO_PENDING &&
                GetLastError() != ERROR_MORE_DATA)
                return "disconnected";
            io = finish(pipe, read, INFINITE, got);
            if (io != Io::Done)
                return io == Io::Stopped ? "" : "disconnected";
            std::uint64_t tick = system_tick_count();
            for (std::string& line : lines.feed(std::string_view(buffer, got)))
                queue_.push(ok_reply(std::move(line), tick));
        }
    }

    // Waits for the overlapped operation started on `pipe`. Unless it is Done, it has been cancelled
    // and has finished, so that `overlapped` and its buffer may go.
    Io finish(HANDLE pipe, OVERLAPPED& overlapped, DWORD timeout, DWORD& transferred) {
        HANDLE handles[] = {stop_.get(), overlapped.hEvent};
        DWORD result = WaitForMultipleObjects(2, handles, FALSE, timeout);
        if (result != WAIT_OBJECT_0 + 1) {
            CancelIo(pipe);
            GetOverlappedResult(pipe, &overlapped, &transferred, TRUE);
            return result == WAIT_OBJECT_0 ? Io::Stopped : Io::Failed;
        }
        // A message-mode pipe says ERROR_MORE_DATA for a message longer than the buffer; the rest
        // comes with the next read, as in byte mode.
        if (GetOverlappedResult(pipe, &overlapped, &transferred, FALSE) || GetLastError() == ERROR_MORE_DATA)
            return Io::Done;
        return Io::Failed;
    }

    std::string pipe_name_;
    ReplyQueue queue_;
    ScopedHandle stop_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    ScopedHandle io_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    std::thread worker_;
};

}  // namespace

std::unique_ptr<PlayerLink> start_vlc_link(HWND window, UINT message, std::string host, int port, std::string password,
                                           unsigned interval_ms) {
    return std::make_unique<VlcLink>(window, message, std::move(host), port, std::move(password), interval_ms);
}

std::unique_ptr<PlayerLink> start_mpv_link(HWND window, UINT message, std::string pipe_name) {
    return std::make_unique<MpvLink>(window, message, std::move(pipe_name));
}

}  // namespace dvbk
