#include "FileTestHelpers.h"

#include "platform/foundation/FileIdentity.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/NamedPipe.h"
#include "support/OpenWatch.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <ctime>
#include <optional>
#include <thread>
#include <vector>

using namespace filetest;
using platform::firstFreePath;
using platform::writeFileAtomically;

namespace {

// Restores the process umask when a test that changes it ends.
class UmaskScope {
public:
    explicit UmaskScope(mode_t mask) : m_old(::umask(mask)) {}
    ~UmaskScope() { ::umask(m_old); }

private:
    mode_t m_old;
};

} // namespace

TEST(AtomicWrite, CreatesAndReplacesContentsLeavingNothingElse) {
    TempDir dir;
    const QString path = dir.file("settings.plist");
    QString error;
    ASSERT_TRUE(writeFileAtomically(path, "first", &error)) << error.toStdString();
    EXPECT_EQ(readFile(path), "first");
    ASSERT_TRUE(writeFileAtomically(path, "second, longer contents", &error)) << error.toStdString();
    EXPECT_EQ(readFile(path), "second, longer contents");
    ASSERT_TRUE(writeFileAtomically(path, QByteArray(), &error)) << error.toStdString();
    EXPECT_EQ(readFile(path), QByteArray());
    EXPECT_EQ(entries(dir.path()), QStringList{"settings.plist"});
}

TEST(AtomicWrite, NewFileTakesTheUmaskAndOldFileKeepsItsMode) {
    TempDir dir;
    const QString fresh = dir.file("fresh");
    {
        UmaskScope mask(027);
        ASSERT_TRUE(writeFileAtomically(fresh, "x"));
    }
    EXPECT_EQ(modeOf(fresh), mode_t(0640));

    const QString secret = dir.file("secret");
    writeFile(secret, "old", 0600);
    ASSERT_TRUE(writeFileAtomically(secret, "new"));
    EXPECT_EQ(modeOf(secret), mode_t(0600));
    writeFile(secret, "old", 0755);
    ASSERT_TRUE(writeFileAtomically(secret, "new"));
    EXPECT_EQ(modeOf(secret), mode_t(0755));
}

TEST(AtomicWrite, ReplacesALinkAndNeverWritesThroughIt) {
    TempDir dir;
    writeFile(dir.file("real"), "old", 0644);
    ASSERT_TRUE(QFile::link(dir.file("real"), dir.file("link")));
    ASSERT_TRUE(writeFileAtomically(dir.file("link"), "new"));
    EXPECT_FALSE(QFileInfo(dir.file("link")).isSymLink());
    EXPECT_EQ(readFile(dir.file("link")), "new");
    EXPECT_EQ(readFile(dir.file("real")), "old");
}

TEST(AtomicWrite, TemporariesOfKilledWritesAndFixedNamesAreCleared) {
    TempDir dir;
    for (const char* name : {".project.dat.tmp-1f2e", ".thumb_1.00.jpg.tmp-0", "notes.tmp-1", ".hidden"})
        writeFile(dir.file(name), "x");
    ASSERT_TRUE(QFile::link(dir.file("notes.tmp-1"), dir.file(".link.tmp-ab")));
    EXPECT_EQ(platform::removeStaleTemporaryFiles(dir.path()), 3);
    EXPECT_EQ(entries(dir.path()), (QStringList{".hidden", "notes.tmp-1"}));

    writeFile(dir.file("target"), "keep");
    for (const char* name : {"planted", "dangling"})
        ASSERT_TRUE(QFile::link(dir.file(QString(name) == "planted" ? "target" : "nowhere"), dir.file(name)));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.file("pipe")).constData(), 0600), 0);
    for (const char* name : {"planted", "dangling", "pipe", "new"}) {
        ASSERT_TRUE(platform::createFreshFile(dir.file(name))) << name;
        EXPECT_EQ(modeOf(dir.file(name)), mode_t(0600)) << name;
        EXPECT_EQ(readFile(dir.file(name)), QByteArray()) << name;
    }
    EXPECT_EQ(readFile(dir.file("target")), "keep");
    ASSERT_TRUE(QDir(dir.path()).mkpath("folder/inside"));
    EXPECT_FALSE(platform::createFreshFile(dir.file("folder")));
    EXPECT_TRUE(QFileInfo::exists(dir.file("folder/inside")));
}

