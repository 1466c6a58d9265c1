// Stand-ins for the players the links talk to: VLC's web interface on a loopback port and mpv's
// IPC pipe, each served by a thread of its own and steered by the test.
// Include this before anything that includes <windows.h>: it brings in Winsock 2.
#pragma once

#include "base/scoped_socket_win.h"

#include <ws2tcpip.h>

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "base/scoped_win.h"
#include "wire/base64.h"

namespace dvbk::testing_fakes {

// Winsock for as long as the holder lives; the first member, so that it goes after the sockets.
struct WinsockUser {
    WinsockUser() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~WinsockUser() { WSACleanup(); }
};

// A loopback listener on an ephemeral port with a small queue; `port` stays 0 when that failed.
inline void listen_on_loopback(ScopedSocket& listener, int& port, int backlog) {
    listener.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    // Connections we closed linger on a port; without this a new listener could not bind it again.
    BOOL reuse = TRUE;
    setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    int size = sizeof address;
    if (bind(listener.get(), reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(listener.get(), backlog) != 0 ||
        getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return;
    port = ntohs(address.sin_port);
}

// A port where connecting hangs: it listens but never accepts, and once its queue is full the
// Linux kernel under Wine drops further connection requests unanswered (Windows would refuse them).
class FullListener {
public:
    FullListener() {
        listen_on_loopback(listener_, port_, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<u_short>(port_));
        for (ScopedSocket& filler : fillers_) {
            filler.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
            u_long nonblocking = 1;
            ioctlsocket(filler.get(), FIONBIO, &nonblocking);
            connect(filler.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
        Sleep(100);  // for the handshakes that will complete
    }
    int port() const { return port_; }

private:
    WinsockUser winsock_;
    ScopedSocket listener_;
    ScopedSocket fillers_[3];
    int port_ = 0;
};

// Waits up to `ms` for `done()`, checking every 10 ms.
template <class Done>
bool wait_until(Done done, DWORD ms) {
    for (ULONGLONG deadline = GetTickCount64() + ms; !done(); Sleep(10)) {
        if (GetTickCount64() > deadline)
            return false;
    }
    return true;
}

// VLC's HTTP interface: answers every request with the body set by the test, or 401 when the
// request's password is not `password`; or misbehaves as the mode says.
class FakeVlcServer {
public:
    enum class Mode { Answer, Garbage, CloseAtOnce, NeverAnswer };

    explicit FakeVlcServer(std::string password) : password_(std::move(password)) {
        listen_on_loopback(listener_, port_, SOMAXCONN);
        thread_ = std::thread([this] { serve(); });
    }
    ~FakeVlcServer() {
        stop_ = true;
        thread_.join();
    }

    int port() const { return port_; }
    int requests() const { return requests_; }
    void set_mode(Mode mode) { mode_ = mode; }
    // Answers this long after reading the request, as a busy VLC would.
    void set_delay_ms(DWORD delay) { delay_ms_ = delay; }
    void set_body(std::string body) {
        std::lock_guard<std::mutex> lock(mutex_);
        body_ = std::move(body);
    }
    // Return once connects are refused, or accepted again on the same port.
    bool stop_listening() { return set_listening(false); }
    bool listen_again() { return set_listening(true); }

private:
    bool set_listening(bool listening) {
        wanted_listening_ = listening;
        return wait_until([&] { return listening_ == listening; }, 5000);
    }

    void serve() {
        while (!stop_) {
            if (wanted_listening_ != listening_) {
                if (wanted_listening_)
                    listen_on_loopback(listener_, port_, SOMAXCONN);
                else
                    listener_.reset();
                listening_ = wanted_listening_.load();
            }
            if (!listening_) {
                Sleep(5);
                continue;
            }
            if (readable(listener_.get())) {
                ScopedSocket client(accept(listener_.get(), nullptr, nullptr));
                if (client.get() != INVALID_SOCKET)
                    answer(client.get());
            }
        }
    }

    static bool readable(SOCKET socket) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(socket, &set);
        timeval wait{0, 20000};
        return select(0, &set, nullptr, nullptr, &wait) == 1;
    }

    void answer(SOCKET client) {
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos) {
            if (!readable(client)) {
                if (stop_)
                    return;
                continue;
            }
            int got = recv(client, buffer, sizeof buffer, 0);
            if (got <= 0)
                return;
            request.append(buffer, got);
        }
        ++requests_;
        std::string reply;
        switch (mode_.load()) {
            case Mode::Answer:
                reply = authorised(request) ? ok_answer() : "HTTP/1.1 401 Unauthorized\r\nContent-Length: 0\r\n\r\n";
                break;
            case Mode::Garbage:
                reply = std::string("\x16\x03\x01\x00\xff garbage\r\n\r\n", 19);
                break;
            case Mode::CloseAtOnce:
                break;
            case Mode::NeverAnswer:
                // Holds the connection until the client gives up.
                while (!stop_ && (!readable(client) || recv(client, buffer, sizeof buffer, 0) > 0)) {
                }
                return;
        }
        Sleep(delay_ms_);
        send(client, reply.data(), static_cast<int>(reply.size()), 0);
        shutdown(client, SD_SEND);
    }

    bool authorised(const std::string& request) const {
        return request.find("\r\nAuthorization: Basic " + base64(":" + password_) + "\r\n") != std::string::npos;
    }

    std::string ok_answer() {
        std::lock_guard<std::mutex> lock(mutex_);
        return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body_.size()) +
               "\r\n\r\n" + body_;
    }

    WinsockUser winsock_;
    std::string password_;
    ScopedSocket listener_;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<DWORD> delay_ms_{0};
    std::atomic<bool> wanted_listening_{true};
    std::atomic<bool> listening_{true};
    std::atomic<int> requests_{0};
    std::atomic<Mode> mode_{Mode::Answer};
    std::mutex mutex_;
    std::string body_;
    std::thread thread_;
};

// mpv's IPC pipe: records every line a client writes and sends what the test gives it. After
// disconnect() it takes the next client; so does it when the client goes.
class FakeMpvServer {
public:
    explicit FakeMpvServer(std::string name) : name_(std::move(name)) {
        next_ = create_instance();
        thread_ = std::thread([this] { serve(); });
    }
    ~FakeMpvServer() {
        SetEvent(stop_.get());
        thread_.join();
        if (next_ != INVALID_HANDLE_VALUE)
            CloseHandle(next_);
    }

    std::vector<std::string> lines() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    int connections() const { return connections_; }

    // One WriteFile of `bytes` to the client; false when none is connected.
    bool send(std::string_view bytes) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!client_)
            return false;
        ScopedHandle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        OVERLAPPED overlapped{};
        overlapped.hEvent = done.get();
        DWORD written = 0;
        if (!WriteFile(client_, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &overlapped) &&
            GetLastError() != ERROR_IO_PENDING)
            return false;
        return GetOverlappedResult(client_, &overlapped, &written, TRUE) && written == bytes.size();
    }

