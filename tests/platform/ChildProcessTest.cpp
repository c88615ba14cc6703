#include "FileTestHelpers.h"

#include "platform/foundation/ChildProcess.h"
#include "platform/foundation/UniqueFd.h"
#include "support/TempDir.h"
#include "support/TestChild.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

using filetest::readFile;
using filetest::writeFile;
using platform::ChildProcess;

namespace {

ChildProcess::Options command(const QString& program, const QStringList& arguments = {}) {
    ChildProcess::Options options;
    options.program = program;
    options.arguments = arguments;
    return options;
}

ChildProcess::Options shell(const QString& script) {
    return command("/bin/sh", {"-c", script});
}

QStringList allLines(ChildProcess& child) {
    QStringList lines;
    while (const auto line = child.readLine())
        lines << *line;
    return lines;
}

bool isOurChild(pid_t pid) {
    errno = 0;
    return ::waitpid(pid, nullptr, WNOHANG) >= 0 || errno != ECHILD;
}

const char* const kFramesPipe = "VISTRELLE_TEST_FRAMES_PIPE";
const char* const kChildOutput = "VISTRELLE_TEST_CHILD_OUTPUT";
// How long a child may take to go once its program is killed; it only stops a broken test from hanging.
constexpr int kChildEndDeadlineMs = 30000;

} // namespace

TEST(ChildProcess, ReportsExitStatus) {
    ChildProcess success(command("/bin/true"));
    ASSERT_TRUE(success.start());
    EXPECT_EQ(success.waitForExit(), 0);
    EXPECT_TRUE(success.exitedNormally());
    EXPECT_FALSE(success.isRunning());

    ChildProcess three(shell("exit 3"));
    ASSERT_TRUE(three.start());
    EXPECT_EQ(three.waitForExit(), 3);
    EXPECT_EQ(three.exitStatus(), 3);
    EXPECT_EQ(three.terminatingSignal(), 0);
    EXPECT_FALSE(three.exitedNormally());
    EXPECT_EQ(three.waitForExit(), 3); // asking again does not wait on a reaped pid
}

TEST(ChildProcess, ReadsOutputLineByLine) {
    ChildProcess child(shell("printf 'one\\ntwo\\n\\nthr\\303\\251e'"));
    ASSERT_TRUE(child.start());
    EXPECT_EQ(allLines(child), (QStringList{"one", "two", "", QString::fromUtf8("thrée")}));
    EXPECT_FALSE(child.readLine().has_value());
    EXPECT_EQ(child.waitForExit(), 0);
}

TEST(ChildProcess, ManyLinesArriveInOrder) {
    ChildProcess child(command("seq", {"1", "200000"}));
    ASSERT_TRUE(child.start());
    int expected = 1;
    bool inOrder = true;
    while (const auto line = child.readLine())
        inOrder = inOrder && line->toInt() == expected++;
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(expected, 200001);
    EXPECT_EQ(child.waitForExit(), 0);
}

TEST(ChildProcess, LargeOutputWithChattyErrorOutputDoesNotDeadlock) {
    // Far more error output than a pipe holds, before, between and after the standard output.
    ChildProcess child(shell("yes complaint | head -c 300000 >&2; head -c 6000000 /dev/zero | tr '\\0' x;"
                             "yes complaint | head -c 300000 >&2; exit 5"));
    ASSERT_TRUE(child.start());
    const QByteArray output = child.readAll();
    EXPECT_EQ(output.size(), 6000000);
    EXPECT_EQ(output.count('x'), 6000000);
    EXPECT_EQ(child.waitForExit(), 5);
    const QByteArray errors = child.readAllStderr();
    EXPECT_EQ(errors.size(), 600000);
    EXPECT_TRUE(errors.startsWith("complaint\ncomplaint\n"));
}

TEST(ChildProcess, WaitingWithoutReadingDoesNotDeadlock) {
    ChildProcess child(shell("head -c 3000000 /dev/zero; head -c 3000000 /dev/zero >&2"));
    ASSERT_TRUE(child.start());
    EXPECT_EQ(child.waitForExit(), 0);
    EXPECT_EQ(child.readAll().size(), 3000000);
    EXPECT_EQ(child.readAllStderr().size(), 3000000);
}

