#include "PlayerTestSupport.h"

#include "model/ProjectCollaborators.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/gl/Context.h"
#include "platform/gl/DriverLock.h"
#include "render/DirectorFrameRenderer.h"
#include "render/FrameConverterObject.h"
#include "render/RenderGlobals.h"
#include "render/RenderNotifications.h"
#include "render/SlideshowImageObject.h"
#include "render/transitions/SlideshowTransition.h"
#include "render/transitions/TransitionManager.h"
#include "support/HangGuard.h"
#include "support/PlayWaits.h"
#include "support/SlideBeingImported.h"

#include <QFile>

#include <atomic>
#include <cstdio>
#include <functional>
#include <set>
#include <thread>

using rendertest::colourNear;

namespace {

class CountingMixer : public ProjectAudioMixer {
public:
    void seekToBegin() override { ++seeks; }
    void StopPlayingMixedAudio() override { ++stops; }
    int seeks = 0;
    int stops = 0;
};

// Collects the notifications of one name while it lives.
class Catcher {
public:
    explicit Catcher(const QString& name)
        : handle(platform::NotificationCenter::defaultCenter(),
                 platform::NotificationCenter::defaultCenter().addObserver(
                     name, [this](const platform::Notification& n) { caught.push_back(n); })) {}
    std::vector<platform::Notification> caught;

private:
    platform::ObserverHandle handle;
};

// Runs `body` on every post of one name, on the posting thread, until it ends.
class Observer {
public:
    Observer(const QString& name, std::function<void()> body)
        : handle(platform::NotificationCenter::defaultCenter(),
                 platform::NotificationCenter::defaultCenter().addObserver(
                     name, [body = std::move(body)](const platform::Notification&) { body(); })) {}
    void end() { handle.reset(); }

private:
    platform::ObserverHandle handle;
};

// Frames of a cross-fade between a red and a blue slide: some of each, nothing else.
bool redBlueMix(QRgb pixel) {
    return std::abs(qRed(pixel) + qBlue(pixel) - 255) <= 6 && qGreen(pixel) <= 3;
}

int grey(QRgb pixel) {
    return (qRed(pixel) + qGreen(pixel) + qBlue(pixel)) / 3;
}

} // namespace

class DirectorTest : public PlayerTest {};

TEST_F(DirectorTest, ASolidSlidePlaysItsColourAndTheShowEndsWithoutLooping) {
    project->setBPlayLoop(false);
    auto mixer = std::make_shared<CountingMixer>();
    project->setAudioMixer(mixer);
    useSlides({photo("red.png", rendertest::solid(32, 18, QColor(220, 20, 30)), 1.0f, 1.0f)});
    director->setSlideshowArray(project->slideshowArray());
    EXPECT_EQ(director->directorStatus(), 1);
    EXPECT_EQ(director->nTotalFrames(), 30u);
    makeTarget(32, 18);
    int frames = 0;
    while (director->playOneFrame()) {
        ++frames;
        EXPECT_TRUE(colourNear(readTarget().pixel(16, 9), qRgb(220, 20, 30))) << "frame " << frames;
    }
    EXPECT_EQ(frames, 30);
    EXPECT_EQ(director->directorStatus(), 0);
    EXPECT_EQ(mixer->stops, 1);
    EXPECT_FALSE(director->playOneFrame());
}

