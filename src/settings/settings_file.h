// The user's settings and their file, "settings.xml": eight fixed lines that look like XML but are
// written and read line by line.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dvbk {

// Where the film clock's position comes from: the program's own clock, or a player that tells it
// (a web page's video through the browser extension, for Browser).
enum class ClockSource { Manual, Vlc, Mpv, Browser };

// "Manual", "VLC", "mpv", "Browser", as the settings file and the Settings dialog write them.
inline constexpr std::array<const char*, 4> clock_source_names{"Manual", "VLC", "mpv", "Browser"};

// The name of `source`; a value outside the enumeration (the record is plain data) reads as Manual.
inline const char* clock_source_name(ClockSource source) {
    size_t index = static_cast<size_t>(source);
    return clock_source_names[index < clock_source_names.size() ? index : 0];
}

// Which screens the cover hides: the one that shows the player, or every one.
enum class CoverMonitors { Player, All };

// "player", "all", as the settings file writes them.
inline constexpr std::array<const char*, 2> cover_monitors_names{"player", "all"};

// The longest reaction allowance a recorded range's start takes, in seconds.
inline constexpr double MAX_MARK_LEAD = 10.0;

// The extension's default; the user can change it on both sides.
inline constexpr int DEFAULT_BROWSER_PORT = 47813;
// Answers kept per list: a few browsers' extensions, not an unbounded file.
inline constexpr size_t MAX_BROWSER_ORIGINS = 32;

// A TCP port a link can use, 1 to 65535: what the settings file and the Settings dialog accept.
constexpr bool is_valid_port(long long number) {
    return number >= 1 && number <= 65535;
}

// A pipe on this computer, "\\.\pipe\NAME": NAME of 1 character or more and no backslash, the whole
// at most 256 characters. Anything else (a pipe on another computer, a file) is never opened.
bool is_local_pipe_name(std::string_view name);

struct AppSettings {
    bool click_maximize = false;  // click the player's maximise button when a cover range ends
    int click_choice = 0;         // index into click_presets
    double click_x = 0.986;       // click position as fractions of the primary screen
    double click_y = 0.949;
    double time_adj = 0.0;  // clock drift correction, seconds per hour (see PlaybackClock::clock_adj)

    // Following a player. Written after the eight lines above, which older versions read alone.
    ClockSource clock_source = ClockSource::Manual;
    std::string vlc_host = "127.0.0.1";
    int vlc_port = 8080;
    std::string vlc_password = "";
    std::string mpv_pipe = "\\\\.\\pipe\\mpvsocket";

    // Following a video in the browser: the loopback port the extension connects to, and the
    // extensions (by origin, "chrome-extension://...") the user let set the clock or turned away.
    int browser_port = DEFAULT_BROWSER_PORT;
    std::vector<std::string> browser_allowed{};
    std::vector<std::string> browser_refused{};

    CoverMonitors cover_monitors = CoverMonitors::Player;
    // Recording ranges: a range's start is put this many seconds before its key was pressed, for
    // the time it takes to see the scene and press.
    double mark_lead = 1.0;
    // The clock's buttons (Start/Pause and the four nudges) also as system-wide keys, so that the
    // clock can be paused without leaving the player.
    bool clock_keys = false;
    // The folder of scripts the program looks in for the one that fits what the followed player
    // plays; empty for the user's Documents\DunvelBlenk. And whether it loads that script by itself.
    std::string scripts_folder = "";
    bool load_matching = true;
    // The script the user chose for a copy that several scripts fit: the copy (as the sync memory
    // names it, "hash=..." or "page=...", or "file=NAME") and the script's path; newest first.
    std::vector<std::pair<std::string, std::string>> script_choices{};
};

// Choices kept: the newest go first and the oldest beyond this are dropped.
inline constexpr size_t MAX_SCRIPT_CHOICES = 100;

// Puts the choice of `script` for `copy` first, in place of an earlier choice for that copy.
void remember_script_choice(AppSettings& settings, const std::string& copy, const std::string& script);

// A click-position preset; x and y are the texts the Settings dialog shows, without a leading zero.
struct ClickPreset {
    const char* name;
    const char* x;
    const char* y;
};

inline constexpr std::array<ClickPreset, 3> click_presets{{
    {"Windows Media Player", ".986", ".949"},
    {"Netflix", ".848", ".867"},
    {"Custom", ".9", ".9"},
}};

// The eight lines, then the players' lines, each ended by `line_end` ("\r\n" for the file on
// Windows). The eight come first and unchanged, so a reader that knows only them still works. Text
// values escape "&", "<", ">" and control bytes as XML does.
std::string settings_text(const AppSettings& settings, std::string_view line_end = "\n");

// Adds `origin` to a list of extension origins unless it is empty, already there, or the list is
// full.
void remember_origin(std::vector<std::string>& origins, const std::string& origin);

// The user's answer about `origin`: it goes into `allowed` or `refused`, as remember_origin adds
// it, and out of the other list.
void settle_origin(std::vector<std::string>& allowed, std::vector<std::string>& refused, const std::string& origin,
                   bool allow);

// Applies every line of `text` that carries a readable value; everything else is left as it was.
void read_settings_text(std::string_view text, AppSettings& settings);

// The rules every file beside the settings is written and read by: one "<key>value</key>" per
// line, LF or CR LF ended.

// Text as an XML element's content: "&", "<", ">" and control bytes become references.
std::string escaped_content(std::string_view text);

// A line's value up to its closing tag, with references undone; an unknown reference stays as is.
std::string element_content(std::string_view value);

// Calls `apply(key, value)` for each non-empty line: `key` is the line up to its first ">" (so
// "<click_x"), `value` what follows it, closing tag and all.
template <class Apply>
void for_each_element_line(std::string_view text, Apply apply) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        size_t gt = line.find('>');
        if (!line.empty())
            apply(line.substr(0, gt), gt == std::string_view::npos ? std::string_view() : line.substr(gt + 1));
        start = end + 1;
    }
}

}  // namespace dvbk
