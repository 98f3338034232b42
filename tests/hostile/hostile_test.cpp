// Hostile image files for each of the nine patterns the show picks up: empty,
// truncated, noise, headers claiming impossible or enormous sizes, a format
// other than the name says, and the DDS layouts that are not plain images.
// Each file goes through the header read and the decode as the show calls
// them. None may crash; each gives an error result or the right image; and
// the heap, measured across both calls, stays within the decode bound.
#include "platform/d3dx9/decoders.h"
#include "tests/d3dx9/image_files.h"
#include "tests/fuzz/heap_watch.h"
#include "tests/fuzz/memory_device.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <turbojpeg.h>
#include <zlib.h>

namespace {

// A device of the Direct3D 9 era: images larger than this are resampled.
constexpr UINT kMaxTextureSide = 4096;
// What a small file may cost: a few copies of it and the decoders' tables.
constexpr size_t kSmallHeap = size_t{4} << 20;
// What the largest image within the decode bound may take while it is
// decoded and resampled: the file bytes read, its 32-bit pixels, the
// texture, the decoder's own buffers (libjpeg's coefficients of a
// progressive file, a CMYK scan), and a small file's share besides.
constexpr size_t kBoundPixelBytes = kMaxImagePixels * 4;
constexpr size_t kBoundHeap = kMaxReadBytes + 2 * kBoundPixelBytes + kMaxWorkingBytes + kSmallHeap;

enum class Expect {
    Refused,        // both calls fail
    SameImage,      // decodes to exactly the intact file's pixels
    RefusedOrSame,  // either of the above (a cut that removed only padding)
    RefusedOrImage, // an error, or whatever image the bytes make
};

struct Case {
    std::string name;
    std::string extension;
    Bytes file;
    Expect expect;
    size_t heapLimit = kSmallHeap;
    uint64_t paddedTo = 0; // the file made this long (sparse) after its bytes
};

struct Outcome {
    HRESULT info = E_FAIL;
    D3DXIMAGE_INFO header{};
    HRESULT decode = E_FAIL;
    UINT width = 0, height = 0;
    std::vector<uint32_t> texels;
    HeapUse heap;
    double seconds = 0; // both calls together
};

// Both calls, as the show makes them, with the heap watched throughout.
Outcome Load(const std::string& path) {
    Outcome out;
    MemoryDevice device(kMaxTextureSide);
    MemoryTexture* texture = nullptr;
    const auto start = std::chrono::steady_clock::now();
    StartHeapWatch();
    out.info = D3DXGetImageInfoFromFileA(path.c_str(), &out.header);
    // The decode is tried whatever the header read said: it must refuse on
    // its own.
    out.decode = LoadAsShow(device, path.c_str(), nullptr, &texture);
    out.heap = StopHeapWatch();
    out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (texture != nullptr) {
        EXPECT_TRUE(texture->GuardIntact()) << "rows written past their pitch";
        out.width = texture->width;
        out.height = texture->height;
        for (UINT y = 0; y < texture->height; ++y) {
            for (UINT x = 0; x < texture->width; ++x)
                out.texels.push_back(texture->At(x, y));
        }
        texture->Release();
    }
    EXPECT_EQ(device.texturesAlive, 0);
    return out;
}

// One line per file, for the record of what was tried.
void Report(const Case& c, const Outcome& out) {
    std::printf("hostile: %-34s %-4s %7zu bytes  info %08x  decode %08x  %ux%u  largest %zu  "
                "peak %zu  %.3f s\n",
                c.name.c_str(), c.extension.c_str(), c.file.size(), static_cast<unsigned>(out.info),
                static_cast<unsigned>(out.decode), out.width, out.height, out.heap.largestBlock,
                out.heap.peakGrowth, out.seconds);
}

void Check(const TempFolder& folder, const Case& c, const Outcome& reference) {
    SCOPED_TRACE(c.name + " as ." + c.extension);
    const std::string path = folder.Write("hostile." + c.extension, c.file);
    if (c.paddedTo != 0)
        std::filesystem::resize_file(path, c.paddedTo);
    const Outcome out = Load(path);
    Report(c, out);
    EXPECT_TRUE(out.info == D3D_OK || out.info == D3DXERR_INVALIDDATA) << std::hex << out.info;
    EXPECT_TRUE(out.decode == D3D_OK || out.decode == D3DXERR_INVALIDDATA)
        << std::hex << out.decode;
    EXPECT_LE(out.heap.peakGrowth, c.heapLimit);
    EXPECT_LE(out.heap.largestBlock, std::max(kBoundPixelBytes, kMaxReadBytes) + 4096);
    if (out.info == D3D_OK) {
        EXPECT_TRUE(WithinStoredBound(out.header.ImageFileFormat, out.header.Width,
                                      out.header.Height, out.header.Depth));
    }
    if (out.decode == D3D_OK) {
        EXPECT_EQ(out.info, D3D_OK) << "decoded a file whose header read failed";
    }
    const bool same = out.decode == D3D_OK && out.width == reference.width &&
                      out.height == reference.height && out.texels == reference.texels;
    switch (c.expect) {
    case Expect::Refused:
        EXPECT_EQ(out.decode, D3DXERR_INVALIDDATA);
        break;
    case Expect::SameImage:
        EXPECT_TRUE(same) << "not the intact file's image";
        break;
    case Expect::RefusedOrSame:
        EXPECT_TRUE(out.decode == D3DXERR_INVALIDDATA || same) << "a wrong image";
        break;
    case Expect::RefusedOrImage:
        break;
    }
}

// ---- the intact files ---------------------------------------------------------

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void SetBig(Bytes& b, size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * (bytes - 1 - i)));
}

