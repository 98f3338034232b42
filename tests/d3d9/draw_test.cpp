// Drawing into the back buffer, checked by reading its pixels back.
#include <cmath>
#include <cstring>

#include "d3d9_test.h"

namespace {

int Blue(uint32_t pixel) {
    return static_cast<int>(pixel & 0xFF);
}

// The program's crossfade states.
void SetAdditive(IDirect3DDevice9* device) {
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
}

void SetFilter(IDirect3DDevice9* device, D3DTEXTUREFILTERTYPE filter) {
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
}

} // namespace

class DrawTest : public DeviceTest {
  protected:
    void SetUp() override {
        DeviceTest::SetUp();
        Open(16, 12);
        SetAdditive(device);
        SetFilter(device, D3DTEXF_LINEAR);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    }
};

// The crossfade: each image scaled by its grey weight, the two added.
TEST_F(DrawTest, QuadsAreModulatedByTheirColourAndAdded) {
    IDirect3DTexture9* grey = MakeTexture(device, 2, 2, std::vector<uint32_t>(4, 0xFFC8C8C8));
    IDirect3DVertexBuffer9* half = MakeQuad(device, 0, 0, 16, 12, 0xFF7F7F7F);
    IDirect3DVertexBuffer9* left = MakeQuad(device, 0, 0, 8, 12, 0xFF7F7F7F);
    device->BeginScene();
    EXPECT_EQ(D3D_OK, DrawQuad(device, grey, half));
    std::vector<uint32_t> once = Pixels();
    EXPECT_EQ(D3D_OK, DrawQuad(device, grey, left));
    device->EndScene();
    std::vector<uint32_t> twice = Pixels();
    const int weighted = 200 * 127 / 255; // 99
    for (int y = 0; y < 12; y++) {
        for (int x = 0; x < 16; x++) {
            EXPECT_NEAR(weighted, Blue(once[y * 16 + x]), 2) << x << "," << y;
            EXPECT_NEAR(x < 8 ? 2 * weighted : weighted, Blue(twice[y * 16 + x]), 3)
                << x << "," << y;
        }
    }
    device->SetTexture(0, nullptr);
    grey->Release();
    half->Release();
    left->Release();
}

// With the program's ONE/ONE states alpha plays no part, as in Direct3D: a
// texel's colour is added whatever its alpha, on a renderer without custom
// blend modes too (here the software renderer).
TEST_F(DrawTest, AdditiveBlendingIgnoresAlpha) {
    const std::vector<uint32_t> texels = {0x800000FF, 0x0000FF00, 0xFFFF0000, 0x40808080};
    IDirect3DTexture9* texture = MakeTexture(device, 2, 2, texels, D3DFMT_A8R8G8B8);
    IDirect3DVertexBuffer9* quad = MakeQuad(device, 0, 0, 16, 12, 0xFFFFFFFF);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device->BeginScene();
    EXPECT_EQ(D3D_OK, DrawQuad(device, texture, quad));
    device->EndScene();
    const std::vector<uint32_t> pixels = Pixels();
    EXPECT_EQ(0xFF0000FFu, pixels[0]);
    EXPECT_EQ(0xFF00FF00u, pixels[15]);
    EXPECT_EQ(0xFFFF0000u, pixels[11 * 16]);
    EXPECT_EQ(0xFF808080u, pixels[11 * 16 + 15]);
    device->SetTexture(0, nullptr);
    texture->Release();
    quad->Release();
}

