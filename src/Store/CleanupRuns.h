#pragma once

#include "Model/HistoryItem.h"
#include "Model/PermanentQuarantineMatch.h"
#include "Model/PluginBundleSelection.h"
#include "Planning/FormatCleanupPlan.h"
#include "Planning/FormatCleanupRunRecord.h"
#include "Shared/PrivilegedRequests.h"
#include "Store/PrivilegedRequestReadiness.h"

#include <QHash>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>
#include <vector>

namespace quorvane {

class PluginInventoryStore;
class PrivilegedRequestSender;

// The store's runs of several transactions: format cleanup preset runs (a run record, its child
// quarantine chunks, its close, and the closing of runs an earlier launch left open), and the
// permanent-quarantine replacement run after a scan. Lives on the store's thread, owned by the
// store, and works through the store's state and transactions.
class CleanupRuns {
public:
    explicit CleanupRuns(PluginInventoryStore& store) : m_store(store) {}

    CleanupRuns(const CleanupRuns&) = delete;
    CleanupRuns& operator=(const CleanupRuns&) = delete;

    // Format cleanup preset runs; the format cleanup screen drives the chunks. `started` gets the run's id
    // once its record is on disk, or none after a refusal (a record that could not be written is taken out
    // again).
    std::optional<QUuid> beginCleanupPresetRun(const FormatCleanupPlan& plan,
                                               const std::vector<PluginBundleSelection>& selections,
                                               std::function<void(const std::optional<QUuid>&)> started = {});
    std::optional<PrivilegedQuarantineRequest> preparePresetRunChildTransaction(
        const QUuid& runID, const std::vector<PluginBundleSelection>& selections,
        std::function<void(const std::optional<PrivilegedQuarantineRequest>&)> send = {});
    void finishCleanupPresetRun(const QUuid& runID, FormatCleanupRunStatus status);
    // The run's bundles still quarantined under its id, in selection order.
    std::vector<PluginBundleSelection> presetRunRestoreSelections(const QUuid& runID) const;
    // How many bundles of each cleanup run are still in quarantine, in one pass over the inventory.
    QHash<QUuid, qsizetype> presetRunQuarantinedCounts() const;

private:
    // What the store and its journals ask of the runs.
    friend class PluginInventoryStore;
    friend class TransactionJournals;

    // Closes the runs an earlier launch left open, by what their bundles show; skipped while a
    // journal is pending.
    void reconcileCleanupPresetRuns();

    // The permanent-quarantine run.

    // The matches a scan found: the run starts when `service` is ready, else the scan's notice says
    // why nothing was replaced.
    void applyPermanentQuarantineAfterScan(const std::vector<PermanentQuarantineMatch>& matches,
                                           PrivilegedRequestReadiness* service);
    // Runs one chunk of at most 256 exact replacements; the next chunk of `remaining` starts, through
    // the store, once it has been committed.
    void runPermanentQuarantineChunk(const std::vector<PermanentQuarantineMatch>& chunk,
                                     const std::vector<PermanentQuarantineMatch>& remaining,
                                     PrivilegedRequestReadiness* service);
    // The current active record with the bundle key `bundleID`, outside shared shells.
    std::optional<PluginBundleSelection> resolvePermanentQuarantineSelections(const QString& bundleID) const;
    // What the permanent-quarantine run carries from one phase to the next.
    struct PermanentRunContext {
        std::vector<PermanentQuarantineMatch> chunk;
        std::vector<PermanentQuarantineMatch> remaining;
        PrivilegedRequestSender* sender = nullptr;
    };

    // Stores `runs` with `line` first in the history and saves; on a failed save the line goes and
    // `revertRuns` puts the run records back.
    void saveCleanupRunsWithHistoryLine(std::vector<FormatCleanupRunRecord> runs, HistoryItem line,
                                        std::function<void()> revertRuns,
                                        std::function<void(bool saved)> then);
    // The second phase of a chunk: its reinstalled copies into quarantine.
    void beginPermanentQuarantinePhase(const PermanentRunContext& context);
    // The end of a chunk's second phase: `begun` false when the store refused it.
    void finishPermanentQuarantineChunk(bool begun, bool committed, const PermanentRunContext& context);
    void setScanNoticeAndSave(const QString& text);

    PluginInventoryStore& m_store;
};

} // namespace quorvane
