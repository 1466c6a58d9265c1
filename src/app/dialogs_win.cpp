#include <windows.h>
#include <shellapi.h>

#include <string>

#include "app/app_state_win.h"
#include "app/app_win.h"
#include "resources/resource_ids.h"
#include "script/time_text.h"

namespace dvbk {
namespace {

INT_PTR set_time_on_ok(HWND dialog, WPARAM wparam) {
    app.set_time_request = -1.0;
    char text[256] = {};
    UINT length = GetDlgItemTextA(dialog, IDC_SET_TIME_EDIT, text, 255);
    double seconds = 0.0;
    if (length != 0 && parse_time(std::string(text, length), seconds))
        app.set_time_request = seconds;
    EndDialog(dialog, static_cast<INT_PTR>(wparam));
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK SetTimeDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
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
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case IDC_DONATE:
                    // The box stays open: the page opens in the browser beside it.
                    ShellExecuteA(nullptr, "open", donation_url, nullptr, nullptr, SW_SHOWNORMAL);
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
