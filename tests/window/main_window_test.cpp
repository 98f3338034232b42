// The main window over the user32 layer: start-up, the borderless
// full-monitor mode, its restore triggers, minimising and closing.
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "app/show.h"
#include "platform/user32/sdl_window.h"
#include "window/window.h"

bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void PrintTo(const RECT& rect, std::ostream* out) {
    *out << "{" << rect.left << ", " << rect.top << ", " << rect.right << ", " << rect.bottom
         << "}";
}

namespace {

constexpr DWORD clipSiblings = 0x04000000;
constexpr LPARAM altDown = LPARAM{1} << 29;
constexpr LPARAM wasDown = LPARAM{1} << 30;

// Where CreateMainWindow puts the window in the normal state with the dummy
// driver's Windows-sized frame (8 pixels, 31 with the caption): the outer
// 600 x 400 of creation, whose client area the first WM_SIZE reports, is
// placed so that the client area's corner is at 64, 64.
constexpr RECT startRect = {56, 33, 656, 433};
constexpr ClientSize startClient = {584, 361};
// The normal placement of creation, to which a window started maximised
// restores.
constexpr RECT creationRect = {64, 64, 664, 464};

char instanceMarker;
const auto instance = reinterpret_cast<HINSTANCE>(&instanceMarker);

RECT MonitorRect() {
    SDL_Rect bounds;
    SDL_GetDisplayBounds(0, &bounds);
    return {bounds.x, bounds.y, bounds.x + bounds.w, bounds.y + bounds.h};
}

RECT WindowRect() {
    RECT rect{};
    GetWindowRect(mainWindow, &rect);
    return rect;
}

DWORD Style() {
    return static_cast<DWORD>(GetWindowLongA(mainWindow, GWL_STYLE));
}

RECT SdlClient(HWND window) {
    SDL_Window* sdl = AcquireSdlWindow(window);
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    SDL_GetWindowPosition(sdl, &x, &y);
    SDL_GetWindowSize(sdl, &width, &height);
    ReleaseSdlWindow(sdl);
    return {x, y, x + width, y + height};
}

Uint32 SdlId(HWND window) {
    SDL_Window* sdl = AcquireSdlWindow(window);
    const Uint32 id = SDL_GetWindowID(sdl);
    ReleaseSdlWindow(sdl);
    return id;
}

void PushKey(HWND window, SDL_Keycode symbol, SDL_Scancode code, Uint16 modifiers) {
    SDL_Event event{};
    event.key.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.windowID = SdlId(window);
    event.key.keysym.sym = symbol;
    event.key.keysym.scancode = code;
    event.key.keysym.mod = modifiers;
    SDL_PushEvent(&event);
}

void PushWindowEvent(HWND window, SDL_WindowEventID windowEvent) {
    SDL_Event event{};
    event.window.type = SDL_WINDOWEVENT;
    event.window.windowID = SdlId(window);
    event.window.event = windowEvent;
    SDL_PushEvent(&event);
}

// A second window that records the messages it is given.
std::vector<UINT> witnessed;
LRESULT CALLBACK WitnessProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    witnessed.push_back(message);
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateWitness() {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(WNDCLASSEXA);
    if (!GetClassInfoExA(nullptr, "witness", &windowClass)) {
        windowClass.lpfnWndProc = WitnessProcedure;
        windowClass.lpszClassName = "witness";
        RegisterClassExA(&windowClass);
    }
    witnessed.clear();
    return CreateWindowExA(0, "witness", "witness", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr,
                           nullptr, nullptr, nullptr);
}

struct Trigger {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

void Dispatch(const Trigger& trigger) {
    const MSG msg{mainWindow, trigger.message, trigger.wParam, trigger.lParam, 0, {0, 0}};
    DispatchMessageA(&msg);
}

class MainWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        mainWindow = nullptr;
        clientSize = {600, 400};
        isFullscreen = false;
        showCommands.clear();
    }
    void TearDown() override {
        DestroyWindow(mainWindow);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        mainWindow = nullptr;
        isFullscreen = false;
        showCommands.clear();
    }
    // The window as the user maximises it: borderless over the monitor.
    void EnterFullscreen() {
        ShowWindow(mainWindow, SW_MAXIMIZE);
        ASSERT_TRUE(isFullscreen);
        ASSERT_EQ(MonitorRect(), WindowRect());
    }
    void ExpectFramedAt(const RECT& rect, const ClientSize& client) {
        EXPECT_FALSE(isFullscreen);
        EXPECT_EQ(rect, WindowRect());
        EXPECT_EQ(WS_OVERLAPPEDWINDOW | clipSiblings | WS_VISIBLE, Style());
        EXPECT_EQ(client.width, clientSize.width);
        EXPECT_EQ(client.height, clientSize.height);
    }
    void ExpectBorderlessOverTheMonitor() {
        const RECT monitor = MonitorRect();
        EXPECT_TRUE(isFullscreen);
        EXPECT_EQ(monitor, WindowRect());
        EXPECT_EQ(monitor, SdlClient(mainWindow));
        // Only the frame bits are cleared: the window is still maximised.
        EXPECT_EQ(clipSiblings | WS_VISIBLE | WS_MAXIMIZE, Style());
        EXPECT_EQ(monitor.right - monitor.left, clientSize.width);
        EXPECT_EQ(monitor.bottom - monitor.top, clientSize.height);
    }
};

