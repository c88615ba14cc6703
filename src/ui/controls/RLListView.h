#pragma once

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Scheduler.h"
#include "ui/controls/RLListViewCore.h"

#include <QAbstractScrollArea>
#include <QPointF>
#include <QPointer>
#include <QRectF>

#include <functional>
#include <memory>
#include <vector>

class QDrag;
class QMimeData;
class QMouseEvent;
class RLListDocumentView;
class RLListView;
class RLListViewCell;

// Who supplies the rows of a list view. The three first are required; the others answer as a delegate
// that does not take the event would (no double click, no drag out, drops refused).
class RLListViewDelegate {
public:
    virtual ~RLListViewDelegate() = default;
    virtual std::size_t numberOfRowsInListView(RLListView& list) = 0;
    // Without the spacing.
    virtual double heightOfRow(RLListView& list, std::size_t row) = 0;
    // The cell for the row, dequeued or made with the list's document view as its parent.
    virtual RLListViewCell* cellForRow(RLListView& list, std::size_t row) = 0;
    // Through the notification "RLListViewSelectionDidChange" whose object is the list.
    virtual void listViewSelectionDidChange(const platform::Notification&) {}
    virtual void rowDoubleClicked(RLListView&, std::size_t) {}
    // True lets the rows be dragged, with what they put into `data`.
    virtual bool writeRowsWithIndexes(RLListView&, const RLIndexSet&, QMimeData&) { return false; }
    virtual Qt::DropAction validateDrop(RLListView&, const QMimeData&, std::size_t, RLListViewDropHighlight) {
        return Qt::IgnoreAction;
    }
    virtual bool acceptDrop(RLListView&, const QMimeData&, std::size_t, RLListViewDropHighlight) {
        return false;
    }
};

