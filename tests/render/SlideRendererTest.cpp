#include "PlayerTestSupport.h"

#include "platform/gl/DriverLock.h"
#include "render/FrameBufferObject.h"
#include "render/OpenGLRenderObject.h"
#include "render/RenderGlobals.h"
#include "render/SlideshowImageObject.h"
#include "render/StageBackground.h"

#include <QPainter>

#include <cmath>

using rendertest::colourNear;

// Slides drawn straight through a renderer of their own, as the pan-and-zoom editor draws them.
class SlideRendererTest : public PlayerTest {
protected:
    // A renderer holding `slide` with its textures loaded.
    std::shared_ptr<SlideshowImageObject> rendererFor(const SlideItemRef& slide) {
        auto renderer = std::make_shared<SlideshowImageObject>();
        renderer->setBackgrondRender(director->backgroundRender());
        auto textures = SlideTextures::forSlide(slide);
        textures->ensureLoaded();
        renderer->setSlideItemData(slide, textures);
        renderer->initSlideshowParam();
        return renderer;
    }
    // Under the driver lock, as the view draws a still picture.
    QImage draw(SlideshowImageObject& renderer, quint64 frame, bool flip = true) {
        const platform::gl::DriverLock driver;
        renderer.playSlideshow(frame, 0, flip, true);
        return readTarget();
    }
};

TEST_F(SlideRendererTest, ASolidSlideFillsAViewOfItsOwnShape) {
    const auto slide = photo("red.png", rendertest::solid(160, 90, QColor(200, 30, 40)));
    useSlides({slide});
    auto renderer = rendererFor(slide);
    makeTarget(64, 36);
    const QImage frame = draw(*renderer, 10);
    for (QPoint p : {QPoint(0, 0), QPoint(63, 35), QPoint(32, 18), QPoint(5, 30)})
        EXPECT_TRUE(colourNear(frame.pixel(p), qRgb(200, 30, 40))) << p.x() << "," << p.y();
}

TEST_F(SlideRendererTest, AFourByThreePhotoIsPillarBoxedInASixteenByNineView) {
    const auto slide = photo("square.png", rendertest::solid(120, 90, Qt::white));
    useSlides({slide});
    auto renderer = rendererFor(slide);
    makeTarget(160, 90);
    const QRect lit = rendertest::litBounds(draw(*renderer, 0));
    // It fills the height and is 4:3 wide: 120 of 160 pixels, centred.
    EXPECT_NEAR(lit.width(), 120, 2);
    EXPECT_NEAR(lit.height(), 90, 1);
    EXPECT_NEAR(lit.left(), 20, 1);
}

TEST_F(SlideRendererTest, AWidePhotoIsLetterBoxedInAFourByThreeView) {
    const auto slide = photo("wide.png", rendertest::solid(210, 90, Qt::white)); // 21:9
    useSlides({slide});
    auto renderer = rendererFor(slide);
    makeTarget(120, 90);
    const QRect lit = rendertest::litBounds(draw(*renderer, 0));
    EXPECT_NEAR(lit.width(), 120, 1);
    EXPECT_NEAR(lit.height(), 120.0 * 9 / 21, 2);
    EXPECT_NEAR(lit.center().y(), 45, 1);
}

TEST_F(SlideRendererTest, PanMovesThePictureByTheGivenFractionOfTheViewOverTheMotion) {
    const auto slide = photo("white.png", rendertest::solid(160, 90, Qt::white));
    slide->setZoomStart(0.5);
    slide->setZoomEnd(0.5);
    slide->setPanStartPoint(QPointF(0.2, 0.1));
    slide->setPanEndPoint(QPointF(0.0, 0.0));
    useSlides({slide});
    auto renderer = rendererFor(slide);
    const quint64 n = renderer->nTotalFrames();
    ASSERT_EQ(n, 30u); // the only slide: no fades, 1 s of photo
    makeTarget(160, 90);
    // Pan offsets are in view halves: 0.2 moves right by a tenth of the width, 0.1 up by a twentieth.
    QPointF centre = playertest::litCentre(draw(*renderer, 0));
    EXPECT_NEAR(centre.x(), 80 + 16, 1.0);
    EXPECT_NEAR(centre.y(), 45 - 4.5, 1.0);
    centre = playertest::litCentre(draw(*renderer, n / 2));
    EXPECT_NEAR(centre.x(), 80 + 8, 1.0);
    EXPECT_NEAR(centre.y(), 45 - 2.25, 1.0);
    centre = playertest::litCentre(draw(*renderer, n));
    EXPECT_NEAR(centre.x(), 80, 1.0);
    EXPECT_NEAR(centre.y(), 45, 1.0);
}

