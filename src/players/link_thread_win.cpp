#include "players/link_thread_win.h"

#include <cmath>
#include <iterator>
#include <utility>

#include "clock/playback_clock.h"

namespace dvbk {

PlayerReply ok_reply(std::string text, double tick) {
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

void LinkThread::start(std::function<void()> body) {
    worker_ = std::thread([this, body = std::move(body)] {
        try {
            body();
        } catch (...) {
            try {
                queue_.push(error_reply("stopped after an internal error"));
            } catch (...) {
            }
        }
    });
}

void LinkThread::stop() {
    SetEvent(stop_.get());
    if (worker_.joinable())
        worker_.join();
}

Wait LinkThread::wait(HANDLE event, DWORD timeout_ms) const {
    HANDLE handles[] = {stop_.get(), event};
    DWORD result = WaitForMultipleObjects(event ? 2 : 1, handles, FALSE, timeout_ms);
    switch (result) {
        case WAIT_OBJECT_0:
            return Wait::Stopped;
        case WAIT_OBJECT_0 + 1:
            return Wait::Ready;
        case WAIT_TIMEOUT:
            return Wait::TimedOut;
        default:
            return Wait::Failed;
    }
}

Wait LinkThread::wait_until(HANDLE event, double deadline) const {
    double left = deadline - system_tick_count();
    // Rounded up: a wait that ends a fraction early would find the deadline not yet passed.
    return wait(event, left > 0.0 ? static_cast<DWORD>(std::ceil(left)) : 0);
}

}  // namespace dvbk
