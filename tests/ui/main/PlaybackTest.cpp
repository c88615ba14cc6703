#include "support/MainWindowFixture.h"
#include "support/NullAudioSink.h"
#include "support/ToneMaker.h"

#include "export/NSAudioMixerObject.h"
#include "platform/media/AudioPlayer.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/MainThread.h"
#include "render/SlideshowDirector.h"
#include "ui/editing/TimelineContentView.h"
#include "ui/main/TimelineGeometry.h"

#include <QTest>

using namespace timeline_geometry;

TEST(PlayHeadGeometry, ThePlayHeadCrossesThePhotoThenTheTransitionOrFollowsTheSeconds) {
    SlideFramePosition photo;
    photo.slideIndex = 2;
    photo.inPhoto = true;
    photo.photoFrames = 100;
    photo.transitionFrames = 60;
    photo.frameFromPhotoStart = 50;
    EXPECT_FLOAT_EQ(*playHeadX(photo), 390.0f);
    SlideFramePosition transition = photo;
    transition.inPhoto = false;
    transition.frameInTransition = 30;
    EXPECT_FLOAT_EQ(*playHeadX(transition), 340.0f + 100.0f + 35.0f);
    EXPECT_FALSE(playHeadX(SlideFramePosition{}).has_value()) << "a frame outside the slides";
    EXPECT_FLOAT_EQ(rulerPlayHeadX(90, 30, 50), 150.0f);
    EXPECT_EQ(playHeadRect(390.0f), QRectF(390, 10, 8, 205));
}

TEST(PlayHeadGeometry, TheTimeTextsWidenPastAHundredMinutes) {
    EXPECT_EQ(timelineTimeText(1830, 30), "01:01");
    EXPECT_EQ(timelineTimeText(6059 * 30 + 29, 30), "100:59");
    EXPECT_EQ(timelineTimeText(6060 * 30, 30), "101:00");
    EXPECT_EQ(elapsedTimeText(125.9), "02:05");
}

class PlaybackTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        makeController(true);
        scheduler->advance(2.5); // past the delayed refresh of start-up
        const QString why = useRealPlayer();
        if (!why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        slides = useColourSlides({Qt::red, Qt::green, Qt::blue});
    }
    QString buttonTitle() const { return controller->outlets().m_btnPlayStop->text(); }
    int status() const { return player.director->directorStatus(); }

    std::vector<SlideItemRef> slides;
};

TEST_F(PlaybackTest, PlayStartsThePlayerHalfASecondLaterAndStopPutsThePlayingSlideCurrent) {
    controller->play();
    EXPECT_TRUE(controller->m_bPlaying());
    EXPECT_EQ(buttonTitle(), "Stop");
    EXPECT_EQ(project->nCurrentStatus(), 1);
    scheduler->advance(0.49);
    EXPECT_EQ(status(), 0);
    scheduler->advance(0.02);
    EXPECT_EQ(status(), 1);
    ASSERT_TRUE(controller->timelineIndicatorImageView());
    EXPECT_TRUE(controller->timelineIndicatorImageView()->isVisibleTo(window.get()));
    player.director->setNCurrentFrame(slides[1]->nItemStartFrameIndex() + 3);
    scheduler->advance(1.0 / 30.0);
    EXPECT_EQ(controller->timelineIndicatorImageView()->x(), 180)
        << "three of the 30 photo frames of the second cell";
    controller->play(); // a second press stops
    EXPECT_FALSE(controller->m_bPlaying());
    EXPECT_EQ(status(), 0);
    EXPECT_EQ(buttonTitle(), "Play");
    EXPECT_EQ(controller->nCurrentSlideshowItemIndex(), 1);
    EXPECT_FALSE(controller->timelineIndicatorImageView()->isVisibleTo(window.get()));
}

TEST_F(PlaybackTest, PlayStartsAtTheCurrentSlideOrAtTheFirst) {
    for (const int current : {-1, 2}) {
        controller->setNCurrentSlideshowItemIndex(current);
        controller->play();
        scheduler->advance(0.5);
        const quint64 start = current < 0 ? 0 : slides[std::size_t(current)]->nItemStartFrameIndex();
        EXPECT_EQ(player.director->nCurrentFrame(), start) << current;
        controller->stop();
    }
}

