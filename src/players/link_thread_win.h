// What the links to the players share: the worker thread with its stop event and the queue that
// hands replies from it to the user-interface thread, Winsock's start-up, and the replies' makers.
// Include it before <windows.h>: it brings in Winsock 2.
#pragma once

#include "base/scoped_socket_win.h"

#include <windows.h>

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/scoped_win.h"
#include "players/player_link_win.h"

namespace dvbk {

PlayerReply ok_reply(std::string text, double tick);
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

// Winsock started once for the process; false when it could not be.
bool winsock_ready();

enum class Wait { Ready, TimedOut, Stopped, Failed };

// A link's worker thread, the event that stops it and the queue of its replies. The link starts it
// last in its constructor and stops it first in its destructor, so that the body never sees a
// member that is not there yet or no longer.
class LinkThread {
public:
    LinkThread(HWND window, UINT message) : queue_(window, message) {}
    ~LinkThread() { stop(); }
    LinkThread(const LinkThread&) = delete;
    LinkThread& operator=(const LinkThread&) = delete;

    // Runs `body` on the worker. Nothing leaves it: should it fail after all, its last reply says so.
    void start(std::function<void()> body);
    // Sets the stop event and waits for the body to return; at once when it has not started.
    void stop();

    // From the worker.
    void push(PlayerReply reply) { queue_.push(std::move(reply)); }
    // From the user-interface thread.
    std::vector<PlayerReply> take() { return queue_.take(); }

    // For waits on more events than wait() takes; it comes first among them, so that it wins.
    HANDLE stop_event() const { return stop_.get(); }
    bool stopped() const { return WaitForSingleObject(stop_.get(), 0) == WAIT_OBJECT_0; }
    // Waits up to `timeout_ms` (INFINITE: for ever) for `event`, or for nothing but the stop when
    // `event` is null; the stop wins when both are set.
    Wait wait(HANDLE event, DWORD timeout_ms) const;
    // The same until the tick `deadline`.
    Wait wait_until(HANDLE event, double deadline) const;

private:
    ReplyQueue queue_;
    ScopedHandle stop_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    std::thread worker_;
};

}  // namespace dvbk
