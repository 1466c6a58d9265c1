// A soak of the real program. scripts/bench starts DunvelBlenk.exe with a script this program wrote
// (1,000 ranges of every kind, some 0.2 s apart, some back to back) and with its debug output and
// ours going, in the order written, to one file. For the time asked, this program then drives it as
// a user would, at seeded random moments: play and pause (button and menu), the four nudges, Set
// Time (typed time, OK or Cancel; the menu item is there only while paused, so it pauses first) and
// Settings (OK or Cancel). Every time it has paused it notes where the clock stands, whether the
// window covers the screen (maximised and topmost) and whether the sound is muted (the program's
// mute marker file exists), and marks the moment in the shared file. At each tenth of the run it
// counts the program's GDI objects, windows and kernel handles and reads its memory. At the end it
// plays on into a gap between ranges, pauses, checks, closes the program, and reads the file: the
// events the program carried out (one debug line each) against what its own rules require
// (soak_check.cpp).
//
//   soak_driver script PATH SEED                 writes the script
//   soak_driver run SCRIPT LOG SECONDS SEED      drives the running program, then checks LOG
#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "percentile.h"
#include "resources/resource_ids.h"
#include "resources/window_names.h"
#include "script/film_time.h"
#include "script/filter_script.h"
#include "settings/mute_marker_win.h"
#include "soak_check.h"

namespace {

using dvbk::EventKind;
using dvbk::FilterEvent;

constexpr int RANGES = 1000;

// ---------------------------------------------------------------------------------------------
// The script.

std::string time_text(int ms, int notation) {
    char text[32];
    int seconds = ms / 1000;
    int fraction = ms % 1000;
    if (notation == 0)
        std::snprintf(text, sizeof text, "%d:%02d:%02d.%03d", seconds / 3600, seconds / 60 % 60, seconds % 60,
                      fraction);
    else if (notation == 1)
        std::snprintf(text, sizeof text, "%d:%02d.%03d", seconds / 60, seconds % 60, fraction);
    else
        std::snprintf(text, sizeof text, "%d.%03d", seconds, fraction);
    return text;
}

int write_script(const char* path, unsigned seed) {
    std::mt19937 random(seed);
    auto below = [&](unsigned n) { return static_cast<int>(random() % n); };
    std::ofstream out(path, std::ios::binary);
    const char* commands[] = {"Dunvel", "Blenk", "DunvelBlenk"};
    int at = 1000;
    for (int i = 0; i < RANGES; ++i) {
        int roll = below(10);
        int kind = roll < 4 ? 0 : roll < 8 ? 1 : 2;
        int length = 100 + 10 * below(50);
        out << commands[kind] << ", " << time_text(at, below(3)) << ", " << time_text(at + length, below(3)) << "\r\n";
        at += length;
        int gap = below(20);
        at += gap < 3 ? 0 : gap < 7 ? 200 : 50 + 10 * below(55);
    }
    out << "End, " << time_text(at + 5000, 0) << "\r\n";
    return out ? 0 : 1;
}

// ---------------------------------------------------------------------------------------------
// The running program.

struct Program {
    HWND window = nullptr;
    DWORD pid = 0;
    HANDLE process = nullptr;
    UINT position_query = 0;
    UINT action_query = 0;
    std::string marker_path;
};

// The program's window, found within twenty seconds of its start.
bool attach(Program& program) {
    for (int i = 0; i < 2000 && !program.window; ++i) {
        program.window = FindWindowA(dvbk::MAIN_WINDOW_CLASS, nullptr);
        Sleep(10);
    }
    GetWindowThreadProcessId(program.window, &program.pid);
    program.process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, program.pid);
    program.position_query = RegisterWindowMessageA(dvbk::POSITION_QUERY_MESSAGE);
    program.action_query = RegisterWindowMessageA(dvbk::ACTION_QUERY_MESSAGE);
    program.marker_path = dvbk::mute_marker_path();
    return program.window && program.process;
}

double position(const Program& program) {
    DWORD_PTR ms = 0;
    if (!SendMessageTimeoutA(program.window, program.position_query, 0, 0, SMTO_ABORTIFHUNG, 5000, &ms))
        return -1.0;
    return static_cast<double>(static_cast<LONG_PTR>(ms)) / 1000.0;
}

