// The slides: the fit, the quads, the walk over the playlist and the images
// moving from nextSlide to currentSlide.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "render/crossfade.h"
#include "render_test.h"

namespace {

using SlidesTest = RenderTest;

std::array<SlideVertex, 4> QuadOf(const Slide& slide) {
    std::array<SlideVertex, 4> quad;
    std::memcpy(quad.data(), fake::BytesOf(slide.vertexBuffer), quadBytes);
    return quad;
}

// Positions, depth, colours and texture coordinates of a quad with the
// given edges, as the slides write it.
void ExpectQuad(const Slide& slide, float left, float top, float right, float bottom) {
    const std::array<SlideVertex, 4> quad = QuadOf(slide);
    const float xs[4] = {left, right, left, right};
    const float ys[4] = {top, top, bottom, bottom};
    const DWORD colours[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00};
    const float us[4] = {0, 1, 0, 1};
    const float vs[4] = {0, 0, 1, 1};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(quad[i].x, xs[i]);
        EXPECT_EQ(quad[i].y, ys[i]);
        EXPECT_EQ(quad[i].z, 0.5f);
        EXPECT_EQ(quad[i].rhw, 1.0f);
        EXPECT_EQ(quad[i].diffuse, colours[i]);
        EXPECT_EQ(quad[i].u, us[i]);
        EXPECT_EQ(quad[i].v, vs[i]);
    }
}

std::vector<std::string> SortedNames(const std::vector<std::string>& paths) {
    std::vector<std::string> names;
    for (const std::string& path : paths) {
        names.push_back(path.substr(path.find_last_of("\\/") + 1));
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FitQuadEdges, TableOfFitsAndTheEmptyClientArea) {
    struct Row {
        UINT w, h;
        int32_t cw, ch, bw, bh;
        float left, right, top, bottom;
    };
    // 106.666626 is the single-precision left edge of the worked example,
    // 106.66663 to eight digits.
    const Row rows[] = {
        {1600, 1200, 600, 400, 1920, 1200, 106.666626f, 1813.3334f, 0, 1200},
        {1000, 250, 600, 400, 1920, 1200, 0, 1920, 375, 825},
        {1200, 1600, 600, 400, 1920, 1200, 480, 1440, 0, 1200},
        {600, 400, 600, 400, 1920, 1200, 0, 1920, 0, 1200},
        {1024, 768, 1280, 1024, 1920, 1200, 0, 1920, 37.5f, 1162.5f},
        {800, 600, 800, 600, 800, 600, 0, 800, 0, 600},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.w) + "x" + std::to_string(r.h) + " in " +
                     std::to_string(r.cw) + "x" + std::to_string(r.ch));
        const QuadEdges e = FitQuadEdges(r.w, r.h, r.cw, r.ch, r.bw, r.bh);
        EXPECT_EQ(e.left, r.left);
        EXPECT_EQ(e.right, r.right);
        EXPECT_EQ(e.top, r.top);
        EXPECT_EQ(e.bottom, r.bottom);
    }

    // A minimised window: both ratios are not numbers, and neither is any edge.
    const QuadEdges minimised = FitQuadEdges(1600, 1200, 0, 0, 1920, 1200);
    EXPECT_TRUE(std::isnan(minimised.left));
    EXPECT_TRUE(std::isnan(minimised.right));
    EXPECT_TRUE(std::isnan(minimised.top));
    EXPECT_TRUE(std::isnan(minimised.bottom));
}

TEST_F(SlidesTest, CreateSlideQuadWritesAZeroSizeQuadInOneLock) {
    device = fake::NewDevice();
    CreateSlideQuad(currentSlide);
    const std::vector<std::string> expected = {
        "device.CreateVertexBuffer(112,0x200,0x144,0,null)",
        "vb1.Lock(0,112,0x0)",
        "vb1.Unlock()",
    };
    EXPECT_EQ(fake::calls, expected);
    ExpectQuad(currentSlide, 0, 0, 0, 0);

    // Without a buffer the slide has no quad: nothing is locked, and a fit
    // only records the client size.
    fake::calls.clear();
    fake::script.vertexBufferFails = true;
    CreateSlideQuad(nextSlide);
    EXPECT_EQ(nextSlide.vertexBuffer, nullptr);
    nextSlide.loaded = true;
    nextSlide.imageInfo.Width = 10;
    nextSlide.imageInfo.Height = 10;
    FitSlideQuad(nextSlide);
    const std::vector<std::string> onlyCreate = {
        "device.CreateVertexBuffer(112,0x200,0x144,0,null)",
        "GetClientRect(window)",
    };
    EXPECT_EQ(fake::calls, onlyCreate);
}

