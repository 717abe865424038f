// Grouping of found bundles into products, the registry products, and the final order.

#include "Discovery/PluginScanner.h"

#include "Discovery/PluginOrders.h"
#include "Discovery/ScannerTexts.h"
#include "Support/ByteCount.h"
#include "Support/LocaleText.h"
#include "Support/PlainText.h"
#include "Support/StableSort.h"
#include "Support/Uuid.h"

#include <algorithm>
#include <limits>
#include <unordered_map>
#include <unordered_set>

namespace quorvane {

bool discoveredBundleLeadOrder(const PluginScanner::DiscoveredBundle& a,
                               const PluginScanner::DiscoveredBundle& b) {
    return plainLess(a.format, b.format);
}

bool discoveredBundleRecordOrder(const PluginScanner::DiscoveredBundle& a,
                                 const PluginScanner::DiscoveredBundle& b) {
    const int formats = plainCompare(a.format, b.format);
    if (formats != 0)
        return formats < 0;
    return plainLess(a.path, b.path);
}

namespace PluginScanner {

namespace {

QString productKey(const QString& manufacturer, const QString& name) {
    return lowercasedLocaleIndependent(manufacturer + QLatin1Char('|') + name);
}

void appendDistinct(QStringList& values, const QString& value) {
    if (std::none_of(values.begin(), values.end(),
                     [&](const QString& seen) { return plainEqual(seen, value); }))
        values.append(value);
}

bool containsPlain(const QStringList& values, const QString& value) {
    return std::any_of(values.begin(), values.end(),
                       [&](const QString& seen) { return plainEqual(seen, value); });
}

QString architectureSummary(QStringList distinct) {
    if (distinct.size() == 1)
        return distinct.first();
    if (containsPlain(distinct, ScannerTexts::universal) ||
        (containsPlain(distinct, ScannerTexts::appleSilicon) && containsPlain(distinct, ScannerTexts::intel)))
        return ScannerTexts::mixed;
    stableMergeSort(distinct.begin(), distinct.end(), plainLess);
    return distinct.join(ScannerTexts::architectureSeparator);
}

qint64 saturatingSum(qint64 a, qint64 b) {
    if (b > 0 && a > std::numeric_limits<qint64>::max() - b)
        return std::numeric_limits<qint64>::max();
    return a + b;
}

} // namespace

std::optional<Plugin> makePlugin(const std::vector<DiscoveredBundle>& group) {
    if (group.empty())
        return std::nullopt;
    // The first of the smallest format, as a stable sort would put it in front.
    const DiscoveredBundle& lead = *std::min_element(group.begin(), group.end(), discoveredBundleLeadOrder);

    QStringList formats;
    QStringList architectures;
    qint64 totalBytes = 0;
    for (const DiscoveredBundle& bundle : group) {
        appendDistinct(formats, bundle.format);
        appendDistinct(architectures, bundle.architecture);
        totalBytes = saturatingSum(totalBytes, bundle.byteSize);
    }
    stableMergeSort(formats.begin(), formats.end(), plainLess);

    Plugin plugin;
    plugin.id = makeUuid();
    plugin.name = lead.name;
    plugin.manufacturer = lead.manufacturer;
    plugin.version = lead.version;
    plugin.path = lead.path;
    plugin.formats = formats;
    plugin.architecture = architectureSummary(architectures);
    plugin.size = formatByteCount(totalBytes);
    if (plainEqual(lead.manufacturer, ScannerTexts::waves) &&
        localizedCaseInsensitiveContains(lead.name, QStringLiteral("shell"))) {
        plugin.status = PluginStatus::sharedShell;
        plugin.isProtected = true;
    } else if (architectures.size() == 1 && plainEqual(architectures.first(), ScannerTexts::intel)) {
        plugin.status = PluginStatus::legacy;
    } else {
        plugin.status = PluginStatus::ok;
    }

    std::vector<DiscoveredBundle> byRecord = group;
    stableMergeSort(byRecord, discoveredBundleRecordOrder);
    std::vector<PluginBundleRecord> records;
    records.reserve(byRecord.size());
    for (const DiscoveredBundle& bundle : byRecord) {
        PluginBundleRecord record;
        record.format = bundle.format;
        record.architecture = bundle.architecture;
        record.size = formatByteCount(bundle.byteSize);
        record.path = bundle.path;
        records.push_back(std::move(record));
    }
    plugin.bundles = std::move(records);
    return plugin;
}

std::vector<Plugin> groupBundles(const std::vector<DiscoveredBundle>& bundles) {
    std::vector<std::vector<DiscoveredBundle>> groups;
    std::unordered_map<QString, size_t, PlainHash, PlainEqualTo> groupByKey;
    for (const DiscoveredBundle& bundle : bundles) {
        const QString key = lowercasedLocaleIndependent(bundle.manufacturer) + QLatin1Char('|') +
                            lowercasedLocaleIndependent(bundle.name);
        auto [found, inserted] = groupByKey.try_emplace(key, groups.size());
        if (inserted)
            groups.emplace_back();
        groups[found->second].push_back(bundle);
    }
    std::vector<Plugin> products;
    products.reserve(groups.size());
    for (const auto& group : groups) {
        if (auto plugin = makePlugin(group))
            products.push_back(std::move(*plugin));
    }
    sortByManufacturer(products);
    return products;
}

std::vector<Plugin> assemblePlugins(const std::vector<DiscoveredBundle>& bundles,
                                    const Environment& environment) {
    std::vector<Plugin> products = groupBundles(bundles);
    std::unordered_set<QString, PlainHash, PlainEqualTo> keys;
    for (const Plugin& plugin : products)
        keys.insert(productKey(plugin.manufacturer, plugin.name));
    for (Plugin& plugin : audioUnitRegistryPlugins(environment)) {
        if (!keys.contains(productKey(plugin.manufacturer, plugin.name)))
            products.push_back(std::move(plugin));
    }
    stableMergeSort(products, pluginLocalizedManufacturerOrder);
    return products;
}

} // namespace PluginScanner

} // namespace quorvane