TEST_F(DirectorTest, TheFadesRunTheirAlphaFromAndToTheStage) {
    project->setFltSlideshowFadeIn(1.0f);
    project->setFltSlideshowFadeOut(1.0f);
    project->setBPlayLoop(false);
    useSlides({photo("white.png", rendertest::solid(32, 18, Qt::white), 2.0f, 1.0f)});
    director->setSlideshowArray(project->slideshowArray());
    ASSERT_EQ(director->nTotalFrames(), 30u + 60u + 30u);
    makeTarget(32, 18);
    EXPECT_NEAR(grey(frameAt(0).pixel(16, 9)), 0, 2);
    EXPECT_NEAR(grey(frameAt(15).pixel(16, 9)), 128, 3);
    EXPECT_NEAR(grey(frameAt(29).pixel(16, 9)), 247, 3);
    EXPECT_NEAR(grey(frameAt(30).pixel(16, 9)), 255, 1);
    EXPECT_NEAR(grey(frameAt(90).pixel(16, 9)), 255, 2) << "q = 0: alpha 1";
    EXPECT_NEAR(grey(frameAt(105).pixel(16, 9)), 128, 3) << "q = 15: alpha 1/2";
    EXPECT_NEAR(grey(frameAt(119).pixel(16, 9)), 8, 3);
}

TEST_F(DirectorTest, TheFadeOutContinuesTheLastSlidesMotion) {
    project->setFltSlideshowFadeOut(1.0f);
    project->setBPlayLoop(false);
    const auto slide = photo("white.png", rendertest::solid(32, 18, Qt::white), 2.0f, 1.0f);
    slide->setZoomStart(0.5);
    slide->setZoomEnd(0.5);
    slide->setPanStartPoint(QPointF(-0.5, 0));
    slide->setPanEndPoint(QPointF(0.5, 0));
    useSlides({slide});
    director->setSlideshowArray(project->slideshowArray());
    makeTarget(160, 90);
    // The motion (60 photo + 30 fade-out frames) moves the centre by 80 pixels: under a pixel a frame.
    const QPointF lastPhoto = playertest::litCentre(frameAt(59), 20);
    const QPointF firstFade = playertest::litCentre(frameAt(60), 20);
    EXPECT_NEAR(firstFade.x() - lastPhoto.x(), 0.9, 1.0);
    EXPECT_NEAR(lastPhoto.x(), 80 - 40 + 80.0 * 59 / 90, 1.5);
}

TEST_F(DirectorTest, TwoSlidesLoopWithoutEverDrawingAReleasedTexture) {
    project->setBPlayLoop(true);
    useSlides({photo("red.png", rendertest::solid(16, 9, Qt::red), 0.2f, 0.1f),
               photo("blue.png", rendertest::solid(16, 9, Qt::blue), 0.2f, 0.1f)});
    for (const auto& slide : project->slideshowArray())
        slide->setTransitionInfo(TransitionManager::alphaBlendTransitionInfo());
    director->setSlideshowArray(project->slideshowArray());
    const quint64 total = director->nTotalFrames(); // 6 + 3 + 6
    ASSERT_EQ(total, 15u);
    makeTarget(16, 9);
    for (int i = 0; i < int(total) * 4; ++i) {
        const quint64 frame = director->nCurrentFrame() >= total ? 0 : director->nCurrentFrame();
        ASSERT_TRUE(director->playOneFrame());
        const QRgb pixel = readTarget().pixel(8, 4);
        // Photo frames show their slide; the cross-fade a mix of the two; never the black of a lost texture.
        if (frame < 6)
            EXPECT_TRUE(colourNear(pixel, qRgb(255, 0, 0))) << "pass " << i / total << " frame " << frame;
        else if (frame >= 9)
            EXPECT_TRUE(colourNear(pixel, qRgb(0, 0, 255))) << "pass " << i / total << " frame " << frame;
        else
            EXPECT_TRUE(redBlueMix(pixel)) << "pass " << i / total << " frame " << frame;
    }
    EXPECT_LE(director->cacheCount(), 4u);
}

TEST_F(DirectorTest, OneSlideLoopsAndKeepsItsPicture) {
    project->setBPlayLoop(true);
    useSlides({photo("green.png", rendertest::solid(16, 9, Qt::green), 0.1f, 0.1f)});
    director->setSlideshowArray(project->slideshowArray());
    makeTarget(16, 9);
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(director->playOneFrame());
        EXPECT_TRUE(colourNear(readTarget().pixel(8, 4), qRgb(0, 255, 0))) << i;
    }
}

