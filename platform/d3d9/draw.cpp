// DrawPrimitive: pre-transformed vertices drawn into the back buffer.
//
// What is reproduced of Direct3D 9's fixed-function pipeline with its
// default texture stages: positions are back-buffer pixels (XYZRHW); z and
// rhw play no part (there is no depth buffer, and texture coordinates are
// interpolated linearly on the screen, which is what rhw 1 gives). Stage 0
// multiplies the texture's colour by the diffuse colour and takes the
// texture's alpha (D3DTOP_MODULATE, D3DTOP_SELECTARG1); a stage without a
// texture samples opaque black. Texture coordinates are clamped to [0, 1]
// whatever the address mode: the renderers sample nothing outside. Pixel
// centres are at half-integer positions, so a rectangle with whole-pixel edges
// covers the pixels Direct3D covers, and texels map one to one onto pixels
// without the half-texel shift of Direct3D 9.
#include <array>
#include <cmath>
#include <cstring>
#include <utility>

#include "platform/d3d9/objects.h"

namespace {

// Of each vertex a draw reads the position (x, y, z, rhw: floats) at byte 0,
// the diffuse D3DCOLOR at 16 and the first texture coordinates (u, v: floats)
// at 20; further texture coordinates are not read.
constexpr UINT kVertexBytes = 28;

// A rectangle further out than this many pixels goes through the clipping of
// triangles instead of to SDL whole, whose software renderer works in ints.
constexpr double kFarOut = 1 << 20;

// A vertex on its way to SDL; colour channels from 0 to 255. Double
// precision keeps clipping exact enough for positions far outside the back
// buffer (a float is 64 pixels coarse at 1e9).
struct Vertex {
    double x, y, u, v;
    double r, g, b, a;
};

using Triangle = std::array<UINT, 3>;

// Pre-transformed, with a diffuse colour and at least one set of texture
// coordinates of which the first has two floats; nothing else. Only the first
// set is sampled, and the stream's stride, not the format, says where each
// vertex begins, as in Direct3D.
bool DrawableFormat(DWORD fvf) {
    const DWORD sets = (fvf >> 8) & 0xF;
    const DWORD firstSetSize = (fvf >> 16) & 0x3;
    return (fvf & 0xF0FF) == (D3DFVF_XYZRHW | D3DFVF_DIFFUSE) && sets >= 1 && sets <= 8 &&
           firstSetSize == 0;
}

// Triangles only; points and lines are refused.
bool DrawableType(D3DPRIMITIVETYPE type) {
    return type == D3DPT_TRIANGLELIST || type == D3DPT_TRIANGLESTRIP || type == D3DPT_TRIANGLEFAN;
}

uint64_t VerticesFor(D3DPRIMITIVETYPE type, UINT primitives) {
    return type == D3DPT_TRIANGLELIST ? uint64_t{primitives} * 3 : uint64_t{primitives} + 2;
}

std::vector<Triangle> Assemble(D3DPRIMITIVETYPE type, UINT primitives) {
    std::vector<Triangle> triangles(primitives);
    for (UINT i = 0; i < primitives; i++) {
        if (type == D3DPT_TRIANGLELIST) {
            triangles[i] = {3 * i, 3 * i + 1, 3 * i + 2};
        } else if (type == D3DPT_TRIANGLESTRIP) {
            triangles[i] = {i, i + 1, i + 2};
        } else {
            triangles[i] = {0, i + 1, i + 2};
        }
    }
    return triangles;
}

float Component(double value) {
    return static_cast<float>(value >= 0.0 ? (value <= 1.0 ? value : 1.0) : 0.0); // NaN gives 0
}

Uint8 Channel(double value) {
    return static_cast<Uint8>(value >= 0.0 ? (value <= 255.0 ? std::lround(value) : 255) : 0);
}

SDL_ScaleMode ScaleModeFor(const Device& device, bool magnifying) {
    const DWORD filter = SamplerState(device, magnifying ? D3DSAMP_MAGFILTER : D3DSAMP_MINFILTER);
    if (filter == D3DTEXF_LINEAR) {
        return SDL_ScaleModeLinear;
    }
    return filter == D3DTEXF_ANISOTROPIC ? SDL_ScaleModeBest : SDL_ScaleModeNearest;
}

bool Finite(const Vertex& v) {
    return std::isfinite(v.x) && std::isfinite(v.y);
}

double Cross(double ax, double ay, double bx, double by) {
    return ax * by - ay * bx;
}

Vertex Between(const Vertex& a, const Vertex& b, double t) {
    auto mix = [t](double p, double q) { return p + (q - p) * t; };
    return {mix(a.x, b.x), mix(a.y, b.y), mix(a.u, b.u), mix(a.v, b.v),
            mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b), mix(a.a, b.a)};
}

