#include "Views/Screens/FormatCleanup/FormatCleanupRunController.h"

#include "HelperClient/PluginManagementService.h"
#include "Model/OperationNotice.h"
#include "Shared/QuorvaneHelperProtocol.h"
#include "Store/PluginInventoryStore.h"
#include "Store/PrivilegedTransactionRun.h"
#include "Store/PrivilegedTransactionTexts.h"

#include <QPointer>

namespace quorvane {

std::vector<SelectionChunk> chunkSelections(const std::vector<PluginBundleSelection>& selections,
                                            qsizetype size) {
    std::vector<SelectionChunk> chunks;
    if (size < 1)
        return chunks;
    for (std::size_t start = 0; start < selections.size(); start += std::size_t(size)) {
        const std::size_t end = std::min(selections.size(), start + std::size_t(size));
        chunks.emplace_back(selections.begin() + qsizetype(start), selections.begin() + qsizetype(end));
    }
    return chunks;
}

FormatCleanupRunController::FormatCleanupRunController(PluginInventoryStore& store,
                                                       PrivilegedRequestSender& sender, QObject* parent)
    : QObject(parent), m_store(store), m_sender(sender) {}

void FormatCleanupRunController::setBusyFrom(bool wasBusy) {
    if (wasBusy != isBusy())
        emit busyChanged();
}

void FormatCleanupRunController::start(const FormatCleanupPlan& plan,
                                       const std::vector<PluginBundleSelection>& confirmed) {
    if (isBusy() || !m_sender.isReadyForPrivilegedRequests())
        return;
    const std::optional<QUuid> runID = m_store.cleanupRuns().beginCleanupPresetRun(
        plan, confirmed, [self = QPointer(this)](const std::optional<QUuid>& started) {
            if (self)
                self->presetRunStarted(started);
        });
    if (!runID)
        return;
    m_activeRunID = runID;
    m_completedChunkCount = 0;
    m_pendingChunks = chunkSelections(confirmed, maximumTransactionItemCount);
    emit busyChanged();
}

void FormatCleanupRunController::presetRunStarted(const std::optional<QUuid>& runID) {
    // None after a refusal at once (nothing is active yet) or after the run's record could not be
    // written (the store took it out again).
    if (!runID) {
        if (m_activeRunID) {
            m_activeRunID.reset();
            m_pendingChunks.clear();
            setBusyFrom(true);
        }
        return;
    }
    if (m_activeRunID == runID)
        runNextPresetChunk();
}

void FormatCleanupRunController::runNextPresetChunk() {
    if (!m_activeRunID)
        return;
    if (m_pendingChunks.empty()) {
        const QUuid runID = *m_activeRunID;
        m_store.cleanupRuns().finishCleanupPresetRun(runID, FormatCleanupRunStatus::completed);
        m_activeRunID.reset();
        m_completedChunkCount = 0;
        setBusyFrom(true);
        emit runCompleted();
        return;
    }
    const SelectionChunk chunk = m_pendingChunks.front();
    m_pendingChunks.erase(m_pendingChunks.begin());
    const QUuid runID = *m_activeRunID;
    // The result reaches the store even should this controller be gone by then.
    runPrivilegedTransaction<PrivilegedQuarantineRequest, PrivilegedQuarantineResult>(
        {[&store = m_store, runID, chunk](auto sent) {
             store.cleanupRuns().preparePresetRunChildTransaction(runID, chunk, std::move(sent));
         },
         sendThrough<PrivilegedQuarantineRequest, PrivilegedQuarantineResult>(m_sender),
         completeThrough<PrivilegedQuarantineRequest, PrivilegedQuarantineResult>(m_store)},
        [self = QPointer(this), runID](const std::optional<PrivilegedQuarantineRequest>& sent,
                                       bool committed) {
            if (!self)
                return;
            if (!sent) {
                if (self->m_activeRunID == runID)
                    self->closeRunEarly();
                return;
            }
            self->presetChunkCommitted(committed, runID, sent->transactionID);
        });
}

void FormatCleanupRunController::presetChunkCommitted(bool committed, const QUuid& runID,
                                                      const QString& transactionID) {
    if (m_activeRunID != runID)
        return;
    if (!committed) {
        // A first chunk whose outcome could not be verified may yet have moved everything: the run
        // stays open, and the launch that settles the chunk's journal closes it by what it then
        // holds in quarantine. Closed as canceled now, its bundles would never be offered back.
        const auto& journal = m_store.pendingPrivilegedQuarantine();
        if (m_completedChunkCount == 0 && journal && journal->transactionID == transactionID)
            forgetRun();
        else
            closeRunEarly();
        return;
    }
    ++m_completedChunkCount;
    runNextPresetChunk();
}

void FormatCleanupRunController::closeRunEarly() {
    if (!m_activeRunID)
        return;
    const QUuid runID = *m_activeRunID;
    m_store.cleanupRuns().finishCleanupPresetRun(runID, m_completedChunkCount <= 0
                                                            ? FormatCleanupRunStatus::canceled
                                                            : FormatCleanupRunStatus::partiallyCompleted);
    forgetRun();
}

void FormatCleanupRunController::forgetRun() {
    m_activeRunID.reset();
    m_pendingChunks.clear();
    setBusyFrom(true);
}

void FormatCleanupRunController::restoreCompletedRun(const QUuid& runID) {
    if (isBusy())
        return;
    const std::vector<PluginBundleSelection> selections =
        m_store.cleanupRuns().presetRunRestoreSelections(runID);
    if (selections.empty())
        return;
    m_restoringRunID = runID;
    m_restoreChunks = chunkSelections(selections, maximumTransactionItemCount);
    m_restoreChunkCount = int(m_restoreChunks.size());
    m_restoredChunkCount = 0;
    m_restoredBundleCount = 0;
    emit busyChanged();
    runNextRestoreChunk();
}

void FormatCleanupRunController::runNextRestoreChunk() {
    if (!m_restoringRunID)
        return;
    if (m_restoreChunks.empty()) {
        endRestore();
        return;
    }
    const SelectionChunk chunk = m_restoreChunks.front();
    m_restoreChunks.erase(m_restoreChunks.begin());
    // A restore of several chunks is told once, at its end, rather than chunk by chunk.
    const bool withhold = m_restoreChunkCount > 1;
    runPrivilegedTransaction<PrivilegedRestoreRequest, PrivilegedRestoreResult>(
        {[&store = m_store, chunk, withhold](auto sent) {
             store.beginPrivileged<PrivilegedKind::restore>(
                 chunk, {}, [&store, withhold, sent](const std::optional<PrivilegedRestoreRequest>& request) {
                     if (request && withhold)
                         store.withholdSuccessNotice(request->transactionID);
                     sent(request);
                 });
         },
         sendThrough<PrivilegedRestoreRequest, PrivilegedRestoreResult>(m_sender),
         completeThrough<PrivilegedRestoreRequest, PrivilegedRestoreResult>(m_store)},
        [self = QPointer(this)](const std::optional<PrivilegedRestoreRequest>& sent, bool committed) {
            if (self)
                self->restoreChunkEnded(sent && committed ? qsizetype(sent->items.size()) : 0, committed);
        });
}

void FormatCleanupRunController::restoreChunkEnded(qsizetype bundles, bool committed) {
    if (!committed) {
        endRestore();
        return;
    }
    ++m_restoredChunkCount;
    m_restoredBundleCount += bundles;
    runNextRestoreChunk();
}

void FormatCleanupRunController::closeRestoreMessage() {
    namespace Texts = PrivilegedTransactionTexts::Restore;
    if (m_restoreChunkCount <= 1 || m_restoredChunkCount == 0)
        return;
    if (m_restoredChunkCount == m_restoreChunkCount) {
        m_store.presentNotice(OperationNotice::make(
            Texts::successTitle, Texts::runSuccess(m_restoredBundleCount, m_restoredChunkCount),
            NoticeStyle::success));
        return;
    }
    // The chunk that stopped the restore has said why; what came back before it is added.
    const auto& notice = m_store.notice();
    const QString before = Texts::runStopped(m_restoredBundleCount, m_restoredChunkCount);
    m_store.presentNotice(OperationNotice::make(notice ? notice->title : Texts::attentionTitle,
                                                notice ? notice->message + u' ' + before : before,
                                                NoticeStyle::warning));
}

void FormatCleanupRunController::endRestore() {
    const bool wasRestoring = m_restoringRunID.has_value();
    const bool wasBusy = isBusy();
    m_restoringRunID.reset();
    m_restoreChunks.clear();
    setBusyFrom(wasBusy);
    if (wasRestoring) {
        closeRestoreMessage();
        emit restoreEnded();
    }
}

} // namespace quorvane
