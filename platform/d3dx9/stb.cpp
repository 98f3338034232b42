// TGA and Radiance HDR pixels through stb_image, and the HDR header.
// stb_image does not stop at the end of its input: from memory it reads zeros
// and carries on, and its HDR reader then spins for ever on a zero run
// length. So it reads through callbacks that note any read past the end (the
// file is truncated, and refused rather than shown with a black tail) and
// answer it with newlines: they end every header line, and as run lengths
// and pixels they keep each of its loops moving, so the decode ends within
// the image's size.
#include "platform/d3dx9/decoders.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_NO_FAILURE_STRINGS
#define STBI_ONLY_TGA
#define STBI_ONLY_HDR
#define STBI_MAX_DIMENSIONS 16384
#include <stb_image.h>

#include <algorithm>
#include <cstring>

namespace {

static_assert(STBI_MAX_DIMENSIONS == kMaxImageSide);

struct StbInput {
    const std::vector<uint8_t>& data;
    size_t position = 0;
    bool pastEnd = false;
};

int ReadInput(void* user, char* out, int size) {
    StbInput& input = *static_cast<StbInput*>(user);
    if (input.position >= input.data.size()) {
        input.pastEnd = true;
        std::memset(out, '\n', static_cast<size_t>(size));
        return size;
    }
    const size_t n = std::min(static_cast<size_t>(size), input.data.size() - input.position);
    std::memcpy(out, input.data.data() + input.position, n);
    input.position += n;
    return static_cast<int>(n);
}

void SkipInput(void* user, int n) {
    StbInput& input = *static_cast<StbInput*>(user);
    input.position = std::min(input.data.size(), input.position + static_cast<size_t>(n));
}

int InputAtEnd(void* user) {
    const StbInput& input = *static_cast<StbInput*>(user);
    return input.position >= input.data.size();
}

constexpr stbi_io_callbacks kCallbacks = {ReadInput, SkipInput, InputAtEnd};

// Writes `channels` samples a pixel (grey, grey and alpha, RGB or RGBA) to
// the rows as B, G, R, A; alpha stays 0xFF unless the header says the image
// has it.
template <typename Sample, typename ToByte>
void WriteRows(const Sample* in, int channels, bool alpha, const PixelRows& rows, ToByte toByte) {
    for (UINT y = 0; y < rows.height; ++y) {
        uint8_t* out = rows.bits + static_cast<ptrdiff_t>(y) * rows.pitch;
        for (UINT x = 0; x < rows.width; ++x, in += channels, out += 4) {
            const bool colour = channels >= 3;
            out[0] = toByte(in[colour ? 2 : 0]);
            out[1] = toByte(in[colour ? 1 : 0]);
            out[2] = toByte(in[0]);
            out[3] = alpha && (channels == 2 || channels == 4) ? toByte(in[channels - 1]) : 0xFF;
        }
    }
}

} // namespace

bool ReadHdrHeader(const ImageBytes& bytes, ImageHeader& header) {
    StbInput input{bytes.data};
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_callbacks(&kCallbacks, &input, &width, &height, &channels) ||
        input.pastEnd ||
        !WithinDecodeBound(static_cast<uint64_t>(width), static_cast<uint64_t>(height)))
        return false;
    // The pixels follow the empty line that ends the header and the
    // resolution line after it.
    const std::vector<uint8_t>& data = bytes.data;
    const uint8_t blankLine[] = {'\n', '\n'};
    auto end = std::search(data.begin(), data.end(), std::begin(blankLine), std::end(blankLine));
    if (end == data.end() || (end = std::find(end + 2, data.end(), '\n')) == data.end())
        return false;
    const size_t start = static_cast<size_t>(end - data.begin()) + 1;
    // stb_image reads run-length coded scanlines when the first one starts as
    // one, each at least a 4-byte start and, per channel, a 2-byte run for
    // every 127 pixels; otherwise 4 bytes a pixel throughout. A file shorter
    // than that lies about its size.
    const uint64_t w = static_cast<uint64_t>(width);
    const bool runLength = w >= 8 && w < 32768 && start + 3 <= data.size() && data[start] == 2 &&
                           data[start + 1] == 2 && (data[start + 2] & 0x80) == 0;
    const uint64_t leastLine = runLength ? 4 + 8 * ((w + 126) / 127) : 4 * w;
    if (start + leastLine * static_cast<uint64_t>(height) > bytes.fileSize)
        return false;
    header.info.Width = static_cast<UINT>(width);
    header.info.Height = static_cast<UINT>(height);
    header.info.Format = D3DFMT_A32B32G32R32F;
    header.info.ImageFileFormat = D3DXIFF_HDR;
    return true;
}

bool DecodeStb(const ImageBytes& bytes, const ImageHeader& header, const PixelRows& rows) {
    StbInput input{bytes.data};
    int width = 0, height = 0, channels = 0;
    bool ok = false;
    if (header.info.ImageFileFormat == D3DXIFF_HDR) {
        float* pixels =
            stbi_loadf_from_callbacks(&kCallbacks, &input, &width, &height, &channels, 3);
        ok = pixels != nullptr && !input.pastEnd && static_cast<UINT>(width) == rows.width &&
             static_cast<UINT>(height) == rows.height;
        if (ok)
            WriteRows(pixels, 3, false, rows, FloatToUnorm8);
        stbi_image_free(pixels);
    } else {
        stbi_uc* pixels =
            stbi_load_from_callbacks(&kCallbacks, &input, &width, &height, &channels, 0);
        ok = pixels != nullptr && !input.pastEnd && static_cast<UINT>(width) == rows.width &&
             static_cast<UINT>(height) == rows.height && channels >= 1 && channels <= 4;
        if (ok)
            WriteRows(pixels, channels, header.alpha, rows, [](stbi_uc v) { return v; });
        stbi_image_free(pixels);
    }
    return ok;
}
