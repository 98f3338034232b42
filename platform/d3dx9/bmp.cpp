// Windows bitmaps ("BM"; a .dib file is one too): the OS/2 core header and
// the Windows info headers up to V5 (and OS/2 2.x's 64-byte one), rows
// bottom-up or top-down; palette images of 1, 4 and 8 bits, uncompressed or
// run-length coded (RLE8, RLE4); 24-bit; 16- and 32-bit uncompressed or
// with bit-field masks. Every pixel written comes from the file: palette
// entries the file does not hold, and so indices past its palette, are
// black. D3DX reports 24-bit as R8G8B8, 32-bit as X8R8G8B8 (A8R8G8B8 with an
// alpha mask), 16-bit as X1R5G5B5, R5G6B5 or A1R5G5B5, and palette images by
// their colour format.
#include "platform/d3dx9/decoders.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace {

constexpr uint32_t kRgb = 0;
constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;
constexpr uint32_t kBitFields = 3;

uint32_t Read16(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8;
}
uint32_t Read32(const uint8_t* p) {
    return Read16(p) | Read16(p + 2) << 16;
}

struct BmpLayout {
    uint32_t width = 0, height = 0;
    bool topDown = false;
    uint32_t headerSize = 0, bits = 0, compression = kRgb;
    // Red, green, blue and alpha of a 16- or 32-bit pixel; alpha only for
    // bit fields with an alpha mask in the header.
    uint32_t masks[4] = {};
    uint64_t offset = 0; // of the pixels, from the start of the file
    uint64_t paletteOffset = 0;
    uint32_t paletteEntries = 0; // those the file holds before the pixels
    uint32_t paletteEntryBytes = 4;
    uint64_t dataBytes = 0; // the rows (the last one's padding may be missing) or the RLE stream
};

bool Contiguous(uint32_t mask) {
    const uint32_t low = mask >> std::countr_zero(mask | 0x80000000u);
    return (low & (low + 1)) == 0;
}

