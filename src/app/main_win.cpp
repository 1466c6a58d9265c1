#include <windows.h>

#include "app/app_main_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int show_command) {
    return dvbk::run_app(instance, command_line, show_command);
}
