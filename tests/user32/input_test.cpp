// SDL events as the messages Windows queues for the same user actions.
#include "user32_test.h"

namespace {

constexpr LPARAM extended = LPARAM{1} << 24;
constexpr LPARAM altDown = LPARAM{1} << 29;
constexpr LPARAM wasDown = LPARAM{1} << 30;
constexpr LPARAM released = LPARAM{1} << 31;

} // namespace

using InputTest = WindowTest;

// Windows' virtual-key codes; WM_SYSKEYDOWN for Alt itself, for any key with
// Alt held (without Ctrl) and for F10, with bit 29 when Alt is down; the
// extended bit for the right-hand and navigation keys.
TEST_F(InputTest, KeysArriveWithVirtualKeyCodes) {
    struct Case {
        SDL_Keycode symbol;
        SDL_Scancode code;
        Uint16 modifiers;
        UINT message;
        WPARAM key;
        LPARAM data;
    };
    const Case cases[] = {
        {SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, KMOD_NONE, WM_KEYDOWN, VK_ESCAPE, 1},
        {SDLK_LGUI, SDL_SCANCODE_LGUI, KMOD_LGUI, WM_KEYDOWN, VK_LWIN, 1 | extended},
        {SDLK_RGUI, SDL_SCANCODE_RGUI, KMOD_RGUI, WM_KEYDOWN, VK_RWIN, 1 | extended},
        {SDLK_a, SDL_SCANCODE_A, KMOD_NONE, WM_KEYDOWN, 'A', 1},
        {SDLK_q, SDL_SCANCODE_A, KMOD_SHIFT, WM_KEYDOWN, 'Q', 1},
        {0x444, SDL_SCANCODE_A, KMOD_NONE, WM_KEYDOWN, 'A', 1},
        {SDLK_5, SDL_SCANCODE_5, KMOD_NONE, WM_KEYDOWN, '5', 1},
        {SDLK_F1, SDL_SCANCODE_F1, KMOD_NONE, WM_KEYDOWN, VK_F1, 1},
        {SDLK_F12, SDL_SCANCODE_F12, KMOD_NONE, WM_KEYDOWN, VK_F12, 1},
        {SDLK_F11, SDL_SCANCODE_F11, KMOD_NONE, WM_KEYDOWN, VK_F11, 1},
        {SDLK_LEFT, SDL_SCANCODE_LEFT, KMOD_NONE, WM_KEYDOWN, VK_LEFT, 1 | extended},
        {SDLK_RIGHT, SDL_SCANCODE_RIGHT, KMOD_NONE, WM_KEYDOWN, VK_RIGHT, 1 | extended},
        {SDLK_PAGEUP, SDL_SCANCODE_PAGEUP, KMOD_NONE, WM_KEYDOWN, VK_PRIOR, 1 | extended},
        {SDLK_PAGEDOWN, SDL_SCANCODE_PAGEDOWN, KMOD_NONE, WM_KEYDOWN, VK_NEXT, 1 | extended},
        {SDLK_SPACE, SDL_SCANCODE_SPACE, KMOD_NONE, WM_KEYDOWN, VK_SPACE, 1},
        {SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_NONE, WM_KEYDOWN, VK_RETURN, 1},
        {SDLK_COMMA, SDL_SCANCODE_COMMA, KMOD_NONE, WM_KEYDOWN, 0xBC, 1},
        {SDLK_LSHIFT, SDL_SCANCODE_LSHIFT, KMOD_LSHIFT, WM_KEYDOWN, VK_SHIFT, 1},
        {SDLK_RCTRL, SDL_SCANCODE_RCTRL, KMOD_RCTRL, WM_KEYDOWN, VK_CONTROL, 1 | extended},
        {SDLK_LALT, SDL_SCANCODE_LALT, KMOD_LALT, WM_SYSKEYDOWN, VK_MENU, 1 | altDown},
        {SDLK_RALT, SDL_SCANCODE_RALT, KMOD_NONE, WM_SYSKEYDOWN, VK_MENU, 1 | extended | altDown},
        {SDLK_x, SDL_SCANCODE_X, KMOD_LALT, WM_SYSKEYDOWN, 'X', 1 | altDown},
        {SDLK_F4, SDL_SCANCODE_F4, KMOD_RALT, WM_SYSKEYDOWN, VK_F4, 1 | altDown},
        {SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, KMOD_LALT, WM_SYSKEYDOWN, VK_ESCAPE, 1 | altDown},
        {SDLK_F10, SDL_SCANCODE_F10, KMOD_NONE, WM_SYSKEYDOWN, VK_F10, 1},
        {SDLK_x, SDL_SCANCODE_X, KMOD_LALT | KMOD_LCTRL, WM_KEYDOWN, 'X', 1},
    };
    HWND window = Create();
    ShowWindow(window, SW_SHOWNORMAL);
    Take();
    for (const Case& c : cases) {
        PushKey(window, c.symbol, c.code, c.modifiers);
        const std::vector<MSG> taken = Take();
        ASSERT_EQ(1u, taken.size()) << c.symbol;
        EXPECT_EQ(window, taken[0].hwnd);
        EXPECT_EQ(c.message, taken[0].message) << c.symbol;
        EXPECT_EQ(c.key, taken[0].wParam) << c.symbol;
        EXPECT_EQ(c.data, taken[0].lParam) << c.symbol;
        EXPECT_TRUE(TranslateMessage(&taken[0]));
    }

    PushKey(window, SDLK_a, SDL_SCANCODE_A, KMOD_NONE, false);
    PushKey(window, SDLK_LALT, SDL_SCANCODE_LALT, KMOD_NONE, false);
    PushKey(window, SDLK_MUTE, SDL_SCANCODE_MUTE, KMOD_NONE);
    const std::vector<MSG> ups = Take();
    ASSERT_EQ(2u, ups.size());
    EXPECT_EQ(UINT{WM_KEYUP}, ups[0].message);
    EXPECT_EQ(WPARAM{'A'}, ups[0].wParam);
    EXPECT_EQ(1 | wasDown | released, ups[0].lParam);
    EXPECT_EQ(UINT{WM_SYSKEYUP}, ups[1].message);
    EXPECT_EQ(WPARAM{VK_MENU}, ups[1].wParam);
}

