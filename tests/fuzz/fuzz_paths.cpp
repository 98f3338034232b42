// What each fuzz target does with one input, and the invariants it checks.
// The command line is parsed as the program parses it; an image is written to
// a file (the layer reads files only) and goes through both D3DX calls with
// the arguments the slide show passes, on a device whose textures live in
// memory.
#include "tests/fuzz/fuzz_paths.h"

#include "app/settings.h"
#include "platform/d3dx9/decoders.h"
#include "tests/fuzz/memory_device.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace {

// Textures are limited to this side, so larger images take the resampling
// path; seeds wider than this reach it. The back buffer is small, so that
// most seeds are reduced to what covers it (JPEGs at a DCT scale).
constexpr UINT kMaxTextureSide = 1024;
constexpr UINT kBackBufferWidth = 32, kBackBufferHeight = 24;

void Check(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
        std::abort();
    }
}

// ---- command line ----------------------------------------------------------

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// strtod also reads hexadecimal numbers and the words for infinity and NaN,
// which the program's conversion deliberately does not.
bool StrtodExtension(const char* text) {
    while (IsCSpace(*text))
        ++text;
    if (*text == '+' || *text == '-')
        ++text;
    return (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) || *text == 'i' || *text == 'I' ||
           *text == 'n' || *text == 'N';
}

// The program's conversions against the C library's, in the C locale.
void CheckNumbers(const char* text) {
    const long wide = std::strtol(text, nullptr, 10);
    const long clamped = std::clamp<long>(wide, INT32_MIN, INT32_MAX);
    Check(ParseInteger(text) == clamped, "ParseInteger agrees with strtol");
    if (StrtodExtension(text))
        return;
    const float expected = static_cast<float>(std::strtod(text, nullptr));
    const float got = ParseSeconds(text);
    Check(std::memcmp(&expected, &got, sizeof got) == 0, "ParseSeconds agrees with strtod");
}

// strtok_r as the reference for SplitString.
std::vector<std::string> Tokens(const std::string& text, const char* delimiters, size_t limit) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    std::vector<std::string> tokens;
    char* state = nullptr;
    for (char* token = strtok_r(buffer.data(), delimiters, &state);
         token != nullptr && tokens.size() < limit; token = strtok_r(nullptr, delimiters, &state))
        tokens.emplace_back(token);
    return tokens;
}

void FuzzCommandLine(const uint8_t* data, size_t size) {
    // The program receives a C string: it ends at the first zero byte.
    std::string line(reinterpret_cast<const char*>(data), size);
    line.resize(std::strlen(line.c_str()));

    Check(SplitString(line, " ", -1) == Tokens(line, " ", SIZE_MAX), "SplitString as strtok");
    Check(SplitString(line, "=", 2) == Tokens(line, "=", 2), "SplitString limit as strtok");
    CheckNumbers(line.c_str());

    settings = Settings{};
    ParseCommandLine(line.c_str());
    for (const std::string& word : commandWords)
        Check(!word.empty(), "no empty word");
    for (const auto& [key, value] : settingsMap) {
        Check(!key.empty() && !value.empty(), "no empty key or value");
        Check(key.find('=') == std::string::npos && value.find('=') == std::string::npos,
              "no = in a key or value");
        Check(key.size() + 1 + value.size() <= 259, "the word fitted the word buffer");
        const auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
        Check(std::none_of(key.begin(), key.end(), upper) &&
                  std::none_of(value.begin(), value.end(), upper),
              "keys and values are lower-cased");
        CheckNumbers(value.c_str());
    }
    const auto path = settingsMap.find("path");
    if (path != settingsMap.end())
        Check(settings.path == path->second.c_str(), "path points into settingsMap");
    else
        Check(settings.path != nullptr && settings.path[0] == '\0', "no path is the empty text");

    FreeSettings();
    Check(settingsMap.empty() && commandWords.empty() && settings.path[0] == '\0',
          "FreeSettings frees");
}

// ---- images ------------------------------------------------------------------

// The one file of this process that every image input is written to; it is
// removed when the process exits.
char inputPath[PATH_MAX];

void RemoveInput() {
    std::remove(inputPath);
}

const char* WriteInput(const uint8_t* data, size_t size) {
    if (inputPath[0] == '\0') {
        const std::string path = (std::filesystem::temp_directory_path() /
                                  ("vimbora-fuzz-" + std::to_string(getpid()) + ".img"))
                                     .string();
        Check(path.size() < sizeof inputPath, "the temporary folder has a short path");
        std::memcpy(inputPath, path.c_str(), path.size() + 1);
        std::atexit(RemoveInput);
    }
    FILE* file = std::fopen(inputPath, "wb");
    Check(file != nullptr, "the input file opens");
    // An empty input writes nothing (fwrite must not see its null pointer).
    Check((size == 0 || std::fwrite(data, 1, size, file) == size) && std::fclose(file) == 0,
          "the input file is written");
    return inputPath;
}

