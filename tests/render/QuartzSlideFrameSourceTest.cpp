#include "PlayerTestSupport.h"

#include "model/QuartzSlideItem.h"
#include "platform/foundation/MainThread.h"
#include "platform/gl/DriverLock.h"
#include "render/QuartzSlideFrameSource.h"
#include "render/SlideTextures.h"
#include "render/SlideshowImageObject.h"
#include "support/ClipMaker.h"

#include <QFile>

using rendertest::colourNear;

class QuartzSlideFrameSourceTest : public PlayerTest {
protected:
    // A renderer holding the slide, as the player sets one up, and the slide's source.
    std::shared_ptr<SlideshowImageObject> rendererFor(const SlideItemRef& slide) {
        auto renderer = std::make_shared<SlideshowImageObject>();
        renderer->setBackgrondRender(director->backgroundRender());
        auto set = SlideTextures::forSlide(slide);
        set->ensureLoaded();
        renderer->setSlideItemData(slide, set);
        renderer->initSlideshowParam();
        source = std::dynamic_pointer_cast<QuartzSlideFrameSource>(set->frameSource());
        return renderer;
    }

    // Draws frame `n` of the slide under the driver lock, as the player does.
    static void draw(SlideshowImageObject& renderer, quint64 n) {
        const platform::gl::DriverLock driver;
        renderer.playSlideshow(n, 0, true, true);
    }

    float percentDone() const {
        return source->myQuartzBufferRender()->composition()->valueForInputKey("percentDone").toFloat();
    }

    std::shared_ptr<QuartzSlideFrameSource> source;
};

TEST_F(QuartzSlideFrameSourceTest, TheSlideShowsItsCompositionAtTheSlidesTime) {
    auto slide = compositionSlide(writeComposition());
    useSlides({slide});
    auto renderer = rendererFor(slide);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->dimensions(), QSize(1280, 720));
    EXPECT_FLOAT_EQ(source->myQuartzBufferRender()->duration(), 4.0f);
    makeTarget(64, 36);
    draw(*renderer, 30); // 1 s into a slide of 4 s
    EXPECT_FLOAT_EQ(percentDone(), 0.25f);
    const QImage frame = readTarget();
    EXPECT_TRUE(colourNear(frame.pixel(8, 4), qRgb(255, 0, 0), 6)) << "the square stands top left";
    EXPECT_TRUE(colourNear(frame.pixel(48, 4), qRgb(0, 0, 0), 6));
    EXPECT_TRUE(colourNear(frame.pixel(8, 33), qRgb(0, 255, 0), 6)) << "a quarter of the bar";
    EXPECT_TRUE(colourNear(frame.pixel(40, 33), qRgb(0, 0, 0), 6));
}

TEST_F(QuartzSlideFrameSourceTest, ThePartPlayedNeverGoesBeyondTheWhole) {
    auto slide = compositionSlide(writeComposition(), 1.0f);
    useSlides({slide});
    auto renderer = rendererFor(slide);
    ASSERT_TRUE(source);
    makeTarget(64, 36);
    draw(*renderer, 45); // the lead-out after a photo part of 1 s
    EXPECT_FLOAT_EQ(percentDone(), 1.0f);
    EXPECT_TRUE(colourNear(readTarget().pixel(60, 33), qRgb(0, 255, 0), 6)) << "the bar is full, no more";
}

TEST_F(QuartzSlideFrameSourceTest, OverAClipTheCompositionGetsTheClipAndItsLength) {
    ClipMaker::Options options;
    options.size = QSize(64, 32);
    options.frames = 360;
    const QString clip = folder->file("twelve.mp4");
    ASSERT_TRUE(ClipMaker::make(clip, options));
    auto slide = platform::makeMainThreadShared<QuartzSlideItem>();
    slide->setStrQuartzFilePath(writeComposition());
    slide->setBVideoItem(true);
    slide->setStrVideoFilePath(clip);
    slide->customSetDurations(4.0f, 2.0f);
    slide->openComposition(context);
    useSlides({slide});
    rendererFor(slide);
    ASSERT_TRUE(source);
    EXPECT_NEAR(source->myQuartzBufferRender()->duration(), 10.0f, 0.05f);
    EXPECT_EQ(source->dimensions(), QSize(64, 32));
    const Composition& composition = *source->myQuartzBufferRender()->composition();
    EXPECT_EQ(composition.valueForInputKey("MoviePath").toString(), clip);
    EXPECT_EQ(composition.valueForInputKey("Looping"), QVariant(false));
}

TEST_F(QuartzSlideFrameSourceTest, ASlideWhoseCompositionDoesNotLoadShowsTheStage) {
    auto missing = compositionSlide(folder->file("missing.vcomp"));
    QFile foreign(folder->file("other.qtz"));
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write("not ours");
    foreign.close();
    auto other = compositionSlide(foreign.fileName());
    auto none = compositionSlide(QString());
    for (const auto& slide : {missing, other, none}) {
        useSlides({slide});
        auto renderer = rendererFor(slide);
        EXPECT_FALSE(source);
        makeTarget(16, 9);
        draw(*renderer, 3);
        EXPECT_TRUE(colourNear(readTarget().pixel(8, 4), qRgb(0, 0, 0)));
    }
}

TEST_F(QuartzSlideFrameSourceTest, AStoppedSlideKeepsItsLastPicture) {
    auto slide = compositionSlide(writeComposition());
    useSlides({slide});
    auto renderer = rendererFor(slide);
    ASSERT_TRUE(source);
    makeTarget(64, 36);
    draw(*renderer, 30);
    slide->stop();
    draw(*renderer, 90);
    EXPECT_TRUE(source->myQuartzBufferRender()->isStopped());
    EXPECT_TRUE(colourNear(readTarget().pixel(40, 33), qRgb(0, 0, 0), 6)) << "the bar stays at a quarter";
}

TEST_F(QuartzSlideFrameSourceTest, AReloadedSlideOpensOnThePlayersContext) {
    auto slide = platform::makeMainThreadShared<QuartzSlideItem>();
    ASSERT_TRUE(QFile::copy(writeComposition(), contents + "/bars.vcomp"));
    slide->setStrQuartzFilePath(contents + "/bars.vcomp");
    slide->customSetDurations(2.0f, 0.0f);
    auto back = std::dynamic_pointer_cast<QuartzSlideItem>(
        platform::KeyedUnarchiver::unarchiveObject(platform::KeyedArchiver::archivedData(slide)));
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->compositionContext());
    ASSERT_TRUE(back->locateFilesInProject(contents)) << "as its project does when it opens";
    useSlides({back});
    rendererFor(back);
    ASSERT_TRUE(source) << "shared with the player's main context";
    EXPECT_EQ(source->dimensions(), QSize(1280, 720));
}
