#include "PlayerTestSupport.h"

#include "model/VideoSlideItem.h"
#include "platform/foundation/MainThread.h"
#include "platform/gl/DriverLock.h"
#include "render/StageBackground.h"
#include "render/transitions/TransitionManager.h"
#include "support/ColourBars.h"
#include "support/FileLosses.h"
#include "support/HangGuard.h"
#include "support/OpenWatch.h"

#include <QDir>

#include <chrono>
#include <thread>

using rendertest::colourNear;

namespace {

bool waitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return done();
}

} // namespace

class StageBackgroundTest : public PlayerTest {
protected:
    // A half-size white slide, so that the stage shows around it.
    SlideItemRef smallSlide(const QString& name, const QColor& backdrop, float photoSeconds = 1.0f) {
        auto slide = photo(name + ".png", rendertest::solid(32, 18, Qt::white), photoSeconds, 1.0f);
        slide->setZoomStart(0.5);
        slide->setZoomEnd(0.5);
        if (backdrop.isValid()) {
            EXPECT_TRUE(rendertest::solid(32, 18, backdrop).save(contents + "/" + name + "_bk.png"));
            slide->setBackgroudImageFileName(name + "_bk.png");
        }
        return slide;
    }
    // A layer of its own on the test's context, with the theme's backdrop `backgroundID`.
    std::shared_ptr<StageBackground> layerOf(int backgroundID) {
        auto layer = std::make_shared<StageBackground>();
        layer->setMainContext(context);
        layer->setTheme({{"backgroundID", backgroundID}});
        return layer;
    }
    // A frame of the layer drawn under the driver lock, as the player draws it; by the earlier drawing, which
    // moves itself on a frame per call, or by the played frame.
    static void drawEarlier(StageBackground& layer, bool flip) {
        const platform::gl::DriverLock driver;
        layer.DrawOneFrame_new(flip);
    }
    static void draw(StageBackground& layer, bool flip) {
        const platform::gl::DriverLock driver;
        layer.DrawOneFrame(flip);
    }
    // The stage at the edge and the slide in the middle of the first frame of a play.
    std::pair<QRgb, QRgb> firstFrame() {
        director->setSlideshowArray(project->slideshowArray());
        makeTarget(64, 36);
        const QImage frame = frameAt(0);
        return {frame.pixel(2, 2), frame.pixel(32, 18)};
    }
};

TEST_F(StageBackgroundTest, TheBlackStageStartsNoLoader) {
    useSlides({smallSlide("a", Qt::blue)});
    const auto [stage, slide] = firstFrame();
    EXPECT_TRUE(colourNear(stage, qRgb(0, 0, 0)));
    EXPECT_TRUE(colourNear(slide, qRgb(255, 255, 255)));
    EXPECT_FALSE(director->backgroundRender()->isLoaderRunning());
}

TEST_F(StageBackgroundTest, TheUsersOwnPictureIsTheStageWhateverTheTheme) {
    ASSERT_TRUE(rendertest::solid(40, 30, QColor(0, 160, 0)).save(contents + "/stage.png"));
    project->setStrThemeBackground("stage.png");
    setBackdrop(0);
    useSlides({smallSlide("a", Qt::blue)});
    const auto [stage, slide] = firstFrame();
    EXPECT_TRUE(colourNear(stage, qRgb(0, 160, 0)));
    EXPECT_TRUE(colourNear(slide, qRgb(255, 255, 255)));
    EXPECT_FALSE(director->backgroundRender()->isLoaderRunning());
}

