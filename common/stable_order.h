// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <algorithm>
#include <cstddef>
#include <numeric>
#include <vector>

namespace CommonFunc {

// The positions 0 … count-1 in ascending order by less, equal ones keeping
// their order.  A bottom-up merge sort: each merge only picks the next item
// of one of two runs, so it stays in bounds and gives a permutation even for
// a comparison that is not a strict weak order (the grids' "numbers as
// numbers, anything else as text" is not transitive), where std:: sorts
// would be undefined.
template <typename Less>
std::vector<std::size_t> StableOrder(std::size_t count, Less less)
{
    std::vector<std::size_t> order(count);
    std::vector<std::size_t> merged(count);
    std::iota(order.begin(), order.end(), std::size_t(0));
    for (std::size_t width = 1; width < count; width *= 2) {
        for (std::size_t left = 0; left < count; left += 2 * width) {
            const std::size_t mid = std::min(left + width, count);
            const std::size_t right = std::min(left + 2 * width, count);
            std::size_t a = left;
            std::size_t b = mid;
            std::size_t out = left;
            // An item of the right run goes first only when strictly less.
            while (a < mid && b < right)
                merged[out++] = less(order[b], order[a]) ? order[b++] : order[a++];
            while (a < mid)
                merged[out++] = order[a++];
            while (b < right)
                merged[out++] = order[b++];
        }
        order.swap(merged);
    }
    return order;
}

} // namespace CommonFunc
