#include "Store/PluginInventoryStore.h"

#include <algorithm>

namespace quorvane {

namespace {

bool isQuarantinedStatus(PluginStatus status) {
    return status == PluginStatus::quarantined || status == PluginStatus::partiallyQuarantined;
}

} // namespace

// Both lists read the stored records, not Plugin::bundleRecords(), so that a shell-hosted product
// is judged by its records when it has any.

std::vector<Plugin> PluginInventoryStore::activePlugins() const {
    std::vector<Plugin> active;
    active.reserve(m_plugins.size());
    for (const Plugin& plugin : m_plugins) {
        const bool include =
            plugin.bundles && !plugin.bundles->empty()
                ? std::any_of(plugin.bundles->begin(), plugin.bundles->end(),
                              [](const PluginBundleRecord& record) { return record.isActive(); })
                : !isQuarantinedStatus(plugin.status);
        if (include)
            active.push_back(plugin);
    }
    return active;
}

std::vector<Plugin> PluginInventoryStore::quarantinedPlugins() const {
    std::vector<Plugin> quarantined;
    for (const Plugin& plugin : m_plugins) {
        const bool include = isQuarantinedStatus(plugin.status) ||
                             (plugin.bundles && std::any_of(plugin.bundles->begin(), plugin.bundles->end(),
                                                            [](const PluginBundleRecord& record) {
                                                                return record.isQuarantined();
                                                            }));
        if (include)
            quarantined.push_back(plugin);
    }
    return quarantined;
}

} // namespace quorvane
