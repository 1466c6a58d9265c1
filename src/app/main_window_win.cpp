#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include "app/main_window_win.h"

#include "app/app_main_win.h"
#include "app/app_state_win.h"
#include "app/carry_out_win.h"
#include "app/dialogs_win.h"
#include "app/follow_win.h"
#include "app/hot_keys_win.h"
#include "app/recording_win.h"
#include "app/script_file_win.h"
#include "app/script_matching_win.h"
#include "app/user_input.h"
#include "base/control_text_win.h"
#include "base/file_write_win.h"
#include "base/window_ids_win.h"
#include "cli/subtitles.h"
#include "cover/rect_win.h"
#include "resources/resource_ids.h"
#include "resources/window_names.h"
#include "script/film_time.h"
#include "script/script_edit.h"
#include "settings/settings_dialog_win.h"
#include "settings/settings_store_win.h"
#include "text/whole_file.h"

namespace dvbk {
namespace {

// What `line` shows now. The pointer's position only while the clock stands; under the buttons,
// the recording, else which of the clock's keys another program holds.
const std::string& line_text(Line line) {
    static const std::string none;
    switch (line) {
        case Line::Elapsed:
            return app.elapsed_text;
        case Line::Remaining:
            return app.remaining_text;
        case Line::Action:
            return app.action_text;
        case Line::NextAction:
            return app.next_action_text;
        case Line::Cursor:
            return app.clock.paused ? app.cursor_text : none;
        case Line::AudioError:
            return app.audio_error_text;
        case Line::LoadError:
            return app.script.load_error.empty() ? app.match_text : app.script.load_error;
        case Line::Clock:
            return app.clock_text;
        case Line::Record:
            return app.record_text.empty() ? app.keys_text : app.record_text;
        case Line::Sync:
            return app.sync_text;
    }
    return none;
}

// Room for a path of MAX_PATH characters in UTF-8, the ANSI code page the manifest asks for.
constexpr DWORD PATH_BYTES = MAX_PATH * 3;

HWND create_child(HWND parent, const char* window_class, const char* text, int id, DWORD style, DWORD ex_style) {
    return CreateWindowExA(ex_style, window_class, text, WS_CHILD | style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
}

// The window's DPI. Systems without GetDpiForWindow (before Windows 10 1607) have only the
// system's, which the screen reports.
int window_dpi(HWND window) {
    using DpiCall = UINT(WINAPI*)(HWND);
    static const auto get_dpi = reinterpret_cast<DpiCall>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (UINT dpi = get_dpi ? get_dpi(window) : 0; dpi != 0)
        return static_cast<int>(dpi);
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : LAYOUT_DPI;
}

void place_child(int id, Rect place, HFONT font) {
    HWND child = GetDlgItem(app.main_window, id);
    SetWindowPos(child, nullptr, place.left, place.top, place.width(), place.height(), SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

// The font and the places of the controls and the lines at `dpi`.
void lay_out(int dpi) {
    app.dpi = dpi;
    ScopedFont font(CreateFontA(scaled(FONT_CELL_HEIGHT, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                FONT_FACE));
    for (const ControlLayout& control : control_layout)
        place_child(control.id, scaled(control.place, dpi), font.get());
    for (size_t line = 0; line < std::size(line_layout); ++line)
        place_child(IDC_FIRST_LINE + static_cast<int>(line), scaled(line_layout[line], dpi), font.get());
    place_child(IDC_DELAY_LABEL, scaled(delay_label_band, dpi), font.get());
    app.font = std::move(font);
    InvalidateRect(app.main_window, nullptr, TRUE);
}

HWND create_line(HWND window, Line line) {
    return create_child(window, "STATIC", "", IDC_FIRST_LINE + static_cast<int>(line),
                        WS_GROUP | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0);
}

// The controls go in the order Tab and screen readers take them: top to bottom, each field right
// after the label that names it. Every control starts a group of its own but the nudges, which the
// arrow keys move between.
LRESULT on_create() {
    HWND window = app.main_window;
    for (int line = 0; line <= static_cast<int>(Line::Clock); ++line)
        create_line(window, static_cast<Line>(line));
    create_child(window, "STATIC", "&Delay Time:", IDC_DELAY_LABEL, WS_GROUP | SS_LEFTNOWORDWRAP | SS_CENTERIMAGE, 0);
    app.delay_edit =
        create_child(window, "EDIT", "0", IDC_DELAY_EDIT, WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE);
    const DWORD button = WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
    app.play_button = create_child(window, "BUTTON", "&Open File", IDC_PLAY_BUTTON, button | WS_GROUP, 0);
    create_child(window, "BUTTON", "&<<(2s)", IDC_BACK_2S, button | WS_GROUP, 0);
    create_child(window, "BUTTON", "<&(0.2s)", IDC_BACK_02S, button, 0);
    create_child(window, "BUTTON", ">(0.2s&)", IDC_FORWARD_02S, button, 0);
    create_child(window, "BUTTON", "&>>(2s)", IDC_FORWARD_2S, button, 0);
    create_line(window, Line::Record);
    create_line(window, Line::Sync);
    int dpi = window_dpi(window);
    lay_out(dpi);
    SetWindowPos(window, nullptr, 0, 0, scaled(WINDOW_WIDTH, dpi), scaled(WINDOW_HEIGHT, dpi),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    show_delay_field(true);
    read_colours();
    show_lines();
    // A script dropped on the window opens like File Open.
    DragAcceptFiles(window, TRUE);
    app.audio_muter->watch_default_output(window, WM_DEFAULT_OUTPUT_CHANGED);
    return 0;
}

// The window is on a monitor of another DPI now, or the monitor's scale changed: the system suggests
// a rectangle of the same size in inches, and the font and controls follow.
LRESULT on_dpi_changed(WPARAM wparam, const RECT& suggested) {
    // The cover places the window itself, maximised on the player's monitor or stretched over every
    // monitor, and the system sizes a maximised window to its monitor: a suggested rectangle, which
    // may come while the window is on its way there, would pull the cover's edges in off the screen's.
    if (!app.covered && !IsZoomed(app.main_window) && !IsIconic(app.main_window))
        SetWindowPos(app.main_window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                     suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    lay_out(LOWORD(wparam));
    return 0;
}

// The designed teal with black text, or in high contrast the user's window colours. The cover is
// the window's background either way, and as opaque.
COLORREF background_colour() {
    return app.high_contrast ? GetSysColor(COLOR_WINDOW) : BACKGROUND_COLOUR;
}

HBRUSH background_brush() {
    return app.high_contrast ? GetSysColorBrush(COLOR_WINDOW) : app.background_brush;
}

// The lines and the delay field's label, on the window's background.
LRESULT on_static_colour(HDC dc) {
    SetTextColor(dc, app.high_contrast ? GetSysColor(COLOR_WINDOWTEXT) : TEXT_COLOUR);
    SetBkColor(dc, background_colour());
    return reinterpret_cast<LRESULT>(background_brush());
}

void enable_commands(const UINT (&states)[5]) {
    const UINT ids[5] = {IDM_SET_TIME, IDM_SETTINGS, IDM_OPEN, IDM_PLAY, IDM_PAUSE};
    for (int i = 0; i < 5; ++i)
        EnableMenuItem(app.main_menu, ids[i], MF_BYCOMMAND | states[i]);
    // A new script, like another script, only while the clock stands.
    EnableMenuItem(app.main_menu, IDM_NEW_SCRIPT, MF_BYCOMMAND | states[2]);
    EnableMenuItem(app.main_menu, IDM_NEW_FROM_SUBTITLES, MF_BYCOMMAND | states[2]);
}

// The delay typed beside the button, in milliseconds; 0 for none or an unreadable entry.
DWORD typed_delay() {
    std::string text = control_text(app.main_window, IDC_DELAY_EDIT);
    // Nothing that long is a delay.
    if (text.size() >= 256)
        return 0;
    double seconds = 0.0;
    if (text.empty() || !read_time(text, seconds))
        return 0;
    return delay_milliseconds(seconds);
}

// The seconds left before a delayed start, rounded up, on the button; the timer comes back when
// that number changes or the start is due.
void show_countdown(double now) {
    double left = *app.start_due - now;
    double seconds = std::ceil(left / 1000.0);
    SetWindowTextA(app.play_button,
                   ("St&arting in " + std::to_string(static_cast<unsigned long long>(seconds)) + " s").c_str());
    SetTimer(app.main_window, START_TIMER, static_cast<UINT>(std::ceil(left - (seconds - 1.0) * 1000.0)), nullptr);
}

void start_clock() {
    // The delay is read before the field is hidden and cleared, and counts from this moment.
    DWORD delay = typed_delay();
    double now = clock_ticks();
    std::string label = control_text(app.main_window, IDC_PLAY_BUTTON);
    // The menus are as while running: the wait ends in a run unless cancelled with the button or
    // Pause.
    show_clock_running(true);
    if (delay == 0) {
        resume(app.clock);
        arm_event_timer();
        return;
    }
    app.start_due = now + delay;
    app.label_before_start = label;
    show_countdown(now);
}

void on_start_timer() {
    if (!app.start_due) {
        KillTimer(app.main_window, START_TIMER);
        return;
    }
    double now = clock_ticks();
    if (now < *app.start_due) {
        show_countdown(now);
        return;
    }
    // A timer message comes a little after its time; the clock runs from the moment the start was
    // due all the same.
    double late = (now - *app.start_due) / 1000.0;
    show_clock_running(true);
    resume(app.clock);
    seek(app.clock, position(app.clock) + film_seconds(app.clock, late));
    arm_event_timer();
}

void cancel_start() {
    std::string label = app.label_before_start;
    show_clock_running(false);
    SetWindowTextA(app.play_button, label.c_str());
}

void stop_clock() {
    pause(app.clock);
    show_clock_running(false);
}

LRESULT on_nudge(double step) {
    double before = position(app.clock);
    nudge(app.clock, step);
    note_user_move(position(app.clock) - before);
    arm_event_timer();
    return 0;
}

void run_about() {
    DialogBoxParamA(app.app_instance, MAKEINTRESOURCEA(IDD_ABOUT), app.main_window, AboutDlgProc, 0);
}

void run_set_time() {
    double request = -1.0;
    INT_PTR result = DialogBoxParamA(app.app_instance, MAKEINTRESOURCEA(IDD_SET_TIME), app.main_window, SetTimeDlgProc,
                                     reinterpret_cast<LPARAM>(&request));
    if (result == IDOK && request >= 0.0) {
        double before = position(app.clock);
        seek(app.clock, request);
        note_user_move(request - before);
        resync_after_seek(request);
    }
}

// Settings > Sync Here: the moment is when the user chose it; the dialog asks what the player showed
// then, proposing what the clock and the map make of it.
void run_sync_here() {
    SyncMoment moment{position(app.clock), copy_time_now()};
    if (DialogBoxParamA(app.app_instance, MAKEINTRESOURCEA(IDD_SYNC_HERE), app.main_window, SyncHereDlgProc,
                        reinterpret_cast<LPARAM>(&moment)) == IDOK)
        sync_here(moment.script_time, moment.copy_time);
}

void run_settings() {
    if (!edit_settings(app.main_window, app.settings))
        return;
    app.clock.clock_adj = app.settings.time_adj;
    arm_event_timer();
    save_settings(app.settings);
    start_following();
    apply_clock_keys();
    index_scripts_folder();
    show_lines();
}

void open_chosen_script() {
    choose_script();
    show_lines();
}

// A file that ships beside the program is looked for in the folder the program was started from;
// when it is not there (started through a file association, say), in the program's own folder,
// where the setup and the build put it. The folder is returned.
std::string program_file_folder(const char* name) {
    std::string folder = app.startup_dir;
    if (GetFileAttributesA((folder + "\\" + name).c_str()) == INVALID_FILE_ATTRIBUTES) {
        char exe[MAX_PATH] = {};
        DWORD length = GetModuleFileNameA(nullptr, exe, MAX_PATH);
        std::string exe_path(exe, length);
        size_t slash = exe_path.find_last_of('\\');
        if (length > 0 && length < MAX_PATH && slash != std::string::npos)
            folder = exe_path.substr(0, slash);
    }
    return folder;
}

void open_help() {
    ShellExecuteA(nullptr, "open", "DunvelBlenkHelp.txt", nullptr, program_file_folder("DunvelBlenkHelp.txt").c_str(),
                  SW_SHOWNORMAL);
}

// The file dialog's settings for a script's name in `file_name`, modal over the main window: nothing
// there can be pressed while the dialog is open.
OPENFILENAMEA script_file_dialog(char (&file_name)[PATH_BYTES], const char* filter, DWORD flags) {
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = app.main_window;
    dialog.lpstrFile = file_name;
    dialog.nMaxFile = sizeof file_name;
    dialog.nFilterIndex = 1;
    dialog.lpstrFilter = filter;
    dialog.Flags = flags;
    return dialog;
}

// File > New Script: a file chosen in the save dialog gets the new script's comment lines and
// becomes the current script, ready to record into.
void choose_new_script() {
    char file_name[PATH_BYTES] = {};
    OPENFILENAMEA dialog =
        script_file_dialog(file_name, "DVBK\0*.dvbk\0All\0*.*\0", OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT);
    dialog.lpstrDefExt = "dvbk";
    if (!GetSaveFileNameA(&dialog))
        return;
    if (!write_file_atomically(file_name, new_script_text())) {
        MessageBoxA(app.main_window, ("Could not write " + std::string(file_name)).c_str(), "Error", MB_OK);
        return;
    }
    open_new_script(file_name);
    show_lines();
}

// File > Scripts Folder: the folder in Explorer, made on first use.
void open_scripts_folder() {
    std::string folder = made_scripts_folder(app.settings);
    if (folder.empty()) {
        MessageBoxA(app.main_window,
                    ("The scripts folder " + scripts_folder(app.settings) + " cannot be made.").c_str(), "Error",
                    MB_OK | MB_ICONERROR);
        return;
    }
    ShellExecuteA(app.main_window, "open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// The caption of what File > New Script from Subtitles tells.
constexpr const char* SUBTITLES_CAPTION = "New Script from Subtitles";

// The script made from subtitles goes beside them under their name; when a file of that name is
// there already, the save dialog proposes it and the user decides.
bool choose_subtitles_script_name(const std::string& subtitles, std::string& script) {
    size_t slash = subtitles.find_last_of("\\/");
    size_t dot = subtitles.find_last_of('.');
    script = (dot == std::string::npos || (slash != std::string::npos && dot < slash) ? subtitles
                                                                                      : subtitles.substr(0, dot)) +
             ".dvbk";
    if (GetFileAttributesA(script.c_str()) == INVALID_FILE_ATTRIBUTES)
        return true;
    char file_name[PATH_BYTES] = {};
    if (script.size() >= sizeof file_name)
        return false;
    script.copy(file_name, script.size());
    OPENFILENAMEA dialog =
        script_file_dialog(file_name, "DVBK\0*.dvbk\0All\0*.*\0", OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT);
    dialog.lpstrDefExt = "dvbk";
    if (!GetSaveFileNameA(&dialog))
        return false;
    script = file_name;
    return true;
}

void show_subtitles_error(const std::string& message) {
    MessageBoxA(app.main_window, message.c_str(), "Error", MB_OK | MB_ICONERROR);
}

// File > New Script from Subtitles: mute ranges around the words of the list beside the program,
// saved beside the subtitles and opened, to be corrected like any script.
void choose_subtitles_script() {
    char file_name[PATH_BYTES] = {};
    OPENFILENAMEA dialog = script_file_dialog(file_name, "Subtitles (*.srt;*.vtt)\0*.srt;*.vtt\0All\0*.*\0",
                                              OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST);
    dialog.lpstrTitle = "Subtitles for the New Script";
    if (!GetOpenFileNameA(&dialog))
        return;
    std::string subtitles_path = file_name;
    std::string words_path = program_file_folder(WORD_LIST_FILE) + "\\" + WORD_LIST_FILE;
    std::string words_text;
    std::string subtitles;
    std::string error;
    if (!read_whole_file(words_path, words_text, error))
        return show_subtitles_error(file_error_message(words_path, error));
    if (!read_whole_file(subtitles_path, subtitles, error))
        return show_subtitles_error(file_error_message(subtitles_path, error));
    WordList words;
    std::vector<std::string> warnings;
    if (!read_word_list(words_text, words_path, words, warnings, error))
        return show_subtitles_error(error);
    warnings.clear();  // the list's own lines are the user's business; its file says how to write them
    SubtitleScript made;
    if (!subtitle_script(subtitles, subtitles_path, words, {}, made, warnings, error))
        return show_subtitles_error(error);
    std::string summary = subtitle_summary(made);
    std::string skipped;
    if (!warnings.empty()) {
        skipped = "\n\n" + std::to_string(warnings.size()) + (warnings.size() == 1 ? " cue" : " cues") +
                  " could not be read and " + (warnings.size() == 1 ? "was" : "were") +
                  " left out, the first: " + warnings.front();
    }
    if (made.ranges == 0) {
        MessageBoxA(
            app.main_window,
            ("No subtitle has a word of the list " + words_path + ": " + summary + ". No script was made." + skipped)
                .c_str(),
            SUBTITLES_CAPTION, MB_OK | MB_ICONINFORMATION);
        return;
    }
    std::string script_path;
    if (!choose_subtitles_script_name(subtitles_path, script_path))
        return;
    if (!write_file_atomically(script_path, made.text)) {
        show_subtitles_error("Could not write " + script_path);
        return;
    }
    open_script(script_path);
    show_lines();
    MessageBoxA(app.main_window,
                (summary + ".\n\nSaved as " + script_path +
                 ". Each range mutes the words named after its times; correct them as in any script." + skipped)
                    .c_str(),
                SUBTITLES_CAPTION, MB_OK | MB_ICONINFORMATION);
}

LRESULT on_command(WPARAM wparam, LPARAM lparam) {
    switch (LOWORD(wparam)) {
        case IDM_ABOUT:
            run_about();
            return 0;
        case IDM_EXIT:
            DestroyWindow(app.main_window);
            return 0;
        case IDM_SET_TIME:
            run_set_time();
            return 0;
        case IDC_PLAY_BUTTON:
        case IDM_PLAY:
        case IDM_PAUSE:
            toggle_play_pause();
            return 0;
        case IDM_OPEN:
            open_chosen_script();
            return 0;
        case IDM_SETTINGS:
            run_settings();
            return 0;
        case IDC_BACK_2S:
            return on_nudge(-2.0);
        case IDC_BACK_02S:
            return on_nudge(-0.2);
        case IDC_FORWARD_02S:
            return on_nudge(0.2);
        case IDC_FORWARD_2S:
            return on_nudge(2.0);
        case IDM_HELP:
            open_help();
            return 0;
        case IDM_RELOAD:
            reload_script();
            return 0;
        case IDM_RECORD:
            toggle_recording();
            return 0;
        case IDM_NEW_SCRIPT:
            choose_new_script();
            return 0;
        case IDM_NEW_FROM_SUBTITLES:
            choose_subtitles_script();
            return 0;
        case IDM_SCRIPTS_FOLDER:
            open_scripts_folder();
            return 0;
        case IDM_SYNC_HERE:
            run_sync_here();
            return 0;
        case IDM_CLEAR_SYNC:
            clear_sync();
            return 0;
    }
    return DefWindowProcA(app.main_window, WM_COMMAND, wparam, lparam);
}

LRESULT on_drop_files(HDROP drop) {
    // Like File Open, which is offered only while the clock is paused and no start is waiting.
    char path[PATH_BYTES] = {};
    if (app.clock.paused && !app.start_due && DragQueryFileA(drop, 0, path, PATH_BYTES) > 0) {
        open_script(path);
        show_lines();
    }
    DragFinish(drop);
    return 0;
}

LRESULT on_timer(WPARAM id, LPARAM lparam) {
    // Our own loop has carried out whatever fell due before this message reached us. A modal loop
    // has not: the About box and the menus are there while the clock runs, and while one is open
    // only the timers' messages still reach the window.
    if (id == EVENT_TIMER) {
        carry_out_due_events();
        arm_event_timer();
        return 0;
    }
    if (id == WAKE_TIMER) {
        carry_out_due_events();
        check_player_silence();
        return 0;
    }
    if (id == START_TIMER) {
        on_start_timer();
        return 0;
    }
    if (id == CLICK_TIMER) {
        click_step(app.cover, app.main_window);
        return 0;
    }
    if (id == RELOAD_TIMER) {
        on_reload_timer();
        return 0;
    }
    if (id == INDEX_TIMER) {
        on_index_timer();
        return 0;
    }
    return DefWindowProcA(app.main_window, WM_TIMER, id, lparam);
}

LRESULT on_end_session(WPARAM ending) {
    // At log-off or shut-down the process ends without a WM_DESTROY.
    if (ending)
        unmute_at_exit();
    return 0;
}

LRESULT on_destroy() {
    end_click(app.cover, app.main_window);
    stop_recording();
    unregister_hot_keys(app.main_window, clock_keys);
    stop_watching_script_folder();
    stop_following();
    unmute_at_exit();
    set_fine_timer(false);
    PostQuitMessage(0);
    return 0;
}

// What is in force, for the tools that watch the program: 1 the picture covered, 2 the sound muted.
UINT action_query_message() {
    static const UINT message = RegisterWindowMessageA(ACTION_QUERY_MESSAGE);
    return message;
}

// A clock key does what its button does, once there is a clock to run: without a script the button
// opens one, a dialog no key pressed in another program should bring up. The others are the
// recording keys.
LRESULT on_hot_key(int id) {
    if (!is_clock_key(id))
        on_record_key(id);
    else if (app.script_loaded)
        on_command(static_cast<WPARAM>(id), 0);
    return 0;
}

// Leaving the window, the focused control is remembered; coming back, it has the focus again (at
// first the first control Tab reaches), rather than the window itself, where keys reach nothing.
LRESULT on_activate(WPARAM wparam, LPARAM lparam) {
    HWND window = app.main_window;
    if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(window, focus))
            app.focused_control = focus;
        return 0;
    }
    if (HIWORD(wparam))  // minimised: nothing takes keys
        return DefWindowProcA(window, WM_ACTIVATE, wparam, lparam);
    HWND control = app.focused_control;
    if (!control || !IsChild(window, control) || !IsWindowVisible(control) || !IsWindowEnabled(control))
        control = GetNextDlgTabItem(window, nullptr, FALSE);
    SetFocus(control ? control : window);
    return 0;
}

// The message loop's IsDialogMessage moves the focus as in a dialog: with Tab and Shift+Tab
// (`lparam` 0, `wparam` nonzero for backwards), and to a given control (`lparam` nonzero), as for a
// label's mnemonic, which then moves on to the field after the label. A field reached so has its
// text selected, to be typed over.
LRESULT on_next_control(WPARAM wparam, LPARAM lparam) {
    HWND next =
        LOWORD(lparam) ? reinterpret_cast<HWND>(wparam) : GetNextDlgTabItem(app.main_window, GetFocus(), wparam != 0);
    if (!next)
        return 0;
    SetFocus(next);
    if (SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
        SendMessageA(next, EM_SETSEL, 0, -1);
    return 0;
}

}  // namespace

void show_line(Line line) {
    HWND control = GetDlgItem(app.main_window, IDC_FIRST_LINE + static_cast<int>(line));
    const std::string& text = line_text(line);
    // An unchanged text is left alone: it would flicker, and a screen reader would hear of it.
    if (control_text(app.main_window, IDC_FIRST_LINE + static_cast<int>(line)) != text)
        SetWindowTextA(control, text.c_str());
    ShowWindow(control, text.empty() ? SW_HIDE : SW_SHOWNA);
}

void show_lines() {
    for (size_t line = 0; line < std::size(line_layout); ++line)
        show_line(static_cast<Line>(line));
}

void read_colours() {
    app.high_contrast = app.high_contrast_on();
    SetClassLongPtrA(app.main_window, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(background_brush()));
    RedrawWindow(app.main_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool system_high_contrast() {
    HIGHCONTRASTA contrast{};
    contrast.cbSize = sizeof contrast;
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

void show_delay_field(bool shown) {
    if (shown)
        SetWindowTextA(app.delay_edit, "0");
    for (HWND control : {GetDlgItem(app.main_window, IDC_DELAY_LABEL), app.delay_edit})
        ShowWindow(control, shown ? SW_SHOWNORMAL : SW_HIDE);
}

void show_clock_running(bool running) {
    KillTimer(app.main_window, START_TIMER);
    app.start_due.reset();
    if (running) {
        if (app.script_loaded)
            SetWindowTextA(app.play_button, "P&ause");
        enable_commands({MF_GRAYED, MF_GRAYED, MF_GRAYED, MF_GRAYED, MF_ENABLED});
        show_delay_field(false);
    } else {
        show_delay_field(true);
        if (app.script_loaded)
            SetWindowTextA(app.play_button, "Pl&ay");
        enable_commands({MF_ENABLED, MF_ENABLED, MF_ENABLED, MF_ENABLED, MF_GRAYED});
    }
    arm_event_timer();
    show_lines();
}

void toggle_play_pause() {
    if (!app.script_loaded)
        choose_script();
    else if (app.start_due)
        cancel_start();
    else if (app.clock.paused)
        start_clock();
    else
        stop_clock();
}

bool choose_script() {
    char file_name[PATH_BYTES] = {};
    OPENFILENAMEA dialog =
        script_file_dialog(file_name, "All\0*.*\0Text\0*.txt\0DVBK\0*.dvbk\0", OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST);
    if (!GetOpenFileNameA(&dialog))
        return false;
    open_script(file_name);
    return true;
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE:
            // Set here rather than when CreateWindowExA returns: the handlers reach the window
            // through the state record from its first message on.
            app.main_window = window;
            return on_create();
        case WM_CTLCOLORSTATIC:
            return on_static_colour(reinterpret_cast<HDC>(wparam));
        case WM_SETTINGCHANGE:
        case WM_SYSCOLORCHANGE:
            read_colours();
            return 0;
        case WM_ACTIVATE:
            return on_activate(wparam, lparam);
        case WM_NEXTDLGCTL:
            return on_next_control(wparam, lparam);
        case DM_GETDEFID:  // Enter where no button has the focus (in the delay field) presses Start
            return MAKELRESULT(IDC_PLAY_BUTTON, DC_HASDEFID);
        case WM_COMMAND:
            return on_command(wparam, lparam);
        case WM_TIMER:
            return on_timer(wparam, lparam);
        case WM_ENDSESSION:
            return on_end_session(wparam);
        case WM_DROPFILES:
            return on_drop_files(reinterpret_cast<HDROP>(wparam));
        case WM_DPICHANGED:
            return on_dpi_changed(wparam, *reinterpret_cast<const RECT*>(lparam));
        case WM_DESTROY:
            return on_destroy();
        case WM_PLAYER_REPLY:
            on_player_replies();
            return 0;
        case WM_DEFAULT_OUTPUT_CHANGED:
            follow_default_output();
            return 0;
        case WM_SCRIPTS_FOLDER_CHANGED:
            on_scripts_folder_changed();
            return 0;
        case WM_SCRIPT_FOLDER_CHANGED:
            on_script_folder_changed();
            return 0;
        case WM_HOTKEY:
            return on_hot_key(static_cast<int>(wparam));
    }
    if (message == position_query_message() && message != 0)
        return static_cast<LRESULT>(std::llround(position(app.clock) * 1000.0));
    if (message == action_query_message() && message != 0)
        return (app.covered ? 1 : 0) | (app.muted ? 2 : 0);
    return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace dvbk
