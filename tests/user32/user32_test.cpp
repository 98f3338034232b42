#include "user32_test.h"

std::vector<Received> received;
std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> reaction;

namespace {

constexpr LPCSTR className = "user32 test window";

LRESULT CALLBACK RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    received.push_back({window, message, wParam, lParam});
    return reaction(window, message, wParam, lParam);
}

Uint32 SdlId(HWND window) {
    SDL_Window* sdl = AcquireSdlWindow(window);
    const Uint32 id = SDL_GetWindowID(sdl);
    ReleaseSdlWindow(sdl);
    return id;
}

} // namespace

bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void PrintTo(const RECT& rect, std::ostream* out) {
    *out << "{" << rect.left << ", " << rect.top << ", " << rect.right << ", " << rect.bottom
         << "}";
}

void PrintTo(const Received& received, std::ostream* out) {
    *out << "{" << received.window << ", 0x" << std::hex << received.message << ", 0x"
         << received.wParam << ", 0x" << received.lParam << std::dec << "}";
}

Received Size(HWND window, WPARAM kind, int width, int height) {
    return {window, WM_SIZE, kind, MAKELPARAM(width, height)};
}

RECT MonitorRect() {
    SDL_Rect bounds;
    SDL_GetDisplayBounds(0, &bounds);
    return {bounds.x, bounds.y, bounds.x + bounds.w, bounds.y + bounds.h};
}

RECT WorkArea() {
    SDL_Rect usable;
    SDL_GetDisplayUsableBounds(0, &usable);
    return {usable.x, usable.y, usable.x + usable.w, usable.y + usable.h};
}

void WindowTest::SetUp() {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(WNDCLASSEXA);
    if (!GetClassInfoExA(nullptr, className, &windowClass)) {
        windowClass.lpfnWndProc = RecordingProcedure;
        windowClass.lpszClassName = className;
        ASSERT_NE(0, RegisterClassExA(&windowClass));
    }
    reaction = DefWindowProcA;
    received.clear();
}

void WindowTest::TearDown() {
    reaction = DefWindowProcA;
    for (HWND window : created) {
        DestroyWindow(window);
    }
    Take();
    received.clear();
}

HWND WindowTest::Create(DWORD style, RECT rect) {
    HWND window =
        CreateWindowExA(0, className, "test", style, rect.left, rect.top, rect.right - rect.left,
                        rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(nullptr, window);
    created.push_back(window);
    return window;
}

std::vector<MSG> WindowTest::Take() {
    std::vector<MSG> taken;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        taken.push_back(msg);
    }
    return taken;
}

void WindowTest::Drain() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
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

void PushKey(HWND window, SDL_Keycode symbol, SDL_Scancode code, Uint16 modifiers, bool down) {
    SDL_Event event{};
    event.key.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.windowID = SdlId(window);
    event.key.keysym.sym = symbol;
    event.key.keysym.scancode = code;
    event.key.keysym.mod = modifiers;
    ASSERT_EQ(1, SDL_PushEvent(&event));
}

void PushButton(HWND window, Uint8 button, int x, int y, bool down) {
    SDL_Event event{};
    event.button.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.windowID = SdlId(window);
    event.button.button = button;
    event.button.clicks = 1;
    event.button.x = x;
    event.button.y = y;
    ASSERT_EQ(1, SDL_PushEvent(&event));
}

void PushWindowEvent(HWND window, SDL_WindowEventID windowEvent) {
    SDL_Event event{};
    event.window.type = SDL_WINDOWEVENT;
    event.window.windowID = SdlId(window);
    event.window.event = windowEvent;
    ASSERT_EQ(1, SDL_PushEvent(&event));
}