// A stage without a texture samples opaque black: added, it changes nothing;
// without blending it paints black, just within its quad.
TEST_F(DrawTest, QuadWithoutTextureIsBlack) {
    IDirect3DVertexBuffer9* quad = MakeQuad(device, 4, 2, 10, 7, 0xFFFFFFFF);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF404040, 1.0f, 0);
    device->BeginScene();
    EXPECT_EQ(D3D_OK, DrawQuad(device, nullptr, quad));
    EXPECT_EQ(std::vector<uint32_t>(16 * 12, 0xFF404040), Pixels());
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    EXPECT_EQ(D3D_OK, DrawQuad(device, nullptr, quad));
    device->EndScene();
    std::vector<uint32_t> pixels = Pixels();
    for (int y = 0; y < 12; y++) {
        for (int x = 0; x < 16; x++) {
            bool inside = x >= 4 && x < 10 && y >= 2 && y < 7;
            EXPECT_EQ(inside ? 0xFF000000u : 0xFF404040u, pixels[y * 16 + x]) << x << "," << y;
        }
    }
    quad->Release();
}

// Whole-pixel edges cover exactly the pixels inside, whether the quad goes
// as a rectangle (one colour) or as triangles (a colour per corner); so do
// triangles reaching far outside the back buffer, and positions that are not
// numbers (a minimised window's fit) cover nothing.
TEST_F(DrawTest, QuadsCoverTheirPixelsOnly) {
    IDirect3DTexture9* white = MakeTexture(device, 1, 1, {0xFFFFFFFF});
    const D3DCOLOR corners[2][4] = {{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF},
                                    {0xFFFF8080, 0xFF80FF80, 0xFF8080FF, 0xFFFFFFFF}};
    for (const auto& colours : corners) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        IDirect3DVertexBuffer9* quad = MakeQuad(device, 4, 2, 10, 7, 0);
        QuadVertex* v = nullptr;
        quad->Lock(0, 0, reinterpret_cast<void**>(&v), 0);
        for (int i = 0; i < 4; i++) {
            v[i].diffuse = colours[i];
        }
        quad->Unlock();
        device->BeginScene();
        EXPECT_EQ(D3D_OK, DrawQuad(device, white, quad));
        device->EndScene();
        std::vector<uint32_t> pixels = Pixels();
        for (int y = 0; y < 12; y++) {
            for (int x = 0; x < 16; x++) {
                bool inside = x >= 4 && x < 10 && y >= 2 && y < 7;
                EXPECT_EQ(inside, pixels[y * 16 + x] != 0xFF000000u) << x << "," << y;
            }
        }
        quad->Release();
    }

    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    IDirect3DVertexBuffer9* far = MakeQuad(device, -1e6f, -1e6f, 1e9f, 1e9f, 0xFFFFFFFF);
    IDirect3DVertexBuffer9* nan = MakeQuad(device, NAN, NAN, NAN, NAN, 0xFFFFFFFF);
    device->BeginScene();
    EXPECT_EQ(D3D_OK, DrawQuad(device, white, nan));
    EXPECT_EQ(std::vector<uint32_t>(16 * 12, 0xFF000000), Pixels());
    device->SetStreamSource(0, far, 0, sizeof(QuadVertex));
    EXPECT_EQ(D3D_OK, device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1)); // its upper-left half
    device->EndScene();
    EXPECT_EQ(std::vector<uint32_t>(16 * 12, 0xFFFFFFFF), Pixels());
    device->SetTexture(0, nullptr);
    white->Release();
    far->Release();
    nan->Release();
}

// Point filtering magnifies into blocks of the texels' own values; linear
// filtering blends neighbours.
TEST_F(DrawTest, FiltersArePointOrLinear) {
    IDirect3DTexture9* stripes = MakeTexture(device, 2, 1, {0xFF000000, 0xFFFFFFFF});
    IDirect3DVertexBuffer9* quad = MakeQuad(device, 0, 0, 16, 12, 0xFFFFFFFF);
    for (D3DTEXTUREFILTERTYPE filter : {D3DTEXF_POINT, D3DTEXF_LINEAR}) {
        SetFilter(device, filter);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        device->BeginScene();
        DrawQuad(device, stripes, quad);
        device->EndScene();
        std::vector<uint32_t> pixels = Pixels();
        int between = 0;
        for (int x = 0; x < 16; x++) {
            int value = Blue(pixels[5 * 16 + x]);
            between += value > 8 && value < 247 ? 1 : 0;
        }
        EXPECT_EQ(0, Blue(pixels[5 * 16]));
        EXPECT_EQ(255, Blue(pixels[5 * 16 + 15]));
        if (filter == D3DTEXF_POINT) {
            EXPECT_EQ(0, between);
        } else {
            EXPECT_GE(between, 4);
        }
    }
    device->SetTexture(0, nullptr);
    stripes->Release();
    quad->Release();
}

