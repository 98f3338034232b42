// Textures sized from the file need only cover the device's back buffer: a
// JPEG decoded at a DCT scale, other images reduced once when far larger.
#include "fake_device.h"
#include "image_files.h"
#include "platform/d3dx9/decoders.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(D3dxCover, JpegScaleIsTheSmallestThatCovers) {
    struct Case {
        UINT width, height, coverWidth, coverHeight;
        int num, denom;
        UINT scaledWidth, scaledHeight;
    };
    const Case cases[] = {
        {6000, 4000, 1920, 1200, 3, 8, 2250, 1500}, // the 24-megapixel photo
        {4000, 3000, 1920, 1200, 1, 2, 2000, 1500}, // 3/8 would be 1500 wide
        {3840, 2400, 1920, 1200, 1, 2, 1920, 1200}, // meeting the cover exactly covers it
        {6001, 4001, 1920, 1200, 3, 8, 2251, 1501}, // scaled sides round up
        {16000, 9000, 1920, 1200, 1, 4, 4000, 2250},
        {16000, 10000, 1920, 1200, 1, 8, 2000, 1250},
        {12000, 2000, 1920, 1200, 5, 8, 7500, 1250},  // a panorama: its height decides
        {2000, 12000, 1920, 1200, 1, 1, 2000, 12000}, // too narrow to reduce at all
        {1920, 1201, 1920, 1200, 1, 1, 1920, 1201},
        {1000, 800, 1920, 1200, 1, 1, 1000, 800}, // smaller than the back buffer
        {4000, 3000, 640, 480, 1, 4, 1000, 750},
        {12000, 9000, 1920, 1200, 1, 4, 3000, 2250},
        {30000, 4000, 1920, 1200, 3, 8, 11250, 1500}, // a panorama, 3/8 within the bound
        {65500, 2000, 1920, 1200, 1, 4, 16375, 500},  // 5/8 covers but is beyond 16384 wide
        {65500, 65500, 1920, 1200, 1, 8, 8188, 8188}, // the format's limit, just within
    };
    for (const Case& c : cases) {
        const JpegScale scale = ChooseJpegScale(c.width, c.height, c.coverWidth, c.coverHeight);
        EXPECT_EQ(scale.num * c.denom, c.num * scale.denom) << c.width << "x" << c.height;
        EXPECT_EQ(scale.width, c.scaledWidth) << c.width << "x" << c.height;
        EXPECT_EQ(scale.height, c.scaledHeight) << c.width << "x" << c.height;
    }
}

TEST(D3dxCover, CoveringSizeKeepsProportionsAndCovers) {
    struct Case {
        UINT width, height, coverWidth, coverHeight, expectedWidth, expectedHeight;
    };
    const Case cases[] = {
        {3840, 2160, 1920, 1200, 2134, 1200}, // 4K: the height meets its cover
        {8000, 6000, 1920, 1200, 1920, 1440}, // 4:3: the width does
        {3840, 2400, 1920, 1200, 1920, 1200},
        {4000, 1000, 1920, 1200, 4000, 1000}, // not taller than the cover
        {1000, 800, 1920, 1200, 1000, 800},
    };
    for (const Case& c : cases) {
        UINT width = 0, height = 0;
        CoveringSize(c.width, c.height, c.coverWidth, c.coverHeight, width, height);
        EXPECT_EQ(width, c.expectedWidth) << c.width << "x" << c.height;
        EXPECT_EQ(height, c.expectedHeight) << c.width << "x" << c.height;
    }
}

// Four flat quadrants, their edges on JPEG block boundaries.
Image Quadrants(UINT width, UINT height) {
    Image image = FlatImage(width, height, 0);
    const uint32_t colours[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00};
    for (UINT y = 0; y < height; ++y)
        for (UINT x = 0; x < width; ++x)
            image.argb[size_t{y} * width + x] = colours[(y >= height / 2) * 2 + (x >= width / 2)];
    return image;
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) -
                     static_cast<int>((b >> shift) & 0xFF)) > tolerance)
            return false;
    }
    return true;
}