// The window only ever sets one of our stock pictures; a project from elsewhere may name any file.
TEST_F(StageBackgroundTest, OnlyAStockPictureOrOneOfTheProjectIsTheStage) {
    TempDir resources;
    ASSERT_TRUE(
        rendertest::solid(40, 30, QColor(20, 60, 200)).save(resources.file("vector_002.jpg"), "JPEG", 95));
    test_support::EnvOverride override("VISTRELLE_RESOURCES", resources.path());
    const QString secret = folder->file("secret.png");
    ASSERT_TRUE(rendertest::solid(40, 30, QColor(0, 160, 0)).save(secret));
    ASSERT_TRUE(QFile::link(secret, contents + "/linked.png"));
    test_support::FifoTrap pipe(contents + "/pipe.png");
    ASSERT_TRUE(pipe.isValid());
    const std::vector<std::pair<QString, QRgb>> stored = {
        {resources.file("vector_002.jpg"), qRgb(20, 60, 200)},
        {secret, qRgb(0, 0, 0)},
        {QDir(contents).relativeFilePath(secret), qRgb(0, 0, 0)},
        {"linked.png", qRgb(0, 0, 0)},
        {"pipe.png", qRgb(0, 0, 0)},
        {"/dev/zero", qRgb(0, 0, 0)},
    };
    useSlides({smallSlide("a", QColor())});
    for (const auto& [value, stage] : stored) {
        project->setStrThemeBackground(value);
        director->backgroundRender()->setTheme({{"backgroundID", 2}}); // forgets the last stage picture
        EXPECT_TRUE(colourNear(firstFrame().first, stage, 6)) << value.toStdString();
    }
    EXPECT_EQ(pipe.readers(), 0);
}

TEST_F(StageBackgroundTest, AFixedThemePictureComesFromTheResources) {
    TempDir resources;
    ASSERT_TRUE(
        rendertest::solid(64, 48, QColor(230, 120, 20)).save(resources.file("bk_clouds.jpg"), "JPEG", 95));
    test_support::EnvOverride override("VISTRELLE_RESOURCES", resources.path());
    setBackdrop(4);
    useSlides({smallSlide("a", QColor())});
    const auto [stage, slide] = firstFrame();
    EXPECT_TRUE(colourNear(stage, qRgb(230, 120, 20), 6));
    EXPECT_FALSE(director->backgroundRender()->isLoaderRunning());
}

TEST_F(StageBackgroundTest, AMissingThemePictureDrawsBlack) {
    TempDir resources; // none of the pictures
    test_support::EnvOverride override("VISTRELLE_RESOURCES", resources.path());
    setBackdrop(5);
    useSlides({smallSlide("a", QColor())});
    EXPECT_TRUE(colourNear(firstFrame().first, qRgb(0, 0, 0)));
}

