#pragma once

#include "Model/BundlePlaces.h"
#include "Model/Identity.h"
#include "Model/Plugin.h"
#include "Persistence/PrivilegedInventoryCommitError.h"
#include "Support/PlainText.h"

#include <QStringList>

#include <expected>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace quorvane {

// The stored bundle records of an inventory under the paths a transaction's items name, compared
// the way the finalisers compare journal paths (standardised, lower-cased), so that matching the
// items does not compare every item with every record. Only the store's own source files use it.
class BundleRecordIndex {
public:
    // Product index, record index.
    using Location = std::pair<std::size_t, std::size_t>;

    // `pathOf(record)` gives the path a record is found by; only records under one of `wanted`
    // are kept, in inventory order.
    template <class Plugins, class PathOf>
    BundleRecordIndex(const Plugins& plugins, PathOf pathOf, const QStringList& wanted) {
        // A record whose file name hashes unlike every wanted one is passed over without making its
        // key. A wanted name without a hash could equal a plain one in another Unicode form: then
        // every record's key is made.
        std::unordered_set<std::size_t> names;
        bool sift = true;
        for (const QString& path : wanted) {
            const QString key = pathKey(path);
            if (const auto name = placeNameHash(key))
                names.insert(*name);
            else
                sift = false;
            m_locations.try_emplace(key);
        }
        for (std::size_t product = 0; product < plugins.size(); ++product) {
            if (!plugins[product].bundles)
                continue;
            const auto& records = *plugins[product].bundles;
            for (std::size_t record = 0; record < records.size(); ++record) {
                const QString path = pathOf(records[record]);
                if (const auto name = sift ? placeNameHash(path) : std::nullopt;
                    name && !names.contains(*name))
                    continue;
                const auto found = m_locations.find(pathKey(path));
                if (found != m_locations.end())
                    found->second.emplace_back(product, record);
            }
        }
    }

    // The one record found by `path` that `accepts`: the first of its product; a second product
    // with one makes it a duplicate, none at all a missing record.
    template <class Plugins, class Accept>
    [[nodiscard]] std::expected<Location, PrivilegedInventoryCommitError>
    matchOne(const Plugins& plugins, const QString& path, Accept accepts) const {
        const auto found = m_locations.find(pathKey(path));
        std::optional<Location> match;
        if (found != m_locations.end()) {
            for (const Location& location : found->second) {
                if (!accepts((*plugins[location.first].bundles)[location.second]))
                    continue;
                if (!match) {
                    match = location;
                } else if (match->first != location.first) {
                    return std::unexpected(PrivilegedInventoryCommitError::duplicateInventoryRecord);
                }
            }
        }
        if (!match)
            return std::unexpected(PrivilegedInventoryCommitError::missingInventoryRecord);
        return *match;
    }

private:
    std::unordered_map<QString, std::vector<Location>, PlainHash, PlainEqualTo> m_locations;
};

} // namespace quorvane
