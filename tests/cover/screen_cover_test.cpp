// A real top-level window under Wine and a virtual X display.
#include "cover/screen_cover_win.h"

#include <gtest/gtest.h>

#include <vector>

namespace dvbk {
namespace {

struct SentInput {
    LONG dx;
    LONG dy;
    DWORD flags;
};
std::vector<SentInput> sent;

UINT WINAPI record_input(UINT count, LPINPUT inputs, int size) {
    EXPECT_EQ(1u, count);
    EXPECT_EQ(static_cast<int>(sizeof(INPUT)), size);
    EXPECT_EQ(static_cast<DWORD>(INPUT_MOUSE), inputs->type);
    sent.push_back({inputs->mi.dx, inputs->mi.dy, inputs->mi.dwFlags});
    return count;
}

bool topmost(HWND window) {
    return GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST;
}

// Hidden to the eye, yet drawn under by Chrome, which counts no see-through layered, tool or
// click-through window as hiding it; unowned and no tool window, so in the taskbar and Alt+Tab.
bool see_through_cover_in_taskbar(HWND window) {
    BYTE alpha = 0;
    DWORD flags = 0;
    return GetLayeredWindowAttributes(window, nullptr, &alpha, &flags) && flags == LWA_ALPHA && alpha == 254 &&
           !(GetWindowLongA(window, GWL_EXSTYLE) & (WS_EX_TOOLWINDOW | WS_EX_TRANSPARENT)) &&
           !GetWindow(window, GW_OWNER);
}

void pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
}

class ScreenCoverTest : public testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA window_class{};
        window_class.lpfnWndProc = DefWindowProcA;
        window_class.hInstance = GetModuleHandleA(nullptr);
        window_class.lpszClassName = "DvbkCoverTest";
        RegisterClassA(&window_class);
        window = CreateWindowExA(0, "DvbkCoverTest", "cover", WS_OVERLAPPEDWINDOW, 100, 100, 500, 350, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, window);
        ShowWindow(window, SW_SHOWNORMAL);
        pump();
        cover.send_input = record_input;
        sent.clear();
    }
    void TearDown() override { DestroyWindow(window); }

    HWND window = nullptr;
    ScreenCover cover;
    AppSettings settings;
};

TEST_F(ScreenCoverTest, CoverAndUncover) {
    cover_screen(cover, window, settings);
    pump();
    EXPECT_TRUE(IsZoomed(window));
    EXPECT_TRUE(topmost(window));
    EXPECT_TRUE(see_through_cover_in_taskbar(window));

    uncover_screen(cover, window, settings);
    pump();
    EXPECT_TRUE(IsIconic(window));
    EXPECT_FALSE(topmost(window));
    EXPECT_TRUE(sent.empty());  // no click asked for: no input and nothing left to send
    EXPECT_EQ(0, cover.click_inputs_left);

    // From minimised straight back up.
    cover_screen(cover, window, settings);
    pump();
    EXPECT_TRUE(IsZoomed(window));
    EXPECT_TRUE(topmost(window));

    restore_window(cover, window);
    pump();
    EXPECT_FALSE(IsZoomed(window));
    EXPECT_FALSE(IsIconic(window));
    EXPECT_FALSE(topmost(window));
    EXPECT_TRUE(see_through_cover_in_taskbar(window));
    EXPECT_TRUE(sent.empty());
}

TEST_F(ScreenCoverTest, SavedRectIsTheWindowsOwnBeforeEachStep) {
    MoveWindow(window, 40, 60, 320, 240, TRUE);
    restore_window(cover, window);
    RECT now;
    GetWindowRect(window, &now);
    EXPECT_EQ(40, cover.saved_window_rect.left);
    EXPECT_EQ(60, cover.saved_window_rect.top);
    EXPECT_TRUE(EqualRect(&now, &cover.saved_window_rect));  // the step moved nothing
}

// The window's timer steps through the click; here the test takes each step itself.
void step_click(ScreenCover& cover, HWND window, int steps) {
    for (int i = 0; i < steps; ++i)
        click_step(cover, window);
}

TEST_F(ScreenCoverTest, ClickSequence) {
    settings.click_maximize = true;
    // Where each fraction lands is cover_geometry's, tested natively; here, what the click sends.
    uncover_screen(cover, window, settings);  // clicks whether or not the cover was up
    EXPECT_TRUE(IsIconic(window));
    EXPECT_TRUE(sent.empty());  // every input waits for its step
    settings.click_x = 0.986;
    settings.click_y = 0.949;
    uncover_screen(cover, window, settings);  // a click under way starts over
    for (size_t steps = 1; steps <= 4; ++steps) {
        click_step(cover, window);
        EXPECT_EQ(steps, sent.size());
    }
    step_click(cover, window, 2);  // nothing further after the last
    ASSERT_EQ(4u, sent.size());
    const SentInput expected[] = {
        {64617, 62192, 0x8001}, {64617, 62192, 0x8002}, {64617, 62192, 0x8004}, {65535, 6553, 0x8001}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(expected[i].dx, sent[i].dx) << i;
        EXPECT_EQ(expected[i].dy, sent[i].dy) << i;
        EXPECT_EQ(expected[i].flags, sent[i].flags) << i;
    }
}

TEST_F(ScreenCoverTest, CoveringAgainEndsTheClickWithTheButtonUp) {
    settings.click_maximize = true;
    struct Case {
        int steps_taken;
        std::vector<DWORD> flags;  // everything sent, the cover's own release included
    };
    const Case cases[] = {
        {0, {}},
        {1, {0x8001}},
        {2, {0x8001, 0x8002, 0x8004}},  // pressed: released at once
        {3, {0x8001, 0x8002, 0x8004}},
        {4, {0x8001, 0x8002, 0x8004, 0x8001}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.steps_taken);
        uncover_screen(cover, window, settings);
        sent.clear();
        step_click(cover, window, c.steps_taken);
        cover_screen(cover, window, settings);
        step_click(cover, window, 4);
        std::vector<DWORD> flags;
        for (const SentInput& input : sent)
            flags.push_back(input.flags);
        EXPECT_EQ(c.flags, flags);
    }
}

TEST_F(ScreenCoverTest, RealInputParksThePointer) {
    cover.send_input = SendInput;
    settings.click_maximize = true;
    settings.click_x = 0.5;
    settings.click_y = 0.5;
    uncover_screen(cover, window, settings);
    step_click(cover, window, 4);
    POINT pointer;
    ASSERT_TRUE(GetCursorPos(&pointer));
    // The right edge, a tenth of the way down.
    EXPECT_NEAR(cover.screen_width - 1, pointer.x, 1);
    EXPECT_NEAR(cover.screen_height / 10, pointer.y, 1);
}

TEST(ScreenSize, ReadWhenTheRecordIsMade) {
    ScreenCover cover;
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), cover.screen_width);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), cover.screen_height);
    EXPECT_GT(cover.screen_width, 0);
}

}  // namespace
}  // namespace dvbk
