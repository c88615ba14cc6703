#include "platform/foundation/StandardPaths.h"

#include "support/TempDir.h"
#include "support/TestChild.h"
#include "support/TestEnvironment.h"
#include "support/UserFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace paths = platform::paths;
using test_support::EnvOverride;

namespace {

void writeText(const QString& path, const QByteArray& text) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

struct stat lstatOf(const QString& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
    return info;
}

// A home folder of the test's own: what one test writes in its settings, the next does not read.
class UserFoldersTest : public ::testing::Test {
protected:
    TempDir dir;
    QString home = dir.path();
    test_support::UserFolders user{home};
};

TEST_F(UserFoldersTest, FollowTheUsersXdgFolders) {
    writeText(home + "/.config/user-dirs.dirs", "# written by the desktop\n"
                                                "XDG_VIDEOS_DIR=\"$HOME/Films\"\n"
                                                "XDG_DOCUMENTS_DIR=\"$HOME/Papers/\"\n"
                                                "XDG_DOWNLOAD_DIR=\"$HOME/Incoming\"\n");
    EXPECT_EQ(paths::moviesFolder(), home + "/Films");
    EXPECT_EQ(paths::applicationFolder(), home + "/Films/Vistrelle");
    EXPECT_EQ(paths::documentsFolder(), home + "/Papers");
    EXPECT_EQ(paths::downloadsFolder(), home + "/Incoming");
    EXPECT_FALSE(QFileInfo::exists(paths::applicationFolder())) << "asking must not create the folder";
}

TEST_F(UserFoldersTest, FallBackToHomeSubfoldersWhenUnsetOrSwitchedOff) {
    EXPECT_EQ(paths::moviesFolder(), home + "/Videos");
    EXPECT_EQ(paths::documentsFolder(), home + "/Documents");
    EXPECT_EQ(paths::downloadsFolder(), home + "/Downloads");
    EXPECT_EQ(paths::applicationFolder(), home + "/Videos/Vistrelle");

    // A desktop switches a folder off by pointing it at home itself.
    writeText(home + "/.config/user-dirs.dirs", "XDG_VIDEOS_DIR=\"$HOME/\"\nXDG_DOCUMENTS_DIR=\"$HOME\"\n");
    EXPECT_EQ(paths::moviesFolder(), home + "/Videos");
    EXPECT_EQ(paths::documentsFolder(), home + "/Documents");
}

TEST_F(UserFoldersTest, ConfigFolderIsUnderXdgConfigHome) {
    EXPECT_EQ(paths::configFolder(), home + "/.config/Vistrelle");
    EnvOverride otherConfig("XDG_CONFIG_HOME", home + "/elsewhere/");
    EXPECT_EQ(paths::configFolder(), home + "/elsewhere/Vistrelle");
    EnvOverride noConfig("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(paths::configFolder(), home + "/.config/Vistrelle");
}

TEST_F(UserFoldersTest, AnswersHaveNoTrailingSlash) {
    EnvOverride slashedHome("HOME", home + "/");
    for (const QString& path : {paths::moviesFolder(), paths::documentsFolder(), paths::downloadsFolder(),
                                paths::applicationFolder(), paths::configFolder(), paths::resourceFolder()}) {
        EXPECT_FALSE(path.endsWith('/')) << path.toStdString();
        EXPECT_TRUE(QDir::isAbsolutePath(path)) << path.toStdString();
    }
}

TEST(ResourcesTest, TheEnvironmentOverridesTheResourceFolder) {
    TempDir resources;
    {
        EnvOverride env("VISTRELLE_RESOURCES", resources.path() + "/");
        EXPECT_EQ(paths::resourceFolder(), resources.path());
    }
    EnvOverride missing("VISTRELLE_RESOURCES", resources.file("missing"));
    EXPECT_NE(paths::resourceFolder(), resources.file("missing"));
    EXPECT_FALSE(paths::resourceFolder().isEmpty());
}

TEST(ResourcesTest, PathForResourceFindsFilesByNameTypeAndSubfolder) {
    TempDir resources;
    EnvOverride env("VISTRELLE_RESOURCES", resources.path());
    writeText(resources.file("black.png"), "png");
    writeText(resources.file("silence1s"), "raw");
    writeText(resources.file("masks/01.png"), "png");

    EXPECT_EQ(paths::pathForResource("black", "png"), resources.file("black.png"));
    EXPECT_EQ(paths::pathForResource("black", ".png"), resources.file("black.png"));
    EXPECT_EQ(paths::pathForResource("silence1s", ""), resources.file("silence1s"));
    EXPECT_EQ(paths::pathForResource("01", "png", "masks"), resources.file("masks/01.png"));
    EXPECT_EQ(paths::pathForResource("masks", ""), resources.file("masks"));

    EXPECT_TRUE(paths::pathForResource("white", "png").isEmpty());
    EXPECT_TRUE(paths::pathForResource("black", "jpg").isEmpty());
    EXPECT_TRUE(paths::pathForResource("01", "png").isEmpty());
    EXPECT_TRUE(paths::pathForResource("", "png").isEmpty());
}

TEST(ResourcesTest, NamesCannotClimbOutOfTheResourceFolder) {
    TempDir outer;
    writeText(outer.file("secret.txt"), "x");
    writeText(outer.file("res/inside.txt"), "x");
    EnvOverride env("VISTRELLE_RESOURCES", outer.file("res"));
    EXPECT_EQ(paths::pathForResource("inside", "txt"), outer.file("res/inside.txt"));
    EXPECT_TRUE(paths::pathForResource("../secret", "txt").isEmpty());
    EXPECT_TRUE(paths::pathForResource("secret", "txt", "..").isEmpty());
    EXPECT_TRUE(paths::pathForResource("..", "").isEmpty());
}

TEST(ResourcesTest, TheBuildsResourcesAreFound) {
    // ctest points VISTRELLE_RESOURCES at the build's resource folder, where the text tables are copied.
    EXPECT_FALSE(paths::pathForResource("Localizable", "strings", "strings").isEmpty());
}

TEST(ResourcesTest, BundleIdentifier) {
    EXPECT_EQ(paths::bundleIdentifier(), "org.vistrelle.Vistrelle");
}

// Temporary folders under a base of our own instead of /tmp, with no runtime folder unless a test sets one.
class TemporaryFolderTest : public ::testing::Test {
protected:
    TempDir base;
    EnvOverride tmpEnv{"VISTRELLE_TMPDIR", base.path()};
    EnvOverride runtimeEnv{"XDG_RUNTIME_DIR", std::nullopt};
    QString expected = base.path() + "/vistrelle-" + QString::number(::getuid());

    // When the usual name is taken, a fresh private folder of ours beside it, the same for the whole run.
    void expectFreshFolder() {
        const QString fresh = paths::temporaryFolder();
        EXPECT_TRUE(fresh.startsWith(expected + "-")) << fresh.toStdString();
        const struct stat info = lstatOf(fresh);
        EXPECT_TRUE(S_ISDIR(info.st_mode));
        EXPECT_EQ(info.st_mode & 07777, 0700u);
        EXPECT_EQ(info.st_uid, ::getuid());
        EXPECT_EQ(paths::temporaryFolder(), fresh);
        paths::releaseTemporaryFolders();
        EXPECT_FALSE(QFileInfo::exists(fresh));
    }
};

TEST_F(TemporaryFolderTest, IsCreatedPrivateAndReused) {
    EXPECT_EQ(paths::temporaryFolder(), expected);
    const struct stat info = lstatOf(expected);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    EXPECT_EQ(info.st_uid, ::getuid());
    writeText(expected + "/keep", "x");
    EXPECT_EQ(paths::temporaryFolder(), expected);
    EXPECT_TRUE(QFileInfo::exists(expected + "/keep"));
}

TEST_F(TemporaryFolderTest, AnExistingFolderOfOursGetsItsModeMended) {
    ASSERT_EQ(::mkdir(QFile::encodeName(expected).constData(), 0777), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(expected).constData(), 0777), 0);
    EXPECT_EQ(paths::temporaryFolder(), expected);
    EXPECT_EQ(lstatOf(expected).st_mode & 07777, 0700u);
}

TEST_F(TemporaryFolderTest, ASymlinkIsRefused) {
    TempDir target;
    ASSERT_EQ(::chmod(QFile::encodeName(target.path()).constData(), 0755), 0);
    ASSERT_TRUE(QFile::link(target.path(), expected));
    expectFreshFolder();
    EXPECT_EQ(lstatOf(target.path()).st_mode & 07777, 0755u) << "the link's target is left alone";
}

TEST_F(TemporaryFolderTest, AFileInTheWayIsRefused) {
    writeText(expected, "not a folder");
    expectFreshFolder();
}

TEST_F(TemporaryFolderTest, AnotherUsersFolderIsRefused) {
    if (::getuid() != 0)
        GTEST_SKIP() << "only root can give a folder to another user";
    ASSERT_EQ(::mkdir(QFile::encodeName(expected).constData(), 0700), 0);
    ASSERT_EQ(::chown(QFile::encodeName(expected).constData(), 65534, 65534), 0);
    expectFreshFolder();
    EXPECT_EQ(lstatOf(expected).st_uid, 65534u) << "the foreign folder is left alone";
}

TEST_F(TemporaryFolderTest, WithoutAnyPrivateFolderItSaysSoPlainly) {
    EnvOverride nowhere("VISTRELLE_TMPDIR", base.path() + "/missing");
    EXPECT_TRUE(paths::temporaryFolder().isEmpty());
    EXPECT_TRUE(paths::temporaryFolderProblem().contains(base.path() + "/missing"));
}

TEST_F(TemporaryFolderTest, LargeFilesGoToAPrivateFolderOnDisk) {
    TempDir cache;
    EnvOverride env("XDG_CACHE_HOME", cache.path());
    EXPECT_EQ(paths::largeTemporaryFolder(), cache.path() + "/vistrelle");
    EXPECT_EQ(lstatOf(cache.path() + "/vistrelle").st_mode & 07777, 0700u);
    TempDir runtime;
    ASSERT_EQ(::chmod(QFile::encodeName(runtime.path()).constData(), 0700), 0);
    EnvOverride ram("XDG_RUNTIME_DIR", runtime.path());
    EXPECT_EQ(paths::largeTemporaryFolder(), cache.path() + "/vistrelle") << "not in the runtime folder";
}

TEST_F(TemporaryFolderTest, APrivateRuntimeFolderIsPreferred) {
    TempDir runtime;
    ASSERT_EQ(::chmod(QFile::encodeName(runtime.path()).constData(), 0700), 0);
    EnvOverride env("XDG_RUNTIME_DIR", runtime.path());
    EXPECT_EQ(paths::temporaryFolder(), runtime.path() + "/vistrelle");
    EXPECT_EQ(lstatOf(runtime.path() + "/vistrelle").st_mode & 07777, 0700u);
}

TEST_F(TemporaryFolderTest, AnUnsafeRuntimeFolderIsPassedOver) {
    TempDir runtime;
    ASSERT_EQ(::chmod(QFile::encodeName(runtime.path()).constData(), 0777), 0);
    EnvOverride env("XDG_RUNTIME_DIR", runtime.path());
    EXPECT_EQ(paths::temporaryFolder(), expected);
    EXPECT_FALSE(QFileInfo::exists(runtime.path() + "/vistrelle"));
    EnvOverride relative("XDG_RUNTIME_DIR", "relative/run");
    EXPECT_EQ(paths::temporaryFolder(), expected);
}

} // namespace

