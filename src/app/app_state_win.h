// The program's one state record, on the user-interface thread only.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/main_layout.h"
#include "app/script_file_win.h"
#include "app/script_matching_win.h"
#include "audio/audio_muter_win.h"
#include "base/scoped_win.h"
#include "clock/clock_follower.h"
#include "clock/clock_sync.h"
#include "clock/playback_clock.h"
#include "cover/screen_cover_win.h"
#include "players/browser_gate.h"
#include "players/player_link_win.h"
#include "players/player_reports.h"
#include "script/filter_script.h"
#include "script/range_recorder.h"
#include "settings/settings_file.h"

namespace dvbk {

// Whether the system's high-contrast mode is on.
bool system_high_contrast();

struct AppState {
    AppState();

    // The shell.
    HINSTANCE app_instance = nullptr;
    char window_title[100] = "DunvelBlenk";
    char window_class_name[100] = "BLENK";
    HBRUSH background_brush = nullptr;
    HWND main_window = nullptr;
    HMENU main_menu = nullptr;
    std::string startup_dir;
    bool script_loaded = false;
    HWND play_button = nullptr;
    HWND delay_edit = nullptr;
    // The DPI the window is laid out for, and the font of its lines and controls at that DPI.
    int dpi = LAYOUT_DPI;
    ScopedFont font;
    // The control that had the keyboard focus when the window was last left, which gets it back.
    HWND focused_control = nullptr;
    // Whether the window draws with the user's high-contrast colours, and where that is read.
    bool high_contrast = false;
    bool (*high_contrast_on)() = system_high_contrast;

    // The loaded script (events, film_end, load_error) and the first event not yet carried out.
    FilterScript script;
    // Its file, the file's state as last loaded or written here, and the watch on its folder.
    std::string script_path;
    FileStamp script_file_stamp;
    std::unique_ptr<FolderWatch> script_watch;
    // Recording ranges with the system-wide keys, and the line that tells of it.
    bool recording = false;
    std::string record_text;
    // The clock's system-wide keys that another program holds, when they are switched on.
    std::string keys_text;
    RangeRecorder recorder;
    size_t next_event = 0;

    PlaybackClock clock;
    // A start the user delayed: the tick (clock_ticks) it is due at, and the button's text before
    // the countdown, which cancelling puts back.
    std::optional<double> start_due;
    std::string label_before_start;

    // What the program has done, and the status lines it shows.
    bool covered = false;
    bool muted = false;
    std::string action_text = "Current Action: Normal";
    std::string elapsed_text;
    std::string remaining_text;
    std::string next_action_text;
    std::string cursor_text;
    std::string audio_error_text;

    ScreenCover cover;
    std::unique_ptr<AudioMuter> audio_muter = std::make_unique<AudioMuter>();

    AppSettings settings;

    // Following a player: the link to it, what it said, and the status line about it.
    ClockFollower follower;
    PlayerReader player_reader;
    std::unique_ptr<PlayerLink> player_link;
    std::string clock_text = "Clock: manual";
    // Sync Here's moments and map from the user's copy to the script, and the line that tells of them.
    ClockSync sync;
    std::string sync_text;
    // The scripts folder: its scripts as last read and the watch on it; what the followed player
    // plays; whether the user opened the script (which matching never replaces); the line that
    // tells which script was found; the maps remembered per script and copy; and whether the list
    // to choose from is on screen.
    std::vector<IndexedScript> script_index;
    std::unique_ptr<FolderWatch> scripts_watch;
    std::optional<VideoSource> playing;
    bool script_by_hand = false;
    std::string match_text;
    std::vector<CopyMap> copy_maps;
    bool choosing_script = false;
    // Browser extensions waiting for the user's yes or no, whether the question is on screen, and
    // what came of each question in this run, which outlives the link when the settings change.
    std::vector<std::string> permission_questions;
    bool asking_permission = false;
    OriginQuestions origin_questions;

    // The one-shot event timer; measurements turn it off to compare with the wake timer alone.
    bool event_timer_enabled = true;
    bool fine_timer = false;  // timeBeginPeriod(1) in force
};

extern AppState app;

// The colour of the window's background, which is also what the cover shows, and of its text;
// in high contrast the system's window colours take their place.
inline constexpr COLORREF BACKGROUND_COLOUR = RGB(0, 96, 127);
inline constexpr COLORREF TEXT_COLOUR = RGB(0, 0, 0);

}  // namespace dvbk
