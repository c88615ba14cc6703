#include "FileTestHelpers.h"

#include "platform/foundation/FileUtils.h"
#include "platform/foundation/MoveOptions.h"
#include "support/TempDir.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace filetest;
using platform::moveItem;
using platform::MoveOptions;

namespace {

const MoveOptions copying{.forceCopy = true};

void setOldTimes(const QString& path) {
    const timespec times[2] = {{978307200, 0}, {978307200, 0}}; // 2001-01-01
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW);
}

// A tree with every kind of entry a move must carry: nested folders (one empty, one with a
// restrictive mode), hidden files, modes, links (relative, absolute, dangling) and a FIFO.
void makeTree(const QString& root) {
    QDir dir;
    ASSERT_TRUE(dir.mkpath(root + "/Contents/videos"));
    ASSERT_TRUE(dir.mkpath(root + "/empty"));
    ASSERT_TRUE(dir.mkpath(root + "/private"));
    writeFile(root + "/SlideshowProject.dat", "archive");
    writeFile(root + "/.hidden", "dot", 0600);
    writeFile(root + "/Contents/photo.jpg", QByteArray(300000, 'j'), 0640);
    writeFile(root + "/Contents/videos/clip.mov", QByteArray(70000, 'v'), 0755);
    writeFile(root + "/private/note", "n", 0400);
    ASSERT_TRUE(QFile::link("../SlideshowProject.dat", root + "/Contents/relative-link"));
    ASSERT_TRUE(QFile::link("/etc/hostname", root + "/absolute-link"));
    ASSERT_TRUE(QFile::link("missing", root + "/dangling-link"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(root + "/pipe").constData(), 0620), 0);
    for (const char* file : {"/SlideshowProject.dat", "/.hidden", "/Contents/photo.jpg",
                             "/Contents/videos/clip.mov", "/private/note", "/dangling-link"})
        setOldTimes(root + QLatin1String(file));
    ::chmod(QFile::encodeName(root + "/private").constData(), 0500);
    for (const char* folder : {"/Contents/videos", "/Contents", "/empty", "/private"})
        setOldTimes(root + QLatin1String(folder));
}

void openUpFolders(const QString& root) {
    QDirIterator it(root, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        ::chmod(QFile::encodeName(it.next()).constData(), 0700);
}

class MoveItem : public ::testing::Test {
protected:
    // Read-only folders of the test trees would stop the temporary folder's removal.
    void TearDown() override { openUpFolders(dir.path()); }

    TempDir dir;
    QString path(const QString& name) const { return dir.file(name); }
};

} // namespace

TEST_F(MoveItem, RenamesFilesAndFoldersOnOneFileSystem) {
    writeFile(path("a.txt"), "contents");
    QString error;
    ASSERT_TRUE(moveItem(path("a.txt"), path("b.txt"), &error)) << error.toStdString();
    EXPECT_FALSE(exists(path("a.txt")));
    EXPECT_EQ(readFile(path("b.txt")), "contents");

    makeTree(path("project"));
    const auto before = describeTree(path("project"));
    ASSERT_TRUE(moveItem(path("project"), path("renamed"), &error)) << error.toStdString();
    EXPECT_FALSE(exists(path("project")));
    EXPECT_EQ(describeTree(path("renamed")), before);
}

TEST_F(MoveItem, RefusesToReplaceAnythingEitherWay) {
    writeFile(path("from"), "new");
    writeFile(path("to"), "old");
    ASSERT_TRUE(QFile::link("nowhere", path("link")));
    for (const MoveOptions& options : {MoveOptions{}, copying}) {
        QString error;
        EXPECT_FALSE(moveItem(path("from"), path("to"), options, &error));
        EXPECT_TRUE(error.contains("already")) << error.toStdString();
        EXPECT_FALSE(moveItem(path("from"), path("link"), options, &error));
        EXPECT_EQ(readFile(path("from")), "new");
        EXPECT_EQ(readFile(path("to")), "old");
    }
    EXPECT_EQ(entries(dir.path()), (QStringList{"from", "link", "to"}));
}

