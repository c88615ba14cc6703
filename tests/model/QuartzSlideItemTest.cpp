#include "ClipTestSupport.h"

#include "model/QuartzSlideItem.h"
#include "platform/foundation/MainThread.h"

#include <atomic>
#include <thread>

using model_test::ClipTest;

class QuartzSlideItemTest : public ClipTest {
protected:
    std::shared_ptr<QuartzSlideItem> overClip(const QString& clip, float transition) {
        auto slide = platform::makeMainThreadShared<QuartzSlideItem>();
        slide->setStrQuartzFilePath("/compositions/waves.vcomp");
        slide->setBVideoItem(true);
        slide->setStrVideoFilePath(clip);
        slide->customSetDurations(4.0f, transition);
        return slide;
    }
};

TEST_F(QuartzSlideItemTest, ACompositionOnItsOwnIs1280By720) {
    QuartzSlideItem slide;
    EXPECT_EQ(slide.itemType(), SlideItem::kItemTypeQuartz);
    EXPECT_TRUE(slide.iSItemReady());
    slide.setWidth(300);
    slide.setHeight(500);
    slide.setStrVideoFilePath(makeClip("ignored.mp4", 10)); // not a clip slide: the clip does not count
    EXPECT_TRUE(slide.openComposition(nullptr));
    EXPECT_EQ(slide.width(), 1280);
    EXPECT_EQ(slide.height(), 720);
    EXPECT_FLOAT_EQ(slide.fSecPhotoDuration(), 4.0f);
}

TEST_F(QuartzSlideItemTest, OverAClipThePhotoPartIsTheClipLessTheTransition) {
    auto slide = overClip(makeClip("twelve.mp4", 360, false, 90, QSize(64, 32)), 2.0f);
    slide->openComposition(nullptr);
    EXPECT_NEAR(slide->fSecPhotoDuration(), 10.0, 0.05);
    EXPECT_FLOAT_EQ(slide->fSecTransitionDuration(), 2.0f);
    EXPECT_EQ(slide->width(), 32) << "the clip's picture as shown, turned a quarter";
    EXPECT_EQ(slide->height(), 64);
}

TEST_F(QuartzSlideItemTest, AClipNoLongerThanTheTransitionPlaysWholeWithoutOne) {
    auto slide = overClip(makeClip("short.mp4", 45), 2.0f);
    slide->openComposition(nullptr);
    EXPECT_NEAR(slide->fSecPhotoDuration(), 1.5, 0.05) << "never a negative length";
    EXPECT_FLOAT_EQ(slide->fSecTransitionDuration(), 0.0f);

    auto missing = overClip(dir.file("gone.mp4"), 2.0f);
    missing->openComposition(nullptr);
    EXPECT_FLOAT_EQ(missing->fSecPhotoDuration(), 4.0f) << "a clip that cannot be read changes nothing";
    EXPECT_FLOAT_EQ(missing->fSecTransitionDuration(), 2.0f);
}

TEST_F(QuartzSlideItemTest, ASavedCompositionSlideKeepsItsFiles) {
    auto slide = overClip("/clips/beach.mp4", 1.0f);
    slide->setStrPhotoDescription("Waves");
    const QByteArray data = platform::KeyedArchiver::archivedData(slide);
    auto back = std::dynamic_pointer_cast<QuartzSlideItem>(platform::KeyedUnarchiver::unarchiveObject(data));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->itemType(), SlideItem::kItemTypeQuartz);
    // Read, the slide opens nothing until its project has located the files (ContainmentRuleTest), and it
    // stores them again as they were.
    EXPECT_TRUE(back->strQuartzFilePath().isEmpty());
    EXPECT_TRUE(back->strVideoFilePath().isEmpty());
    const QByteArray again = platform::KeyedArchiver::archivedData(back);
    EXPECT_TRUE(again.contains("/compositions/waves.vcomp"));
    EXPECT_TRUE(again.contains("/clips/beach.mp4"));
    EXPECT_TRUE(back->bVideoItem());
    EXPECT_EQ(back->strPhotoDescription(), "Waves") << "the base keys come first";
    EXPECT_FLOAT_EQ(back->fSecTransitionDuration(), 1.0f);

    auto copy = std::dynamic_pointer_cast<QuartzSlideItem>(slide->copy());
    ASSERT_TRUE(copy) << "a copy is still a composition slide";
    EXPECT_EQ(copy->strQuartzFilePath(), slide->strQuartzFilePath());
    EXPECT_EQ(copy->strVideoFilePath(), slide->strVideoFilePath());
    EXPECT_TRUE(copy->bVideoItem());
    EXPECT_FLOAT_EQ(copy->fSecPhotoDuration(), 4.0f);
}

TEST_F(QuartzSlideItemTest, AReloadedSlideRendersAtItsClipsSize) {
    auto alone = platform::makeMainThreadShared<QuartzSlideItem>();
    EXPECT_EQ(alone->compositionSize(), QSize(1280, 720));
    auto slide = overClip(makeClip("clip.mp4", 10, false, 0, QSize(64, 32)), 1.0f);
    EXPECT_EQ(slide->compositionSize(), QSize(64, 32));
    EXPECT_FLOAT_EQ(slide->fSecPhotoDuration(), 4.0f) << "the durations are the saved ones";
    slide->setWidth(100);
    slide->setHeight(50);
    EXPECT_EQ(slide->compositionSize(), QSize(100, 50));
    auto lost = overClip(dir.file("gone.mp4"), 1.0f);
    EXPECT_EQ(lost->compositionSize(), QSize(1280, 720));
}

TEST_F(QuartzSlideItemTest, TheSizeIsNeverSeenHalfWritten) {
    QuartzSlideItem slide;
    std::atomic<bool> done{false};
    std::thread loader([&] {
        for (int i = 0; i < 20000; ++i) {
            slide.setPixelSize(QSize(0, 0));
            slide.compositionSize();
        }
        done = true;
    });
    int torn = 0;
    while (!done) {
        const QSize seen = slide.pixelSize();
        torn += seen != QSize(0, 0) && seen != QSize(1280, 720);
    }
    loader.join();
    EXPECT_EQ(torn, 0);
}

TEST_F(QuartzSlideItemTest, AStoppedSlideStaysStopped) {
    QuartzSlideItem slide;
    EXPECT_FALSE(slide.isStopped());
    slide.stop();
    EXPECT_TRUE(slide.isStopped());
    slide.openComposition(nullptr);
    EXPECT_TRUE(slide.isStopped());
}
