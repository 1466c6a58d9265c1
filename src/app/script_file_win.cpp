#include "app/script_file_win.h"

#include <utility>

#include "app/app_state_win.h"
#include "app/app_win.h"
#include "app/dispatch_win.h"
#include "base/scoped_win.h"
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

}  // namespace

void take_script(HWND window, FilterScript loaded) {
    app.script = std::move(loaded);
    carry_out_what_is_in_force(window);
}

bool reload_script(HWND window) {
    if (app.script_path.empty() || !app.script_loaded)
        return false;
    FilterScript loaded;
    note_script_file_state();
    if (!load_filter_script(app.script_path, loaded)) {
        app.script.load_error = "Not reloaded, the script stays as it was: " + loaded.load_error;
        InvalidateRect(window, nullptr, TRUE);
        return false;
    }
    take_script(window, std::move(loaded));
    return true;
}

void watch_script_folder(HWND window, const std::string& path) {
    app.script_watch.reset();
    size_t slash = path.find_last_of("\\/");
    if (path.empty())
        return;
    app.script_watch = std::make_unique<FolderWatch>(window, slash == std::string::npos ? "." : path.substr(0, slash));
}

void stop_watching_script_folder() {
    app.script_watch.reset();
}

void on_script_folder_changed(HWND window) {
    if (app.script_path.empty() || file_stamp(app.script_path) == app.script_file_stamp)
        return;
    SetTimer(window, RELOAD_TIMER, RELOAD_QUIET_MS, nullptr);
}

void on_reload_timer(HWND window) {
    KillTimer(window, RELOAD_TIMER);
    if (file_stamp(app.script_path) != app.script_file_stamp)
        reload_script(window);
}

void note_script_file_state() {
    app.script_file_stamp = file_stamp(app.script_path);
}

}  // namespace dvbk
