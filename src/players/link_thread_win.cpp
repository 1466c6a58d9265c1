#include "players/link_thread_win.h"

#include <iterator>
#include <utility>

#include "clock/playback_clock.h"

namespace dvbk {

PlayerReply ok_reply(std::string text, std::uint64_t tick) {
    PlayerReply reply;
    reply.tick = tick;
    reply.ok = true;
    reply.text = std::move(text);
    return reply;
}

PlayerReply error_reply(std::string error) {
    PlayerReply reply;
    reply.tick = system_tick_count();
    reply.error = std::move(error);
    return reply;
}

std::string with_code(const char* text, unsigned long code) {
    return std::string(text) + " (error " + std::to_string(code) + ")";
}

void ReplyQueue::push(PlayerReply reply) {
    bool post = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        replies_.push_back(std::move(reply));
        if (replies_.size() > MAX_WAITING)
            replies_.pop_front();
        post = !posted_;
        posted_ = true;
    }
    // One message until the next take(): the window hears that replies wait, not how many.
    // When it is gone (or its queue is full), the next reply tries again.
    if (post && (!window_ || !PostMessageA(window_, message_, 0, 0))) {
        std::lock_guard<std::mutex> lock(mutex_);
        posted_ = false;
    }
}

std::vector<PlayerReply> ReplyQueue::take() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<PlayerReply> taken(std::make_move_iterator(replies_.begin()), std::make_move_iterator(replies_.end()));
    replies_.clear();
    posted_ = false;
    return taken;
}

bool winsock_ready() {
    static const bool ready = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ready;
}

Wait wait_for(HANDLE stop, HANDLE event, std::uint64_t deadline) {
    std::uint64_t now = system_tick_count();
    HANDLE handles[] = {stop, event};
    DWORD result = WaitForMultipleObjects(2, handles, FALSE, deadline > now ? static_cast<DWORD>(deadline - now) : 0);
    if (result == WAIT_OBJECT_0 + 1)
        return Wait::Ready;
    return result == WAIT_TIMEOUT ? Wait::TimedOut : Wait::Stopped;
}

}  // namespace dvbk
