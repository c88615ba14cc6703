// The document window on the real engine (a headless GL context) showing a still: the slide that is current
// after each edit, import, arrangement or opened project, the panels that preview their edits on it, and the
// DVD menu's picture.
#include "MainWindowPreviewTest.h"

#include "support/DropDelivery.h"
#include "support/SilentClipPlayer.h"
#include "support/WidgetClick.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StandardPaths.h"
#include "ui/UiNotifications.h"
#include "ui/controls/DoubleSlider.h"
#include "ui/editing/ColorAdjustWindowController.h"
#include "ui/editing/DVDMenuViewController.h"
#include "ui/editing/ImageBrowserView.h"
#include "ui/editing/PanZoomObject.h"
#include "ui/editing/TimelineScrollView.h"
#include "ui/editing/blankImageWndController.h"
#include "ui/main/MainWindowOutlets.h"
#include "ui/main/SlideshowMenus.h"

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QFile>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <functional>

namespace {

// A slide as the still preview shows it under a framing theme: its frame's and its caption's pixels.
struct Dress {
    int frame = 0;
    int caption = 0;
    bool operator==(const Dress&) const = default;
};

QColor meanColour(const QImage& picture, const QRect& area) {
    double r = 0, g = 0, b = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            r += c.red();
            g += c.green();
            b += c.blue();
        }
    const double n = double(area.width()) * area.height();
    return QColor(int(r / n), int(g / n), int(b / n));
}

// The mean colour of the middle fifth of a picture, so that a patterned picture compares as a whole.
QColor middleColour(const QImage& picture) {
    return meanColour(picture, QRect(picture.width() * 2 / 5, picture.height() * 2 / 5, picture.width() / 5,
                                     picture.height() / 5));
}

} // namespace

TEST_F(MainWindowPreviewTest, AnAppendedPhotoIsShownAsTheCurrentSlide) {
    useColourSlides({QColor(220, 40, 40)});
    controller->setNCurrentSlideshowItemIndex(0);
    dialogs.mediaOpenAnswers.push_back({writePhoto("appended.jpg", {64, 48}, QColor(50, 70, 230))});
    controller->buttonAppendPhotoClicked();
    ASSERT_TRUE(waitForImports());
    // The request's last steps run on the main thread, later on a loaded machine.
    double advanced = 0.0;
    test_support::spinUntil([&] {
        if (advanced < 2.0) {
            scheduler->advance(0.1);
            advanced += 0.1;
        }
        return near(centreOf(shownFrame()), QColor(50, 70, 230));
    });
    ASSERT_EQ(controller->nCurrentSlideshowItemIndex(), 1);
    EXPECT_TRUE(near(centreOf(shownFrame()), QColor(50, 70, 230)))
        << centreOf(shownFrame()).name().toStdString();
}

// A photo that cannot be read leaves the project again; the last slide is then marked and shown, as after a
// Delete, rather than no slide marked while the preview shows one.
TEST_F(MainWindowPreviewTest, AnAppendedPhotoThatCannotBeReadLeavesTheLastSlideMarkedAndShown) {
    const QColor red(220, 40, 40), green(40, 200, 60);
    useColourSlides({red, green});
    dialogs.mediaOpenAnswers.push_back({writeBrokenPhoto("broken.jpg")});
    QTest::mouseClick(controller->outlets().appendPhotoButton, Qt::LeftButton);
    ASSERT_TRUE(waitForImports());
    ASSERT_TRUE(test_support::spinUntil([&] { return project->slideCount() == 2; }));
    EXPECT_EQ(markedCells(), std::vector<std::size_t>{1});
    EXPECT_TRUE(comesToShow(green)) << centreOf(shownFrame()).name().toStdString();
}