void post_command(const Program& program, int id) {
    HWND control = GetDlgItem(program.window, id);
    PostMessageA(program.window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

bool topmost(const Program& program) {
    return (GetWindowLongA(program.window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

bool covered(const Program& program) {
    return topmost(program) && IsZoomed(program.window);
}

bool uncovered(const Program& program) {
    return !topmost(program) && !IsZoomed(program.window);
}

// Wine keeps an endpoint's mute within the process that set it, so the program is asked. (The mute
// marker is no sign: it is written ahead of a mute.)
bool muted(const Program& program) {
    DWORD_PTR action = 0;
    return SendMessageTimeoutA(program.window, program.action_query, 0, 0, SMTO_ABORTIFHUNG, 5000, &action) &&
           (action & 2) != 0;
}

// A run that ended cleanly leaves no note of a mute behind for the next to undo.
bool marker_left(const Program& program) {
    return GetFileAttributesA(program.marker_path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A dialog of the program with this caption, waiting up to five seconds for it.
HWND find_dialog(const Program& program, const char* caption) {
    for (int i = 0; i < 500; ++i) {
        HWND dialog = nullptr;
        while ((dialog = FindWindowExA(nullptr, dialog, "#32770", caption)) != nullptr) {
            DWORD pid = 0;
            GetWindowThreadProcessId(dialog, &pid);
            if (pid == program.pid && IsWindowVisible(dialog))
                return dialog;
        }
        Sleep(10);
    }
    return nullptr;
}

bool wait_closed(HWND dialog) {
    for (int i = 0; i < 500 && IsWindow(dialog); ++i)
        Sleep(10);
    return !IsWindow(dialog);
}

// Presses a dialog's button as a click would.
void press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// ---------------------------------------------------------------------------------------------
// What Wine lets another process count. GetGuiResources is a stub there (0, ERROR_CALL_NOT_IMPLEMENTED)
// and GetProcessHandleCount answers 0, so: GDI objects from the process's own GDI handle table,
// which Wine keeps in the process (PEB GdiSharedHandleTable, 65,536 entries; type 0 is free);
// windows by enumeration (top-level, their children, message-only); kernel handles from
// NtQuerySystemInformation's handle list.

struct GdiEntry {
    UINT64 object;
    ULONG owner;
    USHORT unique;
    UCHAR type;
    UCHAR flags;
    UINT64 user;
};
static_assert(sizeof(GdiEntry) == 24);
constexpr size_t GDI_ENTRIES = 0x10000;
constexpr size_t PEB_GDI_TABLE = 0xf8;

// Wine's kinds of GDI object, by the entry's type: DC 1, region 4, bitmap 5, palette 8, colour
// space 9, font 10, brush and pen 16.
struct GdiCount {
    int total = -1;
    int dc = 0, region = 0, bitmap = 0, font = 0, brush_or_pen = 0;
};

GdiCount gdi_objects(HANDLE process) {
    GdiCount count;
    PROCESS_BASIC_INFORMATION basic{};
    ULONG length = 0;
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, &length) != 0)
        return count;
    UINT64 table = 0;
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<char*>(basic.PebBaseAddress) + PEB_GDI_TABLE, &table, sizeof table,
                           &read) ||
        !table)
        return count;
    static std::vector<GdiEntry> entries(GDI_ENTRIES);
    if (!ReadProcessMemory(process, reinterpret_cast<void*>(table), entries.data(), GDI_ENTRIES * sizeof(GdiEntry),
                           &read))
        return count;
    count.total = 0;
    for (const GdiEntry& entry : entries) {
        count.total += entry.type != 0;
        count.dc += entry.type == 1;
        count.region += entry.type == 4;
        count.bitmap += entry.type == 5;
        count.font += entry.type == 10;
        count.brush_or_pen += entry.type == 16;
    }
    return count;
}

struct WindowCount {
    DWORD pid;
    int count;
};

BOOL CALLBACK count_child(HWND, LPARAM data) {
    ++reinterpret_cast<WindowCount*>(data)->count;
    return TRUE;
}

BOOL CALLBACK count_window(HWND window, LPARAM data) {
    auto* windows = reinterpret_cast<WindowCount*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == windows->pid) {
        ++windows->count;
        EnumChildWindows(window, count_child, data);
    }
    return TRUE;
}

int windows_of(DWORD pid) {
    WindowCount windows{pid, 0};
    EnumWindows(count_window, reinterpret_cast<LPARAM>(&windows));
    HWND message_window = nullptr;
    while ((message_window = FindWindowExA(HWND_MESSAGE, message_window, nullptr, nullptr)) != nullptr)
        count_window(message_window, reinterpret_cast<LPARAM>(&windows));
    return windows.count;
}

struct SystemHandle {
    USHORT pid;
    USHORT creator;
    UCHAR type;
    UCHAR attributes;
    USHORT value;
    PVOID object;
    ULONG access;
};
constexpr auto SYSTEM_HANDLE_INFORMATION = static_cast<SYSTEM_INFORMATION_CLASS>(16);

int kernel_handles(DWORD pid) {
    static std::vector<char> buffer(1 << 20);
    ULONG length = 0;
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(SYSTEM_HANDLE_INFORMATION, buffer.data(),
                                              static_cast<ULONG>(buffer.size()), &length)) ==
           static_cast<NTSTATUS>(0xC0000004L))
        buffer.resize(buffer.size() * 2);
    if (status != 0)
        return -1;
    ULONG count = *reinterpret_cast<ULONG*>(buffer.data());
    const auto* handles = reinterpret_cast<const SystemHandle*>(buffer.data() + sizeof(ULONG_PTR));
    return static_cast<int>(
        std::count_if(handles, handles + count, [&](const SystemHandle& h) { return h.pid == pid; }));
}

