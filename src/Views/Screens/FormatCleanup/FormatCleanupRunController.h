#pragma once

#include "Model/PluginBundleSelection.h"
#include "Planning/FormatCleanupPlan.h"
#include "Shared/PrivilegedRequests.h"
#include "Shared/PrivilegedResults.h"
#include "Store/PrivilegedRequestSender.h"

#include <QObject>
#include <QUuid>

#include <functional>
#include <optional>
#include <vector>

namespace quorvane {

class PluginInventoryStore;
class PluginManagementService;

using SelectionChunk = std::vector<PluginBundleSelection>;

// Consecutive chunks of `size` selections in list order, the last one shorter; none for a size
// below 1 or an empty list. A run and its restore are cut at the helper's transaction item limit.
std::vector<SelectionChunk> chunkSelections(const std::vector<PluginBundleSelection>& selections,
                                            qsizetype size);

// Drives a confirmed cleanup preset run, and the restore of a finished one, chunk after chunk. It
// lives beside the store for the window's life rather than in the format cleanup screen, so that a
// run goes on when the user shows another section while a chunk is at the helper: every confirmed
// chunk is either sent or the run is closed with its proper status (or, while its first chunk's
// outcome is unknown, left open for the launch that settles it), and a screen shown again finds
// the run where it is. The next chunk is sent only from the previous chunk's completion, and every
// message is the store's, but for the one that closes a restore of several chunks, whose chunks
// announce nothing of their own.
class FormatCleanupRunController : public QObject {
    Q_OBJECT
public:
    // `sender` outlives the controller.
    FormatCleanupRunController(PluginInventoryStore& store, PrivilegedRequestSender& sender,
                               QObject* parent = nullptr);

    // A run or a restore is under way.
    bool isBusy() const { return m_activeRunID.has_value() || m_restoringRunID.has_value(); }
    const std::optional<QUuid>& activeRunID() const { return m_activeRunID; }
    const std::vector<SelectionChunk>& pendingChunks() const { return m_pendingChunks; }
    int completedChunkCount() const { return m_completedChunkCount; }
    const std::optional<QUuid>& restoringRunID() const { return m_restoringRunID; }
    const std::vector<SelectionChunk>& restoreChunks() const { return m_restoreChunks; }

    // Starts a run of `confirmed` (in the plan's candidate order) unless the helper is not ready,
    // which stops silently, or the store refuses, which it reports. Does nothing while busy.
    void start(const FormatCleanupPlan& plan, const std::vector<PluginBundleSelection>& confirmed);
    // Puts back what the run still holds in quarantine; nothing when it holds nothing. Does nothing
    // while busy.
    void restoreCompletedRun(const QUuid& runID);

signals:
    void busyChanged();
    // Every chunk of a run was committed and the run is closed as completed.
    void runCompleted();
    // A restore of a finished run is over, whether every chunk was committed or not.
    void restoreEnded();

private:
    void presetRunStarted(const std::optional<QUuid>& runID);
    void runNextPresetChunk();
    void presetChunkCommitted(bool committed, const QUuid& runID, const QString& transactionID);
    void closeRunEarly();
    // Drops the run's state without closing its record.
    void forgetRun();
    void runNextRestoreChunk();
    // A restore chunk of `bundles` bundles has ended; a refused one is not committed.
    void restoreChunkEnded(qsizetype bundles, bool committed);
    void endRestore();
    // Leaves one message for a restore of several chunks, with its total.
    void closeRestoreMessage();
    void setBusyFrom(bool wasBusy);

    PluginInventoryStore& m_store;
    PrivilegedRequestSender& m_sender;
    std::optional<QUuid> m_activeRunID;
    std::vector<SelectionChunk> m_pendingChunks;
    int m_completedChunkCount = 0;
    std::optional<QUuid> m_restoringRunID;
    std::vector<SelectionChunk> m_restoreChunks;
    int m_restoreChunkCount = 0;
    int m_restoredChunkCount = 0;
    qsizetype m_restoredBundleCount = 0;
};

} // namespace quorvane