// A JPEG with TurboJPEG's choice of coding and colour: progressive, CMYK.
Bytes JpegWith(const Image& image, int pixelFormat, int flags) {
    std::vector<uint8_t> pixels;
    for (uint32_t p : image.argb) {
        // CMYK samples from the colour, as a print program would store them.
        const uint8_t r = static_cast<uint8_t>(p >> 16), g = static_cast<uint8_t>(p >> 8),
                      b = static_cast<uint8_t>(p);
        if (pixelFormat == TJPF_CMYK)
            pixels.insert(pixels.end(), {r, g, b, 255});
        else
            pixels.insert(pixels.end(), {b, g, r, 255});
    }
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, pixels.data(), static_cast<int>(image.width), 0,
                static_cast<int>(image.height), pixelFormat, &jpeg, &size, TJSAMP_444, 90, flags);
    Bytes out(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(handle);
    return out;
}

struct Format {
    std::string extension;
    Bytes file;
    Image image; // the pixels, for the lossless formats; empty for JPEG
};

std::vector<Format> IntactFiles() {
    const Image opaque = NoiseImage(37, 23);
    const Image alpha = NoiseImage(37, 23, true);
    return {
        {"bmp", BmpFile(opaque, 24, false), opaque}, {"dds", DdsA8R8G8B8File(alpha), alpha},
        {"dib", BmpFile(opaque, 32, true), opaque},  {"hdr", HdrFile(opaque), opaque},
        {"jpg", JpegFile(opaque, false), {}},        {"pfm", PfmFile(opaque, false, true), opaque},
        {"png", PngFile(alpha, true), alpha},        {"ppm", PnmFile(opaque, false, 255), opaque},
        {"tga", TgaFile(alpha, 32, true), alpha},
    };
}

// The intact file's decode, which every hostile variant is held to.
Outcome Reference(const TempFolder& folder, const Format& format) {
    const Outcome out = Load(folder.Write("intact." + format.extension, format.file));
    EXPECT_EQ(out.decode, D3D_OK) << format.extension;
    return out;
}

void ExpectResidentSetWithinBound(size_t before) {
    EXPECT_LE(PeakResidentBytes() - before, kBoundHeap);
}

TEST(HostileFiles, IntactFilesDecodeToTheirImages) {
    const size_t resident = PeakResidentBytes();
    TempFolder folder;
    for (const Format& format : IntactFiles()) {
        SCOPED_TRACE(format.extension);
        const Outcome out = Reference(folder, format);
        if (format.image.argb.empty())
            continue;
        EXPECT_EQ(out.width, format.image.width);
        EXPECT_EQ(out.height, format.image.height);
        EXPECT_EQ(out.texels, format.image.argb);
    }
    ExpectResidentSetWithinBound(resident);
}

// ---- empty, truncated, noise -------------------------------------------------

Bytes Noise(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes out(size);
    for (uint8_t& b : out)
        b = static_cast<uint8_t>(random());
    return out;
}

