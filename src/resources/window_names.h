// What other programs find the running program by: the tools that drive or measure it (the soak
// driver, the test probes) look for its main window by class and ask it where the film clock is and
// what it has in force.
#pragma once

namespace dvbk {

// The main window's class, as the string table's IDS_WINDOW_CLASS has it.
inline constexpr const char* MAIN_WINDOW_CLASS = "BLENK";

// Registered with RegisterWindowMessage; sent to the main window, it answers with the film clock's
// position in milliseconds.
inline constexpr const char* POSITION_QUERY_MESSAGE = "DunvelBlenk.Position";

// Registered with RegisterWindowMessage; sent to the main window, it answers with what the script
// has in force: 1 when the picture is covered, plus 2 when the sound is muted.
inline constexpr const char* ACTION_QUERY_MESSAGE = "DunvelBlenk.Action";

}  // namespace dvbk
