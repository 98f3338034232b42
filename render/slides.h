// The two slides: their images, decoded into textures, and their quads.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32.h"

// One pre-transformed, coloured, textured vertex.
struct SlideVertex {
    float x, y;    // back-buffer pixels from the top-left corner
    float z;       // always 0.5
    float rhw;     // always 1.0
    DWORD diffuse; // 0xAARRGGBB
    float u, v;    // texture coordinates, 0..1
};
static_assert(sizeof(SlideVertex) == 28, "a quad vertex is 28 bytes");

// Vertex format of a quad: pre-transformed position, diffuse colour, texture
// coordinates; each vertex SlideVertex, 28 bytes apart in the stream.
constexpr DWORD slideVertexFormat = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr UINT quadBytes = 4 * sizeof(SlideVertex);

struct Slide {
    D3DXIMAGE_INFO imageInfo;             // header of the image file: stored size, type
    D3DSURFACE_DESC surfaceDesc;          // level 0 of the texture
    IDirect3DTexture9* texture;           // owning, may be null
    IDirect3DSurface9* surface;           // owning, may be null: level 0 of texture
    bool loaded;                          // holds an image; its quad is fitted
    IDirect3DVertexBuffer9* vertexBuffer; // owning for the whole run, may be null
    std::string path;                     // file of the image, as the Playlist spells it
    int orientation; // EXIF orientation of the image, 1 to 8; 0 (no image) counts as 1
};

extern Slide currentSlide; // the image on screen
extern Slide nextSlide;    // the image that fades in next

// Gives `slide` its dynamic vertex buffer with a zero-size quad.
void CreateSlideQuad(Slide& slide);

// Records the client size in clientSize; for a slide with a quad and an image,
// rewrites the quad to fit the image, centred with its own proportions and
// shown upright: the sides of an image turned a quarter are swapped for the
// fit, and the texture coordinates turn or mirror it.
void FitSlideQuad(Slide& slide);

// The four edges of a quad in back-buffer pixels.
struct QuadEdges {
    float left, top, right, bottom;
};

// The fit in single precision: an image of imageWidth x imageHeight shown in
// a client area of clientWidth x clientHeight through a back buffer of
// backWidth x backHeight.
QuadEdges FitQuadEdges(UINT imageWidth, UINT imageHeight, int32_t clientWidth, int32_t clientHeight,
                       int32_t backWidth, int32_t backHeight);

// Walks the Playlist from playlistCursor until one file decodes into
// nextSlide, rebuilding the Playlist after its last entry. Gives up after a
// whole pass over a list that loads nothing.
void LoadNextSlide();

// Releases the current image, moves the next one into currentSlide and loads
// a new next image.
void AdvanceSlide();

// The first half of AdvanceSlide: releases the current image and moves the
// next one into currentSlide, leaving nextSlide without an image.
void TakeNextSlide();

// Decodes the file `path` into nextSlide in place of its image. False when
// the file cannot be shown; nextSlide then keeps what it had.
bool LoadSlideFromFile(const std::string& path);

// Releases nextSlide's image, if it has one; its quad then covers nothing.
void ReleaseNextSlide();

// Exchanges the images of the two slides (no load, no release) and refits
// both quads: the image that was faded in goes back to being the next one.
void SwapSlides();