TEST_F(SlidesTest, FitRecordsTheClientSizeAndRewritesOnlyLoadedQuads) {
    // Before the device exists: only the client size.
    fake::script.clientRect = {0, 0, 800, 500};
    FitSlideQuad(currentSlide);
    EXPECT_EQ(clientSize.width, 800);
    EXPECT_EQ(clientSize.height, 500);
    fake::script.clientRectFails = true;
    FitSlideQuad(currentSlide);
    EXPECT_EQ(clientSize.width, 0);
    EXPECT_EQ(clientSize.height, 0);
    EXPECT_EQ(fake::calls, std::vector<std::string>(2, "GetClientRect(window)"));
    fake::script.clientRectFails = false;

    // A quad without an image is left alone.
    device = fake::NewDevice();
    CreateSlideQuad(currentSlide);
    currentSlide.imageInfo.Width = 1600;
    currentSlide.imageInfo.Height = 1200;
    fake::script.clientRect = {0, 0, 600, 400};
    fake::calls.clear();
    FitSlideQuad(currentSlide);
    EXPECT_EQ(fake::calls, std::vector<std::string>{"GetClientRect(window)"});
    ExpectQuad(currentSlide, 0, 0, 0, 0);

    // With an image: the worked example, written in one lock with flags 0.
    currentSlide.loaded = true;
    fake::calls.clear();
    FitSlideQuad(currentSlide);
    const std::vector<std::string> fit = {"GetClientRect(window)", "vb1.Lock(0,112,0x0)",
                                          "vb1.Unlock()"};
    EXPECT_EQ(fake::calls, fit);
    ExpectQuad(currentSlide, 106.666626f, 0, 1813.3334f, 1200);

    // A failed lock keeps the previous quad.
    fake::ObjectOf(currentSlide.vertexBuffer)->failNext = true;
    fake::script.clientRect = {0, 0, 1000, 250};
    fake::calls.clear();
    FitSlideQuad(currentSlide);
    EXPECT_EQ(fake::Count("Unlock"), 0);
    ExpectQuad(currentSlide, 106.666626f, 0, 1813.3334f, 1200);
    fake::ObjectOf(currentSlide.vertexBuffer)->failNext = false;

    // Minimised: NaN edges until the restore refits.
    fake::script.clientRect = {0, 0, 0, 0};
    FitSlideQuad(currentSlide);
    for (const SlideVertex& v : QuadOf(currentSlide)) {
        EXPECT_TRUE(std::isnan(v.x) && std::isnan(v.y));
    }
    fake::script.clientRect = {0, 0, 1200, 900};
    FitSlideQuad(currentSlide);
    ExpectQuad(currentSlide, 0, 0, 1920, 1200);
    EXPECT_TRUE(fake::faults.empty()) << ::testing::PrintToString(fake::faults);
}

TEST_F(SlidesTest, WalkSkipsUnreadableUndecodableAndNonFlatImages) {
    for (const char* name :
         {"broken.jpg", "cube.dds", "volume.dds", "nodecode.png", "good_1600x1200.jpg"}) {
        AddFile(name);
    }
    device = fake::NewDevice();
    CreateSlideQuad(currentSlide);
    CreateSlideQuad(nextSlide);
    Playlist = {PathOf("broken.jpg"), PathOf("missing.jpg"),  PathOf("cube.dds"),
                PathOf("volume.dds"), PathOf("nodecode.png"), PathOf("good_1600x1200.jpg"),
                PathOf("broken.jpg")};
    fake::calls.clear();

    LoadNextSlide();
    const std::string decodeArgs = ",0xffffffff,0xffffffff,1,0,0,1,0xf0004,0x1,0x0,null,null)";
    const std::vector<std::string> expected = {
        "D3DXGetImageInfoFromFileA(broken.jpg)",
        "D3DXGetImageInfoFromFileA(missing.jpg)",
        "D3DXGetImageInfoFromFileA(cube.dds)",
        "D3DXGetImageInfoFromFileA(volume.dds)",
        "D3DXGetImageInfoFromFileA(nodecode.png)",
        "D3DXCreateTextureFromFileExA(device,nodecode.png" + decodeArgs,
        "D3DXGetImageInfoFromFileA(good_1600x1200.jpg)",
        "D3DXCreateTextureFromFileExA(device,good_1600x1200.jpg" + decodeArgs,
        "tex1.GetSurfaceLevel(0)",
        "surf1.GetDesc()",
        "GetClientRect(window)",
        "vb2.Lock(0,112,0x0)",
        "vb2.Unlock()",
    };
    EXPECT_EQ(fake::calls, expected);
    EXPECT_EQ(playlistCursor, 6);
    EXPECT_EQ(Playlist.size(), 7u); // not rebuilt: the last entry was not tried
    EXPECT_TRUE(nextSlide.loaded);
    EXPECT_EQ(fake::FileOf(nextSlide.texture), "good_1600x1200.jpg");
    EXPECT_EQ(fake::NameOf(nextSlide.surface), "surf1");
    EXPECT_EQ(nextSlide.imageInfo.Width, 1600u);
    EXPECT_EQ(nextSlide.imageInfo.Height, 1200u);
    EXPECT_EQ(nextSlide.surfaceDesc.Width, 2048u); // the texture's size, not the image's
    ExpectQuad(nextSlide, 106.666626f, 0, 1813.3334f, 1200);

    // The advance tries the last entry, has the folder read again straight
    // away and goes on in the fresh list until the good file loads again.
    AdvanceSlide();
    EXPECT_EQ(fake::FileOf(currentSlide.texture), "good_1600x1200.jpg");
    EXPECT_EQ(fake::FileOf(nextSlide.texture), "good_1600x1200.jpg");
    EXPECT_NE(currentSlide.texture, nextSlide.texture);
    EXPECT_EQ(SortedNames(Playlist), SortedNames({"broken.jpg", "cube.dds", "good_1600x1200.jpg",
                                                  "nodecode.png", "volume.dds"}));
    EXPECT_TRUE(fake::faults.empty()) << ::testing::PrintToString(fake::faults);
}