TEST(HostileFiles, EmptyTruncatedAndNoise) {
    const size_t resident = PeakResidentBytes();
    TempFolder folder;
    uint32_t seed = 1;
    for (const Format& format : IntactFiles()) {
        const Outcome reference = Reference(folder, format);
        const Bytes& file = format.file;
        std::vector<Case> cases = {{"empty", format.extension, {}, Expect::Refused}};
        for (size_t cut : {size_t{1}, size_t{8}, size_t{16}, file.size() / 2, file.size() * 9 / 10,
                           file.size() - 1}) {
            cases.push_back({"first " + std::to_string(cut) + " bytes", format.extension,
                             Bytes(file.begin(), file.begin() + static_cast<ptrdiff_t>(cut)),
                             Expect::RefusedOrSame});
        }
        cases.push_back({"noise", format.extension, Noise(file.size(), seed++), Expect::Refused});
        // The first quarter kept (the header and the tables of a JPEG), the
        // rest noise.
        Bytes tail = file;
        const Bytes noise = Noise(file.size(), seed++);
        std::copy(noise.begin() + static_cast<ptrdiff_t>(file.size() / 4), noise.end(),
                  tail.begin() + static_cast<ptrdiff_t>(file.size() / 4));
        cases.push_back(
            {"first quarter, then noise", format.extension, tail, Expect::RefusedOrImage});
        for (const Case& c : cases)
            Check(folder, c, reference);
    }
    ExpectResidentSetWithinBound(resident);
}

// ---- impossible and enormous sizes ---------------------------------------------

// The intact file with its stored size replaced; `withinBound` when the size
// is within the decode bound, so that only the missing data can give it away.
struct SizePatch {
    std::string name;
    Bytes file;
    bool withinBound = false;
};

Bytes PngSized(Bytes png, uint32_t width, uint32_t height) {
    SetBig(png, 16, width, 4);
    SetBig(png, 20, height, 4);
    SetBig(png, 29, Crc32(&png[12], 17), 4); // IHDR's checksum made good
    return png;
}

Bytes JpegSized(Bytes jpeg, uint32_t width, uint32_t height) {
    for (size_t at = 2; at + 9 < jpeg.size(); ++at) {
        if (jpeg[at] == 0xFF && (jpeg[at + 1] == 0xC0 || jpeg[at + 1] == 0xC2)) {
            SetBig(jpeg, at + 5, height, 2);
            SetBig(jpeg, at + 7, width, 2);
            break;
        }
    }
    return jpeg;
}

Bytes Patched(Bytes file, size_t at, uint32_t value) {
    Set32(file, at, value);
    return file;
}

