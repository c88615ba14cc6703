// The document window's preview while what it plays changes or will not come: a slide's picture that never
// arrives holds a frame of the show in its wait, and the window still answers.
#include "support/HangGuard.h"
#include "support/MainWindowFixture.h"
#include "support/PlayWaits.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/MainThread.h"
#include "render/SlideshowDirector.h"
#include "ui/main/MainWindowOutlets.h"

#include <QAbstractButton>
#include <QFile>
#include <QTest>

#include <optional>

class PlayUnderChangeTest : public PreviewWindowTest {
protected:
    // Plays a show whose first slide is still being imported (its file claimed, never written) until the
    // display link's frame waits for that slide's picture, its context let go.
    void playUntilTheFrameWaitsForAPicture() {
        std::vector<SlideItemRef> slides = useColourSlides({Qt::red, Qt::green, Qt::blue});
        auto importing = platform::makeMainThreadShared<SlideItem>();
        importing->setFileName(project->strMacProjectBundleContentsPath() + "/importing.jpg");
        ASSERT_TRUE(QFile(importing->fileName()).open(QIODevice::WriteOnly));
        importing->customSetDurations(1.0f, 0.5f);
        slides.insert(slides.begin(), importing);
        project->setSlideshowArray(slides);
        project->calcSlideItemsPhotoTransitionDuration();
        controller->layoutScrollImages();
        controller->setNCurrentSlideshowItemIndex(0);
        waits.emplace(*controller->director());
        QTest::mouseClick(controller->outlets().m_btnPlayStop, Qt::LeftButton);
        scheduler->advance(0.5);
        ASSERT_EQ(controller->director()->directorStatus(), 1);
        displayTime->advance(1.0 / 30.0);
        waits->waitForThreads(2); // the loader's wait for the picture, and the frame's for the loader
    }

    std::optional<PlayWaits> waits;
};

TEST_F(PlayUnderChangeTest, TheWindowsStopEndsAPlayWhoseFrameWaitsForAPicture) {
    const HangGuard guard("a Stop while the frame waits for a picture", std::chrono::seconds(120));
    ASSERT_NO_FATAL_FAILURE(playUntilTheFrameWaitsForAPicture());
    QTest::mouseClick(controller->outlets().m_btnPlayStop, Qt::LeftButton);
    EXPECT_FALSE(controller->m_bPlaying());
    EXPECT_EQ(controller->director()->directorStatus(), 0);
    EXPECT_EQ(controller->outlets().m_btnPlayStop->text(), "Play");
    waits.reset();
}

TEST_F(PlayUnderChangeTest, AQuitWhileTheFrameWaitsForAPictureEnds) {
    const HangGuard guard("a quit while the frame waits for a picture", std::chrono::seconds(120));
    ASSERT_NO_FATAL_FAILURE(playUntilTheFrameWaitsForAPicture());
    waits.reset();
    controller.reset(); // as the window's close at quit: the preview and its display link go
    window.reset();
    SUCCEED() << "the display link's thread ended";
}
