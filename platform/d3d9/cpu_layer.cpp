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

// A filter tap along one axis: the two texels (or back-buffer pixels) to
// blend and the weight of the second, in 256ths.
struct Tap {
    int first = 0, second = 0;
    uint32_t weight = 0;
};

// The program's quads: two triangles of one colour making a screen
// rectangle, texture coordinates an affine function of the position (turned
// or mirrored for photos with an EXIF orientation). A back-buffer pixel is
// covered when its centre lies in the rectangle, top and left edges
// included, as the top-left rule gives; its colour needs no edge tests.
struct Rectangle {
    int left = 0, top = 0, right = 0, bottom = 0; // covered back-buffer pixels
    const CpuPixels* pixels = nullptr;            // null: opaque black
    bool linear = false;
    double u0 = 0, uX = 0, uY = 0, t0 = 0, tX = 0, tY = 0; // u, v per pixel centre
    // Upright or mirrored (u along x, v along y), or turned a quarter (u
    // along y, v along x): each texel column and row, and each filter
    // weight, is then one per back-buffer column or row, worked out once.
    bool upright = false, turned = false;
    std::vector<Tap> across, down; // by column from `left`, by row from `top`
};

Tap TexelTap(float c, int size, bool linear) {
    if (!linear) {
        const int texel = std::clamp(static_cast<int>(std::floor(c * size)), 0, size - 1);
        return {texel, texel, 0};
    }
    const float at = c * size - 0.5f;
    const float whole = std::floor(at);
    return {std::clamp(static_cast<int>(whole), 0, size - 1),
            std::clamp(static_cast<int>(whole) + 1, 0, size - 1), Weight(at - whole)};
}

// Whether the vertices (already clipped to the back buffer) are one of the
// program's quads; if so, the rectangle to sample.
bool FindRectangle(const std::vector<SDL_Vertex>& v, const CpuPixels* pixels, bool linear,
                   Rectangle& rectangle) {
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
    Rectangle& r = rectangle;
    if (!plane(&SDL_FPoint::x, r.u0, r.uX, r.uY) || !plane(&SDL_FPoint::y, r.t0, r.tX, r.tY)) {
        return false;
    }
    r.pixels = pixels;
    r.linear = linear;
    r.top = static_cast<int>(std::ceil(minY - 0.5f));
    r.bottom = std::max(r.top, static_cast<int>(std::ceil(maxY - 0.5f)));
    r.left = static_cast<int>(std::ceil(minX - 0.5f));
    r.right = std::max(r.left, static_cast<int>(std::ceil(maxX - 0.5f)));
    r.upright = pixels != nullptr && r.uY == 0.0 && r.tX == 0.0;
    r.turned = pixels != nullptr && !r.upright && r.uX == 0.0 && r.tY == 0.0;
    if (r.upright || r.turned) {
        auto taps = [&](double at0, double per, int from, int to, int size) {
            std::vector<Tap> out;
            for (int i = from; i < to; i++) {
                out.push_back(TexelTap(static_cast<float>(at0 + per * (i + 0.5)), size, linear));
            }
            return out;
        };
        r.across = r.upright ? taps(r.u0, r.uX, r.left, r.right, pixels->width)
                             : taps(r.t0, r.tX, r.left, r.right, pixels->height);
        r.down = r.upright ? taps(r.t0, r.tY, r.top, r.bottom, pixels->height)
                           : taps(r.u0, r.uY, r.top, r.bottom, pixels->width);
    }
    return true;
}

// The colour of a covered back-buffer pixel of the rectangle.
uint32_t RectangleColour(const Rectangle& r, int x, int y) {
    if (!r.upright && !r.turned) {
        const double px = x + 0.5, py = y + 0.5;
        return Sample(r.pixels, static_cast<float>(r.u0 + r.uX * px + r.uY * py),
                      static_cast<float>(r.t0 + r.tX * px + r.tY * py), r.linear);
    }
    const Tap& a = r.across[x - r.left];
    const Tap& d = r.down[y - r.top];
    const uint32_t* texels = r.pixels->texels.get();
    const size_t width = static_cast<size_t>(r.pixels->width);
    // Texel rows, then the weight across a row and the weight between rows.
    const Tap& rows = r.upright ? d : a;
    const Tap& columns = r.upright ? a : d;
    const uint32_t* row0 = texels + rows.first * width;
    const uint32_t* row1 = texels + rows.second * width;
    return Lerp(Lerp(row0[columns.first], row0[columns.second], columns.weight),
                Lerp(row1[columns.first], row1[columns.second], columns.weight), rows.weight);
}

