// Walks the real program's main window and each of its dialogs from another process, as a screen
// reader does (Active Accessibility's proxies for standard controls), and drives them with keys as
// a keyboard user does. Prints one line per control: class, name, role, keyboard shortcut and
// whether Tab stops there. Fails (exit 1) on
//   - a control a screen reader cannot name (an edit or a list named by no label before it),
//   - a button or a field's label without a mnemonic, or two controls of one window (or a control and
//     the menu bar) with the same, or a label's mnemonic that does not reach its field,
//   - a control that takes input without a tab stop, or Tab not going round every control once,
//   - a dialog without OK as the button Enter presses, or one that Esc does not close.
// Starts DunvelBlenk.exe from its own folder with a script of its own, and ends it.
#include <windows.h>
#include <oleacc.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "resources/window_names.h"

namespace {

int failures = 0;

void fail(const std::string& where, const std::string& what) {
    std::printf("FAIL %s: %s\n", where.c_str(), what.c_str());
    ++failures;
}

template <class Done>
bool wait_for(Done done, int milliseconds) {
    for (int waited = 0; waited < milliseconds; waited += 20) {
        if (done())
            return true;
        Sleep(20);
    }
    return done();
}

std::string narrow(BSTR text) {
    if (!text)
        return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(out.size() - 1);
    SysFreeString(text);
    return out;
}

std::string class_of(HWND control) {
    char name[64] = {};
    GetClassNameA(control, name, sizeof name);
    return name;
}

// What a screen reader learns of one control.
struct Seen {
    HWND control;
    std::string kind;  // its window class
    std::string name;
    std::string role;
    std::string shortcut;  // "Alt+X", or empty
};

Seen look_at(HWND control) {
    Seen seen{control, class_of(control), "", "", ""};
    // The interface's id by __uuidof: MinGW's import library makes IID_IAccessible the address of an
    // import stub rather than of the id.
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&object))) ||
        !object)
        return seen;
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR text = nullptr;
    if (object->get_accName(self, &text) == S_OK)
        seen.name = narrow(text);
    text = nullptr;
    if (object->get_accKeyboardShortcut(self, &text) == S_OK)
        seen.shortcut = narrow(text);
    VARIANT role;
    VariantInit(&role);
    if (object->get_accRole(self, &role) == S_OK && role.vt == VT_I4) {
        char role_text[64] = {};
        GetRoleTextA(static_cast<DWORD>(role.lVal), role_text, sizeof role_text);
        seen.role = role_text;
    }
    object->Release();
    return seen;
}

LONG style_of(HWND control) {
    return GetWindowLongA(control, GWL_STYLE);
}

bool takes_input(const std::string& kind) {
    return kind == "Button" || kind == "Edit" || kind == "ComboBox";
}

// The menu bar's mnemonics, which share Alt+letter with the window's controls; read from the exe, as
// a window of another process does not lend its menu.
std::vector<char> menu_mnemonics(HMODULE exe) {
    std::vector<char> keys;
    HMENU bar = LoadMenuA(exe, MAKEINTRESOURCEA(IDR_MAIN_MENU));
    for (int i = 0; bar && i < GetMenuItemCount(bar); ++i) {
        char title[64] = {};
        GetMenuStringA(bar, static_cast<UINT>(i), title, sizeof title, MF_BYPOSITION);
        std::printf("  menu      \"%s\"\n", title);
        if (const char* amp = std::strchr(title, '&'))
            keys.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(amp[1]))));
    }
    if (bar)
        DestroyMenu(bar);
    return keys;
}

// The control of `window` that has the keyboard focus in the thread `thread`, or `window` itself.
HWND focus_in(HWND window, DWORD thread) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(thread, &info) || !info.hwndFocus)
        return nullptr;
    HWND control = info.hwndFocus;
    // An editable list's focus is in the edit inside it.
    while (control && control != window && GetParent(control) != window)
        control = GetParent(control);
    return control;
}

// A key pressed where the keyboard focus is, as the program's message loop gets it.
void press(HWND window, DWORD thread, UINT message, WPARAM key, LPARAM flags) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    HWND target = GetGUIThreadInfo(thread, &info) && info.hwndFocus ? info.hwndFocus : window;
    PostMessageA(target, message, key, 1 | flags);
}

