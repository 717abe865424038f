#include "Store/InventoryLists.h"

#include "Store/InventoryThreads.h"
#include "Support/ParallelFor.h"

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

std::vector<Plugin> activePlugins(const std::vector<Plugin>& plugins) {
    std::vector<std::size_t> active;
    active.reserve(plugins.size());
    for (std::size_t index = 0; index < plugins.size(); ++index) {
        if (isActiveProduct(plugins[index]))
            active.push_back(index);
    }
    return copyInParallel(plugins, active, productsPerThread);
}

qsizetype activePluginCount(const std::vector<Plugin>& plugins) {
    return std::count_if(plugins.begin(), plugins.end(), isActiveProduct);
}

std::vector<Plugin> quarantinedPlugins(const std::vector<Plugin>& plugins) {
    std::vector<Plugin> quarantined;
    std::copy_if(plugins.begin(), plugins.end(), std::back_inserter(quarantined), isQuarantinedProduct);
    return quarantined;
}

qsizetype quarantinedBundleCount(const std::vector<Plugin>& plugins) {
    qsizetype count = 0;
    for (const Plugin& plugin : plugins)
        plugin.forEachBundleRecord(
            [&](const PluginBundleRecord& record) { count += record.isQuarantined() ? 1 : 0; });
    return count;
}

} // namespace quorvane
