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

// What stb_image reads: `head` when it is not empty, then the file from
// `resume` on.
struct StbInput {
    const std::vector<uint8_t>& data;
    std::vector<uint8_t> head;
    size_t resume = 0;
    size_t position = 0; // in what stb_image reads
    bool pastEnd = false;

    size_t Size() const { return head.size() + (data.size() - resume); }
};

int ReadInput(void* user, char* out, int size) {
    StbInput& input = *static_cast<StbInput*>(user);
    if (input.position >= input.Size()) {
        input.pastEnd = true;
        std::memset(out, '\n', static_cast<size_t>(size));
        return size;
    }
    const bool inHead = input.position < input.head.size();
    const uint8_t* from =
        inHead ? input.head.data() + input.position
               : input.data.data() + input.resume + (input.position - input.head.size());
    const size_t left = inHead ? input.head.size() - input.position : input.Size() - input.position;
    const size_t n = std::min(static_cast<size_t>(size), left);
    std::memcpy(out, from, n);
    input.position += n;
    return static_cast<int>(n);
}

void SkipInput(void* user, int n) {
    StbInput& input = *static_cast<StbInput*>(user);
    input.position = std::min(input.Size(), input.position + static_cast<size_t>(n));
}

int InputAtEnd(void* user) {
    const StbInput& input = *static_cast<StbInput*>(user);
    return input.position >= input.Size();
}

constexpr stbi_io_callbacks kCallbacks = {ReadInput, SkipInput, InputAtEnd};

// A TGA colour map may start at an entry other than 0: pixel index i is then
// the map's entry i - first, as the format defines it. stb_image takes i as
// entry i (and skips `first` bytes before the map), so it is shown a map
// that starts at 0 and whose first `first` entries are black: a patched
// header, the image ID and the black entries, before the stored map. At
// most 2^16 entries of 4 bytes. False when the file is too short for its
// header.
bool StartColourMapAtZero(StbInput& input) {
    const std::vector<uint8_t>& data = input.data;
    if (data.size() < 18 || data[1] != 1 || (data[3] | data[4]) == 0)
        return true;
    const uint32_t first = uint32_t{data[3]} | uint32_t{data[4]} << 8;
    const uint32_t entries = first + (uint32_t{data[5]} | uint32_t{data[6]} << 8);
    input.resume = 18 + size_t{data[0]};
    if (data.size() < input.resume || entries > 0xFFFF)
        return false;
    input.head.assign(data.begin(), data.begin() + static_cast<ptrdiff_t>(input.resume));
    input.head[3] = input.head[4] = 0;
    input.head[5] = static_cast<uint8_t>(entries);
    input.head[6] = static_cast<uint8_t>(entries >> 8);
    input.head.resize(input.resume + size_t{first} * ((data[7] + 7u) / 8));
    return true;
}

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
    StbInput input{bytes.data, {}};
    if (!StartColourMapAtZero(input))
        return false;
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
