// Following a player's position: a worker thread asks VLC's web interface for its status, or
// listens on mpv's IPC pipe, and hands what it heard to the user-interface thread, which never
// waits on the network or the pipe.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace dvbk {

// One thing heard from the player, or why nothing was heard.
struct PlayerReply {
    std::uint64_t tick = 0;  // system_tick_count() when it arrived
    bool ok = false;
    std::string text;   // VLC: the body of a 200 answer; mpv: one line without its "\n" (or "\r")
    std::string error;  // when !ok, a short text for the user: "connection refused", "disconnected", ...
};

// Posts `message` (wParam and lParam 0) to `window` when replies start waiting; the window's
// thread then calls take(). Destroying the link stops its thread within a few milliseconds, even
// while a connect or a read is pending; only a host name being looked up is waited for.
class PlayerLink {
public:
    virtual ~PlayerLink() = default;
    // Every reply since the last call, oldest first; only the newest 64 are kept for a slow reader.
    virtual std::vector<PlayerReply> take() = 0;
};

// Asks http://host:port/requests/status.json every `interval_ms`, counted from the start of the
// previous request; one reply per request.
std::unique_ptr<PlayerLink> start_vlc_link(HWND window, UINT message, std::string host, int port, std::string password,
                                           unsigned interval_ms = 250);

// Opens the pipe (e.g. \\.\pipe\mpvsocket), asks mpv to report time-pos and pause, and delivers
// each line it sends. Retries every 500 ms while the pipe is missing or after it broke.
std::unique_ptr<PlayerLink> start_mpv_link(HWND window, UINT message, std::string pipe_name);

}  // namespace dvbk