TEST_F(MoveItem, ReportsAMissingSourceOrTargetFolder) {
    QString error;
    EXPECT_FALSE(moveItem(path("absent"), path("to"), &error));
    EXPECT_TRUE(error.contains("absent")) << error.toStdString();
    writeFile(path("from"), "x");
    EXPECT_FALSE(moveItem(path("from"), path("no-folder/to"), copying, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readFile(path("from")), "x");
}

TEST_F(MoveItem, RefusesToMoveAFolderIntoItself) {
    makeTree(path("project"));
    const auto before = describeTree(path("project"));
    for (const MoveOptions& options : {MoveOptions{}, copying}) {
        QString error;
        EXPECT_FALSE(moveItem(path("project"), path("project/Contents/inner"), options, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(describeTree(path("project")), before);
    }
}

TEST_F(MoveItem, CopiesAFileAcrossFileSystemsWithItsModeAndTime) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("other"));
    writeFile(path("movie.mp4"), QByteArray(2500000, 'm'), 0604);
    setOldTimes(path("movie.mp4"));
    const auto before = describeTree(dir.path()).value("movie.mp4");
    QString error;
    ASSERT_TRUE(moveItem(path("movie.mp4"), path("other/movie.mp4"), copying, &error)) << error.toStdString();
    EXPECT_FALSE(exists(path("movie.mp4")));
    EXPECT_EQ(describeTree(path("other")).value("movie.mp4"), before);
    EXPECT_EQ(entries(path("other")), QStringList{"movie.mp4"});
}

TEST_F(MoveItem, CopiesAWholeTreeAcrossFileSystems) {
    makeTree(path("project"));
    const auto before = describeTree(path("project"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("other"));
    QString error;
    ASSERT_TRUE(moveItem(path("project"), path("other/project"), copying, &error)) << error.toStdString();
    EXPECT_FALSE(exists(path("project")));
    EXPECT_EQ(describeTree(path("other/project")), before);
    EXPECT_EQ(entries(path("other")), QStringList{"project"});
    EXPECT_TRUE(QFileInfo(path("other/project/Contents/relative-link")).isSymLink());
}

TEST_F(MoveItem, FailureMidFileLeavesTheSourceAndNoPartialCopy) {
    makeTree(path("project"));
    writeFile(path("project/Contents/big.mov"), QByteArray(600000, 'b'));
    const auto before = describeTree(path("project"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("other"));
    QString error;
    {
        FileSizeLimit limit(400000);
        EXPECT_FALSE(moveItem(path("project"), path("other/project"), copying, &error));
    }
    EXPECT_TRUE(error.contains("big.mov")) << error.toStdString();
    EXPECT_EQ(describeTree(path("project")), before);
    EXPECT_EQ(entries(path("other")), QStringList());
}

TEST_F(MoveItem, SpecialFileInsideStopsTheMoveCleanly) {
    makeTree(path("project"));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = QFile::encodeName(path("project/Contents/socket"));
    ASSERT_LT(size_t(socketPath.size()), sizeof address.sun_path);
    qstrcpy(address.sun_path, socketPath.constData());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    const auto before = describeTree(path("project"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("other"));
    QString error;
    EXPECT_FALSE(moveItem(path("project"), path("other/project"), copying, &error));
    EXPECT_TRUE(error.contains("special")) << error.toStdString();
    EXPECT_EQ(describeTree(path("project")), before);
    EXPECT_EQ(entries(path("other")), QStringList());
}

TEST_F(MoveItem, UnreadableFileInsideStopsTheMoveCleanly) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads unreadable files";
    makeTree(path("project"));
    writeFile(path("project/Contents/locked"), "secret", 0000);
    const auto before = describeTree(path("project"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("other"));
    QString error;
    EXPECT_FALSE(moveItem(path("project"), path("other/project"), copying, &error));
    EXPECT_TRUE(error.contains("locked")) << error.toStdString();
    EXPECT_EQ(describeTree(path("project")), before);
    EXPECT_EQ(entries(path("other")), QStringList());
}

TEST_F(MoveItem, MovesBetweenRealFileSystems) {
    struct stat here {
    }, shm{};
    if (::stat(QFile::encodeName(dir.path()).constData(), &here) != 0 || ::stat("/dev/shm", &shm) != 0 ||
        here.st_dev == shm.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    QTemporaryDir memory("/dev/shm/vistrelle-move-XXXXXX");
    ASSERT_TRUE(memory.isValid());
    struct OpenUp {
        QString root;
        ~OpenUp() { openUpFolders(root); }
    } openUp{memory.path()};

    makeTree(memory.filePath("project"));
    const auto before = describeTree(memory.filePath("project"));
    QString error;
    ASSERT_TRUE(moveItem(memory.filePath("project"), path("project"), &error)) << error.toStdString();
    EXPECT_FALSE(exists(memory.filePath("project")));
    EXPECT_EQ(describeTree(path("project")), before);

    writeFile(path("song.m4a"), QByteArray(100000, 's'));
    ASSERT_TRUE(moveItem(path("song.m4a"), memory.filePath("song.m4a"), &error)) << error.toStdString();
    EXPECT_FALSE(exists(path("song.m4a")));
    EXPECT_EQ(readFile(memory.filePath("song.m4a")), QByteArray(100000, 's'));
    EXPECT_EQ(entries(memory.path()), QStringList{"song.m4a"});
}
