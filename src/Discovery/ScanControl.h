#pragma once

#include <mutex>

namespace quorvane {

// The cancellation request of one scan: the only state the scanning thread shares with the GUI
// thread. `cancellationRequested` is read and written only while `lock` is held.
class ScanControl {
public:
    std::mutex lock;
    bool cancellationRequested = false;

    bool isCancellationRequested() {
        const std::lock_guard guard(lock);
        return cancellationRequested;
    }
    void requestCancellation() {
        const std::lock_guard guard(lock);
        cancellationRequested = true;
    }
};

} // namespace quorvane
