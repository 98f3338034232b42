// Monitors from SDL's displays, and message boxes without a display.
#include <cstdlib>

#include "platform/user32/window_model.h"
#include "user32_test.h"

using MonitorTest = WindowTest;

// The display holding the window's centre; for a window on none, the
// nearest or primary one, or none at all, as the caller asks.
TEST_F(MonitorTest, MonitorsAreSdlDisplays) {
    HWND window = Create();
    HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONULL);
    ASSERT_NE(nullptr, monitor);
    EXPECT_EQ(monitor, MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));

    MONITORINFO info{};
    info.cbSize = sizeof(MONITORINFO);
    ASSERT_TRUE(GetMonitorInfoA(monitor, &info));
    EXPECT_EQ(MonitorRect(), info.rcMonitor);
    EXPECT_EQ(WorkArea(), info.rcWork);
    EXPECT_EQ(DWORD{MONITORINFOF_PRIMARY}, info.dwFlags);

    info.cbSize = sizeof(MONITORINFO) - 1;
    EXPECT_FALSE(GetMonitorInfoA(monitor, &info));
    info.cbSize = sizeof(MONITORINFO);
    EXPECT_FALSE(GetMonitorInfoA(nullptr, &info));
    EXPECT_FALSE(GetMonitorInfoA(reinterpret_cast<HMONITOR>(uintptr_t{0x1234}), &info));
    EXPECT_FALSE(GetMonitorInfoA(monitor, nullptr));

    HWND away = Create(WS_POPUP, {20000, 20000, 20100, 20100});
    EXPECT_EQ(nullptr, MonitorFromWindow(away, MONITOR_DEFAULTTONULL));
    EXPECT_EQ(monitor, MonitorFromWindow(away, MONITOR_DEFAULTTONEAREST));
    EXPECT_EQ(monitor, MonitorFromWindow(away, MONITOR_DEFAULTTOPRIMARY));
    EXPECT_EQ(nullptr, MonitorFromWindow(nullptr, MONITOR_DEFAULTTONEAREST));
}

// SDL falls back to its offscreen driver when there is no display; a window
// nobody can see is refused unless that driver was asked for by name.
TEST(VideoTest, OffscreenDriverOnlyWhenAskedFor) {
    EXPECT_TRUE(VideoDriverAccepted("x11", nullptr));
    EXPECT_TRUE(VideoDriverAccepted("wayland", "wayland,x11"));
    EXPECT_TRUE(VideoDriverAccepted("dummy", "dummy"));
    EXPECT_FALSE(VideoDriverAccepted("offscreen", nullptr));
    EXPECT_FALSE(VideoDriverAccepted("offscreen", "x11"));
    EXPECT_TRUE(VideoDriverAccepted("offscreen", "offscreen"));
    EXPECT_FALSE(VideoDriverAccepted(nullptr, "x11"));
}

// Without a display the box cannot be shown; the words still reach standard
// error, and the answer is OK.
TEST(MessageBoxTest, WritesCaptionAndTextToStandardError) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    testing::internal::CaptureStderr();
    EXPECT_EQ(IDOK, MessageBoxA(nullptr, "The device lacks a feature.", "Warning",
                                MB_OK | MB_ICONWARNING));
    EXPECT_EQ(IDOK, MessageBoxA(nullptr, nullptr, nullptr, MB_OK | MB_ICONERROR));
    EXPECT_EQ("Warning: The device lacks a feature.\nError: \n",
              testing::internal::GetCapturedStderr());
}
