#include "platform/foundation/HeapSettings.h"

#include <cstdlib> // defines __GLIBC__ for the check below, which no precompiled header may have done

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
