// Following a player from the user-interface thread: the link to VLC or mpv chosen in the
// settings, its answers applied to the film clock, and the clock's status line.
#pragma once

#include <windows.h>

#include "script/time_map.h"

namespace dvbk {

// Asks the window for the film clock's position; the result is in milliseconds. For tools that
// drive the program, such as a measurement of how closely it follows a player.
UINT position_query_message();

// Starts following the player the settings name, or stops following for the manual clock.
void start_following();
void stop_following();

// Takes the link's waiting answers and applies them, in order.
void on_player_replies();

// Falls back to the manual clock when the player has been silent too long.
void check_player_silence();

// The user moved the clock by `seconds` while following: keep that correction.
void note_user_move(double seconds);

// What the user's copy of the film is at now, as the clock and Sync Here's map have it: what the
// player should be showing.
double copy_time_now();

// Sync Here: when the clock stood at `script_time` the player showed `copy_time`. The map through
// this moment and the first one sets the clock's rate (and a followed player's times) from now on;
// the position is kept. A moment that gives no usable map changes nothing and says why.
void sync_here(double script_time, double copy_time);

// A map made before for the copy that plays: remembered from Sync Here last time, or written into
// the script (`from_script`). It takes the place of any map, with the clock where the copy is.
void restore_sync(const TimeMap& map, bool from_script);

// Back to the script's own timeline: the map and its moments forgotten, the clock at the copy's
// time and rate.
void clear_sync();

// Another script is another timeline: its moments and map are forgotten, without moving the clock.
void forget_sync();

// Rebuilds `clock_text`.
void refresh_clock_text();

}  // namespace dvbk
