// The share controller and the DVD-menu page on a project handed to them rather than the open one: the
// share choice, the settings' OK that a DVD leaves alone, and the menu test's play of the first three slides.
#include "support/MainWindowFixture.h"

#include "render/SlideshowDirector.h"
#include "ui/UiNotifications.h"
#include "ui/main/DvdMenuPage.h"
#include "ui/main/ShareController.h"

class ShareControllerTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        makeController();
        handed = SlideshowProject::createNewBundleProject(QStringLiteral("Handed"));
        ASSERT_TRUE(handed);
        ASSERT_NE(SlideshowProject::currentMainProject(), handed);
    }
    void TearDown() override {
        handed.reset();
        MainWindowTest::TearDown();
    }
    ProjectSource handedSource() {
        return [this] { return handed; };
    }
    int alertsSaying(const QString& message) const {
        int count = 0;
        for (const RecordingDialogs::Alert& alert : dialogs.alerts)
            count += alert.message == message;
        return count;
    }

    SlideshowProjectRef handed;
};

TEST_F(ShareControllerTest, AShareChoiceIsWrittenIntoTheProjectItIsHanded) {
    SlideshowProject::retainProject(nullptr); // no open project at all
    ShareController share(*controller, dialogs, *scheduler, controller->outlets(), handedSource(),
                          handedSource());
    share.shareOptionChosen({kNotifyShareOptionButtonClick, 2, {}});
    EXPECT_EQ(handed->strShareServceType(), "SocialSite");
    share.shareOptionChosen({kNotifyShareOptionButtonClick, 1, {}});
    EXPECT_EQ(handed->strShareServceType(), "VideoSite");
    EXPECT_TRUE(project->strShareServceType().isEmpty()) << "the project once open is left alone";
}

TEST_F(ShareControllerTest, TheSettingsOKOfADVDInTheHandedProjectStartsNoMovie) {
    project->setShareOption("ServiceName", "SocialSite"); // the open one would make a movie
    const QString noPlayer = "There is no player to render the movie.";
    ShareController share(*controller, dialogs, *scheduler, controller->outlets(), handedSource(),
                          handedSource());
    handed->setShareOption("ServiceName", "BurnDVD");
    share.videoInfoEditDone();
    EXPECT_EQ(alertsSaying(noPlayer), 0) << qPrintable(dialogs.alertText());

    // A movie: without a player there is none to render it, which the user is told.
    handed->setShareOption("ServiceName", "PhotoLibrary");
    share.videoInfoEditDone();
    EXPECT_EQ(alertsSaying(noPlayer), 1) << qPrintable(dialogs.alertText());
    EXPECT_FALSE(share.isExportRunning());
}

TEST_F(ShareControllerTest, TheMenuTestPlaysCopiesOfTheHandedProjectsFirstThreeSlides) {
    const QString why = useRealPlayer();
    if (!why.isEmpty())
        GTEST_SKIP() << qPrintable(why);
    ASSERT_EQ(project->slideCount(), 0u) << "the open project has nothing to play";
    const std::vector<SlideItemRef> slides = stillPhotos(handed->strMacProjectBundleContentsPath(), 4);
    for (const SlideItemRef& slide : slides) {
        slide->setZoomStart(1.5);
        slide->customSetDurations(3.0f, 1.0f);
    }
    handed->setSlideshowArray(slides);
    DvdMenuPage page(*controller, dialogs, *scheduler, controller->outlets(), handedSource());

    page.testMenu();
    ASSERT_EQ(page.menuSlides().size(), 3u);
    EXPECT_TRUE(controller->m_bPlaying());
    const float photo[] = {0.2f, 20.0f, 0.2f};
    for (std::size_t i = 0; i < 3; ++i) {
        const SlideItemRef& menuSlide = page.menuSlides()[i];
        EXPECT_NE(menuSlide, slides[i]) << "a copy";
        EXPECT_FLOAT_EQ(menuSlide->fSecPhotoDuration(), photo[i]) << i;
        EXPECT_DOUBLE_EQ(menuSlide->zoomStart(), 1.0) << i;
        EXPECT_DOUBLE_EQ(slides[i]->zoomStart(), 1.5) << "the project's slide is left as it was";
        EXPECT_FLOAT_EQ(slides[i]->fSecPhotoDuration(), 3.0f);
    }
    EXPECT_EQ(controller->director()->directorStatus(), 0) << "the player waits half a second";
    scheduler->advance(0.5);
    EXPECT_EQ(controller->director()->directorStatus(), 1);

    page.testMenu(); // a second time stops the show
    EXPECT_FALSE(controller->m_bPlaying());
    EXPECT_FALSE(controller->isStartPending());
}
