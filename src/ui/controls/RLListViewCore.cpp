#include "ui/controls/RLListViewCore.h"

#include <algorithm>

// ---- layout

void RLListLayout::cache(const std::vector<double>& rowHeights, double spacing) {
    heights = rowHeights;
    offsets.assign(heights.size(), 0.0);
    double running = 0.0;
    for (std::size_t row = 0; row < heights.size(); ++row) {
        offsets[row] = running;
        running += heights[row] + spacing;
    }
    total = running;
}

double RLListLayout::documentHeight(double boundsHeight) const {
    return boundsHeight < total ? total : boundsHeight - 2.0;
}

RLRange RLListLayout::visibleRange(double top, double visibleHeight) const {
    RLRange range;
    bool open = false;
    for (std::size_t row = 0; row < count(); ++row) {
        const bool intersects = heights[row] > 0.0 && visibleHeight > 0.0 &&
                                offsets[row] < top + visibleHeight && offsets[row] + heights[row] > top;
        if (intersects && !open) {
            open = true;
            range.location = row;
        } else if (!intersects && open) {
            range.length = row - range.location;
            return range;
        }
    }
    if (open)
        range.length = count() - range.location;
    return range;
}

RLListLayout::DropTarget RLListLayout::dropTargetAt(double y,
                                                    std::optional<std::pair<double, double>> lastCell) const {
    DropTarget target;
    if (count() == 0) {
        target.row = RLNoRow;
        return target;
    }
    std::size_t row = 0;
    for (std::size_t i = 0; i < count() && offsets[i] <= y; ++i)
        row = i;
    double top = 0.0, span = 0.0;
    if (row + 1 < count()) {
        top = offsets[row];
        span = offsets[row + 1] - offsets[row];
    } else if (lastCell) {
        top = lastCell->first;
        span = lastCell->second;
    }
    if (y < top + span / 6.0) {
        target.highlight = RLDropHighlightAbove;
    } else if (y > top + span - span / 6.0) {
        ++row;
        target.highlight = RLDropHighlightAbove;
    }
    target.row = row <= count() ? row : RLNoRow;
    return target;
}

bool RLListLayout::cellForDropTarget(DropTarget& target) const {
    if (count() == 0)
        return false;
    if (target.row != RLNoRow && target.row >= count()) {
        target.row = count() - 1;
        target.highlight = RLDropHighlightBelow;
    }
    return true;
}

std::size_t RLListLayout::rowForEmptySpaceClick(double y) const {
    for (std::size_t row = 0; row < count(); ++row)
        if (offsets[row] > y)
            return row == 0 ? 0 : row - 1;
    return count() == 0 ? RLNoRow : count() - 1;
}

// ---- visible cells

RLCellUpdate planCellUpdate(const RLRange& current, const RLRange& next) {
    RLCellUpdate update;
    if (next == current)
        return update;
    const std::size_t start = std::max(current.location, next.location);
    const std::size_t end = std::min(current.end(), next.end());
    if (current.length == 0 || next.length == 0 || start >= end) {
        update.replaceAll = true;
        return update;
    }
    for (std::size_t row = current.location; row > next.location; --row)
        update.prepend.push_back(row - 1);
    if (next.location > current.location)
        update.dropFront = next.location - current.location;
    for (std::size_t row = current.end(); row < next.end(); ++row)
        update.append.push_back(row);
    if (next.end() < current.end())
        update.dropBack = current.end() - next.end();
    return update;
}

// ---- selection

std::size_t RLListSelection::selectedRow() const {
    return selected.size() == 1 ? *selected.begin() : RLNoRow;
}

RLIndexSet RLListSelection::select(const RLIndexSet& rows, bool extend) {
    RLIndexSet changed;
    if (!extend) {
        changed = selected;
        selected.clear();
    }
    selected.insert(rows.begin(), rows.end());
    changed.insert(rows.begin(), rows.end());
    return changed;
}

RLIndexSet RLListSelection::deselect(const RLIndexSet& rows) {
    RLIndexSet changed;
    for (const std::size_t row : rows)
        if (selected.erase(row))
            changed.insert(row);
    return changed;
}

RLListSelection::ClickChange RLListSelection::clickChange(std::size_t row, bool extend) const {
    const bool isSelected = contains(row);
    if (!allowsMultipleSelection) {
        if (extend && allowsEmptySelection && isSelected)
            return ClickChange::Deselect;
        return ClickChange::SelectAlone;
    }
    if (isSelected && extend) {
        if (selected.size() == 1 && !allowsEmptySelection)
            return ClickChange::None;
        return ClickChange::Deselect;
    }
    if (!isSelected)
        return extend ? ClickChange::Add : ClickChange::SelectAlone;
    return selected.size() > 1 ? ClickChange::SelectAlone : ClickChange::None;
}

std::optional<std::size_t> RLListSelection::rowAbove() const {
    if (selected.empty() || *selected.begin() == 0)
        return std::nullopt;
    return *selected.begin() - 1;
}

std::optional<std::size_t> RLListSelection::rowBelow(std::size_t count) const {
    if (selected.empty() || *selected.rbegin() + 1 >= count)
        return std::nullopt;
    return *selected.rbegin() + 1;
}

bool RLListSelection::canSelectAll(std::size_t count) const {
    return allowsMultipleSelection && selected.size() < count;
}

bool RLListSelection::canDeselectAll() const {
    return allowsEmptySelection && !selected.empty();
}
