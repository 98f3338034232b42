// The EXIF orientation of a photo: how the stored pixels are turned or
// mirrored to show the picture upright. D3DX ignores it, so the program reads
// it itself and applies it to the quad.
#pragma once

#include <cstddef>
#include <cstdint>

// EXIF Orientation values: 1 as stored, 2 mirrored across, 3 turned half
// round, 4 mirrored down, 5 transposed, 6 turned a quarter clockwise to
// show, 7 transversed, 8 turned a quarter anticlockwise to show.
constexpr int kOrientationAsStored = 1;

// The Orientation tag (1 to 8) of the JPEG file at `path`, read from its
// APP1 EXIF segment among the segments before the first scan; 1 for a file
// that cannot be opened, is not a JPEG, has no such tag, or whose EXIF block
// is damaged. Reads at most a few segments' headers and one EXIF segment
// (64 KiB).
int ReadImageOrientation(const char* path);

// The Orientation tag in a TIFF block (the EXIF segment after "Exif\0\0"),
// in either byte order; 1 when it has none or the block is damaged.
int TiffOrientation(const uint8_t* tiff, size_t size);

// True for the orientations that show the stored width as the height.
bool SwapsSides(int orientation);

// The texture coordinates of the stored image that belong at the shown
// corner (u, v), both 0 or 1, for the given orientation.
void OrientTexCoords(int orientation, float u, float v, float& textureU, float& textureV);
