// D3DXCreateTextureFromFileExA: decodes an image file into a one-level
// 32-bit texture on the device.
//
// What is honoured, and what is not:
// - Width and Height: 0, D3DX_DEFAULT, D3DX_DEFAULT_NONPOW2 and D3DX_FROM_FILE
//   take the image's own size (no rounding to powers of two), reduced to what
//   covers the device's back buffer (below); other values are the size asked
//   for. A size beyond the device's MaxTextureWidth or MaxTextureHeight is
//   reduced, keeping its proportions.
// - A texture sized from the file need never be larger than what covers the
//   back buffer at the image's proportions: a pre-transformed quad is drawn
//   within the back buffer, so more texels than that are never sampled one
//   to one. A JPEG is decoded at the smallest of TurboJPEG's DCT scales
//   whose result still covers it (a 24-megapixel photo for a 1920 × 1200
//   back buffer is decoded at 3/8, 2250 × 1500), which costs a fraction of a
//   full decode; another image at least twice the pixels of its covering
//   size is reduced to that size once, with the triangle filter. The header
//   read and srcInfo still report the stored size, from which the program
//   takes the image's proportions.
// - The texture, like the decode, stays within the decode bound: a JPEG too
//   large for it at the covering scale is decoded at the largest scale that
//   fits, and a PNG too large to decode whole is reduced while it is read,
//   straight into the texture.
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
#include "platform/d3dx9/load_report.h"
#include "platform/kernel32/image_memory.h"

#include <algorithm>
#include <cmath>
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

// Reduces width × height to the decode bound, keeping the ratio of the sides.
void FitDecodeBound(UINT& width, UINT& height) {
    FitTextureSize(width, height, kMaxImageSide, kMaxImageSide);
    const uint64_t pixels = uint64_t{width} * height;
    if (pixels <= kMaxImagePixels)
        return;
    const double factor = std::sqrt(static_cast<double>(kMaxImagePixels) / pixels);
    width = std::max(1u, static_cast<UINT>(width * factor));
    height = std::max(1u, static_cast<UINT>(height * factor));
}

// The size of the device's back buffer; false when the device has none to
// tell.
bool BackBufferSize(IDirect3DDevice9* device, UINT& width, UINT& height) {
    IDirect3DSurface9* surface = nullptr;
    if (device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface) != D3D_OK ||
        surface == nullptr)
        return false;
    D3DSURFACE_DESC desc{};
    const bool known = surface->GetDesc(&desc) == D3D_OK && desc.Width > 0 && desc.Height > 0;
    surface->Release();
    width = desc.Width;
    height = desc.Height;
    return known;
}

// Reduces a texture sized from the file to what covers the back buffer: a
// JPEG to its DCT scale, another image when its covering size has at most
// half its pixels (a smaller saving is not worth a second pass).
void CoverBackBuffer(IDirect3DDevice9* device, const ImageHeader& header, UINT& width,
                     UINT& height) {
    UINT coverWidth = 0, coverHeight = 0;
    if (!BackBufferSize(device, coverWidth, coverHeight))
        return;
    if (header.info.ImageFileFormat == D3DXIFF_JPG) {
        const JpegScale scale = ChooseJpegScale(width, height, coverWidth, coverHeight);
        width = scale.width;
        height = scale.height;
        return;
    }
    UINT coveringWidth = width, coveringHeight = height;
    CoveringSize(width, height, coverWidth, coverHeight, coveringWidth, coveringHeight);
    if (uint64_t{coveringWidth} * coveringHeight * 2 <= uint64_t{width} * height) {
        width = coveringWidth;
        height = coveringHeight;
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

// The whole image before it is resampled into a smaller texture: one of the
// layer's recycled buffers, given back when the load ends.
struct DecodeBuffer {
    ImageBuffer pixels;
    ~DecodeBuffer() { GiveBackImageBuffer(std::move(pixels)); }
};

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
    ImageFile file;
    ImageHeader header;
    if (!OpenImageFile(srcFile, file) || !ReadFileHeader(file, header) ||
        header.info.ResourceType != D3DRTYPE_TEXTURE || !ReadImageFileUpTo(file, header.readBytes))
        return D3DXERR_INVALIDDATA;
    const ImageBytes& bytes = file.bytes;

    D3DCAPS9 caps{};
    const HRESULT capsResult = device->GetDeviceCaps(&caps);
    if (FAILED(capsResult))
        return capsResult;
    if (caps.MaxTextureWidth == 0 || caps.MaxTextureHeight == 0)
        return D3DERR_INVALIDCALL;
    UINT textureWidth = SizeFromFile(width) ? header.info.Width : width;
    UINT textureHeight = SizeFromFile(height) ? header.info.Height : height;
    if (SizeFromFile(width) && SizeFromFile(height))
        CoverBackBuffer(device, header, textureWidth, textureHeight);
    FitTextureSize(textureWidth, textureHeight, caps.MaxTextureWidth, caps.MaxTextureHeight);
    FitDecodeBound(textureWidth, textureHeight);
    // A JPEG is decoded at the smallest DCT scale that still covers the
    // texture, a PNG too large to decode whole at the texture's size; any
    // other image at its stored size.
    UINT decodeWidth = header.info.Width, decodeHeight = header.info.Height;
    if (header.info.ImageFileFormat == D3DXIFF_JPG) {
        const JpegScale scale =
            ChooseJpegScale(decodeWidth, decodeHeight, textureWidth, textureHeight);
        decodeWidth = scale.width;
        decodeHeight = scale.height;
    } else if (!WithinDecodeBound(decodeWidth, decodeHeight)) {
        decodeWidth = std::min(textureWidth, decodeWidth);
        decodeHeight = std::min(textureHeight, decodeHeight);
        textureWidth = decodeWidth;
        textureHeight = decodeHeight;
    }
    // The decode goes straight into the texture's pixels when it has their
    // size; otherwise it is made whole first, then resampled.
    const bool direct = textureWidth == decodeWidth && textureHeight == decodeHeight;
    DecodeBuffer image;
    if (!direct)
        image.pixels = TakeImageBuffer(size_t{decodeWidth} * decodeHeight * 4);

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
        const PixelRows source =
            direct ? target
                   : PixelRows{image.pixels.data(), static_cast<int>(decodeWidth * 4), decodeWidth,
                               decodeHeight};
        decoded = DecodeImage(bytes, header, source);
        if (decoded) {
            // The decoders write opaque pixels for images without alpha.
            FinishPixels(source, colorKey, format == D3DFMT_X8R8G8B8 && header.alpha);
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
        return ReportLoad("texture", srcFile,
                          CreateTexture(device, srcFile, width, height, usage, format, pool,
                                        colorKey, srcInfo, texture));
    } catch (const std::bad_alloc&) {
        return ReportLoad("texture", srcFile, E_OUTOFMEMORY);
    }
}
