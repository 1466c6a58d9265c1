#include "app/dispatch_win.h"

#include "app/app_state_win.h"
#include "app/app_win.h"
#include "app/follow_win.h"
#include "clock/event_rules.h"
#include "clock/event_status.h"

namespace dvbk {
namespace {

void note_audio_result(bool ok) {
    if (!ok)
        app.audio_error_text = app.audio_muter->last_error();
}

}  // namespace

void dispatch_event(const FilterEvent& event) {
    // The flags follow the one rule for every event; what is done to the system follows the kind.
    apply_event(event.kind, app.covered, app.muted);
    switch (event.kind) {
        case EventKind::CoverStart:
            cover_screen(app.cover, app.main_window, app.settings);
            break;
        case EventKind::CoverEnd:
            uncover_screen(app.cover, app.main_window, app.settings);
            break;
        case EventKind::MuteStart:
            note_audio_result(app.audio_muter->mute());
            break;
        case EventKind::MuteEnd:
            note_audio_result(app.audio_muter->unmute());
            break;
        case EventKind::BothStart:
            note_audio_result(app.audio_muter->mute());
            // The picture is hidden even when the sound could not be silenced.
            cover_screen(app.cover, app.main_window, app.settings);
            break;
    }
    app.action_text = "Current Action: " + action_name(app.covered, app.muted);
}

void end_actions(HWND window) {
    app.audio_muter->unmute();
    restore_window(app.cover, window);
    app.action_text = "Current Action: Normal";
    app.covered = false;
    app.muted = false;
}

void carry_out_what_is_in_force(HWND window) {
    double now = position(app.clock);
    InForce due = in_force_at(app.script.events, now);
    if (app.covered != due.covered || app.muted != due.muted) {
        end_actions(window);
        if (due.covered || due.muted) {
            EventKind kind = due.covered && due.muted ? EventKind::BothStart
                             : due.covered            ? EventKind::CoverStart
                                                      : EventKind::MuteStart;
            dispatch_event(FilterEvent{kind, now});
        }
    }
    app.next_event = first_event_after(app.script.events, now);
    arm_event_timer();
    InvalidateRect(window, nullptr, TRUE);
}

void resync_after_seek(HWND window, double set_to) {
    size_t next = first_event_after(app.script.events, set_to);
    if (next == app.next_event) {
        arm_event_timer();  // the clock moved all the same
        return;
    }
    end_actions(window);
    app.next_event = next;
    arm_event_timer();
}

void follow_default_output() {
    note_audio_result(app.audio_muter->follow_default_output(app.muted));
}

void refresh_status(HWND window) {
    StatusTexts texts = compose_status(position(app.clock), app.script.events, app.next_event, app.covered, app.muted,
                                       app.script.film_end);
    app.elapsed_text = texts.elapsed_text;
    app.remaining_text = texts.remaining_text;
    app.next_action_text = texts.next_action_text;
    SetWindowTextA(app.main_window, texts.title.c_str());
    refresh_clock_text();

    app.cursor_text.clear();
    POINT pointer;
    if (app.clock.paused && GetCursorPos(&pointer))
        app.cursor_text = cursor_text(pointer.x, pointer.y, app.cover.screen_width, app.cover.screen_height);

    // The status lines repaint without erasing (the band drawn behind each wipes a longer old
    // text); an error line below them needs the whole window.
    if (app.audio_error_text.empty() && app.script.load_error.empty()) {
        RECT status_area{0, 0, 500, 130};
        InvalidateRect(window, &status_area, FALSE);
    } else {
        InvalidateRect(window, nullptr, TRUE);
    }
}

void CALLBACK refresh_status_timer(HWND window, UINT, UINT_PTR, DWORD) {
    refresh_status(window);
}

}  // namespace dvbk
