// The strip in the document window: clicks, drags and drops through its viewport, the autoscroll on the
// manual scheduler, what it draws, and pictures of it for people to look at in <build>/screenshots.
#include "support/ColourNear.h"
#include "support/MainWindowFixture.h"
#include "support/Screenshot.h"
#include "support/ToneMaker.h"

#include "platform/foundation/MainThread.h"
#include "ui/UiNotifications.h"
#include "ui/controls/WaveFormViewOSX.h"
#include "ui/editing/TimelineContentView.h"
#include "ui/editing/TimelineLayout.h"

#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QUrl>

using platform::Notification;
using platform::NotificationCenter;

namespace {

bool near(QColor a, QColor b, int tolerance = 12) {
    return test_support::coloursNear(a, b, tolerance);
}

const std::vector<QColor> kColours = {QColor(220, 40, 40), QColor(40, 200, 60), QColor(50, 70, 230),
                                      QColor(240, 200, 30), QColor(200, 60, 220)};

class RecordingDropDelegate : public TimelineScrollViewDelegate {
public:
    void AcceptFileDropped(const QStringList& paths, int index) override {
        dropped = paths;
        at = index;
    }
    QStringList dropped;
    int at = -1;
};

} // namespace

class TimelineStripTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        makeController(true);
        window->resize(1024, 700);
        window->show();
        slides = useColourSlides(kColours);
        strip()->horizontalScrollBar()->setValue(0);
        for (const QString& name : {kNotifyTimelineCellClicked, kNotifyTimelineCellDurationClicked,
                                    kNotifyTimelineCellTransitionClicked})
            observers.emplace_back(
                NotificationCenter::defaultCenter(),
                NotificationCenter::defaultCenter().addObserver(
                    name, [this](const Notification& posted) { posts.push_back(posted); }));
    }

    TimelineScrollView* strip() const { return controller->outlets().scrollView1; }
    TimelineContentView* content() const { return controller->outlets().scrollContentView; }
    // A point of the timeline (y up) in the viewport, where the strip's clicks and drags arrive.
    QPointF inViewport(QPointF timelinePoint) const {
        return content()->mapTo(strip()->viewport(),
                                timeline_layout::flipped(timelinePoint, TimelineContentView::kHeight));
    }
    void mouse(QEvent::Type type, QPointF timelinePoint, Qt::MouseButtons buttons = Qt::LeftButton) {
        const QPointF at = inViewport(timelinePoint);
        QMouseEvent event(type, at, strip()->viewport()->mapToGlobal(at), Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(strip()->viewport(), &event);
    }
    void click(QPointF timelinePoint) {
        mouse(QEvent::MouseButtonPress, timelinePoint);
        mouse(QEvent::MouseButtonRelease, timelinePoint, Qt::NoButton);
    }
    // A drag over the strip as the platform delivers it: entered, moved to the point, dropped there.
    void dragOver(const QMimeData& data, QPointF timelinePoint, bool drop = true) {
        const QPointF at = inViewport(timelinePoint);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(strip()->viewport(), &enter);
        QDragMoveEvent move(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(strip()->viewport(), &move);
        if (!drop)
            return;
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(strip()->viewport(), &dropped);
    }
    QColor stripPixel(const QImage& picture, QPointF timelinePoint) const {
        return picture.pixelColor(
            timeline_layout::flipped(timelinePoint, TimelineContentView::kHeight).toPoint());
    }
    // Whether a pixel of the timeline rectangle is near the colour.
    bool anyNear(const QImage& picture, const QRectF& timelineRect, QColor colour) const {
        const QRect area = TimelineContentView::toWidget(timelineRect).toAlignedRect();
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (near(picture.pixelColor(x, y), colour, 60))
                    return true;
        return false;
    }
    QImage drawnStrip() const {
        QImage picture(content()->size(), QImage::Format_ARGB32_Premultiplied);
        content()->render(&picture);
        return picture;
    }
    void addLayerItems() {
        auto caption = platform::makeMainThreadShared<SlideItem>();
        caption->setFSecStartTimePosition(0.5f);
        auto sound = songOf(3.0, "Harbour Bells");
        sound->setFStartPosition(1.5f);
        project->setTextLayerArray({caption});
        project->setAudioLayerArray({sound});
        project->updateTimelineItemsPosition();
    }

    std::vector<SlideItemRef> slides;
    std::vector<Notification> posts;
    std::vector<platform::ObserverHandle> observers;
};

TEST_F(TimelineStripTest, AClickPostsWhatItHitAndMakesThatSlideCurrent) {
    click({470, 130});
    click({390, 66});
    click({390, 120});
    click({900, 20}); // beyond the slides
    ASSERT_EQ(posts.size(), 3u);
    EXPECT_EQ(posts[0].name, kNotifyTimelineCellTransitionClicked);
    EXPECT_EQ(posts[1].name, kNotifyTimelineCellDurationClicked);
    EXPECT_EQ(posts[2].name, kNotifyTimelineCellClicked);
    for (const auto& posted : posts)
        EXPECT_EQ(posted.object.toInt(), 2);
    EXPECT_EQ(posts[2].userInfo.value("MouseLocation").toPointF(), QPointF(390, 120));
    EXPECT_TRUE(posts[2].userInfo.value("MouseEvent").toMap().contains("locationInWindow"));
    EXPECT_EQ(project->nCurrentSlideItem(), 2u);
}

TEST_F(TimelineStripTest, APressReleasedAfterMovingOnlyOutsideTheStripIsAClickWhereItWasReleased) {
    mouse(QEvent::MouseButtonPress, {200, 120});
    mouse(QEvent::MouseMove, {200, 260}); // above the strip
    mouse(QEvent::MouseButtonRelease, {560, 120}, Qt::NoButton);
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].object.toInt(), 3);
    EXPECT_EQ(project->slideshowArray(), slides) << "no drag started";
}

