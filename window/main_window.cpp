// The main window: its class and creation, and the window procedure with the
// borderless full-monitor mode.
#include "app/show.h"
#include "render/slides.h"
#include "window/window.h"

bool isFullscreen = false;

namespace {

constexpr LPCSTR windowClassName = "my window class";
// Caption, system menu, sizing frame and the two boxes: the bits of
// WS_OVERLAPPEDWINDOW that make the frame.
constexpr DWORD frameStyle = 0x00CF0000;

// Covers the monitor nearest to the window, taskbar area included, without a
// frame. WS_MAXIMIZE stays set, so the window is still maximised.
void EnterBorderless() {
    isFullscreen = true;
    const auto style = static_cast<DWORD>(GetWindowLongA(mainWindow, GWL_STYLE));
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(MONITORINFO);
    GetMonitorInfoA(MonitorFromWindow(mainWindow, MONITOR_DEFAULTTONEAREST), &monitor);
    SetWindowLongA(mainWindow, GWL_STYLE, static_cast<LONG>(style & ~frameStyle));
    const RECT& area = monitor.rcMonitor;
    SetWindowPos(mainWindow, HWND_TOP, area.left, area.top, area.right - area.left,
                 area.bottom - area.top, SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
}

// Gives the window its frame back where the platform has placed it. Runs on
// every restored-size WM_SIZE, also while the user drags the frame.
void LeaveBorderless() {
    isFullscreen = false;
    const auto style = static_cast<DWORD>(GetWindowLongA(mainWindow, GWL_STYLE));
    SetWindowLongA(mainWindow, GWL_STYLE, static_cast<LONG>(style | frameStyle));
    SetWindowPos(mainWindow, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
}

// The platform restores the window to its normal placement and sends the
// WM_SIZE that brings the frame back.
void RestoreFramedWindow() {
    if (isFullscreen) {
        ShowWindow(mainWindow, SW_RESTORE);
    }
}

bool IsRestoreKey(WPARAM key) {
    return key == VK_ESCAPE || key == VK_LWIN || key == VK_RWIN || key == VK_LMENU ||
           key == VK_RMENU;
}

// The show's own keys, pressed without Alt (with Alt they come as
// WM_SYSKEYDOWN). Bit 30 of lParam: the key was already down, an
// auto-repeat.
void HandleShowKey(WPARAM key, LPARAM keyData) {
    const bool repeat = (keyData & (LPARAM{1} << 30)) != 0;
    switch (key) {
    case VK_SPACE:
        QueueShowCommand(ShowCommand::pause, repeat);
        break;
    case VK_RIGHT:
    case VK_NEXT:
        QueueShowCommand(ShowCommand::next, repeat);
        break;
    case VK_LEFT:
    case VK_PRIOR:
        QueueShowCommand(ShowCommand::previous, repeat);
        break;
    case VK_F11:
        // Maximising gives the borderless mode through WM_SIZE; a held F11
        // does not flicker between the two.
        if (!repeat) {
            ShowWindow(mainWindow, isFullscreen ? SW_RESTORE : SW_MAXIMIZE);
        }
        break;
    default:
        break;
    }
}

} // namespace

void CreateMainWindow(HINSTANCE instance, int showCommand) {
    // cbSize is the record's size in this build: the 48 bytes of a 32-bit
    // build would make RegisterClassExA fail on 64-bit Windows.
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(WNDCLASSEXA);
    if (!GetClassInfoExA(instance, windowClassName, &windowClass)) {
        windowClass = {};
        windowClass.cbSize = sizeof(WNDCLASSEXA);
        windowClass.style = CS_VREDRAW | CS_HREDRAW;
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
        windowClass.lpszClassName = windowClassName;
        RegisterClassExA(&windowClass);
    }

    // clientSize is taken as the outer size here; the first WM_SIZE, sent
    // while the window is shown, replaces it with the real client size.
    mainWindow =
        CreateWindowExA(WS_EX_LEFT, windowClassName, "Vimbora", WS_OVERLAPPEDWINDOW, 64, 64,
                        clientSize.width, clientSize.height, nullptr, nullptr, instance, nullptr);
    ShowWindow(mainWindow, showCommand);
    UpdateWindow(mainWindow);

    RECT rect = {64, 64, 64 + clientSize.width, 64 + clientSize.height};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);
    MoveWindow(mainWindow, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
               TRUE);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        if (wParam == SIZE_MAXIMIZED) {
            EnterBorderless();
        } else if (wParam == SIZE_RESTORED) {
            LeaveBorderless();
        }
        FitSlideQuad(currentSlide);
        FitSlideQuad(nextSlide);
        break;
    case WM_CLOSE:
        PostQuitMessage(0);
        break;
    case WM_KEYDOWN:
        if (IsRestoreKey(wParam)) {
            RestoreFramedWindow();
        }
        HandleShowKey(wParam, lParam);
        break;
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        RestoreFramedWindow();
        break;
    default:
        break;
    }
    // Every message, handled or not, also gets the default handling: WM_CLOSE
    // then destroys the window, Alt+F4 closes it.
    return DefWindowProcA(window, message, wParam, lParam);
}
