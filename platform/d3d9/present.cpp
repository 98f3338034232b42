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
//
// A frame that asks for exactly the pixels the window already shows (the
// same commands, textures with the same contents, the same client size, and
// no window event since, such as an exposure) is neither drawn nor handed to
// the window again; Present still waits for the next refresh, so the loop
// keeps its pace and a still slide costs next to nothing.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

#include "platform/d3d9/objects.h"
#include "platform/user32/user32.h"

namespace {

int64_t Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// One refresh of the monitor the window is on, in nanoseconds: the rate of
// the mode that display runs in now, as the desktop set it (the mode SDL
// would pick for a full-screen window of the window's size may have another
// rate); 60 Hz when SDL does not know it.
int64_t RefreshPeriod(SDL_Window* window) {
    SDL_DisplayMode mode{};
    const int display = SDL_GetWindowDisplayIndex(window);
    int hertz =
        display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 ? mode.refresh_rate : 0;
    if (hertz <= 0 || hertz > 1000) {
        hertz = 60;
    }
    return 1'000'000'000 / hertz;
}

int64_t RealTimeMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// CPU time of the whole process (all its threads, the renderer's included).
int64_t ProcessCpuTime() {
    timespec time{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
    return int64_t{time.tv_sec} * 1'000'000'000 + time.tv_nsec;
}

// Adds the frame that ends now to the statistics.
void CountFrame(FrameStats& stats, bool presented) {
    if (!stats.enabled) {
        return;
    }
    const int64_t cpu = ProcessCpuTime();
    const int64_t wall = Now();
    if (presented && stats.firstPresentTime == 0) {
        stats.firstPresentTime = RealTimeMicroseconds();
    }
    if (stats.lastWall != 0) {
        (presented ? stats.cpuPresented : stats.cpuSkipped) += cpu - stats.lastCpu;
        (presented ? stats.wallPresented : stats.wallSkipped) += wall - stats.lastWall;
    }
    stats.lastCpu = cpu;
    stats.lastWall = wall;
}

bool StatsWanted() {
    const char* value = std::getenv("VIMBORA_FRAME_STATS");
    return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

// Counts the events after which the window must be drawn again although the
// frame is the same: any event of the device's window (exposed, shown,
// resized, restored) and the loss of render targets. SDL calls it as it
// queues each event, on the thread that pumps them.
int CountWindowEvent(void* data, SDL_Event* event) {
    Device* device = static_cast<Device*>(data);
    const bool ofWindow = event->type == SDL_WINDOWEVENT &&
                          event->window.windowID == SDL_GetWindowID(device->sdlWindow);
    if (ofWindow || event->type == SDL_RENDER_TARGETS_RESET ||
        event->type == SDL_RENDER_DEVICE_RESET) {
        device->windowEvents++;
    }
    if (ofWindow) {
        switch (event->window.event) {
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_RESIZED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_MAXIMIZED:
        case SDL_WINDOWEVENT_RESTORED:
            device->windowReshapes++;
            break;
        default:
            break;
        }
    }
    return 0;
}

// Ends a frame that goes nowhere (a refused Present): its commands reach the
// back buffer, as Direct3D's draws would have, and the window keeps what it
// shows.
void RunWithoutShowing(Device& device) {
    RunFrameCommands(device);
    EndFrame(device, false);
    device.backBufferShown = false;
}

} // namespace

void StartPresenting(Device& device) {
    SDL_AddEventWatch(CountWindowEvent, &device);
    device.watchingWindow = true;
    device.stats.enabled = StatsWanted();
}

void StopPresenting(Device& device) {
    EndFrame(device, false);
    if (device.watchingWindow) {
        SDL_DelEventWatch(CountWindowEvent, &device);
        device.watchingWindow = false;
    }
    // One line, words and numbers alternating, for scripts to read.
    const FrameStats& stats = device.stats;
    if (stats.enabled) {
        std::fprintf(stderr,
                     "vimbora frame stats: presented %" PRIu64 " skipped %" PRIu64
                     " presented-cpu-us %" PRId64 " presented-wall-us %" PRId64
                     " skipped-cpu-us %" PRId64 " skipped-wall-us %" PRId64
                     " first-presented-at-us %" PRId64 " renderer %s\n",
                     device.framesPresented, device.framesSkipped, stats.cpuPresented / 1000,
                     stats.wallPresented / 1000, stats.cpuSkipped / 1000, stats.wallSkipped / 1000,
                     stats.firstPresentTime, device.drawsOnCpu ? "cpu" : "gpu");
    }
}

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
        RunWithoutShowing(*this);
        return D3DERR_INVALIDCALL;
    }
    // The window is gone (closed before the device was released): there is
    // nothing to present into. The SDL window still exists, held by the
    // device, but is no longer shown.
    if (!IsWindow(window)) {
        RunWithoutShowing(*this);
        return D3DERR_INVALIDCALL;
    }
    // The client area's size in pixels at this moment; 0 × 0 while the
    // window is minimised, when there is nothing to show. (The renderer
    // tells the window's size only while it draws into the window.)
    int width = 0;
    int height = 0;
    if (drawsOnCpu) {
        CpuClientSize(*this, width, height);
    } else {
        SDL_SetRenderTarget(renderer, nullptr);
        if (SDL_GetRendererOutputSize(renderer, &width, &height) != 0) {
            width = 0;
        }
    }
    const uint32_t reshapes = windowReshapes;
    if (reshapes != seenWindowReshapes) {
        seenWindowReshapes = reshapes;
        framesToRepeat = kFramesAfterReshape;
    }
    int64_t swapStart = Now();
    bool swapped = false;
    if (width <= 0 || height <= 0) {
        // Nothing is shown: the frame is dropped, and the window is drawn
        // afresh once it is shown again (which comes with a window event).
        EndFrame(*this, false);
        frameShown = false;
        backBufferShown = false;
        framesSkipped++;
    } else if (frameShown && width == shownWidth && height == shownHeight &&
               windowEvents == shownWindowEvents && framesToRepeat == 0 &&
               SameFrame(frame, shownFrame)) {
        // The window already shows this frame. The back buffer is brought
        // to it only when it holds something else (a frame run early).
        if (frameRun > 0 || !backBufferShown) {
            if (!drawsOnCpu) {
                SDL_SetRenderTarget(renderer, backBuffer);
            }
            RunFrameCommands(*this);
            backBufferShown = true;
        }
        EndFrame(*this, false);
        framesSkipped++;
    } else {
        const uint32_t eventsSeen = windowEvents;
        if (drawsOnCpu) {
            ShowCpuFrame(*this);
            swapStart = Now();
        } else {
            SDL_SetRenderTarget(renderer, backBuffer);
            RunFrameCommands(*this);
            SDL_SetRenderTarget(renderer, nullptr);
            SDL_RenderSetViewport(renderer, nullptr);
            SDL_SetTextureBlendMode(backBuffer, SDL_BLENDMODE_NONE);
            UseScaleMode(renderer, backBuffer, SDL_ScaleModeLinear);
            SDL_RenderCopy(renderer, backBuffer, nullptr, nullptr);
            SDL_RenderFlush(renderer);
            swapStart = Now();
            SDL_RenderPresent(renderer);
        }
        EndFrame(*this, true);
        frameShown = true;
        backBufferShown = true;
        shownWidth = width;
        shownHeight = height;
        shownWindowEvents = eventsSeen;
        framesToRepeat -= framesToRepeat > 0 ? 1 : 0;
        swapped = true;
        framesPresented++;
    }
    if (!drawsOnCpu) {
        SDL_SetRenderTarget(renderer, backBuffer);
    }
    if (parameters.PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE) {
        const int64_t now = Now();
        const int64_t wait = PresentWait(lastPresentEnd, swapStart, now, RefreshPeriod(sdlWindow));
        if (wait > 0) {
            std::this_thread::sleep_for(std::chrono::nanoseconds(wait));
        }
    }
    lastPresentEnd = Now();
    CountFrame(stats, swapped);
    return D3D_OK;
}
