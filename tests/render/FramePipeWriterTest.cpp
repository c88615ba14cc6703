#include "render/FramePipeWriter.h"
#include "platform/foundation/NamedPipe.h"
#include "render/FramePipeQueue.h"
#include "support/TempDir.h"

#include <QByteArray>
#include <QFile>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

namespace {

// A frame far larger than a pipe holds, with bytes that tell where they were.
QByteArray patterned(qsizetype size) {
    QByteArray data(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        data[i] = char((i * 7 + i / 4093) & 0xff);
    return data;
}

// Reads everything from the FIFO until its writer closes it, in odd small pieces with pauses, so that the
// writer meets a full pipe over and over.
QByteArray readSlowly(const QString& path) {
    platform::UniqueFd fd = platform::NamedPipe::openForReading(path);
    QByteArray all;
    char buffer[6007];
    int pieces = 0;
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got == 0)
            return all;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return all;
        }
        all.append(buffer, got);
        if (++pieces % 64 == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void onSignal(int) {}

class FramePipeWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = folder.file("frames");
        ASSERT_TRUE(pipe.create(path));
        writer.setPath(path);
    }
    TempDir folder;
    QString path;
    platform::NamedPipe pipe;
    FramePipeWriter writer;
};

} // namespace

TEST_F(FramePipeWriterTest, WithoutAReaderTheOpenGivesUpAtItsTimeOutOrCancel) {
    writer.setOpenTimeout(0.2);
    EXPECT_FALSE(writer.open());
    EXPECT_FALSE(writer.isOpen());
    EXPECT_EQ(writer.errorCode(), 0);
    EXPECT_FALSE(writer.errorString().isEmpty());

    std::atomic<bool> cancel{false};
    writer.setOpenTimeout(0.0); // only the cancel ends this wait
    writer.setCancelled([&] { return cancel.load(); });
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        cancel = true;
    });
    EXPECT_FALSE(writer.open());
    canceller.join();
    EXPECT_TRUE(writer.errorString().contains("cancelled")) << writer.errorString().toStdString();

    FramePipeWriter nowhere;
    nowhere.setPath(folder.file("missing"));
    EXPECT_FALSE(nowhere.open());
    EXPECT_EQ(nowhere.errorCode(), ENOENT);
    EXPECT_FALSE(nowhere.writeFrame("x", 1)) << "nothing is written into a pipe that is not open";
}

TEST_F(FramePipeWriterTest, WholeFramesArriveAcrossPartialWritesAndInterruptions) {
    struct sigaction action {};
    action.sa_handler = onSignal; // no SA_RESTART: waits are interrupted
    sigemptyset(&action.sa_mask);
    struct sigaction previous {};
    ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);

    const QByteArray first = patterned(3 * 1024 * 1024 + 17);
    const QByteArray second = patterned(1024 * 1024 + 5);
    QByteArray received;
    std::thread reader([&] { received = readSlowly(path); });
    ASSERT_TRUE(writer.open()) << writer.errorString().toStdString();
    std::atomic<bool> writing{true};
    const pthread_t writerThread = pthread_self();
    std::thread interrupter([&] {
        while (writing) {
            pthread_kill(writerThread, SIGUSR1);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    const bool wroteFirst = writer.writeFrame(first.constData(), std::size_t(first.size()));
    const bool wroteSecond = writer.writeFrame(second.constData(), std::size_t(second.size()));
    writing = false;
    interrupter.join();
    writer.close();
    reader.join();
    sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_TRUE(wroteFirst) << writer.errorString().toStdString();
    EXPECT_TRUE(wroteSecond) << writer.errorString().toStdString();
    ASSERT_EQ(received.size(), first.size() + second.size());
    EXPECT_TRUE(received == first + second);
}

TEST_F(FramePipeWriterTest, AReaderThatGoesAwayIsAnErrorNotTheEndOfTheProcess) {
    platform::UniqueFd readEnd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK));
    ASSERT_TRUE(readEnd);
    ASSERT_TRUE(writer.open());
    ASSERT_TRUE(writer.writeFrame("abcd", 4));
    readEnd.reset();
    const QByteArray frame = patterned(4096);
    EXPECT_FALSE(writer.writeFrame(frame.constData(), std::size_t(frame.size())));
    EXPECT_EQ(writer.errorCode(), EPIPE);
    EXPECT_TRUE(writer.errorString().contains("gone")) << writer.errorString().toStdString();
}

