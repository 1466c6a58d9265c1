#include "settings/settings_dialog_win.h"

#include <string>

#include "app/app_state_win.h"
#include "resources/resource_ids.h"
#include "settings/number_text.h"

namespace dvbk {
namespace {

constexpr int custom_preset = 2;

void update_player_controls(HWND dialog);

// The preset list is made at run time. It goes on the row of the "Location: " label, in dialog
// units, so that it lands there whatever the dialog font and the screen's resolution.
HWND create_preset_combo(HWND dialog) {
    RECT place{60, 28, 60 + 130, 28 + 100};  // the height includes the dropped-down list
    MapDialogRect(dialog, &place);
    return CreateWindowExA(0, "ComboBox", "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWN | CBS_HASSTRINGS, place.left,
                           place.top, place.right - place.left, place.bottom - place.top, dialog, nullptr,
                           app.app_instance, nullptr);
}

INT_PTR on_init_dialog(HWND dialog) {
    PostMessageA(dialog, WM_SETFOCUS, 0, 0);
    app.preset_combo = create_preset_combo(dialog);
    for (const ClickPreset& preset : click_presets)
        SendMessageA(app.preset_combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(preset.name));
    SendMessageA(app.preset_combo, CB_SETCURSEL, static_cast<WPARAM>(app.settings.click_choice), 0);
    SetDlgItemTextA(dialog, IDC_TIME_ADJ, format_fixed(app.settings.time_adj, 1).c_str());
    SetDlgItemTextA(dialog, IDC_CLICK_X, format_fixed(app.settings.click_x, 3).c_str());
    SetDlgItemTextA(dialog, IDC_CLICK_Y, format_fixed(app.settings.click_y, 3).c_str());
    CheckDlgButton(dialog, IDC_CLICK_MAXIMIZE, app.settings.click_maximize ? BST_CHECKED : BST_UNCHECKED);
    update_click_controls(dialog);

    HWND sources = GetDlgItem(dialog, IDC_CLOCK_SOURCE);
    for (const char* name : clock_source_names)
        SendMessageA(sources, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    SendMessageA(sources, CB_SETCURSEL, static_cast<WPARAM>(app.settings.clock_source), 0);
    SetDlgItemTextA(dialog, IDC_VLC_HOST, app.settings.vlc_host.c_str());
    SetDlgItemInt(dialog, IDC_VLC_PORT, static_cast<UINT>(app.settings.vlc_port), FALSE);
    SetDlgItemTextA(dialog, IDC_VLC_PASSWORD, app.settings.vlc_password.c_str());
    SetDlgItemTextA(dialog, IDC_MPV_PIPE, app.settings.mpv_pipe.c_str());
    update_player_controls(dialog);
    return TRUE;
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
}

std::string dialog_text(HWND dialog, int id) {
    char text[512] = {};
    UINT length = GetDlgItemTextA(dialog, id, text, sizeof text);
    return std::string(text, length);
}

INT_PTR on_preset_selected(HWND dialog, HWND combo) {
    LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (index >= 0 && index < static_cast<LRESULT>(click_presets.size())) {
        const ClickPreset& preset = click_presets[static_cast<size_t>(index)];
        app.settings.click_choice = static_cast<int>(index);
        SetDlgItemTextA(dialog, IDC_CLICK_X, preset.x);
        SetDlgItemTextA(dialog, IDC_CLICK_Y, preset.y);
        update_click_controls(dialog);
    }
    return TRUE;
}

// An empty field keeps its setting; anything else is read as a number (no number reads as 0).
void read_field(HWND dialog, int id, double& setting) {
    char text[256] = {};
    UINT length = GetDlgItemTextA(dialog, id, text, sizeof text);
    if (length != 0)
        setting = parse_number(std::string(text, length));
}

INT_PTR on_ok(HWND dialog, WPARAM wparam) {
    read_field(dialog, IDC_CLICK_X, app.settings.click_x);
    read_field(dialog, IDC_CLICK_Y, app.settings.click_y);
    read_field(dialog, IDC_TIME_ADJ, app.settings.time_adj);
    app.settings.clock_source = chosen_source(dialog);
    // An empty or unusable field keeps what was there.
    if (std::string host = dialog_text(dialog, IDC_VLC_HOST); !host.empty())
        app.settings.vlc_host = host;
    BOOL port_read = FALSE;
    UINT port = GetDlgItemInt(dialog, IDC_VLC_PORT, &port_read, FALSE);
    if (port_read && port > 0 && port <= 65535)
        app.settings.vlc_port = static_cast<int>(port);
    app.settings.vlc_password = dialog_text(dialog, IDC_VLC_PASSWORD);
    if (std::string pipe = dialog_text(dialog, IDC_MPV_PIPE); !pipe.empty())
        app.settings.mpv_pipe = pipe;
    EndDialog(dialog, static_cast<INT_PTR>(wparam));
    return TRUE;
}

INT_PTR on_click_maximize(HWND dialog) {
    app.settings.click_maximize = IsDlgButtonChecked(dialog, IDC_CLICK_MAXIMIZE) == BST_CHECKED;
    update_click_controls(dialog);
    return TRUE;
}

INT_PTR on_command(HWND dialog, WPARAM wparam, LPARAM lparam) {
    if (HIWORD(wparam) == CBN_SELCHANGE && LOWORD(wparam) == IDC_CLOCK_SOURCE) {
        update_player_controls(dialog);
        return TRUE;
    }
    if (HIWORD(wparam) == CBN_SELCHANGE)
        return on_preset_selected(dialog, reinterpret_cast<HWND>(lparam));
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

void update_click_controls(HWND dialog) {
    bool read_only = true;
    if (app.settings.click_maximize) {
        EnableWindow(app.preset_combo, TRUE);
        read_only = app.settings.click_choice != custom_preset;
    } else {
        EnableWindow(app.preset_combo, FALSE);
    }
    SendMessageA(GetDlgItem(dialog, IDC_CLICK_X), EM_SETREADONLY, read_only, 0);
    SendMessageA(GetDlgItem(dialog, IDC_CLICK_Y), EM_SETREADONLY, read_only, 0);
}

INT_PTR CALLBACK SettingsDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            return on_init_dialog(dialog);
        case WM_COMMAND:
            return on_command(dialog, wparam, lparam);
    }
    return FALSE;
}

}  // namespace dvbk
