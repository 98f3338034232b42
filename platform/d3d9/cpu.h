// The device's second way to draw: frames composited by the layer itself on
// the CPU and handed to the window's own surface (SDL's window framebuffer,
// shared memory on X11), with no OpenGL and no SDL renderer on the window.
//
// Taken where the only OpenGL is a software rasteriser: there the renderer
// runs a whole GL pipeline on the CPU for what is, in a slide show, a
// weighted sum of two pictures, and loads a compiler to do it. The picture is
// the one Direct3D 9 puts on the screen for the same calls: what a draw
// covers is worked out once in window pixels (a layer, kept while the draw
// stays the same), and a frame is the clear followed by each layer blended
// with the draw's colour and blend states.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <vector>

struct Device;
struct D3DCAPS9;
struct FrameCommand;

// A texture's pixels on a device that draws on the CPU: 0xAARRGGBB, rows of
// `width`, the texture's own size. Shared by the texture and the frame
// commands that draw it, so that a command keeps the pixels of its time.
struct CpuPixels {
    int width = 0;
    int height = 0;
    std::unique_ptr<uint32_t[]> texels;
};

// Pixels to draw into: `stride` pixels from one row to the next, 0xXXRRGGBB.
struct CpuCanvas {
    uint32_t* pixels = nullptr;
    int stride = 0;
    int width = 0;
    int height = 0;
};

// What one draw covers on a canvas of a given size, in the canvas's pixels:
// the texture (or black) sampled over the draw's triangles at back-buffer
// resolution, times the vertex colour where it varies, and then stretched as
// the back buffer is stretched over the window. Outside the triangles the
// colour and the coverage are 0.
struct CpuLayer {
    // What the layer was made from (see LayerMatches in cpu_layer.cpp).
    uint64_t content = 0;
    bool uniformColour = true;
    SDL_ScaleMode scale = SDL_ScaleModeNearest;
    std::vector<SDL_Vertex> vertices;
    int canvasWidth = 0;
    int canvasHeight = 0;
    // The rectangle of the canvas it covers and, row by row over it, the
    // colour (0xAARRGGBB) and the coverage (0 to 255) of each pixel.
    SDL_Rect rect{};
    std::vector<uint32_t> colour;
    std::vector<uint8_t> coverage;
    uint64_t lastUsed = 0; // the composition that last drew it
};

// The CPU drawing state of a device.
struct CpuState {
    std::vector<std::unique_ptr<CpuLayer>> layers;
    uint64_t compositions = 0;
    // The back buffer at its own resolution, made only when read back (a
    // test hook): the shown frame's commands from `shownLagFrom` on are not
    // in it yet while `shownLag` is set.
    std::vector<uint32_t> backBuffer;
    bool shownLag = false;
    size_t shownLagFrom = 0;
    // Where the canvas is composed when the window surface has another
    // pixel format.
    std::vector<uint32_t> conversion;
};

// Whether devices should draw on the CPU: VIMBORA_RENDERER=cpu, or when not
// forced, where the renderer SDL gives a window is SDL's software renderer
// or OpenGL on a software rasteriser (llvmpipe, softpipe, swrast).
bool SoftwareRendering(SDL_Renderer* renderer);

// The capabilities of a device that draws on the CPU: everything the layer
// draws, at full speed.
void FillCpuCaps(D3DCAPS9& caps);

// Whether Direct3D's blend states (render-state values) can be drawn, and
// their packed form for a frame command; 0 is blending off.
uint32_t PackBlendStates(bool enabled, uint32_t source, uint32_t destination, uint32_t operation);
bool CpuBlendSupported(uint32_t packed);

// Composes `commands` in order onto `canvas`, the back buffer (of the
// device's size) being stretched over it.
void ComposeCommands(Device& device, const FrameCommand* commands, size_t count,
                     const CpuCanvas& canvas);

// The layer of a draw for `canvas`: made now, or kept from an earlier
// composition of the same draw.
const CpuLayer& LayerFor(Device& device, const FrameCommand& command, const CpuCanvas& canvas);

// Drops the layers no composition has used since the one before the last.
void DropUnusedLayers(CpuState& state);

// Composes the frame being built into the window's surface and shows it.
// False when the window has no surface to draw into.
bool ShowCpuFrame(Device& device);

// The window's size in pixels while it can show anything; 0 × 0 while it is
// minimised.
void CpuClientSize(Device& device, int& width, int& height);

// Brings the read-back copy of the back buffer up to the frame being built.
void RunCpuCommands(Device& device);

// The arithmetic of a blend, exposed for tests: `source` (a layer pixel)
// times `colour` (0xRRGGBB) blended into `destination` with the packed
// states, at `coverage`.
uint32_t BlendPixel(uint32_t source, uint32_t colour, uint32_t destination, uint32_t packed,
                    uint8_t coverage);

// The program's additive crossfade over `count` pixels: each of
// `destination` plus `source` times `colour` (0xRRGGBB), rounded, saturating.
void AddModulated(uint32_t* destination, const uint32_t* source, size_t count, uint32_t colour);
