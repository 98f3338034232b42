// The way to draw as far as it is settled before OpenGL is touched: the
// user's choice, else what the X server allows.
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
    // Asked of the X server once: it does not change while the program runs.
    static const bool software = [] {
        const char* driver = SDL_GetCurrentVideoDriver();
        return driver != nullptr && std::strcmp(driver, "x11") == 0 && !XServerRendersDirectly();
    }();
    return software ? RendererRequest::cpu : RendererRequest::automatic;
}
