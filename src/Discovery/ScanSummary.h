#pragma once

#include "Model/Plugin.h"

#include <QStringList>

#include <vector>

namespace quorvane {

// The result of one scan.
struct ScanSummary {
    std::vector<Plugin> plugins;       // empty when the scan was cancelled
    QStringList inaccessibleLocations; // distinct, ascending plain order
    bool wasCancelled = false;

    bool operator==(const ScanSummary&) const = default;
};

} // namespace quorvane
