#include "render/FramePipeWriter.h"
#include "platform/foundation/NamedPipe.h"
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