TEST_F(StageBackgroundTest, TheMovingBackdropShowsEachSlidesBackgroundPictureBehindIt) {
    setBackdrop(0);
    useSlides({smallSlide("a", QColor(0, 0, 200)), smallSlide("b", QColor(200, 0, 200)),
               smallSlide("c", QColor(0, 200, 0)), smallSlide("d", QColor(0, 200, 0))});
    const auto [stage, slide] = firstFrame();
    EXPECT_TRUE(colourNear(stage, qRgb(0, 0, 200)));
    EXPECT_TRUE(colourNear(slide, qRgb(255, 255, 255)));
    EXPECT_TRUE(director->backgroundRender()->isLoaderRunning());
    EXPECT_TRUE(waitUntil([&] { return director->backgroundRender()->cacheCount() == 3; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(director->backgroundRender()->cacheCount(), 3u)
        << "the loader keeps the slide on stage and the two after it";
}

TEST_F(StageBackgroundTest, AGreyMovingBackdropTurnsThePicturesGrey) {
    setBackdrop(1);
    useSlides({smallSlide("a", QColor(0, 0, 255))});
    const QRgb stage = firstFrame().first;
    EXPECT_EQ(qRed(stage), qGreen(stage));
    EXPECT_EQ(qGreen(stage), qBlue(stage));
    EXPECT_NEAR(qRed(stage), 18, 3); // blue's luma
}

TEST_F(StageBackgroundTest, TheCrossFadeStartsAtSixTenthsOfThePeriodAndTakesTheRest) {
    auto layer = layerOf(0);
    project->setFltSlideshowFadeIn(0.0f);
    auto first = smallSlide("a", QColor(0, 0, 200));
    first->customSetDurations(3.0f, 3.0f);
    useSlides({first, smallSlide("b", QColor(200, 0, 0))});
    ASSERT_EQ(StageBackground::placeAt(0, project->slideshowArray())->period, 180u);
    layer->SetProjectSlideshowArray(project->slideshowArray());
    layer->initParam();
    makeTarget(16, 9);
    quint64 frame = 0;
    const auto drawNext = [&] {
        layer->setPlayedFrame(frame++);
        draw(*layer, true);
    };
    for (int i = 0; i < 108; ++i)
        drawNext();
    EXPECT_EQ(layer->fBlendFactor(), 0.0f);
    EXPECT_TRUE(colourNear(readTarget().pixel(8, 4), qRgb(0, 0, 200)));
    drawNext();
    EXPECT_NEAR(layer->fBlendFactor(), 1.0f / 72.0f, 1e-6f);
    for (int i = 0; i < 35; ++i)
        drawNext();
    EXPECT_NEAR(layer->fBlendFactor(), 0.5f, 1e-4f);
    EXPECT_TRUE(colourNear(readTarget().pixel(8, 4), qRgb(100, 0, 100), 3));
    draw(*layer, true);
    EXPECT_NEAR(layer->fBlendFactor(), 0.5f, 1e-4f) << "drawing again leaves the backdrop where it was";
    while (frame < 180)
        drawNext();
    EXPECT_EQ(layer->fBlendFactor(), 1.0f);
    drawNext(); // the next period starts on the second slide's picture
    EXPECT_EQ(layer->fBlendFactor(), 0.0f);
    EXPECT_TRUE(colourNear(readTarget().pixel(8, 4), qRgb(200, 0, 0)));
    layer->stop();
    draw(*layer, true);
    EXPECT_TRUE(colourNear(readTarget().pixel(8, 4), qRgb(0, 0, 0))) << "a stopped moving backdrop is black";
}

// Slides of their own lengths, turned by a 3D transition that draws the stage more than once a frame: the
// stage behind each slide is its own picture, also in a play from the middle of the show.
TEST_F(StageBackgroundTest, EachSlideHasItsOwnBackdropForItsWholeLength) {
    setBackdrop(0);
    const QRgb colours[] = {qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200), qRgb(200, 200, 0)};
    const float seconds[] = {1.0f, 12.7f, 0.5f, 1.5f}; // one longer than the project's own length
    std::vector<SlideItemRef> slides;
    for (int i = 0; i < 4; ++i) {
        slides.push_back(smallSlide(QString::number(i), QColor(colours[i]), seconds[i]));
        slides.back()->setTransitionInfo(TransitionManager::transitionInfo("3D", 2));
    }
    useSlides(slides);
    // Early in a slide's own photo part, before its backdrop starts fading into the next one.
    std::vector<std::pair<quint64, quint64>> early;
    quint64 start = project->nFrameSlideshowFadeIn();
    for (const auto& slide : slides) {
        early.emplace_back(start + slide->nPhotoDuration() / 4, start + slide->nPhotoDuration() / 2);
        start += slide->nPhotoDuration() + slide->nTransitionDuration();
    }
    for (const int from : {0, 2}) {
        director->setSlideshowArrayFromIndex(project->slideshowArray(), from);
        makeTarget(64, 36);
        for (int i = from; i < 4; ++i)
            for (const quint64 frame : {early[i].first, early[i].second}) {
                const QRgb stage = frameAt(frame).pixel(2, 2);
                EXPECT_TRUE(colourNear(stage, colours[i]))
                    << "slide " << i << " at frame " << frame << " of a play from " << from << ": "
                    << std::hex << stage;
            }
        director->stop();
    }
}

TEST_F(StageBackgroundTest, AVideoSlideContributesABlackBackdrop) {
    auto clip = platform::makeMainThreadShared<VideoSlideItem>();
    ASSERT_TRUE(rendertest::solid(8, 8, Qt::green).save(contents + "/clip_bk.png"));
    clip->setBackgroudImageFileName("clip_bk.png");
    clip->customSetDurations(1.0f, 1.0f);
    auto layer = layerOf(0);
    useSlides({clip});
    layer->SetProjectSlideshowArray(project->slideshowArray());
    makeTarget(16, 9);
    layer->setPlayedFrame(0);
    draw(*layer, true);
    EXPECT_TRUE(colourNear(readTarget().pixel(8, 4), qRgb(0, 0, 0)));
}

TEST_F(StageBackgroundTest, AMovingBackdropWithoutSlidesStartsNoLoaderAndDrawsBlack) {
    auto layer = layerOf(0);
    layer->SetProjectSlideshowArray({});
    EXPECT_FALSE(layer->isLoaderRunning());
    makeTarget(16, 9);
    draw(*layer, true); // must not wait for a loader that never comes
    EXPECT_TRUE(colourNear(readTarget().pixel(8, 4), qRgb(0, 0, 0)));
}

TEST_F(StageBackgroundTest, ANewRunEndsThePreviousLoaderBeforeItsCacheFills) {
    auto layer = layerOf(0);
    const auto old =
        std::vector<SlideItemRef>{smallSlide("o1", QColor(0, 0, 200)), smallSlide("o2", QColor(0, 0, 200))};
    const auto fresh =
        std::vector<SlideItemRef>{smallSlide("n1", QColor(0, 200, 0)), smallSlide("n2", QColor(0, 200, 0))};
    for (int round = 0; round < 5; ++round) {
        layer->SetProjectSlideshowArray(old);
        layer->SetProjectSlideshowArray(fresh);
        ASSERT_TRUE(waitUntil([&] { return layer->cacheCount() >= 2; }));
        for (std::size_t i = 0; i < 4; ++i) {
            const auto entry = layer->backdropOf(i % 2);
            ASSERT_TRUE(entry.has_value());
            EXPECT_EQ(entry->slide, fresh[i % 2]) << "an old run's slide";
        }
    }
    layer->stop();
}

TEST_F(StageBackgroundTest, AFrameWaitingForABackdropLetsTheLoaderIntoTheDriverToUploadIt) {
    const HangGuard guard("a frame's wait for a backdrop", std::chrono::seconds(60));
    auto layer = layerOf(0);
    const auto slides = std::vector<SlideItemRef>{smallSlide("w", QColor(0, 0, 200))};
    // Taken as a frame holds it, before the loader starts: its upload must wait until the frame lets go.
    const platform::gl::DriverLock drawing;
    layer->SetProjectSlideshowArray(slides);
    const auto entry = layer->backdropOf(0);
    ASSERT_TRUE(entry.has_value());
    ASSERT_TRUE(entry->texture);
    EXPECT_NE(entry->texture->textureID(), 0u);
    EXPECT_TRUE(platform::gl::DriverLock::isHeldHere());
    layer->stop();
}

TEST_F(StageBackgroundTest, TheStageShowsRoundAPhotoAndThroughItsTransparentParts) {
    ASSERT_TRUE(rendertest::solid(40, 30, QColor(0, 160, 0)).save(contents + "/stage.png"));
    project->setStrThemeBackground("stage.png");
    setBackdrop(0);
    // Placed off the middle, so that the stage must show on every side of it: a wrongly placed skip of
    // the stage beneath an opaque photo leaves black there; beneath a see-through one, black inside (where
    // the half-transparent white, stored premultiplied and blended by its alpha, gives 64 over the stage).
    const struct {
        QColor colour;
        QRgb inside;
    } cases[] = {{QColor(255, 255, 255), qRgb(255, 255, 255)},
                 {QColor(255, 255, 255, 128), qRgb(64, 144, 64)}};
    for (const auto& c : cases) {
        auto slide = photo("p.png", rendertest::solid(32, 18, c.colour), 1.0f, 1.0f);
        slide->setZoomStart(0.5);
        slide->setZoomEnd(0.5);
        slide->setPanStartPoint(QPointF(0.2, 0.1));
        slide->setPanEndPoint(QPointF(0.2, 0.1));
        useSlides({slide});
        director->setSlideshowArray(project->slideshowArray());
        makeTarget(64, 36);
        const QImage frame = frameAt(0);
        EXPECT_TRUE(colourNear(frame.pixel(38, 16), c.inside, 6)) << std::hex << frame.pixel(38, 16);
        for (const QPoint& outside : {QPoint(2, 16), QPoint(62, 16), QPoint(38, 1), QPoint(38, 34)})
            EXPECT_TRUE(colourNear(frame.pixel(outside), qRgb(0, 160, 0)))
                << outside.x() << "," << outside.y();
    }
}

// The earlier drawing moves itself on a frame per call and wraps at the show's end: round again while the
// run loops, else it stops and stays black.
TEST_F(StageBackgroundTest, TheEarlierDrawingCountsItsOwnFramesAndStopsAtTheEndUnlessLooping) {
    auto layer = layerOf(0);
    project->setFltSlideshowFadeIn(0.0f);
    useSlides({smallSlide("a", QColor(0, 0, 200), 0.2f), smallSlide("b", QColor(200, 0, 0), 0.2f)});
    const quint64 firstPeriod = StageBackground::placeAt(0, project->slideshowArray())->period;
    makeTarget(16, 9);
    for (const bool loop : {true, false}) {
        SCOPED_TRACE(loop ? "looping" : "once");
        layer->SetProjectSlideshowArray(project->slideshowArray(), 0, loop);
        layer->setTotalFrame(project->totalFrameCount());
        std::vector<QRgb> stage;
        for (quint64 frame = 0; frame < layer->nSlideShowTotalFrame() + 2; ++frame) {
            drawEarlier(*layer, true);
            stage.push_back(readTarget().pixel(8, 4));
        }
        EXPECT_TRUE(colourNear(stage[0], qRgb(0, 0, 200)));
        EXPECT_TRUE(colourNear(stage[firstPeriod], qRgb(200, 0, 0))) << "the second slide's period";
        const QRgb wrapped = stage[layer->nSlideShowTotalFrame()];
        EXPECT_TRUE(colourNear(wrapped, loop ? qRgb(0, 0, 200) : qRgb(0, 0, 0)));
        EXPECT_TRUE(colourNear(stage.back(), loop ? qRgb(0, 0, 200) : qRgb(0, 0, 0)));
        EXPECT_EQ(layer->isStopped(), !loop);
    }
}

// Turning the backdrop over gives the same picture as the mirrored coordinates, also with culling on.
TEST_F(StageBackgroundTest, TheEarlierDrawingTurnsTheBackdropOverForTheMirroredPicture) {
    auto layer = layerOf(0);
    auto slide = smallSlide("a", QColor());
    ASSERT_TRUE(
        render_test::topAndBottom(32, 18, QColor(0, 200, 0), QColor(0, 0, 200)).save(contents + "/ab.png"));
    slide->setBackgroudImageFileName("ab.png");
    useSlides({slide});
    layer->SetProjectSlideshowArray(project->slideshowArray());
    layer->setTotalFrame(project->totalFrameCount());
    makeTarget(16, 18);
    {
        const platform::gl::DriverLock driver;
        glEnable(GL_CULL_FACE);
    }
    for (const bool flip : {true, false}) {
        layer->initParam();
        drawEarlier(*layer, flip);
        const QImage earlier = readTarget();
        draw(*layer, flip);
        const QImage later = readTarget();
        for (const int y : {2, 15})
            EXPECT_TRUE(colourNear(earlier.pixel(8, y), later.pixel(8, y))) << flip << " row " << y;
        EXPECT_FALSE(colourNear(later.pixel(8, 2), later.pixel(8, 15))) << "the rows differ";
    }
}

TEST_F(StageBackgroundTest, TheEarlierDrawingShowsTheUsersPictureOnlyOnceItWasRead) {
    ASSERT_TRUE(rendertest::solid(40, 30, QColor(0, 160, 0)).save(contents + "/stage.png"));
    project->setStrThemeBackground("stage.png");
    auto layer = std::make_shared<StageBackground>();
    layer->setMainContext(context);
    layer->initForNewProject();
    makeTarget(16, 9);
    drawEarlier(*layer, true);
    EXPECT_TRUE(colourNear(readTarget().pixel(8, 4), qRgb(0, 0, 0)));
    draw(*layer, true);
    drawEarlier(*layer, true);
    EXPECT_TRUE(colourNear(readTarget().pixel(8, 4), qRgb(0, 160, 0)));
}

// The picture the project names for the stage is read once a run, by its first drawing: a file that goes bad
// later leaves the run's stage as it was, at every slide; the next run that cannot read it whole shows black
// (or what of it decoded) and tells so, for an export to fail by.
TEST_F(StageBackgroundTest, TheUsersPictureIsReadOnceARunAndAFailedReadIsTold) {
    using namespace test_support;
    const FileLoss losses[] = {{"taken away", takeAway},
                               {"cut to 0 bytes", cutToNothing},
                               {"cut inside its coded data", cutInsideItsCodedData},
                               {"replaced by a pipe", replaceByAPipe}};
    const QString stage = contents + "/stage.jpg";
    project->setStrThemeBackground("stage.jpg");
    auto layer = layerOf(2);
    useSlides({smallSlide("a", QColor())});
    makeTarget(64, 36);
    for (const FileLoss& loss : losses) {
        SCOPED_TRACE(loss.how);
        QFile::remove(stage);
        ASSERT_TRUE(ColourBars::frame(QSize(640, 360), 0).save(stage, "JPG"));
        layer->SetProjectSlideshowArray(project->slideshowArray());
        draw(*layer, true);
        const QImage shown = readTarget();
        EXPECT_FALSE(colourNear(shown.pixel(4, 18), qRgb(0, 0, 0)));
        EXPECT_FALSE(layer->userPictureUnreadable());
        ASSERT_TRUE(loss.lose(stage));
        layer->initParam(); // as every slide's start does
        draw(*layer, true);
        EXPECT_EQ(readTarget(), shown) << "the run's picture, kept";
        EXPECT_FALSE(layer->userPictureUnreadable());
        layer->SetProjectSlideshowArray(project->slideshowArray());
        draw(*layer, true);
        EXPECT_TRUE(layer->userPictureUnreadable()) << "the next run's";
    }
    QFile::remove(stage);
}

// A frame waits for the backdrops of the slide on stage and the next one (the one there is, in a show of one
// slide); at once without a loader of a moving backdrop, or once stopped.
TEST_F(StageBackgroundTest, WaitingForTheCacheEndsWithTwoBackdropsOrWhatAShortShowHas) {
    auto layer = layerOf(2);
    layer->SetProjectSlideshowArray({smallSlide("still", QColor(0, 0, 200))});
    EXPECT_FALSE(layer->backdropOf(0)) << "no moving backdrop: at once";
    layer->setTheme({{"backgroundID", 0}});
    EXPECT_FALSE(layer->backdropOf(0)) << "no loader: at once";
    for (const std::size_t count : {std::size_t(1), std::size_t(4)}) {
        std::vector<SlideItemRef> slides;
        for (std::size_t i = 0; i < count; ++i)
            slides.push_back(smallSlide(QString::number(i), QColor(0, 0, 200)));
        layer->SetProjectSlideshowArray(slides);
        for (std::size_t i = 0; i < std::min<std::size_t>(2, count); ++i) {
            const auto entry = layer->backdropOf(i);
            ASSERT_TRUE(entry.has_value()) << count << " slides, slide " << i;
            EXPECT_EQ(entry->slide, slides[i]);
        }
        EXPECT_GE(layer->cacheCount(), std::min<std::size_t>(2, count)) << count << " slides";
    }
    layer->stop();
    EXPECT_FALSE(layer->backdropOf(0)) << "stopped: at once";
}
