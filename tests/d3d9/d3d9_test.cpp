#include "d3d9_test.h"

#include <cstring>

static LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWindow(int width, int height) {
    static const char* className = "d3d9 test window";
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = TestWindowProc;
    windowClass.lpszClassName = className;
    if (!GetClassInfoExA(nullptr, className, &windowClass)) {
        RegisterClassExA(&windowClass);
    }
    return CreateWindowExA(0, className, "d3d9 test", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                           nullptr, nullptr, nullptr, nullptr);
}

D3DPRESENT_PARAMETERS ProgramParameters(HWND window, UINT width, UINT height) {
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = width;
    p.BackBufferHeight = height;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.BackBufferCount = 2;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = window;
    p.Windowed = TRUE;
    p.PresentationInterval = D3DPRESENT_INTERVAL_ONE;
    return p;
}

IDirect3DVertexBuffer9* MakeQuad(IDirect3DDevice9* device, float left, float top, float right,
                                 float bottom, D3DCOLOR diffuse) {
    const QuadVertex quad[4] = {{left, top, 0.5f, 1.0f, diffuse, 0.0f, 0.0f},
                                {right, top, 0.5f, 1.0f, diffuse, 1.0f, 0.0f},
                                {left, bottom, 0.5f, 1.0f, diffuse, 0.0f, 1.0f},
                                {right, bottom, 0.5f, 1.0f, diffuse, 1.0f, 1.0f}};
    IDirect3DVertexBuffer9* buffer = nullptr;
    EXPECT_EQ(D3D_OK, device->CreateVertexBuffer(sizeof(quad), D3DUSAGE_DYNAMIC, kProgramFvf,
                                                 D3DPOOL_DEFAULT, &buffer, nullptr));
    void* data = nullptr;
    EXPECT_EQ(D3D_OK, buffer->Lock(0, sizeof(quad), &data, 0));
    std::memcpy(data, quad, sizeof(quad));
    buffer->Unlock();
    return buffer;
}

IDirect3DTexture9* MakeTexture(IDirect3DDevice9* device, UINT width, UINT height,
                               const std::vector<uint32_t>& texels, D3DFORMAT format) {
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(D3D_OK, device->CreateTexture(width, height, 1, 0, format, D3DPOOL_MANAGED, &texture,
                                            nullptr));
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(D3D_OK, texture->LockRect(0, &locked, nullptr, 0));
    for (UINT y = 0; y < height; y++) {
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, &texels[y * width],
                    width * 4);
    }
    EXPECT_EQ(D3D_OK, texture->UnlockRect(0));
    return texture;
}

HRESULT DrawQuad(IDirect3DDevice9* device, IDirect3DTexture9* texture,
                 IDirect3DVertexBuffer9* quad) {
    device->SetTexture(0, texture);
    device->SetStreamSource(0, quad, 0, sizeof(QuadVertex));
    device->SetFVF(kProgramFvf);
    return device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
}

void DeviceTest::SetUp() {
    direct3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(nullptr, direct3d);
    window = MakeWindow(windowWidth, windowHeight);
    ASSERT_NE(nullptr, window);
}

void DeviceTest::TearDown() {
    if (device != nullptr) {
        EXPECT_EQ(0u, device->Release());
    }
    DestroyWindow(window);
    EXPECT_EQ(0u, direct3d->Release());
}

void DeviceTest::Open(UINT width, UINT height) {
    D3DPRESENT_PARAMETERS p = ProgramParameters(window, width, height);
    ASSERT_EQ(D3D_OK, direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                             D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device));
}

std::vector<uint32_t> DeviceTest::Pixels() {
    std::vector<uint32_t> pixels;
    EXPECT_TRUE(ReadBackBuffer(device, pixels));
    return pixels;
}

// The layer's tests run once per way of drawing: --renderer=gpu or
// --renderer=cpu becomes VIMBORA_RENDERER (CTest passes one or the other).
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; i++) {
        if (std::strncmp(argv[i], "--renderer=", 11) == 0) {
            setenv("VIMBORA_RENDERER", argv[i] + 11, 1);
        }
    }
    return RUN_ALL_TESTS();
}
