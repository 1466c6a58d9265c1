// The Settings dialog: the player click (on or off, preset or custom position), the drift
// correction and the clock source.
#pragma once

#include <windows.h>

#include "settings/settings_file.h"

namespace dvbk {

// Shows the dialog over `owner` with a copy of `settings`. On OK the copy, with what the user
// changed, replaces `settings` and the result is true; Cancel or closing leaves `settings` as it
// was.
bool edit_settings(HWND owner, AppSettings& settings);

// The dialog procedure; its lParam at WM_INITDIALOG is the AppSettings draft it edits.
INT_PTR CALLBACK SettingsDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace dvbk
