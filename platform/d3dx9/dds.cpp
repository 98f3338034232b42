// DirectDraw Surface files: the uncompressed formats D3DX knows by their bit
// masks, DXT1 to DXT5 blocks, and the 16- and 32-bit float formats D3DX
// names by their D3DFORMAT number in the FourCC. Cube maps and volumes are
// recognised and reported as such; only a plain 2-D image decodes, from its
// top mip level. The "DX10" extended header, which D3DX 9 predates, is not
// read.
#include "platform/d3dx9/decoders.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace {

constexpr size_t kDataOffset = 128; // "DDS " and the 124-byte header

constexpr uint32_t kFlagDepth = 0x800000;
constexpr uint32_t kFlagMipMapCount = 0x20000;
constexpr uint32_t kCaps2CubeMap = 0x200;
constexpr uint32_t kCaps2CubeFaces = 0xFC00;
constexpr uint32_t kCaps2Volume = 0x200000;
constexpr uint32_t kPixelAlphaPixels = 0x1;
constexpr uint32_t kPixelAlpha = 0x2;
constexpr uint32_t kPixelFourCC = 0x4;
constexpr uint32_t kPixelRgb = 0x40;
constexpr uint32_t kPixelLuminance = 0x20000;

// An uncompressed layout D3DX reads, told apart by its bit count and masks.
// For luminance layouts the red mask holds the luminance bits.
struct MaskedFormat {
    D3DFORMAT format;
    uint32_t kind; // kPixelRgb, kPixelLuminance or kPixelAlpha
    uint32_t bits;
    uint32_t r, g, b, a;
    // D3DX takes the 10-bit layouts' red and blue masks the other way round
    // (its own writer swaps them too), so such a file's red is read from
    // the blue mask and its blue from the red one, and it shows as Windows
    // shows it.
    bool swapRedBlue = false;
};