TEST(ChildProcess, MergesErrorOutputWhenAsked) {
    ChildProcess::Options options = shell("echo out; echo err >&2; echo more");
    options.mergeStderr = true;
    ChildProcess child(options);
    ASSERT_TRUE(child.start());
    EXPECT_EQ(child.readAll(), "out\nerr\nmore\n");
    EXPECT_EQ(child.readAllStderr(), QByteArray());
    EXPECT_EQ(child.waitForExit(), 0);
}

TEST(ChildProcess, TakesInputFromAFileOrNothing) {
    TempDir dir;
    writeFile(dir.file("input.txt"), "hello\nworld\n");
    ChildProcess::Options options = command("/bin/cat");
    options.stdinFile = dir.file("input.txt");
    QByteArray output;
    ASSERT_TRUE(ChildProcess::run(options, &output));
    EXPECT_EQ(output, "hello\nworld\n");

    // Without an input file cat must see an empty input at once, not our terminal or a pipe left open.
    ASSERT_TRUE(ChildProcess::run(command("/bin/cat"), &output));
    EXPECT_EQ(output, QByteArray());

    options.stdinFile = dir.file("missing.txt");
    QString error;
    ChildProcess missing(options);
    EXPECT_FALSE(missing.start(&error));
    EXPECT_TRUE(error.contains("missing.txt")) << error.toStdString();

    // A pipe put at the input's name would hold the start until some writer came: it is refused at once.
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.file("pipe.txt")).constData(), 0600), 0);
    options.stdinFile = dir.file("pipe.txt");
    ChildProcess piped(options);
    EXPECT_FALSE(piped.start(&error));
    EXPECT_TRUE(error.contains("pipe.txt")) << error.toStdString();
}

TEST(ChildProcess, WritesOutputToAFile) {
    TempDir dir;
    writeFile(dir.file("out.txt"), "old contents that are longer");
    ChildProcess::Options options = command("/bin/echo", {"written", "to file"});
    options.stdoutFile = dir.file("out.txt");
    ChildProcess child(options);
    ASSERT_TRUE(child.start());
    EXPECT_FALSE(child.readLine().has_value());
    EXPECT_EQ(child.readAll(), QByteArray());
    EXPECT_EQ(child.waitForExit(), 0);
    EXPECT_EQ(readFile(dir.file("out.txt")), "written to file\n");
}

TEST(ChildProcess, EnvironmentOverridesAreMergedIntoOurs) {
    qputenv("VISTRELLE_INHERITED", "kept");
    qputenv("VISTRELLE_REPLACED", "old");
    ChildProcess::Options options = command("/usr/bin/env");
    options.environment = {{"VISTRELLE_ADDED", "42"}, {"VISTRELLE_REPLACED", "new value"}};
    QByteArray output;
    ASSERT_TRUE(ChildProcess::run(options, &output));
    qunsetenv("VISTRELLE_INHERITED");
    qunsetenv("VISTRELLE_REPLACED");
    const QList<QByteArray> lines = output.split('\n');
    EXPECT_TRUE(lines.contains("VISTRELLE_ADDED=42"));
    EXPECT_TRUE(lines.contains("VISTRELLE_INHERITED=kept"));
    EXPECT_TRUE(lines.contains("VISTRELLE_REPLACED=new value"));
    EXPECT_FALSE(lines.contains("VISTRELLE_REPLACED=old"));
}

TEST(ChildProcess, FindsProgramsOnTheChildsPath) {
    TempDir dir;
    writeFile(dir.file("vistrelle-fake-tool"), "#!/bin/sh\necho \"fake $1\"\n", 0755);
    ChildProcess::Options options = command("vistrelle-fake-tool", {"ran"});
    options.environment = {{"PATH", "/nonexistent:" + dir.path()}};
    QByteArray output;
    QString error;
    ASSERT_TRUE(ChildProcess::run(options, &output, &error)) << error.toStdString();
    EXPECT_EQ(output, "fake ran\n");

    ASSERT_TRUE(ChildProcess::run(command("echo", {"from", "PATH"}), &output));
    EXPECT_EQ(output, "from PATH\n");
}

