#include "app/app_main_win.h"

#include <optional>
#include <string>

#include "app/app_state_win.h"
#include "app/carry_out_win.h"
#include "app/follow_win.h"
#include "app/hot_keys_win.h"
#include "app/main_window_win.h"
#include "app/script_file_win.h"
#include "app/script_matching_win.h"
#include "app/user_input.h"
#include "base/scoped_win.h"
#include "base/window_ids_win.h"
#include "resources/resource_ids.h"
#include "settings/mute_marker_win.h"
#include "settings/settings_store_win.h"

namespace dvbk {

AppState app;

namespace {

// A marker write takes milliseconds; a disk that takes longer is not waited for at exit.
constexpr unsigned MARKER_FLUSH_MS = 2000;

}  // namespace

AppState::AppState() {
    reset(clock);
}

void register_main_window_class(HINSTANCE instance) {
    if (!app.background_brush)
        app.background_brush = CreateSolidBrush(BACKGROUND_COLOUR);
    WNDCLASSEXA window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = MainWndProc;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_LARGE_ICON));
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    window_class.hbrBackground = app.background_brush;
    window_class.lpszMenuName = MAKEINTRESOURCEA(IDR_MAIN_MENU);
    window_class.lpszClassName = app.window_class_name;
    window_class.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SMALL_ICON));
    RegisterClassExA(&window_class);
}

bool create_main_window(HINSTANCE instance, int show_command) {
    app.app_instance = instance;
    // Clipping the buttons out of its own painting also keeps the status lines' repaint, every
    // second, from repainting the buttons under them. The size is for 96 DPI; the window takes the
    // size for its monitor's as it is created.
    app.main_window =
        CreateWindowExA(0, app.window_class_name, app.window_title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                        CW_USEDEFAULT, 0, WINDOW_WIDTH, WINDOW_HEIGHT, nullptr, nullptr, instance, nullptr);
    if (!app.main_window)
        return false;
    app.main_menu = GetMenu(app.main_window);
    prepare_cover(app.cover, app.main_window);
    // The wake timer has no callback: its messages only make the loop run at least ten times a
    // second, so that due events are carried out within about 100 ms.
    SetTimer(app.main_window, WAKE_TIMER, 100, nullptr);
    SetTimer(app.main_window, STATUS_TIMER, 1000, refresh_status_timer);
    keep_timing_when_hidden();
    EnableMenuItem(app.main_menu, IDM_PAUSE, MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(app.main_menu, IDM_PLAY, MF_BYCOMMAND | MF_GRAYED);
    ShowWindow(app.main_window, show_command);
    UpdateWindow(app.main_window);
    return true;
}

void recover_left_mute() {
    std::optional<MuteMarker> marker = load_mute_marker();
    if (!marker || process_running(marker->process))
        return;
    if (app.audio_muter->unmute_left_behind(marker->output))
        app.audio_error_text = "Sound switched back on: an earlier run ended while muting";
    else if (!app.audio_muter->last_error().empty())
        app.audio_error_text = app.audio_muter->last_error();
    remove_mute_marker(marker->process);
}

void unmute_at_exit() {
    // No mute is to come, and none is left: a clean end leaves no note for the next run.
    if (app.audio_muter) {
        app.audio_muter->expect_mute(false);
        app.audio_muter->unmute();
    }
    // The marker's removal is written from its own thread: a clean end waits for it, so that it
    // leaves no marker behind.
    flush_mute_marker(MARKER_FLUSH_MS);
}

LONG WINAPI unmute_before_crash(EXCEPTION_POINTERS*) {
    unmute_at_exit();
    return EXCEPTION_CONTINUE_SEARCH;
}

void install_crash_unmute() {
    SetUnhandledExceptionFilter(unmute_before_crash);
}

int run_app(HINSTANCE instance, const char* command_line, int show_command) {
    // The user-interface thread's one apartment, entered before any COM object exists and left
    // after the last one (the audio muter's device) is gone.
    ScopedCom com;
    char current_dir[MAX_PATH + 1] = {};
    if (GetCurrentDirectoryA(sizeof current_dir, current_dir) < sizeof current_dir)
        app.startup_dir = current_dir;
    LoadStringA(instance, IDS_WINDOW_TITLE, app.window_title, sizeof app.window_title);
    LoadStringA(instance, IDS_WINDOW_CLASS, app.window_class_name, sizeof app.window_class_name);
    install_crash_unmute();
    register_main_window_class(instance);
    app.next_event = app.script.events.size();
    if (!create_main_window(instance, show_command))
        return 0;
    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    load_settings(app.settings);
    // The saved drift correction is in force from the start, not only once the Settings dialog
    // has been confirmed again. The clock is paused at 0, so this moves nothing.
    app.clock.clock_adj = app.settings.time_adj;
    load_sync_memory();
    index_scripts_folder();
    start_following();
    apply_clock_keys();

    // Before the script's load, which may note a mute of its own over the marker left behind.
    recover_left_mute();
    std::string recovered = app.audio_error_text;
    CommandLineRequest request = classify_command_line(command_line ? command_line : "");
    if (request.request == StartupRequest::ShowUsage)
        MessageBoxA(nullptr, USAGE_TEXT, "Command Line Options", MB_OK);
    else if (request.request == StartupRequest::OpenScript)
        open_script(request.path);
    // The load clears the line that tells of it.
    if (app.audio_error_text.empty())
        app.audio_error_text = recovered;

    int exit_code = run_message_loop(accelerators);
    app.audio_muter.reset();
    return exit_code;
}

namespace {

// The main window's keys: its accelerators (F5, Alt+?) whichever of its controls has the focus, then
// Tab, arrows, Enter and mnemonics as in a dialog. Messages for any other window are left alone.
bool take_window_key(MSG& message, HACCEL accelerators) {
    HWND window = app.main_window;
    if (!window || (message.hwnd != window && !IsChild(window, message.hwnd)))
        return false;
    return TranslateAcceleratorA(window, accelerators, &message) || IsDialogMessageA(window, &message);
}

}  // namespace

int run_message_loop(HACCEL accelerators) {
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        carry_out_due_events();
        if (!take_window_key(message, accelerators)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

}  // namespace dvbk
