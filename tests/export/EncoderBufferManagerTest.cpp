#include "export/EncoderBufferManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <future>
#include <thread>

using Buffer = EncoderBufferManager::Buffer;

namespace {

// Stamps a frame number into the first bytes of a buffer.
void stamp(Buffer& buffer, std::uint32_t number) {
    std::memcpy(buffer.data(), &number, sizeof number);
}

std::uint32_t stampOf(const Buffer& buffer) {
    std::uint32_t number = 0;
    std::memcpy(&number, buffer.data(), sizeof number);
    return number;
}

} // namespace

TEST(EncoderBufferManager, FreshPoolHandsOutExactlyThreeBuffersOfTheFrameSize) {
    EncoderBufferManager pool(64, 16);
    std::vector<Buffer> taken;
    for (int i = 0; i < 3; ++i) {
        auto buffer = pool.allocYUVDataFromIdlePool();
        ASSERT_TRUE(buffer) << "buffer " << i;
        EXPECT_EQ(buffer->size(), 64u);
        taken.push_back(std::move(*buffer));
    }
    EXPECT_FALSE(pool.allocYUVDataFromIdlePool()) << "a fourth buffer out of a pool of three";
    EXPECT_FALSE(pool.allocYUVDataFromIdlePool()) << "asking again made one";
    pool.freeYUVDataToIdelPool(std::move(taken.back()));
    EXPECT_TRUE(pool.allocYUVDataFromIdlePool()) << "a returned buffer is handed out again";
    EXPECT_FALSE(pool.allocYUVDataFromIdlePool());
}

TEST(EncoderBufferManager, DefaultsToOneRgbaFrameOf1280x720) {
    EncoderBufferManager pool;
    EXPECT_EQ(pool.uYUVBufferSize(), 1280u * 720u * 4u);
    EXPECT_EQ(pool.uWAVBufferSize(), 2048u);
    const auto buffer = pool.allocYUVDataFromIdlePool();
    ASSERT_TRUE(buffer);
    EXPECT_EQ(buffer->size(), 3686400u);
}

TEST(EncoderBufferManager, BuffersTakeTheFrameSizeInForceWhenHandedOut) {
    EncoderBufferManager pool(100, 0);
    auto first = pool.allocYUVDataFromIdlePool();
    ASSERT_TRUE(first);
    pool.setUYUVBufferSize(150);
    EXPECT_EQ(pool.uYUVBufferSize(), 150u);
    EXPECT_EQ(pool.allocYUVDataFromIdlePool()->size(), 150u);
    first->resize(7); // a consumer that shrank what it gave back
    pool.freeYUVDataToIdelPool(std::move(*first));
    pool.setUYUVBufferSize(40);
    EXPECT_EQ(pool.allocYUVDataFromIdlePool()->size(), 40u);
    EXPECT_EQ(pool.allocYUVDataFromIdlePool()->size(), 40u);
}

TEST(EncoderBufferManager, PendingFramesComeOutInTheOrderTheyWentIn) {
    EncoderBufferManager pool(8, 0);
    for (std::uint32_t n = 1; n <= 3; ++n) {
        auto buffer = pool.allocYUVDataFromIdlePool();
        ASSERT_TRUE(buffer);
        stamp(*buffer, n);
        pool.addDataToPendingQueue(std::move(*buffer));
    }
    EXPECT_EQ(pool.pendingCount(), 3u);
    for (std::uint32_t n = 1; n <= 3; ++n) {
        bool end = true;
        const auto buffer = pool.getDataFromPendingQueue(&end);
        ASSERT_TRUE(buffer);
        EXPECT_FALSE(end);
        EXPECT_EQ(stampOf(*buffer), n);
    }
}

TEST(EncoderBufferManager, EndMarkerAndEmptyQueueAreToldApart) {
    EncoderBufferManager pool(8, 0);
    bool end = true;
    EXPECT_FALSE(pool.getDataFromPendingQueue(&end));
    EXPECT_FALSE(end) << "an empty queue is not the end of the stream";

    auto buffer = pool.allocYUVDataFromIdlePool();
    stamp(*buffer, 42);
    pool.addDataToPendingQueue(std::move(*buffer));
    pool.addEOFToPendingQueue();

    const auto last = pool.getDataFromPendingQueue(&end);
    ASSERT_TRUE(last) << "the end marker overtook a frame queued before it";
    EXPECT_EQ(stampOf(*last), 42u);
    EXPECT_FALSE(end);
    EXPECT_FALSE(pool.getDataFromPendingQueue(&end));
    EXPECT_TRUE(end);
    EXPECT_FALSE(pool.getDataFromPendingQueue(&end));
    EXPECT_FALSE(end) << "the end marker is taken once";
    EXPECT_FALSE(pool.getDataFromPendingQueue(nullptr)) << "the end flag is optional";
}

