#include "app/follow_win.h"

#include <cmath>
#include <string>
#include <vector>

#include "app/app_state_win.h"
#include "app/carry_out_win.h"
#include "app/main_window_win.h"
#include "app/script_matching_win.h"
#include "base/window_ids_win.h"
#include "players/player_reports.h"
#include "resources/window_names.h"
#include "settings/settings_store_win.h"

namespace dvbk {
namespace {

// The extension is named by its origin, whose id DunvelBlenk's extension shows in its popup: the
// user can tell ours from another extension that asks.
std::string permission_question(const std::string& origin) {
    return "Allow the browser extension " + origin +
           " to set DunvelBlenk's clock?\n\nDunvelBlenk's extension shows the same id in its popup.";
}

// Asks the user, one extension at a time, whether it may set the clock, and keeps the answer. The
// question is modal: replies that arrive meanwhile add their extensions to the same round.
void ask_permissions(HWND window) {
    if (app.asking_permission)
        return;
    app.asking_permission = true;
    while (!app.permission_questions.empty()) {
        std::string origin = app.permission_questions.front();
        app.permission_questions.erase(app.permission_questions.begin());
        int answer = MessageBoxA(window, permission_question(origin).c_str(), "DunvelBlenk",
                                 MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
        bool allowed = answer == IDYES;
        // Only what the user chose is kept for later runs; a question that could not be shown turns
        // the extension away for this run alone.
        if (answer == IDYES || answer == IDNO) {
            AppSettings& settings = app.settings;
            settle_origin(settings.browser_allowed, settings.browser_refused, origin, allowed);
            save_settings(settings);
        }
        app.origin_questions.settle(origin, allowed);
        if (app.player_link)
            app.player_link->answer_permission(origin, allowed);
    }
    app.asking_permission = false;
}

// An extension on neither list asks in: it is asked about once in a run, and a few at a time.
void note_permission_request(const std::string& origin) {
    switch (Standing standing = app.origin_questions.consider(origin)) {
        case Standing::Ask:
            app.permission_questions.push_back(origin);
            note_problem(app.follower, "waiting for you to allow the extension");
            break;
        case Standing::Waiting:
            note_problem(app.follower, "waiting for you to allow the extension");
            break;
        case Standing::Allowed:
        case Standing::Refused:
            // Answered before in this run (to a link the settings have replaced since, perhaps), or
            // one too many asking at once: the link hears the answer without a question.
            app.player_link->answer_permission(origin, standing == Standing::Allowed);
            break;
    }
}

// The link threads stamp what they hear with the system's tick count; the follower, like the clock,
// counts with clock_ticks().
PlayerReport on_clock_ticks(PlayerReport report) {
    report.tick = clock_ticks_at(report.tick);
    if (report.latest_tick != 0)
        report.latest_tick = clock_ticks_at(report.latest_tick);
    return report;
}

// The map from the copy's times to the script's becomes `after`; the clock goes on from where the
// copy is, which it was at `copy_time` when the clock stood at `script_time`.
void change_map(const TimeMap& before, const TimeMap& after, double script_time, double copy_time) {
    MapChange change =
        clock_after_map_change(before, after, script_time, copy_time, position(app.clock), app.clock.speed);
    set_speed(app.clock, change.speed);
    seek(app.clock, change.position);
    take_new_map(app.follower);
    carry_out_what_is_in_force();
}

void show_sync_text(std::string text) {
    app.sync_text = std::move(text);
    show_line(Line::Sync);
}

}  // namespace

UINT position_query_message() {
    static const UINT message = RegisterWindowMessageA(POSITION_QUERY_MESSAGE);
    return message;
}

void stop_following() {
    app.player_link.reset();
    begin_following(app.follower, ClockSource::Manual, clock_ticks());
    app.player_reader = PlayerReader{};
    // Nothing plays that the program knows of, until the next link says.
    app.playing.reset();
    set_speed(app.clock, 1.0 / app.sync.map().rate);
}

void start_following() {
    stop_following();
    const AppSettings& settings = app.settings;
    begin_following(app.follower, settings.clock_source, clock_ticks());
    app.player_reader = PlayerReader{settings.clock_source};
    if (settings.clock_source == ClockSource::Vlc)
        app.player_link = start_vlc_link(app.main_window, WM_PLAYER_REPLY, settings.vlc_host, settings.vlc_port,
                                         settings.vlc_password);
    else if (settings.clock_source == ClockSource::Mpv)
        app.player_link = start_mpv_link(app.main_window, WM_PLAYER_REPLY, settings.mpv_pipe);
    else if (settings.clock_source == ClockSource::Browser)
        app.player_link = start_browser_link(app.main_window, WM_PLAYER_REPLY, settings.browser_port,
                                             settings.browser_allowed, settings.browser_refused);
    refresh_clock_text();
}

void on_player_replies() {
    if (!app.player_link)
        return;
    bool was_paused = app.clock.paused;
    bool jumped = false;
    for (const PlayerReply& reply : app.player_link->take()) {
        if (reply.asks_permission) {
            note_permission_request(reply.text);
            continue;
        }
        ReplyReading reading = report_from_reply(app.player_reader, reply);
        if (reading.source)
            on_played_source(*reading.source);
        if (reading.report) {
            PlayerReport report = in_script_time(on_clock_ticks(*reading.report), app.sync.map());
            jumped |= follow_report(app.follower, app.clock, report, clock_ticks()) == FollowOutcome::Jumped;
        }
        // After the report, which clears the last one: a note that comes with it stays on show.
        if (!reading.problem.empty())
            note_problem(app.follower, reading.problem);
    }
    app.player_link->ask_quickly(wants_quick_reports(app.follower, clock_ticks()));
    if (app.clock.paused != was_paused)
        show_clock_running(!app.clock.paused);
    // A jump is the user seeking in the player: what the script has in force where it landed is
    // carried out, so that a seek back into a range hides the rest of it. Small corrections leave
    // the cursor alone; the loop carries out whatever they made due.
    if (jumped)
        carry_out_what_is_in_force();
    else
        arm_event_timer();
    ask_permissions(app.main_window);
}

void check_player_silence() {
    if (check_silence(app.follower, clock_ticks())) {
        refresh_clock_text();
        show_line(Line::Clock);
    }
}

void note_user_move(double seconds) {
    note_user_shift(app.follower, seconds);
}

double copy_time_now() {
    return app.sync.map().apply(position(app.clock) - app.follower.offset);
}

void sync_here(double script_time, double copy_time) {
    TimeMap before = app.sync.map();
    std::string refusal;
    if (!app.sync.add(script_time, copy_time, refusal)) {
        show_sync_text("Not synced: " + refusal);
        return;
    }
    change_map(before, app.sync.map(), script_time, copy_time);
    show_sync_text(app.sync.status());
    remember_sync();
}

void restore_sync(const TimeMap& map, bool from_script) {
    TimeMap before = app.sync.map();
    double script_time = position(app.clock);
    double copy_time = copy_time_now();
    app.sync.restore(map, from_script);
    change_map(before, app.sync.map(), script_time, copy_time);
    show_sync_text(app.sync.status());
}

void clear_sync() {
    if (app.sync.moments() == 0)
        return;
    forget_remembered_sync();
    double copy_now = copy_time_now();
    forget_sync();
    seek(app.clock, copy_now);
    carry_out_what_is_in_force();
    show_sync_text("");
}

void forget_sync() {
    if (app.sync.moments() == 0)
        return;
    set_speed(app.clock, app.clock.speed * app.sync.map().rate);
    take_new_map(app.follower);
    app.sync.clear();
    app.sync_text.clear();
}

void refresh_clock_text() {
    app.clock_text = clock_status_text(app.follower, clock_ticks());
}

}  // namespace dvbk