TEST_F(TimelineStripTest, AClickSelectsTheLayerItemsUnderItAndNoOthers) {
    addLayerItems();
    const auto caption = project->textLayerArray()[0];
    const auto sound = project->audioLayerArray()[0];
    sound->setBSelectedState(true);
    click({caption->timelineRect().x() + 5, 185});
    EXPECT_TRUE(caption->bSelectedState());
    EXPECT_FALSE(sound->bSelectedState());
    EXPECT_TRUE(posts.empty());
}

TEST_F(TimelineStripTest, ASlideDraggedOntoTheStripMovesThereAndOneDroppedNowhereComesBackCurrent) {
    std::vector<Qt::DropAction> results;
    strip()->setDragRunner([&](QDrag& drag) {
        EXPECT_EQ(project->slideCount(), 4u) << "the slide left the strip as the drag began";
        EXPECT_FALSE(drag.pixmap().isNull());
        dragOver(*drag.mimeData(), {560, 120}); // over the fourth of the slides left
        return Qt::CopyAction;
    });
    mouse(QEvent::MouseButtonPress, {200, 120});
    mouse(QEvent::MouseMove, {203, 120});
    EXPECT_TRUE(strip()->bDraggingStarted());
    EXPECT_EQ(project->slideshowArray(),
              (std::vector<SlideItemRef>{slides[0], slides[2], slides[3], slides[1], slides[4]}));
    EXPECT_EQ(content()->nTimelineViewState(), timeline_layout::kStateIdle);

    // The platform's own drag loop: with no place to drop, the slide comes back where the marker last stood.
    strip()->setDragRunner({});
    mouse(QEvent::MouseButtonPress, {40, 120});
    mouse(QEvent::MouseMove, {45, 120});
    EXPECT_EQ(project->slideshowArray(),
              (std::vector<SlideItemRef>{slides[2], slides[3], slides[1], slides[0], slides[4]}));
    EXPECT_EQ(controller->nCurrentSlideshowItemIndex(), 3);
}

// The autosave may come while a slide is held in a drag: what it writes holds every slide in its place.
TEST_F(TimelineStripTest, AnAutosaveWhileASlideIsDraggedWritesEverySlide) {
    const auto names = [](const std::vector<SlideItemRef>& list) {
        QStringList files;
        for (const SlideItemRef& slide : list)
            files << slide->fileName();
        return files;
    };
    QStringList written;
    strip()->setDragRunner([&](QDrag&) {
        QString error;
        EXPECT_TRUE(project->saveProjectToFile(&error)) << qPrintable(error);
        if (const auto reread = SlideshowProject::loadBundleProject(project->strMacProjectBundleFullPath()))
            written = names(reread->slideshowArray());
        return Qt::IgnoreAction;
    });
    mouse(QEvent::MouseButtonPress, {200, 120});
    mouse(QEvent::MouseMove, {203, 120});
    ASSERT_TRUE(strip()->bDraggingStarted());
    EXPECT_EQ(written, names(slides));
}