// Keeps the part of `polygon` on the inner side of one edge of the back
// buffer: x (axis 0) or y (axis 1) at least `bound` when `above`, at most
// otherwise. Attributes are interpolated where edges are cut, and the cut
// lies exactly on the edge.
void ClipAgainst(std::vector<Vertex>& polygon, int axis, double bound, bool above) {
    auto inside = [&](const Vertex& v) {
        double coordinate = axis == 0 ? v.x : v.y;
        return above ? coordinate - bound : bound - coordinate;
    };
    std::vector<Vertex> kept;
    for (size_t i = 0; i < polygon.size(); i++) {
        const Vertex& from = polygon[i];
        const Vertex& to = polygon[(i + 1) % polygon.size()];
        double dFrom = inside(from);
        double dTo = inside(to);
        if (dFrom >= 0) {
            kept.push_back(from);
        }
        if ((dFrom >= 0) != (dTo >= 0)) {
            Vertex cut = Between(from, to, dFrom / (dFrom - dTo));
            (axis == 0 ? cut.x : cut.y) = bound;
            kept.push_back(cut);
        }
    }
    polygon.swap(kept);
}

SDL_Vertex ToSdl(const Vertex& v) {
    return SDL_Vertex{{static_cast<float>(v.x), static_cast<float>(v.y)},
                      {Channel(v.r), Channel(v.g), Channel(v.b), Channel(v.a)},
                      {Component(v.u), Component(v.v)}};
}

bool SameColour(const Vertex& p, const Vertex& q) {
    return p.r == q.r && p.g == q.g && p.b == q.b && p.a == q.a;
}

bool NearWhole(double value) {
    return std::fabs(value - std::round(value)) < 1.0 / 256;
}

// Whether two triangles make one screen rectangle of one colour with the
// texture mapped straight onto it (as the program's quads are); if so, the
// texel and pixel rectangles of the copy.
bool AsRectangle(const std::vector<Vertex>& vertices, const std::vector<Triangle>& triangles,
                 const Texture& texture, SDL_Rect& source, SDL_FRect& target) {
    if (triangles.size() != 2) {
        return false;
    }
    double minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
    for (const Triangle& triangle : triangles) {
        for (UINT index : triangle) {
            const Vertex& v = vertices[index];
            if (!Finite(v) || !SameColour(v, vertices[triangles[0][0]])) {
                return false;
            }
            minX = std::fmin(minX, v.x);
            maxX = std::fmax(maxX, v.x);
            minY = std::fmin(minY, v.y);
            maxY = std::fmax(maxY, v.y);
        }
    }
    if (!(minX < maxX && minY < maxY) || minX < -kFarOut || minY < -kFarOut || maxX > kFarOut ||
        maxY > kFarOut) {
        return false;
    }
    // Corners 0 to 3: top-left, top-right, bottom-left, bottom-right.
    bool seen[4] = {};
    double u[4] = {};
    double v[4] = {};
    int missing[2] = {};
    for (int t = 0; t < 2; t++) {
        int corners = 0;
        for (UINT index : triangles[t]) {
            const Vertex& p = vertices[index];
            if ((p.x != minX && p.x != maxX) || (p.y != minY && p.y != maxY)) {
                return false;
            }
            int corner = (p.x == maxX ? 1 : 0) + (p.y == maxY ? 2 : 0);
            if (seen[corner] && (u[corner] != p.u || v[corner] != p.v)) {
                return false;
            }
            seen[corner] = true;
            u[corner] = p.u;
            v[corner] = p.v;
            corners |= 1 << corner;
        }
        if (corners != 0xF - 1 && corners != 0xF - 2 && corners != 0xF - 4 && corners != 0xF - 8) {
            return false;
        }
        missing[t] = corners ^ 0xF;
    }
    // The two corners left out must be opposite, so that the triangles share
    // a diagonal and cover the rectangle once.
    if ((missing[0] | missing[1]) != 0x9 && (missing[0] | missing[1]) != 0x6) {
        return false;
    }
    if (u[0] != u[2] || u[1] != u[3] || v[0] != v[1] || v[2] != v[3] || !(u[0] < u[1]) ||
        !(v[0] < v[2]) || u[0] < 0.0f || v[0] < 0.0f || u[1] > 1.0f || v[2] > 1.0f) {
        return false;
    }
    const double left = u[0] * texture.desc.Width, right = u[1] * texture.desc.Width;
    const double top = v[0] * texture.desc.Height, bottom = v[2] * texture.desc.Height;
    if (!NearWhole(left) || !NearWhole(right) || !NearWhole(top) || !NearWhole(bottom)) {
        return false;
    }
    source = SDL_Rect{static_cast<int>(std::round(left)), static_cast<int>(std::round(top)),
                      static_cast<int>(std::round(right - left)),
                      static_cast<int>(std::round(bottom - top))};
    target = SDL_FRect{static_cast<float>(minX), static_cast<float>(minY),
                       static_cast<float>(maxX - minX), static_cast<float>(maxY - minY)};
    return source.w > 0 && source.h > 0;
}

} // namespace