// A project folder may be shared: what another user left there under a temporary file's name is theirs.
TEST(AtomicWrite, OnlyTheUsersOwnStaleTemporaryFilesAreRemoved) {
    struct Case {
        const char* what;
        bool chowned;                           // the file given to another user (only root may)
        std::optional<uid_t> standInForAnother; // else the user removing is ourselves
    };
    const Case cases[] = {
        {"another user's file", true, std::nullopt},
        {"our file, removed as another user", false, ::geteuid() + 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.chowned && ::geteuid() != 0)
            continue; // only root can give a file away
        TempDir dir;
        const QString stale = dir.file(".project.dat.tmp-1f2e");
        writeFile(stale, "theirs");
        if (c.chowned) {
            ASSERT_EQ(::chown(QFile::encodeName(stale).constData(), 4242, 4242), 0);
        }
        const int removed = c.standInForAnother
                                ? platform::removeStaleTemporaryFiles(dir.path(), *c.standInForAnother)
                                : platform::removeStaleTemporaryFiles(dir.path());
        EXPECT_EQ(removed, 0);
        EXPECT_EQ(readFile(stale), "theirs");
    }
}

TEST(AtomicWrite, MissingFolderFailsWithAMessage) {
    TempDir dir;
    QString error;
    EXPECT_FALSE(writeFileAtomically(dir.file("absent/file"), "data", &error));
    EXPECT_TRUE(error.contains("absent/file")) << error.toStdString();
    EXPECT_FALSE(exists(dir.file("absent")));
}

TEST(AtomicWrite, FailureHalfwayKeepsTheOldFileAndRemovesTheTemporary) {
    TempDir dir;
    const QString path = dir.file("project.dat");
    writeFile(path, "old contents");
    QString error;
    {
        FileSizeLimit limit(64 * 1024);
        EXPECT_FALSE(writeFileAtomically(path, QByteArray(1 << 20, 'n'), &error));
    }
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readFile(path), "old contents");
    EXPECT_EQ(entries(dir.path()), QStringList{"project.dat"});
}

TEST(AtomicWrite, FolderInTheWayFailsAndStaysAFolder) {
    TempDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken"));
    writeFile(dir.file("taken/inside"), "keep");
    QString error;
    EXPECT_FALSE(writeFileAtomically(dir.file("taken"), "data", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QFileInfo(dir.file("taken")).isDir());
    EXPECT_EQ(readFile(dir.file("taken/inside")), "keep");
    EXPECT_EQ(entries(dir.path()), QStringList{"taken"});
}

TEST(AtomicWrite, ReadOnlyFolderKeepsTheOldFile) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    TempDir dir;
    const QString path = dir.file("locked/file");
    ASSERT_TRUE(QDir(dir.path()).mkdir("locked"));
    writeFile(path, "old");
    ::chmod(QFile::encodeName(dir.file("locked")).constData(), 0555);
    QString error;
    EXPECT_FALSE(writeFileAtomically(path, "new", &error));
    ::chmod(QFile::encodeName(dir.file("locked")).constData(), 0755);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readFile(path), "old");
    EXPECT_EQ(entries(dir.file("locked")), QStringList{"file"});
}

TEST(AtomicWrite, ReadersNeverSeeAPartialFile) {
    TempDir dir;
    const QString path = dir.file("shared");
    const QByteArray first(3 << 20, 'a');
    const QByteArray second((1 << 20) + 17, 'b');
    ASSERT_TRUE(writeFileAtomically(path, first));

    std::atomic<bool> writing{true};
    std::atomic<int> reads{0};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (writing || reads == 0) {
            QFile file(path);
            const QByteArray seen = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing");
            if (seen != first && seen != second)
                ++torn;
            ++reads;
        }
    });
    for (int round = 0; round < 24; ++round)
        ASSERT_TRUE(writeFileAtomically(path, round % 2 ? first : second));
    writing = false;
    reader.join();
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    EXPECT_EQ(entries(dir.path()), QStringList{"shared"});
}

