// Binary portable pixmaps and greymaps ("P6", "P5"), 8 or 16 bits a sample,
// scaled from the file's maxval to 8 bits. The ASCII variants (P3, P2) are
// not read. Ours rather than stb_image's, whose 16-bit samples come out
// byte-swapped and whose 8-bit ones ignore maxval. D3DX reports P6 as
// X8R8G8B8 and P5 as L8.
#include "platform/d3dx9/decoders.h"

#include <charconv>

namespace {

struct PnmLayout {
    uint32_t width = 0, height = 0, maxval = 0, channels = 0;
    size_t dataOffset = 0;
};

bool IsSpace(uint8_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The next number of the header, stepping over whitespace and "#" comments.
bool NextNumber(const std::vector<uint8_t>& data, size_t& at, uint32_t& value) {
    while (at < data.size() && (IsSpace(data[at]) || data[at] == '#')) {
        if (data[at] == '#') {
            while (at < data.size() && data[at] != '\n')
                ++at;
        } else {
            ++at;
        }
    }
    const size_t start = at;
    while (at < data.size() && data[at] >= '0' && data[at] <= '9')
        ++at;
    const char* first = reinterpret_cast<const char*>(data.data() + start);
    const char* last = reinterpret_cast<const char*>(data.data() + at);
    const auto [ptr, ec] = std::from_chars(first, last, value);
    return at > start && ec == std::errc() && ptr == last;
}

bool ParsePnm(const ImageBytes& bytes, PnmLayout& layout) {
    const std::vector<uint8_t>& data = bytes.data;
    if (data.size() < 3 || data[0] != 'P' || (data[1] != '6' && data[1] != '5'))
        return false;
    layout.channels = data[1] == '6' ? 3 : 1;
    size_t at = 2;
    if (!NextNumber(data, at, layout.width) || !NextNumber(data, at, layout.height) ||
        !NextNumber(data, at, layout.maxval) || layout.maxval == 0 || layout.maxval > 65535)
        return false;
    // Exactly one whitespace byte separates the header from the samples.
    if (at >= data.size() || !IsSpace(data[at]))
        return false;
    layout.dataOffset = at + 1;
    const uint64_t sampleBytes = layout.maxval > 255 ? 2 : 1;
    return WithinDecodeBound(layout.width, layout.height) &&
           layout.dataOffset +
                   uint64_t{layout.width} * layout.height * layout.channels * sampleBytes <=
               bytes.fileSize;
}

} // namespace

bool ReadPnmHeader(const ImageBytes& bytes, ImageHeader& header) {
    PnmLayout layout;
    if (!ParsePnm(bytes, layout))
        return false;
    header.info.Width = layout.width;
    header.info.Height = layout.height;
    header.info.Format = layout.channels == 3 ? D3DFMT_X8R8G8B8 : D3DFMT_L8;
    header.info.ImageFileFormat = D3DXIFF_PPM;
    header.readBytes = layout.dataOffset + uint64_t{layout.width} * layout.height *
                                               layout.channels * (layout.maxval > 255 ? 2 : 1);
    return true;
}

bool DecodePnm(const ImageBytes& bytes, const ImageHeader&, const PixelRows& rows) {
    PnmLayout layout;
    if (!ParsePnm(bytes, layout) || layout.width != rows.width || layout.height != rows.height)
        return false;
    const size_t sampleBytes = layout.maxval > 255 ? 2 : 1;
    if (layout.dataOffset + size_t{layout.width} * layout.height * layout.channels * sampleBytes >
        bytes.data.size())
        return false;
    const uint8_t* in = bytes.data.data() + layout.dataOffset;
    const uint32_t maxval = layout.maxval;
    for (UINT y = 0; y < rows.height; ++y) {
        uint8_t* out = rows.bits + static_cast<ptrdiff_t>(y) * rows.pitch;
        for (UINT x = 0; x < rows.width; ++x, out += 4) {
            uint8_t rgb[3];
            for (uint32_t c = 0; c < layout.channels; ++c, in += sampleBytes) {
                const uint32_t v = sampleBytes == 2 ? uint32_t{in[0]} << 8 | in[1] : in[0];
                // Samples above maxval are out of range: shown at full.
                rgb[c] = static_cast<uint8_t>(v >= maxval ? 255 : (v * 255 + maxval / 2) / maxval);
            }
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
