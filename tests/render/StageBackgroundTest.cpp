#include "PlayerTestSupport.h"

#include "model/VideoSlideItem.h"
#include "render/StageBackground.h"

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
    SlideItemRef smallSlide(const QString& name, const QColor& backdrop) {
        auto slide = photo(name + ".png", rendertest::solid(32, 18, Qt::white), 1.0f, 1.0f);
        slide->setZoomStart(0.5);
        slide->setZoomEnd(0.5);
        if (backdrop.isValid()) {
            EXPECT_TRUE(rendertest::solid(32, 18, backdrop).save(contents + "/" + name + "_bk.png"));
            slide->setBackgroudImageFileName(name + "_bk.png");
        }
        return slide;
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
    useSlides({smallSlide("a", QColor(0, 0, 200)), smallSlide("b", QColor(200, 0, 200))});
    const auto [stage, slide] = firstFrame();
    EXPECT_TRUE(colourNear(stage, qRgb(0, 0, 200)));
    EXPECT_TRUE(colourNear(slide, qRgb(255, 255, 255)));
    EXPECT_TRUE(director->backgroundRender()->isLoaderRunning());
    EXPECT_TRUE(waitUntil([&] { return director->backgroundRender()->cacheCount() == 3; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(director->backgroundRender()->cacheCount(), 3u) << "the loader stays three entries ahead";
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
    auto layer = std::make_shared<StageBackground>();
    layer->setMainContext(context);
    layer->setTheme({{"backgroundID", 0}});
    useSlides({smallSlide("a", QColor(0, 0, 200)), smallSlide("b", QColor(200, 0, 0))});
    layer->setSlideshowDuration(180);
    layer->SetProjectSlideshowArray(project->slideshowArray());
    layer->setTotalFrame(100000);
    layer->initParam();
    makeTarget(16, 9);
    for (int i = 0; i < 108; ++i)
        layer->DrawOneFrame(true);
    EXPECT_EQ(layer->fBlendFactor(), 0.0f);
    EXPECT_TRUE(colourNear(readTarget().pixel(8, 4), qRgb(0, 0, 200)));
    layer->DrawOneFrame(true);
    EXPECT_NEAR(layer->fBlendFactor(), 1.0f / 72.0f, 1e-6f);
    for (int i = 0; i < 35; ++i)
        layer->DrawOneFrame(true);
    EXPECT_NEAR(layer->fBlendFactor(), 0.5f, 1e-4f);
    EXPECT_TRUE(colourNear(readTarget().pixel(8, 4), qRgb(100, 0, 100), 3));
    while (layer->fBlendFactor() < 1.0f && layer->nFrameInSlide() != 0)
        layer->DrawOneFrame(true);
    layer->DrawOneFrame(true); // the next period starts on the second slide's picture
    EXPECT_EQ(layer->fBlendFactor(), 0.0f);
    EXPECT_TRUE(colourNear(readTarget().pixel(8, 4), qRgb(200, 0, 0)));
    layer->stop();
    layer->DrawOneFrame(true);
    EXPECT_TRUE(colourNear(readTarget().pixel(8, 4), qRgb(0, 0, 0))) << "a stopped moving backdrop is black";
}

TEST_F(StageBackgroundTest, AVideoSlideContributesABlackBackdrop) {
    auto clip = std::make_shared<VideoSlideItem>();
    ASSERT_TRUE(rendertest::solid(8, 8, Qt::green).save(contents + "/clip_bk.png"));
    clip->setBackgroudImageFileName("clip_bk.png");
    clip->customSetDurations(1.0f, 1.0f);
    auto layer = std::make_shared<StageBackground>();
    layer->setMainContext(context);
    layer->setTheme({{"backgroundID", 0}});
    useSlides({clip});
    layer->SetProjectSlideshowArray(project->slideshowArray());
    layer->setTotalFrame(1000);
    makeTarget(16, 9);
    layer->DrawOneFrame(true);
    EXPECT_TRUE(colourNear(readTarget().pixel(8, 4), qRgb(0, 0, 0)));
}

TEST_F(StageBackgroundTest, AMovingBackdropWithoutSlidesStartsNoLoaderAndDrawsBlack) {
    auto layer = std::make_shared<StageBackground>();
    layer->setMainContext(context);
    layer->setTheme({{"backgroundID", 0}});
    layer->SetProjectSlideshowArray({});
    EXPECT_FALSE(layer->isLoaderRunning());
    makeTarget(16, 9);
    layer->DrawOneFrame(true); // must not wait for a loader that never comes
    EXPECT_TRUE(colourNear(readTarget().pixel(8, 4), qRgb(0, 0, 0)));
}

TEST_F(StageBackgroundTest, ANewRunEndsThePreviousLoaderBeforeItsCacheFills) {
    auto layer = std::make_shared<StageBackground>();
    layer->setMainContext(context);
    layer->setTheme({{"backgroundID", 0}});
    const auto old =
        std::vector<SlideItemRef>{smallSlide("o1", QColor(0, 0, 200)), smallSlide("o2", QColor(0, 0, 200))};
    const auto fresh =
        std::vector<SlideItemRef>{smallSlide("n1", QColor(0, 200, 0)), smallSlide("n2", QColor(0, 200, 0))};
    for (int round = 0; round < 5; ++round) {
        layer->SetProjectSlideshowArray(old);
        layer->SetProjectSlideshowArray(fresh);
        ASSERT_TRUE(waitUntil([&] { return layer->cacheCount() >= 3; }));
        for (int i = 0; i < 4; ++i) {
            const auto entry = layer->getFirstTextureFromCache();
            ASSERT_TRUE(entry.has_value());
            if (!entry->isEndMarker()) {
                EXPECT_TRUE(entry->slide == fresh[0] || entry->slide == fresh[1]) << "an old run's slide";
            }
            layer->getSecondTextureFromCache();
        }
    }
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
