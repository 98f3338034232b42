// The texture made from an image: its size against the device's limits and
// the caller's request, the filter that gets it there, its format, the
// colour key, and Windows-style paths.
#include "fake_device.h"
#include "image_files.h"

#include <gtest/gtest.h>

namespace {

TEST(D3dxTexture, ReducedToTheDeviceLimitKeepingProportionsAndAveraging) {
    TempFolder folder;
    // One-pixel black and white columns, the left half of the rows red
    // below: point sampling would give pure black or white, not grey.
    Image image = FlatImage(256, 128, 0xFFFF0000);
    for (UINT y = 0; y < 64; ++y)
        for (UINT x = 0; x < 256; ++x)
            image.argb[y * 256 + x] = x % 2 ? 0xFFFFFFFF : 0xFF000000;
    for (UINT y = 64; y < 128; ++y)
        for (UINT x = 128; x < 256; ++x)
            image.argb[y * 256 + x] = 0xFF0000FF;
    const std::string path = folder.Write("wide.png", PngFile(image, false));
    FakeDevice device;
    device.maxTextureWidth = device.maxTextureHeight = 64;
    FakeTexture* texture = nullptr;
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(LoadTexture(device, path, &texture, &info), D3D_OK);
    EXPECT_EQ(info.Width, 256u); // the file's size, for the fit
    EXPECT_EQ(info.Height, 128u);
    ASSERT_EQ(texture->width, 64u);
    ASSERT_EQ(texture->height, 32u);
    for (UINT x = 2; x < 62; x += 7) {
        const uint32_t grey = texture->At(x, 4);
        EXPECT_NEAR(grey & 0xFF, 128, 2) << x;
        EXPECT_EQ(grey >> 24, 0xFFu);
        EXPECT_EQ(texture->At(x, 28), x < 32 ? 0xFFFF0000u : 0xFF0000FFu) << x;
    }
    texture->Release();

    // A tall image against a narrow limit: 30 × 90 into 16 × 16 is 5 × 16.
    const std::string tall = folder.Write("tall.bmp", BmpFile(NoiseImage(30, 90), 24, false));
    device.maxTextureWidth = device.maxTextureHeight = 16;
    ASSERT_EQ(LoadTexture(device, tall, &texture), D3D_OK);
    EXPECT_EQ(texture->width, 5u);
    EXPECT_EQ(texture->height, 16u);
    texture->Release();
}

TEST(D3dxTexture, RequestedSizesAndFormats) {
    TempFolder folder;
    const std::string flat =
        folder.Write("flat.tga", TgaFile(FlatImage(4, 4, 0x80336699), 32, false));
    FakeDevice device;
    FakeTexture* texture = nullptr;
    // An explicit size, larger than the image: still one colour throughout.
    ASSERT_EQ(LoadTexture(device, flat, &texture, nullptr, 10, 7), D3D_OK);
    EXPECT_EQ(texture->width, 10u);
    EXPECT_EQ(texture->height, 7u);
    EXPECT_EQ(texture->format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(texture->At(0, 0), 0x80336699u);
    EXPECT_EQ(texture->At(9, 6), 0x80336699u);
    texture->Release();
    // The other "from the file" sizes, and an opaque format asked for an
    // image with alpha.
    ASSERT_EQ(LoadTexture(device, flat, &texture, nullptr, D3DX_DEFAULT_NONPOW2, D3DX_FROM_FILE,
                          D3DFMT_X8R8G8B8),
              D3D_OK);
    EXPECT_EQ(texture->width, 4u);
    EXPECT_EQ(texture->height, 4u);
    EXPECT_EQ(texture->format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(texture->At(2, 2), 0xFF336699u);
    texture->Release();
    // An alpha format for an opaque image: alpha is full.
    const std::string jpeg = folder.Write("flat.jpg", JpegFile(FlatImage(8, 8, 0xFF808080), false));
    ASSERT_EQ(LoadTexture(device, jpeg, &texture, nullptr, 0, 0, D3DFMT_A8R8G8B8), D3D_OK);
    EXPECT_EQ(texture->format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(texture->At(5, 5) >> 24, 0xFFu);
    texture->Release();
    EXPECT_EQ(device.texturesAlive, 0);
}

TEST(D3dxTexture, ColourKeyBecomesTransparentBlack) {
    TempFolder folder;
    Image image = FlatImage(3, 1, 0xFF00FF00);
    image.argb[1] = 0xFFFF00FF;
    const std::string path = folder.Write("keyed.ppm", PnmFile(image, false, 255));
    FakeDevice device;
    FakeTexture* texture = nullptr;
    ASSERT_EQ(LoadTexture(device, path, &texture, nullptr, D3DX_DEFAULT, D3DX_DEFAULT,
                          D3DFMT_A8R8G8B8, 0xFFFF00FF),
              D3D_OK);
    EXPECT_EQ(texture->At(0, 0), 0xFF00FF00u);
    EXPECT_EQ(texture->At(1, 0), 0x00000000u);
    texture->Release();
}

TEST(D3dxTexture, WindowsStylePathsFindTheFile) {
    TempFolder folder;
    folder.Write("Pics/Holiday/Beach.PNG", PngFile(NoiseImage(5, 2), false));
    const std::string windowsPath = folder.Path() + "\\pics\\HOLIDAY\\beach.png";
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3DXGetImageInfoFromFileA(windowsPath.c_str(), &info), D3D_OK);
    EXPECT_EQ(info.Width, 5u);
    FakeDevice device;
    FakeTexture* texture = nullptr;
    ASSERT_EQ(LoadTexture(device, windowsPath, &texture), D3D_OK);
    texture->Release();
}

} // namespace
