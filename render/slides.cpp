// The two slides: decoding the playlist's images into textures, moving them
// from nextSlide to currentSlide, and fitting each slide's quad to the window.
#include "render/slides.h"

#include <cstring>

#include "app/settings.h"
#include "playlist/playlist.h"
#include "render/device.h"
#include "render/orientation.h"
#include "window/window.h"

Slide currentSlide = {};
Slide nextSlide = {};

namespace {

// The quad of a slide without an image: zero size at the origin, so that it
// covers no pixel on any driver, whatever texture stage 0 is left with.
constexpr QuadEdges emptyQuad = {0.0f, 0.0f, 0.0f, 0.0f};

// Writes the four vertices of a quad with the given edges into the slide's
// vertex buffer, as one 112-byte copy. The colours mark the corners; every
// frame replaces them with the slide's weight before drawing. The texture
// coordinates show the image upright. A slide without
// a buffer has no quad; a failed Lock gives nothing to write through, and the
// buffer keeps its previous quad.
void WriteQuad(const Slide& slide, const QuadEdges& edges) {
    if (slide.vertexBuffer == nullptr) {
        return;
    }
    SlideVertex quad[4] = {
        {edges.left, edges.top, 0.5f, 1.0f, 0xFFFF0000, 0.0f, 0.0f},
        {edges.right, edges.top, 0.5f, 1.0f, 0xFF00FF00, 1.0f, 0.0f},
        {edges.left, edges.bottom, 0.5f, 1.0f, 0xFF0000FF, 0.0f, 1.0f},
        {edges.right, edges.bottom, 0.5f, 1.0f, 0xFFFFFF00, 1.0f, 1.0f},
    };
    for (SlideVertex& vertex : quad) {
        OrientTexCoords(slide.orientation, vertex.u, vertex.v, vertex.u, vertex.v);
    }
    static_assert(sizeof quad == quadBytes);
    void* data = nullptr;
    if (slide.vertexBuffer->Lock(0, quadBytes, &data, 0) != D3D_OK || data == nullptr) {
        return;
    }
    std::memcpy(data, quad, quadBytes);
    slide.vertexBuffer->Unlock();
}

// Leaves nextSlide without an image once its references have been handed
// over to currentSlide or released: it must neither draw nor release them.
void ForgetNextImage() {
    nextSlide.texture = nullptr;
    nextSlide.surface = nullptr;
    nextSlide.loaded = false;
    nextSlide.path.clear();
    nextSlide.orientation = 0;
    WriteQuad(nextSlide, emptyQuad);
}

// Copies the image of `from` into `to`; the references change hands, so one
// of the two must give them up. The vertex buffers stay where they are: each
// slide keeps its own quad.
void CopyImage(Slide& to, const Slide& from) {
    to.imageInfo = from.imageInfo;
    to.surfaceDesc = from.surfaceDesc;
    to.texture = from.texture;
    to.surface = from.surface;
    to.loaded = from.loaded;
    to.path = from.path;
    to.orientation = from.orientation;
}

// Fits the slide's quad to the image it holds now, or shrinks it to nothing
// when it holds none.
void RefitSlide(Slide& slide) {
    FitSlideQuad(slide);
    if (!slide.loaded) {
        WriteQuad(slide, emptyQuad);
    }
}

// One try: decodes `path` into `slide`, which must hold no texture, so the
// output slot owns nothing. False, with the slide's texture, surface and
// loaded untouched, when the file cannot be opened, is not an image D3DX
// decodes, or holds a volume or cube map.
bool TryLoadImage(Slide& slide, const std::string& path) {
    if (D3DXGetImageInfoFromFileA(path.c_str(), &slide.imageInfo) != D3D_OK ||
        slide.imageInfo.ResourceType != D3DRTYPE_TEXTURE) {
        return false;
    }
    // One level, the file's own format, each side rounded up to a power of
    // two and the image resampled (triangle filter, mirrored edges, dither)
    // to fill the whole texture.
    slide.texture = nullptr;
    if (D3DXCreateTextureFromFileExA(
            device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
            D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR | D3DX_FILTER_DITHER, D3DX_FILTER_NONE, 0,
            nullptr, nullptr, &slide.texture) != D3D_OK) {
        // A failing decode hands out no texture: whatever it left is not ours.
        slide.texture = nullptr;
        return false;
    }
    if (slide.texture == nullptr) {
        return false;
    }

    // The image counts as loaded once the texture exists; without a surface
    // there is simply no level description.
    slide.surface = nullptr;
    if (slide.texture->GetSurfaceLevel(0, &slide.surface) != D3D_OK) {
        slide.surface = nullptr;
    }
    if (slide.surface != nullptr) {
        slide.surface->GetDesc(&slide.surfaceDesc);
    } else {
        std::memset(&slide.surfaceDesc, 0, sizeof slide.surfaceDesc);
    }
    slide.orientation = ReadImageOrientation(path.c_str());
    slide.loaded = true;
    slide.path = path;
    return true;
}

} // namespace

