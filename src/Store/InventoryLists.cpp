#include "Store/InventoryLists.h"

namespace quorvane {

PluginList activePlugins(const PluginList& plugins) {
    return plugins.activeOnly();
}

qsizetype activePluginCount(const PluginList& plugins) {
    return plugins.counts().active;
}

std::vector<Plugin> quarantinedPlugins(const PluginList& plugins) {
    std::vector<Plugin> quarantined;
    for (std::size_t index = 0; index < plugins.size(); ++index) {
        if (plugins.isQuarantinedAt(index))
            quarantined.push_back(plugins[index]);
    }
    return quarantined;
}

qsizetype quarantinedBundleCount(const PluginList& plugins) {
    return plugins.counts().quarantinedBundles;
}

} // namespace quorvane
