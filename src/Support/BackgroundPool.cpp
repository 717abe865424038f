#include "Support/BackgroundPool.h"

namespace quorvane {

namespace {

// Two threads: the tasks are few and large.
struct SizedPool : QThreadPool {
    SizedPool() { setMaxThreadCount(2); }
};

} // namespace

QThreadPool& backgroundPool() {
    // At exit the pool waits for what it runs.
    static SizedPool pool;
    return pool;
}

} // namespace quorvane
