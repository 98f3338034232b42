// The device: its lifetime, its back buffer, scenes and Clear.
#include <algorithm>
#include <utility>

#include "platform/d3d9/objects.h"
#include "platform/user32/sdl_window.h"

ULONG Device::AddRef() {
    return ++refs;
}

ULONG Device::Release() {
    ULONG left = --refs;
    if (left == 0) {
        Direct3D* creator = direct3d;
        delete this;
        creator->Release();
    }
    return left;
}

// Reached at the last reference: no resource the program holds is left (each
// would hold the device), only the device's own bindings, which go first so
// that their SDL textures go before the renderer that made them.
Device::~Device() {
    StopPresenting(*this);
    if (texture != nullptr) {
        Unhold(texture);
    }
    if (streamBuffer != nullptr) {
        Unhold(streamBuffer);
    }
    if (drawsOnCpu) {
        SDL_SetWindowData(sdlWindow, kDeviceOfWindow, nullptr);
    } else {
        FreeKeptStorage(*this);
        SDL_DestroyTexture(backBuffer);
        SDL_DestroyRenderer(renderer);
    }
    ReleaseSdlWindow(sdlWindow);
}

HRESULT Device::GetDirect3D(IDirect3D9** out) {
    if (out == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    direct3d->AddRef();
    *out = direct3d;
    return D3D_OK;
}

HRESULT Device::GetDeviceCaps(D3DCAPS9* out) {
    if (out == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *out = caps;
    return D3D_OK;
}

// The layer keeps one back buffer whatever BackBufferCount asks: with the
// swap effects offered the others could not be told apart. Its surface counts
// its references on the device, as a swap chain's buffers do in Direct3D.
HRESULT Device::GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type,
                              IDirect3DSurface9** surface) {
    if (surface == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *surface = nullptr;
    if (swapChain != 0 || index != 0 || type != D3DBACKBUFFER_TYPE_MONO) {
        return D3DERR_INVALIDCALL;
    }
    AddRef();
    *surface = &backBufferSurface;
    return D3D_OK;
}

// Scenes do not nest; Direct3D refuses a second BeginScene and an EndScene
// without one.
HRESULT Device::BeginScene() {
    if (inScene) {
        return D3DERR_INVALIDCALL;
    }
    inScene = true;
    return D3D_OK;
}

HRESULT Device::EndScene() {
    if (!inScene) {
        return D3DERR_INVALIDCALL;
    }
    inScene = false;
    return D3D_OK;
}

// Clear fills the whole back buffer, or the given rectangles of it (right and
// bottom exclusive, clipped to the buffer), with `color`; blending plays no
// part. It is allowed inside and outside a scene.
HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float,
                      DWORD) {
    // A count goes with rectangles and no count without, as in Direct3D.
    if ((count == 0) != (rects == nullptr)) {
        return D3DERR_INVALIDCALL;
    }
    // There is no depth or stencil buffer to clear.
    if (flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) {
        return D3DERR_INVALIDCALL;
    }
    if (!(flags & D3DCLEAR_TARGET)) {
        return D3D_OK;
    }
    // Drawn at Present, with the frame's other commands (see frame.cpp).
    FrameCommand command;
    command.color =
        SDL_Color{static_cast<Uint8>((color >> 16) & 0xFF), static_cast<Uint8>((color >> 8) & 0xFF),
                  static_cast<Uint8>(color & 0xFF), static_cast<Uint8>(color >> 24)};
    if (count == 0) {
        command.kind = FrameCommand::kClear;
        RecordCommand(*this, std::move(command));
        return D3D_OK;
    }
    command.kind = FrameCommand::kFill;
    const LONG width = static_cast<LONG>(parameters.BackBufferWidth);
    const LONG height = static_cast<LONG>(parameters.BackBufferHeight);
    for (DWORD i = 0; i < count; i++) {
        LONG left = std::max<LONG>(rects[i].x1, 0);
        LONG top = std::max<LONG>(rects[i].y1, 0);
        LONG right = std::min(rects[i].x2, width);
        LONG bottom = std::min(rects[i].y2, height);
        if (left < right && top < bottom) {
            command.rects.push_back(SDL_Rect{left, top, right - left, bottom - top});
        }
    }
    if (!command.rects.empty()) {
        RecordCommand(*this, std::move(command));
    }
    return D3D_OK;
}

bool ReadBackBuffer(IDirect3DDevice9* device, std::vector<uint32_t>& pixels) {
    Device* d = static_cast<Device*>(device);
    RunFrameCommands(*d);
    const int width = static_cast<int>(d->parameters.BackBufferWidth);
    const int height = static_cast<int>(d->parameters.BackBufferHeight);
    if (d->drawsOnCpu) {
        pixels = d->cpu.backBuffer;
        return true;
    }
    pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    if (SDL_RenderReadPixels(d->renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(),
                             width * 4) != 0) {
        return false;
    }
    for (uint32_t& pixel : pixels) {
        pixel |= 0xFF000000u;
    }
    return true;
}
