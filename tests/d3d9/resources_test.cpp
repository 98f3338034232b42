// Vertex buffers and textures: creation, locks and what reaches the screen.
#include <cstring>

#include "d3d9_test.h"

using ResourceTest = DeviceTest;

TEST_F(ResourceTest, VertexBufferLocksStayWithinTheBuffer) {
    Open(64, 48);
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(D3D_OK, device->CreateVertexBuffer(112, D3DUSAGE_DYNAMIC, kProgramFvf,
                                                 D3DPOOL_DEFAULT, &buffer, nullptr));
    D3DVERTEXBUFFER_DESC desc{};
    ASSERT_EQ(D3D_OK, buffer->GetDesc(&desc));
    EXPECT_EQ(112u, desc.Size);
    EXPECT_EQ(kProgramFvf, desc.FVF);
    EXPECT_EQ(static_cast<DWORD>(D3DUSAGE_DYNAMIC), desc.Usage);
    EXPECT_EQ(D3DPOOL_DEFAULT, desc.Pool);
    EXPECT_EQ(D3DRTYPE_VERTEXBUFFER, desc.Type);

    void* whole = nullptr;
    ASSERT_EQ(D3D_OK, buffer->Lock(0, 0, &whole, 0));
    ASSERT_EQ(D3D_OK, buffer->Unlock());
    struct Case {
        UINT offset, size;
        bool accepted;
    };
    const Case cases[] = {
        {0, 112, true},        {16, 0, true},   {100, 12, true}, {100, 13, false},
        {112, 0, false},       {113, 1, false}, {0, 113, false}, {0xFFFFFFF0, 0x20, false},
        {1, 0xFFFFFFFF, false}};
    for (const Case& c : cases) {
        void* data = reinterpret_cast<void*>(1);
        HRESULT result = buffer->Lock(c.offset, c.size, &data, 0);
        if (c.accepted) {
            EXPECT_EQ(D3D_OK, result) << c.offset << "+" << c.size;
            EXPECT_EQ(static_cast<uint8_t*>(whole) + c.offset, data);
            EXPECT_EQ(D3DERR_INVALIDCALL, buffer->Lock(0, 0, &data, 0)) << "locked twice";
            EXPECT_EQ(D3D_OK, buffer->Unlock());
        } else {
            EXPECT_EQ(D3DERR_INVALIDCALL, result) << c.offset << "+" << c.size;
            EXPECT_EQ(nullptr, data);
        }
    }
    EXPECT_EQ(D3DERR_INVALIDCALL, buffer->Unlock());
    EXPECT_EQ(0u, buffer->Release());

    IDirect3DVertexBuffer9* refused = nullptr;
    EXPECT_EQ(D3DERR_INVALIDCALL,
              device->CreateVertexBuffer(0, 0, kProgramFvf, D3DPOOL_DEFAULT, &refused, nullptr));
    EXPECT_EQ(D3DERR_INVALIDCALL, device->CreateVertexBuffer(112, D3DUSAGE_DYNAMIC, kProgramFvf,
                                                             D3DPOOL_MANAGED, &refused, nullptr));
    EXPECT_EQ(nullptr, refused);
}

TEST_F(ResourceTest, TextureCreationTakesOneLevelOfThirtyTwoBitPixels) {
    Open(64, 48);
    struct Case {
        UINT width, height, levels;
        D3DFORMAT format;
        HRESULT expected;
    };
    const Case cases[] = {
        {16, 8, 1, D3DFMT_A8R8G8B8, D3D_OK},
        {16, 8, 0, D3DFMT_X8R8G8B8, D3D_OK}, // the whole chain: one level here
        {16384, 1, 1, D3DFMT_X8R8G8B8, D3D_OK},
        {0, 8, 1, D3DFMT_A8R8G8B8, D3DERR_INVALIDCALL},
        {16385, 1, 1, D3DFMT_A8R8G8B8, D3DERR_INVALIDCALL},
        {1, 16385, 1, D3DFMT_A8R8G8B8, D3DERR_INVALIDCALL},
        {16, 8, 1, D3DFMT_R5G6B5, D3DERR_INVALIDCALL},
        {16, 8, 2, D3DFMT_A8R8G8B8, D3DERR_NOTAVAILABLE},
    };
    for (const Case& c : cases) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(c.expected, device->CreateTexture(c.width, c.height, c.levels, 0, c.format,
                                                    D3DPOOL_MANAGED, &texture, nullptr))
            << c.width << "x" << c.height << " levels " << c.levels;
        if (texture == nullptr) {
            continue;
        }
        EXPECT_EQ(1u, texture->GetLevelCount());
        D3DSURFACE_DESC desc{};
        ASSERT_EQ(D3D_OK, texture->GetLevelDesc(0, &desc));
        EXPECT_EQ(c.width, desc.Width);
        EXPECT_EQ(c.height, desc.Height);
        EXPECT_EQ(c.format, desc.Format);
        EXPECT_EQ(D3DPOOL_MANAGED, desc.Pool);
        EXPECT_EQ(D3DERR_INVALIDCALL, texture->GetLevelDesc(1, &desc));
        EXPECT_EQ(0u, texture->Release());
    }
}

