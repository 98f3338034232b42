// The window table: creation and destruction, handles, styles and
// rectangles, and the SDL window behind each handle.
#include <algorithm>
#include <cstring>
#include <map>

#include "platform/user32/sdl_window.h"
#include "platform/user32/window_model.h"
#include "platform/user32/x11_desktop.h"
#include "platform/user32/x11_errors.h"

namespace {

// Windows adds these to every overlapped (neither pop-up nor child) window.
constexpr DWORD clipSiblings = 0x04000000;
constexpr DWORD childStyle = 0x40000000;

// Records are kept after destruction, so that a handle is never reused and a
// reference to a record stays valid while window procedures destroy windows.
std::map<uintptr_t, Window> windows;
uintptr_t nextHandle = 0x10010;

bool videoStarted = false;
bool videoOnDisplay = true;
bool windowManaged = true;

uintptr_t Key(HWND handle) {
    return reinterpret_cast<uintptr_t>(handle);
}

// Where a window asked for with CW_USEDEFAULT goes: a quarter in from the top
// left of the primary display's work area, half its size.
void ApplyDefaults(int& x, int& y, int& width, int& height) {
    const RECT work = DisplayWorkArea(0);
    if (x == CW_USEDEFAULT) {
        x = work.left + (work.right - work.left) / 4;
        y = work.top + (work.bottom - work.top) / 4;
    }
    if (width == CW_USEDEFAULT) {
        width = (work.right - work.left) / 2;
        height = (work.bottom - work.top) / 2;
    }
}

} // namespace

bool StartVideo() {
    if (videoStarted) {
        return true;
    }
    // A slide show keeps its full-screen window when another window takes
    // the focus, and the program ends when its own window procedure says so.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!VideoDriverAccepted(driver, SDL_GetHint(SDL_HINT_VIDEODRIVER))) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    videoStarted = true;
    WatchWindowEvents();
    videoOnDisplay = std::strcmp(driver, "dummy") != 0 && std::strcmp(driver, "offscreen") != 0;
    windowManaged = videoOnDisplay;
    if (std::strcmp(driver, "x11") == 0) {
        SurviveVanishedWindows();
    }
    return true;
}

bool VideoOnDisplay() {
    return StartVideo() && videoOnDisplay;
}

bool VideoDriverAccepted(const char* driver, const char* requested) {
    if (driver == nullptr) {
        return false;
    }
    // Without a display SDL falls back to its offscreen driver, where nobody
    // would ever see the window; windows then fail to open as they do when
    // there is no video at all. Asked for by name (tests), it is taken.
    if (std::strcmp(driver, "offscreen") != 0) {
        return true;
    }
    return requested != nullptr && std::strstr(requested, driver) != nullptr;
}

bool WindowManaged() {
    return windowManaged;
}

Window* LookUpWindow(HWND handle) {
    auto found = windows.find(Key(handle));
    if (found == windows.end() || found->second.destroyed) {
        return nullptr;
    }
    return &found->second;
}

Window* LookUpSdlWindow(Uint32 id) {
    for (auto& [key, window] : windows) {
        if (window.sdl != nullptr && SDL_GetWindowID(window.sdl) == id) {
            return &window;
        }
    }
    return nullptr;
}

Window* FirstWindowAfter(HWND handle) {
    for (auto it = windows.upper_bound(Key(handle)); it != windows.end(); ++it) {
        if (!it->second.destroyed) {
            return &it->second;
        }
    }
    return nullptr;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND, HMENU, HINSTANCE instance, void*) {
    const WNDPROC procedure = FindClassProcedure(instance, className);
    if (procedure == nullptr || !StartVideo()) {
        return nullptr;
    }
    if ((style & (WS_POPUP | childStyle)) == 0) {
        style |= clipSiblings | WS_CAPTION;
    }
    ApplyDefaults(x, y, width, height);

    Window window{};
    window.procedure = procedure;
    window.style = style & ~(WS_VISIBLE | WS_MAXIMIZE | WS_MINIMIZE);
    window.exStyle = exStyle;
    window.rect = {x, y, x + std::max(width, 0), y + std::max(height, 0)};
    window.normalRect = window.rect;
    window.nonClient = NonClientFor(window.style);
    const RECT client = ClientOf(window.rect, window.nonClient.frame);
    window.reportedKind = SIZE_RESTORED;
    window.reportedWidth = client.right - client.left;
    window.reportedHeight = client.bottom - client.top;

    // Created hidden; ShowWindow brings it on screen. Window units are
    // drawable pixels, as no high-dpi drawable is asked for.
    Uint32 flags = SDL_WINDOW_HIDDEN;
    flags |= window.nonClient.sizable ? SDL_WINDOW_RESIZABLE : 0;
    flags |= window.nonClient.captioned ? 0 : SDL_WINDOW_BORDERLESS;
    // Made ready for OpenGL at once where the driver has it: the renderer
    // the graphics device puts on the window would otherwise replace the
    // window by a new one, which the desktop sees as the window vanishing
    // and coming back. Not when the device is to draw on the CPU.
    const char* title = windowName != nullptr ? windowName : "";
    const int sdlWidth = std::max(window.reportedWidth, LONG{1});
    const int sdlHeight = std::max(window.reportedHeight, LONG{1});
    const Uint32 openGl = RequestedRenderer() == RendererRequest::cpu ? 0 : SDL_WINDOW_OPENGL;
    window.sdl =
        SDL_CreateWindow(title, client.left, client.top, sdlWidth, sdlHeight, flags | openGl);
    if (window.sdl == nullptr) {
        window.sdl = SDL_CreateWindow(title, client.left, client.top, sdlWidth, sdlHeight, flags);
    }
    if (window.sdl == nullptr) {
        return nullptr;
    }
    // Asked again for every window: a kiosk session may start its window
    // manager after the program, or none at all.
    windowManaged = videoOnDisplay && X11WindowManagerRuns(window.sdl);
    window.requested = SdlMode::hidden;
    window.desktopNormal = SdlMode::normal;
    window.created = {client.left, client.top, sdlWidth, sdlHeight};
    window.handle = reinterpret_cast<HWND>(nextHandle);
    nextHandle += 4;
    Window& added = windows.emplace(Key(window.handle), window).first->second;
    added.observed = ReadSdlState(added);
    // WS_MAXIMIZE and WS_MINIMIZE ask for a window that starts in that state.
    if (style & WS_MAXIMIZE) {
        RecordMaximised(added);
    } else if (style & WS_MINIMIZE) {
        RecordMinimised(added);
    }

    const HWND handle = added.handle;
    if (style & WS_VISIBLE) {
        ShowWindow(handle, SW_SHOW);
    }
    return handle;
}

