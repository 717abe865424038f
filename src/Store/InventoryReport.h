#pragma once

#include "Model/Plugin.h"
#include "Model/PluginList.h"
#include "Model/ScanReconciliationSummary.h"
#include "Store/StoreEnvironment.h"
#include "Support/Timestamp.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace quorvane {

// What the diagnostic report reads of the store; it holds references, so it lives no longer than
// the store it was read from.
struct InventoryReportInputs {
    const PluginList& plugins;
    qsizetype historyRecords = 0;
    const std::optional<Timestamp>& lastScanDate;
    const std::optional<ScanReconciliationSummary>& lastReconciliation;
    const QStringList& inaccessibleLocations;
    const StoreEnvironment& environment;
    Timestamp generated;
};

// The plain-text diagnostic report. `managementSection` is the helper service object's section,
// inserted unchanged.
QString diagnosticReport(const InventoryReportInputs& inputs,
                         const std::optional<QString>& managementSection);

} // namespace quorvane
