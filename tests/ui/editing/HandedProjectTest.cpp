// The panels edit the project they are handed, never the one the application has open: with another project
// installed, every change lands in the handed one and the installed one stays as it was.
#include "model/ModelTestEnvironment.h"

#include "ui/editing/BKMusicOptionsController.h"
#include "ui/editing/ExportProgressWindowController.h"
#include "ui/editing/PhotoDurationViewController.h"
#include "ui/editing/ProjectPropertyWindowController.h"
#include "ui/editing/SlideshowOptionsWndController.h"
#include "ui/editing/TransitionSelectViewController.h"
#include "ui/editing/blankImageWndController.h"

#include <QLineEdit>

#include <functional>

class HandedProjectTest : public model_test::ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        installed = openNewProject("Installed");
        handed = SlideshowProject::createNewBundleProject("Handed");
        ASSERT_TRUE(installed && handed);
        ASSERT_EQ(SlideshowProject::currentMainProject(), installed);
        for (const SlideshowProjectRef& project : {installed, handed}) {
            project->setSlideshowArray({photoIn(project, "a.jpg"), photoIn(project, "b.jpg")});
            project->setMusicArray({songOf(30, "One")});
            project->setStrThemeBackground("wood.jpg");
            project->setBIsDirty(false);
        }
        handed->setStrProjectTitle("Handed");
        installed->setStrProjectTitle("Installed");
    }
    ProjectSource source() const {
        return [project = handed] { return project; };
    }

    SlideshowProjectRef installed, handed;
};

TEST_F(HandedProjectTest, EachPanelChangesTheProjectItIsHanded) {
    struct Case {
        const char* panel;
        std::function<void()> act;
        std::function<bool(const SlideshowProject&)> changed;
    };
    const Case cases[] = {
        {"options window",
         [&] { SlideshowOptionsWndController(nullptr, source()).sliderSlideshowTime()->setValue(55); },
         [](const SlideshowProject& p) { return p.fltPhotoDuration() == 5.5f; }},
        {"photo duration, apply to all",
         [&] {
             PhotoDurationViewController popOver(handed->slideshowArray()[0], source());
             popOver.sliderPhotoDuration()->setValue(75);
             popOver.btnApplyToAll()->click();
         },
         [](const SlideshowProject& p) { return p.slideshowArray()[1]->fSecPhotoDuration() == 2.5f; }},
        {"music options level",
         [&] { BKMusicOptionsController(source()).sliderBackgroundVolumeWhenPhotos()->setValue(40); },
         [](const SlideshowProject& p) { return p.fltBackgroundMusicVolumeWhenPhotos() == 0.4f; }},
        {"transition apply to all",
         [&] {
             TransitionSelectViewController picker(source());
             picker.buttonApplyToAll()->click();
         },
         [](const SlideshowProject& p) { return p.bApplyTransitionToAll(); }},
        {"theme background default",
         [&] { blankImageWndController(true, source()).setDefaultButtonClicked(); },
         [](const SlideshowProject& p) { return p.strThemeBackground().isEmpty(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.panel);
        ASSERT_FALSE(c.changed(*handed));
        ASSERT_FALSE(c.changed(*installed));
        c.act();
        EXPECT_TRUE(c.changed(*handed));
        EXPECT_FALSE(c.changed(*installed));
        EXPECT_FALSE(installed->bIsDirty());
    }
}

TEST_F(HandedProjectTest, PanelsShowTheProjectTheyAreHanded) {
    EXPECT_EQ(BKMusicOptionsController(source()).tableModel()->rowCount(), 1);
    installed->setMusicArray({});
    EXPECT_EQ(BKMusicOptionsController(source()).tableModel()->rowCount(), 1) << "the installed one has none";

    ProjectPropertyWindowController properties(source());
    properties.setBForNewProject(false);
    properties.windowDidLoad();
    EXPECT_EQ(properties.nameTextField()->text(), "Handed");

    handed->setBExportProgressCancelButtonClicked(true);
    installed->setBExportProgressCancelButtonClicked(true);
    ExportProgressWindowController progress(source());
    EXPECT_FALSE(handed->bExportProgressCancelButtonClicked()) << "a new window clears its project's flag";
    EXPECT_TRUE(installed->bExportProgressCancelButtonClicked());
}