// Left and right presses and releases, at the client position, with the
// buttons held in wParam; other buttons make no message.
TEST_F(InputTest, ButtonsArriveAtTheirClientPosition) {
    HWND window = Create();
    ShowWindow(window, SW_SHOWNORMAL);
    Take();
    PushButton(window, SDL_BUTTON_LEFT, 10, 20);
    PushButton(window, SDL_BUTTON_LEFT, 10, 20, false);
    PushButton(window, SDL_BUTTON_RIGHT, 300, 200);
    PushButton(window, SDL_BUTTON_MIDDLE, 1, 1);
    const std::vector<MSG> taken = Take();
    ASSERT_EQ(3u, taken.size());
    EXPECT_EQ(UINT{WM_LBUTTONDOWN}, taken[0].message);
    EXPECT_EQ(WPARAM{1}, taken[0].wParam);
    EXPECT_EQ(MAKELPARAM(10, 20), taken[0].lParam);
    EXPECT_EQ(UINT{WM_LBUTTONUP}, taken[1].message);
    EXPECT_EQ(WPARAM{0}, taken[1].wParam);
    EXPECT_EQ(UINT{WM_RBUTTONDOWN}, taken[2].message);
    EXPECT_EQ(WPARAM{2}, taken[2].wParam);
    EXPECT_EQ(MAKELPARAM(300, 200), taken[2].lParam);
    for (const MSG& msg : taken) {
        EXPECT_EQ(window, msg.hwnd);
        EXPECT_FALSE(TranslateMessage(&msg));
    }
}

// The close button and the termination signals ask the window to close; it
// stays until the message is handled.
TEST_F(InputTest, CloseRequestsArriveAsWmClose) {
    HWND window = Create();
    HWND other = Create();
    PushWindowEvent(window, SDL_WINDOWEVENT_CLOSE);
    std::vector<MSG> taken = Take();
    ASSERT_EQ(1u, taken.size());
    EXPECT_EQ(window, taken[0].hwnd);
    EXPECT_EQ(UINT{WM_CLOSE}, taken[0].message);
    EXPECT_TRUE(IsWindow(window));

    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    taken = Take();
    ASSERT_EQ(2u, taken.size());
    EXPECT_EQ(UINT{WM_CLOSE}, taken[0].message);
    EXPECT_EQ(UINT{WM_CLOSE}, taken[1].message);
    EXPECT_NE(taken[0].hwnd, taken[1].hwnd);
    EXPECT_TRUE(taken[0].hwnd == window || taken[0].hwnd == other);
}

