// Telling an image file's format from its content, as D3DX does: the name's
// ending plays no part, so a JPEG called "photo.png" still loads.
#include "platform/d3dx9/decoders.h"

#include <cmath>
#include <cstring>

namespace {

bool StartsWith(const ImageBytes& bytes, const char* magic) {
    const size_t n = std::strlen(magic);
    return bytes.data.size() >= n && std::memcmp(bytes.data.data(), magic, n) == 0;
}

} // namespace

bool WithinDecodeBound(uint64_t width, uint64_t height, uint64_t depth) {
    return width > 0 && height > 0 && depth > 0 && width <= kMaxImageSide &&
           height <= kMaxImageSide && depth <= kMaxImageSide && width * height <= kMaxImagePixels &&
           width * height * depth <= kMaxImagePixels;
}

bool WithinStoredBound(D3DXIMAGE_FILEFORMAT format, uint64_t width, uint64_t height,
                       uint64_t depth) {
    switch (format) {
    case D3DXIFF_JPG:
        return depth == 1 && width <= kMaxJpegSide && height <= kMaxJpegSide &&
               WithinDecodeBound((width + kSmallestJpegScale - 1) / kSmallestJpegScale,
                                 (height + kSmallestJpegScale - 1) / kSmallestJpegScale);
    case D3DXIFF_PNG:
        return WithinDecodeBound(width, height, depth) ||
               (depth == 1 && width > 0 && height > 0 && width <= kMaxStreamedSide &&
                height <= kMaxStreamedSide && width * height <= kMaxStreamedPixels);
    default:
        return WithinDecodeBound(width, height, depth);
    }
}

namespace {

bool ReadFormatHeader(const ImageBytes& bytes, ImageHeader& header) {
    if (StartsWith(bytes, "\xFF\xD8\xFF"))
        return ReadJpegHeader(bytes, header);
    if (StartsWith(bytes, "\x89PNG\r\n\x1A\n"))
        return ReadPngHeader(bytes, header);
    if (StartsWith(bytes, "BM"))
        return ReadBmpHeader(bytes, header);
    if (StartsWith(bytes, "DDS "))
        return ReadDdsHeader(bytes, header);
    if (StartsWith(bytes, "#?RADIANCE") || StartsWith(bytes, "#?RGBE"))
        return ReadHdrHeader(bytes, header);
    if (StartsWith(bytes, "PF") || StartsWith(bytes, "Pf"))
        return ReadPfmHeader(bytes, header);
    if (StartsWith(bytes, "P6") || StartsWith(bytes, "P5") || StartsWith(bytes, "P3") ||
        StartsWith(bytes, "P2"))
        return ReadPnmHeader(bytes, header);
    // TGA has no signature: it is the last guess, taken only for a plausible
    // header.
    return ReadTgaHeader(bytes, header);
}

} // namespace

bool ReadImageHeader(const ImageBytes& bytes, ImageHeader& header) {
    header = ImageHeader{};
    header.info.Depth = 1;
    header.info.MipLevels = 1;
    header.info.ResourceType = D3DRTYPE_TEXTURE;
    // An image whose decode would read or hold more than a load may is
    // refused here, before anything its size is allocated.
    return ReadFormatHeader(bytes, header) && header.readBytes > 0 &&
           header.readBytes <= kMaxReadBytes && header.workingBytes <= kMaxWorkingBytes;
}

bool DecodeImage(const ImageBytes& bytes, const ImageHeader& header, const PixelRows& rows) {
    switch (header.info.ImageFileFormat) {
    case D3DXIFF_JPG:
        return DecodeJpeg(bytes, header, rows);
    case D3DXIFF_PNG:
        return DecodePng(bytes, header, rows);
    case D3DXIFF_DDS:
        return DecodeDds(bytes, header, rows);
    case D3DXIFF_PFM:
        return DecodePfm(bytes, header, rows);
    case D3DXIFF_PPM:
        return DecodePnm(bytes, header, rows);
    case D3DXIFF_HDR:
        return DecodeHdr(bytes, header, rows);
    case D3DXIFF_BMP:
        return DecodeBmp(bytes, header, rows);
    case D3DXIFF_TGA:
        return DecodeStb(bytes, header, rows);
    default:
        return false;
    }
}

uint8_t FloatToUnorm8(float value) {
    if (!(value > 0.0f))
        return 0;
    if (value >= 1.0f)
        return 255;
    return static_cast<uint8_t>(std::floor(value * 255.0f + 0.5f));
}