bool ParseBmp(const ImageBytes& bytes, BmpLayout& layout) {
    const std::vector<uint8_t>& data = bytes.data;
    if (data.size() < 26)
        return false;
    const uint8_t* p = data.data();
    layout.offset = Read32(p + 10);
    layout.headerSize = Read32(p + 14);
    int64_t width = 0, height = 0;
    uint32_t planes = 0, sizeImage = 0, coloursUsed = 0;
    uint64_t headerEnd = 14 + uint64_t{layout.headerSize};
    if (layout.headerSize == 12) {
        width = Read16(p + 18);
        height = Read16(p + 20);
        planes = Read16(p + 22);
        layout.bits = Read16(p + 24);
        layout.paletteEntryBytes = 3;
    } else if (layout.headerSize == 40 || layout.headerSize == 52 || layout.headerSize == 56 ||
               layout.headerSize == 64 || layout.headerSize == 108 || layout.headerSize == 124) {
        if (data.size() < headerEnd)
            return false;
        width = static_cast<int32_t>(Read32(p + 18));
        height = static_cast<int32_t>(Read32(p + 22));
        planes = Read16(p + 26);
        layout.bits = Read16(p + 28);
        layout.compression = Read32(p + 30);
        sizeImage = Read32(p + 34);
        coloursUsed = Read32(p + 46);
        if (layout.compression == kBitFields) {
            // OS/2 2.x's compression 3 is its Huffman coding, not bit fields.
            // The three colour masks follow a 40-byte header and are inside
            // the longer ones; alpha's is in V3 and later.
            if (layout.headerSize == 64)
                return false;
            if (layout.headerSize == 40)
                headerEnd += 12;
            if (data.size() < headerEnd)
                return false;
            for (int i = 0; i < 3; ++i)
                layout.masks[i] = Read32(p + 54 + 4 * i);
            if (layout.headerSize >= 56)
                layout.masks[3] = Read32(p + 66);
        }
    } else {
        return false;
    }
    // Rows are stored bottom-up, or top-down for a negative height.
    layout.topDown = height < 0;
    if (height < 0)
        height = -height;
    const uint32_t bits = layout.bits;
    const bool packed = bits == 16 || bits == 32;
    bool readable = false;
    if (layout.compression == kRgb) {
        readable = bits == 1 || bits == 4 || bits == 8 || bits == 24 || packed;
    } else if (layout.compression == kBitFields) {
        const uint32_t pixelMask = bits == 16 ? 0xFFFFu : 0xFFFFFFFFu;
        readable = packed && (layout.masks[0] | layout.masks[1] | layout.masks[2]) != 0 &&
                   std::all_of(std::begin(layout.masks), std::end(layout.masks),
                               [&](uint32_t m) { return Contiguous(m) && (m & ~pixelMask) == 0; });
    } else if (layout.compression == kRle8 || layout.compression == kRle4) {
        // Windows reads run-length bitmaps bottom-up only.
        readable = bits == (layout.compression == kRle8 ? 8u : 4u) && !layout.topDown;
    }
    if (!readable || width <= 0 || planes != 1 ||
        !WithinDecodeBound(static_cast<uint64_t>(width), static_cast<uint64_t>(height)) ||
        layout.offset < headerEnd)
        return false;
    layout.width = static_cast<uint32_t>(width);
    layout.height = static_cast<uint32_t>(height);

    if (bits <= 8) {
        // The palette lies between the header and the pixels; it has
        // biClrUsed entries (0 meaning all 2^bits), the core header's as
        // many as fit.
        const uint32_t most = 1u << bits;
        const uint64_t room = (layout.offset - headerEnd) / layout.paletteEntryBytes;
        const uint32_t declared = coloursUsed == 0 ? most : std::min(coloursUsed, most);
        layout.paletteOffset = headerEnd;
        layout.paletteEntries = static_cast<uint32_t>(std::min<uint64_t>(declared, room));
    }
    if (layout.compression == kRle8 || layout.compression == kRle4) {
        // The stream is biSizeImage bytes, or the rest of the file; at the
        // least one escape. No stream needs more than two bytes a pixel and
        // an end of line a row: what lies beyond is not read.
        const uint64_t rest = bytes.fileSize > layout.offset ? bytes.fileSize - layout.offset : 0;
        layout.dataBytes = sizeImage != 0 ? sizeImage : rest;
        if (layout.dataBytes < 2 || layout.dataBytes > rest)
            return false;
        const uint64_t longest = 2 * (uint64_t{layout.width} + 1) * layout.height + 2;
        layout.dataBytes = std::min(layout.dataBytes, longest);
        return true;
    }
    // Every row is padded to four bytes; the last one's padding may be
    // missing.
    const uint64_t rowBytes = (uint64_t{layout.width} * bits + 31) / 32 * 4;
    const uint64_t lastRowBytes = (uint64_t{layout.width} * bits + 7) / 8;
    layout.dataBytes = rowBytes * (layout.height - 1) + lastRowBytes;
    return layout.offset + layout.dataBytes <= bytes.fileSize;
}

// B, G, R, A; entries the file does not hold stay opaque black.
using Bgra = std::array<uint8_t, 4>;
using Palette = std::array<Bgra, 256>;

Palette ReadPalette(const std::vector<uint8_t>& data, const BmpLayout& layout) {
    Palette palette;
    palette.fill(Bgra{0, 0, 0, 0xFF});
    const uint8_t* entry = data.data() + layout.paletteOffset;
    for (uint32_t i = 0; i < layout.paletteEntries; ++i, entry += layout.paletteEntryBytes)
        palette[i] = Bgra{entry[0], entry[1], entry[2], 0xFF};
    return palette;
}

// A bit-field mask's place in the pixel, and its value widened or narrowed
// to 8 bits: narrower fields repeat their high bits into the low ones, so
// that all ones is 255.
struct Field {
    uint32_t mask;
    int shift;
    int bits;
};

Field MakeField(uint32_t mask) {
    return Field{mask, std::countr_zero(mask | 0x80000000u), std::popcount(mask)};
}

