// The project-property window: its stop codes and its fields, for a new project and the open one.
#include "support/MainWindowFixture.h"
#include "support/Screenshot.h"

#include "model/SlideshowProject.h"
#include "ui/editing/ProjectPropertyWindowController.h"

class ProjectPropertyWindowTest : public MainWindowTest {};

TEST_F(ProjectPropertyWindowTest, OkEndsWithOneAndTheCloseBoxWithZeroKeepingTheFields) {
    ProjectPropertyWindowController window;
    window.windowDidLoad();
    EXPECT_EQ(window.nameTextField()->text(), "New Project");
    EXPECT_FALSE(window.musicVideoButton()->isChecked());
    window.show();
    EXPECT_FALSE(screenshot::save(window, "new-project-window").isNull());

    window.nameTextField()->setText("Summer");
    window.musicVideoButton()->setChecked(true);
    window.close();
    EXPECT_EQ(window.result(), 0) << "closed: no project";
    EXPECT_EQ(window.strProjectName(), "Summer") << "the edits stay readable";
    EXPECT_TRUE(window.bMusicVideo());

    window.nameTextField()->clear();
    window.okButton()->click();
    EXPECT_EQ(window.result(), 1);
    EXPECT_EQ(window.strProjectName(), "");
}

TEST_F(ProjectPropertyWindowTest, ForTheOpenProjectItShowsItsTitleAndFlag) {
    project->setStrProjectTitle("Trip to the Sea");
    project->setBIsMusicSideshow(true);
    ProjectPropertyWindowController window;
    window.setBForNewProject(false);
    window.windowDidLoad();
    EXPECT_EQ(window.nameTextField()->text(), "Trip to the Sea");
    EXPECT_TRUE(window.musicVideoButton()->isChecked());
}
