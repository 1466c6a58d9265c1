#include "settings/settings_dialog_win.h"

#include <string>
#include <utility>

#include "base/control_text_win.h"
#include "resources/resource_ids.h"
#include "settings/settings_store_win.h"
#include "text/decimal_number.h"

namespace dvbk {
namespace {

constexpr int CUSTOM_PRESET = 2;

// The cover's choices as the list shows them, in the order of CoverMonitors.
constexpr const char* COVER_CHOICES[] = {"Player's screen", "All screens"};

// The draft the dialog edits, kept with the dialog window.
AppSettings& draft_of(HWND dialog) {
    return *reinterpret_cast<AppSettings*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

HWND preset_combo(HWND dialog) {
    return GetDlgItem(dialog, IDC_CLICK_PRESET);
}

// The preset list is made at run time. It goes on the row of the "Location: " label, in dialog
// units, so that it lands there whatever the dialog font and the monitor's DPI; it takes the
// dialog's font, as the template's controls do (a later change of DPI re-lays and re-fonts it with
// them), and comes right after the label in the order of the dialog's controls: Tab reaches it
// there, and screen readers name it after the label.
HWND create_preset_combo(HWND dialog) {
    RECT place{60, 28, 60 + 130, 28 + 100};  // the height includes the dropped-down list
    MapDialogRect(dialog, &place);
    auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
    HWND combo = CreateWindowExA(0, "ComboBox", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWN | CBS_HASSTRINGS,
                                 place.left, place.top, place.right - place.left, place.bottom - place.top, dialog,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_CLICK_PRESET)), instance, nullptr);
    SendMessageA(combo, WM_SETFONT, static_cast<WPARAM>(SendMessageA(dialog, WM_GETFONT, 0, 0)), FALSE);
    SetWindowPos(combo, GetDlgItem(dialog, IDC_LOCATION_LABEL), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return combo;
}

// The preset list only matters when the click is on; X and Y can be typed only for "Custom".
void update_click_controls(HWND dialog) {
    const AppSettings& draft = draft_of(dialog);
    EnableWindow(preset_combo(dialog), draft.click_maximize);
    bool read_only = !draft.click_maximize || draft.click_choice != CUSTOM_PRESET;
    SendMessageA(GetDlgItem(dialog, IDC_CLICK_X), EM_SETREADONLY, read_only, 0);
    SendMessageA(GetDlgItem(dialog, IDC_CLICK_Y), EM_SETREADONLY, read_only, 0);
}

ClockSource chosen_source(HWND dialog) {
    LRESULT index = SendDlgItemMessageA(dialog, IDC_CLOCK_SOURCE, CB_GETCURSEL, 0, 0);
    if (index < 0 || index >= static_cast<LRESULT>(clock_source_names.size()))
        return ClockSource::Manual;
    return static_cast<ClockSource>(index);
}

// Only the fields of the chosen player can be edited.
void update_player_controls(HWND dialog) {
    ClockSource source = chosen_source(dialog);
    for (int id : {IDC_VLC_HOST, IDC_VLC_PORT, IDC_VLC_PASSWORD})
        EnableWindow(GetDlgItem(dialog, id), source == ClockSource::Vlc);
    EnableWindow(GetDlgItem(dialog, IDC_MPV_PIPE), source == ClockSource::Mpv);
    EnableWindow(GetDlgItem(dialog, IDC_BROWSER_PORT), source == ClockSource::Browser);
}

INT_PTR on_init_dialog(HWND dialog, LPARAM draft_pointer) {
    SetWindowLongPtrA(dialog, DWLP_USER, draft_pointer);
    const AppSettings& draft = draft_of(dialog);
    PostMessageA(dialog, WM_SETFOCUS, 0, 0);
    HWND combo = create_preset_combo(dialog);
    for (const ClickPreset& preset : click_presets)
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(preset.name));
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(draft.click_choice), 0);
    SetDlgItemTextA(dialog, IDC_TIME_ADJ, format_fixed(draft.time_adj, 1).c_str());
    SetDlgItemTextA(dialog, IDC_CLICK_X, format_fixed(draft.click_x, 3).c_str());
    SetDlgItemTextA(dialog, IDC_CLICK_Y, format_fixed(draft.click_y, 3).c_str());
    CheckDlgButton(dialog, IDC_CLICK_MAXIMIZE, draft.click_maximize ? BST_CHECKED : BST_UNCHECKED);
    update_click_controls(dialog);

