// The program's shell: start-up, the message loop that also carries out due events, the main
// window and its small dialogs.
#pragma once

#include <windows.h>

#include <string>

namespace dvbk {

inline constexpr UINT_PTR WAKE_TIMER = 134;
inline constexpr UINT_PTR STATUS_TIMER = 135;

// Where the About box's "DONATE!" button leads. The program has no fund of its own; the button
// says so and sends gifts to a cause its users are likely to value.
inline constexpr const char* donation_url = "https://donate.wikimedia.org/";

// The whole program from its entry point: returns the process exit code.
int run_app(HINSTANCE instance, const char* command_line, int show_command);

void register_main_window_class(HINSTANCE instance);
bool create_main_window(HINSTANCE instance, int show_command);

// Loads a script and resets the run: the clock paused at 0, the cursor at the first event.
void open_script(const std::string& path);

// One step of the message loop: carries out, in list order, every event the clock has passed.
void carry_out_due_events();

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
void toggle_play_pause(HWND window);
bool choose_script();
void show_delay_edit();

INT_PTR CALLBACK SetTimeDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace dvbk
