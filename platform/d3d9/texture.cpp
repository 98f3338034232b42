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
//
// The staging buffer holds the pixels in the SDL texture's own format, so an
// upload is one copy: X8R8G8B8 textures are SDL's XRGB8888 where the renderer
// takes that as it is (it then ignores the fourth byte and draws them
// opaque); only elsewhere are they ARGB8888, with the fourth byte set at
// upload.
#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/d3d9/objects.h"

namespace {

// The SDL pixel format of a texture of `format` on `renderer`.
Uint32 SdlFormat(SDL_Renderer* renderer, D3DFORMAT format) {
    if (format == D3DFMT_X8R8G8B8) {
        SDL_RendererInfo info{};
        if (SDL_GetRendererInfo(renderer, &info) == 0) {
            for (Uint32 i = 0; i < info.num_texture_formats; i++) {
                if (info.texture_formats[i] == SDL_PIXELFORMAT_RGB888) {
                    return SDL_PIXELFORMAT_RGB888;
                }
            }
        }
    }
    return SDL_PIXELFORMAT_ARGB8888;
}

} // namespace

void KeepImageMemory() {
    // A slide show allocates the same large buffers at every advance: the
    // file's bytes, the decoded pixels, the renderer's texture. glibc gives
    // such blocks back to the system when they are freed and takes fresh
    // pages for the next image, and every page of fresh memory costs a page
    // fault, which on a virtual machine can cost more than decoding into it.
    // Blocks of up to 32 MiB (a 2250 × 1500 texture is 13.5 MB) therefore
    // come from the heap, and freed memory stays with the process for the
    // next image: its size stays near its peak, which every advance reaches
    // anyway.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
}

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
        SDL_CreateTexture(renderer, SdlFormat(renderer, format), SDL_TEXTUREACCESS_STATIC,
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
    texture->content = ++contentIds;
    *out = texture;
    return D3D_OK;
}

ULONG Texture::AddRef() {
    return ++refs;
}

ULONG Texture::Release() {
    return ReleaseResource(this);
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
    // calloc: memory fresh from the system is zero already and is not
    // written twice.
    stagingBytes = pitch * static_cast<size_t>(area.bottom - area.top);
    staging.reset(static_cast<uint8_t*>(std::calloc(stagingBytes, 1)));
    if (staging == nullptr) {
        stagingBytes = 0;
        return E_OUTOFMEMORY;
    }
    locked = true;
    lockedRect = area;
    lockFlags = flags;
    out->Pitch = static_cast<int>(pitch);
    out->pBits = staging.get();
    return D3D_OK;
}

HRESULT Texture::UnlockRect(UINT level) {
    if (level != 0 || !locked) {
        return D3DERR_INVALIDCALL;
    }
    HRESULT result = D3D_OK;
    if (!(lockFlags & D3DLOCK_READONLY)) {
        Uint32 format = SDL_PIXELFORMAT_ARGB8888;
        SDL_QueryTexture(sdlTexture, &format, nullptr, nullptr, nullptr);
        if (desc.Format == D3DFMT_X8R8G8B8 && format == SDL_PIXELFORMAT_ARGB8888) {
            for (size_t at = 0; at + 4 <= stagingBytes; at += 4) {
                uint32_t pixel;
                std::memcpy(&pixel, &staging[at], 4);
                pixel |= 0xFF000000u;
                std::memcpy(&staging[at], &pixel, 4);
            }
        }
        // Draws recorded before this change must still see the old pixels.
        if (FrameWaitsOn(*device, this)) {
            RunFrameCommands(*device);
        }
        const SDL_Rect area{lockedRect.left, lockedRect.top, lockedRect.right - lockedRect.left,
                            lockedRect.bottom - lockedRect.top};
        if (SDL_UpdateTexture(sdlTexture, &area, staging.get(), area.w * 4) != 0) {
            result = D3DERR_INVALIDCALL;
        }
        content = ++device->contentIds;
    }
    staging.reset();
    stagingBytes = 0;
    locked = false;
    return result;
}