    HWND sources = GetDlgItem(dialog, IDC_CLOCK_SOURCE);
    for (const char* name : clock_source_names)
        SendMessageA(sources, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    SendMessageA(sources, CB_SETCURSEL, static_cast<WPARAM>(draft.clock_source), 0);
    SetDlgItemTextA(dialog, IDC_VLC_HOST, draft.vlc_host.c_str());
    SetDlgItemInt(dialog, IDC_VLC_PORT, static_cast<UINT>(draft.vlc_port), FALSE);
    SetDlgItemTextA(dialog, IDC_VLC_PASSWORD, draft.vlc_password.c_str());
    SetDlgItemTextA(dialog, IDC_MPV_PIPE, draft.mpv_pipe.c_str());
    SetDlgItemInt(dialog, IDC_BROWSER_PORT, static_cast<UINT>(draft.browser_port), FALSE);
    update_player_controls(dialog);

    HWND cover = GetDlgItem(dialog, IDC_COVER_MONITORS);
    for (const char* choice : COVER_CHOICES)
        SendMessageA(cover, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice));
    SendMessageA(cover, CB_SETCURSEL, static_cast<WPARAM>(draft.cover_monitors), 0);
    SetDlgItemTextA(dialog, IDC_MARK_LEAD, format_fixed(draft.mark_lead, 1).c_str());
    CheckDlgButton(dialog, IDC_CLOCK_KEYS, draft.clock_keys ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextA(dialog, IDC_SCRIPTS_FOLDER, scripts_folder(draft).c_str());
    CheckDlgButton(dialog, IDC_LOAD_MATCHING, draft.load_matching ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

INT_PTR on_preset_selected(HWND dialog) {
    LRESULT index = SendMessageA(preset_combo(dialog), CB_GETCURSEL, 0, 0);
    if (index >= 0 && index < static_cast<LRESULT>(click_presets.size())) {
        const ClickPreset& preset = click_presets[static_cast<size_t>(index)];
        draft_of(dialog).click_choice = static_cast<int>(index);
        SetDlgItemTextA(dialog, IDC_CLICK_X, preset.x);
        SetDlgItemTextA(dialog, IDC_CLICK_Y, preset.y);
        update_click_controls(dialog);
    }
    return TRUE;
}

// An empty field keeps its setting; anything else is read as a number (no number reads as 0).
void read_field(HWND dialog, int id, double& setting) {
    std::string text = control_text(dialog, id);
    if (!text.empty())
        setting = read_number(text);
}

void read_port(HWND dialog, int id, int& port) {
    BOOL read = FALSE;
    UINT number = GetDlgItemInt(dialog, id, &read, FALSE);
    if (read && is_valid_port(number))
        port = static_cast<int>(number);
}

INT_PTR on_ok(HWND dialog, WPARAM wparam) {
    AppSettings& draft = draft_of(dialog);
    read_field(dialog, IDC_CLICK_X, draft.click_x);
    read_field(dialog, IDC_CLICK_Y, draft.click_y);
    read_field(dialog, IDC_TIME_ADJ, draft.time_adj);
    draft.clock_source = chosen_source(dialog);
    // An empty or unusable field keeps what was there.
    if (std::string host = control_text(dialog, IDC_VLC_HOST); !host.empty())
        draft.vlc_host = host;
    read_port(dialog, IDC_VLC_PORT, draft.vlc_port);
    read_port(dialog, IDC_BROWSER_PORT, draft.browser_port);
    draft.vlc_password = control_text(dialog, IDC_VLC_PASSWORD);
    if (std::string pipe = control_text(dialog, IDC_MPV_PIPE); !pipe.empty())
        draft.mpv_pipe = pipe;
    double lead = draft.mark_lead;
    read_field(dialog, IDC_MARK_LEAD, lead);
    if (lead >= 0.0 && lead <= MAX_MARK_LEAD)
        draft.mark_lead = lead;
    if (SendDlgItemMessageA(dialog, IDC_COVER_MONITORS, CB_GETCURSEL, 0, 0) == 1)
        draft.cover_monitors = CoverMonitors::All;
    else
        draft.cover_monitors = CoverMonitors::Player;
    draft.clock_keys = IsDlgButtonChecked(dialog, IDC_CLOCK_KEYS) == BST_CHECKED;
    // The Documents folder as proposed stays "the Documents folder", wherever that moves.
    std::string folder = control_text(dialog, IDC_SCRIPTS_FOLDER);
    AppSettings by_default = draft;
    by_default.scripts_folder.clear();
    draft.scripts_folder = folder == scripts_folder(by_default) ? "" : folder;
    draft.load_matching = IsDlgButtonChecked(dialog, IDC_LOAD_MATCHING) == BST_CHECKED;
    EndDialog(dialog, static_cast<INT_PTR>(wparam));
    return TRUE;
}

INT_PTR on_click_maximize(HWND dialog) {
    draft_of(dialog).click_maximize = IsDlgButtonChecked(dialog, IDC_CLICK_MAXIMIZE) == BST_CHECKED;
    update_click_controls(dialog);
    return TRUE;
}

INT_PTR on_command(HWND dialog, WPARAM wparam) {
    if (HIWORD(wparam) == CBN_SELCHANGE && LOWORD(wparam) == IDC_CLOCK_SOURCE) {
        update_player_controls(dialog);
        return TRUE;
    }
    if (HIWORD(wparam) == CBN_SELCHANGE && LOWORD(wparam) == IDC_CLICK_PRESET)
        return on_preset_selected(dialog);
    switch (LOWORD(wparam)) {
        case IDOK:
            return on_ok(dialog, wparam);
        case IDCANCEL:
            EndDialog(dialog, static_cast<INT_PTR>(wparam));
            return TRUE;
        case IDC_CLICK_MAXIMIZE:
            return on_click_maximize(dialog);
    }
    return FALSE;
}

}  // namespace

bool edit_settings(HWND owner, AppSettings& settings) {
    AppSettings draft = settings;
    auto instance =
        owner ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE)) : GetModuleHandleA(nullptr);
    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SETTINGS), owner, SettingsDlgProc,
                        reinterpret_cast<LPARAM>(&draft)) != IDOK)
        return false;
    // The answers about browser extensions and the scripts chosen for a copy are not the dialog's:
    // one the user gave while it was open (the question comes up over it) is kept, not overwritten
    // by the copy taken before.
    draft.browser_allowed = std::move(settings.browser_allowed);
    draft.browser_refused = std::move(settings.browser_refused);
    draft.script_choices = std::move(settings.script_choices);
    settings = std::move(draft);
    return true;
}

INT_PTR CALLBACK SettingsDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            return on_init_dialog(dialog, lparam);
        case WM_COMMAND:
            // Controls may speak before WM_INITDIALOG has handed over the draft.
            return GetWindowLongPtrA(dialog, DWLP_USER) ? on_command(dialog, wparam) : FALSE;
    }
    return FALSE;
}

}  // namespace dvbk
