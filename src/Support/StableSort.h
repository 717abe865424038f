#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <utility>
#include <vector>

namespace quorvane {

// A stable merge sort that only asks before(x, y): "does x sort strictly before y". An element
// of the right run is taken only when it sorts strictly before the left one, so equal elements
// keep their order. Every index stays in bounds whatever the predicate answers, so predicates
// that are not strict weak orderings give some order but never undefined behaviour.
template <class It, class Before>
void stableMergeSort(It first, It last, Before before) {
    using Value = typename std::iterator_traits<It>::value_type;
    const std::ptrdiff_t count = std::distance(first, last);
    if (count < 2)
        return;
    std::vector<Value> items;
    items.reserve(static_cast<std::size_t>(count));
    for (It it = first; it != last; ++it)
        items.push_back(std::move(*it));
    const std::size_t n = items.size();
    std::vector<Value> buffer;
    buffer.reserve(n);
    std::vector<Value>* source = &items;
    std::vector<Value>* target = &buffer;
    for (std::size_t width = 1; width < n; width *= 2) {
        // Runs are merged left to right, so the target fills in order and Value needs no default
        // constructor.
        target->clear();
        for (std::size_t low = 0; low < n; low += 2 * width) {
            const std::size_t middle = std::min(low + width, n);
            const std::size_t high = std::min(middle + width, n);
            std::size_t left = low;
            std::size_t right = middle;
            while (left < middle && right < high) {
                if (before(std::as_const((*source)[right]), std::as_const((*source)[left])))
                    target->push_back(std::move((*source)[right++]));
                else
                    target->push_back(std::move((*source)[left++]));
            }
            while (left < middle)
                target->push_back(std::move((*source)[left++]));
            while (right < high)
                target->push_back(std::move((*source)[right++]));
        }
        std::swap(source, target);
    }
    It it = first;
    for (Value& value : *source)
        *it++ = std::move(value);
}

template <class T, class Before>
void stableMergeSort(std::vector<T>& items, Before before) {
    stableMergeSort(items.begin(), items.end(), std::move(before));
}

} // namespace quorvane
