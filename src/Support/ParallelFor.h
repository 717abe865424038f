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

} // namespace quorvane
