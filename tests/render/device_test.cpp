// The graphics device: the capability decision, the presentation parameters,
// the creation with its warnings or its failure, and the release order.
#include "render_test.h"

namespace {

const char* const warnSoftware =
    "Hardware vertex processing unsupported.\nSwitching to software vertex processing.";
const char* const warnVertex = "Vertex Shader 2.0 support not detected.";
const char* const warnPixel = "Pixel Shader 2.0 support not detected.";

using DeviceTest = RenderTest;

TEST(CapabilityDecision, FlagAndOrderedWarnings) {
    struct Case {
        DWORD devCaps, vs, ps;
        DWORD flags;
        std::vector<std::string> warnings;
    };
    const DWORD tl = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    const Case cases[] = {
        {tl | 0x1, 0xFFFE0300, 0xFFFF0300, 0x40, {}},
        {0x0FFEFFFF, 0xFFFE0200, 0xFFFF0200, 0x20, {warnSoftware}},
        {tl, 0xFFFE0101, 0xFFFF0104, 0x40, {warnVertex, warnPixel}},
        {tl, 0xFFFE0200, 0xFFFF01FF, 0x40, {warnPixel}},
        {tl, 0xFFFE01FF, 0xFFFF0200, 0x40, {warnVertex}},
        {0, 0, 0, 0x20, {warnSoftware, warnVertex, warnPixel}},
        // Compared as unsigned: a version token with the top bit set is not
        // "negative", and a stray small number is below 2.0.
        {tl, 0xFFFFFFFF, 0x00000300, 0x40, {warnPixel}},
    };
    for (const Case& c : cases) {
        const CapabilityDecision decision = DecideCapabilities(c.devCaps, c.vs, c.ps);
        EXPECT_EQ(decision.behaviorFlags, c.flags) << std::hex << c.devCaps;
        const std::vector<std::string> warnings(decision.warnings.begin(), decision.warnings.end());
        EXPECT_EQ(warnings, c.warnings) << std::hex << c.devCaps << " " << c.vs << " " << c.ps;
    }
}

TEST(PresentParameters, EveryFieldOfTheRecord) {
    const D3DPRESENT_PARAMETERS p = MakePresentParameters(800, 600, fake::window);
    EXPECT_EQ(p.BackBufferWidth, 800u);
    EXPECT_EQ(p.BackBufferHeight, 600u);
    EXPECT_EQ(p.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(p.BackBufferCount, 2u);
    EXPECT_EQ(p.MultiSampleType, D3DMULTISAMPLE_NONE);
    EXPECT_EQ(p.MultiSampleQuality, 0u);
    EXPECT_EQ(p.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_EQ(p.hDeviceWindow, fake::window);
    EXPECT_EQ(p.Windowed, TRUE);
    EXPECT_EQ(p.EnableAutoDepthStencil, FALSE);
    EXPECT_EQ(p.AutoDepthStencilFormat, D3DFMT_UNKNOWN);
    EXPECT_EQ(p.Flags, 0u);
    EXPECT_EQ(p.FullScreen_RefreshRateInHz, 0u);
    EXPECT_EQ(p.PresentationInterval, static_cast<UINT>(D3DPRESENT_INTERVAL_ONE));

    const D3DPRESENT_PARAMETERS negative = MakePresentParameters(-3, -1, nullptr);
    EXPECT_EQ(negative.BackBufferWidth, 0xFFFFFFFDu);
    EXPECT_EQ(negative.BackBufferHeight, 0xFFFFFFFFu);
}

TEST_F(DeviceTest, WarningsComeInOrderBeforeTheDeviceWithOneFlag) {
    fake::script.caps.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    fake::script.caps.VertexShaderVersion = D3DVS_VERSION(1, 1);
    fake::script.caps.PixelShaderVersion = D3DPS_VERSION(1, 4);
    settings.width = 800;
    settings.height = 600;
    ASSERT_TRUE(CreateGraphicsDevice());
    const std::vector<std::string> expected = {
        "Direct3DCreate9(32)",
        "direct3d.GetDeviceCaps(0,1)",
        std::string("MessageBoxA(null,") + warnVertex + ",Warning,0x30)",
        std::string("MessageBoxA(null,") + warnPixel + ",Warning,0x30)",
        "direct3d.CreateDevice(0,1,window,0x40)",
    };
    EXPECT_EQ(fake::calls, expected);
    EXPECT_EQ(fake::NameOf(direct3d), "direct3d");
    EXPECT_EQ(fake::NameOf(device), "device");
    EXPECT_EQ(fake::lastPresentParameters.BackBufferWidth, 800u);
    EXPECT_EQ(fake::lastPresentParameters.BackBufferHeight, 600u);
    EXPECT_EQ(fake::lastPresentParameters.hDeviceWindow, fake::window);
}

TEST_F(DeviceTest, CapsLeftUntouchedReadAsNoCapabilities) {
    // Stale capabilities from before must not count: the record is zeroed
    // before the query, which here writes nothing.
    deviceCaps.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    deviceCaps.VertexShaderVersion = 0xFFFE0300;
    deviceCaps.PixelShaderVersion = 0xFFFF0300;
    fake::script.capsUntouched = true;
    ASSERT_TRUE(CreateGraphicsDevice());
    ASSERT_EQ(fake::messageBoxes.size(), 3u);
    EXPECT_EQ(fake::messageBoxes[0].text, warnSoftware);
    EXPECT_EQ(fake::messageBoxes[1].text, warnVertex);
    EXPECT_EQ(fake::messageBoxes[2].text, warnPixel);
    for (const fake::ShownBox& box : fake::messageBoxes) {
        EXPECT_EQ(box.owner, nullptr);
        EXPECT_EQ(box.caption, "Warning");
        EXPECT_EQ(box.type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
    }
    EXPECT_EQ(fake::calls.back(), "direct3d.CreateDevice(0,1,window,0x20)");
}

TEST_F(DeviceTest, FailureShowsTheSizeReleasesAllAndReturnsFalse) {
    struct Case {
        const char* what;
        bool direct3dFails;
        HRESULT createResult;
        bool givesNothing;
    };
    const Case cases[] = {
        {"no Direct3D", true, D3D_OK, false},
        {"CreateDevice fails", false, D3DERR_INVALIDCALL, false},
        {"CreateDevice gives no device", false, D3D_OK, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake::Reset();
        fake::script.caps.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
        fake::script.caps.VertexShaderVersion = 0xFFFE0200;
        fake::script.caps.PixelShaderVersion = 0xFFFF0200;
        fake::script.direct3dFails = c.direct3dFails;
        fake::script.createDeviceResult = c.createResult;
        fake::script.createDeviceGivesNothing = c.givesNothing;
        settings.width = -3;
        settings.height = 1200;

        EXPECT_FALSE(CreateGraphicsDevice());
        ASSERT_EQ(fake::messageBoxes.size(), 1u);
        EXPECT_EQ(fake::messageBoxes[0].owner, nullptr);
        EXPECT_EQ(fake::messageBoxes[0].text, DeviceErrorText(-3, 1200));
        EXPECT_NE(fake::messageBoxes[0].text.find("-3 x 1200"), std::string::npos);
        EXPECT_EQ(fake::messageBoxes[0].caption, "Error");
        EXPECT_EQ(fake::messageBoxes[0].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
        EXPECT_EQ(direct3d, nullptr);
        EXPECT_EQ(device, nullptr);
        ExpectAllReleasedOnce();

        // The driver's shutdown after a failed start-up finds nothing left.
        const size_t callsBefore = fake::calls.size();
        ReleaseGraphics();
        EXPECT_EQ(fake::calls.size(), callsBefore);
    }
}

TEST_F(DeviceTest, ReleaseOrderWithBothSlidesLoadedAndWithNextEmpty) {
    for (const bool nextLoaded : {true, false}) {
        SCOPED_TRACE(nextLoaded ? "both loaded" : "next empty");
        fake::Reset();
        ASSERT_TRUE(CreateGraphicsDevice());
        CreateSlideQuad(currentSlide);
        CreateSlideQuad(nextSlide);
        currentSlide.texture = fake::NewTexture("a", 64, 64);
        currentSlide.surface = fake::NewSurface("surf-a");
        currentSlide.loaded = true;
        if (nextLoaded) {
            nextSlide.texture = fake::NewTexture("b", 64, 64);
            nextSlide.surface = fake::NewSurface("surf-b");
            nextSlide.loaded = true;
        }
        fake::calls.clear();

        ReleaseGraphics();
        std::vector<std::string> expected = {"surf-a.Release()", "tex1.Release()"};
        if (nextLoaded) {
            expected.push_back("surf-b.Release()");
            expected.push_back("tex2.Release()");
        }
        for (const char* rest :
             {"vb1.Release()", "vb2.Release()", "device.Release()", "direct3d.Release()"}) {
            expected.push_back(rest);
        }
        EXPECT_EQ(fake::calls, expected);
        EXPECT_FALSE(currentSlide.loaded);
        EXPECT_FALSE(nextSlide.loaded);
        EXPECT_EQ(currentSlide.texture, nullptr);
        EXPECT_EQ(currentSlide.surface, nullptr);
        EXPECT_EQ(nextSlide.vertexBuffer, nullptr);
        ExpectAllReleasedOnce();

        fake::calls.clear();
        ReleaseGraphics();
        EXPECT_TRUE(fake::calls.empty());
    }
}

} // namespace
