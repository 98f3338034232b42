// The user's choice of a way to draw, read from the environment.
#include <cstdlib>
#include <cstring>

#include "platform/user32/sdl_window.h"

RendererRequest RequestedRenderer() {
    const char* value = std::getenv("VIMBORA_RENDERER");
    if (value != nullptr && std::strcmp(value, "gpu") == 0) {
        return RendererRequest::gpu;
    }
    if (value != nullptr && std::strcmp(value, "cpu") == 0) {
        return RendererRequest::cpu;
    }
    return RendererRequest::automatic;
}
