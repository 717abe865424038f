#include "Store/ScanSession.h"

#include "Discovery/PluginOrders.h"
#include "Discovery/PluginScanner.h"
#include "Model/Identity.h"
#include "Planning/FileSystemProbe.h"
#include "Store/InventoryThreads.h"
#include "Store/StoreOrders.h"
#include "Support/FreedOffThread.h"
#include "Support/LocaleText.h"
#include "Support/ParallelFor.h"

#include <QCoreApplication>
#include <QDir>
#include <QMetaObject>

#include <algorithm>
#include <mutex>
#include <unordered_set>

namespace quorvane {

namespace {

using KeySet = ScanSession::KeySet;

// What the stored records say of the protection of a scanned bundle. The bundle key folds case and
// Unicode form; this disk does not, so the record at the bundle's own path speaks first, and a
// protected key speaks only for a bundle at whose path no record is (renamed in another case).
class StoredProtection {
public:
    explicit StoredProtection(const PluginList& plugins) : m_plugins(plugins) {
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
    const PluginList& m_plugins;
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

} // namespace

PrivilegedRequestReadiness* ScanSession::Context::liveService() const {
    if (serviceIsObject && serviceObject.isNull())
        return nullptr;
    return service;
}

ScanSession::ScanSession(const StoreEnvironment& environment, State state, Callbacks callbacks)
    : m_environment(environment), m_state(state), m_callbacks(std::move(callbacks)) {}

ScanSession::~ScanSession() {
    // The worker, destroyed first, waits for the task under way.
    if (m_control)
        m_control->requestCancellation();
}

void ScanSession::start(const QList<QUrl>& authorizedFolders, bool hadPreviousScan,
                        PrivilegedRequestReadiness* service) {
    Context context;
    context.authorizedFolders = authorizedFolders;
    context.hadPreviousScan = hadPreviousScan;
    context.previousPlugins = m_state.plugins;
    context.service = service;
    if (auto* object = dynamic_cast<QObject*>(service)) {
        context.serviceObject = object;
        context.serviceIsObject = true;
    }
    context.control = std::make_shared<ScanControl>();
    m_control = context.control;

    StoreEnvironment::ScanFunction scan = m_environment.scan;
    if (!scan) {
        scan = [scanner = m_environment.scanner](const QList<QUrl>& folders, ScanControl& control,
                                                 const PluginScanner::ProgressCallback& progress) {
            return PluginScanner::scan(folders, control, progress, scanner);
        };
    }
    const QList<QUrl> folders = context.authorizedFolders;
    const std::shared_ptr<ScanControl> control = context.control;
    const QPointer<ScanSession> session(this);
    m_context = std::move(context);

    // The worker touches no state of the session or the store: it only posts its progress and result
    // back to this thread, where the session is looked up through the guard.
    m_worker.post([scan = std::move(scan), folders, control, session] {
        const PluginScanner::ProgressCallback progress = [session, control](const ScanProgress& report) {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [report, session, control] {
                    ScanSession* target = session.data();
                    // A report of a finished or superseded scan is dropped.
                    if (target == nullptr || target->m_control != control)
                        return;
                    target->m_callbacks.progress(report);
                },
                Qt::QueuedConnection);
        };
        ScanSummary summary = scan(folders, *control, progress);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [session, control, summary = std::move(summary)]() mutable {
                if (ScanSession* target = session.data())
                    target->acceptResult(control, std::move(summary));
            },
            Qt::QueuedConnection);
    });
}

bool ScanSession::noteTransactionPath(QString key) {
    return m_context && m_context->transactionPaths.insert(std::move(key)).second;
}

void ScanSession::forgetTransactionPaths(const std::shared_ptr<ScanControl>& control, const KeySet& keys) {
    if (!m_context || m_context->control != control)
        return;
    for (const QString& key : keys)
        m_context->transactionPaths.erase(key);
}

void ScanSession::acceptResult(const std::shared_ptr<ScanControl>& control, ScanSummary summary) {
    if (!m_context || m_context->control != control)
        return;
    if (summary.wasCancelled) {
        m_context.reset();
        m_callbacks.canceled();
        return;
    }
    // The merge of 20,000 products takes a tenth of a second: it is worked out on the worker while
    // the scan still runs, and the result comes back to this thread.
    const bool large = summary.plugins.size() >= largeInventory;
    auto scanned = shareFreedOffThread(std::move(summary), large);
    MergeInputs inputs = mergeInputs(*m_context);
    const QPointer<ScanSession> session(this);
    m_worker.post([session, control, scanned, inputs = std::move(inputs),
                   hadPreviousScan = m_context->hadPreviousScan, previous = m_context->previousPlugins,
                   merged = m_environment.scanMerged]() mutable {
        const auto previousActivePaths =
            shareFreedOffThread(activeBundlePaths(previous), previous.size() >= largeInventory);
        Merge merge = computeMerge(*scanned, hadPreviousScan, *previousActivePaths, inputs);
        if (merged)
            merged();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [session, control, scanned, previousActivePaths, inputs = std::move(inputs),
             merge = std::move(merge)]() mutable {
                if (ScanSession* target = session.data())
                    target->acceptMerge(control, scanned, *previousActivePaths, inputs, std::move(merge));
            },
            Qt::QueuedConnection);
    });
}

ScanSession::MergeInputs ScanSession::mergeInputs(const Context& context) const {
    return {m_state.plugins,          m_state.protectedKeys,   m_state.trashedBundles,
            context.transactionPaths, m_state.inFlightPaths(), m_state.permanentQuarantineRules};
}

