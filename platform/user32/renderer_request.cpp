// The way to draw as far as it is settled before OpenGL is touched: the
// user's choice, else what the X server allows.
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
    // Asked of the X server once: it does not change while the program runs.
    static const bool software = [] {
        const char* driver = SDL_GetCurrentVideoDriver();
        return driver != nullptr && std::strcmp(driver, "x11") == 0 && !XServerRendersDirectly();
    }();
    return software ? RendererRequest::cpu : RendererRequest::automatic;
}
