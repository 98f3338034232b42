// The main window: creation, the window procedure with the borderless
// full-monitor mode, and the message pump.
#pragma once

#include <cstdint>

#include "platform/win32.h"

struct ClientSize {
    int32_t width;  // pixels
    int32_t height; // pixels
};

// The one top-level window; null until CreateMainWindow.
extern HWND mainWindow;
// Last known client-area size, 600 x 400 at start; written by every fit of a
// slide's quad, which every WM_SIZE makes.
extern ClientSize clientSize;
// True while the maximised window is shown borderless over its monitor.
extern bool isFullscreen;

// Registers "my window class" (unless the instance already has it), creates
// and shows the window with `showCommand`, then sizes its client area.
void CreateMainWindow(HINSTANCE instance, int showCommand);

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Dispatches every queued message without waiting; false when WM_QUIT was
// among them.
bool PumpMessages();
