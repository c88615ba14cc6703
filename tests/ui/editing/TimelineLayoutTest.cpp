// The strip's arithmetic and its drags on a project handed in, without widgets.
#include "model/ModelTestEnvironment.h"

#include "platform/foundation/MainThread.h"
#include "ui/editing/TimelineDragModel.h"
#include "ui/editing/TimelineLayout.h"

using namespace timeline_layout;

namespace {

std::string text(QPointF point) {
    return QStringLiteral("(%1, %2)").arg(point.x()).arg(point.y()).toStdString();
}

} // namespace

// The project is the model's own: none is installed as the open one.
class TimelineStripLayoutTest : public model_test::ModelTest {
protected:
    void SetUp() override { ASSERT_FALSE(SlideshowProject::currentMainProject()); }

    // `count` slides of 4 s with 2 s transitions, laid out in the cells style.
    std::vector<SlideItemRef> laidOutSlides(int count) {
        std::vector<SlideItemRef> slides;
        for (int i = 0; i < count; ++i)
            slides.push_back(platform::makeMainThreadShared<SlideItem>());
        project->setSlideshowArray(slides);
        project->calcSlideItemsPhotoTransitionDuration();
        project->updateTimelineItemsPosition();
        return slides;
    }
    std::vector<SlideItemRef> order() const { return project->slideshowArray(); }

    SlideshowProjectRef project = SlideshowProject::createNewBundleProject("Strip");
    TimelineDrawState view;
    std::vector<int> currentSlides;
    int redraws = 0;
    TimelineDragModel model{
        [this] { return project; },
        view,
        {[this] { ++redraws; }, {}, [this](int index) { currentSlides.push_back(index); }, {}}};
};

TEST_F(TimelineStripLayoutTest, AClickHitsTheBadgesFirstThenTheIconThenTheCell) {
    const auto slides = laidOutSlides(3);
    const struct {
        QPointF point;
        ClickTarget target;
        int index;
    } cases[] = {{{390, 66}, ClickTarget::Duration, 2},    {{470, 90}, ClickTarget::Duration, 2},
                 {{470, 130}, ClickTarget::Transition, 2}, {{390, 120}, ClickTarget::Cell, 2},
                 {{505, 120}, ClickTarget::Cell, 2},       {{470, 165}, ClickTarget::Cell, 2},
                 {{50, 30}, ClickTarget::None, -1}};
    for (const auto& c : cases) {
        const ClickHit hit = hitTestClick(slides, c.point);
        EXPECT_EQ(hit.target, c.target) << text(c.point);
        EXPECT_EQ(hit.index, c.index) << text(c.point);
    }
}

TEST_F(TimelineStripLayoutTest, ADropGoesBeforeTheSlideUnderThePointerOrAfterTheLast) {
    const std::vector<SlideItemRef> none;
    const auto slides = laidOutSlides(3);
    const struct {
        const std::vector<SlideItemRef>& slides;
        double x;
        int index;
    } cases[] = {{slides, 10, 0},
                 {slides, 100, 0},
                 {slides, 200, 1},
                 {slides, 509, 2},
                 {slides, 510, kInsertAfterLast},
                 {none, 84, 0},
                 {none, 85, kInsertAfterLast}};
    for (const auto& c : cases)
        EXPECT_EQ(insertIndex(c.slides, c.x, 170), c.index)
            << c.x << " over " << c.slides.size() << " slides";
}

TEST(TimelineAutoscroll, StepsAFifthOfThePointersDistanceFromTheMiddleTowardsTheNearerEnd) {
    const std::pair<double, double> cases[] = {{0, -80}, {150, -50}, {199, -40}, {200, 0},
                                               {600, 0}, {601, 40},  {799, 79},  {800, 80}};
    for (const auto& [x, step] : cases)
        EXPECT_EQ(autoscrollStep(x, 800), step) << x;
}

TEST(TimelineLayerDrop, StartsWhereTheItemsLeftEdgeWasDroppedOnTheRulerNeverBeforeTheShow) {
    EXPECT_FLOAT_EQ(layerStartTime({}, 1, 28, 310, 30), 10.0f);
    EXPECT_FLOAT_EQ(layerStartTime({}, 1, 28, 20, 30), 0.0f) << "left of the origin";
    EXPECT_FLOAT_EQ(layerStartTime({}, 1, 0, 310, 30), 0.0f) << "no scale";
}

