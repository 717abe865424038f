#include "Store/CleanupRuns.h"

#include "Store/PluginInventoryStore.h"

#include "Planning/PlanningOrders.h"
#include "Store/PrivilegedTransactionTexts.h"
#include "Support/StableSort.h"
#include "Support/Uuid.h"

#include <QSet>

#include <unordered_set>

// Format cleanup preset runs: the journal of a run of child quarantine transactions, its start, the
// check of each child chunk, its close, the bundles it still holds in quarantine, and the closing of
// runs an earlier launch left open.

namespace quorvane {

namespace Texts = PrivilegedTransactionTexts::CleanupRun;

namespace {

// A run's child transaction is linked to it when its journal is written, before the helper is
// asked; only one that committed left quarantine lines under the run in the history. One whose
// journal is still pending has not committed, whatever lines a part-way finaliser wrote.
qsizetype committedChildTransactionCount(const FormatCleanupRunRecord& run,
                                         const std::vector<HistoryItem>& history,
                                         const std::optional<PrivilegedQuarantineRequest>& pending) {
    QSet<QUuid> children(run.childTransactionIDs.begin(), run.childTransactionIDs.end());
    if (const auto pendingID = pending ? parseUuid(pending->transactionID) : std::nullopt)
        children.remove(*pendingID);
    QSet<QUuid> committed;
    for (const HistoryItem& line : history) {
        if (line.kind != HistoryKind::quarantine || line.presetRunID != run.id || !line.transactionID)
            continue;
        if (const auto id = parseUuid(*line.transactionID); id && children.contains(*id))
            committed.insert(*id);
    }
    return committed.size();
}

} // namespace

std::optional<QUuid>
CleanupRuns::beginCleanupPresetRun(const FormatCleanupPlan& plan,
                                   const std::vector<PluginBundleSelection>& selections,
                                   std::function<void(const std::optional<QUuid>&)> started) {
    const auto refuse = [this, &started](const QString& title, const QString& message) {
        m_store.reportOperationError(title, message);
        if (started)
            started(std::nullopt);
        return std::optional<QUuid>();
    };
    m_store.setLastOperationError(std::nullopt);
    if (m_store.fileActionsBlockedByStorage())
        return refuse(Texts::blockedTitle, Texts::storageBlocked);
    if (plan.inventoryRevision != m_store.inventoryRevision())
        return refuse(Texts::expiredTitle, Texts::expired);
    if (m_store.hasPendingPrivilegedTransaction())
        return refuse(Texts::blockedTitle, Texts::pendingTransaction);

    std::unordered_set<PluginBundleSelection> reviewed;
    for (const FormatCleanupCandidate& candidate : plan.candidates)
        reviewed.insert(candidate.selection);
    std::vector<PluginBundleSelection> confirmed;
    std::unordered_set<PluginBundleSelection> seen;
    for (const PluginBundleSelection& selection : selections) {
        if (seen.insert(selection).second)
            confirmed.push_back(selection);
    }
    const bool outsidePreview = std::ranges::any_of(
        confirmed, [&](const PluginBundleSelection& selection) { return !reviewed.contains(selection); });
    if (confirmed.empty() || outsidePreview)
        return refuse(Texts::blockedTitle, Texts::confirmationMismatch);
    stableMergeSort(confirmed, bundleSelectionOrder);

    FormatCleanupRunRecord run;
    run.id = makeUuid();
    run.planID = plan.id;
    run.preset = plan.preset;
    run.createdAt = m_store.now();
    run.status = FormatCleanupRunStatus::pending;
    run.selections = std::move(confirmed);
    HistoryItem line = m_store.makeHistoryItem(title(plan.preset), HistoryKind::cleanupPresetStarted,
                                               Texts::startedDetail(qsizetype(run.selections.size())));
    line.presetRunID = run.id;

    std::vector<FormatCleanupRunRecord> runs{run};
    runs.insert(runs.end(), m_store.formatCleanupRuns().begin(), m_store.formatCleanupRuns().end());
    saveCleanupRunsWithHistoryLine(
        std::move(runs), std::move(line),
        [this, runID = run.id] {
            std::vector<FormatCleanupRunRecord> records = m_store.formatCleanupRuns();
            std::erase_if(records, [&](const FormatCleanupRunRecord& record) { return record.id == runID; });
            m_store.setFormatCleanupRuns(std::move(records));
        },
        [this, runID = run.id, started = std::move(started)](bool saved) {
            if (!saved)
                m_store.reportOperationError(Texts::blockedTitle, Texts::saveFailure);
            if (started)
                started(saved ? std::optional(runID) : std::nullopt);
        });
    return run.id;
}

void CleanupRuns::saveCleanupRunsWithHistoryLine(std::vector<FormatCleanupRunRecord> runs, HistoryItem line,
                                                 std::function<void()> revertRuns,
                                                 std::function<void(bool saved)> then) {
    m_store.setFormatCleanupRuns(std::move(runs));
    const QUuid lineID = line.id;
    m_store.insertHistoryFront(std::move(line));
    m_store.saveOrRevert(
        [this, lineID, revertRuns = std::move(revertRuns)] {
            revertRuns();
            std::vector<HistoryItem> history = m_store.history();
            std::erase_if(history, [&](const HistoryItem& item) { return item.id == lineID; });
            m_store.setHistory(std::move(history));
        },
        std::move(then));
}

std::optional<PrivilegedQuarantineRequest> CleanupRuns::preparePresetRunChildTransaction(
    const QUuid& runID, const std::vector<PluginBundleSelection>& selections,
    std::function<void(const std::optional<PrivilegedQuarantineRequest>&)> send) {
    const auto refuse = [&](const QString& message) {
        m_store.reportOperationError(Texts::blockedTitle, message);
        if (send)
            send(std::nullopt);
        return std::optional<PrivilegedQuarantineRequest>();
    };
    const auto run =
        std::ranges::find_if(m_store.formatCleanupRuns(), [&](const FormatCleanupRunRecord& record) {
            return record.id == runID && record.status == FormatCleanupRunStatus::pending;
        });
    if (run == m_store.formatCleanupRuns().end())
        return refuse(Texts::runNotPending);
    const bool outsideRun = std::ranges::any_of(selections, [&](const PluginBundleSelection& selection) {
        return std::ranges::find(run->selections, selection) == run->selections.end();
    });
    if (selections.empty() || outsideRun)
        return refuse(Texts::chunkOutsideRun);
    return m_store.beginPrivileged<PrivilegedKind::quarantine>(selections, m_store.inventoryRevision(),
                                                               std::move(send), runID);
}

void CleanupRuns::finishCleanupPresetRun(const QUuid& runID, FormatCleanupRunStatus status) {
    const auto found =
        std::ranges::find_if(m_store.formatCleanupRuns(),
                             [&](const FormatCleanupRunRecord& record) { return record.id == runID; });
    if (found == m_store.formatCleanupRuns().end() || found->status != FormatCleanupRunStatus::pending)
        return;
    if (status == FormatCleanupRunStatus::pending)
        return;
    const FormatCleanupRunRecord record = *found;
    const std::size_t index = std::size_t(found - m_store.formatCleanupRuns().begin());

    QString detail;
    HistoryKind kind = HistoryKind::cleanupPresetCanceled;
    switch (status) {
    case FormatCleanupRunStatus::completed:
        kind = HistoryKind::cleanupPresetCompleted;
        detail = Texts::completedDetail(qsizetype(record.selections.size()));
        break;
    case FormatCleanupRunStatus::partiallyCompleted:
        kind = HistoryKind::cleanupPresetPartiallyCompleted;
        detail = Texts::partiallyCompletedDetail(
            committedChildTransactionCount(record, m_store.history(), m_store.pendingPrivilegedQuarantine()));
        break;
    case FormatCleanupRunStatus::canceled:
    case FormatCleanupRunStatus::pending:
        detail = Texts::canceledDetail;
        break;
    }
    HistoryItem line = m_store.makeHistoryItem(title(record.preset), kind, detail);
    line.presetRunID = runID;

    std::vector<FormatCleanupRunRecord> runs = m_store.formatCleanupRuns();
    runs[index].status = status;
    saveCleanupRunsWithHistoryLine(
        std::move(runs), std::move(line),
        [this, runID, status] {
            // Open again, so that the next launch closes it; only while it still has the status
            // this change gave it.
            std::vector<FormatCleanupRunRecord> records = m_store.formatCleanupRuns();
            for (FormatCleanupRunRecord& open : records) {
                if (open.id == runID && open.status == status)
                    open.status = FormatCleanupRunStatus::pending;
            }
            m_store.setFormatCleanupRuns(std::move(records));
        },
        [this, status, detail](bool saved) {
            if (!saved) {
                m_store.reportOperationError(Texts::historyNotSavedTitle, Texts::historyNotSaved);
                return;
            }
            const bool completed = status == FormatCleanupRunStatus::completed;
            m_store.postNotice(completed ? Texts::completedTitle : Texts::stoppedTitle, detail,
                               completed ? NoticeStyle::success : NoticeStyle::warning);
        });
}

std::vector<PluginBundleSelection> CleanupRuns::presetRunRestoreSelections(const QUuid& runID) const {
    std::vector<PluginBundleSelection> selections;
    for (const Plugin& plugin : m_store.plugins()) {
        for (const PluginBundleRecord& record : plugin.bundleRecords()) {
            if (record.isQuarantined() && record.presetRunID == runID)
                selections.push_back({plugin.id, record.id()});
        }
    }
    stableMergeSort(selections, bundleSelectionOrder);
    return selections;
}

QHash<QUuid, qsizetype> CleanupRuns::presetRunQuarantinedCounts() const {
    QHash<QUuid, qsizetype> counts;
    for (const Plugin& plugin : m_store.plugins()) {
        plugin.forEachBundleRecord([&](const PluginBundleRecord& record) {
            if (record.isQuarantined() && record.presetRunID)
                ++counts[*record.presetRunID];
        });
    }
    return counts;
}

void CleanupRuns::reconcileCleanupPresetRuns() {
    if (m_store.hasPendingPrivilegedTransaction())
        return;
    std::vector<QUuid> open;
    for (const FormatCleanupRunRecord& run : m_store.formatCleanupRuns()) {
        if (run.status == FormatCleanupRunStatus::pending)
            open.push_back(run.id);
    }
    for (const QUuid& id : open) {
        const auto run =
            std::ranges::find_if(m_store.formatCleanupRuns(),
                                 [&](const FormatCleanupRunRecord& record) { return record.id == id; });
        if (run == m_store.formatCleanupRuns().end())
            continue;
        const std::vector<PluginBundleSelection> quarantined = presetRunRestoreSelections(id);
        const std::unordered_set<PluginBundleSelection> stillQuarantined(quarantined.begin(),
                                                                         quarantined.end());
        const bool everyOne =
            !run->selections.empty() &&
            std::ranges::all_of(run->selections, [&](const PluginBundleSelection& selection) {
                return stillQuarantined.contains(selection);
            });
        const FormatCleanupRunStatus outcome = everyOne ? FormatCleanupRunStatus::completed
                                               : quarantined.empty()
                                                   ? FormatCleanupRunStatus::canceled
                                                   : FormatCleanupRunStatus::partiallyCompleted;
        finishCleanupPresetRun(id, outcome);
    }
}

} // namespace quorvane