// Slides of different lengths: the one dragged starts, frame for frame, where its new place begins, and the
// slides it passed start earlier by its length; the project counts as changed.
TEST_F(TimelineStripTest, ADraggedSlidesStartFramesFollowItsNewPlace) {
    for (std::size_t i = 0; i < slides.size(); ++i)
        slides[i]->customSetDurations(float(i + 1), 0.5f);
    project->calcSlideItemsPhotoTransitionDuration();
    project->updateTimelineItemsPosition();
    project->setBIsDirty(false);
    strip()->setDragRunner([&](QDrag& drag) {
        dragOver(*drag.mimeData(), {560, 120}); // over the fourth of the slides left
        return Qt::CopyAction;
    });
    mouse(QEvent::MouseButtonPress, {200, 120});
    mouse(QEvent::MouseMove, {203, 120});
    const std::vector<SlideItemRef> order = project->slideshowArray();
    ASSERT_EQ(order, (std::vector<SlideItemRef>{slides[0], slides[2], slides[3], slides[1], slides[4]}));
    quint64 start = project->nFrameSlideshowFadeIn();
    for (const SlideItemRef& slide : order) {
        EXPECT_EQ(slide->nItemStartFrameIndex(), start)
            << "the slide of " << slide->fSecPhotoDuration() << " s";
        start += quint64(std::lround((slide->fSecPhotoDuration() + 0.5) * 30.0));
    }
    for (std::size_t i = 1; i < order.size(); ++i)
        EXPECT_GT(order[i]->timelineRect().x(), order[i - 1]->timelineRect().x()) << "drawn in the new order";
    EXPECT_TRUE(project->bIsDirty());
}