    // Drops the client; the next instance of the pipe is already waiting when it learns so.
    void disconnect() { SetEvent(drop_.get()); }

private:
    HANDLE create_instance() {
        return CreateNamedPipeA(name_.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES, 65536, 65536,
                                0, nullptr);
    }

    enum class Outcome { Done, Failed, Stopped, Dropped };

    // Waits for the overlapped operation, or for the test to stop the server or (when `droppable`)
    // drop the client; either of those cancels the operation.
    Outcome finish(HANDLE pipe, OVERLAPPED& overlapped, DWORD& transferred, bool droppable) {
        HANDLE handles[] = {overlapped.hEvent, stop_.get(), drop_.get()};
        DWORD which = WaitForMultipleObjects(droppable ? 3 : 2, handles, FALSE, INFINITE);
        if (which != WAIT_OBJECT_0) {
            CancelIo(pipe);
            GetOverlappedResult(pipe, &overlapped, &transferred, TRUE);
            return which == WAIT_OBJECT_0 + 2 ? Outcome::Dropped : Outcome::Stopped;
        }
        return GetOverlappedResult(pipe, &overlapped, &transferred, FALSE) ? Outcome::Done : Outcome::Failed;
    }

    void serve() {
        for (;;) {
            ScopedHandle pipe(std::exchange(next_, INVALID_HANDLE_VALUE));
            OVERLAPPED overlapped{};
            overlapped.hEvent = io_.get();
            DWORD transferred = 0;
            if (!ConnectNamedPipe(pipe.get(), &overlapped) && GetLastError() == ERROR_IO_PENDING &&
                finish(pipe.get(), overlapped, transferred, false) == Outcome::Stopped)
                return;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                client_ = pipe.get();
            }
            ++connections_;
            Outcome outcome = read_lines(pipe.get());
            next_ = create_instance();
            {
                std::lock_guard<std::mutex> lock(mutex_);
                client_ = nullptr;
            }
            DisconnectNamedPipe(pipe.get());
            ResetEvent(drop_.get());
            if (outcome == Outcome::Stopped)
                return;
        }
    }

    // Until the client goes or the test stops the server or drops the client.
    Outcome read_lines(HANDLE pipe) {
        std::string pending;
        char buffer[4096];
        for (;;) {
            OVERLAPPED overlapped{};
            overlapped.hEvent = io_.get();
            DWORD got = 0;
            if (!ReadFile(pipe, buffer, sizeof buffer, nullptr, &overlapped) && GetLastError() != ERROR_IO_PENDING)
                return Outcome::Failed;
            Outcome outcome = finish(pipe, overlapped, got, true);
            if (outcome != Outcome::Done)
                return outcome;
            pending.append(buffer, got);
            std::lock_guard<std::mutex> lock(mutex_);
            for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
                lines_.push_back(pending.substr(0, end));
        }
    }

    std::string name_;
    HANDLE next_ = INVALID_HANDLE_VALUE;  // the instance the next client connects to
    ScopedHandle stop_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    ScopedHandle drop_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    ScopedHandle io_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    mutable std::mutex mutex_;
    HANDLE client_ = nullptr;
    std::vector<std::string> lines_;
    std::atomic<int> connections_{0};
    std::thread thread_;
};

