// What the preview shows once a movie export from the window has ended, finished or cancelled: the
// current slide again, a clip in its own player, rather than whatever the preview last drew.
#include "support/MainWindowFixture.h"
#include "support/SilentClipPlayer.h"

#include "model/SlideshowProject.h"
#include "ui/UiNotifications.h"
#include "ui/editing/ExportProgressWindowController.h"
#include "ui/editing/MovieSettingsWndController.h"
#include "ui/editing/VideoPlaybackViewController.h"
#include "ui/main/PreviewWidget.h"

#include <QComboBox>
#include <QFile>

class PreviewAfterExportTest : public PreviewWindowTest {
protected:
    void SetUp() override {
        PreviewWindowTest::SetUp();
        if (IsSkipped())
            return;
        controller->setClipPlayerFactory([] { return std::make_unique<SilentClipPlayer>(); });
        project->setShareOption("VideoSize", 0);
        SlideshowProject::setStrOutputVideoPath(dir.file("Exported"));
        std::vector<SlideItemRef> slides = useColourSlides({Qt::red, Qt::green, Qt::blue});
        // A clip of the project's own, last; everything short, for a quick export.
        slides.push_back(makeClipSlide("clip.mp4"));
        for (const SlideItemRef& slide : slides)
            slide->customSetDurations(0.3f, 0.2f);
        project->setSlideshowArray(slides);
        project->calcSlideItemsPhotoTransitionDuration();
        controller->layoutScrollImages();
        dialogs.modalWindowScript = [](QDialog& window) {
            if (auto* settings = qobject_cast<MovieSettingsWndController*>(&window)) {
                settings->videoSizePopup()->setCurrentIndex(0);
                settings->OKButtonClicked();
            }
        };
    }
    // The clip's cell clicked: its player stands in the preview's place.
    void clickClipCell() {
        platform::NotificationCenter::defaultCenter().post(kNotifyTimelineCellClicked, 3);
    }
    bool clipPlayerShown() const {
        const VideoPlaybackViewController* player = controller->videoPlaybackCtrl();
        return player && player->isVisibleTo(window.get()) &&
               !controller->previewWidget()->isVisibleTo(window.get());
    }
    // The export's end, then what its end queued, the preview's return among it.
    void runUntilTheExportHasEnded() {
        ASSERT_TRUE(test_support::spinUntil([&] { return !controller->isExportRunning(); }, 60000));
        for (int i = 0; i < 5; ++i) {
            scheduler->advance(0.2);
            test_support::spinFor(10);
        }
    }
};

TEST_F(PreviewAfterExportTest, TheCurrentClipIsInItsPlayerAgainAfterAnExportAndAfterACancel) {
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancelled" : "finished");
        clickClipCell();
        ASSERT_TRUE(clipPlayerShown());
        platform::NotificationCenter::defaultCenter().post(kNotifyShareOptionButtonClick, 0);
        scheduler->advance(0.0); // the settings' OK starts the export
        ASSERT_TRUE(controller->isExportRunning());
        EXPECT_FALSE(clipPlayerShown()) << "the export stops the clip's player";
        if (cancel)
            controller->exportProgressWC()->cancelButtonClicked();
        runUntilTheExportHasEnded();
        EXPECT_EQ(controller->nCurrentSlideshowItemIndex(), 3);
        EXPECT_EQ(markedCells(), std::vector<std::size_t>{3});
        EXPECT_TRUE(clipPlayerShown()) << "the current slide is the clip";
    }
}
