// Present: the back buffer shown stretched over the whole client area, at
// most once per refresh of the display.
//
// With D3DPRESENT_INTERVAL_ONE, Direct3D's Present waits for the vertical
// retrace, so a loop that presents never runs faster than the display. The
// renderer is asked for vsync, but not every setup honours it (a virtual X
// display, the software renderer, a minimised window that shows nothing), so
// Present also keeps its calls at least one refresh period apart by itself.
// A swap that waited half a period or more was paced by the display; then
// only a sixteenth of a period is allowed for the refresh rate being known in
// whole hertz, so that the two waits never add up.
#include <chrono>
#include <thread>

#include "platform/d3d9/objects.h"
#include "platform/user32/user32.h"

namespace {

int64_t Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// One refresh of the window's display, in nanoseconds; 60 Hz when SDL does
// not know the rate.
int64_t RefreshPeriod(SDL_Window* window) {
    SDL_DisplayMode mode{};
    int hertz = SDL_GetWindowDisplayMode(window, &mode) == 0 ? mode.refresh_rate : 0;
    if (hertz <= 0 || hertz > 1000) {
        hertz = 60;
    }
    return 1'000'000'000 / hertz;
}

} // namespace

int64_t PresentWait(int64_t previousEnd, int64_t swapStart, int64_t now, int64_t period) {
    if (previousEnd == 0) {
        return 0;
    }
    const int64_t least = now - swapStart >= period / 2 ? period - period / 16 : period;
    const int64_t due = previousEnd + least;
    return due > now ? due - now : 0;
}

HRESULT Device::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                        const RGNDATA* dirtyRegion) {
    // Partial presentation and presenting into another window are not
    // offered; with D3DSWAPEFFECT_DISCARD Direct3D refuses rectangles too.
    if (sourceRect != nullptr || destRect != nullptr || destWindowOverride != nullptr ||
        dirtyRegion != nullptr) {
        return D3DERR_INVALIDCALL;
    }
    // The window is gone (closed before the device was released): there is
    // nothing to present into. The SDL window still exists, held by the
    // device, but is no longer shown.
    if (!IsWindow(window)) {
        return D3DERR_INVALIDCALL;
    }
    SDL_SetRenderTarget(renderer, nullptr);
    // The client area's size in pixels at this moment; 0 × 0 while the
    // window is minimised, when there is nothing to show.
    int width = 0;
    int height = 0;
    if (SDL_GetRendererOutputSize(renderer, &width, &height) != 0) {
        width = 0;
    }
    int64_t swapStart = Now();
    if (width > 0 && height > 0) {
        SDL_RenderSetViewport(renderer, nullptr);
        SDL_SetTextureBlendMode(backBuffer, SDL_BLENDMODE_NONE);
        UseScaleMode(renderer, backBuffer, SDL_ScaleModeLinear);
        SDL_RenderCopy(renderer, backBuffer, nullptr, nullptr);
        SDL_RenderFlush(renderer);
        swapStart = Now();
        SDL_RenderPresent(renderer);
    }
    SDL_SetRenderTarget(renderer, backBuffer);
    if (parameters.PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE) {
        const int64_t now = Now();
        const int64_t wait = PresentWait(lastPresentEnd, swapStart, now, RefreshPeriod(sdlWindow));
        if (wait > 0) {
            std::this_thread::sleep_for(std::chrono::nanoseconds(wait));
        }
    }
    lastPresentEnd = Now();
    return D3D_OK;
}
