// The main window: its buttons, menus and status lines, and the routing of what reaches it.
#pragma once

#include <windows.h>

#include "app/main_layout.h"

namespace dvbk {

// Asks for `line` to be painted again, its band erased first: for a line whose text has changed or
// gone.
void invalidate_line(Line line);

// Asks for the status lines to be painted again without erasing: the band drawn behind each text
// wipes what a longer old text left.
void invalidate_status_lines();

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// The Play button: opens a script when none is loaded, starts the clock (after the typed delay,
// counting down on the button), cancels a start still waiting, or pauses.
void toggle_play_pause();
// The button, menu and delay field for a clock that has just started or stopped, by the user or by
// the player it follows. Either way a start still waiting is forgotten.
void show_clock_running(bool running);
// The File Open dialog, modal over the main window; opens the chosen script.
bool choose_script();
void show_delay_edit();

}  // namespace dvbk