// The preview has no editing of its own: a double-click (with the text or pan-and-zoom panel closed)
// leaves the window as it was, with no text box over the picture and nothing changed in the project.
TEST_F(MainWindowPreviewTest, ADoubleClickOnThePreviewChangesNothing) {
    useColourSlides({QColor(220, 40, 40), QColor(40, 200, 60)});
    controller->setNCurrentSlideshowItemIndex(1);
    project->setBIsDirty(false);
    PreviewWidget* preview = controller->previewWidget();
    test_support::spinFor(20);
    const QList<QWidget*> childrenBefore = preview->findChildren<QWidget*>();
    const QImage before = preview->grab().toImage();
    for (const QPoint at : {QPoint(40, 30), preview->rect().center()})
        QTest::mouseDClick(preview, Qt::LeftButton, Qt::NoModifier, at);
    test_support::spinFor(20);
    EXPECT_EQ(preview->findChildren<QWidget*>(), childrenBefore) << "nothing laid over the picture";
    EXPECT_EQ(preview->grab().toImage(), before);
    EXPECT_FALSE(project->bIsDirty());
    EXPECT_EQ(controller->nCurrentSlideshowItemIndex(), 1);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

// A stock picture and a wood picture both land at the current place, which the strip marks: the preview
// shows the slide now standing there, not the one that stood there before.
TEST_F(MainWindowPreviewTest, APictureInsertedAtTheCurrentPlaceIsTheSlideShown) {
    const QColor green(40, 200, 60);
    SlideshowMenus menus(*window, *controller);
    const std::function<void()> inserts[] = {
        [&] {
            menus.action("addBlankImageMenuItem")->trigger();
            blankImageWndController* stock = controller->blankWnd();
            ASSERT_TRUE(stock);
            stock->imageBrowser()->setCurrentIndex(stock->imageBrowser()->model()->index(2, 0));
            stock->m_buttonOK()->click();
        },
        [&] {
            controller->setNSlideInsertIndex(1); // where the last add went in
            menus.action("addWoodPictureMenuItem")->trigger();
        }};
    for (const auto& insert : inserts) {
        useColourSlides({QColor(220, 40, 40), green, QColor(50, 70, 230)});
        controller->setNCurrentSlideshowItemIndex(1);
        controller->showCurrentItemPhoto(project->slideItemAtIndex(1));
        ASSERT_TRUE(test_support::spinUntil([&] { return near(centreOf(shownFrame()), green); }));
        insert();
        ASSERT_TRUE(waitForImports());
        ASSERT_EQ(project->slideCount(), 4u);
        const SlideItemRef inserted = project->slideItemAtIndex(1);
        const QColor wanted = middleColour(QImage(inserted->strOriginalFileName()));
        test_support::spinUntil([&] {
            scheduler->advance(0.1); // the preview's wait for the slide's picture
            return near(middleColour(shownFrame()), wanted);
        });
        EXPECT_TRUE(near(middleColour(shownFrame()), wanted))
            << middleColour(shownFrame()).name().toStdString() << " for " << wanted.name().toStdString();
        EXPECT_EQ(markedCells(), std::vector<std::size_t>{1});
    }
}

// The arrange window's moves and removals keep the current place: the preview shows the slide now there, as
// the strip marks it.
TEST_F(MainWindowPreviewTest, AfterSlidesAreArrangedThePreviewShowsTheSlideAtTheCurrentPlace) {
    const QColor red(220, 40, 40), green(40, 200, 60), blue(50, 70, 230);
    useColourSlides({red, green, blue});
    controller->setNCurrentSlideshowItemIndex(0);
    controller->showCurrentItemPhoto(project->slideItemAtIndex(0));
    ASSERT_TRUE(comesToShow(red));
    controller->moveItemsAtIndexes({0}, 3);
    EXPECT_TRUE(comesToShow(green)) << centreOf(shownFrame()).name().toStdString();
    EXPECT_EQ(markedCells(), std::vector<std::size_t>{0});
    controller->removeItemsAtIndexes({0});
    EXPECT_TRUE(comesToShow(blue)) << centreOf(shownFrame()).name().toStdString();
    EXPECT_EQ(markedCells(), std::vector<std::size_t>{0});
}

// A composition slide has no picture of its own: made current by a click on its cell or by the Next button,
// the preview shows its thumbnail, as it shows a slide's whose picture is not ready.
TEST_F(MainWindowPreviewTest, ACompositionSlideMadeCurrentShowsItsThumbnail) {
    const QColor green(40, 200, 60), orange(230, 128, 25);
    useColourSlides({QColor(220, 40, 40), green});
    dialogs.mediaOpenAnswers.push_back({platform::paths::pathForResource("coolSlideshow", "vcomp")});
    controller->outlets().addCompositionTestMenuItem->trigger();
    ASSERT_EQ(project->slideCount(), 3u);
    const SlideItemRef composition = project->slideItemAtIndex(2);
    QImage thumbnail(120, 90, QImage::Format_RGB32);
    thumbnail.fill(orange);
    ASSERT_TRUE(thumbnail.save(composition->strThumbFileName(), "PNG"));
    project->updateTimelineItemsPosition();
    controller->layoutScrollImages();
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"a click on its cell", [&] { clickCell(*composition); }},
        {"the Next button",
         [&] { QTest::mouseClick(controller->outlets().nextImageButton, Qt::LeftButton); }}};
    for (const auto& [way, makeCurrent] : ways) {
        SCOPED_TRACE(way);
        clickCell(*project->slideItemAtIndex(1));
        ASSERT_TRUE(comesToShow(green));
        makeCurrent();
        EXPECT_EQ(controller->nCurrentSlideshowItemIndex(), 2);
        EXPECT_TRUE(comesToShow(orange)) << centreOf(shownFrame()).name().toStdString();
    }
}

