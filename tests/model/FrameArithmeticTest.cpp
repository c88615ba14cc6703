#include "ModelTestEnvironment.h"

#include "model/VideoSlideItem.h"
#include "platform/foundation/MainThread.h"

#include <cmath>
#include <limits>

using model_test::ModelTest;

namespace {

SlideItemRef slideOf(float photo, float transition) {
    auto slide = platform::makeMainThreadShared<SlideItem>();
    slide->customSetDurations(photo, transition);
    return slide;
}

SlideshowProjectRef projectWith(std::vector<SlideItemRef> slides) {
    auto project = platform::makeMainThreadShared<SlideshowProject>();
    project->setSlideshowArray(std::move(slides));
    project->calcSlideItemsPhotoTransitionDuration();
    return project;
}

} // namespace

class FrameLayoutTest : public ModelTest {};

TEST_F(FrameLayoutTest, OneSlideShowsItsPhotoAndNotItsLastTransition) {
    auto project = projectWith({slideOf(4.0f, 2.0f)});
    const auto slide = project->slideItemAtIndex(0);
    EXPECT_EQ(slide->nItemStartFrameIndex(), 0u);
    EXPECT_EQ(slide->nPhotoDuration(), 120u);
    EXPECT_EQ(slide->nTransitionDuration(), 60u);
    EXPECT_EQ(project->totalFrameCount(), 120u);
    EXPECT_DOUBLE_EQ(project->slideshowTotalDuration(), 4.0);
}

TEST_F(FrameLayoutTest, ThreeSlidesLieEndToEnd) {
    auto project = projectWith({slideOf(4, 2), slideOf(4, 2), slideOf(4, 2)});
    EXPECT_EQ(project->slideItemAtIndex(0)->nItemStartFrameIndex(), 0u);
    EXPECT_EQ(project->slideItemAtIndex(1)->nItemStartFrameIndex(), 180u);
    EXPECT_EQ(project->slideItemAtIndex(2)->nItemStartFrameIndex(), 360u);
    EXPECT_EQ(project->totalFrameCount(), 480u);
    EXPECT_FLOAT_EQ(project->getSlideStartTime(2), 12.0f);
    EXPECT_FLOAT_EQ(project->getSlideAudioStartTime(2), 10.0f);
    EXPECT_FLOAT_EQ(project->getSlideAudioStartTime(1), 4.0f);
    EXPECT_FLOAT_EQ(project->getSlideAudioStartTime(0), 0.0f);
    EXPECT_FLOAT_EQ(project->getSlideStartTime(3), 0.0f) << "out of range";
    EXPECT_FLOAT_EQ(project->getSlideAudioStartTime(99), 0.0f) << "out of range";
}

TEST_F(FrameLayoutTest, BoundariesAreTheRunningTimeRoundedSoErrorsDoNotAddUp) {
    // Every duration is 7.5 frames: rounding each alone would give 8 + 8 + 8 + 8 = 32 frames.
    auto project = projectWith({slideOf(0.25f, 0.25f), slideOf(0.25f, 0.25f)});
    const auto first = project->slideItemAtIndex(0), second = project->slideItemAtIndex(1);
    EXPECT_EQ(first->nPhotoDuration(), 8u);      // 7.5 rounds half up
    EXPECT_EQ(first->nTransitionDuration(), 7u); // 15 - 8
    EXPECT_EQ(second->nItemStartFrameIndex(), 15u);
    EXPECT_EQ(second->nPhotoDuration(), 8u);      // 23 - 15
    EXPECT_EQ(second->nTransitionDuration(), 7u); // 30 - 23
}

