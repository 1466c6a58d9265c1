#include "app/recording_win.h"

#include <sstream>
#include <string>

#include "app/app_state_win.h"
#include "app/main_window_win.h"
#include "app/script_file_win.h"
#include "base/file_write_win.h"
#include "resources/resource_ids.h"

namespace dvbk {
namespace {

void show_record_text(std::string text) {
    app.record_text = std::move(text);
    invalidate_line(Line::Record);
}

void unregister_keys() {
    for (const RecordKey& key : record_keys)
        UnregisterHotKey(app.main_window, key.id);
}

}  // namespace

void toggle_recording() {
    if (app.recording) {
        stop_recording();
        return;
    }
    if (!app.script_loaded) {
        show_record_text("Recording: open a script or make one with File > New Script first");
        return;
    }
    std::string taken;
    for (const RecordKey& key : record_keys) {
        // Held down, a key would repeat: one press is one mark. Systems before Windows 7 refuse
        // MOD_NOREPEAT, and get the key without it.
        if (!RegisterHotKey(app.main_window, key.id, MOD_CONTROL | MOD_SHIFT | MOD_NOREPEAT, key.key) &&
            !RegisterHotKey(app.main_window, key.id, MOD_CONTROL | MOD_SHIFT, key.key))
            taken += (taken.empty() ? "" : ", ") + std::string(key.name);
    }
    app.recording = true;
    CheckMenuItem(app.main_menu, IDM_RECORD, MF_BYCOMMAND | MF_CHECKED);
    if (!taken.empty())
        show_record_text("Recording: " + taken + " taken by another program");
    else
        show_record_text(app.recorder.status());
}

void stop_recording() {
    unregister_keys();
    app.recording = false;
    CheckMenuItem(app.main_menu, IDM_RECORD, MF_BYCOMMAND | MF_UNCHECKED);
    show_record_text("");
}

void on_record_key(int id) {
    if (!app.recording || app.script_path.empty())
        return;
    // Nothing is marked from, or written over, a text that is not the whole file (one that is
    // missing for a moment while an editor or a sync tool replaces it): the press is not taken.
    std::string text, error;
    if (!read_script_text(app.script_path, text, error)) {
        show_record_text("Recording: " + app.script_path + " " + error + ", the press is not taken");
        return;
    }
    double now = position(app.clock);
    RecordStep step;
    switch (id) {
        case HOTKEY_MUTE:
            step = app.recorder.mark(RangeKind::Mute, now, app.settings.mark_lead, text);
            break;
        case HOTKEY_COVER:
            step = app.recorder.mark(RangeKind::Cover, now, app.settings.mark_lead, text);
            break;
        case HOTKEY_COMBINED:
            step = app.recorder.mark(RangeKind::Combined, now, app.settings.mark_lead, text);
            break;
        case HOTKEY_UNDO:
            step = app.recorder.undo(text);
            break;
        default:
            return;
    }
    if (step.write) {
        // Written at once and whole: a mark survives the program or the machine stopping.
        if (!write_file_atomically(app.script_path, *step.write)) {
            // Nothing was written: the range that was being ended is open again, as before the
            // press.
            if (id != HOTKEY_UNDO)
                app.recorder.undo(*step.write);
            show_record_text("Recording: could not write " + app.script_path);
            return;
        }
        note_script_file_state();
        // The ranges apply from now on; a text with no range left (an undo back to the start) is an
        // empty script.
        FilterScript written;
        std::istringstream lines(*step.write);
        if (!load_filter_script(lines, app.script_path, written))
            written = FilterScript{};
        take_script(std::move(written));
    }
    show_record_text(step.status);
}

}  // namespace dvbk
