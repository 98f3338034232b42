// D3DXCreateTextureFromFileExA: decodes an image file into a one-level
// 32-bit texture on the device.
//
// What is honoured, and what is not:
// - Width and Height: 0, D3DX_DEFAULT, D3DX_DEFAULT_NONPOW2 and D3DX_FROM_FILE
//   take the image's own size (no rounding to powers of two); other values
//   are the size asked for. A size beyond the device's MaxTextureWidth or
//   MaxTextureHeight is reduced, keeping its proportions.
// - MipLevels must be 1; Format D3DFMT_UNKNOWN (A8R8G8B8 for an image with
//   alpha, else X8R8G8B8), D3DFMT_A8R8G8B8 or D3DFMT_X8R8G8B8. Other values
//   give D3DERR_INVALIDCALL.
// - Usage and Pool go to CreateTexture as given; the texture is written
//   through LockRect, so the pool must be one whose textures lock.
// - Any resize uses the triangle filter, whatever Filter says; MipFilter has
//   no level to work on; Palette is not written (no palette textures).
// - ColorKey, when not 0, turns source pixels of exactly that ARGB value into
//   transparent black before any resize.
#include "platform/d3dx9/decoders.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

bool SizeFromFile(UINT size) {
    return size == 0 || size == D3DX_DEFAULT || size == D3DX_DEFAULT_NONPOW2 ||
           size == D3DX_FROM_FILE;
}

// Reduces width × height to fit maxWidth × maxHeight, keeping the ratio of
// the sides.
void FitTextureSize(UINT& width, UINT& height, UINT maxWidth, UINT maxHeight) {
    if (width <= maxWidth && height <= maxHeight)
        return;
    const uint64_t w = width, h = height;
    if (w * maxHeight >= h * maxWidth) {
        height = static_cast<UINT>(std::max<uint64_t>(1, (h * maxWidth + w / 2) / w));
        width = maxWidth;
    } else {
        width = static_cast<UINT>(std::max<uint64_t>(1, (w * maxHeight + h / 2) / h));
        height = maxHeight;
    }
}

// Applies the colour key, then makes every pixel opaque for a texture
// without alpha.
void FinishPixels(const PixelRows& rows, D3DCOLOR colorKey, bool opaque) {
    if (colorKey == 0 && !opaque)
        return;
    for (UINT y = 0; y < rows.height; ++y) {
        uint8_t* row = rows.bits + static_cast<ptrdiff_t>(y) * rows.pitch;
        for (UINT x = 0; x < rows.width; ++x) {
            uint32_t pixel;
            std::memcpy(&pixel, row + x * 4, 4);
            if (colorKey != 0 && pixel == colorKey)
                pixel = 0;
            if (opaque)
                pixel |= 0xFF000000u;
            std::memcpy(row + x * 4, &pixel, 4);
        }
    }
}

// Owns a new texture until it is handed to the caller.
struct TextureHold {
    IDirect3DTexture9* texture = nullptr;
    ~TextureHold() {
        if (texture != nullptr)
            texture->Release();
    }
};

HRESULT CreateTexture(IDirect3DDevice9* device, LPCSTR srcFile, UINT width, UINT height,
                      DWORD usage, D3DFORMAT format, D3DPOOL pool, D3DCOLOR colorKey,
                      D3DXIMAGE_INFO* srcInfo, IDirect3DTexture9** texture) {
    ImageBytes bytes;
    ImageHeader header;
    if (!ReadImageFile(srcFile, kMaxImageFileBytes, bytes) || !ReadImageHeader(bytes, header) ||
        header.info.ResourceType != D3DRTYPE_TEXTURE)
        return D3DXERR_INVALIDDATA;

    D3DCAPS9 caps{};
    const HRESULT capsResult = device->GetDeviceCaps(&caps);
    if (FAILED(capsResult))
        return capsResult;
    if (caps.MaxTextureWidth == 0 || caps.MaxTextureHeight == 0)
        return D3DERR_INVALIDCALL;
    UINT textureWidth = SizeFromFile(width) ? header.info.Width : width;
    UINT textureHeight = SizeFromFile(height) ? header.info.Height : height;
    FitTextureSize(textureWidth, textureHeight, caps.MaxTextureWidth, caps.MaxTextureHeight);
    const bool direct = textureWidth == header.info.Width && textureHeight == header.info.Height;
    // An image of another size is decoded whole first, then resampled.
    std::vector<uint32_t> image(direct ? 0 : size_t{header.info.Width} * header.info.Height);

    if (format == D3DFMT_UNKNOWN)
        format = header.alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    TextureHold hold;
    HRESULT result = device->CreateTexture(textureWidth, textureHeight, 1, usage, format, pool,
                                           &hold.texture, nullptr);
    if (FAILED(result) || hold.texture == nullptr)
        return FAILED(result) ? result : D3DERR_INVALIDCALL;
    D3DLOCKED_RECT locked{};
    result = hold.texture->LockRect(0, &locked, nullptr, 0);
    if (FAILED(result))
        return result;
    const PixelRows target{static_cast<uint8_t*>(locked.pBits), locked.Pitch, textureWidth,
                           textureHeight};
    const bool writable =
        locked.pBits != nullptr && locked.Pitch >= static_cast<int>(textureWidth * 4);
    bool decoded = false;
    if (writable) {
        const PixelRows source = direct ? target
                                        : PixelRows{reinterpret_cast<uint8_t*>(image.data()),
                                                    static_cast<int>(header.info.Width * 4),
                                                    header.info.Width, header.info.Height};
        decoded = DecodeImage(bytes, header, source);
        if (decoded) {
            FinishPixels(source, colorKey, format == D3DFMT_X8R8G8B8);
            if (!direct)
                ResampleImage(source, target);
        }
    }
    result = hold.texture->UnlockRect(0);
    if (!writable)
        return D3DERR_INVALIDCALL;
    if (!decoded)
        return D3DXERR_INVALIDDATA;
    if (FAILED(result))
        return result; // the pixels never reached the texture
    if (srcInfo != nullptr)
        *srcInfo = header.info;
    *texture = hold.texture;
    hold.texture = nullptr;
    return D3D_OK;
}

} // namespace

HRESULT WINAPI D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, LPCSTR srcFile, UINT width,
                                            UINT height, UINT mipLevels, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool, DWORD, DWORD,
                                            D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo,
                                            PALETTEENTRY*, IDirect3DTexture9** texture) {
    if (device == nullptr || srcFile == nullptr || texture == nullptr || mipLevels != 1 ||
        (format != D3DFMT_UNKNOWN && format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8))
        return D3DERR_INVALIDCALL;
    // The layer never lets an exception cross into the program.
    try {
        return CreateTexture(device, srcFile, width, height, usage, format, pool, colorKey, srcInfo,
                             texture);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
