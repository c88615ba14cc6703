#include "export/FramePipeReader.h"
#include "export/FrameRing.h"

#include "platform/foundation/NamedPipe.h"
#include "support/TempDir.h"

#include <QDir>

#include <gtest/gtest.h>

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <numeric>
#include <thread>

namespace {

constexpr std::size_t kFrame = 3000;

std::vector<unsigned char> pattern(std::size_t bytes, unsigned seed) {
    std::vector<unsigned char> data(bytes);
    for (std::size_t i = 0; i < bytes; ++i)
        data[i] = static_cast<unsigned char>((i * 31 + seed * 7) & 0xff);
    return data;
}

void writeAll(int fd, const std::vector<unsigned char>& data) {
    ASSERT_TRUE(platform::writeFully(fd, data.data(), data.size()));
}

class FramePipeReaderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pipe.create(folder.file("frames"))); }

    // A reader on the pipe and the writer's end (the open waits for the reader, which is already there).
    platform::UniqueFd connect(FramePipeReader& reader) {
        EXPECT_TRUE(reader.open(pipe.path()));
        return platform::NamedPipe::openForWriting(pipe.path());
    }

    TempDir folder;
    platform::NamedPipe pipe;
    const FramePipeReader::Checks never{};
};

void noteSignal(int) {}

} // namespace

TEST_F(FramePipeReaderTest, OpensWithoutAWriterAndReadsWholeFramesInOrder) {
    FramePipeReader reader(kFrame, std::chrono::milliseconds(20));
    ASSERT_TRUE(reader.open(pipe.path())); // returns at once although nobody writes yet
    platform::UniqueFd writer = platform::NamedPipe::openForWriting(pipe.path());
    ASSERT_TRUE(writer.isValid());
    std::thread producer([&] {
        for (unsigned i = 0; i < 3; ++i)
            writeAll(writer.get(), pattern(kFrame, i));
        writer.reset();
    });
    std::vector<unsigned char> frame(kFrame);
    for (unsigned i = 0; i < 3; ++i) {
        ASSERT_EQ(reader.readFrame(frame.data(), never), FramePipeReader::Status::Frame);
        EXPECT_EQ(frame, pattern(kFrame, i)) << "frame " << i;
    }
    EXPECT_EQ(reader.readFrame(frame.data(), never), FramePipeReader::Status::EndOfStream);
    producer.join();
}

TEST_F(FramePipeReaderTest, WaitsForAWriterThatComesLateInsteadOfSeeingAnEnd) {
    FramePipeReader reader(kFrame, std::chrono::milliseconds(10));
    ASSERT_TRUE(reader.open(pipe.path()));
    std::atomic<int> polls{0};
    const FramePipeReader::Checks counting{[&] { return ++polls > 1000; }, {}};
    std::thread late([&] {
        while (polls < 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        platform::UniqueFd writer = platform::NamedPipe::openForWriting(pipe.path());
        writeAll(writer.get(), pattern(kFrame, 9));
    });
    std::vector<unsigned char> frame(kFrame);
    EXPECT_EQ(reader.readFrame(frame.data(), counting), FramePipeReader::Status::Frame);
    EXPECT_EQ(frame, pattern(kFrame, 9));
    late.join();
}

TEST_F(FramePipeReaderTest, AStreamEndingInsideAFrameFailsWithoutDeliveringIt) {
    FramePipeReader reader(kFrame);
    platform::UniqueFd writer = connect(reader);
    writeAll(writer.get(), pattern(kFrame, 1));
    writeAll(writer.get(), pattern(kFrame / 3, 2));
    writer.reset();
    std::vector<unsigned char> frame(kFrame);
    EXPECT_EQ(reader.readFrame(frame.data(), never), FramePipeReader::Status::Frame);
    EXPECT_EQ(reader.readFrame(frame.data(), never), FramePipeReader::Status::Failed);
    EXPECT_EQ(reader.errorCode(), 0);
    EXPECT_TRUE(reader.errorString().contains(QString::number(kFrame / 3)))
        << reader.errorString().toStdString();
}

TEST_F(FramePipeReaderTest, StopsWhenAskedWhileWaiting) {
    FramePipeReader reader(kFrame, std::chrono::milliseconds(5));
    platform::UniqueFd writer = connect(reader);
    writeAll(writer.get(), pattern(kFrame / 2, 3)); // the rest never comes
    std::atomic<int> asked{0};
    std::vector<unsigned char> frame(kFrame);
    EXPECT_EQ(reader.readFrame(frame.data(), {[&] { return ++asked == 3; }, {}}),
              FramePipeReader::Status::Stopped);
    EXPECT_EQ(asked, 3);
}

TEST_F(FramePipeReaderTest, AWriterThatEndedWithoutOpeningIsTheEndOfTheStream) {
    FramePipeReader reader(kFrame, std::chrono::milliseconds(5));
    ASSERT_TRUE(reader.open(pipe.path()));
    std::vector<unsigned char> frame(kFrame);
    EXPECT_EQ(reader.readFrame(frame.data(), {{}, [] { return true; }}),
              FramePipeReader::Status::EndOfStream);
}

TEST_F(FramePipeReaderTest, AWriterThatEndedInsideAFrameIsAFailure) {
    FramePipeReader reader(kFrame, std::chrono::milliseconds(5));
    platform::UniqueFd writer = connect(reader);
    writeAll(writer.get(), pattern(10, 3));
    std::vector<unsigned char> frame(kFrame);
    // The writer's end stays open (as if it had been handed on), but its owner says it has ended.
    EXPECT_EQ(reader.readFrame(frame.data(), {{}, [] { return true; }}), FramePipeReader::Status::Failed);
}

TEST_F(FramePipeReaderTest, InterruptedWaitsAndReadsAreRepeated) {
    struct sigaction action {
    }, old{};
    action.sa_handler = noteSignal; // no SA_RESTART: blocked calls return EINTR
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &old), 0);

    FramePipeReader reader(kFrame, std::chrono::seconds(10));
    platform::UniqueFd writer = connect(reader);
    std::promise<pthread_t> readerThread;
    std::atomic<bool> done{false};
    std::vector<unsigned char> frame(kFrame);
    FramePipeReader::Status status{};
    std::thread consumer([&] {
        readerThread.set_value(pthread_self());
        status = reader.readFrame(frame.data(), never);
        done = true;
    });
    const pthread_t target = readerThread.get_future().get();
    const auto whole = pattern(kFrame, 5);
    for (std::size_t at = 0; at < kFrame; at += 500) {
        for (int i = 0; i < 5; ++i) {
            ::pthread_kill(target, SIGUSR1);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_TRUE(platform::writeFully(writer.get(), whole.data() + at, 500));
    }
    consumer.join();
    ::sigaction(SIGUSR1, &old, nullptr);
    EXPECT_TRUE(done);
    EXPECT_EQ(status, FramePipeReader::Status::Frame);
    EXPECT_EQ(frame, whole);
}

