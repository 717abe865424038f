#pragma once

#include "Model/Plugin.h"
#include "Model/PluginList.h"

#include <QtGlobal>

#include <vector>

namespace quorvane {

// The lists the screens derive from an inventory. They read the stored records, not
// Plugin::bundleRecords(), so that a shell-hosted product is judged by its records when it has any.

// An active record, or, without records, a status other than quarantined.
bool isActiveProduct(const Plugin& plugin);
// Quarantined by status or by a stored record.
bool isQuarantinedProduct(const Plugin& plugin);

// The active products, in inventory order, shared with `plugins` (the very list when every product
// is active).
PluginList activePlugins(const PluginList& plugins);
qsizetype activePluginCount(const PluginList& plugins);
// The quarantined products, in inventory order.
std::vector<Plugin> quarantinedPlugins(const PluginList& plugins);
qsizetype quarantinedBundleCount(const PluginList& plugins);

} // namespace quorvane
