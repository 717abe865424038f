#pragma once

// Where the bundles of an inventory's records are now, and a look-up of paths by the record key
// (which folds case and Unicode form) that reads every record's place cheaply.

#include "Model/BundlePlaces.h"
#include "Model/Identity.h"
#include "Model/Plugin.h"
#include "Planning/PlannerRecords.h"
#include "Support/PlainText.h"

#include <QString>

#include <cstdint>
#include <unordered_map>
#include <utility>

namespace quorvane {

// Calls visit(index, record) for each of plannerRecords(plugin), without copying the stored ones.
template <class Visit>
void forEachPlannerRecord(const Plugin& plugin, Visit visit) {
    if (plugin.bundles && !plugin.bundles->empty()) {
        for (std::size_t index = 0; index < plugin.bundles->size(); ++index)
            visit(index, (*plugin.bundles)[index]);
        return;
    }
    for (const PluginBundleRecord& record : plannerRecords(plugin))
        visit(0, record);
}

// Paths filed under their record key, found again by the place of each record of the inventory.
// Places are first sifted by their file name (lower-cased, when it is plain ASCII, as nearly every
// one is), so that a key is built only for the few that share one.
template <class Value>
class PlaceKeys {
public:
    Value& operator[](const QString& path) {
        const QString key = nfc(pathKey(path));
        const auto [entry, added] = m_byKey.try_emplace(key);
        if (added) {
            if (const auto hash = placeNameHash(key)) {
                m_byName.emplace(*hash, &entry->first);
                m_nameBits |= placeNameBit(*hash);
            }
        }
        return entry->second;
    }

    const Value* find(const QString& place) const {
        const auto hash = placeNameHash(place);
        if (!hash) {
            const auto found = m_byKey.find(pathKey(place));
            return found == m_byKey.end() ? nullptr : &found->second;
        }
        const auto [first, last] = m_byName.equal_range(*hash);
        if (first == last)
            return nullptr;
        const QString key = pathKey(place);
        for (auto candidate = first; candidate != last; ++candidate) {
            if (plainEqual(key, *candidate->second))
                return &m_byKey.find(key)->second;
        }
        return nullptr;
    }
    Value* find(const QString& place) { return const_cast<Value*>(std::as_const(*this).find(place)); }

    // Whether find() may find one of the places of a product with placeNameBits `placeBits`: false
    // only when each of its places has a file-name hash that no path filed here has.
    bool mayHold(std::uint64_t placeBits) const {
        return placeBits == ~std::uint64_t{0} || (placeBits & m_nameBits) != 0;
    }

private:
    std::unordered_map<QString, Value, PlainHash, PlainEqualTo> m_byKey;
    std::unordered_multimap<std::size_t, const QString*> m_byName;
    std::uint64_t m_nameBits = 0;
};

} // namespace quorvane
