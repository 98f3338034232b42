// The SDL window behind a window handle, for the Direct3D layer, which draws
// into it. A hold keeps the SDL window alive after the HWND is destroyed
// (WM_CLOSE destroys the window before the device is released at exit).
#pragma once

#include <SDL.h>

#include "platform/windef.h"

// The SDL window of `window` with one more hold on it; null for a handle that
// is not (or no longer) a window.
SDL_Window* AcquireSdlWindow(HWND window);

// Drops a hold taken by AcquireSdlWindow. The SDL window is destroyed once its
// HWND is destroyed and no hold remains.
void ReleaseSdlWindow(SDL_Window* window);

// The way of drawing settled before any OpenGL library is loaded: what the
// user asked for in VIMBORA_RENDERER ("gpu" for SDL's renderer, "cpu" for
// the graphics device's own compositor); else "cpu" on an X server without
// direct rendering, where OpenGL could only run in software; "gpu" under a
// Wayland compositor; else left to the device, which asks SDL's renderer
// (automatic). Windows made while it
// is "cpu" are not made ready for OpenGL, so that no OpenGL library is
// loaded at all. Needs SDL's video running.
enum class RendererRequest { automatic, gpu, cpu };
RendererRequest RequestedRenderer();
