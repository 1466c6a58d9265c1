// Reads and drives the running program for a test on the Linux side. For each line on standard
// input it answers one line:
//   ?                  the film clock's position in milliseconds (the registered
//                      "DunvelBlenk.Position" message)
//   action             what is in force: Normal, Dunvel (muted), Blenk (covered) or DunvelBlenk
//   command ID         posts the menu or button command ID to the program's window
//   confirm CAPTION    presses OK in the program's dialog of that caption, once it is open (5 s)
// and "none" when the window or dialog is not there or does not answer.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "resources/window_names.h"

namespace {

HWND program_window() {
    return FindWindowA(dvbk::MAIN_WINDOW_CLASS, nullptr);
}

bool read_position() {
    UINT query = RegisterWindowMessageA(dvbk::POSITION_QUERY_MESSAGE);
    HWND program = program_window();
    DWORD_PTR position = 0;
    if (!program || !SendMessageTimeoutA(program, query, 0, 0, SMTO_ABORTIFHUNG, 1000, &position))
        return false;
    std::printf("%lld\n", static_cast<long long>(static_cast<LONG_PTR>(position)));
    return true;
}

bool read_action() {
    UINT query = RegisterWindowMessageA(dvbk::ACTION_QUERY_MESSAGE);
    HWND program = program_window();
    DWORD_PTR action = 0;
    if (!program || !SendMessageTimeoutA(program, query, 0, 0, SMTO_ABORTIFHUNG, 1000, &action))
        return false;
    const char* names[] = {"Normal", "Blenk", "Dunvel", "DunvelBlenk"};
    std::printf("%s\n", names[action & 3]);
    return true;
}

bool post_command(const char* id) {
    HWND program = program_window();
    if (!program || !PostMessageA(program, WM_COMMAND, static_cast<WPARAM>(std::atoi(id)), 0))
        return false;
    std::printf("ok\n");
    return true;
}

bool confirm(const char* caption) {
    for (int waited = 0; waited < 5000; waited += 20) {
        if (HWND dialog = FindWindowA("#32770", caption)) {
            if (!PostMessageA(dialog, WM_COMMAND, IDOK, 0))
                return false;
            std::printf("ok\n");
            return true;
        }
        Sleep(20);
    }
    return false;
}

}  // namespace

int main() {
    char line[256];
    while (std::fgets(line, sizeof line, stdin)) {
        line[std::strcspn(line, "\r\n")] = '\0';
        bool answered = std::strncmp(line, "command ", 8) == 0   ? post_command(line + 8)
                        : std::strncmp(line, "confirm ", 8) == 0 ? confirm(line + 8)
                        : std::strcmp(line, "action") == 0       ? read_action()
                                                                 : read_position();
        if (!answered)
            std::printf("none\n");
        std::fflush(stdout);
    }
    return 0;
}
