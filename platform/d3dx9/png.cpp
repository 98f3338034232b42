// PNG through libpng, read a row at a time straight into the caller's rows as
// 8-bit B, G, R, A: palettes and low bit depths expanded, 16-bit samples
// scaled to 8 bits, grey spread to the three colours, the transparency chunk
// turned into alpha. Every ancillary chunk but tRNS (text, colour profiles,
// suggested palettes, EXIF, gamma and the rest) is stepped over unread: the
// show needs none of them, and libpng would otherwise inflate and keep every
// compressed text chunk. Like D3DX, the samples are taken as they are stored,
// with no gamma applied. Any damage, a stream that ends early included, is an
// error.
//
// A PNG too large to hold whole (beyond the decode bound) is read a row at a
// time and reduced on the fly to the size asked for, so that only one stored
// row and one row of sums are ever held: each output pixel is the rounded
// mean of the stored pixels of its box. That needs the rows in order, so an
// interlaced PNG of that size is refused.
#include "platform/d3dx9/decoders.h"

#include <algorithm>
#include <cstring>
#include <png.h>

namespace {

// True when no chunk claims more bytes than the file holds after it, so that
// a chunk libpng would allocate at its stated length before reading it
// cannot cost more than the file. The chunks are walked as far as `bytes`
// reaches (the header read sees only the first part of a large file) and
// measured against the whole file's size.
bool ChunksFitTheFile(const ImageBytes& bytes) {
    const std::vector<uint8_t>& data = bytes.data;
    size_t at = 8; // after the signature
    while (at + 8 <= data.size()) {
        const uint64_t length = uint64_t{data[at]} << 24 | uint64_t{data[at + 1]} << 16 |
                                uint64_t{data[at + 2]} << 8 | data[at + 3];
        // The length, the type, the data and the checksum.
        if (at + 12 + length > bytes.fileSize)
            return false;
        if (std::memcmp(&data[at + 4], "IEND", 4) == 0)
            break;
        at += static_cast<size_t>(12 + length);
    }
    return true;
}

// The ancillary chunks libpng knows; all but tRNS are skipped like unknown
// ones.
constexpr png_byte kSkippedChunks[] = "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0"
                                      "pHYs\0sBIT\0sCAL\0sPLT\0sRGB\0tEXt\0tIME\0zTXt";
constexpr int kSkippedChunkCount = sizeof kSkippedChunks / 5;

struct PngInput {
    const uint8_t* data;
    size_t size;
    size_t position;
};

void ReadInput(png_structp png, png_bytep out, size_t length) {
    PngInput& input = *static_cast<PngInput*>(png_get_io_ptr(png));
    if (length > input.size - input.position)
        png_error(png, "the file ends early");
    std::memcpy(out, input.data + input.position, length);
    input.position += length;
}

// libpng's messages go nowhere: a file that cannot be read is passed over.
void Fail(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void Warn(png_structp, png_const_charp) {}

// What one read learns: the header, and with `rows` the pixels.
struct PngResult {
    png_uint_32 width = 0, height = 0;
    int colorType = 0;
    bool transparency = false;
    size_t rowBytes = 0; // of a stored row, its filter byte not counted
    bool interlaced = false;
};

// The working rows of a reduction on the fly, allocated before the read so
// that libpng's error exit leaves nothing to destroy.
struct Reduction {
    std::vector<uint8_t> row;       // one stored row as 8-bit B, G, R, A
    std::vector<UINT> column;       // the output column of each stored column
    std::vector<uint32_t> boxWidth; // stored columns per output column
    std::vector<uint64_t> sums;     // B, G, R, A sums of the output row being made
};

void PrepareReduction(UINT width, const PixelRows& rows, Reduction& reduction) {
    reduction.row.resize(size_t{width} * 4);
    reduction.column.resize(width);
    reduction.boxWidth.assign(rows.width, 0);
    reduction.sums.assign(size_t{rows.width} * 4, 0);
    for (UINT x = 0; x < width; ++x) {
        reduction.column[x] = static_cast<UINT>(uint64_t{x} * rows.width / width);
        ++reduction.boxWidth[reduction.column[x]];
    }
}

// Reads the image's rows in order and writes each output row once the last
// stored row of its box is in.
void ReduceRows(png_structp png, png_uint_32 width, png_uint_32 height, const PixelRows& rows,
                Reduction& reduction) {
    uint32_t boxHeight = 0;
    for (png_uint_32 y = 0; y < height; ++y) {
        png_read_row(png, reduction.row.data(), nullptr);
        const uint8_t* in = reduction.row.data();
        for (png_uint_32 x = 0; x < width; ++x, in += 4) {
            uint64_t* sum = &reduction.sums[size_t{reduction.column[x]} * 4];
            sum[0] += in[0];
            sum[1] += in[1];
            sum[2] += in[2];
            sum[3] += in[3];
        }
        ++boxHeight;
        const uint64_t outY = uint64_t{y} * rows.height / height;
        if (y + 1 < height && uint64_t{y + 1} * rows.height / height == outY)
            continue;
        uint8_t* out = rows.bits + static_cast<ptrdiff_t>(outY) * rows.pitch;
        for (UINT x = 0; x < rows.width; ++x) {
            const uint64_t count = uint64_t{reduction.boxWidth[x]} * boxHeight;
            for (int c = 0; c < 4; ++c) {
                uint64_t& sum = reduction.sums[size_t{x} * 4 + c];
                out[x * 4 + c] = static_cast<uint8_t>((sum + count / 2) / count);
                sum = 0;
            }
        }
        boxHeight = 0;
    }
}

// The read itself. Only plain values live here, so that libpng's error exit
// (a longjmp back into this function) leaves nothing half-destroyed;
// `rowPointers` holds one pointer per row of `rows` when the pixels are read.
bool RunRead(png_structp png, png_infop info, PngInput& input, png_bytepp rowPointers,
             const PixelRows* rows, Reduction& reduction, PngResult& result) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_read_fn(png, &input, ReadInput);
    png_set_user_limits(png, kMaxStreamedSide, kMaxStreamedSide);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kSkippedChunks, kSkippedChunkCount);
    png_read_info(png, info);
    result.width = png_get_image_width(png, info);
    result.height = png_get_image_height(png, info);
    result.colorType = png_get_color_type(png, info);
    result.transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    result.rowBytes = png_get_rowbytes(png, info);
    result.interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    if (rows == nullptr)
        return true;
    const bool reduce = result.width != rows->width || result.height != rows->height;
    if (reduce && (rows->width > result.width || rows->height > result.height ||
                   result.interlaced || reduction.column.size() != result.width))
        return false;
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t{result.width} * 4)
        return false;
    if (reduce)
        ReduceRows(png, result.width, result.height, *rows, reduction);
    else
        png_read_image(png, rowPointers);
    return true;
}

