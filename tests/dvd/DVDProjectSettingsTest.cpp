#include "dvd/DVDProjectSettings.h"
#include "model/ModelTestEnvironment.h"

#include <gtest/gtest.h>

namespace {

class DVDProjectSettingsTest : public model_test::ModelTest {};

} // namespace

TEST_F(DVDProjectSettingsTest, TakesTheOpenProjectsDVDSettings) {
    auto project = openNewProject("Holidays");
    ASSERT_TRUE(project);
    project->setBTVSystemPAL(true);
    project->setBDVDVideoAspect16_9(true);
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        project->addSlideItem(photoIn(project, name, 4.0f, 1.0f));
    SlideshowProjectManager manager;
    manager.setBUseDVDMenu(false);
    manager.setDvdTitle("Title");
    manager.setDvdSubtitle("Sub");

    const DVDProjectSettings settings = DVDProjectSettings::fromProject(*project, manager);
    EXPECT_TRUE(settings.bTVSystemPAL);
    EXPECT_TRUE(settings.bDVDVideoAspect16_9);
    EXPECT_FALSE(settings.bUseDVDMenu);
    EXPECT_EQ(settings.dvdTitle, "Title");
    EXPECT_EQ(settings.dvdSubtitle, "Sub");
    EXPECT_EQ(settings.videoFormat(), "PAL");
    EXPECT_EQ(settings.dvdPictureHeight(), 576);
    const QString contents = project->strMacProjectBundleContentsPath();
    EXPECT_EQ(settings.contentsFolder, contents);
    EXPECT_EQ(settings.slidePicturePaths,
              (QStringList{contents + "/a.jpg", contents + "/b.jpg", contents + "/c.jpg"}));
    EXPECT_DOUBLE_EQ(settings.slideshowTotalDuration, project->slideshowTotalDuration());
    EXPECT_GT(settings.slideshowTotalDuration, 0);
    // The fixed temporary names go into the program's private folder.
    EXPECT_TRUE(settings.temporaryFolder.isEmpty());
    EXPECT_EQ(settings.resolvedTemporaryFolder(), SlideshowProject::strProjectTempDirectoryBase());
}