// The browser extension's end of the link: a WebSocket client that says it comes from `origin`.
// Nothing blocks: received() takes whatever the program has sent by now.
class FakeExtension {
public:
    FakeExtension(int port, const std::string& origin) {
        socket_.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<u_short>(port));
        connect(socket_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
        u_long nonblocking = 1;
        ioctlsocket(socket_.get(), FIONBIO, &nonblocking);
        send_raw("GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                 "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                 "Sec-WebSocket-Version: 13\r\nOrigin: " +
                 origin + "\r\n\r\n");
    }

    void send_raw(const std::string& bytes) { send(socket_.get(), bytes.data(), static_cast<int>(bytes.size()), 0); }
    // Every byte, waiting while the program has not read enough to make room; false once the
    // connection is gone.
    bool send_all(std::string_view bytes) {
        while (!bytes.empty()) {
            int sent = send(socket_.get(), bytes.data(), static_cast<int>(bytes.size()), 0);
            if (sent > 0)
                bytes.remove_prefix(static_cast<size_t>(sent));
            else if (WSAGetLastError() == WSAEWOULDBLOCK)
                Sleep(1);
            else
                return false;
        }
        return true;
    }

    void send_text(std::string_view text) { send_raw(text_frame(text)); }

    // One masked text frame, as a browser sends it.
    static std::string text_frame(std::string_view text) {
        const char mask[4] = {0x11, 0x22, 0x33, 0x44};
        std::string frame = "\x81";
        if (text.size() < 126) {
            frame += static_cast<char>(0x80 | text.size());
        } else {
            frame += static_cast<char>(0x80 | 126);
            frame += static_cast<char>(text.size() >> 8);
            frame += static_cast<char>(text.size() & 0xFF);
        }
        frame.append(mask, 4);
        for (size_t i = 0; i < text.size(); ++i)
            frame += static_cast<char>(text[i] ^ mask[i % 4]);
        return frame;
    }

    // Everything the program sent so far: the answer to the handshake, then its frames as they are
    // (a text frame's payload can be searched for in them).
    const std::string& received() {
        char buffer[4096];
        for (int got; (got = recv(socket_.get(), buffer, sizeof buffer, 0)) != SOCKET_ERROR && !closed_;) {
            if (got == 0)
                closed_ = true;
            received_.append(buffer, static_cast<size_t>(got));
        }
        if (WSAGetLastError() == WSAECONNRESET)
            closed_ = true;
        return received_;
    }
    bool has(std::string_view text) { return received().find(text) != std::string::npos; }
    bool closed() {
        received();
        return closed_;
    }

private:
    WinsockUser winsock_;
    ScopedSocket socket_;
    std::string received_;
    bool closed_ = false;
};

}  // namespace dvbk::testing_fakes