TEST_F(SlidesTest, ImagesMoveToCurrentAndAreReleasedExactlyOnce) {
    for (const char* name :
         {"good_800x600.jpg", "good_600x800.png", "good_1000x250.bmp", "broken.tga"}) {
        AddFile(name);
    }
    StartShow();
    for (int i = 0; i < 7; ++i) {
        DrawCrossfadeFrame(0.25f);
        IDirect3DTexture9* const incoming = nextSlide.texture;
        AdvanceSlide();
        ASSERT_NE(incoming, nullptr);
        EXPECT_EQ(currentSlide.texture, incoming);
        EXPECT_NE(nextSlide.texture, nullptr);
        EXPECT_NE(nextSlide.texture, currentSlide.texture);
        EXPECT_NE(nextSlide.surface, currentSlide.surface);
    }
    DrawCrossfadeFrame(0.5f);
    ReleaseGraphics();
    EXPECT_EQ(fake::Count("D3DXCreateTextureFromFileExA"), 9);
    ExpectAllReleasedOnce();
}

TEST_F(SlidesTest, NextSlideGivesUpMovedImagesWhenTheWalkLoadsNothing) {
    AddFile("good_800x600.jpg");
    AddFile("broken.jpg");
    StartShow();
    ASSERT_TRUE(currentSlide.loaded);
    ASSERT_TRUE(nextSlide.loaded);
    IDirect3DTexture9* const moving = nextSlide.texture;

    // The only good file goes away: the next walk loads nothing.
    RemoveFile("good_800x600.jpg");
    AdvanceSlide();
    EXPECT_EQ(currentSlide.texture, moving);
    EXPECT_TRUE(currentSlide.loaded);
    EXPECT_EQ(nextSlide.texture, nullptr);
    EXPECT_EQ(nextSlide.surface, nullptr);
    EXPECT_FALSE(nextSlide.loaded);
    ExpectQuad(nextSlide, 0, 0, 0, 0); // covers no pixel on any driver
    fake::calls.clear();
    DrawCrossfadeFrame(0.5f);
    EXPECT_EQ(fake::Matching("device.SetTexture"),
              (std::vector<std::string>{"device.SetTexture(0," + fake::NameOf(moving) + ")",
                                        "device.SetTexture(0,null)"}));

    // The next advance releases the image once and leaves both slides empty.
    fake::calls.clear();
    AdvanceSlide();
    EXPECT_EQ(fake::Count(fake::NameOf(moving) + ".Release()"), 1);
    EXPECT_EQ(currentSlide.texture, nullptr);
    EXPECT_FALSE(currentSlide.loaded);
    ExpectQuad(currentSlide, 0, 0, 0, 0);
    DrawCrossfadeFrame(0.5f);
    AdvanceSlide();
    DrawCrossfadeFrame(0.75f);
    ReleaseGraphics();
    ExpectAllReleasedOnce();
}

