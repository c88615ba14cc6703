#pragma once

#include "platform/foundation/Clock.h"

#include <utility>

// Shuffles a random-access container in place: for each i, swaps element i with one chosen from i to the end.
template <class Container>
void shuffle(Container& items, platform::RandomSource& random = platform::RandomSource::shared()) {
    const auto n = items.size();
    for (decltype(items.size()) i = 0; i < n; ++i) {
        const auto j = i + random.next(std::uint32_t(n - i));
        using std::swap;
        swap(items[i], items[j]);
    }
}

template <class Container>
Container shuffledArray(const Container& items,
                        platform::RandomSource& random = platform::RandomSource::shared()) {
    Container copy = items;
    shuffle(copy, random);
    return copy;
}
