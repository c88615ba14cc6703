#pragma once

namespace platform {

// Serves every block of a megabyte or more from a mapping of its own, given back to the system when freed.
// By default the allocator raises that bound to the largest block freed so far (up to 32 MB), so frames and
// pictures of several megabytes come from the threads' own heaps, which keep what was freed in them: a long
// export's memory then grows by the pieces each thread leaves behind. Once, at start-up.
void mapLargeBlocks();
// Gives back to the system the free memory the allocator keeps in its heaps. After an export or a play, the
// heaps of the threads that drew, decoded and encoded keep what those freed, scattered between what lives on,
// and only a trim returns it. For the end of such a burst: it walks every heap.
void returnFreeHeapMemory();

} // namespace platform
