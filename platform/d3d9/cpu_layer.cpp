// Layers: what one draw covers, in the pixels of the canvas it is composed
// onto (see cpu.h).
//
// A layer is made in two steps, as the GPU path makes the picture: the
// draw's triangles are rasterised at back-buffer resolution (pixel centres at
// half-integer positions, Direct3D's top-left rule on shared edges, texture
// coordinates interpolated linearly on the screen, clamped sampling), and the
// result is stretched bilinearly over the canvas as the back buffer is
// stretched over the client area. A layer depends on the texture's pixels,
// the vertices and the canvas size, not on a colour shared by all vertices:
// that colour is applied at every composition, so a crossfade, whose vertex
// colours change every frame, reuses its two layers to the end.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/d3d9/objects.h"

namespace {

// A back-buffer rectangle's rasterised colour and coverage, before the
// stretch.
struct Raster {
    SDL_Rect rect{};
    std::vector<uint32_t> colour;
    std::vector<uint8_t> coverage;
};

bool SameColour(const SDL_Vertex& a, const SDL_Vertex& b) {
    return a.color.r == b.color.r && a.color.g == b.color.g && a.color.b == b.color.b &&
           a.color.a == b.color.a;
}

bool UniformColour(const std::vector<SDL_Vertex>& vertices) {
    for (const SDL_Vertex& vertex : vertices) {
        if (!SameColour(vertex, vertices[0])) {
            return false;
        }
    }
    return true;
}

// The same draw, as far as its layer goes: a shared colour is not part of it.
bool LayerMatches(const CpuLayer& layer, const FrameCommand& command, const CpuCanvas& canvas) {
    if (layer.content != command.content || layer.scale != command.scale ||
        layer.canvasWidth != canvas.width || layer.canvasHeight != canvas.height ||
        layer.vertices.size() != command.vertices.size() ||
        layer.uniformColour != UniformColour(command.vertices)) {
        return false;
    }
    for (size_t i = 0; i < layer.vertices.size(); i++) {
        const SDL_Vertex& a = layer.vertices[i];
        const SDL_Vertex& b = command.vertices[i];
        if (a.position.x != b.position.x || a.position.y != b.position.y ||
            a.tex_coord.x != b.tex_coord.x || a.tex_coord.y != b.tex_coord.y ||
            (!layer.uniformColour && !SameColour(a, b))) {
            return false;
        }
    }
    return true;
}

uint32_t Pack(float a, float r, float g, float b) {
    auto byte = [](float value) {
        return static_cast<uint32_t>(std::clamp(std::lround(value), 0L, 255L));
    };
    return byte(a) << 24 | byte(r) << 16 | byte(g) << 8 | byte(b);
}

float ChannelOf(uint32_t pixel, int shift) {
    return static_cast<float>((pixel >> shift) & 0xFF);
}

// The texel colour at texture coordinates (u, v), addressing clamped; opaque
// black without a texture.
uint32_t Sample(const CpuPixels* pixels, float u, float v, bool linear) {
    if (pixels == nullptr) {
        return 0xFF000000u;
    }
    const int width = pixels->width;
    const int height = pixels->height;
    const uint32_t* texels = pixels->texels.get();
    if (!linear) {
        const int x = std::clamp(static_cast<int>(std::floor(u * width)), 0, width - 1);
        const int y = std::clamp(static_cast<int>(std::floor(v * height)), 0, height - 1);
        return texels[static_cast<size_t>(y) * width + x];
    }
    const float tx = u * width - 0.5f;
    const float ty = v * height - 0.5f;
    const float fx0 = std::floor(tx);
    const float fy0 = std::floor(ty);
    const float wx = tx - fx0;
    const float wy = ty - fy0;
    const int x0 = std::clamp(static_cast<int>(fx0), 0, width - 1);
    const int x1 = std::clamp(static_cast<int>(fx0) + 1, 0, width - 1);
    const int y0 = std::clamp(static_cast<int>(fy0), 0, height - 1);
    const int y1 = std::clamp(static_cast<int>(fy0) + 1, 0, height - 1);
    const uint32_t p00 = texels[static_cast<size_t>(y0) * width + x0];
    const uint32_t p10 = texels[static_cast<size_t>(y0) * width + x1];
    const uint32_t p01 = texels[static_cast<size_t>(y1) * width + x0];
    const uint32_t p11 = texels[static_cast<size_t>(y1) * width + x1];
    float out[4];
    for (int c = 0; c < 4; c++) {
        const int shift = 24 - 8 * c;
        const float top =
            ChannelOf(p00, shift) + (ChannelOf(p10, shift) - ChannelOf(p00, shift)) * wx;
        const float bottom =
            ChannelOf(p01, shift) + (ChannelOf(p11, shift) - ChannelOf(p01, shift)) * wx;
        out[c] = top + (bottom - top) * wy;
    }
    return Pack(out[0], out[1], out[2], out[3]);
}

double EdgeAt(const SDL_Vertex& a, const SDL_Vertex& b, double x, double y) {
    return (static_cast<double>(b.position.x) - a.position.x) * (y - a.position.y) -
           (static_cast<double>(b.position.y) - a.position.y) * (x - a.position.x);
}

// Direct3D's top-left rule: a pixel centre exactly on an edge belongs to the
// triangle whose top or left edge it is, so that two triangles sharing an
// edge cover each pixel once. `c` is the vertex opposite the edge a-b.
bool TopLeft(const SDL_Vertex& a, const SDL_Vertex& b, const SDL_Vertex& c) {
    const double dy = static_cast<double>(b.position.y) - a.position.y;
    if (dy == 0.0) {
        return c.position.y > a.position.y;
    }
    const double edgeX = a.position.x + (c.position.y - a.position.y) *
                                            (static_cast<double>(b.position.x) - a.position.x) / dy;
    return c.position.x > edgeX;
}

void RasteriseTriangle(const SDL_Vertex* v, const CpuPixels* pixels, bool linear,
                       bool uniformColour, Raster& raster) {
    const double area = EdgeAt(v[0], v[1], v[2].position.x, v[2].position.y);
    if (!(std::fabs(area) > 0.0)) {
        return;
    }
    const bool topLeft[3] = {TopLeft(v[1], v[2], v[0]), TopLeft(v[2], v[0], v[1]),
                             TopLeft(v[0], v[1], v[2])};
    const SDL_Rect& r = raster.rect;
    for (int y = r.y; y < r.y + r.h; y++) {
        for (int x = r.x; x < r.x + r.w; x++) {
            const double px = x + 0.5;
            const double py = y + 0.5;
            // Barycentric weights of vertices 0, 1, 2, positive inside.
            const double e[3] = {EdgeAt(v[1], v[2], px, py) / area,
                                 EdgeAt(v[2], v[0], px, py) / area,
                                 EdgeAt(v[0], v[1], px, py) / area};
            bool inside = true;
            for (int k = 0; k < 3 && inside; k++) {
                inside = e[k] > 0.0 || (e[k] == 0.0 && topLeft[k]);
            }
            if (!inside) {
                continue;
            }
            const float u = static_cast<float>(e[0] * v[0].tex_coord.x + e[1] * v[1].tex_coord.x +
                                               e[2] * v[2].tex_coord.x);
            const float t = static_cast<float>(e[0] * v[0].tex_coord.y + e[1] * v[1].tex_coord.y +
                                               e[2] * v[2].tex_coord.y);
            uint32_t texel = Sample(pixels, u, t, linear);
            if (!uniformColour) {
                auto mix = [&](Uint8 SDL_Color::*channel) {
                    return static_cast<float>(e[0] * (v[0].color.*channel) +
                                              e[1] * (v[1].color.*channel) +
                                              e[2] * (v[2].color.*channel)) /
                           255.0f;
                };
                texel = Pack(ChannelOf(texel, 24), ChannelOf(texel, 16) * mix(&SDL_Color::r),
                             ChannelOf(texel, 8) * mix(&SDL_Color::g),
                             ChannelOf(texel, 0) * mix(&SDL_Color::b));
            }
            const size_t at = static_cast<size_t>(y - r.y) * r.w + (x - r.x);
            raster.colour[at] = texel;
            raster.coverage[at] = 255;
        }
    }
}

// Pixel `i` of `count` on the canvas seen from the back buffer, `size`
// pixels across: the first back-buffer pixel to blend and the weight of the
// second, with the edges clamped as a texture's are.
void StretchTap(int i, int count, int size, int& first, float& weight) {
    const float at = std::clamp((i + 0.5f) * size / count - 0.5f, 0.0f, size - 1.0f);
    first = static_cast<int>(std::floor(at));
    weight = at - first;
}

void Stretch(const Raster& raster, int backWidth, int backHeight, CpuLayer& layer) {
    const SDL_Rect& r = raster.rect;
    if (layer.canvasWidth == backWidth && layer.canvasHeight == backHeight) {
        layer.rect = r;
        layer.colour = raster.colour;
        layer.coverage = raster.coverage;
        return;
    }
    // The canvas pixels whose taps can reach the raster.
    const double sx = static_cast<double>(layer.canvasWidth) / backWidth;
    const double sy = static_cast<double>(layer.canvasHeight) / backHeight;
    const int left = std::max(0, static_cast<int>(std::floor(r.x * sx)) - 1);
    const int top = std::max(0, static_cast<int>(std::floor(r.y * sy)) - 1);
    const int right =
        std::min(layer.canvasWidth, static_cast<int>(std::ceil((r.x + r.w) * sx)) + 1);
    const int bottom =
        std::min(layer.canvasHeight, static_cast<int>(std::ceil((r.y + r.h) * sy)) + 1);
    layer.rect = SDL_Rect{left, top, std::max(0, right - left), std::max(0, bottom - top)};
    const size_t area = static_cast<size_t>(layer.rect.w) * layer.rect.h;
    layer.colour.assign(area, 0);
    layer.coverage.assign(area, 0);
    // A raster pixel, or nothing outside the raster.
    auto colourAt = [&](int x, int y) {
        if (x < r.x || y < r.y || x >= r.x + r.w || y >= r.y + r.h) {
            return std::pair<uint32_t, uint8_t>{0, 0};
        }
        const size_t at = static_cast<size_t>(y - r.y) * r.w + (x - r.x);
        return std::pair<uint32_t, uint8_t>{raster.colour[at], raster.coverage[at]};
    };
    std::vector<int> firstX(layer.rect.w);
    std::vector<float> weightX(layer.rect.w);
    for (int i = 0; i < layer.rect.w; i++) {
        StretchTap(left + i, layer.canvasWidth, backWidth, firstX[i], weightX[i]);
    }
    for (int j = 0; j < layer.rect.h; j++) {
        int y0;
        float wy;
        StretchTap(top + j, layer.canvasHeight, backHeight, y0, wy);
        const int y1 = std::min(y0 + 1, backHeight - 1);
        for (int i = 0; i < layer.rect.w; i++) {
            const int x0 = firstX[i];
            const int x1 = std::min(x0 + 1, backWidth - 1);
            const float wx = weightX[i];
            const auto [c00, k00] = colourAt(x0, y0);
            const auto [c10, k10] = colourAt(x1, y0);
            const auto [c01, k01] = colourAt(x0, y1);
            const auto [c11, k11] = colourAt(x1, y1);
            auto mix = [&](float p00, float p10, float p01, float p11) {
                const float upper = p00 + (p10 - p00) * wx;
                const float lower = p01 + (p11 - p01) * wx;
                return upper + (lower - upper) * wy;
            };
            float channel[4];
            for (int c = 0; c < 4; c++) {
                const int shift = 24 - 8 * c;
                channel[c] = mix(ChannelOf(c00, shift), ChannelOf(c10, shift),
                                 ChannelOf(c01, shift), ChannelOf(c11, shift));
            }
            const size_t at = static_cast<size_t>(j) * layer.rect.w + i;
            layer.colour[at] = Pack(channel[0], channel[1], channel[2], channel[3]);
            layer.coverage[at] = static_cast<uint8_t>(std::lround(mix(k00, k10, k01, k11)));
        }
    }
}

std::unique_ptr<CpuLayer> MakeLayer(const Device& device, const FrameCommand& command,
                                    const CpuCanvas& canvas) {
    auto layer = std::make_unique<CpuLayer>();
    layer->content = command.content;
    layer->uniformColour = UniformColour(command.vertices);
    layer->scale = command.scale;
    layer->vertices = command.vertices;
    layer->canvasWidth = canvas.width;
    layer->canvasHeight = canvas.height;
    const int backWidth = static_cast<int>(device.parameters.BackBufferWidth);
    const int backHeight = static_cast<int>(device.parameters.BackBufferHeight);
    // The vertices are already clipped to the back buffer.
    float minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (const SDL_Vertex& vertex : command.vertices) {
        minX = std::min(minX, vertex.position.x);
        minY = std::min(minY, vertex.position.y);
        maxX = std::max(maxX, vertex.position.x);
        maxY = std::max(maxY, vertex.position.y);
    }
    Raster raster;
    const int left = std::clamp(static_cast<int>(std::floor(minX)), 0, backWidth);
    const int top = std::clamp(static_cast<int>(std::floor(minY)), 0, backHeight);
    const int right = std::clamp(static_cast<int>(std::ceil(maxX)), left, backWidth);
    const int bottom = std::clamp(static_cast<int>(std::ceil(maxY)), top, backHeight);
    raster.rect = SDL_Rect{left, top, right - left, bottom - top};
    raster.colour.assign(static_cast<size_t>(raster.rect.w) * raster.rect.h, 0);
    raster.coverage.assign(raster.colour.size(), 0);
    const bool linear = command.scale != SDL_ScaleModeNearest;
    for (size_t i = 0; i + 2 < command.vertices.size(); i += 3) {
        RasteriseTriangle(&command.vertices[i], command.pixels.get(), linear, layer->uniformColour,
                          raster);
    }
    Stretch(raster, backWidth, backHeight, *layer);
    return layer;
}

} // namespace

const CpuLayer& LayerFor(Device& device, const FrameCommand& command, const CpuCanvas& canvas) {
    CpuState& state = device.cpu;
    for (const std::unique_ptr<CpuLayer>& layer : state.layers) {
        if (LayerMatches(*layer, command, canvas)) {
            layer->lastUsed = state.compositions;
            return *layer;
        }
    }
    state.layers.push_back(MakeLayer(device, command, canvas));
    state.layers.back()->lastUsed = state.compositions;
    return *state.layers.back();
}

void DropUnusedLayers(CpuState& state) {
    std::erase_if(state.layers, [&](const std::unique_ptr<CpuLayer>& layer) {
        return layer->lastUsed + 1 < state.compositions;
    });
}
