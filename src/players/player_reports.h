// What the players' messages come to: the clock's reports, read from the text each link delivers,
// with what one player's messages must be remembered for between them.
#pragma once

#include <optional>
#include <string>

#include "clock/clock_follower.h"
#include "players/player_reply.h"
#include "settings/settings_file.h"
#include "wire/browser_report.h"
#include "wire/player_messages.h"

namespace dvbk {

// What the player followed plays, as far as it tells: what the script written for that film can be
// found by. VLC and mpv tell a file, the browser a video in a page.
struct PlayedSource {
    std::string file_name;  // VLC, mpv: "Film (2021).mkv" (a stream's last part of its address)
    std::string path;       // VLC, mpv: "C:\Films\Film (2021).mkv"; empty unless a local file, told in full
    std::string page;       // browser: the tab's address, http or https; empty when not told
    std::string title;      // browser: the tab's title
    double duration = 0.0;  // seconds; 0 while unknown (mpv and the browser may tell it later)

    bool operator==(const PlayedSource&) const = default;
};

// What the messages of the player followed leave to be remembered; a new one for every link.
struct PlayerReader {
    explicit PlayerReader(ClockSource followed = ClockSource::Manual) : source(followed) {}

    ClockSource source;

    // VLC gives its length in whole seconds; the time and position pairs narrow it down.
    double length_low = 0.0;
    double length_high = 0.0;

    // mpv tells each property when it changes.
    std::optional<double> mpv_time;
    bool mpv_paused = false;
    double mpv_speed = 1.0;

    // The browser's video whose reports are the clock: the first one reported after the extension
    // said hello, had no video, or said the followed one went; empty until then. Reports about any
    // other are no seek, only a note for the status line, kept for a while after the last of them.
    std::string browser_video;
    std::string other_video_title;
    std::optional<double> other_video_tick;

    // What plays, as last told in a ReplyReading's `source`; and the browser's video it is about,
    // which may be followed again after a hello without being news.
    PlayedSource played;
    std::string played_video;
};

// A report from VLC's status, its position to the millisecond where the fields allow it, read
// between `tick` and `latest_tick` (0: at `tick`).
PlayerReport report_from_vlc(PlayerReader& reader, const VlcStatus& status, double tick, double latest_tick = 0.0);

// A report from one mpv message, or none when the message says nothing of time or pause.
std::optional<PlayerReport> report_from_mpv(PlayerReader& reader, const MpvMessage& message, double tick);

// A report from one message of the browser extension, or none when it says nothing of a video.
std::optional<PlayerReport> report_from_browser(const BrowserReport& message, double tick);

// What may reach the clock from any player: a position from 0 to a week, a speed a browser can play
// (1/16 to 16 times). Anything else is a player's fault or a forgery, never a film.
inline constexpr double MAX_PLAYER_POSITION = 7 * 24 * 3600.0;
inline constexpr double MIN_PLAYER_RATE = 1.0 / 16.0;
inline constexpr double MAX_PLAYER_RATE = 16.0;
bool plausible_report(const PlayerReport& report);

// What one reply comes to: a report, or why there is none for the status line (the link's error,
// "unreadable answer", "no video followed in the browser", "impossible position or speed",
// another_video_text), or neither for a message that says nothing of the film (a greeting, a reply
// to a command). A report may come with a note: another video in the browser played lately.
struct ReplyReading {
    std::optional<PlayerReport> report;
    std::string problem;
    // What plays, set only when it changed: another file (VLC, mpv: another name or path; what
    // plays stays while nothing does), another video followed in the browser or another page for
    // it, or the duration learnt for what plays when it was not known before. The first one told
    // after the reader was made is a change.
    std::optional<PlayedSource> source{};
};

// "Another video plays in the browser: TITLE (choose it in the extension)".
std::string another_video_text(const std::string& title);
inline constexpr double OTHER_VIDEO_NOTE_MS = 3000.0;

// Reads one reply of the player `reader` follows. A reply asking permission is the caller's.
ReplyReading report_from_reply(PlayerReader& reader, const PlayerReply& reply);

}  // namespace dvbk
