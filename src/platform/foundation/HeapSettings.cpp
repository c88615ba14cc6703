#include "platform/foundation/HeapSettings.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace platform {

void mapLargeBlocks() {
#if defined(__GLIBC__)
    constexpr int kMappedFrom = 1 << 20;
    mallopt(M_MMAP_THRESHOLD, kMappedFrom);
#endif
}

void returnFreeHeapMemory() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace platform
