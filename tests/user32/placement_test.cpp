// Show states and placement: the WM_SIZE messages sent before the calls
// return, the normal placement, the frame, and what the SDL window does.
#include "user32_test.h"

namespace {

constexpr DWORD clipSiblings = 0x04000000;
constexpr DWORD frameBits = 0x00CF0000;

// What the program does on WM_SIZE: borderless over the monitor when
// maximised, framed again when restored. It re-enters the layer from within
// the message the layer sends.
LRESULT CoverMonitorWhenMaximised(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZE && wParam == SIZE_MAXIMIZED) {
        const auto style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
        MONITORINFO info{};
        info.cbSize = sizeof(MONITORINFO);
        GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
        SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(style & ~frameBits));
        const RECT& m = info.rcMonitor;
        SetWindowPos(window, HWND_TOP, m.left, m.top, m.right - m.left, m.bottom - m.top,
                     SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
    } else if (message == WM_SIZE && wParam == SIZE_RESTORED) {
        const auto style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
        SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(style | frameBits));
        SetWindowPos(window, nullptr, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

RECT WindowRect(HWND window) {
    RECT rect{};
    EXPECT_TRUE(GetWindowRect(window, &rect));
    return rect;
}

RECT ClientRect(HWND window) {
    RECT rect{};
    EXPECT_TRUE(GetClientRect(window, &rect));
    return rect;
}

bool SdlShown(HWND window) {
    SDL_Window* sdl = AcquireSdlWindow(window);
    const bool shown = (SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN) != 0;
    ReleaseSdlWindow(sdl);
    return shown;
}

} // namespace

using PlacementTest = WindowTest;

// The first WM_SIZE comes while the window is first shown, before
// ShowWindow returns; later calls send it only when the client size or the
// show state changes.
TEST_F(PlacementTest, ShowAndMoveSendWmSizeWhenTheClientChanges) {
    HWND window = Create();
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(WS_OVERLAPPEDWINDOW | clipSiblings, GetWindowLongA(window, GWL_STYLE));
    EXPECT_EQ((RECT{0, 0, 584, 361}), ClientRect(window));
    EXPECT_FALSE(SdlShown(window));

    EXPECT_FALSE(ShowWindow(window, SW_SHOWNORMAL));
    EXPECT_EQ(std::vector<Received>{Size(window, SIZE_RESTORED, 584, 361)}, received);
    EXPECT_TRUE(SdlShown(window));
    EXPECT_EQ((RECT{72, 95, 656, 456}), SdlClient(window));
    EXPECT_TRUE(GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE);

    received.clear();
    EXPECT_TRUE(ShowWindow(window, SW_SHOWNORMAL));
    EXPECT_TRUE(UpdateWindow(window));
    EXPECT_TRUE(MoveWindow(window, 100, 50, 600, 400, TRUE));
    EXPECT_TRUE(received.empty());
    EXPECT_EQ((RECT{100, 50, 700, 450}), WindowRect(window));
    EXPECT_EQ((RECT{108, 81, 692, 442}), SdlClient(window));

    EXPECT_TRUE(SetWindowPos(window, nullptr, 0, 0, 500, 300, SWP_NOMOVE | SWP_NOZORDER));
    EXPECT_EQ(std::vector<Received>{Size(window, SIZE_RESTORED, 484, 261)}, received);
    EXPECT_EQ((RECT{100, 50, 600, 350}), WindowRect(window));

    received.clear();
    EXPECT_TRUE(ShowWindow(window, SW_HIDE));
    EXPECT_FALSE(SdlShown(window));
    EXPECT_FALSE(GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(received.empty());
}

// Maximised, the window fills the work area with its borders beyond the
// edges; moved about while maximised, it still restores to the placement it
// had before; minimised, it has no client area and comes back maximised.
TEST_F(PlacementTest, RestoreReturnsToTheNormalPlacement) {
    HWND window = Create();
    ShowWindow(window, SW_SHOWNORMAL);
    MoveWindow(window, 100, 50, 500, 300, TRUE);
    received.clear();

    const RECT work = WorkArea();
    EXPECT_TRUE(ShowWindow(window, SW_SHOWMAXIMIZED));
    const RECT maximised = {work.left - 8, work.top - 8, work.right + 8, work.bottom + 8};
    const int width = work.right - work.left;
    const int height = work.bottom - work.top - 23;
    EXPECT_EQ(std::vector<Received>{Size(window, SIZE_MAXIMIZED, width, height)}, received);
    EXPECT_EQ(maximised, WindowRect(window));
    EXPECT_TRUE(IsZoomed(window));
    EXPECT_EQ((RECT{work.left, work.top + 23, work.right, work.bottom}), SdlClient(window));

    received.clear();
    MoveWindow(window, 10, 10, 300, 200, TRUE);
    EXPECT_EQ(std::vector<Received>{Size(window, SIZE_MAXIMIZED, 284, 161)}, received);
    ShowWindow(window, SW_SHOWMAXIMIZED);

    received.clear();
    EXPECT_TRUE(ShowWindow(window, SW_MINIMIZE));
    EXPECT_EQ(std::vector<Received>{Size(window, SIZE_MINIMIZED, 0, 0)}, received);
    EXPECT_TRUE(IsIconic(window));
    EXPECT_FALSE(IsZoomed(window));
    EXPECT_EQ((RECT{0, 0, 0, 0}), ClientRect(window));

    received.clear();
    ShowWindow(window, SW_RESTORE);
    EXPECT_EQ(std::vector<Received>{Size(window, SIZE_MAXIMIZED, 284, 161)}, received);
    EXPECT_TRUE(IsZoomed(window));
    EXPECT_FALSE(IsIconic(window));

    received.clear();
    ShowWindow(window, SW_RESTORE);
    EXPECT_EQ(std::vector<Received>{Size(window, SIZE_RESTORED, 484, 261)}, received);
    EXPECT_EQ((RECT{100, 50, 600, 350}), WindowRect(window));
    EXPECT_FALSE(IsZoomed(window));
    EXPECT_EQ((RECT{108, 81, 592, 342}), SdlClient(window));
}

// A window procedure that moves its window while handling WM_SIZE gets the
// WM_SIZE of that move within it, and the recursion ends where the
// placement stops changing. Only the final placement reaches SDL: the
// borderless window on the monitor's full rectangle, and back.
TEST_F(PlacementTest, BorderlessMaximisedWindowCoversTheMonitor) {
    reaction = CoverMonitorWhenMaximised;
    HWND window = Create();
    ShowWindow(window, SW_SHOWNORMAL);
    received.clear();

    const RECT work = WorkArea();
    const RECT monitor = MonitorRect();
    ShowWindow(window, SW_SHOWMAXIMIZED);
    EXPECT_EQ((std::vector<Received>{
                  Size(window, SIZE_MAXIMIZED, work.right - work.left, work.bottom - work.top - 23),
                  Size(window, SIZE_MAXIMIZED, monitor.right - monitor.left,
                       monitor.bottom - monitor.top)}),
              received);
    EXPECT_EQ(monitor, WindowRect(window));
    EXPECT_EQ((RECT{0, 0, monitor.right - monitor.left, monitor.bottom - monitor.top}),
              ClientRect(window));
    EXPECT_EQ(LONG{clipSiblings | WS_VISIBLE | WS_MAXIMIZE}, GetWindowLongA(window, GWL_STYLE));
    EXPECT_EQ(monitor, SdlClient(window));

    received.clear();
    ShowWindow(window, SW_RESTORE);
    EXPECT_EQ((std::vector<Received>{Size(window, SIZE_RESTORED, 600, 400),
                                     Size(window, SIZE_RESTORED, 584, 361)}),
              received);
    EXPECT_EQ((RECT{64, 64, 664, 464}), WindowRect(window));
    EXPECT_EQ(LONG{WS_OVERLAPPEDWINDOW | clipSiblings | WS_VISIBLE},
              GetWindowLongA(window, GWL_STYLE));
    EXPECT_EQ((RECT{72, 95, 656, 456}), SdlClient(window));
}

// As on Windows, a new style changes the frame only once SetWindowPos is
// told SWP_FRAMECHANGED (or the window moves or changes size).
TEST_F(PlacementTest, FrameFollowsTheStyleWhenRecomputed) {
    HWND window = Create();
    ShowWindow(window, SW_SHOWNORMAL);
    received.clear();

    EXPECT_EQ(LONG{WS_OVERLAPPEDWINDOW | clipSiblings | WS_VISIBLE},
              SetWindowLongA(window, GWL_STYLE, WS_POPUP | WS_VISIBLE));
    EXPECT_EQ((RECT{0, 0, 584, 361}), ClientRect(window));
    EXPECT_TRUE(received.empty());

    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
    EXPECT_EQ(std::vector<Received>{Size(window, SIZE_RESTORED, 600, 400)}, received);
    EXPECT_EQ((RECT{64, 64, 664, 464}), SdlClient(window));

    received.clear();
    SetWindowLongA(window, GWL_STYLE, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    MoveWindow(window, 0, 0, 600, 400, TRUE);
    EXPECT_EQ(std::vector<Received>{Size(window, SIZE_RESTORED, 584, 361)}, received);
    EXPECT_EQ(0, GetWindowLongA(window, 5));
    EXPECT_EQ(0, SetWindowLongA(window, 5, 1));
}

// A destroyed window gets WM_DESTROY; afterwards every call on its handle
// fails harmlessly, and its queued messages are gone. A hold keeps the SDL
// window (hidden) until it is released.
TEST_F(PlacementTest, CallsOnADestroyedHandleAreHarmless) {
    HWND window = Create();
    ShowWindow(window, SW_SHOWNORMAL);
    SDL_Window* sdl = AcquireSdlWindow(window);
    ASSERT_NE(nullptr, sdl);
    const Uint32 id = SDL_GetWindowID(sdl);
    PostMessageA(window, 0x0401, 0, 0);
    received.clear();

    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ((std::vector<Received>{{window, WM_DESTROY, 0, 0}}), received);
    EXPECT_TRUE(Take().empty());

    RECT rect = {1, 2, 3, 4};
    MSG msg{window, WM_CLOSE, 0, 0, 0, {0, 0}};
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_FALSE(ShowWindow(window, SW_SHOWMAXIMIZED));
    EXPECT_FALSE(UpdateWindow(window));
    EXPECT_FALSE(MoveWindow(window, 0, 0, 10, 10, TRUE));
    EXPECT_FALSE(SetWindowPos(window, HWND_TOP, 0, 0, 10, 10, 0));
    EXPECT_EQ(0, GetWindowLongA(window, GWL_STYLE));
    EXPECT_EQ(0, SetWindowLongA(window, GWL_STYLE, 0));
    EXPECT_FALSE(GetClientRect(window, &rect));
    EXPECT_FALSE(GetWindowRect(window, &rect));
    EXPECT_EQ((RECT{1, 2, 3, 4}), rect);
    EXPECT_FALSE(IsZoomed(window));
    EXPECT_FALSE(IsIconic(window));
    EXPECT_EQ(nullptr, MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
    EXPECT_FALSE(PostMessageA(window, WM_CLOSE, 0, 0));
    EXPECT_EQ(0, SendMessageA(window, WM_CLOSE, 0, 0));
    EXPECT_EQ(0, DispatchMessageA(&msg));
    EXPECT_EQ(nullptr, AcquireSdlWindow(window));
    EXPECT_EQ((std::vector<Received>{{window, WM_DESTROY, 0, 0}}), received);

    EXPECT_EQ(sdl, SDL_GetWindowFromID(id));
    EXPECT_FALSE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN);
    ReleaseSdlWindow(sdl);
    EXPECT_EQ(nullptr, SDL_GetWindowFromID(id));

    HWND unheld = Create();
    SDL_Window* unheldSdl = AcquireSdlWindow(unheld);
    const Uint32 unheldId = SDL_GetWindowID(unheldSdl);
    ReleaseSdlWindow(unheldSdl);
    DestroyWindow(unheld);
    EXPECT_EQ(nullptr, SDL_GetWindowFromID(unheldId));
}