// A test program, as ctest starts one: where it keeps what the program makes, one line for each kind.
TEST(DISABLED_TestProgramFoldersChild, TellsItsFolders) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const struct stat info = lstatOf(runtime);
    const QString lines[] = {
        "temporary " + paths::temporaryFolder(),
        "large " + paths::largeTemporaryFolder(),
        "settings " + paths::configFolder(),
        "data " + QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
        "home " + QDir::homePath(),
        "runtime " + runtime,
        QStringLiteral("private %1")
            .arg(S_ISDIR(info.st_mode) && info.st_uid == ::getuid() && (info.st_mode & 07777) == 0700),
    };
    for (const QString& line : lines)
        TestChild::tellParent(("folder " + line).toUtf8().constData());
}

// Test programs run side by side (ctest -j) in one desktop session, which gives them all its runtime folder;
// the program's pipes there have fixed names. Each test program still makes its files in folders of its own,
// the runtime folder private.
TEST(TestProgramFoldersTest, TwoTestProgramsOfOneSessionShareNoFolder) {
    TempDir session;
    ASSERT_EQ(::chmod(QFile::encodeName(session.path()).constData(), 0700), 0);
    // As ctest starts them: from the session's environment, not from a test program's.
    const QMap<QString, QString> environment{{"XDG_RUNTIME_DIR", session.path()},
                                             {test_support::ProcessUserFolders::kRootVariable, ""}};
    TestChild first("DISABLED_TestProgramFoldersChild.TellsItsFolders", environment);
    TestChild second("DISABLED_TestProgramFoldersChild.TellsItsFolders", environment);
    ASSERT_TRUE(first.finish()) << first.said().toStdString();
    ASSERT_TRUE(second.finish()) << second.said().toStdString();
    const auto folders = [](TestChild& child) {
        QMap<QString, QString> told;
        for (const QString& line : child.said().split('\n'))
            if (line.startsWith("folder "))
                told.insert(line.section(' ', 1, 1), line.section(' ', 2));
        return told;
    };
    const QMap<QString, QString> one = folders(first);
    const QMap<QString, QString> other = folders(second);
    ASSERT_EQ(one.size(), 7) << first.said().toStdString();
    ASSERT_EQ(other.keys(), one.keys());
    for (const QString& kind : one.keys()) {
        if (kind == "private")
            continue;
        SCOPED_TRACE(kind.toStdString());
        EXPECT_FALSE(one[kind].isEmpty());
        EXPECT_NE(one[kind].toStdString(), other[kind].toStdString());
        EXPECT_FALSE(one[kind].startsWith(session.path())) << "the session's " << one[kind].toStdString();
    }
    EXPECT_EQ(one["private"], "1");
    EXPECT_EQ(other["private"], "1");
}
