#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

// The small pool of frame buffers through which a frame pump hands frames to the writer in memory: the
// pump takes an idle buffer, fills it and queues it; the writer takes queued frames in order and gives the
// buffers back. With only a few buffers the pump can run at most that many frames ahead of the writer. A
// frame buffer moves between the pool, the producer and the consumer; it is never shared.
class EncoderBufferManager {
public:
    using Buffer = std::vector<std::uint8_t>;
    // Asked between waits: false ends a wait empty-handed (a cancelled export).
    using KeepWaiting = std::function<bool()>;

    static constexpr unsigned kBufferCount = 3;
    static constexpr unsigned kDefaultYUVBufferSize = 1280 * 720 * 4;
    static constexpr unsigned kDefaultWAVBufferSize = 2048;
    // How often a wait asks whether to go on when nothing wakes it.
    static constexpr std::chrono::milliseconds kPollInterval{100};

    EncoderBufferManager();
    EncoderBufferManager(unsigned yuvBufferSize, unsigned wavBufferSize);
    EncoderBufferManager(const EncoderBufferManager&) = delete;
    EncoderBufferManager& operator=(const EncoderBufferManager&) = delete;

    // The first idle buffer, sized to the frame size; nullopt while every buffer is out.
    std::optional<Buffer> allocYUVDataFromIdlePool();
    // The same, waiting for a buffer to come back; nullopt when keepWaiting says no.
    std::optional<Buffer> waitYUVDataFromIdlePool(const KeepWaiting& keepWaiting = {});
    void freeYUVDataToIdelPool(Buffer buffer);

    void addDataToPendingQueue(Buffer buffer);
    // Marks the end of the stream after the frames queued so far.
    void addEOFToPendingQueue();
    // The oldest queued frame. nullopt with *endOfStream true when the end marker was next (it is taken);
    // nullopt with false when nothing is queued.
    std::optional<Buffer> getDataFromPendingQueue(bool* endOfStream);
    // The same, waiting while nothing is queued; nullopt with false when keepWaiting says no.
    std::optional<Buffer> waitDataFromPendingQueue(bool* endOfStream, const KeepWaiting& keepWaiting = {});

    unsigned uYUVBufferSize() const;
    // Applies to the buffers handed out from now on.
    void setUYUVBufferSize(unsigned size);
    unsigned uWAVBufferSize() const { return wavBufferSize; }

    std::size_t idleCount() const;
    std::size_t pendingCount() const;

private:
    // An empty entry is the end marker.
    using Entry = std::optional<Buffer>;

    std::optional<Buffer> takeIdle(std::unique_lock<std::mutex>& lock);
    std::optional<Buffer> takePending(bool* endOfStream, std::unique_lock<std::mutex>& lock);
    template <typename Ready>
    bool waitUntil(std::unique_lock<std::mutex>& lock, const KeepWaiting& keepWaiting, Ready ready);

    mutable std::mutex lockYUVBuffer;
    std::condition_variable changed;
    unsigned yuvBufferSize;
    std::deque<Buffer> yuvBufferPool;
    std::deque<Entry> yuvUsingArray;
    // The sound side, beside the frames' with a lock of its own, holds no buffers: the paths that feed the
    // writer through the pool read their sound from the mix themselves. It goes with the pool, empty.
    const unsigned wavBufferSize;
    std::mutex lockWAVBuffer;
    std::deque<Buffer> wavBufferPool;
    std::deque<Buffer> wavUsingArray;
};
