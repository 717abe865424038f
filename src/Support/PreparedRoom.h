#pragma once

#include "Support/BackgroundPool.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace quorvane {

// Room for a large vector, made ready on the background pool before it is wanted. Memory the
// process has not written yet costs a page fault for every page on its first write, and for an
// array of tens of thousands of products that is tens of milliseconds on whichever thread writes it
// first. The store copies its whole inventory on every change, and keeps the room for the next copy
// here.
template <class T>
class PreparedRoom {
public:
    // An empty vector with room for `count` items when that much is ready, else an empty vector
    // with no room (the caller's copy then allocates as it would have).
    std::vector<T> take(std::size_t count) const {
        const std::lock_guard lock(m_state->mutex);
        if (m_state->ready.capacity() < count)
            return {};
        return std::exchange(m_state->ready, {});
    }

    // Makes room for `count` items ready on the background pool, unless that much is ready or on its
    // way.
    void prepare(std::size_t count) const {
        {
            const std::lock_guard lock(m_state->mutex);
            if (m_state->ready.capacity() >= count || m_state->preparing >= count)
                return;
            m_state->preparing = count;
        }
        backgroundPool().start([state = m_state, count] {
            std::vector<T> room;
            room.reserve(count);
            // One write to every page puts it in place. The writes are volatile so that no
            // compiler drops them: nothing reads this memory before it holds items.
            auto* bytes = reinterpret_cast<volatile unsigned char*>(room.data());
            for (std::size_t offset = 0; offset < count * sizeof(T); offset += pageSize)
                bytes[offset] = 0;
            const std::lock_guard lock(state->mutex);
            state->preparing = 0;
            if (room.capacity() > state->ready.capacity())
                std::swap(state->ready, room);
        });
    }

private:
    // The smallest page of the machines this runs on; a larger page is only written more than once.
    static constexpr std::size_t pageSize = 4096;

    struct State {
        std::mutex mutex;
        std::vector<T> ready;
        std::size_t preparing = 0;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

} // namespace quorvane
