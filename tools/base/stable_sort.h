// std::stable_sort by another road: newer compilers flag, as deprecated,
// the temporary buffer that older standard libraries take for it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <numeric>
#include <utility>
#include <vector>

// Sorts `items` by `less`, items that compare equal kept in their order.
template <typename T, typename Less> void sort_stably(std::vector<T>& items, Less less) {
    std::vector<std::size_t> order(items.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (less(items[a], items[b]))
            return true;
        return !less(items[b], items[a]) && a < b;
    });
    std::vector<T> sorted;
    sorted.reserve(items.size());
    for (const std::size_t i : order)
        sorted.push_back(std::move(items[i]));
    items = std::move(sorted);
}
