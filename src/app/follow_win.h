// Following a player from the user-interface thread: the link to VLC or mpv chosen in the
// settings, its answers applied to the film clock, and the clock's status line.
#pragma once

#include <windows.h>

namespace dvbk {

// Posted by the player link when answers are waiting.
inline constexpr UINT WM_PLAYER_REPLY = WM_APP + 1;

// Asks the window for the film clock's position; the result is in milliseconds. For tools that
// drive the program, such as a measurement of how closely it follows a player.
UINT position_query_message();

// Starts following the player the settings name, or stops following for the manual clock.
void start_following(HWND window);
void stop_following();

// Takes the link's waiting answers and applies them, in order.
void on_player_replies(HWND window);

// Falls back to the manual clock when the player has been silent too long.
void check_player_silence(HWND window);

// The user moved the clock by `seconds` while following: keep that correction.
void note_user_move(double seconds);

// Rebuilds `clock_text`.
void refresh_clock_text();

}  // namespace dvbk