// A slide dragged along the strip and dropped: the place marked keeps its index, and the preview shows the
// slide now there, as the arrange window's move does.
TEST_F(MainWindowPreviewTest, AfterADropOnTheStripThePreviewShowsTheMarkedSlide) {
    const QColor red(220, 40, 40), green(40, 200, 60), blue(50, 70, 230);
    const std::vector<SlideItemRef> slides = useColourSlides({red, green, blue});
    controller->setNCurrentSlideshowItemIndex(0);
    controller->showCurrentItemPhoto(slides[0]);
    ASSERT_TRUE(comesToShow(red));
    TimelineScrollView* strip = controller->outlets().scrollView1;
    const auto inWindow = [&](QPointF timelinePoint) { return timelinePointInWindow(timelinePoint); };
    strip->setDragRunner([&](QDrag& drag) {
        // Over the second of the two slides left: the red one goes in before it.
        test_support::dragThrough(*window, *drag.mimeData(), {inWindow({250, 120}), inWindow({255, 120})},
                                  Qt::CopyAction);
        return Qt::CopyAction;
    });
    QWidget* viewport = strip->viewport();
    for (const auto& [type, x] : {std::pair{QEvent::MouseButtonPress, 60}, {QEvent::MouseMove, 64}}) {
        const QPointF at = viewport->mapFrom(window.get(), inWindow({double(x), 120}));
        QMouseEvent event(type, at, viewport->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &event);
    }
    ASSERT_EQ(project->slideshowArray(), (std::vector<SlideItemRef>{slides[1], slides[0], slides[2]}));
    EXPECT_TRUE(comesToShow(green)) << centreOf(shownFrame()).name().toStdString();
    EXPECT_EQ(markedCells(), std::vector<std::size_t>{0});
}

// A command that stops the clip's player (Add Music, its file window cancelled) leaves the clip the strip
// marks in the preview, as a still, rather than the slide the preview showed before the clip.
TEST_F(MainWindowPreviewTest, ACommandStoppingTheClipsPlayerLeavesTheMarkedClipInThePreview) {
    const QColor red(220, 40, 40), green(40, 200, 60), magenta(210, 40, 210);
    std::vector<SlideItemRef> slides = useColourSlides({red, green});
    controller->setClipPlayerFactory([] { return std::make_unique<SilentClipPlayer>(); });
    ClipMaker::Options options = shortClip();
    options.picture = [&](QSize size, int) {
        QImage frame(size, QImage::Format_RGB32);
        frame.fill(magenta);
        return frame;
    };
    const auto clip = makeClipSlide("clip.mp4", options);
    slides.push_back(clip);
    project->setSlideshowArray(slides);
    project->updateTimelineItemsPosition();
    controller->layoutScrollImages();
    clickCell(*slides[0]);
    ASSERT_TRUE(comesToShow(red));
    clickCell(*clip);
    ASSERT_TRUE(controller->videoPlaybackCtrl()) << "the clip plays in its own player";
    QTest::mouseClick(controller->outlets().addMusicButton, Qt::LeftButton);
    EXPECT_FALSE(controller->videoPlaybackCtrl());
    EXPECT_TRUE(controller->previewWidget()->isVisibleTo(window.get()));
    EXPECT_TRUE(comesToShow(magenta)) << centreOf(shownFrame()).name().toStdString();
    EXPECT_EQ(markedCells(), std::vector<std::size_t>{2});
}

