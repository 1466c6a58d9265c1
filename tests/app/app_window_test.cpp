// The real main window, loop step and dialogs, in-process under Wine with a virtual display, a
// fake audio endpoint, a tick count the test sets and counted input.
// Winsock 2 (for the fake VLC) must come before <windows.h>.
#include "../players/fake_players_win.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../audio/fake_core_audio_win.h"
#include "app/app_main_win.h"
#include "app/app_state_win.h"
#include "app/carry_out_win.h"
#include "app/dialogs_win.h"
#include "app/follow_win.h"
#include "app/hot_keys_win.h"
#include "app/main_window_win.h"
#include "app/recording_win.h"
#include "app/script_file_win.h"
#include "app/script_matching_win.h"
#include "base/file_write_win.h"
#include "cover/rect_win.h"
#include "resources/resource_ids.h"
#include "script/script_edit.h"
#include "script/video_hash.h"
#include "settings/mute_marker_win.h"
#include "settings/settings_store_win.h"
#include "text/whole_file.h"

namespace dvbk {
namespace {

using testing_fakes::fake_audio;
using testing_fakes::speakers_muted;

// The tests that follow a player through its real link, which stamps replies with the system's
// tick count, let the ticks run with the system's, `ticks` ahead of them.
bool ticks_run = false;
double ticks = 0;
double read_ticks() {
    return ticks_run ? system_tick_count() + ticks : ticks;
}
void advance(double seconds) {
    ticks += seconds * 1000.0;
}

// The power throttling the program switched off (ControlMask with StateMask 0), refused as a Windows
// that does not know it may.
std::vector<ULONG> throttling_off;
BOOL WINAPI refuse_process_information(HANDLE, PROCESS_INFORMATION_CLASS kind, LPVOID information, DWORD) {
    auto* state = static_cast<PROCESS_POWER_THROTTLING_STATE*>(information);
    if (kind == ProcessPowerThrottling && state->StateMask == 0)
        throttling_off.push_back(state->ControlMask);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

int inputs_sent = 0;
UINT WINAPI count_input(UINT count, LPINPUT, int) {
    ++inputs_sent;
    return count;
}

// Answers the next modal dialog with the given caption from inside its own message loop.
std::string pending_caption;
std::function<void(HWND)> pending_answer;
void CALLBACK answer_when_shown(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dialog = FindWindowA("#32770", pending_caption.c_str());
    if (!dialog)
        return;
    KillTimer(nullptr, id);
    auto answer = std::move(pending_answer);
    answer(dialog);
}
void answer_next_dialog(const std::string& caption, std::function<void(HWND)> answer) {
    pending_caption = caption;
    pending_answer = std::move(answer);
    SetTimer(nullptr, 0, 20, answer_when_shown);
}
std::function<void(HWND)> type_and_press(int edit, const char* text, int button) {
    return [=](HWND dialog) {
        if (edit)
            SetDlgItemTextA(dialog, edit, text);
        PostMessageA(dialog, WM_COMMAND, static_cast<WPARAM>(button), 0);
    };
}

std::string window_text(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

bool grayed(UINT id) {
    return GetMenuState(app.main_menu, id, MF_BYCOMMAND) & MF_GRAYED;
}

std::string settings_path() {
    char base[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base);
    return std::string(base) + "\\DunvelBlenk\\settings.xml";
}

// What can happen to the script's file while a recording key is pressed.
std::string recorded_path;
const char* const editor_text = "# saved in an editor\r\nBlenk,50,51\r\n";
BOOL WINAPI fail_write(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) {
    return FALSE;
}
BOOL WINAPI save_in_an_editor(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
    std::ofstream(recorded_path, std::ios::binary) << editor_text;
    return WriteFile(file, data, size, written, overlapped);
}
std::streamsize break_off_read(std::istream& in, char*, std::streamsize) {
    in.setstate(std::ios::badbit);
    return 0;
}

class AppWindowTest : public testing::Test {
protected:
    void SetUp() override {
        fake_audio = {};
        ticks = 5000000;
        ticks_run = false;
        set_tick_source(read_ticks);
        app = AppState{};
        app.audio_muter =
            std::make_unique<AudioMuter>(testing_fakes::create_fake_enumerator, testing_fakes::fake_mixer_api);
        app.cover.send_input = count_input;
        inputs_sent = 0;
        throttling_off.clear();
        set_process_information_setter(refuse_process_information);
        register_main_window_class(GetModuleHandleA(nullptr));
        ASSERT_TRUE(create_main_window(GetModuleHandleA(nullptr), SW_SHOWNORMAL));
        window = app.main_window;
        DeleteFileA(settings_path().c_str());
        flush_mute_marker(5000);
        DeleteFileA(mute_marker_path().c_str());
    }
    void TearDown() override {
        if (IsWindow(window))
            DestroyWindow(window);
        // The window's end posts a quit message; it must not end the next test's dialogs.
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        app.audio_muter.reset();
        set_tick_source(nullptr);
        set_process_information_setter(nullptr);
        DeleteFileA(settings_path().c_str());
        DeleteFileA((settings_folder() + SYNC_MEMORY_FILE).c_str());
        flush_mute_marker(5000);
        DeleteFileA(mute_marker_path().c_str());
    }

    std::string write_script(const std::string& text) {
        std::string path = testing::TempDir() + "app-test.dvbk";
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    void command(int id) { SendMessageA(window, WM_COMMAND, static_cast<WPARAM>(id), 0); }

    HWND window = nullptr;
};

TEST_F(AppWindowTest, ButtonAndMenusThroughARun) {
    BYTE alpha = 0;  // layered before it is first shown: covering never changes how it looks
    EXPECT_TRUE(GetLayeredWindowAttributes(window, nullptr, &alpha, nullptr) && alpha == COVER_ALPHA);
    EXPECT_EQ("&Open File", window_text(app.play_button));
    EXPECT_TRUE(grayed(IDM_PLAY));
    EXPECT_TRUE(grayed(IDM_PAUSE));
    EXPECT_FALSE(grayed(IDM_OPEN));

    open_script(write_script("Dunvel,10,20\nEnd,1:00"));
    EXPECT_EQ("St&art", window_text(app.play_button));
    EXPECT_TRUE(app.script_loaded);
    EXPECT_TRUE(fake_audio.create_calls == 1 && app.audio_error_text.empty());

    enum class Clock { Stopped, Waiting, Running };
    struct Step {
        const char* delay_typed;
        const char* button;
        Clock clock;
    };
    // A delay waits without blocking: the button counts down and, pressed again, cancels.
    const Step steps[] = {
        {"5", "St&arting in 5 s", Clock::Waiting},
        {nullptr, "St&art", Clock::Stopped},
        {"0", "P&ause", Clock::Running},
        {nullptr, "Pl&ay", Clock::Stopped},
        {"4294967.294", "St&arting in 4294968 s", Clock::Waiting},
        {nullptr, "Pl&ay", Clock::Stopped},
        {"-3", "P&ause", Clock::Running},
        {nullptr, "Pl&ay", Clock::Stopped},
        {"abc", "P&ause", Clock::Running},
        {nullptr, "Pl&ay", Clock::Stopped},
        {"4294967.295", "P&ause", Clock::Running},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.button);
        if (step.delay_typed)
            SetWindowTextA(app.delay_edit, step.delay_typed);
        command(IDC_PLAY_BUTTON);
        const bool stopped = step.clock == Clock::Stopped;
        EXPECT_EQ(step.button, window_text(app.play_button));
        EXPECT_EQ(step.clock != Clock::Running, app.clock.paused);
        EXPECT_EQ(stopped, IsWindowVisible(app.delay_edit) != FALSE);
        if (stopped) {
            EXPECT_EQ("0", window_text(app.delay_edit));
        }
        // Running or waiting to: only Pause is offered; stopped: everything but Pause.
        for (UINT id : {IDM_SET_TIME, IDM_SETTINGS, IDM_OPEN, IDM_PLAY})
            EXPECT_EQ(!stopped, grayed(id)) << id;
        EXPECT_EQ(stopped, grayed(IDM_PAUSE));
    }
}

// Runs the thread's messages (the player link's among them) until `done` or a few seconds have passed.
template <class Done>
bool pump_until(Done done) {
    return testing_fakes::wait_until(
        [&] {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&message);
            return done();
        },
        5000);
}

TEST_F(AppWindowTest, DelayedStartCountsDownAndStartsWhenDue) {
    open_script(write_script("Dunvel,3,4\nEnd,1:00"));
    SetWindowTextA(app.delay_edit, "2.5");
    command(IDC_PLAY_BUTTON);
    struct Tick {
        double after;  // seconds since the last timer message
        const char* button;
        bool paused;
    };
    const Tick ticks_seen[] = {
        {0.3, "St&arting in 3 s", true},  // early
        {0.2, "St&arting in 2 s", true},
        {1.0, "St&arting in 1 s", true},
        {1.003, "P&ause", false},  // a late message: the clock counts from when the start was due
    };
    for (const Tick& tick : ticks_seen) {
        SCOPED_TRACE(tick.button);
        advance(tick.after);
        SendMessageA(window, WM_TIMER, START_TIMER, 0);
        carry_out_due_events();
        EXPECT_EQ(tick.button, window_text(app.play_button));
        EXPECT_EQ(tick.paused, app.clock.paused);
        EXPECT_NEAR(tick.paused ? 0.0 : 0.003, position(app.clock), 1e-9);
    }

    // A timer message still queued from the wait starts nothing once it is over.
    command(IDC_PLAY_BUTTON);
    SendMessageA(window, WM_TIMER, START_TIMER, 0);
    EXPECT_TRUE(app.clock.paused);
    EXPECT_EQ("Pl&ay", window_text(app.play_button));
}

TEST_F(AppWindowTest, WithoutAScriptTheButtonOpensTheFileDialog) {
    bool shown = false;
    HWND owner = nullptr;
    bool window_enabled = true;
    answer_next_dialog("Open", [&](HWND dialog) {
        shown = true;
        owner = GetWindow(dialog, GW_OWNER);
        window_enabled = IsWindowEnabled(window);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    command(IDC_PLAY_BUTTON);
    EXPECT_TRUE(shown);
    // Modal over the window: its button cannot be pressed while the dialog is open.
    EXPECT_EQ(window, owner);
    EXPECT_FALSE(window_enabled);
    EXPECT_EQ("&Open File", window_text(app.play_button));
    EXPECT_TRUE(app.clock.paused);

    // A folder named outside any Western code page: the manifest makes the ANSI calls speak UTF-8,
    // into the dialog and out of it.
    ASSERT_EQ(static_cast<UINT>(CP_UTF8), GetACP());
    std::string folder = testing::TempDir() + "Фильмы";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string path = folder + "\\фильм.dvbk";
    std::ofstream(path) << "Blenk,1,2";
    answer_next_dialog("Open", type_and_press(0x47c, path.c_str(), IDOK));  // the file name box
    command(IDC_PLAY_BUTTON);
    EXPECT_TRUE(app.script_loaded);
    EXPECT_EQ(2u, app.script.events.size());
    DeleteFileA(path.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST_F(AppWindowTest, FailedLoadLeavesNothingToCarryOut) {
    answer_next_dialog("Error", type_and_press(0, nullptr, IDOK));
    open_script(write_script("Dunvel,1,2\nBogus,3,4"));
    EXPECT_TRUE(app.script.events.empty());
    EXPECT_FALSE(app.script_loaded);
    EXPECT_EQ("&Open File", window_text(app.play_button));
    EXPECT_NE(std::string::npos, app.script.load_error.find("Unexpected command: Bogus,3,4"));
    advance(10);
    nudge(app.clock, 2.0);
    carry_out_due_events();
    EXPECT_EQ(0, fake_audio.set_mute_calls);
}

TEST_F(AppWindowTest, DueEventsGoStrictlyAfterTheirTimeInListOrder) {
    open_script(write_script("Dunvel,2,6\nBlenk,3,4\n"));
    command(IDC_PLAY_BUTTON);
    advance(2.0);  // exactly at the mute: not yet due
    carry_out_due_events();
    EXPECT_EQ(0u, app.next_event);
    advance(0.001);
    carry_out_due_events();
    EXPECT_TRUE(speakers_muted());
    EXPECT_EQ("Current Action: Dunvel", app.action_text);

    // A forward nudge over a whole cover range: up and down again in one pass, in order.
    nudge(app.clock, 2.0);
    carry_out_due_events();
    EXPECT_EQ(3u, app.next_event);
    EXPECT_TRUE(IsIconic(window));
    EXPECT_FALSE(app.covered);
    EXPECT_EQ("Current Action: Dunvel", app.action_text);

    // Paused past an event: carried out all the same.
    command(IDC_PLAY_BUTTON);
    nudge(app.clock, 2.0);
    carry_out_due_events();
    EXPECT_EQ(4u, app.next_event);
    EXPECT_FALSE(speakers_muted());
    EXPECT_EQ("Current Action: Normal", app.action_text);
}

TEST_F(AppWindowTest, BothStartCoversEvenWhenMutingFails) {
    open_script(write_script("DunvelBlenk,1,5"));
    fake_audio.set_mute = E_FAIL;
    nudge(app.clock, 2.0);
    carry_out_due_events();
    EXPECT_TRUE(IsZoomed(window));
    EXPECT_EQ("Current Action: DunvelBlenk", app.action_text);
    EXPECT_EQ("IAudioEndpointVolume::SetMute failed: hr = 0x80004005\n", app.audio_error_text);
}

TEST_F(AppWindowTest, EventsFallDueWhileTheAboutBoxIsOpen) {
    open_script(write_script("Blenk,1,5"));
    command(IDC_PLAY_BUTTON);
    // The box stays open for a few of the wake timer's beats after the range has begun.
    answer_next_dialog("About DunvelBlenk", [](HWND dialog) {
        advance(1.5);
        SetTimer(dialog, 1, 400, [](HWND about, UINT, UINT_PTR, DWORD) { EndDialog(about, IDOK); });
    });
    command(IDM_ABOUT);
    EXPECT_TRUE(app.covered);
    EXPECT_TRUE(IsZoomed(window));
}

TEST_F(AppWindowTest, SetTimeReadsTheTypedTimeAndResynchronises) {
    // The clock stands at tick 5,000,000, where the clock's reading of 100.03 comes out a hair
    // below it.
    open_script(write_script("Blenk,60,120\nDunvel,100.03,110"));
    struct Case {
        const char* typed;
        int button;
        double position;  // -1: unchanged
        size_t next_event;
    };
    for (const Case& c : {Case{"90", IDOK, 90, 1}, Case{"1:30", IDOK, 90, 1}, Case{"0:01:30", IDOK, 90, 1},
                          Case{"letters", IDOK, -1, 0}, Case{"1:00:00", IDCANCEL, -1, 0}, Case{"-5", IDOK, -1, 0},
                          // Exactly a range's start: it counts as done.
                          Case{"100.03", IDOK, 100.03, 2}}) {
        SCOPED_TRACE(c.typed);
        seek(app.clock, 7);
        app.next_event = 0;
        answer_next_dialog("Set Time", type_and_press(IDC_SET_TIME_EDIT, c.typed, c.button));
        command(IDM_SET_TIME);
        EXPECT_NEAR(c.position < 0 ? 7 : c.position, position(app.clock), 1e-9);
        EXPECT_EQ(c.next_event, app.next_event);
    }
    // Confirming the initial "0:00:00" goes to the very start.
    answer_next_dialog("Set Time", type_and_press(0, nullptr, IDOK));
    command(IDM_SET_TIME);
    EXPECT_EQ(0.0, position(app.clock));
}

TEST_F(AppWindowTest, ResyncClearsStateOnlyWhenTheCursorMoves) {
    open_script(write_script("Blenk,10,20\nBlenk,30,40"));
    seek(app.clock, 10.5);
    carry_out_due_events();
    ASSERT_TRUE(app.covered);
    seek(app.clock, 15);  // the next event is still the cover's end: nothing changes
    resync_after_seek(15);
    EXPECT_TRUE(app.covered);
    EXPECT_TRUE(IsZoomed(window));

    seek(app.clock, 35);  // into the middle of the next range: normal, and the range isn't started
    resync_after_seek(35);
    EXPECT_FALSE(app.covered);
    EXPECT_EQ("Current Action: Normal", app.action_text);
    EXPECT_FALSE(IsZoomed(window));
    EXPECT_EQ(3u, app.next_event);
    // Its end still minimises the window when it falls due, and clicks when asked to: at once the
    // loop goes on, and the window's timer sends the click's inputs.
    app.settings.click_maximize = true;
    seek(app.clock, 41);
    carry_out_due_events();
    EXPECT_TRUE(IsIconic(window));
    EXPECT_EQ(0, inputs_sent);
    EXPECT_TRUE(pump_until([] { return inputs_sent == 4; }));
}

// Picks entry `index` of the preset list as the user would, with the notification the list sends.
void choose_preset(HWND dialog, int index) {
    HWND combo = GetDlgItem(dialog, IDC_CLICK_PRESET);
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_CLICK_PRESET, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

TEST_F(AppWindowTest, SettingsDialog) {
    bool combo_enabled = true, x_read_only = false;
    std::string x_text, y_text;
    answer_next_dialog("Settings", [&](HWND dialog) {
        combo_enabled = IsWindowEnabled(GetDlgItem(dialog, IDC_CLICK_PRESET));
        SendMessageA(dialog, WM_COMMAND, IDC_CLICK_MAXIMIZE, 0);  // unchecked: nothing changes
        CheckDlgButton(dialog, IDC_CLICK_MAXIMIZE, BST_CHECKED);
        SendMessageA(dialog, WM_COMMAND, IDC_CLICK_MAXIMIZE, 0);
        choose_preset(dialog, 1);
        char text[32];
        GetDlgItemTextA(dialog, IDC_CLICK_X, text, sizeof text);
        x_text = text;
        GetDlgItemTextA(dialog, IDC_CLICK_Y, text, sizeof text);
        y_text = text;
        x_read_only = GetWindowLongA(GetDlgItem(dialog, IDC_CLICK_X), GWL_STYLE) & ES_READONLY;
        SetDlgItemTextA(dialog, IDC_TIME_ADJ, "-3.5");
        SendDlgItemMessageA(dialog, IDC_COVER_MONITORS, CB_SETCURSEL, 1, 0);
        SetDlgItemTextA(dialog, IDC_MARK_LEAD, "0.5");
        // The user answers an extension's question meanwhile.
        app.settings.browser_allowed = {"chrome-extension://answeredmeanwhile"};
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    command(IDM_SETTINGS);
    EXPECT_EQ(std::vector<std::string>{"chrome-extension://answeredmeanwhile"}, app.settings.browser_allowed);
    EXPECT_FALSE(combo_enabled);  // the click was off when the dialog opened
    EXPECT_EQ(".848", x_text);
    EXPECT_EQ(".867", y_text);
    EXPECT_TRUE(x_read_only);
    EXPECT_TRUE(app.settings.click_maximize);
    EXPECT_EQ(1, app.settings.click_choice);
    EXPECT_EQ(0.848, app.settings.click_x);
    EXPECT_EQ(-3.5, app.clock.clock_adj);
    std::ifstream saved(settings_path());
    std::string file((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
    EXPECT_NE(std::string::npos, file.find("<click_choice>Netflix</click_choice>"));
    EXPECT_NE(std::string::npos, file.find("<time_adj>-3.5</time_adj>"));
    EXPECT_NE(std::string::npos, file.find("<cover_monitors>all</cover_monitors>"));
    EXPECT_EQ(0.5, app.settings.mark_lead);
    saved.close();

    // "Custom" makes X and Y editable. Cancel, or closing the box, leaves every setting as it was,
    // whatever was changed in it, and writes nothing.
    DeleteFileA(settings_path().c_str());
    const AppSettings before = app.settings;
    for (int close : {IDCANCEL, 0}) {
        SCOPED_TRACE(close);
        bool custom_editable = false;
        answer_next_dialog("Settings", [&](HWND dialog) {
            choose_preset(dialog, 2);
            custom_editable = !(GetWindowLongA(GetDlgItem(dialog, IDC_CLICK_X), GWL_STYLE) & ES_READONLY);
            SetDlgItemTextA(dialog, IDC_CLICK_X, "0.5");
            CheckDlgButton(dialog, IDC_CLICK_MAXIMIZE, BST_UNCHECKED);
            SendMessageA(dialog, WM_COMMAND, IDC_CLICK_MAXIMIZE, 0);
            SendDlgItemMessageA(dialog, IDC_CLOCK_SOURCE, CB_SETCURSEL, 2, 0);
            SetDlgItemTextA(dialog, IDC_TIME_ADJ, "9");
            SendDlgItemMessageA(dialog, IDC_COVER_MONITORS, CB_SETCURSEL, 0, 0);
            SetDlgItemTextA(dialog, IDC_MARK_LEAD, "3");
            CheckDlgButton(dialog, IDC_CLOCK_KEYS, BST_CHECKED);
            if (close)
                PostMessageA(dialog, WM_COMMAND, static_cast<WPARAM>(close), 0);
            else
                PostMessageA(dialog, WM_CLOSE, 0, 0);
        });
        command(IDM_SETTINGS);
        EXPECT_TRUE(custom_editable);
        EXPECT_EQ(settings_text(before), settings_text(app.settings));
        EXPECT_EQ(-3.5, app.clock.clock_adj);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(settings_path().c_str()));
    }

    // The clock's keys: each held by the program while switched on, so that no other program gets
    // it, and let go when switched off; one that another program holds is told under the buttons.
    auto held_by_program = [](UINT key) {
        if (!RegisterHotKey(nullptr, 0xb000, MOD_CONTROL | MOD_SHIFT, key))
            return true;
        UnregisterHotKey(nullptr, 0xb000);
        return false;
    };
    struct Keys {
        bool on;
        UINT held_elsewhere;
        const char* line;
    };
    const Keys keys[] = {
        {true, 0, ""},
        {false, 0, ""},
        {true, VK_F6, "Clock keys: Ctrl+Shift+F6 taken by another program"},
        {false, VK_F6, ""},
    };
    for (const Keys& k : keys) {
        SCOPED_TRACE(k.line);
        if (k.held_elsewhere) {
            ASSERT_TRUE(RegisterHotKey(nullptr, 0xb001, MOD_CONTROL | MOD_SHIFT, k.held_elsewhere));
        }
        answer_next_dialog("Settings", [&](HWND dialog) {
            CheckDlgButton(dialog, IDC_CLOCK_KEYS, k.on ? BST_CHECKED : BST_UNCHECKED);
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
        command(IDM_SETTINGS);
        for (const HotKey& key : clock_keys) {
            if (key.key != k.held_elsewhere) {
                EXPECT_EQ(k.on, held_by_program(key.key)) << key.name;
            }
        }
        UnregisterHotKey(nullptr, 0xb001);
        EXPECT_EQ(k.line, window_text(GetDlgItem(window, IDC_FIRST_LINE + static_cast<int>(Line::Record))));
    }

    // A clock key does what its button does, once a script is open.
    open_script(write_script("Blenk,50,51\nEnd,1:00"));
    const std::pair<int, double> presses[] = {
        {IDC_FORWARD_2S, 2.0}, {IDC_FORWARD_02S, 2.2}, {IDC_BACK_02S, 2.0}, {IDC_BACK_2S, 0.0}};
    for (auto [key, at] : presses) {
        SendMessageA(window, WM_HOTKEY, static_cast<WPARAM>(key), 0);
        EXPECT_NEAR(at, position(app.clock), 1e-9) << key;
    }
    SendMessageA(window, WM_HOTKEY, IDC_PLAY_BUTTON, 0);
    EXPECT_FALSE(app.clock.paused);
}

TEST_F(AppWindowTest, FineTimerResolutionOnlyNearAnEvent) {
    // Both switched off with the window, each on its own, and refused: the fine stretches come all the same.
    EXPECT_EQ((std::vector<ULONG>{PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION,
                                  PROCESS_POWER_THROTTLING_EXECUTION_SPEED}),
              throttling_off);
    open_script(write_script("Dunvel,10,11"));
    command(IDC_PLAY_BUTTON);
    struct Case {
        double at;
        bool fine;
    };
    const Case cases[] = {
        {0.0, false},  {7.9, false}, {8.1, true}, {10.5, true},  // the range's end is next
        {11.5, false},                                           // nothing left
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.at);
        seek(app.clock, c.at);
        carry_out_due_events();
        arm_event_timer();
        EXPECT_EQ(c.fine, app.fine_timer);
    }
    seek(app.clock, 9.0);
    resync_after_seek(9.0);
    EXPECT_TRUE(app.fine_timer);
    command(IDC_PLAY_BUTTON);  // paused: nothing falls due
    EXPECT_FALSE(app.fine_timer);
}

TEST_F(AppWindowTest, ReloadKeepsTheClockAndCarriesOutWhatIsInForce) {
    std::string path = write_script("Dunvel,10,20\nEnd,1:00");
    open_script(path);
    command(IDC_PLAY_BUTTON);
    seek(app.clock, 15.0);
    resync_after_seek(15.0);  // landed inside the mute range: not started
    struct Case {
        const char* text;
        bool loads, covered, muted;
        size_t events, next_event;
    };
    const Case cases[] = {
        {"Blenk,12,30\nEnd,1:00", true, true, false, 2, 1},  // a cover now in force goes up
        {"DunvelBlenk,1,14\nDunvel,14.5,16", true, false, true, 5, 4},
        {"Dunvel,16,17", true, false, false, 2, 0},
        {"Dunvel,16,x", false, false, false, 2, 0},  // does not load: the last one stays
        {"# nothing", false, false, false, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        write_script(c.text);
        EXPECT_EQ(c.loads, reload_script());
        EXPECT_EQ(c.covered, app.covered);
        EXPECT_EQ(c.muted, app.muted);
        EXPECT_EQ(c.events, app.script.events.size());
        EXPECT_EQ(c.next_event, app.next_event);
        EXPECT_EQ(c.loads, app.script.load_error.empty());
        EXPECT_FALSE(app.clock.paused);
        EXPECT_NEAR(15.0, position(app.clock), 0.001);
    }

    // An editor's save is picked up by the folder's watch once the folder is quiet.
    write_script("Blenk,40,41\nBlenk,50,51\nBlenk,60,61");
    EXPECT_TRUE(pump_until([] { return app.script.events.size() == 6; }));
    EXPECT_EQ(path, app.script_path);
}

// Sync Here on the manual clock: a script made for a 24 fps release, watched in a 25 fps one that
// also opens with 2.3 s more logo. The user sets the clock by the script's cues, and types what the
// player shows.
TEST_F(AppWindowTest, SyncHereSetsTheClocksRateFromTwoMoments) {
    open_script(write_script("Blenk, 0:55:00, 0:55:10\nEnd, 2:00:00"));
    command(IDC_PLAY_BUTTON);
    struct Step {
        const char* what;
        double play;        // real seconds that pass first
        double cue;         // where the user sets the clock before choosing Sync Here (-1: left)
        const char* typed;  // nullptr: the proposal confirmed
        int button;
        const char* proposal;
        double position;  // after the dialog
        double speed;
        const char* status;
    };
    const char* one = "Synced: -21.7 s, rate 1.000 until a second moment";
    const char* two = "Synced: +2.3 s, rate 0.960";
    const Step steps[] = {
        {"first moment", 0, 600, "0:09:38.3", IDOK, "0:10:00", 600, 1.0, one},
        {"unreadable, then cancelled", 0, -1, "soon", IDCANCEL, "0:09:38.3", 600, 1.0, one},
        {"too close", 5, -1, "0:09:43.3", IDOK, "0:09:43.3", 605, 1.0,
         "Not synced: the two script times are under 10 s apart"},
        // 2299 s of the copy later the cue says 3000 s; the copy shows 0:48:02.3.
        {"second moment", 2299, 3000, "0:48:02.3", IDOK, "0:49:38.3", 3000, 1 / 0.96, two},
        // The copy's 96 s are the script's 100 s; the proposal is what the copy shows by then.
        {"the proposal, confirmed", 96, -1, nullptr, IDOK, "0:49:38.3", 3100, 1 / 0.96, two},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        advance(step.play);
        if (step.cue >= 0)
            seek(app.clock, step.cue);
        std::string proposed;
        answer_next_dialog("Sync Here", [&](HWND dialog) {
            char text[64] = {};
            GetDlgItemTextA(dialog, IDC_SYNC_COPY_TIME, text, sizeof text);
            proposed = text;
            if (step.typed) {
                SetDlgItemTextA(dialog, IDC_SYNC_COPY_TIME, step.typed);
                PostMessageA(dialog, WM_COMMAND, IDOK, 0);  // unreadable: the dialog stays for the button
            }
            PostMessageA(dialog, WM_COMMAND, static_cast<WPARAM>(step.button), 0);
        });
        command(IDM_SYNC_HERE);
        EXPECT_EQ(step.proposal, proposed);
        EXPECT_NEAR(step.position, position(app.clock), 1e-6);
        EXPECT_NEAR(step.speed, app.clock.speed, 1e-12);
        EXPECT_EQ(step.status, app.sync_text);
    }
    // The cover range at the script's 3300 s comes 192 s of the copy later.
    advance(191.9);
    carry_out_due_events();
    EXPECT_FALSE(app.covered);
    advance(0.2);
    carry_out_due_events();
    EXPECT_TRUE(app.covered);

    // Clear Sync: back on the copy's time and rate, which the cover range no longer has in force.
    command(IDM_CLEAR_SYNC);
    EXPECT_NEAR(2978.3 + 192.1, position(app.clock), 1e-6);
    EXPECT_EQ(1.0, app.clock.speed);
    EXPECT_EQ("", app.sync_text);
    EXPECT_FALSE(app.covered);
}

TEST_F(AppWindowTest, NewScriptThenRecordedRangesApplyAtOnce) {
    std::string path = testing::TempDir() + "new-film.dvbk";
    DeleteFileA(path.c_str());
    answer_next_dialog("Save As", type_and_press(0x47c, path.c_str(), IDOK));
    command(IDM_NEW_SCRIPT);
    ASSERT_TRUE(app.script_loaded);
    EXPECT_EQ(path, app.script_path);
    EXPECT_TRUE(app.script.events.empty());
    auto file = [&] {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    EXPECT_EQ(new_script_text(), file());

    command(IDM_RECORD);
    EXPECT_TRUE(app.recording);
    command(IDC_PLAY_BUTTON);
    struct Case {
        int key;
        double at;
        size_t events;
        bool muted;
        const char* status;
    };
    const Case cases[] = {
        {HOTKEY_MUTE, 10.0, 0, false, "Recording: mute range open since 0:00:09"},
        {HOTKEY_MUTE, 20.0, 2, false, "Recording: wrote Dunvel, 0:00:09, 0:00:20; no range open"},
        {HOTKEY_UNDO, 21.0, 0, false, "Recording: took back the last press; mute range open since 0:00:09"},
        {HOTKEY_MUTE, 22.0, 2, false, "Recording: wrote Dunvel, 0:00:09, 0:00:22; no range open"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        seek(app.clock, c.at);
        SendMessageA(window, WM_HOTKEY, static_cast<WPARAM>(c.key), 0);
        EXPECT_EQ(c.events, app.script.events.size());
        EXPECT_EQ(c.muted, app.muted);
        EXPECT_EQ(c.status, app.record_text);
    }
    EXPECT_EQ(new_script_text() + "Dunvel, 0:00:09, 0:00:22\r\n", file());

    // Nothing goes over a file the press did not read whole, or that changed before the write: the
    // file stays as it was, the range stays open, and a press taken back stays to take back.
    const std::string written = new_script_text() + "Dunvel, 0:00:09, 0:00:22\r\n";
    recorded_path = path;
    struct Press {
        int key;
        double at;
        FileWriter writer;
        FileReader reader;
        std::string status;
        std::string file;
    };
    const Press presses[] = {
        {HOTKEY_COVER, 30, fail_write, nullptr, "Recording: cover range open since 0:00:29", written},
        {HOTKEY_COVER, 35, fail_write, nullptr, "Recording: could not write " + path + ", the range is kept open",
         written},
        {HOTKEY_COVER, 35, nullptr, break_off_read,
         "Recording: " + path + " could not be read to its end, the press is not taken", written},
        {HOTKEY_COVER, 35, save_in_an_editor, nullptr,
         "Recording: " + path + " changed since it was read, the range is kept open", editor_text},
        {HOTKEY_COVER, 36, nullptr, nullptr, "Recording: wrote Blenk, 0:00:29, 0:00:36; no range open",
         "# saved in an editor\r\nBlenk, 0:00:29, 0:00:36\r\nBlenk,50,51\r\n"},
        {HOTKEY_UNDO, 37, fail_write, nullptr, "Recording: could not write " + path + ", nothing is taken back",
         "# saved in an editor\r\nBlenk, 0:00:29, 0:00:36\r\nBlenk,50,51\r\n"},
        {HOTKEY_UNDO, 37, nullptr, nullptr, "Recording: took back the last press; cover range open since 0:00:29",
         editor_text},
    };
    for (const Press& press : presses) {
        SCOPED_TRACE(press.status);
        seek(app.clock, press.at);
        set_file_writer(press.writer);
        set_file_reader(press.reader);
        SendMessageA(window, WM_HOTKEY, static_cast<WPARAM>(press.key), 0);
        set_file_writer(nullptr);
        set_file_reader(nullptr);
        EXPECT_EQ(press.status, app.record_text);
        EXPECT_EQ(press.file, file());
    }

    // Nor is one ended while the file cannot be read: nothing is written over it.
    std::string away = path + ".away";
    DeleteFileA(away.c_str());
    ASSERT_TRUE(MoveFileA(path.c_str(), away.c_str()));
    SendMessageA(window, WM_HOTKEY, HOTKEY_COVER, 0);
    EXPECT_EQ("Recording: " + path + " cannot be opened, the press is not taken", app.record_text);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str()));
    ASSERT_TRUE(MoveFileA(away.c_str(), path.c_str()));
    EXPECT_EQ("Recording: cover range open since 0:00:29", app.recorder.status());
    command(IDM_RECORD);
    EXPECT_FALSE(app.recording);
    DeleteFileA(path.c_str());
}

TEST_F(AppWindowTest, NewScriptFromSubtitlesIsSavedBesideThemAndOpened) {
    std::string folder = testing::TempDir();
    for (const char* name : {"film.dvbk", "film-2.dvbk"})
        DeleteFileA((folder + name).c_str());
    std::ofstream(folder + "film.srt", std::ios::binary)
        << "1\r\n00:01:00,000 --> 00:01:02,000\r\nWhat the hell was that?\r\n\r\n"
           "2\r\n00:02:00,000 --> 00:02:01,000\r\nNothing.\r\n";
    std::ofstream(folder + "quiet.vtt", std::ios::binary) << "WEBVTT\n\n00:05.000 --> 00:07.000\nHello there.\n";
    struct Step {
        const char* subtitles;
        const char* save_as;  // typed when the save dialog proposes the name taken
        const char* script;   // loaded afterwards
        const char* told;     // the start of what the program says
    };
    const Step steps[] = {
        {"film.srt", nullptr, "film.dvbk", "2 cues, 1 matched (1 word): 1 mute range"},
        {"film.srt", "film-2.dvbk", "film-2.dvbk", "2 cues, 1 matched (1 word): 1 mute range"},
        {"quiet.vtt", nullptr, "film-2.dvbk", "No subtitle has a word of the list"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.subtitles);
        std::string told;
        auto tell = [&](HWND box) {
            told = window_text(GetDlgItem(box, 0xFFFF));
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        };
        answer_next_dialog("Subtitles for the New Script", [&](HWND dialog) {
            if (step.save_as) {
                answer_next_dialog("Save As", [&](HWND save) {
                    answer_next_dialog("New Script from Subtitles", tell);
                    type_and_press(0x47c, (folder + step.save_as).c_str(), IDOK)(save);
                });
            } else {
                answer_next_dialog("New Script from Subtitles", tell);
            }
            type_and_press(0x47c, (folder + step.subtitles).c_str(), IDOK)(dialog);
        });
        command(IDM_NEW_FROM_SUBTITLES);
        EXPECT_EQ(0u, told.find(step.told)) << told;
        EXPECT_EQ(folder + step.script, app.script_path);
        ASSERT_EQ(2u, app.script.events.size());
        EXPECT_NEAR(60.0, app.script.events[0].time, 2.0);
    }
}

TEST_F(AppWindowTest, StatusRefreshAndTitle) {
    open_script(write_script("Blenk,65,70\nEnd,1:00"));
    seek(app.clock, 59.6);
    refresh_status();
    EXPECT_EQ("DVBK T: 0:01:00 R: 0:00:00", window_text(window));
    EXPECT_EQ("Next Action: Blenk in 0:00:05", app.next_action_text);
    EXPECT_EQ(0u, app.cursor_text.find("Cursor position: ("));
    command(IDC_PLAY_BUTTON);
    advance(1);
    refresh_status();
    EXPECT_EQ("Remaining Time: -0:00:01", app.remaining_text);
    EXPECT_EQ("", app.cursor_text);  // only while paused

    // In high contrast the window, and the cover with it, takes the system's window colour, read
    // again whenever the system's settings or colours change.
    struct Scheme {
        bool (*high_contrast)();
        UINT change;
        COLORREF background;
    };
    const Scheme schemes[] = {{[] { return true; }, WM_SETTINGCHANGE, GetSysColor(COLOR_WINDOW)},
                              {[] { return false; }, WM_SYSCOLORCHANGE, BACKGROUND_COLOUR}};
    for (const Scheme& scheme : schemes) {
        app.high_contrast_on = scheme.high_contrast;
        SendMessageA(window, scheme.change, 0, 0);
        LOGBRUSH brush{};
        GetObjectA(reinterpret_cast<HBRUSH>(GetClassLongPtrA(window, GCLP_HBRBACKGROUND)), sizeof brush, &brush);
        EXPECT_EQ(scheme.background, brush.lbColor);
    }
}

TEST_F(AppWindowTest, DroppedScriptOpensOnlyWhilePaused) {
    std::string path = write_script("Dunvel,1,2");
    auto drop = [&] {
        size_t size = sizeof(DROPFILES) + path.size() + 2;
        HGLOBAL memory = GlobalAlloc(GHND, size);
        auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
        files->pFiles = sizeof(DROPFILES);
        memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), path.c_str(), path.size());
        GlobalUnlock(memory);
        SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    };
    drop();
    EXPECT_TRUE(app.script_loaded);
    EXPECT_EQ(2u, app.script.events.size());
    command(IDC_PLAY_BUTTON);
    advance(1.5);
    path = write_script("Blenk,1,2\nBlenk,3,4");
    drop();
    EXPECT_EQ(2u, app.script.events.size());  // running: the drop is ignored
    EXPECT_FALSE(app.clock.paused);
}

TEST_F(AppWindowTest, EndOfSessionUnmutes) {
    open_script(write_script("Dunvel,1,100"));
    nudge(app.clock, 2.0);
    carry_out_due_events();
    ASSERT_TRUE(speakers_muted());
    SendMessageA(window, WM_ENDSESSION, FALSE, 0);  // the session goes on after all
    EXPECT_TRUE(speakers_muted());
    SendMessageA(window, WM_ENDSESSION, TRUE, 0);
    EXPECT_FALSE(speakers_muted());

    // As when the window closes: the sound goes back on whoever switched it off.
    app.muted = false;
    speakers_muted() = TRUE;
    SendMessageA(window, WM_ENDSESSION, TRUE, 0);
    EXPECT_FALSE(speakers_muted());
}

TEST_F(AppWindowTest, CrashUnmutes) {
    open_script(write_script("Dunvel,1,100"));
    install_crash_unmute();
    // What the system will call for an exception nobody handles: the installed top-level filter.
    LPTOP_LEVEL_EXCEPTION_FILTER installed = SetUnhandledExceptionFilter(nullptr);
    SetUnhandledExceptionFilter(installed);
    ASSERT_NE(nullptr, installed);
    EXCEPTION_RECORD record{};
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    CONTEXT context{};
    EXCEPTION_POINTERS crash{&record, &context};
    for (bool we_muted : {false, true}) {
        SCOPED_TRACE(we_muted);
        app.muted = we_muted;
        speakers_muted() = TRUE;
        // The crash then goes on as it would have: reported, and the process ends.
        EXPECT_EQ(EXCEPTION_CONTINUE_SEARCH, installed(&crash));
        EXPECT_FALSE(speakers_muted());
    }
}

TEST_F(AppWindowTest, ClosingUnmutesEvenWhenNeverMuted) {
    open_script(write_script("Dunvel,1,2"));
    speakers_muted() = TRUE;  // muted by the user, not by us
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(speakers_muted());
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, message.wParam);
}

// A new script is a new film: whatever the old one had switched off or covered ends with it, even
// when the load fails. Nothing in force, nothing is touched: a mute the user set stays.
TEST_F(AppWindowTest, OpeningAScriptEndsTheOldOnesActions) {
    struct Case {
        const char* old_script;
        const char* new_script;
        BOOL user_muted;  // before the old script ran
        BOOL muted_after;
    };
    const Case cases[] = {
        {"Dunvel,1,100", "Dunvel,50,60", FALSE, FALSE},
        {"Blenk,1,100", "Blenk,50,60", FALSE, FALSE},
        {"DunvelBlenk,1,100", "DunvelBlenk,50,60", FALSE, FALSE},
        {"DunvelBlenk,1,100", "Bogus,1,2", FALSE, FALSE},
        {"Blenk,50,60", "Dunvel,50,60", TRUE, TRUE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.old_script + std::string(" then ") + c.new_script);
        ShowWindow(window, SW_SHOWNORMAL);
        app.covered = app.muted = false;
        speakers_muted() = c.user_muted;
        open_script(write_script(c.old_script));
        nudge(app.clock, 2.0);  // paused inside the range
        carry_out_due_events();
        if (c.new_script[0] == 'B')
            answer_next_dialog("Error", type_and_press(0, nullptr, IDOK));
        open_script(write_script(c.new_script));
        EXPECT_FALSE(app.muted);
        EXPECT_FALSE(app.covered);
        EXPECT_EQ("Current Action: Normal", app.action_text);
        EXPECT_EQ(c.muted_after, speakers_muted());
        EXPECT_FALSE(IsZoomed(window));
        EXPECT_FALSE(IsIconic(window));
        ASSERT_TRUE(flush_mute_marker(5000));
        EXPECT_FALSE(load_mute_marker());
    }
}

// Headphones plugged in during a mute range become the default output: the film must not be heard
// from them, and the speakers left behind sound again.
TEST_F(AppWindowTest, MuteFollowsANewDefaultOutput) {
    open_script(write_script("Dunvel,1,100"));
    struct Step {
        double to;   // the film position the step moves to
        int output;  // the default output switched to there; -1 for no switch
        BOOL speakers, headphones;
        const char* marker;  // the output the marker names, "" for none
    };
    const Step steps[] = {
        {0, -1, FALSE, FALSE, "{0.0.0.00000000}.{speakers}"},  // noted ahead: the mute is near
        {2, -1, TRUE, FALSE, "{0.0.0.00000000}.{speakers}"},
        {3, 1, FALSE, TRUE, "{0.0.0.00000000}.{headphones}"},
        {101, -1, FALSE, FALSE, ""},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.to);
        seek(app.clock, step.to);
        carry_out_due_events();
        if (step.output >= 0) {
            testing_fakes::switch_default_output(step.output);
            MSG message;
            while (PeekMessageA(&message, window, 0, 0, PM_REMOVE))
                DispatchMessageA(&message);
        }
        EXPECT_EQ(step.speakers, fake_audio.outputs[0].muted);
        EXPECT_EQ(step.headphones, fake_audio.outputs[1].muted);
        ASSERT_TRUE(flush_mute_marker(5000));
        std::optional<MuteMarker> marker = load_mute_marker();
        EXPECT_EQ(step.marker, marker ? marker->output.endpoint_id : "");
        if (marker) {
            EXPECT_EQ(this_process(), marker->process);
        }
    }
    EXPECT_EQ("", app.audio_error_text);
    EXPECT_EQ(0, fake_audio.calls_off_thread);
}

// A run ended from Task Manager, by a power cut or by a crash left its marker; the next run switches
// that output back on, only that one and only while it is still muted, and says so once.
TEST_F(AppWindowTest, SoundLeftOffByAnEarlierRunGoesBackOn) {
    const std::string notice = "Sound switched back on: an earlier run ended while muting";
    const ProcessIdentity running = this_process();
    const ProcessIdentity id_given_again{running.id, running.created + 1};
    const ProcessIdentity no_such_process{0xFFFFFFF1u, 1};
    const MutedOutput speakers{false, "{0.0.0.00000000}.{speakers}"};
    const MutedOutput headphones{false, "{0.0.0.00000000}.{headphones}"};
    struct Case {
        const char* what;
        std::string marker;  // the file's text, "" for no file
        std::vector<BOOL> muted_before, muted_after;
        BOOL mixer_before, mixer_after;
        bool told;
        bool marker_stays;
    };
    auto text = [](const MutedOutput& output, const ProcessIdentity& process) {
        return mute_marker_text({output, 133000000000000000, process}, "\r\n");
    };
    const Case cases[] = {
        {"no marker", "", {TRUE, FALSE}, {TRUE, FALSE}, FALSE, FALSE, false, false},
        {"only the output named, the default's own mute stays",
         text(headphones, id_given_again),
         {TRUE, TRUE},
         {TRUE, FALSE},
         FALSE,
         FALSE,
         true,
         false},
        {"an ended process", text(speakers, no_such_process), {TRUE, FALSE}, {FALSE, FALSE}, FALSE, FALSE, true, false},
        {"switched on since",
         text(speakers, no_such_process),
         {FALSE, TRUE},
         {FALSE, TRUE},
         FALSE,
         FALSE,
         false,
         false},
        {"another instance still muting",
         text(speakers, running),
         {TRUE, FALSE},
         {TRUE, FALSE},
         FALSE,
         FALSE,
         false,
         true},
        {"an output that is gone",
         text({false, "{0.0.0.00000000}.{usb}"}, no_such_process),
         {TRUE, TRUE},
         {TRUE, TRUE},
         FALSE,
         FALSE,
         false,
         false},
        {"the mixer", text({true, ""}, no_such_process), {TRUE, FALSE}, {TRUE, FALSE}, TRUE, FALSE, true, false},
        {"unreadable",
         "<endpoint>{0.0.0.00000000}.{speakers}</endpoint>\r\n<process_id>x</process_id>\r\n",
         {TRUE, FALSE},
         {TRUE, FALSE},
         FALSE,
         FALSE,
         false,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake_audio = {};
        fake_audio.mixer_control_types = {MIXERCONTROL_CONTROLTYPE_MUTE};
        fake_audio.mixer_muted = c.mixer_before;
        for (size_t i = 0; i < c.muted_before.size(); ++i)
            fake_audio.outputs[i].muted = c.muted_before[i];
        app.audio_error_text.clear();
        app.audio_muter =
            std::make_unique<AudioMuter>(testing_fakes::create_fake_enumerator, testing_fakes::fake_mixer_api);
        DeleteFileA(mute_marker_path().c_str());
        if (!c.marker.empty()) {
            ASSERT_TRUE(write_file_atomically(mute_marker_path(), c.marker));
        }

        recover_left_mute();
        for (size_t i = 0; i < c.muted_after.size(); ++i)
            EXPECT_EQ(c.muted_after[i], fake_audio.outputs[i].muted) << "output " << i;
        EXPECT_EQ(c.mixer_after, fake_audio.mixer_muted);
        EXPECT_EQ(c.told ? notice : "", app.audio_error_text);
        EXPECT_EQ(c.marker_stays, GetFileAttributesA(mute_marker_path().c_str()) != INVALID_FILE_ATTRIBUTES);
    }
}

// The program following a fake VLC through its real link, message and window.
TEST_F(AppWindowTest, FollowsVlcThroughPauseSeekGarbageAndSilence) {
    ticks_run = true;
    using testing_fakes::FakeVlcServer;
    auto vlc_body = [](const char* state, double time, double position) {
        return std::string("{\"state\":\"") + state + "\",\"time\":" + std::to_string(time) +
               ",\"length\":120,\"position\":" + std::to_string(position) + "}";
    };

    FakeVlcServer vlc("secret");
    vlc.set_body(vlc_body("playing", 30, 0.25));
    open_script(write_script("Blenk, 0:00:40, 0:00:45\nEnd, 0:02:00\n"));
    app.settings.clock_source = ClockSource::Vlc;
    app.settings.vlc_port = vlc.port();
    app.settings.vlc_password = "secret";
    start_following();

    // Playing at 30 s: the clock runs there, and the button says so.
    ASSERT_TRUE(pump_until([] { return app.follower.heard; }));
    EXPECT_FALSE(app.clock.paused);
    EXPECT_NEAR(30.0, position(app.clock), 1.0);
    EXPECT_EQ("P&ause", window_text(app.play_button));

    // Paused after a seek past the cover range: paused there, the range counted as done.
    vlc.set_body(vlc_body("paused", 50, 50.0 / 120));
    ASSERT_TRUE(pump_until([] { return app.clock.paused; }));
    EXPECT_NEAR(50.0, position(app.clock), 1e-3);
    EXPECT_EQ(2u, app.next_event);
    EXPECT_FALSE(app.covered);
    EXPECT_EQ("Pl&ay", window_text(app.play_button));

    // A seek back into the cover range covers the rest of it; one back out of it ends the cover.
    vlc.set_body(vlc_body("playing", 42, 42.0 / 120));
    ASSERT_TRUE(pump_until([] { return !app.clock.paused; }));
    EXPECT_TRUE(app.covered);
    EXPECT_EQ(1u, app.next_event);
    vlc.set_body(vlc_body("playing", 10, 10.0 / 120));
    ASSERT_TRUE(pump_until([] { return position(app.clock) < 20.0; }));
    EXPECT_NEAR(10.0, position(app.clock), 1.0);
    EXPECT_EQ(0u, app.next_event);
    EXPECT_FALSE(app.covered);

    // Garbage is a problem to show, not a position.
    vlc.set_mode(FakeVlcServer::Mode::Garbage);
    ASSERT_TRUE(pump_until([] { return !app.follower.problem.empty(); }));
    EXPECT_NEAR(10.0, position(app.clock), 1.0);

    // Silence: after two seconds the manual clock goes on, running as the player was.
    vlc.set_mode(FakeVlcServer::Mode::Answer);
    ASSERT_TRUE(vlc.stop_listening());
    ASSERT_TRUE(pump_until([] { return app.follower.lost; }));
    EXPECT_FALSE(app.clock.paused);
    refresh_clock_text();
    EXPECT_EQ("Clock: manual, VLC not answering: connection refused", app.clock_text);

    // And VLC is picked up again when it answers.
    ASSERT_TRUE(vlc.listen_again());
    ASSERT_TRUE(pump_until([] { return !app.follower.lost; }));
    refresh_clock_text();
    EXPECT_EQ(0u, app.clock_text.find("Clock: VLC, "));

    app.settings.clock_source = ClockSource::Manual;
    start_following();
    EXPECT_EQ("Clock: manual", app.clock_text);
}

// The same through mpv's pipe: mpv tells each change as it happens, and a paused mpv stays quiet.
TEST_F(AppWindowTest, FollowsMpvAndFallsBackWhenItGoes) {
    ticks_run = true;
    auto change = [](int id, const char* name, const char* data) {
        return std::string("{\"event\":\"property-change\",\"id\":") + std::to_string(id) + ",\"name\":\"" + name +
               "\",\"data\":" + data + "}\n";
    };
    const std::string pipe = "\\\\.\\pipe\\dvbk-app-test-" + std::to_string(GetCurrentProcessId());
    testing_fakes::FakeMpvServer mpv(pipe);
    open_script(write_script("Dunvel, 0:00:40, 0:00:45\nEnd, 0:02:00\n"));
    app.settings.clock_source = ClockSource::Mpv;
    app.settings.mpv_pipe = pipe;
    start_following();
    // The clock's three properties, then what plays: the path and the duration.
    ASSERT_TRUE(pump_until([&] { return mpv.lines().size() == 5; }));

    ASSERT_TRUE(mpv.send(change(2, "pause", "false") + change(1, "time-pos", "12.5")));
    ASSERT_TRUE(pump_until([] { return !app.clock.paused; }));
    EXPECT_NEAR(12.5, position(app.clock), 0.5);

    // Paused, then moved while paused: where a paused mpv says it is, it stands.
    ASSERT_TRUE(mpv.send(change(2, "pause", "true") + change(1, "time-pos", "61.25")));
    ASSERT_TRUE(pump_until([] { return app.clock.paused; }));
    EXPECT_NEAR(61.25, position(app.clock), 1e-6);
    EXPECT_EQ(2u, app.next_event);  // the seek passed the mute range without carrying it out
    EXPECT_FALSE(app.muted);

    // Paused and quiet is no silence; a pipe that goes is.
    advance((FOLLOW_SILENCE_MS + 200) / 1000.0);
    check_player_silence();
    EXPECT_FALSE(app.follower.lost);
    mpv.disconnect();
    ASSERT_TRUE(pump_until([] {
        check_player_silence();
        return app.follower.lost;
    }));
    EXPECT_TRUE(app.clock.paused);
    EXPECT_NEAR(61.25, position(app.clock), 1e-6);
}

// A film that mpv plays finds its script in the scripts folder by its hash; Sync Here's map for it
// comes back the next time the same copy plays.
TEST_F(AppWindowTest, TheScriptThatFitsWhatPlaysLoadsWithItsSyncRemembered) {
    ticks_run = true;
    std::string folder = testing::TempDir() + "scripts-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string film = testing::TempDir() + "Heat (1995).mkv";
    std::string bytes(200 * 1024, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 % 251);
    std::ofstream(film, std::ios::binary) << bytes;
    std::string hash;
    ASSERT_TRUE(hash_of_file(film, hash));
    const std::pair<const char*, std::string> scripts[] = {
        {"heat.dvbk", "# film: Heat (1995)\n# match: hash=" + hash + "\nDunvel, 0:00:40, 0:00:45\n"},
        {"other.dvbk", "# match: file=Other.mkv\nBlenk, 1, 2\n"},
        {"broken.dvbk", "# match: file=Heat (1995).mkv\nDunvel, 5, 1\n"},
    };
    for (const auto& [name, text] : scripts)
        std::ofstream(folder + "\\" + name, std::ios::binary) << text;
    DeleteFileA((settings_folder() + SYNC_MEMORY_FILE).c_str());
    app.settings.scripts_folder = folder;
    index_scripts_folder();
    ASSERT_EQ(3u, app.script_index.size());

    const std::string pipe = "\\\\.\\pipe\\dvbk-match-test-" + std::to_string(GetCurrentProcessId());
    testing_fakes::FakeMpvServer mpv(pipe);
    app.settings.clock_source = ClockSource::Mpv;
    app.settings.mpv_pipe = pipe;
    std::string escaped;
    for (char c : film)
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    const std::string plays =
        "{\"event\":\"property-change\",\"id\":4,\"name\":\"path\",\"data\":\"" + escaped + "\"}\n";
    for (const char* run : {"first run", "second run"}) {
        SCOPED_TRACE(run);
        size_t lines = mpv.lines().size();
        start_following();
        app.match_text.clear();
        ASSERT_TRUE(pump_until([&] { return mpv.lines().size() == lines + 5; }));
        ASSERT_TRUE(mpv.send(plays));
        ASSERT_TRUE(pump_until([] { return app.script_loaded; }));
        EXPECT_EQ(folder + "\\heat.dvbk", app.script_path);
        EXPECT_EQ("Script: Heat (1995), found by its hash", app.match_text);
        if (std::string(run) == "first run") {
            EXPECT_EQ("", app.sync_text);
            sync_here(10.0, 12.3);
            // Another script opened by hand is never replaced by the one that fits; its own line for
            // this copy syncs it.
            std::string own = write_script("# copy: hash=" + hash + " offset=+1.5 rate=1\nBlenk, 7, 8\n");
            open_script(own);
            start_following();
            ASSERT_TRUE(pump_until([&] { return mpv.lines().size() == lines + 10; }));
            ASSERT_TRUE(mpv.send(plays));
            ASSERT_TRUE(pump_until([&] { return app.player_reader.played.path == film; }));
            EXPECT_EQ(own, app.script_path);
            EXPECT_EQ("Synced as the script says for this copy: +1.5 s, rate 1.000", app.sync_text);
            // As at the next start: no script, the sync memory read from its file.
            stop_following();
            app.script_loaded = false;
            app.script_path.clear();
            app.sync.clear();
            app.sync_text.clear();
            app.copy_maps.clear();
            load_sync_memory();
        } else {
            EXPECT_EQ("Synced as last time: +2.3 s, rate 1.000", app.sync_text);
        }
    }
    stop_following();
}

// The chooser proposes the first script that loads, takes none that does not, and scrolls sideways
// to the end of an error however long.
TEST_F(AppWindowTest, TheScriptChooserTakesOnlyAScriptThatLoads) {
    ScriptChoice choice{"clip.wav",
                        {{"broken.dvbk does not load: " + std::string(200, 'x') + " at line 4", false},
                         {"Sine Wave  -  sine-wave.dvbk (its file name)", true}}};
    LRESULT proposed = -1;
    LRESULT extent = 0;
    int chosen_broken = 0;
    RECT shown{};
    answer_next_dialog("Choose the Script", [&](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_CHOOSE_LIST);
        proposed = SendMessageA(list, LB_GETCURSEL, 0, 0);
        extent = SendMessageA(list, LB_GETHORIZONTALEXTENT, 0, 0);
        GetClientRect(list, &shown);
        SendMessageA(list, LB_SETCURSEL, 0, 0);
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        chosen_broken = choice.chosen;
        SendMessageA(list, LB_SETCURSEL, 1, 0);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(IDOK, DialogBoxParamA(app.app_instance, MAKEINTRESOURCEA(IDD_CHOOSE_SCRIPT), window, ChooseScriptDlgProc,
                                    reinterpret_cast<LPARAM>(&choice)));
    EXPECT_EQ(1, proposed);
    EXPECT_EQ(-1, chosen_broken);
    EXPECT_EQ(1, choice.chosen);
    EXPECT_GT(extent, 2 * shown.right);
}

// A loopback port nobody listens on just now.
int free_port() {
    testing_fakes::WinsockUser winsock;
    ScopedSocket probe;
    int port = 0;
    testing_fakes::listen_on_loopback(probe, port, 1);
    return port;
}

// The program following a video in the browser through the real listener, with a stand-in for the
// extension: web pages are turned away, an extension is heard only once the user allowed it, and
// the answer is kept.
TEST_F(AppWindowTest, FollowsTheBrowserOnceTheUserAllowsTheExtension) {
    ticks_run = true;
    using testing_fakes::FakeExtension;
    const std::string extension = "chrome-extension://abcdefghijklmnopabcdefghijklmnop";
    const std::string stranger = "moz-extension://4b9d1c7e-2f3a-4c55-9d0e-1a2b3c4d5e6f";
    auto video = [](double time, bool paused) {
        return R"({"type":"video","tab":7,"video":"7:0:f:1","title":"Film","currentTime":)" + std::to_string(time) +
               R"(,"paused":)" + (paused ? "true" : "false") + R"(,"playbackRate":1,"duration":120,"age":2})";
    };
    open_script(write_script("Blenk, 0:00:40, 0:00:45\nEnd, 0:02:00\n"));
    app.settings.clock_source = ClockSource::Browser;
    app.settings.browser_port = free_port();
    start_following();
    ASSERT_TRUE(pump_until([] { return app.follower.problem == "no extension connected"; }));

    // A web page may open a WebSocket to the loopback too; it is refused before a frame is read.
    FakeExtension page(app.settings.browser_port, "https://films.example");
    ASSERT_TRUE(pump_until([&] { return page.closed(); }));
    EXPECT_EQ(0u, page.received().find("HTTP/1.1 403 Forbidden\r\n"));

    // An extension the user has not answered for waits while the question is on screen, and what
    // it says meanwhile moves nothing.
    std::unique_ptr<FakeExtension> chrome;
    std::string question;
    bool waited = false;
    bool no_is_default = false;
    answer_next_dialog("DunvelBlenk", [&](HWND dialog) {
        char text[256] = {};
        GetDlgItemTextA(dialog, 0xFFFF, text, sizeof text);  // the message box's text
        question = text;
        no_is_default = (GetWindowLongA(GetDlgItem(dialog, IDNO), GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON;
        waited = chrome->has(R"({"type":"status","state":"pending"})");
        chrome->send_text(video(30, false));
        Sleep(200);  // read, and dropped, before the answer
        PostMessageA(dialog, WM_COMMAND, IDYES, 0);
    });
    chrome = std::make_unique<FakeExtension>(app.settings.browser_port, extension);
    ASSERT_TRUE(pump_until([&] { return chrome->has(R"({"type":"status","state":"allowed"})"); }));
    EXPECT_EQ(0u, chrome->received().find("HTTP/1.1 101 Switching Protocols\r\n"));
    EXPECT_TRUE(waited);
    EXPECT_EQ("Allow the browser extension " + extension +
                  " to set DunvelBlenk's clock?\n\nDunvelBlenk's extension shows the same id in its popup.",
              question);
    EXPECT_TRUE(no_is_default);  // Enter pressed by chance lets nobody in
    EXPECT_TRUE(app.clock.paused);
    EXPECT_EQ(std::vector<std::string>{extension}, app.settings.browser_allowed);
    std::ifstream saved(settings_path());
    std::string file((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
    EXPECT_NE(std::string::npos, file.find("<browser_allowed>" + extension + "</browser_allowed>"));

    // Now its reports are the clock: playing, then paused after a seek past the cover range.
    chrome->send_text(video(30, false));
    ASSERT_TRUE(pump_until([] { return !app.clock.paused; }));
    EXPECT_NEAR(30.0, position(app.clock), 0.1);
    chrome->send_text(video(50, true));
    ASSERT_TRUE(pump_until([] { return app.clock.paused; }));
    EXPECT_NEAR(50.0, position(app.clock), 1e-6);
    EXPECT_EQ(2u, app.next_event);
    EXPECT_FALSE(app.covered);

    // Another extension the user turns away is told so and closed; the answer is kept as well.
    answer_next_dialog("DunvelBlenk", [](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDNO, 0); });
    FakeExtension other(app.settings.browser_port, stranger);
    ASSERT_TRUE(pump_until([&] { return other.closed(); }));
    EXPECT_TRUE(other.has(R"({"type":"status","state":"refused"})"));
    EXPECT_EQ(std::vector<std::string>{stranger}, app.settings.browser_refused);

    // Frames that break the rules close that connection only; the followed one goes on.
    FakeExtension rude(app.settings.browser_port, extension);
    ASSERT_TRUE(pump_until([&] { return rude.has(R"({"type":"status","state":"allowed"})"); }));
    rude.send_text(std::string(5000, 'x'));
    ASSERT_TRUE(pump_until([&] { return rude.closed(); }));
    chrome->send_text(video(60, false));
    ASSERT_TRUE(pump_until([] { return !app.clock.paused; }));
    EXPECT_NEAR(60.0, position(app.clock), 0.1);

    // When the extension goes, the manual clock takes over after the usual silence.
    chrome->send_raw(std::string("\x88\x82\x01\x02\x03\x04", 6) + static_cast<char>(0x03 ^ 0x01) +
                     static_cast<char>(0xE8 ^ 0x02));  // close 1000
    ASSERT_TRUE(pump_until([&] { return chrome->closed(); }));
    ASSERT_TRUE(pump_until([] {
        check_player_silence();
        return app.follower.lost;
    }));
    refresh_clock_text();
    EXPECT_EQ("Clock: manual, browser not answering: extension disconnected", app.clock_text);
}

// What does not fit in `parent` at its DPI: a shown control outside its client area, two shown
// controls or painted bands over each other, a control without `font`, or a text (caption, list
// item, field, painted line) bigger than its room in its own font; a static control may wrap, and a
// field that scrolls sideways may be longer than it is wide.
struct Placed {
    std::string text;
    RECT room;
};
std::vector<std::string> layout_faults(HWND parent, HFONT font, std::vector<Placed> places) {
    std::vector<std::string> faults;
    // An ampersand marks the next letter's key, and takes no room, unless the control shows it.
    auto measure = [&](HFONT in, const Placed& place, bool wraps, bool prefix = false) {
        HDC dc = GetDC(parent);
        HGDIOBJ before = SelectObject(dc, in);
        RECT need{0, 0, place.room.right - place.room.left, 0};
        DrawTextA(dc, place.text.c_str(), -1, &need,
                  DT_CALCRECT | (prefix ? 0 : DT_NOPREFIX) | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
        SelectObject(dc, before);
        ReleaseDC(parent, dc);
        if (need.right > place.room.right - place.room.left || need.bottom > place.room.bottom - place.room.top)
            faults.push_back(place.text + " needs " + std::to_string(need.right) + "x" + std::to_string(need.bottom));
    };
    for (const Placed& place : places)
        measure(font, place, false);
    RECT client, place, inside, room;
    GetClientRect(parent, &client);
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char kind[32] = {};
        GetClassNameA(child, kind, sizeof kind);
        LONG style = GetWindowLongA(child, GWL_STYLE);
        bool is_static = !lstrcmpiA(kind, "Static"), is_button = !lstrcmpiA(kind, "Button");
        // By its own style: a dialog itself shows only once its loop has nothing else to do.
        if (!(style & WS_VISIBLE) || (is_static && (style & SS_TYPEMASK) == SS_ICON))
            continue;
        std::vector<std::string> texts{window_text(child)};
        GetWindowRect(child, &place);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
        if (!IntersectRect(&inside, &place, &client) || !EqualRect(&inside, &place))
            faults.push_back(texts[0] + " leaves its window");
        auto own = reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0));
        if (own != font)
            faults.push_back(texts[0] + " has a font of its own");
        GetClientRect(child, &room);
        if (!lstrcmpiA(kind, "Edit"))
            SendMessageA(child, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&room));
        // A field that scrolls its text sideways (a folder, a pipe's name) needs only its height.
        if (!lstrcmpiA(kind, "Edit") && (style & ES_AUTOHSCROLL))
            room.right = room.left + 10000;
        if (is_button && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX)
            room.left += GetSystemMetrics(SM_CXMENUCHECK);
        else if (is_button)
            InflateRect(&room, -GetSystemMetrics(SM_CXEDGE), -GetSystemMetrics(SM_CYEDGE));
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        if (!lstrcmpiA(kind, "ComboBox") && GetComboBoxInfo(child, &info)) {
            room = info.rcItem;
            texts.assign(SendMessageA(child, CB_GETCOUNT, 0, 0), std::string(256, '\0'));
            for (size_t item = 0; item < texts.size(); ++item)
                texts[item].resize(
                    SendMessageA(child, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(texts[item].data())));
        }
        bool prefix = is_button || (is_static && !(style & SS_NOPREFIX));
        for (const std::string& text : texts)
            measure(own, {text, room}, is_static && (style & SS_TYPEMASK) != SS_LEFTNOWORDWRAP, prefix);
        places.push_back({texts[0], place});
    }
    for (size_t i = 0; i < places.size(); ++i)
        for (size_t j = i + 1; j < places.size(); ++j)
            if (IntersectRect(&inside, &places[i].room, &places[j].room))
                faults.push_back(places[i].text + " overlaps " + places[j].text);
    return faults;
}

// The main window with its lines and the delay field's label at the window's DPI.
std::vector<std::string> main_window_faults() {
    SetWindowTextA(app.play_button, "St&arting in 10 s");  // its longest caption
    return layout_faults(app.main_window, app.font.get(), {});
}

// Run by dpi_test.sh at each DPI it gives the display, which it names in DVBK_TEST_DPI.
TEST_F(AppWindowTest, FitsAtTheDisplaysDpi) {
    const char* dpi = std::getenv("DVBK_TEST_DPI");
    if (!dpi)
        GTEST_SKIP() << "run by dpi_test.sh";
    EXPECT_EQ(std::atoi(dpi), static_cast<int>(GetDpiForWindow(window)));
    open_script(write_script("Blenk,2,4\nEnd,1:00"));
    EXPECT_EQ(std::vector<std::string>{}, main_window_faults());
    for (auto [id, caption] : {std::pair{IDM_ABOUT, "About DunvelBlenk"}, std::pair{IDM_SET_TIME, "Set Time"},
                               std::pair{IDM_SYNC_HERE, "Sync Here"}, std::pair{IDM_SETTINGS, "Settings"}}) {
        answer_next_dialog(caption, [caption](HWND dialog) {
            auto font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
            EXPECT_EQ(std::vector<std::string>{}, layout_faults(dialog, font, {})) << caption;
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        command(id);
    }
    // Moved to a monitor at 175 %: the suggested rectangle, and everything laid out for it.
    RECT suggested{40, 30, 40 + scaled(WINDOW_WIDTH, 168), 30 + scaled(WINDOW_HEIGHT, 168)}, now;
    SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(168, 168), reinterpret_cast<LPARAM>(&suggested));
    GetWindowRect(window, &now);
    EXPECT_TRUE(EqualRect(&suggested, &now));
    GetClientRect(app.play_button, &now);
    EXPECT_EQ(scaled(200, 168), now.right);
    EXPECT_EQ(std::vector<std::string>{}, main_window_faults());
    // The cover keeps its whole monitor, in the monitor's pixels, through a change of DPI.
    seek(app.clock, 3);
    carry_out_due_events();
    SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    GetWindowRect(window, &now);
    EXPECT_TRUE(IntersectRect(&suggested, &now, &monitor.rcMonitor) && EqualRect(&suggested, &monitor.rcMonitor));
}

}  // namespace
}  // namespace dvbk
