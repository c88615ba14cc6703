#pragma once

#include "platform/disc/TrackProducer.h"

#include <QByteArray>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

namespace disctest {

constexpr std::int64_t kBlock = 2048;

// Byte `offset` of the test stream: varies within a block and from block to block, so that a block
// recorded at the wrong place or a shifted byte shows.
inline std::uint8_t patternByte(std::int64_t offset) {
    std::int64_t block = offset / kBlock;
    return static_cast<std::uint8_t>((offset * 31 + block * 7 + (block >> 8)) & 0xff);
}

inline QByteArray pattern(std::int64_t bytes) {
    QByteArray data(static_cast<qsizetype>(bytes), Qt::Uninitialized);
    for (std::int64_t i = 0; i < bytes; ++i)
        data[static_cast<qsizetype>(i)] = static_cast<char>(patternByte(i));
    return data;
}

// Produces the pattern, endlessly or until `endAfterBytes`, in pieces of at most `piece` bytes, and
// records how it was called.
class PatternProducer : public platform::disc::TrackProducer {
public:
    explicit PatternProducer(std::int64_t endAfterBytes = -1, std::size_t piece = 0)
        : endAfter(endAfterBytes), piece(piece) {}

    bool prepareResult = true;
    std::atomic<int> prepareCalls{0};
    std::atomic<int> cleanupCalls{0};
    std::atomic<int> cancelCalls{0};
    std::atomic<int> produceCalls{0};
    std::atomic<int> callsAfterCleanup{0};
    std::atomic<int> callsBeforePrepare{0};
    std::atomic<int> overlappingCalls{0};
    std::atomic<int> misalignedRequests{0};
    std::atomic<std::int64_t> producedBytes{0};
    std::atomic<std::int64_t> requestedBytes{0};

    bool prepare() override {
        ++prepareCalls;
        return prepareResult;
    }

    std::size_t produce(std::uint8_t* buffer, std::size_t size) override {
        if (inside.exchange(true))
            ++overlappingCalls;
        ++produceCalls;
        if (prepareCalls == 0)
            ++callsBeforePrepare;
        if (cleanupCalls > 0)
            ++callsAfterCleanup;
        if (size % kBlock != 0 && lastWasWhole)
            ++misalignedRequests;
        requestedBytes += static_cast<std::int64_t>(size);
        std::size_t n = produceInto(buffer, size);
        lastWasWhole = n % kBlock == 0;
        inside = false;
        return n;
    }

    void cancel() override { ++cancelCalls; }
    void cleanup() override { ++cleanupCalls; }

protected:
    std::size_t produceInto(std::uint8_t* buffer, std::size_t size) {
        std::int64_t at = producedBytes.load();
        std::size_t n = size;
        if (piece > 0)
            n = std::min(n, piece);
        if (endAfter >= 0)
            n = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(n), endAfter - at));
        for (std::size_t i = 0; i < n; ++i)
            buffer[i] = patternByte(at + static_cast<std::int64_t>(i));
        producedBytes += static_cast<std::int64_t>(n);
        return n;
    }

private:
    const std::int64_t endAfter;
    const std::size_t piece;
    std::atomic<bool> inside{false};
    bool lastWasWhole = true;
};

// Stops inside produce() once `gateBytes` have been produced and waits there until cancel() comes, as a
// program that stalls would.
class StallingProducer : public PatternProducer {
public:
    explicit StallingProducer(std::int64_t gateBytes) : gate(gateBytes) {}

    std::size_t produce(std::uint8_t* buffer, std::size_t size) override {
        if (producedBytes.load() >= gate) {
            std::unique_lock<std::mutex> lock(mutex);
            stalled = true;
            changed.notify_all();
            // Bounded only so that a broken cancel fails the test instead of hanging it.
            changed.wait_for(lock, std::chrono::seconds(30), [this] { return released; });
            return 0;
        }
        std::size_t room = static_cast<std::size_t>(gate - producedBytes.load());
        return PatternProducer::produce(buffer, std::min(size, room));
    }

    void cancel() override {
        PatternProducer::cancel();
        std::lock_guard<std::mutex> lock(mutex);
        released = true;
        changed.notify_all();
    }

    bool waitUntilStalled() {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(30), [this] { return stalled; });
    }

private:
    const std::int64_t gate;
    std::mutex mutex;
    std::condition_variable changed;
    bool stalled = false;
    bool released = false;
};

} // namespace disctest
