#include "image_files.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <png.h>
#include <stdlib.h>
#include <turbojpeg.h>

namespace {

uint8_t Channel(uint32_t argb, int shift) {
    return static_cast<uint8_t>(argb >> shift);
}

void PutFloat(Bytes& out, float f, bool littleEndian) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(bits >> (littleEndian ? 8 * i : 24 - 8 * i)));
}

void PutText(Bytes& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
}

} // namespace

void Put16(Bytes& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(Bytes& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void Set32(Bytes& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

Image NoiseImage(UINT width, UINT height, bool alpha) {
    static const uint32_t levels[4] = {0, 64, 128, 255};
    Image image{width, height, {}};
    uint32_t state = 12345;
    for (size_t i = 0; i < size_t{width} * height; ++i) {
        state = state * 1103515245u + 12345u;
        const uint32_t h = state >> 8;
        const uint32_t a = alpha ? levels[(h >> 6) & 3] : 255;
        image.argb.push_back(a << 24 | levels[h & 3] << 16 | levels[(h >> 2) & 3] << 8 |
                             levels[(h >> 4) & 3]);
    }
    return image;
}

Image FlatImage(UINT width, UINT height, uint32_t argb) {
    return Image{width, height, std::vector<uint32_t>(size_t{width} * height, argb)};
}

Bytes BmpFile(const Image& image, int bits, bool topDown, const BmpOptions& options) {
    std::vector<uint32_t> palette;
    Bytes pixels;
    const size_t rowBytes = (image.width * bits + 31) / 32 * 4;
    for (UINT r = 0; r < image.height; ++r) {
        Bytes row(rowBytes);
        for (UINT x = 0; x < image.width; ++x) {
            const uint32_t p = image.At(x, topDown ? r : image.height - 1 - r), at = x * bits;
            auto index = std::find(palette.begin(), palette.end(), p);
            if (bits <= 8 && index == palette.end())
                index = palette.insert(index, p);
            if (bits <= 8)
                row[at / 8] |=
                    static_cast<uint8_t>((index - palette.begin()) << (8 - bits - at % 8));
            for (int i = 0; bits > 8 && i < bits / 8; ++i)
                row[at / 8 + i] = i < 3 ? Channel(p, 8 * i) : 0;
        }
        pixels.insert(pixels.end(), row.begin(), row.end());
    }
    if (options.compression == 1 || options.compression == 2)
        pixels.clear();
    if (options.paletteEntries != 0)
        palette.resize(options.paletteEntries);
    const bool core = options.headerSize == 12;
    // The three colour masks follow a 40-byte header and are inside longer
    // ones.
    const size_t headerEnd =
        14 + options.headerSize + (options.headerSize == 40 && options.compression == 3 ? 12 : 0);
    const size_t offset = headerEnd + palette.size() * (core ? 3 : 4);
    Bytes out{'B', 'M'};
    for (size_t v : {offset + pixels.size(), size_t{0}, offset, size_t{options.headerSize}})
        Put32(out, static_cast<uint32_t>(v));
    if (core) {
        for (uint32_t v : {image.width, image.height, 1u, static_cast<UINT>(bits)})
            Put16(out, v);
    } else {
        Put32(out, image.width);
        Put32(out, topDown ? 0u - image.height : image.height);
        Put16(out, 1);
        Put16(out, bits);
        for (uint32_t v :
             {options.compression, 0u, 0u, 0u, static_cast<uint32_t>(palette.size()), 0u,
              options.masks[0], options.masks[1], options.masks[2], options.masks[3]})
            Put32(out, v);
        out.resize(headerEnd);
    }
    for (uint32_t p : palette) {
        out.insert(out.end(), {Channel(p, 0), Channel(p, 8), Channel(p, 16)});
        if (!core)
            out.push_back(0);
    }
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

Bytes WithPixels(Bytes bmp, const Bytes& pixels) {
    bmp.resize(bmp[10] | bmp[11] << 8);
    bmp.insert(bmp.end(), pixels.begin(), pixels.end());
    Set32(bmp, 2, static_cast<uint32_t>(bmp.size()));
    return bmp;
}

Bytes TgaFile(const Image& image, int bits, bool rle) {
    Bytes out{0, 0, static_cast<uint8_t>(rle ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Put16(out, image.width);
    Put16(out, image.height);
    out.push_back(static_cast<uint8_t>(bits));
    out.push_back(bits == 32 ? 8 : 0);
    const size_t pixelBytes = bits / 8;
    for (UINT r = 0; r < image.height; ++r) {
        for (UINT x = 0; x < image.width; ++x) {
            // Raw packets of up to 128 pixels.
            if (rle && x % 128 == 0)
                out.push_back(static_cast<uint8_t>(std::min(128u, image.width - x) - 1));
            const uint32_t p = image.At(x, image.height - 1 - r);
            for (size_t c = 0; c < pixelBytes; ++c)
                out.push_back(Channel(p, 8 * static_cast<int>(c)));
        }
    }
    return out;
}

Bytes PnmFile(const Image& image, bool grey, uint32_t maxval) {
    Bytes out;
    PutText(out, std::string(grey ? "P5" : "P6") + "\n# test\n" + std::to_string(image.width) +
                     " " + std::to_string(image.height) + "\n" + std::to_string(maxval) + "\n");
    for (uint32_t p : image.argb) {
        for (int shift : {16, 8, 0}) {
            const uint32_t v = (Channel(p, shift) * maxval + 127) / 255;
            if (maxval > 255)
                out.push_back(static_cast<uint8_t>(v >> 8));
            out.push_back(static_cast<uint8_t>(v));
            if (grey)
                break;
        }
    }
    return out;
}

Bytes PfmFile(const Image& image, bool grey, bool littleEndian) {
    Bytes out;
    PutText(out, std::string(grey ? "Pf" : "PF") + "\n" + std::to_string(image.width) + " " +
                     std::to_string(image.height) + "\n" + (littleEndian ? "-1.0" : "1.0") + "\n");
    for (UINT r = 0; r < image.height; ++r) {
        for (UINT x = 0; x < image.width; ++x) {
            const uint32_t p = image.At(x, image.height - 1 - r);
            for (int shift : {16, 8, 0}) {
                PutFloat(out, Channel(p, shift) / 255.0f, littleEndian);
                if (grey)
                    break;
            }
        }
    }
    return out;
}

Bytes HdrFile(const Image& image) {
    Bytes out;
    PutText(out, "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y " + std::to_string(image.height) +
                     " +X " + std::to_string(image.width) + "\n");
    const bool rle = image.width >= 8 && image.width < 32768;
    for (UINT y = 0; y < image.height; ++y) {
        std::vector<uint8_t> rgbe;
        for (UINT x = 0; x < image.width; ++x) {
            const uint32_t p = image.At(x, y);
            // 255 stands for 1.0, 128 and 64 for 0.5 and 0.25: exact in RGBE
            // and back to the same bytes.
            float v[3];
            for (int i = 0; i < 3; ++i) {
                const uint8_t c = Channel(p, 16 - 8 * i);
                v[i] = c == 255 ? 1.0f : c / 256.0f;
            }
            const float largest = std::max({v[0], v[1], v[2]});
            int exponent = 0;
            if (largest <= 0.0f) {
                rgbe.insert(rgbe.end(), {0, 0, 0, 0});
                continue;
            }
            const float scale = std::frexp(largest, &exponent) * 256.0f / largest;
            for (float f : v)
                rgbe.push_back(static_cast<uint8_t>(f * scale));
            rgbe.push_back(static_cast<uint8_t>(exponent + 128));
        }
        if (!rle) {
            out.insert(out.end(), rgbe.begin(), rgbe.end());
            continue;
        }
        out.insert(out.end(), {2, 2, static_cast<uint8_t>(image.width >> 8),
                               static_cast<uint8_t>(image.width)});
        for (int c = 0; c < 4; ++c) {
            for (UINT x = 0; x < image.width; x += 128) {
                const UINT n = std::min(128u, image.width - x);
                out.push_back(static_cast<uint8_t>(n));
                for (UINT i = 0; i < n; ++i)
                    out.push_back(rgbe[(x + i) * 4 + c]);
            }
        }
    }
    return out;
}

Bytes PngFile(const Image& image, bool alpha) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = image.width;
    png.height = image.height;
    png.format = alpha ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
    Bytes pixels;
    for (uint32_t p : image.argb) {
        pixels.insert(pixels.end(), {Channel(p, 0), Channel(p, 8), Channel(p, 16)});
        if (alpha)
            pixels.push_back(Channel(p, 24));
    }
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&png, nullptr, &size, 0, pixels.data(), 0, nullptr);
    Bytes out(size);
    png_image_write_to_memory(&png, out.data(), &size, 0, pixels.data(), 0, nullptr);
    out.resize(size);
    return out;
}

namespace {

void AppendPngBytes(png_structp png, png_bytep data, size_t length) {
    Bytes& out = *static_cast<Bytes*>(png_get_io_ptr(png));
    out.insert(out.end(), data, data + length);
}

} // namespace

Bytes Png16File(const Image& image) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, AppendPngBytes, nullptr);
    png_set_IHDR(png, info, image.width, image.height, 16, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    Bytes row(size_t{image.width} * 6);
    for (UINT y = 0; y < image.height; ++y) {
        for (UINT x = 0; x < image.width; ++x) {
            const uint32_t p = image.At(x, y);
            for (int c = 0; c < 3; ++c) {
                const uint8_t v = Channel(p, 16 - 8 * c);
                row[x * 6 + c * 2] = v; // big-endian v * 257
                row[x * 6 + c * 2 + 1] = v;
            }
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes JpegFile(const Image& image, bool grey) {
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, reinterpret_cast<const unsigned char*>(image.argb.data()),
                static_cast<int>(image.width), 0, static_cast<int>(image.height), TJPF_BGRA, &jpeg,
                &size, grey ? TJSAMP_GRAY : TJSAMP_444, 100, TJFLAG_ACCURATEDCT);
    Bytes out(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(handle);
    return out;
}

Bytes DdsHeader(UINT width, UINT height, const DdsPixelFormat& format) {
    Bytes out{'D', 'D', 'S', ' '};
    Put32(out, 124);
    Put32(out, 0x1007); // caps, height, width, pixel format
    Put32(out, height);
    Put32(out, width);
    for (int i = 0; i < 14; ++i)
        Put32(out, 0); // pitch, depth, mip count, reserved
    Put32(out, 32);
    for (uint32_t v :
         {format.flags, format.fourCC, format.bits, format.r, format.g, format.b, format.a})
        Put32(out, v);
    Put32(out, 0x1000); // DDSCAPS_TEXTURE
    for (int i = 0; i < 4; ++i)
        Put32(out, 0);
    return out;
}

Bytes DdsA8R8G8B8File(const Image& image) {
    Bytes out =
        DdsHeader(image.width, image.height, {0x41, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000});
    for (uint32_t p : image.argb)
        Put32(out, p);
    return out;
}

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "d3dx9-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr)
        path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    if (!path_.empty())
        std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::Write(const std::string& name, const Bytes& bytes) const {
    const std::filesystem::path path = std::filesystem::path(path_) / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path.string();
}
