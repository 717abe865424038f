#pragma once

#include <atomic>
#include <initializer_list>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace quorvane {

// An optional list, used like std::optional<std::vector<T>>, that the copies of its holder share
// until one of them changes it. Copying or freeing a holder then costs a reference count rather
// than a list of its own: the store copies the whole inventory on every change.
//
// Reads through a const holder never copy. Any access through a non-const holder first takes a
// private copy when the list is shared, so what it returns is safe to write through; read through
// a const reference where nothing is written.
template <class T>
class SharedOptionalList {
public:
    using List = std::vector<T>;

    SharedOptionalList() = default;
    SharedOptionalList(std::nullopt_t) {}
    SharedOptionalList(List list) : m_list(std::make_shared<List>(std::move(list))) {}
    SharedOptionalList(std::initializer_list<T> items) : m_list(std::make_shared<List>(items)) {}
    SharedOptionalList(std::optional<List> list) {
        if (list)
            m_list = std::make_shared<List>(std::move(*list));
    }

    bool has_value() const { return m_list != nullptr; }
    explicit operator bool() const { return has_value(); }
    void reset() { m_list.reset(); }

    const List& operator*() const { return *m_list; }
    const List* operator->() const { return m_list.get(); }
    List& operator*() { return own(); }
    List* operator->() { return &own(); }

    friend bool operator==(const SharedOptionalList& a, const SharedOptionalList& b) {
        if (a.m_list == b.m_list)
            return true;
        return a.m_list && b.m_list && *a.m_list == *b.m_list;
    }
    friend bool operator==(const SharedOptionalList& a, std::nullopt_t) { return !a.m_list; }

private:
    List& own() {
        if (m_list.use_count() > 1)
            m_list = std::make_shared<List>(std::as_const(*m_list));
        else
            // Sole holder: whatever another holder did to the list before letting go is seen here.
            std::atomic_thread_fence(std::memory_order_acquire);
        return *m_list;
    }

    std::shared_ptr<List> m_list;
};

} // namespace quorvane
