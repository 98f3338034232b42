// An independent model of the shuffle for the tests: the generator in 64-bit
// arithmetic and the exact integer index formula, valid up to 256 entries.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct ReferenceRandom {
    uint64_t state;
    int32_t Next() {
        state = (state * 214013 + 2531011) % 4294967296ull;
        return static_cast<int32_t>((state / 65536) % 32768);
    }
};

inline std::vector<std::string> ReferenceShuffle(std::vector<std::string> list,
                                                 ReferenceRandom& random) {
    for (int64_t i = static_cast<int64_t>(list.size()) - 1; i >= 1; --i) {
        const int64_t r = random.Next();
        const int64_t j = (2 * r + 1) * (i + 1) / 65536;
        std::swap(list[static_cast<size_t>(i)], list[static_cast<size_t>(j)]);
    }
    return list;
}
