#pragma once

// Where the bundles of an inventory's records are now, and a look-up of paths by the record key
// (which folds case and Unicode form) that reads every record's place cheaply.

#include "Model/Identity.h"
#include "Model/Plugin.h"
#include "Planning/PlannerRecords.h"
#include "Support/PlainText.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <unordered_map>

namespace quorvane {

// Where a record's bundle is now: in quarantine, or where it was scanned.
inline const QString& placeOf(const PluginBundleRecord& record) {
    return record.isQuarantined() ? *record.quarantinePath : record.path;
}

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

// Calls visit(index, place) with the place of each of plannerRecords(plugin), as forEachPlannerRecord
// and placeOf would, but without making the record of a product that has none stored: a walk over
// every product's places then reads no more of a product than its paths.
template <class Visit>
void forEachPlannerPlace(const Plugin& plugin, Visit visit) {
    if (plugin.bundles && !plugin.bundles->empty()) {
        for (std::size_t index = 0; index < plugin.bundles->size(); ++index)
            visit(index, placeOf((*plugin.bundles)[index]));
        return;
    }
    if (plugin.status == PluginStatus::hostedByShell || plugin.formats.size() != 1)
        return;
    visit(0, plugin.singleFormatRecordIsQuarantined() ? *plugin.quarantinePath : plugin.path);
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
            if (const auto hash = fileNameHash(key))
                m_byName.emplace(*hash, &entry->first);
        }
        return entry->second;
    }

    const Value* find(const QString& place) const {
        const auto hash = fileNameHash(place);
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

private:
    // FNV-1a over the lower-cased units of the last component; none when that is not plain ASCII,
    // or when standardising could change which component is last (empty, "." or "..").
    static std::optional<std::size_t> fileNameHash(QStringView path) {
        const QStringView name = path.sliced(path.lastIndexOf(u'/') + 1);
        if (name.isEmpty() || name == u"." || name == u"..")
            return std::nullopt;
        std::uint64_t hash = 14695981039346656037ull;
        for (const QChar character : name) {
            char16_t unit = character.unicode();
            if (unit >= 0x80)
                return std::nullopt;
            if (unit >= u'A' && unit <= u'Z')
                unit |= 0x20;
            hash = (hash ^ unit) * 1099511628211ull;
        }
        return std::size_t(hash);
    }

    std::unordered_map<QString, Value, PlainHash, PlainEqualTo> m_byKey;
    std::unordered_multimap<std::size_t, const QString*> m_byName;
};

} // namespace quorvane
