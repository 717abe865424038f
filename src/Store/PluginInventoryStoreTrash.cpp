#include "Store/PluginInventoryStore.h"

#include "Model/Identity.h"
#include "Persistence/StateFileLocations.h"
#include "Shared/QuorvaneHelperProtocol.h"
#include "Store/BundleRecordIndex.h"
#include "Store/PrivilegedTransactionTexts.h"
#include "Store/StoreOrders.h"
#include "Support/LocaleText.h"
#include "Support/Paths.h"
#include "Support/StableSort.h"
#include "Support/Uuid.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

// The Finder Trash side of the privileged transactions: the Trash-move finaliser, the pruning of
// emptied quarantine folders, and everything about bringing trashed bundles back.

namespace quorvane {

namespace Texts = PrivilegedTransactionTexts;

namespace {

bool samePath(const QString& a, const QString& b) {
    return plainEqual(BundleRecordIndex::key(a), BundleRecordIndex::key(b));
}

bool isRealDirectory(const QString& path) {
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

} // namespace

// Trash move.

std::expected<void, PrivilegedInventoryCommitError>
PluginInventoryStore::finalisePrivilegedTrash(const QString& transactionID,
                                              const std::vector<PrivilegedTrashItem>& items) {
    struct Entry {
        std::size_t product = 0;
        std::size_t record = 0;
        QString destination;
    };
    if (items.empty())
        return {};
    if (m_plugins.empty())
        return std::unexpected(PrivilegedInventoryCommitError::missingInventoryRecord);
    std::vector<Plugin> plugins = m_plugins;
    materializeAllBundleRecords(plugins);
    const BundleRecordIndex index(
        plugins, [](const PluginBundleRecord& record) { return record.quarantinePath.value_or(QString()); });
    // Pass 1 matches every item to exactly one record and changes nothing but the storing of
    // synthesised records.
    std::vector<Entry> entries;
    for (const PrivilegedTrashItem& item : items) {
        auto match = index.matchOne(plugins, item.sourcePath, [&](const PluginBundleRecord& record) {
            return record.quarantineOperationID == item.operationID;
        });
        if (match) {
            const bool taken = std::ranges::any_of(entries, [&](const Entry& entry) {
                return entry.product == match->first && entry.record == match->second;
            });
            if (taken)
                match = std::unexpected(PrivilegedInventoryCommitError::duplicateInventoryRecord);
            else if (!(*plugins[match->first].bundles)[match->second].originalPath)
                match = std::unexpected(PrivilegedInventoryCommitError::missingInventoryRecord);
        }
        if (!match) {
            setPlugins(std::move(plugins));
            return std::unexpected(match.error());
        }
        entries.push_back(Entry{match->first, match->second, item.destinationPath});
    }

    // Pass 2: exactly the matched records leave their products, each leaving a history line and a
    // recovery record.
    const Timestamp operationDate = now();
    std::vector<TrashedBundleRecord> trashed = m_trashedBundles;
    std::vector<HistoryItem> lines;
    for (const Entry& entry : entries) {
        const Plugin& plugin = plugins[entry.product];
        const PluginBundleRecord& bundle = (*plugin.bundles)[entry.record];
        const QString original = bundle.originalPath.value_or(bundle.path);
        HistoryItem line =
            makeHistoryItem(plugin.name, HistoryKind::trash,
                            Texts::Trash::historyDetail(bundle.format, original), bundle.format);
        line.transactionID = transactionID;
        line.presetRunID = bundle.presetRunID;
        lines.push_back(std::move(line));

        TrashedBundleRecord record;
        record.id = makeUuid();
        record.pluginName = plugin.name;
        record.manufacturer = plugin.manufacturer;
        record.format = bundle.format;
        record.originalPath = original;
        record.trashPath = entry.destination;
        record.operationDate = operationDate;
        record.trashTransactionID = transactionID;
        record.presetRunID = bundle.presetRunID;
        trashed.push_back(std::move(record));
    }
    std::vector<Entry> removals = entries;
    std::ranges::sort(removals, [](const Entry& a, const Entry& b) {
        return a.product != b.product ? a.product > b.product : a.record > b.record;
    });
    for (const Entry& entry : removals)
        plugins[entry.product].bundles->erase(plugins[entry.product].bundles->begin() +
                                              qsizetype(entry.record));

    // Pass 3: a product without records leaves the inventory; the others get their formats and
    // status from what remains.
    std::vector<std::size_t> products;
    for (const Entry& entry : entries) {
        if (std::ranges::find(products, entry.product) == products.end())
            products.push_back(entry.product);
    }
    std::ranges::sort(products, std::greater<>());
    for (const std::size_t productIndex : products) {
        Plugin& plugin = plugins[productIndex];
        if (plugin.bundles->empty()) {
            plugins.erase(plugins.begin() + qsizetype(productIndex));
            continue;
        }
        QStringList formats;
        for (const PluginBundleRecord& bundle : *plugin.bundles) {
            if (!formats.contains(bundle.format))
                formats.append(bundle.format);
        }
        stableMergeSort(formats.begin(), formats.end(),
                        [](const QString& a, const QString& b) { return plainLess(a, b); });
        plugin.formats = formats;
        plugin.status = plugin.derivedStatus();
    }
    setPlugins(std::move(plugins));
    insertHistoryLinesFront(std::move(lines));
    setTrashedBundles(std::move(trashed));
    return {};
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
            if (!isRealDirectory(entry))
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

TrashRecoveryState PluginInventoryStore::trashRecoveryState(const TrashedBundleRecord& record) const {
    const bool inTrash = pathExists(record.trashPath);
    const bool atOriginal = pathExists(record.originalPath);
    if (!inTrash)
        return atOriginal ? TrashRecoveryState::alreadyRestored : TrashRecoveryState::missingFromTrash;
    if (atOriginal)
        return TrashRecoveryState::destinationOccupied;
    return record.hasSafeRecoveryPaths(m_pathPolicy) ? TrashRecoveryState::readyToRestore
                                                     : TrashRecoveryState::needsVerification;
}

std::vector<TrashRecoveryEntry> PluginInventoryStore::trashRecoveryEntries() const {
    std::vector<TrashRecoveryEntry> entries;
    entries.reserve(m_trashedBundles.size());
    for (const TrashedBundleRecord& record : m_trashedBundles)
        entries.push_back({record, trashRecoveryState(record)});
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
    std::vector<TrashedBundleRecord> records = m_trashedBundles;
    std::vector<HistoryItem> lines;
    bool changed = false;
    for (TrashedBundleRecord& record : records) {
        if (record.reconciledDate || pathExists(record.trashPath))
            continue;
        if (pathExists(record.originalPath)) {
            record.reconciledDate = date;
            lines.push_back(makeHistoryItem(record.pluginName, HistoryKind::externalRestore,
                                            Texts::TrashRecovery::externalRestoreDetail(record.format),
                                            record.format));
            changed = true;
        } else if (!record.missingDetectedDate) {
            record.missingDetectedDate = date;
            lines.push_back(makeHistoryItem(record.pluginName, HistoryKind::missingTrashItem,
                                            Texts::TrashRecovery::missingDetail(record.format),
                                            record.format));
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
        const TrashRecoveryState state = trashRecoveryState(*record);
        if (state != TrashRecoveryState::readyToRestore)
            return T::inState(record->pluginName, record->format, rawValue(state));
        if (!record->hasSafeRecoveryPaths(m_pathPolicy))
            return T::needsPathVerification(record->pluginName, record->format);
    }
    return std::nullopt;
}

std::optional<PrivilegedTrashRestoreRequest>
PluginInventoryStore::beginTrashRecovery(const std::vector<QUuid>& recordIDs) {
    namespace T = Texts::TrashRecovery;
    setLastOperationError(std::nullopt);
    if (const auto reason = trashRecoveryBlockingReason(recordIDs)) {
        reportOperationError(T::refusalTitle, *reason);
        return std::nullopt;
    }
    PrivilegedTrashRestoreRequest request;
    for (const QUuid& id : recordIDs) {
        const TrashedBundleRecord* record = trashedBundle(id);
        if (!record)
            continue;
        request.items.push_back({record->trashPath, record->originalPath, uuidText(record->id),
                                 lastPathComponent(record->originalPath), record->format});
    }
    if (request.items.size() < recordIDs.size()) {
        reportOperationError(T::refusalTitle, T::recordsChanged);
        return std::nullopt;
    }
    request.transactionID = uuidText(makeUuid());
    const auto previous = m_pendingPrivilegedTrashRestore;
    m_pendingPrivilegedTrashRestore = request;
    if (const auto saved = saveState(); !saved) {
        m_pendingPrivilegedTrashRestore = previous;
        setLastStorageError(saved.error().description());
        reportOperationError(T::refusalTitle, T::saveFailure);
        return std::nullopt;
    }
    setLastStorageError(std::nullopt);
    return request;
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
        HistoryItem line = makeHistoryItem(record.pluginName, HistoryKind::trashRestore,
                                           Texts::TrashRecovery::historyDetail(record.format), record.format);
        line.transactionID = transactionID;
        lines.push_back(std::move(line));
    }
    setTrashedBundles(std::move(records));
    insertHistoryLinesFront(std::move(lines));
    return {};
}

} // namespace quorvane