BOOL WINAPI DestroyWindow(HWND handle) {
    Window* window = LookUpWindow(handle);
    if (window == nullptr || window->destroying) {
        return FALSE;
    }
    window->destroying = true;
    SendMessageA(handle, WM_DESTROY, 0, 0);
    window->destroyed = true;
    DiscardMessages(handle);
    DropSdlWindow(*window);
    return TRUE;
}

void DropSdlWindow(Window& window) {
    if (window.sdl == nullptr) {
        return;
    }
    if (window.holds > 0) {
        SDL_HideWindow(window.sdl);
        return;
    }
    SDL_DestroyWindow(window.sdl);
    window.sdl = nullptr;
}

SDL_Window* AcquireSdlWindow(HWND handle) {
    Window* window = LookUpWindow(handle);
    if (window == nullptr || window->sdl == nullptr) {
        return nullptr;
    }
    ++window->holds;
    return window->sdl;
}

void ReleaseSdlWindow(SDL_Window* sdlWindow) {
    if (sdlWindow == nullptr) {
        return;
    }
    for (auto& [key, window] : windows) {
        if (window.sdl == sdlWindow && window.holds > 0) {
            --window.holds;
            if (window.destroyed) {
                DropSdlWindow(window);
            }
            return;
        }
    }
}

BOOL WINAPI IsWindow(HWND handle) {
    return LookUpWindow(handle) != nullptr;
}

BOOL WINAPI IsZoomed(HWND handle) {
    const Window* window = LookUpWindow(handle);
    return window != nullptr && (window->style & WS_MAXIMIZE) != 0;
}

BOOL WINAPI IsIconic(HWND handle) {
    const Window* window = LookUpWindow(handle);
    return window != nullptr && (window->style & WS_MINIMIZE) != 0;
}

LONG WINAPI GetWindowLongA(HWND handle, int index) {
    const Window* window = LookUpWindow(handle);
    if (window == nullptr) {
        return 0;
    }
    switch (index) {
    case GWL_STYLE:
        return static_cast<LONG>(window->style);
    case GWL_EXSTYLE:
        return static_cast<LONG>(window->exStyle);
    default:
        return 0;
    }
}

LONG WINAPI SetWindowLongA(HWND handle, int index, LONG newLong) {
    // Only the bits change: as on Windows, the frame follows a new style at
    // the next SetWindowPos with SWP_FRAMECHANGED (or move, resize or show).
    Window* window = LookUpWindow(handle);
    if (window == nullptr) {
        return 0;
    }
    DWORD* field = nullptr;
    switch (index) {
    case GWL_STYLE:
        field = &window->style;
        break;
    case GWL_EXSTYLE:
        field = &window->exStyle;
        break;
    default:
        return 0;
    }
    const auto previous = static_cast<LONG>(*field);
    *field = static_cast<DWORD>(newLong);
    return previous;
}

BOOL WINAPI GetClientRect(HWND handle, RECT* rect) {
    const Window* window = LookUpWindow(handle);
    if (window == nullptr || rect == nullptr) {
        return FALSE;
    }
    // A minimised window has no client area on Windows.
    if (window->style & WS_MINIMIZE) {
        *rect = {0, 0, 0, 0};
        return TRUE;
    }
    const RECT client = ClientOf(window->rect, window->nonClient.frame);
    *rect = {0, 0, client.right - client.left, client.bottom - client.top};
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND handle, RECT* rect) {
    const Window* window = LookUpWindow(handle);
    if (window == nullptr || rect == nullptr) {
        return FALSE;
    }
    *rect = window->rect;
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND handle) {
    // Nothing is painted through the layer: Direct3D presents the whole
    // client area, so there is never an update region to flush.
    return IsWindow(handle);
}
