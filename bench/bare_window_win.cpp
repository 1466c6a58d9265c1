// The floor for the program's idle CPU: a bare window with the program's two standing timers and
// nothing else, a 100 ms wake that does nothing and a 1 s timer that retitles the window and
// repaints four lines of text, as the program's status refresh does.
#include <windows.h>

#include <cstdio>

namespace {

constexpr UINT_PTR WAKE = 1;
constexpr UINT_PTR STATUS = 2;
int ticks = 0;

LRESULT CALLBACK BareWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_TIMER:
            if (wparam == STATUS) {
                char title[64];
                std::snprintf(title, sizeof title, "Bare T: 0:00:%02d", ++ticks % 60);
                SetWindowTextA(window, title);
                RECT status_area{0, 0, 500, 200};
                InvalidateRect(window, &status_area, FALSE);
            }
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            for (int line = 0; line < 4; ++line) {
                char text[64];
                int length = std::snprintf(text, sizeof text, "Status line %d: %d", line, ticks);
                TextOutA(dc, 10, 10 + 15 * line, text, length);
            }
            EndPaint(window, &paint);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = BareWndProc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszClassName = "DvbkBareWindow";
    RegisterClassA(&window_class);
    HWND window = CreateWindowExA(0, "DvbkBareWindow", "Bare T: 0:00:00", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, 500,
                                  350, nullptr, nullptr, instance, nullptr);
    SetTimer(window, WAKE, 100, nullptr);
    SetTimer(window, STATUS, 1000, nullptr);
    ShowWindow(window, show);
    UpdateWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
