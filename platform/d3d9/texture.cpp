// Textures: one level of 32-bit pixels in an SDL texture.
//
// Memory: the pixels live only in the SDL texture (on the graphics card for an
// accelerated renderer); there is no second system-memory copy, which for the
// program's large images would double what each one costs. LockRect hands out
// a staging buffer of the locked rectangle (one of the layer's recycled image
// buffers) and UnlockRect uploads it and gives it back. So, unlike a managed
// texture of Direct3D, a later lock does not read the pixels back: the locked
// rectangle starts out as zero bytes (as after D3DLOCK_DISCARD) and what is
// written there replaces it at UnlockRect, while the pixels outside the
// rectangle keep their contents. Writers fill all they lock, as the image
// decoder does.
//
// The staging buffer holds the pixels in the SDL texture's own format, so an
// upload is one copy: X8R8G8B8 textures are SDL's XRGB8888 where the renderer
// takes that as it is (it then ignores the fourth byte and draws them
// opaque); only elsewhere are they ARGB8888, with the fourth byte set at
// upload.
#include <malloc.h>

#include <algorithm>
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

// Storage for textures of one size class, kept and used again: a slide show
// makes a texture for every image, and the renderer's copy of each (on the
// graphics card, or in the memory of a software rasterizer) would otherwise
// be allocated and freed at every advance. The class is the largest width and
// the largest height of any texture made so far; a texture whose own size is
// at least a quarter of the class's area gets storage of the class (its
// pixels at the top left) and gives it back when it goes. Once the largest
// images of a folder have been shown, the show's textures come and go without
// allocating. A texture far smaller than the class (its storage would be more
// than four times its size) is made at its own size and freed with it.
constexpr size_t kMostKeptStorage = 3;

SDL_Texture* TakeStorage(Device& device, Uint32 format, int width, int height, int& storageWidth,
                         int& storageHeight) {
    if (width > device.storageClassWidth || height > device.storageClassHeight) {
        device.storageClassWidth = std::max(device.storageClassWidth, width);
        device.storageClassHeight = std::max(device.storageClassHeight, height);
        // Storage of the old class is smaller than the new one in some side.
        FreeKeptStorage(device);
    }
    storageWidth = width;
    storageHeight = height;
    const int64_t classArea = int64_t{device.storageClassWidth} * device.storageClassHeight;
    if (classArea <= 4 * int64_t{width} * height) {
        storageWidth = device.storageClassWidth;
        storageHeight = device.storageClassHeight;
        for (auto it = device.keptStorage.begin(); it != device.keptStorage.end(); ++it) {
            Uint32 keptFormat = 0;
            if (SDL_QueryTexture(*it, &keptFormat, nullptr, nullptr, nullptr) == 0 &&
                keptFormat == format) {
                SDL_Texture* storage = *it;
                device.keptStorage.erase(it);
                return storage;
            }
        }
    }
    return SDL_CreateTexture(device.renderer, format, SDL_TEXTUREACCESS_STATIC, storageWidth,
                             storageHeight);
}

void GiveBackStorage(Device& device, SDL_Texture* storage, int width, int height) {
    if (width == device.storageClassWidth && height == device.storageClassHeight &&
        device.keptStorage.size() < kMostKeptStorage) {
        device.keptStorage.push_back(storage);
    } else {
        SDL_DestroyTexture(storage);
    }
}

