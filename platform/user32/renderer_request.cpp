// The way to draw as far as it is settled before OpenGL is touched: the
// user's choice, else what the video driver and the X server allow.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/user32/sdl_window.h"
#include "platform/user32/x11_errors.h"

RendererRequest RequestedRenderer() {
    const char* value = std::getenv("VIMBORA_RENDERER");
    if (value != nullptr && std::strcmp(value, "gpu") == 0) {
        return RendererRequest::gpu;
    }
    if (value != nullptr && std::strcmp(value, "cpu") == 0) {
        return RendererRequest::cpu;
    }
    // Any other value is a typing slip: said once, then chosen as if unset.
    static bool warned = false;
    if (!warned && value != nullptr && value[0] != '\0') {
        std::fprintf(stderr, "vimbora: VIMBORA_RENDERER=%s is neither gpu nor cpu; ignored\n",
                     value);
        warned = true;
    }
    // Settled once: neither the video driver nor the X server changes while
    // the program runs. Under a Wayland compositor the surface of a window
    // made for OpenGL is never shown (sway shows no window at all), so SDL's
    // renderer stays there unless the CPU is asked for.
    static const RendererRequest unasked = [] {
        const char* driver = SDL_GetCurrentVideoDriver();
        if (driver != nullptr && std::strcmp(driver, "x11") == 0 && !XServerRendersDirectly()) {
            return RendererRequest::cpu;
        }
        if (driver != nullptr && std::strcmp(driver, "wayland") == 0) {
            return RendererRequest::gpu;
        }
        return RendererRequest::automatic;
    }();
    return unasked;
}
