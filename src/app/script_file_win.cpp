#include "app/script_file_win.h"

#include <utility>

#include "app/app_state_win.h"
#include "app/carry_out_win.h"
#include "app/follow_win.h"
#include "app/main_window_win.h"
#include "app/script_matching_win.h"
#include "base/scoped_win.h"
#include "base/window_ids_win.h"
#include "clock/event_status.h"

namespace dvbk {

namespace {

// Size and time of last writing; all zero for a file that is not there.
FileStamp file_stamp(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return FileStamp{};
    return FileStamp{
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime,
        (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow};
}

// The old script's ranges end with it, whether or not a new one loads. Nothing in force, nothing
// is touched: a mute the user set is theirs.
void end_old_script() {
    if (app.muted || app.covered)
        end_actions();
    app.audio_error_text.clear();
    app.script.load_error.clear();
    reset(app.clock);
    forget_sync();
    app.script.film_end = 0.0;
}

// The run starts over with `app.script` as the file at `path` gave it, or refused it.
void begin_script(const std::string& path, bool ok) {
    app.next_event = 0;
    app.script_path = ok ? path : std::string();
    note_script_file_state();
    watch_script_folder(app.script_path);
    app.recorder.reset();
    if (ok) {
        if (!app.audio_muter->init())
            app.audio_error_text = app.audio_muter->last_error();
        app.script_loaded = true;
        SetWindowTextA(app.play_button, "St&art");
        note_script_opened_by_hand();
    } else {
        // Nothing of a rejected script may ever be carried out.
        app.script.events.clear();
        app.script_loaded = false;
        SetWindowTextA(app.play_button, "&Open File");
        MessageBoxA(app.main_window, ("Error opening file: " + path).c_str(), "Error", MB_OK);
    }
    arm_event_timer();
}

}  // namespace

void open_script(const std::string& path) {
    end_old_script();
    bool ok = load_filter_script(path, app.script);
    begin_script(path, ok);
}

void open_new_script(const std::string& path) {
    end_old_script();
    app.script = FilterScript{};
    begin_script(path, true);
}

void take_script(FilterScript loaded) {
    app.script = std::move(loaded);
    carry_out_what_is_in_force();
}

bool reload_script() {
    if (app.script_path.empty() || !app.script_loaded)
        return false;
    FilterScript loaded;
    note_script_file_state();
    if (!load_filter_script(app.script_path, loaded)) {
        app.script.load_error = "Not reloaded, the script stays as it was: " + loaded.load_error;
        show_line(Line::LoadError);
        return false;
    }
    take_script(std::move(loaded));
    return true;
}

void watch_script_folder(const std::string& path) {
    app.script_watch.reset();
    size_t slash = path.find_last_of("\\/");
    if (path.empty())
        return;
    app.script_watch =
        std::make_unique<FolderWatch>(app.main_window, slash == std::string::npos ? "." : path.substr(0, slash));
}

void stop_watching_script_folder() {
    app.script_watch.reset();
}

void on_script_folder_changed() {
    if (app.script_path.empty() || file_stamp(app.script_path) == app.script_file_stamp)
        return;
    SetTimer(app.main_window, RELOAD_TIMER, RELOAD_QUIET_MS, nullptr);
}

void on_reload_timer() {
    KillTimer(app.main_window, RELOAD_TIMER);
    if (file_stamp(app.script_path) != app.script_file_stamp)
        reload_script();
}

void note_script_file_state() {
    app.script_file_stamp = file_stamp(app.script_path);
}

}  // namespace dvbk
