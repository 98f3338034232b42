// The playlist shuffle: Fisher-Yates from the last entry down, one draw of the
// 15-bit generator per exchange.
#include "playlist/playlist.h"
#include "playlist/random.h"

#include <utility>

int32_t ShuffleIndex(int32_t r, int32_t i) {
    if (i <= 0) {
        return 0;
    }
    // (r + 0.5) * 2^-15 is exact in single precision; only the product with
    // (i + 1) rounds, which in lists of more than 256 entries can, rarely, add
    // one to the exact quotient. i + 1 is formed in 64 bits so that it cannot
    // overflow, and the clamp below keeps j in 0..i whatever r is.
    const float unit = (static_cast<float>(r) + 0.5f) * 3.0517578125e-05f;
    const float scaled = unit * static_cast<float>(static_cast<int64_t>(i) + 1);
    // |scaled| stays below 2^48 for every r and i: the conversion is defined.
    const auto j = static_cast<int64_t>(scaled);
    if (j < 0) {
        return 0;
    }
    return j > i ? i : static_cast<int32_t>(j);
}

void ShufflePlaylist(std::vector<std::string>& list) {
    for (size_t i = list.size() > 1 ? list.size() - 1 : 0; i >= 1; --i) {
        const int32_t j = ShuffleIndex(NextRandom(), static_cast<int32_t>(i));
        if (static_cast<size_t>(j) != i) {
            std::swap(list[i], list[static_cast<size_t>(j)]);
        }
    }
}
