// System-wide keys: the recording keys and the clock's keys reach the program while the player has
// the focus.
#pragma once

#include <windows.h>

#include <array>
#include <span>
#include <string>

#include "resources/resource_ids.h"

namespace dvbk {

// One system-wide key. Ctrl+Shift with a function key: players and browsers leave these alone; a
// letter would be a character to type somewhere, and Ctrl+Alt with a letter is AltGr on many
// keyboard layouts (Ctrl+Alt with a function key is taken by the X server where the program runs
// under Wine, to switch consoles).
struct HotKey {
    int id;  // the hotkey's id, also what WM_HOTKEY carries
    UINT key;
    const char* name;
};

// The clock's keys, F4 to F8 beside the recording keys' F9 to F12. Each one's id is the command of
// the button it stands for, so a key does exactly what its button does.
inline constexpr std::array<HotKey, 5> clock_keys{{
    {IDC_PLAY_BUTTON, VK_F4, "Ctrl+Shift+F4"},  // Start / Pause / Play
    {IDC_BACK_2S, VK_F5, "Ctrl+Shift+F5"},      // <<(2s)
    {IDC_BACK_02S, VK_F6, "Ctrl+Shift+F6"},     // <(0.2s)
    {IDC_FORWARD_02S, VK_F7, "Ctrl+Shift+F7"},  // >(0.2s)
    {IDC_FORWARD_2S, VK_F8, "Ctrl+Shift+F8"},   // >>(2s)
}};

// Registers `keys` for `window`; returns the names of those another program holds, separated by
// ", ", or nothing when every one is ours.
std::string register_hot_keys(HWND window, std::span<const HotKey> keys);
void unregister_hot_keys(HWND window, std::span<const HotKey> keys);

// The clock's keys as the settings say: registered while switched on, with the keys another
// program holds told on the line under the buttons; unregistered while off.
void apply_clock_keys();

// Whether WM_HOTKEY's `id` is one of the clock's keys.
bool is_clock_key(int id);

}  // namespace dvbk