// Pixels written through a lock reach the screen: X8R8G8B8 ignoring its
// fourth byte, A8R8G8B8 with its alpha. A later lock of a part starts from
// zero bytes and leaves the rest of the texture as it was.
TEST_F(ResourceTest, LockedPixelsReachTheScreen) {
    Open(4, 2);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    IDirect3DVertexBuffer9* quad = MakeQuad(device, 0, 0, 4, 2, 0xFFFFFFFF);
    const std::vector<uint32_t> texels = {0x00102030, 0x00405060, 0x00708090, 0x00A0B0C0,
                                          0x00C0B0A0, 0x00908070, 0x00605040, 0x00302010};
    for (D3DFORMAT format : {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8}) {
        IDirect3DTexture9* texture = MakeTexture(device, 4, 2, texels, format);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
        device->BeginScene();
        EXPECT_EQ(D3D_OK, DrawQuad(device, texture, quad));
        device->EndScene();
        std::vector<uint32_t> pixels = Pixels();
        for (size_t i = 0; i < texels.size(); i++) {
            EXPECT_EQ(format == D3DFMT_X8R8G8B8 ? (texels[i] | 0xFF000000u) : 0xFFFFFFFFu,
                      pixels[i])
                << "format " << format << " texel " << i;
        }
        device->SetTexture(0, nullptr);
        EXPECT_EQ(0u, texture->Release());
    }

    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    IDirect3DTexture9* texture = MakeTexture(device, 4, 2, texels);
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(D3D_OK, texture->GetSurfaceLevel(0, &surface));
    const RECT part{1, 0, 3, 1};
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(D3D_OK, surface->LockRect(&locked, &part, 0));
    EXPECT_EQ(8, locked.Pitch);
    uint32_t written[2];
    std::memcpy(written, locked.pBits, 8);
    EXPECT_EQ(0u, written[0]);
    EXPECT_EQ(0u, written[1]);
    written[1] = 0x00FF00FF;
    std::memcpy(locked.pBits, written, 8);
    EXPECT_EQ(D3DERR_INVALIDCALL, texture->LockRect(0, &locked, nullptr, 0)) << "locked twice";
    EXPECT_EQ(D3D_OK, surface->UnlockRect());
    EXPECT_EQ(D3DERR_INVALIDCALL, surface->UnlockRect());
    const RECT outside{2, 0, 5, 1};
    EXPECT_EQ(D3DERR_INVALIDCALL, texture->LockRect(0, &locked, &outside, 0));
    EXPECT_EQ(nullptr, locked.pBits);
    EXPECT_EQ(D3DERR_INVALIDCALL, texture->LockRect(1, &locked, nullptr, 0));

    device->BeginScene();
    DrawQuad(device, texture, quad);
    device->EndScene();
    std::vector<uint32_t> pixels = Pixels();
    const std::vector<uint32_t> expected = {0xFF102030, 0xFF000000, 0xFFFF00FF, 0xFFA0B0C0,
                                            0xFFC0B0A0, 0xFF908070, 0xFF605040, 0xFF302010};
    EXPECT_EQ(expected, pixels);
    EXPECT_EQ(1u, surface->Release());
    EXPECT_EQ(0u, texture->Release());
    EXPECT_EQ(0u, quad->Release());
}
