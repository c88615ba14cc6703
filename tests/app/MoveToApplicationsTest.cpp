#include "app/MoveToApplications.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/UserDefaults.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

// Points HOME and XDG_DATA_HOME at a temporary folder, so the Trash used is the test's own.
class TrashTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedHome = qgetenv("HOME");
        savedData = qgetenv("XDG_DATA_HOME");
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_DATA_HOME", (home.path() + "/.local/share").toUtf8());
        QDir(home.path()).mkpath(".local/share");
    }
    void TearDown() override {
        qputenv("HOME", savedHome);
        if (savedData.isEmpty())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", savedData);
    }
    TempDir home;
    QByteArray savedHome, savedData;
};

} // namespace

TEST_F(TrashTest, FileAndFolderGoToTheTrashAndMissingOnesFail) {
    const QString file = home.file("photo.jpg");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
    f.close();
    ASSERT_TRUE(moveItemToTrash(file));
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_TRUE(QFile::exists(home.path() + "/.local/share/Trash/files/photo.jpg"));

    ASSERT_TRUE(QDir(home.path()).mkpath("folder/inner"));
    ASSERT_TRUE(moveItemToTrash(home.file("folder")));
    EXPECT_FALSE(QFile::exists(home.file("folder")));

    EXPECT_FALSE(moveItemToTrash(home.file("no-such-file")));
    EXPECT_FALSE(moveItemToTrash(QString()));
}

TEST(MoveToApplications, OfferNeverTouchesTheSettingsAndKeepsItsTexts) {
    TempDir dir;
    platform::UserDefaults::setStorePathForTesting(dir.file("defaults.conf"));
    offerMoveToApplicationsFolder();
    EXPECT_FALSE(platform::UserDefaults::standard().contains("moveToApplicationsFolderAlertSuppress"));
    platform::UserDefaults::standard().setValue("moveToApplicationsFolderAlertSuppress", true);
    offerMoveToApplicationsFolder();
    EXPECT_TRUE(platform::UserDefaults::standard().boolean("moveToApplicationsFolderAlertSuppress"));
    platform::UserDefaults::setStorePathForTesting(QString());

    // The offer's texts stay available in their own table for translators.
    EXPECT_FALSE(platform::paths::pathForResource("MoveApplication", "strings", "strings").isEmpty());
}
