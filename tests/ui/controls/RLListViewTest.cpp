// The cell-reusing list view: row geometry, drop targets, the click, key and drag rules, and the reuse of
// cells as the list scrolls.
#include "ui/controls/RLListView.h"
#include "platform/foundation/Scheduler.h"
#include "support/TestEnvironment.h"
#include "ui/controls/RLListViewCell.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>

#include <set>

#include <gtest/gtest.h>

namespace {

class RowsDelegate : public RLListViewDelegate {
public:
    std::vector<double> heights = std::vector<double>(5, 58.0);
    int made = 0;
    int selectionChanges = 0;
    std::vector<std::pair<std::size_t, RLListViewDropHighlight>> validated, accepted;
    std::vector<std::size_t> doubleClicked;

    std::size_t numberOfRowsInListView(RLListView&) override { return heights.size(); }
    double heightOfRow(RLListView&, std::size_t row) override { return heights[row]; }
    RLListViewCell* cellForRow(RLListView& list, std::size_t) override {
        if (RLListViewCell* cell = list.dequeueCellWithReusableIdentifier("row"))
            return cell;
        ++made;
        return new RLListViewCell("row", list.documentView()); // the document view owns it
    }
    void listViewSelectionDidChange(const platform::Notification&) override { ++selectionChanges; }
    void rowDoubleClicked(RLListView&, std::size_t row) override { doubleClicked.push_back(row); }
    bool writeRowsWithIndexes(RLListView&, const RLIndexSet&, QMimeData& data) override {
        data.setText("rows");
        return true;
    }
    Qt::DropAction validateDrop(RLListView&, const QMimeData&, std::size_t row,
                                RLListViewDropHighlight highlight) override {
        validated.emplace_back(row, highlight);
        return Qt::CopyAction;
    }
    bool acceptDrop(RLListView&, const QMimeData&, std::size_t row,
                    RLListViewDropHighlight highlight) override {
        accepted.emplace_back(row, highlight);
        return true;
    }
};

} // namespace

class RLListViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        list.setScheduler(scheduler);
        list.setDragRunner([this](QDrag& drag) {
            drags.push_back(drag.mimeData()->text());
            return Qt::CopyAction;
        });
        list.setCellSpacing(2.0);
        list.setDelegate(&delegate);
        showList(400);
    }
    void showList(int height) {
        list.resize(200, height);
        list.show();
        list.reloadData();
    }
    RLListViewCell* cell(std::size_t row) {
        RLListViewCell* found = list.cellForRowAtIndex(row);
        EXPECT_NE(found, nullptr) << "row " << row;
        return found;
    }
    // A press (and, unless held, its release) on a row, with modifiers.
    void click(std::size_t row, Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool release = true) {
        RLListViewCell* target = cell(row);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)),
                          Qt::LeftButton, Qt::LeftButton, modifiers);
        list.handleMouseDown(&press, target);
        if (release)
            list.handleMouseUp();
    }
    RLIndexSet selected() const { return list.selectedRows(); }

    RowsDelegate delegate;
    RLListView list;
    std::shared_ptr<platform::ManualScheduler> scheduler = std::make_shared<platform::ManualScheduler>();
    QStringList drags;
};

TEST_F(RLListViewTest, RowsFollowTheirHeightsAndSpacingAndTheDocumentFollowsTheList) {
    for (std::size_t row = 0; row < 5; ++row) {
        EXPECT_EQ(list.rectOfRow(row).y(), 60.0 * double(row));
        EXPECT_EQ(list.rectOfRow(row).height(), 58.0);
    }
    EXPECT_EQ(list.layoutOfRows().totalHeight(), 300.0);
    EXPECT_EQ(list.documentView()->height(), 398) << "a list 400 high";
    EXPECT_EQ(list.visibleCells().size(), 5u);
    showList(200);
    EXPECT_EQ(list.documentView()->height(), 300) << "a list 200 high scrolls";
    EXPECT_LT(list.visibleCells().size(), 5u) << "only rows in sight have cells";
    EXPECT_EQ(list.selectedRow(), RLNoRow);
}

