#include "app/follow_win.h"

#include <cmath>
#include <string>

#include "app/app_state_win.h"
#include "app/app_win.h"
#include "app/dispatch_win.h"
#include "playback/player_reply.h"

namespace dvbk {
namespace {

// Turns one answer into a report, or notes why there is none.
std::optional<PlayerReport> report_from_reply(const PlayerReply& reply) {
    ClockFollower& follower = app.follower;
    if (!reply.ok) {
        note_problem(follower, reply.error);
        return std::nullopt;
    }
    if (follower.source == ClockSource::Vlc) {
        if (std::optional<VlcStatus> status = parse_vlc_status(reply.text))
            return report_from_vlc(follower, *status, reply.tick);
    } else if (std::optional<MpvMessage> message = parse_mpv_line(reply.text)) {
        return report_from_mpv(follower, *message, reply.tick);
    }
    note_problem(follower, "unreadable answer");
    return std::nullopt;
}

}  // namespace

UINT position_query_message() {
    static const UINT message = RegisterWindowMessageA("DunvelBlenk.Position");
    return message;
}

void stop_following() {
    app.player_link.reset();
    begin_following(app.follower, ClockSource::Manual, system_tick_count());
}

void start_following(HWND window) {
    stop_following();
    const AppSettings& settings = app.settings;
    begin_following(app.follower, settings.clock_source, system_tick_count());
    if (settings.clock_source == ClockSource::Vlc)
        app.player_link =
            start_vlc_link(window, WM_PLAYER_REPLY, settings.vlc_host, settings.vlc_port, settings.vlc_password);
    else if (settings.clock_source == ClockSource::Mpv)
        app.player_link = start_mpv_link(window, WM_PLAYER_REPLY, settings.mpv_pipe);
    refresh_clock_text();
}

void on_player_replies(HWND window) {
    if (!app.player_link)
        return;
    bool was_paused = app.clock.paused;
    bool jumped = false;
    for (const PlayerReply& reply : app.player_link->take()) {
        if (std::optional<PlayerReport> report = report_from_reply(reply))
            jumped |= follow_report(app.follower, app.clock, *report, system_tick_count()) == FollowOutcome::Jumped;
    }
    if (app.clock.paused != was_paused)
        show_clock_running(window, !app.clock.paused);
    // A jump is the user seeking in the player: as after Set Time. Small corrections leave the
    // cursor alone; the loop carries out whatever they made due.
    if (jumped)
        resync_after_seek(window);
    else
        arm_event_timer();
}

void check_player_silence(HWND window) {
    if (check_silence(app.follower, system_tick_count())) {
        refresh_clock_text();
        InvalidateRect(window, nullptr, FALSE);
    }
}

void note_user_move(double seconds) {
    note_user_shift(app.follower, seconds);
}

void refresh_clock_text() {
    app.clock_text = clock_status_text(app.follower, system_tick_count());
}

}  // namespace dvbk
