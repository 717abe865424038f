#pragma once

#include "Support/PlainText.h"
#include "Support/Timestamp.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <algorithm>
#include <concepts>
#include <cstddef>
#include <optional>
#include <set>
#include <type_traits>
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
inline size_t of(qint64 value) {
    return ::qHash(value);
}
inline size_t of(const Timestamp& time) {
    return of(time.sinceReferenceDate);
}
template <class E>
requires std::is_enum_v<E> size_t of(E value) {
    return ::qHash(static_cast<std::underlying_type_t<E>>(value));
}
// A record of the model, by its own qHash.
template <class T>
requires std::is_class_v<T> && requires(const T& value) {
    { qHash(value) } -> std::convertible_to<size_t>;
}
size_t of(const T& value) {
    return qHash(value);
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

// By length, then the elements in order.
template <class T>
size_t of(const std::vector<T>& values) {
    size_t seed = values.size();
    for (const T& value : values)
        seed = combine(seed, of(value));
    return seed;
}
template <class T, class Less>
size_t of(const std::set<T, Less>& values) {
    size_t seed = values.size();
    for (const T& value : values)
        seed = combine(seed, of(value));
    return seed;
}

// Each part's hash mixed into the seed in turn.
template <class... Parts>
size_t ofAll(size_t seed, const Parts&... parts) {
    ((seed = combine(seed, of(parts))), ...);
    return seed;
}

inline bool equal(const std::optional<QString>& a, const std::optional<QString>& b) {
    if (a.has_value() != b.has_value())
        return false;
    return !a || plainEqual(*a, *b);
}

// Texts kept in plain text order: equal sets hold plain-equal texts in the same order.
template <class Less>
bool equal(const std::set<QString, Less>& a, const std::set<QString, Less>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), PlainEqualTo{});
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

namespace quorvane {

// std::hash through the type's qHash, so that a model value keys the standard containers as it
// keys Qt's.
template <class T>
struct HashThroughQHash {
    size_t operator()(const T& value) const { return qHash(value); }
};

} // namespace quorvane