TEST_F(DirectorTest, TheWrapOfALoopDrawsFrameZeroInTheSameCall) {
    project->setBPlayLoop(true);
    useSlides({photo("a.png", rendertest::solid(8, 8, Qt::red), 0.1f, 0.1f),
               photo("b.png", rendertest::solid(8, 8, Qt::blue), 0.1f, 0.1f)});
    director->setSlideshowArray(project->slideshowArray());
    makeTarget(8, 8);
    Catcher music(kNotifyStartMusic);
    const quint64 total = director->nTotalFrames();
    frameAt(total - 1);
    EXPECT_TRUE(colourNear(readTarget().pixel(4, 4), qRgb(0, 0, 255)));
    EXPECT_TRUE(director->playOneFrame());
    EXPECT_EQ(director->nCurrentFrame(), 1u);
    EXPECT_TRUE(colourNear(readTarget().pixel(4, 4), qRgb(255, 0, 0)));
    // The music is not started again: the project's rewind brings the mix back to its start.
    EXPECT_EQ(music.caught.size(), 1u);
}

TEST_F(DirectorTest, StartMusicIsPostedAtTheStartFrameUnlessAnExportPlays) {
    useSlides({photo("a.png", rendertest::solid(8, 8, Qt::red), 1.0f, 1.0f),
               photo("b.png", rendertest::solid(8, 8, Qt::blue), 1.0f, 1.0f)});
    project->slideshowArray()[0]->setTransitionInfo(TransitionManager::alphaBlendTransitionInfo());
    makeTarget(8, 8);
    Catcher music(kNotifyStartMusic);
    director->setSlideshowArrayFromFrame(project->slideshowArray(), 40);
    EXPECT_EQ(director->nCurrentFrame(), 40u);
    EXPECT_EQ(director->currentFrameTimeStamp(), platform::media::MediaTime(40, 30));
    director->playOneFrame();
    director->playOneFrame();
    ASSERT_EQ(music.caught.size(), 1u);
    EXPECT_EQ(music.caught[0].object.toULongLong(), 40u);
    EXPECT_TRUE(redBlueMix(readTarget().pixel(4, 4)));

    startExport(8, 8);
    exportFrameAt(0);
    EXPECT_EQ(music.caught.size(), 1u) << "an export's play starts no music";
}

TEST_F(DirectorTest, TheFrameTimeStampIsAtTimescale600) {
    useSlides({photo("a.png", rendertest::solid(8, 8, Qt::red), 3.0f, 1.0f)});
    director->setSlideshowArray(project->slideshowArray());
    makeTarget(8, 8);
    frameAt(45);
    EXPECT_EQ(director->currentFrameTimeStamp().value, 900);
    EXPECT_EQ(director->currentFrameTimeStamp().timescale, 600);
}

TEST_F(DirectorTest, StartingFromASlideBeginsAtItsFirstFrame) {
    project->setFltSlideshowFadeIn(0.5f);
    useSlides({photo("a.png", rendertest::solid(8, 8, Qt::red), 1.0f, 1.0f),
               photo("b.png", rendertest::solid(8, 8, Qt::green), 1.0f, 1.0f),
               photo("c.png", rendertest::solid(8, 8, Qt::blue), 1.0f, 1.0f)});
    director->setSlideshowArrayFromIndex(project->slideshowArray(), 2);
    EXPECT_EQ(director->nCurrentFrame(), 15u + 60u + 60u);
    makeTarget(8, 8);
    director->playOneFrame();
    EXPECT_TRUE(colourNear(readTarget().pixel(4, 4), qRgb(0, 0, 255))) << "the preloader began at slide 2";
    director->setSlideshowArrayFromIndex(project->slideshowArray(), 0);
    EXPECT_EQ(director->nCurrentFrame(), 0u);
    EXPECT_EQ(director->nTotalFrames(), project->totalFrameCount());
}

