#include "Support/ParallelFor.h"
#include "Support/BackgroundPool.h"
#include "Support/FreedOffThread.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

using namespace quorvane;

TEST(ParallelForTest, EveryIndexRunsExactlyOnce) {
    for (const std::size_t helpers : {std::size_t{0}, std::size_t{3}, std::size_t{8}}) {
        SCOPED_TRACE(helpers);
        std::vector<std::atomic<int>> calls(10'000);
        forEachIndexInParallel(calls.size(), helpers, [&](std::size_t index) { ++calls[index]; });
        for (std::size_t index = 0; index < calls.size(); ++index)
            ASSERT_EQ(calls[index].load(), 1) << index;
    }
    bool called = false;
    forEachIndexInParallel(0, 3, [&](std::size_t) { called = true; });
    EXPECT_FALSE(called);
}

// Loops share one pool: repeated loops start no threads of their own, and loops nested in loops
// that hold every thread of the pool still finish.
TEST(ParallelForTest, LoopsRunOnOnePoolAndNestWithoutWaitingOnEachOther) {
    static thread_local bool counted = false;
    std::atomic<int> threadsSeen = 0;
    const auto note = [&] {
        if (!std::exchange(counted, true))
            ++threadsSeen;
    };
    for (int loop = 0; loop < 50; ++loop)
        forEachIndexInParallel(64, 3, [&](std::size_t) {
            note();
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        });
    EXPECT_LE(threadsSeen.load(), int(std::max(std::thread::hardware_concurrency(), 2u)));

    std::atomic<int> innerCalls = 0;
    forEachIndexInParallel(16, 8, [&](std::size_t) {
        forEachIndexInParallel(
            16, 8, [&](std::size_t) { forEachIndexInParallel(4, 3, [&](std::size_t) { ++innerCalls; }); });
    });
    EXPECT_EQ(innerCalls.load(), 16 * 16 * 4);
}

TEST(ParallelForTest, HelperThreadsGrowWithTheWorkUpToThree) {
    EXPECT_EQ(helperThreadsFor(0, 512), 0u);
    EXPECT_EQ(helperThreadsFor(1023, 512), std::min<std::size_t>(1, helperThreadsFor(1u << 20, 512)));
    EXPECT_LE(helperThreadsFor(1u << 20, 512), 3u);
    EXPECT_EQ(helperThreadsFor(100, 0), helperThreadsFor(100, 1));
}

// Notes the thread that destroys it.
struct Witness {
    std::shared_ptr<std::atomic<QThread*>> freedOn = std::make_shared<std::atomic<QThread*>>(nullptr);
    ~Witness() {
        if (freedOn)
            freedOn->store(QThread::currentThread());
    }
    Witness() = default;
    Witness(Witness&& other) noexcept : freedOn(std::move(other.freedOn)) {}
};

TEST(ParallelForTest, OnlyALargeSharedValueIsFreedOffTheThreadThatLetsGo) {
    for (const bool large : {false, true}) {
        SCOPED_TRACE(large);
        Witness witness;
        const auto freedOn = witness.freedOn;
        auto shared = shareFreedOffThread(std::move(witness), large);
        shared.reset();
        backgroundPool().waitForDone();
        ASSERT_NE(freedOn->load(), nullptr);
        EXPECT_EQ(freedOn->load() == QThread::currentThread(), !large);
    }
}
