// The CPU compositor's frames: composing a frame's commands onto a canvas,
// showing it in the window's surface, and the choice of this way to draw.
#include <algorithm>
#include <cstring>

#include "platform/d3d9/objects.h"

namespace {

// Values of <d3d9caps.h> that only the capabilities below use.
constexpr DWORD kMiscCullNone = 0x00000010;      // D3DPMISCCAPS_CULLNONE
constexpr DWORD kMiscBlendOp = 0x00000800;       // D3DPMISCCAPS_BLENDOP
constexpr DWORD kBlendAll = 0x000003FF;          // D3DPBLENDCAPS_ZERO to INVDESTCOLOR
constexpr DWORD kFilterPointLinear = 0x03000300; // MIN and MAG, POINT and LINEAR
constexpr DWORD kAddressClamp = 0x00000004;      // D3DPTADDRESSCAPS_CLAMP
// The largest side OpenGL on a software rasteriser takes, and the largest
// whose square of 32-bit pixels still has a byte size that fits an int.
constexpr DWORD kMaxSide = 16384;
constexpr DWORD kMaxPrimitiveCount = 0x000FFFFF;
constexpr DWORD kMaxStreamStride = 255;

constexpr int kGlRenderer = 0x1F01; // GL_RENDERER

uint32_t ColourOf(SDL_Color color) {
    return 0xFF000000u | uint32_t{color.r} << 16 | uint32_t{color.g} << 8 | color.b;
}

void FillRect(const CpuCanvas& canvas, int left, int top, int right, int bottom, uint32_t colour) {
    for (int y = top; y < bottom; y++) {
        std::fill_n(canvas.pixels + static_cast<size_t>(y) * canvas.stride + left, right - left,
                    colour);
    }
}

// A back-buffer coordinate on the canvas, `canvasSize` pixels across.
int OnCanvas(int at, int backSize, int canvasSize) {
    return static_cast<int>((static_cast<int64_t>(at) * canvasSize + backSize / 2) / backSize);
}

void DrawLayer(const CpuLayer& layer, const FrameCommand& command, const CpuCanvas& canvas) {
    const uint32_t colour = layer.uniformColour ? ColourOf(command.vertices[0].color) : 0xFFFFFFFF;
    const bool additive =
        command.blendStates == PackBlendStates(true, D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_ADD);
    const SDL_Rect& r = layer.rect;
    for (int y = 0; y < r.h; y++) {
        uint32_t* out = canvas.pixels + static_cast<size_t>(r.y + y) * canvas.stride + r.x;
        const size_t at = static_cast<size_t>(y) * r.w;
        if (additive) {
            // What a layer does not cover is 0 in it and adds nothing.
            AddModulated(out, &layer.colour[at], static_cast<size_t>(r.w), colour);
            continue;
        }
        for (int x = 0; x < r.w; x++) {
            if (layer.coverage[at + x] != 0) {
                out[x] = BlendPixel(layer.colour[at + x], colour, out[x], command.blendStates,
                                    layer.coverage[at + x]);
            }
        }
    }
}

} // namespace

bool SoftwareRendering(SDL_Renderer* renderer) {
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(renderer, &info) != 0 || !(info.flags & SDL_RENDERER_ACCELERATED)) {
        return true;
    }
    if (std::strncmp(info.name, "opengl", 6) != 0) {
        return false;
    }
    // The renderer's context is current: its GL_RENDERER names the driver.
    using GetString = const unsigned char* (*)(int);
    auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const char* name =
        getString != nullptr ? reinterpret_cast<const char*>(getString(kGlRenderer)) : nullptr;
    if (name == nullptr) {
        return false;
    }
    for (const char* software : {"llvmpipe", "softpipe", "swrast"}) {
        if (std::strstr(name, software) != nullptr) {
            return true;
        }
    }
    return false;
}

// What OpenGL on a software rasteriser reports through SDL's renderer, so
// that the program warns of nothing it would not warn of there: the
// compositor draws all of it, and the program's frames at the display's rate.
void FillCpuCaps(D3DCAPS9& caps) {
    caps = D3DCAPS9{};
    caps.DeviceType = D3DDEVTYPE_HAL;
    caps.AdapterOrdinal = D3DADAPTER_DEFAULT;
    caps.PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
    caps.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    caps.VertexShaderVersion = D3DVS_VERSION(2, 0);
    caps.PixelShaderVersion = D3DPS_VERSION(2, 0);
    caps.PrimitiveMiscCaps = kMiscCullNone | kMiscBlendOp;
    caps.SrcBlendCaps = kBlendAll;
    caps.DestBlendCaps = kBlendAll;
    caps.TextureFilterCaps = kFilterPointLinear;
    caps.TextureAddressCaps = kAddressClamp;
    caps.MaxTextureWidth = kMaxSide;
    caps.MaxTextureHeight = kMaxSide;
    caps.MaxPrimitiveCount = kMaxPrimitiveCount;
    caps.MaxStreams = 1;
    caps.MaxStreamStride = kMaxStreamStride;
}

