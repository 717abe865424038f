#pragma once

#include <QString>

#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

namespace quorvane {

// The one table of stored raw texts of an enumeration. Parsing matches exactly (case matters).
template <class E>
class EnumTextTable {
public:
    EnumTextTable(std::initializer_list<std::pair<E, QString>> entries) : m_entries(entries) {}

    QString text(E value) const {
        for (const auto& [entry, raw] : m_entries) {
            if (entry == value)
                return raw;
        }
        return {};
    }

    std::optional<E> parse(const QString& raw) const {
        for (const auto& [entry, text] : m_entries) {
            if (text == raw)
                return entry;
        }
        return std::nullopt;
    }

    const std::vector<std::pair<E, QString>>& entries() const { return m_entries; }

private:
    std::vector<std::pair<E, QString>> m_entries;
};

} // namespace quorvane