std::vector<SizePatch> SizePatches(const Format& format) {
    const Bytes& f = format.file;
    const std::string& e = format.extension;
    if (e == "png") {
        return {{"100000 x 100000", PngSized(f, 100000, 100000)},
                {"16384 x 16384, reduced as read", PngSized(f, 16384, 16384), true},
                {"2^31 x 1", PngSized(f, 0x80000000u, 1)},
                {"0 x 23", PngSized(f, 0, 23)},
                {"8192 x 8192, 37 x 23 of data", PngSized(f, 8192, 8192), true}};
    }
    if (e == "jpg") {
        const Image opaque = NoiseImage(37, 23);
        const Bytes progressiveCmyk = JpegWith(opaque, TJPF_CMYK, TJFLAG_PROGRESSIVE);
        return {{"65500 x 65500", JpegSized(f, 65500, 65500)},
                {"0 x 0", JpegSized(f, 0, 0)},
                {"16384 x 16384, at a DCT scale", JpegSized(f, 16384, 16384), true},
                {"8192 x 8192, 37 x 23 of data", JpegSized(f, 8192, 8192), true},
                {"progressive CMYK 8192 x 8192", JpegSized(progressiveCmyk, 8192, 8192), true}};
    }
    if (e == "bmp" || e == "dib") {
        return {{"100000 x 100000", Patched(Patched(f, 18, 100000), 22, 100000)},
                {"height -2^31", Patched(f, 22, 0x80000000u)},
                {"width 0", Patched(f, 18, 0)},
                {"header size 2^32 - 16", Patched(f, 14, 0xFFFFFFF0u)},
                {"pixels at offset 2^32 - 1", Patched(f, 10, 0xFFFFFFFFu)},
                {"8000 x 8000, 37 x 23 of data", Patched(Patched(f, 18, 8000), 22, 8000), true}};
    }
    if (e == "tga") {
        Bytes huge = f, lie = f, map = f;
        huge[12] = huge[13] = huge[14] = huge[15] = 0xFF;
        lie[13] = lie[15] = 0x10; // 4133 x 4119, run-length coded
        map[1] = 1;               // a colour map of 65535 entries that is not there
        map[5] = map[6] = 0xFF;
        map[7] = 24;
        return {{"65535 x 65535", huge},
                {"colour map of 65535 entries", map},
                {"4133 x 4119, 37 x 23 of data", lie, true}};
    }
    if (e == "dds") {
        Bytes volume = Patched(Patched(Patched(f, 8, 0x801007), 24, 0xFFFFFFFFu), 112, 0x200000);
        return {{"100000 x 100000", Patched(Patched(f, 12, 100000), 16, 100000)},
                {"width 0", Patched(f, 16, 0)},
                {"volume of depth 2^32 - 1", volume},
                {"2^32 - 1 mip levels", Patched(Patched(f, 8, 0x21007), 28, 0xFFFFFFFFu)},
                {"8000 x 8000, 37 x 23 of data", Patched(Patched(f, 12, 8000), 16, 8000), true}};
    }
    if (e == "pfm") {
        return {{"100000 x 100000", Text("PF\n100000 100000\n-1\n")},
                {"4294967295 x 4294967295", Text("PF\n4294967295 4294967295\n-1\n")},
                {"4294967296 x 1", Text("PF\n4294967296 1\n-1\n")},
                {"-5 x 7", Text("PF\n-5 7\n-1\n0123456789")},
                {"scale 0", Text("PF\n1 1\n0\n0123456789ab")},
                {"scale nan", Text("PF\n1 1\nnan\n0123456789ab")},
                {"8000 x 8000, a few bytes", Text("PF\n8000 8000\n-1\n0123456789abcdef"), true}};
    }
    if (e == "ppm") {
        return {{"100000 x 100000", Text("P6\n100000 100000\n255\n")},
                {"maxval 0", Text("P6\n1 1\n0\nabc")},
                {"maxval 70000", Text("P6\n1 1\n70000\nabcdef")},
                {"-3 x 4", Text("P6\n-3 4\n255\nabcdef")},
                {"99999999999 x 1", Text("P5\n99999999999 1\n255\nabcdef")},
                {"8000 x 8000, a few bytes", Text("P6\n8000 8000\n255\n0123456789abcdef"), true}};
    }
    // hdr
    const std::string head = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n";
    return {{"100000 x 100000", Text(head + "-Y 100000 +X 100000\n")},
            {"0 x 5", Text(head + "-Y 5 +X 0\n\x02\x02\x00\x00")},
            {"no resolution line", Text(head)},
            {"8000 x 8000, a few bytes", Text(head + "-Y 8000 +X 8000\n\x02\x02\x1f\x40\x80\x01"),
             true}};
}

TEST(HostileFiles, ImpossibleAndEnormousSizes) {
    const size_t resident = PeakResidentBytes();
    TempFolder folder;
    for (const Format& format : IntactFiles()) {
        const Outcome reference = Reference(folder, format);
        for (const SizePatch& patch : SizePatches(format)) {
            // Sizes beyond the bound are refused from the header, before any
            // large allocation. A size within it may cost the decode its
            // image's memory before the missing data shows.
            Check(folder,
                  {patch.name, format.extension, patch.file, Expect::Refused,
                   patch.withinBound ? kBoundHeap : kSmallHeap},
                  reference);
        }
    }
    ExpectResidentSetWithinBound(resident);
}

// ---- a format other than the name says -------------------------------------------

TEST(HostileFiles, TheContentDecidesTheFormat) {
    const size_t resident = PeakResidentBytes();
    TempFolder folder;
    const std::vector<Format> formats = IntactFiles();
    for (size_t i = 0; i < formats.size(); ++i) {
        const Outcome reference = Reference(folder, formats[i]);
        // This format's file under every other pattern's name decodes as what
        // it is.
        for (size_t j = 0; j < formats.size(); ++j) {
            if (j != i)
                Check(folder,
                      {formats[i].extension + " content", formats[j].extension, formats[i].file,
                       Expect::SameImage},
                      reference);
        }
        Check(folder,
              {"a text file", formats[i].extension,
               Text("These are my holiday photos, not a picture.\n"), Expect::Refused},
              reference);
        // The signature of the format named, then something else entirely.
        Bytes mixed = formats[(i + 1) % formats.size()].file;
        std::copy(formats[i].file.begin(), formats[i].file.begin() + 4, mixed.begin());
        Check(folder,
              {"signature of another format", formats[i].extension, mixed, Expect::RefusedOrImage},
              reference);
    }
    ExpectResidentSetWithinBound(resident);
}

