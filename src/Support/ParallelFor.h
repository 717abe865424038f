#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace quorvane {

// How many threads to start beside the caller's for `count` items, so that each thread has at
// least `itemsPerThread` of them; never more than three, nor more than the machine has cores.
inline std::size_t helperThreadsFor(std::size_t count, std::size_t itemsPerThread) {
    const std::size_t cores = std::max<std::size_t>(std::thread::hardware_concurrency(), 1);
    return std::min({std::size_t{3}, cores - 1, count / std::max<std::size_t>(itemsPerThread, 1)});
}

// Calls work(index) once for every index below `count`, on the calling thread and on up to
// `helperThreads` more, each taking the next index not yet taken; returns when every call has
// returned. Where a thread cannot be started, the others do its share.
template <class F>
void forEachIndexInParallel(std::size_t count, std::size_t helperThreads, F work) {
    std::atomic<std::size_t> next{0};
    const auto run = [&] {
        for (std::size_t index = next++; index < count; index = next++)
            work(index);
    };
    std::vector<std::jthread> threads;
    threads.reserve(helperThreads);
    for (std::size_t started = 0; started < helperThreads; ++started) {
        try {
            threads.emplace_back(run);
        } catch (const std::system_error&) {
            break;
        }
    }
    run();
}

namespace detail {

// Copies the items of `source` at from(0), from(1), ... from(count - 1) into `room`, in chunks
// spread over several threads when there are enough.
template <class T, class From>
std::vector<T> copyInParallel(const std::vector<T>& source, std::size_t count, From from,
                              std::size_t itemsPerThread, std::vector<T> room = {}) {
    constexpr std::size_t chunk = 256;
    std::vector<T> copy = std::move(room);
    copy.resize(count);
    forEachIndexInParallel((count + chunk - 1) / chunk, helperThreadsFor(count, itemsPerThread),
                           [&](std::size_t at) {
                               const std::size_t end = std::min(count, (at + 1) * chunk);
                               for (std::size_t index = at * chunk; index < end; ++index)
                                   copy[index] = source[from(index)];
                           });
    return copy;
}

} // namespace detail

// A copy of `source`, made on several threads when it is long enough to give each at least
// `itemsPerThread` items: worth it where each item holds lists of its own to copy. The copy goes
// into `room`, an empty vector, which saves an allocation when it has capacity enough.
template <class T>
std::vector<T> copyInParallel(const std::vector<T>& source, std::size_t itemsPerThread,
                              std::vector<T> room = {}) {
    if (helperThreadsFor(source.size(), itemsPerThread) == 0) {
        room.assign(source.begin(), source.end());
        return room;
    }
    return detail::copyInParallel(
        source, source.size(), [](std::size_t index) { return index; }, itemsPerThread, std::move(room));
}

// The items of `source` at `indices`, in that order, copied as above.
template <class T>
std::vector<T> copyInParallel(const std::vector<T>& source, const std::vector<std::size_t>& indices,
                              std::size_t itemsPerThread) {
    return detail::copyInParallel(
        source, indices.size(), [&](std::size_t index) { return indices[index]; }, itemsPerThread);
}

} // namespace quorvane
