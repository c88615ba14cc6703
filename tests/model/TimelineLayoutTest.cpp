#include "ModelTestEnvironment.h"

#include "model/ProjectCollaborators.h"
#include "model/TimelineAxis.h"
#include "model/VideoSlideItem.h"
#include "platform/foundation/MainThread.h"

#include <string>

using model_test::ModelTest;

namespace {

// Maps frame f to x = f, so that the rectangles show which frames were asked for.
class IdentityTimeline : public MainWindowServices {
public:
    void updateProjectInfo() override {}
    void refreshUIForOpenProject() override {}
    void stop() override {}
    void setNCurrentSlideshowItemIndex(int) override {}
    void ensureCurrentSlideThumbnailVisible() override {}
    float getTimelineXPositionFromFrame(quint64 frame) override { return float(frame); }
    void reshapeOpenGLView() override {}
    bool isExportRunning() const override { return false; }
};

struct CallLog {
    std::vector<std::string> calls;
};

class LoggingMixer : public ProjectAudioMixer {
public:
    explicit LoggingMixer(CallLog& log) : log(log) {}
    void seekToBegin() override { log.calls.push_back("mixer"); }
    CallLog& log;
};

class LoggingDirector : public ProjectDirector {
public:
    explicit LoggingDirector(CallLog& log) : log(log) {}
    void resetDirector() override { log.calls.push_back("director"); }
    CallLog& log;
};

class LoggingClip : public VideoSlideItem {
public:
    explicit LoggingClip(CallLog& log) : log(log) {}
    void resetVideoItem() override { log.calls.push_back("clip"); }
    CallLog& log;
};

} // namespace

class TimelineLayoutTest : public ModelTest {
protected:
    std::shared_ptr<SlideshowProject> project = platform::makeMainThreadShared<SlideshowProject>();
    IdentityTimeline timeline;

    void SetUp() override {
        ModelTest::SetUp();
        std::vector<SlideItemRef> slides;
        for (int i = 0; i < 3; ++i)
            slides.push_back(platform::makeMainThreadShared<SlideItem>());
        project->setSlideshowArray(slides);
        project->calcSlideItemsPhotoTransitionDuration();
        auto text = platform::makeMainThreadShared<SlideItem>();
        text->setFSecStartTimePosition(6.0f);
        project->setTextLayerArray({text});
        auto sound = songOf(10.0);
        sound->setFStartPosition(2.0f);
        project->setAudioLayerArray({sound});
    }
};

TEST_F(TimelineLayoutTest, CellsPlaceEachSlideInA170PointCell) {
    MainWindowServices::setCurrent(&timeline);
    project->updateTimelineItemsPosition();
    const auto slides = project->slideshowArray();
    for (int i = 0; i < 3; ++i) {
        const double x = 170.0 * i;
        EXPECT_FLOAT_EQ(slides[i]->fSecStartTimePosition(), 6.0f * i);
        EXPECT_EQ(slides[i]->timelineRect(), QRectF(x, 70, 170, 100));
        EXPECT_EQ(slides[i]->rect(SlideItem::kRectPhotoDuration), QRectF(x, 64, 100, 15));
        EXPECT_EQ(slides[i]->rect(SlideItem::kRectTransitionDuration), QRectF(x + 104, 85, 60, 15));
        EXPECT_EQ(slides[i]->rect(SlideItem::kRectTransitionIcon), QRectF(x + 104, 100, 60, 60));
    }
    // The layers lie on the cells' own time axis, whatever the window reports for the play head: the text
    // from 6 s (the second cell) to 12 s (the third), the sound from 2 s to 12 s, in bands as high.
    EXPECT_EQ(project->textLayerArray()[0]->timelineRect(), QRectF(170, 175, 170, 20));
    EXPECT_EQ(project->audioLayerArray()[0]->timelineRect(), QRectF(50, 45, 290, 20));
}

// Three slides of 4 s with 2 s transitions: the photos take 100 points, the transitions 70, and past the
// last photo the axis runs on at 25 points a second, so a layer that outlasts the show is drawn whole and
// every x reads back as the time it shows.
TEST_F(TimelineLayoutTest, TheLayersTimeAxisRunsOnPastTheShowAndReadsBack) {
    const auto slides = project->slideshowArray();
    const std::pair<double, double> cases[] = {{0, 0},    {2, 50},   {5, 135},  {6, 170},
                                               {16, 440}, {18, 490}, {30, 790}, {100, 2540}};
    for (const auto& [seconds, x] : cases) {
        EXPECT_DOUBLE_EQ(timeline_axis::xForSeconds(slides, 0, 28, seconds), x) << seconds;
        EXPECT_DOUBLE_EQ(timeline_axis::secondsForX(slides, 0, 28, x), seconds) << x;
    }
    EXPECT_DOUBLE_EQ(timeline_axis::secondsForX(slides, 0, 28, -30), 0.0) << "never before the show";
    EXPECT_DOUBLE_EQ(timeline_axis::xForSeconds({}, 0, 28, 2.0), 56.0) << "no slides: the ruler's scale";
    EXPECT_DOUBLE_EQ(timeline_axis::secondsForX(slides, 1, 10, 75), 7.5) << "the ruler";
    auto late = platform::makeMainThreadShared<SlideItem>();
    late->setFSecStartTimePosition(15.0f); // to 21 s, past the show's 18
    project->setTextLayerArray({late});
    project->updateTimelineItemsPosition();
    EXPECT_EQ(late->timelineRect(), QRectF(415, 175, 150, 20));
}

