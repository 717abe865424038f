#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace quorvane {

// One long-lived thread that runs the tasks posted to it one at a time, in the order posted. Going
// away, it drops the tasks not yet begun and waits for the one under way.
class SerialWorker {
public:
    SerialWorker();
    ~SerialWorker();

    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    void post(std::function<void()> task);

private:
    void run(const std::stop_token& stop);

    std::mutex m_mutex;
    std::condition_variable_any m_posted;
    std::deque<std::function<void()>> m_tasks;
    // Last: stopped and joined before the queue goes.
    std::jthread m_thread;
};

} // namespace quorvane
