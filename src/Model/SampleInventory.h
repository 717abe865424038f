#pragma once

#include "Model/Plugin.h"

#include <vector>

namespace quorvane {

// The eight products the inventory shows before a state file is loaded. Built once on first
// use, each with its own random id; none has stored bundle records.
const std::vector<Plugin>& sampleInventory();

} // namespace quorvane
