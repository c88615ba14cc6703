// The document window on the real engine (a headless GL context), with pictures of it for people to look at
// in <build>/screenshots.
#include "support/ColourNear.h"
#include "support/DropDelivery.h"
#include "support/MainWindowFixture.h"
#include "support/Screenshot.h"
#include "support/SilentClipPlayer.h"
#include "support/ToneMaker.h"
#include "support/WidgetClick.h"

#include "model/SlideshowThemeManager.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StandardPaths.h"
#include "render/NSGLView.h"
#include "render/SlideshowDirector.h"
#include "render/StageBackground.h"
#include "ui/UiNotifications.h"
#include "ui/controls/DoubleSlider.h"
#include "ui/editing/ColorAdjustWindowController.h"
#include "ui/editing/DVDMenuViewController.h"
#include "ui/editing/ImageBrowserView.h"
#include "ui/editing/PanZoomObject.h"
#include "ui/editing/TimelineContentView.h"
#include "ui/editing/TimelineLayout.h"
#include "ui/editing/TimelineScrollView.h"
#include "ui/editing/blankImageWndController.h"
#include "ui/main/MainWindowOutlets.h"
#include "ui/main/PreviewWidget.h"
#include "ui/main/SlideshowMenus.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QPushButton>
#include <QSlider>

#include <QApplication>
#include <QDrag>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>

#include <functional>

namespace {

bool near(QColor a, QColor b, int tolerance = 40) {
    return test_support::coloursNear(a, b, tolerance);
}

QColor centreOf(const QImage& frame) {
    return frame.pixelColor(frame.width() / 2, frame.height() / 2);
}

// A slide as the still preview shows it under a framing theme: its frame's and its caption's pixels.
struct Dress {
    int frame = 0;
    int caption = 0;
    bool operator==(const Dress&) const = default;
};

} // namespace

class MainWindowPreviewTest : public PreviewWindowTest {
protected:
    QImage shownFrame() const { return controller->previewWidget()->shownFrame(); }
    // Whether the preview comes to show the colour, once it has the slide's picture.
    bool comesToShow(QColor wanted) {
        test_support::spinUntil([&] {
            scheduler->advance(0.1); // the preview's wait for the slide's picture
            return near(centreOf(shownFrame()), wanted);
        });
        return near(centreOf(shownFrame()), wanted);
    }
    // One slide of the colour, shown in the preview.
    SlideItemRef showSlideOf(QColor colour) {
        const SlideItemRef slide = useColourSlides({colour})[0];
        controller->setNCurrentSlideshowItemIndex(0);
        controller->showCurrentItemPhoto(slide);
        EXPECT_TRUE(comesToShow(colour));
        return slide;
    }
    // Plays `frames` engine frames: the display link draws, the play head and the texts follow.
    void playFrames(int frames) {
        for (int i = 0; i < frames; ++i) {
            ASSERT_TRUE(tickPreview()) << "frame " << i;
            scheduler->advance(1.0 / 30.0);
        }
    }
};