bool ScanSession::mergeInputsHold(const MergeInputs& inputs, const Context& context) const {
    // The products are never changed in place, so the same list means the same products.
    return inputs.plugins.isSameList(m_state.plugins) && inputs.protectedKeys == m_state.protectedKeys &&
           inputs.trashedBundles == m_state.trashedBundles &&
           inputs.transactionPaths == context.transactionPaths &&
           inputs.inFlightPaths == m_state.inFlightPaths();
}

void ScanSession::acceptMerge(const std::shared_ptr<ScanControl>& control,
                              const std::shared_ptr<const ScanSummary>& summary,
                              const PlainTextSet& previousActivePaths, const MergeInputs& inputs,
                              Merge merge) {
    if (!m_context || m_context->control != control)
        return;
    const Context context = std::move(*m_context);
    m_context.reset();
    // A transaction, a protection change or a Trash move landed while the merge was worked out: the
    // merge is done again here, against the store as it is now, so that none of them is lost.
    if (!mergeInputsHold(inputs, context))
        merge = computeMerge(*summary, context.hadPreviousScan, previousActivePaths, mergeInputs(context));
    m_callbacks.merged(std::move(merge), *summary, context);
}

ScanSession::Merge ScanSession::computeMerge(const ScanSummary& summary, bool hadPreviousScan,
                                             const PlainTextSet& previousActivePaths,
                                             const MergeInputs& inputs) {
    Merge result;
    // The passes over the products' texts share their work out over several threads: on the
    // window's thread, when the merge has to be done again there, each costs tens of milliseconds.
    const std::size_t productCount = summary.plugins.size();
    const std::size_t helperThreads = helperThreadsFor(productCount, productsPerThread);
    std::vector<QStringList> pathKeys(productCount);
    forEachIndexInParallel(productCount, helperThreads, [&](std::size_t index) {
        summary.plugins[index].forEachBundleRecord(
            [&](const PluginBundleRecord& record) { pathKeys[index].push_back(pathKey(record.path)); });
    });
    std::vector<QString> scannedKeys;
    scannedKeys.reserve(productCount);
    for (QStringList& keys : pathKeys) {
        for (QString& key : keys)
            scannedKeys.push_back(std::move(key));
    }
    const PlainTextSet scannedPaths(std::move(scannedKeys));

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
        scannedPaths.forEachMissingFrom(previousActivePaths, [&](const QString& path) {
            if (!restoredPaths.contains(path) && !movedDuringScan(path))
                ++reconciliation.addedBundles;
        });
        if (summary.inaccessibleLocations.isEmpty()) {
            previousActivePaths.forEachMissingFrom(scannedPaths, [&](const QString& path) {
                if (!movedDuringScan(path))
                    ++reconciliation.missingBundles;
            });
        }
    }

    std::vector<Plugin> merged =
        mergeScanned(inputs.plugins, summary.plugins, inputs.transactionPaths, inputs.inFlightPaths);

    // Protection comes from the inventory as it stands at completion, not as it was when the scan
    // started: a format protected or unprotected while the scan ran keeps that state.
    StoredProtection storedProtection(inputs.plugins);
    // Most products are looked up in the stored keys without making a key of their own; each key's
    // hash is kept for the shells' keys below.
    const KeySet& storedKeys = inputs.protectedKeys;
    std::vector<char> mandatoryShells(merged.size(), 0);
    std::vector<char> underStoredKey(merged.size(), 0);
    std::vector<std::size_t> keyHashes(merged.size(), 0);
    forEachIndexInParallel(merged.size(), helperThreads, [&](std::size_t index) {
        const Plugin& product = merged[index];
        mandatoryShells[index] = product.isMandatoryShell() ? 1 : 0;
        underStoredKey[index] =
            withProductProtectionKey(product.manufacturer, product.name, [&](const QString& key) {
                keyHashes[index] = storedKeys.hash_function()(key);
                return storedKeys.contains(key);
            });
    });
    // A shell's key counts for the products after it, as it would in one pass. Only a product whose
    // key hash is a new shell key's has its key made again.
    KeySet newShellKeys;
    std::unordered_set<std::size_t> newShellHashes;
    std::vector<char> countsAsProtected(merged.size(), 0);
    for (std::size_t index = 0; index < merged.size(); ++index) {
        const Plugin& product = merged[index];
        if (mandatoryShells[index] && !underStoredKey[index]) {
            QString key = productProtectionKey(product);
            newShellHashes.insert(keyHashes[index]);
            if (newShellKeys.insert(key).second)
                result.shellKeys.push_back(std::move(key));
        }
        countsAsProtected[index] =
            mandatoryShells[index] || underStoredKey[index] ||
            (newShellHashes.contains(keyHashes[index]) &&
             withProductProtectionKey(product.manufacturer, product.name,
                                      [&](const QString& key) { return newShellKeys.contains(key); }));
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
    // Made shared here, so that a merge worked out off the window's thread is handed over ready.
    result.merged = PluginList(std::move(merged));
    result.matchedRules = inputs.permanentQuarantineRules;
    result.permanentQuarantineMatches = permanentQuarantineMatches(result.merged, result.matchedRules);
    return result;
}

std::vector<Plugin> ScanSession::mergeScanned(const PluginList& stored, std::vector<Plugin> scanned,
                                              const KeySet& transactionPaths, const KeySet& inFlightPaths) {
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
    for (std::size_t index = 0; index < stored.size(); ++index) {
        // Without a transaction only quarantined records are carried, and the list knows who has one.
        if (transactionPaths.empty() && stored.quarantinedBundlesAt(index) == 0)
            continue;
        const Plugin& product = stored[index];
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
        withProductProtectionKey(result[index].manufacturer, result[index].name, [&](const QString& key) {
            const auto found = firstByKey.find(key);
            if (found != firstByKey.end() && !found->second)
                found->second = index;
        });
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
