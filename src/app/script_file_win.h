// The script as a file on disk: opened, which starts the run over, and loaded again on request or
// when an editor saves it, with the clock running on where it was.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <thread>

#include "base/scoped_win.h"
#include "base/window_ids_win.h"
#include "script/filter_script.h"

namespace dvbk {

// A file's size and time of last writing, to tell whether it changed; all zero when it is not
// there.
struct FileStamp {
    std::uint64_t write_time = 0;
    std::uint64_t size = 0;
    bool operator==(const FileStamp&) const = default;
};

// The thread that waits on the folder's change notification and posts `message` to the window for
// each change.
class FolderWatch {
public:
    FolderWatch(HWND window, const std::string& folder, UINT message = WM_SCRIPT_FOLDER_CHANGED)
        : stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          change_(FindFirstChangeNotificationA(
              folder.c_str(), FALSE,
              FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE)) {
        if (stop_.valid() && change_.valid())
            thread_ = std::thread([this, window, message] { run(window, message); });
    }
    ~FolderWatch() {
        if (thread_.joinable()) {
            SetEvent(stop_.get());
            thread_.join();
        }
    }
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

private:
    void run(HWND window, UINT message) {
        const HANDLE waits[] = {stop_.get(), change_.get()};
        while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
            PostMessageA(window, message, 0, 0);
            if (!FindNextChangeNotification(change_.get()))
                return;
        }
    }

    ScopedHandle stop_;
    ScopedChangeNotification change_;
    std::thread thread_;
};

// An editor may write a file in several steps, so a change is acted on only once the folder has
// been quiet this long (RELOAD_TIMER).
inline constexpr UINT RELOAD_QUIET_MS = 300;

// Loads a script and resets the run: the clock paused at 0, the cursor at the first event.
void open_script(const std::string& path);

// The same for a script just made, which holds no range yet: ready to record into.
void open_new_script(const std::string& path);

// Puts `loaded` in place of the running script without touching the clock: the cursor goes to the
// first event after the clock's position and what the new script has in force there (a mute, a
// cover) is carried out, what it has not is ended.
void take_script(FilterScript loaded);

// Loads the current script's file again. A file that does not load leaves the script as it was
// and says why on the error line. Returns whether it loaded.
bool reload_script();

// Watches the folder of `path` (nothing for an empty path) from a thread of its own, which posts
// WM_SCRIPT_FOLDER_CHANGED to the main window; a watch already running is stopped first.
void watch_script_folder(const std::string& path);
void stop_watching_script_folder();

// WM_SCRIPT_FOLDER_CHANGED: (re)starts the quiet period when the script's file is not as it was
// last loaded or written by the program.
void on_script_folder_changed();

// The quiet period is over: the file is loaded again.
void on_reload_timer();

// Remembers the file's state as the program itself left it, so that its own write is not taken
// for an editor's.
void note_script_file_state();

}  // namespace dvbk
