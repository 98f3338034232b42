// A recording stand-in for the Direct3D device, enough for the decoders:
// textures live in memory with a padded pitch, and the device counts what is
// created and still alive.
#pragma once

#include "platform/d3dx9/d3dx9.h"

#include <string>
#include <vector>

struct FakeDevice;

struct FakeTexture final : IDirect3DTexture9 {
    FakeDevice* device;
    UINT width, height;
    D3DFORMAT format;
    D3DPOOL pool;
    ULONG references = 1;
    int locks = 0;
    // Each row has kPadding spare pixels, so a writer that ignores the pitch
    // shows.
    static constexpr UINT kPadding = 3;
    std::vector<uint32_t> texels;

    FakeTexture(FakeDevice* d, UINT w, UINT h, D3DFORMAT f, D3DPOOL p);
    UINT Pitch() const { return (width + kPadding) * 4; }
    uint32_t At(UINT x, UINT y) const { return texels[size_t{y} * (width + kPadding) + x]; }

    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9**) override { return E_NOTIMPL; }
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD STDMETHODCALLTYPE GetLevelCount() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT, D3DSURFACE_DESC* desc) override {
        *desc = D3DSURFACE_DESC{format, D3DRTYPE_SURFACE, 0, pool, D3DMULTISAMPLE_NONE, 0, width,
                                height};
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSurfaceLevel(UINT, IDirect3DSurface9**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT*,
                                       DWORD) override {
        if (level != 0 || locks != 0)
            return D3DERR_INVALIDCALL;
        ++locks;
        locked->pBits = texels.data();
        locked->Pitch = static_cast<int>(Pitch());
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE UnlockRect(UINT level) override {
        if (level != 0 || locks != 1)
            return D3DERR_INVALIDCALL;
        --locks;
        return D3D_OK;
    }
};

// The back buffer of a FakeDevice: only its description is read.
struct FakeBackBuffer final : IDirect3DSurface9 {
    UINT width = 0, height = 0;
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
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

struct FakeDevice final : IDirect3DDevice9 {
    UINT maxTextureWidth = 4096, maxTextureHeight = 4096;
    // A back buffer of this size when set (GetBackBuffer fails without one,
    // and the decoder then keeps every image at its own size).
    FakeBackBuffer backBuffer;
    int texturesCreated = 0;
    int texturesAlive = 0;

    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D9**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS9* caps) override {
        *caps = D3DCAPS9{};
        caps->MaxTextureWidth = maxTextureWidth;
        caps->MaxTextureHeight = maxTextureHeight;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT, UINT, D3DBACKBUFFER_TYPE,
                                            IDirect3DSurface9** surface) override {
        if (backBuffer.width == 0)
            return E_NOTIMPL;
        *surface = &backBuffer;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DTexture9** texture, HANDLE*) override {
        if (width == 0 || height == 0 || width > maxTextureWidth || height > maxTextureHeight ||
            levels != 1 || usage != 0 || (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8))
            return D3DERR_INVALIDCALL;
        ++texturesCreated;
        ++texturesAlive;
        *texture = new FakeTexture(this, width, height, format, pool);
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

inline FakeTexture::FakeTexture(FakeDevice* d, UINT w, UINT h, D3DFORMAT f, D3DPOOL p)
    : device(d), width(w), height(h), format(f), pool(p),
      // Filled with a marker, so texels left unwritten show.
      texels(size_t{h} * (w + kPadding), 0xDEADBEEFu) {}

inline ULONG FakeTexture::Release() {
    const ULONG left = --references;
    if (left == 0) {
        --device->texturesAlive;
        delete this;
    }
    return left;
}

// Decodes `path` with the arguments the slide show uses, or the given size,
// format and colour key; the texture, if any, is a FakeTexture.
inline HRESULT LoadTexture(FakeDevice& device, const std::string& path, FakeTexture** texture,
                           D3DXIMAGE_INFO* info = nullptr, UINT width = D3DX_DEFAULT,
                           UINT height = D3DX_DEFAULT, D3DFORMAT format = D3DFMT_UNKNOWN,
                           D3DCOLOR colorKey = 0) {
    IDirect3DTexture9* created = nullptr;
    const HRESULT result = D3DXCreateTextureFromFileExA(
        &device, path.c_str(), width, height, 1, 0, format, D3DPOOL_MANAGED,
        D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR | D3DX_FILTER_DITHER, D3DX_FILTER_NONE, colorKey,
        info, nullptr, &created);
    *texture = static_cast<FakeTexture*>(created);
    return result;
}
