// In-process measurements for scripts/bench, through the program's own code
// and the real platform layer (run it in an X display):
//
//   vimbora_bench load [--repeat N] FILE...
//     The advance stall: one LoadNextSlide per file (header read, decode,
//     texture upload) into the program's nextSlide on a 1920 × 1200 device,
//     and beside it the decoding library's own read of the same file at the
//     same scale (libjpeg-turbo, libpng, stb_image; for DDS, reading the
//     file). One line per file.
//
//   vimbora_bench make-png WIDTH HEIGHT FILE
//   vimbora_bench make-jpg WIDTH HEIGHT FILE
//     Writes an RGB image of any size: rings, a gradient and a fine diagonal
//     weave, so that the coded data is neither trivial nor as large as noise
//     (ImageMagick refuses sides beyond 16384 and holds a PNG whole). The PNG
//     is written row by row; the JPEG at quality 94, 4:2:0, as cameras do.
//
//   vimbora_bench scan [--repeat N] COUNT DIR...
//     BuildPlaylist over each folder, which is first filled with COUNT empty
//     files named like images if it holds fewer; beside it one plain readdir
//     pass over the folder and the shuffle alone. One line per folder.
//
// Every figure is the median of N runs (default 7) after one unmeasured run,
// in milliseconds, of wall-clock time and of the process's CPU time. Lines
// are words and values separated by tabs.
#include <dirent.h>
#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "app/settings.h"
#include "platform/win32.h"
#include "playlist/playlist.h"
#include "render/crossfade.h"
#include "render/device.h"
#include "render/slides.h"
#include "tests/bench/stb_reference.h"
#include "window/window.h"