TEST_F(FramePipeReaderTest, AReadErrorKeepsItsErrno) {
    QDir().mkdir(folder.file("folder"));
    FramePipeReader reader(kFrame);
    ASSERT_TRUE(reader.open(folder.file("folder")));
    std::vector<unsigned char> frame(kFrame);
    EXPECT_EQ(reader.readFrame(frame.data(), never), FramePipeReader::Status::Failed);
    EXPECT_EQ(reader.errorCode(), EISDIR);
}

TEST_F(FramePipeReaderTest, AMissingPipeCannotBeOpenedAndTheDescriptorIsClosedOnHandOver) {
    FramePipeReader missing(kFrame);
    EXPECT_FALSE(missing.open(folder.file("nothing")));
    EXPECT_EQ(missing.errorCode(), ENOENT);

    FramePipeReader reader(kFrame);
    ASSERT_TRUE(reader.open(pipe.path()));
    platform::UniqueFd taken = reader.takeDescriptor();
    EXPECT_TRUE(taken.isValid());
    EXPECT_FALSE(reader.isOpen());
}

// The read-ahead on top of the reader.
TEST_F(FramePipeReaderTest, TheRingHandsOverFramesInOrderThenTheEndOrTheStop) {
    FramePipeReader reader(kFrame, std::chrono::milliseconds(10));
    platform::UniqueFd writeEnd = connect(reader);
    std::atomic<bool> writerEnded{false};
    {
        FrameRing ring(reader, 2);
        ring.start({{}, [&] { return writerEnded.load(); }});
        std::thread writer([&] {
            for (unsigned i = 0; i < 5; ++i)
                writeAll(writeEnd.get(), pattern(kFrame, i));
            writeEnd.reset();
            writerEnded = true;
        });
        for (unsigned i = 0; i < 5; ++i) {
            const unsigned char* frame = nullptr;
            ASSERT_EQ(ring.next(&frame, {}), FramePipeReader::Status::Frame) << "frame " << i;
            EXPECT_TRUE(std::equal(frame, frame + kFrame, pattern(kFrame, i).begin())) << "frame " << i;
            ring.release();
        }
        const unsigned char* none = nullptr;
        EXPECT_EQ(ring.next(&none, {}), FramePipeReader::Status::EndOfStream);
        writer.join();
    }
    // A writer that never writes: the consumer's stop test ends its wait, the ring's end ends the thread.
    FramePipeReader idle(kFrame, std::chrono::milliseconds(10));
    platform::UniqueFd silent = connect(idle);
    FrameRing ring(idle, 2);
    ring.start({});
    const unsigned char* none = nullptr;
    std::atomic<int> asked{0};
    EXPECT_EQ(ring.next(&none, [&] { return ++asked > 2; }), FramePipeReader::Status::Stopped);
    ring.stop();
}

// What the read-ahead may hold: a bounded budget for the largest frames, yet always a few frames, and a deep
// read-ahead where frames are small.
TEST(FrameRingSlots, LargeFramesGetFewerSlotsWithinABudgetAndEverySizeAFew) {
    const std::size_t fullHd = std::size_t(1920) * 1080 * 4;
    const std::size_t small = std::size_t(640) * 360 * 4;
    EXPECT_LE(FrameRing::slotsFor(fullHd) * fullHd, std::size_t(48) << 20);
    EXPECT_GE(FrameRing::slotsFor(fullHd), 4u);
    EXPECT_GT(FrameRing::slotsFor(small), FrameRing::slotsFor(fullHd));
    EXPECT_GE(FrameRing::slotsFor(std::size_t(7680) * 4320 * 4), 4u);
    EXPECT_LE(FrameRing::slotsFor(1), 24u);
    EXPECT_LE(FrameRing::slotsFor(0), 24u);
}
