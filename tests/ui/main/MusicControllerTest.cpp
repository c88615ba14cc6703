// The music controller and the layer views on a project handed to them, with no project open: the songs,
// the strips' frames and the audio layer all come from and go to the project their source gives.
#include "model/ModelTestEnvironment.h"
#include "support/ProjectLists.h"
#include "support/RecordingDialogs.h"
#include "support/TestEnvironment.h"
#include "support/ToneMaker.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/Scheduler.h"
#include "ui/main/LayerViews.h"
#include "ui/main/MusicController.h"
#include "ui/main/SlideshowMainObject.h"

#include <QFileInfo>

class MusicControllerTest : public model_test::ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        // Made, not opened: the open project stays none.
        project = SlideshowProject::createNewBundleProject(QStringLiteral("Handed"));
        ASSERT_TRUE(project);
        ASSERT_FALSE(SlideshowProject::currentMainProject());
        hub = std::make_unique<SlideshowMainObject>(dialogs, scheduler);
    }
    void TearDown() override {
        hub.reset();
        project.reset();
        ModelTest::TearDown();
    }
    ProjectSource handed() {
        return [this] { return project; };
    }

    SlideshowProjectRef project;
    RecordingDialogs dialogs;
    std::shared_ptr<platform::ManualScheduler> scheduler = std::make_shared<platform::ManualScheduler>();
    std::unique_ptr<SlideshowMainObject> hub;
};

TEST_F(MusicControllerTest, SongsAreCopiedIntoTheHandedProjectInPlaceOfItsStockSong) {
    MusicController music(*hub, dialogs, scheduler, hub->outlets(), handed());
    ASSERT_EQ(project->musicArray().size(), 1u) << "a new project comes with its stock song";
    const QString tone = dir.file("Tone.wav");
    ASSERT_TRUE(ToneMaker::writeWav(tone, 440, 2.0, 0.37f));

    music.addMusicToProject({tone, dir.file("missing.wav")});
    ASSERT_TRUE(test_support::spinUntil([&] { return music.isMusicImportIdle(); }, 30000));
    EXPECT_EQ(test_support::songTitles(project->musicArray()), QStringList{"Tone"});
    const QString contents = project->strMacProjectBundleContentsPath();
    EXPECT_TRUE(QFileInfo::exists(project->musicArray()[0]->strFilePathIn(contents)))
        << "copied into the handed project's folder";
    EXPECT_TRUE(project->bIsDirty());
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_TRUE(dialogs.alerts[0].message.contains("missing.wav"));
}

TEST_F(MusicControllerTest, StripFramesFollowTheHandedProjectsSlides) {
    MusicController music(*hub, dialogs, scheduler, hub->outlets(), handed());
    std::vector<SlideItemRef> slides;
    for (int i = 0; i < 3; ++i)
        slides.push_back(photoIn(project, QStringLiteral("p%1.jpg").arg(i), 4.0f, 2.0f));
    project->setSlideshowArray(slides);
    project->calcSlideItemsPhotoTransitionDuration();
    project->setMusicArray({songOf(12.0, "A"), songOf(6.0, "B")});

    EXPECT_TRUE(hub->musicStripFrames(2).empty()) << "the hub's own controller sees no open project";
    const std::vector<QRectF> frames = music.musicStripFrames(2);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], QRectF(0, 0, 340, 60)) << "12 s end where slide 2's photo starts";
    EXPECT_NEAR(frames[1].right(), 496.67, 0.01);

    project->setNTimelineStyle(1);
    project->setNTimelinePixelPerSecond(10);
    EXPECT_NEAR(music.getTimelineXPositionFromFrame_Music(SlideshowProject::ulFrameRate() * 12), 120.0, 1e-3)
        << "on the time scale";
}

TEST_F(MusicControllerTest, SoundsJoinTheHandedProjectsAudioLayerThirtySecondsApart) {
    LayerViews layers(*hub, hub->outlets(), handed());
    const QString one = dir.file("one.wav"), two = dir.file("two.wav");
    ASSERT_TRUE(ToneMaker::writeWav(one, 440, 1.0, 0.37f));
    ASSERT_TRUE(ToneMaker::writeWav(two, 440, 1.0, 0.37f));
    project->setBIsDirty(false);

    layers.addMusicToAudioLayer({one, dir.file("missing.wav"), two});
    const std::vector<MusicItemRef> items = project->audioLayerArray();
    ASSERT_EQ(items.size(), 2u) << "a sound that does not read is left out";
    EXPECT_FLOAT_EQ(items[0]->fStartPosition(), 3.5f);
    EXPECT_FLOAT_EQ(items[1]->fStartPosition(), 33.5f);
    EXPECT_TRUE(QFileInfo::exists(items[1]->strFilePathIn(project->strMacProjectBundleContentsPath())))
        << "copied into the handed project's folder";
    EXPECT_TRUE(project->bIsDirty());
}