TEST_F(DirectorTest, StopReportsTheSlideAtThePlayHeadEvenWithZeroDefaultDurations) {
    project->setFltPhotoDuration(0.0f);
    project->setFltTransitionDuration(0.0f);
    useSlides({photo("a.png", rendertest::solid(8, 8, Qt::red), 1.0f, 1.0f),
               photo("b.png", rendertest::solid(8, 8, Qt::green), 1.0f, 1.0f)});
    director->setSlideshowArray(project->slideshowArray());
    makeTarget(8, 8);
    frameAt(70);
    Catcher changed(kNotifyPlaySlideIndexChanged);
    director->stop();
    ASSERT_EQ(changed.caught.size(), 1u);
    EXPECT_EQ(changed.caught[0].userInfo.value("playingItemIndex").toInt(), 1);
    EXPECT_EQ(director->directorStatus(), 0);
    EXPECT_EQ(director->nCurrentFrame(), 0u);
}

TEST_F(DirectorTest, AStopEndsThePreloadersWaitForASlideThatNeverBecomesReady) {
    auto missing = platform::makeMainThreadShared<SlideItem>();
    missing->setFileName("not-imported-yet.jpg");
    missing->customSetDurations(1.0f, 1.0f);
    useSlides({missing});
    {
        PlayWaits waits(*director);
        director->setSlideshowArray(project->slideshowArray());
        waits.waitForThreads(1); // the preloader's wait for the slide
        director->stop();
        EXPECT_EQ(waits.threadsAlive(), 0) << "the preloader had ended when the stop returned";
    }
    // The next start joins the preloader: it must have ended.
    const auto slide = photo("ok.png", rendertest::solid(8, 8, Qt::yellow), 1.0f, 1.0f);
    useSlides({slide});
    director->setSlideshowArray(project->slideshowArray());
    makeTarget(8, 8);
    ASSERT_TRUE(director->playOneFrame());
    EXPECT_TRUE(colourNear(readTarget().pixel(4, 4), qRgb(255, 255, 0)));
}

// The main thread's rewind takes the play at once when it is free; under the view's context it would wait
// for a frame that holds the play and waits for that context in turn. Checked even when the play is free.
TEST_F(DirectorTest, ARewindUnderTheViewsContextStopsEvenWhenThePlayIsFree) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto view = platform::gl::Context::createShared(*context, platform::gl::Context::Use::Main);
    EXPECT_DEATH(
        {
            const platform::gl::Context::Scope scope(*view);
            director->resetDirector();
        },
        "SlideshowDirector::mutex asked for while the main GL context is held");
}

TEST_F(DirectorTest, AStopWakesAFrameWaitingForTheCacheWhichThenDrawsTheStageOnly) {
    auto missing = platform::makeMainThreadShared<SlideItem>();
    missing->setFileName("late.jpg");
    missing->customSetDurations(1.0f, 1.0f);
    useSlides({missing});
    director->setSlideshowArray(project->slideshowArray());
    makeTarget(8, 8);
    std::thread stopper([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        director->stop();
    });
    director->playOneFrame(); // waits for the slide until the stop
    stopper.join();
    EXPECT_FALSE(director->slide1()->slideItemData());
    EXPECT_TRUE(colourNear(readTarget().pixel(4, 4), qRgb(0, 0, 0)));
}

