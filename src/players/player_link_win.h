// Following a player's position: a worker thread asks VLC's web interface for its status, listens
// on mpv's IPC pipe, or takes the browser extension's connections on the loopback, and hands what
// it heard to the user-interface thread, which never waits on the network or the pipe.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "players/player_reply.h"

namespace dvbk {

// Posts `message` (wParam and lParam 0) to `window` when replies start waiting; the window's
// thread then calls take(). Destroying the link stops its thread within a few milliseconds, even
// while a connect, a read or the lookup of a host name is pending: nothing waits on the network.
class PlayerLink {
public:
    virtual ~PlayerLink() = default;
    // Every reply since the last call, oldest first; only the newest 64 are kept for a slow reader.
    virtual std::vector<PlayerReply> take() = 0;
    // The user's answer to a reply that asked permission for `origin`. Links that never ask ignore it.
    virtual void answer_permission(const std::string& /*origin*/, bool /*allowed*/) {}
    // Whether to ask the player much more often than usual, until told otherwise. Links to players
    // that report on their own ignore it.
    virtual void ask_quickly(bool /*quickly*/) {}
};

// Asks http://host:port/requests/status.json every `interval_ms` at the most, counted from the
// start of the previous request, and every 30 ms while asked to be quick; one reply per request.
// The gaps vary by up to a fifth, so that they do not keep in step with the player's own updates.
// After a status that names another file than the last, /requests/playlist.json is asked too, and
// goes with that status's reply (PlayerReply::playlist).
std::unique_ptr<PlayerLink> start_vlc_link(HWND window, UINT message, std::string host, int port, std::string password,
                                           unsigned interval_ms = 250);

// Opens the pipe (e.g. \\.\pipe\mpvsocket), asks mpv to report time-pos, pause, speed, path and
// duration, and delivers each line it sends. Retries every 500 ms while the pipe is missing or after
// it broke.
std::unique_ptr<PlayerLink> start_mpv_link(HWND window, UINT message, std::string pipe_name);

// Listens on 127.0.0.1:port for the browser extension's WebSocket. A connection is let in only
// from an extension's origin; one in `refused` is turned away, one in `allowed` is followed at
// once, any other asks the user first (and is told it waits). Retries every 2 s while the port
// cannot be had.
std::unique_ptr<PlayerLink> start_browser_link(HWND window, UINT message, int port, std::vector<std::string> allowed,
                                               std::vector<std::string> refused);

}  // namespace dvbk