// Alt and a label's mnemonic put the focus in the field after it. The focus leaves the field first
// (by Tab), so that the key is seen to arrive.
void mnemonic_reaches(const std::string& where, HWND window, DWORD thread, const Seen& label, HWND field) {
    if (focus_in(window, thread) == field) {
        press(window, thread, WM_KEYDOWN, VK_TAB, 0x0f << 16);
        wait_for([&] { return focus_in(window, thread) != field; }, 2000);
    }
    char key = label.shortcut.back();
    press(window, thread, WM_SYSCHAR, static_cast<WPARAM>(key), 1 << 29);
    if (!wait_for([&] { return focus_in(window, thread) == field; }, 2000))
        fail(where, label.shortcut + " does not reach the field after \"" + label.name + "\"");
}

// The shown controls of `window` in the order Tab and screen readers take them: each named, every
// field named by the label right before it, and every button and label with a mnemonic of its own
// (a field's shortcut is its label's). `keys` holds the menu bar's mnemonics, if any.
void walk(const std::string& where, HWND window, DWORD thread, std::vector<char> keys) {
    std::printf("%s\n", where.c_str());
    std::vector<Seen> controls;
    for (HWND control = GetWindow(window, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        if (IsWindowVisible(control))
            controls.push_back(look_at(control));
    }
    for (size_t i = 0; i < controls.size(); ++i) {
        const Seen& seen = controls[i];
        LONG style = style_of(seen.control);
        int id = GetDlgCtrlID(seen.control);
        bool icon = seen.kind == "Static" && (style & SS_TYPEMASK) == SS_ICON;
        std::printf("  %-9s \"%s\"  role: %s  key: %s%s%s\n", seen.kind.c_str(), icon ? "(icon)" : seen.name.c_str(),
                    seen.role.c_str(), seen.shortcut.empty() ? "-" : seen.shortcut.c_str(),
                    style & WS_TABSTOP ? "  tab stop" : "", style & WS_DISABLED ? "  (disabled)" : "");
        std::string which = where + ", " + seen.kind + " \"" + seen.name + "\"";
        if (seen.name.empty() && !icon)
            fail(which, "no name");
        if (takes_input(seen.kind) && !(style & WS_TABSTOP))
            fail(which, "takes input but Tab does not stop there");
        bool field = seen.kind == "Edit" || seen.kind == "ComboBox";
        if (field && (i == 0 || controls[i - 1].kind != "Static" || controls[i - 1].name.empty()))
            fail(which, "no label right before it");
        // OK and Cancel are Enter and Esc.
        bool label = seen.kind == "Static" && i + 1 < controls.size() &&
                     (controls[i + 1].kind == "Edit" || controls[i + 1].kind == "ComboBox");
        bool button = seen.kind == "Button" && id != IDOK && id != IDCANCEL;
        if ((label || button) && seen.shortcut.empty())
            fail(which, "no mnemonic");
        if (label && !seen.shortcut.empty() && IsWindowEnabled(controls[i + 1].control))
            mnemonic_reaches(where, window, thread, seen, controls[i + 1].control);
        if (!field && seen.shortcut.size() == 5 && seen.shortcut.rfind("Alt+", 0) == 0)
            keys.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(seen.shortcut[4]))));
    }
    std::sort(keys.begin(), keys.end());
    for (auto twice = keys.begin(); (twice = std::adjacent_find(twice, keys.end())) != keys.end();) {
        fail(where, std::string("mnemonic Alt+") + *twice + " used twice");
        twice = std::upper_bound(twice, keys.end(), *twice);
    }
}

