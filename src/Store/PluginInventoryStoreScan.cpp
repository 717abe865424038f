#include "Store/PluginInventoryStore.h"

#include "Model/Identity.h"
#include "Store/StoreTexts.h"

#include <QSet>

namespace quorvane {

namespace {

qsizetype bundleRecordCount(const PluginList& plugins) {
    qsizetype count = 0;
    for (const Plugin& plugin : plugins)
        plugin.forEachBundleRecord([&](const PluginBundleRecord&) { ++count; });
    return count;
}

} // namespace

void PluginInventoryStore::startScan(const QList<QUrl>& authorizedFolders,
                                     PrivilegedRequestReadiness* service) {
    if (m_isScanning)
        return;
    if (m_fileActionsBlockedByStorage) {
        reportOperationError(StoreTexts::Notice::scanBlockedTitle,
                             m_dataFolderReadOnly ? StoreTexts::Notice::scanBlockedByReadOnlyFolderMessage
                                                  : StoreTexts::Notice::scanBlockedByStorageMessage);
        return;
    }
    if (hasPendingPrivilegedTransaction()) {
        reportOperationError(StoreTexts::Notice::scanBlockedTitle,
                             StoreTexts::Notice::scanBlockedByJournalMessage);
        return;
    }
    setIsScanning(true);
    setLastOperationError(std::nullopt);
    setLastScanNotice(std::nullopt);

    m_scan.start(authorizedFolders, m_lastScanDate.has_value(), service);
}

void PluginInventoryStore::endScan() {
    setIsScanning(false);
    setScanProgress(std::nullopt);
    m_scan.end();
}

void PluginInventoryStore::finishCanceledScan() {
    insertHistoryFront(makeHistoryItem(StoreTexts::History::allPlugins, HistoryKind::scanCanceled,
                                       StoreTexts::History::scanCanceled));
    endScan();
    setLastScanNotice(StoreTexts::ScanNotice::canceled);
    postNotice(StoreTexts::Notice::scanCanceledTitle, StoreTexts::Notice::scanCanceledMessage,
               NoticeStyle::warning);
    saveStateReportingFailure();
}

void PluginInventoryStore::applyScanMerge(ScanSession::Merge merge, const ScanSummary& summary,
                                          const ScanSession::Context& context) {
    for (QString& key : merge.shellKeys)
        m_protectedKeys.insert(std::move(key));
    const ScanReconciliationSummary reconciliation = merge.reconciliation;
    const std::vector<TrashedBundleRecord>& restored = merge.restored;
    const PluginList merged = merge.merged;
    setPlugins(std::move(merge.merged));
    setInaccessibleLocations(summary.inaccessibleLocations);
    setLastReconciliation(reconciliation);
    const Timestamp finished = now();
    setLastScanDate(finished);

    const auto mergedCount = static_cast<qsizetype>(plugins().size());
    const qsizetype bundleCount = bundleRecordCount(plugins());
    const bool anythingChanged = reconciliation.addedBundles != 0 || reconciliation.missingBundles != 0 ||
                                 reconciliation.manuallyRestoredBundles != 0 ||
                                 !summary.inaccessibleLocations.isEmpty();

    // Newest first: the scan line, the reconciliation line, then the restored bundles, the last one
    // first.
    std::vector<HistoryItem> history;
    history.reserve(m_history.size() + restored.size() + 2);
    history.push_back(makeHistoryItem(StoreTexts::History::allPlugins, HistoryKind::scan,
                                      StoreTexts::History::scanned(mergedCount, bundleCount)));
    if (context.hadPreviousScan && anythingChanged)
        history.push_back(makeHistoryItem(StoreTexts::History::allPlugins, HistoryKind::reconciliation,
                                          reconciliation.summaryText()));
    for (auto record = restored.rbegin(); record != restored.rend(); ++record)
        history.push_back(
            makeHistoryItem(record->pluginName, HistoryKind::externalRestore,
                            StoreTexts::History::externalRestore(record->format, record->originalPath)));
    history.insert(history.end(), m_history.begin(), m_history.end());
    setHistory(std::move(history));

    if (!restored.empty()) {
        QSet<QUuid> restoredIDs;
        for (const TrashedBundleRecord& record : restored)
            restoredIDs.insert(record.id);
        std::vector<TrashedBundleRecord> trashed = m_trashedBundles;
        for (TrashedBundleRecord& record : trashed) {
            if (restoredIDs.contains(record.id))
                record.reconciledDate = finished;
        }
        setTrashedBundles(std::move(trashed));
    }

    endScan();

    // The merge found the matches of the rules it was given; they are looked for again when the
    // rules changed since, or a handler of the signals above changed the products.
    const std::vector<PermanentQuarantineMatch> matches =
        plugins().isSameList(merged) && m_permanentQuarantineRules == merge.matchedRules
            ? std::move(merge.permanentQuarantineMatches)
            : permanentQuarantineMatches(plugins(), m_permanentQuarantineRules);
    setLastScanNotice(anythingChanged ? reconciliation.summaryText() : StoreTexts::ScanNotice::noChanges);
    postNotice(StoreTexts::Notice::scanCompleteTitle,
               StoreTexts::Notice::scanCompleteMessage(mergedCount, bundleCount), NoticeStyle::success);
    saveStateReportingFailure();
    if (!matches.empty())
        m_cleanupRuns.applyPermanentQuarantineAfterScan(matches, context.liveService());
}

std::vector<Plugin> PluginInventoryStore::mergeScanResult(std::vector<Plugin> scanned,
                                                          const PathKeySet& transactionPaths) const {
    return ScanSession::mergeScanned(plugins(), std::move(scanned), transactionPaths, {});
}

} // namespace quorvane
