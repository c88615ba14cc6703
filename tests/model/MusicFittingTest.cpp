#include "ModelTestEnvironment.h"

#include "model/VideoSlideItem.h"
#include "platform/foundation/MainThread.h"

#include <cmath>

using model_test::ModelTest;

namespace {

SlideItemRef freeSlide() {
    return platform::makeMainThreadShared<SlideItem>();
}

SlideItemRef fixedSlide(float photo, float transition) {
    auto slide = platform::makeMainThreadShared<SlideItem>();
    slide->customSetDurations(photo, transition);
    slide->setBCustomDurationFlag(true);
    return slide;
}

std::vector<SlideItemRef> freeSlides(int count) {
    std::vector<SlideItemRef> slides;
    for (int i = 0; i < count; ++i)
        slides.push_back(freeSlide());
    return slides;
}

} // namespace

class MusicFittingTest : public ModelTest {
protected:
    std::shared_ptr<SlideshowProject> project = platform::makeMainThreadShared<SlideshowProject>();

    void expectAnswer(const QVariantMap& answer, const QString& failType, const QString& desc) {
        EXPECT_EQ(answer.value("failType").toString(), failType);
        EXPECT_EQ(answer.value("desc").toString(), desc);
        EXPECT_EQ(answer.value("result").toBool(), failType == "Success");
        EXPECT_EQ(answer.size(), 3);
    }
};

TEST_F(MusicFittingTest, TenFreePhotosFillSixtySecondsExactly) {
    project->setSlideshowArray(freeSlides(10));
    project->setMusicArray({songOf(60.0)});
    expectAnswer(project->syncMusicAndSlideshowDuration(), "Success",
                 "The slideshow duration was synchronized successfully with music duration!");
    // per = 6 s = 180 frames: T = 60, P = 120; the last slide's 60 unseen transition frames give
    // every slide 6 more photo frames.
    for (const auto& slide : project->slideshowArray()) {
        EXPECT_FLOAT_EQ(slide->fSecPhotoDuration(), 126.0f / 30.0f);
        EXPECT_FLOAT_EQ(slide->fSecTransitionDuration(), 2.0f);
        EXPECT_EQ(slide->nPhotoDuration(), 126u) << "the frame layout follows the new durations";
    }
    EXPECT_NEAR(project->slideshowTotalDuration(), 60.0, 1e-4);
    EXPECT_EQ(project->totalFrameCount(), 1800u);
    EXPECT_TRUE(project->bIsDirty());
}

TEST_F(MusicFittingTest, RefusalsChangeNoSlideAndLeaveTheProjectClean) {
    expectAnswer(project->syncMusicAndSlideshowDuration(), "NoPhotos",
                 "Please add at least 3 photos to get started!");
    project->setSlideshowArray(freeSlides(5));
    expectAnswer(project->syncMusicAndSlideshowDuration(), "NoMusic", "Please add 1 song to get started!");
    project->setMusicArray({songOf(4.0)});
    expectAnswer(project->syncMusicAndSlideshowDuration(), "DurationBKMusicTooShort",
                 "The duration of background music is too short!");
    for (const auto& slide : project->slideshowArray())
        EXPECT_FLOAT_EQ(slide->fSecPhotoDuration(), 4.0f);
    EXPECT_TRUE(project->slideItemAtIndex(4)->framesComputed()) << "the layout is recomputed on every path";
    EXPECT_FALSE(project->bIsDirty());
}

TEST_F(MusicFittingTest, OnlyClipsAndLockedSlidesAnswerLockedDuration) {
    project->setSlideshowArray({platform::makeMainThreadShared<VideoSlideItem>(), fixedSlide(3, 1)});
    project->setMusicArray({songOf(600.0)});
    expectAnswer(project->syncMusicAndSlideshowDuration(), "LockedDuration",
                 "The duration of all photos are locked!");
    EXPECT_FLOAT_EQ(project->slideItemAtIndex(1)->fSecPhotoDuration(), 3.0f);
}

