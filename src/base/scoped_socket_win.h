// The owner of a Winsock socket. Include it before <windows.h>: Winsock 2 must come first, or
// <windows.h> declares the first Winsock's names.
#pragma once

#include <winsock2.h>

#include <utility>

namespace dvbk {

class ScopedSocket {
public:
    explicit ScopedSocket(SOCKET socket = INVALID_SOCKET) : socket_(socket) {}
    ~ScopedSocket() { reset(); }
    ScopedSocket(ScopedSocket&& other) noexcept : socket_(std::exchange(other.socket_, INVALID_SOCKET)) {}
    ScopedSocket& operator=(ScopedSocket&& other) noexcept {
        if (this != &other) {
            reset();
            socket_ = std::exchange(other.socket_, INVALID_SOCKET);
        }
        return *this;
    }

    SOCKET get() const { return socket_; }
    bool valid() const { return socket_ != INVALID_SOCKET; }
    // Closes what it held and takes `socket` instead.
    void reset(SOCKET socket = INVALID_SOCKET) {
        if (valid())
            closesocket(socket_);
        socket_ = socket;
    }

private:
    SOCKET socket_;
};

}  // namespace dvbk