TEST_F(TimelineStripTest, AnAudioItemDraggedAlongItsBandShowsItsCursorAndEndsSelected) {
    addLayerItems();
    const auto sound = project->audioLayerArray()[0];
    const double grab = 20;
    const QPointF pressed(sound->timelineRect().x() + grab, 55);
    strip()->setDragRunner([&](QDrag& drag) {
        EXPECT_TRUE(project->audioLayerArray().empty());
        dragOver(*drag.mimeData(), {pressed.x() + 280, 55}, false);
        EXPECT_EQ(content()->nTimelineViewState(), timeline_layout::kStateAudioDrag);
        const QRectF cursor(sound->timelineRect().x() + 280 - 1, 47, 3, 16); // its left edge
        EXPECT_TRUE(anyNear(drawnStrip(), cursor, QColor(0, 255, 0))) << "the dashed cursor";
        QDropEvent dropped(inViewport({pressed.x() + 280, 55}), Qt::CopyAction, drag.mimeData(),
                           Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(strip()->viewport(), &dropped);
        return Qt::CopyAction;
    });
    mouse(QEvent::MouseButtonPress, pressed);
    mouse(QEvent::MouseMove, pressed + QPointF(0, 2));
    ASSERT_EQ(project->audioLayerArray(), (std::vector<MusicItemRef>{sound}));
    EXPECT_TRUE(sound->bSelectedState());
}

// A song's panel lies across the audio layer's band: an item there is seen above the panel, and a press
// where the panel lies beneath it drags the item, not the panel.
TEST_F(TimelineStripTest, AnAudioItemOverASongsPanelIsSeenAndDraggedAboveIt) {
    const QString tone = dir.file("Tide.wav");
    ASSERT_TRUE(ToneMaker::writeWav(tone, 330, 8.0, 0.5f));
    controller->recordSongs = false;
    controller->addMusicToProject({tone});
    ASSERT_TRUE(test_support::spinUntil([&] { return controller->isMusicImportIdle(); }, 30000));
    const auto& panels = controller->musicSubviewArray();
    ASSERT_EQ(panels.size(), 1u);
    addLayerItems();
    const MusicItemRef sound = project->audioLayerArray()[0];
    const QRectF before = sound->timelineRect();
    const QPointF grabbed(before.x() + 30, 50); // on the item, with the panel beneath
    ASSERT_TRUE(panels[0]->isVisible());
    ASSERT_TRUE(
        panels[0]->geometry().contains(TimelineContentView::toWidget({grabbed, QSizeF(1, 1)}).toRect()));
    test_support::spinFor(50);
    EXPECT_FALSE(screenshot::save(*window, "timeline-audio-item-over-song").isNull());
    // Where the panel lies beneath it, the item is seen as it draws itself alone (its picture has the
    // arrow's rows above it).
    const QImage alone = content()->dragImageForAudioLayerItem(*sound);
    const QImage seen = content()->grab().toImage();
    const QRect item = TimelineContentView::toWidget(before).toAlignedRect();
    const QRect underPanel = item.intersected(panels[0]->geometry()).adjusted(3, 1, -3, -2);
    ASSERT_GE(underPanel.height(), 10);
    int same = 0;
    for (int y = underPanel.top(); y <= underPanel.bottom(); ++y)
        for (int x = underPanel.left(); x <= underPanel.right(); ++x)
            same += near(seen.pixelColor(x, y),
                         alone.pixelColor(x - item.left(), y - item.top() + timeline_layout::kArrowSize), 24)
                        ? 1
                        : 0;
    EXPECT_GT(same, underPanel.width() * underPanel.height() * 9 / 10) << "the item is seen over the panel";

    strip()->setDragRunner([&](QDrag& drag) {
        dragOver(*drag.mimeData(), grabbed + QPointF(170, 0));
        return Qt::CopyAction;
    });
    mouse(QEvent::MouseButtonPress, grabbed);
    mouse(QEvent::MouseMove, grabbed + QPointF(170, 0));
    EXPECT_TRUE(strip()->bDraggingStarted());
    project->updateTimelineItemsPosition();
    ASSERT_EQ(project->audioLayerArray(), (std::vector<MusicItemRef>{sound}));
    EXPECT_NEAR(sound->timelineRect().x(), before.x() + 170, 0.5) << "the item moved, not the panel";
}

// Pressed on an item, the pointer's first reported move already far off (as a quick hand or a scripted
// pointer gives it), dropped there: the item's left edge moves by exactly the pointer's distance, in either
// style, and its length in seconds stays.
TEST_F(TimelineStripTest, ALayerItemDraggedMovesByThePointersDistanceAndKeepsItsLength) {
    struct Case {
        bool text;
        double start; // seconds
        double distance;
        int style;
    };
    const Case cases[] = {{true, 6.5, 100, 0},   {true, 6.5, -100, 0}, {true, 3.0, 170, 0},
                          {false, 7.5, -150, 0}, {false, 2.0, 280, 0}, {true, 6.5, 100, 1},
                          {false, 7.5, -150, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.text ? "text " : "audio ") << c.start << " s moved "
                                        << c.distance << " in style " << c.style);
        project->setNTimelineStyle(c.style);
        auto caption = platform::makeMainThreadShared<SlideItem>();
        caption->setFSecPhotoDuration(8.0f);
        caption->setFSecTransitionDuration(0.5f);
        auto sound = songOf(9.0, "Harbour Bells");
        if (c.text)
            caption->setFSecStartTimePosition(float(c.start));
        else
            sound->setFStartPosition(float(c.start));
        project->setTextLayerArray({caption});
        project->setAudioLayerArray({sound});
        project->updateTimelineItemsPosition();
        const QRectF before = c.text ? caption->timelineRect() : sound->timelineRect();
        const double band = c.text ? 185 : 55;
        const QPointF pressed(before.x() + 30, band), target(pressed.x() + c.distance, band);
        strip()->setDragRunner([&](QDrag& drag) {
            dragOver(*drag.mimeData(), target);
            return Qt::CopyAction;
        });
        mouse(QEvent::MouseButtonPress, pressed);
        mouse(QEvent::MouseMove, target);
        project->updateTimelineItemsPosition();
        ASSERT_EQ(project->textLayerArray().size(), 1u);
        ASSERT_EQ(project->audioLayerArray().size(), 1u);
        const QRectF after = c.text ? caption->timelineRect() : sound->timelineRect();
        EXPECT_NEAR(after.x(), before.x() + c.distance, 0.5);
        EXPECT_GT(after.width(), 0.0) << "drawn whole, also past the show's end";
        if (c.style == 1) {
            EXPECT_NEAR(after.width(), before.width(), 0.5);
        }
        EXPECT_FLOAT_EQ(caption->fSecPhotoDuration() + caption->fSecTransitionDuration(), 8.5f);
        EXPECT_DOUBLE_EQ(sound->duration(), 9.0);
        const QImage drawn = drawnStrip();
        const QColor face = c.text ? QColor(220, 224, 210) : QColor(212, 212, 212);
        EXPECT_TRUE(anyNear(drawn, QRectF(after.x() + 2.5, band + 4, 1, 1), face))
            << "the item is drawn where it ended";
        EXPECT_FALSE(anyNear(drawn, QRectF(after.x() - 6, band + 4, 1, 1), face)) << "and not before it";
    }
}

