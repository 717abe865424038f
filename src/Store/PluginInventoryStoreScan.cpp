#include "Store/PluginInventoryStore.h"

#include "Discovery/PluginOrders.h"
#include "Discovery/PluginScanner.h"
#include "Model/Identity.h"
#include "Store/StoreOrders.h"
#include "Store/StoreTexts.h"
#include "Support/LocaleText.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSet>

#include <algorithm>

namespace quorvane {

namespace {

using KeySet = std::unordered_set<QString, PlainHash, PlainEqualTo>;

// Bundle keys of the protected records of `plugins`: a key held by several records is protected
// when any of them is. Only protected records are keyed, as most records are not.
KeySet protectedBundleKeys(const std::vector<Plugin>& plugins) {
    KeySet keys;
    for (const Plugin& plugin : plugins) {
        plugin.forEachBundleRecord([&](const PluginBundleRecord& record) {
            if (record.isProtected)
                keys.insert(record.id());
        });
    }
    return keys;
}

// Puts a stored record into a product of the merge, in place of any scanned record of the same
// bundle (by original path, ignoring case, or by bundle key).
void joinCarriedRecord(Plugin& target, const PluginBundleRecord& carried) {
    std::vector<PluginBundleRecord> records = target.bundleRecords();
    const QString originalPath = lowercasedLocaleIndependent(carried.originalPath.value_or(carried.path));
    const QString carriedKey = carried.id();
    std::erase_if(records, [&](const PluginBundleRecord& record) {
        return plainEqual(lowercasedLocaleIndependent(record.path), originalPath) ||
               plainEqual(record.id(), carriedKey);
    });
    records.push_back(carried);
    QStringList formats;
    for (const PluginBundleRecord& record : records) {
        const bool seen = std::any_of(formats.begin(), formats.end(), [&](const QString& format) {
            return plainEqual(format, record.format);
        });
        if (!seen)
            formats.push_back(record.format);
    }
    sortStringsAscending(formats);
    target.bundles = std::move(records);
    target.formats = std::move(formats);
    target.status = target.derivedStatus();
}

qsizetype bundleRecordCount(const std::vector<Plugin>& plugins) {
    qsizetype count = 0;
    for (const Plugin& plugin : plugins)
        plugin.forEachBundleRecord([&](const PluginBundleRecord&) { ++count; });
    return count;
}

} // namespace

PrivilegedRequestReadiness* PluginInventoryStore::ScanContext::liveService() const {
    if (serviceIsObject && serviceObject.isNull())
        return nullptr;
    return service;
}

void PluginInventoryStore::startScan(const QList<QUrl>& authorizedFolders,
                                     PrivilegedRequestReadiness* service) {
    if (m_isScanning)
        return;
    if (m_fileActionsBlockedByStorage) {
        reportOperationError(StoreTexts::Notice::scanBlockedTitle,
                             StoreTexts::Notice::scanBlockedByStorageMessage);
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

    ScanContext context;
    context.authorizedFolders = authorizedFolders;
    context.hadPreviousScan = m_lastScanDate.has_value();
    context.previousActivePaths = activeBundlePaths(plugins());
    context.service = service;
    if (auto* object = dynamic_cast<QObject*>(service)) {
        context.serviceObject = object;
        context.serviceIsObject = true;
    }
    context.control = std::make_shared<ScanControl>();
    m_scanControl = context.control;
    runScanTask(std::move(context));
}

void PluginInventoryStore::runScanTask(ScanContext context) {
    // The previous scan's thread has already handed back its result; it only has to return.
    if (m_scanThread.joinable())
        m_scanThread.join();

    StoreEnvironment::ScanFunction scan = m_environment.scan;
    if (!scan) {
        scan = [scanner = m_environment.scanner](const QList<QUrl>& folders, ScanControl& control,
                                                 const PluginScanner::ProgressCallback& progress) {
            return PluginScanner::scan(folders, control, progress, scanner);
        };
    }
    const QList<QUrl> folders = context.authorizedFolders;
    const std::shared_ptr<ScanControl> control = context.control;
    const QPointer<PluginInventoryStore> store(this);
    m_scanContext = std::move(context);

    // The thread touches no store state: it only posts its progress and result back to the GUI
    // thread, where the store is looked up through the guard.
    m_scanThread = std::thread([scan = std::move(scan), folders, control, store] {
        const PluginScanner::ProgressCallback progress = [store, control](const ScanProgress& report) {
            reportScanProgress(report, store, control);
        };
        ScanSummary summary = scan(folders, *control, progress);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [store, control, summary = std::move(summary)]() mutable {
                if (PluginInventoryStore* target = store.data())
                    target->acceptScanResult(control, std::move(summary));
            },
            Qt::QueuedConnection);
    });
}

void PluginInventoryStore::reportScanProgress(const ScanProgress& progress,
                                              const QPointer<PluginInventoryStore>& store,
                                              const std::shared_ptr<ScanControl>& control) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [progress, store, control] {
            PluginInventoryStore* target = store.data();
            // A report of a finished or superseded scan is dropped.
            if (target == nullptr || !target->m_isScanning || target->m_scanControl != control)
                return;
            target->setScanProgress(progress);
        },
        Qt::QueuedConnection);
}

