#include "ui/controls/RLListView.h"

#include "ui/controls/RLListViewCell.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <utility>

void installListViewAccessibility();

namespace {

struct RelayoutGuard {
    explicit RelayoutGuard(bool& flag) : flag(flag), was(std::exchange(flag, true)) {}
    ~RelayoutGuard() { flag = was; }
    bool& flag;
    bool was;
};

} // namespace

RLListView::RLListView(QWidget* parent)
    : QAbstractScrollArea(parent), document(new RLListDocumentView(this, viewport())),
      clock(platform::Scheduler::mainThreadScheduler()) {
    installListViewAccessibility();
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalScrollBar()->setSingleStep(20);
    setFocusPolicy(Qt::StrongFocus);
}

RLListView::~RLListView() {
    holdTimer.cancel();
    delegateObserver.reset();
}

void RLListView::setDelegate(RLListViewDelegate* value) {
    delegateObserver.reset();
    rowDelegate = value;
    if (!value)
        return;
    auto& center = platform::NotificationCenter::defaultCenter();
    delegateObserver =
        platform::ObserverHandle(center, center.addObserver(
                                             selectionDidChangeNotification(),
                                             [value](const platform::Notification& notification) {
                                                 value->listViewSelectionDidChange(notification);
                                             },
                                             QVariant::fromValue(static_cast<QObject*>(this))));
}

void RLListView::setScheduler(std::shared_ptr<platform::Scheduler> scheduler) {
    holdTimer.cancel();
    clock = std::move(scheduler);
}

// ---- rows and cells

void RLListView::cacheCellLayout() {
    if (!rowDelegate)
        return;
    std::vector<double> heights(rowCount);
    for (std::size_t row = 0; row < rowCount; ++row)
        heights[row] = rowDelegate->heightOfRow(*this, row);
    rows.cache(heights, spacing);
    placeDocumentView();
}

void RLListView::reloadData() {
    const RelayoutGuard guard(relayingOut);
    while (!visible.empty())
        enqueueCell(visible.front());
    rows.clear();
    selection.clear();
    rowCount = 0;
    range = RLRange();
    if (!rowDelegate) {
        placeDocumentView();
        return;
    }
    rowCount = rowDelegate->numberOfRowsInListView(*this);
    cacheCellLayout();
    range = visibleRange();
    addCellsFromVisibleRange();
    layoutCells();
}

void RLListView::reloadRowAtIndex(std::size_t) {
    const RelayoutGuard guard(relayingOut);
    cacheCellLayout();
    layoutCells();
}

void RLListView::layoutCell(RLListViewCell* cell, std::size_t row) {
    if (cell->parentWidget() != document)
        cell->setParent(document);
    cell->setGeometry(rectOfRow(row).toAlignedRect());
    cell->setListView(this);
    cell->setRow(row);
    cell->show();
}

void RLListView::addCellsFromVisibleRange() {
    for (std::size_t row = range.location; row < range.end(); ++row)
        if (RLListViewCell* cell = rowDelegate->cellForRow(*this, row)) {
            visible.push_back(cell);
            layoutCell(cell, row);
        }
}

void RLListView::layoutCells() {
    for (RLListViewCell* cell : visible) {
        cell->setGeometry(rectOfRow(cell->row()).toAlignedRect());
        cell->layoutSubviews();
    }
    placeDocumentView();
}

void RLListView::updateCells() {
    if (!rowDelegate)
        return;
    const RLRange next = visibleRange();
    const RLCellUpdate update = planCellUpdate(range, next);
    if (update.replaceAll) {
        while (!visible.empty())
            enqueueCell(visible.front());
        range = next;
        addCellsFromVisibleRange();
        return;
    }
    for (const std::size_t row : update.prepend)
        if (RLListViewCell* cell = rowDelegate->cellForRow(*this, row)) {
            visible.insert(visible.begin(), cell);
            layoutCell(cell, row);
        }
    for (std::size_t i = 0; i < update.dropFront && !visible.empty(); ++i)
        enqueueCell(visible.front());
    for (const std::size_t row : update.append)
        if (RLListViewCell* cell = rowDelegate->cellForRow(*this, row)) {
            visible.push_back(cell);
            layoutCell(cell, row);
        }
    for (std::size_t i = 0; i < update.dropBack && !visible.empty(); ++i)
        enqueueCell(visible.back());
    range = next;
}

