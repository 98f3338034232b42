// Portable float maps: "PF" (three floats a pixel) or "Pf" (one), a text
// header of width, height and scale, then rows from the bottom up. A negative
// scale means little-endian floats. D3DX reports them as A32B32G32R32F and
// R32F; the samples are clamped to [0, 1] and the scale's size is not
// applied.
#include "platform/d3dx9/decoders.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <string>

namespace {

struct PfmLayout {
    uint32_t width = 0, height = 0, channels = 0;
    bool littleEndian = false;
    size_t dataOffset = 0;
};

bool IsSpace(uint8_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The next whitespace-separated word of the header, at most 32 characters.
bool NextWord(const std::vector<uint8_t>& data, size_t& at, std::string& word) {
    while (at < data.size() && IsSpace(data[at]))
        ++at;
    word.clear();
    while (at < data.size() && !IsSpace(data[at])) {
        if (word.size() == 32)
            return false;
        word.push_back(static_cast<char>(data[at++]));
    }
    return !word.empty();
}

bool ParseSize(const std::string& word, uint32_t& value) {
    const char* end = word.data() + word.size();
    const auto [ptr, ec] = std::from_chars(word.data(), end, value);
    return ec == std::errc() && ptr == end;
}

bool ParsePfm(const ImageBytes& bytes, PfmLayout& layout) {
    const std::vector<uint8_t>& data = bytes.data;
    if (data.size() < 3 || data[0] != 'P' || (data[1] != 'F' && data[1] != 'f') ||
        !IsSpace(data[2]))
        return false;
    layout.channels = data[1] == 'F' ? 3 : 1;
    size_t at = 2;
    std::string word;
    if (!NextWord(data, at, word) || !ParseSize(word, layout.width) || !NextWord(data, at, word) ||
        !ParseSize(word, layout.height) || !NextWord(data, at, word))
        return false;
    double scale = 0.0;
    const char* end = word.data() + word.size();
    const auto [ptr, ec] = std::from_chars(word.data(), end, scale);
    if (ec != std::errc() || ptr != end || !std::isfinite(scale) || scale == 0.0)
        return false;
    layout.littleEndian = scale < 0.0;
    // One whitespace byte ends the header; the floats follow it.
    if (at >= data.size() || !IsSpace(data[at]))
        return false;
    layout.dataOffset = at + 1;
    return WithinDecodeBound(layout.width, layout.height) &&
           layout.dataOffset + uint64_t{layout.width} * layout.height * layout.channels * 4 <=
               bytes.fileSize;
}

float ReadFloat(const uint8_t* p, bool littleEndian) {
    const uint32_t bits =
        littleEndian
            ? uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24
            : uint32_t{p[3]} | uint32_t{p[2]} << 8 | uint32_t{p[1]} << 16 | uint32_t{p[0]} << 24;
    return std::bit_cast<float>(bits);
}

} // namespace

bool ReadPfmHeader(const ImageBytes& bytes, ImageHeader& header) {
    PfmLayout layout;
    if (!ParsePfm(bytes, layout))
        return false;
    header.info.Width = layout.width;
    header.info.Height = layout.height;
    header.info.Format = layout.channels == 3 ? D3DFMT_A32B32G32R32F : D3DFMT_R32F;
    header.info.ImageFileFormat = D3DXIFF_PFM;
    header.readBytes =
        layout.dataOffset + uint64_t{layout.width} * layout.height * layout.channels * 4;
    return true;
}

bool DecodePfm(const ImageBytes& bytes, const ImageHeader&, const PixelRows& rows) {
    PfmLayout layout;
    if (!ParsePfm(bytes, layout) || layout.width != rows.width || layout.height != rows.height ||
        layout.dataOffset + size_t{layout.width} * layout.height * layout.channels * 4 >
            bytes.data.size())
        return false;
    const size_t rowBytes = size_t{layout.width} * layout.channels * 4;
    for (UINT y = 0; y < rows.height; ++y) {
        // The file's first row is the bottom one.
        const uint8_t* in =
            bytes.data.data() + layout.dataOffset + (rows.height - 1 - y) * rowBytes;
        uint8_t* out = rows.bits + static_cast<ptrdiff_t>(y) * rows.pitch;
        for (UINT x = 0; x < rows.width; ++x, out += 4) {
            uint8_t rgb[3];
            for (uint32_t c = 0; c < layout.channels; ++c, in += 4)
                rgb[c] = FloatToUnorm8(ReadFloat(in, layout.littleEndian));
            if (layout.channels == 1)
                rgb[1] = rgb[2] = rgb[0];
            out[0] = rgb[2];
            out[1] = rgb[1];
            out[2] = rgb[0];
            out[3] = 0xFF;
        }
    }
    return true;
}
