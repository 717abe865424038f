#pragma once

#include <QString>

namespace quorvane {

// One progress report of a scan.
struct ScanProgress {
    QString format;   // of the location being scanned
    QString location; // its path
    int completedLocations = 0;
    int totalLocations = 0;
    int discoveredBundles = 0; // so far, all locations together

    bool operator==(const ScanProgress&) const = default;
};

} // namespace quorvane