TEST_F(TimelineStripTest, FilesDroppedGoToTheDelegateAtTheInsertIndex) {
    RecordingDropDelegate delegate;
    strip()->setDelegate(&delegate);
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(dir.file("beach.jpg")), QUrl("https://example.invalid/far.jpg")});
    dragOver(files, {200, 120});
    EXPECT_TRUE(strip()->bDraggingHasPhoto());
    EXPECT_EQ(delegate.dropped, QStringList{dir.file("beach.jpg")}) << "local files only";
    EXPECT_EQ(delegate.at, 1);
    QMimeData music;
    music.setData(TimelineScrollView::backgroundMusicDragType(), {});
    dragOver(music, {200, 120});
    EXPECT_EQ(delegate.dropped, QStringList{dir.file("beach.jpg")}) << "background music changes nothing";
    EXPECT_EQ(project->slideshowArray(), slides);
}

TEST_F(TimelineStripTest, ADragNearAnEndScrollsTowardsItEveryTenthOfASecondUntilItLeaves) {
    useColourSlides(std::vector<QColor>(20, Qt::gray));
    QScrollBar* bar = strip()->horizontalScrollBar();
    bar->setValue(1200);
    QMimeData data;
    data.setData(TimelineScrollView::cellDragType(), {});
    const QPointF nearLeft = strip()->viewport()->mapToGlobal(QPointF(0, 100));
    strip()->draggingEntered(data, nearLeft, Qt::LeftButton);
    const int step = strip()->width() / 2 / 5;
    scheduler->advance(0.1);
    EXPECT_EQ(bar->value(), 1200 - step);
    scheduler->advance(0.1);
    EXPECT_EQ(bar->value(), 1200 - 2 * step);
    strip()->draggingUpdated(data, strip()->viewport()->mapToGlobal(QPointF(strip()->width() / 2, 100)),
                             Qt::LeftButton);
    scheduler->advance(0.3);
    EXPECT_EQ(bar->value(), 1200 - 2 * step) << "the middle half does not scroll";
    strip()->draggingExited();
    EXPECT_FALSE(strip()->isAutoscrolling());
}

