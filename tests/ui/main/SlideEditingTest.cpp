// The editing of the current slide and the window's call-outs, each on its own: the editing works from the
// project it is handed, and the call-outs need neither the controller nor its window.
#include "model/ModelTestEnvironment.h"
#include "support/RecordingDialogs.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Scheduler.h"
#include "render/transitions/TransitionManager.h"
#include "ui/main/CallOuts.h"
#include "ui/main/MainWindowOutlets.h"
#include "ui/main/SlideEditing.h"
#include "ui/main/SlideshowMainObject.h"

#include <QLabel>

#include <gtest/gtest.h>

namespace {

class SlideEditingTest : public model_test::ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        // Made, but not the open project: the editing must reach it through what it is handed.
        handed = SlideshowProject::createNewBundleProject(QStringLiteral("Handed"));
        ASSERT_TRUE(handed);
        ASSERT_FALSE(SlideshowProject::currentMainProject());
        for (const char* name : {"a.jpg", "b.jpg"})
            handed->addSlideItem(photoIn(handed, QString::fromLatin1(name)));
        hub = std::make_unique<SlideshowMainObject>(dialogs, scheduler);
        hub->setNCurrentSlideshowItemIndex(1);
        editing = std::make_unique<SlideEditing>(*hub, [this] { return handed; });
    }
    void TearDown() override {
        editing.reset();
        hub.reset();
        handed.reset();
        ModelTest::TearDown();
    }

    SlideshowProjectRef handed;
    RecordingDialogs dialogs;
    std::shared_ptr<platform::ManualScheduler> scheduler = std::make_shared<platform::ManualScheduler>();
    std::unique_ptr<SlideshowMainObject> hub;
    std::unique_ptr<SlideEditing> editing;
};

TEST_F(SlideEditingTest, PanAndZoomEditACopyOfTheHandedProjectsSlideAndCommitIt) {
    const SlideItemRef slide = handed->slideItemAtIndex(1);
    ASSERT_EQ(editing->currentSlideItem(), slide);
    editing->createTempSlideItem();
    const SlideItemRef copy = editing->panZoomTempItem();
    ASSERT_TRUE(copy);
    ASSERT_NE(copy, slide);

    const double slideZoom = slide->zoomStart();
    platform::Notification change;
    change.object = QVariantMap{{"NAME", "SCALE"}, {"VALUE", 150}};
    editing->PanZoomValueChanged(change);
    EXPECT_DOUBLE_EQ(copy->zoomStart(), 3.0);
    EXPECT_DOUBLE_EQ(slide->zoomStart(), slideZoom) << "only the copy is edited";

    handed->setBIsDirty(false);
    change.object = QVariantMap{{"NAME", "END"}};
    editing->PanZoomValueChanged(change);
    EXPECT_DOUBLE_EQ(slide->zoomEnd(), 3.0);
    EXPECT_TRUE(slide->bPanZoomCustomized());
    EXPECT_TRUE(handed->bIsDirty());
}

TEST_F(SlideEditingTest, AChosenTransitionGoesToTheHandedProjectsCurrentSlide) {
    const QVariantMap door = TransitionManager::transitionInfo("3D", 0);
    const QVariantMap first = handed->slideItemAtIndex(0)->transitionInfo();
    ASSERT_NE(first, door);
    handed->setBIsDirty(false);
    platform::Notification chosen;
    chosen.object = door;
    editing->TransitionEffectSelected(chosen);
    EXPECT_EQ(handed->slideItemAtIndex(1)->transitionInfo(), door);
    EXPECT_EQ(handed->slideItemAtIndex(0)->transitionInfo(), first);
    EXPECT_TRUE(handed->bIsDirty());
}

class CallOutsTest : public ::testing::Test {
protected:
    MainWindowOutlets outlets; // no window
    platform::ManualScheduler scheduler;
    QStringList calls;
    CallOuts callOuts{outlets, scheduler,
                      CallOuts::Hooks{[this] { calls << "stop"; },
                                      [this] {
                                          calls << "list";
                                          return new QLabel(QStringLiteral("themes"));
                                      }}};
};

TEST_F(CallOutsTest, AClickSoonAfterAFocusLossIsThatCallOutsSecondClickOnce) {
    callOuts.noteClosedByFocus(CallOutKind::Transition);
    scheduler.advance(0.4);
    EXPECT_TRUE(callOuts.takeClosedByFocus(CallOutKind::Transition));
    EXPECT_FALSE(callOuts.takeClosedByFocus(CallOutKind::Transition)) << "taken once";

    callOuts.noteClosedByFocus(CallOutKind::Duration);
    EXPECT_FALSE(callOuts.takeClosedByFocus(CallOutKind::MusicOptions)) << "another call-out's control";
    EXPECT_FALSE(callOuts.takeClosedByFocus(CallOutKind::Duration)) << "forgotten by the other click";

    callOuts.noteClosedByFocus(CallOutKind::Theme);
    scheduler.advance(0.6);
    EXPECT_FALSE(callOuts.takeClosedByFocus(CallOutKind::Theme)) << "too late for a second click";
}

TEST_F(CallOutsTest, TheThemeButtonStopsThenTogglesTheList) {
    callOuts.themeButtonClicked();
    ASSERT_TRUE(callOuts.themeCallOut());
    EXPECT_EQ(calls, QStringList({"stop", "list"}));
    callOuts.themeButtonClicked();
    EXPECT_FALSE(callOuts.themeCallOut());
    EXPECT_EQ(calls, QStringList({"stop", "list", "stop"})) << "the second click makes no list";
}

TEST_F(CallOutsTest, TheViewShownIsForgottenOnlyByItsOwnCallOut) {
    QLabel shown, other;
    callOuts.setView(&shown);
    callOuts.forgetView(&other);
    EXPECT_EQ(callOuts.view(), &shown);
    callOuts.forgetView(&shown);
    EXPECT_EQ(callOuts.view(), nullptr);
}

} // namespace
