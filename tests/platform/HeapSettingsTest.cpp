#include "platform/foundation/HeapSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <malloc.h>

// A block of a few megabytes is a mapping of its own even after a larger one was freed, which by default
// raises the bound so that the next such block comes from the heap, and stays there once freed.
TEST(HeapSettings, LargeBlocksAreMappedAfterALargerOneWasFreed) {
    platform::mapLargeBlocks();
    void* larger = std::malloc(std::size_t(12) << 20);
    ASSERT_NE(larger, nullptr);
    std::memset(larger, 1, 4096);
    std::free(larger);
    const std::size_t mappedBefore = mallinfo2().hblkhd;
    void* frame = std::malloc(std::size_t(8) << 20);
    ASSERT_NE(frame, nullptr);
    std::memset(frame, 2, 4096);
    const std::size_t mappedWith = mallinfo2().hblkhd;
    std::free(frame);
    EXPECT_GE(mappedWith, mappedBefore + (std::size_t(8) << 20)) << "the block came from the heap";
}