// Two slides of 4 s with 2 s transitions: 100 points a photo, 70 a transition, the last photo's pace on.
TEST_F(TimelineStripLayoutTest, OnTheCellsADroppedLayerItemStartsWhereItsLeftEdgeLies) {
    const auto slides = laidOutSlides(2);
    const std::pair<float, float> cases[] = {{50, 2.0f},  {135, 5.0f},  {170, 6.0f},
                                             {220, 8.0f}, {440, 16.8f}, {-40, 0.0f}};
    for (const auto& [x, seconds] : cases)
        EXPECT_NEAR(layerStartTime(slides, 0, 28, x + 12, 12), seconds, 1e-4) << x;
}

TEST(TimelineCells, AnInsertPointOpensAOneCellGapWithTheMarkerInIt) {
    const std::vector<QRectF> rects = {{0, 70, 170, 100},
                                       {170, 70, 170, 100},
                                       {340, 70, 170, 100},
                                       {510, 70, 170, 100},
                                       {680, 70, 170, 100}};
    const auto xs = [](const StripPlacement& placement) {
        std::vector<double> result;
        for (const auto& cell : placement.cells)
            result.push_back(cell.rect.x());
        return result;
    };
    const StripPlacement gap = placeCells(rects, kStateInsert, 2);
    EXPECT_EQ(xs(gap), (std::vector<double>{0, 170, 510, 680, 850}));
    EXPECT_EQ(gap.marker, QRectF(340, 70, 100, 100));
    EXPECT_TRUE(gap.cells[2].afterInsert && !gap.cells[1].afterInsert);
    const StripPlacement append = placeCells(rects, kStateInsert, kInsertAfterLast);
    EXPECT_EQ(xs(append), (std::vector<double>{0, 170, 340, 510, 680}));
    EXPECT_EQ(append.marker, QRectF(850, 70, 100, 100));
    EXPECT_FALSE(placeCells(rects, kStateIdle, 2).marker);
}

TEST(TimelineLayerItems, OutlinesPointAtTheSlidesAndDragPicturesHoldTheArrow) {
    const QRectF item(10, 175, 100, 20);
    EXPECT_EQ(textLayerOutline(item, 8),
              (std::vector<QPointF>{
                  {10, 175}, {10, 195}, {110, 195}, {110, 175}, {34, 175}, {26, 167}, {18, 175}}));
    EXPECT_EQ(audioLayerOutline(QRectF(10, 45, 100, 20), 8),
              (std::vector<QPointF>{{10, 45}, {10, 65}, {18, 65}, {26, 73}, {34, 65}, {110, 65}, {110, 45}}));
    EXPECT_EQ(dragImageSize(QRectF(340, 70, 170, 100), 0), QSize(170, 100));
    EXPECT_EQ(dragImageSize(QRectF(12.5, 175, 100.7, 20), 8), QSize(100, 28));
    EXPECT_EQ(dropCursorRect(310, 30, 90, true), QRectF(280, 175, 90, 20));
    EXPECT_EQ(dropCursorRect(310, 30, 90, false), QRectF(280, 45, 90, 20));
}

TEST(TimelineTexts, BadgesShowMinutesFromOneMinuteTheCellButtonsNever) {
    EXPECT_EQ(photoDurationText(4.0f), "4.0s");
    EXPECT_EQ(photoDurationText(75.5f), "1m15.5s");
    EXPECT_EQ(photoDurationText(60.0f), "1m0.0s");
    EXPECT_EQ(transitionDurationText(2.0f), "2.0s");
    EXPECT_EQ(cellDurationTitle(75.5f), "75.5s");
}

TEST(TimelineRulerCells, ALongSlideRepeatsItsThumbnailANarrowOneSqueezesIt) {
    EXPECT_EQ(rulerTiles(QRectF(0, 70, 230, 100)),
              (std::vector<QRectF>{{23, 93, 60, 54}, {83, 93, 60, 54}, {143, 93, 60, 54}}));
    EXPECT_EQ(rulerTiles(QRectF(0, 70, 86, 100)), (std::vector<QRectF>{{7, 93, 72, 54}}));
}

