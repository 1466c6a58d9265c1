// Recording ranges while watching: system-wide keys mark where a range starts and ends on the
// clock, and every mark goes into the script's file at once.
#pragma once

#include <windows.h>

#include <array>

#include "app/hot_keys_win.h"

namespace dvbk {

// The recording keys' ids, apart from every command's.
inline constexpr int HOTKEY_MUTE = 1;
inline constexpr int HOTKEY_COVER = 2;
inline constexpr int HOTKEY_COMBINED = 3;
inline constexpr int HOTKEY_UNDO = 4;

inline constexpr std::array<HotKey, 4> record_keys{{
    {HOTKEY_MUTE, VK_F9, "Ctrl+Shift+F9"},        // a mute range
    {HOTKEY_COVER, VK_F10, "Ctrl+Shift+F10"},     // a cover range
    {HOTKEY_COMBINED, VK_F11, "Ctrl+Shift+F11"},  // a combined range
    {HOTKEY_UNDO, VK_F12, "Ctrl+Shift+F12"},      // the last press taken back
}};

// File > Record Ranges: on (the keys registered, the item checked) or off.
void toggle_recording();
void stop_recording();

// WM_HOTKEY from one of the recording keys.
void on_record_key(int id);

}  // namespace dvbk
