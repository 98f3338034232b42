// The image readers behind D3DX: the file's bytes, what a header read learns,
// and the decode of each format into 32-bit A8R8G8B8 rows. Internal to the
// d3dx9 module.
#pragma once

#include "platform/d3dx9/d3dx9.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The budget of one load: a header read and a decode together, as the show
// makes them at every advance with no message handled meanwhile. Every
// decoder answers to it, and each part is checked before it is allocated or
// spent:
// - pixels: at most 16384 on a side and 2^26 in all (256 MiB of 32-bit
//   pixels; a 61-megapixel camera photo still fits), for the image as it is
//   decoded and again for the texture it is resampled into. The bound is on
//   what is decoded, not on what the file stores: a JPEG is decoded at a DCT
//   scale (down to 1/8 a side), so one of up to 65500 a side (the format's
//   limit) fits once scaled; a PNG too large to decode whole is reduced row
//   by row as it is read, never held whole (see WithinStoredBound);
// - the file: at most what the image can take, from its header (see
//   ImageHeader::readBytes), and never more than kMaxReadBytes. The rest of a
//   longer file is never read, so padding costs nothing;
// - a decoder's own working memory beyond the pixels (libjpeg's coefficients
//   of a progressive JPEG, stb_image's copy of a TGA, the rows of a PNG
//   reduced as it is read): at most kMaxWorkingBytes;
// - work: whatever a file holds, a decode touches each pixel a bounded number
//   of times, and the pixels a PNG reduced as it is read may store are
//   bounded (kMaxStreamedPixels). Text, profile and other chunks the show
//   does not need are stepped over unread; a JPEG's scans are counted before
//   it is decoded.
// So one load holds at most 4 × 256 MiB + 16 MiB, and a refused file costs a
// fraction of a second.
constexpr uint64_t kMaxImageSide = 16384;
constexpr uint64_t kMaxImagePixels = uint64_t{1} << 26;
// Room for what precedes or follows the pixels in a file (EXIF with its
// thumbnail, colour profiles, comments).
constexpr uint64_t kMetadataBytes = uint64_t{16} << 20;
constexpr uint64_t kMaxReadBytes = kMaxImagePixels * 4 + kMetadataBytes;
constexpr uint64_t kMaxWorkingBytes = uint64_t{256} << 20;
// The 8 × 8 blocks that all scans of a JPEG may visit together, summed over
// its scans: 2^25 is twice to five times what libjpeg's own progressive
// script visits in the largest image within the bound (4:4:4 to 4:2:0), and
// decoding that many empty scans takes 0.7 s here. A baseline JPEG visits
// each block once.
constexpr uint64_t kMaxJpegScanBlocks = uint64_t{1} << 25;
// The largest JPEG side libjpeg reads; what stays within the bound is the
// decode at 1/8 a side.
constexpr uint64_t kMaxJpegSide = 65500;
constexpr uint64_t kSmallestJpegScale = 8;
// A PNG beyond the pixel bound is read row by row and reduced on the fly, so
// its stored size costs time, not memory: at most 2^29 pixels (23170 ×
// 23170; a 20000 × 20000 PNG takes 5 s of CPU here) and 2^20 on a side (one
// row of 8 MiB at 16 bits a sample).
constexpr uint64_t kMaxStreamedPixels = uint64_t{1} << 29;
constexpr uint64_t kMaxStreamedSide = uint64_t{1} << 20;

// How much of a file a header read loads first; a header that lies further
// in (a JPEG with large metadata segments) is looked for in up to
// kMetadataBytes.
constexpr size_t kHeaderPrefixBytes = 256 * 1024;

// The first data.size() bytes of a file of fileSize bytes. `data` is one of
// the layer's recycled image buffers.
struct ImageBytes {
    std::vector<uint8_t> data;
    uint64_t fileSize = 0;
};

// What a header read reports, plus what the decode needs to pick its texture.
struct ImageHeader {
    D3DXIMAGE_INFO info{};
    bool alpha = false; // decoded pixels carry real alpha: an A8R8G8B8 texture
    // The most of the file, in bytes from its start, that the decode reads:
    // exact for uncompressed formats, the worst case of the coding plus
    // kMetadataBytes for compressed ones. At most kMaxReadBytes.
    uint64_t readBytes = 0;
    // The decoder's working memory beyond the pixels, in bytes; at most
    // kMaxWorkingBytes.
    uint64_t workingBytes = 0;
};

// Where a decode writes the whole image: height rows of width 32-bit pixels
// in A8R8G8B8 memory order (B, G, R, A bytes), `pitch` bytes apart. Pixels of
// an image without alpha get alpha 0xFF.
struct PixelRows {
    uint8_t* bits;
    int pitch;
    UINT width;
    UINT height;
};

// An image file open for one load: what has been read of it, from its
// start. The file is closed and the buffer kept for the next load when it
// goes.
struct ImageFile {
    int fd = -1;
    ImageBytes bytes;
    ImageFile() = default;
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;
    ~ImageFile();
};