TEST_F(TimelineStripLayoutTest, AnAudioItemOfTheCellsStyleIsHitInsideItsBand) {
    laidOutSlides(3);
    auto song = songOf(10.0, "Rain");
    song->setFStartPosition(2.0f);
    project->setAudioLayerArray({song});
    project->updateTimelineItemsPosition();
    const QRectF band = song->timelineRect();
    ASSERT_EQ(band.height(), 20.0);
    EXPECT_EQ(model.audioLayerIndexAt(QPointF(band.x() + 30, 55)), 0);
    EXPECT_FLOAT_EQ(model.dragTextDeltaX(), 30.0f) << "the grab offset";
    EXPECT_FLOAT_EQ(view.fDraggingStartPositionDelta, 30.0f);
    EXPECT_EQ(model.audioLayerIndexAt(QPointF(band.x() + 30, 66)), -1) << "above the band";
}

TEST_F(TimelineStripLayoutTest, ASlideDraggedOverAnotherGoesInBeforeIt) {
    const auto slides = laidOutSlides(5);
    model.beginSlideDrag(1);
    EXPECT_EQ(order().size(), 5u) << "the slide stays until the session begins";
    model.slideDragWillBegin();
    EXPECT_EQ(order().size(), 4u);
    EXPECT_TRUE(project->bIsDirty());
    project->updateTimelineItemsPosition();
    model.updateInsertState(520, TimelineDragKind::Slide); // over the fourth of the remaining slides
    EXPECT_EQ(view.nTimelineViewState, kStateInsert);
    EXPECT_EQ(view.nInsertPositionIndex, 3u);
    model.performDrop(TimelineDragKind::Slide);
    EXPECT_EQ(order(), (std::vector<SlideItemRef>{slides[0], slides[2], slides[3], slides[1], slides[4]}));
    model.clearInsertState();
    EXPECT_EQ(view.nTimelineViewState, kStateIdle);
    EXPECT_TRUE(currentSlides.empty()) << "a drop leaves the current slide alone";
}

TEST_F(TimelineStripLayoutTest, ASlideDragEndedNowhereLandsAtTheLastMarkerAndBecomesCurrent) {
    const auto slides = laidOutSlides(5);
    model.beginSlideDrag(0);
    model.slideDragWillBegin();
    model.updateInsertState(5000, TimelineDragKind::Files);
    EXPECT_EQ(model.nInsertItemIndex(), kInsertAfterLast);
    model.dragEndedWithNoOperation(TimelineDragKind::Slide);
    EXPECT_EQ(order(), (std::vector<SlideItemRef>{slides[1], slides[2], slides[3], slides[4], slides[0]}));
    EXPECT_EQ(currentSlides, (std::vector<int>{-1, 4}));
    EXPECT_EQ(view.nTimelineViewState, kStateIdle);
    model.performDrop(TimelineDragKind::Slide);
    EXPECT_EQ(order().size(), 5u) << "the slide is never put in twice";
}

TEST_F(TimelineStripLayoutTest, ATextItemLandsAtItsDroppedLeftEdgeSelectedAlone) {
    laidOutSlides(5);
    auto dragged = platform::makeMainThreadShared<SlideItem>();
    auto other = platform::makeMainThreadShared<SlideItem>();
    other->setBSelectedState(true);
    project->setTextLayerArray({dragged, other});
    project->updateTimelineItemsPosition();
    ASSERT_EQ(model.textLayerIndexAt(QPointF(dragged->timelineRect().x() + 30, 185)), 0);
    model.beginTextLayerDrag(0);
    EXPECT_EQ(project->textLayerArray(), (std::vector<SlideItemRef>{other}));
    EXPECT_EQ(view.itemBeingDragging, dragged);
    model.updateInsertState(310, TimelineDragKind::TextLayer);
    EXPECT_EQ(view.nTimelineViewState, kStateTextDrag);
    model.performDrop(TimelineDragKind::TextLayer);
    // Its left edge at 280: 10 points into the second slide's transition of 2 s over 70 points.
    EXPECT_FLOAT_EQ(dragged->fSecStartTimePosition(), 10.0f + 2.0f * 10.0f / 70.0f);
    EXPECT_EQ(project->textLayerArray(), (std::vector<SlideItemRef>{other, dragged}));
    EXPECT_TRUE(dragged->bSelectedState());
    EXPECT_FALSE(other->bSelectedState());
    EXPECT_EQ(view.nTimelineViewState, kStateIdle);
}