uint8_t Extract(uint32_t pixel, const Field& field) {
    if (field.bits == 0)
        return 0;
    const uint32_t value = (pixel & field.mask) >> field.shift;
    if (field.bits >= 8)
        return static_cast<uint8_t>(value >> (field.bits - 8));
    uint32_t out = 0;
    for (int shift = 8 - field.bits; shift > -field.bits; shift -= field.bits)
        out |= shift >= 0 ? value << shift : value >> -shift;
    return static_cast<uint8_t>(out);
}

void DecodeRow(const uint8_t* in, const BmpLayout& layout, const Palette& palette,
               const Field (&fields)[4], uint8_t* out) {
    const uint32_t bits = layout.bits;
    if (bits <= 8) {
        const uint32_t indexMask = (1u << bits) - 1;
        for (uint32_t x = 0; x < layout.width; ++x, out += 4) {
            const uint32_t at = x * bits;
            const uint32_t index = in[at / 8] >> (8 - bits - at % 8) & indexMask;
            std::memcpy(out, palette[index].data(), 4);
        }
    } else if (bits == 24) {
        for (uint32_t x = 0; x < layout.width; ++x, in += 3, out += 4) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out[3] = 0xFF;
        }
    } else {
        for (uint32_t x = 0; x < layout.width; ++x, in += bits / 8, out += 4) {
            const uint32_t pixel = bits == 16 ? Read16(in) : Read32(in);
            out[0] = Extract(pixel, fields[2]);
            out[1] = Extract(pixel, fields[1]);
            out[2] = Extract(pixel, fields[0]);
            out[3] = layout.masks[3] != 0 ? Extract(pixel, fields[3]) : 0xFF;
        }
    }
}

// Where a run-length stream has got to: x along the row (past the right edge
// once a run overshoots it, whose pixels are dropped) and y up from the
// bottom row.
struct RleCursor {
    const PixelRows& rows;
    const Palette& palette;
    uint64_t x = 0, y = 0;

    uint8_t* Row() const {
        return rows.bits + static_cast<ptrdiff_t>(rows.height - 1 - y) * rows.pitch;
    }
};

// Moves the cursor forward to (x, y), giving every pixel passed over palette
// entry 0's colour: what GDI shows for pixels an end of line, a delta or an
// early end of bitmap skip, as a fresh DIB's pixels are index 0.
void SkipTo(RleCursor& cursor, uint64_t x, uint64_t y) {
    const uint8_t* background = cursor.palette[0].data();
    while (cursor.y < cursor.rows.height && (cursor.y < y || cursor.x < x)) {
        const uint64_t end =
            std::min<uint64_t>(cursor.y < y ? cursor.rows.width : x, cursor.rows.width);
        uint8_t* row = cursor.Row();
        for (uint64_t i = cursor.x; i < end; ++i)
            std::memcpy(row + i * 4, background, 4);
        if (cursor.y == y)
            break;
        ++cursor.y;
        cursor.x = 0;
    }
    cursor.x = x;
    cursor.y = y;
}

// Draws `count` pixels whose indices index(i) gives, clipped at the right
// edge.
template <typename Index> void Draw(RleCursor& cursor, uint32_t count, Index index) {
    const uint64_t end = std::min<uint64_t>(cursor.x + count, cursor.rows.width);
    uint8_t* row = cursor.Row();
    for (uint64_t x = cursor.x; x < end; ++x)
        std::memcpy(row + x * 4, cursor.palette[index(x - cursor.x)].data(), 4);
    cursor.x += count;
}

