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
// events the program carried out (one debug line each) against what its own rules require.
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

#include "resources/resource_ids.h"
#include "script/film_time.h"
#include "script/filter_script.h"
#include "settings/mute_marker_win.h"

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
    std::string marker_path;
};

Program program;

double position() {
    DWORD_PTR ms = 0;
    if (!SendMessageTimeoutA(program.window, program.position_query, 0, 0, SMTO_ABORTIFHUNG, 5000, &ms))
        return -1.0;
    return static_cast<double>(static_cast<LONG_PTR>(ms)) / 1000.0;
}

void post_command(int id) {
    HWND control = GetDlgItem(program.window, id);
    PostMessageA(program.window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

bool covered() {
    bool topmost = (GetWindowLongA(program.window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    return topmost && IsZoomed(program.window);
}

// Neither maximised nor topmost: anything between is neither covered nor uncovered.
bool uncovered() {
    bool topmost = (GetWindowLongA(program.window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    return !topmost && !IsZoomed(program.window);
}

bool muted() {
    return GetFileAttributesA(program.marker_path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A dialog of the program with this caption, waiting up to five seconds for it.
HWND find_dialog(const char* caption) {
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

Sample sample(double at) {
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

struct Checkpoint {
    size_t segment;
    double position;
    bool covered;
    bool uncovered;
    bool muted;
    // The furthest the clock can have been in this segment: at least `reach_low`, at most
    // `reach_high` (a nudge back is taken at a moment between two readings).
    double reach_low;
    double reach_high;
};

struct Segment {
    double set_to = 0.0;  // the Set Time that began it (the first begins at 0)
    double reach_low = 0.0;
    double reach_high = 0.0;
    // Film time jumped over by forward nudges: events there are late by design.
    std::vector<std::pair<double, double>> jumps;
};

struct Run {
    std::vector<FilterEvent> events;
    std::vector<std::pair<double, double>> mute_ranges;
    std::vector<std::pair<double, double>> cover_ranges;
    // Every time as the script writes it: what a user types into Set Time to go to a range.
    std::vector<std::string> script_times;
    int exact_set_times = 0;
    std::vector<Checkpoint> checkpoints;
    std::vector<Segment> segments{1};
    bool started = false;
    bool running = false;
    int actions[8] = {};
    int problems = 0;
};

Run run;

void problem(const char* what) {
    ++run.problems;
    std::printf("soak: %s\n", what);
}

void mark(const char* kind, size_t index) {
    char line[64];
    std::snprintf(line, sizeof line, "soak: %s %llu", kind, static_cast<unsigned long long>(index));
    OutputDebugStringA(line);
}

void reach(double low, double high) {
    Segment& segment = run.segments.back();
    segment.reach_low = std::max(segment.reach_low, low);
    segment.reach_high = std::max(segment.reach_high, high);
}

// Paused and settled: where things stand, marked in the file.
void checkpoint() {
    Sleep(300);
    double first = position();
    Sleep(40);
    double at = position();
    if (first != at || at < 0.0)
        problem("the clock moves or does not answer after a pause");
    reach(at, at);
    const Segment& segment = run.segments.back();
    run.checkpoints.push_back(
        {run.segments.size() - 1, at, covered(), uncovered(), muted(), segment.reach_low, segment.reach_high});
    mark("checkpoint", run.checkpoints.size() - 1);
}

void play_or_pause(std::mt19937& random) {
    // The button, or the menu item that is enabled (Play is not, before the first start).
    bool button = random() % 2 != 0 || !run.started;
    post_command(button ? IDC_PLAY_BUTTON : run.running ? IDM_PAUSE : IDM_PLAY);
    run.started = true;
    run.running = !run.running;
    ++run.actions[run.running ? 0 : 1];
    if (!run.running)
        checkpoint();
}

// Set Time and Settings are on the menu only while the clock stands.
void pause_for_menu(std::mt19937& random) {
    if (run.running)
        play_or_pause(random);
    else
        checkpoint();
}

void maybe_play_on(std::mt19937& random) {
    if (random() % 4 != 0)
        play_or_pause(random);
}

void nudge(std::mt19937& random) {
    const int ids[] = {IDC_BACK_2S, IDC_BACK_02S, IDC_FORWARD_02S, IDC_FORWARD_2S};
    const double steps[] = {-2.0, -0.2, 0.2, 2.0};
    int which = static_cast<int>(random() % 4);
    double before = position();
    post_command(ids[which]);
    // Taken once the window shows the step: a step back shows at once as a lower reading, a step
    // forward as one at least a step further.
    double after = before;
    for (int i = 0; i < 1000; ++i) {
        after = position();
        if (steps[which] < 0.0 ? after < before : after >= before + steps[which] - 0.0005)
            break;
        Sleep(2);
    }
    if (steps[which] < 0.0)
        reach(before, after - steps[which] + 0.001);
    else
        run.segments.back().jumps.push_back({before - 0.001, after + steps[which] + 0.001});
    ++run.actions[2];
}

std::string set_time_text(std::mt19937& random, double span, double& seconds, bool& valid) {
    valid = true;
    int roll = static_cast<int>(random() % 20);
    if (roll < 5) {
        // A time from the script as it is written there, as a user types the start of a range.
        std::string text = run.script_times[random() % run.script_times.size()];
        dvbk::parse_time(text, seconds);
        return text;
    }
    if (roll < 6) {
        valid = false;
        return "soon";
    }
    int ms = static_cast<int>(random() % static_cast<unsigned>(span * 100.0)) * 10;
    std::string text = time_text(ms, static_cast<int>(random() % 3));
    dvbk::parse_time(text, seconds);
    return text;
}

void set_time(std::mt19937& random, double span) {
    pause_for_menu(random);
    post_command(IDM_SET_TIME);
    HWND dialog = find_dialog("Set Time");
    if (!dialog) {
        problem("no Set Time dialog");
        return;
    }
    Sleep(random() % 800);
    double seconds = 0.0;
    bool valid = true;
    std::string text = set_time_text(random, span, seconds, valid);
    SetDlgItemTextA(dialog, IDC_SET_TIME_EDIT, text.c_str());
    bool ok = random() % 4 != 0;
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(ok ? IDOK : IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, ok ? IDOK : IDCANCEL)));
    if (!wait_closed(dialog))
        problem("the Set Time dialog stays open");
    ++run.actions[ok ? 3 : 4];
    if (ok && valid) {
        double wanted = std::llround(seconds * 1000.0) / 1000.0;
        int tries = 0;
        while (position() != wanted && tries++ < 500)
            Sleep(10);
        if (tries > 500)
            problem("Set Time did not move the clock");
        run.segments.push_back({seconds, seconds, seconds, {}});
        mark("settime", run.segments.size() - 1);
        for (const FilterEvent& event : run.events)
            run.exact_set_times += event.time == seconds;
    }
    checkpoint();
    maybe_play_on(random);
}

void settings(std::mt19937& random) {
    pause_for_menu(random);
    post_command(IDM_SETTINGS);
    HWND dialog = find_dialog("Settings");
    if (!dialog) {
        problem("no Settings dialog");
        return;
    }
    Sleep(random() % 800);
    bool ok = random() % 2 != 0;
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(ok ? IDOK : IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, ok ? IDOK : IDCANCEL)));
    if (!wait_closed(dialog))
        problem("the Settings dialog stays open");
    ++run.actions[ok ? 5 : 6];
    checkpoint();
    maybe_play_on(random);
}

// The one dialog the menu offers while the clock runs, held open for up to three seconds.
void about(std::mt19937& random) {
    post_command(IDM_ABOUT);
    HWND dialog = find_dialog("About DunvelBlenk");
    if (!dialog) {
        problem("no About box");
        return;
    }
    Sleep(200 + random() % 2800);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    if (!wait_closed(dialog))
        problem("the About box stays open");
    ++run.actions[7];
}

// Within `margin` of a range of the kind, or inside it.
bool near_range(const std::vector<std::pair<double, double>>& ranges, double at, double margin) {
    return std::any_of(ranges.begin(), ranges.end(),
                       [&](const auto& range) { return at >= range.first - margin && at <= range.second + margin; });
}

bool near_a_range(double at) {
    return near_range(run.mute_ranges, at, 0.05) || near_range(run.cover_ranges, at, 0.05);
}

// The last act: plays on for five seconds of film with nobody touching anything, then pauses in
// a gap between ranges (or past the last one) and looks.
void finish(std::mt19937& random) {
    if (!run.running)
        play_or_pause(random);
    double from = position();
    double at = from;
    for (int i = 0; i < 6000 && (at < from + 5.0 || near_a_range(at)); ++i) {
        Sleep(5);
        at = position();
    }
    play_or_pause(random);
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
    std::mt19937 random(static_cast<unsigned>(std::strtoul(argv[5], nullptr, 10)));

    dvbk::FilterScript script;
    if (!dvbk::load_filter_script(argv[2], script)) {
        std::fprintf(stderr, "soak: %s\n", script.load_error.c_str());
        return 1;
    }
    run.events = script.events;
    double span = run.events.back().time;
    double mute_from = 0.0;
    double cover_from = 0.0;
    for (const FilterEvent& event : run.events) {
        if (event.kind == EventKind::MuteStart || event.kind == EventKind::BothStart)
            mute_from = event.time;
        if (event.kind == EventKind::CoverStart || event.kind == EventKind::BothStart)
            cover_from = event.time;
        if (event.kind == EventKind::MuteEnd)
            run.mute_ranges.push_back({mute_from, event.time});
        if (event.kind == EventKind::CoverEnd)
            run.cover_ranges.push_back({cover_from, event.time});
    }
    std::ifstream script_file(argv[2]);
    for (std::string line; std::getline(script_file, line);) {
        size_t first = line.find(", ");
        size_t second = line.find(", ", first + 2);
        if (first == std::string::npos || second == std::string::npos || line.rfind("End", 0) == 0)
            continue;
        run.script_times.push_back(line.substr(first + 2, second - first - 2));
        run.script_times.push_back(line.substr(second + 2, line.find_first_of("\r,", second + 2) - second - 2));
    }

    for (int i = 0; i < 2000 && !program.window; ++i) {
        program.window = FindWindowA("BLENK", nullptr);
        Sleep(10);
    }
    GetWindowThreadProcessId(program.window, &program.pid);
    program.process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, program.pid);
    program.position_query = RegisterWindowMessageA("DunvelBlenk.Position");
    program.marker_path = dvbk::mute_marker_path();
    if (!program.window || !program.process) {
        std::fprintf(stderr, "soak: the program's window is not there\n");
        return 1;
    }
    if (!gdi_count_works())
        std::printf("soak: the GDI table count does not see our own brushes; GDI figures below are unreliable\n");
    SetLastError(0);
    DWORD gui = GetGuiResources(program.process, GR_GDIOBJECTS);
    std::printf("GetGuiResources: %lu (error %lu); GetProcessHandleCount: ", gui, GetLastError());
    DWORD handle_count = 0;
    BOOL counted = GetProcessHandleCount(program.process, &handle_count);
    std::printf("%lu (%s)\n", handle_count, counted ? "succeeded" : "failed");

    std::vector<Sample> samples{sample(0.0)};
    ULONGLONG start = GetTickCount64();
    auto elapsed = [&] { return static_cast<double>(GetTickCount64() - start) / 1000.0; };
    while (elapsed() < seconds) {
        // Mostly short waits, now and then a long one.
        std::exponential_distribution<double> wait(1.0 / 1.2);
        double pause = std::min(wait(random), 6.0);
        double until = elapsed() + pause;
        while (elapsed() < until) {
            double next_sample = seconds * static_cast<double>(samples.size()) / 10.0;
            if (samples.size() <= 10 && elapsed() >= next_sample)
                samples.push_back(sample(next_sample));
            Sleep(5);
        }
        int roll = static_cast<int>(random() % 100);
        if (roll < 30)
            play_or_pause(random);
        else if (roll < 70)
            nudge(random);
        else if (roll < 83)
            set_time(random, span);
        else if (roll < 95)
            settings(random);
        else
            about(random);
    }
    while (samples.size() <= 10)
        samples.push_back(sample(seconds * static_cast<double>(samples.size()) / 10.0));
    finish(random);
    Checkpoint last = run.checkpoints.back();

    post_command(IDM_EXIT);
    bool closed = WaitForSingleObject(program.process, 10000) == WAIT_OBJECT_0;
    bool muted_after_exit = muted();
    Sleep(200);

    // -----------------------------------------------------------------------------------------
    // The check. Between two Set Times (a segment) the program carries out, in list order and once
    // each, the events from the first one after the set time up to the furthest the clock has
    // been; a Set Time that moves the cursor ends mute and cover first. At a checkpoint the window
    // and the mute marker must show what those events leave.
    std::ifstream log(log_path, std::ios::binary);
    std::string line;
    const std::vector<FilterEvent>& events = run.events;
    auto count_before = [&](double t, bool or_at) {
        size_t n = 0;
        while (n < events.size() && (events[n].time < t || (or_at && events[n].time == t)))
            ++n;
        return n;
    };
    size_t segment = 0;
    size_t segment_first = 0;
    size_t next = 0;
    bool model_covered = false;
    bool model_muted = false;
    long expected = 0, ambiguous = 0, carried = 0, lost = 0, twice = 0, skipped_but_done = 0, early = 0, wrong_time = 0,
         state_wrong = 0, checks = 0, judged = 0, outside_but_on = 0, outside_on_by_nudge = 0, late = 0;
    std::vector<double> lateness;
    size_t last_required = 0, last_allowed = 0;
    auto close_segment = [&] {
        if (next < last_required)
            lost += static_cast<long>(last_required - next);
        expected += static_cast<long>(last_required > segment_first ? last_required - segment_first : 0);
        ambiguous += static_cast<long>(last_allowed - last_required);
    };
    while (std::getline(log, line)) {
        unsigned long long index = 0;
        double time = 0.0;
        double clock = 0.0;
        const char* event_line = std::strstr(line.c_str(), "\"DunvelBlenk: event ");
        const char* mark_line = std::strstr(line.c_str(), "\"soak: ");
        if (event_line &&
            std::sscanf(event_line, "\"DunvelBlenk: event %llu at %lf s, clock %lf s", &index, &time, &clock) == 3) {
            ++carried;
            if (index >= events.size() || std::fabs(events[index].time - time) > 0.0006) {
                ++wrong_time;
                continue;
            }
            if (index != next && lost + twice + skipped_but_done < 10)
                std::printf("soak: event %llu (%.3f s, clock %.3f s) where %llu was next, after Set Time to %.3f s\n",
                            index, time, clock, static_cast<unsigned long long>(next), run.segments[segment].set_to);
            if (index == next)
                ++next;
            else if (index > next)
                lost += static_cast<long>(index - next), next = index + 1;
            else if (index >= segment_first)
                ++twice;
            else
                ++skipped_but_done;
            if (!(clock > time - 0.0005))
                ++early;
            bool jumped = false;
            for (auto [from, to] : run.segments[segment].jumps)
                jumped = jumped || (time >= from && time <= to);
            if (!jumped)
                lateness.push_back((clock - time) * 1000.0);
            // Half a second is five beats of the wake timer: more is no longer a matter of timers.
            late += !jumped && clock - time > 0.5;
            EventKind kind = events[index].kind;
            if (kind == EventKind::CoverStart || kind == EventKind::BothStart)
                model_covered = true;
            if (kind == EventKind::MuteStart || kind == EventKind::BothStart)
                model_muted = true;
            if (kind == EventKind::CoverEnd)
                model_covered = false;
            if (kind == EventKind::MuteEnd)
                model_muted = false;
        } else if (mark_line && std::sscanf(mark_line, "\"soak: settime %llu", &index) == 1) {
            close_segment();
            segment = index;
            size_t first = count_before(run.segments[segment].set_to, true);
            if (first != next)
                model_covered = model_muted = false;
            segment_first = next = first;
            last_required = last_allowed = first;
        } else if (mark_line && std::sscanf(mark_line, "\"soak: checkpoint %llu", &index) == 1) {
            const Checkpoint& c = run.checkpoints[index];
            last_required = std::max(segment_first, count_before(c.reach_low - 0.0015, false));
            last_allowed = std::max(segment_first, count_before(c.reach_high + 0.0015, false));
            ++checks;
            // Judged where the events are settled: not while one that may or may not be due is
            // left (within a millisecond and a half of the clock).
            if (next < last_required || next > last_allowed || last_required != last_allowed)
                continue;
            ++judged;
            bool cover_ok = model_covered ? c.covered : c.uncovered;
            bool mute_ok = model_muted == c.muted;
            if (!cover_ok || !mute_ok)
                ++state_wrong;
            bool covered_outside = c.covered && !near_range(run.cover_ranges, c.position, 0.0015);
            bool muted_outside = c.muted && !near_range(run.mute_ranges, c.position, 0.0015);
            if (covered_outside || muted_outside)
                ++(cover_ok && mute_ok ? outside_on_by_nudge : outside_but_on);
        }
    }
    close_segment();

    std::sort(lateness.begin(), lateness.end());
    auto percentile = [&](double p) {
        return lateness.empty() ? 0.0 : lateness[static_cast<size_t>(p * static_cast<double>(lateness.size() - 1))];
    };
    std::printf("soak: %.0f s, seed %s, %zu events from %d ranges\n", seconds, argv[5], events.size(), RANGES);
    std::printf(
        "actions: %d plays, %d pauses, %d nudges, Set Time %d OK / %d Cancel, Settings %d OK / %d Cancel, About %d\n",
        run.actions[0], run.actions[1], run.actions[2], run.actions[3], run.actions[4], run.actions[5], run.actions[6],
        run.actions[7]);
    std::printf(
        "events: %ld expected, %ld carried out, %ld lost, %ld twice, %ld skipped by Set Time yet carried out, "
        "%ld early, %ld not in the script; %ld within 1.5 ms of a pause (either way right)\n",
        expected, carried, lost, twice, skipped_but_done, early, wrong_time, ambiguous);
    std::printf("Set Time to exactly an event's time: %d\n", run.exact_set_times);
    std::printf("lateness of events not jumped over (%zu): p50 %.1f ms, p99 %.1f ms, max %.1f ms; %ld over 0.5 s\n",
                lateness.size(), percentile(0.5), percentile(0.99), percentile(1.0), late);
    std::printf(
        "checkpoints: %ld, judged %ld (the rest within 1.5 ms of an event), state unlike the rules %ld, "
        "muted or covered outside a range %ld (%ld more where the rules say so, after a nudge back out of a "
        "range)\n",
        checks, judged, state_wrong, outside_but_on, outside_on_by_nudge);
    std::printf("end: clock %.3f, %s a range, covered %s, muted %s; closed %s, muted after %s\n", last.position,
                near_a_range(last.position) ? "in or near" : "outside", last.covered ? "yes" : "no",
                last.muted ? "yes" : "no", closed ? "yes" : "no", muted_after_exit ? "yes" : "no");
    std::printf(
        "   at s  GDI (DC region bitmap font brush/pen)  windows  kernel handles  private MB  working set MB  "
        "PrivateUsage MB\n");
    for (const Sample& s : samples)
        std::printf("%7.0f  %4d (%3d %5d %5d %4d %5d)          %7d  %14d  %10.2f  %14.2f  %15.2f\n", s.at, s.gdi.total,
                    s.gdi.dc, s.gdi.region, s.gdi.bitmap, s.gdi.font, s.gdi.brush_or_pen, s.windows, s.handles,
                    s.private_mb, s.working_set_mb, s.private_usage_mb);
    bool clean = lost == 0 && twice == 0 && skipped_but_done == 0 && early == 0 && wrong_time == 0 && late == 0 &&
                 state_wrong == 0 && outside_but_on == 0 && !last.covered && !last.muted && closed &&
                 !muted_after_exit && run.problems == 0;
    std::printf("soak: %s\n", clean ? "clean" : "FAULTS");
    return clean ? 0 : 1;
}
