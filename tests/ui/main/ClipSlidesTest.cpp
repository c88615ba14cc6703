// The clip slides on their own: they work on the project they are handed, with none installed as the open
// one, and stop copying once told to.
#include "support/ClipMaker.h"
#include "support/ProjectLists.h"
#include "support/RecordingDialogs.h"

#include "model/ModelTestEnvironment.h"
#include "model/QuartzSlideItem.h"
#include "model/SlideshowProject.h"
#include "model/VideoSlideItem.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/StandardPaths.h"
#include "ui/controls/DoubleSlider.h"
#include "ui/editing/TimeLineCellViewController.h"
#include "ui/editing/VideoItemPropertyViewController.h"
#include "ui/main/ClipSlides.h"
#include "ui/main/SlideshowMainObject.h"

#include <QDialog>
#include <QDir>
#include <QFileInfo>

class ClipSlidesTest : public model_test::ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        project = SlideshowProject::createNewBundleProject(QStringLiteral("Handed"));
        ASSERT_TRUE(project);
        ASSERT_FALSE(SlideshowProject::currentMainProject()) << "no open project";
        project->addSlideItem(photoIn(project, "one.jpg"));
        project->addSlideItem(photoIn(project, "two.jpg"));
        dialogs.modalWindowScript = [this](QDialog& window) {
            ++windows;
            window.exec();
        };
        hub = std::make_unique<SlideshowMainObject>(dialogs, scheduler);
        clips = std::make_unique<ClipSlides>(*hub, dialogs, scheduler, hub->outlets(),
                                             [this] { return project; });
    }
    void TearDown() override {
        clips.reset();
        hub.reset();
        project.reset();
        ModelTest::TearDown();
    }
    QString makeClip(const QString& name) {
        ClipMaker::Options options;
        options.frames = 30;
        const QString path = dir.file(name);
        EXPECT_TRUE(ClipMaker::make(path, options));
        return path;
    }
    // The clip file each slide plays, or "-" for a photo.
    QStringList clipNames() const { return test_support::clipFileNames(project->slideshowArray()); }

    SlideshowProjectRef project;
    RecordingDialogs dialogs;
    std::shared_ptr<platform::ManualScheduler> scheduler = std::make_shared<platform::ManualScheduler>();
    std::unique_ptr<SlideshowMainObject> hub;
    std::unique_ptr<ClipSlides> clips;
    int windows = 0;
};

// The slot is inside the handed project's show, which an open project of none would not have.
TEST_F(ClipSlidesTest, ClipsAreCopiedIntoTheProjectTheyAreHandedAtTheSlotOfItsShow) {
    clips->importClips({makeClip("inside.mp4")}, 1);
    EXPECT_FALSE(clips->isIdle()) << "delayed";
    scheduler->advance(0.3);
    EXPECT_TRUE(clips->isIdle());
    EXPECT_EQ(windows, 1);
    EXPECT_EQ(clipNames(), (QStringList{"-", "inside.mp4", "-"}));
    const auto clip = std::dynamic_pointer_cast<VideoSlideItem>(project->slideItemAtIndex(1));
    ASSERT_TRUE(clip);
    EXPECT_TRUE(QFileInfo(clip->strVideoFilePath())
                    .absolutePath()
                    .startsWith(project->strMacProjectBundleContentsPath()))
        << "a copy in the handed project";
    EXPECT_TRUE(project->bIsDirty());
}

TEST_F(ClipSlidesTest, ACompositionSlideIsAppendedToTheHandedProjectWithItsThumbnailThere) {
    dialogs.mediaOpenAnswers.push_back({platform::paths::pathForResource("coolSlideshow", "vcomp")});
    clips->chooseCompositionSlide();
    ASSERT_EQ(project->slideCount(), 3u);
    const auto slide = std::dynamic_pointer_cast<QuartzSlideItem>(project->slideItemAtIndex(2));
    ASSERT_TRUE(slide);
    // The slide resolves its names in the open project, so the copy is looked for in the folder.
    EXPECT_EQ(QDir(project->strMacProjectBundleContentsPath()).entryList({"thumb_*.png"}, QDir::Files).size(),
              1);
    ASSERT_EQ(hub->timelineCellViewArray().size(), 1u) << "the window's controller keeps the cell";
    EXPECT_EQ(hub->timelineCellViewArray().back()->sItem(), slide);
}

TEST_F(ClipSlidesTest, ARequestFallingDueAfterTheStopIsNotCopied) {
    clips->appendClip(makeClip("late.mp4"));
    clips->stopImporting();
    scheduler->advance(0.3);
    EXPECT_EQ(windows, 0);
    EXPECT_EQ(clipNames(), (QStringList{"-", "-"}));
}

// The inspector it makes for a clip marks the handed project changed; with none open there is no other.
TEST_F(ClipSlidesTest, TheClipInspectorItMakesEditsTheHandedProject) {
    EXPECT_EQ(clips->makeInspector(project->slideItemAtIndex(0)), nullptr) << "a photo has none";
    auto clip = platform::makeMainThreadShared<VideoSlideItem>();
    clip->setFSecPhotoDuration(4.0f);
    clip->setFSecTransitionDuration(1.0f);
    project->setBIsDirty(false);
    const std::unique_ptr<QWidget> view(clips->makeInspector(clip));
    auto* inspector = qobject_cast<VideoItemPropertyViewController*>(view.get());
    ASSERT_NE(inspector, nullptr);
    inspector->sliderTransitionDuration()->setDoubleValue(2.5);
    inspector->applyAtClose();
    EXPECT_FLOAT_EQ(clip->fSecTransitionDuration(), 2.5f);
    EXPECT_TRUE(project->bIsDirty());
}
