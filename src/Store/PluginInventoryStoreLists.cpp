#include "Store/PluginInventoryStore.h"

#include "Support/ParallelFor.h"

#include <algorithm>
#include <iterator>

namespace quorvane {

namespace {

bool isQuarantinedStatus(PluginStatus status) {
    return status == PluginStatus::quarantined || status == PluginStatus::partiallyQuarantined;
}

// Both lists read the stored records, not Plugin::bundleRecords(), so that a shell-hosted product
// is judged by its records when it has any.

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

} // namespace

std::vector<Plugin> PluginInventoryStore::activePlugins() const {
    std::vector<std::size_t> active;
    active.reserve(plugins().size());
    for (std::size_t index = 0; index < plugins().size(); ++index) {
        if (isActiveProduct(plugins()[index]))
            active.push_back(index);
    }
    // A large inventory is copied on several threads.
    return copyInParallel(plugins(), active, productsPerThread);
}

PluginInventoryStore::SharedPlugins PluginInventoryStore::sharedActivePlugins() const {
    if (!m_activePlugins) {
        m_activePlugins = std::all_of(plugins().begin(), plugins().end(), isActiveProduct)
                              ? m_plugins
                              : shareInventory(activePlugins());
    }
    return m_activePlugins;
}

qsizetype PluginInventoryStore::activePluginCount() const {
    if (m_activePlugins)
        return static_cast<qsizetype>(m_activePlugins->size());
    return std::count_if(plugins().begin(), plugins().end(), isActiveProduct);
}

std::vector<Plugin> PluginInventoryStore::quarantinedPlugins() const {
    std::vector<Plugin> quarantined;
    std::copy_if(plugins().begin(), plugins().end(), std::back_inserter(quarantined), isQuarantinedProduct);
    return quarantined;
}

} // namespace quorvane
