#include "Store/StateWriter.h"

#include <QMetaObject>

namespace quorvane {

StateWriter::StateWriter(Write write, QObject* parent)
    : QObject(parent), m_write(std::move(write)), m_thread([this] { run(); }) {}

StateWriter::~StateWriter() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void StateWriter::submit(PersistedInventory state, Completion completion) {
    {
        const std::lock_guard lock(m_mutex);
        m_pending = std::move(state);
        if (completion)
            m_pendingCompletions.push_back(std::move(completion));
    }
    m_changed.notify_all();
}

void StateWriter::waitForIdle() {
    // A completion may hand over a newer state; idle means nothing is left to write or to deliver.
    while (!isIdle()) {
        waitForWrites();
        deliverFinished();
    }
}

bool StateWriter::isIdle() const {
    const std::lock_guard lock(m_mutex);
    return !m_pending && !m_writing && m_finished.empty();
}

void StateWriter::waitForWrites() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_pending && !m_writing; });
}

void StateWriter::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_pending || m_stopping; });
        if (!m_pending)
            return;
        std::optional<PersistedInventory> state = std::move(m_pending);
        m_pending.reset();
        std::vector<Completion> completions = std::move(m_pendingCompletions);
        m_pendingCompletions.clear();
        m_writing = true;
        lock.unlock();
        Result result = m_write(*state);
        // The last holder of a replaced inventory may be this thread: it is freed here, not in the
        // window's thread.
        state.reset();
        lock.lock();
        m_writing = false;
        m_finished.push_back({std::move(completions), std::move(result)});
        m_changed.notify_all();
        lock.unlock();
        QMetaObject::invokeMethod(
            this, [this] { deliverFinished(); }, Qt::QueuedConnection);
        lock.lock();
    }
}

void StateWriter::deliverFinished() {
    for (;;) {
        Finished finished;
        {
            const std::lock_guard lock(m_mutex);
            if (m_finished.empty())
                return;
            finished = std::move(m_finished.front());
            m_finished.pop_front();
        }
        // A completion may submit again; nothing is held while it runs.
        for (const Completion& completion : finished.completions)
            completion(finished.result);
    }
}

} // namespace quorvane
