// The user's settings and their file, "settings.xml": eight fixed lines that look like XML but are
// written and read line by line.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace dvbk {

// Where the film clock's position comes from: the program's own clock, or a player that tells it.
enum class ClockSource { Manual, Vlc, Mpv };

// "Manual", "VLC", "mpv", as the settings file and the Settings dialog write them.
inline constexpr std::array<const char*, 3> clock_source_names{"Manual", "VLC", "mpv"};

// The name of `source`; a value outside the enumeration (the record is plain data) reads as Manual.
inline const char* clock_source_name(ClockSource source) {
    size_t index = static_cast<size_t>(source);
    return clock_source_names[index < clock_source_names.size() ? index : 0];
}

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
};

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

// The eight lines, then the player's five, each ended by `line_end` ("\r\n" for the file on
// Windows). The eight come first and unchanged, so a reader that knows only them still works. Text
// values escape "&", "<", ">" and control bytes as XML does.
std::string settings_text(const AppSettings& settings, std::string_view line_end = "\n");

// Applies every line of `text` that carries a readable value; everything else is left as it was.
void read_settings_text(std::string_view text, AppSettings& settings);

}  // namespace dvbk