TEST_F(DrawTest, ClearFillsTheTargetOrItsRectangles) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF123456, 1.0f, 0);
    EXPECT_EQ(std::vector<uint32_t>(16 * 12, 0xFF123456), Pixels());
    const D3DRECT rects[2] = {{-5, -5, 2, 1}, {14, 10, 40, 40}};
    EXPECT_EQ(D3D_OK, device->Clear(2, rects, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0));
    std::vector<uint32_t> pixels = Pixels();
    for (int y = 0; y < 12; y++) {
        for (int x = 0; x < 16; x++) {
            bool cleared = (x < 2 && y < 1) || (x >= 14 && y >= 10);
            EXPECT_EQ(cleared ? 0xFF000000u : 0xFF123456u, pixels[y * 16 + x]) << x << "," << y;
        }
    }
    EXPECT_EQ(D3DERR_INVALIDCALL, device->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0));
    EXPECT_EQ(D3DERR_INVALIDCALL, device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0));
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    EXPECT_EQ(std::vector<uint32_t>(16 * 12, 0xFF000000), Pixels());
}

// Draws are refused outside a scene, for formats and primitives the layer
// does not draw, and whenever they would read past the end of the buffer.
TEST_F(DrawTest, DrawsAreCheckedBeforeAnythingIsRead) {
    IDirect3DVertexBuffer9* quad = MakeQuad(device, 0, 0, 16, 12, 0xFFFFFFFF);
    EXPECT_EQ(D3DERR_INVALIDCALL, DrawQuad(device, nullptr, quad)) << "outside a scene";
    EXPECT_EQ(D3DERR_INVALIDCALL, device->EndScene());
    ASSERT_EQ(D3D_OK, device->BeginScene());
    EXPECT_EQ(D3DERR_INVALIDCALL, device->BeginScene());
    struct Case {
        const char* name;
        DWORD fvf;
        D3DPRIMITIVETYPE type;
        UINT offset, stride, start, count;
        HRESULT expected;
    };
    const Case cases[] = {
        {"program's draw", kProgramFvf, D3DPT_TRIANGLESTRIP, 0, 28, 0, 2, D3D_OK},
        {"one texture set", 0x144, D3DPT_TRIANGLESTRIP, 0, 28, 0, 2, D3D_OK},
        {"fan", 0x144, D3DPT_TRIANGLEFAN, 0, 28, 0, 2, D3D_OK},
        {"no primitives", kProgramFvf, D3DPT_TRIANGLESTRIP, 0, 28, 0, 0, D3D_OK},
        {"one vertex too far", kProgramFvf, D3DPT_TRIANGLESTRIP, 0, 28, 1, 2, D3DERR_INVALIDCALL},
        {"offset too far", kProgramFvf, D3DPT_TRIANGLESTRIP, 28, 28, 0, 2, D3DERR_INVALIDCALL},
        {"list too long", kProgramFvf, D3DPT_TRIANGLELIST, 0, 28, 0, 2, D3DERR_INVALIDCALL},
        {"count wraps", kProgramFvf, D3DPT_TRIANGLESTRIP, 0, 28, 0xFFFFFFFF, 0xFFFFF,
         D3DERR_INVALIDCALL},
        {"count too large", kProgramFvf, D3DPT_TRIANGLESTRIP, 0, 28, 0, 0xFFFFFFFE,
         D3DERR_INVALIDCALL},
        {"stride too short", kProgramFvf, D3DPT_TRIANGLESTRIP, 0, 20, 0, 2, D3DERR_INVALIDCALL},
        {"untransformed", 0x242, D3DPT_TRIANGLESTRIP, 0, 28, 0, 2, D3DERR_INVALIDCALL},
        {"no texture coordinates", 0x044, D3DPT_TRIANGLESTRIP, 0, 28, 0, 2, D3DERR_INVALIDCALL},
        {"points", kProgramFvf, D3DPT_POINTLIST, 0, 28, 0, 2, D3DERR_INVALIDCALL},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(D3D_OK, device->SetStreamSource(0, quad, c.offset, c.stride));
        device->SetFVF(c.fvf);
        EXPECT_EQ(c.expected, device->DrawPrimitive(c.type, c.start, c.count)) << c.name;
    }
    device->SetStreamSource(0, nullptr, 0, 0);
    EXPECT_EQ(D3DERR_INVALIDCALL, device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2)) << "no stream";
    EXPECT_EQ(D3DERR_INVALIDCALL, device->SetStreamSource(1, quad, 0, 28));
    EXPECT_EQ(D3DERR_INVALIDCALL, device->SetTexture(1, nullptr));
    EXPECT_EQ(D3D_OK, device->EndScene());
    quad->Release();
}