// The colour window previews its sliders on the current slide; closed by its close box without OK, it applies
// nothing, and the preview shows the slide as it is again.
TEST_F(MainWindowPreviewTest, TheColourWindowClosedWithoutOKLeavesTheSlideShownAsItIs) {
    const QColor red(220, 40, 40);
    showSlideOf(red);
    SlideshowMenus menus(*window, *controller);
    menus.action("adjustColourMenuItem")->trigger();
    ColorAdjustWindowController& colours = *controller->colorAdjustObj()->colorWndController();
    ASSERT_TRUE(colours.isVisible());
    colours.slider1()->setDoubleValue(0.0);
    test_support::spinUntil([&] { return !near(centreOf(shownFrame()), red); });
    const QColor grey = centreOf(shownFrame());
    ASSERT_LT(std::abs(grey.red() - grey.green()), 20)
        << "the preview without colour: " << grey.name().toStdString();
    colours.close();
    EXPECT_TRUE(comesToShow(red)) << centreOf(shownFrame()).name().toStdString();
}

// Closed without OK, by its close box or by Escape, the colour window forgets what its sliders showed: it
// opens again with them at the slide's own values, a nudge of one previews that nudge alone, and OK writes
// only it into the picture.
TEST_F(MainWindowPreviewTest, TheColourWindowClosedWithoutOKOpensAgainAtTheSlidesOwnValues) {
    const QColor red(220, 40, 40);
    const SlideItemRef slide = showSlideOf(red);
    SlideshowMenus menus(*window, *controller);
    ColorAdjustWindowController& colours = *controller->colorAdjustObj()->colorWndController();
    const auto nextFrame = [&](qint64 before) {
        test_support::spinUntil([&] { return shownFrame().cacheKey() != before; });
        return centreOf(shownFrame());
    };
    const std::pair<const char*, std::function<void()>> closings[] = {
        {"the close box", [&] { colours.close(); }},
        {"Escape", [&] { QTest::keyClick(&colours, Qt::Key_Escape); }}};
    for (const auto& [closing, close] : closings) {
        SCOPED_TRACE(closing);
        menus.action("adjustColourMenuItem")->trigger();
        ASSERT_TRUE(colours.isVisible());
        colours.slider1()->setDoubleValue(0.0);
        colours.slider2()->setDoubleValue(1.0);
        ASSERT_TRUE(test_support::spinUntil([&] { return !near(centreOf(shownFrame()), red); }));
        close();
        ASSERT_TRUE(comesToShow(red)) << centreOf(shownFrame()).name().toStdString();

        menus.action("adjustColourMenuItem")->trigger();
        EXPECT_NEAR(colours.slider1()->doubleValue(), 1.0, 0.01) << "saturation";
        EXPECT_NEAR(colours.slider2()->doubleValue(), 0.0, 0.01) << "brightness";
        EXPECT_NEAR(colours.slider3()->doubleValue(), 1.0, 0.01) << "contrast";
        const qint64 before = shownFrame().cacheKey();
        colours.slider3()->setValue(colours.slider3()->value() + 5);
        const QColor nudged = nextFrame(before);
        EXPECT_TRUE(near(nudged, red)) << "a contrast nudge alone: " << nudged.name().toStdString();
        colours.close();
    }
    menus.action("adjustColourMenuItem")->trigger();
    colours.slider3()->setValue(colours.slider3()->value() + 5);
    QTest::mouseClick(colours.findChild<QPushButton*>("okButton"), Qt::LeftButton);
    const QImage stored(slide->fileName());
    ASSERT_FALSE(stored.isNull());
    EXPECT_TRUE(near(centreOf(stored), red)) << "the picture: " << centreOf(stored).name().toStdString();
}