TEST_F(SlideRendererTest, ZoomScalesThePictureAboutTheCentreOverTheMotion) {
    const auto slide = photo("white.png", rendertest::solid(160, 90, Qt::white));
    slide->setZoomStart(0.5);
    slide->setZoomEnd(1.0);
    useSlides({slide});
    auto renderer = rendererFor(slide);
    const quint64 n = renderer->nTotalFrames();
    makeTarget(160, 90);
    EXPECT_NEAR(rendertest::litBounds(draw(*renderer, 0)).width(), 80, 2);
    EXPECT_NEAR(rendertest::litBounds(draw(*renderer, n / 2)).width(), 120, 2);
    const QRect end = rendertest::litBounds(draw(*renderer, n));
    EXPECT_NEAR(end.width(), 160, 1);
    EXPECT_NEAR(end.height(), 90, 1);
    EXPECT_NEAR(renderer->zoomAt(double(n) / 4), 0.625, 1e-9);
}

TEST_F(SlideRendererTest, AQuarterTurnTurnsThePictureClockwiseAndFramesBuffersDrawItMirrored) {
    const auto slide = photo("quarters.png", rendertest::quarters(64, 64));
    slide->setRotateAngle(SlideItem::kRotateZStart, M_PI / 2);
    slide->setRotateAngle(SlideItem::kRotateZEnd, M_PI / 2);
    useSlides({slide});
    auto renderer = rendererFor(slide);
    makeTarget(64, 64);
    QImage frame = draw(*renderer, 5);
    // Red, top left in the picture, comes to the top right; blue (bottom left) to the top left.
    EXPECT_TRUE(colourNear(frame.pixel(48, 16), qRgb(255, 0, 0)));
    EXPECT_TRUE(colourNear(frame.pixel(16, 16), qRgb(0, 0, 255)));
    EXPECT_TRUE(colourNear(frame.pixel(16, 48), qRgb(255, 255, 255)));
    // Drawn for a frame buffer, the whole picture is upside down: the same turn, mirrored vertically.
    frame = draw(*renderer, 5, false);
    EXPECT_TRUE(colourNear(frame.pixel(48, 48), qRgb(255, 0, 0)));
    EXPECT_TRUE(colourNear(frame.pixel(16, 48), qRgb(0, 0, 255)));
}

TEST_F(SlideRendererTest, ATurnFromZeroToAQuarterIsHalfWayAtTheMiddleOfTheMotion) {
    const auto slide = photo("bar.png", rendertest::solid(64, 64, Qt::white));
    slide->setZoomStart(0.5);
    slide->setZoomEnd(0.5);
    slide->setRotateAngle(SlideItem::kRotateZEnd, M_PI / 2);
    useSlides({slide});
    auto renderer = rendererFor(slide);
    makeTarget(64, 64);
    // A square turned by 45 degrees reaches further out: its lit width is the diagonal.
    const QRect halfWay = rendertest::litBounds(draw(*renderer, renderer->nTotalFrames() / 2));
    EXPECT_NEAR(halfWay.width(), 32 * std::sqrt(2.0), 2.0);
    EXPECT_NEAR(rendertest::litBounds(draw(*renderer, 0)).width(), 32, 1);
}

