// The window layer on a real X display survives X errors about windows that
// have gone (the window manager's frame, destroyed while SDL asks about it),
// and leaves every other X error to the handler that was there before.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/user32/user32.h"
#include "x11_probe.h"

namespace {

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

TEST(X11Errors, VanishedWindowsAreSurvivedOtherErrorsPassOn) {
    ASSERT_TRUE(OpenProbe()) << "needs an X display (DISPLAY)";
    // Without the layer's handler the vanished window reaches the recorder,
    // which stands in for Xlib's default handler and its exit(1).
    ASSERT_TRUE(AskAboutVanishedWindow());
    ASSERT_EQ(RecordedErrors(), std::vector<int>{BadWindowCode()});

    // The first window starts SDL's video, on X11 here, and with it the
    // layer's handler.
    setenv("SDL_VIDEODRIVER", "x11", 1);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.lpszClassName = "x11 errors";
    ASSERT_NE(0, RegisterClassExA(&windowClass));
    HWND window = CreateWindowExA(0, "x11 errors", "x11 errors", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                  100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);

    EXPECT_TRUE(AskAboutVanishedWindow());
    AskAboutMissingAtom();
    EXPECT_EQ(RecordedErrors(), (std::vector<int>{BadWindowCode(), BadAtomCode()}));

    DestroyWindow(window);
    CloseProbe();
}
