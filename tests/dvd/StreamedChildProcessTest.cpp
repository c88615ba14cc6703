#include "DVDTestSupport.h"

#include "dvd/StreamedChildProcess.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

namespace {

platform::ChildProcess::Options shell(const QString& script) {
    platform::ChildProcess::Options options;
    options.program = QStringLiteral("/bin/sh");
    options.arguments = {QStringLiteral("-c"), script};
    return options;
}

QByteArray readToEnd(StreamedChildProcess& child) {
    QByteArray all;
    char buffer[8192];
    qint64 got;
    while ((got = child.read(buffer, sizeof buffer)) > 0)
        all.append(buffer, got);
    EXPECT_EQ(got, 0);
    return all;
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
}

} // namespace

TEST(StreamedChildProcess, LargeOutputArrivesWholeAndInOrder) {
    TempDir dir;
    // 8 MiB of numbered lines: more than any pipe holds, so reading and writing must interleave.
    StreamedChildProcess child(shell("seq 1 1000000; seq 1000001 1500000"), dir.path());
    ASSERT_TRUE(child.start());
    EXPECT_TRUE(entries(dir.path()).isEmpty()); // the FIFO's name is gone once both ends are open
    const QByteArray all = readToEnd(child);
    EXPECT_EQ(child.waitForExit(), 0);
    EXPECT_TRUE(child.exitedNormally());
    QByteArray expected;
    for (int i = 1; i <= 1500000; ++i)
        expected += QByteArray::number(i) + '\n';
    EXPECT_EQ(all.size(), expected.size());
    EXPECT_TRUE(all == expected);
}

TEST(StreamedChildProcess, PiecesComeWhileTheChildRuns) {
    TempDir dir;
    StreamedChildProcess child(shell("printf first; sleep 0.3; printf second"), dir.path());
    ASSERT_TRUE(child.start());
    char buffer[64];
    const qint64 got = child.read(buffer, sizeof buffer);
    ASSERT_GT(got, 0);
    EXPECT_EQ(QByteArray(buffer, got), "first");
    EXPECT_EQ(readToEnd(child), "second");
}

TEST(StreamedChildProcess, ErrorOutputCanBeMergedOrKeptForTheMessage) {
    TempDir dir;
    auto merged = shell("echo out; echo err >&2; exit 3");
    merged.mergeStderr = true;
    StreamedChildProcess both(merged, dir.path());
    ASSERT_TRUE(both.start());
    EXPECT_EQ(readToEnd(both), "out\nerr\n");
    EXPECT_EQ(both.waitForExit(), 3);
    StreamedChildProcess apart(shell("echo out; echo 'it broke' >&2; exit 3"), dir.path());
    ASSERT_TRUE(apart.start());
    EXPECT_EQ(readToEnd(apart), "out\n");
    EXPECT_FALSE(apart.exitedNormally());
    EXPECT_TRUE(apart.exitDescription().contains("exited with status 3: it broke"))
        << qPrintable(apart.exitDescription());
}

TEST(StreamedChildProcess, MissingProgramFailsAndLeavesNothing) {
    TempDir dir;
    platform::ChildProcess::Options options;
    options.program = dir.file("no such program");
    StreamedChildProcess child(options, dir.path());
    QString error;
    EXPECT_FALSE(child.start(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(entries(dir.path()).isEmpty());
    char buffer[8];
    EXPECT_EQ(child.read(buffer, sizeof buffer), 0); // nothing to wait for
    StreamedChildProcess noFolder(shell("true"), QString());
    EXPECT_FALSE(noFolder.start());
}

TEST(StreamedChildProcess, TerminateEndsABlockedRead) {
    TempDir dir;
    StreamedChildProcess child(shell("exec sleep 30"), dir.path());
    ASSERT_TRUE(child.start());
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        child.terminate();
    });
    char buffer[8];
    EXPECT_EQ(child.read(buffer, sizeof buffer), 0);
    stopper.join();
    child.waitForExit();
    EXPECT_EQ(child.process().terminatingSignal(), SIGTERM);
    EXPECT_TRUE(child.exitDescription().contains("signal 15"));
}

TEST(StreamedChildProcess, GoingAwayUnreadStopsAWritingChild) {
    TempDir dir;
    auto child = std::make_unique<StreamedChildProcess>(shell("yes"), dir.path());
    ASSERT_TRUE(child->start());
    char buffer[16];
    EXPECT_GT(child->read(buffer, sizeof buffer), 0);
    child.reset(); // must neither hang nor leave the child running
    EXPECT_TRUE(entries(dir.path()).isEmpty());
}

// Another program puts a link to a file of its own at the FIFO's name before its ends are opened: the child's
// output neither goes into that file nor is taken from it, and arrives whole.
TEST(StreamedChildProcess, ALinkPutAtTheFifosNameIsNeverFollowed) {
    TempDir dir;
    TempDir elsewhere;
    const QString victim = elsewhere.file("other-program.dat");
    ASSERT_TRUE(test_support::writeBytes(victim, "keep"));
    StreamedChildProcess child(shell("echo output of the child"), dir.path());
    child.setBeforeOpen([&](const QString& fifo) {
        ASSERT_TRUE(QFile::link(victim, fifo + ".link"));
        ASSERT_EQ(
            ::rename(QFile::encodeName(fifo + ".link").constData(), QFile::encodeName(fifo).constData()), 0);
    });
    ASSERT_TRUE(child.start());
    EXPECT_EQ(readToEnd(child), "output of the child\n");
    EXPECT_EQ(child.waitForExit(), 0);
    EXPECT_EQ(test_support::readBytes(victim), "keep");
}
