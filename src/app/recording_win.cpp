#include "app/recording_win.h"

#include <string>

#include "app/app_state_win.h"
#include "app/main_window_win.h"
#include "app/script_file_win.h"
#include "base/file_write_win.h"
#include "resources/resource_ids.h"
#include "text/whole_file.h"

namespace dvbk {
namespace {

void show_record_text(std::string text) {
    app.record_text = std::move(text);
    show_line(Line::Record);
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
    std::string taken = register_hot_keys(app.main_window, record_keys);
    app.recording = true;
    CheckMenuItem(app.main_menu, IDM_RECORD, MF_BYCOMMAND | MF_CHECKED);
    if (!taken.empty())
        show_record_text("Recording: " + taken + " taken by another program");
    else
        show_record_text(app.recorder.status());
}

void stop_recording() {
    unregister_hot_keys(app.main_window, record_keys);
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
    if (!read_whole_file(app.script_path, text, error)) {
        show_record_text("Recording: " + app.script_path + " " + error + ", the press is not taken");
        return;
    }
    // A press whose text does not reach the file leaves the recorder as it was before it: the
    // range it ended is open again, the press it took back is still there to take back.
    RangeRecorder before = app.recorder;
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
        // Written at once and whole (a mark survives the program or the machine stopping), and only
        // over the text the press was made from: what an editor saved meanwhile is the user's.
        std::string refusal;
        auto still_as_read = [&] {
            std::string now_text;
            if (!read_whole_file(app.script_path, now_text, refusal))
                return false;
            if (now_text != text)
                refusal = "changed since it was read";
            return refusal.empty();
        };
        if (!write_file_atomically(app.script_path, *step.write, still_as_read)) {
            app.recorder = std::move(before);
            std::string problem =
                refusal.empty() ? "could not write " + app.script_path : app.script_path + " " + refusal;
            show_record_text("Recording: " + problem +
                             (id == HOTKEY_UNDO ? ", nothing is taken back" : ", the range is kept open"));
            return;
        }
        note_script_file_state();
        // The ranges apply from now on; a text with no range left (an undo back to the start) is an
        // empty script.
        FilterScript written;
        if (!load_filter_script_text(*step.write, app.script_path, written))
            written = FilterScript{};
        take_script(std::move(written));
    }
    show_record_text(step.status);
}

}  // namespace dvbk
