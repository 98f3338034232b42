// A frame identical to the one the window shows is not drawn again, unless
// the window has just changed size or state; a frame whose weights, texture
// or window changed is.
#include <cstring>
#include <functional>

#include "d3d9_test.h"

namespace {

class FrameTest : public DeviceTest {
  protected:
    void SetUp() override {
        DeviceTest::SetUp();
        Open(16, 12);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        quad = MakeQuad(device, 0, 0, 16, 12, 0xFFFFFFFF);
        texture = MakeTexture(device, 4, 3, std::vector<uint32_t>(12, 0xFF0000C8));
    }
    void TearDown() override {
        device->SetTexture(0, nullptr);
        device->SetStreamSource(0, nullptr, 0, 0);
        texture->Release();
        quad->Release();
        DeviceTest::TearDown();
    }

    // The program's frame: the quad's weight written, the back buffer
    // cleared (unless not), the quad drawn, presented.
    void DrawFrame(D3DCOLOR weight, bool clear = true) {
        QuadVertex* vertices = nullptr;
        ASSERT_EQ(D3D_OK, quad->Lock(0, 0, reinterpret_cast<void**>(&vertices), 0));
        for (int i = 0; i < 4; i++) {
            vertices[i].diffuse = weight;
        }
        quad->Unlock();
        if (clear) {
            device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        }
        device->BeginScene();
        EXPECT_EQ(D3D_OK, DrawQuad(device, texture, quad));
        device->EndScene();
        EXPECT_EQ(D3D_OK, device->Present(nullptr, nullptr, nullptr, nullptr));
    }

    int CentreBlue() { return static_cast<int>(Pixels()[6 * 16 + 8] & 0xFF); }

    Device* Inside() { return static_cast<Device*>(device); }

    // The window system tells the window `event`; the program does not
    // handle it.
    void PushWindowEvent(Uint8 what) {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.event = what;
        event.window.windowID = SDL_GetWindowID(Inside()->sdlWindow);
        SDL_PushEvent(&event);
        SDL_FlushEvent(SDL_WINDOWEVENT);
    }

    IDirect3DVertexBuffer9* quad = nullptr;
    IDirect3DTexture9* texture = nullptr;
};

void Refill(IDirect3DTexture9* texture, uint32_t texel) {
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(D3D_OK, texture->LockRect(0, &locked, nullptr, 0));
    for (int y = 0; y < 3; y++) {
        for (int x = 0; x < 4; x++) {
            std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4, &texel, 4);
        }
    }
    ASSERT_EQ(D3D_OK, texture->UnlockRect(0));
}

TEST_F(FrameTest, OnlyAFrameLikeTheShownOneIsSkipped) {
    struct Step {
        const char* name;
        std::function<void()> change;
        D3DCOLOR weight;
        bool drawn;
        int blue; // at the centre of the back buffer afterwards
        int frames = 1;
    };
    const Step steps[] = {
        // As when the user maximises while the first images decode: the
        // event is queued before anything is presented.
        {"first frame, the window resized before it",
         [&] { PushWindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED); }, 0xFFFFFFFF, true, 200,
         kFramesAfterReshape},
        {"same frame", [] {}, 0xFFFFFFFF, false, 200},
        {"fade factor changed", [] {}, 0xFF7F7F7F, true, 200 * 127 / 255},
        {"same frame", [] {}, 0xFF7F7F7F, false, 200 * 127 / 255},
        {"texture's pixels changed", [&] { Refill(texture, 0xFF000064); }, 0xFF7F7F7F, true,
         100 * 127 / 255},
        {"another texture, same pixels",
         [&] {
             device->SetTexture(0, nullptr);
             texture->Release();
             texture = MakeTexture(device, 4, 3, std::vector<uint32_t>(12, 0xFF000064));
         },
         0xFF7F7F7F, true, 100 * 127 / 255},
        {"client size changed", [&] { MoveWindow(window, 0, 0, 40, 30, TRUE); }, 0xFF7F7F7F, true,
         100 * 127 / 255},
        {"same frame, for a while after the resize", [] {}, 0xFF7F7F7F, true, 100 * 127 / 255,
         kFramesAfterReshape - 1},
        {"same frame", [] {}, 0xFF7F7F7F, false, 100 * 127 / 255},
        {"window exposed", [&] { PushWindowEvent(SDL_WINDOWEVENT_EXPOSED); }, 0xFF7F7F7F, true,
         100 * 127 / 255},
        {"same frame", [] {}, 0xFF7F7F7F, false, 100 * 127 / 255},
    };
    for (const Step& step : steps) {
        step.change();
        const uint64_t presented = Inside()->framesPresented;
        const uint64_t skipped = Inside()->framesSkipped;
        const uint64_t frames = static_cast<uint64_t>(step.frames);
        for (int i = 0; i < step.frames; i++) {
            DrawFrame(step.weight);
        }
        EXPECT_EQ(presented + (step.drawn ? frames : 0), Inside()->framesPresented) << step.name;
        EXPECT_EQ(skipped + (step.drawn ? 0 : frames), Inside()->framesSkipped) << step.name;
        EXPECT_NEAR(step.blue, CentreBlue(), 2) << step.name;
    }
}

// A frame that does not begin by clearing draws over what the back buffer
// holds, so the same commands give another picture: it is always drawn.
TEST_F(FrameTest, FramesThatDoNotClearFirstAreAlwaysDrawn) {
    DrawFrame(0xFF3F3F3F);
    DrawFrame(0xFF3F3F3F, false);
    DrawFrame(0xFF3F3F3F, false);
    EXPECT_EQ(3u, Inside()->framesPresented);
    EXPECT_EQ(0u, Inside()->framesSkipped);
    EXPECT_NEAR(3 * (200 * 63 / 255), CentreBlue(), 3);
}

// Draws wait until Present, yet each sees the texture as it was when it was
// drawn, and a read of the back buffer sees every draw made so far.
TEST_F(FrameTest, DrawsSeeTheTexturesOfTheirTime) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    device->BeginScene();
    EXPECT_EQ(D3D_OK, DrawQuad(device, texture, quad));
    Refill(texture, 0xFF000010);
    EXPECT_EQ(D3D_OK, DrawQuad(device, texture, quad));
    device->EndScene();
    EXPECT_NEAR(200 + 16, CentreBlue(), 2);
    EXPECT_EQ(D3D_OK, device->Present(nullptr, nullptr, nullptr, nullptr));
    EXPECT_NEAR(200 + 16, CentreBlue(), 2);
}

} // namespace