// Storage larger than the texture: the storage right of the texture repeats
// its last column, below it its last row, and the corner its last texel, so
// that sampling at or beyond the texture's edges sees what Direct3D's
// clamped addressing gives and nothing of an earlier image. `pixels` holds
// the rows of `area`, `pitch` bytes apart, just uploaded.
void RepeatEdges(const Texture& texture, SDL_Texture* storage, const SDL_Rect& area,
                 const uint8_t* pixels, int pitch) {
    const int width = static_cast<int>(texture.desc.Width);
    const int height = static_cast<int>(texture.desc.Height);
    const int extraWidth = area.x + area.w == width ? texture.storageWidth - width : 0;
    const int extraHeight = area.y + area.h == height ? texture.storageHeight - height : 0;
    const uint8_t* lastRow = pixels + static_cast<ptrdiff_t>(area.h - 1) * pitch;
    // Fills `rows` rows of `columns` texels at (x, y) of the storage, each
    // row's texels from `row(r)`: a pointer to one texel repeated across,
    // or with `copyRow` to a whole row of `columns` texels. Uploaded in
    // bands of a few rows through the device's one band buffer, so that no
    // buffer the size of the strip comes and goes.
    std::vector<uint8_t>& band = texture.device->edgeBand;
    const auto fill = [&](int x, int y, int columns, int rows, bool copyRow, auto row) {
        constexpr int kBandRows = 32;
        for (int first = 0; first < rows && columns > 0; first += kBandRows) {
            const int count = std::min(kBandRows, rows - first);
            band.resize(static_cast<size_t>(columns) * count * 4);
            for (int r = 0; r < count; r++) {
                uint8_t* out = band.data() + static_cast<size_t>(r) * columns * 4;
                const uint8_t* in = row(first + r);
                if (copyRow) {
                    std::memcpy(out, in, static_cast<size_t>(columns) * 4);
                    continue;
                }
                for (int c = 0; c < columns; c++) {
                    std::memcpy(out + static_cast<size_t>(c) * 4, in, 4);
                }
            }
            const SDL_Rect rect{x, y + first, columns, count};
            SDL_UpdateTexture(storage, &rect, band.data(), columns * 4);
        }
    };
    fill(width, area.y, extraWidth, area.h, false,
         [&](int r) { return pixels + static_cast<ptrdiff_t>(r) * pitch + (area.w - 1) * 4; });
    fill(area.x, height, area.w, extraHeight, true, [&](int) { return lastRow; });
    fill(width, height, extraWidth, extraHeight, false,
         [&](int) { return lastRow + (area.w - 1) * 4; });
}

