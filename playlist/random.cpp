// The Microsoft C library's rand, reproduced bit for bit: the shuffle's index
// formula assumes its 15-bit range, and the same seed must give the same order
// on every target.
#include "playlist/random.h"

namespace {
uint32_t randomState = 1; // the C library's state before any srand
}

void SeedRandom(uint32_t seed) {
    randomState = seed;
}

int32_t NextRandom() {
    // Unsigned arithmetic wraps modulo 2^32, as the generator requires.
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int32_t>((randomState >> 16) & 0x7fffu);
}
