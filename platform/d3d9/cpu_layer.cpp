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

// The filter weight of the second of two taps in 256ths, as the texture
// units of the program's time (and Mesa's software rasteriser) quantise it.
uint32_t Weight(float fraction) {
    return static_cast<uint32_t>(fraction * 256.0f + 0.5f);
}

// a + (b - a) × weight / 256 on each of the four channels, rounded: two
// channels at a time in 16-bit halves of a 32-bit word.
uint32_t Lerp(uint32_t a, uint32_t b, uint32_t weight) {
    const uint32_t keep = 256 - weight;
    const uint32_t redBlue =
        (((a & 0xFF00FFu) * keep + (b & 0xFF00FFu) * weight + 0x800080u) >> 8) & 0xFF00FFu;
    const uint32_t alphaGreen =
        (((a >> 8) & 0xFF00FFu) * keep + ((b >> 8) & 0xFF00FFu) * weight + 0x800080u) & 0xFF00FF00u;
    return redBlue | alphaGreen;
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
    const int x0 = std::clamp(static_cast<int>(fx0), 0, width - 1);
    const int x1 = std::clamp(static_cast<int>(fx0) + 1, 0, width - 1);
    const int y0 = std::clamp(static_cast<int>(fy0), 0, height - 1);
    const int y1 = std::clamp(static_cast<int>(fy0) + 1, 0, height - 1);
    const uint32_t* row0 = texels + static_cast<size_t>(y0) * width;
    const uint32_t* row1 = texels + static_cast<size_t>(y1) * width;
    const uint32_t wx = Weight(tx - fx0);
    return Lerp(Lerp(row0[x0], row0[x1], wx), Lerp(row1[x0], row1[x1], wx), Weight(ty - fy0));
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
    const double inverseArea = 1.0 / area;
    const SDL_Rect& r = raster.rect;
    const SDL_Vertex* edges[3][2] = {{&v[1], &v[2]}, {&v[2], &v[0]}, {&v[0], &v[1]}};
    for (int y = r.y; y < r.y + r.h; y++) {
        const double py = y + 0.5;
        // The row's pixels whose centres can be inside: each edge's weight
        // is linear along the row, positive on one side of where it is 0.
        double from = r.x, to = r.x + r.w;
        for (const auto& edge : edges) {
            const double slope = -(static_cast<double>(edge[1]->position.y) - edge[0]->position.y);
            const double at0 = EdgeAt(*edge[0], *edge[1], 0.0, py);
            if ((slope > 0.0) == (area > 0.0) && slope != 0.0) {
                from = std::max(from, -at0 / slope - 1.0);
            } else if (slope != 0.0) {
                to = std::min(to, -at0 / slope + 1.0);
            } else if ((at0 > 0.0) != (area > 0.0) && at0 != 0.0) {
                to = from; // the row is wholly outside a horizontal edge
            }
        }
        const int first = std::max(r.x, static_cast<int>(std::floor(from)));
        const int last = std::min(r.x + r.w, static_cast<int>(std::ceil(to)) + 1);
        for (int x = first; x < last; x++) {
            const double px = x + 0.5;
            // Barycentric weights of vertices 0, 1, 2, positive inside.
            const double e[3] = {EdgeAt(v[1], v[2], px, py) * inverseArea,
                                 EdgeAt(v[2], v[0], px, py) * inverseArea,
                                 EdgeAt(v[0], v[1], px, py) * inverseArea};
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

// The program's quads: two triangles of one colour making a screen
// rectangle, texture coordinates an affine function of the position (turned
// or mirrored for photos with an EXIF orientation). Sampled row by row with
// no edge tests: a pixel is covered when its centre lies in the rectangle,
// top and left edges included, as the top-left rule gives. False, with
// nothing drawn, for anything else.
bool RasteriseRectangle(const std::vector<SDL_Vertex>& v, const CpuPixels* pixels, bool linear,
                        Raster& raster) {
    if (v.size() != 6) {
        return false;
    }
    float minX = v[0].position.x, maxX = minX, minY = v[0].position.y, maxY = minY;
    for (const SDL_Vertex& vertex : v) {
        minX = std::min(minX, vertex.position.x);
        maxX = std::max(maxX, vertex.position.x);
        minY = std::min(minY, vertex.position.y);
        maxY = std::max(maxY, vertex.position.y);
    }
    // Each triangle on three corners, the corner each leaves out opposite
    // the other's, so that they share a diagonal.
    int missing[2] = {};
    for (int t = 0; t < 2; t++) {
        int corners = 0;
        for (int k = 0; k < 3; k++) {
            const SDL_Vertex& p = v[3 * t + k];
            if ((p.position.x != minX && p.position.x != maxX) ||
                (p.position.y != minY && p.position.y != maxY)) {
                return false;
            }
            corners |= 1 << ((p.position.x == maxX ? 1 : 0) + (p.position.y == maxY ? 2 : 0));
        }
        missing[t] = corners ^ 0xF;
        if (missing[t] != 1 && missing[t] != 2 && missing[t] != 4 && missing[t] != 8) {
            return false;
        }
    }
    if ((missing[0] | missing[1]) != 0x9 && (missing[0] | missing[1]) != 0x6) {
        return false;
    }
    // u and v as planes through the first triangle, which the second must
    // lie in too.
    const double area = EdgeAt(v[0], v[1], v[2].position.x, v[2].position.y);
    if (!(std::fabs(area) > 0.0)) {
        return false;
    }
    auto plane = [&](float SDL_FPoint::*axis, double& at0, double& perX, double& perY) {
        const double d1 = v[1].tex_coord.*axis - v[0].tex_coord.*axis;
        const double d2 = v[2].tex_coord.*axis - v[0].tex_coord.*axis;
        const double x1 = v[1].position.x - v[0].position.x, y1 = v[1].position.y - v[0].position.y;
        const double x2 = v[2].position.x - v[0].position.x, y2 = v[2].position.y - v[0].position.y;
        perX = (d1 * y2 - d2 * y1) / area;
        perY = (d2 * x1 - d1 * x2) / area;
        at0 = v[0].tex_coord.*axis - perX * v[0].position.x - perY * v[0].position.y;
        for (int k = 3; k < 6; k++) {
            const double expected = at0 + perX * v[k].position.x + perY * v[k].position.y;
            if (std::fabs(expected - v[k].tex_coord.*axis) > 1e-5) {
                return false;
            }
        }
        return true;
    };
    double u0, uX, uY, t0, tX, tY;
    if (!plane(&SDL_FPoint::x, u0, uX, uY) || !plane(&SDL_FPoint::y, t0, tX, tY)) {
        return false;
    }
    const SDL_Rect& r = raster.rect;
    const int top = std::max(r.y, static_cast<int>(std::ceil(minY - 0.5f)));
    const int bottom = std::min(r.y + r.h, static_cast<int>(std::ceil(maxY - 0.5f)));
    const int left = std::max(r.x, static_cast<int>(std::ceil(minX - 0.5f)));
    const int right = std::min(r.x + r.w, static_cast<int>(std::ceil(maxX - 0.5f)));
    if (top >= bottom || left >= right) {
        return true;
    }
    // Upright or mirrored (u along x, v along y), or turned a quarter (u
    // along y, v along x): each texel row and column, and each filter
    // weight, is then one per screen row or column, worked out once.
    const bool upright = uY == 0.0 && tX == 0.0;
    const bool turned = uX == 0.0 && tY == 0.0;
    if (pixels != nullptr && (upright || turned)) {
        struct Tap {
            int first, second;
            uint32_t weight;
        };
        auto taps = [&](double at0, double per, int from, int to, int size) {
            std::vector<Tap> out;
            for (int i = from; i < to; i++) {
                const float c = static_cast<float>(at0 + per * (i + 0.5));
                if (!linear) {
                    const int texel =
                        std::clamp(static_cast<int>(std::floor(c * size)), 0, size - 1);
                    out.push_back({texel, texel, 0});
                    continue;
                }
                const float at = c * size - 0.5f;
                const float whole = std::floor(at);
                out.push_back({std::clamp(static_cast<int>(whole), 0, size - 1),
                               std::clamp(static_cast<int>(whole) + 1, 0, size - 1),
                               Weight(at - whole)});
            }
            return out;
        };
        // Taps along the screen's x and y: into texture columns and rows
        // when upright, rows and columns when turned.
        const std::vector<Tap> across = upright ? taps(u0, uX, left, right, pixels->width)
                                                : taps(t0, tX, left, right, pixels->height);
        const std::vector<Tap> down = upright ? taps(t0, tY, top, bottom, pixels->height)
                                              : taps(u0, uY, top, bottom, pixels->width);
        const uint32_t* texels = pixels->texels.get();
        const size_t width = static_cast<size_t>(pixels->width);
        for (int y = top; y < bottom; y++) {
            const Tap& d = down[y - top];
            uint32_t* out = &raster.colour[static_cast<size_t>(y - r.y) * r.w + (left - r.x)];
            std::fill_n(&raster.coverage[static_cast<size_t>(y - r.y) * r.w + (left - r.x)],
                        right - left, uint8_t{255});
            for (int x = left; x < right; x++) {
                const Tap& a = across[x - left];
                if (upright) {
                    const uint32_t* row0 = texels + d.first * width;
                    const uint32_t* row1 = texels + d.second * width;
                    out[x - left] = Lerp(Lerp(row0[a.first], row0[a.second], a.weight),
                                         Lerp(row1[a.first], row1[a.second], a.weight), d.weight);
                } else {
                    const uint32_t* row0 = texels + a.first * width;
                    const uint32_t* row1 = texels + a.second * width;
                    out[x - left] = Lerp(Lerp(row0[d.first], row0[d.second], d.weight),
                                         Lerp(row1[d.first], row1[d.second], d.weight), a.weight);
                }
            }
        }
        return true;
    }
    for (int y = top; y < bottom; y++) {
        const size_t row = static_cast<size_t>(y - r.y) * r.w;
        for (int x = left; x < right; x++) {
            const double px = x + 0.5, py = y + 0.5;
            raster.colour[row + (x - r.x)] =
                Sample(pixels, static_cast<float>(u0 + uX * px + uY * py),
                       static_cast<float>(t0 + tX * px + tY * py), linear);
            raster.coverage[row + (x - r.x)] = 255;
        }
    }
    return true;
}

// Pixel `i` of `count` on the canvas seen from the back buffer, `size`
// pixels across: the first back-buffer pixel to blend and the weight of the
// second, with the edges clamped as a texture's are.
void StretchTap(int i, int count, int size, int& first, float& weight) {
    const float at = std::clamp((i + 0.5f) * size / count - 0.5f, 0.0f, size - 1.0f);
    first = static_cast<int>(std::floor(at));
    weight = at - first;
}

void Stretch(Raster& raster, int backWidth, int backHeight, CpuLayer& layer) {
    const SDL_Rect& r = raster.rect;
    if (layer.canvasWidth == backWidth && layer.canvasHeight == backHeight) {
        layer.rect = r;
        layer.colour = std::move(raster.colour);
        layer.coverage = std::move(raster.coverage);
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
    // A raster pixel's colour and coverage, or nothing outside the raster.
    auto at = [&](int x, int y) -> int64_t {
        if (x < r.x || y < r.y || x >= r.x + r.w || y >= r.y + r.h) {
            return -1;
        }
        return static_cast<int64_t>(y - r.y) * r.w + (x - r.x);
    };
    auto colourAt = [&](int64_t i) { return i < 0 ? 0u : raster.colour[i]; };
    auto coverageAt = [&](int64_t i) { return i < 0 ? 0u : uint32_t{raster.coverage[i]}; };
    std::vector<int> firstX(layer.rect.w);
    std::vector<uint32_t> weightX(layer.rect.w);
    for (int i = 0; i < layer.rect.w; i++) {
        float weight;
        StretchTap(left + i, layer.canvasWidth, backWidth, firstX[i], weight);
        weightX[i] = Weight(weight);
    }
    for (int j = 0; j < layer.rect.h; j++) {
        int y0;
        float fraction;
        StretchTap(top + j, layer.canvasHeight, backHeight, y0, fraction);
        const uint32_t wy = Weight(fraction);
        const int y1 = std::min(y0 + 1, backHeight - 1);
        for (int i = 0; i < layer.rect.w; i++) {
            const int x0 = firstX[i];
            const int x1 = std::min(x0 + 1, backWidth - 1);
            const uint32_t wx = weightX[i];
            const int64_t i00 = at(x0, y0), i10 = at(x1, y0), i01 = at(x0, y1), i11 = at(x1, y1);
            const size_t out = static_cast<size_t>(j) * layer.rect.w + i;
            layer.colour[out] = Lerp(Lerp(colourAt(i00), colourAt(i10), wx),
                                     Lerp(colourAt(i01), colourAt(i11), wx), wy);
            const uint32_t upper = coverageAt(i00) * (256 - wx) + coverageAt(i10) * wx;
            const uint32_t lower = coverageAt(i01) * (256 - wx) + coverageAt(i11) * wx;
            layer.coverage[out] =
                static_cast<uint8_t>((upper * (256 - wy) + lower * wy + 32768) >> 16);
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
    const bool rectangle =
        layer->uniformColour &&
        RasteriseRectangle(command.vertices, command.pixels.get(), linear, raster);
    for (size_t i = 0; !rectangle && i + 2 < command.vertices.size(); i += 3) {
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