// The GDI count reads what it should: ten brushes of our own show as ten more.
bool gdi_count_works() {
    int before = gdi_objects(GetCurrentProcess()).total;
    HBRUSH brushes[10];
    for (HBRUSH& brush : brushes)
        brush = CreateSolidBrush(RGB(1, 2, 3));
    int during = gdi_objects(GetCurrentProcess()).total;
    for (HBRUSH brush : brushes)
        DeleteObject(brush);
    return before >= 0 && during == before + 10 && gdi_objects(GetCurrentProcess()).total == before;
}

struct Sample {
    double at;
    GdiCount gdi;
    int windows;
    int handles;
    double private_mb;
    double working_set_mb;
    double private_usage_mb;
};

Sample sample(const Program& program, double at) {
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(program.process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    return {at,
            gdi_objects(program.process),
            windows_of(program.pid),
            kernel_handles(program.pid),
            static_cast<double>(memory.PagefileUsage) / 1048576.0,
            static_cast<double>(memory.WorkingSetSize) / 1048576.0,
            static_cast<double>(memory.PrivateUsage) / 1048576.0};
}

// ---------------------------------------------------------------------------------------------
// The run. Marks in the shared file tie the driver's notes to the program's lines around them.

enum Action { PLAY, PAUSE, NUDGE, SET_TIME_OK, SET_TIME_CANCEL, SETTINGS_OK, SETTINGS_CANCEL, ABOUT, ACTIONS };

// One soak: the program driven, its script, and what the driver did and saw.
struct Soak {
    explicit Soak(unsigned seed) : random(seed) {}

    Program program;
    std::mt19937 random;
    std::vector<FilterEvent> events;
    // Every time as the script writes it: what a user types into Set Time to go to a range.
    std::vector<std::string> script_times;
    int exact_set_times = 0;
    std::vector<soak_log::Checkpoint> checkpoints;
    std::vector<soak_log::Segment> segments{1};
    bool started = false;
    bool running = false;
    int actions[ACTIONS] = {};
    int problems = 0;

    double position() const { return ::position(program); }
    bool chance(unsigned in) { return random() % in == 0; }
};

// The script's events, and its times as written there.
bool read_script(Soak& soak, const char* path) {
    dvbk::FilterScript script;
    if (!dvbk::load_filter_script(path, script)) {
        std::fprintf(stderr, "soak: %s\n", script.load_error.c_str());
        return false;
    }
    soak.events = script.events;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        size_t first = line.find(", ");
        size_t second = line.find(", ", first + 2);
        if (first == std::string::npos || second == std::string::npos || !dvbk::read_script_line_as_loaded(line).kind)
            continue;
        soak.script_times.push_back(line.substr(first + 2, second - first - 2));
        soak.script_times.push_back(line.substr(second + 2, line.find_first_of("\r,", second + 2) - second - 2));
    }
    return true;
}

void problem(Soak& soak, const char* what) {
    ++soak.problems;
    std::printf("soak: %s\n", what);
}

void mark(const char* kind, size_t index) {
    char line[64];
    std::snprintf(line, sizeof line, "soak: %s %llu", kind, static_cast<unsigned long long>(index));
    OutputDebugStringA(line);
}