TEST_F(FrameLayoutTest, FadesShiftTheSlidesAndCountInTheTotal) {
    auto project = projectWith({slideOf(4, 2), slideOf(4, 2)});
    project->setFltSlideshowFadeIn(1.25f); // 37.5 frames, rounded half up
    project->setFltSlideshowFadeOut(0.5f);
    project->calcSlideItemsPhotoTransitionDuration();
    EXPECT_EQ(project->nFrameSlideshowFadeIn(), 38u);
    EXPECT_EQ(project->nFrameSlideshowFadeOut(), 15u);
    EXPECT_EQ(project->slideItemAtIndex(0)->nItemStartFrameIndex(), 38u);
    EXPECT_EQ(project->slideItemAtIndex(0)->nPhotoDuration(), 158u - 38u); // nearest(5.25 x 30) = 158
    EXPECT_EQ(project->slideItemAtIndex(1)->nItemStartFrameIndex(), 218u);
    EXPECT_EQ(project->totalFrameCount(), 38u + 120u + 60u + 120u + 15u);
    EXPECT_DOUBLE_EQ(project->slideshowTotalDuration(), 1.25 + 4 + 2 + 4 + 0.5);
    EXPECT_FLOAT_EQ(project->getSlideStartTime(1), 7.25f);
    EXPECT_FLOAT_EQ(project->getSlideAudioStartTime(0), 1.25f);
}

TEST_F(FrameLayoutTest, ProjectDefaultsInFramesTruncateAndFollowTheFrameRate) {
    SlideshowProject project;
    project.setFltPhotoDuration(4.99f); // 149.7 frames
    EXPECT_EQ(project.nPhotoDurationFrameCount(), 149);
    EXPECT_EQ(project.nTransitionDurationFrameCount(), 60);
    SlideshowProject::setULFrameRate(25);
    EXPECT_EQ(project.nTransitionDurationFrameCount(), 50);
    auto laidOut = projectWith({slideOf(4, 2)});
    EXPECT_EQ(laidOut->slideItemAtIndex(0)->nPhotoDuration(), 100u);
}

TEST_F(FrameLayoutTest, TotalsNeverAddFrameCountsThatWereNotLaidOut) {
    SlideshowProject project;
    std::vector<SlideItemRef> slides{slideOf(4, 2), slideOf(4, 2)};
    ASSERT_FALSE(slides[0]->framesComputed());
    EXPECT_EQ(project.totalFrameCountFromArray(slides), 300u);
    EXPECT_TRUE(slides[0]->framesComputed());
    EXPECT_EQ(project.totalFrameCountFromArray({}), 0u);
}

TEST_F(FrameLayoutTest, NegativeOrUndefinedDurationsBecomeZeroInsteadOfHugeFrameCounts) {
    auto slide = slideOf(4, 2);
    slide->setFSecPhotoDuration(-3.0f);
    EXPECT_FLOAT_EQ(slide->fSecPhotoDuration(), 0.0f);
    slide->setFSecTransitionDuration(std::numeric_limits<float>::quiet_NaN());
    EXPECT_FLOAT_EQ(slide->fSecTransitionDuration(), 0.0f);
    auto project = projectWith({slide, slideOf(1, 1)});
    EXPECT_EQ(project->slideItemAtIndex(0)->nPhotoDuration(), 0u);
    EXPECT_EQ(project->slideItemAtIndex(1)->nItemStartFrameIndex(), 0u);
    EXPECT_EQ(project->totalFrameCount(), 30u);
    project->setFltSlideshowFadeIn(-1.0f);
    EXPECT_EQ(project->nFrameSlideshowFadeIn(), 0u);
}

TEST_F(FrameLayoutTest, ADurationSetterLaysOutTheOpenProjectOnlyForItsOwnSlidesAndRealChanges) {
    auto project = openNewProject();
    ASSERT_TRUE(project);
    auto member = slideOf(4, 2);
    project->setSlideshowArray({member});
    project->calcSlideItemsPhotoTransitionDuration();
    member->customSetnPhotoDuration(7); // a marker that only a new layout overwrites
    member->setFSecPhotoDuration(4.00005f);
    EXPECT_EQ(member->nPhotoDuration(), 7u) << "a change within 0.0001 s is ignored";
    EXPECT_FLOAT_EQ(member->fSecPhotoDuration(), 4.0f);
    member->setFSecPhotoDuration(5.0f);
    EXPECT_EQ(member->nPhotoDuration(), 150u);
    member->setFSecTransitionDuration(1.0f);
    EXPECT_EQ(member->nTransitionDuration(), 30u);

    auto stranger = slideOf(4, 2);
    stranger->setFSecPhotoDuration(6.0f);
    EXPECT_FLOAT_EQ(stranger->fSecPhotoDuration(), 6.0f);
    EXPECT_FALSE(stranger->framesComputed()) << "a slide outside the project is not laid out";
}

