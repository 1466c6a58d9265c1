// What the links to the players share: the queue that hands replies from a worker thread to the
// user-interface thread, the guard around a worker's body, Winsock's start-up and a wait that a
// stop event cuts short. Include it before <windows.h>: it brings in Winsock 2.
#pragma once

#include "base/scoped_socket_win.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "players/player_link_win.h"

namespace dvbk {

PlayerReply ok_reply(std::string text, std::uint64_t tick);
PlayerReply error_reply(std::string error);

// "TEXT (error CODE)", for failures without a plain name.
std::string with_code(const char* text, unsigned long code);

// The replies waiting for the user-interface thread, shared with the worker.
class ReplyQueue {
public:
    // A slow reader loses the oldest replies beyond this.
    static constexpr size_t MAX_WAITING = 64;

    ReplyQueue(HWND window, UINT message) : window_(window), message_(message) {}

    // Queues the reply and, unless one is already on its way, posts `message` to the window.
    void push(PlayerReply reply);
    std::vector<PlayerReply> take();

private:
    HWND window_;
    UINT message_;
    std::mutex mutex_;
    std::deque<PlayerReply> replies_;
    bool posted_ = false;
};

// Nothing may leave a thread's function; should the worker fail after all, its last reply says so.
template <class Body>
void guarded(ReplyQueue& queue, Body body) {
    try {
        body();
    } catch (...) {
        try {
            queue.push(error_reply("stopped after an internal error"));
        } catch (...) {
        }
    }
}

// Winsock started once for the process; false when it could not be.
bool winsock_ready();

enum class Wait { Ready, TimedOut, Stopped };

// Waits for `event` until the tick `deadline`; the stop event wins when both are set.
Wait wait_for(HANDLE stop, HANDLE event, std::uint64_t deadline);

}  // namespace dvbk