TEST_F(RLListViewTest, ADropIsProposedAboveOnOrBelowARowByTheSixthOfItsSpan) {
    struct Case {
        double y;
        std::size_t row;
        RLListViewDropHighlight highlight;
    };
    for (const Case& c : {Case{125, 2, RLDropHighlightAbove}, Case{150, 2, RLDropHighlightOn},
                          Case{175, 3, RLDropHighlightAbove}, Case{5, 0, RLDropHighlightAbove},
                          Case{270, 4, RLDropHighlightOn}, Case{295, 5, RLDropHighlightAbove}}) {
        const auto target = list.indexOfRowAtPoint(QPointF(10, c.y));
        EXPECT_EQ(target.row, c.row) << c.y;
        EXPECT_EQ(target.highlight, c.highlight) << c.y;
    }
    QMimeData data;
    EXPECT_EQ(list.draggingEntered(data, QPointF(10, 295)), Qt::CopyAction);
    ASSERT_EQ(delegate.validated.size(), 1u);
    EXPECT_EQ(delegate.validated[0], std::make_pair(std::size_t(5), RLDropHighlightAbove));
    EXPECT_EQ(list.dropRow(), 4u) << "after the last row is shown below it";
    EXPECT_EQ(list.dropHighlight(), RLDropHighlightBelow);
    EXPECT_EQ(cell(4)->dropHighlight(), RLDropHighlightBelow);
    EXPECT_EQ(list.documentView()->dropHighlight(), RLDropHighlightOn) << "the list shows it is a target";
    EXPECT_TRUE(list.performDragOperation(data));
    ASSERT_EQ(delegate.accepted.size(), 1u);
    EXPECT_EQ(delegate.accepted[0], std::make_pair(std::size_t(4), RLDropHighlightBelow));

    delegate.heights.clear();
    list.reloadData();
    EXPECT_EQ(list.indexOfRowAtPoint(QPointF(10, 50)).row, RLNoRow);
}

TEST_F(RLListViewTest, ClicksSelectByTheModifierRules) {
    struct Case {
        const char* what;
        bool multiple, allowsEmpty;
        RLIndexSet before;
        std::size_t row;
        Qt::KeyboardModifiers modifiers;
        RLIndexSet after;
    };
    const Case cases[] = {
        {"a plain click", false, true, {0}, 2, Qt::NoModifier, {2}},
        {"shift adds only with multiple selection", false, true, {0}, 2, Qt::ShiftModifier, {2}},
        {"shift adds", true, true, {0}, 2, Qt::ShiftModifier, {0, 2}},
        {"ctrl on the only row, none allowed", false, false, {1}, 1, Qt::ControlModifier, {1}},
        {"ctrl on the only row, none allowed, multiple", true, false, {1}, 1, Qt::ControlModifier, {1}},
        {"ctrl on a selected row", false, true, {1}, 1, Qt::ControlModifier, {}},
        {"ctrl on one of two", true, true, {1, 3}, 3, Qt::ControlModifier, {1}},
        {"a plain click on one of two", true, true, {1, 3}, 3, Qt::NoModifier, {3}},
    };
    for (const Case& c : cases) {
        list.setAllowsMultipleSelection(c.multiple);
        list.setAllowsEmptySelection(c.allowsEmpty);
        list.setSelectedRows(c.before);
        click(c.row, c.modifiers);
        EXPECT_EQ(selected(), c.after) << c.what;
    }
    list.setAllowsEmptySelection(true);
    list.handleMouseDownOutsideCells(QPointF(10, 390));
    EXPECT_TRUE(selected().empty()) << "a click on empty space clears the selection";
    list.setAllowsEmptySelection(false);
    list.handleMouseDownOutsideCells(QPointF(10, 390));
    EXPECT_EQ(selected(), RLIndexSet{4}) << "or, when it may not be empty, selects the last row above";

    RLListViewCell* target = cell(2);
    QMouseEvent second(QEvent::MouseButtonDblClick, QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)),
                       Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    list.handleMouseDown(&second, target, 2);
    EXPECT_EQ(delegate.doubleClicked, std::vector<std::size_t>{2});
}

