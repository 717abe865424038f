#pragma once

#include "Model/PluginList.h"
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
    // The path a record is found by: where its bundle was scanned, or where it lies in quarantine
    // (none without one).
    enum class By { scannedPath, quarantinePath };

    // Only records under one of `wanted` are kept, in inventory order.
    BundleRecordIndex(const PluginListEdit& plugins, By by, const QStringList& wanted) {
        for (const QString& path : wanted)
            m_locations[path];
        static const QString none;
        for (std::size_t product = 0; product < plugins.size(); ++product) {
            // A product with no quarantined record has its scanned paths as its places: one whose
            // places' file names are none of the wanted ones is passed over unread.
            if (by == By::scannedPath && plugins.quarantinedBundlesAt(product) == 0 &&
                !m_locations.mayHold(plugins.placeNameBitsAt(product)))
                continue;
            if (!plugins[product].bundles)
                continue;
            const auto& records = *plugins[product].bundles;
            for (std::size_t record = 0; record < records.size(); ++record) {
                const PluginBundleRecord& stored = records[record];
                const QString& path = by == By::scannedPath   ? stored.path
                                      : stored.quarantinePath ? *stored.quarantinePath
                                                              : none;
                if (std::vector<Location>* found = m_locations.find(path))
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
