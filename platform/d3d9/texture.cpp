// Textures: one level of 32-bit pixels in an SDL texture.
//
// Memory: the pixels live only in the SDL texture (on the graphics card for an
// accelerated renderer); there is no second system-memory copy, which for the
// program's large images would double what each one costs. LockRect hands out
// a staging buffer of the locked rectangle and UnlockRect uploads it and frees
// it. So, unlike a managed texture of Direct3D, a later lock does not read the
// pixels back: the locked rectangle starts out as zero bytes (as after
// D3DLOCK_DISCARD) and what is written there replaces it at UnlockRect, while
// the pixels outside the rectangle keep their contents. Writers fill all they
// lock, as the image decoder does.
#include <cstring>
#include <new>

#include "platform/d3d9/objects.h"

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DTexture9** out, HANDLE* sharedHandle) {
    if (out == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *out = nullptr;
    // Shared resources belong to Direct3D 9Ex.
    if (sharedHandle != nullptr) {
        return D3DERR_INVALIDCALL;
    }
    if (width == 0 || height == 0 || width > caps.MaxTextureWidth ||
        height > caps.MaxTextureHeight) {
        return D3DERR_INVALIDCALL;
    }
    // The formats of decoded images; X8R8G8B8's fourth byte is ignored and
    // the texture drawn opaque.
    if (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8) {
        return D3DERR_INVALIDCALL;
    }
    if (pool > D3DPOOL_SCRATCH || ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED)) {
        return D3DERR_INVALIDCALL;
    }
    // One level only (0, the whole chain, is taken as one level and reported
    // so), and no drawing into textures. Every pool is kept alike and every
    // texture can be locked.
    if (levels > 1 || (usage & D3DUSAGE_RENDERTARGET)) {
        return D3DERR_NOTAVAILABLE;
    }
    SDL_Texture* sdlTexture =
        SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC,
                          static_cast<int>(width), static_cast<int>(height));
    if (sdlTexture == nullptr) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    Texture* texture = new Texture;
    texture->device = this;
    AddRef();
    texture->sdlTexture = sdlTexture;
    texture->desc.Format = format;
    texture->desc.Type = D3DRTYPE_SURFACE;
    texture->desc.Usage = usage;
    texture->desc.Pool = pool;
    texture->desc.MultiSampleType = D3DMULTISAMPLE_NONE;
    texture->desc.Width = width;
    texture->desc.Height = height;
    texture->level0.container = texture;
    texture->level0.device = this;
    texture->level0.texture = texture;
    texture->level0.desc = texture->desc;
    *out = texture;
    return D3D_OK;
}

ULONG Texture::AddRef() {
    return ++refs;
}

// The program's last reference gives up the device's reference; a texture the
// device still binds stays until the binding goes.
ULONG Texture::Release() {
    ULONG left = --refs;
    if (left == 0) {
        Device* owner = device;
        if (holds == 0) {
            delete this;
        }
        owner->Release();
    }
    return left;
}

void Unhold(Texture* texture) {
    if (--texture->holds == 0 && texture->refs == 0) {
        delete texture;
    }
}

Texture::~Texture() {
    SDL_DestroyTexture(sdlTexture);
}

HRESULT Texture::GetDevice(IDirect3DDevice9** out) {
    if (out == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    device->AddRef();
    *out = device;
    return D3D_OK;
}

D3DRESOURCETYPE Texture::GetType() {
    return D3DRTYPE_TEXTURE;
}

DWORD Texture::GetLevelCount() {
    return 1;
}

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* out) {
    if (out == nullptr || level != 0) {
        return D3DERR_INVALIDCALL;
    }
    *out = desc;
    return D3D_OK;
}

// The level's surface shares the texture's count: it keeps the texture alive
// and the same surface comes back at every call, as in Direct3D.
HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface9** out) {
    if (out == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *out = nullptr;
    if (level != 0) {
        return D3DERR_INVALIDCALL;
    }
    AddRef();
    *out = &level0;
    return D3D_OK;
}

// Locks a rectangle of level 0 (right and bottom exclusive; null for the
// whole level). A level is locked once at a time, as in Direct3D.
HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* out, const RECT* rect, DWORD flags) {
    if (out == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    out->Pitch = 0;
    out->pBits = nullptr;
    if (level != 0 || locked) {
        return D3DERR_INVALIDCALL;
    }
    const LONG width = static_cast<LONG>(desc.Width);
    const LONG height = static_cast<LONG>(desc.Height);
    RECT area = rect != nullptr ? *rect : RECT{0, 0, width, height};
    if (area.left < 0 || area.top < 0 || area.left >= area.right || area.top >= area.bottom ||
        area.right > width || area.bottom > height) {
        return D3DERR_INVALIDCALL;
    }
    const size_t pitch = static_cast<size_t>(area.right - area.left) * 4;
    try {
        staging.assign(pitch * static_cast<size_t>(area.bottom - area.top), 0);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    locked = true;
    lockedRect = area;
    lockFlags = flags;
    out->Pitch = static_cast<int>(pitch);
    out->pBits = staging.data();
    return D3D_OK;
}

HRESULT Texture::UnlockRect(UINT level) {
    if (level != 0 || !locked) {
        return D3DERR_INVALIDCALL;
    }
    HRESULT result = D3D_OK;
    if (!(lockFlags & D3DLOCK_READONLY)) {
        if (desc.Format == D3DFMT_X8R8G8B8) {
            for (size_t at = 0; at + 4 <= staging.size(); at += 4) {
                uint32_t pixel;
                std::memcpy(&pixel, &staging[at], 4);
                pixel |= 0xFF000000u;
                std::memcpy(&staging[at], &pixel, 4);
            }
        }
        const SDL_Rect area{lockedRect.left, lockedRect.top, lockedRect.right - lockedRect.left,
                            lockedRect.bottom - lockedRect.top};
        if (SDL_UpdateTexture(sdlTexture, &area, staging.data(), area.w * 4) != 0) {
            result = D3DERR_INVALIDCALL;
        }
    }
    std::vector<uint8_t>().swap(staging);
    locked = false;
    return result;
}