void ComposeCommands(Device& device, const FrameCommand* commands, size_t count,
                     const CpuCanvas& canvas) {
    CpuState& state = device.cpu;
    state.compositions++;
    const int backWidth = static_cast<int>(device.parameters.BackBufferWidth);
    const int backHeight = static_cast<int>(device.parameters.BackBufferHeight);
    for (size_t i = 0; i < count; i++) {
        const FrameCommand& command = commands[i];
        switch (command.kind) {
        case FrameCommand::kClear:
            FillRect(canvas, 0, 0, canvas.width, canvas.height, ColourOf(command.color));
            break;
        case FrameCommand::kFill:
            for (const SDL_Rect& rect : command.rects) {
                FillRect(canvas, OnCanvas(rect.x, backWidth, canvas.width),
                         OnCanvas(rect.y, backHeight, canvas.height),
                         OnCanvas(rect.x + rect.w, backWidth, canvas.width),
                         OnCanvas(rect.y + rect.h, backHeight, canvas.height),
                         ColourOf(command.color));
            }
            break;
        case FrameCommand::kCopy: // the SDL renderer's; this path draws geometry only
            break;
        case FrameCommand::kGeometry:
            DrawLayer(LayerFor(device, command, canvas), command, canvas);
            break;
        }
    }
    DropUnusedLayers(state);
}

void CpuClientSize(Device& device, int& width, int& height) {
    width = 0;
    height = 0;
    if (!(SDL_GetWindowFlags(device.sdlWindow) & SDL_WINDOW_MINIMIZED)) {
        SDL_GetWindowSize(device.sdlWindow, &width, &height);
    }
}

bool ShowCpuFrame(Device& device) {
    // SDL would otherwise put the window's surface on an OpenGL texture.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_Surface* surface = SDL_GetWindowSurface(device.sdlWindow);
    if (surface == nullptr) {
        return false;
    }
    CpuState& state = device.cpu;
    // The read-back copy of the back buffer catches up with the frame shown
    // before, if this one does not replace it whole.
    if (state.shownLag && (device.frame.empty() || device.frame[0].kind != FrameCommand::kClear)) {
        RunCpuCommands(device);
    }
    const Uint32 format = surface->format->format;
    const bool direct = format == SDL_PIXELFORMAT_RGB888 || format == SDL_PIXELFORMAT_ARGB8888;
    CpuCanvas canvas{nullptr, surface->w, surface->w, surface->h};
    if (direct) {
        canvas.pixels = static_cast<uint32_t*>(surface->pixels);
        canvas.stride = surface->pitch / 4;
    } else {
        state.conversion.resize(static_cast<size_t>(surface->w) * surface->h);
        canvas.pixels = state.conversion.data();
    }
    ComposeCommands(device, device.frame.data(), device.frame.size(), canvas);
    if (!direct) {
        SDL_ConvertPixels(surface->w, surface->h, SDL_PIXELFORMAT_RGB888, canvas.pixels,
                          surface->w * 4, format, surface->pixels, surface->pitch);
    }
    state.shownLag = true;
    state.shownLagFrom = device.frameRun;
    return SDL_UpdateWindowSurface(device.sdlWindow) == 0;
}

void RunCpuCommands(Device& device) {
    CpuState& state = device.cpu;
    const int width = static_cast<int>(device.parameters.BackBufferWidth);
    const int height = static_cast<int>(device.parameters.BackBufferHeight);
    if (state.backBuffer.empty()) {
        // Direct3D leaves the first back buffer's contents undefined.
        state.backBuffer.assign(static_cast<size_t>(width) * height, 0xFF000000u);
    }
    const CpuCanvas canvas{state.backBuffer.data(), width, width, height};
    if (state.shownLag) {
        const std::vector<FrameCommand>& shown = device.shownFrame;
        const size_t from = std::min(state.shownLagFrom, shown.size());
        ComposeCommands(device, shown.data() + from, shown.size() - from, canvas);
        state.shownLag = false;
    }
    ComposeCommands(device, device.frame.data() + device.frameRun,
                    device.frame.size() - device.frameRun, canvas);
    device.frameRun = device.frame.size();
}
