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

// Gives nextSlide's image up to currentSlide: the references now belong to
// currentSlide alone, so nextSlide must neither draw nor release them.
void HandOverImage() {
    nextSlide.texture = nullptr;
    nextSlide.surface = nullptr;
    nextSlide.loaded = false;
    nextSlide.orientation = 0;
    WriteQuad(nextSlide, emptyQuad);
}

// One try of the walk: decodes `path` into nextSlide. False, with nextSlide's
// texture, surface and loaded untouched, when the file cannot be opened, is
// not an image D3DX decodes, or holds a volume or cube map. Called only while
// nextSlide holds no texture, so the output slot owns nothing.
bool TryLoadNextSlide(const std::string& path) {
    if (D3DXGetImageInfoFromFileA(path.c_str(), &nextSlide.imageInfo) != D3D_OK ||
        nextSlide.imageInfo.ResourceType != D3DRTYPE_TEXTURE) {
        return false;
    }
    // One level, the file's own format, each side rounded up to a power of
    // two and the image resampled (triangle filter, mirrored edges, dither)
    // to fill the whole texture.
    nextSlide.texture = nullptr;
    if (D3DXCreateTextureFromFileExA(
            device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
            D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR | D3DX_FILTER_DITHER, D3DX_FILTER_NONE, 0,
            nullptr, nullptr, &nextSlide.texture) != D3D_OK) {
        // A failing decode hands out no texture: whatever it left is not ours.
        nextSlide.texture = nullptr;
        return false;
    }
    if (nextSlide.texture == nullptr) {
        return false;
    }

    // The image counts as loaded once the texture exists; without a surface
    // there is simply no level description.
    nextSlide.surface = nullptr;
    if (nextSlide.texture->GetSurfaceLevel(0, &nextSlide.surface) != D3D_OK) {
        nextSlide.surface = nullptr;
    }
    if (nextSlide.surface != nullptr) {
        nextSlide.surface->GetDesc(&nextSlide.surfaceDesc);
    } else {
        std::memset(&nextSlide.surfaceDesc, 0, sizeof nextSlide.surfaceDesc);
    }
    nextSlide.orientation = ReadImageOrientation(path.c_str());
    nextSlide.loaded = true;
    FitSlideQuad(nextSlide);
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
            done = TryLoadNextSlide(Playlist[static_cast<size_t>(playlistCursor)]);
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
    ReleaseReference(currentSlide.surface);
    ReleaseReference(currentSlide.texture);

    // The vertex buffers stay where they are: each slide keeps its own quad.
    currentSlide.imageInfo = nextSlide.imageInfo;
    currentSlide.surfaceDesc = nextSlide.surfaceDesc;
    currentSlide.texture = nextSlide.texture;
    currentSlide.surface = nextSlide.surface;
    currentSlide.loaded = nextSlide.loaded;
    currentSlide.orientation = nextSlide.orientation;
    HandOverImage();

    // currentSlide's quad still has the old image's edges: refit it to the
    // image it took over, or shrink it to nothing when it took over none.
    FitSlideQuad(currentSlide);
    if (!currentSlide.loaded) {
        WriteQuad(currentSlide, emptyQuad);
    }

    LoadNextSlide();
}