TEST_F(RLListViewTest, ArrowKeysMoveTheSelectionAndStopAtTheEnds) {
    list.setSelectedRow(0);
    const int before = delegate.selectionChanges;
    list.moveUp();
    EXPECT_EQ(list.selectedRow(), 0u);
    EXPECT_EQ(delegate.selectionChanges, before) << "nothing to move to";
    for (int i = 0; i < 6; ++i)
        list.moveDown();
    EXPECT_EQ(list.selectedRow(), 4u);
    EXPECT_EQ(delegate.selectionChanges, before + 4);
}

TEST_F(RLListViewTest, APressBecomesADragAfterAHoldOrAMoveBeyondTwoPoints) {
    struct Case {
        const char* what;
        double holdSeconds;
        QPointF move;
        bool drags;
    };
    for (const Case& c :
         {Case{"held 1.5 s", 1.5, {}, true}, Case{"released after 1.4 s", 1.4, {}, false},
          Case{"moved 3 points", 0.0, {0, 3}, true}, Case{"moved 2 points", 0.0, {2, 2}, false}}) {
        drags.clear();
        list.deselectAll();
        click(1, Qt::NoModifier, false);
        EXPECT_EQ(selected(), RLIndexSet{1}) << c.what << ": a press selects before it drags";
        scheduler->advance(c.holdSeconds);
        if (!c.move.isNull())
            list.handleMouseMoved(cell(1)->mapToGlobal(QPointF(5, 5) + c.move));
        list.handleMouseUp();
        EXPECT_EQ(drags, c.drags ? QStringList{"rows"} : QStringList()) << c.what;
    }
}

TEST_F(RLListViewTest, ScrollingReusesCellsWithoutTheirDropMarks) {
    delegate.heights.assign(30, 58.0);
    showList(200);
    const int madeAtFirst = delegate.made;
    list.cellForRowAtIndex(0)->setDropHighlight(RLDropHighlightOn);
    list.scrollRowToVisible(29);
    EXPECT_EQ(list.verticalScrollBar()->value(), list.verticalScrollBar()->maximum())
        << "a row below the visible area scrolls the list to its end";
    list.scrollRowToVisible(0);
    list.scrollRowToVisible(6);
    EXPECT_LE(delegate.made, madeAtFirst + 4) << "cells that left the view came back";
    for (RLListViewCell* shown : list.visibleCells())
        EXPECT_EQ(shown->dropHighlight(), RLDropHighlightNone);

    delegate.heights.assign(3, 58.0);
    list.reloadData();
    delegate.heights.assign(30, 58.0);
    list.reloadData(); // the scroller comes back meanwhile
    std::set<std::size_t> rowsShown;
    for (RLListViewCell* shown : list.visibleCells())
        rowsShown.insert(shown->row());
    EXPECT_EQ(rowsShown.size(), list.visibleCells().size()) << "one cell a row";

    RLReuseQueue<int, QString> queue;
    queue.enqueue("a", 1);
    queue.enqueue("b", 2);
    queue.enqueue("a", 3);
    EXPECT_EQ(queue.dequeue("a"), 3) << "newest first";
    EXPECT_EQ(queue.dequeue("a"), 1);
    EXPECT_EQ(queue.dequeue("a"), std::nullopt);
}

