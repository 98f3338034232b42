// One libFuzzer target: FUZZ_TARGET names the path of fuzz_paths.cpp that
// every input is fed through.
#include "tests/fuzz/fuzz_paths.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzPath path = [] {
        const FuzzPath found = FindFuzzPath(FUZZ_TARGET);
        if (found == nullptr) {
            std::fprintf(stderr, "no fuzz path named %s\n", FUZZ_TARGET);
            std::abort();
        }
        return found;
    }();
    path(data, size);
    return 0;
}