// Reads the header, and the pixels into `rows` when it is not null: the
// whole image, or with `storedWidth` beyond rows' width or height, the image
// reduced on the fly.
bool ReadPng(const ImageBytes& bytes, const PixelRows* rows, UINT storedWidth, UINT storedHeight,
             PngResult& result) {
    if (!ChunksFitTheFile(bytes))
        return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Warn);
    if (png == nullptr)
        return false;
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rowPointers;
    Reduction reduction;
    if (rows != nullptr && rows->width == storedWidth && rows->height == storedHeight) {
        rowPointers.resize(rows->height);
        for (UINT y = 0; y < rows->height; ++y)
            rowPointers[y] = rows->bits + static_cast<ptrdiff_t>(y) * rows->pitch;
    } else if (rows != nullptr && rows->width <= storedWidth && rows->height <= storedHeight) {
        PrepareReduction(storedWidth, *rows, reduction);
    }
    PngInput input{bytes.data.data(), bytes.data.size(), 0};
    const bool ok =
        info != nullptr && RunRead(png, info, input, rowPointers.data(), rows, reduction, result);
    png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
    return ok && WithinStoredBound(D3DXIFF_PNG, result.width, result.height) &&
           (WithinDecodeBound(result.width, result.height) || !result.interlaced);
}

} // namespace

bool ReadPngHeader(const ImageBytes& bytes, ImageHeader& header) {
    PngResult png;
    if (!ReadPng(bytes, nullptr, 0, 0, png))
        return false;
    header.info.Width = png.width;
    header.info.Height = png.height;
    header.alpha = (png.colorType & PNG_COLOR_MASK_ALPHA) != 0 || png.transparency;
    if (header.alpha)
        header.info.Format = D3DFMT_A8R8G8B8;
    else if ((png.colorType & PNG_COLOR_MASK_COLOR) == 0)
        header.info.Format = D3DFMT_L8;
    else
        header.info.Format = D3DFMT_X8R8G8B8;
    header.info.ImageFileFormat = D3DXIFF_PNG;
    // Deflate packs at most 1032 bytes into one: a file shorter than its rows
    // packed that tightly cannot hold the image, and is refused before
    // anything of the image's size is allocated.
    const uint64_t storedBytes = uint64_t{png.height} * (1 + png.rowBytes);
    if (bytes.fileSize < storedBytes / 1032)
        return false;
    // The compressed rows at worst: stored deflate blocks of every row with
    // its filter byte, twice over for the chunking and the passes of an
    // interlaced image, and room for metadata.
    const uint64_t rawBytes = uint64_t{png.height} * (1 + uint64_t{png.width} * 8);
    header.readBytes = std::min(kMaxReadBytes, 2 * rawBytes + kMetadataBytes);
    // An image reduced as it is read: libpng's two rows at 16 bits a
    // sample, our 8-bit row and column map, and a row of sums at most as
    // wide as the bound allows.
    if (!WithinDecodeBound(png.width, png.height))
        header.workingBytes = uint64_t{png.width} * (16 + 8) + kMaxImageSide * 36;
    return true;
}

bool DecodePng(const ImageBytes& bytes, const ImageHeader& header, const PixelRows& rows) {
    PngResult png;
    return ReadPng(bytes, &rows, header.info.Width, header.info.Height, png);
}