TEST(ChildProcess, RunsInItsWorkingFolder) {
    TempDir dir;
    writeFile(dir.file("script"), "#!/bin/sh\npwd\n", 0755);
    ChildProcess::Options options = command(dir.file("script"));
    options.workingFolder = dir.path();
    QByteArray output;
    ASSERT_TRUE(ChildProcess::run(options, &output));
    EXPECT_EQ(output.trimmed(), QFile::encodeName(QDir(dir.path()).canonicalPath()));

    options.workingFolder = dir.file("absent");
    QString error;
    EXPECT_FALSE(ChildProcess::run(options, &output, &error));
    EXPECT_TRUE(error.contains("absent")) << error.toStdString();
}

TEST(ChildProcess, MissingProgramFailsToStartWithAMessage) {
    TempDir dir;
    writeFile(dir.file("not-executable"), "#!/bin/sh\n", 0644);
    for (const QString& program : {QString("vistrelle-no-such-program"), QString("/nonexistent/program"),
                                   dir.file("not-executable"), dir.path()}) {
        ChildProcess child(command(program));
        QString error;
        EXPECT_FALSE(child.start(&error)) << program.toStdString();
        EXPECT_TRUE(error.contains(program)) << error.toStdString();
        EXPECT_EQ(child.pid(), -1);
        EXPECT_FALSE(child.isRunning());
        EXPECT_EQ(child.waitForExit(), -1);
        EXPECT_FALSE(child.exitedNormally());
    }
}

