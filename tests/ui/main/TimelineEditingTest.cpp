// The timeline editing commands of the main window controller: the current slide, the cells' call-outs and
// what the editing panels report, with pictures of the pop-overs in the window for people to look at.
#include "support/ColourNear.h"
#include "support/MainWindowFixture.h"
#include "support/PostedNotifications.h"
#include "support/Screenshot.h"

#include "model/SlideshowProject.h"
#include "render/NSGLView.h"
#include "render/RenderNotifications.h"
#include "render/transitions/TransitionManager.h"
#include "ui/UiNotifications.h"
#include "ui/controls/AWAttachedWindow.h"
#include "ui/editing/PhotoDurationViewController.h"
#include "ui/editing/SlideThemeViewController.h"
#include "ui/editing/TimelineContentView.h"
#include "ui/editing/TimelineLayout.h"
#include "ui/editing/TransitionSelectViewController.h"
#include "ui/main/PreviewWidget.h"

#include <QFile>
#include <QKeyEvent>

#include <functional>

namespace {

// Counts the paint events a widget receives while it lives.
class PaintCounter : public QObject {
public:
    PaintCounter(QWidget& widget, int& count) : count(count) { widget.installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }

private:
    int& count;
};

} // namespace

using platform::NotificationCenter;

namespace {

void post(const QString& name, const QVariant& object = QVariant(), const QVariantMap& userInfo = {}) {
    NotificationCenter::defaultCenter().post(name, object, userInfo);
}

bool near(QColor a, QColor b, int tolerance = 40) {
    return test_support::coloursNear(a, b, tolerance);
}

} // namespace

class TimelineEditingTest : public MainWindowTest {
protected:
    void makeShownWindow() {
        makeController(true);
        window->resize(1024, 700);
        window->show();
        test_support::spinFor(50);
        slides = useColourSlides({QColor(220, 40, 40), QColor(40, 200, 60), QColor(50, 70, 230)});
    }
    std::vector<SlideItemRef> slides;
};

TEST_F(TimelineEditingTest, PanZoomReportsEditTheCopyAndEndCommitsItAsTheSlidesEnd) {
    makeController();
    slides = useColourSlides({Qt::red, Qt::green});
    controller->setNCurrentSlideshowItemIndex(1);
    const SlideItemRef copy = controller->panZoomTempItem();
    ASSERT_TRUE(copy);
    ASSERT_NE(copy, slides[1]);
    copy->setPanStartPoint(QPointF(0.2, 0.3));
    post(kNotifyPanZoomChanged, QVariantMap{{"NAME", "SCALE"}, {"VALUE", 100}});
    post(kNotifyPanZoomChanged, QVariantMap{{"NAME", "ROTATE"}, {"VALUE", 30}});
    post(kNotifyPanZoomChanged,
         QVariantMap{{"NAME", "PAN"}, {"VALUE", 0.0}, {"deltaX", 192}, {"deltaY", 108}});
    EXPECT_DOUBLE_EQ(copy->zoomStart(), 2.0);
    EXPECT_DOUBLE_EQ(copy->rotateAngle(SlideItem::kRotateZStart), 30.0);
    // A pan of 1 is half the stage: a tenth of its width is 0.2.
    EXPECT_NEAR(copy->panStartPoint().x(), 0.4, 1e-9);
    EXPECT_NEAR(copy->panStartPoint().y(), 0.1, 1e-9);

    project->setNCurrentStatus(3);
    NSGLView preview(controller.get());
    preview.mouseDragged(96, 54, QSizeF(960, 540)); // 192 x 108 of 1920 x 1080
    EXPECT_NEAR(copy->panStartPoint().x(), 0.6, 1e-6) << "a drag on the preview pans the copy";
    EXPECT_NEAR(copy->panStartPoint().y(), -0.1, 1e-6);

    const QPointF slideStart = slides[1]->panStartPoint();
    const double slideZoom = slides[1]->zoomStart();
    project->setBIsDirty(false);
    post(kNotifyPanZoomChanged, QVariantMap{{"NAME", "END"}});
    EXPECT_EQ(slides[1]->panEndPoint(), copy->panStartPoint());
    EXPECT_DOUBLE_EQ(slides[1]->zoomEnd(), 2.0);
    EXPECT_DOUBLE_EQ(slides[1]->rotateAngle(SlideItem::kRotateZEnd), 30.0);
    EXPECT_EQ(slides[1]->panStartPoint(), slideStart) << "the start stays";
    EXPECT_DOUBLE_EQ(slides[1]->zoomStart(), slideZoom);
    EXPECT_TRUE(slides[1]->bPanZoomCustomized());
    EXPECT_TRUE(project->bIsDirty()) << "the autosave keeps it";
}

