#include "Store/PluginInventoryStore.h"

#include "Discovery/PluginOrders.h"
#include "Discovery/PluginScanner.h"
#include "Model/Identity.h"
#include "Planning/FileSystemProbe.h"
#include "Store/StoreOrders.h"
#include "Store/StoreTexts.h"
#include "Support/FreedOffThread.h"
#include "Support/LocaleText.h"
#include "Support/ParallelFor.h"

#include <QCoreApplication>
#include <QDir>
#include <QMetaObject>
#include <QSet>

#include <algorithm>
#include <mutex>

namespace quorvane {

namespace {

using KeySet = std::unordered_set<QString, PlainHash, PlainEqualTo>;
using PathKeySet = PluginInventoryStore::PathKeySet;

// What the stored records say of the protection of a scanned bundle. The bundle key folds case and
// Unicode form; this disk does not, so the record at the bundle's own path speaks first, and a
// protected key speaks only for a bundle at whose path no record is (renamed in another case).
class StoredProtection {
public:
    explicit StoredProtection(const std::vector<Plugin>& plugins) : m_plugins(plugins) {
        for (const Plugin& plugin : plugins) {
            plugin.forEachBundleRecord([&](const PluginBundleRecord& record) {
                if (record.isProtected)
                    m_protectedPaths[record.id()].push_back(QDir::cleanPath(record.path));
            });
        }
    }

