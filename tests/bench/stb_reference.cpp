// The limit the BMP and HDR loads are compared with: stb_image's own read of
// the whole file. The layer builds stb_image for TGA alone, so the benchmark
// keeps a private copy with the two formats it measures.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_ONLY_BMP
#define STBI_ONLY_HDR
#include <stb_image.h>

#include "tests/bench/stb_reference.h"

bool StbReferenceRead(const unsigned char* file, int size, bool floats) {
    int width = 0;
    int height = 0;
    int channels = 0;
    void* pixels =
        floats
            ? static_cast<void*>(stbi_loadf_from_memory(file, size, &width, &height, &channels, 4))
            : static_cast<void*>(stbi_load_from_memory(file, size, &width, &height, &channels, 4));
    stbi_image_free(pixels);
    return pixels != nullptr;
}
