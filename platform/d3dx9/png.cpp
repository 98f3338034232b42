// PNG through libpng's simplified reader, which turns every PNG layout
// (palette, grey, 16-bit, transparency chunk) into 8-bit BGRA and reports any
// damage, a stream that ends early included, as an error.
#include "platform/d3dx9/decoders.h"

#include <cstring>
#include <png.h>

namespace {

// True when no chunk claims more bytes than the file holds after it. libpng
// allocates some ancillary chunks (sPLT among them) at their stated length
// before reading them, so without this a few hundred bytes claiming a 2 GiB
// chunk cost a 2 GiB allocation. The chunks are walked as far as `bytes`
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

bool BeginRead(const ImageBytes& bytes, png_image& image) {
    if (!ChunksFitTheFile(bytes))
        return false;
    image = png_image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&image, bytes.data.data(), bytes.data.size()) == 0) {
        png_image_free(&image);
        return false;
    }
    if (!WithinDecodeBound(image.width, image.height)) {
        png_image_free(&image);
        return false;
    }
    return true;
}

} // namespace

bool ReadPngHeader(const ImageBytes& bytes, ImageHeader& header) {
    png_image image;
    if (!BeginRead(bytes, image))
        return false;
    header.info.Width = image.width;
    header.info.Height = image.height;
    header.alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    if (header.alpha)
        header.info.Format = D3DFMT_A8R8G8B8;
    else if ((image.format & PNG_FORMAT_FLAG_COLOR) == 0)
        header.info.Format = D3DFMT_L8;
    else
        header.info.Format = D3DFMT_X8R8G8B8;
    header.info.ImageFileFormat = D3DXIFF_PNG;
    png_image_free(&image);
    return true;
}

bool DecodePng(const ImageBytes& bytes, const ImageHeader&, const PixelRows& rows) {
    png_image image;
    if (!BeginRead(bytes, image))
        return false;
    if (image.width != rows.width || image.height != rows.height) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_BGRA;
    // The stride counts components, which are bytes here.
    const int ok = png_image_finish_read(&image, nullptr, rows.bits, rows.pitch, nullptr);
    png_image_free(&image);
    return ok != 0;
}