TEST_F(RLListViewTest, TheVisibleCellsFollowTheMovingRange) {
    struct Case {
        RLRange from, to;
        std::vector<std::size_t> prepend, append;
        std::size_t dropFront, dropBack;
        bool replaceAll;
    };
    for (const Case& c :
         {Case{{2, 3}, {1, 3}, {1}, {}, 0, 1, false}, Case{{2, 3}, {3, 4}, {}, {5, 6}, 1, 0, false},
          Case{{0, 3}, {5, 3}, {}, {}, 0, 0, true}, Case{{2, 3}, {2, 3}, {}, {}, 0, 0, false}}) {
        const RLCellUpdate update = planCellUpdate(c.from, c.to);
        EXPECT_EQ(update.prepend, c.prepend);
        EXPECT_EQ(update.append, c.append);
        EXPECT_EQ(update.dropFront, c.dropFront);
        EXPECT_EQ(update.dropBack, c.dropBack);
        EXPECT_EQ(update.replaceAll, c.replaceAll);
    }
}

TEST_F(RLListViewTest, AssistiveToolsSeeAListOfRowsWhosePressExtendsTheSelection) {
    QAccessibleInterface* listInterface = QAccessible::queryAccessibleInterface(&list);
    ASSERT_NE(listInterface, nullptr);
    EXPECT_EQ(listInterface->role(), QAccessible::List);
    EXPECT_EQ(listInterface->childCount(), 5);
    list.setSelectedRow(1);
    QAccessibleInterface* row = QAccessible::queryAccessibleInterface(cell(1));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->role(), QAccessible::ListItem);
    EXPECT_TRUE(row->state().selected);
    row->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(selected().empty()) << "a press on a selected row deselects it, as a Ctrl-click";
}

TEST_F(RLListViewTest, OnlyTheListsOwnSelectionChangesReachItsDelegate) {
    RowsDelegate otherDelegate;
    RLListView other;
    other.setDelegate(&otherDelegate);
    other.resize(200, 200);
    other.reloadData();
    other.setSelectedRow(1);
    EXPECT_EQ(delegate.selectionChanges, 0);
    EXPECT_EQ(otherDelegate.selectionChanges, 1);
    list.setDelegate(nullptr);
    list.setSelectedRow(1);
    EXPECT_EQ(delegate.selectionChanges, 0) << "a delegate let go hears no more";
}

// Through a live resize the rows keep the width they had when it began, unless the list lays them out live;
// either way they take the list's width once it ends, and a taller list shows more rows meanwhile.
TEST_F(RLListViewTest, ALiveResizeKeepsTheRowsWidthOnlyWhenTheListDoesNotLayOutLive) {
    for (const bool live : {true, false}) {
        SCOPED_TRACE(live ? "laid out live" : "laid out at the end");
        showList(200);
        list.setUsesLiveResize(live);
        ASSERT_LT(list.visibleCells().size(), 5u);
        const double before = list.contentViewRect().width();
        RLListViewCell* first = cell(0);
        list.viewWillStartLiveResize();
        EXPECT_TRUE(list.inLiveResize());
        EXPECT_EQ(list.widthPriorToResize(), before);
        list.resize(320, 400);
        const double after = list.contentViewRect().width();
        ASSERT_GT(after, before);
        const double during = live ? after : before;
        EXPECT_EQ(list.rectOfRow(0).width(), during);
        EXPECT_EQ(list.visibleCells().size(), 5u) << "the taller list shows every row";
        for (RLListViewCell* shown : list.visibleCells())
            EXPECT_EQ(shown->width(), int(during)) << "row " << shown->row();
        if (!live) {
            EXPECT_EQ(list.cellForRowAtIndex(0), first) << "the cells in sight stay as they are";
        }
        list.viewDidEndLiveResize();
        EXPECT_FALSE(list.inLiveResize());
        EXPECT_EQ(list.rectOfRow(0).width(), after);
        for (RLListViewCell* shown : list.visibleCells())
            EXPECT_EQ(shown->width(), int(after)) << "row " << shown->row();
        list.resize(200, 200);
    }
    EXPECT_TRUE(RLListView().usesLiveResize()) << "laid out live unless told otherwise";
}
