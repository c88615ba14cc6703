#include "export/EncoderBufferManager.h"

EncoderBufferManager::EncoderBufferManager()
    : EncoderBufferManager(kDefaultYUVBufferSize, kDefaultWAVBufferSize) {}

EncoderBufferManager::EncoderBufferManager(unsigned yuvSize, unsigned wavSize)
    : yuvBufferSize(yuvSize), wavBufferSize(wavSize) {
    for (unsigned i = 0; i < kBufferCount; ++i)
        yuvBufferPool.emplace_back(yuvSize);
}

std::optional<EncoderBufferManager::Buffer> EncoderBufferManager::allocYUVDataFromIdlePool() {
    std::unique_lock lock(lockYUVBuffer);
    return takeIdle(lock);
}

std::optional<EncoderBufferManager::Buffer>
EncoderBufferManager::waitYUVDataFromIdlePool(const KeepWaiting& keepWaiting) {
    std::unique_lock lock(lockYUVBuffer);
    if (!waitUntil(lock, keepWaiting, [this] { return !yuvBufferPool.empty(); }))
        return std::nullopt;
    return takeIdle(lock);
}

void EncoderBufferManager::freeYUVDataToIdelPool(Buffer buffer) {
    {
        const std::lock_guard lock(lockYUVBuffer);
        yuvBufferPool.push_back(std::move(buffer));
    }
    changed.notify_all();
}

void EncoderBufferManager::addDataToPendingQueue(Buffer buffer) {
    {
        const std::lock_guard lock(lockYUVBuffer);
        yuvUsingArray.emplace_back(std::move(buffer));
    }
    changed.notify_all();
}

void EncoderBufferManager::addEOFToPendingQueue() {
    {
        const std::lock_guard lock(lockYUVBuffer);
        yuvUsingArray.emplace_back(std::nullopt);
    }
    changed.notify_all();
}

std::optional<EncoderBufferManager::Buffer> EncoderBufferManager::getDataFromPendingQueue(bool* endOfStream) {
    std::unique_lock lock(lockYUVBuffer);
    return takePending(endOfStream, lock);
}

std::optional<EncoderBufferManager::Buffer>
EncoderBufferManager::waitDataFromPendingQueue(bool* endOfStream, const KeepWaiting& keepWaiting) {
    std::unique_lock lock(lockYUVBuffer);
    if (!waitUntil(lock, keepWaiting, [this] { return !yuvUsingArray.empty(); })) {
        if (endOfStream)
            *endOfStream = false;
        return std::nullopt;
    }
    return takePending(endOfStream, lock);
}

unsigned EncoderBufferManager::uYUVBufferSize() const {
    const std::lock_guard lock(lockYUVBuffer);
    return yuvBufferSize;
}

void EncoderBufferManager::setUYUVBufferSize(unsigned size) {
    const std::lock_guard lock(lockYUVBuffer);
    yuvBufferSize = size;
}

std::size_t EncoderBufferManager::idleCount() const {
    const std::lock_guard lock(lockYUVBuffer);
    return yuvBufferPool.size();
}

std::size_t EncoderBufferManager::pendingCount() const {
    const std::lock_guard lock(lockYUVBuffer);
    return yuvUsingArray.size();
}

std::optional<EncoderBufferManager::Buffer> EncoderBufferManager::takeIdle(std::unique_lock<std::mutex>&) {
    if (yuvBufferPool.empty())
        return std::nullopt;
    Buffer buffer = std::move(yuvBufferPool.front());
    yuvBufferPool.pop_front();
    buffer.resize(yuvBufferSize);
    return buffer;
}

std::optional<EncoderBufferManager::Buffer> EncoderBufferManager::takePending(bool* endOfStream,
                                                                              std::unique_lock<std::mutex>&) {
    bool atEnd = false;
    std::optional<Buffer> taken;
    if (!yuvUsingArray.empty()) {
        Entry& entry = yuvUsingArray.front();
        atEnd = !entry.has_value();
        if (!atEnd)
            taken.emplace(std::move(*entry));
        yuvUsingArray.pop_front();
    }
    if (endOfStream)
        *endOfStream = atEnd;
    return taken;
}

template <typename Ready>
bool EncoderBufferManager::waitUntil(std::unique_lock<std::mutex>& lock, const KeepWaiting& keepWaiting,
                                     Ready ready) {
    while (!ready()) {
        // The predicate may read flags of other threads that do not notify us, so it is asked again at
        // least every poll interval; it runs without the lock, as it may take locks of its own.
        if (keepWaiting) {
            lock.unlock();
            const bool goOn = keepWaiting();
            lock.lock();
            if (!goOn)
                return false;
            changed.wait_for(lock, kPollInterval);
        } else {
            changed.wait(lock);
        }
    }
    return true;
}