// Tab, pressed once more than there are controls Tab should stop at, visits each of them once and
// comes back to where it began.
void tab_round(const std::string& where, HWND window, DWORD thread) {
    std::vector<HWND> stops;
    for (HWND control = GetWindow(window, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        if ((style_of(control) & (WS_TABSTOP | WS_VISIBLE | WS_DISABLED)) == (WS_TABSTOP | WS_VISIBLE))
            stops.push_back(control);
    }
    std::vector<HWND> visited;
    for (size_t i = 0; i <= stops.size(); ++i) {
        HWND before = focus_in(window, thread);
        press(window, thread, WM_KEYDOWN, VK_TAB, 0x0f << 16);
        wait_for([&] { return focus_in(window, thread) != before; }, stops.size() > 1 ? 2000 : 300);
        visited.push_back(focus_in(window, thread));
    }
    std::string order;
    for (HWND control : visited)
        order += std::string(order.empty() ? "" : " > ") + class_of(control) + " \"" + look_at(control).name + "\"";
    std::printf("  Tab: %s\n", order.c_str());
    std::vector<HWND> round(visited.begin(), visited.end() - 1);
    std::sort(round.begin(), round.end());
    std::sort(stops.begin(), stops.end());
    if (round != stops)
        fail(where, "Tab does not visit each of the " + std::to_string(stops.size()) + " controls once");
    if (visited.back() != visited.front())
        fail(where, "Tab does not come back to where it began");
}

// Opens the dialog of menu command `command`, walks it, goes round it with Tab, and closes it with
// Esc.
void check_dialog(HWND main, DWORD thread, DWORD process, int command, const char* caption) {
    std::string where = std::string("dialog \"") + caption + "\"";
    PostMessageA(main, WM_COMMAND, static_cast<WPARAM>(command), 0);
    HWND dialog = nullptr;
    DWORD owner = 0;
    if (!wait_for(
            [&] {
                return (dialog = FindWindowA("#32770", caption)) && GetWindowThreadProcessId(dialog, &owner) &&
                       owner == process && IsWindowVisible(dialog);
            },
            5000)) {
        fail(where, "did not open");
        return;
    }
    wait_for([&] { return focus_in(dialog, thread) != nullptr; }, 2000);
    walk(where, dialog, thread, {});
    DWORD_PTR default_id = 0;
    SendMessageTimeoutA(dialog, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, 2000, &default_id);
    if (HIWORD(default_id) != DC_HASDEFID || LOWORD(default_id) != IDOK)
        fail(where, "Enter does not press OK");
    tab_round(where, dialog, thread);
    press(dialog, thread, WM_KEYDOWN, VK_ESCAPE, 0x01 << 16);
    if (!wait_for([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 3000))
        fail(where, "Esc does not close it");
}

}  // namespace

int main() {
    char folder[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, folder, MAX_PATH);
    std::string exe(folder, length);
    exe = exe.substr(0, exe.find_last_of('\\') + 1) + "DunvelBlenk.exe";
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string script = std::string(temp) + "dvbk-accessibility.dvbk";
    std::ofstream(script, std::ios::binary) << "Blenk, 10:00, 10:05\r\nEnd, 20:00\r\n";

    std::string command_line = "\"" + exe + "\" \"" + script + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION program{};
    if (!CreateProcessA(exe.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &program)) {
        std::printf("FAIL could not start %s\n", exe.c_str());
        return 1;
    }
    HWND main = nullptr;
    wait_for(
        [&] {
            main = FindWindowA(dvbk::MAIN_WINDOW_CLASS, nullptr);
            char text[32] = {};
            GetWindowTextA(GetDlgItem(main, IDC_PLAY_BUTTON), text, sizeof text);
            char title[64] = {};
            GetWindowTextA(main, title, sizeof title);
            return main && std::string(text) == "St&art" && std::string(title).rfind("DVBK T:", 0) == 0;
        },
        20000);
    if (!main) {
        std::printf("FAIL the program's window did not open with the script\n");
        TerminateProcess(program.hProcess, 1);
        return 1;
    }
    DWORD thread = GetWindowThreadProcessId(main, nullptr);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    HMODULE resources = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    walk("main window", main, thread, menu_mnemonics(resources));
    FreeLibrary(resources);
    tab_round("main window", main, thread);
    struct Dialog {
        int command;
        const char* caption;
    };
    const Dialog dialogs[] = {
        {IDM_SET_TIME, "Set Time"},
        {IDM_SYNC_HERE, "Sync Here"},
        {IDM_SETTINGS, "Settings"},
        {IDM_ABOUT, "About DunvelBlenk"},
    };
    for (const Dialog& dialog : dialogs)
        check_dialog(main, thread, program.dwProcessId, dialog.command, dialog.caption);

    CoUninitialize();
    PostMessageA(main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(program.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(program.hProcess, 1);
    CloseHandle(program.hThread);
    CloseHandle(program.hProcess);
    DeleteFileA(script.c_str());
    std::printf("%s\n", failures ? "accessibility: failed" : "accessibility: every control named and reached");
    return failures ? 1 : 0;
}