TEST_F(TimelineEditingTest, AChosenTransitionGoesToTheCurrentSlideOrEverySlide) {
    makeController();
    slides = useColourSlides({Qt::red, Qt::green, Qt::blue});
    const QVariantMap door = TransitionManager::transitionInfo("3D", 0);
    const QVariantMap before = slides[0]->transitionInfo();
    struct Case {
        int current;
        bool all;
        std::vector<bool> changed;
    };
    for (const Case& c : {Case{7, false, {false, false, false}}, Case{-1, true, {false, false, false}},
                          Case{1, false, {false, true, false}}, Case{1, true, {true, true, true}}}) {
        for (const auto& slide : slides)
            slide->setTransitionInfo(before);
        project->setBApplyTransitionToAll(c.all);
        project->setBIsDirty(false);
        controller->setNCurrentSlideshowItemIndex(c.current);
        post(kNotifyTransitionItemSelected, door);
        for (std::size_t i = 0; i < slides.size(); ++i)
            EXPECT_EQ(slides[i]->transitionInfo() == door, c.changed[i])
                << c.current << " " << c.all << " " << i;
        EXPECT_EQ(project->bIsDirty(), c.current == 1);
    }
}

TEST_F(TimelineEditingTest, CellCallOutsToggleAndAnotherCellsIconOnlyCloses) {
    makeShownWindow();
    post(kNotifyTimelineCellTransitionClicked, 0);
    ASSERT_TRUE(controller->attachedWindowSetTransition());
    EXPECT_TRUE(qobject_cast<TransitionSelectViewController*>(controller->vcByAttachedWindow()));
    EXPECT_EQ(project->nCurrentSlideItem(), 0u);
    post(kNotifyTimelineCellTransitionClicked, 0);
    EXPECT_FALSE(controller->attachedWindowSetTransition()) << "a second click closes it";
    EXPECT_FALSE(controller->vcByAttachedWindow());

    post(kNotifyTimelineCellTransitionClicked, 0);
    post(kNotifyTimelineCellTransitionClicked, 1);
    EXPECT_FALSE(controller->attachedWindowSetTransition()) << "another cell's icon only closes it";
    EXPECT_EQ(controller->nCurrentSlideshowItemIndex(), 1);

    post(kNotifyTimelineCellTransitionClicked, 1);
    post(kNotifyTimelineCellDurationClicked, 2);
    EXPECT_FALSE(controller->attachedWindowSetTransition()) << "one pop-over at a time";
    ASSERT_TRUE(controller->attachedWindowSetDuration());
    EXPECT_TRUE(qobject_cast<PhotoDurationViewController*>(controller->vcByAttachedWindow()));
    post(kNotifyTimelineCellDurationClicked, 2);
    EXPECT_FALSE(controller->attachedWindowSetDuration());

    post(kNotifyTimelineCellTransitionClicked, 9);
    EXPECT_FALSE(controller->attachedWindowSetTransition()) << "no slide there";
}

TEST_F(TimelineEditingTest, TheDurationPopOverAppliesOnceWhicheverWayItCloses) {
    makeShownWindow();
    test_support::PostedNotifications updates(kNotifyUpdateSlideItemDuration);
    const std::vector<std::pair<const char*, std::function<void()>>> roads = {
        {"its OK button",
         [&] {
             qobject_cast<PhotoDurationViewController*>(controller->vcByAttachedWindow())
                 ->okButton()
                 ->click();
         }},
        {"the focus moving away", [&] { emit controller->attachedWindowSetDuration()->didResignKey(); }},
        {"another pop-over opening", [&] { post(kNotifyTimelineCellTransitionClicked, 1); }},
    };
    int frames = 40;
    for (const auto& [road, close] : roads) {
        updates.list.clear();
        post(kNotifyTimelineCellDurationClicked, 0);
        auto* popOver = qobject_cast<PhotoDurationViewController*>(controller->vcByAttachedWindow());
        ASSERT_TRUE(popOver) << road;
        popOver->sliderPhotoDuration()->setValue(++frames);
        close();
        EXPECT_FALSE(controller->attachedWindowSetDuration()) << road;
        EXPECT_FLOAT_EQ(slides[0]->fSecPhotoDuration(), float(frames) / 30.0f) << road;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the pop-over goes
        EXPECT_EQ(updates.list.size(), 1u) << road;
        controller->closeTransitionCallOut();
        scheduler->advance(1.0); // past the second-click window of a focus loss
    }
}

