#include "dvd/DVDFiles.h"
#include "platform/foundation/FileTree.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(DVDFiles, XmlEscapingCoversEverySpecialCharacter) {
    EXPECT_EQ(xmlEscaped("/tmp/a&b <c> \"d\" 'e'"), "/tmp/a&amp;b &lt;c&gt; &quot;d&quot; &apos;e&apos;");
    EXPECT_EQ(xmlEscaped(QString::fromUtf8("/tmp/caf\xc3\xa9")), QString::fromUtf8("/tmp/caf\xc3\xa9"));
}

TEST(DVDFiles, PlaceholdersAreReplacedInOnePass) {
    EXPECT_EQ(substitutePlaceholders("A=VOB_FILE_LIST B=MENU_SECTION_DATA A=VOB_FILE_LIST",
                                     {{"VOB_FILE_LIST", "x"}, {"MENU_SECTION_DATA", "y"}}),
              "A=x B=y A=x");
    // A value that happens to hold another placeholder's name is kept as it is.
    EXPECT_EQ(
        substitutePlaceholders("VOB_FILE_LIST|MENU_SECTION_DATA",
                               {{"VOB_FILE_LIST", "/tmp/MENU_SECTION_DATA.mpg"}, {"MENU_SECTION_DATA", "m"}}),
        "/tmp/MENU_SECTION_DATA.mpg|m");
    EXPECT_EQ(substitutePlaceholders("none here", {{"X_Y", "z"}}), "none here");
    EXPECT_EQ(substitutePlaceholders("", {{"X", "z"}}), "");
}

TEST(DVDFiles, NewFilesReplaceAPlantedLinkWithoutFollowingIt) {
    TempDir dir;
    const QString victim = dir.file("victim");
    ASSERT_TRUE(test_support::writeBytes(victim, "precious"));
    const QString target = dir.file("dvd.xml");
    ASSERT_TRUE(QFile::link(victim, target));
    QString error;
    ASSERT_TRUE(writeNewFile(target, "<dvdauthor/>", &error)) << qPrintable(error);
    EXPECT_EQ(fileBytes(victim), "precious");
    EXPECT_FALSE(QFileInfo(target).isSymLink());
    EXPECT_EQ(fileBytes(target), "<dvdauthor/>");
    EXPECT_EQ(QFileInfo(target).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther), 0);
    // An old file is replaced whole.
    ASSERT_TRUE(writeNewFile(target, "x", &error));
    EXPECT_EQ(fileBytes(target), "x");
    // A folder in the way is not removed.
    QDir().mkpath(dir.file("folder/inside"));
    EXPECT_FALSE(writeNewFile(dir.file("folder"), "x", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(dir.file("folder/inside")));
}

TEST(DVDFiles, RemovingALinkLeavesWhatItPointsTo) {
    TempDir dir;
    QDir().mkpath(dir.file("real/VIDEO_TS"));
    ASSERT_TRUE(QFile::link(dir.file("real"), dir.file("tttDVD1")));
    EXPECT_TRUE(removeItem(dir.file("tttDVD1")));
    EXPECT_FALSE(QFileInfo(dir.file("tttDVD1")).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(dir.file("real/VIDEO_TS")));
    EXPECT_TRUE(removeItem(dir.file("real")));
    EXPECT_FALSE(QFileInfo::exists(dir.file("real")));
    EXPECT_TRUE(removeItem(dir.file("never there")));
}

// Another program turns the disc folder into a link to a folder of its own while the folder is being removed:
// what the link points to is left alone.
TEST(DVDFiles, AFolderTurnedIntoALinkWhileItIsRemovedLeavesWhatTheLinkPointsTo) {
    TempDir dir;
    TempDir elsewhere;
    ASSERT_TRUE(test_support::writeBytes(elsewhere.file("precious"), "keep"));
    QDir().mkpath(dir.file("tttDVD1/VIDEO_TS"));
    ASSERT_TRUE(test_support::writeBytes(dir.file("tttDVD1/VIDEO_TS/VIDEO_TS.IFO"), "index"));
    const QByteArray folder = QFile::encodeName(dir.file("tttDVD1"));
    int turned = 0;
    platform::filetree::setBeforeEmptyingFolder([&](const QByteArray& emptied) {
        if (emptied != folder || turned++ > 0)
            return;
        ASSERT_EQ(::rename(folder.constData(), QFile::encodeName(dir.file("moved")).constData()), 0);
        ASSERT_TRUE(QFile::link(elsewhere.path(), dir.file("tttDVD1")));
    });
    removeItem(dir.file("tttDVD1"));
    platform::filetree::setBeforeEmptyingFolder({});
    EXPECT_EQ(turned, 1);
    EXPECT_EQ(test_support::readBytes(elsewhere.file("precious")), "keep");
}