// Pixel `i` of `count` on the canvas seen from the back buffer, `size`
// pixels across: the back-buffer pixels to blend, with the edges clamped as
// a texture's are.
Tap StretchTap(int i, int count, int size) {
    const float at = std::clamp((i + 0.5f) * size / count - 0.5f, 0.0f, size - 1.0f);
    const int first = static_cast<int>(std::floor(at));
    return {first, std::min(first + 1, size - 1), Weight(at - first)};
}

// Fills `layer` from back-buffer pixels: `pixelAt(x, y, colour, coverage)`
// gives those of `source` (the others are nothing), stretched over the
// canvas as the back buffer is stretched over the window. Only the
// back-buffer pixels the canvas's filter taps reach are asked for.
template <class PixelAt>
void StretchFrom(const SDL_Rect& source, int backWidth, int backHeight, CpuLayer& layer,
                 PixelAt pixelAt) {
    const SDL_Rect& r = source;
    if (layer.canvasWidth == backWidth && layer.canvasHeight == backHeight) {
        layer.rect = r;
        layer.colour.resize(static_cast<size_t>(r.w) * r.h);
        layer.coverage.resize(layer.colour.size());
        for (int y = 0; y < r.h; y++) {
            for (int x = 0; x < r.w; x++) {
                const size_t at = static_cast<size_t>(y) * r.w + x;
                pixelAt(r.x + x, r.y + y, layer.colour[at], layer.coverage[at]);
            }
        }
        return;
    }
    // The canvas pixels whose taps can reach the source.
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
    layer.colour.resize(area);
    layer.coverage.resize(area);
    auto at = [&](int x, int y, uint32_t& colour, uint32_t& coverage) {
        colour = 0;
        coverage = 0;
        if (x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h) {
            uint8_t covered = 0;
            pixelAt(x, y, colour, covered);
            coverage = covered;
        }
    };
    std::vector<Tap> across(layer.rect.w);
    for (int i = 0; i < layer.rect.w; i++) {
        across[i] = StretchTap(left + i, layer.canvasWidth, backWidth);
    }
    for (int j = 0; j < layer.rect.h; j++) {
        const Tap d = StretchTap(top + j, layer.canvasHeight, backHeight);
        for (int i = 0; i < layer.rect.w; i++) {
            const Tap& a = across[i];
            uint32_t c00, c10, c01, c11, k00, k10, k01, k11;
            at(a.first, d.first, c00, k00);
            at(a.second, d.first, c10, k10);
            at(a.first, d.second, c01, k01);
            at(a.second, d.second, c11, k11);
            const size_t out = static_cast<size_t>(j) * layer.rect.w + i;
            layer.colour[out] = Lerp(Lerp(c00, c10, a.weight), Lerp(c01, c11, a.weight), d.weight);
            const uint32_t upper = k00 * (256 - a.weight) + k10 * a.weight;
            const uint32_t lower = k01 * (256 - a.weight) + k11 * a.weight;
            layer.coverage[out] =
                static_cast<uint8_t>((upper * (256 - d.weight) + lower * d.weight + 32768) >> 16);
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
    const bool linear = command.scale != SDL_ScaleModeNearest;
    // The program's quads are sampled where the stretch needs them, with no
    // back-buffer copy in between.
    Rectangle rectangle;
    if (layer->uniformColour &&
        FindRectangle(command.vertices, command.pixels.get(), linear, rectangle)) {
        const SDL_Rect covered{rectangle.left, rectangle.top, rectangle.right - rectangle.left,
                               rectangle.bottom - rectangle.top};
        StretchFrom(covered, backWidth, backHeight, *layer,
                    [&](int x, int y, uint32_t& colour, uint8_t& coverage) {
                        colour = RectangleColour(rectangle, x, y);
                        coverage = 255;
                    });
        return layer;
    }
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
    for (size_t i = 0; i + 2 < command.vertices.size(); i += 3) {
        RasteriseTriangle(&command.vertices[i], command.pixels.get(), linear, layer->uniformColour,
                          raster);
    }
    const SDL_Rect& r = raster.rect;
    StretchFrom(r, backWidth, backHeight, *layer,
                [&](int x, int y, uint32_t& colour, uint8_t& coverage) {
                    const size_t at = static_cast<size_t>(y - r.y) * r.w + (x - r.x);
                    colour = raster.colour[at];
                    coverage = raster.coverage[at];
                });
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
