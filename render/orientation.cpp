// Reading a JPEG's EXIF Orientation tag with the C library alone, and what
// it does to the quad's texture coordinates. Every length and offset in the
// file is checked against what was read: a broken EXIF block means "as
// stored", never a read outside the buffer.
#include "render/orientation.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/win32.h"

namespace {

constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kShortType = 3;
// Cameras put EXIF first or right after JFIF; a file with more segments than
// this before its EXIF block is treated as having none, so a file of many
// tiny segments costs no more than this many reads.
constexpr int kMaxSegmentsBeforeExif = 16;

uint16_t Read16(const uint8_t* at, bool bigEndian) {
    return bigEndian ? static_cast<uint16_t>(at[0] << 8 | at[1])
                     : static_cast<uint16_t>(at[1] << 8 | at[0]);
}

uint32_t Read32(const uint8_t* at, bool bigEndian) {
    return bigEndian ? uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3]
                     : uint32_t{at[3]} << 24 | uint32_t{at[2]} << 16 | uint32_t{at[1]} << 8 | at[0];
}

bool ReadBytes(FILE* file, uint8_t* into, size_t count) {
    return std::fread(into, 1, count, file) == count;
}

int ReadOrientation(FILE* file) {
    uint8_t start[2];
    if (!ReadBytes(file, start, 2) || start[0] != 0xFF || start[1] != 0xD8) {
        return kOrientationAsStored;
    }
    for (int segment = 0; segment < kMaxSegmentsBeforeExif; ++segment) {
        uint8_t marker[4];
        if (!ReadBytes(file, marker, 4) || marker[0] != 0xFF) {
            return kOrientationAsStored;
        }
        // Start of scan, end of image, or a marker without a length: the
        // metadata segments are over.
        if (marker[1] == 0xDA || marker[1] == 0xD9 || (marker[1] >= 0xD0 && marker[1] <= 0xD8) ||
            marker[1] == 0x01 || marker[1] == 0xFF) {
            return kOrientationAsStored;
        }
        const size_t length = static_cast<size_t>(marker[2] << 8 | marker[3]);
        if (length < 2) {
            return kOrientationAsStored;
        }
        const size_t body = length - 2;
        if (marker[1] != 0xE1) {
            if (std::fseek(file, static_cast<long>(body), SEEK_CUR) != 0) {
                return kOrientationAsStored;
            }
            continue;
        }
        // APP1: EXIF when it starts "Exif\0\0"; XMP and others share the
        // marker and are stepped over.
        std::vector<uint8_t> data(body);
        if (!ReadBytes(file, data.data(), body)) {
            return kOrientationAsStored;
        }
        constexpr uint8_t exifId[6] = {'E', 'x', 'i', 'f', 0, 0};
        if (body >= 6 && std::equal(exifId, exifId + 6, data.begin())) {
            return TiffOrientation(data.data() + 6, body - 6);
        }
    }
    return kOrientationAsStored;
}

} // namespace

int TiffOrientation(const uint8_t* tiff, size_t size) {
    if (size < 8) {
        return kOrientationAsStored;
    }
    bool bigEndian;
    if (tiff[0] == 'M' && tiff[1] == 'M') {
        bigEndian = true;
    } else if (tiff[0] == 'I' && tiff[1] == 'I') {
        bigEndian = false;
    } else {
        return kOrientationAsStored;
    }
    if (Read16(tiff + 2, bigEndian) != 42) {
        return kOrientationAsStored;
    }
    // IFD0: a count of 12-byte entries, each tag, type, count and a 4-byte
    // value field that holds a SHORT in its first two bytes.
    const uint64_t ifd = Read32(tiff + 4, bigEndian);
    if (ifd + 2 > size) {
        return kOrientationAsStored;
    }
    const uint64_t entries = Read16(tiff + ifd, bigEndian);
    for (uint64_t i = 0; i < entries; ++i) {
        const uint64_t at = ifd + 2 + i * 12;
        if (at + 12 > size) {
            break;
        }
        const uint8_t* entry = tiff + at;
        if (Read16(entry, bigEndian) != kOrientationTag) {
            continue;
        }
        const uint16_t value = Read16(entry + 8, bigEndian);
        if (Read16(entry + 2, bigEndian) != kShortType || Read32(entry + 4, bigEndian) != 1 ||
            value < 1 || value > 8) {
            return kOrientationAsStored;
        }
        return value;
    }
    return kOrientationAsStored;
}

int ReadImageOrientation(const char* path) {
    // fopen_s, as the Windows C runtime spells it, takes the playlist's
    // Windows-style path on every target.
    FILE* file = nullptr;
    if (fopen_s(&file, path, "rb") != 0 || file == nullptr) {
        return kOrientationAsStored;
    }
    const int orientation = ReadOrientation(file);
    std::fclose(file);
    return orientation;
}

bool SwapsSides(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

void OrientTexCoords(int orientation, float u, float v, float& textureU, float& textureV) {
    switch (orientation) {
    case 2:
        textureU = 1.0f - u, textureV = v;
        break;
    case 3:
        textureU = 1.0f - u, textureV = 1.0f - v;
        break;
    case 4:
        textureU = u, textureV = 1.0f - v;
        break;
    case 5:
        textureU = v, textureV = u;
        break;
    case 6:
        // The stored top row becomes the shown right-hand column.
        textureU = v, textureV = 1.0f - u;
        break;
    case 7:
        textureU = 1.0f - v, textureV = 1.0f - u;
        break;
    case 8:
        // The stored top row becomes the shown left-hand column, read upward.
        textureU = 1.0f - v, textureV = u;
        break;
    default:
        textureU = u, textureV = v;
        break;
    }
}
