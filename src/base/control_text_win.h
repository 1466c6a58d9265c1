// Reading what a control shows, for the main window and the dialogs alike.
#pragma once

#include <windows.h>

#include <string>

namespace dvbk {

// The whole text of the control `id` of `window` (a dialog, or the main window for its buttons and
// field); empty when there is no such control.
inline std::string control_text(HWND window, int id) {
    HWND control = GetDlgItem(window, id);
    int length = control ? GetWindowTextLengthA(control) : 0;
    if (length <= 0)
        return {};
    // The length may overstate what is copied (text converted to the ANSI code page), never
    // understate it.
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int copied = GetWindowTextA(control, text.data(), length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

}  // namespace dvbk
