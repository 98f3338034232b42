// Inside the Direct3D 9 layer: the objects behind the interfaces of d3d9.h and
// the helpers the files of platform/d3d9 share. Not for the program: it sees
// only the interfaces.
//
// Lifetimes follow Direct3D 9:
// - The Direct3D object lives while the program or a device holds it.
// - A device lives while the program, or any resource the program still
//   holds, refers to it: a resource keeps a reference to its device, so the
//   program may release resources and device in any order.
// - A resource (texture, vertex buffer) counts the program's references and,
//   apart from them, the device's bindings (SetTexture, SetStreamSource). A
//   binding keeps the object's memory but not the device, so a resource left
//   bound never keeps its device alive; the device drops its bindings when
//   it goes.
// - A surface has no count of its own: it forwards to its container (the
//   texture, or the device for the back buffer), as Direct3D does.
#pragma once

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

#include "platform/d3d9/cpu.h"
#include "platform/d3d9/d3d9.h"
#include "platform/kernel32/image_memory.h"

struct Device;
struct Texture;

// One drawing command of the frame being built. The device keeps a frame's
// commands until Present and hands them to SDL only when the frame differs
// from the one the window shows: a slide show draws the same still picture
// at every refresh while a slide is only shown, and that picture need not be
// drawn again.
struct FrameCommand {
    enum Kind : uint8_t {
        kClear,    // the whole back buffer, `color`
        kFill,     // `rects` of it, `color`, no blending
        kCopy,     // `source` texels of the texture onto `target`, modulated by `color`
        kGeometry, // `vertices` as triangles, textured when `content` is not 0
    };
    Kind kind = kClear;
    SDL_Color color{};
    SDL_BlendMode blend = SDL_BLENDMODE_NONE;
    SDL_ScaleMode scale = SDL_ScaleModeNearest;
    // One hold on the texture while the command waits to run; null once it
    // has run, and in the frame kept for comparison.
    Texture* texture = nullptr;
    // What the texture held when the command was recorded (its content
    // generation); 0 for none.
    uint64_t content = 0;
    SDL_Rect source{};
    SDL_FRect target{};
    std::vector<SDL_Rect> rects;
    std::vector<SDL_Vertex> vertices;
    bool opaque = false; // draws the texture's opaqueTexture
    // On a device that draws on the CPU: the texture's pixels of the time
    // (null for none; `texture` stays null there), and the blend states
    // (see PackBlendStates).
    std::shared_ptr<const CpuPixels> pixels;
    uint32_t blendStates = 0;
};

struct Direct3D final : IDirect3D9 {
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    UINT STDMETHODCALLTYPE GetAdapterCount() override;
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType,
                                            D3DCAPS9* caps) override;
    HRESULT STDMETHODCALLTYPE CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow,
                                           DWORD behaviorFlags,
                                           D3DPRESENT_PARAMETERS* presentationParameters,
                                           IDirect3DDevice9** returnedDevice) override;

    ULONG refs = 1;
    // The capabilities of the renderer a device would get and whether
    // devices draw on the CPU, learnt once.
    bool capsKnown = false;
    D3DCAPS9 caps{};
    bool drawsOnCpu = false;
};

struct Surface final : IDirect3DSurface9 {
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override;
    HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect,
                                       DWORD flags) override;
    HRESULT STDMETHODCALLTYPE UnlockRect() override;

    IUnknown* container = nullptr; // receives AddRef and Release
    Device* device = nullptr;
    Texture* texture = nullptr; // null for the back buffer, which cannot be locked
    D3DSURFACE_DESC desc{};
};