// Opens the file at the Windows-style path `path` (resolved as every path of
// the layer is) and reads its first kHeaderPrefixBytes. False when the file
// cannot be opened, is not a regular file or is empty.
bool OpenImageFile(const char* path, ImageFile& file);

// Reads on until min(limit, the file's size) bytes are in file.bytes. A file
// that turns out shorter than its size said (it changed meanwhile) gets the
// size of what arrived. False on a read error.
bool ReadImageFileUpTo(ImageFile& file, uint64_t limit);

// The header read of an open file: from its first part, and when the header
// lies further in, from up to kMetadataBytes.
bool ReadFileHeader(ImageFile& file, ImageHeader& header);

// True when width × height × depth is within the decode bound (zero sizes are
// not).
bool WithinDecodeBound(uint64_t width, uint64_t height, uint64_t depth = 1);

// True when an image of the given format and stored size can be decoded
// within the decode bound: a JPEG at its smallest DCT scale, a PNG whole or
// (not interlaced) reduced as it is read, any other format whole.
bool WithinStoredBound(D3DXIMAGE_FILEFORMAT format, uint64_t width, uint64_t height,
                       uint64_t depth = 1);

// Tells the format from the file's first bytes and reads its header. False for
// anything that is not a well-formed image of a known format within the
// bound, or whose decode would read or hold more than the load's budget.
bool ReadImageHeader(const ImageBytes& bytes, ImageHeader& header);

// Decodes the whole image read by ReadImageHeader into `rows`, which has the
// header's width and height, or for a JPEG a size of ChooseJpegScale, or for
// a PNG any smaller size: the decode itself then makes the smaller image (a
// PNG reduced row by row with a box filter). False for any file problem,
// truncation included.
bool DecodeImage(const ImageBytes& bytes, const ImageHeader& header, const PixelRows& rows);

// One header read and one decode per reader. The header reads fill
// info.ImageFileFormat and the rest of `header`, and check the decode bound.
bool ReadJpegHeader(const ImageBytes& bytes, ImageHeader& header);
bool DecodeJpeg(const ImageBytes& bytes, const ImageHeader& header, const PixelRows& rows);
bool ReadPngHeader(const ImageBytes& bytes, ImageHeader& header);
bool DecodePng(const ImageBytes& bytes, const ImageHeader& header, const PixelRows& rows);
bool ReadDdsHeader(const ImageBytes& bytes, ImageHeader& header);
bool DecodeDds(const ImageBytes& bytes, const ImageHeader& header, const PixelRows& rows);
bool ReadPfmHeader(const ImageBytes& bytes, ImageHeader& header);
bool DecodePfm(const ImageBytes& bytes, const ImageHeader& header, const PixelRows& rows);
bool ReadBmpHeader(const ImageBytes& bytes, ImageHeader& header);
bool DecodeBmp(const ImageBytes& bytes, const ImageHeader& header, const PixelRows& rows);
bool ReadTgaHeader(const ImageBytes& bytes, ImageHeader& header);
bool ReadPnmHeader(const ImageBytes& bytes, ImageHeader& header);
bool DecodePnm(const ImageBytes& bytes, const ImageHeader& header, const PixelRows& rows);
bool ReadHdrHeader(const ImageBytes& bytes, ImageHeader& header);
bool DecodeHdr(const ImageBytes& bytes, const ImageHeader& header, const PixelRows& rows);
// TGA through stb_image, after its header read.
bool DecodeStb(const ImageBytes& bytes, const ImageHeader& header, const PixelRows& rows);

// A TurboJPEG scaling factor and the size a decode with it gives: each side
// num/denom of the stored one, rounded up.
struct JpegScale {
    int num;
    int denom;
    UINT width;
    UINT height;
};

// The smallest of TurboJPEG's reducing factors whose decode of a width ×
// height JPEG still covers coverWidth × coverHeight on both sides; 1/1 for an
// image that does not exceed the cover on both sides. When that decode would
// exceed the decode bound, the largest factor whose decode is within it.
JpegScale ChooseJpegScale(UINT width, UINT height, UINT coverWidth, UINT coverHeight);

// The size of a width × height image reduced at its own proportions until it
// just covers coverWidth × coverHeight: one side meets its cover, the other
// is at least its own (rounded up). The image's own size when it does not
// exceed the cover on both sides.
void CoveringSize(UINT width, UINT height, UINT coverWidth, UINT coverHeight, UINT& outWidth,
                  UINT& outHeight);

// Scales the image in `src` over the whole of `dst` with a triangle filter
// whose support widens with the reduction, so that a reduction averages every
// source pixel it covers and an enlargement interpolates linearly.
void ResampleImage(const PixelRows& src, const PixelRows& dst);

// A float sample clamped to [0, 1] and scaled to 8 bits (NaN gives 0), as
// D3DX converts float images: no tone mapping.
uint8_t FloatToUnorm8(float value);