TEST(PartialFile, TakesItsPlaceOnlyWhenPutThereAndNeverWritesThroughALink) {
    TempDir dir;
    UmaskScope mask(022);
    writeFile(dir.file("real"), "kept", 0600);
    ASSERT_TRUE(QFile::link(dir.file("real"), dir.file("Trip.iso")));
    QString error, partial;
    const platform::UniqueFd fd = platform::openPartialFileBeside(dir.file("Trip.iso"), &partial, &error);
    ASSERT_TRUE(fd.isValid()) << error.toStdString();
    EXPECT_EQ(QFileInfo(partial).path(), dir.path());
    EXPECT_TRUE(QFileInfo(partial).fileName().startsWith(".Trip.iso.")) << partial.toStdString();
    EXPECT_EQ(readFile(partial), "");
    EXPECT_EQ(modeOf(partial), mode_t(0644));
    QString other;
    const platform::UniqueFd otherFd = platform::openPartialFileBeside(dir.file("Trip.iso"), &other);
    ASSERT_TRUE(otherFd.isValid());
    EXPECT_NE(other, partial) << "each is a file of its own";

    const QByteArray image = "a new image";
    ASSERT_EQ(::write(fd.get(), image.constData(), std::size_t(image.size())), image.size());
    ASSERT_TRUE(platform::commitPartialFile(fd.get(), partial, dir.file("Trip.iso"), &error))
        << error.toStdString();
    EXPECT_FALSE(QFileInfo(dir.file("Trip.iso")).isSymLink());
    EXPECT_EQ(readFile(dir.file("Trip.iso")), "a new image");
    EXPECT_EQ(readFile(dir.file("real")), "kept");
    EXPECT_FALSE(exists(partial));

    EXPECT_FALSE(
        platform::commitPartialFile(otherFd.get(), dir.file("gone.part"), dir.file("Trip.iso"), &error));
    EXPECT_TRUE(error.contains("Trip.iso")) << error.toStdString();
    EXPECT_EQ(readFile(dir.file("Trip.iso")), "a new image");
    QString none;
    EXPECT_FALSE(platform::openPartialFileBeside(dir.file("missing/Trip.iso"), &none, &error).isValid());
    EXPECT_TRUE(error.contains("missing/Trip.iso")) << error.toStdString();
}