TEST(EncoderBufferManager, WaitingProducerGetsTheBufferTheConsumerGivesBack) {
    EncoderBufferManager pool(8, 0);
    std::vector<Buffer> out;
    while (auto buffer = pool.allocYUVDataFromIdlePool())
        out.push_back(std::move(*buffer));
    ASSERT_EQ(out.size(), 3u);

    std::promise<void> waiting;
    std::atomic<bool> told{false};
    auto producer = std::async(std::launch::async, [&] {
        return pool.waitYUVDataFromIdlePool([&] {
            if (!told.exchange(true))
                waiting.set_value();
            return true;
        });
    });
    waiting.get_future().wait(); // it has found the pool empty and is waiting
    stamp(out[1], 99);
    pool.freeYUVDataToIdelPool(std::move(out[1]));
    const auto got = producer.get();
    ASSERT_TRUE(got);
    EXPECT_EQ(stampOf(*got), 99u);
}

TEST(EncoderBufferManager, WaitsEndEmptyHandedWhenTheCallerStopsWaiting) {
    EncoderBufferManager pool(8, 0);
    while (pool.allocYUVDataFromIdlePool()) {
    }
    std::atomic<bool> cancelled{false};
    std::promise<void> waiting;
    std::atomic<bool> told{false};
    auto keepWaiting = [&] {
        if (!told.exchange(true))
            waiting.set_value();
        return !cancelled.load();
    };
    auto producer = std::async(std::launch::async, [&] { return pool.waitYUVDataFromIdlePool(keepWaiting); });
    waiting.get_future().wait();
    cancelled = true; // nobody notifies: the wait has to notice on its own
    EXPECT_FALSE(producer.get());

    bool end = true;
    cancelled = true;
    EXPECT_FALSE(pool.waitDataFromPendingQueue(&end, [&] { return !cancelled.load(); }));
    EXPECT_FALSE(end) << "a cancelled wait is not the end of the stream";
}

TEST(EncoderBufferManager, WaitingConsumerWakesForAFrameAndForTheEnd) {
    EncoderBufferManager pool(8, 0);
    auto consumer = std::async(std::launch::async, [&] {
        std::vector<std::uint32_t> seen;
        bool end = false;
        while (!end) {
            auto buffer = pool.waitDataFromPendingQueue(&end);
            if (buffer) {
                seen.push_back(stampOf(*buffer));
                pool.freeYUVDataToIdelPool(std::move(*buffer));
            }
        }
        return seen;
    });
    for (std::uint32_t n = 0; n < 10; ++n) {
        auto buffer = pool.waitYUVDataFromIdlePool();
        ASSERT_TRUE(buffer);
        stamp(*buffer, n);
        pool.addDataToPendingQueue(std::move(*buffer));
    }
    pool.addEOFToPendingQueue();
    const auto seen = consumer.get();
    ASSERT_EQ(seen.size(), 10u);
    for (std::uint32_t n = 0; n < 10; ++n)
        EXPECT_EQ(seen[n], n);
    EXPECT_EQ(pool.idleCount(), 3u) << "every buffer came home";
}

// Two producers (as a pump and a second pump would be) share the pool with one consumer: every frame
// arrives once, each producer's frames in its own order, and no more than three buffers are ever out.
TEST(EncoderBufferManager, SeveralProducersNeverHoldMoreThanThePool) {
    EncoderBufferManager pool(8, 0);
    constexpr std::uint32_t perProducer = 500;
    std::atomic<int> out{0};
    std::atomic<int> mostOut{0};
    auto produce = [&](std::uint32_t id) {
        for (std::uint32_t n = 0; n < perProducer; ++n) {
            auto buffer = pool.waitYUVDataFromIdlePool();
            const int now = ++out;
            int seen = mostOut.load();
            while (now > seen && !mostOut.compare_exchange_weak(seen, now)) {
            }
            stamp(*buffer, id << 16 | n);
            pool.addDataToPendingQueue(std::move(*buffer));
        }
    };
    std::thread first(produce, 1u), second(produce, 2u);
    std::thread closer([&] {
        first.join();
        second.join();
        pool.addEOFToPendingQueue();
    });

    std::uint32_t next[3] = {0, 0, 0};
    bool end = false;
    std::size_t frames = 0;
    while (!end) {
        auto buffer = pool.waitDataFromPendingQueue(&end);
        if (!buffer)
            continue;
        const std::uint32_t value = stampOf(*buffer);
        const std::uint32_t id = value >> 16, n = value & 0xffff;
        ASSERT_TRUE(id == 1 || id == 2);
        EXPECT_EQ(n, next[id]) << "producer " << id << " out of order";
        next[id] = n + 1;
        ++frames;
        --out;
        pool.freeYUVDataToIdelPool(std::move(*buffer));
    }
    closer.join();
    EXPECT_EQ(frames, 2 * perProducer);
    EXPECT_LE(mostOut.load(), 3);
    EXPECT_EQ(pool.idleCount(), 3u);
    EXPECT_EQ(pool.pendingCount(), 0u) << "the end marker was the last entry";
}
