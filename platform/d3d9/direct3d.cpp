// The Direct3D 9 object: the one adapter's capabilities and device creation.

#include "platform/d3d9/objects.h"
#include "platform/user32/sdl_window.h"
#include "platform/user32/user32.h"

IDirect3D9* WINAPI Direct3DCreate9(UINT sdkVersion) {
    // Direct3D 9 refuses a program built against other headers.
    if (sdkVersion != D3D_SDK_VERSION) {
        return nullptr;
    }
    // SDL counts its subsystem starts; the last Release stops ours.
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        return nullptr;
    }
    if (SDL_GetNumRenderDrivers() <= 0) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    return new Direct3D;
}

ULONG Direct3D::AddRef() {
    return ++refs;
}

ULONG Direct3D::Release() {
    ULONG left = --refs;
    if (left == 0) {
        delete this;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    return left;
}

// The window data naming a window's device that draws on the CPU.
const char* const kDeviceOfWindow = "vimbora.device";

// One adapter: the renderer SDL gives the program's window.
UINT Direct3D::GetAdapterCount() {
    return 1;
}

// Direct3D answers for the hardware device; without the SDK's reference
// rasterizer installed, the reference and software device types are not
// available.
static HRESULT CheckAdapter(UINT adapter, D3DDEVTYPE deviceType) {
    if (adapter != D3DADAPTER_DEFAULT) {
        return D3DERR_INVALIDCALL;
    }
    if (deviceType == D3DDEVTYPE_REF || deviceType == D3DDEVTYPE_SW) {
        return D3DERR_NOTAVAILABLE;
    }
    return deviceType == D3DDEVTYPE_HAL ? D3D_OK : D3DERR_INVALIDCALL;
}

// Learns once how devices draw and what they offer: on the CPU when the user
// asks for it or, unless the user asks for SDL's renderer, when that renderer
// would render in software anyway; with SDL's renderer otherwise.
static bool LearnAdapter(Direct3D& direct3d) {
    if (direct3d.capsKnown) {
        return true;
    }
    const RendererRequest request = RequestedRenderer();
    bool software = false;
    if (request != RendererRequest::cpu && !ProbeCaps(direct3d.caps, software)) {
        return false;
    }
    direct3d.drawsOnCpu =
        request == RendererRequest::cpu || (request == RendererRequest::automatic && software);
    if (direct3d.drawsOnCpu) {
        FillCpuCaps(direct3d.caps);
    }
    direct3d.capsKnown = true;
    return true;
}

HRESULT Direct3D::GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* out) {
    if (out == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    HRESULT result = CheckAdapter(adapter, deviceType);
    if (result != D3D_OK) {
        return result;
    }
    if (!LearnAdapter(*this)) {
        return D3DERR_NOTAVAILABLE;
    }
    *out = caps;
    return D3D_OK;
}

// The presentation parameters this layer can honour, completed as Direct3D
// completes them in place: a zero size of a windowed device is the window's
// client size (left to the caller), an unknown back-buffer format the
// desktop's (32-bit), a count of 0 one buffer.
static HRESULT CheckParameters(D3DPRESENT_PARAMETERS& p) {
    // Full-screen modes are not offered: the program's device is windowed,
    // also while its window covers its monitor.
    if (!p.Windowed) {
        return D3DERR_NOTAVAILABLE;
    }
    if (p.BackBufferFormat == D3DFMT_UNKNOWN) {
        p.BackBufferFormat = D3DFMT_X8R8G8B8;
    }
    if (p.BackBufferFormat != D3DFMT_X8R8G8B8 && p.BackBufferFormat != D3DFMT_A8R8G8B8) {
        return D3DERR_NOTAVAILABLE;
    }
    if (p.BackBufferCount > 3) { // D3DPRESENT_BACK_BUFFERS_MAX
        return D3DERR_INVALIDCALL;
    }
    if (p.BackBufferCount == 0) {
        p.BackBufferCount = 1;
    }
    if (p.SwapEffect < D3DSWAPEFFECT_DISCARD || p.SwapEffect > D3DSWAPEFFECT_COPY) {
        return D3DERR_INVALIDCALL;
    }
    // No multisampling and no depth buffer: the frame is flat quads.
    if (p.MultiSampleType != D3DMULTISAMPLE_NONE || p.EnableAutoDepthStencil) {
        return D3DERR_NOTAVAILABLE;
    }
    // The intervals the capabilities list; others are refused as Direct3D
    // refuses intervals its caps lack.
    if (p.PresentationInterval != D3DPRESENT_INTERVAL_DEFAULT &&
        p.PresentationInterval != D3DPRESENT_INTERVAL_ONE &&
        p.PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE) {
        return D3DERR_INVALIDCALL;
    }
    // A negative size cast to unsigned is no size at all.
    if (p.BackBufferWidth > INT32_MAX || p.BackBufferHeight > INT32_MAX) {
        return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

// Exactly one kind of vertex processing, as Direct3D demands. Either is
// accepted whatever the caps say: this layer does all vertex work itself.
static bool OneVertexProcessing(DWORD flags) {
    DWORD kinds = flags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING |
                           D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MIXED_VERTEXPROCESSING);
    return kinds != 0 && (kinds & (kinds - 1)) == 0;
}

// Completes a zero back-buffer side with the window's client size at this
// moment, as Direct3D does for windowed devices (at least one pixel, for a
// minimised window).
static void CompleteSize(HWND window, D3DPRESENT_PARAMETERS& p) {
    RECT client{};
    GetClientRect(window, &client);
    if (p.BackBufferWidth == 0) {
        p.BackBufferWidth = client.right - client.left > 0 ? client.right - client.left : 1;
    }
    if (p.BackBufferHeight == 0) {
        p.BackBufferHeight = client.bottom - client.top > 0 ? client.bottom - client.top : 1;
    }
}

// The renderer of a device that draws with SDL, its capabilities, and its
// back buffer as the renderer's target, cleared to black.
static HRESULT MakeRenderer(SDL_Window* sdlWindow, const D3DPRESENT_PARAMETERS& p,
                            SDL_Renderer*& renderer, SDL_Texture*& backBuffer, D3DCAPS9& caps) {
    renderer =
        CreateSdlRenderer(sdlWindow, p.PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE);
    if (renderer == nullptr) {
        return D3DERR_NOTAVAILABLE;
    }
    FillCaps(renderer, caps);
    HRESULT result = D3D_OK;
    if (p.BackBufferWidth > caps.MaxTextureWidth || p.BackBufferHeight > caps.MaxTextureHeight) {
        result = D3DERR_NOTAVAILABLE;
    } else {
        backBuffer = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET,
                                       static_cast<int>(p.BackBufferWidth),
                                       static_cast<int>(p.BackBufferHeight));
        if (backBuffer == nullptr || SDL_SetRenderTarget(renderer, backBuffer) != 0) {
            result = D3DERR_OUTOFVIDEOMEMORY;
        }
    }
    if (result != D3D_OK) {
        if (backBuffer != nullptr) {
            SDL_DestroyTexture(backBuffer);
        }
        SDL_DestroyRenderer(renderer);
        return result;
    }
    // Direct3D leaves the first back buffer's contents undefined; black is
    // what a slide show would show anyway.
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    return D3D_OK;
}

HRESULT Direct3D::CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow,
                               DWORD behaviorFlags, D3DPRESENT_PARAMETERS* presentationParameters,
                               IDirect3DDevice9** returnedDevice) {
    if (returnedDevice == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *returnedDevice = nullptr;
    if (presentationParameters == nullptr || !OneVertexProcessing(behaviorFlags)) {
        return D3DERR_INVALIDCALL;
    }
    HRESULT result = CheckAdapter(adapter, deviceType);
    if (result != D3D_OK) {
        return result;
    }
    D3DPRESENT_PARAMETERS p = *presentationParameters;
    result = CheckParameters(p);
    if (result != D3D_OK) {
        return result;
    }
    // The device presents into hDeviceWindow, or the focus window without one.
    HWND window = p.hDeviceWindow != nullptr ? p.hDeviceWindow : focusWindow;
    if (window == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    SDL_Window* sdlWindow = AcquireSdlWindow(window);
    if (sdlWindow == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    // SDL keeps one renderer per window, so a window has at most one device
    // here (Direct3D would allow several); a device that draws on the CPU
    // marks its window likewise.
    if (SDL_GetRenderer(sdlWindow) != nullptr ||
        SDL_GetWindowData(sdlWindow, kDeviceOfWindow) != nullptr) {
        ReleaseSdlWindow(sdlWindow);
        return D3DERR_NOTAVAILABLE;
    }
    if (!LearnAdapter(*this)) {
        ReleaseSdlWindow(sdlWindow);
        return D3DERR_NOTAVAILABLE;
    }
    CompleteSize(window, p);
    ReturnFreedImageMemory();

    SDL_Renderer* renderer = nullptr;
    SDL_Texture* backBuffer = nullptr;
    D3DCAPS9 caps = this->caps;
    if (drawsOnCpu) {
        // The back buffer is kept as commands until Present (see cpu.h).
        if (p.BackBufferWidth > caps.MaxTextureWidth ||
            p.BackBufferHeight > caps.MaxTextureHeight) {
            ReleaseSdlWindow(sdlWindow);
            return D3DERR_NOTAVAILABLE;
        }
    } else {
        result = MakeRenderer(sdlWindow, p, renderer, backBuffer, caps);
        if (result != D3D_OK) {
            ReleaseSdlWindow(sdlWindow);
            return result;
        }
    }

    // Without D3DCREATE_FPU_PRESERVE Direct3D 9 puts the x87 unit in single
    // precision. Here the program's float arithmetic already runs in single
    // precision on SSE, so nothing is switched.
    Device* device = new Device;
    device->direct3d = this;
    AddRef();
    device->window = window;
    device->sdlWindow = sdlWindow;
    device->renderer = renderer;
    device->drawsOnCpu = drawsOnCpu;
    if (drawsOnCpu) {
        SDL_SetWindowData(sdlWindow, kDeviceOfWindow, device);
    }
    device->backBuffer = backBuffer;
    device->parameters = p;
    device->caps = caps;
    Surface& surface = device->backBufferSurface;
    surface.container = device;
    surface.device = device;
    surface.desc.Format = p.BackBufferFormat;
    surface.desc.Type = D3DRTYPE_SURFACE;
    surface.desc.Usage = D3DUSAGE_RENDERTARGET;
    surface.desc.Pool = D3DPOOL_DEFAULT;
    surface.desc.Width = p.BackBufferWidth;
    surface.desc.Height = p.BackBufferHeight;
    StartPresenting(*device);

    *presentationParameters = p;
    *returnedDevice = device;
    return D3D_OK;
}