// Cells in sight are made anew for the new width; those that were in sight go (not to the queue).
void RLListView::layoutCellsForResizeEvent() {
    for (RLListViewCell* cell : visible) {
        cell->hide();
        cell->deleteLater();
    }
    visible.clear();
    rowCount = rowDelegate ? rowDelegate->numberOfRowsInListView(*this) : 0;
    cacheCellLayout();
    range = visibleRange();
    if (rowDelegate)
        addCellsFromVisibleRange();
    layoutCells();
}

RLListViewCell* RLListView::dequeueCellWithReusableIdentifier(const QString& identifier) {
    const std::optional<RLListViewCell*> cell = reusable.dequeue(identifier);
    if (!cell)
        return nullptr;
    (*cell)->prepareForReuse();
    return *cell;
}

void RLListView::enqueueCell(RLListViewCell* cell) {
    reusable.enqueue(cell->reusableIdentifier(), cell);
    std::erase(visible, cell);
    cell->hide();
}

std::vector<RLListViewCell*> RLListView::visibleCells() const {
    return visible;
}

RLListViewCell* RLListView::cellForRowAtIndex(std::size_t row) const {
    for (RLListViewCell* cell : visible)
        if (cell->row() == row)
            return cell;
    return nullptr;
}

std::vector<RLListViewCell*> RLListView::visibleCellsForRowIndexes(const RLIndexSet& wanted) const {
    std::vector<RLListViewCell*> cells;
    for (RLListViewCell* cell : visible)
        if (wanted.count(cell->row()))
            cells.push_back(cell);
    return cells;
}

// ---- geometry and scrolling

QRectF RLListView::contentViewRect() const {
    const int frame = 2 * frameWidth();
    const bool scroller = rows.totalHeight() > height();
    const int scrollerWidth = scroller ? verticalScrollBar()->sizeHint().width() : 0;
    return QRectF(0, 0, std::max(0, width() - frame - scrollerWidth), std::max(0, height() - frame));
}

QRectF RLListView::rectOfRow(std::size_t row) const {
    if (!rowDelegate || row >= rows.count())
        return QRectF();
    const double width = liveResizing && !liveResizeLayout ? widthBeforeResize : contentViewRect().width();
    return QRectF(0, rows.offset(row), width, rows.height(row));
}

QRectF RLListView::documentVisibleRect() const {
    return QRectF(0, verticalScrollBar()->value(), viewport()->width(), viewport()->height());
}

RLRange RLListView::visibleRange() const {
    const QRectF area = documentVisibleRect();
    return rows.visibleRange(area.y(), area.height());
}

void RLListView::placeDocumentView() {
    const bool scroller = rows.totalHeight() > height();
    const Qt::ScrollBarPolicy policy = scroller ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    if (verticalScrollBarPolicy() != policy)
        setVerticalScrollBarPolicy(policy);
    const QRectF content = contentViewRect();
    const double documentHeight = rows.documentHeight(height());
    QScrollBar* bar = verticalScrollBar();
    bar->setPageStep(viewport()->height());
    bar->setRange(0, std::max(0, int(std::ceil(documentHeight)) - viewport()->height()));
    document->setGeometry(0, -bar->value(), int(content.width()), int(std::ceil(documentHeight)));
}

void RLListView::scrollToRow(std::size_t row) {
    if (row >= rowCount)
        return;
    const QRectF target = rectOfRow(row);
    const QRectF area = documentVisibleRect();
    double y = target.y();
    if (target.bottom() > area.bottom())
        y = rows.totalHeight() - area.height();
    verticalScrollBar()->setValue(int(std::round(y)));
}