namespace {

int repeats = 7;

// Medians of one measured step: wall-clock time, and the CPU time of the
// whole process (all threads), which other work on the machine disturbs less.
struct Timing {
    double wallMs = 0;
    double cpuMs = 0;
};

double NowMs(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Medians of `run` over `repeats` runs after one unmeasured run; `between`
// runs after each, unmeasured.
Timing Measure(
    const std::function<void()>& run, const std::function<void()>& between = [] {}) {
    run();
    between();
    std::vector<double> walls, cpus;
    for (int i = 0; i < repeats; ++i) {
        const double wall = NowMs(CLOCK_MONOTONIC);
        const double cpu = NowMs(CLOCK_PROCESS_CPUTIME_ID);
        run();
        cpus.push_back(NowMs(CLOCK_PROCESS_CPUTIME_ID) - cpu);
        walls.push_back(NowMs(CLOCK_MONOTONIC) - wall);
        between();
    }
    std::sort(walls.begin(), walls.end());
    std::sort(cpus.begin(), cpus.end());
    return Timing{walls[walls.size() / 2], cpus[cpus.size() / 2]};
}

std::vector<unsigned char> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

std::string Extension(const std::string& path) {
    const size_t dot = path.rfind('.');
    std::string ext = dot == std::string::npos ? "" : path.substr(dot + 1);
    for (char& c : ext)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return ext;
}

// The decoding library's own work on `path`, decoding to `width` × `height`
// 32-bit pixels where the library can scale (JPEG), else at the stored size.
// Returns the library's name; an empty name when there is none to compare.
std::string LibraryRead(const std::string& path, UINT width, UINT height, Timing& ms) {
    const std::vector<unsigned char> file = ReadFile(path);
    const std::string ext = Extension(path);
    if (ext == "jpg") {
        std::vector<unsigned char> pixels(size_t{width} * height * 4);
        ms = Measure([&] {
            tjhandle handle = tjInitDecompress();
            tjDecompress2(handle, file.data(), file.size(), pixels.data(), static_cast<int>(width),
                          0, static_cast<int>(height), TJPF_BGRA, 0);
            tjDestroy(handle);
        });
        return "libjpeg-turbo tjDecompress2";
    }
    if (ext == "png") {
        ms = Measure([&] {
            png_image image{};
            image.version = PNG_IMAGE_VERSION;
            if (png_image_begin_read_from_memory(&image, file.data(), file.size()) != 0) {
                image.format = PNG_FORMAT_BGRA;
                std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
                png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
            }
            png_image_free(&image);
        });
        return "libpng simplified read";
    }
    if (ext == "bmp" || ext == "hdr") {
        ms = Measure(
            [&] { StbReferenceRead(file.data(), static_cast<int>(file.size()), ext == "hdr"); });
        return ext == "hdr" ? "stb_image stbi_loadf" : "stb_image stbi_load";
    }
    if (ext == "dds") {
        ms = Measure([&] {
            std::vector<unsigned char> bytes = ReadFile(path);
            if (bytes.empty())
                std::abort();
        });
        return "file read";
    }
    return "";
}

// An empty folder for the settings' path: LoadNextSlide rebuilds the
// playlist from it after trying its one entry.
std::string MakeEmptyFolder() {
    char pattern[] = "/tmp/vimbora-bench-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    return made;
}

void ReleaseNextImage() {
    ReleaseReference(nextSlide.surface);
    ReleaseReference(nextSlide.texture);
    nextSlide.loaded = false;
}

int Load(const std::vector<std::string>& files) {
    const std::string empty = MakeEmptyFolder();
    const std::string commandLine = "width=1920 height=1200 path=" + empty;
    ParseCommandLine(commandLine.c_str());
    static char instance;
    CreateMainWindow(reinterpret_cast<HINSTANCE>(&instance), SW_SHOWNORMAL);
    if (mainWindow == nullptr || !CreateGraphicsDevice()) {
        std::fprintf(stderr, "vimbora_bench: no window or device (is DISPLAY set?)\n");
        return 1;
    }
    CreateSlideQuad(currentSlide);
    CreateSlideQuad(nextSlide);
    SetCrossfadeStates();
    for (const std::string& file : files) {
        bool loaded = true;
        const Timing stall = Measure(
            [&] {
                Playlist.assign(1, file);
                playlistCursor = 0;
                LoadNextSlide();
                loaded = loaded && nextSlide.loaded;
            },
            [] {
                // As in the show: the image goes, frames are drawn (and the
                // renderer frees what it held), messages are pumped.
                ReleaseNextImage();
                DrawCrossfadeFrame(0.0f);
                DrawCrossfadeFrame(0.0f);
                PumpMessages();
            });
        // Once more, to learn the sizes.
        Playlist.assign(1, file);
        playlistCursor = 0;
        LoadNextSlide();
        const D3DXIMAGE_INFO info = nextSlide.imageInfo;
        const D3DSURFACE_DESC desc = nextSlide.surfaceDesc;
        ReleaseNextImage();
        Timing limit;
        const std::string library = LibraryRead(file, desc.Width, desc.Height, limit);
        std::printf("load\t%s\tloaded\t%s\tstored\t%ux%u\ttexture\t%ux%u\tstall-ms\t%.2f\t"
                    "stall-cpu-ms\t%.2f\tlibrary\t%s\tlibrary-ms\t%.2f\tlibrary-cpu-ms\t%.2f\n",
                    file.c_str(), loaded ? "yes" : "no", info.Width, info.Height, desc.Width,
                    desc.Height, stall.wallMs, stall.cpuMs, library.c_str(), limit.wallMs,
                    limit.cpuMs);
        std::fflush(stdout);
    }
    ReleaseGraphics();
    rmdir(empty.c_str());
    return 0;
}

// Fills `folder` with `count` empty files named like the nine image kinds,
// unless it already holds at least that many entries.
void FillFolder(const std::string& folder, int count) {
    mkdir(folder.c_str(), 0755);
    int present = 0;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir))
            present += entry->d_name[0] != '.';
        closedir(dir);
    }
    static const char* const kinds[] = {"bmp", "dds", "dib", "hdr", "jpg",
                                        "pfm", "png", "ppm", "tga"};
    for (int i = present; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/photo-%06d.%s", i, kinds[i % 9]);
        const int fd = open((folder + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0)
            close(fd);
    }
}

