// Clip slides played in the document window's preview, up to the program's end.
#include "support/ColourNear.h"
#include "support/MainWindowFixture.h"
#include "support/TestApplication.h"

#include "model/SlideshowProject.h"
#include "render/SlideshowDirector.h"
#include "ui/main/MainWindowOutlets.h"
#include "ui/main/PreviewWidget.h"

#include <QAction>
#include <QDir>
#include <QTest>

#include <cstdlib>

namespace {

const QColor kClipColour(210, 40, 210);

bool near(QColor a, QColor b, int tolerance = 40) {
    return test_support::coloursNear(a, b, tolerance);
}

} // namespace

class PreviewClipTest : public PreviewWindowTest {
protected:
    // Three photos and a magenta clip with sound after them, the strip laid out for them.
    void useThreePhotosAndAClip() {
        std::vector<SlideItemRef> slides =
            useColourSlides({QColor(220, 40, 40), QColor(40, 200, 60), QColor(50, 70, 230)});
        ClipMaker::Options options = shortClip();
        options.audio = true;
        options.picture = [](QSize size, int) {
            QImage frame(size, QImage::Format_RGB32);
            frame.fill(kClipColour);
            return frame;
        };
        slides.push_back(makeClipSlide("clip.mp4", options));
        project->setSlideshowArray(slides);
        project->calcSlideItemsPhotoTransitionDuration();
        project->updateTimelineItemsPosition();
        controller->layoutScrollImages();
        controller->updateProjectInfo();
        controller->setNCurrentSlideshowItemIndex(0);
    }

    // Play, then the show frame by frame to its end; whether the preview showed the clip on the way.
    bool playThroughShowingTheClip() {
        QTest::mouseClick(controller->outlets().m_btnPlayStop, Qt::LeftButton);
        scheduler->advance(0.5);
        bool clipShown = false;
        const quint64 frames = project->totalFrameCount();
        for (quint64 i = 0; i < frames && controller->director()->directorStatus() == 1; ++i) {
            if (!tickPreview())
                return false;
            scheduler->advance(1.0 / 30.0);
            const QImage shown = controller->previewWidget()->shownFrame();
            clipShown =
                clipShown || near(shown.pixelColor(shown.width() / 2, shown.height() / 2), kClipColour);
        }
        return clipShown;
    }

    // Quit, then the program's end in its order: its window and controller go when its event loop returns,
    // then the application object, and last what it keeps open to the end, the project and its slides.
    [[noreturn]] void quitAsTheProgramDoes() {
        controller->outlets().quitAppMenuItem->trigger();
        controller.reset();
        window.reset();
        test_support::endApplication();
        project.reset();
        test_support::IsolatedUser::resetSingletons();
        QDir(home).removeRecursively();
        std::exit(::testing::Test::HasFailure() ? 1 : 0);
    }
};

// A clip's sound plays on threads of its own. At the program's end, after its application object has gone,
// those threads still end what runs on them themselves: Qt reports no timer stopped from another thread.
TEST_F(PreviewClipTest, AClipPlayedThroughThePreviewLeavesNothingRunningOnAnotherThreadAtQuit) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            useThreePhotosAndAClip();
            EXPECT_TRUE(playThroughShowingTheClip()) << "the preview never showed the clip";
            quitAsTheProgramDoes();
        },
        ::testing::ExitedWithCode(0), "");
}
