#pragma once

#include "Support/PlainText.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <cstddef>
#include <optional>
#include <vector>

namespace quorvane::modelhash {

// Boost-style mixing; the records' hashes only need to agree with their plain-text equality.
inline size_t combine(size_t seed, size_t value) noexcept {
    return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

inline size_t of(const QString& text) {
    return plainHash(text);
}
inline size_t of(const QUuid& uuid) {
    return ::qHash(uuid);
}
inline size_t of(bool value) {
    return value ? 1u : 2u;
}
inline size_t of(double value) {
    return ::qHash(value);
}

inline size_t of(const QStringList& list) {
    size_t seed = static_cast<size_t>(list.size());
    for (const QString& text : list)
        seed = combine(seed, plainHash(text));
    return seed;
}

template <class T>
size_t of(const std::optional<T>& value) {
    return value ? combine(0x51, of(*value)) : 0x17;
}

inline bool equal(const std::optional<QString>& a, const std::optional<QString>& b) {
    if (a.has_value() != b.has_value())
        return false;
    return !a || plainEqual(*a, *b);
}

inline bool equal(const QStringList& a, const QStringList& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (!plainEqual(a.at(i), b.at(i)))
            return false;
    }
    return true;
}

} // namespace quorvane::modelhash