int Scan(int count, const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) {
        FillFolder(folder, count);
        const std::string commandLine = "path=" + folder;
        ParseCommandLine(commandLine.c_str());
        const Timing build = Measure([] { BuildPlaylist(); });
        const size_t entries = Playlist.size();
        const std::vector<std::string> scanned = Playlist;
        std::vector<std::string> list;
        const Timing shuffle = Measure([&] { ShufflePlaylist(list); }, [&] { list = scanned; });
        const Timing listing = Measure([&] {
            DIR* dir = opendir(folder.c_str());
            size_t n = 0;
            while (readdir(dir) != nullptr)
                ++n;
            closedir(dir);
            if (n == 0)
                std::abort();
        });
        std::printf("scan\t%s\tentries\t%zu\tbuild-ms\t%.2f\tbuild-cpu-ms\t%.2f\tshuffle-ms\t%.2f\t"
                    "readdir-ms\t%.2f\n",
                    folder.c_str(), entries, build.wallMs, build.cpuMs, shuffle.wallMs,
                    listing.wallMs);
        std::fflush(stdout);
        FreeSettings();
    }
    return 0;
}

void PatternRow(UINT width, UINT height, UINT y, png_byte* row) {
    const int64_t cx = width / 2, cy = height / 2;
    for (UINT x = 0; x < width; ++x) {
        const int64_t dx = x - cx, dy = y - cy;
        row[x * 3] = static_cast<png_byte>((dx * dx + dy * dy) >> 12);
        row[x * 3 + 1] = static_cast<png_byte>(uint64_t{y} * 255 / height);
        row[x * 3 + 2] = static_cast<png_byte>(((x + y) & 8) != 0 ? 200 : 40);
    }
}

int MakeJpeg(UINT width, UINT height, const std::string& path) {
    std::vector<unsigned char> pixels(size_t{width} * height * 3);
    for (UINT y = 0; y < height; ++y)
        PatternRow(width, height, y, pixels.data() + size_t{y} * width * 3);
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int result =
        tjCompress2(handle, pixels.data(), static_cast<int>(width), 0, static_cast<int>(height),
                    TJPF_RGB, &jpeg, &size, TJSAMP_420, 94, 0);
    bool written = false;
    if (result == 0) {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(jpeg), static_cast<std::streamsize>(size));
        written = static_cast<bool>(out);
    }
    tjFree(jpeg);
    tjDestroy(handle);
    if (!written)
        std::fprintf(stderr, "vimbora_bench: cannot write %s\n", path.c_str());
    return written ? 0 : 1;
}

int MakePng(UINT width, UINT height, const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (file == nullptr || png == nullptr || info == nullptr || width == 0 || height == 0 ||
        setjmp(png_jmpbuf(png))) {
        std::fprintf(stderr, "vimbora_bench: cannot write %s\n", path.c_str());
        return 1;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 6);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(size_t{width} * 3);
    for (UINT y = 0; y < height; ++y) {
        PatternRow(width, height, y, row.data());
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[1] == "--repeat" && args.size() >= 3) {
        repeats = std::max(1, std::atoi(args[2].c_str()));
        args.erase(args.begin() + 1, args.begin() + 3);
    }
    if (args.size() >= 2 && args[0] == "load")
        return Load(std::vector<std::string>(args.begin() + 1, args.end()));
    if (args.size() == 4 && args[0] == "make-jpg")
        return MakeJpeg(static_cast<UINT>(std::atoi(args[1].c_str())),
                        static_cast<UINT>(std::atoi(args[2].c_str())), args[3]);
    if (args.size() == 4 && args[0] == "make-png")
        return MakePng(static_cast<UINT>(std::atoi(args[1].c_str())),
                       static_cast<UINT>(std::atoi(args[2].c_str())), args[3]);
    if (args.size() >= 3 && args[0] == "scan")
        return Scan(std::atoi(args[1].c_str()),
                    std::vector<std::string>(args.begin() + 2, args.end()));
    std::fprintf(stderr, "usage: vimbora_bench load [--repeat N] FILE...\n"
                         "       vimbora_bench make-png WIDTH HEIGHT FILE\n"
                         "       vimbora_bench make-jpg WIDTH HEIGHT FILE\n"
                         "       vimbora_bench scan [--repeat N] COUNT DIR...\n");
    return 2;
}
