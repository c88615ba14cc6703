// The cell views of the timeline and the music strip with its play indicator.
#include "support/MainWindowFixture.h"
#include "support/PostedNotifications.h"

#include "platform/foundation/MainThread.h"
#include "ui/UiNotifications.h"
#include "ui/controls/ButtonTextColor.h"
#include "ui/editing/MusicTimelineLayout.h"
#include "ui/editing/MusicTimelineViewController.h"
#include "ui/editing/TimeLineCellViewController.h"
#include "ui/editing/TransitionImageView.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>

using platform::Notification;
using platform::NotificationCenter;

namespace {

using Posts = test_support::PostedNotifications;

void press(QWidget& widget, QEvent::Type type = QEvent::MouseButtonPress) {
    QMouseEvent event(type, QPointF(5, 5), widget.mapToGlobal(QPointF(5, 5)), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

} // namespace

class TimelineCellsAndMusicTest : public MainWindowTest {};

TEST_F(TimelineCellsAndMusicTest, ACellShowsItsDurationsInWhiteAndPostsItsIndexWhenClicked) {
    TimeLineCellViewController cell(projectSource());
    EXPECT_EQ(button_text_color::textColor(*cell.photoDurationButton()), QColor(Qt::white))
        << "even without a slide";
    auto slide = platform::makeMainThreadShared<SlideItem>();
    slide->customSetDurations(75.5f, 2.0f);
    cell.setSItem(slide);
    EXPECT_EQ(cell.photoDurationButton()->text(), "75.5s");
    EXPECT_EQ(cell.transitionDurationButton()->text(), "2.0s");

    Posts clicks(kNotifyTimelineCellClicked);
    press(*cell.photoThumbnailView());
    cell.setNIndexTag(4);
    press(*cell.transitionIconView());
    ASSERT_EQ(clicks.list.size(), 2u);
    EXPECT_EQ(clicks.list[0].object.toInt(), -1) << "no index yet";
    EXPECT_EQ(clicks.list[1].object.toInt(), 4);

    Posts durations(kNotifySetDurationButtonClicked);
    cell.photoDurationButton()->click();
    ASSERT_EQ(durations.list.size(), 1u);
    EXPECT_EQ(durations.list[0].userInfo.value("ClickedSlideItem").value<platform::ArchivableRef>(), slide);
    slide.reset();
    cell.updateSlideItemInfo();
    EXPECT_EQ(cell.photoDurationButton()->text(), "75.5s") << "a slide gone leaves the last titles";
}

TEST_F(TimelineCellsAndMusicTest, ACellsPictureIsTransparentWhereItPaintsNothing) {
    TimeLineCellViewController cell(projectSource());
    const QImage picture = cell.getDragSourceImage();
    ASSERT_EQ(picture.size(), QSize(170, 100));
    EXPECT_EQ(picture.pixelColor(102, 5).alpha(), 0) << "between the photo and the transition";
    EXPECT_GT(picture.pixelColor(50, 50).alpha(), 0) << "the photo's backing";
    EXPECT_TRUE(imageFromViewSnapshot(nullptr).isNull());
}

TEST_F(TimelineCellsAndMusicTest, ACellsViewPassesDragsToTheStripOrRefusesThemWithoutOne) {
    TimeLineCellViewController cell(projectSource());
    TimelineCellView& view = *cell.view();
    QMimeData data;
    data.setData(TimelineScrollView::cellDragType(), {});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    EXPECT_EQ(view.draggingEntered(enter), Qt::IgnoreAction);
    EXPECT_FALSE(view.performDragOperation(drop));

    makeController(true);
    view.setTimelineDraggingDest(controller->outlets().scrollView1);
    EXPECT_EQ(view.draggingEntered(enter), Qt::CopyAction);
    EXPECT_TRUE(controller->outlets().scrollView1->isAutoscrolling()) << "the strip took the drag";
    view.draggingExited();
    EXPECT_FALSE(controller->outlets().scrollView1->isAutoscrolling());
}

TEST_F(TimelineCellsAndMusicTest, SongsBecomeBandsOfTheirShareOfTheShowLabelledWithTheirLength) {
    auto slide = platform::makeMainThreadShared<SlideItem>();
    slide->customSetDurations(60.0f, 2.0f); // a 60 s show: the last transition does not count
    project->setSlideshowArray({slide});
    project->setMusicArray({songOf(30.0, "Dawn"), songOf(90.0, "Noon"), songOf(20.0, "Dusk")});
    makeController();
    MusicTimelineViewController& music = controller->musicTimelineViewController();
    music.respondMusicArrayChanged();
    const QVariantList records = music.view()->songDrawInfoArray();
    ASSERT_EQ(records.size(), 3);
    EXPECT_DOUBLE_EQ(records[0].toMap().value("factor").toDouble(), 0.5);
    EXPECT_DOUBLE_EQ(records[1].toMap().value("factor").toDouble(), 1.5);
    EXPECT_EQ(records[0].toMap().value("desc").toString(), "Dawn - (00:30)");
    EXPECT_EQ(music_timeline_layout::songBands(records, QRectF(0, 0, 500, 30)),
              (std::vector<QRectF>{{0, 0, 250, 30}, {250, 0, 750, 30}}))
        << "the band that crosses the end is the last drawn";
    EXPECT_EQ(music.view()->parentWidget(), nullptr) << "hosted nowhere";

    EXPECT_EQ(music_timeline_layout::songDescription("Tide", 75.6), "Tide - (01:15)");
    EXPECT_EQ(music_timeline_layout::songDescription("Tide", 3725), "Tide - (1:02:05)");
    project->setSlideshowArray({});
    music.respondMusicArrayChanged();
    EXPECT_TRUE(music.view()->songDrawInfoArray().isEmpty()) << "no slides, no bands";
}

TEST_F(TimelineCellsAndMusicTest, TheIndicatorFollowsTheStartStaysCentredThenFollowsTheEndInSight) {
    using music_timeline_layout::indicatorStep;
    const struct {
        quint64 frame;
        double markerX, scrollX;
    } cases[] = {{100, 100, 0}, {500, 142.5, 350}, {950, 250, 700}, {1000, 300, 700}};
    for (const auto& c : cases) {
        const auto step = indicatorStep(c.frame, 1000, 1000, 0, 300, 15);
        EXPECT_NEAR(step.markerX, c.markerX, 1e-3) << c.frame;
        EXPECT_NEAR(step.scrollX, c.scrollX, 1e-3) << c.frame;
    }
    EXPECT_NEAR(indicatorStep(900, 1000, 200, 0, 300, 15).markerX, 180, 1e-3)
        << "a strip narrower than its view";
}

TEST_F(TimelineCellsAndMusicTest, AHostedStripScrollsWithTheIndicatorAndStoppingRemovesIt) {
    QScrollArea area;
    area.resize(300, 60);
    auto* host = new QWidget; // the scroll area owns it
    host->resize(1000, 40);
    area.setWidget(host);
    area.show();
    MusicTimelineViewController music(projectSource());
    music.createMusicTimelineViewIfNecessary(host, QRect(0, 0, 1000, 30));
    EXPECT_EQ(music.view()->parentWidget(), host);
    music.refreshPlayintIndicator(500, 1000);
    ASSERT_TRUE(music.tlPlayingIndicatorView());
    EXPECT_EQ(music.tlPlayingIndicatorView()->parentWidget(), &area);
    EXPECT_GT(area.horizontalScrollBar()->value(), 0);
    music.stopRefreshPlayintIndicator();
    EXPECT_FALSE(music.tlPlayingIndicatorView());

    Posts clicks(kNotifyMusicTimelineClicked);
    press(*music.view());
    press(*music.view(), QEvent::MouseButtonDblClick);
    ASSERT_EQ(clicks.list.size(), 2u) << "every click of a double click";
    EXPECT_TRUE(clicks.list[0].userInfo.value("locationInWindow").canConvert<QPointF>());
}
