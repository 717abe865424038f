#include "Support/SerialWorker.h"

#include <utility>

namespace quorvane {

SerialWorker::SerialWorker() : m_thread([this](const std::stop_token& stop) { run(stop); }) {}

SerialWorker::~SerialWorker() {
    std::deque<std::function<void()>> dropped;
    {
        const std::lock_guard lock(m_mutex);
        dropped.swap(m_tasks);
    }
    m_thread.request_stop();
    m_thread.join();
}

void SerialWorker::post(std::function<void()> task) {
    {
        const std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_posted.notify_one();
}

void SerialWorker::run(const std::stop_token& stop) {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_mutex);
            if (!m_posted.wait(lock, stop, [this] { return !m_tasks.empty(); }))
                return;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
}

} // namespace quorvane