// A vertical list of rows of varying height, each shown by a cell the delegate supplies. Only rows in sight
// have cells; cells that scroll out are hidden and queued for reuse by their reuse identifier. The list
// keeps a selection of rows (clicks with Ctrl or Shift, arrow keys), lets selected rows be dragged out and
// takes drops onto or between rows. The viewport holds the document view, as tall as the rows, which holds
// the cells.
class RLListView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr double kDragHoldSeconds = 1.5;
    static constexpr double kDragSlop = 2.0;
    static QString selectionDidChangeNotification() { return QStringLiteral("RLListViewSelectionDidChange"); }
    // The session of one drag out, blocking until it ends.
    using DragRunner = std::function<Qt::DropAction(QDrag& drag)>;

    explicit RLListView(QWidget* parent = nullptr);
    ~RLListView() override;

    RLListViewDelegate* delegate() const { return rowDelegate; }
    void setDelegate(RLListViewDelegate* delegate);
    RLListDocumentView* documentView() const { return document; }
    // Where the hold that starts a drag is timed (the main thread's timers by default).
    void setScheduler(std::shared_ptr<platform::Scheduler> scheduler);
    // Tests replace the platform's drag loop.
    void setDragRunner(DragRunner runner) { dragRunner = std::move(runner); }

    void reloadData();
    void reloadRowAtIndex(std::size_t row);
    std::size_t numberOfRows() const { return rowCount; }

    RLListViewCell* dequeueCellWithReusableIdentifier(const QString& identifier);
    void enqueueCell(RLListViewCell* cell);
    std::vector<RLListViewCell*> visibleCells() const;
    RLListViewCell* cellForRowAtIndex(std::size_t row) const;
    std::vector<RLListViewCell*> visibleCellsForRowIndexes(const RLIndexSet& rows) const;
    RLRange currentRange() const { return range; }
    std::size_t reusableCellCount() const { return reusable.size(); }

    // ---- selection
    std::size_t selectedRow() const { return selection.selectedRow(); }
    void setSelectedRow(std::size_t row);
    const RLIndexSet& selectedRows() const { return selection.rows(); }
    void setSelectedRows(const RLIndexSet& rows);
    void selectRowIndexes(const RLIndexSet& rows, bool extend);
    void deselectRowIndexes(const RLIndexSet& rows);
    void deselectRows();
    void selectAll();
    void deselectAll();
    bool canSelectAll() const { return selection.canSelectAll(rowCount); }
    bool canDeselectAll() const { return selection.canDeselectAll(); }

    // ---- geometry and scrolling (document coordinates, y down)
    QRectF rectOfRow(std::size_t row) const;
    // The content area's size for the list's size, narrower by the scroller when the rows need one.
    QRectF contentViewRect() const;
    QRectF documentVisibleRect() const;
    void scrollToRow(std::size_t row);
    void scrollRowToVisible(std::size_t row);
    const RLListLayout& layoutOfRows() const { return rows; }

    // ---- properties
    double cellSpacing() const { return spacing; }
    void setCellSpacing(double value) { spacing = value; }
    bool allowsEmptySelection() const { return selection.allowsEmptySelection; }
    void setAllowsEmptySelection(bool value) { selection.allowsEmptySelection = value; }
    bool allowsMultipleSelection() const { return selection.allowsMultipleSelection; }
    void setAllowsMultipleSelection(bool value) { selection.allowsMultipleSelection = value; }
    // Whether the rows follow the list's width while a live resize runs (the default); without it they keep
    // the width they had when it began, and the cells are laid out anew once it ends.
    bool usesLiveResize() const { return liveResizeLayout; }
    void setUsesLiveResize(bool value) { liveResizeLayout = value; }

    // ---- live resize: whoever resizes the list interactively (a splitter's handle dragged, a window's
    // edge) brackets the resize with these two
    void viewWillStartLiveResize();
    void viewDidEndLiveResize();
    bool inLiveResize() const { return liveResizing; }
    double widthPriorToResize() const { return widthBeforeResize; }

    // ---- input: the cells and the document view hand their mouse events here
    void moveUp();
    void moveDown();
    // A press on a cell; a null event is the accessibility press (a click that extends the selection).
    void handleMouseDown(QMouseEvent* event, RLListViewCell* cell, int clickCount = 1);
    void handleMouseMoved(const QPointF& globalPoint);
    void handleMouseUp();
    void handleMouseDownOutsideCells(const QPointF& documentPoint);
    // True while a press waits to become a drag or a click.
    bool isTrackingDrag() const { return tracking.active; }
    bool dragStarted() const { return lastDragStarted; }

    // ---- drops (points in document coordinates)
    void setShowsDropHighlight(bool shows);
    void setDropRow(std::size_t row, RLListViewDropHighlight highlight);
    std::size_t dropRow() const { return dropTarget.row; }
    RLListViewDropHighlight dropHighlight() const { return dropTarget.highlight; }
    RLListLayout::DropTarget indexOfRowAtPoint(const QPointF& documentPoint) const;
    Qt::DropAction draggingEntered(const QMimeData& data, const QPointF& documentPoint);
    Qt::DropAction draggingUpdated(const QMimeData& data, const QPointF& documentPoint);
    void draggingExited();
    void draggingEnded();
    bool performDragOperation(const QMimeData& data);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct Tracking {
        bool active = false;
        QPointF start; // global
        QPointer<RLListViewCell> cell;
        bool selectAtRelease = false; // the click's selection waits for the drag that did not start
        bool extend = false;
    };

    void cacheCellLayout();
    void layoutCell(RLListViewCell* cell, std::size_t row);
    void addCellsFromVisibleRange();
    void layoutCells();
    void updateCells();
    void layoutCellsForResizeEvent();
    void placeDocumentView();
    RLRange visibleRange() const;
    void redisplayRows(const RLIndexSet& rows);
    void postSelectionDidChange();
    void applyClick(std::size_t row, bool extend);
    void beginDragTracking(RLListViewCell* cell, const QPointF& globalPoint, bool selectAtRelease,
                           bool extend);
    void endDragTracking();
    bool startDrag(RLListViewCell* clickedCell);
    QPixmap dragImageForRows(const RLIndexSet& rows, QPointF* topLeft) const;
    RLListViewCell* cellForDropHighlight(RLListLayout::DropTarget& target) const;
    Qt::DropAction updateDropTarget(const QMimeData& data, const QPointF& documentPoint, bool hideOnRefusal);

    RLListViewDelegate* rowDelegate = nullptr;
    platform::ObserverHandle delegateObserver;
    RLListDocumentView* document;
    std::vector<RLListViewCell*> visible;
    RLReuseQueue<RLListViewCell*, QString> reusable;
    RLRange range;
    std::size_t rowCount = 0;
    RLListSelection selection;
    RLListLayout rows;
    double spacing = 0.0;
    RLListLayout::DropTarget dropTarget{0, RLDropHighlightNone};
    std::shared_ptr<platform::Scheduler> clock;
    platform::Scheduler::Handle holdTimer;
    Tracking tracking;
    bool lastDragStarted = false;
    bool relayingOut = false;
    bool liveResizeLayout = true;
    bool liveResizing = false;
    double widthBeforeResize = 0.0;
    DragRunner dragRunner;
};
