#include "Store/TransactionJournals.h"

#include "Store/PluginInventoryStore.h"

#include "Shared/PathPolicy.h"
#include "Store/PrivilegedJournalKinds.h"
#include "Store/PrivilegedTransactionTexts.h"
#include "Store/TransactionJournalSupport.h"
#include "Support/Paths.h"
#include "Support/Uuid.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QPointer>

// Settling a journal the launch could not resolve: some moves show on disk and others do not (a
// bundle removed while the helper moved it), or its moves cannot be written into the records. Left
// alone it would refuse scans and file actions at every launch; settled, each item is recorded where
// the disk shows it.

namespace quorvane {

namespace {

namespace text {
const QString title = QStringLiteral("Transaction Settled");
const QString refusalTitle = QStringLiteral("Transaction Not Settled");
const QString nothingToSettle = QStringLiteral("No interrupted transaction is waiting to be settled.");
const QString helperBusy = QStringLiteral(
    "The privileged helper is still working on this transaction. Wait until it has finished, then "
    "settle it.");
const QString notStarted = QStringLiteral(
    "None of the pending transaction’s moves shows on disk yet; the privileged helper may still "
    "carry it out. Quorvane drops such a transaction by itself at the next launch.");
const QString scanning = QStringLiteral("Wait for the scan to finish, then settle the transaction.");
const QString storageBlocked =
    QStringLiteral("Quorvane cannot save its inventory, so the transaction cannot be settled now.");
const QString notSaved = QStringLiteral(
    "The settled transaction could not be saved; it is still pending. Free space or check the data "
    "folder, then settle it again.");
QString recordsRefused(const QString& reason) {
    return QStringLiteral("The bundles that moved could not be recorded: ") + reason +
           QStringLiteral(" Nothing was changed; check the plugin folders and Quarantine.");
}
QString found(qsizetype moved, qsizetype inPlace, qsizetype gone) {
    return QStringLiteral("Quorvane recorded what the disk shows: %1 moved, %2 still where they were, "
                          "%3 found at neither place (noted in History). Scans and file actions "
                          "are available again.")
        .arg(moved)
        .arg(inPlace)
        .arg(gone);
}
// `format` is empty when no record named the bundle any longer.
QString goneDetail(const QString& format, const QString& from, const QString& to) {
    return QStringLiteral("%1 bundle was found neither at %2 nor at %3 when an interrupted transaction "
                          "was settled; its record was removed")
        .arg(format.isEmpty() ? QStringLiteral("A") : format, from, to);
}
} // namespace text

// Where the disk shows an item: moved, in place, or gone (neither place holds it). When both places
// hold a bundle, the place inside the quarantine decides: only the helper puts a bundle there (a
// quarantine's operation folder is its own, a restore's or Trash move's source is the record's), while
// an installer may fill a plug-in folder again meanwhile.
enum class ItemPlace { moved, inPlace, gone };

template <class Item>
ItemPlace placeOf(const Item& item, bool (*exists)(const QString&)) {
    if constexpr (std::is_same_v<Item, PrivilegedQuarantineItem>) {
        if (exists(item.destinationPath))
            return ItemPlace::moved;
        return exists(item.sourcePath) ? ItemPlace::inPlace : ItemPlace::gone;
    } else {
        if (exists(item.sourcePath))
            return ItemPlace::inPlace;
        return exists(item.destinationPath) ? ItemPlace::moved : ItemPlace::gone;
    }
}

} // namespace

std::optional<QString> TransactionJournals::settleRefusal(bool helperAnswered) const {
    if (!m_store.hasPendingPrivilegedTransaction())
        return text::nothingToSettle;
    if (m_store.m_fileActionsBlockedByStorage)
        return text::storageBlocked;
    if (m_store.m_isScanning)
        return text::scanning;
    // A journal none of whose moves shows may be one the helper has not started yet (the launch
    // drops such a journal by itself); one whose commit is being written is settled already. Once
    // the helper has answered, nothing moved means it undid the transaction.
    const auto settleable = [&](const auto& journal) {
        return journal && !m_closingJournals.contains(journal->transactionID) &&
               (helperAnswered || !noItemMoved(journal->items));
    };
    if (!settleable(m_pendingPrivilegedQuarantine) && !settleable(m_pendingPrivilegedRestore) &&
        !settleable(m_pendingPrivilegedTrash) && !settleable(m_pendingPrivilegedTrashRestore))
        return text::notStarted;
    // A request that left and has had no answer may still be carried out; one whose journal is
    // still being written leaves once it is on disk.
    const auto awaited = [&](const auto& journal) {
        return journal && (m_awaitingAnswer.contains(journal->transactionID) ||
                           m_unwrittenJournals.contains(journal->transactionID));
    };
    if (awaited(m_pendingPrivilegedQuarantine) || awaited(m_pendingPrivilegedRestore) ||
        awaited(m_pendingPrivilegedTrash) || awaited(m_pendingPrivilegedTrashRestore))
        return text::helperBusy;
    if ((m_settleAsked && !helperAnswered) || m_launchHandshake == LaunchHandshake::running ||
        helperTransactionRunning())
        return text::helperBusy;
    return std::nullopt;
}

bool TransactionJournals::canSettlePendingJournal() const {
    return !settleRefusal(false).has_value();
}

void TransactionJournals::settlePendingJournal() {
    const auto settle = [this](bool helperAnswered) {
        m_settleAsked = false;
        // The store may have changed while the helper was asked.
        if (const auto refusal = helperAnswered ? settleRefusal(true) : std::nullopt)
            return m_store.reportOperationError(text::refusalTitle, *refusal);
        (void)(settleJournal<Journal<PrivilegedKind::quarantine>>(helperAnswered) ||
               settleJournal<Journal<PrivilegedKind::restore>>(helperAnswered) ||
               settleJournal<Journal<PrivilegedKind::trash>>(helperAnswered) ||
               settleJournal<Journal<PrivilegedKind::trashRecovery>>(helperAnswered));
    };
    if (const auto refusal = settleRefusal(false))
        return m_store.reportOperationError(text::refusalTitle, *refusal);
    // A helper cut short in a transaction undoes it when it next starts: it is asked (and so
    // started) first, and the disk is read once it has answered.
    const QPointer<PluginInventoryStore> self(&m_store);
    m_settleAsked =
        m_store.m_environment.helperHandshake && m_store.m_environment.helperHandshake([self, settle] {
            if (self)
                QMetaObject::invokeMethod(
                    self.data(), [settle] { settle(true); }, Qt::QueuedConnection);
        });
    if (!m_settleAsked)
        settle(false);
}

template <class Kind>
bool TransactionJournals::settleJournal(bool helperAnswered) {
    auto& journal = journalOf<Kind>();
    if (!journal || m_closingJournals.contains(journal->transactionID) ||
        (!helperAnswered && noItemMoved(journal->items)))
        return false;
    const typename Kind::Request request = *journal;
    std::vector<typename Kind::Item> moved;
    std::vector<typename Kind::Item> gone;
    qsizetype inPlace = 0;
    for (const typename Kind::Item& item : request.items) {
        switch (placeOf(item, &pathExists)) {
        case ItemPlace::moved:
            moved.push_back(item);
            break;
        case ItemPlace::inPlace:
            ++inPlace;
            break;
        case ItemPlace::gone:
            gone.push_back(item);
            break;
        }
    }

    Snapshot snapshot = takeSnapshot({true, true, true});
    if (!moved.empty()) {
        if (const auto finalised = finaliseItems(request.transactionID, moved); !finalised) {
            putBack(std::move(snapshot));
            m_store.reportOperationError(text::refusalTitle,
                                         text::recordsRefused(description(finalised.error())));
            return true;
        }
    }
    recordGoneItems<Kind>(request.transactionID, gone);
    journal.reset();
    m_store.saveState([this, request, snapshot = std::move(snapshot), count = m_store.m_saveCount + 1,
                       message = text::found(qsizetype(moved.size()), inPlace, qsizetype(gone.size()))](
                          const SaveResult& saved) mutable {
        schedulePendingCheck();
        if (saved) {
            m_store.setLastStorageError(std::nullopt);
            m_store.setLastOperationError(std::nullopt);
            m_store.renewInventoryRevision();
            m_store.postNotice(text::title, message, NoticeStyle::success);
            return;
        }
        // A later write holds the settled records without the journal; only the last one puts back.
        if (count == m_store.m_saveCount && !journalOf<Kind>()) {
            putBack(std::move(snapshot));
            journalOf<Kind>() = request;
        }
        m_store.setLastStorageError(saved.error().description());
        m_store.reportOperationError(text::refusalTitle, text::notSaved);
    });
    return true;
}

template <class Kind>
void TransactionJournals::recordGoneItems(const QString& transactionID,
                                          const std::vector<typename Kind::Item>& gone) {
    if (gone.empty())
        return;
    const Timestamp date = m_store.now();
    std::vector<HistoryItem> lines;
    if constexpr (Kind::kind == PrivilegedKind::trashRecovery) {
        // The Trash record stays, missing from both places, as the Trash screen would find it.
        std::vector<TrashedBundleRecord> records = m_store.m_trashedBundles;
        for (const PrivilegedTrashRestoreItem& item : gone) {
            const auto id = parseUuid(item.recoveryRecordID);
            for (TrashedBundleRecord& record : records) {
                if (!id || record.id != *id || record.reconciledDate || record.missingDetectedDate)
                    continue;
                record.missingDetectedDate = date;
                lines.push_back(transactionHistoryLine(
                    record.pluginName, HistoryKind::missingTrashItem,
                    PrivilegedTransactionTexts::TrashRecovery::missingDetail(record.format), record.format,
                    transactionID, std::nullopt, date));
            }
        }
        m_store.setTrashedBundles(std::move(records));
    } else {
        // The record of a bundle at neither place names nothing: it leaves the inventory.
        PluginListEdit plugins = inventoryWithStoredRecords();
        std::vector<std::pair<std::size_t, std::size_t>> removals;
        for (const typename Kind::Item& item : gone) {
            const auto matches = matchJournalItems(
                plugins, std::vector<typename Kind::Item>{item},
                Kind::action == BundleActionKind::quarantine ? BundleRecordIndex::By::scannedPath
                                                             : BundleRecordIndex::By::quarantinePath,
                [](const PluginBundleRecord& record, const typename Kind::Item& candidate) {
                    // Removing a record is for the bundle at exactly the item's path: a twin whose
                    // name differs only in case or Unicode form is another bundle on this disk.
                    if constexpr (Kind::action == BundleActionKind::quarantine)
                        return record.isActive() &&
                               standardizedPath(record.path) == standardizedPath(candidate.sourcePath);
                    else
                        return record.quarantineOperationID == candidate.operationID &&
                               standardizedPath(record.quarantinePath.value_or(QString())) ==
                                   standardizedPath(candidate.sourcePath);
                },
                SharedRecordRule::allowed);
            QString plugin = lastPathComponent(item.sourcePath);
            // Without a record, the bundle's extension still tells its format.
            QString format =
                PathPolicy::pluginFormatExtensions().key(QFileInfo(item.sourcePath).suffix().toLower());
            if (!matches.locations.empty()) {
                const auto location = matches.locations.front();
                plugin = plugins[location.first].name;
                format = (*plugins[location.first].bundles)[location.second].format;
                if (std::ranges::find(removals, location) == removals.end())
                    removals.push_back(location);
            }
            HistoryItem line = m_store.makeHistoryItem(
                plugin, HistoryKind::reconciliation,
                text::goneDetail(format, item.sourcePath, item.destinationPath), format, date);
            line.transactionID = transactionID;
            lines.push_back(std::move(line));
        }
        removeBundleRecords(plugins, std::move(removals));
        m_store.setPlugins(plugins);
    }
    m_store.insertHistoryLinesFront(std::move(lines));
}

} // namespace quorvane
