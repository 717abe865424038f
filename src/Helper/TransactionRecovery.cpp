#include "Helper/TransactionRecovery.h"

#include "Helper/PrivateFile.h"
#include "Helper/PrivilegedTransactions.h"
#include "Platform/HelperLog.h"
#include "Platform/HomeTrash.h"
#include "Support/Paths.h"

#include <QDir>

#include <cerrno>
#include <sys/stat.h>

namespace quorvane {

namespace {

using Entry = TransactionRecordEntry;

// The very folder the transaction moved: a directory with the recorded device and inode.
bool holds(const DirectoryHandle& folder, const QString& name, const FileIdentity& identity) {
    const auto status = folder.entryStatus(name);
    return status && S_ISDIR(status->st_mode) && identityOf(*status) == identity;
}

bool isFree(const DirectoryHandle& folder, const QString& name) {
    const auto status = folder.entryStatus(name);
    return !status && status.error().code == ENOENT;
}

// The folder an entry goes back into; an emptied operation folder removed meanwhile is made again.
[[nodiscard]] std::expected<DirectoryHandle, SyscallError> openHome(const QString& folder,
                                                                    const QString& quarantineRoot) {
    auto home = DirectoryHandle::open(folder);
    if (home || home.error().code != ENOENT || deletingLastPathComponent(folder) != quarantineRoot)
        return home;
    const auto root = DirectoryHandle::open(quarantineRoot);
    if (!root)
        return std::unexpected(root.error());
    if (auto made = root->makeChildDirectory(lastPathComponent(folder), 0755); !made)
        return std::unexpected(made.error());
    return root->openChild(lastPathComponent(folder));
}

// Puts one entry back under its source name; the reason when it cannot.
std::optional<QString> returnEntry(const Entry& entry, const QString& stagingFolder,
                                   const QString& quarantineRoot) {
    const QString homePath = deletingLastPathComponent(entry.source);
    const QString homeName = lastPathComponent(entry.source);
    auto home = DirectoryHandle::open(homePath);
    if (home && holds(*home, homeName, entry.identity))
        return std::nullopt;

    // Where the moves may have left it: the destination, or the staging name on the way there.
    std::vector<std::pair<QString, QString>> places{
        {deletingLastPathComponent(entry.destination), lastPathComponent(entry.destination)}};
    if (!entry.stagingName.isEmpty())
        places.emplace_back(stagingFolder, entry.stagingName);
    for (const auto& [folderPath, name] : places) {
        const auto folder = DirectoryHandle::open(folderPath);
        if (!folder || !holds(*folder, name, entry.identity))
            continue;
        const QString place = QStringLiteral("it is at ") + appendingPathComponent(folderPath, name);
        if (!home)
            home = openHome(homePath, quarantineRoot);
        if (!home)
            return place + QStringLiteral(", and its source folder is unavailable: ") +
                   home.error().description();
        if (!isFree(*home, homeName))
            return place + QStringLiteral(", and something else now stands at its source");
        const auto moved = renameNoReplace(*folder, name, *home, homeName);
        if (isFree(*folder, name) && holds(*home, homeName, entry.identity))
            return std::nullopt;
        return place +
               (moved ? QStringLiteral(", and the move back could not be verified")
                      : QStringLiteral(", and it could not be moved back: ") + moved.error().description());
    }
    return QStringLiteral("it is not where the transaction took it");
}

// Where an entry of a Trash kind stands for the ledger: its place in the Trash and its original one.
std::pair<QString, QString> trashAndOriginalPaths(TransactionKind kind, const Entry& entry) {
    return kind == TransactionKind::trash ? std::pair(entry.destination, entry.source)
                                          : std::pair(entry.source, entry.destination);
}

// The ledger and the `.trashinfo` files say what is in the Trash now: a bundle there keeps (or gets
// back) its record and description, one that is not there loses them.
void settleTrash(TransactionKind kind, const std::vector<Entry>& entries, const TrashLedger& ledger) {
    std::vector<TrashLedgerRecord> present;
    QStringList absent;
    for (const Entry& entry : entries) {
        const auto [trashPath, originalPath] = trashAndOriginalPaths(kind, entry);
        const QString filesFolder = deletingLastPathComponent(trashPath);
        const QString name = lastPathComponent(trashPath);
        const auto folder = DirectoryHandle::open(filesFolder);
        if (folder && holds(*folder, name, entry.identity)) {
            present.push_back({trashPath, entry.identity, entry.owner});
            if (const auto status = folder->status())
                HomeTrash::writeTrashInfo(filesFolder, name, originalPath, status->st_uid);
            continue;
        }
        absent.append(trashPath);
        // A description stays with whatever of the user's now has that name.
        if (!folder || isFree(*folder, name))
            HomeTrash::removeTrashInfo(filesFolder, name);
    }
    if (!present.empty())
        (void)ledger.add(present);
    if (!absent.isEmpty())
        (void)ledger.remove(absent);
}

// Every bundle is the very object the transaction moved, standing at its destination: only the
// commit mark is missing.
bool everyBundleArrived(const std::vector<Entry>& entries) {
    for (const Entry& entry : entries) {
        const auto folder = DirectoryHandle::open(deletingLastPathComponent(entry.destination));
        if (!folder || !holds(*folder, lastPathComponent(entry.destination), entry.identity))
            return false;
    }
    return !entries.empty();
}

// What follows the bundles once they stand where they will stay: the Trash ledger and descriptions,
// the staging folder, and the operation folders the transaction emptied (after a rollback, those of
// a quarantine; after finished moves, those a restore or a Trash move left).
void tidyAfter(const RecordedTransaction& transaction, const TrashLedger& ledger, bool finished) {
    const TransactionKind kind = transaction.kind;
    if (kind == TransactionKind::trash || kind == TransactionKind::trashRestore) {
        settleTrash(kind, transaction.entries, ledger);
        if (const auto folder = DirectoryHandle::open(deletingLastPathComponent(ledger.stagingFolder())))
            (void)folder->removeEmptyChildDirectory(lastPathComponent(ledger.stagingFolder()));
    }
    if (!finished && kind == TransactionKind::quarantine) {
        std::vector<ValidatedPrivilegedQuarantineItem> items;
        for (const Entry& entry : transaction.entries)
            items.push_back({entry.source, entry.destination});
        removeEmptyOperationFolders(items);
    }
    if (finished && (kind == TransactionKind::restore || kind == TransactionKind::trash)) {
        std::vector<ValidatedPrivilegedRestoreItem> items;
        for (const Entry& entry : transaction.entries)
            items.push_back({entry.source, entry.destination});
        removeEmptiedSourceFolders(items);
    }
}

// What a helper stopped at any point may leave that nothing else would remove: the temporary files
// of its two records, an empty staging folder and empty operation folders, which the application
// (not root) cannot remove.
void clearLeftovers(const TransactionRecord& record, const TrashLedger& ledger,
                    const QString& quarantineRoot) {
    removeUnfinishedPrivateFile(ledger.folder(), lastPathComponent(record.path()));
    removeUnfinishedPrivateFile(ledger.folder(), lastPathComponent(ledger.recordPath()));
    if (const auto folder = DirectoryHandle::open(ledger.folder()))
        (void)folder->removeEmptyChildDirectory(lastPathComponent(ledger.stagingFolder()));
    const auto root = DirectoryHandle::open(quarantineRoot);
    if (!root)
        return;
    const QStringList operationFolders =
        QDir(quarantineRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks);
    for (const QString& name : operationFolders)
        (void)root->removeEmptyChildDirectory(name);
}

TransactionRecoveryReport settleRecord(const TransactionRecord& record, const TrashLedger& ledger,
                                       const QString& quarantineRoot) {
    TransactionRecoveryReport report;
    const auto read = record.read();
    if (!read) {
        report.found = TransactionRecoveryReport::Found::unreadable;
        qCCritical(helperLifecycleLog,
                   "The transaction record %s cannot be read (%s); it is kept, and no transaction runs until "
                   "it is cleared",
                   qUtf8Printable(record.path()), qUtf8Printable(read.error().description()));
        return report;
    }
    if (!*read)
        return report;
    const RecordedTransaction& transaction = **read;
    const QByteArray kind = transactionKindText(transaction.kind).toUtf8();
    const QByteArray id = HelperLog::privateHash(transaction.transactionID).toUtf8();
    if (transaction.committed) {
        report.found = TransactionRecoveryReport::Found::committed;
        qCInfo(helperLifecycleLog,
               "The privileged %s %s had finished before the helper stopped; its record is removed",
               kind.constData(), id.constData());
        // The helper may have stopped before the tidying that follows the commit was over.
        tidyAfter(transaction, ledger, true);
        (void)record.remove();
        return report;
    }

    // Stopped after its last move but before its commit mark: the application settles a journal
    // whose every bundle moved as done, and may already have, so the moves stand.
    if (everyBundleArrived(transaction.entries)) {
        report.found = TransactionRecoveryReport::Found::finished;
        qCInfo(helperLifecycleLog,
               "The privileged %s %s had moved every bundle before the helper stopped; they stay where "
               "they are",
               kind.constData(), id.constData());
        tidyAfter(transaction, ledger, true);
        (void)record.remove();
        return report;
    }

    report.found = TransactionRecoveryReport::Found::interrupted;
    qCInfo(helperLifecycleLog, "Rolling back the interrupted privileged %s %s with %lld bundles",
           kind.constData(), id.constData(), static_cast<long long>(transaction.entries.size()));
    for (auto entry = transaction.entries.rbegin(); entry != transaction.entries.rend(); ++entry) {
        if (const auto reason = returnEntry(*entry, ledger.stagingFolder(), quarantineRoot)) {
            report.leftInPlace.append(entry->source);
            qCWarning(helperLifecycleLog, "%s could not be returned and was left where it is: %s",
                      qUtf8Printable(entry->source), qUtf8Printable(*reason));
        } else {
            ++report.returned;
        }
    }

    tidyAfter(transaction, ledger, false);
    (void)record.remove();
    qCInfo(helperLifecycleLog,
           "Rolled back the interrupted privileged %s %s: %d of %lld bundles are where they were",
           kind.constData(), id.constData(), report.returned,
           static_cast<long long>(transaction.entries.size()));
    return report;
}

} // namespace

TransactionRecoveryReport recoverInterruptedTransaction(const TransactionRecord& record,
                                                        const TrashLedger& ledger,
                                                        const QString& quarantineRoot) {
    const TransactionRecoveryReport report = settleRecord(record, ledger, quarantineRoot);
    if (report.found != TransactionRecoveryReport::Found::unreadable)
        clearLeftovers(record, ledger, quarantineRoot);
    return report;
}

} // namespace quorvane