TEST_F(PlaybackTest, TooFewSlidesAreRefusedButAShowThatLostItsSlidesStillStops) {
    project->setSlideshowArray({slides[0], slides[1]});
    controller->play();
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_TRUE(dialogs.alerts[0].modal);
    EXPECT_EQ(dialogs.alerts[0].title, "Please add at least 3 photos to get started!");
    EXPECT_FALSE(controller->m_bPlaying());
    EXPECT_EQ(buttonTitle(), "Play");

    project->setSlideshowArray(slides);
    controller->play();
    scheduler->advance(0.5);
    project->setSlideshowArray({slides[0]});
    controller->play();
    EXPECT_FALSE(controller->m_bPlaying());
    EXPECT_EQ(status(), 0);
    EXPECT_EQ(dialogs.alerts.size(), 1u) << "stopping needs no alert";
}

TEST_F(PlaybackTest, AStopWithinTheStartsHalfSecondCancelsTheStart) {
    controller->play();
    scheduler->advance(0.3);
    controller->stop();
    scheduler->advance(1.0);
    EXPECT_EQ(status(), 0);
    EXPECT_FALSE(controller->m_bPlaying());
    EXPECT_FALSE(controller->isStartPending());
    controller->play();
    scheduler->advance(0.2);
    controller->play(); // the button pressed again before the start
    scheduler->advance(1.0);
    EXPECT_EQ(status(), 0);
    EXPECT_EQ(buttonTitle(), "Play");
}

// In both timeline styles the strip marks the playing slide as the show moves on, and the Stop button
// leaves the last one played current.
TEST_F(PlaybackTest, ThePlayingSlideBecomesTheMarkedCurrentSlideAsTheShowMovesOn) {
    for (const int style : {0, 1}) {
        SCOPED_TRACE(style);
        project->setNTimelineStyle(style);
        controller->layoutScrollImages();
        controller->setNCurrentSlideshowItemIndex(0);
        controller->outlets().m_btnPlayStop->click();
        scheduler->advance(0.5);
        ASSERT_EQ(status(), 1);
        scheduler->advance(1.0 / 30.0);
        EXPECT_EQ(markedCells(), std::vector<std::size_t>{0});
        for (const std::size_t slide : {1u, 2u}) {
            player.director->setNCurrentFrame(slides[slide]->nItemStartFrameIndex() + 3);
            scheduler->advance(1.0 / 30.0);
            EXPECT_EQ(markedCells(), std::vector<std::size_t>{slide});
            EXPECT_EQ(controller->nCurrentSlideshowItemIndex(), int(slide));
        }
        controller->outlets().m_btnPlayStop->click();
        EXPECT_EQ(status(), 0);
        EXPECT_EQ(markedCells(), std::vector<std::size_t>{2}) << "the slide that played last";
    }
}

// Slideshow > Play Sound Mix plays the project's sound alone through a new mixer of the project; Play (here
// refused: too few slides), Stop and closing the window end it.
TEST_F(PlaybackTest, PlaySoundMixPlaysTheProjectsMixUntilPlayOrStop) {
    useColourSlides({Qt::red, Qt::green});
    platform::media::AudioPlayer::setDefaultSinkFactory(
        [] { return std::make_unique<test_support::NullAudioSink>(); });
    const QString contents = project->strMacProjectBundleContentsPath();
    ASSERT_TRUE(ToneMaker::writeWav(contents + "/tone-1.00.wav", 440.0, 2.0, 0.5));
    auto song = platform::makeMainThreadShared<MusicItem>();
    song->addEntriesFromDictionary({{"pureFileName", "tone-1.00.wav"}});
    project->setMusicArray({song});
    QAction* item = controller->outlets().playMixedAudioMenuItem;
    ASSERT_TRUE(item);
    const auto heard = [this] {
        const auto mixer = std::dynamic_pointer_cast<NSAudioMixerObject>(project->audioMixer());
        return mixer && mixer->player() && mixer->player()->isPlaying() ? mixer : nullptr;
    };

    item->trigger();
    const auto first = heard();
    ASSERT_TRUE(first) << "the project's new mixer plays";
    EXPECT_TRUE(first->bMixForPlaying());
    EXPECT_GT(first->composition().duration().seconds(), 1.0) << "the song under the slides";
    QTest::mouseClick(controller->outlets().m_btnPlayStop, Qt::LeftButton);
    EXPECT_EQ(dialogs.alerts.size(), 1u) << "two slides are too few to play";
    EXPECT_FALSE(heard());
    EXPECT_FALSE(first->player());

    item->trigger();
    const auto second = heard();
    ASSERT_TRUE(second);
    EXPECT_NE(second, first) << "a new mixer each time";
    controller->stop();
    EXPECT_FALSE(heard());

    item->trigger();
    ASSERT_TRUE(heard());
    controller.reset();
    EXPECT_FALSE(heard()) << "the sound ends with its window, not when the project goes";
    platform::media::AudioPlayer::setDefaultSinkFactory(nullptr);
}