// ---- PNG chunks that claim or unpack to more than the file holds -------------------

// The PNG with `count` more chunks after IHDR: `type`, `data`, and the length
// field `claimed` (the data's own length when 0), checksum made good.
Bytes PngWithChunk(const Bytes& png, const char* type, const Bytes& data, uint32_t claimed = 0,
                   int count = 1) {
    Bytes chunk(8);
    SetBig(chunk, 0, claimed != 0 ? claimed : static_cast<uint32_t>(data.size()), 4);
    std::copy(type, type + 4, chunk.begin() + 4);
    chunk.insert(chunk.end(), data.begin(), data.end());
    chunk.resize(chunk.size() + 4);
    SetBig(chunk, chunk.size() - 4, Crc32(&chunk[4], chunk.size() - 8), 4);
    Bytes out(png.begin(), png.begin() + 33); // signature and IHDR
    for (int i = 0; i < count; ++i)
        out.insert(out.end(), chunk.begin(), chunk.end());
    out.insert(out.end(), png.begin() + 33, png.end());
    return out;
}

Bytes Deflated(const Bytes& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes out(size);
    compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 9);
    out.resize(size);
    return out;
}

TEST(HostileFiles, PngChunks) {
    const size_t resident = PeakResidentBytes();
    TempFolder folder;
    const Format png = IntactFiles()[6];
    ASSERT_EQ(png.extension, "png");
    const Outcome reference = Reference(folder, png);
    const Bytes few = Text("sixteen bytes...");
    // 64 MiB of zeros in a few tens of KiB: as text, as a colour profile.
    const Bytes zeros = Deflated(Bytes(size_t{64} << 20, 0));
    Bytes text = Text("Comment");
    text.insert(text.end(), {0, 0});
    text.insert(text.end(), zeros.begin(), zeros.end());
    Bytes profile = Text("icc");
    profile.insert(profile.end(), {0, 0});
    profile.insert(profile.end(), zeros.begin(), zeros.end());
    std::vector<Case> cases;
    for (const char* type : {"sPLT", "iCCP", "zTXt", "iTXt", "tEXt", "eXIf", "vpAg"}) {
        cases.push_back({std::string(type) + " claiming 2 GiB", "png",
                         PngWithChunk(png.file, type, few, 0x7A000000), Expect::Refused});
    }
    // Chunks the show does not need are stepped over without being unpacked.
    cases.push_back({"zTXt unpacking to 64 MiB", "png", PngWithChunk(png.file, "zTXt", text),
                     Expect::SameImage});
    cases.push_back({"iCCP unpacking to 64 MiB", "png", PngWithChunk(png.file, "iCCP", profile),
                     Expect::SameImage});
    // Many text chunks each just under libpng's own limit of 8 MB unpacked:
    // 1.9 and 7.7 MB of file, read up to the first image data by the header
    // read and again by the decode.
    Bytes nearLimit = Text("Comment");
    nearLimit.insert(nearLimit.end(), {0, 0});
    const Bytes packed = Deflated(Bytes(7900000, 'x'));
    nearLimit.insert(nearLimit.end(), packed.begin(), packed.end());
    for (int count : {250, 999}) {
        const Bytes file = PngWithChunk(png.file, "zTXt", nearLimit, 0, count);
        cases.push_back({std::to_string(count) + " zTXt of 7.9 MB unpacked", "png", file,
                         Expect::SameImage, kSmallHeap + 2 * file.size()});
    }
    for (const Case& c : cases)
        Check(folder, c, reference);
    ExpectResidentSetWithinBound(resident);
}

// ---- files that cost far more to read than their size says ----------------------

