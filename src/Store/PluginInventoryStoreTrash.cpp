#include "Store/PluginInventoryStore.h"

#include "Model/Identity.h"
#include "Persistence/StateFileLocations.h"
#include "Planning/FileSystemProbe.h"
#include "Shared/QuorvaneHelperProtocol.h"
#include "Store/PluginInventoryStoreJournalSupport.h"
#include "Store/PrivilegedJournalKinds.h"
#include "Store/PrivilegedTransactionTexts.h"
#include "Store/StoreOrders.h"
#include "Support/LocaleText.h"
#include "Support/Paths.h"
#include "Support/StableSort.h"
#include "Support/Uuid.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

// The Finder Trash side of the privileged transactions: the Trash-move finaliser, the pruning of
// emptied quarantine folders, and everything about bringing trashed bundles back.

namespace quorvane {

namespace Texts = PrivilegedTransactionTexts;

// Trash move.

std::expected<void, PrivilegedInventoryCommitError>
PluginInventoryStore::finalisePrivilegedTrash(const QString& transactionID,
                                              const std::vector<PrivilegedTrashItem>& items) {
    if (items.empty())
        return {};
    PluginListEdit plugins = inventoryWithStoredRecords();
    // Pass 1 matches every item to exactly one record and changes nothing but the storing of
    // synthesised records.
    JournalItemMatches matches = matchJournalItems(
        plugins, items, quarantinePathOf,
        [](const PluginBundleRecord& record, const PrivilegedTrashItem& item) {
            return record.quarantineOperationID == item.operationID;
        },
        SharedRecordRule::refused);
    // A record without its original location could never be put back from the Trash. Its item comes
    // before the one that stopped the matching, so its failure is the one reported.
    if (std::ranges::any_of(matches.locations, [&](const BundleRecordIndex::Location& location) {
            return !(*plugins[location.first].bundles)[location.second].originalPath;
        }))
        matches.error = PrivilegedInventoryCommitError::missingInventoryRecord;
    if (matches.error) {
        setPlugins(plugins);
        return std::unexpected(*matches.error);
    }
    const std::vector<BundleRecordIndex::Location>& entries = matches.locations;

    // Pass 2: exactly the matched records leave their products, each leaving a history line and a
    // recovery record.
    const Timestamp operationDate = now();
    std::vector<TrashedBundleRecord> trashed = m_trashedBundles;
    std::vector<HistoryItem> lines;
    for (std::size_t index = 0; index < entries.size(); ++index) {
        const Plugin& plugin = plugins[entries[index].first];
        const PluginBundleRecord& bundle = (*plugin.bundles)[entries[index].second];
        const QString original = bundle.originalPath.value_or(bundle.path);
        lines.push_back(transactionHistoryLine(plugin.name, HistoryKind::trash,
                                               Texts::Trash::historyDetail(bundle.format, original),
                                               bundle.format, transactionID, bundle.presetRunID));

        TrashedBundleRecord record;
        record.id = makeUuid();
        record.pluginName = plugin.name;
        record.manufacturer = plugin.manufacturer;
        record.format = bundle.format;
        record.originalPath = original;
        record.trashPath = items[index].destinationPath;
        record.operationDate = operationDate;
        record.trashTransactionID = transactionID;
        record.presetRunID = bundle.presetRunID;
        trashed.push_back(std::move(record));
    }
    removeBundleRecords(plugins, entries);
    setPlugins(plugins);
    insertHistoryLinesFront(std::move(lines));
    setTrashedBundles(std::move(trashed));
    return {};
}

void PluginInventoryStore::removeBundleRecords(PluginListEdit& plugins,
                                               std::vector<std::pair<std::size_t, std::size_t>> locations) {
    std::ranges::sort(locations, std::greater<>());
    std::vector<std::size_t> products;
    for (const auto& [product, record] : locations) {
        auto& records = *plugins.change(product).bundles;
        records.erase(records.begin() + qsizetype(record));
        if (products.empty() || products.back() != product)
            products.push_back(product);
    }
    // Products in descending order, so that erasing one leaves the indices of the rest.
    for (const std::size_t productIndex : products) {
        if (plugins[productIndex].bundles->empty()) {
            plugins.erase(productIndex);
            continue;
        }
        Plugin& plugin = plugins.change(productIndex);
        QStringList formats;
        for (const PluginBundleRecord& bundle : *plugin.bundles) {
            if (!formats.contains(bundle.format))
                formats.append(bundle.format);
        }
        sortStringsAscending(formats);
        plugin.formats = formats;
        plugin.status = plugin.derivedStatus();
    }
}

void PluginInventoryStore::pruneEmptyQuarantineFolders() {
    QStringList folders{m_pathPolicy.quarantineRoot()};
    const QString stateFile = stateFilePath();
    if (!stateFile.isEmpty())
        folders.append(deletingLastPathComponent(stateFile) + QStringLiteral("/Quarantine"));
    const QString legacy = legacyQuarantineFolderURL(m_environment.applicationSupport);
    if (!legacy.isEmpty())
        folders.append(legacy);
    for (const QString& folder : folders) {
        const QDir listing(folder);
        if (!listing.exists())
            continue;
        for (const QString& name :
             listing.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
            if (!parseUuid(name))
                continue;
            const QString entry = folder + u'/' + name;
            const auto flags = SystemFileSystemProbe().linkFlags(entry);
            if (!flags || !flags->isDirectory)
                continue;
            if (!QDir(entry)
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
                     .isEmpty())
                continue;
            // rmdir only: whatever arrived in the folder meanwhile stays, and so does the folder.
            (void)::rmdir(QFile::encodeName(entry).constData());
        }
    }
}

// Trash recovery.

QSet<QUuid> PluginInventoryStore::trashNamesTakenLater() const {
    // Records are kept in the order they were made.
    QSet<QUuid> taken;
    PathKeySet later;
    for (auto record = m_trashedBundles.rbegin(); record != m_trashedBundles.rend(); ++record) {
        if (!later.insert(pathKey(record->trashPath)).second)
            taken.insert(record->id);
    }
    return taken;
}

bool PluginInventoryStore::holdsItsTrashCopy(const TrashedBundleRecord& record,
                                             const QSet<QUuid>& takenLater) const {
    // A reconciled record's bundle has left the Trash, and a record whose Trash name a later move took
    // lost its copy before that move.
    return !record.reconciledDate && !takenLater.contains(record.id) && pathExists(record.trashPath);
}

TrashRecoveryState PluginInventoryStore::trashRecoveryState(const TrashedBundleRecord& record,
                                                            const QSet<QUuid>& takenLater) const {
    // A reconciled record's bundle went back; where that bundle went since is other records' business.
    if (record.reconciledDate)
        return TrashRecoveryState::alreadyRestored;
    const bool inTrash = holdsItsTrashCopy(record, takenLater);
    const bool atOriginal = pathExists(record.originalPath);
    if (!inTrash)
        return atOriginal ? TrashRecoveryState::alreadyRestored : TrashRecoveryState::missingFromTrash;
    if (atOriginal)
        return TrashRecoveryState::destinationOccupied;
    return record.hasSafeRecoveryPaths(m_pathPolicy) ? TrashRecoveryState::readyToRestore
                                                     : TrashRecoveryState::needsVerification;
}

std::vector<TrashRecoveryEntry> PluginInventoryStore::trashRecoveryEntries() const {
    const QSet<QUuid> takenLater = trashNamesTakenLater();
    std::vector<TrashRecoveryEntry> entries;
    entries.reserve(m_trashedBundles.size());
    for (const TrashedBundleRecord& record : m_trashedBundles)
        entries.push_back({record, trashRecoveryState(record, takenLater)});
    stableMergeSort(entries, trashRecoveryEntryOrder);
    return entries;
}

qsizetype PluginInventoryStore::restorableTrashRecordCount() const {
    return std::ranges::count_if(trashRecoveryEntries(), [](const TrashRecoveryEntry& entry) {
        return entry.state == TrashRecoveryState::readyToRestore;
    });
}

void PluginInventoryStore::verifyTrashRecords() {
    // While a journal is pending the disk may be half way through a transaction the journal
    // describes; judging the records by it now could mark a bundle as restored or missing wrongly.
    if (hasPendingPrivilegedTransaction())
        return;
    const Timestamp date = now();
    const QSet<QUuid> takenLater = trashNamesTakenLater();
    std::vector<TrashedBundleRecord> records = m_trashedBundles;
    std::vector<HistoryItem> lines;
    bool changed = false;
    for (TrashedBundleRecord& record : records) {
        if (record.reconciledDate || holdsItsTrashCopy(record, takenLater))
            continue;
        if (pathExists(record.originalPath)) {
            record.reconciledDate = date;
            lines.push_back(makeHistoryItem(record.pluginName, HistoryKind::externalRestore,
                                            Texts::TrashRecovery::externalRestoreDetail(record.format),
                                            record.format, date));
            changed = true;
        } else if (!record.missingDetectedDate) {
            record.missingDetectedDate = date;
            lines.push_back(makeHistoryItem(record.pluginName, HistoryKind::missingTrashItem,
                                            Texts::TrashRecovery::missingDetail(record.format), record.format,
                                            date));
            changed = true;
        }
    }
    if (!changed)
        return;
    setTrashedBundles(std::move(records));
    insertHistoryLinesFront(std::move(lines));
    saveStateReportingFailure();
}

const TrashedBundleRecord* PluginInventoryStore::trashedBundle(const QUuid& id) const {
    const auto found = std::ranges::find_if(
        m_trashedBundles, [&](const TrashedBundleRecord& record) { return record.id == id; });
    return found == m_trashedBundles.end() ? nullptr : &*found;
}

std::optional<QString>
PluginInventoryStore::trashRecoveryBlockingReason(const std::vector<QUuid>& recordIDs) const {
    const QSet<QUuid> takenLater = trashNamesTakenLater();
    return trashRecoveryBlockingReason(
        recordIDs, [&](const TrashedBundleRecord& record) { return trashRecoveryState(record, takenLater); });
}

std::optional<QString>
PluginInventoryStore::trashRecoveryBlockingReason(const std::vector<QUuid>& recordIDs,
                                                  const std::vector<TrashRecoveryEntry>& observed) const {
    const QSet<QUuid> takenLater = trashNamesTakenLater();
    return trashRecoveryBlockingReason(recordIDs, [&](const TrashedBundleRecord& record) {
        const auto entry = std::ranges::find_if(
            observed, [&](const TrashRecoveryEntry& candidate) { return candidate.record == record; });
        // A record the snapshot does not hold as it is now is judged on disk.
        return entry == observed.end() ? trashRecoveryState(record, takenLater) : entry->state;
    });
}

std::optional<QString> PluginInventoryStore::trashRecoveryBlockingReason(
    const std::vector<QUuid>& recordIDs,
    const std::function<TrashRecoveryState(const TrashedBundleRecord&)>& stateOf) const {
    namespace T = Texts::TrashRecovery;
    if (m_fileActionsBlockedByStorage)
        return T::storageUnavailable;
    if (hasPendingPrivilegedTransaction())
        return T::pendingTransaction;
    if (recordIDs.empty())
        return T::nothingSelected;
    if (recordIDs.size() > std::size_t(maximumTransactionItemCount))
        return T::tooMany(maximumTransactionItemCount);
    for (std::size_t index = 0; index < recordIDs.size(); ++index) {
        if (std::find(recordIDs.begin(), recordIDs.begin() + qsizetype(index), recordIDs[index]) !=
            recordIDs.begin() + qsizetype(index))
            return T::duplicate;
    }
    for (const QUuid& id : recordIDs) {
        const TrashedBundleRecord* record = trashedBundle(id);
        if (!record)
            return T::recordGone;
        if (record->reconciledDate)
            return T::alreadyReconciled(record->pluginName, record->format);
        const TrashRecoveryState state = stateOf(*record);
        if (state != TrashRecoveryState::readyToRestore)
            return T::inState(record->pluginName, record->format, rawValue(state));
        if (!record->hasSafeRecoveryPaths(m_pathPolicy))
            return T::needsPathVerification(record->pluginName, record->format);
    }
    return std::nullopt;
}

std::optional<PrivilegedTrashRestoreRequest>
PluginInventoryStore::beginTrashRecovery(const std::vector<QUuid>& recordIDs,
                                         Send<PrivilegedTrashRestoreRequest> send) {
    namespace T = Texts::TrashRecovery;
    const auto refuse = [&](const QString& message) {
        reportOperationError(T::refusalTitle, message);
        if (send)
            send(std::nullopt);
        return std::optional<PrivilegedTrashRestoreRequest>();
    };
    setLastOperationError(std::nullopt);
    if (const auto reason = trashRecoveryBlockingReason(recordIDs))
        return refuse(*reason);
    PrivilegedTrashRestoreRequest request;
    for (const QUuid& id : recordIDs) {
        const TrashedBundleRecord* record = trashedBundle(id);
        if (!record)
            continue;
        request.items.push_back({record->trashPath, record->originalPath, uuidText(record->id),
                                 lastPathComponent(record->originalPath), record->format});
    }
    if (request.items.size() < recordIDs.size())
        return refuse(T::recordsChanged);
    request.transactionID = uuidText(makeUuid());
    // The blocking reason refuses while any journal is pending, so this one is free.
    m_pendingPrivilegedTrashRestore = request;
    // A running scan may find the bundles back at their original paths before the recovery commits:
    // they are the recovery's, not put back by hand.
    PathKeySet addedScanPaths;
    for (const PrivilegedTrashRestoreItem& item : request.items) {
        QString key = pathKey(item.destinationPath);
        if (m_scan.noteTransactionPath(key))
            addedScanPaths.insert(std::move(key));
    }
    return writeJournal<TrashRecoveryJournal>(request, std::move(send), std::move(addedScanPaths));
}

std::expected<void, PrivilegedInventoryCommitError>
PluginInventoryStore::finaliseTrashRecovery(const QString& transactionID,
                                            const std::vector<PrivilegedTrashRestoreItem>& items) {
    // Every item is matched to exactly one record before anything changes.
    std::vector<std::size_t> matches;
    for (const PrivilegedTrashRestoreItem& item : items) {
        const auto id = parseUuid(item.recoveryRecordID);
        if (!id)
            return std::unexpected(PrivilegedInventoryCommitError::missingInventoryRecord);
        std::optional<std::size_t> match;
        for (std::size_t index = 0; index < m_trashedBundles.size(); ++index) {
            const TrashedBundleRecord& record = m_trashedBundles[index];
            if (record.id == *id && samePath(record.trashPath, item.sourcePath) &&
                samePath(record.originalPath, item.destinationPath) &&
                plainEqual(lowercasedLocaleIndependent(record.format),
                           lowercasedLocaleIndependent(item.format))) {
                match = index;
                break;
            }
        }
        if (!match || std::ranges::find(matches, *match) != matches.end())
            return std::unexpected(PrivilegedInventoryCommitError::missingInventoryRecord);
        matches.push_back(*match);
    }
    const Timestamp date = now();
    std::vector<TrashedBundleRecord> records = m_trashedBundles;
    std::vector<HistoryItem> lines;
    for (const std::size_t index : matches) {
        TrashedBundleRecord& record = records[index];
        if (record.reconciledDate)
            continue;
        record.reconciledDate = date;
        record.restoreTransactionID = transactionID;
        lines.push_back(transactionHistoryLine(record.pluginName, HistoryKind::trashRestore,
                                               Texts::TrashRecovery::historyDetail(record.format),
                                               record.format, transactionID, std::nullopt, date));
    }
    setTrashedBundles(std::move(records));
    insertHistoryLinesFront(std::move(lines));
    return {};
}

} // namespace quorvane