void reach(Soak& soak, double low, double high) {
    soak_log::Segment& segment = soak.segments.back();
    segment.reach_low = std::max(segment.reach_low, low);
    segment.reach_high = std::max(segment.reach_high, high);
}

// Paused and settled: where things stand, marked in the file.
void checkpoint(Soak& soak) {
    Sleep(300);
    double first = soak.position();
    Sleep(40);
    double at = soak.position();
    if (first != at || at < 0.0)
        problem(soak, "the clock moves or does not answer after a pause");
    reach(soak, at, at);
    const soak_log::Segment& segment = soak.segments.back();
    const Program& program = soak.program;
    soak.checkpoints.push_back({soak.segments.size() - 1, at, covered(program), uncovered(program), muted(program),
                                segment.reach_low, segment.reach_high});
    mark("checkpoint", soak.checkpoints.size() - 1);
}

void play_or_pause(Soak& soak) {
    // The button, or the menu item that is enabled (Play is not, before the first start).
    bool button = !soak.chance(2) || !soak.started;
    post_command(soak.program, button ? IDC_PLAY_BUTTON : soak.running ? IDM_PAUSE : IDM_PLAY);
    soak.started = true;
    soak.running = !soak.running;
    ++soak.actions[soak.running ? PLAY : PAUSE];
    if (!soak.running)
        checkpoint(soak);
}

// Set Time and Settings are on the menu only while the clock stands.
void pause_for_menu(Soak& soak) {
    if (soak.running)
        play_or_pause(soak);
    else
        checkpoint(soak);
}

void maybe_play_on(Soak& soak) {
    if (!soak.chance(4))
        play_or_pause(soak);
}

void nudge(Soak& soak) {
    const int ids[] = {IDC_BACK_2S, IDC_BACK_02S, IDC_FORWARD_02S, IDC_FORWARD_2S};
    const double steps[] = {-2.0, -0.2, 0.2, 2.0};
    int which = static_cast<int>(soak.random() % 4);
    double before = soak.position();
    post_command(soak.program, ids[which]);
    // Taken once the window shows the step: a step back shows at once as a lower reading, a step
    // forward as one at least a step further.
    double after = before;
    for (int i = 0; i < 1000; ++i) {
        after = soak.position();
        if (steps[which] < 0.0 ? after < before : after >= before + steps[which] - 0.0005)
            break;
        Sleep(2);
    }
    if (steps[which] < 0.0)
        reach(soak, before, after - steps[which] + 0.001);
    else
        soak.segments.back().jumps.push_back({before - 0.001, after + steps[which] + 0.001});
    ++soak.actions[NUDGE];
}

std::string set_time_text(Soak& soak, double span, double& seconds, bool& valid) {
    valid = true;
    int roll = static_cast<int>(soak.random() % 20);
    if (roll < 5) {
        // A time from the script as it is written there, as a user types the start of a range.
        std::string text = soak.script_times[soak.random() % soak.script_times.size()];
        dvbk::read_time(text, seconds);
        return text;
    }
    if (roll < 6) {
        valid = false;
        return "soon";
    }
    int ms = static_cast<int>(soak.random() % static_cast<unsigned>(span * 100.0)) * 10;
    std::string text = time_text(ms, static_cast<int>(soak.random() % 3));
    dvbk::read_time(text, seconds);
    return text;
}

void set_time(Soak& soak, double span) {
    pause_for_menu(soak);
    post_command(soak.program, IDM_SET_TIME);
    HWND dialog = find_dialog(soak.program, "Set Time");
    if (!dialog) {
        problem(soak, "no Set Time dialog");
        return;
    }
    Sleep(soak.random() % 800);
    double seconds = 0.0;
    bool valid = true;
    std::string text = set_time_text(soak, span, seconds, valid);
    SetDlgItemTextA(dialog, IDC_SET_TIME_EDIT, text.c_str());
    bool ok = !soak.chance(4);
    press(dialog, ok ? IDOK : IDCANCEL);
    if (!wait_closed(dialog))
        problem(soak, "the Set Time dialog stays open");
    ++soak.actions[ok ? SET_TIME_OK : SET_TIME_CANCEL];
    if (ok && valid) {
        double wanted = std::llround(seconds * 1000.0) / 1000.0;
        int tries = 0;
        while (soak.position() != wanted && tries++ < 500)
            Sleep(10);
        if (tries > 500)
            problem(soak, "Set Time did not move the clock");
        soak.segments.push_back({seconds, seconds, seconds, {}});
        mark("settime", soak.segments.size() - 1);
        for (const FilterEvent& event : soak.events)
            soak.exact_set_times += event.time == seconds;
    }
    checkpoint(soak);
    maybe_play_on(soak);
}

