#pragma once

#include "Model/TrashRecoveryEntry.h"
#include "Shared/PrivilegedRequests.h"
#include "Shared/PrivilegedResults.h"
#include "Views/Kit/FocusKeeper.h"
#include "Views/Screens/Shared/ScreenLayout.h"
#include "Views/Screens/Shared/ScreenServices.h"

#include <QMessageBox>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QUuid>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QStackedLayout;
class QVBoxLayout;

namespace quorvane {

class PluginInventoryStore;
class PluginManagementService;

namespace TrashRecoveryTexts {
inline const QString title = QStringLiteral("Trash Recovery");
inline const QString subtitle =
    QStringLiteral("Restore Quorvane-tracked bundles from Finder Trash to their exact original paths.");
inline const QString recoveryReady = QStringLiteral("Secure recovery ready");
inline const QString restoreSelected = QStringLiteral("Restore Selected\u2026");
inline const QString restoreUnavailable = QStringLiteral("Restore unavailable: ");
inline const QString emptyTitle = QStringLiteral("No Trash Recovery Records");
inline const QString emptyDetail =
    QStringLiteral("Bundles moved to Finder Trash by Quorvane will appear here.");
inline const QString ownRecordsNote = QStringLiteral(
    "Quorvane restores only its own saved Trash records. Existing destinations, missing bundles, mismatched "
    "formats, and unsafe paths are blocked without moving anything.");
inline const QString confirmationTitle = QStringLiteral("Restore from Finder Trash?");
inline const QString confirmationAction = QStringLiteral("Restore Bundles");
inline QString confirmationMessage(qsizetype count) {
    return QStringLiteral("Quorvane will return ") + QString::number(count) +
           QStringLiteral(" format bundle") + (count == 1 ? QString() : QStringLiteral("s")) +
           QStringLiteral(" to the exact saved original path. Existing files will never be overwritten.");
}
} // namespace TrashRecoveryTexts

// What the Trash recovery screen shows and does, without widgets. Everything shown is derived from
// one snapshot of the store's recovery entries, taken by refresh(), so the disk is read once per
// redraw rather than once per row.
class TrashRecoveryViewModel {
public:
    TrashRecoveryViewModel(PluginManagementService& service, PluginInventoryStore& store);
    TrashRecoveryViewModel(const TrashRecoveryViewModel&) = delete;
    TrashRecoveryViewModel& operator=(const TrashRecoveryViewModel&) = delete;

    // Reads the entries (and so the disk) again.
    void refresh();
    // Opening the screen: the store checks its records on disk, then the ticks go.
    void appear();
    // After the store's records changed: ticks of records that are gone go too.
    void pruneSelection();

    // The snapshot, newest move first.
    const std::vector<TrashRecoveryEntry>& entries() const { return m_entries; }
    std::vector<MetricSpec> cards() const;
    bool isReady() const;

    const QSet<QUuid>& selectedRecordIDs() const { return m_selectedRecordIDs; }
    void setSelected(const QUuid& id, bool selected);
    void clearSelection() { m_selectedRecordIDs.clear(); }
    std::vector<TrashRecoveryEntry> selectedEntries() const;
    std::optional<QString> selectionBlockingReason() const;
    // "Restore unavailable: " and the selection's reason.
    std::optional<QString> selectionReasonLine() const;
    // The line for a reason already asked.
    static std::optional<QString> selectionReasonLine(const std::optional<QString>& reason);
    std::optional<QString> rowBlockingReason(const TrashRecoveryEntry& entry) const;
    // The records of the entry's Trash transaction while it can be restored as a whole (two or
    // more, every one ready and unreconciled), else none.
    std::vector<QUuid> transactionRecordIDs(const TrashRecoveryEntry& entry) const;

    // The three roads: each asks for confirmation unless the service or the store refuses, which
    // stops it silently (the screen already shows why).
    void restoreSelection();
    void restoreRecord(const QUuid& id);
    void restoreTransaction(const TrashRecoveryEntry& entry);
    bool preflight(const std::vector<QUuid>& ids);

    const std::vector<QUuid>& pendingRestoreIDs() const { return m_pendingRestoreIDs; }
    bool showsRestoreConfirmation() const { return m_showRestoreConfirmation; }
    QString confirmationMessage() const;
    void cancelConfirmation();
    // "Restore Bundles": journals and sends the pending ids when the helper is ready.
    void confirm();
    // The reply: the store judges it; a verified success unticks exactly the ids it carried, and
    // every reply empties the pending list. `then` learns whether the store committed.
    void finishRecovery(const PrivilegedTrashRestoreResult& result,
                        const PrivilegedTrashRestoreRequest& request, const std::vector<QUuid>& ids,
                        std::function<void(bool)> then);

    // Called after a reply changed the screen's state.
    std::function<void()> changed;

private:
    PluginManagementService& m_service;
    PluginInventoryStore& m_store;
    std::vector<TrashRecoveryEntry> m_entries;
    QSet<QUuid> m_selectedRecordIDs;
    std::vector<QUuid> m_pendingRestoreIDs;
    bool m_showRestoreConfirmation = false;
    // Gone with the screen, so a reply that outlives it reaches the store and nothing else.
    QObject m_guard;
};

class TrashRecoveryView : public QWidget {
    Q_OBJECT
public:
    TrashRecoveryView(PluginManagementService& service, PluginInventoryStore& store, ScreenServices services,
                      QWidget* parent = nullptr);

    TrashRecoveryViewModel& model() { return m_model; }
    void refresh();
    // The confirmation alert while it is open.
    QMessageBox* confirmationAlert() const { return m_alert; }

private:
    void rebuildBatchArea();
    void rebuildRows();
    void presentConfirmationIfAsked();

    PluginManagementService& m_service;
    PluginInventoryStore& m_store;
    TrashRecoveryViewModel m_model;
    ScreenServices m_services;
    QVBoxLayout* m_header;
    QHBoxLayout* m_metrics;
    QVBoxLayout* m_batch;
    QStackedLayout* m_body;
    QWidget* m_empty;
    QVBoxLayout* m_rows;
    QVBoxLayout* m_bars;
    QPointer<QMessageBox> m_alert;
    std::optional<FocusKeeper> m_batchFocus;
    std::optional<FocusKeeper> m_rowsFocus;
};

} // namespace quorvane
