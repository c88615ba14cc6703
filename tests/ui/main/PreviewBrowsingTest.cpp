#include "support/MainWindowFixture.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/MainThread.h"
#include "render/SlideshowDirector.h"
#include "render/StillPictures.h"
#include "ui/UiNotifications.h"
#include "ui/main/PhotoResizeWorker.h"

using Motion = SlideshowMainObject::PreviewMotion;

TEST(StillPictureGeometry, APictureKeepsItsShapeAndFillsTheViewsWidthOrHeight) {
    const double aspect = 1600.0 / 900.0;
    const StillPlacement wide = still_pictures::fitted(QSizeF(4000, 1000), aspect);
    EXPECT_NEAR(wide.halfWidth, 1.0, 1e-9);
    EXPECT_NEAR(wide.halfHeight, aspect / 4.0, 1e-9) << "letterboxed above and below";
    const StillPlacement tall = still_pictures::fitted(QSizeF(1000, 4000), aspect);
    EXPECT_NEAR(tall.halfHeight, 1.0, 1e-9);
    EXPECT_NEAR(tall.halfWidth, 0.25 / aspect, 1e-9);
    // In pixels of the view both keep their own shape.
    EXPECT_NEAR(wide.halfWidth * 1600 / (wide.halfHeight * 900), 4.0, 1e-9);
    EXPECT_NEAR(tall.halfWidth * 1600 / (tall.halfHeight * 900), 0.25, 1e-9);
    EXPECT_DOUBLE_EQ(still_pictures::fitted(QSizeF(1600, 900), aspect, -0.5).centreX, -0.5);
}

TEST(StillPictureGeometry, TheSlideAnimationBringsTheNewPictureInFromOneSideAndTheOldOneOut) {
    const double aspect = 16.0 / 9.0;
    for (const bool forward : {true, false}) {
        const StillPlacement start = still_pictures::slidingIn(QSizeF(1600, 900), aspect, forward, 0.0);
        EXPECT_GE(std::abs(start.centreX) - start.halfWidth, 1.0) << "out of sight at the start";
        EXPECT_EQ(start.centreX > 0, forward) << "forward comes in from the right";
        EXPECT_NEAR(still_pictures::slidingIn(QSizeF(1600, 900), aspect, forward, 1.0).centreX, 0.0, 1e-12);
        const StillPlacement gone = still_pictures::slidingOut(QSizeF(900, 1600), aspect, forward, 1.0);
        EXPECT_GE(std::abs(gone.centreX) - gone.halfWidth, 1.0) << "out of sight at the end";
        EXPECT_EQ(gone.centreX < 0, forward);
    }
}

TEST(StillPictureGeometry, ABounceGoesOutHalfAViewHalfWidthAndComesBack) {
    const std::vector<double> shifts = SlideshowMainObject::bounceShifts();
    ASSERT_EQ(shifts.size(), 21u);
    EXPECT_DOUBLE_EQ(shifts.front(), 0.05);
    EXPECT_DOUBLE_EQ(*std::max_element(shifts.begin(), shifts.end()), 0.5);
    EXPECT_DOUBLE_EQ(shifts.back(), 0.0);
    EXPECT_TRUE(std::is_sorted(shifts.begin(), shifts.begin() + 10));
    EXPECT_TRUE(std::is_sorted(shifts.rbegin(), shifts.rbegin() + 11));
}

class PreviewBrowsingTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        makeController();
        scheduler->advance(2.5); // past the delayed refresh of start-up
        useColourSlides({Qt::red, Qt::green, Qt::blue});
    }
    void step(const char* button) {
        platform::NotificationCenter::defaultCenter().post(kNotifyFullScreenOperBtnClicked, QVariant(),
                                                           {{"button", button}});
    }
};

TEST_F(PreviewBrowsingTest, StepsSlideToTheirNeighbourAndBounceAtTheEnds) {
    struct Case {
        int from;
        const char* button;
        int to;
        Motion motion;
        int steps;
    };
    const Case cases[] = {
        {0, "next", 1, Motion::SlideForward, 20},   {1, "previous", 0, Motion::SlideBackward, 20},
        {2, "first", 0, Motion::SlideBackward, 20}, {0, "last", 2, Motion::SlideForward, 20},
        {2, "next", 2, Motion::BounceLeft, 21},     {0, "previous", 0, Motion::BounceRight, 21},
        {0, "first", 0, Motion::BounceRight, 21},   {2, "last", 2, Motion::BounceLeft, 21},
        {-1, "next", 0, Motion::SlideForward, 20},
    };
    for (const Case& c : cases) {
        controller->setNCurrentSlideshowItemIndex(c.from);
        step(c.button);
        EXPECT_EQ(controller->nCurrentSlideshowItemIndex(), c.to) << c.from << " " << c.button;
        EXPECT_EQ(controller->previewMotion(), c.motion) << c.from << " " << c.button;
        EXPECT_EQ(controller->previewMotionStepsLeft(), c.steps);
        scheduler->advance((c.steps - 1) / 30.0);
        EXPECT_EQ(controller->previewMotionStepsLeft(), 1) << "one step per engine frame";
        scheduler->advance(1 / 30.0);
        EXPECT_EQ(controller->previewMotion(), Motion::None);
    }
}

TEST_F(PreviewBrowsingTest, SteppingWhileTheShowPlaysDoesNothing) {
    const QString why = useRealPlayer();
    if (!why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    controller->setNCurrentSlideshowItemIndex(0);
    player.director->setDirectorStatus(1);
    controller->handleShowPhotoStepByStep(false);
    EXPECT_EQ(controller->nCurrentSlideshowItemIndex(), 0);
    EXPECT_EQ(controller->previewMotion(), Motion::None);
}

TEST_F(PreviewBrowsingTest, ASlideNotYetPreparedIsWaitedForOnceAndMovesToTheFrontOfTheQueue) {
    PhotoResizeWorker& worker = controller->resizeWorker();
    worker.stop(); // the queue stands still
    std::vector<SlideItemRef> waiting;
    for (const char* name : {"A", "B", "C", "D"}) {
        auto slide = platform::makeMainThreadShared<SlideItem>();
        slide->setFileName(QStringLiteral("%1.png").arg(name));
        worker.enqueueBack({name, slide, 0});
        waiting.push_back(slide);
    }
    project->setSlideshowArray(waiting);
    controller->showCurrentItemPhoto(waiting[2]);
    controller->showCurrentItemPhoto(waiting[2]);
    QStringList order;
    for (const PhotoWorkItem& item : worker.queueSnapshot())
        order << item.path;
    EXPECT_EQ(order, (QStringList{"C", "D", "A", "B"}));
    EXPECT_EQ(scheduler->pendingCount(), 1u) << "one wait, however often the slide is asked for";
    scheduler->advance(1.0);
    EXPECT_EQ(scheduler->pendingCount(), 1u) << "still waiting";
    stillPhoto(project->strMacProjectBundleContentsPath(), "C.png", Qt::yellow);
    scheduler->advance(0.1);
    EXPECT_EQ(scheduler->pendingCount(), 0u) << "ready: shown, and the wait ends";
    controller->showCurrentItemPhoto(waiting[3]);
    project->removeSlideItemAtIndex(3);
    scheduler->advance(0.1);
    EXPECT_EQ(scheduler->pendingCount(), 0u) << "a slide that left the project is not waited for";
    controller->showCurrentItemPhoto(waiting[1]);
    controller->showCurrentItemPhoto(waiting[2]); // ready: shown at once
    EXPECT_EQ(scheduler->pendingCount(), 0u) << "a slide asked for earlier is not shown over it once ready";
}
