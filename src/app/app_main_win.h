// The program's start-up and end: the main window made, the message loop that also carries out due
// events, and the sound switched back on however the program ends.
#pragma once

#include <windows.h>

namespace dvbk {

// The whole program from its entry point: returns the process exit code.
int run_app(HINSTANCE instance, const char* command_line, int show_command);

// Runs until WM_QUIT and returns its code; carries out due events before each message.
int run_message_loop(HACCEL accelerators);

void register_main_window_class(HINSTANCE instance);
bool create_main_window(HINSTANCE instance, int show_command);

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

}  // namespace dvbk