// The first WM_SIZE comes while the window is shown and writes the real
// client size, from which the final placement is made. A second start with
// the same instance uses the class already registered.
TEST_F(MainWindowTest, StartUpSizesTheWindowFromTheFirstWmSize) {
    CreateMainWindow(instance, SW_SHOWDEFAULT);
    ASSERT_NE(nullptr, mainWindow);
    ExpectFramedAt(startRect, startClient);
    EXPECT_EQ((RECT{64, 64, 648, 425}), SdlClient(mainWindow));
    EXPECT_TRUE(PumpMessages());
    ExpectFramedAt(startRect, startClient);

    const HWND first = mainWindow;
    clientSize = {600, 400};
    CreateMainWindow(instance, SW_SHOWNORMAL);
    EXPECT_NE(first, mainWindow);
    ExpectFramedAt(startRect, startClient);
    DestroyWindow(first);
}

// A maximising show command gives the borderless window within
// CreateMainWindow, before any graphics exist; Escape brings back the frame
// at the placement of creation.
TEST_F(MainWindowTest, MaximisingShowCommandStartsBorderless) {
    CreateMainWindow(instance, SW_SHOWMAXIMIZED);
    ExpectBorderlessOverTheMonitor();
    EXPECT_TRUE(PumpMessages());
    ExpectBorderlessOverTheMonitor();

    PushKey(mainWindow, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, KMOD_NONE);
    EXPECT_TRUE(PumpMessages());
    ExpectFramedAt(creationRect, startClient);
    EXPECT_EQ((RECT{72, 95, 656, 456}), SdlClient(mainWindow));
}

// The desktop's maximise arrives as a queued WM_SIZE; handling it makes the
// window borderless over the monitor.
TEST_F(MainWindowTest, MaximisingByTheUserCoversTheMonitor) {
    CreateMainWindow(instance, SW_SHOWNORMAL);
    PushWindowEvent(mainWindow, SDL_WINDOWEVENT_MAXIMIZED);
    EXPECT_TRUE(PumpMessages());
    ExpectBorderlessOverTheMonitor();
}