bool ValidInfo(const D3DXIMAGE_INFO& info) {
    return WithinStoredBound(info.ImageFileFormat, info.Width, info.Height, info.Depth) &&
           info.MipLevels >= 1 &&
           (info.ResourceType == D3DRTYPE_TEXTURE || info.ResourceType == D3DRTYPE_CUBETEXTURE ||
            info.ResourceType == D3DRTYPE_VOLUMETEXTURE) &&
           info.ImageFileFormat <= D3DXIFF_PFM;
}

HRESULT ReadInfo(const char* path, D3DXIMAGE_INFO& info) {
    const HRESULT result = D3DXGetImageInfoFromFileA(path, &info);
    Check(result == D3D_OK || result == D3DXERR_INVALIDDATA, "header read result");
    Check(result != D3D_OK || ValidInfo(info), "header within the decode bound");
    return result;
}

void FuzzImageInfo(const uint8_t* data, size_t size) {
    D3DXIMAGE_INFO info{};
    ReadInfo(WriteInput(data, size), info);
}

void FuzzImageDecode(const uint8_t* data, size_t size) {
    const char* path = WriteInput(data, size);
    D3DXIMAGE_INFO info{};
    const HRESULT infoResult = ReadInfo(path, info);

    MemoryDevice device(kMaxTextureSide, kBackBufferWidth, kBackBufferHeight);
    MemoryTexture* texture = nullptr;
    D3DXIMAGE_INFO sourceInfo{};
    const HRESULT result = LoadAsShow(device, path, &sourceInfo, &texture);
    Check(result == D3D_OK || result == D3DXERR_INVALIDDATA, "decode result");
    if (result != D3D_OK) {
        Check(texture == nullptr && device.texturesAlive == 0, "a failed decode leaves nothing");
        return;
    }
    Check(texture != nullptr && device.texturesAlive == 1, "one texture");
    Check(infoResult == D3D_OK && std::memcmp(&info, &sourceInfo, sizeof info) == 0,
          "the decode reports what the header read reports");
    Check(info.ResourceType == D3DRTYPE_TEXTURE, "only plain images decode");
    // Never larger than the image or the device allows; smaller when the
    // image is reduced to what covers the back buffer.
    Check(texture->width >= 1 && texture->height >= 1 &&
              texture->width <= std::min(info.Width, kMaxTextureSide) &&
              texture->height <= std::min(info.Height, kMaxTextureSide),
          "texture size");
    Check(!texture->locked && texture->GuardIntact(), "rows written within their pitch");
    if (texture->format == D3DFMT_X8R8G8B8) {
        for (UINT y = 0; y < texture->height; ++y) {
            for (UINT x = 0; x < texture->width; ++x)
                Check(texture->At(x, y) >> 24 == 0xFF, "opaque texels without alpha");
        }
    }
    texture->Release();
    Check(device.texturesAlive == 0, "the texture is released");
}

// The structured formats get targets of their own whose inputs always carry
// the format's signature, so that no mutation is spent on other formats.
template <size_t N>
std::vector<uint8_t> Signed(const uint8_t* data, size_t size, const char (&signature)[N]) {
    std::vector<uint8_t> input(data, data + size);
    input.resize(std::max(input.size(), N - 1));
    std::copy(signature, signature + N - 1, input.begin());
    return input;
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

// Mutated chunks keep valid checksums, or libpng would refuse nearly every
// input at the first changed chunk and never look inside.
void RepairChunkChecksums(std::vector<uint8_t>& png) {
    size_t at = 8;
    while (at + 12 <= png.size()) {
        const size_t length = size_t{png[at]} << 24 | size_t{png[at + 1]} << 16 |
                              size_t{png[at + 2]} << 8 | png[at + 3];
        if (length > png.size() - at - 12)
            break;
        const uint32_t crc = Crc32(&png[at + 4], length + 4);
        for (int i = 0; i < 4; ++i)
            png[at + 8 + length + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
        at += 12 + length;
    }
}

void FuzzJpeg(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> input = Signed(data, size, "\xFF\xD8\xFF");
    FuzzImageDecode(input.data(), input.size());
}
void FuzzPng(const uint8_t* data, size_t size) {
    std::vector<uint8_t> input = Signed(data, size, "\x89PNG\r\n\x1A\n");
    RepairChunkChecksums(input);
    FuzzImageDecode(input.data(), input.size());
}
void FuzzDds(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> input = Signed(data, size, "DDS ");
    FuzzImageDecode(input.data(), input.size());
}

} // namespace

FuzzPath FindFuzzPath(const std::string& name) {
    static const struct {
        const char* name;
        FuzzPath path;
    } kPaths[] = {
        {"cmdline", FuzzCommandLine},
        {"image_info", FuzzImageInfo},
        {"image_decode", FuzzImageDecode},
        {"jpeg", FuzzJpeg},
        {"png", FuzzPng},
        {"dds", FuzzDds},
    };
    for (const auto& p : kPaths) {
        if (name == p.name)
            return p.path;
    }
    return nullptr;
}
