// Portable pixmaps and greymaps, binary ("P6", "P5") or plain text ("P3",
// "P2", as many tools write them), up to 16 bits a sample, scaled from the
// file's maxval to 8 bits. Ours rather than stb_image's, whose 16-bit samples
// come out byte-swapped, whose 8-bit ones ignore maxval, and which reads no
// plain-text file. D3DX reports pixmaps as X8R8G8B8 and greymaps as L8.
#include "platform/d3dx9/decoders.h"

#include <algorithm>
#include <charconv>

namespace {

struct PnmLayout {
    uint32_t width = 0, height = 0, maxval = 0, channels = 0;
    bool text = false; // samples as decimal numbers between whitespace
    size_t dataOffset = 0;
};

uint64_t SampleCount(const PnmLayout& layout) {
    return uint64_t{layout.width} * layout.height * layout.channels;
}

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
    if (data.size() < 3 || data[0] != 'P' || data[1] < '2' || data[1] > '6' || data[1] == '4')
        return false;
    layout.channels = data[1] == '6' || data[1] == '3' ? 3 : 1;
    layout.text = data[1] == '3' || data[1] == '2';
    size_t at = 2;
    if (!NextNumber(data, at, layout.width) || !NextNumber(data, at, layout.height) ||
        !NextNumber(data, at, layout.maxval) || layout.maxval == 0 || layout.maxval > 65535)
        return false;
    // Exactly one whitespace byte separates the header from the samples.
    if (at >= data.size() || !IsSpace(data[at]))
        return false;
    layout.dataOffset = at + 1;
    if (!WithinDecodeBound(layout.width, layout.height))
        return false;
    // A text sample takes at least a digit and a separator.
    if (layout.text)
        return layout.dataOffset + SampleCount(layout) * 2 - 1 <= bytes.fileSize;
    const uint64_t sampleBytes = layout.maxval > 255 ? 2 : 1;
    return layout.dataOffset + SampleCount(layout) * sampleBytes <= bytes.fileSize;
}

// The next sample, from the binary or the text data at `at`.
bool NextSample(const std::vector<uint8_t>& data, const PnmLayout& layout, size_t& at,
                uint32_t& value) {
    if (layout.text)
        return NextNumber(data, at, value);
    if (layout.maxval > 255) {
        value = uint32_t{data[at]} << 8 | data[at + 1];
        at += 2;
    } else {
        value = data[at++];
    }
    return true;
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
    // Text samples: up to five digits each, and room for generous spacing.
    header.readBytes =
        layout.text
            ? std::min(kMaxReadBytes, layout.dataOffset + SampleCount(layout) * 8 + kMetadataBytes)
            : layout.dataOffset + SampleCount(layout) * (layout.maxval > 255 ? 2 : 1);
    return true;
}

bool DecodePnm(const ImageBytes& bytes, const ImageHeader&, const PixelRows& rows) {
    PnmLayout layout;
    if (!ParsePnm(bytes, layout) || layout.width != rows.width || layout.height != rows.height)
        return false;
    const size_t sampleBytes = layout.maxval > 255 ? 2 : 1;
    if (!layout.text && layout.dataOffset + SampleCount(layout) * sampleBytes > bytes.data.size())
        return false;
    size_t at = layout.dataOffset;
    const uint32_t maxval = layout.maxval;
    for (UINT y = 0; y < rows.height; ++y) {
        uint8_t* out = rows.bits + static_cast<ptrdiff_t>(y) * rows.pitch;
        for (UINT x = 0; x < rows.width; ++x, out += 4) {
            uint8_t rgb[3];
            for (uint32_t c = 0; c < layout.channels; ++c) {
                uint32_t v = 0;
                if (!NextSample(bytes.data, layout, at, v))
                    return false;
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