// The desktop's maximise, minimise and restore arrive as queued WM_SIZE
// messages, the record already changed; restoring a minimised maximised
// window maximises it again. Without a window manager the layer places the
// SDL window as one would.
TEST_F(InputTest, WindowManagerStatesArriveAsWmSize) {
    HWND window = Create();
    ShowWindow(window, SW_SHOWNORMAL);
    Take();
    received.clear();
    const RECT work = WorkArea();
    const int width = work.right - work.left;
    const int height = work.bottom - work.top - 23;

    struct Step {
        SDL_WindowEventID event;
        WPARAM kind;
        int width;
        int height;
    };
    const Step steps[] = {
        {SDL_WINDOWEVENT_MAXIMIZED, SIZE_MAXIMIZED, width, height},
        {SDL_WINDOWEVENT_MINIMIZED, SIZE_MINIMIZED, 0, 0},
        {SDL_WINDOWEVENT_RESTORED, SIZE_MAXIMIZED, width, height},
        {SDL_WINDOWEVENT_RESTORED, SIZE_RESTORED, 584, 361},
        {SDL_WINDOWEVENT_MINIMIZED, SIZE_MINIMIZED, 0, 0},
        {SDL_WINDOWEVENT_RESTORED, SIZE_RESTORED, 584, 361},
    };
    for (const Step& step : steps) {
        PushWindowEvent(window, step.event);
        const std::vector<MSG> taken = Take();
        ASSERT_EQ(1u, taken.size()) << step.event;
        EXPECT_EQ(window, taken[0].hwnd);
        EXPECT_EQ(UINT{WM_SIZE}, taken[0].message);
        EXPECT_EQ(step.kind, taken[0].wParam) << step.event;
        EXPECT_EQ(MAKELPARAM(step.width, step.height), taken[0].lParam) << step.event;
        EXPECT_EQ(step.kind == SIZE_MAXIMIZED, IsZoomed(window) != FALSE);
        EXPECT_EQ(step.kind == SIZE_MINIMIZED, IsIconic(window) != FALSE);
        if (step.kind == SIZE_MAXIMIZED) {
            EXPECT_EQ((RECT{work.left, work.top + 23, work.right, work.bottom}), SdlClient(window));
        }
    }
    RECT rect{};
    GetWindowRect(window, &rect);
    EXPECT_EQ((RECT{64, 64, 664, 464}), rect);
    EXPECT_EQ((RECT{72, 95, 656, 456}), SdlClient(window));
    EXPECT_TRUE(received.empty());
}

// The user dragging the frame: the SDL window changes size, and the record
// follows with a restored-size WM_SIZE.
TEST_F(InputTest, ResizingArrivesAsWmSize) {
    HWND window = Create();
    ShowWindow(window, SW_SHOWNORMAL);
    Take();
    SDL_Window* sdl = AcquireSdlWindow(window);
    SDL_SetWindowSize(sdl, 700, 500);
    SDL_SetWindowPosition(sdl, 200, 100);
    ReleaseSdlWindow(sdl);

    const std::vector<MSG> taken = Take();
    ASSERT_EQ(1u, taken.size());
    EXPECT_EQ(UINT{WM_SIZE}, taken[0].message);
    EXPECT_EQ(WPARAM{SIZE_RESTORED}, taken[0].wParam);
    EXPECT_EQ(MAKELPARAM(700, 500), taken[0].lParam);
    RECT rect{};
    GetWindowRect(window, &rect);
    EXPECT_EQ((RECT{192, 69, 908, 608}), rect);
    GetClientRect(window, &rect);
    EXPECT_EQ((RECT{0, 0, 700, 500}), rect);

    // Restoring after a maximise comes back to the resized placement.
    ShowWindow(window, SW_SHOWMAXIMIZED);
    ShowWindow(window, SW_RESTORE);
    GetWindowRect(window, &rect);
    EXPECT_EQ((RECT{192, 69, 908, 608}), rect);

    // Also when the user's move and resize come in one batch with the
    // maximise (the program was decoding an image meanwhile).
    sdl = AcquireSdlWindow(window);
    SDL_SetWindowPosition(sdl, 150, 120);
    SDL_SetWindowSize(sdl, 784, 481);
    ReleaseSdlWindow(sdl);
    PushWindowEvent(window, SDL_WINDOWEVENT_MAXIMIZED);
    Take();
    EXPECT_TRUE(IsZoomed(window));
    ShowWindow(window, SW_RESTORE);
    GetWindowRect(window, &rect);
    EXPECT_EQ((RECT{142, 89, 942, 609}), rect);
}