void PluginInventoryStore::acceptScanResult(const std::shared_ptr<ScanControl>& control,
                                            ScanSummary summary) {
    if (!m_scanContext || m_scanContext->control != control)
        return;
    const ScanContext context = std::move(*m_scanContext);
    m_scanContext.reset();
    finishScan(std::move(summary), context);
}

void PluginInventoryStore::endScan() {
    setIsScanning(false);
    setScanProgress(std::nullopt);
    m_scanControl.reset();
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

void PluginInventoryStore::finishScan(ScanSummary summary, const ScanContext& context) {
    if (summary.wasCancelled) {
        finishCanceledScan();
        return;
    }

    KeySet scannedPaths;
    scannedPaths.reserve(summary.plugins.size());
    for (const Plugin& plugin : summary.plugins)
        plugin.forEachBundleRecord(
            [&](const PluginBundleRecord& record) { scannedPaths.insert(pathKey(record.path)); });

    // Bundles the user put back from the Trash by hand.
    std::vector<TrashedBundleRecord> restored;
    KeySet restoredPaths;
    for (const TrashedBundleRecord& record : m_trashedBundles) {
        const QString key = pathKey(record.originalPath);
        if (!record.reconciledDate && scannedPaths.contains(key)) {
            restored.push_back(record);
            restoredPaths.insert(key);
        }
    }

    ScanReconciliationSummary reconciliation;
    reconciliation.manuallyRestoredBundles = static_cast<qint64>(restored.size());
    reconciliation.missingCheckWasLimited = !summary.inaccessibleLocations.isEmpty();
    // A bundle a transaction moved during the scan neither appeared nor went missing by itself.
    const auto movedDuringScan = [&](const QString& path) { return context.transactionPaths.contains(path); };
    if (context.hadPreviousScan) {
        for (const QString& path : scannedPaths) {
            if (!context.previousActivePaths.contains(path) && !restoredPaths.contains(path) &&
                !movedDuringScan(path))
                ++reconciliation.addedBundles;
        }
        if (summary.inaccessibleLocations.isEmpty()) {
            for (const QString& path : context.previousActivePaths) {
                if (!scannedPaths.contains(path) && !movedDuringScan(path))
                    ++reconciliation.missingBundles;
            }
        }
    }

    std::vector<Plugin> merged = mergeScanResult(std::move(summary.plugins), context.transactionPaths);

    // Protection comes from the inventory as it stands now, not as it was when the scan started: a
    // format protected or unprotected while the scan ran keeps that state.
    const KeySet protectedRecords = protectedBundleKeys(plugins());
    for (Plugin& product : merged) {
        const bool mandatoryShell = product.isMandatoryShell();
        if (mandatoryShell)
            m_protectedKeys.insert(productProtectionKey(product));
        const bool countsAsProtected =
            mandatoryShell ||
            (!m_protectedKeys.empty() && m_protectedKeys.contains(productProtectionKey(product)));
        if (product.bundles && !product.bundles->empty()) {
            for (PluginBundleRecord& record : *product.bundles)
                record.isProtected = countsAsProtected ||
                                     (!protectedRecords.empty() && protectedRecords.contains(record.id()));
        }
        if (mandatoryShell)
            product.isProtected = true;
        else if (product.bundles)
            product.isProtected =
                std::any_of(product.bundles->begin(), product.bundles->end(),
                            [](const PluginBundleRecord& record) { return record.isProtected; });
        else
            product.isProtected = countsAsProtected;
        product.status = product.derivedStatus();
    }

    setPlugins(std::move(merged));
    setInaccessibleLocations(summary.inaccessibleLocations);
    setLastReconciliation(reconciliation);
    const Timestamp finished = now();
    setLastScanDate(finished);

    const qsizetype productCount = static_cast<qsizetype>(plugins().size());
    const qsizetype bundleCount = bundleRecordCount(plugins());
    const bool anythingChanged = reconciliation.addedBundles != 0 || reconciliation.missingBundles != 0 ||
                                 reconciliation.manuallyRestoredBundles != 0 ||
                                 !summary.inaccessibleLocations.isEmpty();

    // Newest first: the scan line, the reconciliation line, then the restored bundles, the last one
    // first.
    std::vector<HistoryItem> history;
    history.reserve(m_history.size() + restored.size() + 2);
    history.push_back(makeHistoryItem(StoreTexts::History::allPlugins, HistoryKind::scan,
                                      StoreTexts::History::scanned(productCount, bundleCount)));
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

    const std::vector<PermanentQuarantineMatch> matches =
        permanentQuarantineMatches(plugins(), m_permanentQuarantineRules);
    setLastScanNotice(anythingChanged ? reconciliation.summaryText() : StoreTexts::ScanNotice::noChanges);
    postNotice(StoreTexts::Notice::scanCompleteTitle,
               StoreTexts::Notice::scanCompleteMessage(productCount, bundleCount), NoticeStyle::success);
    saveStateReportingFailure();
    if (!matches.empty())
        applyPermanentQuarantineAfterScan(matches, context.liveService());
}

std::vector<Plugin> PluginInventoryStore::mergeScanResult(std::vector<Plugin> scanned,
                                                          const PathKeySet& transactionPaths) const {
    std::vector<Plugin> result = std::move(scanned);

    // A record is carried over when it is quarantined (no scan walks the quarantine) or when a
    // transaction moves its bundle (the walk may be older than the move, and the transaction's
    // record is the one its finaliser looks for).
    const auto carried = [&](const PluginBundleRecord& record) {
        return record.isQuarantined() ||
               (!transactionPaths.empty() &&
                transactionPaths.contains(pathKey(record.originalPath.value_or(record.path))));
    };

    // Only the stored products that hold a carried record take part, usually few or none, so the
    // key table holds their keys alone: product key → the first product of the result under it.
    // Keys never change during the merge.
    std::vector<std::pair<const Plugin*, QString>> carriers;
    std::unordered_map<QString, std::optional<std::size_t>, PlainHash, PlainEqualTo> firstByKey;
    for (const Plugin& product : plugins()) {
        bool hasCarried = false;
        product.forEachBundleRecord(
            [&](const PluginBundleRecord& record) { hasCarried = hasCarried || carried(record); });
        if (!hasCarried)
            continue;
        carriers.emplace_back(&product, productProtectionKey(product));
        firstByKey.try_emplace(carriers.back().second);
    }

    // The order keys are made on the pass that looks up the product keys, which reads the same
    // texts.
    ManufacturerOrderKeys order;
    order.reserve(result.size() + carriers.size());
    for (std::size_t index = 0; index < result.size(); ++index) {
        order.append(result[index]);
        if (firstByKey.empty())
            continue;
        const auto found = firstByKey.find(productProtectionKey(result[index]));
        if (found != firstByKey.end() && !found->second)
            found->second = index;
    }

    for (const auto& [product, key] : carriers) {
        std::optional<std::size_t>& first = firstByKey.find(key)->second;
        for (const PluginBundleRecord& record : product->bundleRecords()) {
            if (!carried(record))
                continue;
            if (first) {
                joinCarriedRecord(result[*first], record);
                continue;
            }
            Plugin copy = *product;
            copy.bundles = std::vector<PluginBundleRecord>{record};
            copy.status = copy.derivedStatus();
            order.append(copy);
            result.push_back(std::move(copy));
            first = result.size() - 1;
        }
    }

    order.sort(result);
    return result;
}

} // namespace quorvane
