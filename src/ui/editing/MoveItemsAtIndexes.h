#pragma once

#include <algorithm>
#include <cstddef>
#include <set>
#include <vector>

// Moves the items at `indexes` (in their order) as one run to `destination`, a gap counted before the
// move: they land at destination minus the number of them that stood before it. Indexes past the end are
// ignored and the run is held inside the list, so no request can reach outside it. False when no index
// was valid (the list is unchanged).
template <typename Item>
bool moveItemsAtIndexes(std::vector<Item>& items, const std::set<std::size_t>& indexes,
                        std::size_t destination) {
    std::vector<Item> moved, kept;
    std::size_t before = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!indexes.count(i)) {
            kept.push_back(items[i]);
            continue;
        }
        moved.push_back(items[i]);
        if (i < destination)
            ++before;
    }
    if (moved.empty())
        return false;
    const std::size_t at = std::min(destination - std::min(destination, before), kept.size());
    kept.insert(kept.begin() + std::ptrdiff_t(at), moved.begin(), moved.end());
    items = std::move(kept);
    return true;
}

// The items that remain after removing those at `indexes`; indexes past the end are ignored.
template <typename Item>
std::vector<Item> itemsWithoutIndexes(const std::vector<Item>& items, const std::set<std::size_t>& indexes) {
    std::vector<Item> kept;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (!indexes.count(i))
            kept.push_back(items[i]);
    return kept;
}
