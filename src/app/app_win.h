// The program's shell: start-up, the message loop that also carries out due events, the main
// window and its small dialogs.
#pragma once

#include <windows.h>

#include <string>

#include "base/window_ids_win.h"

namespace dvbk {

// Where the About box's "DONATE!" button leads. The program has no fund of its own; the button
// says so and sends gifts to a cause its users are likely to value.
inline constexpr const char* DONATION_URL = "https://donate.wikimedia.org/";

// The whole program from its entry point: returns the process exit code.
int run_app(HINSTANCE instance, const char* command_line, int show_command);

// Runs until WM_QUIT and returns its code; carries out due events before each message.
int run_message_loop(HACCEL accelerators);

void register_main_window_class(HINSTANCE instance);
bool create_main_window(HINSTANCE instance, int show_command);

// Loads a script and resets the run: the clock paused at 0, the cursor at the first event.
void open_script(const std::string& path);

// The same for a script just made, which holds no range yet: ready to record into.
void open_new_script(const std::string& path);

// One step of the message loop: carries out, in list order, every event the clock has passed.
void carry_out_due_events();

// Sets the one-shot event timer for the moment the next event falls due (or stops it while the
// clock stands or nothing is left). Called wherever the clock, its rate or the cursor changes.
void arm_event_timer();

// Asks the system for 1 ms timer resolution, or gives it back.
void set_fine_timer(bool on);

// At start-up: a marker left by a run that ended while muting (and is not still running) has the
// output it names switched back on if it is still muted, says so on the audio line, and goes.
void recover_left_mute();

// However the program ends (its window destroyed, the session ending, an unhandled exception),
// the sound is switched back on, whoever switched it off: the endpoint's mute outlives the process,
// and without this the user would have no sound after it, nor after the next log-on. A mute the
// user set before is lost with it; the user can set it again, while a mute left behind by us would
// be a mystery.
void unmute_at_exit();

// Installs the unhandled-exception filter that calls unmute_at_exit. Installed at start-up.
void install_crash_unmute();
LONG WINAPI unmute_before_crash(EXCEPTION_POINTERS* exception);

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// The Play button: opens a script when none is loaded, starts the clock (after the typed delay,
// counting down on the button), cancels a start still waiting, or pauses.
void toggle_play_pause(HWND window);
// The button, menu and delay field for a clock that has just started or stopped, by the user or by
// the player it follows. Either way a start still waiting is forgotten.
void show_clock_running(HWND window, bool running);
// The File Open dialog, modal over `owner`; opens the chosen script.
bool choose_script(HWND owner);
void show_delay_edit();

// Its lParam at WM_INITDIALOG is the double that receives the typed time on OK (-1 when unreadable).
INT_PTR CALLBACK SetTimeDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
// Sync Here's dialog: its lParam at WM_INITDIALOG is the moment, whose `copy_time` it proposes and,
// on OK, sets to what the user typed.
struct SyncMoment {
    double script_time;  // the clock's position when the user chose Sync Here
    double copy_time;    // what the player showed then
};
INT_PTR CALLBACK SyncHereDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace dvbk
