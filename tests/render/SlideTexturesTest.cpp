#include "PlayerTestSupport.h"

#include "model/VideoSlideItem.h"
#include "platform/foundation/MainThread.h"
#include "platform/gl/DriverLock.h"
#include "render/SlideFrameSource.h"
#include "render/SlideTextures.h"
#include "render/SlideshowImageObject.h"
#include "render/StageBackground.h"

using platform::gl::DriverLock;
using rendertest::colourNear;

namespace {

// Clip frames as a clip reader hands them over: a texture stored top row first. Made and let go where the
// product makes and drops frame sources, with no lock held: it takes the driver lock itself, as a reader
// does.
class StillFrames : public SlideFrameSource {
public:
    StillFrames(const QImage& picture, int turn) : turn(turn), size(picture.size()) {
        const QImage pixels = picture.convertToFormat(QImage::Format_RGBA8888);
        const DriverLock driver;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, size.width(), size.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     pixels.constBits());
    }
    ~StillFrames() override {
        const DriverLock driver;
        glDeleteTextures(1, &name);
    }
    bool LoadOneFrameToOpenGLTexture(quint64 frame) override {
        frames.push_back(frame);
        return true;
    }
    GLuint texture() const override { return name; }
    QSize dimensions() const override { return size; }
    int orientation() const override { return turn; }

    std::vector<quint64> frames;

private:
    GLuint name = 0;
    int turn;
    QSize size;
};

} // namespace

class SlideTexturesTest : public PlayerTest {
protected:
    void TearDown() override {
        setSlideFrameSourceFactory(SlideItem::kItemTypeVideo, nullptr);
        PlayerTest::TearDown();
    }
};

TEST_F(SlideTexturesTest, ASlideHasOneSetWhileAnyoneHoldsItAndLoadsItOnce) {
    const auto slide = photo("a.png", rendertest::solid(40, 30, Qt::red));
    auto first = SlideTextures::forSlide(slide);
    EXPECT_EQ(SlideTextures::forSlide(slide), first);
    first->ensureLoaded();
    const auto picture = first->textureObj();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->textWidth(), 40);
    first->ensureLoaded();
    EXPECT_EQ(first->textureObj(), picture) << "loaded once";
    EXPECT_FALSE(first->textTextureObj()) << "no caption picture";
    const GLuint name = picture->textureID();
    first.reset(); // its last holder lets go, as a stop does
    {
        const DriverLock driver;
        EXPECT_TRUE(glIsTexture(name)) << "still held here";
    }
    EXPECT_EQ(picture.use_count(), 1);
    const auto again = SlideTextures::forSlide(slide);
    ASSERT_NE(again.get(), nullptr);
    EXPECT_FALSE(again->textureObj()) << "a new set, which loads anew";
}

TEST_F(SlideTexturesTest, TheThemesPhotoFilterAndBackgroundPictureAreApplied) {
    const auto slide = photo("a.png", rendertest::solid(8, 8, QColor(200, 40, 40)));
    const QImage grey = SlideTextures::slidePicture(*slide, {{"PhotoFilter", "Grayscale"}});
    const QRgb p = grey.pixel(4, 4);
    EXPECT_EQ(qRed(p), qGreen(p));
    EXPECT_EQ(qGreen(p), qBlue(p));
    EXPECT_TRUE(colourNear(SlideTextures::slidePicture(*slide, {}).pixel(4, 4), qRgb(200, 40, 40)));
    ASSERT_TRUE(rendertest::solid(6, 6, Qt::blue).save(contents + "/a_bk.png"));
    slide->setBackgroudImageFileName("a_bk.png");
    auto set = SlideTextures::forSlide(slide);
    set->loadBackgroundTextureObj();
    ASSERT_TRUE(set->backgroundTextureObj());
    EXPECT_EQ(set->backgroundTextureObj()->textWidth(), 6);
}

TEST_F(SlideTexturesTest, AClipSlideDrawsTheFramesOfItsSourceTurnedByItsOrientation) {
    std::shared_ptr<StillFrames> frames;
    int turn = 3;
    setSlideFrameSourceFactory(SlideItem::kItemTypeVideo, [&](const SlideItemRef&) {
        frames = std::make_shared<StillFrames>(rendertest::quarters(32, 32), turn);
        return frames;
    });
    auto clip = platform::makeMainThreadShared<VideoSlideItem>();
    clip->customSetDurations(1.0f, 1.0f);
    clip->setZoomStart(1.0);
    clip->setZoomEnd(1.0);
    clip->setPanStartPoint({});
    clip->setPanEndPoint({});
    useSlides({clip});
    auto renderer = std::make_shared<SlideshowImageObject>();
    renderer->setBackgrondRender(director->backgroundRender());
    auto set = SlideTextures::forSlide(clip);
    set->ensureLoaded();
    EXPECT_FALSE(set->textureObj()) << "a clip has no picture texture of its own";
    renderer->setSlideItemData(clip, set);
    renderer->initSlideshowParam();
    makeTarget(32, 32);
    {
        const DriverLock driver; // as the player draws a frame
        renderer->playSlideshow(7, 0, true, true);
    }
    ASSERT_TRUE(frames);
    EXPECT_EQ(frames->frames, std::vector<quint64>{7});
    QImage frame = readTarget();
    EXPECT_TRUE(colourNear(frame.pixel(8, 8), qRgb(255, 0, 0)));
    EXPECT_TRUE(colourNear(frame.pixel(24, 24), qRgb(255, 255, 255)));

    turn = 2; // a clip filmed upside down, read again as a pan-and-zoom edit does
    set->loadTextureobj();
    {
        const DriverLock driver;
        renderer->playSlideshow(8, 0, true, true);
    }
    frame = readTarget();
    EXPECT_TRUE(colourNear(frame.pixel(24, 24), qRgb(255, 0, 0)));
    EXPECT_TRUE(colourNear(frame.pixel(8, 8), qRgb(255, 255, 255)));
}

TEST_F(SlideTexturesTest, AClipWithoutAFrameSourceShowsTheStage) {
    auto clip = platform::makeMainThreadShared<VideoSlideItem>();
    clip->customSetDurations(1.0f, 1.0f);
    useSlides({clip});
    auto renderer = std::make_shared<SlideshowImageObject>();
    renderer->setBackgrondRender(director->backgroundRender());
    auto set = SlideTextures::forSlide(clip);
    set->ensureLoaded();
    EXPECT_FALSE(set->frameSource());
    renderer->setSlideItemData(clip, set);
    makeTarget(8, 8);
    {
        const DriverLock driver;
        renderer->playSlideshow(0, 0, true, true);
    }
    EXPECT_TRUE(colourNear(readTarget().pixel(4, 4), qRgb(0, 0, 0)));
}

TEST_F(SlideTexturesTest, ThemeChangesReachTheStage) {
    platform::Notification change{"SlideshowThemeSelected", QVariantMap{{"backgroundID", 4}}, {}};
    director->SlideshowThemeChanged(change);
    EXPECT_EQ(director->backgroundRender()->nThemeBackgroundID(), 4);
    project->themeManger()->setCurrentThemeID(2); // "Static": the black stage
    director->initForNewProject();
    EXPECT_EQ(director->backgroundRender()->nThemeBackgroundID(), 2);
    project->themeManger()->setCurrentThemeID(1); // "Grayscale": the grey moving backdrop
    director->initForNewProject();
    EXPECT_EQ(director->backgroundRender()->nThemeBackgroundID(), 1);
}