// A released texture's storage serves the next one of its size class, and
// the part of the storage beyond the smaller texture repeats its edges, so
// that filtering at them shows nothing of the earlier, larger image: seen by
// copying the whole storage onto the back buffer.
TEST_F(DrawTest, TexturesShareStorageWithoutShowingEarlierImages) {
    if (static_cast<Device*>(device)->drawsOnCpu) {
        GTEST_SKIP() << "the compositor's textures have storage of their own size";
    }
    const uint32_t red = 0xFFFF0000, green = 0xFF00FF00, blue = 0xFF0000FF;
    IDirect3DTexture9* large = MakeTexture(device, 4, 4, std::vector<uint32_t>(16, red));
    SDL_Texture* storage = static_cast<Texture*>(large)->sdlTexture;
    EXPECT_EQ(0u, large->Release());
    IDirect3DTexture9* small = MakeTexture(device, 3, 2, {blue, blue, green, blue, blue, green});
    ASSERT_EQ(storage, static_cast<Texture*>(small)->sdlTexture);
    ASSERT_EQ(4, static_cast<Texture*>(small)->storageWidth);
    SDL_Renderer* renderer = static_cast<Device*>(device)->renderer;
    Pixels(); // the frame's own commands run first
    const SDL_Rect whole{0, 0, 4, 4};
    SDL_SetTextureBlendMode(storage, SDL_BLENDMODE_NONE);
    SDL_RenderCopy(renderer, storage, &whole, &whole);
    const std::vector<uint32_t> pixels = Pixels();
    for (int y = 0; y < 4; y++) {
        const uint32_t row[4] = {blue, blue, green, green};
        for (int x = 0; x < 4; x++) {
            EXPECT_EQ(row[x], pixels[static_cast<size_t>(y) * 16 + x]) << x << ", " << y;
        }
    }
    // A texture under a quarter of the class has storage of its own.
    IDirect3DTexture9* tiny = MakeTexture(device, 1, 1, {red});
    EXPECT_EQ(1, static_cast<Texture*>(tiny)->storageWidth);
    tiny->Release();
    small->Release();
}