// A slide dragged with the pointer resting in the strip's outer quarter: the strip scrolls by itself, the gap
// opens under the resting pointer after every step, and the drop lands where the gap stands.
TEST_F(TimelineStripTest, WhileTheStripScrollsByItselfTheGapFollowsThePointerAndTheDropLandsThere) {
    slides = useColourSlides(std::vector<QColor>(20, Qt::gray));
    const SlideItemRef dragged = slides[1];
    QScrollBar* bar = strip()->horizontalScrollBar();
    const int viewportWidth = strip()->viewport()->width();
    const QPoint resting(viewportWidth * 9 / 10, int(inViewport({0, 120}).y()));
    int gapAtDrop = -1;
    strip()->setDragRunner([&](QDrag& drag) {
        QDragEnterEvent enter(resting, Qt::CopyAction, drag.mimeData(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(strip()->viewport(), &enter);
        QDragMoveEvent move(resting, Qt::CopyAction, drag.mimeData(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(strip()->viewport(), &move);
        for (int step = 1; step <= 4; ++step) {
            SCOPED_TRACE(testing::Message() << "step " << step);
            const int before = bar->value();
            scheduler->advance(0.1);
            EXPECT_GT(bar->value(), before) << "the strip scrolls towards its end";
            // The slot under the pointer, the dragged slide out of the strip.
            const double x = resting.x() + bar->value();
            const int under = int(x) / 170;
            EXPECT_EQ(content()->nInsertPositionIndex(), quint64(under));
            const QImage drawn = drawnStrip();
            EXPECT_TRUE(near(stripPixel(drawn, {under * 170.0 + 50, 120}), QColor(0x4a9bff), 30))
                << "the marker stands in the gap under the pointer";
            EXPECT_FALSE(near(stripPixel(drawn, {under * 170.0 + 50 - 170, 120}), QColor(0x4a9bff), 30));
        }
        gapAtDrop = int(content()->nInsertPositionIndex());
        QDropEvent dropped(QPointF(resting), Qt::CopyAction, drag.mimeData(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(strip()->viewport(), &dropped);
        return Qt::CopyAction;
    });
    mouse(QEvent::MouseButtonPress, {200, 120});
    mouse(QEvent::MouseMove, {203, 120});
    ASSERT_GT(gapAtDrop, 1);
    const std::vector<SlideItemRef> order = project->slideshowArray();
    ASSERT_EQ(order.size(), 20u);
    EXPECT_EQ(order[std::size_t(gapAtDrop)], dragged) << "the slide landed in the gap";
    EXPECT_FALSE(strip()->isAutoscrolling());
}

TEST_F(TimelineStripTest, TheStripIsDrawnOnItsGreyWithTheCurrentCellAndAGapWithTheMarker) {
    addLayerItems();
    controller->setNCurrentSlideshowItemIndex(1);
    window->update();
    const QImage idle = screenshot::save(*window, "timeline-strip");
    ASSERT_FALSE(idle.isNull());
    const QImage strip = drawnStrip();
    EXPECT_TRUE(near(stripPixel(strip, {900, 150}), QColor(54, 54, 54), 1)) << "the strip's grey";
    EXPECT_TRUE(near(stripPixel(strip, {220, 120}), kColours[1])) << "the second slide's thumbnail";
    EXPECT_FALSE(near(stripPixel(strip, {10, 160}), stripPixel(strip, {180, 160}), 8))
        << "the current cell's backing differs";

    content()->setNTimelineViewState(timeline_layout::kStateInsert);
    content()->setNInsertPositionIndex(2);
    window->update();
    screenshot::save(*window, "timeline-strip-insert");
    const QImage gap = drawnStrip();
    EXPECT_TRUE(near(stripPixel(gap, {390, 120}), QColor(0x4a9bff), 30)) << "the marker in the gap";
    EXPECT_TRUE(near(stripPixel(gap, {560, 120}), kColours[2])) << "the third slide one cell on";
    EXPECT_TRUE(near(stripPixel(gap, {220, 120}), kColours[1])) << "the second slide in place";
}

TEST_F(TimelineStripTest, NoLayerItemCoversTheDurationBadges) {
    auto sound = songOf(20.0, "Harbour Bells");
    sound->setFStartPosition(0.2f); // its arrow stands right under the first photo's badge
    project->setAudioLayerArray({sound});
    auto caption = platform::makeMainThreadShared<SlideItem>();
    caption->setFSecStartTimePosition(0.2f);
    project->setTextLayerArray({caption});
    project->updateTimelineItemsPosition();
    const QImage drawn = drawnStrip();
    screenshot::save(*window, "timeline-strip-layers");
    const QColor badge = QColor::fromRgbF(0.9f, 0.9f, 1.0f);
    for (const auto& slide : {slides[0], slides[1]}) {
        // The badge's left part, clear of its centred text.
        const QRectF part = slide->rect(SlideItem::kRectPhotoDuration).adjusted(2, 2, -70, -2);
        const QRect area = TimelineContentView::toWidget(part).toAlignedRect();
        int covered = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                covered += near(drawn.pixelColor(x, y), badge, 6) ? 0 : 1;
        EXPECT_EQ(covered, 0) << "pixels of the badge at " << slide->timelineRect().x() << " covered";
    }
}