TEST_F(MusicFittingTest, FixedSlidesKeepTheirTimeAndTheRestIsShared) {
    // fixed = 5 + 1 (its transition counts: it is not last); per = (30 - 6) / 2 = 12 s = 360 frames:
    // T = 120, P = 240; the last slide is free, so its 120 transition frames go 60 to each free slide.
    project->setSlideshowArray({freeSlide(), fixedSlide(5, 1), freeSlide()});
    project->setMusicArray({songOf(10.0), songOf(20.0)});
    expectAnswer(project->syncMusicAndSlideshowDuration(), "Success",
                 "The slideshow duration was synchronized successfully with music duration!");
    const auto slides = project->slideshowArray();
    EXPECT_FLOAT_EQ(slides[0]->fSecPhotoDuration(), 10.0f);
    EXPECT_FLOAT_EQ(slides[0]->fSecTransitionDuration(), 4.0f);
    EXPECT_FLOAT_EQ(slides[1]->fSecPhotoDuration(), 5.0f);
    EXPECT_FLOAT_EQ(slides[1]->fSecTransitionDuration(), 1.0f);
    EXPECT_FLOAT_EQ(slides[2]->fSecPhotoDuration(), 10.0f);
    EXPECT_NEAR(project->slideshowTotalDuration(), 30.0, 1e-4);
}

TEST_F(MusicFittingTest, ALastFixedSlideLeavesNoFramesToHandOut) {
    // fixed = 3 only: the last slide's transition is not shown. per = 8.5 s = 255 frames: T = 85, P = 170.
    project->setSlideshowArray({freeSlide(), freeSlide(), fixedSlide(3, 2)});
    project->setMusicArray({songOf(20.0)});
    ASSERT_TRUE(project->syncMusicAndSlideshowDuration().value("result").toBool());
    const auto slides = project->slideshowArray();
    for (int i = 0; i < 2; ++i) {
        EXPECT_NEAR(slides[i]->fSecPhotoDuration(), 170.0 / 30.0, 1.0 / 30.0 + 1e-5);
        EXPECT_FLOAT_EQ(slides[i]->fSecTransitionDuration(), 85.0f / 30.0f);
    }
    EXPECT_FLOAT_EQ(slides[2]->fSecPhotoDuration(), 3.0f);
    EXPECT_NEAR(project->slideshowTotalDuration(), 20.0, 1.0 / 30.0 + 1e-4);
}

TEST_F(MusicFittingTest, FewLeftoverFramesGoOneEachToTheFirstFreeSlides) {
    // per = 1.5 s = 45 frames: T = 15, P = 30; 15 leftover frames for 20 slides: one each to the first 15.
    project->setSlideshowArray(freeSlides(20));
    project->setMusicArray({songOf(30.0)});
    ASSERT_TRUE(project->syncMusicAndSlideshowDuration().value("result").toBool());
    const auto slides = project->slideshowArray();
    for (int i = 0; i < 20; ++i)
        EXPECT_FLOAT_EQ(slides[i]->fSecPhotoDuration(), (i < 15 ? 31.0f : 30.0f) / 30.0f) << "slide " << i;
    EXPECT_NEAR(project->slideshowTotalDuration(), 30.0, 1e-4);
}

TEST_F(MusicFittingTest, SlidesThatFallBehindTheIdealTimeCatchUp) {
    // per = 6.05 s is 181.5 frames, truncated to 181: each slide would lose half a frame; the walk
    // lengthens a photo whenever the ideal time is a whole frame ahead.
    project->setSlideshowArray(freeSlides(10));
    project->setMusicArray({songOf(60.5)});
    ASSERT_TRUE(project->syncMusicAndSlideshowDuration().value("result").toBool());
    const auto slides = project->slideshowArray();
    int lengthened = 0;
    for (const auto& slide : slides) {
        EXPECT_FLOAT_EQ(slide->fSecTransitionDuration(), 60.0f / 30.0f);
        if (slide->fSecPhotoDuration() > (121.0f + 6.0f) / 30.0f + 1e-4f)
            ++lengthened;
    }
    EXPECT_GE(lengthened, 4);
    EXPECT_NEAR(project->slideshowTotalDuration(), 60.5, 2.0 / 30.0);
}