// Photos with an EXIF orientation are axis-aligned quads whose texture
// coordinates are turned or mirrored: each corner of the quad shows the
// texel its coordinates name.
TEST_F(DrawTest, TurnedTextureCoordinatesTurnThePicture) {
    if (!static_cast<Device*>(device)->drawsOnCpu) {
        // Seen here: it fills such triangles with the first texel.
        GTEST_SKIP() << "SDL's software renderer (the dummy driver's) cannot turn textures";
    }
    const uint32_t texels[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    IDirect3DTexture9* texture = MakeTexture(device, 2, 2, {texels, texels + 4});
    IDirect3DVertexBuffer9* quad = MakeQuad(device, 0, 0, 16, 12, 0xFFFFFFFF);
    SetFilter(device, D3DTEXF_POINT);
    // Texture coordinates of the corners top-left, top-right, bottom-left,
    // bottom-right, as texel indices (u + 2v): the eight orientations.
    const int orientations[8][4] = {{0, 1, 2, 3}, {1, 0, 3, 2}, {3, 2, 1, 0}, {2, 3, 0, 1},
                                    {0, 2, 1, 3}, {2, 0, 3, 1}, {3, 1, 2, 0}, {1, 3, 0, 2}};
    for (const auto& corners : orientations) {
        QuadVertex* v = nullptr;
        ASSERT_EQ(D3D_OK, quad->Lock(0, 0, reinterpret_cast<void**>(&v), 0));
        for (int i = 0; i < 4; i++) {
            v[i].u = static_cast<float>(corners[i] % 2);
            v[i].v = static_cast<float>(corners[i] / 2);
        }
        quad->Unlock();
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        device->BeginScene();
        EXPECT_EQ(D3D_OK, DrawQuad(device, texture, quad));
        device->EndScene();
        const std::vector<uint32_t> pixels = Pixels();
        EXPECT_EQ(texels[corners[0]], pixels[0]);
        EXPECT_EQ(texels[corners[1]], pixels[15]);
        EXPECT_EQ(texels[corners[2]], pixels[11 * 16]);
        EXPECT_EQ(texels[corners[3]], pixels[11 * 16 + 15]);
    }
    device->SetTexture(0, nullptr);
    texture->Release();
    quad->Release();
}

// The compositor's arithmetic: the texel times the vertex colour rounded to
// 8 bits, then Direct3D's blend equation, partly covered pixels mixed.
TEST(CpuBlendTest, ModulatesThenBlends) {
    // The additive crossfade, four pixels at a time and one at a time alike:
    // round(x × c / 255), added with saturation.
    for (uint32_t c = 0; c < 256; c++) {
        for (uint32_t x = 0; x < 256; x += 4) {
            uint32_t source[5], out[5];
            for (uint32_t i = 0; i < 5; i++) {
                source[i] = 0xFF000000u | (x + i % 4) << 16 | (x + i % 4) << 8 | (x + i % 4);
                out[i] = i == 4 ? 0xFFC8C8C8u : 0xFF000000u;
            }
            AddModulated(out, source, 5, c << 16 | c << 8 | c);
            for (uint32_t i = 0; i < 4; i++) {
                const auto expected = static_cast<uint32_t>(std::lround((x + i) * c / 255.0));
                ASSERT_EQ(expected, out[i] & 0xFF) << x + i << " x " << c;
                ASSERT_EQ(expected, (out[i] >> 16) & 0xFF) << x + i << " x " << c;
            }
            ASSERT_EQ(static_cast<uint32_t>(std::min(200 + std::lround(x * c / 255.0), 255L)),
                      out[4] & 0xFF);
        }
    }
    const uint32_t add = PackBlendStates(true, D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_ADD);
    struct Case {
        const char* name;
        uint32_t source, colour, destination, states;
        uint8_t coverage;
        uint32_t expected;
    };
    const Case cases[] = {
        {"added, saturating", 0xFF80C040, 0xFFFFFF, 0xFF90A010, add, 255, 0xFFFFFF50},
        {"modulated", 0xFF80C040, 0x808080, 0xFF000000, add, 255, 0xFF406020},
        {"blending off", 0xFF80C040, 0xFFFFFF, 0xFF123456, 0, 255, 0xFF80C040},
        {"over, by source alpha", 0x80FF0000, 0xFFFFFF, 0xFF0000FF,
         PackBlendStates(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD), 255,
         0xFF80007F},
        {"multiplied by the target", 0xFF808080, 0xFFFFFF, 0xFF40FF00,
         PackBlendStates(true, D3DBLEND_DESTCOLOR, D3DBLEND_ZERO, D3DBLENDOP_ADD), 255, 0xFF208000},
        {"subtracted", 0xFF808080, 0xFFFFFF, 0xFF40FF00,
         PackBlendStates(true, D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_SUBTRACT), 255, 0xFF400080},
        {"target less source", 0xFF808080, 0xFFFFFF, 0xFF40FF00,
         PackBlendStates(true, D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_REVSUBTRACT), 255,
         0xFF007F00},
        {"minimum, factors ignored", 0xFF808080, 0xFFFFFF, 0xFF40FF00,
         PackBlendStates(true, D3DBLEND_ZERO, D3DBLEND_ZERO, D3DBLENDOP_MIN), 255, 0xFF408000},
        {"maximum", 0xFF808080, 0xFFFFFF, 0xFF40FF00,
         PackBlendStates(true, D3DBLEND_ZERO, D3DBLEND_ZERO, D3DBLENDOP_MAX), 255, 0xFF80FF80},
        {"uncovered", 0xFF808080, 0xFFFFFF, 0xFF40FF00, 0, 0, 0xFF40FF00},
        {"half covered", 0xFFFFFFFF, 0xFFFFFF, 0xFF000000, 0, 128, 0xFF808080},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, BlendPixel(c.source, c.colour, c.destination, c.states, c.coverage))
            << c.name;
    }
    EXPECT_TRUE(CpuBlendSupported(add));
    const uint32_t sourceAlphaSaturated = 11; // D3DBLEND_SRCALPHASAT, not offered
    EXPECT_FALSE(CpuBlendSupported(
        PackBlendStates(true, sourceAlphaSaturated, D3DBLEND_ONE, D3DBLENDOP_ADD)));
}

