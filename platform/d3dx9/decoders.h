// The image readers behind D3DX: the file's bytes, what a header read learns,
// and the decode of each format into 32-bit A8R8G8B8 rows. Internal to the
// d3dx9 module.
#pragma once

#include "platform/d3dx9/d3dx9.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The decode bound, checked from the header before anything the size of the
// image is allocated: at most 16384 pixels on a side and at most 2^26 pixels
// (256 MiB of 32-bit pixels; a 61-megapixel camera photo still fits). Files
// larger than 1 GiB are not read at all.
constexpr uint64_t kMaxImageSide = 16384;
constexpr uint64_t kMaxImagePixels = uint64_t{1} << 26;
constexpr uint64_t kMaxImageFileBytes = uint64_t{1} << 30;

// How much of a file a header read loads first; a header that lies further
// in (a JPEG with large metadata segments) is read again from the whole file.
constexpr size_t kHeaderPrefixBytes = 256 * 1024;

// The first data.size() bytes of a file of fileSize bytes.
struct ImageBytes {
    std::vector<uint8_t> data;
    uint64_t fileSize = 0;
};

// What a header read reports, plus what the decode needs to pick its texture.
struct ImageHeader {
    D3DXIMAGE_INFO info{};
    bool alpha = false; // decoded pixels carry real alpha: an A8R8G8B8 texture
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

// Reads up to `limit` bytes of the file at the Windows-style path `path`
// (resolved as every path of the layer is). False when the file cannot be
// opened, is not a regular file, is empty or is larger than kMaxImageFileBytes.
bool ReadImageFile(const char* path, size_t limit, ImageBytes& bytes);

// True when width × height × depth is within the decode bound (zero sizes are
// not).
bool WithinDecodeBound(uint64_t width, uint64_t height, uint64_t depth = 1);

// Tells the format from the file's first bytes and reads its header. False for
// anything that is not a well-formed image of a known format within the bound.
bool ReadImageHeader(const ImageBytes& bytes, ImageHeader& header);

// Decodes the whole image read by ReadImageHeader into `rows`, which has the
// header's width and height, or for a JPEG a size of ChooseJpegScale: the
// decode itself then makes the smaller image. False for any file problem,
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
// TGA and HDR through stb_image, after their header reads.
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
// image that does not exceed the cover on both sides.
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