void CreateSlideQuad(Slide& slide) {
    // Dynamic, default pool: every frame rewrites the colours. Whether the
    // slide has a quad is told by the reference, not by the call's result.
    device->CreateVertexBuffer(quadBytes, D3DUSAGE_DYNAMIC, slideVertexFormat, D3DPOOL_DEFAULT,
                               &slide.vertexBuffer, nullptr);
    WriteQuad(slide, emptyQuad);
}

void FitSlideQuad(Slide& slide) {
    // Runs on every WM_SIZE, also before the device exists: the client size
    // is recorded even when there is no quad to fit. A failed query leaves
    // the zeroed rectangle, an empty client area.
    RECT client;
    std::memset(&client, 0, sizeof client);
    GetClientRect(mainWindow, &client);
    clientSize.width = client.right - client.left;
    clientSize.height = client.bottom - client.top;

    if (slide.vertexBuffer == nullptr || !slide.loaded) {
        return;
    }
    // An image turned a quarter is shown with its stored height across.
    const bool swap = SwapsSides(slide.orientation);
    WriteQuad(slide,
              FitQuadEdges(swap ? slide.imageInfo.Height : slide.imageInfo.Width,
                           swap ? slide.imageInfo.Width : slide.imageInfo.Height, clientSize.width,
                           clientSize.height, settings.width, settings.height));
}

void LoadNextSlide() {
    // The walk gives up once every entry of one whole Playlist, tried from
    // its first entry, has failed: the folder then holds nothing to show
    // right now, and the show goes on without a new image instead of
    // spinning with no messages pumped. A walk that starts partway through
    // the list first finishes it and then tries the whole fresh list, so
    // every file of the folder is tried at least once. The next call walks
    // the list rebuilt here, which picks up images added meanwhile.
    bool wholeListWalked = playlistCursor == 0;
    while (!Playlist.empty()) {
        const int32_t count = static_cast<int32_t>(Playlist.size());
        bool done = false;
        if (playlistCursor < count) {
            done = TryLoadImage(nextSlide, Playlist[static_cast<size_t>(playlistCursor)]);
            if (done) {
                FitSlideQuad(nextSlide);
            }
            ++playlistCursor;
        }
        // The folder is read again right after the try of the last entry,
        // also when that entry loaded.
        if (playlistCursor >= count) {
            playlistCursor = 0;
            BuildPlaylist();
            if (!done && wholeListWalked) {
                return;
            }
            wholeListWalked = true;
        }
        if (done) {
            return;
        }
    }
}

void AdvanceSlide() {
    TakeNextSlide();
    LoadNextSlide();
}

void TakeNextSlide() {
    ReleaseReference(currentSlide.surface);
    ReleaseReference(currentSlide.texture);
    CopyImage(currentSlide, nextSlide);
    ForgetNextImage();
    // currentSlide's quad still has the old image's edges: refit it to the
    // image it took over, or shrink it to nothing when it took over none.
    RefitSlide(currentSlide);
}

bool LoadSlideFromFile(const std::string& path) {
    // Decoded aside first, so that a file that has gone leaves nextSlide's
    // image in place.
    Slide loaded = {};
    if (!TryLoadImage(loaded, path)) {
        return false;
    }
    ReleaseNextSlide();
    CopyImage(nextSlide, loaded);
    FitSlideQuad(nextSlide);
    return true;
}

void ReleaseNextSlide() {
    ReleaseReference(nextSlide.surface);
    ReleaseReference(nextSlide.texture);
    if (nextSlide.loaded) {
        ForgetNextImage();
    }
}

void SwapSlides() {
    const Slide current = currentSlide;
    CopyImage(currentSlide, nextSlide);
    CopyImage(nextSlide, current);
    RefitSlide(currentSlide);
    RefitSlide(nextSlide);
}
