#include "Store/TransactionJournals.h"

#include "Persistence/StateFileLocations.h"
#include "Planning/FileSystemProbe.h"
#include "Store/PluginInventoryStore.h"
#include "Store/PrivilegedJournalKinds.h"
#include "Store/PrivilegedTransactionTexts.h"
#include "Store/StoreOrders.h"
#include "Store/TransactionJournalSupport.h"
#include "Support/LocaleText.h"
#include "Support/Paths.h"
#include "Support/Uuid.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

// The Finder Trash side of the journals: the Trash-move finaliser, the pruning of emptied quarantine
// folders, and the begin step and finaliser of bringing trashed bundles back.

namespace quorvane {

namespace Texts = PrivilegedTransactionTexts;

// Trash move.

std::expected<void, PrivilegedInventoryCommitError>
TransactionJournals::finaliseItems(const QString& transactionID,
                                   const std::vector<PrivilegedTrashItem>& items) {
    if (items.empty())
        return {};
    PluginListEdit plugins = inventoryWithStoredRecords();
    // Pass 1 matches every item to exactly one record and changes nothing but the storing of
    // synthesised records.
    JournalItemMatches matches = matchJournalItems(
        plugins, items, BundleRecordIndex::By::quarantinePath,
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
        m_store.setPlugins(plugins);
        return std::unexpected(*matches.error);
    }
    const std::vector<BundleRecordIndex::Location>& entries = matches.locations;

    // Pass 2: exactly the matched records leave their products, each leaving a history line and a
    // recovery record.
    const Timestamp operationDate = m_store.now();
    std::vector<TrashedBundleRecord> trashed = m_store.m_trashedBundles;
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
    m_store.setPlugins(plugins);
    m_store.insertHistoryLinesFront(std::move(lines));
    m_store.setTrashedBundles(std::move(trashed));
    return {};
}

void TransactionJournals::removeBundleRecords(PluginListEdit& plugins,
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

void TransactionJournals::pruneEmptyQuarantineFolders() {
    QStringList folders{m_store.m_pathPolicy.quarantineRoot()};
    const QString stateFile = m_store.stateFilePath();
    if (!stateFile.isEmpty())
        folders.append(deletingLastPathComponent(stateFile) + QStringLiteral("/Quarantine"));
    const QString legacy = legacyQuarantineFolderURL(m_store.m_environment.applicationSupport);
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

std::optional<PrivilegedTrashRestoreRequest>
TransactionJournals::beginTrashRecovery(const std::vector<QUuid>& recordIDs,
                                        Send<PrivilegedTrashRestoreRequest> send) {
    namespace T = Texts::TrashRecovery;
    const auto refuse = [&](const QString& message) {
        m_store.reportOperationError(T::refusalTitle, message);
        if (send)
            send(std::nullopt);
        return std::optional<PrivilegedTrashRestoreRequest>();
    };
    m_store.setLastOperationError(std::nullopt);
    if (const auto reason = m_store.trashRecoveryBlockingReason(recordIDs))
        return refuse(*reason);
    PrivilegedTrashRestoreRequest request;
    for (const QUuid& id : recordIDs) {
        const TrashedBundleRecord* record = m_store.trashedBundle(id);
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
        if (m_store.m_scan.noteTransactionPath(key))
            addedScanPaths.insert(std::move(key));
    }
    return writeJournal<Journal<PrivilegedKind::trashRecovery>>(request, std::move(send),
                                                                std::move(addedScanPaths));
}

std::expected<void, PrivilegedInventoryCommitError>
TransactionJournals::finaliseItems(const QString& transactionID,
                                   const std::vector<PrivilegedTrashRestoreItem>& items) {
    // Every item is matched to exactly one record before anything changes.
    std::vector<std::size_t> matches;
    for (const PrivilegedTrashRestoreItem& item : items) {
        const auto id = parseUuid(item.recoveryRecordID);
        if (!id)
            return std::unexpected(PrivilegedInventoryCommitError::missingInventoryRecord);
        std::optional<std::size_t> match;
        for (std::size_t index = 0; index < m_store.m_trashedBundles.size(); ++index) {
            const TrashedBundleRecord& record = m_store.m_trashedBundles[index];
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
    const Timestamp date = m_store.now();
    std::vector<TrashedBundleRecord> records = m_store.m_trashedBundles;
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
    m_store.setTrashedBundles(std::move(records));
    m_store.insertHistoryLinesFront(std::move(lines));
    return {};
}

} // namespace quorvane
