// TGA pixels through stb_image. stb_image does not stop at the end of
// its input: from memory it reads zeros and carries on. So it reads through
// callbacks that note any read past the end (the file is truncated, and
// refused rather than shown with a black tail) and answer it with newlines,
// which keep each of its loops moving, so the decode ends within the image's
// size.
#include "platform/d3dx9/decoders.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_NO_FAILURE_STRINGS
#define STBI_ONLY_TGA
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
void WriteRows(const stbi_uc* in, int channels, bool alpha, const PixelRows& rows) {
    for (UINT y = 0; y < rows.height; ++y) {
        uint8_t* out = rows.bits + static_cast<ptrdiff_t>(y) * rows.pitch;
        for (UINT x = 0; x < rows.width; ++x, in += channels, out += 4) {
            const bool colour = channels >= 3;
            out[0] = in[colour ? 2 : 0];
            out[1] = in[colour ? 1 : 0];
            out[2] = in[0];
            out[3] = alpha && (channels == 2 || channels == 4) ? in[channels - 1] : 0xFF;
        }
    }
}

} // namespace

bool DecodeStb(const ImageBytes& bytes, const ImageHeader& header, const PixelRows& rows) {
    StbInput input{bytes.data};
    int width = 0, height = 0, channels = 0;
    bool ok = false;
    stbi_uc* pixels = stbi_load_from_callbacks(&kCallbacks, &input, &width, &height, &channels, 0);
    ok = pixels != nullptr && !input.pastEnd && static_cast<UINT>(width) == rows.width &&
         static_cast<UINT>(height) == rows.height && channels >= 1 && channels <= 4;
    if (ok)
        WriteRows(pixels, channels, header.alpha, rows);
    stbi_image_free(pixels);
    return ok;
}
