// Present: pacing to the display and windows that are minimised or gone.
#include <chrono>

#include "d3d9_test.h"
#include "platform/user32/sdl_window.h"

TEST(PresentWaitTest, KeepsPresentsOneRefreshApart) {
    const int64_t period = 16'000'000;
    struct Case {
        const char* name;
        int64_t previousEnd, swapStart, now, expected;
    };
    const Case cases[] = {
        {"first present", 0, 5'000'000, 5'000'100, 0},
        {"quick swap", 100'000'000, 101'000'000, 101'000'000, 15'000'000},
        {"late frame", 100'000'000, 117'000'000, 117'000'500, 0},
        {"swap waited for vsync", 100'000'000, 101'000'000, 114'000'000, 1'000'000},
        {"vsync a little faster", 100'000'000, 101'000'000, 115'500'000, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, PresentWait(c.previousEnd, c.swapStart, c.now, period)) << c.name;
    }
}

using PresentTest = DeviceTest;

// Where vsync is not honoured (the dummy driver has none), Present paces
// itself to the display's refresh rate, 60 Hz when unknown.
TEST_F(PresentTest, NeverRunsFasterThanTheDisplay) {
    Open(64, 48);
    SDL_Window* sdlWindow = AcquireSdlWindow(window);
    SDL_DisplayMode mode{};
    SDL_GetWindowDisplayMode(sdlWindow, &mode);
    ReleaseSdlWindow(sdlWindow);
    const double hertz = mode.refresh_rate > 0 ? mode.refresh_rate : 60;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; i++) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        ASSERT_EQ(D3D_OK, device->Present(nullptr, nullptr, nullptr, nullptr));
    }
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed.count(), 9 / hertz * 0.98);
}

TEST_F(PresentTest, SurvivesMinimisedAndDestroyedWindows) {
    Open(64, 48);
    const RECT rect{0, 0, 8, 8};
    EXPECT_EQ(D3DERR_INVALIDCALL, device->Present(&rect, nullptr, nullptr, nullptr));
    ShowWindow(window, SW_MINIMIZE);
    EXPECT_EQ(D3D_OK, device->Present(nullptr, nullptr, nullptr, nullptr));
    ShowWindow(window, SW_RESTORE);
    EXPECT_EQ(D3D_OK, device->Present(nullptr, nullptr, nullptr, nullptr));
    // The program's exit: the window closes before the graphics are released.
    DestroyWindow(window);
    EXPECT_EQ(D3DERR_INVALIDCALL, device->Present(nullptr, nullptr, nullptr, nullptr));
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    EXPECT_EQ(0u, device->Release());
    device = nullptr;
}
