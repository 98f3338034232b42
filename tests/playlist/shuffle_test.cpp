// The 15-bit generator, the single-precision shuffle index and the shuffle.
#include "playlist/playlist.h"
#include "playlist/random.h"
#include "reference.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(Random, ReproducesTheMicrosoftSequence) {
    SeedRandom(1);
    std::vector<int32_t> drawn;
    for (int k = 0; k < 5; ++k) {
        drawn.push_back(NextRandom());
    }
    EXPECT_EQ(drawn, (std::vector<int32_t>{41, 18467, 6334, 26500, 19169}));

    SeedRandom(0);
    EXPECT_EQ(NextRandom(), 38);
    EXPECT_EQ(NextRandom(), 7719);
    EXPECT_EQ(NextRandom(), 21238);
    SeedRandom(0xffffffffu); // the state wraps modulo 2^32
    EXPECT_EQ(NextRandom(), 35);

    ReferenceRandom reference{123456789};
    SeedRandom(123456789);
    int mismatches = 0;
    for (int k = 0; k < 100000; ++k) {
        mismatches += NextRandom() != reference.Next();
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(ShuffleIndex, MatchesTheIntegerFormulaAndStaysInRange) {
    // Up to 256 entries the single-precision product is exact.
    int mismatches = 0;
    for (int32_t i = 0; i < 256; ++i) {
        for (int32_t r = 0; r <= 32767; ++r) {
            const int32_t expected = (2 * r + 1) * (i + 1) / 65536;
            if (ShuffleIndex(r, i) != expected && ++mismatches < 10) {
                ADD_FAILURE() << "r=" << r << " i=" << i << " gave " << ShuffleIndex(r, i);
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(ShuffleIndex(16383, 1), 0);
    EXPECT_EQ(ShuffleIndex(16384, 1), 1);

    // Beyond that the rounding may add one to the quotient (and above 2^24
    // entries i + 1 itself rounds), never past i. The product of two floats
    // is exact in double precision, so rounding it once to float gives the
    // single-precision product independently.
    const int32_t largest = std::numeric_limits<int32_t>::max();
    for (int32_t i :
         {256, 1000, 65535, 16777215, 16777216, 16777217, 100000007, largest - 1, largest}) {
        for (int32_t r : {0, 1, 12345, 16384, 32766, 32767}) {
            const float unit = (static_cast<float>(r) + 0.5f) / 32768.0f;
            const auto product = static_cast<float>(
                static_cast<double>(unit) *
                static_cast<double>(static_cast<float>(static_cast<int64_t>(i) + 1)));
            const int64_t expected = std::min<int64_t>(static_cast<int64_t>(product), i);
            const int32_t j = ShuffleIndex(r, i);
            EXPECT_EQ(j, expected) << "r=" << r << " i=" << i;
            EXPECT_GE(j, 0) << "r=" << r << " i=" << i;
            EXPECT_LE(j, i) << "r=" << r << " i=" << i;
            if (i < (1 << 24)) {
                const int64_t quotient = (2 * int64_t{r} + 1) * (int64_t{i} + 1) / 65536;
                EXPECT_TRUE(j == quotient || j == quotient + 1) << "r=" << r << " i=" << i;
            }
        }
    }
    // Draws outside the generator's range are clamped, not trusted.
    EXPECT_EQ(ShuffleIndex(-5, 10), 0);
    EXPECT_EQ(ShuffleIndex(1 << 20, 10), 10);
    EXPECT_EQ(ShuffleIndex(largest, largest), largest);
}

TEST(ShufflePlaylist, DrawsOncePerExchangeAsFisherYates) {
    for (size_t n : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size_t{10}, size_t{256}}) {
        std::vector<std::string> list;
        for (size_t k = 0; k < n; ++k) {
            list.push_back("image" + std::to_string(k));
        }
        ReferenceRandom reference{2024};
        const std::vector<std::string> expected = ReferenceShuffle(list, reference);
        SeedRandom(2024);
        ShufflePlaylist(list);
        EXPECT_EQ(list, expected) << n;
        // n - 1 draws for two entries or more, none otherwise: the next draw
        // continues the reference sequence.
        EXPECT_EQ(NextRandom(), reference.Next()) << n;
    }

    // Two entries: a draw below 16384 exchanges them, from 16384 on it does not.
    // Seed 1 draws 41 first; a seed with a high first draw is looked up.
    std::vector<std::string> pair = {"a", "b"};
    SeedRandom(1);
    ShufflePlaylist(pair);
    EXPECT_EQ(pair, (std::vector<std::string>{"b", "a"}));
    uint32_t highSeed = 0;
    while (ReferenceRandom{highSeed}.Next() < 16384) {
        ++highSeed;
    }
    SeedRandom(highSeed);
    ShufflePlaylist(pair);
    EXPECT_EQ(pair, (std::vector<std::string>{"b", "a"}));
}

} // namespace
