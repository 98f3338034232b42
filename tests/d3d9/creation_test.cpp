// Creating the Direct3D object and devices, capabilities, and lifetimes.
#include <cstring>

#include "d3d9_test.h"
#include "platform/user32/sdl_window.h"

namespace {

// The renderer SDL has for `window`: a device's, while one exists.
SDL_Renderer* RendererOf(HWND window) {
    SDL_Window* sdlWindow = AcquireSdlWindow(window);
    SDL_Renderer* renderer = sdlWindow != nullptr ? SDL_GetRenderer(sdlWindow) : nullptr;
    if (sdlWindow != nullptr) {
        ReleaseSdlWindow(sdlWindow);
    }
    return renderer;
}

// Whether a device draws into `window`: SDL's renderer on it, or the mark of
// a device that draws on the CPU.
bool DeviceDrawsInto(HWND window) {
    SDL_Window* sdlWindow = AcquireSdlWindow(window);
    if (sdlWindow == nullptr) {
        return false;
    }
    const bool drawn = SDL_GetRenderer(sdlWindow) != nullptr ||
                       SDL_GetWindowData(sdlWindow, kDeviceOfWindow) != nullptr;
    ReleaseSdlWindow(sdlWindow);
    return drawn;
}

ULONG Count(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

} // namespace

TEST(Direct3DCreate9Test, TakesOnlyTheSdkVersionOfTheHeaders) {
    for (UINT version : {0u, 31u, 33u, 0xFFFFFFFFu}) {
        EXPECT_EQ(nullptr, Direct3DCreate9(version)) << version;
    }
    IDirect3D9* direct3d = Direct3DCreate9(32);
    ASSERT_NE(nullptr, direct3d);
    EXPECT_EQ(1u, direct3d->GetAdapterCount());
    EXPECT_EQ(0u, direct3d->Release());
}

using CreationTest = DeviceTest;

// Every refusal returns Direct3D's code, hands out no device and leaves no
// renderer on the window and no reference on the Direct3D object; the same
// window then still takes a device.
TEST_F(CreationTest, RefusesWhatItCannotHonourAndLeavesNothingBehind) {
    D3DCAPS9 caps{};
    ASSERT_EQ(D3D_OK, direct3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps));
    HWND destroyed = MakeWindow(32, 32);
    DestroyWindow(destroyed);
    struct Case {
        const char* name;
        void (*change)(D3DPRESENT_PARAMETERS&, HWND destroyed, UINT max);
        HRESULT expected;
    };
    const Case cases[] = {
        {"no window", [](auto& p, HWND, UINT) { p.hDeviceWindow = nullptr; }, D3DERR_INVALIDCALL},
        {"destroyed window", [](auto& p, HWND gone, UINT) { p.hDeviceWindow = gone; },
         D3DERR_INVALIDCALL},
        {"width beyond the renderer", [](auto& p, HWND, UINT max) { p.BackBufferWidth = max + 1; },
         D3DERR_NOTAVAILABLE},
        {"height beyond the renderer",
         [](auto& p, HWND, UINT max) { p.BackBufferHeight = max + 1; }, D3DERR_NOTAVAILABLE},
        {"negative width",
         [](auto& p, HWND, UINT) { p.BackBufferWidth = static_cast<UINT>(-1920); },
         D3DERR_INVALIDCALL},
        {"negative height", [](auto& p, HWND, UINT) { p.BackBufferHeight = static_cast<UINT>(-1); },
         D3DERR_INVALIDCALL},
        {"full screen", [](auto& p, HWND, UINT) { p.Windowed = FALSE; }, D3DERR_NOTAVAILABLE},
        {"interval two", [](auto& p, HWND, UINT) { p.PresentationInterval = 2; },
         D3DERR_INVALIDCALL},
        {"depth buffer", [](auto& p, HWND, UINT) { p.EnableAutoDepthStencil = TRUE; },
         D3DERR_NOTAVAILABLE},
    };
    for (const Case& c : cases) {
        D3DPRESENT_PARAMETERS p = ProgramParameters(window, 640, 480);
        c.change(p, destroyed, caps.MaxTextureWidth);
        IDirect3DDevice9* refused = reinterpret_cast<IDirect3DDevice9*>(1);
        EXPECT_EQ(c.expected,
                  direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, p.hDeviceWindow,
                                         D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &refused))
            << c.name;
        EXPECT_EQ(nullptr, refused) << c.name;
        EXPECT_FALSE(DeviceDrawsInto(window)) << c.name;
        EXPECT_EQ(1u, Count(direct3d)) << c.name;
    }
    D3DPRESENT_PARAMETERS p = ProgramParameters(window, 640, 480);
    EXPECT_EQ(D3DERR_INVALIDCALL,
              direct3d->CreateDevice(1, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                     &p, &device));
    EXPECT_EQ(D3DERR_INVALIDCALL,
              direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, 0, &p, &device));
    EXPECT_EQ(D3DERR_INVALIDCALL, direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                                         0x60, &p, &device));
    Open(640, 480);
    EXPECT_TRUE(DeviceDrawsInto(window));
}