// The earlier forms beside the layout: a length from the project's defaults alone, and start times at the
// transition that brings a slide on.
TEST_F(FrameLayoutTest, TheEarlierFormsCountFromTheDefaultsAndStartAtTheIncomingTransition) {
    auto project = projectWith({slideOf(4, 2), slideOf(3, 1), slideOf(5, 2)});
    project->setFltSlideshowFadeIn(1.0f);
    EXPECT_EQ(project->totalFrameCount_old(), 3u * (120u + 30u) + 60u);
    project->setFltTransitionDuration(1.1f); // 33 frames, of which half is 16
    project->setFltPhotoDuration(0.1f);      // 3 frames, of which half is 1
    EXPECT_EQ(project->totalFrameCount_old(), 3u * (3u + 16u) + 1u);
    EXPECT_EQ(SlideshowProject().totalFrameCount_old(), 60u) << "no slides: half a photo";

    const std::vector<std::pair<std::size_t, float>> starts = {{0, 1.0f}, {1, 5.0f}, {2, 10.0f}, {3, 0.0f}};
    for (const auto& [index, seconds] : starts) {
        EXPECT_FLOAT_EQ(project->getSlideStartTime_Old(index), seconds) << index;
        EXPECT_FLOAT_EQ(project->getSlideStartTime_Old(index), project->getSlideAudioStartTime(index))
            << index;
    }
}

class MusicDurationTest : public ModelTest {};

TEST_F(MusicDurationTest, SongsAddUpAndSyncMeansWithinTwoPointOneSeconds) {
    auto project = projectWith({slideOf(4, 2), slideOf(4, 2)}); // 10 s
    EXPECT_DOUBLE_EQ(project->musicTotalDuration(), 0.0);
    project->setMusicArray({songOf(5.0), songOf(7.0)});
    EXPECT_DOUBLE_EQ(project->musicTotalDuration(), 12.0);
    EXPECT_TRUE(project->doesSyncMusicAndSlideshowDuration());
    project->setMusicArray({songOf(5.0), songOf(7.2)});
    EXPECT_FALSE(project->doesSyncMusicAndSlideshowDuration());
}

TEST_F(MusicDurationTest, SongTitlesByIndex) {
    SlideshowProject project;
    auto named = songOf(1.0, "From file");
    named->addEntriesFromDictionary({{"strTitle", "From tags"}});
    project.setMusicArray({songOf(1.0, "Plain"), named});
    EXPECT_EQ(project.getSongTitle(0), "Plain");
    EXPECT_EQ(project.getSongTitle(1), "From tags");
    EXPECT_TRUE(project.getSongTitle(-1).isNull());
    EXPECT_TRUE(project.getSongTitle(2).isNull());
}

TEST(TimeToString, MinutesWhenTrimmedUnderAnHourElseHours) {
    EXPECT_EQ(SlideshowProject::timeToString(75.9f, false, true), "01:15");
    EXPECT_EQ(SlideshowProject::timeToString(75.9f, true, true), "01 : 15");
    EXPECT_EQ(SlideshowProject::timeToString(3725.0f, false, true), "1:02:05");
    EXPECT_EQ(SlideshowProject::timeToString(3725.0f, true, false), "1 : 02 : 05");
    EXPECT_EQ(MusicItem::timeToString(3599.9, false, true), "59:59");
    EXPECT_EQ(MusicItem::timeToString(3600.0, false, true), "1:00:00");
    EXPECT_EQ(MusicItem::timeToString(75.0, true, false), "0 : 01 : 15");
    EXPECT_EQ(MusicItem::timeToString(0.0, false, true), "00:00");
}

TEST(TimeToString, OutOfRangeValuesDoNotMisbehave) {
    EXPECT_EQ(MusicItem::timeToString(std::numeric_limits<double>::quiet_NaN(), false, true), "00:00");
    EXPECT_EQ(MusicItem::timeToString(1e300, false, true), "596523:14:07"); // 2^31 - 1 seconds
    EXPECT_EQ(MusicItem::timeToString(-1e300, false, false), "-596523:-14:-8");
}
