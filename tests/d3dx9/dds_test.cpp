// DDS: the uncompressed layouts by their masks (and the float ones by their
// FourCC), DXT blocks, mip chains, and the cube maps and volumes the show
// passes over.
#include "fake_device.h"
#include "image_files.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t kRgb = 0x40, kRgba = 0x41, kLuminance = 0x20000, kAlpha = 0x2;

struct MaskedCase {
    const char* name;
    DdsPixelFormat pixelFormat;
    D3DFORMAT format;
    Bytes data;           // two pixels
    uint32_t expected[2]; // as A8R8G8B8
};

TEST(D3dxDds, UncompressedLayoutsByMask) {
    const MaskedCase cases[] = {
        {"A8R8G8B8",
         {kRgba, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
         D3DFMT_A8R8G8B8,
         {0x33, 0x22, 0x11, 0x80, 0, 0, 0, 0},
         {0x80112233, 0}},
        {"X8R8G8B8",
         {kRgb, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0},
         D3DFMT_X8R8G8B8,
         {0x33, 0x22, 0x11, 0x00, 0, 0, 0, 0},
         {0xFF112233, 0xFF000000}},
        {"A8B8G8R8",
         {kRgba, 0, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000},
         D3DFMT_A8B8G8R8,
         {0x11, 0x22, 0x33, 0x80, 0, 0, 0, 0xFF},
         {0x80112233, 0xFF000000}},
        {"R8G8B8",
         {kRgb, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0},
         D3DFMT_R8G8B8,
         {0x33, 0x22, 0x11, 0xFF, 0xFF, 0xFF},
         {0xFF112233, 0xFFFFFFFF}},
        {"R5G6B5",
         {kRgb, 0, 16, 0xF800, 0x7E0, 0x1F, 0},
         D3DFMT_R5G6B5,
         {0x00, 0x80, 0xE0, 0x07},
         {0xFF840000, 0xFF00FF00}},
        {"A1R5G5B5",
         {kRgba, 0, 16, 0x7C00, 0x3E0, 0x1F, 0x8000},
         D3DFMT_A1R5G5B5,
         {0x00, 0x7C, 0x1F, 0x80},
         {0x00FF0000, 0xFF0000FF}},
        {"A4R4G4B4",
         {kRgba, 0, 16, 0xF00, 0xF0, 0xF, 0xF000},
         D3DFMT_A4R4G4B4,
         {0x0F, 0x8F, 0xF0, 0x00},
         {0x88FF00FF, 0x0000FF00}},
        {"L8",
         {kLuminance, 0, 8, 0xFF, 0, 0, 0},
         D3DFMT_L8,
         {0x80, 0x00},
         {0xFF808080, 0xFF000000}},
        {"A8L8",
         {kLuminance | 1, 0, 16, 0xFF, 0, 0, 0xFF00},
         D3DFMT_A8L8,
         {0x80, 0x40, 0xFF, 0xFF},
         {0x40808080, 0xFFFFFFFF}},
        {"A8", {kAlpha, 0, 8, 0, 0, 0, 0xFF}, D3DFMT_A8, {0x80, 0xFF}, {0x80000000, 0xFF000000}},
        // D3DX names these masks A2B10G10R10 and reads red from the low bits.
        {"A2B10G10R10",
         {kRgba, 0, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000},
         D3DFMT_A2B10G10R10,
         {0xFF, 0x03, 0x00, 0xC0, 0x00, 0x00, 0xF0, 0x3F},
         {0xFFFF0000, 0x000000FF}},
        // Missing colour channels are 1.
        {"G16R16",
         {kRgb, 0, 32, 0xFFFF, 0xFFFF0000, 0, 0},
         D3DFMT_G16R16,
         {0xFF, 0xFF, 0, 0, 0, 0, 0, 0x80},
         {0xFFFF00FF, 0xFF0080FF}},
        {"R16F",
         {0x4, 111, 0, 0, 0, 0, 0},
         D3DFMT_R16F,
         {0x00, 0x38, 0x00, 0xC0},
         {0xFF80FFFF, 0xFF00FFFF}},
        // Halves 1, 0.25, 0, 0.5 and 2, NaN, -1, infinity, clamped.
        {"A16B16G16R16F",
         {0x4, 113, 0, 0, 0, 0, 0},
         D3DFMT_A16B16G16R16F,
         {0x00, 0x3C, 0x00, 0x34, 0, 0, 0x00, 0x38, 0x00, 0x40, 0x00, 0x7E, 0x00, 0xBC, 0x00, 0x7C},
         {0x80FF4000, 0xFFFF0000}},
    };
    TempFolder folder;
    for (const MaskedCase& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = DdsHeader(2, 1, c.pixelFormat);
        file.insert(file.end(), c.data.begin(), c.data.end());
        const std::string path = folder.Write("layout.dds", file);
        D3DXIMAGE_INFO info{};
        ASSERT_EQ(D3DXGetImageInfoFromFileA(path.c_str(), &info), D3D_OK);
        EXPECT_EQ(info.Format, c.format);
        FakeDevice device;
        FakeTexture* texture = nullptr;
        ASSERT_EQ(LoadTexture(device, path, &texture), D3D_OK);
        EXPECT_EQ(texture->At(0, 0), c.expected[0]);
        EXPECT_EQ(texture->At(1, 0), c.expected[1]);
        texture->Release();
    }
    // Masks D3DX does not know are refused.
    Bytes odd = DdsHeader(1, 1, {kRgb, 0, 32, 0xFF, 0xFF, 0xFF, 0});
    Put32(odd, 0);
    EXPECT_EQ(D3DXGetImageInfoFromFileA(folder.Write("odd.dds", odd).c_str(), nullptr),
              D3DXERR_INVALIDDATA);
}

// Colour blocks: c0 red > c1 blue gives four colours; c0 blue < c1 red gives
// three and transparent black. Pixels 0 to 3 of each block use indices 0 to 3.
const Bytes kFourColours = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0};
const Bytes kThreeColours = {0x1F, 0x00, 0x00, 0xF8, 0xE4, 0, 0, 0};

