// The side bar's placement, stepping and click routing, and the collapsible panes' stacking.
#include "ui/controls/IVInspectorViewContainer.h"
#include "ui/controls/SDSideBar.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMouseEvent>
#include <gtest/gtest.h>

namespace {

struct RecordingDelegate : SDSideBarDelegate {
    void sideBarDidSelectButton(SDSideBar&, unsigned index) override { rows.push_back(int(index)); }
    std::vector<int> rows;
};

class Target : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void optionsChosen(SDSideBar* bar) { chosenBy = bar; }
    SDSideBar* chosenBy = nullptr;
};

std::unique_ptr<SDSideBar> barOfThree(int height) {
    auto bar = std::make_unique<SDSideBar>();
    bar->resize(72, height);
    for (const char* title : {"Images", "Video", "Music"})
        bar->addButtonWithTitle(title);
    return bar;
}

void clickAt(QWidget* widget, QPoint point) {
    const QPointF global = widget->mapToGlobal(QPointF(point));
    QMouseEvent press(QEvent::MouseButtonPress, point, global, Qt::LeftButton, Qt::LeftButton, {});
    QMouseEvent release(QEvent::MouseButtonRelease, point, global, Qt::LeftButton, {}, {});
    QCoreApplication::sendEvent(widget, &press);
    QCoreApplication::sendEvent(widget, &release);
}

IVInspectorView* paneWithBody(int bodyHeight) {
    auto* pane = new IVInspectorView;
    auto* body = new QWidget;
    body->resize(222, bodyHeight);
    pane->setBody(body);
    return pane;
}

} // namespace

TEST(SideBarTest, ButtonsSitTopCentredOrBottomMeasuredUpwards) {
    struct Case {
        unsigned mode;
        double upwardY;
    };
    for (const Case step : {Case{1, 110.0}, Case{0, 220.0}, Case{2, 0.0}}) {
        auto bar = barOfThree(400);
        bar->setLayoutMode(step.mode);
        EXPECT_EQ(SDSideBar::matrixOriginY(step.mode, 400, 180, 0), step.upwardY) << step.mode;
        // On screen the y runs down from the top edge.
        EXPECT_EQ(bar->matrix()->geometry(), QRect(0, int(400 - step.upwardY - 180), 72, 180)) << step.mode;
    }
}

TEST(SideBarTest, StepsStayInsideTheRowsAndPrevNeverLeavesRowOne) {
    auto bar = barOfThree(400);
    RecordingDelegate delegate;
    bar->setSidebarDelegate(&delegate);
    bar->selectButtonAtRow(7); // past the last: row 0
    EXPECT_EQ(bar->selectedIndex(), 0);
    bar->selectNext();
    EXPECT_EQ(bar->selectedIndex(), 1);
    bar->selectPrev();
    EXPECT_EQ(bar->selectedIndex(), 1);
    bar->selectNext();
    bar->selectNext();
    EXPECT_EQ(bar->selectedIndex(), 2);
    bar->selectPrev();
    EXPECT_EQ(bar->selectedIndex(), 1);
    EXPECT_EQ(delegate.rows, std::vector<int>({1, 2, 1}));
    EXPECT_EQ(bar->cellForItem(-1), nullptr);
    EXPECT_EQ(bar->cellForItem(3), nullptr);
}

TEST(SideBarTest, AButtonsOwnTargetAnswersBeforeTheDelegateUnlessItCannot) {
    auto bar = barOfThree(400);
    RecordingDelegate delegate;
    Target target;
    bar->setSidebarDelegate(&delegate);
    bar->setTarget(&target, "optionsChosen", 1);
    bar->setTarget(&target, "noSuchMethod", 2);
    bar->cellForItem(1)->click();
    EXPECT_EQ(target.chosenBy, bar.get());
    EXPECT_TRUE(delegate.rows.empty());
    bar->cellForItem(2)->click();
    EXPECT_EQ(delegate.rows, std::vector<int>({2}));
    EXPECT_EQ(bar->selectedIndex(), 2);
}

TEST(SideBarTest, TheSelectionPictureSlidesBesideTheChosenButton) {
    auto scheduler = std::make_shared<platform::ManualScheduler>();
    auto bar = barOfThree(400);
    bar->setScheduler(scheduler);
    bar->setLayoutMode(SDSideBar::Top);
    QImage notch(12, 22, QImage::Format_ARGB32);
    notch.fill(Qt::white);
    bar->setSelectionImage(notch);
    bar->selectButtonAtRow(0);
    bar->setAnimateSelection(true);
    bar->show();
    const QPoint first = bar->selectorImageView()->pos();
    EXPECT_EQ(first, QPoint(60, 19)); // right edge, centred on the 60-high row
    bar->selectButtonAtRow(2);
    scheduler->advance(0.05);
    EXPECT_GT(bar->selectorImageView()->y(), first.y());
    EXPECT_LT(bar->selectorImageView()->y(), 139);
    scheduler->advance(0.2);
    EXPECT_EQ(bar->selectorImageView()->pos(), QPoint(60, 139));
}

TEST(InspectorPanesTest, APaneAfterACollapsedOneOverlapsItByOnePoint) {
    IVInspectorViewContainer container;
    container.resize(240, 10);
    IVInspectorView* first = paneWithBody(100);
    IVInspectorView* second = new IVInspectorView;
    container.addInspectorView(first, false);
    container.addInspectorView(second, true);
    EXPECT_EQ(first->height(), 20);
    EXPECT_EQ(second->y(), 19);
    first->headerClicked(*first->header());
    EXPECT_TRUE(first->expanded());
    EXPECT_EQ(first->height(), 120);
    EXPECT_EQ(second->y(), 120);
    EXPECT_EQ(first->body()->geometry(), QRect(0, 20, 240, 100));
    EXPECT_EQ(container.height(), 140);
}

TEST(InspectorPanesTest, PanesAreHeldOnceInIndexOrderAndTheWholeBarToggles) {
    IVInspectorViewContainer container;
    container.resize(240, 10);
    IVInspectorView* later = paneWithBody(50);
    IVInspectorView* earlier = paneWithBody(30);
    container.addInspectorView(later, 5, true);
    container.addInspectorView(later, 5, true);
    container.addInspectorView(earlier, 1, true);
    ASSERT_EQ(container.inspectorViews().size(), 2u);
    EXPECT_EQ(earlier->y(), 0);
    EXPECT_EQ(later->y(), 50);
    // A click on the bar beside the triangle does what the triangle does.
    clickAt(earlier->header(), QPoint(150, 10));
    EXPECT_FALSE(earlier->expanded());
    EXPECT_EQ(earlier->header()->state(), 0);
    EXPECT_EQ(later->y(), 19);
    earlier->header()->disclosureTriangle()->click();
    EXPECT_TRUE(earlier->expanded());
    EXPECT_EQ(later->y(), 50);
    IVInspectorView stranger;
    container.removeInspectorView(&stranger);
    EXPECT_EQ(container.inspectorViews().size(), 2u);
}

#include "SideBarAndPanesTest.moc"
