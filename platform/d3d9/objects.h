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

#include <cstdint>
#include <map>
#include <vector>

#include "platform/d3d9/d3d9.h"

struct Device;
struct Texture;

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
    // The capabilities of the renderer a device would get, learnt once.
    bool capsKnown = false;
    D3DCAPS9 caps{};
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
    SDL_Texture* sdlTexture = nullptr; // ARGB8888, owned
    D3DSURFACE_DESC desc{};            // of level 0, the only level
    ULONG refs = 1;                    // the program's; while non-zero, one on `device`
    ULONG holds = 0;                   // the device's bindings
    // Between LockRect and UnlockRect: the locked rectangle's pixels, 32 bits
    // each, rows `lockedRect` wide. Empty otherwise.
    bool locked = false;
    RECT lockedRect{};
    DWORD lockFlags = 0;
    std::vector<uint8_t> staging;
    Surface level0;
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
    SDL_Renderer* renderer = nullptr;
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
};

// Drop one binding of the device; frees the object when neither the program
// nor the device refers to it any more.
void Unhold(Texture* texture);
void Unhold(VertexBuffer* buffer);

// The renderer a device gets for `window`: SDL's first driver that can draw
// into textures, with vsync when asked.
SDL_Renderer* CreateSdlRenderer(SDL_Window* window, bool vsync);

// The capabilities of `renderer`, as a device on it reports them.
void FillCaps(SDL_Renderer* renderer, D3DCAPS9& caps);

// The capabilities of the renderer a device would get, learnt from a hidden
// window; false when no renderer can be had.
bool ProbeCaps(D3DCAPS9& caps);

// Direct3D's default value of a render state or sampler state.
DWORD RenderState(const Device& device, DWORD state);
DWORD SamplerState(const Device& device, DWORD type);

// Sets the blend mode that draws as the device's blend render states do on
// `texture`, or on the renderer's own drawing when `texture` is null.
// False when the renderer can do nothing near it.
bool ApplyBlendStates(const Device& device, SDL_Texture* texture);

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

// Test hook: the back buffer's pixels, row by row, as 0xFFRRGGBB (the back
// buffer has no alpha). False when the renderer cannot read them.
bool ReadBackBuffer(IDirect3DDevice9* device, std::vector<uint32_t>& pixels);