// The whole image is in the texture: each quadrant's colour near each of its
// outer corners and at its middle.
void ExpectQuadrants(const FakeTexture& texture, const Image& image, int tolerance) {
    const UINT w = texture.width, h = texture.height;
    const UINT xs[2][2] = {{1, w / 4}, {w - 2, 3 * w / 4}};
    const UINT ys[2][2] = {{1, h / 4}, {h - 2, 3 * h / 4}};
    for (int qy = 0; qy < 2; ++qy)
        for (int qx = 0; qx < 2; ++qx) {
            const uint32_t expected = image.At(qx * (image.width - 1), qy * (image.height - 1));
            for (int k = 0; k < 2; ++k) {
                const uint32_t got = texture.At(xs[qx][k], ys[qy][k]);
                EXPECT_TRUE(Near(got, expected, tolerance))
                    << std::hex << got << " for " << expected << " at " << std::dec << xs[qx][k]
                    << "," << ys[qy][k];
            }
        }
}

TEST(D3dxCover, ReducedTextureHoldsTheWholeImageAtItsProportions) {
    TempFolder folder;
    FakeDevice device;
    device.backBuffer.width = 160;
    device.backBuffer.height = 100;
    FakeTexture* texture = nullptr;
    D3DXIMAGE_INFO info{};

    // A JPEG comes out of the DCT at 3/8, covering 160 × 100.
    const Image photo = Quadrants(480, 320);
    const std::string jpeg = folder.Write("photo.jpg", JpegFile(photo, false));
    ASSERT_EQ(LoadTexture(device, jpeg, &texture, &info), D3D_OK);
    EXPECT_EQ(info.Width, 480u); // the stored size, for the fit
    EXPECT_EQ(info.Height, 320u);
    EXPECT_EQ(texture->width, 180u);
    EXPECT_EQ(texture->height, 120u);
    EXPECT_EQ(texture->format, D3DFMT_X8R8G8B8);
    ExpectQuadrants(*texture, photo, 12);
    EXPECT_EQ(texture->At(90, 60) >> 24, 0xFFu);
    texture->Release();

    // Another format at 16 times its covering size is filtered down to it.
    const Image screen = Quadrants(400, 300);
    const std::string png = folder.Write("screen.png", PngFile(screen, false));
    ASSERT_EQ(LoadTexture(device, png, &texture, &info), D3D_OK);
    EXPECT_EQ(info.Width, 400u);
    EXPECT_EQ(texture->width, 160u);
    EXPECT_EQ(texture->height, 120u);
    ExpectQuadrants(*texture, screen, 0);
    texture->Release();

    // A PNG beyond the bound (20000 wide) is reduced to its covering size
    // row by row as it is read, box by box: the quadrants stay exact.
    const Image wide = Quadrants(20000, 400);
    const std::string panorama = folder.Write("panorama.png", PngFile(wide, false));
    ASSERT_EQ(LoadTexture(device, panorama, &texture, &info), D3D_OK);
    EXPECT_EQ(info.Width, 20000u);
    EXPECT_EQ(texture->width, 4096u); // covering is 5000 x 100; the device allows 4096
    EXPECT_EQ(texture->height, 82u);
    ExpectQuadrants(*texture, wide, 0);
    texture->Release();

    // Less than twice its covering size: kept whole, no second pass.
    const std::string near = folder.Write("near.png", PngFile(NoiseImage(200, 130), false));
    ASSERT_EQ(LoadTexture(device, near, &texture), D3D_OK);
    EXPECT_EQ(texture->width, 200u);
    EXPECT_EQ(texture->height, 130u);
    texture->Release();

    // A size the caller asks for is the size made, whatever the back buffer.
    ASSERT_EQ(LoadTexture(device, jpeg, &texture, nullptr, 64, 64), D3D_OK);
    EXPECT_EQ(texture->width, 64u);
    EXPECT_EQ(texture->height, 64u);
    ExpectQuadrants(*texture, photo, 12);
    texture->Release();

    // The device's limit still bounds what covers the back buffer.
    device.maxTextureWidth = device.maxTextureHeight = 90;
    ASSERT_EQ(LoadTexture(device, jpeg, &texture), D3D_OK);
    EXPECT_EQ(texture->width, 90u);
    EXPECT_EQ(texture->height, 60u);
    ExpectQuadrants(*texture, photo, 12);
    texture->Release();
    EXPECT_EQ(device.texturesAlive, 0);
}

} // namespace
