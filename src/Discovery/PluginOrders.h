#pragma once

#include "Model/Plugin.h"

#include <vector>

namespace quorvane {

// Manufacturer, then name, both in plain order: the order of grouped scan products and of the
// merged inventory.
bool pluginManufacturerOrder(const Plugin& a, const Plugin& b);
// Sorts `plugins` stably into pluginManufacturerOrder.
void sortByManufacturer(std::vector<Plugin>& plugins);
// Manufacturers by localized case-insensitive comparison; names (compared the same way) only when
// the manufacturers are exactly equal. Not a strict weak ordering: sort with stableMergeSort.
bool pluginLocalizedManufacturerOrder(const Plugin& a, const Plugin& b);

} // namespace quorvane
