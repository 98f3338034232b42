// Radiance HDR ("#?RADIANCE" or "#?RGBE"): a text header, a resolution line,
// then scanlines of RGBE pixels (an 8-bit mantissa per channel sharing one
// exponent), each flat or run-length coded per channel. Read here a scanline
// at a time straight into the 8-bit rows, so an image costs one scanline of
// working memory rather than a float copy of itself. D3DX reports HDR as
// A32B32G32R32F; the samples are clamped to [0, 1], no tone mapping. The
// layouts read are those stb_image reads: the "-Y height +X width"
// orientation, scanlines that are all flat or all run-length coded (only
// images 8 to 32767 pixels wide are coded).
#include "platform/d3dx9/decoders.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

namespace {

struct HdrLayout {
    uint32_t width = 0, height = 0;
    size_t dataOffset = 0;
    bool runLength = false;
};

// The line starting at `at` (without its newline), and `at` moved past it.
// False at the end of the data: a header line always ends in a newline.
bool NextLine(const std::vector<uint8_t>& data, size_t& at, std::string_view& line) {
    const auto begin = data.begin() + static_cast<ptrdiff_t>(at);
    const auto end = std::find(begin, data.end(), '\n');
    if (end == data.end())
        return false;
    line =
        std::string_view(reinterpret_cast<const char*>(&*begin), static_cast<size_t>(end - begin));
    at = static_cast<size_t>(end - data.begin()) + 1;
    return true;
}

// "prefix" followed by a decimal number; `line` moves past the number.
bool TakeNumber(std::string_view& line, std::string_view prefix, uint32_t& value) {
    if (!line.starts_with(prefix))
        return false;
    line.remove_prefix(prefix.size());
    const auto [ptr, ec] = std::from_chars(line.data(), line.data() + line.size(), value);
    if (ec != std::errc() || ptr == line.data())
        return false;
    line.remove_prefix(static_cast<size_t>(ptr - line.data()));
    return true;
}

bool ParseHdr(const ImageBytes& bytes, HdrLayout& layout) {
    const std::vector<uint8_t>& data = bytes.data;
    size_t at = 0;
    std::string_view line;
    if (!NextLine(data, at, line) || (line != "#?RADIANCE" && line != "#?RGBE"))
        return false;
    bool rgbe = false;
    while (NextLine(data, at, line) && !line.empty())
        rgbe = rgbe || line == "FORMAT=32-bit_rle_rgbe";
    if (!rgbe || !line.empty() || !NextLine(data, at, line) ||
        !TakeNumber(line, "-Y ", layout.height) || !TakeNumber(line, " +X ", layout.width) ||
        !WithinDecodeBound(layout.width, layout.height))
        return false;
    layout.dataOffset = at;
    // The first scanline tells whether they are coded: a coded one starts
    // with 2, 2 and the width's high byte, which no real pixel does.
    layout.runLength = layout.width >= 8 && layout.width < 32768 && at + 3 <= data.size() &&
                       data[at] == 2 && data[at + 1] == 2 && (data[at + 2] & 0x80) == 0;
    return true;
}

// The least and the most bytes a scanline of `width` pixels takes: a coded
// one a 4-byte start and, per channel, at least a 2-byte packet for every 128
// pixels and at most 2 bytes a pixel.
uint64_t LeastScanline(const HdrLayout& layout) {
    const uint64_t w = layout.width;
    return layout.runLength ? 4 + 8 * ((w + 127) / 128) : 4 * w;
}
uint64_t MostScanline(const HdrLayout& layout) {
    return layout.runLength ? 4 + 8 * uint64_t{layout.width} : 4 * uint64_t{layout.width};
}

// Every mantissa at every exponent as an 8-bit sample: m × 2^(e - 136),
// clamped to [0, 1] (exponent 0 is black), made once.
struct RgbeTable {
    uint8_t samples[256][256]; // [exponent][mantissa]
    RgbeTable() {
        for (int e = 0; e < 256; ++e) {
            for (int m = 0; m < 256; ++m)
                samples[e][m] = e == 0 ? 0 : FloatToUnorm8(m * std::ldexp(1.0f, e - (128 + 8)));
        }
    }
};

// Decodes one coded scanline at `at` into `scanline` (width RGBE pixels);
// false when it is not one or runs past the data or the width.
bool DecodeCodedScanline(const std::vector<uint8_t>& data, size_t& at, uint32_t width,
                         uint8_t* scanline) {
    if (at + 4 > data.size() || data[at] != 2 || data[at + 1] != 2 ||
        (uint32_t{data[at + 2]} << 8 | data[at + 3]) != width)
        return false;
    at += 4;
    for (int channel = 0; channel < 4; ++channel) {
        uint32_t x = 0;
        while (x < width) {
            if (at >= data.size())
                return false;
            const uint32_t count = data[at] > 128 ? data[at] - 128u : data[at];
            const bool run = data[at] > 128;
            ++at;
            if (count == 0 || count > width - x || at + (run ? 1 : count) > data.size())
                return false;
            for (uint32_t i = 0; i < count; ++i, ++x)
                scanline[x * 4 + channel] = run ? data[at] : data[at + i];
            at += run ? 1 : count;
        }
    }
    return true;
}

} // namespace

bool ReadHdrHeader(const ImageBytes& bytes, ImageHeader& header) {
    HdrLayout layout;
    if (!ParseHdr(bytes, layout) ||
        layout.dataOffset + LeastScanline(layout) * layout.height > bytes.fileSize)
        return false;
    header.info.Width = layout.width;
    header.info.Height = layout.height;
    header.info.Format = D3DFMT_A32B32G32R32F;
    header.info.ImageFileFormat = D3DXIFF_HDR;
    header.readBytes =
        std::min(kMaxReadBytes, layout.dataOffset + MostScanline(layout) * layout.height);
    header.workingBytes = uint64_t{layout.width} * 4;
    return true;
}

bool DecodeHdr(const ImageBytes& bytes, const ImageHeader&, const PixelRows& rows) {
    HdrLayout layout;
    if (!ParseHdr(bytes, layout) || layout.width != rows.width || layout.height != rows.height)
        return false;
    const std::vector<uint8_t>& data = bytes.data;
    static const RgbeTable table;
    std::vector<uint8_t> scanline(size_t{layout.width} * 4);
    size_t at = layout.dataOffset;
    for (UINT y = 0; y < rows.height; ++y) {
        if (layout.runLength) {
            if (!DecodeCodedScanline(data, at, layout.width, scanline.data()))
                return false;
        } else {
            if (at + scanline.size() > data.size())
                return false;
            std::memcpy(scanline.data(), &data[at], scanline.size());
            at += scanline.size();
        }
        uint8_t* out = rows.bits + static_cast<ptrdiff_t>(y) * rows.pitch;
        for (UINT x = 0; x < rows.width; ++x, out += 4) {
            const uint8_t* rgbe = &scanline[size_t{x} * 4];
            const uint8_t* samples = table.samples[rgbe[3]];
            out[0] = samples[rgbe[2]];
            out[1] = samples[rgbe[1]];
            out[2] = samples[rgbe[0]];
            out[3] = 0xFF;
        }
    }
    return true;
}
