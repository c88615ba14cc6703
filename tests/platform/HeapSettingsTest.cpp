#include "platform/foundation/HeapSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <malloc.h>

// A block of a few megabytes is a mapping of its own even after a larger one was freed, which by default
// raises the bound so that the next such block comes from the heap, and stays there once freed.
TEST(HeapSettings, LargeBlocksAreMappedAfterALargerOneWasFreed) {
    // Called through pointers the compiler cannot see through, so that no allocation is left out.
    void* (*volatile allocate)(std::size_t) = std::malloc;
    void (*volatile release)(void*) = std::free;
    platform::mapLargeBlocks();
    void* larger = allocate(std::size_t(12) << 20);
    ASSERT_NE(larger, nullptr);
    release(larger);
    const std::size_t mappedBefore = mallinfo2().hblkhd;
    void* frame = allocate(std::size_t(8) << 20);
    ASSERT_NE(frame, nullptr);
    const std::size_t mappedWith = mallinfo2().hblkhd;
    release(frame);
    EXPECT_GE(mappedWith, mappedBefore + (std::size_t(8) << 20)) << "the block came from the heap";
}
