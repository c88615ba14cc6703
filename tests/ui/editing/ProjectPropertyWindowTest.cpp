// The project-property window: its stop codes and its fields, for a new project and the open one.
#include "support/MainWindowFixture.h"
#include "support/Screenshot.h"

#include "model/SlideshowProject.h"
#include "ui/editing/ProjectPropertyWindowController.h"
#include "ui/main/MainWindowDialogs.h"

#include <QApplication>
#include <QTimer>

class ProjectPropertyWindowTest : public MainWindowTest {};

TEST_F(ProjectPropertyWindowTest, OkEndsWithOneAndTheCloseBoxWithZeroKeepingTheFields) {
    ProjectPropertyWindowController window(projectSource());
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
    ProjectPropertyWindowController window(projectSource());
    window.setBForNewProject(false);
    window.windowDidLoad();
    EXPECT_EQ(window.nameTextField()->text(), "Trip to the Sea");
    EXPECT_TRUE(window.musicVideoButton()->isChecked());
}

// Through the window the application runs: its Cancel is in sight, closes the window and makes nothing.
TEST_F(ProjectPropertyWindowTest, CancelClosesTheNewProjectAndPropertiesWindowsWithNoChoice) {
    project->setStrProjectTitle("Trip to the Sea");
    MainWindowDialogs windows(nullptr, projectSource());
    for (const bool forNewProject : {true, false}) {
        SCOPED_TRACE(forNewProject ? "new project" : "properties");
        bool cancelSeen = false;
        QTimer::singleShot(0, [&] {
            auto* shown = qobject_cast<ProjectPropertyWindowController*>(QApplication::activeModalWidget());
            ASSERT_TRUE(shown);
            shown->nameTextField()->setText("Changed");
            QPushButton* cancel = shown->findChild<QPushButton*>("cancelButton");
            if (!cancel) {
                shown->done(0); // no way out for a person: end it so the test can report it
                return;
            }
            cancelSeen = cancel->isVisible() && shown->rect().contains(cancel->geometry());
            cancel->click();
        });
        const auto choice =
            forNewProject ? windows.runNewProjectDialog() : windows.runProjectPropertyDialog();
        EXPECT_TRUE(cancelSeen);
        EXPECT_FALSE(choice.has_value());
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the window closed";
        EXPECT_EQ(project->strProjectTitle(), "Trip to the Sea");
    }
}