void settings(Soak& soak) {
    pause_for_menu(soak);
    post_command(soak.program, IDM_SETTINGS);
    HWND dialog = find_dialog(soak.program, "Settings");
    if (!dialog) {
        problem(soak, "no Settings dialog");
        return;
    }
    Sleep(soak.random() % 800);
    bool ok = !soak.chance(2);
    press(dialog, ok ? IDOK : IDCANCEL);
    if (!wait_closed(dialog))
        problem(soak, "the Settings dialog stays open");
    ++soak.actions[ok ? SETTINGS_OK : SETTINGS_CANCEL];
    checkpoint(soak);
    maybe_play_on(soak);
}

// The one dialog the menu offers while the clock runs, held open for up to three seconds.
void about(Soak& soak) {
    post_command(soak.program, IDM_ABOUT);
    HWND dialog = find_dialog(soak.program, "About DunvelBlenk");
    if (!dialog) {
        problem(soak, "no About box");
        return;
    }
    Sleep(200 + soak.random() % 2800);
    press(dialog, IDOK);
    if (!wait_closed(dialog))
        problem(soak, "the About box stays open");
    ++soak.actions[ABOUT];
}

// Within 50 ms of a range, or inside one.
bool near_a_range(const Soak& soak, double at) {
    dvbk::InForce close_by = soak_log::in_force_near(soak.events, at, 0.05);
    return close_by.covered || close_by.muted;
}

// For `seconds`, at random moments: mostly short waits, now and then a long one. At each tenth of
// the run, a sample of what the program holds.
std::vector<Sample> drive(Soak& soak, double seconds) {
    double span = soak.events.back().time;
    std::vector<Sample> samples{sample(soak.program, 0.0)};
    ULONGLONG start = GetTickCount64();
    auto elapsed = [&] { return static_cast<double>(GetTickCount64() - start) / 1000.0; };
    while (elapsed() < seconds) {
        std::exponential_distribution<double> wait(1.0 / 1.2);
        double until = elapsed() + std::min(wait(soak.random), 6.0);
        while (elapsed() < until) {
            double next_sample = seconds * static_cast<double>(samples.size()) / 10.0;
            if (samples.size() <= 10 && elapsed() >= next_sample)
                samples.push_back(sample(soak.program, next_sample));
            Sleep(5);
        }
        int roll = static_cast<int>(soak.random() % 100);
        if (roll < 30)
            play_or_pause(soak);
        else if (roll < 70)
            nudge(soak);
        else if (roll < 83)
            set_time(soak, span);
        else if (roll < 95)
            settings(soak);
        else
            about(soak);
    }
    while (samples.size() <= 10)
        samples.push_back(sample(soak.program, seconds * static_cast<double>(samples.size()) / 10.0));
    return samples;
}

// The last act: plays on for five seconds of film with nobody touching anything, then pauses in
// a gap between ranges (or past the last one) and looks.
void finish(Soak& soak) {
    if (!soak.running)
        play_or_pause(soak);
    double from = soak.position();
    double at = from;
    for (int i = 0; i < 6000 && (at < from + 5.0 || near_a_range(soak, at)); ++i) {
        Sleep(5);
        at = soak.position();
    }
    play_or_pause(soak);
}

// What Wine's stubs give, so that the figures below can be read for what they are.
void print_counter_stubs(const Program& program) {
    if (!gdi_count_works())
        std::printf("soak: the GDI table count does not see our own brushes; GDI figures below are unreliable\n");
    SetLastError(0);
    DWORD gui = GetGuiResources(program.process, GR_GDIOBJECTS);
    std::printf("GetGuiResources: %lu (error %lu); GetProcessHandleCount: ", gui, GetLastError());
    DWORD handle_count = 0;
    BOOL counted = GetProcessHandleCount(program.process, &handle_count);
    std::printf("%lu (%s)\n", handle_count, counted ? "succeeded" : "failed");
}

struct Ending {
    soak_log::Checkpoint last;
    bool closed;
    bool marker_after_exit;
};

