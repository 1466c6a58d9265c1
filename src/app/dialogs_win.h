// The main window's small dialogs: Set Time, Sync Here and About.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace dvbk {

// Where the About box's "DONATE!" button leads. The program has no fund of its own; the button
// says so and sends gifts to a cause its users are likely to value.
inline constexpr const char* DONATION_URL = "https://donate.wikimedia.org/";

// Its lParam at WM_INITDIALOG is the double that receives the typed time on OK (-1 when unreadable).
INT_PTR CALLBACK SetTimeDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
// Sync Here's dialog: its lParam at WM_INITDIALOG is the moment, whose `copy_time` it proposes and,
// on OK, sets to what the user typed.
struct SyncMoment {
    double script_time;  // the clock's position when the user chose Sync Here
    double copy_time;    // what the player showed then
};
INT_PTR CALLBACK SyncHereDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// The scripts that fit what plays, for the user to choose one: its lParam at WM_INITDIALOG is the
// choice. A script that does not load is listed with its error and cannot be chosen.
struct ScriptChoice {
    std::string what;  // the film that plays, for the heading
    struct Entry {
        std::string text;  // one line of the list
        bool loads;
    };
    std::vector<Entry> entries;
    int chosen = -1;  // on OK, the entry chosen; first the one to propose (-1: the first that loads)
};
INT_PTR CALLBACK ChooseScriptDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace dvbk
