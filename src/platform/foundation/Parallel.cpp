#include "platform/foundation/Parallel.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace platform {

void forEachIndex(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& work) {
    std::atomic<std::size_t> next{0};
    const auto run = [&] {
        for (std::size_t i = next++; i < count; i = next++)
            work(i);
    };
    std::vector<std::jthread> helpers; // joined as they go out of scope
    const std::size_t workers = std::min<std::size_t>(count, std::max(threads, 1u));
    for (std::size_t i = 1; i < workers; ++i)
        helpers.emplace_back(run);
    run();
}

namespace {
std::atomic<unsigned> coresSet{0};
} // namespace

unsigned coreCount() {
    const unsigned set = coresSet.load();
    return set > 0 ? set : std::max(1u, std::thread::hardware_concurrency());
}

void setCoreCountForTesting(unsigned count) {
    coresSet = count;
}

} // namespace platform
