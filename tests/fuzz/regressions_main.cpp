// Replays saved fuzz inputs: every file in a folder through one target's
// path, the same code the fuzzer ran when it found them, in whatever build
// this is (normal or sanitizer). A broken invariant aborts and a memory fault
// shows under the sanitizer build; an input that makes an allocation the
// fuzzer would have called out of memory fails the run; otherwise the run
// prints how many files it replayed and succeeds.
//
// Usage: fuzz_regressions <target> <folder>
#include "tests/fuzz/fuzz_paths.h"
#include "tests/fuzz/heap_watch.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

// The limits scripts/fuzz gives libFuzzer (-malloc_limit_mb=257,
// -rss_limit_mb=2048): one block of the decode bound's 256 MiB, and room for
// a decode's pixels, texture and decoder buffers together.
constexpr size_t kLargestBlock = size_t{257} << 20;
constexpr size_t kLargestHeap = size_t{2048} << 20;

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <target> <folder>\n", argv[0]);
        return 2;
    }
    const FuzzPath path = FindFuzzPath(argv[1]);
    if (path == nullptr) {
        std::fprintf(stderr, "unknown fuzz target %s\n", argv[1]);
        return 2;
    }
    // A target whose fuzzing found nothing has no folder yet.
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(argv[2], error)) {
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const std::filesystem::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
        if (!in.eof() && in.fail()) {
            std::fprintf(stderr, "cannot read %s\n", file.c_str());
            return 1;
        }
        std::printf("%s\n", file.filename().c_str());
        std::fflush(stdout);
        StartHeapWatch();
        path(bytes.data(), bytes.size());
        const HeapUse heap = StopHeapWatch();
        if (heap.largestBlock > kLargestBlock || heap.peakGrowth > kLargestHeap) {
            std::fprintf(stderr, "%s: allocated a block of %zu bytes, %zu bytes at the peak\n",
                         file.c_str(), heap.largestBlock, heap.peakGrowth);
            return 1;
        }
    }
    std::printf("%s: %zu inputs replayed\n", argv[1], files.size());
    return 0;
}
