#include "app/ApplicationShell.h"
#include "app/SingleInstance.h"
#include "platform/disc/DiscDrive.h"
#include "platform/foundation/StandardPaths.h"
#include "support/IsolatedUser.h"
#include "support/RecordingDialogs.h"
#include "support/TestChild.h"
#include "support/TestEnvironment.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QtGlobal>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

// The id of a process that has ended and been reaped.
pid_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

// Where the move to an output folder that cannot take it keeps a finished movie: named after the project.
QString keepFinishedMovie(const QString& title) {
    const auto project = SlideshowProject::currentMainProject();
    project->setStrProjectTitle(title);
    const QString movie = project->strEncodingVideoFilePath(SlideshowProject::sizeVideoOutput());
    test_support::writeBytes(movie, "movie");
    const QStringList before = QDir(SlideshowProject::strLargeTempDirectoryBase()).entryList(QDir::Files);
    QString error;
    EXPECT_TRUE(SlideshowProject::copyEncodedMovieFileForExport(platform::FileIdentity::ofPath(movie), &error)
                    .isEmpty());
    QStringList kept = QDir(SlideshowProject::strLargeTempDirectoryBase()).entryList(QDir::Files);
    for (const QString& name : before)
        kept.removeOne(name);
    EXPECT_EQ(kept.size(), 1) << error.toStdString();
    return kept.value(0);
}

const char* const kCutting = "the movie is being cut";

// The cut movie and the mixed sound of an export at 1280x720, both in the cache folder.
QStringList exportFiles() {
    return {SlideshowProject::strEncodingVideoFileBase(QSizeF(1280, 720)) + ".mp4",
            SlideshowProject::strTempM4AAudioFullPath()};
}

} // namespace

// Run only as the child of the test below: a running copy, which after its start writes an export's files
// and keeps them open until it is killed.
TEST(DISABLED_ExportingCopy, ExportsUntilKilled) {
    SingleInstance copy(SingleInstance::claimedFolders());
    ASSERT_TRUE(copy.claim());
    const AppDelegate::StartupHooks start = startupHooks();
    start.deleteTempFiles();
    std::vector<std::unique_ptr<QFile>> writing;
    for (const QString& path : exportFiles()) {
        writing.push_back(std::make_unique<QFile>(path));
        ASSERT_TRUE(writing.back()->open(QIODevice::WriteOnly));
        ASSERT_EQ(writing.back()->write("part of an export"), 17);
        ASSERT_TRUE(writing.back()->flush());
    }
    TestChild::tellParent(kCutting);
    TestChild::waitForParent();
}

