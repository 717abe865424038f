#pragma once

// Where the bundles of a product's records are now, and the file names of those places reduced to
// a few bits, so that a search for a few places can pass over the products that cannot hold them.

#include "Model/Plugin.h"

#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace quorvane {

// Where a record's bundle is now: in quarantine, or where it was scanned.
inline const QString& placeOf(const PluginBundleRecord& record) {
    return record.isQuarantined() ? *record.quarantinePath : record.path;
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

// FNV-1a over the lower-cased units of the last component; none when that is not plain ASCII,
// or when standardising could change which component is last (empty, "." or "..").
inline std::optional<std::size_t> placeNameHash(QStringView path) {
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

// The one bit of 64 that stands for a file-name hash.
inline std::uint64_t placeNameBit(std::size_t hash) {
    return std::uint64_t{1} << (hash % 64);
}

// placeNameBit of each of the product's places; every bit when a place's file name has no hash,
// since such a place is looked up by its whole key.
inline std::uint64_t placeNameBits(const Plugin& plugin) {
    std::uint64_t bits = 0;
    forEachPlannerPlace(plugin, [&](std::size_t, const QString& place) {
        const auto hash = placeNameHash(place);
        bits |= hash ? placeNameBit(*hash) : ~std::uint64_t{0};
    });
    return bits;
}

} // namespace quorvane
