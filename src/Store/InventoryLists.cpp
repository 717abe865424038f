#include "Store/InventoryLists.h"

#include <algorithm>
#include <iterator>

namespace quorvane {

namespace {

bool isQuarantinedStatus(PluginStatus status) {
    return status == PluginStatus::quarantined || status == PluginStatus::partiallyQuarantined;
}

} // namespace

bool isActiveProduct(const Plugin& plugin) {
    return plugin.bundles && !plugin.bundles->empty()
               ? std::any_of(plugin.bundles->begin(), plugin.bundles->end(),
                             [](const PluginBundleRecord& record) { return record.isActive(); })
               : !isQuarantinedStatus(plugin.status);
}

bool isQuarantinedProduct(const Plugin& plugin) {
    return isQuarantinedStatus(plugin.status) ||
           (plugin.bundles &&
            std::any_of(plugin.bundles->begin(), plugin.bundles->end(),
                        [](const PluginBundleRecord& record) { return record.isQuarantined(); }));
}

PluginList activePlugins(const PluginList& plugins) {
    return plugins.filtered(isActiveProduct);
}

qsizetype activePluginCount(const PluginList& plugins) {
    return std::count_if(plugins.begin(), plugins.end(), isActiveProduct);
}

std::vector<Plugin> quarantinedPlugins(const PluginList& plugins) {
    std::vector<Plugin> quarantined;
    std::copy_if(plugins.begin(), plugins.end(), std::back_inserter(quarantined), isQuarantinedProduct);
    return quarantined;
}

qsizetype quarantinedBundleCount(const PluginList& plugins) {
    qsizetype count = 0;
    for (const Plugin& plugin : plugins)
        plugin.forEachBundleRecord(
            [&](const PluginBundleRecord& record) { count += record.isQuarantined() ? 1 : 0; });
    return count;
}

} // namespace quorvane