void print_report(const Soak& soak, const soak_log::Verdict& v, const Ending& end, const std::vector<Sample>& samples,
                  double seconds, const char* seed) {
    const int* a = soak.actions;
    std::printf("soak: %.0f s, seed %s, %zu events from %d ranges\n", seconds, seed, soak.events.size(), RANGES);
    std::printf(
        "actions: %d plays, %d pauses, %d nudges, Set Time %d OK / %d Cancel, Settings %d OK / %d Cancel, About %d\n",
        a[PLAY], a[PAUSE], a[NUDGE], a[SET_TIME_OK], a[SET_TIME_CANCEL], a[SETTINGS_OK], a[SETTINGS_CANCEL], a[ABOUT]);
    std::printf(
        "events: %ld expected, %ld carried out, %ld lost, %ld twice, %ld skipped by Set Time yet carried out, "
        "%ld early, %ld not in the script; %ld within 1.5 ms of a pause (either way right)\n",
        v.expected, v.carried, v.lost, v.twice, v.skipped_but_done, v.early, v.wrong_time, v.ambiguous);
    std::printf("Set Time to exactly an event's time: %d\n", soak.exact_set_times);
    std::printf("lateness of events not jumped over (%zu): p50 %.1f ms, p99 %.1f ms, max %.1f ms; %ld over 0.5 s\n",
                v.lateness_ms.size(), percentile(v.lateness_ms, 0.5), percentile(v.lateness_ms, 0.99),
                percentile(v.lateness_ms, 1.0), v.late);
    std::printf(
        "checkpoints: %ld, judged %ld (the rest within 1.5 ms of an event), state unlike the rules %ld, "
        "muted or covered outside a range %ld (%ld more where the rules say so, after a nudge back out of a "
        "range)\n",
        v.checks, v.judged, v.state_wrong, v.outside_but_on, v.outside_on_by_nudge);
    std::printf("end: clock %.3f, %s a range, covered %s, muted %s; closed %s, mute marker left %s\n",
                end.last.position, near_a_range(soak, end.last.position) ? "in or near" : "outside",
                end.last.covered ? "yes" : "no", end.last.muted ? "yes" : "no", end.closed ? "yes" : "no",
                end.marker_after_exit ? "yes" : "no");
    std::printf(
        "   at s  GDI (DC region bitmap font brush/pen)  windows  kernel handles  private MB  working set MB  "
        "PrivateUsage MB\n");
    for (const Sample& s : samples)
        std::printf("%7.0f  %4d (%3d %5d %5d %4d %5d)          %7d  %14d  %10.2f  %14.2f  %15.2f\n", s.at, s.gdi.total,
                    s.gdi.dc, s.gdi.region, s.gdi.bitmap, s.gdi.font, s.gdi.brush_or_pen, s.windows, s.handles,
                    s.private_mb, s.working_set_mb, s.private_usage_mb);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "script") == 0)
        return write_script(argv[2], static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)));
    if (argc != 6 || std::strcmp(argv[1], "run") != 0) {
        std::fprintf(stderr, "usage: soak_driver script PATH SEED | run SCRIPT LOG SECONDS SEED\n");
        return 2;
    }
    const char* log_path = argv[3];
    double seconds = std::atof(argv[4]);
    Soak soak(static_cast<unsigned>(std::strtoul(argv[5], nullptr, 10)));
    if (!read_script(soak, argv[2]))
        return 1;
    if (!attach(soak.program)) {
        std::fprintf(stderr, "soak: the program's window is not there\n");
        return 1;
    }
    print_counter_stubs(soak.program);

    std::vector<Sample> samples = drive(soak, seconds);
    finish(soak);
    Ending end{soak.checkpoints.back(), false, false};
    post_command(soak.program, IDM_EXIT);
    end.closed = WaitForSingleObject(soak.program.process, 10000) == WAIT_OBJECT_0;
    end.marker_after_exit = marker_left(soak.program);
    Sleep(200);

    std::ifstream log(log_path, std::ios::binary);
    soak_log::Verdict verdict = soak_log::check_log(log, soak.events, soak.segments, soak.checkpoints);
    print_report(soak, verdict, end, samples, seconds, argv[5]);
    bool clean = verdict.clean() && !end.last.covered && !end.last.muted && end.closed && !end.marker_after_exit &&
                 soak.problems == 0;
    std::printf("soak: %s\n", clean ? "clean" : "FAULTS");
    return clean ? 0 : 1;
}