TEST_F(MusicFittingTest, TheFittingCountsThirtyFramesASecondWhateverTheOutputRate) {
    SlideshowProject::setULFrameRate(25);
    project->setSlideshowArray(freeSlides(10));
    project->setMusicArray({songOf(60.0)});
    ASSERT_TRUE(project->syncMusicAndSlideshowDuration().value("result").toBool());
    EXPECT_FLOAT_EQ(project->slideItemAtIndex(0)->fSecPhotoDuration(), 126.0f / 30.0f);
    EXPECT_EQ(project->slideItemAtIndex(0)->nTransitionDuration(), 50u) << "the layout uses the output rate";
}

// The earlier fitting sets only the project's default durations, or says how many photos would fit.
TEST_F(MusicFittingTest, TheEarlierFittingSetsTheDefaultsOrSaysHowManyPhotosFit) {
    struct Case {
        int slides;
        double music;
        const char* failType;
        float photo;             // the default photo duration afterwards
        std::vector<int> counts; // least, most, usual
        int about;               // photos to remove or add
    };
    const std::vector<Case> cases = {
        {10, 61.0, "Success", 5.0f, {}, 0},
        {10, 31.0, "Success", 2.0f, {}, 0},
        {10, 101.0, "Success", 9.0f, {}, 0},
        {30, 61.0, "MorePhotos", 4.0f, {6, 19, 12}, 18},
        {3, 61.0, "LessPhotos", 4.0f, {6, 19, 12}, 9},
        // Just over 10 s a slide while the least count rounds to the slide count: still too few photos.
        {10, 101.5, "LessPhotos", 4.0f, {10, 32, 20}, 10},
        // Music under a second: no count below none, and at least one photo to remove.
        {1, 0.5, "MorePhotos", 4.0f, {0, 0, 0}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 slides, %2 s").arg(c.slides).arg(c.music).toStdString());
        auto fitted = platform::makeMainThreadShared<SlideshowProject>();
        fitted->setSlideshowArray(freeSlides(c.slides));
        fitted->setMusicArray({songOf(c.music)});
        const QVariantMap answer = fitted->syncMusicAndSlideshowDuration_Old();
        EXPECT_EQ(answer.value("failType").toString(), c.failType);
        EXPECT_EQ(answer.value("result").toBool(), c.counts.empty());
        EXPECT_FLOAT_EQ(fitted->fltPhotoDuration(), c.photo);
        EXPECT_EQ(fitted->bIsDirty(), c.counts.empty());
        EXPECT_FLOAT_EQ(fitted->slideItemAtIndex(0)->fSecPhotoDuration(), 4.0f) << "no slide changes";
        if (c.counts.empty()) {
            EXPECT_FLOAT_EQ(fitted->fltTransitionDuration(), 2.0f);
            continue;
        }
        EXPECT_EQ((std::vector<int>{answer.value("nExceptCountMin").toInt(),
                                    answer.value("nExceptCountMax").toInt(),
                                    answer.value("nExceptCountDefault").toInt()}),
                  c.counts);
        const QString verb = answer.value("failType") == "MorePhotos" ? "remove about %1 photos from"
                                                                      : "add about %1 photos to";
        EXPECT_EQ(answer.value("desc").toString(),
                  QStringLiteral("\nTo synchronize successfully, you need %1 ~ %2 photos in slideshow.\n\n"
                                 "Please %3 current project.\n")
                      .arg(c.counts[0])
                      .arg(c.counts[1])
                      .arg(verb.arg(c.about)));
    }
    expectAnswer(project->syncMusicAndSlideshowDuration_Old(), "NoPhotos",
                 "Please add at least 3 photos to get started!");
    project->setSlideshowArray(freeSlides(3));
    expectAnswer(project->syncMusicAndSlideshowDuration_Old(), "NoMusic",
                 "Please add 1 song to get started!");
}