// A progressive JPEG declaring width × height (4:2:0) whose data is `scans`
// DC scans of no data at all, each of which libjpeg would walk over every
// block of the image for.
Bytes JpegScanStorm(uint32_t width, uint32_t height, int scans) {
    Bytes out = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00};
    out.insert(out.end(), 64, 1); // one quantisation table of ones
    out.insert(out.end(), {0xFF, 0xC2, 0x00, 0x11, 0x08});
    Put16(out, 0);
    SetBig(out, out.size() - 2, height, 2);
    Put16(out, 0);
    SetBig(out, out.size() - 2, width, 2);
    out.insert(out.end(), {0x03, 0x01, 0x22, 0x00, 0x02, 0x11, 0x00, 0x03, 0x11, 0x00});
    // A DC table with one code, for the difference 0.
    out.insert(out.end(), {0xFF, 0xC4, 0x00, 0x14, 0x00, 0x01});
    out.insert(out.end(), 15, 0);
    out.push_back(0x00);
    for (int i = 0; i < scans; ++i)
        out.insert(out.end(), {0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00,
                               0x00, 0x00, 0x00});
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

// A run-length coded HDR of width × height in one colour (mantissas 128,
// exponent 128: 0.5, stored as 128), in runs of 127.
Bytes FlatHdr(uint32_t width, uint32_t height) {
    const std::string head = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y " + std::to_string(height) +
                             " +X " + std::to_string(width) + "\n";
    Bytes line = {2, 2, static_cast<uint8_t>(width >> 8), static_cast<uint8_t>(width)};
    for (int channel = 0; channel < 4; ++channel) {
        for (uint32_t x = 0; x < width; x += 127)
            line.insert(line.end(), {static_cast<uint8_t>(128 + std::min(127u, width - x)), 128});
    }
    Bytes out = Text(head);
    for (uint32_t y = 0; y < height; ++y)
        out.insert(out.end(), line.begin(), line.end());
    return out;
}

TEST(HostileFiles, FilesCostlierThanTheirSize) {
    const size_t resident = PeakResidentBytes();
    TempFolder folder;
    constexpr uint64_t kGiB = uint64_t{1} << 30;
    // Every intact file followed by a sparse gigabyte: the decode reads no
    // more than its image can take.
    for (const Format& format : IntactFiles()) {
        const Outcome reference = Reference(folder, format);
        Check(folder,
              {"padded to 1 GiB", format.extension, format.file, Expect::SameImage,
               kSmallHeap + 2 * kMetadataBytes, kGiB},
              reference);
    }
    // Scan storms: refused from their headers, before any scan is decoded.
    for (int scans : {499, 600})
        Check(folder,
              {std::to_string(scans) + " empty scans of 16384 x 4096", "jpg",
               JpegScanStorm(16384, 4096, scans), Expect::Refused},
              Outcome{});
    // The largest HDR within the bound, padded: decoded a scanline at a
    // time, with no float copy of the image.
    Outcome grey;
    grey.width = grey.height = 0;
    const Case hdr{"16384 x 4096 coded, padded to 1 GiB",
                   "hdr",
                   FlatHdr(16384, 4096),
                   Expect::RefusedOrImage,
                   kBoundHeap,
                   kGiB};
    Check(folder, hdr, grey);
    const Outcome out = Load(folder.Write("flat.hdr", hdr.file));
    ASSERT_EQ(out.decode, D3D_OK);
    EXPECT_EQ(out.width, kMaxTextureSide);
    EXPECT_EQ(std::count(out.texels.begin(), out.texels.end(), 0xFF808080u),
              static_cast<ptrdiff_t>(out.texels.size()));
    ExpectResidentSetWithinBound(resident);
}

// ---- a JPEG header beyond the header read's first bytes --------------------------

TEST(HostileFiles, JpegFrameBehindLargeMetadata) {
    const size_t resident = PeakResidentBytes();
    TempFolder folder;
    const Format jpeg = IntactFiles()[4];
    ASSERT_EQ(jpeg.extension, "jpg");
    const Outcome reference = Reference(folder, jpeg);
    // Five comment segments of 64 KiB after the start of image put the frame
    // header past the first 256 KiB that the header read looks at.
    Bytes file(jpeg.file.begin(), jpeg.file.begin() + 2);
    for (int segment = 0; segment < 5; ++segment) {
        file.insert(file.end(), {0xFF, 0xFE, 0xFF, 0xFF});
        const Bytes text = Noise(0xFFFF - 2, static_cast<uint32_t>(segment));
        file.insert(file.end(), text.begin(), text.end());
    }
    const size_t metadataEnd = file.size();
    file.insert(file.end(), jpeg.file.begin() + 2, jpeg.file.end());
    ASSERT_GT(metadataEnd, kHeaderPrefixBytes);
    Check(folder,
          {"frame after 320 KiB of comments", "jpg", file, Expect::SameImage, 8 * file.size()},
          reference);
    file.resize(metadataEnd + 20);
    Check(folder,
          {"cut 20 bytes after the comments", "jpg", file, Expect::Refused, 8 * file.size()},
          reference);
    ExpectResidentSetWithinBound(resident);
}

