#pragma once

#include "Model/Plugin.h"
#include "Persistence/PrivilegedInventoryCommitError.h"
#include "Planning/RecordPlaces.h"

#include <QStringList>

#include <expected>
#include <optional>
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
        for (const QString& path : wanted)
            m_locations[path];
        for (std::size_t product = 0; product < plugins.size(); ++product) {
            if (!plugins[product].bundles)
                continue;
            const auto& records = *plugins[product].bundles;
            for (std::size_t record = 0; record < records.size(); ++record) {
                if (std::vector<Location>* found = m_locations.find(pathOf(records[record])))
                    found->emplace_back(product, record);
            }
        }
    }

    // The one record found by `path` that `accepts`: the first of its product; a second product
    // with one makes it a duplicate, none at all a missing record.
    template <class Plugins, class Accept>
    [[nodiscard]] std::expected<Location, PrivilegedInventoryCommitError>
    matchOne(const Plugins& plugins, const QString& path, Accept accepts) const {
        std::optional<Location> match;
        if (const std::vector<Location>* found = m_locations.find(path)) {
            for (const Location& location : *found) {
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
    // Records are sifted by their file name before a key is made: most of an inventory's are passed
    // over without one.
    PlaceKeys<std::vector<Location>> m_locations;
};

} // namespace quorvane