constexpr MaskedFormat kMaskedFormats[] = {
    {D3DFMT_A8R8G8B8, kPixelRgb, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
    {D3DFMT_X8R8G8B8, kPixelRgb, 32, 0xFF0000, 0xFF00, 0xFF, 0},
    {D3DFMT_A8B8G8R8, kPixelRgb, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000},
    {D3DFMT_X8B8G8R8, kPixelRgb, 32, 0xFF, 0xFF00, 0xFF0000, 0},
    {D3DFMT_R8G8B8, kPixelRgb, 24, 0xFF0000, 0xFF00, 0xFF, 0},
    {D3DFMT_R5G6B5, kPixelRgb, 16, 0xF800, 0x7E0, 0x1F, 0},
    {D3DFMT_A1R5G5B5, kPixelRgb, 16, 0x7C00, 0x3E0, 0x1F, 0x8000},
    {D3DFMT_X1R5G5B5, kPixelRgb, 16, 0x7C00, 0x3E0, 0x1F, 0},
    {D3DFMT_A4R4G4B4, kPixelRgb, 16, 0xF00, 0xF0, 0xF, 0xF000},
    {D3DFMT_X4R4G4B4, kPixelRgb, 16, 0xF00, 0xF0, 0xF, 0},
    {D3DFMT_A2B10G10R10, kPixelRgb, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000, true},
    {D3DFMT_A2R10G10B10, kPixelRgb, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000, true},
    {D3DFMT_R3G3B2, kPixelRgb, 8, 0xE0, 0x1C, 0x3, 0},
    {D3DFMT_A8R3G3B2, kPixelRgb, 16, 0xE0, 0x1C, 0x3, 0xFF00},
    {D3DFMT_G16R16, kPixelRgb, 32, 0xFFFF, 0xFFFF0000, 0, 0},
    {D3DFMT_L8, kPixelLuminance, 8, 0xFF, 0, 0, 0},
    {D3DFMT_L16, kPixelLuminance, 16, 0xFFFF, 0, 0, 0},
    {D3DFMT_A8L8, kPixelLuminance, 16, 0xFF, 0, 0, 0xFF00},
    {D3DFMT_A4L4, kPixelLuminance, 8, 0xF, 0, 0, 0xF0},
    {D3DFMT_A8, kPixelAlpha, 8, 0, 0, 0, 0xFF},
};

// A float layout: 1, 2 or 4 channels (R, G, B, A in that order) of 16-bit
// or 32-bit floats.
struct FloatFormat {
    D3DFORMAT format;
    uint32_t channels;
    uint32_t sampleBytes;
};

constexpr FloatFormat kFloatFormats[] = {
    {D3DFMT_R16F, 1, 2}, {D3DFMT_G16R16F, 2, 2}, {D3DFMT_A16B16G16R16F, 4, 2},
    {D3DFMT_R32F, 1, 4}, {D3DFMT_G32R32F, 2, 4}, {D3DFMT_A32B32G32R32F, 4, 4},
};

struct DdsLayout {
    uint32_t width, height, depth, mipLevels, faces;
    D3DFORMAT format;
    // The pixel layout: a masked or a float one, or DXT blocks (both null).
    const MaskedFormat* masked;
    const FloatFormat* floats;
    uint32_t blockBytes; // DXT only
    D3DRESOURCETYPE type;
};

uint32_t Read32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

bool FindPixelFormat(const uint8_t* pf, DdsLayout& layout) {
    const uint32_t flags = Read32(pf + 4);
    if (flags & kPixelFourCC) {
        const uint32_t fourCC = Read32(pf + 8);
        layout.format = static_cast<D3DFORMAT>(fourCC);
        for (const FloatFormat& f : kFloatFormats) {
            if (f.format == layout.format) {
                layout.floats = &f;
                return true;
            }
        }
        if (fourCC != D3DFMT_DXT1 && fourCC != D3DFMT_DXT2 && fourCC != D3DFMT_DXT3 &&
            fourCC != D3DFMT_DXT4 && fourCC != D3DFMT_DXT5)
            return false;
        layout.blockBytes = fourCC == D3DFMT_DXT1 ? 8 : 16;
        return true;
    }
    const uint32_t kind = flags & (kPixelRgb | kPixelLuminance | kPixelAlpha);
    const uint32_t bits = Read32(pf + 12);
    const uint32_t a = (flags & (kPixelAlphaPixels | kPixelAlpha)) ? Read32(pf + 28) : 0;
    for (const MaskedFormat& f : kMaskedFormats) {
        if (f.kind == kind && f.bits == bits && f.r == Read32(pf + 16) &&
            (kind != kPixelRgb || (f.g == Read32(pf + 20) && f.b == Read32(pf + 24))) && f.a == a) {
            layout.format = f.format;
            layout.masked = &f;
            return true;
        }
    }
    return false;
}

// Bytes of one mip level of one face.
uint64_t LevelBytes(const DdsLayout& layout, uint64_t w, uint64_t h, uint64_t d) {
    if (layout.masked != nullptr)
        return w * layout.masked->bits / 8 * h * d;
    if (layout.floats != nullptr)
        return w * layout.floats->channels * layout.floats->sampleBytes * h * d;
    return (w + 3) / 4 * ((h + 3) / 4) * layout.blockBytes * d;
}

// Reads and checks the header; every size is checked against the file's
// length, all faces and mip levels included.
bool ParseDds(const ImageBytes& bytes, DdsLayout& layout) {
    if (bytes.data.size() < kDataOffset || Read32(&bytes.data[4]) != 124 ||
        Read32(&bytes.data[76]) != 32)
        return false;
    const uint8_t* h = bytes.data.data();
    layout = DdsLayout{};
    const uint32_t flags = Read32(h + 8);
    const uint32_t caps2 = Read32(h + 112);
    layout.height = Read32(h + 12);
    layout.width = Read32(h + 16);
    layout.depth = 1;
    layout.faces = 1;
    layout.type = D3DRTYPE_TEXTURE;
    if (caps2 & kCaps2CubeMap) {
        layout.type = D3DRTYPE_CUBETEXTURE;
        layout.faces = static_cast<uint32_t>(std::popcount(caps2 & kCaps2CubeFaces));
        if (layout.faces == 0)
            return false;
    } else if ((caps2 & kCaps2Volume) && (flags & kFlagDepth)) {
        layout.type = D3DRTYPE_VOLUMETEXTURE;
        layout.depth = Read32(h + 24);
    }
    if (!WithinDecodeBound(layout.width, layout.height, layout.depth) ||
        !FindPixelFormat(h + 76, layout))
        return false;
    const uint32_t mipCount = Read32(h + 28);
    layout.mipLevels = (flags & kFlagMipMapCount) && mipCount > 0 ? mipCount : 1;
    const uint32_t largest = std::max({layout.width, layout.height, layout.depth});
    if (layout.mipLevels > static_cast<uint32_t>(std::bit_width(largest)))
        return false;
    uint64_t chain = 0;
    for (uint32_t level = 0; level < layout.mipLevels; ++level) {
        chain +=
            LevelBytes(layout, std::max(1u, layout.width >> level),
                       std::max(1u, layout.height >> level), std::max(1u, layout.depth >> level));
    }
    return kDataOffset + chain * layout.faces <= bytes.fileSize;
}

void Put(uint8_t* out, unsigned r, unsigned g, unsigned b, unsigned a) {
    out[0] = static_cast<uint8_t>(b);
    out[1] = static_cast<uint8_t>(g);
    out[2] = static_cast<uint8_t>(r);
    out[3] = static_cast<uint8_t>(a);
}

// One channel of a packed pixel widened to 8 bits, or `missing` when the
// layout has no such channel.
unsigned Channel(uint32_t pixel, uint32_t mask, unsigned missing) {
    if (mask == 0)
        return missing;
    const uint32_t value = (pixel & mask) >> std::countr_zero(mask);
    const uint32_t top = mask >> std::countr_zero(mask);
    return (value * 255 + top / 2) / top;
}

void DecodeMasked(const DdsLayout& layout, const uint8_t* src, const PixelRows& rows) {
    const MaskedFormat& f = *layout.masked;
    const uint32_t stride = f.bits / 8;
    const uint32_t red = f.swapRedBlue ? f.b : f.r, blue = f.swapRedBlue ? f.r : f.b;
    // A colour channel the layout lacks (G16R16's blue) is 1, as Direct3D 9
    // samples it; A8 has no colour at all and is black.
    const unsigned missing = f.kind == kPixelAlpha ? 0 : 255;
    for (UINT y = 0; y < rows.height; ++y) {
        uint8_t* out = rows.bits + static_cast<ptrdiff_t>(y) * rows.pitch;
        for (UINT x = 0; x < rows.width; ++x, src += stride, out += 4) {
            uint32_t pixel = 0;
            for (uint32_t i = 0; i < stride; ++i)
                pixel |= uint32_t{src[i]} << (8 * i);
            const unsigned a = Channel(pixel, f.a, 255);
            if (f.kind == kPixelLuminance) {
                const unsigned l = Channel(pixel, f.r, 0);
                Put(out, l, l, l, a);
            } else {
                Put(out, Channel(pixel, red, missing), Channel(pixel, f.g, missing),
                    Channel(pixel, blue, missing), a);
            }
        }
    }
}

// An IEEE half-precision float, from its 16 bits.
float HalfToFloat(uint32_t half) {
    const uint32_t sign = half >> 15, exponent = (half >> 10) & 31, mantissa = half & 1023;
    float magnitude = 0.0f;
    if (exponent == 31)
        magnitude = mantissa != 0 ? std::nanf("") : HUGE_VALF;
    else if (exponent == 0)
        magnitude = std::ldexp(static_cast<float>(mantissa), -24);
    else
        magnitude =
            std::ldexp(static_cast<float>(mantissa | 1024), static_cast<int>(exponent) - 25);
    return sign != 0 ? -magnitude : magnitude;
}

// Float samples clamped to [0, 1] as D3DX converts them; the channels a
// layout lacks are 1, as Direct3D 9 samples them.
void DecodeFloats(const DdsLayout& layout, const uint8_t* src, const PixelRows& rows) {
    const FloatFormat& f = *layout.floats;
    for (UINT y = 0; y < rows.height; ++y) {
        uint8_t* out = rows.bits + static_cast<ptrdiff_t>(y) * rows.pitch;
        for (UINT x = 0; x < rows.width; ++x, out += 4) {
            unsigned rgba[4] = {255, 255, 255, 255};
            for (uint32_t c = 0; c < f.channels; ++c, src += f.sampleBytes) {
                float value;
                if (f.sampleBytes == 2) {
                    value = HalfToFloat(uint32_t{src[0]} | uint32_t{src[1]} << 8);
                } else {
                    const uint32_t bits = Read32(src);
                    std::memcpy(&value, &bits, 4);
                }
                rgba[c] = FloatToUnorm8(value);
            }
            Put(out, rgba[0], rgba[1], rgba[2], rgba[3]);
        }
    }
}

// The four colours of a DXT colour block, as B, G, R, A.
void BlockColours(const uint8_t* block, bool dxt1, uint8_t colours[4][4]) {
    const unsigned c[2] = {unsigned{block[0]} | unsigned{block[1]} << 8,
                           unsigned{block[2]} | unsigned{block[3]} << 8};
    for (int i = 0; i < 2; ++i) {
        const unsigned r = c[i] >> 11, g = (c[i] >> 5) & 63, b = c[i] & 31;
        Put(colours[i], (r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2), 255);
    }
    const bool fourColours = !dxt1 || c[0] > c[1];
    for (int ch = 0; ch < 3; ++ch) {
        const unsigned p = colours[0][ch], q = colours[1][ch];
        colours[2][ch] = static_cast<uint8_t>(fourColours ? (2 * p + q + 1) / 3 : (p + q + 1) / 2);
        colours[3][ch] = static_cast<uint8_t>(fourColours ? (p + 2 * q + 1) / 3 : 0);
    }
    colours[2][3] = 255;
    colours[3][3] = fourColours ? 255 : 0;
}

// The sixteen alphas of a DXT3 or DXT5 alpha block, in pixel order. DXT2
// and DXT4 are the same blocks with premultiplied colours, which are kept as
// stored: the show draws them without alpha, as Direct3D samples them.
void BlockAlphas(const uint8_t* block, bool dxt5, uint8_t alphas[16]) {
    if (!dxt5) {
        for (int i = 0; i < 16; ++i)
            alphas[i] = static_cast<uint8_t>(((block[i / 2] >> (4 * (i % 2))) & 15) * 17);
        return;
    }
    const unsigned a0 = block[0], a1 = block[1];
    unsigned ramp[8] = {a0, a1, 0, 0, 0, 0, 0, 255};
    if (a0 > a1) {
        for (unsigned i = 1; i < 7; ++i)
            ramp[i + 1] = ((7 - i) * a0 + i * a1 + 3) / 7;
    } else {
        for (unsigned i = 1; i < 5; ++i)
            ramp[i + 1] = ((5 - i) * a0 + i * a1 + 2) / 5;
    }
    uint64_t indices = 0;
    for (int i = 0; i < 6; ++i)
        indices |= uint64_t{block[2 + i]} << (8 * i);
    for (int i = 0; i < 16; ++i)
        alphas[i] = static_cast<uint8_t>(ramp[(indices >> (3 * i)) & 7]);
}

void DecodeBlocks(const DdsLayout& layout, const uint8_t* src, const PixelRows& rows) {
    const bool dxt1 = layout.format == D3DFMT_DXT1;
    for (UINT by = 0; by < rows.height; by += 4) {
        for (UINT bx = 0; bx < rows.width; bx += 4, src += layout.blockBytes) {
            uint8_t alphas[16];
            const uint8_t* colourBlock = src;
            if (!dxt1) {
                BlockAlphas(src, layout.format == D3DFMT_DXT4 || layout.format == D3DFMT_DXT5,
                            alphas);
                colourBlock = src + 8;
            }
            uint8_t colours[4][4];
            BlockColours(colourBlock, dxt1, colours);
            const uint32_t indices = Read32(colourBlock + 4);
            // Blocks on the right and bottom edges may hang over the image.
            for (UINT y = by; y < std::min(by + 4, rows.height); ++y) {
                for (UINT x = bx; x < std::min(bx + 4, rows.width); ++x) {
                    const unsigned i = (y - by) * 4 + (x - bx);
                    uint8_t* out = rows.bits + static_cast<ptrdiff_t>(y) * rows.pitch + x * 4;
                    std::memcpy(out, colours[(indices >> (2 * i)) & 3], 4);
                    if (!dxt1)
                        out[3] = alphas[i];
                }
            }
        }
    }
}

} // namespace