// UnlockRect on a device that draws on the CPU: the locked rectangle into
// the texture's pixels. Frame commands waiting to be drawn keep the pixels
// of their time: while they share them, the texture takes a copy first.
HRESULT StoreCpuPixels(Texture& texture) {
    std::shared_ptr<CpuPixels>& pixels = texture.cpuPixels;
    const size_t width = texture.desc.Width;
    if (pixels.use_count() > 1) {
        try {
            auto copy = std::make_shared<CpuPixels>();
            copy->width = pixels->width;
            copy->height = pixels->height;
            copy->texels = std::make_unique_for_overwrite<uint32_t[]>(width * pixels->height);
            std::memcpy(copy->texels.get(), pixels->texels.get(),
                        width * pixels->height * sizeof(uint32_t));
            pixels = std::move(copy);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    // The fourth byte of X8R8G8B8 is not alpha: those texels are opaque.
    const uint32_t opaque = texture.desc.Format == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0;
    const RECT& area = texture.lockedRect;
    const size_t rowTexels = static_cast<size_t>(area.right - area.left);
    for (LONG y = area.top; y < area.bottom; y++) {
        uint32_t* out = pixels->texels.get() + y * width + area.left;
        std::memcpy(out, texture.staging.data() + (y - area.top) * rowTexels * 4, rowTexels * 4);
        for (size_t x = 0; x < rowTexels; x++) {
            out[x] |= opaque;
        }
    }
    return D3D_OK;
}

} // namespace

void ReturnFreedImageMemory() {
    // The large buffers of a load come from the layer's recycled image
    // buffers, and texture storage of the size class is kept by the device.
    // What is still allocated and freed at every advance (the renderer's copy
    // of a texture made at its own size, decoders' scratch) goes back to the
    // system when freed: left in the C library's heap, blocks of many sizes
    // in a shuffled order leave holes that the next images do not fit, and
    // the heap grows in steps for as long as the show runs.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
}

void FreeKeptStorage(Device& device) {
    for (SDL_Texture* storage : device.keptStorage) {
        SDL_DestroyTexture(storage);
    }
    device.keptStorage.clear();
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
    int storageWidth = static_cast<int>(width), storageHeight = static_cast<int>(height);
    SDL_Texture* sdlTexture = nullptr;
    std::shared_ptr<CpuPixels> cpuPixels;
    if (drawsOnCpu) {
        try {
            cpuPixels = std::make_shared<CpuPixels>();
            cpuPixels->texels = std::make_unique<uint32_t[]>(size_t{width} * height);
        } catch (const std::bad_alloc&) {
            return D3DERR_OUTOFVIDEOMEMORY;
        }
        cpuPixels->width = storageWidth;
        cpuPixels->height = storageHeight;
    } else {
        sdlTexture = TakeStorage(*this, SdlFormat(renderer, format), storageWidth, storageHeight,
                                 storageWidth, storageHeight);
        if (sdlTexture == nullptr) {
            return D3DERR_OUTOFVIDEOMEMORY;
        }
    }
    Texture* texture = new Texture;
    texture->device = this;
    AddRef();
    texture->sdlTexture = sdlTexture;
    texture->cpuPixels = std::move(cpuPixels);
    texture->storageWidth = storageWidth;
    texture->storageHeight = storageHeight;
    // D3DPMISCCAPS_BLENDOP: the renderer blends with factors of any kind.
    constexpr DWORD blendsCustom = 0x00000800;
    if (format == D3DFMT_A8R8G8B8 && !drawsOnCpu && !(caps.PrimitiveMiscCaps & blendsCustom)) {
        texture->opaqueTexture =
            SDL_CreateTexture(renderer, SdlFormat(renderer, D3DFMT_X8R8G8B8),
                              SDL_TEXTUREACCESS_STATIC, storageWidth, storageHeight);
        if (texture->opaqueTexture == nullptr) {
            texture->Release();
            return D3DERR_OUTOFVIDEOMEMORY;
        }
    }
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
    GiveBackImageBuffer(std::move(staging));
    if (opaqueTexture != nullptr) {
        SDL_DestroyTexture(opaqueTexture);
    }
    if (sdlTexture != nullptr) {
        GiveBackStorage(*device, sdlTexture, storageWidth, storageHeight);
    }
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
        staging = TakeImageBuffer(pitch * static_cast<size_t>(area.bottom - area.top));
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
    if (!(lockFlags & D3DLOCK_READONLY) && device->drawsOnCpu) {
        result = StoreCpuPixels(*this);
        content = ++device->contentIds;
    } else if (!(lockFlags & D3DLOCK_READONLY)) {
        Uint32 format = SDL_PIXELFORMAT_ARGB8888;
        SDL_QueryTexture(sdlTexture, &format, nullptr, nullptr, nullptr);
        if (desc.Format == D3DFMT_X8R8G8B8 && format == SDL_PIXELFORMAT_ARGB8888) {
            for (size_t at = 0; at + 4 <= staging.size(); at += 4) {
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
        if (SDL_UpdateTexture(sdlTexture, &area, staging.data(), area.w * 4) != 0) {
            result = D3DERR_INVALIDCALL;
        }
        try {
            RepeatEdges(*this, sdlTexture, area, staging.data(), area.w * 4);
            if (opaqueTexture != nullptr) {
                for (size_t at = 3; at < staging.size(); at += 4) {
                    staging[at] = 0xFF;
                }
                if (SDL_UpdateTexture(opaqueTexture, &area, staging.data(), area.w * 4) != 0) {
                    result = D3DERR_INVALIDCALL;
                }
                RepeatEdges(*this, opaqueTexture, area, staging.data(), area.w * 4);
            }
        } catch (const std::bad_alloc&) {
            result = E_OUTOFMEMORY;
        }
        content = ++device->contentIds;
    }
    GiveBackImageBuffer(std::move(staging));
    locked = false;
    return result;
}
