// The header of a Windows bitmap ("BM"; a .dib file is one too). The pixels
// are decoded by stb_image, so only what it reads is accepted: uncompressed
// or bit-field layouts of 1 to 32 bits, not RLE. D3DX reports 24-bit as
// R8G8B8, 32-bit as X8R8G8B8 (A8R8G8B8 with an alpha mask), 16-bit as
// X1R5G5B5, R5G6B5 or A1R5G5B5, and palette images by their colour format.
#include "platform/d3dx9/decoders.h"

namespace {

constexpr uint32_t kRgb = 0;
constexpr uint32_t kBitFields = 3;

uint32_t Read16(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8;
}
uint32_t Read32(const uint8_t* p) {
    return Read16(p) | Read16(p + 2) << 16;
}

} // namespace

bool ReadBmpHeader(const ImageBytes& bytes, ImageHeader& header) {
    const std::vector<uint8_t>& data = bytes.data;
    if (data.size() < 26)
        return false;
    const uint8_t* p = data.data();
    const uint32_t offset = Read32(p + 10);
    const uint32_t headerSize = Read32(p + 14);
    int64_t width = 0, height = 0;
    uint32_t planes = 0, bits = 0, compression = kRgb, alphaMask = 0, redMask = 0, greenMask = 0;
    if (headerSize == 12) {
        width = Read16(p + 18);
        height = Read16(p + 20);
        planes = Read16(p + 22);
        bits = Read16(p + 24);
    } else if (headerSize == 40 || headerSize == 56 || headerSize == 108 || headerSize == 124) {
        if (data.size() < 14 + uint64_t{headerSize} + 12)
            return false;
        width = static_cast<int32_t>(Read32(p + 18));
        height = static_cast<int32_t>(Read32(p + 22));
        planes = Read16(p + 26);
        bits = Read16(p + 28);
        compression = Read32(p + 30);
        // The masks follow a 40-byte header and are inside the longer ones.
        redMask = Read32(p + 54);
        greenMask = Read32(p + 58);
        if (headerSize >= 56)
            alphaMask = Read32(p + 66);
    } else {
        return false;
    }
    // Rows are stored bottom-up, or top-down for a negative height.
    if (height < 0)
        height = -height;
    const bool packed = bits == 16 || bits == 32;
    if (width <= 0 || planes != 1 ||
        (bits != 1 && bits != 4 && bits != 8 && bits != 24 && !packed) ||
        (compression != kRgb && (compression != kBitFields || !packed)) ||
        !WithinDecodeBound(static_cast<uint64_t>(width), static_cast<uint64_t>(height)))
        return false;
    // Every row is padded to four bytes; the last one's padding may be
    // missing.
    const uint64_t rowBytes = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
    const uint64_t lastRowBytes = (static_cast<uint64_t>(width) * bits + 7) / 8;
    if (offset < 14 + headerSize ||
        offset + rowBytes * static_cast<uint64_t>(height - 1) + lastRowBytes > bytes.fileSize)
        return false;

    header.alpha = compression == kBitFields && alphaMask != 0;
    if (bits == 24)
        header.info.Format = D3DFMT_R8G8B8;
    else if (bits == 32)
        header.info.Format = header.alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    else if (bits == 16 && compression == kBitFields && redMask == 0xF800 && greenMask == 0x7E0)
        header.info.Format = D3DFMT_R5G6B5;
    else if (bits == 16)
        header.info.Format = header.alpha ? D3DFMT_A1R5G5B5 : D3DFMT_X1R5G5B5;
    else
        header.info.Format = D3DFMT_X8R8G8B8;
    header.info.Width = static_cast<UINT>(width);
    header.info.Height = static_cast<UINT>(height);
    header.info.ImageFileFormat = D3DXIFF_BMP;
    header.readBytes = offset + rowBytes * static_cast<uint64_t>(height);
    header.workingBytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4;
    return true;
}
