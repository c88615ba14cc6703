#include "app/MoveToApplications.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/UserDefaults.h"
#include "support/TempDir.h"
#include "support/UserFolders.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

// A user of the test's own, so that the Trash used is the test's own.
class TrashTest : public ::testing::Test {
protected:
    TempDir home;
    test_support::UserFolders user{home.path()};
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