void RLListView::scrollRowToVisible(std::size_t row) {
    if (row >= rowCount || documentVisibleRect().contains(rectOfRow(row)))
        return;
    scrollToRow(row);
}

// The scroller coming or going, and the scroller's range changing, land here again while the list lays its
// cells out; the layout under way covers them.
void RLListView::resizeEvent(QResizeEvent*) {
    if (relayingOut)
        return;
    const RelayoutGuard guard(relayingOut);
    // Rows that keep their width through a live resize only come and go as the height shows them.
    if (liveResizing && !liveResizeLayout) {
        placeDocumentView();
        updateCells();
        return;
    }
    layoutCellsForResizeEvent();
}

void RLListView::viewWillStartLiveResize() {
    widthBeforeResize = contentViewRect().width();
    liveResizing = true;
}

void RLListView::viewDidEndLiveResize() {
    if (!liveResizing)
        return;
    liveResizing = false;
    if (liveResizeLayout)
        return;
    const RelayoutGuard guard(relayingOut);
    layoutCellsForResizeEvent();
}

void RLListView::scrollContentsBy(int, int) {
    placeDocumentView();
    if (!relayingOut)
        updateCells();
}

// ---- selection

void RLListView::redisplayRows(const RLIndexSet& changed) {
    for (RLListViewCell* cell : visibleCellsForRowIndexes(changed))
        cell->update();
}

void RLListView::postSelectionDidChange() {
    platform::NotificationCenter::defaultCenter().post(selectionDidChangeNotification(),
                                                       QVariant::fromValue(static_cast<QObject*>(this)));
}

// Posts also when nothing changed.
void RLListView::selectRowIndexes(const RLIndexSet& wanted, bool extend) {
    redisplayRows(selection.select(wanted, extend));
    postSelectionDidChange();
}

void RLListView::deselectRowIndexes(const RLIndexSet& unwanted) {
    selection.deselect(unwanted);
    redisplayRows(unwanted);
    postSelectionDidChange();
}

void RLListView::deselectRows() {
    deselectRowIndexes(selection.rows());
}

void RLListView::setSelectedRow(std::size_t row) {
    selectRowIndexes({row}, false);
}

void RLListView::setSelectedRows(const RLIndexSet& wanted) {
    selectRowIndexes(wanted, false);
}

void RLListView::selectAll() {
    if (!selection.allowsMultipleSelection)
        return;
    RLIndexSet all;
    for (std::size_t row = 0; row < rowCount; ++row)
        all.insert(row);
    setSelectedRows(all);
}

void RLListView::deselectAll() {
    setSelectedRows({});
}

// ---- keys

void RLListView::moveUp() {
    if (const std::optional<std::size_t> row = selection.rowAbove()) {
        setSelectedRow(*row);
        scrollRowToVisible(*row);
    }
}

void RLListView::moveDown() {
    if (const std::optional<std::size_t> row = selection.rowBelow(rowCount)) {
        setSelectedRow(*row);
        scrollRowToVisible(*row);
    }
}

void RLListView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up)
        moveUp();
    else if (event->key() == Qt::Key_Down)
        moveDown();
    else if (event->matches(QKeySequence::SelectAll))
        selectAll();
    else
        QAbstractScrollArea::keyPressEvent(event);
}

// ---- clicks: a press on a selected row waits to see whether it becomes a drag (a move of more than two
// points, or a hold of 1.5 s) before it changes the selection; a press on another row selects it first.

void RLListView::handleMouseDown(QMouseEvent* event, RLListViewCell* cell, int clickCount) {
    if (!cell)
        return;
    const std::size_t row = cell->row();
    if (clickCount > 1 && rowDelegate)
        rowDelegate->rowDoubleClicked(*this, row);
    setFocus(Qt::MouseFocusReason);
    const Qt::KeyboardModifiers modifiers = event ? event->modifiers() : Qt::NoModifier;
    const bool extend =
        !event || (modifiers & Qt::ControlModifier) ? true : bool(modifiers & Qt::ShiftModifier);
    if (event && selection.contains(row)) {
        beginDragTracking(cell, event->globalPosition(), true, extend);
        return;
    }
    applyClick(row, extend);
    if (event && selection.contains(row))
        beginDragTracking(cell, event->globalPosition(), false, extend);
}