TEST_F(SlidesTest, AWalkThatLoadsNothingEndsAndALaterGoodFileIsShown) {
    for (const char* name : {"broken1.jpg", "broken2.png", "cube.dds"}) {
        AddFile(name);
    }
    device = fake::NewDevice();
    CreateSlideQuad(currentSlide);
    CreateSlideQuad(nextSlide);
    BuildPlaylist();
    ASSERT_EQ(Playlist.size(), 3u);

    // Starting partway: the rest of this list, then the whole fresh one.
    playlistCursor = 1;
    fake::calls.clear();
    LoadNextSlide();
    EXPECT_EQ(fake::Count("D3DXGetImageInfoFromFileA"), 2 + 3);
    EXPECT_FALSE(nextSlide.loaded);
    EXPECT_EQ(nextSlide.texture, nullptr);
    EXPECT_EQ(playlistCursor, 0);

    // Starting at the first entry: one whole pass.
    fake::calls.clear();
    LoadNextSlide();
    EXPECT_EQ(fake::Count("D3DXGetImageInfoFromFileA"), 3);

    // A good image arrives. The next advance walks the list it has, reads
    // the folder again at its end and gives up; the one after finds it.
    AddFile("good_640x480.jpg");
    AdvanceSlide();
    EXPECT_FALSE(nextSlide.loaded);
    EXPECT_EQ(Playlist.size(), 4u);
    AdvanceSlide();
    EXPECT_TRUE(nextSlide.loaded);
    EXPECT_EQ(fake::FileOf(nextSlide.texture), "good_640x480.jpg");
    AdvanceSlide();
    EXPECT_EQ(fake::FileOf(currentSlide.texture), "good_640x480.jpg");
    fake::script.clientRect = {0, 0, 640, 480};
    FitSlideQuad(currentSlide);
    ExpectQuad(currentSlide, 0, 0, 1920, 1200);
    ReleaseGraphics();
    ExpectAllReleasedOnce();
}

TEST_F(SlidesTest, ASingleImageIsDecodedAgainAtEveryAdvance) {
    AddFile("good_1024x768.jpg");
    StartShow();
    for (int i = 0; i < 3; ++i) {
        const std::string old = fake::NameOf(currentSlide.texture);
        fake::calls.clear();
        AdvanceSlide();
        EXPECT_EQ(fake::Count(old + ".Release()"), 1);
        EXPECT_EQ(fake::Count("D3DXGetImageInfoFromFileA(good_1024x768.jpg)"), 1);
        EXPECT_EQ(fake::Count("D3DXCreateTextureFromFileExA(device,good_1024x768.jpg"), 1);
        EXPECT_EQ(playlistCursor, 0);
        EXPECT_EQ(Playlist.size(), 1u);
        EXPECT_TRUE(nextSlide.loaded);
        EXPECT_NE(nextSlide.texture, currentSlide.texture);
    }
    ReleaseGraphics();
    ExpectAllReleasedOnce();
}

TEST_F(SlidesTest, AnEmptyPlaylistEndsTheWalkAtOnce) {
    device = fake::NewDevice();
    CreateSlideQuad(currentSlide);
    CreateSlideQuad(nextSlide);
    BuildPlaylist();
    ASSERT_TRUE(Playlist.empty());
    AddFile("good_640x480.jpg"); // not seen: the list is never rebuilt
    fake::calls.clear();
    LoadNextSlide();
    AdvanceSlide();
    EXPECT_EQ(fake::Count("D3DX"), 0);
    EXPECT_TRUE(Playlist.empty());
    EXPECT_FALSE(currentSlide.loaded);
    EXPECT_FALSE(nextSlide.loaded);
    ExpectQuad(currentSlide, 0, 0, 0, 0);
    ExpectQuad(nextSlide, 0, 0, 0, 0);
}

TEST_F(SlidesTest, ALoadWithoutASurfaceStillCounts) {
    AddFile("good_600x400.jpg");
    device = fake::NewDevice();
    CreateSlideQuad(currentSlide);
    CreateSlideQuad(nextSlide);
    BuildPlaylist();
    nextSlide.surfaceDesc.Width = 7;
    fake::script.surfaceLevelFails = true;
    LoadNextSlide();
    EXPECT_TRUE(nextSlide.loaded);
    EXPECT_NE(nextSlide.texture, nullptr);
    EXPECT_EQ(nextSlide.surface, nullptr);
    EXPECT_EQ(nextSlide.surfaceDesc.Width, 0u);
    EXPECT_EQ(fake::Count("GetDesc"), 0);
    ExpectQuad(nextSlide, 0, 0, 1920, 1200);
    AdvanceSlide();
    AdvanceSlide();
    ReleaseGraphics();
    ExpectAllReleasedOnce();
}

} // namespace