TEST_F(TimelineLayoutTest, TheRulerScalesSecondsByPixelsPerSecond) {
    project->setNTimelineStyle(1);
    project->setNTimelinePixelPerSecond(10);
    project->updateTimelineItemsPosition();
    const auto slides = project->slideshowArray();
    EXPECT_EQ(slides[0]->timelineRect(), QRectF(0, 70, 60, 100));
    EXPECT_EQ(slides[2]->timelineRect(), QRectF(120, 70, 60, 100));
    EXPECT_FLOAT_EQ(slides[2]->fSecStartTimePosition(), 12.0f);
    EXPECT_EQ(project->textLayerArray()[0]->timelineRect(), QRectF(60, 175, 60, 20));
    EXPECT_EQ(project->audioLayerArray()[0]->timelineRect(), QRectF(20, 45, 100, 20));
}

TEST_F(TimelineLayoutTest, AnUnknownStyleLeavesEveryRectangleAsItWas) {
    const QRectF marker(1, 2, 3, 4);
    project->slideItemAtIndex(1)->setTimelineRect(marker);
    project->textLayerArray()[0]->setTimelineRect(marker);
    project->setNTimelineStyle(2);
    project->updateTimelineItemsPosition();
    EXPECT_EQ(project->slideItemAtIndex(1)->timelineRect(), marker);
    EXPECT_EQ(project->textLayerArray()[0]->timelineRect(), marker);
    EXPECT_FLOAT_EQ(project->slideItemAtIndex(1)->fSecStartTimePosition(), 0.0f);
}

TEST_F(TimelineLayoutTest, WithoutAMainWindowFramesMapOntoTheCellsThemselves) {
    const auto slides = project->slideshowArray(); // 120 photo and 60 transition frames each
    EXPECT_FLOAT_EQ(timelineXPositionFromFrame(slides, 0), 0.0f);
    EXPECT_FLOAT_EQ(timelineXPositionFromFrame(slides, 60), 50.0f);
    EXPECT_FLOAT_EQ(timelineXPositionFromFrame(slides, 150), 135.0f);
    EXPECT_FLOAT_EQ(timelineXPositionFromFrame(slides, 180), 170.0f);
    EXPECT_FLOAT_EQ(timelineXPositionFromFrame(slides, 360 + 130), 340.0f + 100.0f) << "last transition";
    EXPECT_FLOAT_EQ(timelineXPositionFromFrame(slides, 540), -1.0f);
    project->updateTimelineItemsPosition();
    EXPECT_EQ(project->textLayerArray()[0]->timelineRect(), QRectF(170, 175, 170, 20));
}

TEST_F(TimelineLayoutTest, ClearingSelectionsReachesBothLayers) {
    project->audioLayerArray()[0]->setBSelectedState(true);
    project->textLayerArray()[0]->setBSelectedState(true);
    project->ClearAllAudioLayerSelectedState();
    EXPECT_FALSE(project->audioLayerArray()[0]->bSelectedState());
    EXPECT_FALSE(project->textLayerArray()[0]->bSelectedState());
}

TEST_F(TimelineLayoutTest, RewindingReachesMixerClipsAndPlayerInThatOrder) {
    CallLog log;
    project->resetPlayerToBegin(); // nothing attached: nothing to rewind, and no crash
    project->setAudioMixer(std::make_shared<LoggingMixer>(log));
    const auto director = std::make_shared<LoggingDirector>(log); // the preview owns its player
    project->setDirector(director);
    project->insertSlideItem(1, platform::makeMainThreadShared<LoggingClip>(log));
    project->resetPlayerToBegin();
    EXPECT_EQ(log.calls, (std::vector<std::string>{"mixer", "clip", "director"}));
}

TEST_F(TimelineLayoutTest, TheProjectDoesNotKeepItsPlayerAlive) {
    // A player thread may hold the last reference to a replaced project; the project going away on that
    // thread must not destroy the player there.
    CallLog log;
    auto director = std::make_shared<LoggingDirector>(log);
    project->setDirector(director);
    EXPECT_EQ(project->director(), director);
    director.reset();
    EXPECT_EQ(project->director(), nullptr);
    project->resetPlayerToBegin();
}

TEST_F(TimelineLayoutTest, ResettingCustomDurationsMarksTheProjectDirty) {
    project->slideItemAtIndex(0)->setBCustomDurationFlag(true);
    project->resetAllSlidesCustimzedDurationFlag();
    EXPECT_FALSE(project->slideItemAtIndex(0)->bCustomDurationFlag());
    EXPECT_TRUE(project->bIsDirty());
}