void RLListView::applyClick(std::size_t row, bool extend) {
    switch (selection.clickChange(row, extend)) {
    case RLListSelection::ClickChange::None:
        break;
    case RLListSelection::ClickChange::SelectAlone:
        setSelectedRow(row);
        break;
    case RLListSelection::ClickChange::Add:
        selectRowIndexes({row}, true);
        break;
    case RLListSelection::ClickChange::Deselect:
        deselectRowIndexes({row});
        break;
    }
}

void RLListView::beginDragTracking(RLListViewCell* cell, const QPointF& globalPoint, bool selectAtRelease,
                                   bool extend) {
    tracking = Tracking{true, globalPoint, cell, selectAtRelease, extend};
    lastDragStarted = false;
    holdTimer = clock->scheduleOnce(kDragHoldSeconds, [this] {
        RLListViewCell* cell = tracking.cell;
        endDragTracking();
        if (cell)
            startDrag(cell);
    });
}

void RLListView::endDragTracking() {
    holdTimer.cancel();
    tracking.active = false;
}

void RLListView::handleMouseMoved(const QPointF& globalPoint) {
    if (!tracking.active)
        return;
    const QPointF moved = globalPoint - tracking.start;
    if (std::abs(moved.x()) <= kDragSlop && std::abs(moved.y()) <= kDragSlop)
        return;
    RLListViewCell* cell = tracking.cell;
    endDragTracking();
    if (cell)
        startDrag(cell);
}

void RLListView::handleMouseUp() {
    if (!tracking.active)
        return;
    const Tracking released = tracking;
    endDragTracking();
    if (released.selectAtRelease && released.cell)
        applyClick(released.cell->row(), released.extend);
}

void RLListView::handleMouseDownOutsideCells(const QPointF& documentPoint) {
    if (selection.allowsEmptySelection) {
        deselectAll();
        return;
    }
    if (rowCount >= 2)
        setSelectedRow(rows.rowForEmptySpaceClick(documentPoint.y()));
}

// ---- dragging rows out

QPixmap RLListView::dragImageForRows(const RLIndexSet& wanted, QPointF* topLeft) const {
    const std::vector<RLListViewCell*> cells = visibleCellsForRowIndexes(wanted);
    QRectF bounds;
    for (RLListViewCell* cell : cells)
        bounds |= rectOfRow(cell->row());
    if (topLeft)
        *topLeft = bounds.topLeft();
    if (bounds.isEmpty())
        return QPixmap();
    QPixmap image(bounds.size().toSize());
    image.fill(Qt::transparent);
    QPainter painter(&image);
    for (RLListViewCell* cell : cells)
        painter.drawPixmap(rectOfRow(cell->row()).topLeft() - bounds.topLeft(), cell->grab());
    return image;
}

bool RLListView::startDrag(RLListViewCell* clickedCell) {
    if (!rowDelegate)
        return false;
    auto data = std::make_unique<QMimeData>();
    if (!rowDelegate->writeRowsWithIndexes(*this, selection.rows(), *data))
        return false;
    QPointF topLeft;
    const QPixmap picture = dragImageForRows(selection.rows(), &topLeft);
    QPointer<QDrag> drag = new QDrag(clickedCell); // the platform's drag loop lets it go when the drag ends
    drag->setMimeData(data.release());
    if (!picture.isNull()) {
        drag->setPixmap(picture);
        const QPointF pointer = document->mapFromGlobal(tracking.start);
        drag->setHotSpot((pointer - topLeft).toPoint());
    }
    lastDragStarted = true;
    if (dragRunner)
        dragRunner(*drag);
    else
        drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
    if (drag)
        drag->deleteLater();
    return true;
}

// ---- drops