// Escape, either Windows key, either Alt key, any system key (F10, Alt
// combinations) and a left or right press restore the framed window at its
// earlier place; other keys do not. In the framed window the triggers change
// nothing.
TEST_F(MainWindowTest, RestoreTriggersBringBackTheFrame) {
    const Trigger triggers[] = {
        {WM_KEYDOWN, VK_ESCAPE, 1},
        {WM_KEYDOWN, VK_LWIN, 1},
        {WM_KEYDOWN, VK_RWIN, 1},
        {WM_KEYDOWN, VK_LMENU, 1},
        {WM_KEYDOWN, VK_RMENU, 1},
        {WM_SYSKEYDOWN, VK_F10, 1},
        {WM_SYSKEYDOWN, VK_MENU, 1 | altDown},
        {WM_SYSKEYDOWN, 'X', 1 | altDown},
        {WM_SYSKEYDOWN, VK_RETURN, 1 | altDown},
        {WM_SYSKEYDOWN, VK_SPACE, 1 | altDown},
        {WM_SYSKEYDOWN, VK_RIGHT, 1 | altDown},
        {WM_SYSKEYDOWN, VK_F11, 1 | altDown},
        {WM_LBUTTONDOWN, 1, MAKELPARAM(10, 10)},
        {WM_RBUTTONDOWN, 2, MAKELPARAM(10, 10)},
    };
    const Trigger others[] = {
        {WM_KEYDOWN, 'A', 1},      {WM_KEYDOWN, VK_F1, 1},    {WM_KEYDOWN, VK_LEFT, 1},
        {WM_KEYDOWN, VK_SPACE, 1}, {WM_KEYDOWN, VK_MENU, 1},  {WM_KEYDOWN, VK_F10, 1},
        {WM_KEYDOWN, VK_RIGHT, 1}, {WM_KEYDOWN, VK_NEXT, 1},  {WM_KEYDOWN, VK_PRIOR, 1},
        {WM_KEYUP, VK_ESCAPE, 1},  {WM_SYSKEYUP, VK_MENU, 1}, {WM_LBUTTONUP, 0, 0},
        {WM_RBUTTONUP, 0, 0},
    };
    CreateMainWindow(instance, SW_SHOWNORMAL);
    MoveWindow(mainWindow, 100, 50, 500, 300, TRUE);
    const RECT normal = {100, 50, 600, 350};
    const ClientSize normalClient = {484, 261};

    for (const Trigger& trigger : triggers) {
        EnterFullscreen();
        Dispatch(trigger);
        ExpectFramedAt(normal, normalClient);
        Dispatch(trigger);
        ExpectFramedAt(normal, normalClient);
    }
    EnterFullscreen();
    for (const Trigger& other : others) {
        Dispatch(other);
        EXPECT_TRUE(isFullscreen) << std::hex << other.message << " " << other.wParam;
    }
    ExpectBorderlessOverTheMonitor();

    PushKey(mainWindow, SDLK_LGUI, SDL_SCANCODE_LGUI, KMOD_LGUI);
    EXPECT_TRUE(PumpMessages());
    ExpectFramedAt(normal, normalClient);
}

// F11 maximises the framed window into the borderless mode and restores the
// borderless one; held down, it does not toggle again.
TEST_F(MainWindowTest, F11TogglesTheFullMonitorMode) {
    CreateMainWindow(instance, SW_SHOWNORMAL);
    for (bool fullscreen : {true, false}) {
        PushKey(mainWindow, SDLK_F11, SDL_SCANCODE_F11, KMOD_NONE);
        EXPECT_TRUE(PumpMessages());
        Dispatch({WM_KEYDOWN, VK_F11, 1 | wasDown});
        fullscreen ? ExpectBorderlessOverTheMonitor() : ExpectFramedAt(startRect, startClient);
    }
}

