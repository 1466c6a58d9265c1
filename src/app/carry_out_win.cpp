#include "app/carry_out_win.h"

#include <timeapi.h>

#include <cstdio>

#include "app/app_state_win.h"
#include "app/follow_win.h"
#include "app/main_window_win.h"
#include "base/window_ids_win.h"
#include "clock/event_rules.h"
#include "clock/event_status.h"

namespace dvbk {
namespace {

void note_audio_result(bool ok) {
    if (!ok)
        app.audio_error_text = app.audio_muter->last_error();
}

// One line per event carried out, for a debugger or DebugView (Wine prints it with
// WINEDEBUG=warn+debugstr): which event of the list and where the clock stood. Nobody listening, the
// call costs tens of microseconds, against a few events a second at most.
void trace_event(size_t index, const FilterEvent& event, double now) {
    char line[96];
    std::snprintf(line, sizeof line, "DunvelBlenk: event %llu at %.3f s, clock %.3f s",
                  static_cast<unsigned long long>(index), event.time, now);
    OutputDebugStringA(line);
}

// SetProcessInformation came with Windows 8: looked up rather than linked, so that the program still
// starts where it is missing.
BOOL WINAPI system_set_process_information(HANDLE process, PROCESS_INFORMATION_CLASS kind, LPVOID information,
                                           DWORD size) {
    static const auto found = reinterpret_cast<ProcessInformationSetter>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetProcessInformation")));
    if (!found) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    return found(process, kind, information, size);
}

ProcessInformationSetter set_process_information = system_set_process_information;

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

void carry_out_due_events() {
    // One reading for the whole pass: everything passed by now goes, in list order.
    double now = position(app.clock);
    bool carried_out = false;
    while (app.next_event < app.script.events.size() && now > app.script.events[app.next_event].time) {
        FilterEvent event = app.script.events[app.next_event];
        dispatch_event(event);
        trace_event(app.next_event, event, now);
        ++app.next_event;
        carried_out = true;
    }
    // Only when something happened: a pass with nothing due stays one reading and one comparison.
    if (carried_out)
        arm_event_timer();
}

void note_mute_ahead() {
    if (!app.audio_muter)
        return;
    bool soon = !app.muted && mute_due_within(app.script.events, app.next_event, position(app.clock), MUTE_NOTE_LEAD);
    app.audio_muter->expect_mute(soon);
}

void arm_event_timer() {
    note_mute_ahead();
    if (!app.main_window || !app.event_timer_enabled)
        return;
    EventTimerPlan plan = plan_event_timer(app.script.events, app.next_event, position(app.clock), app.clock.paused,
                                           film_seconds(app.clock, 1.0));
    set_fine_timer(plan.fine);
    if (plan.armed)
        SetTimer(app.main_window, EVENT_TIMER, plan.milliseconds, nullptr);
    else
        KillTimer(app.main_window, EVENT_TIMER);
}

void set_fine_timer(bool on) {
    if (on == app.fine_timer)
        return;
    if (on)
        timeBeginPeriod(1);
    else
        timeEndPeriod(1);
    app.fine_timer = on;
}

void set_process_information_setter(ProcessInformationSetter setter) {
    set_process_information = setter ? setter : system_set_process_information;
}

void keep_timing_when_hidden() {
    // From Windows 11 the timer resolution a process asked for may be ignored while its windows are
    // all covered or minimised and it makes no sound, and ours sits behind the player for the whole
    // film: the fine stretch before an event would fall back to steps of 15.6 ms. Such a process
    // also runs at a low quality of service (on battery, on efficient cores at their most efficient
    // frequency) or, tagged so, in efficiency mode. Taking control of each mechanism (ControlMask)
    // and switching it off (StateMask 0) opts out of both, as Microsoft documents for
    // SetProcessInformation(ProcessPowerThrottling). A high-resolution waitable timer on a thread
    // of its own (CreateWaitableTimerExW) would need no resolution request, but would not keep the
    // speed, and would put a thread and a posted message in front of every event. One mechanism a
    // call, as in Microsoft's examples: a Windows that does not know one may refuse the whole mask.
    for (ULONG mechanism :
         {PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION, PROCESS_POWER_THROTTLING_EXECUTION_SPEED}) {
        PROCESS_POWER_THROTTLING_STATE state{PROCESS_POWER_THROTTLING_CURRENT_VERSION, mechanism, 0};
        if (!set_process_information(GetCurrentProcess(), ProcessPowerThrottling, &state, sizeof state)) {
            char line[96];
            std::snprintf(line, sizeof line, "DunvelBlenk: power throttling 0x%lx not switched off (error %lu)",
                          mechanism, GetLastError());
            OutputDebugStringA(line);
        }
    }
}

void end_actions() {
    app.audio_muter->unmute();
    restore_window(app.cover, app.main_window);
    app.action_text = "Current Action: Normal";
    app.covered = false;
    app.muted = false;
}

void carry_out_what_is_in_force() {
    double now = position(app.clock);
    InForce due = in_force_at(app.script.events, now);
    // Only what differs changes: a cover or a mute in force before and after is not lifted on the
    // way, not even for a moment. The picture goes before the sound, and a cover that goes is
    // stepped back without the player's click, which belongs to a range's end.
    if (due.covered && !app.covered) {
        dispatch_event(FilterEvent{EventKind::CoverStart, now});
    } else if (!due.covered && app.covered) {
        restore_window(app.cover, app.main_window);
        app.covered = false;
    }
    if (due.muted != app.muted)
        dispatch_event(FilterEvent{due.muted ? EventKind::MuteStart : EventKind::MuteEnd, now});
    app.action_text = "Current Action: " + action_name(app.covered, app.muted);
    app.next_event = first_event_after(app.script.events, now);
    arm_event_timer();
    show_lines();
}

void resync_after_seek(double set_to) {
    size_t next = first_event_after(app.script.events, set_to);
    if (next == app.next_event) {
        arm_event_timer();  // the clock moved all the same
        return;
    }
    end_actions();
    app.next_event = next;
    arm_event_timer();
}

void follow_default_output() {
    note_audio_result(app.audio_muter->follow_default_output(app.muted));
}

void refresh_status() {
    note_mute_ahead();
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

    // The error lines below the status lines may have changed meanwhile too.
    show_lines();
}

void CALLBACK refresh_status_timer(HWND, UINT, UINT_PTR, DWORD) {
    refresh_status();
}

}  // namespace dvbk
