// Every format the show accepts: the header read, the decoded pixels, damaged
// and cut-short files, and format detection by content.
#include "fake_device.h"
#include "image_files.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <turbojpeg.h>

namespace {

struct FormatCase {
    const char* name;
    bool alpha;
    Bytes (*make)(const Image&);
    D3DFORMAT format;
    D3DXIMAGE_FILEFORMAT fileFormat;
    int tolerance;           // largest channel difference allowed (lossy JPEG)
    void (*corrupt)(Bytes&); // damages the header or a checked part
};

size_t Find(const Bytes& bytes, std::initializer_list<uint8_t> pattern) {
    return static_cast<size_t>(
        std::search(bytes.begin(), bytes.end(), pattern.begin(), pattern.end()) - bytes.begin());
}

// Damages a JPEG's frame header: 7-bit samples.
void SevenBitSamples(Bytes& jpeg) {
    jpeg[Find(jpeg, {0xFF, 0xC0}) + 4] = 7;
}

const FormatCase kFormats[] = {
    {"photo.bmp", false, [](const Image& i) { return BmpFile(i, 24, false); }, D3DFMT_R8G8B8,
     D3DXIFF_BMP, 0, [](Bytes& b) { b[28] = 7; }},
    {"scan.dib", false, [](const Image& i) { return BmpFile(i, 32, true); }, D3DFMT_X8R8G8B8,
     D3DXIFF_BMP, 0, [](Bytes& b) { b[14] = 41; }},
    {"palette.bmp", false, [](const Image& i) { return BmpFile(i, 8, false); }, D3DFMT_X8R8G8B8,
     D3DXIFF_BMP, 0, [](Bytes& b) { b[28] = 7; }},
    {"os2.bmp", false, [](const Image& i) { return BmpFile(i, 8, false, {.headerSize = 12}); },
     D3DFMT_X8R8G8B8, D3DXIFF_BMP, 0, [](Bytes& b) { b[22] = 2; }}, // two planes
    {"texture.dds", true, DdsA8R8G8B8File, D3DFMT_A8R8G8B8, D3DXIFF_DDS, 0,
     [](Bytes& b) { b[4] = 99; }},
    {"sky.hdr", false, HdrFile, D3DFMT_A32B32G32R32F, D3DXIFF_HDR, 0,
     [](Bytes& b) { b[29] = 'x'; }}, // FORMAT=32-bit_rle_xgbe
    {"photo.jpg", false, [](const Image& i) { return JpegFile(i, false); }, D3DFMT_X8R8G8B8,
     D3DXIFF_JPG, 8, SevenBitSamples},
    {"depth.pfm", false, [](const Image& i) { return PfmFile(i, false, true); },
     D3DFMT_A32B32G32R32F, D3DXIFF_PFM, 0, [](Bytes& b) { b[3] = 'x'; }},
    {"icon.png", false, [](const Image& i) { return PngFile(i, false); }, D3DFMT_X8R8G8B8,
     D3DXIFF_PNG, 0, [](Bytes& b) { b[29] ^= 0xFF; }}, // header checksum
    {"logo.png", true, [](const Image& i) { return PngFile(i, true); }, D3DFMT_A8R8G8B8,
     D3DXIFF_PNG, 0, [](Bytes& b) { b[29] ^= 0xFF; }},
    {"frame.ppm", false, [](const Image& i) { return PnmFile(i, false, 255); }, D3DFMT_X8R8G8B8,
     D3DXIFF_PPM, 0, [](Bytes& b) { b[1] = '7'; }},
    {"shot.tga", false, [](const Image& i) { return TgaFile(i, 24, true); }, D3DFMT_R8G8B8,
     D3DXIFF_TGA, 0, [](Bytes& b) { b[2] = 99; }},
    {"sprite.tga", true, [](const Image& i) { return TgaFile(i, 32, false); }, D3DFMT_A8R8G8B8,
     D3DXIFF_TGA, 0, [](Bytes& b) { b[16] = 33; }},
};

int ChannelDifference(uint32_t a, uint32_t b) {
    int most = 0;
    for (int shift = 0; shift < 32; shift += 8)
        most = std::max(most, std::abs(int((a >> shift) & 255) - int((b >> shift) & 255)));
    return most;
}

// The largest channel difference between the texture and the image, and
// whether the padding past each row is untouched.
int Compare(const FakeTexture& texture, const Image& image) {
    int most = 0;
    for (UINT y = 0; y < image.height; ++y) {
        for (UINT x = 0; x < image.width; ++x)
            most = std::max(most, ChannelDifference(texture.At(x, y), image.At(x, y)));
        if (texture.At(image.width, y) != 0xDEADBEEFu)
            return 256;
    }
    return most;
}

TEST(D3dxDecode, EveryFormatByContent) {
    TempFolder folder;
    for (const FormatCase& c : kFormats) {
        SCOPED_TRACE(c.name);
        const Image image = NoiseImage(150, 20, c.alpha);
        const Bytes file = c.make(image);
        // The same bytes under their own name and under a misleading one.
        for (const std::string& name : {std::string(c.name), std::string("misnamed.jpg.txt")}) {
            const std::string path = folder.Write(name, file);
            D3DXIMAGE_INFO info{};
            ASSERT_EQ(D3DXGetImageInfoFromFileA(path.c_str(), &info), D3D_OK);
            EXPECT_EQ(info.Width, 150u);
            EXPECT_EQ(info.Height, 20u);
            EXPECT_EQ(info.Depth, 1u);
            EXPECT_EQ(info.MipLevels, 1u);
            EXPECT_EQ(info.Format, c.format);
            EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE);
            EXPECT_EQ(info.ImageFileFormat, c.fileFormat);

            FakeDevice device;
            FakeTexture* texture = nullptr;
            D3DXIMAGE_INFO srcInfo{};
            ASSERT_EQ(LoadTexture(device, path, &texture, &srcInfo), D3D_OK);
            EXPECT_EQ(srcInfo.Format, c.format);
            EXPECT_EQ(texture->width, 150u);
            EXPECT_EQ(texture->height, 20u);
            EXPECT_EQ(texture->format, c.alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8);
            EXPECT_EQ(texture->locks, 0);
            EXPECT_LE(Compare(*texture, image), c.tolerance);
            texture->Release();
            EXPECT_EQ(device.texturesAlive, 0);
        }

        Bytes corrupt = file;
        c.corrupt(corrupt);
        const std::string corruptPath = folder.Write("corrupt", corrupt);
        EXPECT_EQ(D3DXGetImageInfoFromFileA(corruptPath.c_str(), nullptr), D3DXERR_INVALIDDATA);
        // Cut in the middle of the pixel data: the header may still read,
        // the decode must not.
        const std::string cutPath =
            folder.Write("cut", Bytes(file.begin(), file.begin() + file.size() / 2));
        for (const std::string& path : {corruptPath, cutPath}) {
            FakeDevice device;
            FakeTexture* texture = nullptr;
            EXPECT_EQ(LoadTexture(device, path, &texture), D3DXERR_INVALIDDATA) << path;
            EXPECT_EQ(device.texturesAlive, 0);
        }
    }
}