// The show's keys queue their commands in the order pressed. A held Space
// toggles once; a held step key adds a step only while none waits. With Alt
// they are system keys and queue nothing.
TEST_F(MainWindowTest, ShowKeysQueueTheirCommands) {
    CreateMainWindow(instance, SW_SHOWNORMAL);
    for (SDL_Scancode key : {SDL_SCANCODE_SPACE, SDL_SCANCODE_RIGHT, SDL_SCANCODE_PAGEDOWN,
                             SDL_SCANCODE_LEFT, SDL_SCANCODE_PAGEUP}) {
        PushKey(mainWindow, SDL_GetKeyFromScancode(key), key, KMOD_NONE);
    }
    PushKey(mainWindow, SDLK_RIGHT, SDL_SCANCODE_RIGHT, KMOD_LALT);
    EXPECT_TRUE(PumpMessages());
    using enum ShowCommand;
    EXPECT_EQ((std::deque<ShowCommand>{pause, next, next, previous, previous}), showCommands);

    showCommands.clear();
    for (const auto& [key, held] : {std::pair{VK_SPACE, true}, std::pair{VK_RIGHT, true},
                                    std::pair{VK_SPACE, false}, std::pair{VK_LEFT, true}}) {
        Dispatch({WM_KEYDOWN, static_cast<WPARAM>(key), held ? 1 | wasDown : 1});
    }
    EXPECT_EQ((std::deque<ShowCommand>{next, pause}), showCommands);
}

// Minimising keeps the full-monitor mode, with no client area; coming back
// from the minimised state covers the monitor again.
TEST_F(MainWindowTest, MinimisingKeepsTheFullMonitorMode) {
    CreateMainWindow(instance, SW_SHOWNORMAL);
    EnterFullscreen();
    PushWindowEvent(mainWindow, SDL_WINDOWEVENT_MINIMIZED);
    EXPECT_TRUE(PumpMessages());
    EXPECT_TRUE(isFullscreen);
    EXPECT_TRUE(IsIconic(mainWindow));
    EXPECT_EQ(0, clientSize.width);
    EXPECT_EQ(0, clientSize.height);

    PushWindowEvent(mainWindow, SDL_WINDOWEVENT_RESTORED);
    EXPECT_TRUE(PumpMessages());
    ExpectBorderlessOverTheMonitor();
}

// Every WM_SIZE refits the slides, which records the client size: the user
// resizing the framed window included.
TEST_F(MainWindowTest, ResizingRecordsTheClientSize) {
    CreateMainWindow(instance, SW_SHOWNORMAL);
    SDL_Window* sdl = AcquireSdlWindow(mainWindow);
    SDL_SetWindowSize(sdl, 700, 500);
    ReleaseSdlWindow(sdl);
    EXPECT_TRUE(PumpMessages());
    EXPECT_EQ(700, clientSize.width);
    EXPECT_EQ(500, clientSize.height);
    EXPECT_FALSE(isFullscreen);
    EXPECT_EQ(WS_OVERLAPPEDWINDOW | clipSiblings | WS_VISIBLE, Style());
}

// Closing ends the pump in the drain that takes the quit message; what is
// queued around it is still dispatched, and the window is gone.
TEST_F(MainWindowTest, ClosingEndsThePump) {
    CreateMainWindow(instance, SW_SHOWNORMAL);
    const HWND witness = CreateWitness();
    PumpMessages();
    witnessed.clear();

    PushWindowEvent(mainWindow, SDL_WINDOWEVENT_CLOSE);
    PushKey(witness, SDLK_a, SDL_SCANCODE_A, KMOD_NONE);
    PostMessageA(witness, 0x0401, 0, 0);
    EXPECT_FALSE(PumpMessages());
    EXPECT_EQ((std::vector<UINT>{0x0401, WM_KEYDOWN}), witnessed);
    EXPECT_FALSE(IsWindow(mainWindow));
    EXPECT_TRUE(PumpMessages());
    DestroyWindow(witness);
}

// Alt+F4 closes the window from either state, through the default handling.
TEST_F(MainWindowTest, AltF4Closes) {
    for (bool fullscreen : {false, true}) {
        CreateMainWindow(instance, SW_SHOWNORMAL);
        if (fullscreen) {
            EnterFullscreen();
        }
        PushKey(mainWindow, SDLK_F4, SDL_SCANCODE_F4, KMOD_LALT);
        EXPECT_FALSE(PumpMessages());
        EXPECT_FALSE(IsWindow(mainWindow));
        EXPECT_FALSE(isFullscreen);
    }
}

} // namespace