// Where the file system has unnamed files, a file being made has no name another program could open it by
// until it is placed; elsewhere, or where an unnamed file could not be given a name once written (no
// /proc), it is made under a hidden name of its own. A child program reaches it meanwhile through the
// descriptor or, without /proc, that hidden name. Either takes its name once placed, a link there replaced,
// never followed.
TEST(PartialFile, AnUnnamedFileHasNoNameUntilPlacedAndAHiddenNameIsTheFallback) {
    const struct {
        const char* what;
        bool unnamedFiles;
        bool descriptorFolder; // the folder through which an unnamed file would be named
        bool unnamed;
    } cases[] = {{"unnamed", true, true, true},
                 {"hidden name: no unnamed files", false, true, false},
                 {"hidden name: no way to name an unnamed file", true, false, false}};
    for (const auto& [what, unnamedFiles, descriptorFolder, unnamed] : cases) {
        SCOPED_TRACE(what);
        TempDir dir;
        platform::setUnnamedFilesAllowed(unnamedFiles);
        platform::setOwnDescriptorFolder(descriptorFolder ? QString() : dir.file("no such folder"));
        UmaskScope mask(022);
        writeFile(dir.file("real"), "kept", 0600);
        ASSERT_TRUE(QFile::link(dir.file("real"), dir.file("Trip.mp4")));
        QString partial;
        QString error;
        const platform::UniqueFd fd = platform::openUnnamedFileBeside(dir.file("Trip.mp4"), &partial, &error);
        ASSERT_TRUE(fd.isValid()) << error.toStdString();
        EXPECT_EQ(partial.isEmpty(), unnamed);
        EXPECT_EQ(entries(dir.path()).size(), unnamed ? 2 : 3)
            << entries(dir.path()).join(", ").toStdString();
        ASSERT_TRUE(platform::writeFully(fd.get(), "a new movie", 11));
        const QString reaching = platform::pathReaching(fd.get(), partial);
        ASSERT_FALSE(reaching.isEmpty());
        EXPECT_EQ(readFile(reaching), "a new movie");
        ASSERT_TRUE(platform::placePartialFile(fd.get(), partial, dir.file("Trip.mp4"), &error))
            << error.toStdString();
        EXPECT_FALSE(QFileInfo(dir.file("Trip.mp4")).isSymLink());
        EXPECT_EQ(readFile(dir.file("Trip.mp4")), "a new movie");
        EXPECT_EQ(modeOf(dir.file("Trip.mp4")), mode_t(0644));
        EXPECT_EQ(readFile(dir.file("real")), "kept");
        EXPECT_EQ(entries(dir.path()), (QStringList{"Trip.mp4", "real"}));
    }
    platform::setUnnamedFilesAllowed(true);
    platform::setOwnDescriptorFolder(QString());
}

// A partial file another program removed, or put a file of its own in place of, is never placed, which of
// the two happened is told, and without /proc no child program is handed its name.
TEST(PartialFile, APartialFileRemovedOrReplacedIsNotPlacedAndTheLossIsTold) {
    const struct {
        const char* what;
        bool replace;
        platform::PartialLoss loss;
    } cases[] = {{"removed", false, platform::PartialLoss::Removed},
                 {"replaced", true, platform::PartialLoss::Replaced}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        writeFile(dir.file("Trip.mp4"), "an earlier movie");
        QString partial;
        const platform::UniqueFd fd = platform::openPartialFileBeside(dir.file("Trip.mp4"), &partial);
        ASSERT_TRUE(fd.isValid());
        ASSERT_TRUE(QFile::remove(partial));
        if (c.replace)
            writeFile(partial, "another program's");
        platform::setOwnDescriptorFolder(dir.file("no such folder"));
        EXPECT_EQ(platform::pathReaching(fd.get(), partial), QString());
        platform::setOwnDescriptorFolder(QString());
        QString error;
        platform::PartialLoss loss = platform::PartialLoss::None;
        EXPECT_FALSE(platform::placePartialFile(fd.get(), partial, dir.file("Trip.mp4"), &error, &loss));
        EXPECT_EQ(loss, c.loss);
        EXPECT_TRUE(error.contains("Trip.mp4")) << error.toStdString();
        EXPECT_EQ(readFile(dir.file("Trip.mp4")), "an earlier movie");
    }
}

// A program that writes into a file in place and sets its modification time back is still seen: the
// identity holds the change time too, which no program can set.
TEST(FileIdentity, AFileWrittenIntoWithItsTimeSetBackNoLongerCompares) {
    TempDir dir;
    const QString path = dir.file("movie.mp4");
    writeFile(path, "the movie as written");
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    ASSERT_EQ(::stat(name.constData(), &st), 0);
    const std::optional<platform::FileIdentity> before = platform::FileIdentity::ofPath(path);
    ASSERT_TRUE(before);
    // The system stamps changes with its coarse clock: the write below must come at a later stamp.
    const auto coarseNow = [] {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
        return now;
    };
    for (timespec now = coarseNow(); now.tv_sec < st.st_ctim.tv_sec ||
                                     (now.tv_sec == st.st_ctim.tv_sec && now.tv_nsec <= st.st_ctim.tv_nsec);
         now = coarseNow())
        std::this_thread::yield();
    const int fd = ::open(name.constData(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, "THE", 3, 0), 3);
    ::close(fd);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, name.constData(), times, 0), 0);
    const std::optional<platform::FileIdentity> after = platform::FileIdentity::ofPath(path);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->size, before->size);
    EXPECT_EQ(after->modifiedSeconds, before->modifiedSeconds);
    EXPECT_EQ(after->modifiedNanoseconds, before->modifiedNanoseconds);
    EXPECT_NE(*after, *before);
}