// A second copy started from another login (su, ssh) has a runtime folder of its own but shares the first's
// cache folder, where both would cut their movies under the same names: it does not start. Even a start that
// ran beside it (one whose claim cannot be made at all) leaves the files of the export the first is making;
// once the first is killed, the next start removes them as it does what any killed export left.
TEST(ApplicationShell, ASecondCopyFromAnotherLoginDoesNotStartNorTakeTheFirstsExport) {
    const test_support::IsolatedUser user;
    const QString otherRuntime = user.home() + "/other-run";
    ASSERT_TRUE(QDir().mkpath(otherRuntime));
    ASSERT_TRUE(QFile::setPermissions(otherRuntime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    TestChild first("DISABLED_ExportingCopy.*", {{"XDG_RUNTIME_DIR", otherRuntime}});
    ASSERT_TRUE(first.waitForLine(kCutting)) << first.said().toStdString();

    SingleInstance second(SingleInstance::claimedFolders());
    EXPECT_FALSE(second.claim()) << "the cache folder is the first's";
    {
        const AppDelegate::StartupHooks start = startupHooks();
        start.deleteTempFiles();
        for (const QString& path : exportFiles())
            EXPECT_EQ(test_support::readBytes(path), "part of an export") << path.toStdString();
    }

    first.kill();
    EXPECT_TRUE(second.claim()) << "the first has ended";
    startupHooks().deleteTempFiles();
    for (const QString& path : exportFiles())
        EXPECT_FALSE(QFileInfo::exists(path)) << path.toStdString();
}

TEST(ApplicationShell, OffscreenPlatformCountsAsDisplay) {
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    EXPECT_TRUE(displayAvailable());
}

TEST(ApplicationShell, DocumentsAreTheArgumentsThatAreNotOptions) {
    EXPECT_EQ(documentArguments({"vistrelle", "--verbose", "/a/P.VistrelleProject", "b"}),
              (QStringList{"/a/P.VistrelleProject", "b"}));
    EXPECT_TRUE(documentArguments({"vistrelle"}).isEmpty());
}

TEST(ApplicationShell, VersionIsPrintedWithoutStartingTheInterface) {
    char program[] = "vistrelle";
    char flag[] = "--version";
    char* argv[] = {program, flag, nullptr};
    testing::internal::CaptureStdout();
    const int status = runApplication(2, argv);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out.rfind("Vistrelle ", 0), 0u) << out;
}

TEST(ApplicationShell, HelpAndVersionAnswerAsTextWithoutADisplay) {
    const test_support::EnvOverride platform("QT_QPA_PLATFORM", std::nullopt);
    const test_support::EnvOverride display("DISPLAY", std::nullopt);
    const test_support::EnvOverride wayland("WAYLAND_DISPLAY", std::nullopt);
    for (const auto& [flag, start] :
         {std::pair{"--help", "Usage: vistrelle"}, {"-h", "Usage: vistrelle"}, {"--version", "Vistrelle "}}) {
        char program[] = "vistrelle";
        std::string option = flag;
        char* argv[] = {program, option.data(), nullptr};
        testing::internal::CaptureStdout();
        const int status = runApplication(2, argv);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(status, 0) << flag;
        EXPECT_EQ(out.rfind(start, 0), 0u) << out;
    }
}

TEST(ApplicationShell, WithoutADisplayItSaysHowToGetOne) {
    const QByteArray saved = qgetenv("QT_QPA_PLATFORM");
    qunsetenv("QT_QPA_PLATFORM");
    const QByteArray display = qgetenv("DISPLAY"), wayland = qgetenv("WAYLAND_DISPLAY");
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    char program[] = "vistrelle";
    char* argv[] = {program, nullptr};
    testing::internal::CaptureStderr();
    const int status = runApplication(1, argv);
    const std::string err = testing::internal::GetCapturedStderr();
    qputenv("QT_QPA_PLATFORM", saved);
    if (!display.isEmpty())
        qputenv("DISPLAY", display);
    if (!wayland.isEmpty())
        qputenv("WAYLAND_DISPLAY", wayland);
    EXPECT_NE(status, 0);
    EXPECT_NE(err.find("xvfb-run"), std::string::npos) << err;
}

// A kill during exports leaves movies in the cache and movie pipes in the runtime folder, one during a DVD
// run a disc image's partial file in the output folder and an outside program's output pipe in the runtime
// folder: the next start removes them. A finished movie kept in the cache under its project's title stays,
// whatever the title, as do the pipes of processes that run, the image a live burn is writing and whatever
// is not a file or pipe of ours.
TEST(ApplicationShell, TheStartRemovesWhatKilledExportsLeftAndKeepsTheRest) {
    const test_support::IsolatedUser user;
    user.openProject();
    SlideshowProject::setSizeVideoOutput(QSizeF(1280, 720));
    SlideshowProject::setStrOutputVideoPath(user.home() + "/OutFile");
    test_support::writeBytes(user.home() + "/OutFile", "a file where the output folder should be");
    const QString prefix = "10468DAE-4D11-4C1B-893C-A7C0DF8AA810";
    const QStringList keptMovies = {keepFinishedMovie("Holiday"),
                                    keepFinishedMovie(prefix + "_video_1920x1080")};

    const QString cache = SlideshowProject::strLargeTempDirectoryBase();
    const QStringList leftMovies = {"_video_640x360.mp4", "_video_960x540.mov", "_video_1280x720.mp4",
                                    "_video_1920x1080.mov", "_video_0x0.mp4"};
    for (const QString& name : leftMovies)
        ASSERT_TRUE(test_support::writeBytes(cache + "/" + prefix + name, "cut movie"));
    // What killed writers were still writing under names of their own.
    for (const char* name : {"_video_640x360.mp4.part-3f2a", "_temp_audio.m4a.part-9c01"})
        ASSERT_TRUE(test_support::writeBytes(cache + "/." + prefix + name, "cut short"));
    const QStringList othersInCache = {"notes.txt",
                                       prefix + "_video_1280x720.mkv",
                                       "x" + prefix + "_video_640x360.mp4",
                                       prefix + "_video_960x540.mp4",
                                       prefix + "_video_640x360.mov",
                                       ".notes.txt.part-1a"};
    ASSERT_TRUE(test_support::writeBytes(cache + "/notes.txt", "mine"));
    ASSERT_TRUE(test_support::writeBytes(cache + "/" + othersInCache[5], "mine, being written"));
    ASSERT_TRUE(test_support::writeBytes(cache + "/" + othersInCache[1], "not an export's"));
    ASSERT_TRUE(test_support::writeBytes(cache + "/" + othersInCache[2], "not an export's"));
    ASSERT_TRUE(QFile::link(user.home() + "/OutFile", cache + "/" + othersInCache[3]));
    ASSERT_TRUE(QDir().mkdir(cache + "/" + othersInCache[4]));

    // The output folder: the partial images of killed burns, one a burn of this process is writing, and
    // files that are no partial image.
    const QString output = user.home() + "/Movies";
    ASSERT_TRUE(QDir().mkpath(output));
    SlideshowProject::setStrOutputVideoPath(output);
    for (const char* name : {".Holiday.iso.part-3f2a", ".Our trip.ISO.part-9c01"})
        ASSERT_TRUE(test_support::writeBytes(output + "/" + name, "cut short"));
    QString error;
    const auto burning = platform::disc::DiscDrive::openImageFile(output + "/Live.iso", &error);
    ASSERT_TRUE(burning) << error.toStdString();
    QStringList othersInOutput = {"Holiday.iso", ".Holiday.mp4.part-3f2a", ".Holiday.iso.part-xyz"};
    for (const QString& name : othersInOutput)
        ASSERT_TRUE(test_support::writeBytes(output + "/" + name, "not a partial image"));
    othersInOutput << QDir(output).entryList({".Live.iso.part-*"}, QDir::Files | QDir::Hidden);
    ASSERT_EQ(othersInOutput.size(), 4);

    const QString runtime = platform::paths::temporaryFolder();
    const auto pipeNamed = [&](const QString& name) {
        EXPECT_EQ(::mkfifo(QFile::encodeName(runtime + "/" + name).constData(), 0600), 0);
        return name;
    };
    const auto pipe = [&](pid_t pid) { return pipeNamed(QStringLiteral("v_fifo_%1").arg(pid)); };
    // What an outside program of a DVD run writes its output into.
    const auto outputPipe = [&](pid_t pid) {
        return pipeNamed(QStringLiteral("mkisofs_%1_0_output_fifo").arg(pid));
    };
    pipe(endedProcess());
    pipe(endedProcess());
    outputPipe(endedProcess());
    const QStringList runningPipes = {pipe(::getpid()), pipe(::getppid()), pipe(1), outputPipe(::getpid())};
    const QString fileNamedLikeAPipe = QStringLiteral("v_fifo_%1").arg(endedProcess());
    ASSERT_TRUE(test_support::writeBytes(runtime + "/" + fileNamedLikeAPipe, "not a pipe"));

    RecordingDialogs dialogs;
    AppDelegate delegate(dialogs);
    delegate.setStartupHooks(startupHooks());
    delegate.awakeFromNib();

    const auto names = [](const QString& folder) {
        QStringList list =
            QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
        list.sort();
        return list;
    };
    QStringList expectedCache = keptMovies + othersInCache;
    expectedCache << "vistrelle-copies.lock"; // this copy's use of the folder
    expectedCache.sort();
    EXPECT_EQ(names(cache), expectedCache);
    EXPECT_EQ(test_support::readBytes(user.home() + "/OutFile"), "a file where the output folder should be");
    othersInOutput.sort();
    EXPECT_EQ(names(output), othersInOutput);
    QStringList expectedRuntime = runningPipes;
    expectedRuntime << fileNamedLikeAPipe;
    expectedRuntime.sort();
    QStringList runtimeNow = names(runtime);
    runtimeNow.removeIf(
        [](const QString& name) { return !name.startsWith("v_fifo_") && !name.endsWith("_output_fifo"); });
    EXPECT_EQ(runtimeNow, expectedRuntime);
}