struct Texture final : IDirect3DTexture9 {
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override;
    DWORD STDMETHODCALLTYPE GetLevelCount() override;
    HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT STDMETHODCALLTYPE GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
    HRESULT STDMETHODCALLTYPE LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect,
                                       DWORD flags) override;
    HRESULT STDMETHODCALLTYPE UnlockRect(UINT level) override;
    ~Texture();

    Device* device = nullptr;
    // The pixels: the texture's own at the top left of an SDL texture of
    // storageWidth × storageHeight (larger for storage of the size class,
    // see texture.cpp), owned.
    SDL_Texture* sdlTexture = nullptr;
    int storageWidth = 0;
    int storageHeight = 0;
    // On a renderer without custom blend modes (SDL's software renderer), an
    // A8R8G8B8 texture's colours again with alpha 255, storage of the same
    // size, owned; null elsewhere. Drawn for blend states whose factors do
    // not read source alpha (the program's ONE/ONE): Direct3D adds the
    // colour whatever its alpha, while SDL's built-in ADD mode, the nearest
    // such a renderer has, weights it by alpha.
    SDL_Texture* opaqueTexture = nullptr;
    // On a device that draws on the CPU, the pixels instead of sdlTexture,
    // shared with the frame commands that draw them.
    std::shared_ptr<CpuPixels> cpuPixels;
    D3DSURFACE_DESC desc{}; // of level 0, the only level
    ULONG refs = 1;         // the program's; while non-zero, one on `device`
    ULONG holds = 0;        // the device's bindings
    // Between LockRect and UnlockRect: the locked rectangle's pixels, 32 bits
    // each, rows `lockedRect` wide. Empty otherwise.
    bool locked = false;
    RECT lockedRect{};
    DWORD lockFlags = 0;
    ImageBuffer staging; // one of the layer's recycled image buffers
    Surface level0;
    // Names the pixels the texture holds: a new value from the device at
    // creation and at every UnlockRect that writes, never reused.
    uint64_t content = 0;
};

