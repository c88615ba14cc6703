#include "FileTestHelpers.h"

#include "platform/foundation/ChildProcess.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/NamedPipe.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

using filetest::exists;
using filetest::modeOf;
using filetest::writeFile;
using platform::ChildProcess;
using platform::NamedPipe;
using platform::UniqueFd;
using platform::writeFully;

namespace {

bool isFifo(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

QByteArray readToEnd(int fd) {
    QByteArray data;
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return data;
        data.append(buffer, got);
    }
}

QByteArray pattern(int size) {
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 7 + i / 4096) & 0xff);
    return data;
}

} // namespace

TEST(NamedPipe, CarriesDataBetweenThreads) {
    TempDir dir;
    NamedPipe pipe;
    QString error;
    ASSERT_TRUE(pipe.create(dir.file("audio.fifo"), &error)) << error.toStdString();
    EXPECT_TRUE(isFifo(pipe.path()));
    EXPECT_EQ(modeOf(pipe.path()), mode_t(0600));

    const QByteArray sent = pattern(5 << 20);
    QByteArray received;
    std::thread reader([&] {
        UniqueFd fd = NamedPipe::openForReading(pipe.path());
        received = readToEnd(fd.get());
    });
    UniqueFd fd = NamedPipe::openForWriting(pipe.path(), &error);
    ASSERT_TRUE(fd) << error.toStdString();
    if (::geteuid() == 0) {
        EXPECT_GE(::fcntl(fd.get(), F_GETPIPE_SZ), 1 << 20);
    }
    EXPECT_TRUE(::fcntl(fd.get(), F_GETFD) & FD_CLOEXEC);
    EXPECT_TRUE(writeFully(fd.get(), sent.constData(), std::size_t(sent.size()), &error))
        << error.toStdString();
    fd.reset();
    reader.join();
    EXPECT_EQ(received.size(), sent.size());
    EXPECT_TRUE(received == sent);
}

TEST(NamedPipe, ReplacesALeftoverOrALinkOfOursAndRefusesAnythingElse) {
    TempDir dir;
    const QString path = dir.file("video.fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    ::chmod(QFile::encodeName(path).constData(), 0644);
    NamedPipe pipe;
    ASSERT_TRUE(pipe.create(path));
    EXPECT_EQ(modeOf(path), mode_t(0600));

    NamedPipe overFile;
    writeFile(dir.file("stale"), "left over");
    ASSERT_TRUE(overFile.create(dir.file("stale")));
    EXPECT_TRUE(isFifo(dir.file("stale")));

    ASSERT_TRUE(QFile::link(dir.file("target"), dir.file("link")));
    writeFile(dir.file("target"), "keep");
    NamedPipe overLink;
    ASSERT_TRUE(overLink.create(dir.file("link")));
    EXPECT_TRUE(isFifo(dir.file("link")));
    EXPECT_EQ(filetest::readFile(dir.file("target")), "keep") << "a planted link was followed";

    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    NamedPipe refused;
    QString error;
    EXPECT_FALSE(refused.create(dir.file("folder"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(refused.isCreated());
    EXPECT_TRUE(QFileInfo(dir.file("folder")).isDir());
}

// Without /proc a pipe is reached by its own name; a file another program put at that name is opened by
// neither end, and is left as it was.
TEST(NamedPipe, WithoutProcThePipeIsReachedByItsNameAndNothingElseThereIsOpened) {
    TempDir dir;
    NamedPipe pipe;
    ASSERT_TRUE(pipe.create(dir.file("video.fifo")));
    EXPECT_NE(pipe.reachablePath(), pipe.path()) << "reached through its descriptor";
    platform::setOwnDescriptorFolder(dir.file("no such folder"));
    EXPECT_EQ(pipe.reachablePath(), pipe.path());
    ASSERT_EQ(::unlink(QFile::encodeName(pipe.path()).constData()), 0);
    writeFile(pipe.path(), "keep");
    QString error;
    EXPECT_FALSE(NamedPipe::openForWriting(pipe.reachablePath(), &error, [] { return true; }));
    EXPECT_TRUE(error.contains("another file took its name")) << error.toStdString();
    EXPECT_FALSE(NamedPipe::openForReading(pipe.reachablePath()));
    EXPECT_EQ(filetest::readFile(pipe.path()), "keep");
    platform::setOwnDescriptorFolder(QString());
}

TEST(NamedPipe, RemovesOnlyTheFifoItMade) {
    TempDir dir;
    const QString path = dir.file("pipe");
    {
        NamedPipe pipe;
        ASSERT_TRUE(pipe.create(path));
        NamedPipe moved(std::move(pipe));
        EXPECT_FALSE(pipe.isCreated());
        EXPECT_TRUE(moved.isCreated());
        pipe = NamedPipe(); // the moved-from object has nothing to remove
        EXPECT_TRUE(isFifo(path));
    }
    EXPECT_FALSE(exists(path));

    {
        NamedPipe pipe;
        ASSERT_TRUE(pipe.create(path));
        ::unlink(QFile::encodeName(path).constData());
        writeFile(path, "someone else's");
    }
    EXPECT_EQ(filetest::readFile(path), "someone else's");
}

TEST(NamedPipe, VanishedReaderGivesEpipeNotASignal) {
    TempDir dir;
    NamedPipe pipe;
    ASSERT_TRUE(pipe.create(dir.file("fifo")));
    // A child that takes one byte and leaves, as an encoder does when it fails.
    ChildProcess::Options options;
    options.program = "head";
    options.arguments = {"-c", "1", pipe.path()};
    ChildProcess child(options);
    ASSERT_TRUE(child.start());
    UniqueFd fd = NamedPipe::openForWriting(pipe.path());
    ASSERT_TRUE(fd);
    const QByteArray data(8 << 20, 'p');
    QString error;
    errno = 0;
    EXPECT_FALSE(writeFully(fd.get(), data.constData(), std::size_t(data.size()), &error));
    EXPECT_EQ(errno, EPIPE);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(child.readAll(), "p");
    EXPECT_EQ(child.waitForExit(), 0);
}

TEST(NamedPipe, WriterGivesUpWhenNoReaderComes) {
    TempDir dir;
    NamedPipe pipe;
    ASSERT_TRUE(pipe.create(dir.file("fifo")));
    int asked = 0;
    QString error;
    UniqueFd fd = NamedPipe::openForWriting(pipe.path(), &error, [&] { return ++asked < 3; });
    EXPECT_FALSE(fd);
    EXPECT_EQ(asked, 3);
    EXPECT_FALSE(error.isEmpty());

    std::thread reader([&] {
        UniqueFd in = NamedPipe::openForReading(pipe.path());
        readToEnd(in.get());
    });
    fd = NamedPipe::openForWriting(pipe.path(), &error, [] { return true; });
    ASSERT_TRUE(fd);
    EXPECT_FALSE(::fcntl(fd.get(), F_GETFL) & O_NONBLOCK); // blocking again once connected
    fd.reset();
    reader.join();
}

TEST(NamedPipe, WriteFullyWaitsOnAFullNonBlockingPipe) {
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0);
    UniqueFd readEnd(fds[0]);
    UniqueFd writeEnd(fds[1]);
    ::fcntl(readEnd.get(), F_SETFL, 0);
    const QByteArray sent = pattern(3 << 20);
    QByteArray received;
    std::thread reader([&] { received = readToEnd(readEnd.get()); });
    EXPECT_TRUE(writeFully(writeEnd.get(), sent.constData(), std::size_t(sent.size())));
    writeEnd.reset();
    reader.join();
    EXPECT_TRUE(received == sent);
}
