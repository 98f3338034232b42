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

// The way of drawing the user asked for in VIMBORA_RENDERER: "gpu" for SDL's
// renderer, "cpu" for the graphics device's own compositor; unset (or
// anything else) leaves the choice to the device. A window made while "cpu"
// is asked for is not made ready for OpenGL, so that no OpenGL library is
// loaded at all.
enum class RendererRequest { automatic, gpu, cpu };
RendererRequest RequestedRenderer();