TEST_F(MainWindowPreviewTest, TheWindowOpensOnTheWelcomePictureAndPlaysTheShowInItsPreview) {
    const QImage welcome = screenshot::save(*window, "main-window-welcome");
    ASSERT_FALSE(welcome.isNull());
    EXPECT_FALSE(near(centreOf(shownFrame()), Qt::black, 10)) << "the welcome picture";
    EXPECT_EQ(controller->outlets().m_btnPlayStop->text(), "Play");

    useColourSlides({QColor(220, 40, 40), QColor(40, 200, 60), QColor(50, 70, 230)});
    controller->updateProjectInfo(); // the slider's range
    test_support::spinFor(20);
    controller->play();
    scheduler->advance(0.5);
    ASSERT_EQ(controller->director()->directorStatus(), 1);
    playFrames(10);
    EXPECT_TRUE(near(centreOf(shownFrame()), QColor(220, 40, 40)))
        << centreOf(shownFrame()).name().toStdString();
    playFrames(45); // into the second photo
    EXPECT_TRUE(near(centreOf(shownFrame()), QColor(40, 200, 60)))
        << centreOf(shownFrame()).name().toStdString();
    EXPECT_EQ(controller->outlets().timelineTimeText->text(), "00:01");
    EXPECT_EQ(controller->outlets().realTimeText->text(), "00:01");
    EXPECT_EQ(controller->outlets().positionSlider->value(), int(controller->director()->nCurrentFrame()))
        << "the position slider follows the show";
    QWidget* head = controller->timelineIndicatorImageView();
    ASSERT_TRUE(head);
    EXPECT_TRUE(head->isVisibleTo(window.get()));
    EXPECT_GT(head->x(), 170) << "over the second cell";
    EXPECT_EQ(controller->outlets().m_btnPlayStop->text(), "Stop");
    const QImage playing = screenshot::save(*window, "main-window-playing");
    EXPECT_TRUE(near(playing.pixelColor(head->mapTo(window.get(), QPoint(4, 100))), QColor(255, 69, 58), 30))
        << "the play head over the drawn cells";
    controller->play();
    EXPECT_EQ(controller->director()->directorStatus(), 0);
}

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

// A show that reaches its end on its own stops as a Stop would: the button says Play again, and the play's
// loaders end with what they loaded rather than staying until the next Play.
TEST_F(MainWindowPreviewTest, AShowThatEndsOnItsOwnLetsGoOfWhatItLoaded) {
    const auto director = controller->director();
    director->backgroundRender()->setTheme({{"backgroundID", 0}}); // a moving backdrop, loaded too
    useColourSlides({QColor(220, 40, 40), QColor(40, 200, 60), QColor(50, 70, 230)});
    project->setBPlayLoop(false);
    QTest::mouseClick(controller->outlets().m_btnPlayStop, Qt::LeftButton);
    scheduler->advance(0.5);
    ASSERT_EQ(director->directorStatus(), 1);
    playFrames(3);
    director->setNCurrentFrame(director->nTotalFrames() - 2);
    while (director->directorStatus() != 0) {
        const quint64 frame = director->nCurrentFrame();
        playerClock->advance(1.0 / 30.0);
        displayTime->advance(1.0 / 30.0);
        ASSERT_TRUE(test_support::spinUntil(
            [&] { return director->nCurrentFrame() != frame || director->directorStatus() == 0; }));
    }
    scheduler->advance(1.0 / 30.0); // the play head's tick, which finds the show ended
    EXPECT_EQ(controller->outlets().m_btnPlayStop->text(), "Play");
    EXPECT_EQ(director->cacheCount(), 0u) << "the slides loaded ahead";
    EXPECT_FALSE(director->backgroundRender()->isLoaderRunning());
}

