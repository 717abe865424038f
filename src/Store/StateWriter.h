#pragma once

#include "Model/PluginList.h"
#include "Persistence/PersistedInventory.h"
#include "Store/StoreStateError.h"

#include <QObject>

#include <condition_variable>
#include <deque>
#include <expected>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace quorvane {

// Encodes and writes copies of the persisted state on a thread of its own, in the order they were
// submitted, so that the window never waits for the disk. A state is only ever replaced on disk by
// a newer one; while a write runs, only the newest state submitted meanwhile is kept for the next
// write, and the completions of the states it replaced get its result (it holds everything they
// held). Completions run on the writer's own thread (the thread it was created on).
class StateWriter : public QObject {
    Q_OBJECT

public:
    using Result = std::expected<void, StoreStateError>;
    // Runs on the writing thread.
    using Write = std::function<Result(const PersistedInventory& state)>;
    using Completion = std::function<void(const Result& result)>;

    explicit StateWriter(Write write, QObject* parent = nullptr);
    // Waits for the last write; completions not yet delivered are dropped.
    ~StateWriter() override;

    StateWriter(const StateWriter&) = delete;
    StateWriter& operator=(const StateWriter&) = delete;

    // The state's products are a shared list, so handing a state over copies none of them.
    void submit(PersistedInventory state, Completion completion = {});
    // Blocks until every submitted state is written and its completion has run, including the
    // states those completions submit.
    void waitForIdle();
    bool isIdle() const;

private:
    struct Finished {
        std::vector<Completion> completions;
        Result result;
    };

    void run();
    void waitForWrites();
    void deliverFinished();

    Write m_write;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<PersistedInventory> m_pending;
    std::vector<Completion> m_pendingCompletions;
    bool m_writing = false;
    bool m_stopping = false;
    std::deque<Finished> m_finished;
    std::thread m_thread;
};

} // namespace quorvane
