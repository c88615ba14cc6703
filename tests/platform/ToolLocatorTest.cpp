#include "FileTestHelpers.h"

#include "platform/foundation/ToolLocator.h"
#include "support/TempDir.h"

#include <QDir>
#include <gtest/gtest.h>

using filetest::writeFile;
using platform::findOnSearchPath;
using platform::locateTool;

namespace {

// Each test sets PATH and VISTRELLE_TOOLS_DIR itself; the originals come back afterwards.
class ToolLocator : public ::testing::Test {
protected:
    void SetUp() override {
        qunsetenv("VISTRELLE_TOOLS_DIR");
        ASSERT_TRUE(QDir(dir.path()).mkpath("overrides"));
        ASSERT_TRUE(QDir(dir.path()).mkpath("bundled"));
        ASSERT_TRUE(QDir(dir.path()).mkpath("path"));
    }
    void TearDown() override {
        qputenv("PATH", savedPath);
        if (savedTools.isNull())
            qunsetenv("VISTRELLE_TOOLS_DIR");
        else
            qputenv("VISTRELLE_TOOLS_DIR", savedTools);
    }
    QString tool(const QString& folder, const QString& name, mode_t mode = 0755) {
        const QString path = dir.file(folder + "/" + name);
        writeFile(path, "#!/bin/sh\n", mode);
        return path;
    }

    const QByteArray savedPath = qgetenv("PATH");
    const QByteArray savedTools =
        qEnvironmentVariableIsSet("VISTRELLE_TOOLS_DIR") ? qgetenv("VISTRELLE_TOOLS_DIR") : QByteArray();
    TempDir dir;
};

} // namespace

TEST_F(ToolLocator, OverridesComeFirstThenBundledThenPath) {
    const QString onPath = tool("path", "ffmpeg");
    const QString bundled = tool("bundled", "ffmpeg");
    const QString override = tool("overrides", "ffmpeg");
    qputenv("PATH", QFile::encodeName(dir.file("path")));
    const QStringList bundledFolders{dir.file("bundled")};

    EXPECT_EQ(locateTool("ffmpeg"), onPath);
    EXPECT_EQ(locateTool("ffmpeg", bundledFolders), bundled);
    qputenv("VISTRELLE_TOOLS_DIR", QFile::encodeName(dir.file("overrides")));
    EXPECT_EQ(locateTool("ffmpeg", bundledFolders), override);
    QFile::remove(override);
    EXPECT_EQ(locateTool("ffmpeg", bundledFolders), bundled);
}

TEST_F(ToolLocator, SkipsWhatCannotRun) {
    const QString onPath = tool("path", "spumux");
    tool("overrides", "spumux", 0644);
    ASSERT_TRUE(QDir(dir.path()).mkpath("bundled/spumux"));
    qputenv("PATH", QFile::encodeName(dir.file("path")));
    qputenv("VISTRELLE_TOOLS_DIR", QFile::encodeName(dir.file("overrides")));
    EXPECT_EQ(locateTool("spumux", {dir.file("bundled")}), onPath);
}

TEST_F(ToolLocator, AnswersEmptyWhenNowhereOrNotABareName) {
    qputenv("PATH", QFile::encodeName(dir.file("path")));
    EXPECT_EQ(locateTool("dvdauthor"), QString());
    tool("path", "mkisofs");
    qputenv("VISTRELLE_TOOLS_DIR", QFile::encodeName(dir.file("overrides")));
    for (const QString& name : {QString(), QString("../path/mkisofs"), dir.file("path/mkisofs"),
                                QString(".."), QString("path/mkisofs")})
        EXPECT_EQ(locateTool(name, {dir.path()}), QString()) << name.toStdString();
}

TEST_F(ToolLocator, FindsRealProgramsOnTheUsualPath) {
    qputenv("PATH", "/usr/local/bin:/usr/bin:/bin");
    const QString found = locateTool("sh");
    EXPECT_TRUE(found == "/usr/bin/sh" || found == "/bin/sh") << found.toStdString();
}

TEST_F(ToolLocator, SearchPathIgnoresEmptyEntries) {
    const QString pngquant = tool("path", "pngquant");
    EXPECT_EQ(findOnSearchPath("pngquant", "::" + dir.file("path") + ":"), pngquant);
    EXPECT_EQ(findOnSearchPath("pngquant", ""), QString());
    EXPECT_EQ(findOnSearchPath("pngquant", ":::"), QString());
    EXPECT_EQ(findOnSearchPath("", dir.file("path")), QString());
}