// An RLE8 or RLE4 stream into the rows, bottom-up. Each step reads at least
// two bytes of the stream and writes no pixel twice, so the work is bounded
// by the file and the image. A stream that ends before the image does is a
// cut file, refused; one that goes on past the image's top row is ignored
// from there on.
bool DecodeRunLength(const uint8_t* in, size_t size, bool fourBits, const Palette& palette,
                     const PixelRows& rows) {
    RleCursor cursor{rows, palette};
    size_t at = 0;
    while (cursor.y < rows.height) {
        if (at + 2 > size)
            return false;
        const uint32_t count = in[at], value = in[at + 1];
        at += 2;
        if (count > 0) {
            Draw(cursor, count, [&](uint64_t i) {
                return fourBits ? (i % 2 == 0 ? value >> 4 : value & 15) : value;
            });
        } else if (value == 0) { // end of line
            SkipTo(cursor, 0, cursor.y + 1);
        } else if (value == 1) { // end of bitmap
            SkipTo(cursor, 0, rows.height);
        } else if (value == 2) { // delta: right and up
            if (at + 2 > size)
                return false;
            SkipTo(cursor, cursor.x + in[at], cursor.y + in[at + 1]);
            at += 2;
        } else { // absolute: `value` indices, padded to 16 bits
            const size_t runBytes = fourBits ? (value + 1) / 2 : value;
            if (at + runBytes > size)
                return false;
            const uint8_t* run = in + at;
            Draw(cursor, value, [&](uint64_t i) {
                return fourBits ? (i % 2 == 0 ? run[i / 2] >> 4 : run[i / 2] & 15) : run[i];
            });
            at += (runBytes + 1) / 2 * 2;
        }
    }
    return true;
}

} // namespace

bool ReadBmpHeader(const ImageBytes& bytes, ImageHeader& header) {
    BmpLayout layout;
    if (!ParseBmp(bytes, layout))
        return false;
    const uint32_t bits = layout.bits;
    header.alpha = layout.masks[3] != 0;
    if (bits == 24)
        header.info.Format = D3DFMT_R8G8B8;
    else if (bits == 32)
        header.info.Format = header.alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    else if (bits == 16 && layout.masks[0] == 0xF800 && layout.masks[1] == 0x7E0)
        header.info.Format = D3DFMT_R5G6B5;
    else if (bits == 16)
        header.info.Format = header.alpha ? D3DFMT_A1R5G5B5 : D3DFMT_X1R5G5B5;
    else
        header.info.Format = D3DFMT_X8R8G8B8;
    header.info.Width = layout.width;
    header.info.Height = layout.height;
    header.info.ImageFileFormat = D3DXIFF_BMP;
    header.readBytes = layout.offset + layout.dataBytes;
    return true;
}

bool DecodeBmp(const ImageBytes& bytes, const ImageHeader&, const PixelRows& rows) {
    BmpLayout layout;
    if (!ParseBmp(bytes, layout) || layout.width != rows.width || layout.height != rows.height ||
        layout.offset + layout.dataBytes > bytes.data.size())
        return false;
    const Palette palette = ReadPalette(bytes.data, layout);
    const uint8_t* in = bytes.data.data() + layout.offset;
    if (layout.compression == kRle8 || layout.compression == kRle4)
        return DecodeRunLength(in, layout.dataBytes, layout.compression == kRle4, palette, rows);
    if (layout.compression == kRgb && layout.bits == 16) {
        layout.masks[0] = 0x7C00; // 5-5-5
        layout.masks[1] = 0x3E0;
        layout.masks[2] = 0x1F;
    } else if (layout.compression == kRgb && layout.bits == 32) {
        layout.masks[0] = 0xFF0000; // the fourth byte is not alpha
        layout.masks[1] = 0xFF00;
        layout.masks[2] = 0xFF;
    }
    const Field fields[4] = {MakeField(layout.masks[0]), MakeField(layout.masks[1]),
                             MakeField(layout.masks[2]), MakeField(layout.masks[3])};
    const size_t rowBytes = (size_t{layout.width} * layout.bits + 31) / 32 * 4;
    for (UINT y = 0; y < rows.height; ++y) {
        const size_t fileRow = layout.topDown ? y : rows.height - 1 - y;
        DecodeRow(in + fileRow * rowBytes, layout, palette, fields,
                  rows.bits + static_cast<ptrdiff_t>(y) * rows.pitch);
    }
    return true;
}
