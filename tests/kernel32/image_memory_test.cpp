// The recycled image buffers: a buffer given back serves the next request it
// fits, handed out as zeros whatever it held; a larger request grows it.
#include <gtest/gtest.h>

#include "platform/kernel32/image_memory.h"

TEST(ImageMemoryTest, BuffersAreReusedClearedAndGrownOnlyWhenNeeded) {
    ImageBuffer first = TakeImageBuffer(1000);
    first.assign(1000, 0xAB);
    const uint8_t* block = first.data();
    GiveBackImageBuffer(std::move(first));
    EXPECT_GE(KeptImageBufferBytes(), 1000u);

    ImageBuffer again = TakeImageBuffer(600);
    EXPECT_EQ(block, again.data());
    EXPECT_EQ(ImageBuffer(600, 0), again);
    // With the one kept buffer taken, a second request makes a new one.
    ImageBuffer other = TakeImageBuffer(10);
    EXPECT_NE(block, other.data());
    GiveBackImageBuffer(std::move(other));
    GiveBackImageBuffer(std::move(again));

    // The smallest that fits is chosen; nothing fits, the largest grows.
    ImageBuffer small = TakeImageBuffer(5);
    EXPECT_NE(block, small.data());
    ImageBuffer large = TakeImageBuffer(5000);
    EXPECT_EQ(5000u, large.size());
    EXPECT_GE(large.capacity(), 5000u);
    GiveBackImageBuffer(std::move(small));
    GiveBackImageBuffer(std::move(large));
}
