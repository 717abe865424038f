#include "Store/PluginInventoryStore.h"

#include "Model/Identity.h"
#include "Shared/QuorvaneHelperProtocol.h"
#include "Store/PrivilegedTransactionTexts.h"
#include "Store/StoreOrders.h"
#include "Store/TransactionJournalSupport.h"
#include "Support/Paths.h"
#include "Support/StableSort.h"
#include "Support/Uuid.h"

// The Finder Trash records: each one's state on disk, the check of records changed outside the
// application, and why a recovery may not be offered.

namespace quorvane {

namespace Texts = PrivilegedTransactionTexts;

namespace {

// The records whose Trash name a later record took: what lies under that name is the later one's.
QSet<QUuid> trashNamesTakenLater(const std::vector<TrashedBundleRecord>& records) {
    // Records are kept in the order they were made.
    QSet<QUuid> taken;
    PluginInventoryStore::PathKeySet later;
    for (auto record = records.rbegin(); record != records.rend(); ++record) {
        if (!later.insert(pathKey(record->trashPath)).second)
            taken.insert(record->id);
    }
    return taken;
}

bool holdsItsTrashCopy(const TrashedBundleRecord& record, const QSet<QUuid>& takenLater) {
    // A reconciled record's bundle has left the Trash, and a record whose Trash name a later move took
    // lost its copy before that move.
    return !record.reconciledDate && !takenLater.contains(record.id) && pathExists(record.trashPath);
}

TrashRecoveryState trashRecoveryState(const TrashedBundleRecord& record, const QSet<QUuid>& takenLater,
                                      const PathPolicy& pathPolicy) {
    // A reconciled record's bundle went back; where that bundle went since is other records' business.
    if (record.reconciledDate)
        return TrashRecoveryState::alreadyRestored;
    const bool inTrash = holdsItsTrashCopy(record, takenLater);
    const bool atOriginal = pathExists(record.originalPath);
    if (!inTrash)
        return atOriginal ? TrashRecoveryState::alreadyRestored : TrashRecoveryState::missingFromTrash;
    if (atOriginal)
        return TrashRecoveryState::destinationOccupied;
    return record.hasSafeRecoveryPaths(pathPolicy) ? TrashRecoveryState::readyToRestore
                                                   : TrashRecoveryState::needsVerification;
}

const TrashedBundleRecord* findRecord(const std::vector<TrashedBundleRecord>& records, const QUuid& id) {
    const auto found =
        std::ranges::find_if(records, [&](const TrashedBundleRecord& record) { return record.id == id; });
    return found == records.end() ? nullptr : &*found;
}

// Why the records may not be recovered now, each record's state on disk given by `stateOf`.
template <class StateOf>
std::optional<QString> blockingReason(const PluginInventoryStore& store, const PathPolicy& pathPolicy,
                                      const std::vector<QUuid>& recordIDs, StateOf stateOf) {
    namespace T = Texts::TrashRecovery;
    if (store.fileActionsBlockedByStorage())
        return T::storageUnavailable;
    if (store.hasPendingPrivilegedTransaction())
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
        const TrashedBundleRecord* record = findRecord(store.trashedBundles(), id);
        if (!record)
            return T::recordGone;
        if (record->reconciledDate)
            return T::alreadyReconciled(record->pluginName, record->format);
        const TrashRecoveryState state = stateOf(*record);
        if (state != TrashRecoveryState::readyToRestore)
            return T::inState(record->pluginName, record->format, rawValue(state));
        if (!record->hasSafeRecoveryPaths(pathPolicy))
            return T::needsPathVerification(record->pluginName, record->format);
    }
    return std::nullopt;
}

} // namespace

std::vector<TrashRecoveryEntry> PluginInventoryStore::trashRecoveryEntries() const {
    const QSet<QUuid> takenLater = trashNamesTakenLater(m_trashedBundles);
    std::vector<TrashRecoveryEntry> entries;
    entries.reserve(m_trashedBundles.size());
    for (const TrashedBundleRecord& record : m_trashedBundles)
        entries.push_back({record, trashRecoveryState(record, takenLater, m_pathPolicy)});
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
    const QSet<QUuid> takenLater = trashNamesTakenLater(m_trashedBundles);
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
    return findRecord(m_trashedBundles, id);
}

std::optional<QString>
PluginInventoryStore::trashRecoveryBlockingReason(const std::vector<QUuid>& recordIDs) const {
    const QSet<QUuid> takenLater = trashNamesTakenLater(m_trashedBundles);
    return blockingReason(*this, m_pathPolicy, recordIDs, [&](const TrashedBundleRecord& record) {
        return trashRecoveryState(record, takenLater, m_pathPolicy);
    });
}

std::optional<QString>
PluginInventoryStore::trashRecoveryBlockingReason(const std::vector<QUuid>& recordIDs,
                                                  const std::vector<TrashRecoveryEntry>& observed) const {
    const QSet<QUuid> takenLater = trashNamesTakenLater(m_trashedBundles);
    return blockingReason(*this, m_pathPolicy, recordIDs, [&](const TrashedBundleRecord& record) {
        const auto entry = std::ranges::find_if(
            observed, [&](const TrashRecoveryEntry& candidate) { return candidate.record == record; });
        // A record the snapshot does not hold as it is now is judged on disk.
        return entry == observed.end() ? trashRecoveryState(record, takenLater, m_pathPolicy) : entry->state;
    });
}

} // namespace quorvane
