#include "cover/screen_cover_win.h"

#include <dwmapi.h>

#include "cover/cover_geometry.h"
#include "cover/rect_win.h"

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

bool own_window(HWND candidate) {
    DWORD process = 0;
    GetWindowThreadProcessId(candidate, &process);
    return process == GetCurrentProcessId();
}

MONITORINFO monitor_info(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoA(monitor, &info);
    return info;
}

RECT work_area(HMONITOR monitor) {
    return monitor_info(monitor).rcWork;
}

// A window's restored rectangle is kept in workspace coordinates, which start at the corner of the
// primary monitor's work area rather than of the screen (they differ with the taskbar at the top or
// the left).
POINT workspace_origin() {
    MONITORINFO info = monitor_info(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY));
    return POINT{info.rcWork.left - info.rcMonitor.left, info.rcWork.top - info.rcMonitor.top};
}

// Maximised on `monitor` in one show command, whether the window was minimised, shown normally
// anywhere or maximised elsewhere: the system maximises a window on the monitor of its restored
// rectangle, so that rectangle goes there first.
void maximise_on(HWND window, HMONITOR monitor) {
    if (IsZoomed(window) && MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST) != monitor) {
        // A maximised window is not moved by a new restored rectangle. Restoring it uncovers only
        // the monitor it was on, which is not the one that shows the film.
        ShowWindow(window, SW_SHOWNOACTIVATE);
    }
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(window, &placement);
    POINT origin = workspace_origin();
    RECT normal = placement.rcNormalPosition;
    OffsetRect(&normal, origin.x, origin.y);
    if (MonitorFromRect(&normal, MONITOR_DEFAULTTONEAREST) != monitor) {
        RECT from = work_area(MonitorFromRect(&normal, MONITOR_DEFAULTTONEAREST));
        normal = to_RECT(moved_onto(rect_of(normal), rect_of(from), rect_of(work_area(monitor))));
        OffsetRect(&normal, -origin.x, -origin.y);
        placement.rcNormalPosition = normal;
    }
    placement.flags = 0;
    placement.showCmd = SW_SHOWMAXIMIZED;
    SetWindowPlacement(window, &placement);
}

BOOL CALLBACK add_work_area(HMONITOR monitor, HDC, LPRECT, LPARAM all) {
    Rect& union_so_far = *reinterpret_cast<Rect*>(all);
    union_so_far = union_of(union_so_far, rect_of(work_area(monitor)));
    return TRUE;
}

// Stretches the window, maximised on `monitor`, over the work areas of every monitor, its frame
// lying outside them as a maximised window's does.
void stretch_over_all_monitors(HWND window, HMONITOR monitor) {
    Rect all;
    EnumDisplayMonitors(nullptr, nullptr, add_work_area, reinterpret_cast<LPARAM>(&all));
    Rect work = rect_of(work_area(monitor));
    if (all == work)
        return;
    RECT maximised;
    GetWindowRect(window, &maximised);
    Rect stretched = stretched_over(all, work, rect_of(maximised));
    SetWindowPos(window, HWND_TOPMOST, stretched.left, stretched.top, stretched.width(), stretched.height(),
                 SWP_NOACTIVATE);
}

}  // namespace

void prepare_cover(ScreenCover& cover, HWND window) {
    if (cover.prepared)
        return;
    // Animated, the way from minimised to maximised shows the film around a growing window.
    BOOL off = TRUE;
    DwmSetWindowAttribute(window, DWMWA_TRANSITIONS_FORCEDISABLED, &off, sizeof off);
    // A window just made layered shows nothing until it has its opacity, so both go together. Not
    // a tool window, which a browser would not count either: that one would leave the taskbar and
    // Alt+Tab, and the taskbar takes a window's button away only while it is hidden.
    SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_LAYERED);
    SetLayeredWindowAttributes(window, 0, COVER_ALPHA, LWA_ALPHA);
    cover.prepared = true;
}

HMONITOR player_monitor(const ScreenCover& cover, HWND window) {
    HWND foreground = GetForegroundWindow();
    if (foreground && foreground != GetShellWindow() && !own_window(foreground))
        return MonitorFromWindow(foreground, MONITOR_DEFAULTTONEAREST);
    if (cover.last_monitor)
        return MonitorFromRect(&*cover.last_monitor, MONITOR_DEFAULTTONEAREST);
    return MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
}

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

void cover_screen(ScreenCover& cover, HWND window, const AppSettings& settings) {
    // The rest of a click would land on the cover, not on the player.
    end_click(cover, window);
    // Chosen before anything of ours moves: the cover itself may become the foreground window.
    HMONITOR monitor = player_monitor(cover, window);
    prepare_cover(cover, window);
    // The one step that covers: from minimised, normal or elsewhere, maximised on the monitor. It
    // also asks for the foreground, which the system may refuse a background program.
    maximise_on(window, monitor);
    // So the window is then put at the top of the topmost band, without activating: in front of the
    // player whether or not it has the foreground. Had the system left it behind the player, the
    // cover shows only from here, never before and then gone again.
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (settings.cover_monitors == CoverMonitors::All)
        stretch_over_all_monitors(window, monitor);
    cover.last_monitor = monitor_info(monitor).rcMonitor;
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
            cover.click_input.mi.dx = PARK_X;
            cover.click_input.mi.dy = PARK_Y;
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
