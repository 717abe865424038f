#include "Support/ParallelFor.h"

#include <QThreadPool>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace quorvane {

namespace {

// Not Qt's global pool: Qt's painting shares large fills out over that one and the window's
// thread waits for them.
QThreadPool& loopPool() {
    static QThreadPool* const pool = [] {
        auto* made = new QThreadPool;
        made->setMaxThreadCount(int(std::max<unsigned>(std::thread::hardware_concurrency(), 2) - 1));
        return made;
    }();
    return *pool;
}

} // namespace

void runBesideCaller(std::size_t helpers, const std::function<void()>& run) {
    struct Loop {
        std::mutex mutex;
        std::condition_variable finished;
        std::size_t running = 0;
        bool closed = false;
    };
    const auto loop = std::make_shared<Loop>();
    for (std::size_t started = 0; started < helpers; ++started) {
        loopPool().start([loop, &run] {
            {
                const std::lock_guard lock(loop->mutex);
                if (loop->closed)
                    return;
                ++loop->running;
            }
            run();
            {
                const std::lock_guard lock(loop->mutex);
                --loop->running;
            }
            loop->finished.notify_all();
        });
    }
    run();
    std::unique_lock lock(loop->mutex);
    loop->closed = true;
    loop->finished.wait(lock, [&] { return loop->running == 0; });
}

} // namespace quorvane