// Loads one file and returns its top-left texel, or 0 on failure.
uint32_t FirstTexel(const std::string& path, D3DXIMAGE_INFO* info = nullptr) {
    FakeDevice device;
    FakeTexture* texture = nullptr;
    if (LoadTexture(device, path, &texture, info) != D3D_OK)
        return 0;
    const uint32_t texel = texture->At(0, 0);
    texture->Release();
    return texel;
}

TEST(D3dxDecode, GreyAndSampleDepths) {
    TempFolder folder;
    const Image grey = FlatImage(4, 3, 0xFF808080);
    const Image colour = FlatImage(4, 3, 0xFF40FF80);
    D3DXIMAGE_INFO info{};
    EXPECT_EQ(FirstTexel(folder.Write("g.jpg", JpegFile(grey, true)), &info), 0xFF808080u);
    EXPECT_EQ(info.Format, D3DFMT_L8);
    EXPECT_EQ(FirstTexel(folder.Write("g.pgm", PnmFile(grey, true, 255)), &info), 0xFF808080u);
    EXPECT_EQ(info.Format, D3DFMT_L8);
    EXPECT_EQ(FirstTexel(folder.Write("g.pfm", PfmFile(grey, true, false)), &info), 0xFF808080u);
    EXPECT_EQ(info.Format, D3DFMT_R32F);
    // Samples are scaled from the file's maxval, 16-bit ones too.
    EXPECT_EQ(FirstTexel(folder.Write("15.ppm", PnmFile(colour, false, 15))), 0xFF44FF88u);
    // Plain-text pixmaps and greymaps, with comments and line breaks; a
    // sample that is not a number fails the decode.
    const auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
    EXPECT_EQ(
        FirstTexel(folder.Write("p3.ppm", text("P3\n# by hand\n2 1\n255\n64 255 128\n0 0 0\n"))),
        0xFF40FF80u);
    EXPECT_EQ(FirstTexel(folder.Write("p2.ppm", text("P2 1 1 15\n8\n")), &info), 0xFF888888u);
    EXPECT_EQ(info.Format, D3DFMT_L8);
    EXPECT_EQ(FirstTexel(folder.Write("nan.ppm", text("P3 2 1 255 1 2 3 4 5 x 7"))), 0u);
    EXPECT_EQ(FirstTexel(folder.Write("16.ppm", PnmFile(colour, false, 65535))), 0xFF40FF80u);
    // A 16-bit PNG without colour chunks keeps its stored values, as Windows
    // shows it: not taken as linear light and brightened.
    const Image stored = FlatImage(4, 3, 0xFF4080C0);
    EXPECT_EQ(FirstTexel(folder.Write("16.png", Png16File(stored))), 0xFF4080C0u);
    EXPECT_EQ(FirstTexel(folder.Write("be.pfm", PfmFile(colour, false, false))), 0xFF40FF80u);
    // Bit fields narrower than 8 bits repeat their high bits; wider ones keep
    // their top 8. 1-5-5-5: alpha 1, red 8, green 31, blue 16; 2-10-10-10:
    // alpha 1, red 0x100, green 0x3FF, blue 0x200.
    const Image pixel = FlatImage(1, 1, 0);
    const Bytes argb1555 =
        BmpFile(pixel, 16, false,
                {.headerSize = 56, .compression = 3, .masks = {0x7C00, 0x3E0, 0x1F, 0x8000}});
    const Bytes argb2101010 = BmpFile(
        pixel, 32, false,
        {.headerSize = 124, .compression = 3, .masks = {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}});
    EXPECT_EQ(FirstTexel(folder.Write("1555.bmp", WithPixels(argb1555, {0xF0, 0xA3, 0, 0})), &info),
              0xFF42FF84u);
    EXPECT_EQ(info.Format, D3DFMT_A1R5G5B5);
    EXPECT_EQ(
        FirstTexel(folder.Write("2101010.bmp", WithPixels(argb2101010, {0, 0xFE, 0x0F, 0x50}))),
        0x5540FF80u);
}

