#pragma once

#include "Model/Plugin.h"
#include "Model/PluginBundleRecord.h"

#include <vector>

namespace quorvane {

// The records in which both planners look up a product's bundles: its stored bundles in stored
// order whatever its status; else, for a single-format product that is not hostedByShell, one
// record made from the product's own fields; else none. Unlike Plugin::bundleRecords() it neither
// sorts nor drops the stored bundles of a hostedByShell product.
std::vector<PluginBundleRecord> plannerRecords(const Plugin& plugin);

} // namespace quorvane