// ---- BMP palettes and run-length streams ------------------------------------------

// A 4 x 3 run-length bitmap (RLE8, or RLE4 at 4 bits) of palette {blue, red}
// whose pixels are `stream`.
constexpr uint32_t kBlue = 0xFF0000FF, kRed = 0xFFFF0000;
Bytes RunLength(const Bytes& stream, int bits = 8) {
    Image image = FlatImage(4, 3, kBlue);
    image.argb[11] = kRed;
    return WithPixels(BmpFile(image, bits, false, {.compression = bits == 8 ? 1u : 2u}), stream);
}

TEST(HostileFiles, BmpPalettesAndRunLengths) {
    TempFolder folder;
    const Image noise = NoiseImage(37, 23);
    Image sixteen = noise, two = noise, shortPalette = noise, greys{16, 16, {}};
    for (size_t i = 0; i < noise.argb.size(); ++i) {
        sixteen.argb[i] &= 0xFFFF00FF;
        two.argb[i] = noise.argb[i] & 0x800000 ? kRed : kBlue;
        // Indices past a one-entry palette (that of the bottom-left pixel)
        // are black, not whatever lay in memory.
        if (noise.argb[i] != noise.argb[22 * 37])
            shortPalette.argb[i] = 0xFF000000;
    }
    for (uint32_t grey = 0; grey < 256; ++grey)
        greys.argb.push_back(0xFF000000 | grey * 0x010101);
    Bytes topDown = RunLength({4, 1, 0, 1});
    Set32(topDown, 22, 0u - 3);
    Bytes sizeLie = RunLength({4, 1, 0, 1});
    Set32(sizeLie, 34, 100);
    const uint32_t B = kBlue, R = kRed;
    const struct {
        const char* name;
        Bytes file;
        Image image; // top-down; none for a refused file
    } cases[] = {
        {"1-bit", BmpFile(two, 1, false), two},
        {"4-bit top-down", BmpFile(sixteen, 4, true), sixteen},
        {"OS/2 core header, 256 greys", BmpFile(greys, 8, false, {.headerSize = 12}), greys},
        {"one-entry palette", BmpFile(noise, 8, false, {.paletteEntries = 1}), shortPalette},
        // Pixels the stream skips take palette entry 0; pixels past the
        // right edge are dropped, and the stream past the top row ignored.
        {"RLE run past the right edge",
         RunLength({6, 1, 0, 0, 4, 0, 0, 0, 4, 1, 0, 1}),
         {4, 3, {R, R, R, R, B, B, B, B, R, R, R, R}}},
        {"RLE absolute run past the edge",
         RunLength({0, 6, 1, 1, 1, 1, 1, 1, 0, 1}),
         {4, 3, {B, B, B, B, B, B, B, B, R, R, R, R}}},
        {"RLE delta, end of line",
         RunLength({0, 2, 1, 1, 1, 1, 0, 0, 0, 1}),
         {4, 3, {B, B, B, B, B, R, B, B, B, B, B, B}}},
        {"RLE delta past the top",
         RunLength({2, 1, 0, 2, 1, 200, 1, 1}),
         {4, 3, {B, B, B, B, B, B, B, B, R, R, B, B}}},
        {"RLE4 runs, padded absolute run",
         RunLength({3, 0x10, 0, 0, 0, 5, 0x01, 0x10, 0x10, 0, 0, 1}, 4),
         {4, 3, {B, B, B, B, B, R, R, B, R, B, R, B}}},
        {"RLE ending early", RunLength({4, 1, 0, 0}), {}},
        {"RLE delta cut short", RunLength({4, 1, 0, 2, 1}), {}},
        {"RLE absolute run cut short", RunLength({0, 10, 1, 1, 1}), {}},
        {"RLE top-down", topDown, {}},
        {"RLE size past the end", sizeLie, {}},
    };
    for (const auto& c : cases) {
        Outcome shows;
        shows.width = c.image.width;
        shows.height = c.image.height;
        shows.texels = c.image.argb;
        Check(folder,
              {c.name, "bmp", c.file, c.image.argb.empty() ? Expect::Refused : Expect::SameImage},
              shows);
    }
}

// ---- DDS layouts that are not plain images ---------------------------------------

