// The main window: its buttons, menus and status lines, and the routing of what reaches it.
#pragma once

#include <windows.h>

#include "app/main_layout.h"

namespace dvbk {

// Puts what `line` shows now on its control, shown while it has a text: for a line whose text has
// changed or gone.
void show_line(Line line);
void show_lines();

// Reads whether high contrast is on, through AppState's seam, and draws the window again in its
// colours: at the start, and whenever the system's settings or colours change.
void read_colours();

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// The Play button: opens a script when none is loaded, starts the clock (after the typed delay,
// counting down on the button), cancels a start still waiting, or pauses.
void toggle_play_pause();
// The button, menu and delay field for a clock that has just started or stopped, by the user or by
// the player it follows. Either way a start still waiting is forgotten.
void show_clock_running(bool running);
// The File Open dialog, modal over the main window; opens the chosen script.
bool choose_script();
// The delay field and its label, shown (with "0" in the field) while the clock stands.
void show_delay_field(bool shown);

}  // namespace dvbk