// A slide whose picture the preview awaits and that will not come: discarded (a failed import, a Delete), or
// taken away or left empty (a file manager, a sync tool's placeholder, a removed disk, a full one).
TEST_F(DirectorTest, APreviewGoesOnPastASlideWhosePictureWillNotCome) {
    const struct {
        const char* how;
        std::function<void(SlideItem&)> lose;
    } cases[] = {
        {"discarded while it was awaited", [](SlideItem& lost) { lost.deleteFilesForDeletingItem(); }},
        {"its file taken away",
         [](SlideItem& lost) {
             lost.setPictureBeingMade(false);
             QFile::remove(lost.fileName());
         }},
        {"its file left empty", [](SlideItem& lost) { lost.setPictureBeingMade(false); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        const HangGuard guard(std::string("a play past a slide ") + c.how, std::chrono::seconds(60));
        project->setBPlayLoop(false);
        const auto lost = test_support::slideBeingImported(contents + "/importing.jpg", 0.5f, 0.0f);
        ASSERT_TRUE(lost);
        useSlides({photo("red.png", rendertest::solid(8, 8, Qt::red), 0.5f, 0.0f), lost,
                   photo("blue.png", rendertest::solid(8, 8, Qt::blue), 0.5f, 0.0f)});
        director->setSlideshowArray(project->slideshowArray());
        // The loader has queued the first slide and waits for the second's picture.
        while (director->cacheCount() < 1)
            std::this_thread::yield();
        c.lose(*lost);
        makeTarget(8, 8);
        std::set<quint64> shown;
        for (quint64 frame = director->nCurrentFrame(); director->playOneFrame();
             frame = director->nCurrentFrame()) {
            const quint64 slide =
                SlideshowDirector::CS_GetSlideIndexFromCurrentFrame(frame, project->slideshowArray())
                    .slideIndex;
            const QRgb expected = slide == 0 ? qRgb(255, 0, 0) : slide == 1 ? qRgb(0, 0, 0) : qRgb(0, 0, 255);
            EXPECT_TRUE(colourNear(readTarget().pixel(4, 4), expected))
                << "frame " << frame << " of slide " << slide;
            shown.insert(slide);
        }
        EXPECT_EQ(shown, (std::set<quint64>{0, 1, 2})) << "the stage stands for the lost slide for its time";
        director->stop();
    }
}

TEST_F(DirectorTest, TransitionFrameBuffersFollowTheTargetOfThePlay) {
    useSlides({photo("a.png", rendertest::solid(8, 8, Qt::red), 0.1f, 0.2f),
               photo("b.png", rendertest::solid(8, 8, Qt::blue), 0.1f, 0.2f)});
    project->slideshowArray()[0]->setTransitionInfo(TransitionManager::alphaBlendTransitionInfo());
    // An export at 96 x 54 through a converter.
    auto converter = std::make_shared<FrameConverterObject>(96, 54);
    ASSERT_TRUE(director->startExportPlay(project->slideshowArray(), converter, {}));
    ASSERT_TRUE(converter->switchOffScreenFBO());
    for (int i = 0; i < 5; ++i) {
        converter->switchOffScreenFBO();
        director->playExportFrame(); // frame 4 lies in the transition
    }
    EXPECT_EQ(director->fboSlideOne().texWidth(), 96);
    EXPECT_EQ(director->fboSlideTwo().texHeight(), 54);
    {
        const platform::gl::DriverLock driver; // as the pump reads a frame back
        EXPECT_TRUE(redBlueMix(platform::gl::readPixelsBGRA(0, 0, 96, 54).pixel(48, 27)));
    }
    director->endExportPlay();

    // The preview at 64 x 36 afterwards.
    director->setSlideshowArray(project->slideshowArray());
    makeTarget(64, 36);
    frameAt(4);
    EXPECT_EQ(director->fboSlideOne().texWidth(), 64);
    EXPECT_EQ(director->fboSlideOne().texHeight(), 36);
}

// While an export's frame waits for a picture, the window draws a still into a view of another shape: the
// export's frame is drawn at the export's shape all the same.
TEST_F(DirectorTest, AnExportsFrameKeepsItsShapeWhateverTheWindowDrawsWhileItWaits) {
    project->setBPlayLoop(false);
    project->setFltSlideshowFadeIn(0.0f);
    project->setFltSlideshowFadeOut(0.0f);
    const auto late = test_support::slideBeingImported(contents + "/late.png", 1.0f, 0.0f);
    ASSERT_TRUE(late);
    standStill(*late);
    useSlides({late});
    const std::thread::id exporter = std::this_thread::get_id();
    std::atomic<int> frameWaits{0};
    auto converter = std::make_shared<FrameConverterObject>(96, 54);
    ASSERT_TRUE(director->startExportPlay(project->slideshowArray(), converter, [&] {
        if (std::this_thread::get_id() == exporter)
            ++frameWaits;
        return false;
    }));
    std::thread window([&] {
        while (frameWaits < 2) // the export's frame waits for the picture
            std::this_thread::yield();
        gRenderAspectRatio = 1.0f; // as a still drawn into a square view sets it
        test_support::finishImport(*late, rendertest::solid(96, 54, Qt::red));
    });
    ASSERT_TRUE(converter->switchOffScreenFBO());
    EXPECT_TRUE(director->playExportFrame());
    window.join();
    {
        const platform::gl::DriverLock driver; // as the pump reads a frame back
        const QImage frame = platform::gl::readPixelsBGRA(0, 0, 96, 54);
        for (const QPoint at : {QPoint(2, 2), QPoint(93, 2), QPoint(2, 51), QPoint(93, 51), QPoint(48, 27)})
            EXPECT_TRUE(colourNear(frame.pixel(at), qRgb(255, 0, 0)))
                << "the 16:9 picture fills the 16:9 frame at " << at.x() << "," << at.y();
    }
    director->endExportPlay();
}

// What the window asks of the player while an export's frame waits for a picture still being made comes and
// goes at once and leaves the export's play alone: the play stands where it was, its status stays, and the
// movie holds every slide in its turn, once, though the project repeats. A second export is refused, and the
// end of its renderer leaves the first export's play alone too.
TEST_F(DirectorTest, WhatTheWindowAsksDuringAnExportsPlayLeavesItAlone) {
    const auto previewClock = std::make_shared<platform::ManualClock>();
    director->setClock(previewClock);
    const FrameRenderer::Play secondPlay{};
    const struct {
        const char* entry;
        std::function<void()> call;
    } entries[] = {
        {"stop", [&] { director->stop(); }},
        {"rewind", [&] { director->resetDirector(); }},
        {"seek", [&] { director->setNCurrentFrame(2); }},
        {"start", [&] { director->setSlideshowArray(project->slideshowArray()); }},
        {"start at a frame", [&] { director->setSlideshowArrayFromFrame(project->slideshowArray(), 2); }},
        {"start at a slide", [&] { director->setSlideshowArrayFromIndex(project->slideshowArray(), 2); }},
        {"the player's set-up", [&] { director->initDirector(); }},
        {"the clock's correction",
         [&] {
             director->DropOrPaddingFrame();
             previewClock->advance(1.0);
             director->DropOrPaddingFrame();
         }},
        {"the status", [&] { director->setDirectorStatus(0); }},
        {"a preview's frame", [&] { director->playOneFrame(); }},
        {"back to the project list", [&] { director->willBacktoProjectManagerView(); }},
        {"a second export",
         [&] {
             DirectorFrameRenderer second(director);
             QString error;
             EXPECT_FALSE(second.begin(secondPlay, &error));
             EXPECT_EQ(error, "Another export is drawing the slideshow.");
             second.end();
         }},
    };
    project->setBPlayLoop(true);
    project->setFltSlideshowFadeIn(0.0f);
    project->setFltSlideshowFadeOut(0.0f);
    const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    for (const auto& e : entries) {
        SCOPED_TRACE(e.entry);
        const auto late = test_support::slideBeingImported(contents + "/late.png", 0.5f, 0.0f);
        ASSERT_TRUE(late);
        standStill(*late);
        useSlides({photo("red.png", rendertest::solid(8, 8, colours[0]), 0.5f, 0.0f),
                   photo("green.png", rendertest::solid(8, 8, colours[1]), 0.5f, 0.0f), late});
        const std::vector<SlideItemRef> slides = project->slideshowArray();
        const quint64 waitsAt = slides[1]->nItemStartFrameIndex(); // the green slide takes the blue one next
        const quint64 total = project->totalFrameCountFromArray(slides);
        std::atomic<std::thread::id> exporter;
        std::atomic<int> frameWaits{0};
        FrameRenderer::Play play;
        play.slides = slides;
        play.cancelled = [&] {
            if (std::this_thread::get_id() == exporter.load() && director->nCurrentFrame() == waitsAt)
                ++frameWaits;
            return false;
        };
        std::vector<QRgb> movie;
        std::atomic<bool> exportEnded{false};
        std::thread exporting([&] {
            const struct Ended {
                std::atomic<bool>& ended;
                ~Ended() { ended = true; }
            } ending{exportEnded};
            exporter = std::this_thread::get_id();
            DirectorFrameRenderer renderer(director);
            renderer.setFrameSize(QSize(32, 18));
            QString error;
            ASSERT_TRUE(renderer.begin(play, &error)) << error.toStdString();
            QImage frame(32, 18, QImage::Format_ARGB32);
            while (movie.size() <= total && renderer.renderFrame() && // a repeat shows as one frame more
                   renderer.readFrame(frame.bits(), frame.sizeInBytes(), &error))
                movie.push_back(frame.pixel(16, 9));
            renderer.end();
        });
        while (frameWaits < 2 && !exportEnded) // the export's frame waits for the picture
            std::this_thread::yield();
        if (exportEnded) {
            exporting.join();
            FAIL() << "the export ended before it reached the picture being made";
        }
        {
            const HangGuard guard(std::string("the window's ") + e.entry + " during an export",
                                  std::chrono::seconds(60));
            e.call();
        }
        EXPECT_EQ(director->nCurrentFrame(), waitsAt) << "the export's play stands where it was";
        EXPECT_EQ(director->directorStatus(), 1);
        EXPECT_TRUE(director->exportPlays());
        test_support::finishImport(*late, rendertest::solid(8, 8, colours[2]));
        exporting.join();
        ASSERT_EQ(movie.size(), total) << "every frame, once";
        for (quint64 frame = 0; frame < movie.size(); ++frame) {
            const quint64 slide =
                SlideshowDirector::CS_GetSlideIndexFromCurrentFrame(frame, slides).slideIndex;
            EXPECT_TRUE(colourNear(movie[frame], colours[slide]))
                << "frame " << frame << " of slide " << slide;
        }
        EXPECT_FALSE(director->exportPlays());
    }
}

TEST_F(DirectorTest, ADoorShowsTheOutgoingThenTheIncomingSlideUprightThroughTheFrameBuffers) {
    useSlides({photo("q.png", rendertest::quarters(32, 18), 0.1f, 0.2f),
               photo("b.png", rendertest::solid(8, 8, Qt::blue), 0.1f, 0.2f)});
    project->slideshowArray()[0]->setTransitionInfo(TransitionManager::transitionInfo("3D", 0));
    director->setSlideshowArray(project->slideshowArray());
    makeTarget(32, 18);
    QImage frame = frameAt(3); // the first frame of the 6-frame transition
    ASSERT_TRUE(director->slideTransitionObj()->bNeedFBO());
    EXPECT_TRUE(colourNear(frame.pixel(4, 2), qRgb(255, 0, 0)));
    EXPECT_TRUE(colourNear(frame.pixel(28, 2), qRgb(0, 255, 0)));
    EXPECT_TRUE(colourNear(frame.pixel(4, 15), qRgb(0, 0, 255)));
    frame = frameAt(8);
    EXPECT_TRUE(colourNear(frame.pixel(16, 9), qRgb(0, 0, 255)));
}

TEST_F(DirectorTest, ClockCorrectionSkipsWhatAStallCostAndStandsStillWhenAhead) {
    auto clock = std::make_shared<platform::ManualClock>();
    director->setClock(clock);
    useSlides({photo("a.png", rendertest::solid(8, 8, Qt::red), 10.0f, 1.0f)});
    director->setSlideshowArray(project->slideshowArray());
    const double d = 1.0 / 30.0;
    director->setNCurrentFrame(3);
    EXPECT_FALSE(director->DropOrPaddingFrame()) << "the first five frames are never corrected";
    director->setNCurrentFrame(10);
    EXPECT_FALSE(director->DropOrPaddingFrame()) << "the first measurement only starts the clock";
    for (int i = 0; i < 3; ++i) {
        clock->advance(d);
        EXPECT_FALSE(director->DropOrPaddingFrame());
    }
    EXPECT_EQ(director->nCurrentFrame(), 10u);
    // A stall of 3.5 periods: 2.5 behind. The tick draws nothing and skips 2 + 1 frames.
    clock->advance(3.5 * d);
    EXPECT_TRUE(director->DropOrPaddingFrame());
    EXPECT_EQ(director->nCurrentFrame(), 13u);
    clock->advance(d);
    EXPECT_FALSE(director->DropOrPaddingFrame()) << "half a period behind is within the tolerance";
    // Ticks faster than the frame rate: those that run more than a period ahead draw nothing.
    int dropped = 0;
    for (int i = 0; i < 12; ++i) {
        clock->advance(0.4 * d);
        dropped += director->DropOrPaddingFrame() ? 1 : 0;
    }
    EXPECT_EQ(dropped, 6);
    EXPECT_EQ(director->nCurrentFrame(), 13u);
    director->resetDirector();
    EXPECT_EQ(director->nCurrentFrame(), 0u);
}

TEST_F(DirectorTest, PlayAndStopFromTwoThreadsNeverOverlap) {
    project->setBPlayLoop(true);
    useSlides({photo("a.png", rendertest::solid(8, 8, Qt::red), 0.1f, 0.1f),
               photo("b.png", rendertest::solid(8, 8, Qt::blue), 0.1f, 0.1f)});
    director->setSlideshowArray(project->slideshowArray());
    makeTarget(8, 8);
    std::atomic<bool> done{false};
    std::thread controller([&] {
        for (int i = 0; i < 20; ++i) {
            director->stop();
            director->setSlideshowArrayFromFrame(project->slideshowArray(), quint64(i % 7));
        }
        done = true;
    });
    int frames = 0;
    while (!done) {
        director->playOneFrame();
        ++frames;
    }
    controller.join();
    EXPECT_GT(frames, 0);
    EXPECT_EQ(director->directorStatus(), 1);
}

// A stop that lands as the player enters a slide, while the loader holds the next composition slides, whose
// renderers enter the driver as they go: the loader drops them without holding its cache for it, the play
// ends, and the next one starts and draws. Once the loader destroyed them under the cache's lock and waited
// there for the driver lock, which the player held while it waited for that cache lock: neither moved again.
TEST_F(DirectorTest, AStopAsThePlayerEntersASlideEndsWhileTheLoaderDropsCompositionSlides) {
    const QString composition = writeComposition();
    std::vector<SlideItemRef> slides;
    for (int i = 0; i < 6; ++i)
        slides.push_back(compositionSlide(composition, 1.0f));
    useSlides(slides);
    makeTarget(64, 36);
    const HangGuard guard("a stop while the loader drops composition slides");
    std::thread stopper;
    Observer widen(kNotifyStartMusic, [&] {
        // The player's hold of the driver lock across its frame, where the notice once went out under it.
        const platform::gl::DriverLock frame;
        stopper = std::thread([this] { director->stop(); });
        while (director->cacheCount() > 0) // the stopped loader lets go of its slides
            std::this_thread::yield();
    });
    for (int run = 0; run < 20; ++run) {
        director->setSlideshowArrayFromIndex(project->slideshowArray(), 2);
        while (director->cacheCount() < 3) // the loader holds the slides from the third on
            std::this_thread::yield();
        director->playOneFrame();
        stopper.join();
        EXPECT_EQ(director->directorStatus(), 0) << "run " << run;
    }
    widen.end();
    director->setSlideshowArray(project->slideshowArray());
    ASSERT_TRUE(director->playOneFrame());
    EXPECT_TRUE(colourNear(readTarget().pixel(8, 8), qRgb(255, 0, 0))) << "the composition's red square";
}