TEST_F(FramePipeWriterTest, AFullPipeWhoseReaderStallsEndsAtCancelOrTimeOut) {
    platform::UniqueFd readEnd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK));
    ASSERT_TRUE(readEnd);
    ASSERT_TRUE(writer.open());
    const QByteArray frame = patterned(8 * 1024 * 1024); // more than any pipe holds; nobody reads
    writer.setWriteTimeout(0.2);
    EXPECT_FALSE(writer.writeFrame(frame.constData(), std::size_t(frame.size())));
    EXPECT_EQ(writer.errorCode(), 0);

    std::atomic<bool> cancel{false};
    writer.setWriteTimeout(0.0);
    writer.setCancelled([&] { return cancel.load(); });
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        cancel = true;
    });
    EXPECT_FALSE(writer.writeFrame(frame.constData(), std::size_t(frame.size())));
    canceller.join();
    EXPECT_TRUE(writer.errorString().contains("cancelled")) << writer.errorString().toStdString();
}

TEST_F(FramePipeWriterTest, AFrameHeldBottomRowFirstArrivesTopRowFirst) {
    // More rows than one vectored write takes, and more bytes than the pipe holds.
    constexpr int kRows = 1500;
    constexpr std::size_t kRowBytes = 1283 * 4;
    const QByteArray held = patterned(qsizetype(kRows * kRowBytes));
    QByteArray expected;
    for (int row = kRows - 1; row >= 0; --row)
        expected.append(held.constData() + std::size_t(row) * kRowBytes, qsizetype(kRowBytes));
    QByteArray received;
    std::thread reader([&] { received = readSlowly(path); });
    ASSERT_TRUE(writer.open()) << writer.errorString().toStdString();
    EXPECT_TRUE(writer.writeFrameBottomUp(held.constData(), kRows, kRowBytes))
        << writer.errorString().toStdString();
    writer.close();
    reader.join();
    EXPECT_TRUE(received == expected);
}

// The queue's writer thread between the pump and the pipe.
class FramePipeQueueTest : public FramePipeWriterTest {
protected:
    // Queues frames of `rows` rows of 4 bytes holding their frame number; true when every acquire worked.
    bool queueFrames(FramePipeQueue& queue, int frames, int rows) {
        for (int i = 0; i < frames; ++i) {
            unsigned char* into = queue.acquire(std::size_t(rows) * 4);
            if (!into)
                return false;
            std::memset(into, i, std::size_t(rows) * 4);
            queue.submit(rows, 4, true);
        }
        return true;
    }
};

TEST_F(FramePipeQueueTest, FramesArriveWholeAndInOrderWithTwoBuffers) {
    constexpr int kFrames = 6, kRows = 300'000; // 1.2 MB a frame: the pump waits for free buffers
    QByteArray received;
    std::thread reader([&] { received = readSlowly(path); });
    {
        FramePipeQueue queue(writer, {});
        ASSERT_TRUE(queueFrames(queue, kFrames, kRows)) << queue.errorString().toStdString();
        EXPECT_TRUE(queue.flush());
    }
    writer.close();
    reader.join();
    ASSERT_EQ(received.size(), kFrames * kRows * 4);
    for (int i = 0; i < kFrames; ++i)
        EXPECT_EQ(received.count(char(i)), kRows * 4) << "frame " << i;
    EXPECT_EQ(received.at(received.size() - 1), char(kFrames - 1));
}

TEST_F(FramePipeQueueTest, AFailedWriteOrACancelIsToldByTheNextCallWithoutAHang) {
    platform::UniqueFd readEnd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK));
    ASSERT_TRUE(writer.open());
    std::atomic<bool> cancel{false};
    {
        FramePipeQueue queue(writer, [&] { return cancel.load(); });
        readEnd.reset(); // the reader goes away
        EXPECT_FALSE(queueFrames(queue, 4, 1000)) << "the third acquire learns of the failure";
        EXPECT_FALSE(queue.flush());
        EXPECT_TRUE(queue.errorString().contains("gone")) << queue.errorString().toStdString();
    }
    writer.close();
    readEnd.reset(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK));
    ASSERT_TRUE(writer.open());
    FramePipeQueue stalled(writer, [&] { return cancel.load(); }); // nobody reads: the pipe fills
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        cancel = true;
    });
    EXPECT_FALSE(queueFrames(stalled, 8, 1'000'000));
    EXPECT_FALSE(stalled.flush());
    canceller.join();
    EXPECT_TRUE(stalled.errorString().contains("cancelled")) << stalled.errorString().toStdString();
}
