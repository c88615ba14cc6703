#include "platform/foundation/HeapSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <malloc.h>

namespace {

// True when a block of a few megabytes is a mapping of its own after a larger one was freed, which by
// default raises the bound so that the next such block comes from the heap, and stays there once freed.
bool largeBlockIsMapped() {
    // Called through pointers the compiler cannot see through, so that no allocation is left out.
    void* (*volatile allocate)(std::size_t) = std::malloc;
    void (*volatile release)(void*) = std::free;
    platform::mapLargeBlocks();
    void* larger = allocate(std::size_t(12) << 20);
    if (!larger)
        return false;
    release(larger);
    const std::size_t mappedBefore = mallinfo2().hblkhd;
    void* frame = allocate(std::size_t(8) << 20);
    if (!frame)
        return false;
    const std::size_t mappedWith = mallinfo2().hblkhd;
    release(frame);
    return mappedWith >= mappedBefore + (std::size_t(8) << 20);
}

} // namespace

// The setting holds from start-up, as the application makes it: checked in a process of its own, since a heap
// that earlier tests left with large free blocks serves the next one from them, whatever the bound.
TEST(HeapSettings, LargeBlocksAreMappedAfterALargerOneWasFreed) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's allocator keeps heaps of its own";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(largeBlockIsMapped() ? 0 : 1), ::testing::ExitedWithCode(0), "")
        << "the block came from the heap";
}
