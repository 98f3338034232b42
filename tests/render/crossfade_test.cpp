// The crossfade frame: the weights, the render states and the calls of one
// frame, with slides that cannot be drawn.
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "render/crossfade.h"
#include "render_test.h"

namespace {

using CrossfadeTest = RenderTest;

TEST(CrossfadeColors, WeightsAreTruncatedAndDefinedForAnyFactor) {
    struct Row {
        float factor;
        D3DCOLOR current, next;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Row rows[] = {
        {0.0f, 0xFFFFFFFF, 0xFF000000},
        {0.103515625f, 0xFFE4E4E4, 0xFF1A1A1A},
        {0.5f, 0xFF7F7F7F, 0xFF7F7F7F}, // 127.5 truncates to 127 on both sides
        {0.896484375f, 0xFF1A1A1A, 0xFFE4E4E4},
        {1.0f, 0xFF000000, 0xFFFFFFFF},
        // Outside 0..1 only the low 8 bits of the truncated weight count.
        {2.0f, 0xFF010101, 0xFFFEFEFE},
        {-1.0f, 0xFFFEFEFE, 0xFF010101},
        {nan, 0xFF000000, 0xFF000000},
        {inf, 0xFF000000, 0xFFFFFFFF},
        {-inf, 0xFFFFFFFF, 0xFF000000},
    };
    for (const Row& r : rows) {
        const CrossfadeColors colors = CrossfadeColorsFor(r.factor);
        EXPECT_EQ(colors.current, r.current) << r.factor;
        EXPECT_EQ(colors.next, r.next) << r.factor;
    }
}

TEST_F(CrossfadeTest, RenderStatesInOrder) {
    device = fake::NewDevice();
    SetCrossfadeStates();
    const std::vector<std::string> expected = {
        "device.SetRenderState(22,1)",
        "device.SetRenderState(27,1)",
        "device.SetRenderState(19,2)",
        "device.SetRenderState(20,2)",
    };
    EXPECT_EQ(fake::calls, expected);
}

std::vector<std::string> DrawCalls(const std::string& texture, const std::string& buffer) {
    return {
        "device.SetTexture(0," + texture + ")",
        "device.SetSamplerState(0,5,2)",
        "device.SetSamplerState(0,6,2)",
        "device.SetSamplerState(0,7,2)",
        "device.SetSamplerState(0,1,3)",
        "device.SetSamplerState(0,2,3)",
        "device.SetStreamSource(0," + buffer + ",0,28)",
        "device.SetFVF(0x144)",
        "device.DrawPrimitive(5,0,2)",
    };
}

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

const std::vector<std::string> clearAndBegin = {"device.Clear(0,null,0x1,0xff000000,1,0)",
                                                "device.BeginScene()"};
const std::vector<std::string> endAndPresent = {"device.EndScene()",
                                                "device.Present(null,null,null,null)"};

TEST_F(CrossfadeTest, OneFrameInOrderWritingOnlyTheColours) {
    device = fake::NewDevice();
    CreateSlideQuad(currentSlide);
    CreateSlideQuad(nextSlide);
    currentSlide.texture = fake::NewTexture("a", 64, 64);
    nextSlide.texture = fake::NewTexture("b", 64, 64);
    std::array<SlideVertex, 4> before[2];
    std::memcpy(before[0].data(), fake::BytesOf(currentSlide.vertexBuffer), quadBytes);
    std::memcpy(before[1].data(), fake::BytesOf(nextSlide.vertexBuffer), quadBytes);
    fake::calls.clear();

    DrawCrossfadeFrame(0.103515625f);
    const std::vector<std::string> expected =
        Join({{"vb1.Lock(0,112,0x0)", "vb1.Unlock()", "vb2.Lock(0,112,0x0)", "vb2.Unlock()"},
              clearAndBegin,
              DrawCalls("tex1", "vb1"),
              DrawCalls("tex2", "vb2"),
              endAndPresent});
    EXPECT_EQ(fake::calls, expected);

    const Slide* slides[2] = {&currentSlide, &nextSlide};
    const D3DCOLOR colours[2] = {0xFFE4E4E4, 0xFF1A1A1A};
    for (int s = 0; s < 2; ++s) {
        std::array<SlideVertex, 4> after;
        std::memcpy(after.data(), fake::BytesOf(slides[s]->vertexBuffer), quadBytes);
        for (int i = 0; i < 4; ++i) {
            SlideVertex expectedVertex = before[s][i];
            expectedVertex.diffuse = colours[s];
            EXPECT_EQ(std::memcmp(&after[i], &expectedVertex, sizeof(SlideVertex)), 0)
                << "slide " << s << " vertex " << i;
        }
    }
}

TEST_F(CrossfadeTest, ASlideWithoutQuadOrLockIsLeftOutAndTheFrameGoesOn) {
    device = fake::NewDevice();

    // currentSlide has no quad; nextSlide has one but no texture, and is
    // drawn all the same, with no texture bound.
    fake::script.vertexBufferFails = true;
    CreateSlideQuad(currentSlide);
    fake::script.vertexBufferFails = false;
    CreateSlideQuad(nextSlide);
    fake::calls.clear();
    DrawCrossfadeFrame(0.0f);
    EXPECT_EQ(fake::calls, Join({{"vb1.Lock(0,112,0x0)", "vb1.Unlock()"},
                                 clearAndBegin,
                                 DrawCalls("null", "vb1"),
                                 endAndPresent}));

    // A lock that fails: neither the colour nor the draw of that slide.
    CreateSlideQuad(currentSlide);
    fake::ObjectOf(nextSlide.vertexBuffer)->failNext = true;
    fake::calls.clear();
    DrawCrossfadeFrame(1.0f);
    EXPECT_EQ(fake::calls, Join({{"vb2.Lock(0,112,0x0)", "vb2.Unlock()", "vb1.Lock(0,112,0x0)"},
                                 clearAndBegin,
                                 DrawCalls("null", "vb2"),
                                 endAndPresent}));
    EXPECT_TRUE(fake::faults.empty()) << ::testing::PrintToString(fake::faults);
}

} // namespace
