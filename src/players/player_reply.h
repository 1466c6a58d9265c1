// One thing a link heard from its player, as the link's worker thread hands it to the
// user-interface thread.
#pragma once

#include <string>

namespace dvbk {

// One thing heard from the player, or why nothing was heard.
struct PlayerReply {
    double tick = 0.0;  // system_tick_count() when it arrived; VLC: when VLC was asked
    // VLC: the latest VLC can have read its position, when its answer was held up; 0: at `tick`.
    double latest_tick = 0.0;
    bool ok = false;
    std::string text;   // VLC: the body of a 200 answer; mpv: one line without its "\n" (or "\r");
                        // browser: one message of an allowed extension
    std::string error;  // when !ok, a short text for the user: "connection refused", "disconnected", ...
    // Browser: an extension the user has neither allowed nor refused wants to set the clock. `text`
    // is its origin; nothing it sends is read until answer_permission says yes.
    bool asks_permission = false;
    // VLC: the body of /requests/playlist.json, asked for after a status (in `text`) that named
    // another file than the one before; empty otherwise, and when that request failed.
    std::string playlist{};
};

}  // namespace dvbk
