#include "app/recording_win.h"

#include <string>

#include "app/app_state_win.h"
#include "resources/resource_ids.h"

namespace dvbk {
namespace {

// The band under the buttons where the recording line is drawn.
constexpr RECT RECORD_LINE_AREA{0, 250, 500, 270};

void show_record_text(HWND window, std::string text) {
    app.record_text = std::move(text);
    InvalidateRect(window, &RECORD_LINE_AREA, TRUE);
}

void unregister_keys(HWND window) {
    for (const RecordKey& key : record_keys)
        UnregisterHotKey(window, key.id);
}

}  // namespace

void toggle_recording(HWND window) {
    if (app.recording) {
        stop_recording(window);
        return;
    }
    if (!app.script_loaded) {
        show_record_text(window, "Recording: open a script or make one with File > New Script first");
        return;
    }
    std::string taken;
    for (const RecordKey& key : record_keys) {
        // Held down, a key would repeat: one press is one mark.
        if (!RegisterHotKey(window, key.id, MOD_CONTROL | MOD_ALT | MOD_NOREPEAT, key.key) &&
            !RegisterHotKey(window, key.id, MOD_CONTROL | MOD_ALT, key.key))
            taken += (taken.empty() ? "" : ", ") + std::string(key.name);
    }
    app.recording = true;
    CheckMenuItem(app.main_menu, IDM_RECORD, MF_BYCOMMAND | MF_CHECKED);
    if (!taken.empty())
        show_record_text(window, "Recording: " + taken + " taken by another program");
    else
        show_record_text(window, "Recording: no range open");
}

void stop_recording(HWND window) {
    unregister_keys(window);
    app.recording = false;
    CheckMenuItem(app.main_menu, IDM_RECORD, MF_BYCOMMAND | MF_UNCHECKED);
    show_record_text(window, "");
}

void on_record_key(HWND window, int id) {
    if (!app.recording)
        return;
    (void)window;
    (void)id;
}

}  // namespace dvbk