// A stop leaves in the preview the frame the play stood on, and the strip marks that frame's slide: its photo
// over its own backdrop (under "White Border with Blur Background", each slide's backdrop behind its framed
// photo), whenever the display link's next refresh comes during the stop, and also where the play head has
// not yet moved to the slide on screen, or the show ended on its own.
TEST_F(MainWindowPreviewTest, AStopLeavesThePlayedFrameOfTheSlideItMarks) {
    const std::vector<QColor> photos = {QColor(220, 40, 40), QColor(40, 200, 60), QColor(50, 70, 230),
                                        QColor(230, 210, 40), QColor(210, 40, 210)};
    const std::vector<QColor> backdrops = {QColor(120, 60, 20), QColor(20, 110, 120), QColor(130, 130, 130),
                                           QColor(60, 20, 110), QColor(110, 120, 20)};
    const std::vector<SlideItemRef> slides = useColourSlides(photos);
    const QString contents = project->strMacProjectBundleContentsPath();
    for (std::size_t i = 0; i < slides.size(); ++i) {
        QImage backdrop(64, 36, QImage::Format_RGB32);
        backdrop.fill(backdrops[i]);
        const QString name = QStringLiteral("backdrop%1.png").arg(i);
        ASSERT_TRUE(backdrop.save(contents + "/" + name));
        slides[i]->setBackgroudImageFileName(name);
        // 12 photo frames, then 6 of transition: the show ends with the last photo's last frame.
        slides[i]->customSetDurations(0.4f, i + 1 < slides.size() ? 0.2f : 0.0f);
    }
    project->calcSlideItemsPhotoTransitionDuration();
    project->setBPlayLoop(false);
    controller->layoutScrollImages();
    auto& center = platform::NotificationCenter::defaultCenter();
    center.post(kNotifyThemeItemSelected, SlideshowThemeManager::themeNo(8));
    // The display link's refresh at the moment a stop tells the music to stop, run here on the main thread
    // so that it comes exactly then.
    NSGLView* view = controller->opengGLView();
    const platform::ObserverHandle refreshDuringTheStop(
        center, center.addObserver(kNotifyStopPlayingMusic, [&](const platform::Notification&) {
            playerClock->advance(1.0 / 30.0);
            view->getFrameForTime(displayTime->now(), displayTime->now());
        }));
    const MainWindowOutlets& ui = controller->outlets();
    const auto player = controller->director();
    // Plays until `frame` is the next to draw, the play head following or not; the display link drops a
    // refresh that passes while it draws, so frames are counted by the player.
    const auto playUntil = [&](quint64 frame, bool playHeadFollows) {
        while (player->nCurrentFrame() < frame) {
            ASSERT_TRUE(tickPreview());
            if (playHeadFollows)
                scheduler->advance(1.0 / 30.0);
        }
    };
    const struct {
        const char* name;
        std::function<void()> playAndStop; // from the first frame
        std::size_t slide;
        QColor backdrop;
    } stops[] = {
        {"Space in the middle of the third slide's photo",
         [&] {
             playUntil(42, true);
             ui.playMenuItem->trigger();
         },
         2, backdrops[2]},
        {"Add Music, cancelled, with the third slide on screen before the play head reached it",
         [&] {
             playUntil(35, true);  // the second slide's transition with a frame left
             playUntil(37, false); // that frame and the third photo's first, the play head left behind
             QTest::mouseClick(ui.addMusicButton, Qt::LeftButton);
         },
         2, backdrops[2]},
        {"the show ending on its own, its last backdrop faded into black",
         [&] {
             playUntil(player->nTotalFrames(), true);
             while (player->directorStatus() != 0) {
                 const quint64 frame = player->nCurrentFrame();
                 playerClock->advance(1.0 / 30.0);
                 displayTime->advance(1.0 / 30.0);
                 ASSERT_TRUE(test_support::spinUntil(
                     [&] { return player->nCurrentFrame() != frame || player->directorStatus() == 0; }));
             }
             scheduler->advance(1.0 / 30.0); // the play head's tick, which finds the show ended
         },
         4, Qt::black},
    };
    SlideshowMenus menus(*window, *controller);
    for (const auto& stop : stops) {
        SCOPED_TRACE(stop.name);
        menus.action("firstSlideMenuItem")->trigger(); // Ctrl+Home
        ui.playMenuItem->trigger();                    // Space
        scheduler->advance(0.5);
        ASSERT_EQ(player->directorStatus(), 1);
        stop.playAndStop();
        ASSERT_FALSE(controller->m_bPlaying());
        QCoreApplication::processEvents(); // the frames the view handed out
        const QImage still = shownFrame();
        const QRect stage =
            OpenGLRenderObject::viewportForSize(unsigned(still.width()), unsigned(still.height()));
        const QColor photo = centreOf(still);
        const QColor backdrop = still.pixelColor(stage.left() + stage.width() / 50, still.height() / 2);
        EXPECT_TRUE(near(photo, photos[stop.slide]))
            << "photo " << photo.name().toStdString() << " for " << photos[stop.slide].name().toStdString();
        EXPECT_TRUE(near(backdrop, stop.backdrop))
            << "backdrop " << backdrop.name().toStdString() << " for " << stop.backdrop.name().toStdString();
        EXPECT_EQ(markedCells(), std::vector<std::size_t>{stop.slide});
    }
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

namespace {

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

// Play while the marked clip plays in its own player: that player stops and goes, and the show plays in the
// preview.
TEST_F(MainWindowPreviewTest, PlayWhileAClipPlaysInItsOwnPlayerStopsThatPlayer) {
    std::vector<SlideItemRef> slides = useColourSlides({QColor(220, 40, 40), QColor(40, 200, 60)});
    QPointer<ClipMediaPlayer> clipSound;
    controller->setClipPlayerFactory([&clipSound] {
        auto made = std::make_unique<SilentClipPlayer>();
        clipSound = made.get();
        return made;
    });
    const auto clip = makeClipSlide("clip.mp4");
    slides.push_back(clip);
    project->setSlideshowArray(slides);
    project->updateTimelineItemsPosition();
    controller->layoutScrollImages();
    clickCell(*clip);
    ASSERT_TRUE(controller->videoPlaybackCtrl()) << "the clip plays in its own player";
    ASSERT_TRUE(clipSound);
    QTest::mouseClick(controller->outlets().m_btnPlayStop, Qt::LeftButton);
    EXPECT_FALSE(controller->videoPlaybackCtrl());
    EXPECT_FALSE(clipSound) << "the clip's media player still runs";
    EXPECT_TRUE(controller->previewWidget()->isVisibleTo(window.get()));
    EXPECT_EQ(controller->outlets().m_btnPlayStop->text(), "Stop");
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

// A slide made current after a stop, by a click on the strip, by any of the stepping commands, by a delete or
// an import, or kept through Add Music, is where the next Play starts: the position slider and the time texts
// leave where the last play got to for that slide's start (no time played yet), the play head stays hidden,
// and Play starts there.
TEST_F(MainWindowPreviewTest, EveryWayOfChoosingASlideShowsItsStartOnTheSliderAndTheTimeTexts) {
    const std::vector<SlideItemRef> slides =
        useColourSlides({QColor(220, 40, 40), QColor(40, 200, 60), QColor(50, 70, 230)});
    controller->updateProjectInfo(); // as adding the slides does: the slider spans the show
    ASSERT_TRUE(
        test_support::spinUntil([&] { return controller->outlets().positionSlider->maximum() > 100; }));
    const MainWindowOutlets& ui = controller->outlets();
    // Each way is followed by a play of a few frames within its slide and a stop, which leave the slider and
    // the texts past the slide's start for the next way to move.
    const auto playAndStop = [&](int frames) {
        QTest::mouseClick(ui.m_btnPlayStop, Qt::LeftButton);
        scheduler->advance(0.5);
        EXPECT_EQ(controller->director()->directorStatus(), 1);
        const quint64 start = controller->director()->nCurrentFrame();
        playFrames(frames);
        QTest::mouseClick(ui.m_btnPlayStop, Qt::LeftButton);
        return start;
    };
    ASSERT_EQ(playAndStop(40), 0u);
    ASSERT_EQ(ui.timelineTimeText->text(), "00:01");
    ASSERT_EQ(ui.realTimeText->text(), "00:01");
    ASSERT_GT(ui.positionSlider->value(), 30) << "past the first slide's start";
    const auto clickButton = [&](const char* name) {
        return [this, name] { QTest::mouseClick(window->findChild<QAbstractButton*>(name), Qt::LeftButton); };
    };
    SlideshowMenus menus(*window, *controller);
    const auto triggerItem = [&](const char* name) {
        return [&menus, name] { menus.action(name)->trigger(); };
    };
    ASSERT_EQ(menus.action("firstSlideMenuItem")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Home));
    const auto appendPhoto = [&] {
        dialogs.mediaOpenAnswers.push_back({writePhoto("appended.jpg", {64, 48}, QColor(230, 200, 40))});
        QTest::mouseClick(ui.appendPhotoButton, Qt::LeftButton);
        ASSERT_TRUE(waitForImports());
        ASSERT_TRUE(test_support::spinUntil([&] { return controller->nCurrentSlideshowItemIndex() == 3; }));
    };
    const auto addMusic = [&] {
        const QString song = dir.file("Song.wav");
        ASSERT_TRUE(ToneMaker::writeWav(song, 440.0, 2.0, 0.3f));
        controller->recordSongs = false;
        dialogs.mediaOpenAnswers.push_back({song});
        ui.addMusicMenuItem->trigger();
        ASSERT_TRUE(test_support::spinUntil([&] { return controller->isMusicImportIdle(); }, 30000));
    };
    const struct {
        const char* name;
        std::function<void()> choose;
        int current;
        int slider;
        QString time;
    } ways[] = {
        {"a click on the first cell", [&] { clickCell(*slides[0]); }, 0, 0, "00:00"},
        {"Last Slide (Ctrl+End)", triggerItem("lastSlideMenuItem"), 2, 90, "00:03"},
        {"First Slide (Ctrl+Home)", triggerItem("firstSlideMenuItem"), 0, 0, "00:00"},
        {"the next button", clickButton("nextImageButton"), 1, 45, "00:01"},
        {"the last button", clickButton("lastImageButton"), 2, 90, "00:03"},
        {"the previous button", clickButton("previousImageButton"), 1, 45, "00:01"},
        {"the first button", clickButton("firstImageButton"), 0, 0, "00:00"},
        {"Append Photos (the first new slide)", appendPhoto, 3, 135, "00:04"},
        {"Delete Slide (the last slide takes over)", triggerItem("deleteSlideMenuItem"), 2, 90, "00:03"},
        {"Add Music (the current slide stays)", addMusic, 2, 90, "00:03"},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        way.choose();
        EXPECT_EQ(controller->nCurrentSlideshowItemIndex(), way.current);
        EXPECT_EQ(ui.positionSlider->value(), way.slider);
        EXPECT_EQ(ui.timelineTimeText->text(), way.time);
        EXPECT_EQ(ui.realTimeText->text(), "00:00");
        EXPECT_FALSE(controller->timelineIndicatorImageView()->isVisibleTo(window.get()));
        EXPECT_EQ(playAndStop(10), quint64(way.slider)) << "Play starts at the slide";
    }
}

// The window opens with the focus on the position slider: its keys and the wheel move it as a drag does, and
// the show plays from where it goes (the play head and the clock following), rather than the slider alone
// moving while the clock and the preview stay.
TEST_F(MainWindowPreviewTest, EveryWayOfMovingThePositionSliderPlaysFromWhereItGoes) {
    useColourSlides({QColor(220, 40, 40), QColor(40, 200, 60), QColor(50, 70, 230)});
    controller->updateProjectInfo();
    QSlider* slider = controller->outlets().positionSlider;
    ASSERT_TRUE(test_support::spinUntil([&] { return slider->maximum() == 120; }));
    const auto wheel = [slider] {
        const QPointF at = slider->rect().center();
        QWheelEvent turn(at, slider->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                         Qt::NoScrollPhase, false);
        QApplication::sendEvent(slider, &turn);
    };
    const struct {
        const char* name;
        std::function<void()> move;
        int frame;
    } moves[] = {
        {"the wheel", wheel, 3},
        {"End (Ctrl+End reaching the slider)", [slider] { QTest::keyClick(slider, Qt::Key_End); }, 120},
        {"Home", [slider] { QTest::keyClick(slider, Qt::Key_Home); }, 0},
    };
    for (const auto& move : moves) {
        SCOPED_TRACE(move.name);
        move.move();
        ASSERT_EQ(slider->value(), move.frame);
        EXPECT_EQ(controller->director()->directorStatus(), 1) << "playing";
        EXPECT_EQ(controller->director()->nCurrentFrame(), quint64(move.frame));
        EXPECT_EQ(controller->outlets().m_btnPlayStop->text(), "Stop");
        EXPECT_TRUE(controller->timelineIndicatorImageView()->isVisibleTo(window.get()));
        playFrames(1);
    }
}
