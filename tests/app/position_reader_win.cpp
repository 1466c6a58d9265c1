// Reads and drives the running program for a test on the Linux side. For each line on standard
// input it answers one line:
//   ?                  the film clock's position in milliseconds (the registered
//                      "DunvelBlenk.Position" message)
//   action             what is in force: Normal, Dunvel (muted), Blenk (covered) or DunvelBlenk
//   command ID         posts the menu or button command ID to the program's window
//   confirm CAPTION    presses OK in the program's dialog of that caption, once it is open (5 s)
//   line N             the text of the window's line N (main_layout.h's Line), in UTF-8
//   choices            the entries of the open "Choose the Script" list, joined by " | " (5 s)
//   choose INDEX       selects entry INDEX there and presses OK
// and "none" when the window, line or dialog is not there or does not answer.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include "resources/resource_ids.h"
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

// Up to 1024 UTF-16 units, as the readers below take them.
std::string utf8(const wchar_t* text) {
    char out[4096] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out - 1, nullptr, nullptr);
    return out;
}

// The text of another process's control is read without a message, so a program that hangs holds
// up no reading.
bool read_line(const char* index) {
    HWND program = program_window();
    HWND line = program ? GetDlgItem(program, IDC_FIRST_LINE + std::atoi(index)) : nullptr;
    if (!line)
        return false;
    wchar_t text[1024] = {};
    GetWindowTextW(line, text, static_cast<int>(std::size(text)));
    std::printf("%s\n", utf8(text).c_str());
    return true;
}

HWND chooser_list() {
    for (int waited = 0; waited < 5000; waited += 20) {
        if (HWND dialog = FindWindowA("#32770", "Choose the Script"))
            return GetDlgItem(dialog, IDC_CHOOSE_LIST);
        Sleep(20);
    }
    return nullptr;
}

bool read_choices() {
    HWND list = chooser_list();
    DWORD_PTR count = 0;
    if (!list || !SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 1000, &count))
        return false;
    std::string joined;
    for (WPARAM i = 0; i < count; ++i) {
        wchar_t text[1024] = {};
        DWORD_PTR length = 0;
        if (!SendMessageTimeoutW(list, LB_GETTEXTLEN, i, 0, SMTO_ABORTIFHUNG, 1000, &length) ||
            length >= std::size(text) ||
            !SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000, &length))
            return false;
        joined += (i ? " | " : "") + utf8(text);
    }
    std::printf("%s\n", joined.c_str());
    return true;
}

bool choose(const char* index) {
    HWND list = chooser_list();
    DWORD_PTR selected = 0;
    if (!list ||
        !SendMessageTimeoutA(list, LB_SETCURSEL, static_cast<WPARAM>(std::atoi(index)), 0, SMTO_ABORTIFHUNG, 1000,
                             &selected) ||
        static_cast<LONG_PTR>(selected) != std::atoi(index) || !PostMessageA(GetParent(list), WM_COMMAND, IDOK, 0))
        return false;
    std::printf("ok\n");
    return true;
}

}  // namespace

int main() {
    char line[256];
    while (std::fgets(line, sizeof line, stdin)) {
        line[std::strcspn(line, "\r\n")] = '\0';
        bool answered = std::strncmp(line, "command ", 8) == 0   ? post_command(line + 8)
                        : std::strncmp(line, "confirm ", 8) == 0 ? confirm(line + 8)
                        : std::strncmp(line, "line ", 5) == 0    ? read_line(line + 5)
                        : std::strncmp(line, "choose ", 7) == 0  ? choose(line + 7)
                        : std::strcmp(line, "choices") == 0      ? read_choices()
                        : std::strcmp(line, "action") == 0       ? read_action()
                                                                 : read_position();
        if (!answered)
            std::printf("none\n");
        std::fflush(stdout);
    }
    return 0;
}