    // Only the rare bundle whose key is protected under another spelling needs the paths of every
    // record; they are gathered once, the first time one does, whichever thread asks.
    bool protects(const PluginBundleRecord& record) {
        if (m_protectedPaths.empty())
            return false;
        const auto found = m_protectedPaths.find(record.id());
        if (found == m_protectedPaths.end())
            return false;
        const QString path = QDir::cleanPath(record.path);
        if (std::ranges::find(found->second, path) != found->second.end())
            return true;
        std::call_once(m_recordPathsGathered, [this] {
            for (const Plugin& plugin : m_plugins)
                plugin.forEachBundleRecord([&](const PluginBundleRecord& stored) {
                    m_recordPaths.insert(QDir::cleanPath(stored.path));
                });
        });
        return !m_recordPaths.contains(path);
    }

private:
    const std::vector<Plugin>& m_plugins;
    std::unordered_map<QString, std::vector<QString>, PlainHash, PlainEqualTo> m_protectedPaths;
    std::once_flag m_recordPathsGathered;
    KeySet m_recordPaths;
};

// Gives `target` the records `records`, with the formats and status they make.
void setBundleRecords(Plugin& target, std::vector<PluginBundleRecord> records) {
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

// Puts a stored record into a product of the merge, in place of any scanned record of the same
// bundle: at its original path as the disk compares it. A twin in another case or Unicode form is
// another bundle here, though the keys cannot tell them apart.
void joinCarriedRecord(Plugin& target, const PluginBundleRecord& carried) {
    std::vector<PluginBundleRecord> records = target.bundleRecords();
    const QString originalPath = QDir::cleanPath(carried.originalPath.value_or(carried.path));
    std::erase_if(records, [&](const PluginBundleRecord& record) {
        return QDir::cleanPath(record.path) == originalPath;
    });
    records.push_back(carried);
    setBundleRecords(target, std::move(records));
}

// Removes the scanned records of bundles at `paths` (as the disk compares them) from every product,
// and the products left without a record.
void dropScannedRecordsAt(std::vector<Plugin>& products, const KeySet& paths) {
    std::erase_if(products, [&](Plugin& product) {
        if (!product.bundles || product.bundles->empty())
            return false;
        std::vector<PluginBundleRecord> records = *product.bundles;
        const auto dropped = std::erase_if(records, [&](const PluginBundleRecord& record) {
            return paths.contains(QDir::cleanPath(record.path));
        });
        if (dropped == 0)
            return false;
        if (records.empty())
            return true;
        setBundleRecords(product, std::move(records));
        return false;
    });
}

qsizetype bundleRecordCount(const std::vector<Plugin>& plugins) {
    qsizetype count = 0;
    for (const Plugin& plugin : plugins)
        plugin.forEachBundleRecord([&](const PluginBundleRecord&) { ++count; });
    return count;
}

// The scanned products merged with the quarantined records of `stored`, in manufacturer order; the
// records of bundles at `transactionPaths` are carried over too, in place of what the scan found.
std::vector<Plugin> mergeScanned(const std::vector<Plugin>& stored, std::vector<Plugin> scanned,
                                 const PathKeySet& transactionPaths, const PathKeySet& inFlightPaths) {
    std::vector<Plugin> result = std::move(scanned);

    // A record is carried over when it is quarantined (no scan walks the quarantine) or when a
    // transaction moves its bundle (the walk may be older than the move, and the transaction's
    // record is the one its finaliser looks for). Once that transaction has ended, an active record
    // is carried only while its bundle is still there: one removed since is gone, walk or no walk.
    const auto carried = [&](const PluginBundleRecord& record) {
        if (record.isQuarantined())
            return true;
        if (transactionPaths.empty())
            return false;
        const QString key = pathKey(record.originalPath.value_or(record.path));
        return transactionPaths.contains(key) &&
               (inFlightPaths.contains(key) || SystemFileSystemProbe().fileExists(record.path));
    };

    // Only the stored products that hold a carried record take part, usually few or none, so the
    // key table holds their keys alone: product key → the first product of the result under it.
    // Keys never change during the merge.
    std::vector<std::pair<const Plugin*, QString>> carriers;
    std::unordered_map<QString, std::optional<std::size_t>, PlainHash, PlainEqualTo> firstByKey;
    // The bundles a transaction moves, whose carried record is their only one: the walk may have
    // found one under another product (an update in place renames it).
    KeySet movedPaths;
    for (const Plugin& product : stored) {
        bool hasCarried = false;
        product.forEachBundleRecord([&](const PluginBundleRecord& record) {
            if (!carried(record))
                return;
            hasCarried = true;
            if (!transactionPaths.empty()) {
                const QString path = record.originalPath.value_or(record.path);
                if (transactionPaths.contains(pathKey(path)))
                    movedPaths.insert(QDir::cleanPath(path));
            }
        });
        if (!hasCarried)
            continue;
        carriers.emplace_back(&product, productProtectionKey(product));
        firstByKey.try_emplace(carriers.back().second);
    }
    // A bundle a transaction moved and whose record has left the inventory since (a Trash move after
    // a quarantine) may still be in the walk: it is dropped unless a bundle is at its path again.
    if (!transactionPaths.empty()) {
        for (const Plugin& product : result) {
            product.forEachBundleRecord([&](const PluginBundleRecord& record) {
                QString path = QDir::cleanPath(record.path);
                if (transactionPaths.contains(pathKey(path)) && !movedPaths.contains(path) &&
                    !SystemFileSystemProbe().fileExists(path))
                    movedPaths.insert(std::move(path));
            });
        }
    }
    if (!movedPaths.empty())
        dropScannedRecordsAt(result, movedPaths);

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

    ScanContext context;
    context.authorizedFolders = authorizedFolders;
    context.hadPreviousScan = m_lastScanDate.has_value();
    context.previousPlugins = m_plugins;
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
    if (summary.wasCancelled) {
        m_scanContext.reset();
        finishCanceledScan();
        return;
    }
    // The merge of 20,000 products takes a tenth of a second: it is worked out on a thread of its
    // own while the scan still runs, and the result comes back to this thread. The scan's thread has
    // handed back its result; it only has to return.
    if (m_scanThread.joinable())
        m_scanThread.join();
    const bool large = summary.plugins.size() >= largeInventory;
    auto scanned = shareFreedOffThread(std::move(summary), large);
    ScanMergeInputs inputs = scanMergeInputs(*m_scanContext);
    const QPointer<PluginInventoryStore> store(this);
    m_scanThread = std::thread([store, control, scanned, inputs = std::move(inputs),
                                hadPreviousScan = m_scanContext->hadPreviousScan,
                                previous = m_scanContext->previousPlugins,
                                merged = m_environment.scanMerged]() mutable {
        const auto previousActivePaths =
            shareFreedOffThread(activeBundlePaths(*previous), previous->size() >= largeInventory);
        ScanMerge merge = computeScanMerge(*scanned, hadPreviousScan, *previousActivePaths, inputs);
        if (merged)
            merged();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [store, control, scanned, previousActivePaths, inputs = std::move(inputs),
             merge = std::move(merge)]() mutable {
                if (PluginInventoryStore* target = store.data())
                    target->acceptScanMerge(control, scanned, *previousActivePaths, inputs, std::move(merge));
            },
            Qt::QueuedConnection);
    });
}

PluginInventoryStore::ScanMergeInputs
PluginInventoryStore::scanMergeInputs(const ScanContext& context) const {
    return {m_plugins, m_protectedKeys, m_trashedBundles, context.transactionPaths, inFlightScannedPaths()};
}

PluginInventoryStore::PathKeySet PluginInventoryStore::inFlightScannedPaths() const {
    // A journal still being written has sent nothing: the helper cannot have moved its bundles.
    const auto sent = [&](const auto& journal) {
        return journal && !m_unwrittenJournals.contains(journal->transactionID);
    };
    PathKeySet paths;
    if (sent(m_pendingPrivilegedQuarantine))
        for (const auto& item : m_pendingPrivilegedQuarantine->items)
            paths.insert(pathKey(item.sourcePath));
    if (sent(m_pendingPrivilegedRestore))
        for (const auto& item : m_pendingPrivilegedRestore->items)
            paths.insert(pathKey(item.destinationPath));
    return paths;
}

bool PluginInventoryStore::scanMergeInputsHold(const ScanMergeInputs& inputs,
                                               const ScanContext& context) const {
    // The products are never changed in place, so the same list means the same products.
    return inputs.plugins == m_plugins && inputs.protectedKeys == m_protectedKeys &&
           inputs.trashedBundles == m_trashedBundles && inputs.transactionPaths == context.transactionPaths &&
           inputs.inFlightPaths == inFlightScannedPaths();
}

void PluginInventoryStore::acceptScanMerge(const std::shared_ptr<ScanControl>& control,
                                           const std::shared_ptr<const ScanSummary>& summary,
                                           const PathKeySet& previousActivePaths,
                                           const ScanMergeInputs& inputs, ScanMerge merge) {
    if (!m_scanContext || m_scanContext->control != control)
        return;
    const ScanContext context = std::move(*m_scanContext);
    m_scanContext.reset();
    // A transaction, a protection change or a Trash move landed while the merge was worked out: the
    // merge is done again here, against the store as it is now, so that none of them is lost.
    if (!scanMergeInputsHold(inputs, context))
        merge = computeScanMerge(*summary, context.hadPreviousScan, previousActivePaths,
                                 scanMergeInputs(context));
    applyScanMerge(std::move(merge), *summary, context);
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

PluginInventoryStore::ScanMerge PluginInventoryStore::computeScanMerge(const ScanSummary& summary,
                                                                       bool hadPreviousScan,
                                                                       const PathKeySet& previousActivePaths,
                                                                       const ScanMergeInputs& inputs) {
    ScanMerge result;
    // The passes over the products' texts share their work out over several threads: on the
    // window's thread, when the merge has to be done again there, each costs tens of milliseconds.
    const std::size_t productCount = summary.plugins.size();
    const std::size_t helperThreads = helperThreadsFor(productCount, productsPerThread);
    std::vector<QStringList> pathKeys(productCount);
    forEachIndexInParallel(productCount, helperThreads, [&](std::size_t index) {
        summary.plugins[index].forEachBundleRecord(
            [&](const PluginBundleRecord& record) { pathKeys[index].push_back(pathKey(record.path)); });
    });
    KeySet scannedPaths;
    scannedPaths.reserve(productCount);
    for (QStringList& keys : pathKeys) {
        for (QString& key : keys)
            scannedPaths.insert(std::move(key));
    }

    // Bundles the user put back from the Trash by hand; a recovery begun during the scan puts back
    // its own.
    KeySet restoredPaths;
    for (const TrashedBundleRecord& record : inputs.trashedBundles) {
        const QString key = pathKey(record.originalPath);
        if (!record.reconciledDate && scannedPaths.contains(key) && !inputs.transactionPaths.contains(key)) {
            result.restored.push_back(record);
            restoredPaths.insert(key);
        }
    }

    ScanReconciliationSummary& reconciliation = result.reconciliation;
    reconciliation.manuallyRestoredBundles = static_cast<qint64>(result.restored.size());
    reconciliation.missingCheckWasLimited = !summary.inaccessibleLocations.isEmpty();
    // A bundle a transaction moved during the scan neither appeared nor went missing by itself.
    const auto movedDuringScan = [&](const QString& path) { return inputs.transactionPaths.contains(path); };
    if (hadPreviousScan) {
        for (const QString& path : scannedPaths) {
            if (!previousActivePaths.contains(path) && !restoredPaths.contains(path) &&
                !movedDuringScan(path))
                ++reconciliation.addedBundles;
        }
        if (summary.inaccessibleLocations.isEmpty()) {
            for (const QString& path : previousActivePaths) {
                if (!scannedPaths.contains(path) && !movedDuringScan(path))
                    ++reconciliation.missingBundles;
            }
        }
    }

    std::vector<Plugin> merged =
        mergeScanned(*inputs.plugins, summary.plugins, inputs.transactionPaths, inputs.inFlightPaths);

    // Protection comes from the inventory as it stands at completion, not as it was when the scan
    // started: a format protected or unprotected while the scan ran keeps that state.
    StoredProtection storedProtection(*inputs.plugins);
    std::vector<QString> productKeys(merged.size());
    std::vector<char> mandatoryShells(merged.size(), 0);
    forEachIndexInParallel(merged.size(), helperThreads, [&](std::size_t index) {
        productKeys[index] = productProtectionKey(merged[index]);
        mandatoryShells[index] = merged[index].isMandatoryShell() ? 1 : 0;
    });
    // A shell's key counts for the products after it, as it would in one pass.
    ProtectedKeySet protectedKeys = inputs.protectedKeys;
    std::vector<char> countsAsProtected(merged.size(), 0);
    for (std::size_t index = 0; index < merged.size(); ++index) {
        if (mandatoryShells[index] && protectedKeys.insert(productKeys[index]).second)
            result.shellKeys.push_back(productKeys[index]);
        countsAsProtected[index] =
            mandatoryShells[index] || (!protectedKeys.empty() && protectedKeys.contains(productKeys[index]));
    }
    // Each product is changed by one thread; the key set is only read.
    forEachIndexInParallel(merged.size(), helperThreads, [&](std::size_t index) {
        Plugin& product = merged[index];
        const bool counts = countsAsProtected[index] != 0;
        if (product.bundles && !product.bundles->empty()) {
            for (PluginBundleRecord& record : *product.bundles)
                record.isProtected = counts || storedProtection.protects(record);
        }
        if (mandatoryShells[index])
            product.isProtected = true;
        else if (product.bundles)
            product.isProtected =
                std::any_of(product.bundles->begin(), product.bundles->end(),
                            [](const PluginBundleRecord& record) { return record.isProtected; });
        else
            product.isProtected = counts;
        product.status = product.derivedStatus();
    });
    result.merged = std::move(merged);
    return result;
}

void PluginInventoryStore::applyScanMerge(ScanMerge merge, const ScanSummary& summary,
                                          const ScanContext& context) {
    for (QString& key : merge.shellKeys)
        m_protectedKeys.insert(std::move(key));
    const ScanReconciliationSummary reconciliation = merge.reconciliation;
    const std::vector<TrashedBundleRecord>& restored = merge.restored;
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

    const std::vector<PermanentQuarantineMatch> matches =
        permanentQuarantineMatches(plugins(), m_permanentQuarantineRules);
    setLastScanNotice(anythingChanged ? reconciliation.summaryText() : StoreTexts::ScanNotice::noChanges);
    postNotice(StoreTexts::Notice::scanCompleteTitle,
               StoreTexts::Notice::scanCompleteMessage(mergedCount, bundleCount), NoticeStyle::success);
    saveStateReportingFailure();
    if (!matches.empty())
        applyPermanentQuarantineAfterScan(matches, context.liveService());
}

std::vector<Plugin> PluginInventoryStore::mergeScanResult(std::vector<Plugin> scanned,
                                                          const PathKeySet& transactionPaths) const {
    return mergeScanned(plugins(), std::move(scanned), transactionPaths, {});
}

} // namespace quorvane