// SDL keeps one renderer per window, so a second device is refused until the
// first has gone.
TEST_F(CreationTest, TakesOneDevicePerWindow) {
    Open(320, 200);
    D3DPRESENT_PARAMETERS p = ProgramParameters(window, 320, 200);
    IDirect3DDevice9* second = nullptr;
    EXPECT_EQ(D3DERR_NOTAVAILABLE,
              direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                     D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &second));
    EXPECT_EQ(nullptr, second);
    EXPECT_EQ(0u, device->Release());
    device = nullptr;
    Open(320, 200);
}

// A windowed device with a zero size takes the client area's, and writes it
// back into the parameters, as Direct3D does.
TEST_F(CreationTest, ZeroSizeIsTheClientArea) {
    D3DPRESENT_PARAMETERS p = ProgramParameters(window, 0, 0);
    p.BackBufferFormat = D3DFMT_UNKNOWN;
    ASSERT_EQ(D3D_OK, direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                             D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device));
    EXPECT_EQ(static_cast<UINT>(windowWidth), p.BackBufferWidth);
    EXPECT_EQ(static_cast<UINT>(windowHeight), p.BackBufferHeight);
    EXPECT_EQ(D3DFMT_X8R8G8B8, p.BackBufferFormat);

    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(D3D_OK, device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back));
    D3DSURFACE_DESC desc{};
    back->GetDesc(&desc);
    EXPECT_EQ(p.BackBufferWidth, desc.Width);
    EXPECT_EQ(p.BackBufferHeight, desc.Height);
    EXPECT_EQ(D3DFMT_X8R8G8B8, desc.Format);
    EXPECT_EQ(static_cast<DWORD>(D3DUSAGE_RENDERTARGET), desc.Usage);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(D3DERR_INVALIDCALL, back->LockRect(&locked, nullptr, 0));
    EXPECT_EQ(nullptr, locked.pBits);
    EXPECT_EQ(1u, back->Release());
}