RLListLayout::DropTarget RLListView::indexOfRowAtPoint(const QPointF& documentPoint) const {
    std::optional<std::pair<double, double>> lastCell;
    if (rowCount > 0)
        if (const RLListViewCell* cell = cellForRowAtIndex(rowCount - 1))
            lastCell = std::make_pair(double(cell->geometry().y()), double(cell->geometry().height()));
    return rows.dropTargetAt(documentPoint.y(), lastCell);
}

RLListViewCell* RLListView::cellForDropHighlight(RLListLayout::DropTarget& target) const {
    if (!rows.cellForDropTarget(target))
        return nullptr;
    return cellForRowAtIndex(target.row);
}

Qt::DropAction RLListView::updateDropTarget(const QMimeData& data, const QPointF& documentPoint,
                                            bool hideOnRefusal) {
    const RLListLayout::DropTarget old = dropTarget;
    if (!rowDelegate)
        return Qt::IgnoreAction;
    dropTarget = indexOfRowAtPoint(documentPoint);
    const Qt::DropAction operation =
        rowDelegate->validateDrop(*this, data, dropTarget.row, dropTarget.highlight);
    if (operation == Qt::IgnoreAction) {
        if (hideOnRefusal)
            setShowsDropHighlight(false);
        return operation;
    }
    if (dropTarget.row == old.row && dropTarget.highlight == old.highlight)
        return operation;
    RLListViewCell* cell = cellForDropHighlight(dropTarget);
    if (old.row != RLNoRow)
        if (RLListViewCell* oldCell = cellForRowAtIndex(old.row))
            oldCell->setDropHighlight(RLDropHighlightNone);
    if (cell)
        cell->setDropHighlight(dropTarget.highlight);
    document->setDropHighlight(dropTarget.row == rowCount ? RLDropHighlightAbove : RLDropHighlightOn);
    return operation;
}

Qt::DropAction RLListView::draggingEntered(const QMimeData& data, const QPointF& documentPoint) {
    return updateDropTarget(data, documentPoint, false);
}

Qt::DropAction RLListView::draggingUpdated(const QMimeData& data, const QPointF& documentPoint) {
    return updateDropTarget(data, documentPoint, true);
}

void RLListView::draggingExited() {
    draggingEnded();
    dropTarget = {0, RLDropHighlightNone};
}

// Every mark goes: the target row may have moved on since it was marked.
void RLListView::draggingEnded() {
    for (RLListViewCell* cell : visible)
        if (cell->dropHighlight() != RLDropHighlightNone)
            cell->setDropHighlight(RLDropHighlightNone);
    document->setDropHighlight(RLDropHighlightNone);
}

bool RLListView::performDragOperation(const QMimeData& data) {
    if (!rowDelegate)
        return false;
    const bool taken = rowDelegate->acceptDrop(*this, data, dropTarget.row, dropTarget.highlight);
    dropTarget = {0, RLDropHighlightNone};
    return taken;
}

void RLListView::setShowsDropHighlight(bool shows) {
    document->setDropHighlight(shows ? RLDropHighlightOn : RLDropHighlightNone);
}

void RLListView::setDropRow(std::size_t row, RLListViewDropHighlight highlight) {
    dropTarget = {row, highlight};
    viewport()->update();
}

void RLListView::dragEnterEvent(QDragEnterEvent* event) {
    const Qt::DropAction action =
        draggingEntered(*event->mimeData(), document->mapFrom(viewport(), event->position()));
    event->setDropAction(action);
    event->setAccepted(action != Qt::IgnoreAction);
}

void RLListView::dragMoveEvent(QDragMoveEvent* event) {
    const Qt::DropAction action =
        draggingUpdated(*event->mimeData(), document->mapFrom(viewport(), event->position()));
    event->setDropAction(action);
    event->setAccepted(action != Qt::IgnoreAction);
}

void RLListView::dragLeaveEvent(QDragLeaveEvent*) {
    draggingExited();
}

void RLListView::dropEvent(QDropEvent* event) {
    event->setAccepted(performDragOperation(*event->mimeData()));
    draggingEnded();
}
