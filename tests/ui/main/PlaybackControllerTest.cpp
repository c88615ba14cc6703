#include "support/MainWindowFixture.h"

#include "model/SlideshowProject.h"
#include "ui/main/PlaybackController.h"

// The playback plays the project it is handed: here none is installed as the open one, and the window's
// controller lends only its window.
class PlaybackControllerTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        makeController(true);
        scheduler->advance(2.5); // past the delayed refresh of start-up
        slides = useColourSlides({Qt::red, Qt::green, Qt::blue});
        SlideshowProject::retainProject(nullptr);
        playback = std::make_unique<PlaybackController>(*controller, dialogs, *scheduler,
                                                        [handed = project] { return handed; });
    }
    void TearDown() override {
        playback.reset();
        MainWindowTest::TearDown();
    }
    QString buttonTitle() const { return controller->outlets().m_btnPlayStop->text(); }

    std::vector<SlideItemRef> slides;
    std::unique_ptr<PlaybackController> playback;
};

TEST_F(PlaybackControllerTest, PlaysAndStopsTheHandedProject) {
    ASSERT_FALSE(SlideshowProject::currentMainProject());
    playback->play();
    EXPECT_TRUE(playback->isPlaying());
    EXPECT_EQ(project->nCurrentStatus(), 1);
    EXPECT_EQ(buttonTitle(), "Stop");
    EXPECT_TRUE(playback->isStartPending());
    scheduler->advance(0.5);
    EXPECT_FALSE(playback->isStartPending());
    ASSERT_TRUE(playback->playHeadView());
    EXPECT_TRUE(playback->playHeadView()->isVisibleTo(window.get()));

    playback->stop();
    EXPECT_FALSE(playback->isPlaying());
    EXPECT_EQ(buttonTitle(), "Play");
    EXPECT_FALSE(playback->playHeadView()->isVisibleTo(window.get()));
    EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(PlaybackControllerTest, CountsTheHandedProjectsSlides) {
    project->setSlideshowArray({slides[0], slides[1]});
    playback->play();
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].title, "Please add at least 3 photos to get started!");
    EXPECT_FALSE(playback->isPlaying());
    EXPECT_FALSE(playback->isStartPending());
}
