// Covering the picture with our own window: maximised and topmost over the player, then stepped
// back out of the way, optionally followed by a click on the player's maximise button.
#pragma once

#include <windows.h>

#include "settings/settings_file.h"

namespace dvbk {

INPUT initial_click_input();

struct ScreenCover {
    // Read right before every z-order change: the user may have moved the window meanwhile.
    RECT saved_window_rect{100, 100, 400, 400};
    // One record reused for the four synthetic mouse inputs of a click.
    INPUT click_input = initial_click_input();
    // The primary screen as it was at start-up, for the pointer's position as screen fractions.
    double screen_width = GetSystemMetrics(SM_CXSCREEN);
    double screen_height = GetSystemMetrics(SM_CYSCREEN);

    // Where synthetic input goes and how the click waits; tests record both instead.
    UINT(WINAPI* send_input)(UINT count, LPINPUT inputs, int size) = SendInput;
    VOID(WINAPI* sleep)(DWORD milliseconds) = Sleep;
};

// Re-applies the window's own rectangle with a new place in the z-order, showing it.
void z_order_step(ScreenCover& cover, HWND window, HWND insert_after);

// Leaves the window maximised and topmost.
void cover_screen(ScreenCover& cover, HWND window);

// Leaves the window minimised and out of the topmost band, then clicks the player's maximise
// button at the configured screen fractions when the settings ask for it (blocking for 0.8 s).
void uncover_screen(ScreenCover& cover, HWND window, const AppSettings& settings);

// Leaves the window shown normally and out of the topmost band, with no click.
void restore_window(ScreenCover& cover, HWND window);

}  // namespace dvbk