// The colour window and the pan-and-zoom panel show their edits on the bare picture; closed without applying,
// by the close box or by Escape, they leave the slide as the still preview shows it, frame and caption, and
// as it was stored.
TEST_F(MainWindowPreviewTest, APanelClosedWithoutApplyingShowsTheSlideFramedAndCaptionedAsItIs) {
    const QColor blue(50, 70, 230), green(0, 255, 0);
    const auto dressOf = [&](const QImage& shown) {
        Dress dress;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                const QColor c = shown.pixelColor(x, y);
                dress.frame += c.red() > 235 && c.green() > 235 && c.blue() > 235;
                dress.caption += near(c, green, 30);
            }
        return dress;
    };
    const auto dressShown = [&] { return dressOf(shownFrame()); };
    const auto text = [](const Dress& d) {
        return std::to_string(d.frame) + " / " + std::to_string(d.caption);
    };
    project->themeManger()->setCurrentThemeID(9); // a white frame around the photo
    const SlideItemRef slide = useColourSlides({blue})[0];
    slide->setTextInfo({{"Text", "MMM"}, {"FontSize", 90}, {"FontColor", green}});
    controller->setNCurrentSlideshowItemIndex(0);
    controller->showCurrentItemPhoto(slide);
    test_support::spinUntil([&] {
        scheduler->advance(0.1); // the preview's wait for the slide's picture
        return dressShown().caption > 300;
    });
    const Dress still = dressShown();
    ASSERT_GT(still.frame, 1000) << text(still);
    ASSERT_GT(still.caption, 300) << text(still);
    QFile file(slide->fileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray picture = file.readAll();
    file.close();
    const auto panZoom = [](const SlideItem& s) {
        return std::tuple(s.panStartPoint(), s.panEndPoint(), s.zoomStart(), s.zoomEnd(),
                          s.rotateAngle(SlideItem::kRotateZStart), s.rotateAngle(SlideItem::kRotateZEnd),
                          s.bPanZoomCustomized());
    };
    const auto storedPanZoom = panZoom(*slide);
    project->setBIsDirty(false);

    SlideshowMenus menus(*window, *controller);
    struct Panel {
        const char* menuItem;
        std::function<QWidget*()> window;
        std::function<void()> edit; // another value each time
    };
    const Panel panels[] = {
        {"adjustColourMenuItem", [&] { return controller->colorAdjustObj()->colorWndController(); },
         [&] {
             DoubleSlider& saturation = *controller->colorAdjustObj()->colorWndController()->slider1();
             saturation.setDoubleValue(saturation.doubleValue() < 0.5 ? 2.0 : 0.0);
         }},
        {"panZoomMenuItem", [&] { return controller->panZoomObj()->panzoomPanel(); },
         [&] {
             QSlider& scale = *controller->panZoomObj()->scaleSlider();
             scale.setValue(scale.value() == 150 ? 120 : 150);
         }}};
    const std::pair<const char*, std::function<void(QWidget&)>> closings[] = {
        {"the close box", [](QWidget& panel) { panel.close(); }},
        {"Escape", [](QWidget& panel) { QTest::keyClick(&panel, Qt::Key_Escape); }}};
    for (const Panel& p : panels)
        for (const auto& [closing, close] : closings) {
            SCOPED_TRACE(testing::Message() << p.menuItem << ", " << closing);
            menus.action(p.menuItem)->trigger();
            QWidget* panel = p.window();
            ASSERT_TRUE(panel && panel->isVisible());
            p.edit();
            ASSERT_TRUE(test_support::spinUntil([&] { return dressShown() != still; }))
                << "the panel shows its edit: " << text(dressShown());
            close(*panel);
            EXPECT_FALSE(panel->isVisible());
            EXPECT_TRUE(test_support::spinUntil([&] { return dressShown() == still; }))
                << text(dressShown()) << " shown, " << text(still) << " still";
            const QPoint middle(controller->previewWidget()->width() / 2,
                                controller->previewWidget()->height() / 2);
            test_support::leftDrag(*controller->previewWidget(), middle, QPoint(120, 50));
            test_support::spinFor(50);
            EXPECT_EQ(dressShown(), still) << "a drag afterwards pans nothing: " << text(dressShown());
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(file.readAll(), picture) << "the colours stored stay";
            file.close();
            EXPECT_EQ(panZoom(*slide), storedPanZoom);
            EXPECT_FALSE(project->bIsDirty());
        }
}

