#include "export/PoolFrameRenderer.h"
#include "export/WriterFrameRenderer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace {

// A renderer whose n-th frame read is n in every byte.
class CountingRenderer : public FrameRenderer {
public:
    explicit CountingRenderer(qint64 bytes) : bytes(bytes) {}
    bool begin(const Play&, QString*) override { return true; }
    quint64 totalFrames() const override { return 10; }
    bool renderFrame() override { return true; }
    bool writeFrame(QString* error) override {
        *error = QStringLiteral("no pipe here");
        return false;
    }
    qint64 frameBytes() const override { return bytes; }
    bool readFrame(unsigned char* buffer, qint64 size, QString*) override {
        std::memset(buffer, ++read, std::size_t(std::min(size, bytes)));
        return true;
    }
    void end() override { ++ends; }

    qint64 bytes;
    int read = 0;
    int ends = 0;
};

} // namespace

TEST(PoolFrameRenderer, QueuesEachFrameInAnIdleBufferAndTheEndMarkOnce) {
    EncoderBufferManager pool(16, 0);
    auto counting = std::make_unique<CountingRenderer>(16);
    CountingRenderer& inner = *counting;
    std::atomic<bool> writerEnded{false};
    PoolFrameRenderer renderer(std::move(counting), pool, [&] { return writerEnded.load(); });
    QString error;
    ASSERT_TRUE(renderer.begin({}, &error)) << error.toStdString();
    for (int n = 1; n <= 2; ++n)
        ASSERT_TRUE(renderer.writeFrame(&error)) << error.toStdString();
    EXPECT_EQ(pool.idleCount(), 1u);
    bool endOfStream = true;
    const auto first = pool.getDataFromPendingQueue(&endOfStream);
    ASSERT_TRUE(first);
    EXPECT_FALSE(endOfStream);
    EXPECT_EQ(*first, EncoderBufferManager::Buffer(16, 1));
    pool.freeYUVDataToIdelPool(*first);
    renderer.end();
    renderer.end();
    EXPECT_EQ(inner.ends, 1);
    const auto second = pool.getDataFromPendingQueue(&endOfStream);
    ASSERT_TRUE(second);
    EXPECT_EQ(*second, EncoderBufferManager::Buffer(16, 2));
    EXPECT_FALSE(pool.getDataFromPendingQueue(&endOfStream));
    EXPECT_TRUE(endOfStream);
    EXPECT_FALSE(pool.getDataFromPendingQueue(&endOfStream));
    EXPECT_FALSE(endOfStream); // the mark was queued once
}

TEST(PoolFrameRenderer, AWriterThatEndedLetsAPumpWaitingForABufferGo) {
    EncoderBufferManager pool(16, 0);
    std::atomic<bool> writerEnded{false};
    PoolFrameRenderer renderer(std::make_unique<CountingRenderer>(16), pool,
                               [&] { return writerEnded.load(); });
    QString error;
    ASSERT_TRUE(renderer.begin({}, &error));
    for (unsigned n = 0; n < EncoderBufferManager::kBufferCount; ++n)
        ASSERT_TRUE(renderer.writeFrame(&error));
    EXPECT_EQ(pool.idleCount(), 0u);
    std::thread ending([&] { writerEnded = true; });
    EXPECT_FALSE(renderer.writeFrame(&error)); // waits for a buffer until the writer has ended
    ending.join();
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(pool.pendingCount(), std::size_t(EncoderBufferManager::kBufferCount));
}

TEST(PoolFrameRenderer, RefusesFramesLargerThanThePoolsBuffers) {
    EncoderBufferManager pool(16, 0);
    PoolFrameRenderer renderer(std::make_unique<CountingRenderer>(17), pool, [] { return false; });
    QString error;
    EXPECT_FALSE(renderer.begin({}, &error));
    EXPECT_TRUE(error.contains("17")) << error.toStdString();
}

TEST(WriterFrameRenderer, HandsEachFrameToTheWriterUntilItTakesNoMore) {
    auto counting = std::make_unique<CountingRenderer>(8);
    CountingRenderer& inner = *counting;
    std::vector<int> taken;
    WriterFrameRenderer renderer(std::move(counting),
                                 [&](const unsigned char* frame, qint64 size, QString* error) {
                                     EXPECT_EQ(size, 8);
                                     if (taken.size() == 2) {
                                         *error = QStringLiteral("the movie has ended");
                                         return false;
                                     }
                                     taken.push_back(frame[7]);
                                     return true;
                                 });
    QString error;
    ASSERT_TRUE(renderer.begin({}, &error)) << error.toStdString();
    EXPECT_TRUE(renderer.writeFrame(&error));
    EXPECT_TRUE(renderer.writeFrame(&error));
    EXPECT_FALSE(renderer.writeFrame(&error));
    EXPECT_EQ(error, "the movie has ended");
    EXPECT_EQ(taken, (std::vector<int>{1, 2}));
    renderer.end();
    renderer.end();
    EXPECT_EQ(inner.ends, 1);

    WriterFrameRenderer pipeOnly(std::make_unique<CountingRenderer>(0), [](auto...) { return true; });
    EXPECT_FALSE(pipeOnly.begin({}, &error)) << "a renderer that cannot read frames back";
}