TEST(FirstFreePath, CountsUpPastEverythingThatExists) {
    TempDir dir;
    EXPECT_EQ(firstFreePath(dir.path(), "Movie", ".mp4"), dir.file("Movie.mp4"));
    writeFile(dir.file("Movie.mp4"), "");
    EXPECT_EQ(firstFreePath(dir.path(), "Movie", ".mp4"), dir.file("Movie-1.mp4"));
    writeFile(dir.file("Movie-1.mp4"), "");
    ASSERT_TRUE(QDir(dir.path()).mkdir("Movie-2.mp4"));
    // A dangling link is taken too: writing to it would create a file elsewhere.
    ASSERT_TRUE(QFile::link(dir.file("nowhere"), dir.file("Movie-3.mp4")));
    EXPECT_EQ(firstFreePath(dir.path(), "Movie", ".mp4"), dir.file("Movie-4.mp4"));
    // Only the name with the same extension counts.
    EXPECT_EQ(firstFreePath(dir.path(), "Movie", ".m4v"), dir.file("Movie.m4v"));
}

TEST(FirstFreePath, WorksWithoutExtensionAndWithPercentSigns) {
    TempDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("Project"));
    EXPECT_EQ(firstFreePath(dir.path(), "Project", ""), dir.file("Project-1"));
    writeFile(dir.file("100%1 %2"), "");
    EXPECT_EQ(firstFreePath(dir.path(), "100%1 %2", ""), dir.file("100%1 %2-1"));
}