TEST(D3dxDecode, FloatSamplesAreClampedNotToneMapped) {
    TempFolder folder;
    Bytes pfm{'P', 'F', '\n', '2', ' ', '1', '\n', '-', '1', '\n'};
    for (float f : {2.0f, -1.0f, std::nanf(""), 0.5f, 1.0f, 0.25f}) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        Put32(pfm, bits);
    }
    FakeDevice device;
    FakeTexture* texture = nullptr;
    ASSERT_EQ(LoadTexture(device, folder.Write("hot.pfm", pfm), &texture), D3D_OK);
    EXPECT_EQ(texture->At(0, 0), 0xFFFF0000u);
    EXPECT_EQ(texture->At(1, 0), 0xFF80FF40u);
    texture->Release();
}

TEST(D3dxDecode, TgaColourMapStartingPastZero) {
    // Top-down, indices 3, 2, 1 into a map of two 24-bit entries that starts
    // at entry 2: index 2 is its first entry, index 1 lies before it (black).
    Bytes tga{0, 1, 1, 2, 0, 2, 0, 24, 0, 0, 0, 0, 3, 0, 1, 0, 8, 0x20};
    tga.insert(tga.end(), {0x80, 0x40, 0xFF, 0, 0, 0xFF, 3, 2, 1});
    TempFolder folder;
    FakeDevice device;
    FakeTexture* texture = nullptr;
    ASSERT_EQ(LoadTexture(device, folder.Write("map.tga", tga), &texture), D3D_OK);
    EXPECT_EQ(texture->At(0, 0), 0xFFFF0000u);
    EXPECT_EQ(texture->At(1, 0), 0xFFFF4080u);
    EXPECT_EQ(texture->At(2, 0), 0xFF000000u);
    texture->Release();
    // The first entry and the length must fit the map's 16-bit count.
    tga[4] = 0xFF;
    EXPECT_EQ(LoadTexture(device, folder.Write("far.tga", tga), &texture), D3DXERR_INVALIDDATA);
    EXPECT_EQ(device.texturesAlive, 0);
}

