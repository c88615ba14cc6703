#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <set>
#include <utility>
#include <vector>

// The arithmetic and the rules of the cell-reusing list view, free of widgets: row offsets, the visible
// range and how the visible cells follow it, the reuse queue, the selection and its click and key rules,
// and the drop target under a point. Rows are laid out top down (y grows downward from 0).

// Kind of drop target, shared by the list, its cells and its document view.
enum RLListViewDropHighlight : unsigned {
    RLDropHighlightNone = 0,
    RLDropHighlightOn = 1,    // onto the row
    RLDropHighlightAbove = 2, // a line above the row
    RLDropHighlightBelow = 3, // a line below the row
};

// No row: what a selection of other than one row and a drop outside every row answer.
inline constexpr std::size_t RLNoRow = std::numeric_limits<std::size_t>::max();

using RLIndexSet = std::set<std::size_t>;

struct RLRange {
    std::size_t location = 0;
    std::size_t length = 0;
    std::size_t end() const { return location + length; }
    bool contains(std::size_t row) const { return row >= location && row < end(); }
    bool operator==(const RLRange&) const = default;
};

// The rows' offsets, from each row's height and the spacing below every row.
class RLListLayout {
public:
    void cache(const std::vector<double>& heights, double spacing);
    void clear() { *this = RLListLayout(); }

    std::size_t count() const { return heights.size(); }
    double offset(std::size_t row) const { return offsets[row]; }
    // Without the spacing.
    double height(std::size_t row) const { return heights[row]; }
    double totalHeight() const { return total; }
    // The document view's height in a list `boundsHeight` high: the rows' when they do not fit, else a
    // little less than the list, so that no scroller shows.
    double documentHeight(double boundsHeight) const;

    // The rows that intersect the visible band [top, top + height).
    RLRange visibleRange(double top, double visibleHeight) const;

    struct DropTarget {
        std::size_t row = RLNoRow;
        RLListViewDropHighlight highlight = RLDropHighlightOn;
    };
    // The target under `y`: above a row within the first sixth of its span, above the next within the
    // last sixth, on it in between; the row count means after the last row. The last row's span is its
    // cell's frame (top, height), none when it has no cell.
    DropTarget dropTargetAt(double y, std::optional<std::pair<double, double>> lastCellFrame) const;
    // A target beyond the last row, as cells show it: below the last row. False with no rows.
    bool cellForDropTarget(DropTarget& target) const;
    // The row a click on empty space at `y` selects when the selection may not be empty.
    std::size_t rowForEmptySpaceClick(double y) const;

private:
    std::vector<double> heights;
    std::vector<double> offsets;
    double total = 0.0;
};

// What the visible cells must do when the visible range moves from `current` to `next`.
struct RLCellUpdate {
    bool replaceAll = false;          // the ranges do not meet: every cell goes, `next` is filled anew
    std::vector<std::size_t> prepend; // rows whose cells go in front, in this order (upward)
    std::size_t dropFront = 0;        // cells to queue from the front
    std::vector<std::size_t> append;  // rows whose cells go at the end, in this order (downward)
    std::size_t dropBack = 0;         // cells to queue from the back
};
RLCellUpdate planCellUpdate(const RLRange& current, const RLRange& next);

// Cells waiting for reuse, of every identifier in one queue; the newest of an identifier comes out first.
template <typename Cell, typename Identifier> class RLReuseQueue {
public:
    void enqueue(Identifier identifier, Cell cell) { queue.emplace_back(std::move(identifier), cell); }
    std::optional<Cell> dequeue(const Identifier& identifier) {
        for (auto it = queue.rbegin(); it != queue.rend(); ++it)
            if (it->first == identifier) {
                Cell cell = it->second;
                queue.erase(std::next(it).base());
                return cell;
            }
        return std::nullopt;
    }
    void remove(const Cell& cell) {
        std::erase_if(queue, [&](const auto& entry) { return entry.second == cell; });
    }
    std::size_t size() const { return queue.size(); }

private:
    std::vector<std::pair<Identifier, Cell>> queue;
};

// The selected rows and the rules by which clicks and keys change them.
class RLListSelection {
public:
    bool allowsEmptySelection = true;
    bool allowsMultipleSelection = false;

    const RLIndexSet& rows() const { return selected; }
    bool contains(std::size_t row) const { return selected.count(row) != 0; }
    // The one selected row, or RLNoRow.
    std::size_t selectedRow() const;

    // Each answers the rows whose look changed.
    RLIndexSet select(const RLIndexSet& rows, bool extend);
    RLIndexSet deselect(const RLIndexSet& rows);
    void clear() { selected.clear(); }

    // What a click on `row` does to the selection (after any drag it may start).
    enum class ClickChange { None, SelectAlone, Add, Deselect };
    ClickChange clickChange(std::size_t row, bool extend) const;

    // The row the arrow keys move to (alone), if any, in a list of `count` rows.
    std::optional<std::size_t> rowAbove() const;
    std::optional<std::size_t> rowBelow(std::size_t count) const;
    // Whether Select All and Deselect All have something to do.
    bool canSelectAll(std::size_t count) const;
    bool canDeselectAll() const;

private:
    RLIndexSet selected;
};