Bytes DdsWithData(Bytes header, size_t dataBytes) {
    const Bytes data = Noise(dataBytes, 99);
    header.insert(header.end(), data.begin(), data.end());
    return header;
}

TEST(HostileFiles, DdsLayouts) {
    const size_t resident = PeakResidentBytes();
    TempFolder folder;
    const DdsPixelFormat argb{0x41, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    const auto fourCC = [](const char* code) {
        return DdsPixelFormat{0x4,
                              uint32_t{uint8_t(code[0])} | uint32_t{uint8_t(code[1])} << 8 |
                                  uint32_t{uint8_t(code[2])} << 16 |
                                  uint32_t{uint8_t(code[3])} << 24,
                              0,
                              0,
                              0,
                              0,
                              0};
    };
    Bytes cube = DdsWithData(DdsHeader(8, 8, argb), 6 * 8 * 8 * 4);
    Set32(cube, 112, 0xFE00); // a cube map with all six faces
    Bytes volume = DdsWithData(DdsHeader(8, 8, argb), 4 * 8 * 8 * 4);
    Set32(volume, 8, 0x801007);
    Set32(volume, 24, 4);
    Set32(volume, 112, 0x200000);
    Bytes faceless = cube;
    Set32(faceless, 112, 0x200); // a cube map without faces
    const struct {
        const char* name;
        Bytes file;
        D3DRESOURCETYPE type; // what the header read reports, or 0 for a refusal
    } layouts[] = {
        {"cube map", cube, D3DRTYPE_CUBETEXTURE},
        {"volume", volume, D3DRTYPE_VOLUMETEXTURE},
        {"cube map without faces", faceless, D3DRESOURCETYPE(0)},
        {"FourCC ABCD", DdsWithData(DdsHeader(8, 8, fourCC("ABCD")), 256), D3DRESOURCETYPE(0)},
        {"FourCC DX10", DdsWithData(DdsHeader(8, 8, fourCC("DX10")), 512), D3DRESOURCETYPE(0)},
        {"16 bits a channel (FourCC 36)",
         DdsWithData(DdsHeader(8, 8, {0x4, 36, 0, 0, 0, 0, 0}), 512), D3DRESOURCETYPE(0)},
        {"overlapping masks",
         DdsWithData(DdsHeader(8, 8, {0x40, 0, 32, 0xFF00, 0xFF00, 0xFF, 0}), 256),
         D3DRESOURCETYPE(0)},
        {"zero bits a pixel", DdsWithData(DdsHeader(8, 8, {0x40, 0, 0, 0, 0, 0, 0}), 256),
         D3DRESOURCETYPE(0)},
        {"bad pixel format size", Patched(DdsWithData(DdsHeader(8, 8, argb), 256), 76, 24),
         D3DRESOURCETYPE(0)},
    };
    for (const auto& layout : layouts) {
        SCOPED_TRACE(layout.name);
        const Case c{layout.name, "dds", layout.file, Expect::Refused};
        Check(folder, c, Outcome{});
        D3DXIMAGE_INFO info{};
        const std::string path = folder.Write("layout.dds", layout.file);
        if (layout.type == 0) {
            EXPECT_EQ(D3DXGetImageInfoFromFileA(path.c_str(), &info), D3DXERR_INVALIDDATA);
        } else {
            ASSERT_EQ(D3DXGetImageInfoFromFileA(path.c_str(), &info), D3D_OK);
            EXPECT_EQ(info.ResourceType, layout.type);
            EXPECT_EQ(info.Width, 8u);
            EXPECT_EQ(info.Height, 8u);
        }
    }

    // DXT1 of 6 x 5 pixels (blocks hang over the edges): every colour-0
    // index of a red-to-blue block is pure red.
    Bytes dxt1 = DdsHeader(6, 5, fourCC("DXT1"));
    for (int block = 0; block < 4; ++block)
        dxt1.insert(dxt1.end(), {0x00, 0xF8, 0x1F, 0x00, 0, 0, 0, 0});
    Outcome red;
    red.width = 6;
    red.height = 5;
    red.texels.assign(30, 0xFFFF0000u);
    Check(folder, {"DXT1 6 x 5", "dds", dxt1, Expect::SameImage}, red);
    dxt1.pop_back();
    Check(folder, {"DXT1 6 x 5 one byte short", "dds", dxt1, Expect::Refused}, red);
    ExpectResidentSetWithinBound(resident);
}

} // namespace
