// What the X server itself says about a window and its desktop, read back
// through Xlib rather than taken from SDL's cached flags and positions, which
// lag behind the window manager and keep what was asked rather than what was
// done. Kept apart from the layer's other headers: Xlib's own names (Window,
// Status, None) would clash with the layer's.
#pragma once

#include <SDL.h>

// A window as the X server has it now.
struct X11Answer {
    SDL_Rect client; // the window's own area, root (screen) pixels
    bool mapped;     // on screen (not hidden, not minimised)
    bool fullscreen; // _NET_WM_STATE_FULLSCREEN
    bool maximised;  // _NET_WM_STATE_MAXIMIZED_VERT and _HORZ
    bool framed;     // the window manager draws a frame (_NET_FRAME_EXTENTS)
};

// Reads `window` back from the X server; false when it is no X11 window (SDL
// runs on another driver) or the server does not know it.
bool ReadX11Window(SDL_Window* window, X11Answer& answer);

// The size of `window`'s own area as the X server has it now, pixels; false
// when it is no X11 window.
bool ReadX11Size(SDL_Window* window, int& width, int& height);

// Whether a window manager runs on the X display of `window`, as EWMH tells
// it (_NET_SUPPORTING_WM_CHECK on the root window names a window that names
// itself); true for a window that is not on X11, where the compositor is the
// window manager.
bool X11WindowManagerRuns(SDL_Window* window);

// Asks the window manager to take `window` out of the full screen it gave
// the window itself (EWMH's _NET_WM_STATE request); nothing where the window
// is not on X11.
void LeaveX11FullScreen(SDL_Window* window);