Bytes DxtFile(uint32_t fourCC, const Bytes& block, UINT width, UINT height) {
    Bytes file = DdsHeader(width, height, {0x4, fourCC, 0, 0, 0, 0, 0});
    for (UINT i = 0; i < (width + 3) / 4 * ((height + 3) / 4); ++i)
        file.insert(file.end(), block.begin(), block.end());
    return file;
}

TEST(D3dxDds, DxtBlocks) {
    TempFolder folder;
    FakeDevice device;
    FakeTexture* texture = nullptr;
    // 6 × 5: the right and bottom blocks hang over the image.
    Bytes dxt1 = DxtFile(MAKEFOURCC('D', 'X', 'T', '1'), kFourColours, 6, 5);
    std::copy(kThreeColours.begin(), kThreeColours.end(), dxt1.begin() + 128 + 8);
    ASSERT_EQ(LoadTexture(device, folder.Write("a.dds", dxt1), &texture), D3D_OK);
    EXPECT_EQ(texture->format, D3DFMT_A8R8G8B8);
    const uint32_t row0[6] = {0xFFFF0000, 0xFF0000FF, 0xFFAA0055,
                              0xFF5500AA, 0xFF0000FF, 0xFFFF0000};
    for (UINT x = 0; x < 6; ++x)
        EXPECT_EQ(texture->At(x, 0), row0[x]) << x;
    EXPECT_EQ(texture->At(0, 4), 0xFFFF0000u);
    texture->Release();
    // Pixels 2 and 3 of the three-colour block: the midpoint and transparent.
    Bytes threeOnly = DxtFile(MAKEFOURCC('D', 'X', 'T', '1'), kThreeColours, 4, 4);
    ASSERT_EQ(LoadTexture(device, folder.Write("b.dds", threeOnly), &texture), D3D_OK);
    EXPECT_EQ(texture->At(2, 0), 0xFF800080u);
    EXPECT_EQ(texture->At(3, 0), 0x00000000u);
    texture->Release();

    // DXT3: explicit 4-bit alphas 15 and 8; DXT5: interpolated alphas, eight
    // steps (255 > 0) and six steps with 0 and 255 (0 < 255).
    Bytes dxt3{0x8F, 0, 0, 0, 0, 0, 0, 0};
    dxt3.insert(dxt3.end(), kFourColours.begin(), kFourColours.end());
    Bytes dxt5{255, 0, 0x3A, 0, 0, 0, 0, 0}; // pixel 0 index 2, pixel 1 index 7
    dxt5.insert(dxt5.end(), kFourColours.begin(), kFourColours.end());
    Bytes dxt5six{0, 255, 0x3A, 0, 0, 0, 0, 0};
    dxt5six.insert(dxt5six.end(), kFourColours.begin(), kFourColours.end());
    const struct {
        const char* fourCC;
        const Bytes& block;
        uint32_t first, second;
    } alphaCases[] = {
        {"DXT3", dxt3, 0xFFFF0000, 0x880000FF},
        {"DXT5", dxt5, 0xDBFF0000, 0x240000FF},
        // Premultiplied colours are kept as stored.
        {"DXT2", dxt3, 0xFFFF0000, 0x880000FF},
        {"DXT4", dxt5, 0xDBFF0000, 0x240000FF},
        {"DXT5", dxt5six, 0x33FF0000, 0xFF0000FF},
    };
    for (const auto& c : alphaCases) {
        const uint32_t fourCC = MAKEFOURCC(c.fourCC[0], c.fourCC[1], c.fourCC[2], c.fourCC[3]);
        const std::string path = folder.Write("c.dds", DxtFile(fourCC, c.block, 4, 4));
        D3DXIMAGE_INFO info{};
        ASSERT_EQ(LoadTexture(device, path, &texture, &info), D3D_OK);
        EXPECT_EQ(info.Format, static_cast<D3DFORMAT>(fourCC));
        EXPECT_EQ(texture->At(0, 0), c.first) << c.fourCC;
        EXPECT_EQ(texture->At(1, 0), c.second) << c.fourCC;
        texture->Release();
    }
    // The DX10 extended header is not read.
    const Bytes dx10 = DxtFile(MAKEFOURCC('D', 'X', '1', '0'), Bytes(16, 0), 4, 4);
    EXPECT_EQ(D3DXGetImageInfoFromFileA(folder.Write("d.dds", dx10).c_str(), nullptr),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(device.texturesAlive, 0);
}

TEST(D3dxDds, MipChainsCubeMapsAndVolumes) {
    TempFolder folder;
    const DdsPixelFormat argb{kRgba, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    // A 4 × 2 image with three levels: 8 + 2 + 1 pixels.
    Bytes mips = DdsHeader(4, 2, argb);
    Set32(mips, 8, 0x21007); // mip count present
    Set32(mips, 28, 3);
    for (uint32_t i = 0; i < 11; ++i)
        Put32(mips, i < 8 ? 0xFF102030 : 0xFF999999);
    const std::string mipPath = folder.Write("mips.dds", mips);
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3DXGetImageInfoFromFileA(mipPath.c_str(), &info), D3D_OK);
    EXPECT_EQ(info.MipLevels, 3u);
    FakeDevice device;
    FakeTexture* texture = nullptr;
    ASSERT_EQ(LoadTexture(device, mipPath, &texture), D3D_OK);
    EXPECT_EQ(texture->width, 4u);
    EXPECT_EQ(texture->At(3, 1), 0xFF102030u);
    texture->Release();
    // A chain longer than the file, or than the image allows, is refused.
    const Bytes shortChain(mips.begin(), mips.end() - 4);
    EXPECT_EQ(D3DXGetImageInfoFromFileA(folder.Write("short.dds", shortChain).c_str(), nullptr),
              D3DXERR_INVALIDDATA);
    Bytes longChain = mips;
    Set32(longChain, 28, 4);
    longChain.resize(longChain.size() + 64);
    EXPECT_EQ(D3DXGetImageInfoFromFileA(folder.Write("long.dds", longChain).c_str(), nullptr),
              D3DXERR_INVALIDDATA);

    Bytes cube = DdsHeader(2, 2, argb);
    Set32(cube, 112, 0xFE00); // cube map, all six faces
    cube.resize(cube.size() + 6 * 16);
    Bytes volume = DdsHeader(2, 2, argb);
    Set32(volume, 8, 0x801007);   // depth present
    Set32(volume, 24, 3);         // three slices
    Set32(volume, 112, 0x200000); // volume
    volume.resize(volume.size() + 3 * 16);
    const struct {
        const char* name;
        const Bytes& file;
        D3DRESOURCETYPE type;
        UINT depth;
    } shapes[] = {{"cube.dds", cube, D3DRTYPE_CUBETEXTURE, 1},
                  {"volume.dds", volume, D3DRTYPE_VOLUMETEXTURE, 3}};
    for (const auto& s : shapes) {
        const std::string path = folder.Write(s.name, s.file);
        ASSERT_EQ(D3DXGetImageInfoFromFileA(path.c_str(), &info), D3D_OK) << s.name;
        EXPECT_EQ(info.ResourceType, s.type);
        EXPECT_EQ(info.Depth, s.depth);
        EXPECT_EQ(LoadTexture(device, path, &texture), D3DXERR_INVALIDDATA);
        // The faces or slices must all be in the file.
        const Bytes cut(s.file.begin(), s.file.end() - 4);
        EXPECT_EQ(D3DXGetImageInfoFromFileA(folder.Write("cut.dds", cut).c_str(), nullptr),
                  D3DXERR_INVALIDDATA);
    }
    EXPECT_EQ(device.texturesCreated, 1);
}

} // namespace
