// The main window's timer ids and the messages other threads post to it, all in one place so that
// no two of them share a number. Here in base because the screen cover, which may not reach the
// application's headers, sets one of the timers on the main window too.
#pragma once

#include <windows.h>

namespace dvbk {

// Makes the message loop run at least ten times a second; has no callback.
inline constexpr UINT_PTR WAKE_TIMER = 134;
// The once-a-second refresh of the status lines.
inline constexpr UINT_PTR STATUS_TIMER = 135;
// One-shot, for the moment the next event falls due.
inline constexpr UINT_PTR EVENT_TIMER = 136;
// Paces the inputs of the click on the player's maximise button after the cover goes down; the
// window procedure passes each of its WM_TIMER to the cover's click_step.
inline constexpr UINT_PTR CLICK_TIMER = 137;
// While a delayed start waits: due when the countdown on the button changes, and at the start.
inline constexpr UINT_PTR START_TIMER = 138;
// One-shot: the script's folder has been quiet long enough after a change to load the file again.
inline constexpr UINT_PTR RELOAD_TIMER = 139;
// One-shot: the scripts folder has been quiet long enough after a change to index it again.
inline constexpr UINT_PTR INDEX_TIMER = 140;

// Posted by the player link when answers are waiting.
inline constexpr UINT WM_PLAYER_REPLY = WM_APP + 1;
// Posted by the audio muter's watch when the system's default output has changed.
inline constexpr UINT WM_DEFAULT_OUTPUT_CHANGED = WM_APP + 2;
// Posted by the folder watch when something in the script's folder changed.
inline constexpr UINT WM_SCRIPT_FOLDER_CHANGED = WM_APP + 3;
// Posted by the scripts folder's watch when a script in it may have come, gone or changed.
inline constexpr UINT WM_SCRIPTS_FOLDER_CHANGED = WM_APP + 4;

}  // namespace dvbk