struct VertexBuffer final : IDirect3DVertexBuffer9 {
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override;
    HRESULT STDMETHODCALLTYPE Lock(UINT offsetToLock, UINT sizeToLock, void** data,
                                   DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Unlock() override;
    HRESULT STDMETHODCALLTYPE GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

    Device* device = nullptr;
    D3DVERTEXBUFFER_DESC desc{};
    std::vector<uint8_t> bytes; // desc.Size of them
    ULONG refs = 1;             // the program's; while non-zero, one on `device`
    ULONG holds = 0;            // the device's bindings
    bool locked = false;
};

// Textures and vertex buffers: the program's last reference gives up the
// reference the resource holds on its device, as in Direct3D; the object
// itself stays while the device still binds it (holds), so that the program's
// release order never leaves the device pointing at freed memory.
template <class Resource> ULONG ReleaseResource(Resource* resource) {
    ULONG left = --resource->refs;
    if (left == 0) {
        auto* owner = resource->device;
        if (resource->holds == 0) {
            delete resource;
        }
        owner->Release();
    }
    return left;
}

// Drops one binding of the device; the last one frees a resource the program
// has already released.
template <class Resource> void Unhold(Resource* resource) {
    if (--resource->holds == 0 && resource->refs == 0) {
        delete resource;
    }
}

// What the device measures of its frames when VIMBORA_FRAME_STATS is set in
// the environment, for the benchmarks: the process's CPU time and the wall
// time of the frames of each kind, each frame counted from the end of the
// previous Present to the end of its own, so that it includes the program's
// whole pass of its loop. Nanoseconds, except where said.
struct FrameStats {
    bool enabled = false;
    int64_t cpuPresented = 0;
    int64_t cpuSkipped = 0;
    int64_t wallPresented = 0;
    int64_t wallSkipped = 0;
    int64_t lastCpu = 0;          // at the end of the previous Present; 0 before the first
    int64_t lastWall = 0;         // likewise
    int64_t firstPresentTime = 0; // CLOCK_REALTIME microseconds of the first frame shown
};

struct Device final : IDirect3DDevice9 {
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D9** direct3d) override;
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS9* caps) override;
    HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT swapChain, UINT backBuffer,
                                            D3DBACKBUFFER_TYPE type,
                                            IDirect3DSurface9** surface) override;
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DTexture9** texture,
                                            HANDLE* sharedHandle) override;
    HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                                 IDirect3DVertexBuffer9** vertexBuffer,
                                                 HANDLE* sharedHandle) override;
    HRESULT STDMETHODCALLTYPE BeginScene() override;
    HRESULT STDMETHODCALLTYPE EndScene() override;
    HRESULT STDMETHODCALLTYPE Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color,
                                    float z, DWORD stencil) override;
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type,
                                              DWORD value) override;
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE primitiveType, UINT startVertex,
                                            UINT primitiveCount) override;
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD fvf) override;
    HRESULT STDMETHODCALLTYPE SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9* streamData,
                                              UINT offsetInBytes, UINT stride) override;
    HRESULT STDMETHODCALLTYPE Present(const RECT* sourceRect, const RECT* destRect,
                                      HWND destWindowOverride, const RGNDATA* dirtyRegion) override;
    ~Device();

    ULONG refs = 1;
    Direct3D* direct3d = nullptr; // one reference, as Direct3D's devices keep their creator
    HWND window = nullptr;
    SDL_Window* sdlWindow = nullptr; // one hold from AcquireSdlWindow
    // Null on a device that draws on the CPU (drawsOnCpu), as is backBuffer.
    SDL_Renderer* renderer = nullptr;
    bool drawsOnCpu = false;
    CpuState cpu;
    // The back buffer: an ARGB8888 render target, BackBufferWidth ×
    // BackBufferHeight, current target of `renderer` except inside Present.
    SDL_Texture* backBuffer = nullptr;
    D3DPRESENT_PARAMETERS parameters{}; // as completed by CreateDevice
    D3DCAPS9 caps{};
    Surface backBufferSurface;

    bool inScene = false;
    std::map<DWORD, DWORD> renderStates;  // those set; the others hold Direct3D's defaults
    std::map<DWORD, DWORD> samplerStates; // of sampler 0, likewise
    DWORD fvf = 0;
    Texture* texture = nullptr;           // stage 0, one hold
    VertexBuffer* streamBuffer = nullptr; // stream 0, one hold
    UINT streamOffset = 0;                // bytes
    UINT streamStride = 0;                // bytes
    int64_t lastPresentEnd = 0;           // steady-clock nanoseconds; 0 before the first

    uint64_t contentIds = 0; // the last content generation handed to a texture

    // The storage of released textures kept for the next ones, all of the
    // size class: the largest width and the largest height of any texture
    // made so far (see texture.cpp).
    std::vector<SDL_Texture*> keptStorage;
    int storageClassWidth = 0;
    int storageClassHeight = 0;
    // Rows repeating a texture's edges on their way to its storage.
    std::vector<uint8_t> edgeBand;

    // The frame being built since the last Present; its first `frameRun`
    // commands have already gone to SDL (a lock or a read-back mid-frame
    // runs them early, so that they see what they saw when recorded).
    std::vector<FrameCommand> frame;
    size_t frameRun = 0;
    // The frame the window shows, what else decided its pixels (the client
    // size and the window events seen), and whether the back buffer still
    // holds exactly that frame.
    std::vector<FrameCommand> shownFrame;
    bool frameShown = false;
    bool backBufferShown = false;
    int shownWidth = 0;
    int shownHeight = 0;
    uint32_t shownWindowEvents = 0;
    // SDL window events of the device's window so far (exposure, showing,
    // resizing; render targets lost), counted as SDL queues them.
    std::atomic<uint32_t> windowEvents{0};
    // Of those, the changes of the window's size or state (shown, resized,
    // maximised, restored), and how many presents still show the frame
    // again after the last one seen (kFramesAfterReshape).
    std::atomic<uint32_t> windowReshapes{0};
    uint32_t seenWindowReshapes = 0;
    int framesToRepeat = 0;
    bool watchingWindow = false;
    // Frames handed to the window and frames not drawn (identical to the
    // one shown, or nowhere to show them).
    uint64_t framesPresented = 0;
    uint64_t framesSkipped = 0;
    FrameStats stats;
};