// Composed for a window twice the back buffer's size, a quad over the whole
// back buffer reaches the window's edges (the stretch clamps there, as
// sampling a texture does) and one over its left half leaves the right half
// black.
TEST_F(DrawTest, CompositionsStretchTheBackBufferOverTheWindow) {
    Device* inside = static_cast<Device*>(device);
    if (!inside->drawsOnCpu) {
        GTEST_SKIP() << "SDL's renderer stretches the back buffer itself";
    }
    IDirect3DTexture9* grey = MakeTexture(device, 2, 2, std::vector<uint32_t>(4, 0xFF808080));
    IDirect3DVertexBuffer9* whole = MakeQuad(device, 0, 0, 16, 12, 0xFFFFFFFF);
    IDirect3DVertexBuffer9* left = MakeQuad(device, 0, 0, 8, 12, 0xFFFFFFFF);
    std::vector<uint32_t> window(32 * 24);
    const CpuCanvas canvas{window.data(), 32, 32, 24};
    device->BeginScene();
    EXPECT_EQ(D3D_OK, DrawQuad(device, grey, whole));
    ComposeCommands(*inside, inside->frame.data(), inside->frame.size(), canvas);
    EXPECT_EQ(std::vector<uint32_t>(32 * 24, 0xFF808080), window);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    EXPECT_EQ(D3D_OK, DrawQuad(device, grey, left));
    device->EndScene();
    ComposeCommands(*inside, inside->frame.data(), inside->frame.size(), canvas);
    for (int y = 0; y < 24; y++) {
        EXPECT_EQ(0xFF808080u, window[y * 32 + 14]) << y;
        EXPECT_EQ(0xFF000000u, window[y * 32 + 17]) << y;
    }
    device->SetTexture(0, nullptr);
    grey->Release();
    whole->Release();
    left->Release();
}
