// Test images and writers of image files in every format the decoders read,
// plus a temporary folder to put them in.
#pragma once

#include "platform/windef.h"

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// An image as 0xAARRGGBB values, rows top-down.
struct Image {
    UINT width = 0, height = 0;
    std::vector<uint32_t> argb;
    uint32_t At(UINT x, UINT y) const { return argb[size_t{y} * width + x]; }
};

// Every channel picked from {0, 64, 128, 255} (exact in every format, floats
// and RGBE included) by a hash of the position; opaque unless `alpha`.
Image NoiseImage(UINT width, UINT height, bool alpha = false);
// One colour everywhere.
Image FlatImage(UINT width, UINT height, uint32_t argb);

// The rest of a BMP's layout. Palette images (1 to 8 bits) get a palette of
// the image's colours in the order the file stores them, of which only the
// first paletteEntries are written when that is not 0. Other images are
// written as B, G, R (and a zero byte at 32 bits); run-length files get no
// pixels, and 16-bit ones none that mean anything: WithPixels gives them
// theirs.
struct BmpOptions {
    uint32_t headerSize = 40; // 12 is OS/2's core header
    uint32_t compression = 0; // BI_RGB; BI_RLE8 1, BI_RLE4 2, BI_BITFIELDS 3
    uint32_t masks[4] = {};   // red, green, blue, alpha, for bit fields
    uint32_t paletteEntries = 0;
};
Bytes BmpFile(const Image& image, int bits, bool topDown, const BmpOptions& options = {});
// The BMP with `pixels` in place of its pixel data.
Bytes WithPixels(Bytes bmp, const Bytes& pixels);
Bytes TgaFile(const Image& image, int bits, bool rle);         // 24 or 32 bits, bottom-up
Bytes PnmFile(const Image& image, bool grey, uint32_t maxval); // P6 or P5, binary
Bytes PfmFile(const Image& image, bool grey, bool littleEndian);
Bytes HdrFile(const Image& image); // run-length coded when 8 <= width < 32768
Bytes PngFile(const Image& image, bool alpha);
// 16 bits a sample (each 8-bit value times 257), RGB, and no gAMA, sRGB,
// iCCP or cHRM chunk: samples whose meaning the file leaves open.
Bytes Png16File(const Image& image);
Bytes JpegFile(const Image& image, bool grey);

// A DDS header for a 2-D image with the given pixel format (the 32-byte
// DDS_PIXELFORMAT from its flags on), no data.
struct DdsPixelFormat {
    uint32_t flags, fourCC, bits, r, g, b, a;
};
Bytes DdsHeader(UINT width, UINT height, const DdsPixelFormat& format);
Bytes DdsA8R8G8B8File(const Image& image);

void Put16(Bytes& out, uint32_t v);
void Put32(Bytes& out, uint32_t v);
void Set32(Bytes& out, size_t at, uint32_t v);

class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    // Writes `bytes` to `name` in the folder (creating folders on the way)
    // and returns the file's full path.
    std::string Write(const std::string& name, const Bytes& bytes) const;
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};
