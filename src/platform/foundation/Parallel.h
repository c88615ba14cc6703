#pragma once

#include <cstddef>
#include <functional>

namespace platform {

// Runs work(i) for every i below `count` on up to `threads` threads, the caller's among them, each taking
// the next index once it is done with one; returns once every index has run.
void forEachIndex(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& work);

// The threads worth using for work that keeps a core busy: the machine's cores, at least one.
unsigned coreCount();
// Makes coreCount() answer `count` (0: the machine's again): for measures of many cores on a machine of few.
void setCoreCountForTesting(unsigned count);

} // namespace platform
