#include "playback/screen_cover_win.h"

namespace dvbk {
namespace {

void repaint(HWND window) {
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
}

void send_mouse(ScreenCover& cover, DWORD flags) {
    cover.click_input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | flags;
    cover.send_input(1, &cover.click_input, sizeof(INPUT));
}

// Absolute coordinates are normalised: 0 to 65535 spans the primary screen. A fraction beyond
// either edge (typed in the Settings dialog or read from the file) stays on that edge, and one that
// is not a number at all on the left or top one: the conversion of anything outside is undefined.
LONG normalised(double fraction) {
    if (!(fraction > 0.0))
        return 0;
    if (fraction >= 1.0)
        return 65535;
    return static_cast<LONG>(fraction * 65535.0);
}

}  // namespace

INPUT initial_click_input() {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE;
    return input;
}

void z_order_step(ScreenCover& cover, HWND window, HWND insert_after) {
    RECT& rect = cover.saved_window_rect;
    GetWindowRect(window, &rect);
    SetWindowPos(window, insert_after, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_SHOWWINDOW | SWP_FRAMECHANGED);
}

void cover_screen(ScreenCover& cover, HWND window) {
    // The rest of a click would land on the cover, not on the player.
    end_click(cover, window);
    // Windows does not let a background program simply take the foreground from the player; the
    // detour through normal and minimised brings the window in front all the same.
    z_order_step(cover, window, HWND_TOPMOST);
    ShowWindow(window, SW_SHOWMAXIMIZED);
    z_order_step(cover, window, HWND_NOTOPMOST);
    ShowWindow(window, SW_SHOWNORMAL);
    ShowWindow(window, SW_MINIMIZE);
    z_order_step(cover, window, HWND_TOPMOST);
    ShowWindow(window, SW_SHOWMAXIMIZED);
    repaint(window);
}

void uncover_screen(ScreenCover& cover, HWND window, const AppSettings& settings) {
    z_order_step(cover, window, HWND_NOTOPMOST);
    ShowWindow(window, SW_SHOWNORMAL);
    ShowWindow(window, SW_MINIMIZE);
    repaint(window);
    end_click(cover, window);
    if (!settings.click_maximize)
        return;
    cover.click_input.mi.dx = normalised(settings.click_x);
    cover.click_input.mi.dy = normalised(settings.click_y);
    cover.click_inputs_left = 4;
    SetTimer(window, CLICK_TIMER, CLICK_STEP_MS, nullptr);
}

void click_step(ScreenCover& cover, HWND window) {
    switch (cover.click_inputs_left) {
        case 4:
            send_mouse(cover, MOUSEEVENTF_MOVE);
            break;
        case 3:
            send_mouse(cover, MOUSEEVENTF_LEFTDOWN);
            break;
        case 2:
            send_mouse(cover, MOUSEEVENTF_LEFTUP);
            break;
        case 1:
            // Park the pointer at the right edge, a tenth of the way down, away from the player's
            // controls.
            cover.click_input.mi.dx = 65535;
            cover.click_input.mi.dy = 6553;
            send_mouse(cover, MOUSEEVENTF_MOVE);
            break;
    }
    if (cover.click_inputs_left > 0)
        --cover.click_inputs_left;
    if (cover.click_inputs_left == 0)
        KillTimer(window, CLICK_TIMER);
}

void end_click(ScreenCover& cover, HWND window) {
    if (cover.click_inputs_left == 2)
        send_mouse(cover, MOUSEEVENTF_LEFTUP);
    cover.click_inputs_left = 0;
    KillTimer(window, CLICK_TIMER);
}

void restore_window(ScreenCover& cover, HWND window) {
    z_order_step(cover, window, HWND_NOTOPMOST);
    ShowWindow(window, SW_SHOWNORMAL);
    repaint(window);
}

}  // namespace dvbk