TEST_F(SlideRendererTest, NoSlideDrawsOnlyTheStage) {
    auto renderer = std::make_shared<SlideshowImageObject>();
    renderer->setBackgrondRender(director->backgroundRender());
    makeTarget(32, 18);
    {
        const platform::gl::DriverLock driver;
        glClearColor(1, 1, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    EXPECT_TRUE(colourNear(draw(*renderer, 3).pixel(10, 10), qRgb(0, 0, 0)));
}

TEST_F(SlideRendererTest, TheCaptionBandRisesStandsAndSinksWithinTheMiddleHalfOfTheMotion) {
    const auto slide = photo("dark.png", rendertest::solid(160, 90, QColor(0, 0, 80)), 5.0f, 1.0f);
    ASSERT_TRUE(rendertest::solid(160, 16, QColor(255, 255, 0)).save(contents + "/caption.png"));
    slide->setTextImageFileName("caption.png");
    slide->setStrPhotoDescription("A caption");
    useSlides({slide});
    auto renderer = rendererFor(slide);
    const quint64 n = renderer->nTotalFrames(); // 150 frames of photo
    ASSERT_EQ(n, 150u);
    makeTarget(160, 90);
    const auto yellowRows = [](const QImage& frame) {
        int rows = 0;
        for (int y = 0; y < frame.height(); ++y)
            rows += colourNear(frame.pixel(80, y), qRgb(255, 255, 0), 10) ? 1 : 0;
        return rows;
    };
    EXPECT_EQ(yellowRows(draw(*renderer, n / 4 - 1)), 0) << "not before a quarter of the motion";
    EXPECT_EQ(yellowRows(draw(*renderer, n / 4)), 0) << "it starts just below the view";
    QImage standing = draw(*renderer, n / 2);
    EXPECT_NEAR(yellowRows(standing), 9, 1) << "the bottom tenth";
    EXPECT_TRUE(colourNear(standing.pixel(80, 86), qRgb(255, 255, 0), 10));
    EXPECT_TRUE(colourNear(standing.pixel(80, 40), qRgb(0, 0, 80), 10));
    const int rising = yellowRows(draw(*renderer, n / 4 + 6));
    EXPECT_GT(rising, 0);
    EXPECT_LT(rising, 9);
    EXPECT_EQ(yellowRows(draw(*renderer, 3 * n / 4 + 1)), 0) << "gone after three quarters";
    // Into a frame buffer the band is drawn at the top, upside down, like the slide.
    standing = draw(*renderer, n / 2, false);
    EXPECT_TRUE(colourNear(standing.pixel(80, 3), qRgb(255, 255, 0), 10));
}

TEST_F(SlideRendererTest, MotionLengthsCoverWhatBringsTheSlideOnAndTakesItOff) {
    project->setFltSlideshowFadeIn(0.5f);
    project->setFltSlideshowFadeOut(1.0f);
    const auto a = photo("a.png", rendertest::solid(8, 8, Qt::red), 2.0f, 1.0f);
    const auto b = photo("b.png", rendertest::solid(8, 8, Qt::red), 3.0f, 0.5f);
    const auto c = photo("c.png", rendertest::solid(8, 8, Qt::red), 1.0f, 2.0f);
    useSlides({a, b, c});
    EXPECT_EQ(rendererFor(a)->nTotalFrames(), 15u + 60u + 30u);
    EXPECT_EQ(rendererFor(b)->nTotalFrames(), 30u + 90u + 15u);
    EXPECT_EQ(rendererFor(c)->nTotalFrames(), 15u + 30u + 30u); // leaves through the fade-out
    const auto stranger = photo("d.png", rendertest::solid(8, 8, Qt::red));
    EXPECT_EQ(rendererFor(stranger)->nTotalFrames(), 120u + 30u) << "the default photo + half a transition";
}

TEST_F(SlideRendererTest, AFrameBufferMadeForTheScreenTakesTheProjectsScreenSize) {
    project->setNScreenWidth(200);
    project->setNScreenHeight(150);
    FrameBufferObject fbo;
    ASSERT_TRUE(fbo.initFBO());
    EXPECT_EQ(fbo.texWidth(), 200);
    EXPECT_EQ(fbo.texHeight(), 150);
    project->setNScreenWidth(0);
    EXPECT_FALSE(FrameBufferObject().initFBO());
}
