// Helpers of the Direct3D 9 layer's tests: windows of the user32 layer,
// devices on them, and quads drawn the way the program draws them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/d3d9/objects.h"
#include "platform/win32.h"

// The program's vertex: 28 bytes, format XYZRHW | DIFFUSE | TEX1.
struct QuadVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u, v;
};
static_assert(sizeof(QuadVertex) == 28);

constexpr DWORD kProgramFvf = 0x144;

// A borderless window whose client area is `width` × `height`.
HWND MakeWindow(int width, int height);

// The program's presentation parameters for `window`.
D3DPRESENT_PARAMETERS ProgramParameters(HWND window, UINT width, UINT height);

// A vertex buffer holding one quad from (left, top) to (right, bottom), in the
// program's vertex order (top-left, top-right, bottom-left, bottom-right),
// texture coordinates over the whole texture, every vertex `diffuse`.
IDirect3DVertexBuffer9* MakeQuad(IDirect3DDevice9* device, float left, float top, float right,
                                 float bottom, D3DCOLOR diffuse);

// A texture of `width` × `height` filled with `texels` row by row.
IDirect3DTexture9* MakeTexture(IDirect3DDevice9* device, UINT width, UINT height,
                               const std::vector<uint32_t>& texels,
                               D3DFORMAT format = D3DFMT_X8R8G8B8);

// The program's draw of one quad: texture, stream, format, a two-triangle strip.
HRESULT DrawQuad(IDirect3DDevice9* device, IDirect3DTexture9* texture,
                 IDirect3DVertexBuffer9* quad);

// A Direct3D object, a `width` × `height` window and the program's device on it.
class DeviceTest : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Creates `device` with a back buffer of `width` × `height`.
    void Open(UINT width, UINT height);
    std::vector<uint32_t> Pixels();

    int windowWidth = 64;
    int windowHeight = 48;
    IDirect3D9* direct3d = nullptr;
    HWND window = nullptr;
    IDirect3DDevice9* device = nullptr;
};
