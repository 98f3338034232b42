// Hostile and broken files: headers that claim enormous or impossible sizes,
// files shorter than their headers say, files that are not images at all,
// and bad arguments. Each must fail cleanly without a large allocation.
#include "fake_device.h"
#include "image_files.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <new>
#include <sys/stat.h>

namespace {

std::atomic<size_t> largestAllocation{0};

} // namespace

// Every allocation through operator new in this test program is measured.
void* operator new(size_t size) {
    size_t seen = largestAllocation.load();
    while (size > seen && !largestAllocation.compare_exchange_weak(seen, size)) {
    }
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}

namespace {

uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void PutBig32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

TEST(D3dxRobustness, EnormousOrLyingSizesAreRefusedBeforeAllocating) {
    const Image small = NoiseImage(4, 4);
    Bytes png = PngFile(small, false);
    PutBig32(png, 16, 100000); // IHDR width and height, checksum made good
    PutBig32(png, 20, 100000);
    PutBig32(png, 29, Crc32(&png[12], 17));
    Bytes jpeg = JpegFile(small, false);
    const uint8_t startOfFrame[] = {0xFF, 0xC0};
    const size_t sof = static_cast<size_t>(
        std::search(jpeg.begin(), jpeg.end(), std::begin(startOfFrame), std::end(startOfFrame)) -
        jpeg.begin());
    for (size_t i : {5, 7}) {
        jpeg[sof + i] = 0xFF; // 65535 × 65535: beyond the format's 65500
        jpeg[sof + i + 1] = 0xFF;
    }
    Bytes bmp = BmpFile(small, 24, false);
    Set32(bmp, 18, 100000);
    Set32(bmp, 22, 100000);
    Bytes bmpLie = BmpFile(small, 24, false); // within the bound, but 4 × 4 pixels of data
    Set32(bmpLie, 18, 8000);
    Set32(bmpLie, 22, 8000);
    Bytes tga = TgaFile(small, 24, false);
    tga[12] = tga[13] = tga[14] = tga[15] = 0xFF;
    Bytes tgaLie = TgaFile(small, 24, true);
    tgaLie[13] = tgaLie[15] = 0x10; // 4100 × 4100, run-length coded
    const DdsPixelFormat argb{0x41, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    Bytes dds = DdsHeader(100000, 100000, argb);
    Bytes ddsLie = DdsHeader(8000, 8000, argb);
    ddsLie.resize(ddsLie.size() + 64);

    const struct {
        const char* name;
        Bytes file;
    } cases[] = {
        {"png", png},
        {"jpeg", jpeg},
        {"bmp", bmp},
        {"bmp lie", bmpLie},
        {"tga", tga},
        {"tga lie", tgaLie},
        {"dds", dds},
        {"dds lie", ddsLie},
        {"pfm", Text("PF\n100000 100000\n-1\n")},
        {"pfm lie", Text("PF\n8000 8000\n-1\n0123456789abcdef")},
        {"ppm", Text("P6\n100000 100000\n255\n")},
        {"ppm lie", Text("P6\n8000 8000\n255\n0123456789abcdef")},
        {"ppm text lie", Text("P3\n8000 8000\n255\n1 2 3")},
        {"hdr", Text("#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 100000 +X 100000\n")},
        {"hdr lie", Text("#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 8000 +X 8000\n\x02\x02")},
        {"pfm overflow", Text("PF\n4294967295 4294967295\n-1\n")},
        {"dds zero", DdsHeader(0, 16, argb)},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.Write("huge.img", c.file);
        FakeDevice device;
        FakeTexture* texture = nullptr;
        largestAllocation = 0;
        EXPECT_EQ(D3DXGetImageInfoFromFileA(path.c_str(), nullptr), D3DXERR_INVALIDDATA);
        EXPECT_EQ(LoadTexture(device, path, &texture), D3DXERR_INVALIDDATA);
        EXPECT_EQ(texture, nullptr);
        EXPECT_EQ(device.texturesCreated, 0);
        EXPECT_LT(largestAllocation.load(), size_t{1} << 20);
    }
}

TEST(D3dxRobustness, FilesThatAreNotImages) {
    TempFolder folder;
    const std::string empty = folder.Write("empty.png", {});
    const std::string text = folder.Write("notes.jpg", Text("Just some text, not a picture.\n"));
    const std::string zeros = folder.Write("zeros.tga", Bytes(4096, 0));
    const std::string magicOnly = folder.Write("magic.png", Text("\x89PNG\r\n\x1A\n"));
    // A named pipe nobody writes to must not hang the show.
    const std::string pipe = folder.Path() + "/pipe.jpg";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& path : {empty, text, zeros, magicOnly, pipe, folder.Path(),
                                    folder.Path() + "/missing.bmp", std::string("")}) {
        SCOPED_TRACE(path);
        D3DXIMAGE_INFO info{};
        EXPECT_EQ(D3DXGetImageInfoFromFileA(path.c_str(), &info), D3DXERR_INVALIDDATA);
        FakeDevice device;
        FakeTexture* texture = nullptr;
        EXPECT_EQ(LoadTexture(device, path, &texture), D3DXERR_INVALIDDATA);
        EXPECT_EQ(device.texturesCreated, 0);
    }
}

TEST(D3dxRobustness, BadArguments) {
    TempFolder folder;
    const std::string path = folder.Write("ok.bmp", BmpFile(NoiseImage(3, 3), 24, false));
    EXPECT_EQ(D3DXGetImageInfoFromFileA(path.c_str(), nullptr), D3D_OK);
    EXPECT_EQ(D3DXGetImageInfoFromFileA(nullptr, nullptr), D3DERR_INVALIDCALL);
    FakeDevice device;
    IDirect3DTexture9* texture = nullptr;
    const auto create = [&](IDirect3DDevice9* d, const char* file, UINT mipLevels, D3DFORMAT format,
                            IDirect3DTexture9** out) {
        return D3DXCreateTextureFromFileExA(d, file, D3DX_DEFAULT, D3DX_DEFAULT, mipLevels, 0,
                                            format, D3DPOOL_MANAGED, D3DX_FILTER_TRIANGLE,
                                            D3DX_FILTER_NONE, 0, nullptr, nullptr, out);
    };
    EXPECT_EQ(create(nullptr, path.c_str(), 1, D3DFMT_UNKNOWN, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(create(&device, nullptr, 1, D3DFMT_UNKNOWN, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(create(&device, path.c_str(), 1, D3DFMT_UNKNOWN, nullptr), D3DERR_INVALIDCALL);
    // One level, in one of the two 8-bit formats, is all this D3DX makes.
    EXPECT_EQ(create(&device, path.c_str(), 0, D3DFMT_UNKNOWN, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(create(&device, path.c_str(), 1, D3DFMT_R5G6B5, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(device.texturesCreated, 0);
}

} // namespace