void UseScaleMode(SDL_Renderer* renderer, SDL_Texture* texture, SDL_ScaleMode mode) {
    SDL_ScaleMode current;
    if (SDL_GetTextureScaleMode(texture, &current) == 0 && current == mode) {
        return;
    }
    // SDL reads the mode when it runs its queue of draws, not when it queues.
    SDL_RenderFlush(renderer);
    SDL_SetTextureScaleMode(texture, mode);
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    // Direct3D draws only within a scene.
    if (!inScene || !DrawableType(type) || !DrawableFormat(fvf) || streamBuffer == nullptr ||
        streamStride < kVertexBytes || primitiveCount > caps.MaxPrimitiveCount) {
        return D3DERR_INVALIDCALL;
    }
    if (primitiveCount == 0) {
        return D3D_OK;
    }
    // Every vertex read lies within the buffer; a draw that would read past
    // its end is refused as a whole.
    const uint64_t count = VerticesFor(type, primitiveCount);
    const uint64_t lastVertex =
        uint64_t{streamOffset} + (uint64_t{startVertex} + count - 1) * streamStride;
    if (lastVertex + kVertexBytes > streamBuffer->desc.Size) {
        return D3DERR_INVALIDCALL;
    }
    std::vector<Vertex> vertices(count);
    const uint8_t* first =
        streamBuffer->bytes.data() + streamOffset + uint64_t{startVertex} * streamStride;
    for (uint64_t i = 0; i < count; i++) {
        const uint8_t* at = first + i * streamStride;
        float position[2];
        D3DCOLOR diffuse;
        float coordinates[2];
        std::memcpy(position, at, 8);
        std::memcpy(&diffuse, at + 16, 4);
        std::memcpy(coordinates, at + 20, 8);
        const bool textured = texture != nullptr;
        vertices[i] = Vertex{position[0],
                             position[1],
                             coordinates[0],
                             coordinates[1],
                             textured ? static_cast<double>((diffuse >> 16) & 0xFF) : 0.0,
                             textured ? static_cast<double>((diffuse >> 8) & 0xFF) : 0.0,
                             textured ? static_cast<double>(diffuse & 0xFF) : 0.0,
                             255.0};
    }
    const std::vector<Triangle> triangles = Assemble(type, primitiveCount);
    const bool opaque =
        texture != nullptr && texture->opaqueTexture != nullptr && !BlendReadsSourceAlpha(*this);
    SDL_Texture* sdlTexture = texture == nullptr ? nullptr
                              : opaque           ? texture->opaqueTexture
                                                 : texture->sdlTexture;
    const uint32_t blendStates = PackBlendStates(
        RenderState(*this, D3DRS_ALPHABLENDENABLE) != 0, RenderState(*this, D3DRS_SRCBLEND),
        RenderState(*this, D3DRS_DESTBLEND), RenderState(*this, D3DRS_BLENDOP));
    if (drawsOnCpu ? !CpuBlendSupported(blendStates) : !ApplyBlendStates(*this, sdlTexture)) {
        return D3DERR_INVALIDCALL;
    }

    // The program's quads go to SDL as one copy: the software renderer
    // filters only copies, and every renderer copies them exactly.
    SDL_Rect source;
    SDL_FRect target;
    // What is drawn waits in the frame until Present (see frame.cpp).
    FrameCommand command;
    command.opaque = opaque;
    if (drawsOnCpu) {
        // Every draw goes to the compositor as triangles (see cpu.h).
        command.blendStates = blendStates;
        if (texture != nullptr) {
            command.pixels = texture->cpuPixels;
            command.content = texture->content;
        }
    } else if (sdlTexture != nullptr) {
        SDL_GetTextureBlendMode(sdlTexture, &command.blend);
        command.texture = texture;
        command.content = texture->content;
    } else {
        SDL_GetRenderDrawBlendMode(renderer, &command.blend);
    }
    if (!drawsOnCpu && texture != nullptr &&
        AsRectangle(vertices, triangles, *texture, source, target)) {
        const Vertex& v = vertices[triangles[0][0]];
        const bool magnifying =
            static_cast<double>(target.w) * target.h >= static_cast<double>(source.w) * source.h;
        command.kind = FrameCommand::kCopy;
        command.color = SDL_Color{Channel(v.r), Channel(v.g), Channel(v.b), 255};
        command.scale = ScaleModeFor(*this, magnifying);
        command.source = source;
        command.target = target;
        RecordCommand(*this, std::move(command));
        return D3D_OK;
    }

    // Anything else as triangles clipped to the back buffer. A triangle with
    // a position that is not a number, or no area, covers no pixel.
    const double width = parameters.BackBufferWidth;
    const double height = parameters.BackBufferHeight;
    std::vector<SDL_Vertex> clipped;
    double screenArea = 0.0;
    double texelArea = 0.0;
    for (const Triangle& triangle : triangles) {
        const Vertex& a = vertices[triangle[0]];
        const Vertex& b = vertices[triangle[1]];
        const Vertex& c = vertices[triangle[2]];
        const double area = Cross(b.x - a.x, b.y - a.y, c.x - a.x, c.y - a.y);
        if (!Finite(a) || !Finite(b) || !Finite(c) || !std::isfinite(area) || area == 0.0) {
            continue;
        }
        screenArea += std::fabs(area);
        texelArea += std::fabs(Cross(b.u - a.u, b.v - a.v, c.u - a.u, c.v - a.v));
        std::vector<Vertex> polygon{a, b, c};
        ClipAgainst(polygon, 0, 0.0, true);
        ClipAgainst(polygon, 0, width, false);
        ClipAgainst(polygon, 1, 0.0, true);
        ClipAgainst(polygon, 1, height, false);
        for (size_t k = 1; k + 1 < polygon.size(); k++) {
            clipped.push_back(ToSdl(polygon[0]));
            clipped.push_back(ToSdl(polygon[k]));
            clipped.push_back(ToSdl(polygon[k + 1]));
        }
    }
    if (clipped.empty()) {
        return D3D_OK;
    }
    if (texture != nullptr) {
        // SDL's coordinates span the whole storage, the texture's only its
        // part of it; beyond that part the storage repeats the texture's
        // edges (see texture.cpp). The compositor's storage is the texture.
        const float uScale = static_cast<float>(texture->desc.Width) / texture->storageWidth;
        const float vScale = static_cast<float>(texture->desc.Height) / texture->storageHeight;
        for (SDL_Vertex& vertex : clipped) {
            vertex.tex_coord.x *= uScale;
            vertex.tex_coord.y *= vScale;
        }
        texelArea *= static_cast<double>(texture->desc.Width) * texture->desc.Height;
        command.scale = ScaleModeFor(*this, screenArea >= texelArea);
    }
    command.kind = FrameCommand::kGeometry;
    command.vertices = std::move(clipped);
    RecordCommand(*this, std::move(command));
    return D3D_OK;
}