TEST(LiesInsideFolder, ResolvesLinksOnBothSides) {
    TempDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("Project/Contents/videos"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("Other"));
    const QString project = dir.file("Project");
    writeFile(dir.file("Project/Contents/videos/clip.mov"), "clip");
    writeFile(dir.file("Other/secret.mov"), "secret");
    writeFile(dir.file("Project-2.mov"), "a neighbour sharing the folder's name as a prefix");
    ASSERT_TRUE(QFile::link(dir.file("Other/secret.mov"), dir.file("Project/Contents/videos/out.mov")));
    ASSERT_TRUE(QFile::link("clip.mov", dir.file("Project/Contents/videos/in.mov")));
    ASSERT_TRUE(QFile::link(dir.file("Other"), dir.file("Project/Contents/linked")));
    ASSERT_TRUE(QFile::link(project, dir.file("ProjectLink")));
    struct Case {
        QString path;
        QString folder;
        bool inside;
    };
    const std::vector<Case> cases = {
        {dir.file("Project/Contents/videos/clip.mov"), project, true},
        {dir.file("Project/Contents/videos/in.mov"), project, true},
        {project, project, true},
        {dir.file("ProjectLink/Contents/videos/clip.mov"), project, true},
        {dir.file("Project/Contents/videos/clip.mov"), dir.file("ProjectLink"), true},
        {dir.file("Project/Contents/videos/out.mov"), project, false},
        {dir.file("Project/Contents/linked/secret.mov"), project, false},
        {dir.file("Project/Contents/videos/../../../Other/secret.mov"), project, false},
        {dir.file("Project-2.mov"), project, false},
        {dir.file("Project/Contents/videos/absent.mov"), project, false},
        {dir.file("Project/Contents/videos/clip.mov"), dir.file("Absent"), false},
        {QString(), project, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::liesInsideFolder(c.path, c.folder), c.inside)
            << c.path.toStdString() << " in " << c.folder.toStdString();
}

TEST(OpenRegularFile, OpensFilesAndLinksToThemButNeverAPipeADeviceOrAFolder) {
    TempDir dir;
    writeFile(dir.file("plain"), "plain bytes");
    ASSERT_TRUE(QFile::link(dir.file("plain"), dir.file("link")));
    ASSERT_TRUE(QFile::link(dir.file("pipe"), dir.file("link to pipe")));
    ASSERT_TRUE(QDir().mkdir(dir.file("folder")));
    test_support::FifoTrap pipe(dir.file("pipe"));
    ASSERT_TRUE(pipe.isValid());
    test_support::OpenWatch watch({dir.path()});
    const std::vector<std::pair<QString, bool>> cases = {
        {dir.file("plain"), true},   {dir.file("link"), true},
        {dir.file("pipe"), false},   {dir.file("link to pipe"), false},
        {dir.file("folder"), false}, {dir.file("absent"), false},
        {"/dev/zero", false},        {"/dev/null", false},
        {QString(), false},
    };
    for (const auto& [path, regular] : cases) {
        SCOPED_TRACE(path.toStdString());
        QString error;
        EXPECT_EQ(platform::openRegularFile(path, &error).isValid(), regular);
        EXPECT_EQ(error.isEmpty(), regular);
        QFile file;
        EXPECT_EQ(platform::openRegularFile(file, path), regular);
        EXPECT_EQ(file.isOpen(), regular);
        if (regular) {
            EXPECT_EQ(file.readAll(), "plain bytes");
        }
    }
    EXPECT_EQ(pipe.readers(), 0);
    EXPECT_FALSE(watch.opened().contains(dir.file("pipe")));
}

TEST(SanitizedFileName, TurnsTitlesIntoOneSafeComponent) {
    const QString fallback = "Untitled";
    const struct {
        QString title;
        QString expected;
    } cases[] = {
        {"Summer 2024", "Summer 2024"},
        {"a/b", "a-b"},
        {"..", fallback},
        {".", fallback},
        {"....", fallback},
        {"../../etc", "-..-etc"},
        {".hidden", "hidden"},
        {". .x", "x"},
        {QString(QChar(0)), "-"},
        {QString("a") + QChar(0) + "b", "a-b"},
        {"tab\tinside\x7f", "tab-inside-"},
        {"\n line \n", "line"},
        {"  ", fallback},
        {"", fallback},
        {"  padded  ", "padded"},
        {QString::fromUtf8("Été à Zürich 🎉"), QString::fromUtf8("Été à Zürich 🎉")},
        {QString::fromUtf8("a\u0085b"), "a-b"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::sanitizedFileName(c.title, fallback), c.expected) << c.title.toStdString();
}

TEST(SanitizedFileName, CapsLengthAtTwoHundredBytesOnCharacterBoundaries) {
    const auto sanitized = [](const QString& title) { return platform::sanitizedFileName(title, "x"); };
    EXPECT_EQ(sanitized(QString(250, 'a')), QString(200, 'a'));
    EXPECT_EQ(sanitized(QString(199, 'a') + QString::fromUtf8("é")), QString(199, 'a'));
    EXPECT_EQ(sanitized(QString(150, QChar(0xe9))), QString(100, QChar(0xe9)));

    QString emoji;
    for (int i = 0; i < 60; ++i)
        emoji += QString::fromUtf8("🎉");
    const QString cutEmoji = sanitized(emoji);
    EXPECT_EQ(cutEmoji.toUtf8().size(), 200);
    EXPECT_EQ(cutEmoji, emoji.left(100));

    QString accented;
    for (int i = 0; i < 80; ++i)
        accented += QString::fromUtf8("e\u0301"); // e and a combining acute: one character, 3 bytes
    const QString cutAccented = sanitized(accented);
    EXPECT_EQ(cutAccented.toUtf8().size(), 198);
    EXPECT_EQ(cutAccented.back(), QChar(0x301));

    // Spaces at the cut are trimmed like spaces anywhere at the end.
    EXPECT_EQ(sanitized(QString(199, 'a') + "  tail"), QString(199, 'a'));
}