// Caps are those of the renderer the device gets: the software renderer
// (the dummy video driver's) is a card without transform and lighting or
// shaders, so the program shows its warnings; OpenGL is one with both.
TEST_F(CreationTest, CapsAreThoseOfTheRenderer) {
    D3DCAPS9 caps{};
    ASSERT_EQ(D3D_OK, direct3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps));
    EXPECT_EQ(D3DERR_INVALIDCALL, direct3d->GetDeviceCaps(1, D3DDEVTYPE_HAL, &caps));
    EXPECT_EQ(D3DERR_NOTAVAILABLE, direct3d->GetDeviceCaps(0, D3DDEVTYPE_REF, &caps));
    EXPECT_EQ(D3DERR_INVALIDCALL, direct3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, nullptr));

    Open(64, 48);
    D3DCAPS9 deviceCaps{};
    ASSERT_EQ(D3D_OK, device->GetDeviceCaps(&deviceCaps));
    EXPECT_EQ(0, std::memcmp(&caps, &deviceCaps, sizeof(caps)));
    SDL_RendererInfo info{};
    if (static_cast<Device*>(device)->drawsOnCpu) {
        // The compositor offers all the program asks for, as OpenGL does.
        EXPECT_NE(0u, caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT);
        EXPECT_EQ(D3DPS_VERSION(2, 0), caps.PixelShaderVersion);
        EXPECT_EQ(0x3FFu, caps.SrcBlendCaps & caps.DestBlendCaps);
        EXPECT_EQ(16384u, caps.MaxTextureWidth);
        return;
    }
    ASSERT_EQ(0, SDL_GetRendererInfo(RendererOf(window), &info));
    if (info.flags & SDL_RENDERER_ACCELERATED) {
        EXPECT_NE(0u, caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT);
        EXPECT_EQ(static_cast<DWORD>(info.max_texture_width), caps.MaxTextureWidth);
    } else {
        EXPECT_STREQ("software", info.name);
        EXPECT_EQ(0u, caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT);
        EXPECT_EQ(0u, caps.VertexShaderVersion);
        EXPECT_EQ(0u, caps.PixelShaderVersion);
        EXPECT_EQ(16384u, caps.MaxTextureWidth);
        EXPECT_EQ(16384u, caps.MaxTextureHeight);
    }
}

using LifetimeTest = DeviceTest;

// Resources hold their device and surfaces their texture, so the program's
// release order (surface, texture, buffers, device, Direct3D) and its reverse
// both end with every count at zero and the renderer gone.
TEST_F(LifetimeTest, ResourcesKeepTheirDeviceAndSurfacesTheirTexture) {
    for (bool programOrder : {true, false}) {
        Open(64, 48);
        IDirect3DVertexBuffer9* quad = MakeQuad(device, 0, 0, 8, 8, 0xFFFFFFFF);
        IDirect3DTexture9* texture = MakeTexture(device, 1, 1, {0xFFFFFFFF});
        IDirect3DSurface9* surface = nullptr;
        ASSERT_EQ(D3D_OK, texture->GetSurfaceLevel(0, &surface));
        IDirect3DSurface9* again = nullptr;
        texture->GetSurfaceLevel(0, &again);
        EXPECT_EQ(surface, again);
        EXPECT_EQ(2u, again->Release());
        // Bound, as the frame leaves them: bindings keep nothing alive.
        device->SetTexture(0, texture);
        device->SetStreamSource(0, quad, 0, sizeof(QuadVertex));
        if (programOrder) {
            EXPECT_EQ(1u, surface->Release());
            EXPECT_EQ(0u, texture->Release());
            EXPECT_EQ(0u, quad->Release());
            EXPECT_EQ(2u, Count(direct3d));
            EXPECT_EQ(0u, device->Release());
        } else {
            EXPECT_EQ(2u, device->Release());  // held by the texture and the buffer
            EXPECT_EQ(1u, texture->Release()); // still held through the surface
            D3DSURFACE_DESC desc{};
            EXPECT_EQ(D3D_OK, surface->GetDesc(&desc));
            EXPECT_EQ(1u, desc.Width);
            IDirect3DDevice9* owner = nullptr;
            ASSERT_EQ(D3D_OK, surface->GetDevice(&owner));
            EXPECT_EQ(device, owner);
            owner->Release();
            EXPECT_EQ(0u, quad->Release());
            EXPECT_TRUE(DeviceDrawsInto(window));
            EXPECT_EQ(0u, surface->Release());
        }
        device = nullptr;
        EXPECT_FALSE(DeviceDrawsInto(window));
        EXPECT_EQ(1u, Count(direct3d));
    }
}

// A device keeps its Direct3D object, as in Direct3D.
TEST_F(LifetimeTest, DeviceKeepsItsDirect3D) {
    Open(64, 48);
    direct3d->AddRef();
    EXPECT_EQ(2u, direct3d->Release());
    IDirect3D9* creator = nullptr;
    ASSERT_EQ(D3D_OK, device->GetDirect3D(&creator));
    EXPECT_EQ(direct3d, creator);
    EXPECT_EQ(2u, creator->Release());
}