TEST_F(TimelineEditingTest, RotateTextAndColourReportsReachTheCurrentSlide) {
    makeController(true);
    slides = useColourSlides({QColor(200, 200, 200), Qt::green});
    controller->setNCurrentSlideshowItemIndex(0);
    const QString picture = slides[0]->fileName();
    const auto bytes = [&] {
        QFile file(picture);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };

    post(kNotifyToolboxButtonClicked, "Text");
    EXPECT_EQ(QImage(picture).size(), QSize(640, 360)) << "only Rotate is for the controller";
    post(kNotifyToolboxButtonClicked, "Rotate");
    EXPECT_EQ(QImage(picture).size(), QSize(360, 640));
    EXPECT_EQ(QImage(slides[0]->strThumbFileName()).size(), QSize(70, 80));

    const QByteArray turned = bytes();
    const QVariantMap darker{{"Saturation", 1.0}, {"Brightness", -0.5}, {"Contrast", 1.0}};
    post(kNotifyColorAdjustChanged, darker);
    EXPECT_EQ(bytes(), turned) << "without OK only a preview";
    window->show();
    QWidget* strip = controller->outlets().scrollContentView;
    test_support::spinFor(50);
    int repaints = 0;
    PaintCounter counter(*strip, repaints);
    post(kNotifyColorAdjustChanged, darker, {{"Action", "OK"}});
    EXPECT_LT(QImage(picture).pixelColor(100, 100).red(), 150);
    test_support::spinFor(50);
    EXPECT_GT(repaints, 0) << "the strip draws the adjusted thumbnail";
    const QImage drawn = strip->grab().toImage();
    const QRectF thumbnail =
        TimelineContentView::toWidget(timeline_layout::cellParts(slides[0]->timelineRect()).thumbnail);
    EXPECT_LT(drawn.pixelColor(thumbnail.center().toPoint()).red(), 150);

    const QVariantMap text{{"Text", "Hello"}, {"FontSize", 40}, {"FontColor", QColor(Qt::red)}};
    post(kNotifyFontInfoChanged, text);
    EXPECT_EQ(slides[0]->textInfo(), text);
    EXPECT_EQ(controller->panZoomTempItem()->textInfo(), text);
}

TEST_F(TimelineEditingTest, AClickedCellBecomesCurrentAndShowsInThePreview) {
    if (!makeWindowWithPreview())
        GTEST_SKIP() << "no OpenGL here";
    scheduler->advance(2.5); // the delayed refresh of start-up
    slides = useColourSlides({QColor(220, 40, 40), QColor(50, 70, 230)});
    const auto centre = [&] {
        const QImage frame = controller->previewWidget()->shownFrame();
        return frame.pixelColor(frame.width() / 2, frame.height() / 2);
    };
    post(kNotifyTimelineCellClicked, 1);
    EXPECT_EQ(controller->nCurrentSlideshowItemIndex(), 1);
    EXPECT_EQ(project->nCurrentSlideItem(), 1u);
    EXPECT_TRUE(test_support::spinUntil([&] { return near(centre(), QColor(50, 70, 230)); }))
        << centre().name().toStdString();
    post(kNotifyPanZoomChanged, QVariantMap{{"NAME", "SCALE"}, {"VALUE", 100}});
    EXPECT_TRUE(test_support::spinUntil([&] { return near(centre(), QColor(50, 70, 230)); }))
        << "the slide renderer draws the copy: " << centre().name().toStdString();
}

