// Watches the running program's cover from a second process, as a viewer's eyes would: a stand-in
// for the player fills one monitor and has the foreground, the program's clock is started, and
// every millisecond the sampler asks the system which window is seen at points spread over the
// monitors. A cover start counts as a flash when, once the cover was seen, the film showed again
// before its range ended; its lateness is from when the range was due until the cover held.
//
// Usage: cover_sampler PLAYER_MONITOR player|all FIRST PERIOD LENGTH COUNT [maximised]
//   Ranges start at FIRST + k * PERIOD film seconds (k < COUNT) and last LENGTH seconds; monitors
//   are numbered from the left. With "player" only PLAYER_MONITOR must be hidden and no other may
//   be while it is; with "all" every monitor must be. "maximised" has the user maximise the
//   program's window where it is before the clock starts. Prints one line per start and a
//   summary; exits 0 when every start was covered, held and never lost.
#include <windows.h>
#include <timeapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "percentile.h"
#include "resources/resource_ids.h"
#include "resources/window_names.h"

namespace {

struct Sample {
    double at;           // seconds on the sampler's clock
    bool target_hidden;  // every monitor that must be hidden is
    bool other_hidden;   // some monitor that must not be hidden is
};

double now_seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

BOOL CALLBACK add_monitor(HMONITOR, HDC, LPRECT rect, LPARAM list) {
    reinterpret_cast<std::vector<RECT>*>(list)->push_back(*rect);
    return TRUE;
}

// The program's window is what is seen at the centre and near each corner of `monitor`.
bool hidden_by(HWND program, const RECT& monitor) {
    const LONG inset = 12;
    const POINT points[] = {
        {(monitor.left + monitor.right) / 2, (monitor.top + monitor.bottom) / 2},
        {monitor.left + inset, monitor.top + inset},
        {monitor.right - inset, monitor.top + inset},
        {monitor.left + inset, monitor.bottom - inset},
        {monitor.right - inset, monitor.bottom - inset},
    };
    for (POINT point : points) {
        HWND seen = WindowFromPoint(point);
        if (!seen || GetAncestor(seen, GA_ROOT) != program)
            return false;
    }
    return true;
}

LRESULT CALLBACK StandInWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_ERASEBKGND) {
        RECT client;
        GetClientRect(window, &client);
        FillRect(reinterpret_cast<HDC>(wparam), &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        return 1;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

// The player: maximised on `monitor`, in front, with the foreground.
HWND show_player(const RECT& monitor) {
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = StandInWndProc;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = "DvbkPlayerStandIn";
    RegisterClassA(&window_class);
    HWND player = CreateWindowExA(0, "DvbkPlayerStandIn", "Player stand-in", WS_OVERLAPPEDWINDOW, monitor.left + 40,
                                  monitor.top + 40, 400, 300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ShowWindow(player, SW_SHOWMAXIMIZED);
    SetForegroundWindow(player);
    return player;
}

void pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
}

// The program's clock in seconds, or a negative number when it does not answer.
double program_position(HWND program, UINT query) {
    DWORD_PTR milliseconds = 0;
    if (!SendMessageTimeoutA(program, query, 0, 0, SMTO_ABORTIFHUNG, 1000, &milliseconds))
        return -1.0;
    return static_cast<double>(static_cast<LONG_PTR>(milliseconds)) / 1000.0;
}

// Sampler time minus film time, from the quickest of a few questions (its answer is dated at the
// middle of the question).
double clock_offset(HWND program, UINT query) {
    double best_offset = 0.0, best_trip = 1e9;
    for (int i = 0; i < 25; ++i) {
        double asked = now_seconds();
        double position = program_position(program, query);
        double answered = now_seconds();
        if (position >= 0.0 && answered - asked < best_trip) {
            best_trip = answered - asked;
            best_offset = (asked + answered) / 2.0 - position;
        }
        Sleep(2);
    }
    return best_offset;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7 && argc != 8) {
        std::fprintf(stderr, "usage: cover_sampler PLAYER_MONITOR player|all FIRST PERIOD LENGTH COUNT [maximised]\n");
        return 2;
    }
    size_t player_monitor = static_cast<size_t>(std::atoi(argv[1]));
    bool all = std::string(argv[2]) == "all";
    double first = std::atof(argv[3]), period = std::atof(argv[4]), length = std::atof(argv[5]);
    int count = std::atoi(argv[6]);

    std::vector<RECT> monitors;
    EnumDisplayMonitors(nullptr, nullptr, add_monitor, reinterpret_cast<LPARAM>(&monitors));
    std::sort(monitors.begin(), monitors.end(), [](const RECT& a, const RECT& b) { return a.left < b.left; });
    std::printf("monitors:");
    for (const RECT& m : monitors)
        std::printf(" %ld,%ld-%ld,%ld", m.left, m.top, m.right, m.bottom);
    std::printf("\n");
    if (player_monitor >= monitors.size()) {
        std::printf("no monitor %zu\n", player_monitor);
        return 1;
    }

    HWND program = nullptr;
    for (int i = 0; i < 200 && !program; ++i, Sleep(50))
        program = FindWindowA(dvbk::MAIN_WINDOW_CLASS, nullptr);
    if (!program) {
        std::printf("the program's window is not there\n");
        return 1;
    }
    if (argc == 8 && std::string(argv[7]) == "maximised")
        ShowWindow(program, SW_MAXIMIZE);
    HWND player = show_player(monitors[player_monitor]);
    pump();
    // Started the way the button starts it, without a click that would make the program active.
    PostMessageA(program, WM_COMMAND, IDC_PLAY_BUTTON, 0);
    UINT query = RegisterWindowMessageA(dvbk::POSITION_QUERY_MESSAGE);
    for (int i = 0; i < 100 && program_position(program, query) <= 0.0; ++i)
        Sleep(20);
    double offset = clock_offset(program, query);

    double last_end = offset + first + (count - 1) * period + length;
    std::vector<Sample> samples;
    samples.reserve(static_cast<size_t>((last_end - now_seconds() + 1.0) * 1200.0));
    timeBeginPeriod(1);
    bool was_hidden = false;
    while (now_seconds() < last_end + 0.1) {
        bool target_hidden = true, other_hidden = false;
        for (size_t i = 0; i < monitors.size(); ++i) {
            bool must_hide = all || i == player_monitor;
            bool hidden = hidden_by(program, monitors[i]);
            if (must_hide)
                target_hidden = target_hidden && hidden;
            else
                other_hidden = other_hidden || hidden;
        }
        samples.push_back({now_seconds(), target_hidden, other_hidden});
        // The player has the foreground again once the cover steps back, as it would when the
        // viewer's eyes (and hands) are on it.
        if (was_hidden && !target_hidden)
            SetForegroundWindow(player);
        was_hidden = target_hidden;
        pump();
        Sleep(1);
    }
    timeEndPeriod(1);

    // Each range is judged from when it was due until a little before it ends (the clocks of the
    // two processes are matched to within a few milliseconds, not exactly).
    const double margin = 0.03;
    int flashes = 0, never_held = 0, wrong_monitor = 0;
    std::vector<double> lateness;
    for (int k = 0; k < count; ++k) {
        double due = offset + first + k * period, end = due + length - margin;
        double first_seen = -1.0, held_from = -1.0;
        bool lost = false, elsewhere = false;
        for (const Sample& sample : samples) {
            if (sample.at < due - 0.05 || sample.at > end)
                continue;
            elsewhere = elsewhere || (sample.target_hidden && sample.other_hidden);
            if (sample.target_hidden) {
                if (first_seen < 0.0)
                    first_seen = sample.at;
                if (held_from < 0.0)
                    held_from = sample.at;
            } else {
                if (first_seen >= 0.0)
                    lost = true;
                held_from = -1.0;
            }
        }
        flashes += lost;
        wrong_monitor += elsewhere;
        if (held_from < 0.0) {
            ++never_held;
            std::printf("start %d: never held\n", k);
            continue;
        }
        lateness.push_back((held_from - due) * 1000.0);
        std::printf("start %d: first seen %+.1f ms, held from %+.1f ms%s%s\n", k, (first_seen - due) * 1000.0,
                    (held_from - due) * 1000.0, lost ? ", LOST AGAIN" : "", elsewhere ? ", OTHER MONITOR HIDDEN" : "");
    }
    std::printf(
        "samples %zu over %.1f s; starts %d, flashes %d, never held %d, other monitor hidden %d; lateness until "
        "held p50 %.1f ms, p95 %.1f ms, max %.1f ms\n",
        samples.size(), samples.empty() ? 0.0 : samples.back().at - samples.front().at, count, flashes, never_held,
        wrong_monitor, percentile(lateness, 0.5), percentile(lateness, 0.95), percentile(lateness, 1.0));
    DestroyWindow(player);
    return flashes == 0 && never_held == 0 && wrong_monitor == 0 ? 0 : 1;
}
