// The Settings dialog: the player click (on or off, preset or custom position) and the drift
// correction.
#pragma once

#include <windows.h>

namespace dvbk {

INT_PTR CALLBACK SettingsDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// The preset list only matters when the click is on; X and Y can be typed only for "Custom".
void update_click_controls(HWND dialog);

}  // namespace dvbk