TEST(ChildProcess, StartsOnlyOnce) {
    ChildProcess child(command("/bin/true"));
    ASSERT_TRUE(child.start());
    QString error;
    EXPECT_FALSE(child.start(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(child.waitForExit(), 0);
}

TEST(ChildProcess, TerminateAndKillStopASleeper) {
    for (const int signal : {SIGTERM, SIGKILL}) {
        ChildProcess child(command("sleep", {"30"}));
        ASSERT_TRUE(child.start());
        EXPECT_TRUE(child.isRunning());
        signal == SIGTERM ? child.terminate() : child.kill();
        EXPECT_EQ(child.waitForExit(), -1);
        EXPECT_EQ(child.terminatingSignal(), signal);
        EXPECT_EQ(child.exitStatus(), -1);
        EXPECT_FALSE(child.exitedNormally());
        EXPECT_FALSE(child.isRunning());
        // Reaped: these must not reach whatever process may get the pid next.
        child.terminate();
        child.kill();
    }
}

TEST(ChildProcess, KillFromAnotherThreadWhileTwoThreadsWait) {
    ChildProcess child(command("sleep", {"30"}));
    ASSERT_TRUE(child.start());
    int seenByOther = 0;
    std::thread waiter([&] { seenByOther = child.waitForExit(); });
    std::thread killer([&] { child.kill(); });
    const int seenHere = child.waitForExit();
    killer.join();
    waiter.join();
    EXPECT_EQ(seenHere, -1);
    EXPECT_EQ(seenByOther, -1);
    EXPECT_EQ(child.terminatingSignal(), SIGKILL);
}

TEST(ChildProcess, DestructorKillsAndReaps) {
    pid_t pid = -1;
    {
        ChildProcess child(command("sleep", {"30"}));
        ASSERT_TRUE(child.start());
        pid = pid_t(child.pid());
        ASSERT_GT(pid, 0);
        EXPECT_TRUE(isOurChild(pid));
    }
    EXPECT_FALSE(isOurChild(pid)); // waitpid answers ECHILD: no zombie was left behind
}

TEST(ChildProcess, ChildInheritsNoDescriptorsButItsThree) {
    const int leaky = ::open("/dev/null", O_RDONLY); // opened without close-on-exec on purpose
    ChildProcess sibling(command("sleep", {"30"}));
    ASSERT_TRUE(sibling.start());
    QByteArray output;
    // ls lists its own descriptor on the folder as well.
    ASSERT_TRUE(ChildProcess::run(command("/bin/ls", {"/proc/self/fd"}), &output));
    ::close(leaky);
    QList<QByteArray> fds = output.trimmed().split('\n');
    EXPECT_LE(fds.size(), 4) << output.toStdString();
    for (const QByteArray& fd : fds)
        EXPECT_LE(fd.toInt(), 3) << output.toStdString();
}

TEST(ChildProcess, ChildGetsDefaultSigpipeWhileWeIgnoreIt) {
    ChildProcess child(command("/bin/cat", {"/proc/self/status"}));
    ASSERT_TRUE(child.start());
    struct sigaction current {};
    sigaction(SIGPIPE, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_IGN);
    quint64 ignored = ~0ull;
    while (const auto line = child.readLine()) {
        if (line->startsWith("SigIgn:"))
            ignored = line->mid(7).trimmed().toULongLong(nullptr, 16);
    }
    EXPECT_EQ(ignored & (1ull << (SIGPIPE - 1)), 0u);

    // Hence a pipeline like this ends at once instead of running forever.
    QByteArray output;
    ASSERT_TRUE(ChildProcess::run(shell("yes | head -n 2"), &output));
    EXPECT_EQ(output, "y\ny\n");
}

TEST(ChildProcess, SigpipeIgnoredGivesEpipe) {
    platform::ignoreSigpipe();
    platform::ignoreSigpipe();
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    ::close(fds[0]);
    errno = 0;
    EXPECT_EQ(::write(fds[1], "x", 1), -1);
    EXPECT_EQ(errno, EPIPE);
    ::close(fds[1]);
}

TEST(ChildProcess, RunReportsFailuresWithTheirReason) {
    QByteArray output;
    QString error;
    EXPECT_FALSE(ChildProcess::run(shell("echo partial; echo 'bad input' >&2; exit 2"), &output, &error));
    EXPECT_EQ(output, "partial\n");
    EXPECT_TRUE(error.contains("status 2")) << error.toStdString();
    EXPECT_TRUE(error.contains("bad input")) << error.toStdString();

    EXPECT_FALSE(ChildProcess::run(shell("kill -9 $$"), &output, &error));
    EXPECT_TRUE(error.contains("signal 9")) << error.toStdString();

    EXPECT_FALSE(ChildProcess::run(command("vistrelle-no-such-program"), &output, &error));
    EXPECT_TRUE(error.contains("vistrelle-no-such-program")) << error.toStdString();
}

// A program that starts a child as a DVD run starts ffmpeg, which then waits in its open of the frames' pipe
// for a writer that never comes; the child's output goes into a pipe of the test's. It tells the child's
// process id, then waits to be killed.
TEST(DISABLED_ChildProcessStarter, StartsAChildWaitingForItsFrames) {
    ChildProcess::Options options = command("cat", {qEnvironmentVariable(kFramesPipe)});
    options.stdoutFile = qEnvironmentVariable(kChildOutput);
    options.mergeStderr = true;
    ChildProcess child(options);
    ASSERT_TRUE(child.start());
    TestChild::tellParent(("child " + QByteArray::number(child.pid())).constData());
    TestChild::tellParent("started");
    TestChild::waitForParent();
}

// The program that started a child is killed while the child waits for what the program was to feed it: the
// child goes with it rather than waiting for ever.
TEST(ChildProcess, AChildDiesWithTheProgramThatStartedIt) {
    const TempDir folder;
    const QString frames = folder.file("frames"), output = folder.file("output");
    ASSERT_EQ(::mkfifo(QFile::encodeName(frames).constData(), 0600), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(output).constData(), 0600), 0);
    // The child's output is this pipe's one writer: the pipe's end is the child's.
    const platform::UniqueFd childEnd(
        ::open(QFile::encodeName(output).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    ASSERT_TRUE(childEnd);
    TestChild starter("DISABLED_ChildProcessStarter.*", {{kFramesPipe, frames}, {kChildOutput, output}});
    ASSERT_TRUE(starter.waitForLine("started")) << starter.said().toStdString();
    const QString told = starter.said().section("child ", 1).section('\n', 0, 0);
    const pid_t child = pid_t(told.toInt());
    ASSERT_GT(child, 0) << starter.said().toStdString();

    starter.kill();
    pollfd ended{childEnd.get(), POLLIN, 0};
    const bool gone = ::poll(&ended, 1, kChildEndDeadlineMs) == 1 && (ended.revents & POLLHUP) != 0;
    if (!gone)
        ::kill(child, SIGKILL); // a failed test leaves nothing behind
    EXPECT_TRUE(gone) << "the child outlived the program that started it";
}
