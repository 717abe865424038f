#pragma once

#include "Model/Plugin.h"
#include "Views/Kit/Binding.h"
#include "Views/Kit/FocusKeeper.h"
#include "Views/Kit/TrashConfirmationSheet.h"
#include "Views/Screens/Shared/ScreenLayout.h"

#include <QPointer>
#include <QSet>
#include <QString>
#include <QUuid>
#include <QWidget>

#include <optional>
#include <vector>

class QHBoxLayout;
class QVBoxLayout;

namespace quorvane {

class MultiSelectPluginTable;
class PluginInventoryStore;
class PluginManagementService;
class QuarantineDetailPane;

namespace QuarantineTexts {
inline const QString title = QStringLiteral("Quarantine");
inline const QString subtitle = QStringLiteral("Temporarily disabled plugins that can be safely restored.");
inline const QString restoreReady = QStringLiteral("Privileged restore ready");
inline const QString restoreSelected = QStringLiteral("Restore Selected\u2026");
inline const QString trashSelected = QStringLiteral("Move Selected to Trash\u2026");
inline const QString batchUnavailable = QStringLiteral("Batch action unavailable: ");
inline const QString reversibleNote = QStringLiteral(
    "Quarantine is reversible. Trash actions use macOS Trash and never permanently delete a bundle.");
inline const QString batchRestoreTitle = QStringLiteral("Restore Selected Plugins?");
inline const QString batchRestoreAction = QStringLiteral("Restore Plugins");
// Plain text with the counts as they are: no singular forms.
inline QString batchRestoreMessage(qsizetype plugins, qsizetype bundles) {
    return QStringLiteral("Quorvane will restore ") + QString::number(plugins) +
           QStringLiteral(" selected plugins ") + QStringLiteral("(") + QString::number(bundles) +
           QStringLiteral(" format bundles) to their recorded original locations. ") +
           QStringLiteral("Existing files will never be overwritten.");
}
} // namespace QuarantineTexts

// What the quarantine screen shows and does, without widgets: the ticked products and the
// inspected one, the counts, the reasons that block restore and Trash, and both roads to the
// helper for a product, one format or the ticked batch.
class QuarantineViewModel {
public:
    QuarantineViewModel(PluginManagementService& service, PluginInventoryStore& store,
                        Binding<std::optional<Plugin>> selectedPlugin);
    QuarantineViewModel(const QuarantineViewModel&) = delete;
    QuarantineViewModel& operator=(const QuarantineViewModel&) = delete;

    // Selection.
    const QSet<QUuid>& selectedPluginIDs() const { return m_selectedPluginIDs; }
    // A new set runs the follow-up that keeps the inspected product among the ticked ones.
    void setSelectedPluginIDs(const QSet<QUuid>& ids);
    std::optional<Plugin> selectedPlugin() const { return m_selectedPlugin.get(); }
    void clearSelection();
    // Opening the screen never carries another screen's product in.
    void appear() { clearSelection(); }
    // After the store's products changed: drops ticks that left quarantine and refreshes the
    // inspected product.
    void reconcileWithStore();

    // Derived values.
    std::vector<Plugin> quarantinedPlugins() const;
    // The ticked products still in quarantine, in store order; every batch count and action uses it.
    std::vector<Plugin> selectedQuarantinedPlugins() const;
    qsizetype selectedQuarantinedBundleCount() const;
    std::vector<PluginBundleSelection> batchSelections() const;
    std::vector<PluginBundleRecord> inspectorBundles() const;
    bool isReady() const;
    std::vector<MetricSpec> cards() const;

    // Reasons: the service's first, the plan's only when the service gives none.
    std::optional<QString> batchRestoreReason() const;
    std::optional<QString> batchTrashReason() const;
    // "Batch action unavailable: " and the first of the restore and the Trash reasons.
    std::optional<QString> batchReasonLine() const;
    // The line for reasons already asked: the restore reason first.
    static std::optional<QString> batchReasonLine(const std::optional<QString>& restoreReason,
                                                  const std::optional<QString>& trashReason);
    std::optional<QString> restoreReason(const Plugin& plugin) const;
    std::optional<QString> trashReason(const Plugin& plugin) const;
    std::optional<QString> bundleRestoreReason(const Plugin& plugin, const PluginBundleRecord& bundle) const;
    std::optional<QString> bundleTrashReason(const Plugin& plugin, const PluginBundleRecord& bundle) const;

    // Roads; each stops silently while the helper is not ready. A verified commit clears the
    // selection; any other end keeps it.
    void restore(const std::vector<PluginBundleSelection>& selections);
    void moveToTrash(const std::vector<PluginBundleSelection>& selections);
    void restoreBatch() { restore(batchSelections()); }
    void moveBatchToTrash() { moveToTrash(batchSelections()); }
    static std::vector<PluginBundleSelection> pluginSelections(const Plugin& plugin);
    static std::vector<PluginBundleSelection> bundleSelections(const Plugin& plugin,
                                                               const PluginBundleRecord& bundle);

    QString batchRestoreMessage() const;

private:
    void followSelection();

    PluginManagementService& m_service;
    PluginInventoryStore& m_store;
    Binding<std::optional<Plugin>> m_selectedPlugin;
    QSet<QUuid> m_selectedPluginIDs;
    // Gone with the screen, so a reply that outlives it reaches the store and nothing else.
    QObject m_guard;
};

class QuarantineView : public QWidget {
    Q_OBJECT
public:
    QuarantineView(PluginManagementService& service, PluginInventoryStore& store,
                   Binding<std::optional<Plugin>> selectedPlugin, QWidget* parent = nullptr);

    QuarantineViewModel& model() { return m_model; }
    void refresh();
    void refreshStatus();
    void presentBatchRestore();
    void presentBatchTrash();
    TrashSheetFrame* batchTrashSheet() const;

private:
    void refreshSelection();
    void rebuildBatchArea();
    void rebuildBars();

    PluginManagementService& m_service;
    PluginInventoryStore& m_store;
    QuarantineViewModel m_model;
    QVBoxLayout* m_header;
    QHBoxLayout* m_metrics;
    QVBoxLayout* m_batch;
    MultiSelectPluginTable* m_table;
    QuarantineDetailPane* m_inspector;
    QVBoxLayout* m_bars;
    QPointer<TrashSheetFrame> m_trashSheet;
    std::optional<FocusKeeper> m_batchFocus;
};

} // namespace quorvane
