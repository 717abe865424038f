#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <functional>
#include <thread>

namespace quorvane {

// How many threads to ask for beside the caller's for `count` items, so that each thread has at
// least `itemsPerThread` of them; never more than three, nor more than the machine has cores.
inline std::size_t helperThreadsFor(std::size_t count, std::size_t itemsPerThread) {
    const std::size_t cores = std::max<std::size_t>(std::thread::hardware_concurrency(), 1);
    return std::min({std::size_t{3}, cores - 1, count / std::max<std::size_t>(itemsPerThread, 1)});
}

// Runs `run` on the calling thread and on up to `helpers` threads of the loop pool, one long-lived
// pool kept for these loops; returns once the caller's run and every run a pool thread began have
// returned. A pool thread that comes free only after that does nothing, so a loop never waits for
// a thread that is busy elsewhere, and loops nested in loops cannot wait on each other.
void runBesideCaller(std::size_t helpers, const std::function<void()>& run);

// Calls work(index) once for every index below `count`, on the calling thread and on up to
// `helperThreads` threads of the loop pool, each taking the next index not yet taken; returns when
// every call has returned.
template <class F>
void forEachIndexInParallel(std::size_t count, std::size_t helperThreads, F work) {
    std::atomic<std::size_t> next{0};
    const auto run = [&] {
        for (std::size_t index = next++; index < count; index = next++)
            work(index);
    };
    if (helperThreads == 0 || count < 2)
        run();
    else
        runBesideCaller(std::min(helperThreads, count - 1), run);
}

} // namespace quorvane
