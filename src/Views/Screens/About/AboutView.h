#pragma once

#include "HelperClient/DirectDistributionReadiness.h"
#include "Model/ScanReconciliationSummary.h"
#include "Support/Timestamp.h"
#include "Views/Screens/Shared/ScreenLayout.h"
#include "Views/Screens/Shared/ScreenServices.h"

#include <QColor>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <optional>
#include <utility>
#include <vector>

namespace quorvane {

class PluginInventoryStore;
class PluginManagementService;

// What the About screen shows, read from the store, the helper service object and the build.
struct AboutSnapshot {
    QString appVersion;
    QString appBuildNumber;
    QString appVersionLabel;
    qsizetype productCount = 0;
    qsizetype operationCount = 0;
    std::vector<DirectDistributionReadinessCheck> checks;
    std::optional<QString> helperVersion;
    bool helperIsReachable = false;
    std::optional<Timestamp> lastScanDate;
    std::optional<ScanReconciliationSummary> lastReconciliation;
    QStringList inaccessibleLocations;
    qsizetype quarantinedBundleCount = 0;
};

AboutSnapshot aboutSnapshot(const PluginInventoryStore& store, const PluginManagementService& service);

using AboutCard = MetricSpec;

// Everything the screen's panels show, as texts.
struct AboutContent {
    std::vector<AboutCard> cards;
    bool allChecksPassed = true;
    QString readinessSummary;
    // Label and value of each detail row, in order.
    std::vector<std::pair<QString, QString>> detailRows;
    // The last reconciliation's sentence, while there is one.
    std::optional<QString> reconciliation;
    // The unreadable locations in the store's order; the panel shows the green bar when empty.
    QStringList unreadableLocations;
};

// `formatters` write the last scan's date.
AboutContent aboutContent(const AboutSnapshot& snapshot, const Formatters& formatters);
// The save panel of the diagnostic report.
SaveRequest diagnosticReportSaveRequest();

// Build information, scan health and the diagnostic report export.
class AboutView : public QWidget {
    Q_OBJECT
public:
    AboutView(PluginInventoryStore& store, PluginManagementService& service, ScreenServices services,
              QWidget* parent = nullptr);

    const std::optional<QString>& exportError() const { return m_exportError; }
    // Runs the export as the header's button does.
    void exportDiagnosticReport();

private:
    void refresh();

    PluginInventoryStore& m_store;
    PluginManagementService& m_service;
    ScreenServices m_services;
    std::optional<QString> m_exportError;
    QWidget* m_cards;
    QWidget* m_releasePane;
    QWidget* m_folderPane;
};

} // namespace quorvane
