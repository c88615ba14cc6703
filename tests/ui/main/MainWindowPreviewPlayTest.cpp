// The document window on the real engine (a headless GL context) playing its show: Play and Stop, a show
// that ends on its own, the position slider, the play head and the time texts, with pictures of it for people
// to look at in <build>/screenshots.
#include "MainWindowPreviewTest.h"

#include "support/Screenshot.h"
#include "support/SilentClipPlayer.h"
#include "support/ToneMaker.h"

#include "model/SlideshowThemeManager.h"
#include "platform/foundation/NotificationCenter.h"
#include "render/NSGLView.h"
#include "render/SlideshowDirector.h"
#include "render/StageBackground.h"
#include "ui/UiNotifications.h"
#include "ui/main/MainWindowOutlets.h"
#include "ui/main/SlideshowMenus.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>

#include <functional>

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