// After the window changed size or state, a frame identical to the one shown
// is still drawn for this many presents (a quarter of a second at 60 Hz): a
// compositing window manager taking a window back from full screen can go on
// showing the window's old content over the first frame drawn for it (mutter
// on X11 does, now and then), and a still slide would stay so until the next
// crossfade.
constexpr int kFramesAfterReshape = 15;

// The SDL window data that names the device drawing on the CPU into a
// window.
extern const char* const kDeviceOfWindow;

// The renderer a device gets for `window`: SDL's first driver that can draw
// into textures, with vsync when asked.
SDL_Renderer* CreateSdlRenderer(SDL_Window* window, bool vsync);

// The capabilities of `renderer`, as a device on it reports them.
void FillCaps(SDL_Renderer* renderer, D3DCAPS9& caps);

// The capabilities of the renderer a device would get, learnt from a hidden
// window, and whether it renders in software (see SoftwareRendering); false
// when no renderer can be had.
bool ProbeCaps(D3DCAPS9& caps, bool& software);

// Direct3D's default value of a render state or sampler state.
DWORD RenderState(const Device& device, DWORD state);
DWORD SamplerState(const Device& device, DWORD type);

// Sets the blend mode that draws as the device's blend render states do on
// `texture`, or on the renderer's own drawing when `texture` is null.
// False when the renderer can do nothing near it.
bool ApplyBlendStates(const Device& device, SDL_Texture* texture);
// True when blending is on and a blend factor reads the source's alpha.
bool BlendReadsSourceAlpha(const Device& device);

// Has the C library give freed image-sized memory back to the system (see
// texture.cpp); called when a device is created.
void ReturnFreedImageMemory();

// Frees the storage kept for textures; called before the renderer goes.
void FreeKeptStorage(Device& device);

// Sets the scale mode of `texture`. Draws already queued with the texture
// keep the mode they were queued with.
void UseScaleMode(SDL_Renderer* renderer, SDL_Texture* texture, SDL_ScaleMode mode);

// How long Present still waits, in nanoseconds, so that Presents are at least
// one refresh `period` apart: `previousEnd` is when the previous Present
// returned (0 for none), `swapStart` when this one began handing the frame to
// SDL and `now` when SDL gave control back. A swap that itself waited half a
// period or more was paced by the display's vsync; it needs only to be no
// less than 15/16 of a period after the previous one.
int64_t PresentWait(int64_t previousEnd, int64_t swapStart, int64_t now, int64_t period);

// Adds a command to the frame being built; a command with a texture takes
// one hold on it.
void RecordCommand(Device& device, FrameCommand command);

// Hands the frame's commands that have not run yet to SDL, in order.
void RunFrameCommands(Device& device);

// Whether a command of the frame that has not run yet draws `texture`.
bool FrameWaitsOn(const Device& device, const Texture* texture);

// Whether two frames ask SDL for the same pixels: the same commands with the
// same values, textures compared by content generation. Only a frame that
// begins by clearing the whole back buffer counts as equal to another: what
// any other frame draws depends on what the back buffer held before.
bool SameFrame(const std::vector<FrameCommand>& frame, const std::vector<FrameCommand>& shown);

// Ends the frame at Present: the commands, run or dropped, become the shown
// frame when `shown` (their holds go either way).
void EndFrame(Device& device, bool shown);

// The device is made: from now on every event of its window (the first
// loads take time, and the window may be resized or exposed meanwhile)
// makes the next Present draw, even a frame like the one shown.
void StartPresenting(Device& device);

// The device is going: drops the frame's commands and its watch on SDL's
// events, and with VIMBORA_FRAME_STATS set in the environment reports the
// frames presented and skipped on standard error.
void StopPresenting(Device& device);

// Test hook: the back buffer's pixels, row by row, as 0xFFRRGGBB (the back
// buffer has no alpha). False when the renderer cannot read them.
bool ReadBackBuffer(IDirect3DDevice9* device, std::vector<uint32_t>& pixels);
