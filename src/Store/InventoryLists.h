#pragma once

#include "Model/Plugin.h"

#include <QtGlobal>

#include <vector>

namespace quorvane {

// The lists the screens derive from an inventory. They read the stored records, not
// Plugin::bundleRecords(), so that a shell-hosted product is judged by its records when it has any.

// An active record, or, without records, a status other than quarantined.
bool isActiveProduct(const Plugin& plugin);
// Quarantined by status or by a stored record.
bool isQuarantinedProduct(const Plugin& plugin);

// The active products, in inventory order; a large inventory is copied on several threads.
std::vector<Plugin> activePlugins(const std::vector<Plugin>& plugins);
qsizetype activePluginCount(const std::vector<Plugin>& plugins);
// The quarantined products, in inventory order.
std::vector<Plugin> quarantinedPlugins(const std::vector<Plugin>& plugins);
qsizetype quarantinedBundleCount(const std::vector<Plugin>& plugins);

} // namespace quorvane