// An opened project with slides shows and marks its first one; without slides, the welcome picture.
TEST_F(MainWindowPreviewTest, AnOpenedProjectShowsItsFirstSlideAndAnEmptyOneTheWelcomePicture) {
    const QColor welcome = centreOf(shownFrame());
    useColourSlides({QColor(220, 40, 40), QColor(40, 200, 60), QColor(50, 70, 230)});
    controller->refreshUIForOpenProject();
    test_support::spinUntil([&] { return near(centreOf(shownFrame()), QColor(220, 40, 40)); });
    EXPECT_TRUE(near(centreOf(shownFrame()), QColor(220, 40, 40)))
        << centreOf(shownFrame()).name().toStdString();
    EXPECT_EQ(markedCells(), std::vector<std::size_t>{0});
    project->setSlideshowArray({});
    controller->refreshUIForOpenProject();
    test_support::spinUntil([&] { return near(centreOf(shownFrame()), welcome, 10); });
    EXPECT_TRUE(near(centreOf(shownFrame()), welcome, 10));
}

// Share > DVD Menu... shows the chosen menu in the preview each time it opens, after a slide was shown.
TEST_F(MainWindowPreviewTest, EachOpeningOfTheDVDMenuPageShowsTheChosenMenuAgain) {
    const QColor red(220, 40, 40);
    useColourSlides({red, QColor(40, 200, 60), QColor(50, 70, 230)});
    const auto meanOfShown = [&] { return meanColour(shownFrame(), shownFrame().rect()); };
    const auto showFirstSlide = [&] {
        platform::NotificationCenter::defaultCenter().post(kNotifyTimelineCellClicked, 0);
        return test_support::spinUntil([&] { return near(meanOfShown(), red); });
    };
    ASSERT_TRUE(showFirstSlide());
    QAction* dvdMenu = controller->outlets().dvdMenuMenuItem;
    ASSERT_TRUE(dvdMenu);
    dvdMenu->trigger();
    ASSERT_TRUE(controller->dvdMenuViewController());
    controller->dvdMenuViewController()->selectTemplate(2);
    ASSERT_TRUE(test_support::spinUntil([&] { return !near(meanOfShown(), red); }))
        << "the menu, not a slide";
    const QColor menu = meanOfShown();
    for (int opening = 0; opening < 2; ++opening) {
        SCOPED_TRACE(opening);
        ASSERT_TRUE(showFirstSlide());
        if (opening == 1)
            controller->dvdMenuViewController()->window()->close();
        dvdMenu->trigger();
        test_support::spinUntil([&] { return near(meanOfShown(), menu, 8); });
        EXPECT_TRUE(near(meanOfShown(), menu, 8))
            << meanOfShown().name().toStdString() << " for " << menu.name().toStdString();
    }
}

// The menu's picture goes with the DVD Menu window: once it closes, the preview shows again the slide that
// is current, or the welcome picture when none is.
TEST_F(MainWindowPreviewTest, ClosingTheDVDMenuPageShowsAgainTheCurrentSlideOrTheWelcomePicture) {
    const auto meanOfShown = [&] { return meanColour(shownFrame(), shownFrame().rect()); };
    const QColor welcome = meanOfShown();
    const QColor red(220, 40, 40);
    useColourSlides({red, QColor(40, 200, 60), QColor(50, 70, 230)});
    const struct {
        const char* name;
        int current;
        QColor afterClose;
    } cases[] = {{"the first slide current", 0, red}, {"no slide current", -1, welcome}};
    QAction* dvdMenu = controller->outlets().dvdMenuMenuItem;
    ASSERT_TRUE(dvdMenu);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::NotificationCenter::defaultCenter().post(kNotifyTimelineCellClicked, 0);
        ASSERT_TRUE(test_support::spinUntil([&] { return near(meanOfShown(), red); }));
        controller->setNCurrentSlideshowItemIndex(c.current);
        dvdMenu->trigger();
        ASSERT_TRUE(controller->dvdMenuViewController());
        controller->dvdMenuViewController()->selectTemplate(2);
        ASSERT_TRUE(test_support::spinUntil([&] { return !near(meanOfShown(), red, 8); })) << "the menu";
        ASSERT_FALSE(near(meanOfShown(), c.afterClose, 8)) << "the menu differs from what comes back";
        controller->dvdMenuViewController()->window()->close();
        test_support::spinUntil([&] { return near(meanOfShown(), c.afterClose, 8); });
        EXPECT_TRUE(near(meanOfShown(), c.afterClose, 8))
            << meanOfShown().name().toStdString() << " for " << c.afterClose.name().toStdString();
    }
}
