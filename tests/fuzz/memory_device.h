// A Direct3D device whose textures live in plain memory, for feeding hostile
// files through the D3DX layer without a renderer. Each texture row is
// followed by spare pixels holding a guard value, so a decoder that writes
// past the row it was given (within the buffer, where AddressSanitizer cannot
// see it) is caught by GuardIntact().
#pragma once

#include "platform/d3dx9/d3dx9.h"

#include <vector>

struct MemoryDevice;

// The device's back buffer, which tells only its size.
struct MemorySurface final : IDirect3DSurface9 {
    UINT width, height;
    ULONG references = 1;

    MemorySurface(UINT w, UINT h) : width(w), height(h) {}
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9**) override { return E_NOTIMPL; }
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC* desc) override {
        *desc = D3DSURFACE_DESC{D3DFMT_X8R8G8B8,
                                D3DRTYPE_SURFACE,
                                D3DUSAGE_RENDERTARGET,
                                D3DPOOL_DEFAULT,
                                D3DMULTISAMPLE_NONE,
                                0,
                                width,
                                height};
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT*, const RECT*, DWORD) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT STDMETHODCALLTYPE UnlockRect() override { return D3DERR_INVALIDCALL; }
};

struct MemoryTexture final : IDirect3DTexture9 {
    static constexpr UINT kSparePixels = 2;
    static constexpr uint32_t kGuard = 0xA5C3E1F0u;

    MemoryDevice* device;
    UINT width, height;
    D3DFORMAT format;
    ULONG references = 1;
    bool locked = false;
    std::vector<uint32_t> texels; // height rows of width + kSparePixels

    MemoryTexture(MemoryDevice* d, UINT w, UINT h, D3DFORMAT f)
        : device(d), width(w), height(h), format(f),
          texels(size_t{h} * (w + kSparePixels), kGuard) {}
    UINT RowPixels() const { return width + kSparePixels; }
    uint32_t At(UINT x, UINT y) const { return texels[size_t{y} * RowPixels() + x]; }
    bool GuardIntact() const {
        for (UINT y = 0; y < height; ++y) {
            for (UINT x = width; x < RowPixels(); ++x) {
                if (texels[size_t{y} * RowPixels() + x] != kGuard)
                    return false;
            }
        }
        return true;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9**) override { return E_NOTIMPL; }
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD STDMETHODCALLTYPE GetLevelCount() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT, D3DSURFACE_DESC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSurfaceLevel(UINT, IDirect3DSurface9**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE LockRect(UINT level, D3DLOCKED_RECT* rect, const RECT*,
                                       DWORD) override {
        if (level != 0 || locked || rect == nullptr)
            return D3DERR_INVALIDCALL;
        locked = true;
        rect->pBits = texels.data();
        rect->Pitch = static_cast<int>(RowPixels() * 4);
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE UnlockRect(UINT level) override {
        if (level != 0 || !locked)
            return D3DERR_INVALIDCALL;
        locked = false;
        return D3D_OK;
    }
};

// Textures up to maxSide on a side; a back buffer of the given size, or
// none (GetBackBuffer fails) when it is 0 × 0.
struct MemoryDevice final : IDirect3DDevice9 {
    UINT maxTextureSide;
    UINT backBufferWidth, backBufferHeight;
    int texturesAlive = 0;

    explicit MemoryDevice(UINT maxSide, UINT backWidth = 0, UINT backHeight = 0)
        : maxTextureSide(maxSide), backBufferWidth(backWidth), backBufferHeight(backHeight) {}

    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D9**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS9* caps) override {
        *caps = D3DCAPS9{};
        caps->MaxTextureWidth = maxTextureSide;
        caps->MaxTextureHeight = maxTextureSide;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE,
                                            IDirect3DSurface9** surface) override {
        if (backBufferWidth == 0 || swapChain != 0 || index != 0 || surface == nullptr)
            return D3DERR_INVALIDCALL;
        *surface = new MemorySurface(backBufferWidth, backBufferHeight);
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT width, UINT height, UINT levels, DWORD,
                                            D3DFORMAT format, D3DPOOL, IDirect3DTexture9** texture,
                                            HANDLE*) override {
        if (width == 0 || height == 0 || width > maxTextureSide || height > maxTextureSide ||
            levels != 1 || (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8))
            return D3DERR_INVALIDCALL;
        ++texturesAlive;
        *texture = new MemoryTexture(this, width, height, format);
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT, DWORD, DWORD, D3DPOOL,
                                                 IDirect3DVertexBuffer9**, HANDLE*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE BeginScene() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndScene() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clear(DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD, IDirect3DBaseTexture9*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStreamSource(UINT, IDirect3DVertexBuffer9*, UINT, UINT) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Present(const RECT*, const RECT*, HWND, const RGNDATA*) override {
        return E_NOTIMPL;
    }
};

inline ULONG MemoryTexture::Release() {
    const ULONG left = --references;
    if (left == 0) {
        --device->texturesAlive;
        delete this;
    }
    return left;
}

// Decodes the file at `path` with the arguments the slide show passes.
inline HRESULT LoadAsShow(MemoryDevice& device, const char* path, D3DXIMAGE_INFO* info,
                          MemoryTexture** texture) {
    IDirect3DTexture9* created = nullptr;
    const HRESULT result = D3DXCreateTextureFromFileExA(
        &device, path, D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
        D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR | D3DX_FILTER_DITHER, D3DX_FILTER_NONE, 0, info,
        nullptr, &created);
    *texture = static_cast<MemoryTexture*>(created);
    return result;
}