TEST(D3dxDecode, JpegVariants) {
    TempFolder folder;
    const Image image = NoiseImage(64, 16);
    const Bytes jpeg = JpegFile(image, false);
    // Stray bytes between segments, as some cameras write, are harmless...
    Bytes padded = jpeg;
    padded.insert(padded.begin() + 20, {0x00, 0x00, 0x00}); // after the JFIF segment
    FakeDevice device;
    FakeTexture* texture = nullptr;
    ASSERT_EQ(LoadTexture(device, folder.Write("padded.jpg", padded), &texture), D3D_OK);
    EXPECT_LE(Compare(*texture, image), 8);
    texture->Release();
    // ...but do not hide a file whose data then ends early.
    const Bytes cut(padded.begin(), padded.end() - 40);
    EXPECT_EQ(LoadTexture(device, folder.Write("cut.jpg", cut), &texture), D3DXERR_INVALIDDATA);
    // Nor does a missing end-of-image marker pass.
    const Bytes noEnd(jpeg.begin(), jpeg.end() - 2);
    EXPECT_EQ(LoadTexture(device, folder.Write("noend.jpg", noEnd), &texture), D3DXERR_INVALIDDATA);

    // CMYK as print work stores it (Adobe-inverted): C=255-0, M=255-128,
    // Y=255-255, K=255-0 gives red 255, green 127, blue 0.
    std::vector<uint8_t> cmyk;
    for (int i = 0; i < 16 * 8; ++i)
        cmyk.insert(cmyk.end(), {255, 127, 0, 255});
    tjhandle handle = tjInitCompress();
    unsigned char* data = nullptr;
    unsigned long size = 0;
    ASSERT_EQ(
        tjCompress2(handle, cmyk.data(), 16, 0, 8, TJPF_CMYK, &data, &size, TJSAMP_444, 100, 0), 0);
    const std::string path = folder.Write("print.jpg", Bytes(data, data + size));
    tjFree(data);
    tjDestroy(handle);
    ASSERT_EQ(LoadTexture(device, path, &texture), D3D_OK);
    EXPECT_LE(ChannelDifference(texture->At(3, 3), 0xFFFF7F00u), 3);
    texture->Release();
    EXPECT_EQ(device.texturesAlive, 0);
}

} // namespace
