// The header of a Truevision TGA file. TGA has no signature, so it is the
// last format tried, and a file is taken for one only when its 18-byte header
// is a layout stb_image decodes and the file is long enough for it. D3DX
// reports 8-bit grey as L8, 24-bit as R8G8B8, 32-bit as A8R8G8B8 (X8R8G8B8
// without alpha bits) and 16-bit as X1R5G5B5, whose alpha bit stb_image drops.
#include "platform/d3dx9/decoders.h"

namespace {

uint32_t Read16(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8;
}

} // namespace

bool ReadTgaHeader(const ImageBytes& bytes, ImageHeader& header) {
    const std::vector<uint8_t>& data = bytes.data;
    if (data.size() < 18)
        return false;
    const uint8_t* p = data.data();
    const uint32_t idLength = p[0];
    const uint32_t mapType = p[1];
    const uint32_t imageType = p[2];
    const uint32_t mapFirst = Read16(p + 3);
    const uint32_t mapLength = Read16(p + 5);
    const uint32_t mapEntryBits = p[7];
    const uint32_t width = Read16(p + 12);
    const uint32_t height = Read16(p + 14);
    const uint32_t bits = p[16];
    const uint32_t descriptor = p[17];
    const uint32_t alphaBits = descriptor & 15;
    const bool rle = imageType >= 9;
    const uint32_t baseType = rle ? imageType - 8 : imageType;

    bool plausible = false;
    if (baseType == 1) // colour-mapped, 8-bit indices; see StartColourMapAtZero
        plausible =
            mapType == 1 && mapLength > 0 && mapFirst + mapLength <= 0xFFFF && bits == 8 &&
            (mapEntryBits == 15 || mapEntryBits == 16 || mapEntryBits == 24 || mapEntryBits == 32);
    else if (baseType == 2) // true colour
        plausible = mapType == 0 && (bits == 15 || bits == 16 || bits == 24 || bits == 32);
    else if (baseType == 3) // grey, with alpha at 16 bits
        plausible = mapType == 0 && (bits == 8 || bits == 16);
    // The descriptor's top two bits are reserved; right-to-left pixel order
    // (bit 4) is not read by stb_image, so such a file is refused.
    if (!plausible || (descriptor & 0xD0) != 0 || alphaBits > 8 ||
        !WithinDecodeBound(width, height))
        return false;

    const uint64_t pixelBytes = (bits + 7) / 8;
    const uint64_t dataOffset =
        18 + idLength + (mapType == 1 ? uint64_t{mapLength} * ((mapEntryBits + 7) / 8) : 0);
    const uint64_t pixels = uint64_t{width} * height;
    // A run-length packet covers at most 128 pixels with a byte and a pixel.
    const uint64_t leastData = rle ? (pixels + 127) / 128 * (1 + pixelBytes) : pixels * pixelBytes;
    if (dataOffset + leastData > bytes.fileSize)
        return false;

    header.alpha = alphaBits > 0 && (bits == 32 || (baseType == 3 && bits == 16) ||
                                     (baseType == 1 && mapEntryBits == 32));
    if (baseType == 3)
        header.info.Format = header.alpha ? D3DFMT_A8L8 : D3DFMT_L8;
    else if (header.alpha)
        header.info.Format = D3DFMT_A8R8G8B8;
    else if (bits == 24)
        header.info.Format = D3DFMT_R8G8B8;
    else if (bits == 15 || bits == 16)
        header.info.Format = D3DFMT_X1R5G5B5;
    else
        header.info.Format = D3DFMT_X8R8G8B8;
    header.info.Width = width;
    header.info.Height = height;
    header.info.ImageFileFormat = D3DXIFF_TGA;
    // At worst every run-length packet holds one pixel; stb_image decodes
    // into a copy of its own before the rows are written.
    header.readBytes = dataOffset + (rle ? pixels * (1 + pixelBytes) : pixels * pixelBytes);
    header.workingBytes = pixels * 4;
    return true;
}
