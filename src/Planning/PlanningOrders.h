#pragma once

#include "Model/Plugin.h"
#include "Model/PluginBundleRecord.h"
#include "Model/PluginBundleSelection.h"
#include "Planning/FormatCleanupPlan.h"

namespace quorvane {

// Each order answers "does a sort strictly before b". Several mix exact equality with a
// case-insensitive comparison and are not strict weak orderings: sort with stableMergeSort only.

// Same product: bundleID by plain order; else the products' UUID texts by plain order. The order
// of the selections stored in a cleanup run record and of a run's restore selections.
bool bundleSelectionOrder(const PluginBundleSelection& a, const PluginBundleSelection& b);

// Exactly equal manufacturers: by name; otherwise by manufacturer; both by localizedStandardCompare.
bool cleanupPluginOrder(const Plugin& a, const Plugin& b);

// By the rank of the normalised format in AU, VST2, VST3, AAX, CLAP (others last), then by path
// with localizedStandardCompare.
bool bundleRecordFormatOrder(const PluginBundleRecord& a, const PluginBundleRecord& b);

// By detail, plain order.
bool cleanupWarningOrder(const FormatCleanupWarning& a, const FormatCleanupWarning& b);

} // namespace quorvane