bool ReadDdsHeader(const ImageBytes& bytes, ImageHeader& header) {
    DdsLayout layout;
    if (!ParseDds(bytes, layout))
        return false;
    header.info.Width = layout.width;
    header.info.Height = layout.height;
    header.info.Depth = layout.depth;
    header.info.MipLevels = layout.mipLevels;
    header.info.Format = layout.format;
    header.info.ResourceType = layout.type;
    header.info.ImageFileFormat = D3DXIFF_DDS;
    header.alpha = layout.masked != nullptr   ? layout.masked->a != 0
                   : layout.floats != nullptr ? layout.floats->channels == 4
                                              : true;
    // Only the top level of the first face is decoded.
    header.readBytes = kDataOffset + LevelBytes(layout, layout.width, layout.height, 1);
    return true;
}

bool DecodeDds(const ImageBytes& bytes, const ImageHeader&, const PixelRows& rows) {
    DdsLayout layout;
    if (!ParseDds(bytes, layout) || layout.type != D3DRTYPE_TEXTURE || layout.width != rows.width ||
        layout.height != rows.height ||
        bytes.data.size() < kDataOffset + LevelBytes(layout, layout.width, layout.height, 1))
        return false;
    const uint8_t* src = bytes.data.data() + kDataOffset;
    if (layout.masked != nullptr)
        DecodeMasked(layout, src, rows);
    else if (layout.floats != nullptr)
        DecodeFloats(layout, src, rows);
    else
        DecodeBlocks(layout, src, rows);
    return true;
}
