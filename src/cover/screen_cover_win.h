// Covering the picture with our own window: maximised and topmost over the player, then stepped
// back out of the way, optionally followed by a click on the player's maximise button.
#pragma once

#include <windows.h>

#include <optional>

#include "base/window_ids_win.h"
#include "settings/settings_file.h"

namespace dvbk {

// The pause before each of the click's four inputs, long enough for a player to see a distinct
// move, press and release.
inline constexpr UINT CLICK_STEP_MS = 200;

INPUT initial_click_input();

// The cover's opacity, one step short of opaque. Chrome and Edge stop drawing a page that opaque
// windows hide whole and slow its timers, and the video then comes back late, white or on an old
// frame when the cover lifts; a window that lets anything of the page through does not count. One
// part in 255 of the film moves no pixel of the cover by more than one level in 255.
inline constexpr BYTE COVER_ALPHA = 254;

struct ScreenCover {
    // Read right before every z-order change: the user may have moved the window meanwhile.
    RECT saved_window_rect{100, 100, 400, 400};
    // One record reused for the four synthetic mouse inputs of a click.
    INPUT click_input = initial_click_input();
    // The primary screen as it was at start-up, for the pointer's position as screen fractions.
    double screen_width = GetSystemMetrics(SM_CXSCREEN);
    double screen_height = GetSystemMetrics(SM_CYSCREEN);

    // The monitor the cover last went up on, as its rectangle: a monitor's handle does not outlive
    // a change of the display layout, a rectangle still finds the nearest monitor.
    std::optional<RECT> last_monitor;
    // Whether the window is ready to cover: the system's minimise and maximise animations off, and
    // the window layered at COVER_ALPHA.
    bool prepared = false;

    // How many of the click's inputs are still to go: 4 right after the cover went down, 0 when no
    // click is under way.
    int click_inputs_left = 0;

    // Where synthetic input goes; tests record it instead.
    UINT(WINAPI* send_input)(UINT count, LPINPUT inputs, int size) = SendInput;
};

// Makes the window ready to cover, once: no minimise and maximise animations, and layered at
// COVER_ALPHA. Best done before the window is first shown, so that its look never changes later;
// cover_screen does it otherwise.
void prepare_cover(ScreenCover& cover, HWND window);

// Re-applies the window's own rectangle with a new place in the z-order, showing it.
void z_order_step(ScreenCover& cover, HWND window, HWND insert_after);

// Leaves the window maximised and topmost on the monitor that shows the player (on every monitor
// when the settings ask for all), going there without a moment in which that monitor, once hidden,
// shows the film again. A click still under way is ended first.
void cover_screen(ScreenCover& cover, HWND window, const AppSettings& settings);

// The monitor that shows the film: the one of the foreground window unless that is one of the
// program's own, else the one last covered, else the one of `window`.
HMONITOR player_monitor(const ScreenCover& cover, HWND window);

// Leaves the window minimised and out of the topmost band and, when the settings ask for it,
// starts a click on the player's maximise button at the configured screen fractions: four inputs
// (move, press, release, then the pointer parked), each CLICK_STEP_MS after the one before, sent
// by click_step on the window's CLICK_TIMER. Returns at once.
void uncover_screen(ScreenCover& cover, HWND window, const AppSettings& settings);

// Sends the click's next input; after the last one the timer stops.
void click_step(ScreenCover& cover, HWND window);

// Drops what is left of a click under way and stops its timer. A button already pressed is
// released first, so that no press is left hanging on the player.
void end_click(ScreenCover& cover, HWND window);

// Leaves the window shown normally and out of the topmost band, with no click.
void restore_window(ScreenCover& cover, HWND window);

}  // namespace dvbk
