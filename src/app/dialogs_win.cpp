#include <windows.h>
#include <shellapi.h>

#include <string>

#include "app/app_win.h"
#include "resources/resource_ids.h"
#include "script/film_time.h"

namespace dvbk {
namespace {

// The typed time goes to the caller's request, -1 when it cannot be read.
INT_PTR set_time_on_ok(HWND dialog, WPARAM wparam) {
    auto* request = reinterpret_cast<double*>(GetWindowLongPtrA(dialog, DWLP_USER));
    char text[256] = {};
    UINT length = GetDlgItemTextA(dialog, IDC_SET_TIME_EDIT, text, 255);
    double seconds = 0.0;
    if (request)
        *request = length != 0 && parse_time(std::string(text, length), seconds) ? seconds : -1.0;
    EndDialog(dialog, static_cast<INT_PTR>(wparam));
    return TRUE;
}

}  // namespace

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
            return TRUE;
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
