#pragma once

#include "Model/Plugin.h"
#include "Model/PluginList.h"

#include <QtGlobal>

#include <vector>

namespace quorvane {

// The lists the screens derive from an inventory, as isActiveProduct and isQuarantinedProduct judge
// its products.

// The active products, in inventory order, shared with `plugins` (the very list when every product
// is active).
PluginList activePlugins(const PluginList& plugins);
qsizetype activePluginCount(const PluginList& plugins);
// The quarantined products, in inventory order.
std::vector<Plugin> quarantinedPlugins(const PluginList& plugins);
qsizetype quarantinedBundleCount(const PluginList& plugins);

} // namespace quorvane
