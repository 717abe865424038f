#include "Model/PermanentQuarantineMatch.h"

#include "Model/Identity.h"
#include "Model/ModelHash.h"
#include "Support/LocaleText.h"
#include "Support/Paths.h"
#include "Support/StableSort.h"

#include <unordered_map>
#include <unordered_set>

namespace quorvane {

bool PermanentQuarantineMatch::operator==(const PermanentQuarantineMatch& other) const {
    return active == other.active && retired == other.retired && plainEqual(pluginName, other.pluginName) &&
           plainEqual(manufacturer, other.manufacturer) && plainEqual(format, other.format);
}

size_t qHash(const PermanentQuarantineMatch& match, size_t seed) {
    using namespace modelhash;
    for (const size_t part : {qHash(match.active), qHash(match.retired), of(match.pluginName),
                              of(match.manufacturer), of(match.format)})
        seed = combine(seed, part);
    return seed;
}

QString permanentQuarantineMatchKey(const Plugin& product, const PluginBundleRecord& record) {
    const QString name = lowercasedLocaleIndependent(foldCaseAndDiacritics(product.name.trimmed()));
    const QString fileName =
        lowercasedLocaleIndependent(lastPathComponent(record.originalPath.value_or(record.path)));
    return manufacturerKey(product.manufacturer) + QLatin1Char('|') + name + QLatin1Char('|') +
           uppercasedLocaleIndependent(record.format) + QLatin1Char('|') + fileName;
}

std::optional<PermanentQuarantineMatch> permanentQuarantineMatch(const QString& key,
                                                                 const PermanentQuarantineTable& active,
                                                                 const PermanentQuarantineTable& retired) {
    const auto activeEntries = active.find(key);
    const auto retiredEntries = retired.find(key);
    if (activeEntries == active.end() || retiredEntries == retired.end())
        return std::nullopt;
    if (activeEntries->second.size() != 1 || retiredEntries->second.size() != 1)
        return std::nullopt;
    const PermanentQuarantineEntry& reinstalled = activeEntries->second.front();
    return PermanentQuarantineMatch{reinstalled.selection, retiredEntries->second.front().selection,
                                    reinstalled.product.name, reinstalled.product.manufacturer,
                                    reinstalled.record.format};
}

bool permanentQuarantineMatchOrder(const PermanentQuarantineMatch& a, const PermanentQuarantineMatch& b) {
    const int byManufacturer = plainCompare(a.manufacturer, b.manufacturer);
    if (byManufacturer != 0)
        return byManufacturer < 0;
    return plainLess(a.pluginName, b.pluginName);
}

std::vector<PermanentQuarantineMatch>
permanentQuarantineMatches(const PluginList& products, const std::vector<PermanentQuarantineRule>& rules) {
    if (rules.empty())
        return {};
    std::unordered_set<QString, PlainHash, PlainEqualTo> ruleKeys;
    for (const PermanentQuarantineRule& rule : rules)
        ruleKeys.insert(rule.id());

    PermanentQuarantineTable active;
    PermanentQuarantineTable retired;
    // Keys in the order first seen, so that equal matches keep the inventory's order.
    std::vector<QString> keys;
    // Many products share a few manufacturer texts, and folding one is costly: each text is judged
    // once.
    std::unordered_map<QString, bool, PlainHash, PlainEqualTo> ruledManufacturers;
    const auto ruled = [&](const QString& manufacturer) {
        const auto [entry, added] = ruledManufacturers.try_emplace(manufacturer, false);
        if (added)
            entry->second = ruleKeys.contains(manufacturerKey(manufacturer));
        return entry->second;
    };
    for (const Plugin& product : products) {
        if (product.isMandatoryShell() || product.isProtected || !product.bundles)
            continue;
        if (!ruled(product.manufacturer))
            continue;
        for (const PluginBundleRecord& record : *product.bundles) {
            if (record.isProtected)
                continue;
            const QString key = permanentQuarantineMatchKey(product, record);
            PermanentQuarantineTable& table = record.isQuarantined() ? retired : active;
            if (!active.contains(key) && !retired.contains(key))
                keys.push_back(key);
            table[key].push_back(
                PermanentQuarantineEntry{PluginBundleSelection{product.id, record.id()}, product, record});
        }
    }

    std::vector<PermanentQuarantineMatch> matches;
    for (const QString& key : keys) {
        if (auto match = permanentQuarantineMatch(key, active, retired))
            matches.push_back(std::move(*match));
    }
    stableMergeSort(matches, permanentQuarantineMatchOrder);
    return matches;
}

} // namespace quorvane
