#pragma once

#include "HelperClient/DirectDistributionReadiness.h"
#include "HelperClient/PluginManagementStatus.h"
#include "Views/Kit/FocusKeeper.h"
#include "Views/Screens/Shared/ScreenLayout.h"
#include "Views/Screens/Shared/ScreenServices.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class QShowEvent;

namespace quorvane {

class PluginManagementService;

// What the plugin management screen reads of the helper service object, at one moment.
struct PluginManagementSnapshot {
    PluginManagementStatus status = PluginManagementStatus::notRegistered;
    bool helperIsReachable = false;
    std::optional<QString> helperVersion;
    std::optional<QString> lastError;
    std::optional<QString> lastHandshakeNotice;
    bool isWorking = false;
    bool needsHelperUpdate = false;
    std::vector<DirectDistributionReadinessCheck> checks;
    // The application's own build, named in the readiness panel's title.
    QString appBuildNumber;
};

// Reads the service; the readiness checks look at the installation on every call.
PluginManagementSnapshot pluginManagementSnapshot(const PluginManagementService& service);

// The one next step the screen offers for a status.
enum class PluginManagementAction {
    enable,
    openApprovalSettings,
    repairOrUpdate,
    testSecureHelper,
};

struct StatusPresentation {
    QString title;
    QString symbol;
    QString description;
};

StatusPresentation statusPresentation(PluginManagementStatus status);
// The status colour: blue, amber, green when enabled and reachable (blue when enabled but not),
// red for a missing helper or an unknown status.
QColor managementStatusColor(PluginManagementStatus status, bool helperIsReachable);

struct PrimaryAction {
    PluginManagementAction action = PluginManagementAction::enable;
    QString label;
    QString symbol;
    // Only "Enable Plugin Management" waits for the service to finish its work.
    bool enabled = true;
};

PrimaryAction primaryAction(const PluginManagementSnapshot& snapshot);

using PluginManagementCard = MetricSpec;

// A tinted bar of the status panel, named for tests.
struct PluginManagementNotice {
    QString objectName;
    QString text;
    QColor color;
};

struct ReadinessRow {
    QString id;
    QString title;
    QString detail;
    QString symbol;
    QColor color;
};

// Everything the screen shows, computed afresh from one snapshot.
struct PluginManagementContent {
    std::vector<PluginManagementCard> cards;
    StatusPresentation status;
    QColor statusColor;
    PrimaryAction primary;
    // The approval hint, the last error and the last handshake notice, each while it applies.
    std::vector<PluginManagementNotice> notices;
    QString readinessTitle;
    QString readinessCount;
    bool allChecksPassed = true;
    std::vector<ReadinessRow> readinessRows;
    QString readinessSummary;
};

PluginManagementContent pluginManagementContent(const PluginManagementSnapshot& snapshot);
// The four setup steps, numbered from 1.
const std::vector<QString>& pluginManagementSetupSteps();

// The screen's actions, each one call into the service or the desktop and nothing more; what
// changes on screen follows from what the service then publishes.
class PluginManagementViewModel {
public:
    PluginManagementViewModel(PluginManagementService& service, std::shared_ptr<DocumentOpener> documents);

    PluginManagementContent content() const;
    // "Refresh Status" and the screen's appearance.
    void refreshStatus();
    void perform(PluginManagementAction action);
    // Opens the local page that explains how the administrator approves the helper; touches
    // nothing else.
    void openApprovalSettings();

private:
    PluginManagementService& m_service;
    std::shared_ptr<DocumentOpener> m_documents;
};

// Enables, approves, repairs and tests the privileged helper: its status and handshake, the one
// next step, the service's messages, the release-readiness checks and four setup steps. Every
// appearance refreshes the status. While a privileged request is in flight the service keeps its
// connection through a refresh or a test, so these controls stay enabled as designed.
class PluginManagementView : public QWidget {
    Q_OBJECT
public:
    PluginManagementView(PluginManagementService& service, ScreenServices services,
                         QWidget* parent = nullptr);

    PluginManagementViewModel& viewModel() { return m_model; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refresh();

    PluginManagementViewModel m_model;
    QWidget* m_cards;
    QWidget* m_statusPane;
    QWidget* m_readinessPane;
    std::optional<FocusKeeper> m_statusFocus;
};

} // namespace quorvane
