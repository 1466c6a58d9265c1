#include "app/dialogs_win.h"

#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "base/control_text_win.h"
#include "resources/resource_ids.h"
#include "script/film_time.h"

namespace dvbk {
namespace {

// The typed time goes to the caller's request, -1 when it cannot be read.
INT_PTR set_time_on_ok(HWND dialog, WPARAM wparam) {
    auto* request = reinterpret_cast<double*>(GetWindowLongPtrA(dialog, DWLP_USER));
    std::string text = control_text(dialog, IDC_SET_TIME_EDIT);
    double seconds = 0.0;
    if (request)
        *request = !text.empty() && read_time(text, seconds) ? seconds : -1.0;
    EndDialog(dialog, static_cast<INT_PTR>(wparam));
    return TRUE;
}

// A time as the dialogs show it: to the tenth of a second, never below 0.
std::string shown_time(double seconds) {
    return exact_time_text_ms(std::llround(std::max(seconds, 0.0) * 10.0) * 100);
}

INT_PTR sync_here_on_init(HWND dialog, LPARAM lparam) {
    SetWindowLongPtrA(dialog, DWLP_USER, lparam);
    const auto* moment = reinterpret_cast<const SyncMoment*>(lparam);
    std::string when = "When you chose Sync Here the clock was at " + shown_time(moment->script_time) + ".";
    SetDlgItemTextA(dialog, IDC_SYNC_MOMENT, when.c_str());
    SetDlgItemTextA(dialog, IDC_SYNC_COPY_TIME, shown_time(moment->copy_time).c_str());
    return TRUE;
}

// A time that cannot be read keeps the dialog open with the text selected. The proposal, confirmed
// as shown, stays as exact as it was before it was rounded for showing.
INT_PTR sync_here_on_ok(HWND dialog) {
    auto* moment = reinterpret_cast<SyncMoment*>(GetWindowLongPtrA(dialog, DWLP_USER));
    std::string typed = control_text(dialog, IDC_SYNC_COPY_TIME);
    double seconds = 0.0;
    if (!read_time(typed, seconds) || seconds < 0.0) {
        MessageBeep(MB_ICONWARNING);
        HWND edit = GetDlgItem(dialog, IDC_SYNC_COPY_TIME);
        SetFocus(edit);
        SendMessageA(edit, EM_SETSEL, 0, -1);
        return TRUE;
    }
    if (typed != shown_time(moment->copy_time))
        moment->copy_time = seconds;
    EndDialog(dialog, IDOK);
    return TRUE;
}

INT_PTR choose_script_on_init(HWND dialog, LPARAM lparam) {
    SetWindowLongPtrA(dialog, DWLP_USER, lparam);
    const auto* choice = reinterpret_cast<const ScriptChoice*>(lparam);
    SetDlgItemTextA(dialog, IDC_CHOOSE_HEADING, ("Several scripts fit " + choice->what + ":").c_str());
    HWND list = GetDlgItem(dialog, IDC_CHOOSE_LIST);
    int proposed = choice->chosen;
    for (size_t i = 0; i < choice->entries.size(); ++i) {
        const ScriptChoice::Entry& entry = choice->entries[i];
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.text.c_str()));
        if (proposed < 0 && entry.loads)
            proposed = static_cast<int>(i);
    }
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(std::max(proposed, 0)), 0);
    // A list box scrolls sideways only as far as it is told: to the end of the longest entry, which
    // may be an error naming a whole path.
    HDC dc = GetDC(list);
    HGDIOBJ font = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(list, WM_GETFONT, 0, 0)));
    LONG widest = 0;
    for (const ScriptChoice::Entry& entry : choice->entries) {
        SIZE size{};
        GetTextExtentPoint32A(dc, entry.text.c_str(), static_cast<int>(entry.text.size()), &size);
        widest = std::max(widest, size.cx);
    }
    SelectObject(dc, font);
    ReleaseDC(list, dc);
    SendMessageA(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 2 * GetSystemMetrics(SM_CXEDGE)), 0);
    return TRUE;
}

// A script that does not load cannot be chosen: the dialog stays open.
INT_PTR choose_script_on_ok(HWND dialog) {
    auto* choice = reinterpret_cast<ScriptChoice*>(GetWindowLongPtrA(dialog, DWLP_USER));
    LRESULT index = SendDlgItemMessageA(dialog, IDC_CHOOSE_LIST, LB_GETCURSEL, 0, 0);
    if (index < 0 || static_cast<size_t>(index) >= choice->entries.size() ||
        !choice->entries[static_cast<size_t>(index)].loads) {
        MessageBeep(MB_ICONWARNING);
        return TRUE;
    }
    choice->chosen = static_cast<int>(index);
    EndDialog(dialog, IDOK);
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK ChooseScriptDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            return choose_script_on_init(dialog, lparam);
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK || (LOWORD(wparam) == IDC_CHOOSE_LIST && HIWORD(wparam) == LBN_DBLCLK))
                return choose_script_on_ok(dialog);
            if (LOWORD(wparam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}

INT_PTR CALLBACK SyncHereDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            return sync_here_on_init(dialog, lparam);
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK)
                return sync_here_on_ok(dialog);
            if (LOWORD(wparam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}

INT_PTR CALLBACK SetTimeDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dialog, DWLP_USER, lparam);
            PostMessageA(dialog, WM_SETFOCUS, 0, 0);
            SetDlgItemTextA(dialog, IDC_SET_TIME_EDIT, "0:00:00");
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK)
                return set_time_on_ok(dialog, wparam);
            if (LOWORD(wparam) == IDCANCEL) {
                EndDialog(dialog, static_cast<INT_PTR>(wparam));
                return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            // OK has the focus, so that Enter closes the box rather than opening the donation page.
            SetFocus(GetDlgItem(dialog, IDOK));
            return FALSE;
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case IDC_DONATE:
                    // The box stays open: the page opens in the browser beside it.
                    ShellExecuteA(nullptr, "open", DONATION_URL, nullptr, nullptr, SW_SHOWNORMAL);
                    return FALSE;
                case IDOK:
                case IDCANCEL:
                    EndDialog(dialog, LOWORD(wparam));
                    return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}

}  // namespace dvbk