TEST_F(TimelineEditingTest, PicturesOfThePopOversAboveTheTimeline) {
    makeShownWindow();
    project->setBApplyTransitionToAll(true);
    post(kNotifyTimelineCellTransitionClicked, 1);
    AWAttachedWindow* picker = controller->attachedWindowSetTransition();
    ASSERT_TRUE(picker);
    QWidget* strip = window->outlets().scrollContentView;
    const QPoint arrowTip = picker->mapToGlobal(QPoint(picker->width() / 2, picker->height() - 1));
    const QRect icon =
        TimelineContentView::toWidget(slides[1]->rect(SlideItem::kRectTransitionIcon)).toRect();
    EXPECT_TRUE(icon.adjusted(-2, -2, 2, 2).contains(strip->mapFromGlobal(arrowTip)))
        << "the arrow points at the icon";
    EXPECT_FALSE(screenshot::saveWithChildWindows(*window, "transition-picker").isNull());

    post(kNotifyTimelineCellDurationClicked, 0);
    auto* durations = qobject_cast<PhotoDurationViewController*>(controller->vcByAttachedWindow());
    ASSERT_TRUE(durations);
    durations->sliderPhotoDuration()->setValue(PhotoDurationViewController::framesForSeconds(3.99));
    durations->sliderTransitionDuration()->setValue(60);
    EXPECT_EQ(durations->photoDurationText()->text(), "4.0s");
    EXPECT_EQ(durations->transitionDurationText()->text(), "2.0s");
    screenshot::saveWithChildWindows(*window, "duration-pop-over");
    controller->closeDurationCallOut();

    controller->outlets().themeButton->click();
    ASSERT_TRUE(controller->attachedWindowTheme());
    EXPECT_TRUE(qobject_cast<SlideThemeViewController*>(controller->attachedWindowTheme()->view()));
    screenshot::saveWithChildWindows(*window, "theme-list");
    controller->outlets().themeButton->click();
    EXPECT_FALSE(controller->attachedWindowTheme()) << "a second click closes it";
}

// A window away from the screen's edge: a pop-over centred on the first cell would fit the screen but not
// the window. Escape closes the transition picker and chooses nothing.
TEST_F(TimelineEditingTest, PopOversStayInsideTheWindowAndEscapeClosesThePicker) {
    makeShownWindow();
    window->move(150, 40);
    test_support::spinFor(20);
    const QRect inWindow(window->mapToGlobal(QPoint(0, 0)), window->size());
    post(kNotifyTimelineCellDurationClicked, 0);
    AWAttachedWindow* durations = controller->attachedWindowSetDuration();
    ASSERT_TRUE(durations);
    EXPECT_GE(durations->frameGeometry().left(), inWindow.left());
    EXPECT_LE(durations->frameGeometry().right(), inWindow.right());
    controller->closeDurationCallOut();

    const QVariantMap before = slides[0]->transitionInfo();
    post(kNotifyTimelineCellTransitionClicked, 0);
    AWAttachedWindow* picker = controller->attachedWindowSetTransition();
    ASSERT_TRUE(picker);
    EXPECT_GE(picker->frameGeometry().left(), inWindow.left());
    QWidget* focused = picker->focusWidget() ? picker->focusWidget() : picker->view();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(focused, &escape);
    EXPECT_FALSE(controller->attachedWindowSetTransition());
    EXPECT_FALSE(picker->isVisible());
    EXPECT_EQ(slides[0]->transitionInfo(), before);

    // The sync button lies near the window's left edge: its pop-over has no room to the left.
    controller->outlets().syncPhotoMusicButton->click();
    AWAttachedWindow* sync = controller->attachedWindowPhotoMusicSync();
    ASSERT_TRUE(sync);
    EXPECT_GE(sync->frameGeometry().left(), inWindow.left());
    EXPECT_LE(sync->frameGeometry().right(), inWindow.right());
}

// Escape closes every pop-over of the window, as it closes the cells' own.
TEST_F(TimelineEditingTest, EscapeClosesThePopOversOfTheThemeShareAndMusic) {
    makeShownWindow();
    const auto pressEscape = [](AWAttachedWindow* callOut) {
        QWidget* focused = callOut->focusWidget() ? callOut->focusWidget() : callOut->view();
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(focused, &escape);
    };
    const struct {
        const char* name;
        std::function<void()> open;
        std::function<AWAttachedWindow*()> shown;
    } popOvers[] = {
        {"theme", [&] { controller->outlets().themeButton->click(); },
         [&] { return controller->attachedWindowTheme(); }},
        {"share", [&] { controller->outlets().m_btnShare1->click(); },
         [&] { return controller->attachedWindow(); }},
        {"music options", [&] { controller->backgroundMusicListMenuItemClicked(); },
         [&] { return controller->attachedWindowMusicOptions(); }},
        {"sync to music", [&] { controller->outlets().syncPhotoMusicButton->click(); },
         [&] { return controller->attachedWindowPhotoMusicSync(); }},
    };
    for (const auto& popOver : popOvers) {
        popOver.open();
        AWAttachedWindow* callOut = popOver.shown();
        ASSERT_TRUE(callOut) << popOver.name;
        pressEscape(callOut);
        EXPECT_FALSE(popOver.shown()) << popOver.name;
    }
}
