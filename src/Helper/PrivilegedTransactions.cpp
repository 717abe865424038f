#include "Helper/PrivilegedTransactions.h"

#include "Platform/HomeTrash.h"
#include "Support/Paths.h"

#include <QHash>
#include <QSet>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

using Case = TransactionErrorCase;

struct Failure {
    Case errorCase = Case::noItems;
    QString name;
    QString reason;
};

struct PathPair {
    QString source;
    QString destination;
};

std::optional<struct stat> linkStatus(const QString& path, PathLookups* lookups = nullptr) {
    if (lookups)
        return lookups->linkStatus(path);
    struct stat status {};
    if (::lstat(path.toUtf8().constData(), &status) != 0)
        return std::nullopt;
    return status;
}

// Anything at all at the path, a dangling link included: RENAME_NOREPLACE would refuse it anyway.
bool isOccupied(const QString& path, PathLookups* lookups) {
    return linkStatus(path, lookups).has_value();
}

// Handles on the folders of a transaction, each opened once (or failed once) and held until the
// transaction ends. The folder tests of the preflight are these opens: a folder passes when it
// exists, is a directory and neither it nor anything on the way to it is a link.
class FolderHandles {
public:
    [[nodiscard]] std::expected<const DirectoryHandle*, SyscallError> open(const QString& path) {
        auto found = m_handles.find(path);
        if (found == m_handles.end())
            found = m_handles.emplace(path, DirectoryHandle::open(path)).first;
        if (!found->second)
            return std::unexpected(found->second.error());
        return &*found->second;
    }

    // Forgets a failed open, for a folder that has been created since; a held handle stays.
    void forgetFailure(const QString& path) {
        if (const auto found = m_handles.find(path); found != m_handles.end() && !found->second)
            m_handles.erase(found);
    }

private:
    std::map<QString, std::expected<DirectoryHandle, SyscallError>> m_handles;
};

// mkdir -p without following a link on the way.
[[nodiscard]] std::expected<void, Failure> makeDirectories(const QString& path) {
    const auto failure = [](const QString& component, const SyscallError& error) {
        return std::unexpected(Failure{Case::folderCreationFailed, component,
                                       QStringLiteral("The folder \u201C%1\u201D could not be created. %2")
                                           .arg(component, error.description())});
    };
    auto current = DirectoryHandle::open(QStringLiteral("/"));
    if (!current)
        return failure(QStringLiteral("/"), current.error());
    for (const QString& component : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        auto child = current->openChild(component);
        if (!child && child.error().code == ENOENT) {
            if (auto made = current->makeChildDirectory(component, 0755); !made)
                return failure(component, made.error());
            child = current->openChild(component);
        }
        if (!child)
            return failure(component, child.error());
        current = std::move(child);
    }
    return {};
}

bool entryGone(const DirectoryHandle& folder, const QString& name) {
    const auto status = folder.entryStatus(name);
    return !status && status.error().code == ENOENT;
}

// Whether the folder holds no entry at all, read once through its handle; false when it cannot be
// read. A folder found empty has every name free without a look-up for each.
bool holdsNothing(const DirectoryHandle& folder) {
    const int fd = ::openat(folder.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    DIR* const listing = ::fdopendir(fd);
    if (!listing) {
        ::close(fd);
        return false;
    }
    bool empty = true;
    errno = 0;
    while (const dirent* entry = ::readdir(listing)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            empty = false;
            break;
        }
    }
    if (errno != 0)
        empty = false;
    ::closedir(listing);
    return empty;
}

// The very folder expected (and, when given, still of the expected owner).
bool entryIs(const DirectoryHandle& folder, const QString& name, const FileIdentity& identity,
             std::optional<uid_t> owner = std::nullopt) {
    const auto status = folder.entryStatus(name);
    return status && S_ISDIR(status->st_mode) && identityOf(*status) == identity &&
           (!owner || status->st_uid == *owner);
}

// The very object, whatever its type.
bool entryHas(const DirectoryHandle& folder, const QString& name, const FileIdentity& identity) {
    const auto status = folder.entryStatus(name);
    return status && identityOf(*status) == identity;
}

struct AnchoredItem {
    const DirectoryHandle* sourceFolder = nullptr;
    QString sourceName;
    const DirectoryHandle* destinationFolder = nullptr;
    QString destinationName;
    FileIdentity identity;
    uid_t owner = 0;
};

// How many names beside its source an unverified entry may try before it is left where it is.
constexpr int asideNameAttempts = 100;

QString asideText(const QString& name, const QString& asideName) {
    return QStringLiteral("The unverified item found in place of %1 was put back beside it as %2.")
        .arg(name, asideName);
}

// What the preflight calls the failure of a folder test, and where it tests the destination, per kind.
struct KindRules {
    // The source's folder is not a real folder.
    Case sourceFolderFailure;
    // The destination's folder fails its test.
    Case destinationFolderFailure;
    // Whether the destination is tested before its folder.
    bool destinationFirst;
};

KindRules rulesOf(TransactionKind kind) {
    switch (kind) {
    case TransactionKind::quarantine:
        return {Case::sourceMissing, Case::invalidOperationDirectory, true};
    case TransactionKind::restore:
        return {Case::invalidOperationDirectory, Case::invalidDestinationDirectory, true};
    case TransactionKind::trash:
        return {Case::invalidOperationDirectory, Case::invalidTrashDirectory, false};
    case TransactionKind::trashRestore:
        return {Case::sourceMissing, Case::invalidDestinationDirectory, true};
    }
    return {Case::sourceMissing, Case::invalidOperationDirectory, true};
}

// The preflight of one item, in the order of its kind: the source itself (a real bundle folder),
// then its folder; then the destination and its folder, in the kind's order. Quarantine's operation
// folder may not exist yet; the other kinds' destination folders must. The paths are looked up
// through `lookups`, which the validation of the same request filled.
std::optional<Failure> preflight(TransactionKind kind, const PathPair& item, FolderHandles& folders,
                                 AnchoredItem& anchored, PathLookups* lookups) {
    const KindRules rules = rulesOf(kind);
    anchored.sourceName = lastPathComponent(item.source);
    anchored.destinationName = lastPathComponent(item.destination);

    const Failure sourceMissing{Case::sourceMissing, anchored.sourceName, {}};
    // A source that is not there is missing, whatever its folder. When the folder opens (no link on
    // the way), the entry looked at through it below is the one the path names.
    const auto sourceFolder = folders.open(deletingLastPathComponent(item.source));
    if (!sourceFolder) {
        const auto named = linkStatus(item.source, lookups);
        if (!named || !S_ISDIR(named->st_mode))
            return sourceMissing;
        return Failure{rules.sourceFolderFailure, anchored.sourceName, {}};
    }
    // What moves is what the folder's handle holds, looked at again through it.
    const auto source = (*sourceFolder)->entryStatus(anchored.sourceName);
    if (!source || !S_ISDIR(source->st_mode))
        return sourceMissing;
    anchored.sourceFolder = *sourceFolder;
    anchored.identity = identityOf(*source);
    anchored.owner = source->st_uid;

    const Failure destinationExists{Case::destinationExists, anchored.destinationName, {}};
    if (rules.destinationFirst && isOccupied(item.destination, lookups))
        return destinationExists;
    if (kind == TransactionKind::quarantine) {
        const auto operationFolder = linkStatus(deletingLastPathComponent(item.destination), lookups);
        if (operationFolder && !S_ISDIR(operationFolder->st_mode))
            return Failure{Case::invalidOperationDirectory, {}, {}};
        return std::nullopt;
    }
    const auto destinationFolder = folders.open(deletingLastPathComponent(item.destination));
    if (!destinationFolder)
        return Failure{rules.destinationFolderFailure, {}, {}};
    if (!entryGone(**destinationFolder, anchored.destinationName))
        return destinationExists;
    anchored.destinationFolder = *destinationFolder;
    return std::nullopt;
}

struct Outcome {
    bool succeeded = false;
    bool rollbackComplete = true;
    QStringList paths;
    QString message;
};

QString failureText(TransactionKind kind, const Failure& failure) {
    return transactionErrorText(kind, failure.errorCase, failure.name, failure.reason);
}

Outcome failed(TransactionKind kind, const Failure& failure, const QStringList& issues) {
    const TransactionTexts& texts = transactionTexts(kind);
    Outcome outcome;
    outcome.rollbackComplete = issues.isEmpty();
    if (issues.isEmpty())
        outcome.message = texts.cleanFailureOpening + failureText(kind, failure);
    else
        outcome.message = texts.attentionFailureOpening + failureText(kind, failure) +
                          QStringLiteral(" Rollback: ") + issues.join(QStringLiteral(" | "));
    return outcome;
}

void removeEmptyFolders(const QSet<QString>& folders) {
    for (const QString& folder : folders) {
        const auto parent = DirectoryHandle::open(deletingLastPathComponent(folder));
        if (parent)
            (void)parent->removeEmptyChildDirectory(lastPathComponent(folder));
    }
}

// After a failed Trash move, the records of bundles that are not in the Trash (back in the
// quarantine) go; those the rollback left there stay, so that they can still be recovered.
template <class Item>
void forgetWhatIsNotInTheTrash(const TrashLedger& ledger, const std::vector<Item>& items) {
    const auto records = ledger.records();
    if (!records)
        return;
    QStringList gone;
    for (const Item& item : items) {
        const TrashLedgerRecord* record = TrashLedger::find(*records, item.destination);
        const auto status = linkStatus(item.destination);
        if (record && (!status || identityOf(*status) != record->identity))
            gone.append(item.destination);
    }
    if (!gone.isEmpty())
        (void)ledger.remove(gone);
}

void removeEmptyStagingFolder(const TrashLedger& ledger) {
    if (const auto folder = DirectoryHandle::open(ledger.folder()))
        (void)folder->removeEmptyChildDirectory(lastPathComponent(ledger.stagingFolder()));
}

template <class Item>
QSet<QString> sourceFolders(const std::vector<Item>& items) {
    QSet<QString> folders;
    for (const Item& item : items)
        folders.insert(deletingLastPathComponent(item.source));
    return folders;
}

// Moves what stands at `name` in `folder`, an entry that failed verification after its move, back to
// `homeName` in `home`, or beside it under a name of its own when that is taken; never over anything.
// In a folder its user may change (the Trash), what stands there now need not be what was moved, so
// only `onlyIf` is taken: nothing of the user's is ever carried out of their Trash. Nothing is
// reported when the entry is back under its own name (or nothing is to be taken), else the issue.
std::optional<QString> moveBackOut(TransactionKind kind, MoveOperation& mover, int& step,
                                   const DirectoryHandle& folder, const QString& name,
                                   const DirectoryHandle& home, const QString& homeName,
                                   std::optional<FileIdentity> onlyIf = std::nullopt) {
    const auto status = folder.entryStatus(name);
    if (!status || (onlyIf && identityOf(*status) != *onlyIf))
        return std::nullopt;
    const FileIdentity identity = identityOf(*status);
    QString target;
    std::expected<void, SyscallError> moved = std::unexpected(SyscallError{EEXIST});
    for (int attempt = 0; attempt <= asideNameAttempts && target.isEmpty(); ++attempt) {
        // The suffix after the extension keeps anything set aside from passing for a bundle.
        const QString candidate =
            attempt == 0 ? homeName : QStringLiteral("%1.unverified-%2").arg(homeName).arg(attempt);
        if (!entryGone(home, candidate))
            continue;
        moved = mover.move(MoveStep{MoveStep::Direction::rollback, ++step, folder, name, home, candidate});
        if (moved || moved.error().code != EEXIST)
            target = candidate;
    }
    if (!target.isEmpty() && entryGone(folder, name) && entryHas(home, target, identity))
        return target == homeName ? std::nullopt : std::optional(asideText(homeName, target));
    return moved ? transactionErrorText(kind, Case::verificationFailed, homeName, {})
                 : transactionErrorText(kind, Case::moveFailed, homeName, moved.error().description());
}

// The transaction's record on disk: the whole intent, synced before the first move, and then the
// commit mark, set in place. A helper killed half way finds each bundle by its identity at its next start and
// undoes the moves; nothing is written between them. Without a record file (tests of the moves
// alone) it keeps nothing.
class Progress {
public:
    explicit Progress(const TransactionRecord* file) : m_file(file) {}

    // Before the first move. A record an interrupted transaction left is never written over: it is
    // all that tells the next start what to undo.
    std::optional<Failure> begin(TransactionKind kind, const QString& transactionID,
                                 std::vector<TransactionRecordEntry> entries) {
        if (!m_file)
            return std::nullopt;
        const auto existing = m_file->read();
        if (!existing)
            return unwritten(existing.error().description());
        if (*existing && !(*existing)->committed)
            return Failure{Case::folderCreationFailed,
                           {},
                           QStringLiteral("An interrupted transaction has not been undone yet.")};
        RecordedTransaction transaction{kind, transactionID, false, std::move(entries)};
        if (auto written = m_file->write(transaction); !written)
            return unwritten(written.error().description());
        m_transaction = std::move(transaction);
        return std::nullopt;
    }

    std::optional<Failure> commit() {
        if (!m_transaction)
            return std::nullopt;
        if (auto marked = m_file->markCommitted(); !marked)
            return unwritten(marked.error().description());
        m_transaction->committed = true;
        return std::nullopt;
    }

    // After a rollback, whatever it found: the disk is what the reply will say.
    void end() {
        if (m_transaction && !m_transaction->committed)
            (void)m_file->remove();
        m_transaction.reset();
    }

private:
    static Failure unwritten(const QString& reason) {
        return Failure{Case::folderCreationFailed,
                       {},
                       QStringLiteral("The record of this transaction could not be written. ") + reason};
    }

    const TransactionRecord* m_file = nullptr;
    std::optional<RecordedTransaction> m_transaction;
};

Outcome succeededOutcome(TransactionKind kind, const std::vector<PathPair>& items) {
    Outcome outcome;
    outcome.succeeded = true;
    outcome.message = transactionTexts(kind).success;
    for (const PathPair& item : items)
        outcome.paths.append(item.destination);
    return outcome;
}

// The frame all four kinds share. With a ledger (the two Trash kinds), each bundle is first renamed
// into its staging folder, which only root can enter, checked there, and only then moved on to its
// destination: what reaches a plug-in folder from the Trash cannot have been exchanged on the way,
// and what leaves for the Trash is known to be the bundle before it enters a folder its user owns.
//
// Each step either passes or gives the failure that ends the transaction. The items' entries point
// into the held folders, so a transaction stays where it was made.
class Transaction {
public:
    Transaction(TransactionKind kind, const std::vector<PathPair>& items, MoveOperation& mover,
                const TrashLedger* ledger)
        : m_kind(kind), m_items(items), m_mover(mover), m_ledger(ledger), m_anchored(items.size()) {}
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Every test that can be made before anything moves: each item anchored in its held folders, the
    // operation folders made (quarantine), the staging folder opened and the identities to expect
    // taken from the ledger (Trash recovery).
    [[nodiscard]] std::optional<Failure> prepare(PathLookups* lookups) {
        if (m_items.empty())
            return Failure{Case::noItems, {}, {}};
        // From here on the moves act on the held handles only: a link planted on the way after the
        // preflight cannot redirect them.
        for (std::size_t index = 0; index < m_items.size(); ++index) {
            if (auto failure = preflight(m_kind, m_items[index], m_folders, m_anchored[index], lookups))
                return failure;
        }
        if (m_kind == TransactionKind::quarantine) {
            if (auto failure = anchorOperationFolders())
                return failure;
        }
        if (auto failure = openStagingFolder())
            return failure;
        if (m_kind == TransactionKind::trashRestore)
            return expectWhatTheLedgerRecords();
        return std::nullopt;
    }

    // The record of what is about to move, and for the Trash move the ledger's records of what will
    // be there, both on disk before the first move.
    [[nodiscard]] std::optional<Failure> writeIntent(const QString& transactionID, Progress& progress) {
        // Each staged bundle's name in the staging folder is fixed now, so that the record names it
        // before the bundle is there.
        std::vector<TransactionRecordEntry> entries;
        for (std::size_t index = 0; index < m_items.size(); ++index) {
            m_arrivalNames.push_back(m_staging ? QUuid::createUuid().toString(QUuid::WithoutBraces)
                                               : m_anchored[index].destinationName);
            entries.push_back({m_items[index].source, m_items[index].destination,
                               m_staging ? m_arrivalNames.back() : QString(), m_anchored[index].identity,
                               m_anchored[index].owner});
        }
        if (auto failure = progress.begin(m_kind, transactionID, std::move(entries)))
            return failure;

        if (m_kind == TransactionKind::trash && m_ledger) {
            std::vector<TrashLedgerRecord> records;
            for (std::size_t index = 0; index < m_items.size(); ++index)
                records.push_back(
                    {m_items[index].destination, m_anchored[index].identity, m_anchored[index].owner});
            if (auto added = m_ledger->add(records); !added)
                return Failure{
                    Case::folderCreationFailed,
                    {},
                    QStringLiteral("The record of bundles moved to the Trash could not be written. ") +
                        added.error().description()};
        }
        return std::nullopt;
    }

    // The items in order, each verified where it arrived before the next moves; the first that
    // fails stops the others.
    [[nodiscard]] std::optional<Failure> moveEach() {
        for (std::size_t index = 0; index < m_anchored.size(); ++index) {
            if (auto failure = moveItem(index))
                return failure;
        }
        return std::nullopt;
    }

    // Every completed move undone, last first; what could not be undone, for the reply.
    [[nodiscard]] QStringList rollBack() {
        for (auto position = m_completed.rbegin(); position != m_completed.rend(); ++position)
            moveBack(m_anchored[*position]);
        return m_issues;
    }

private:
    // Each operation folder, made if need be, and whether it is empty: in an empty one (the usual new
    // folder) every destination name is free without looking each up.
    std::optional<Failure> anchorOperationFolders() {
        QHash<QString, bool> emptyFolders;
        for (std::size_t index = 0; index < m_items.size(); ++index) {
            const QString folder = deletingLastPathComponent(m_items[index].destination);
            auto known = emptyFolders.constFind(folder);
            if (known == emptyFolders.cend()) {
                if (auto made = makeDirectories(folder); !made)
                    return made.error();
                m_folders.forgetFailure(folder);
                const auto opened = m_folders.open(folder);
                known = emptyFolders.insert(folder, opened && holdsNothing(**opened));
            }
            const auto destinationFolder = m_folders.open(folder);
            if (!destinationFolder)
                return Failure{Case::invalidOperationDirectory, {}, {}};
            if (!*known && !entryGone(**destinationFolder, m_anchored[index].destinationName))
                return Failure{Case::destinationExists, m_anchored[index].destinationName, {}};
            m_anchored[index].destinationFolder = *destinationFolder;
        }
        return std::nullopt;
    }

    std::optional<Failure> openStagingFolder() {
        if (!m_ledger)
            return std::nullopt;
        auto opened = m_ledger->openStagingFolder();
        if (!opened)
            return Failure{Case::folderCreationFailed,
                           {},
                           QStringLiteral("The folder \u201C%1\u201D could not be created. %2")
                               .arg(m_ledger->stagingFolder(), opened.error().description())};
        m_staging = std::move(*opened);
        return std::nullopt;
    }

    // What may come back is what the ledger says went into the Trash, not what the preflight saw.
    std::optional<Failure> expectWhatTheLedgerRecords() {
        const auto records = m_ledger ? m_ledger->records() : std::vector<TrashLedgerRecord>{};
        for (std::size_t index = 0; index < m_items.size(); ++index) {
            const TrashLedgerRecord* record =
                records ? TrashLedger::find(*records, m_items[index].source) : nullptr;
            if (!record)
                return Failure{Case::sourceMissing, m_anchored[index].sourceName, {}};
            m_anchored[index].identity = record->identity;
            m_anchored[index].owner = record->owner;
        }
        return std::nullopt;
    }

    std::optional<Failure> moveItem(std::size_t index) {
        const AnchoredItem& entry = m_anchored[index];
        const DirectoryHandle& arrival = m_staging ? *m_staging : *entry.destinationFolder;
        const QString& arrivalName = m_arrivalNames[index];
        const auto moved =
            m_mover.move(MoveStep{MoveStep::Direction::forward, int(index) + 1, *entry.sourceFolder,
                                  entry.sourceName, arrival, arrivalName});
        if (!entryGone(*entry.sourceFolder, entry.sourceName) ||
            !entryIs(arrival, arrivalName, entry.identity,
                     m_staging ? std::optional(entry.owner) : std::nullopt)) {
            const Failure failure =
                moved ? Failure{Case::verificationFailed, entry.sourceName, {}}
                      : Failure{Case::moveFailed, entry.sourceName, moved.error().description()};
            // Whatever the move took from the source name instead of the bundle leaves at once. In
            // the staging folder, under a fresh name only root can reach, that is whatever stands
            // there, whatever the move reported.
            if (moved || m_staging) {
                if (auto issue = moveBackOut(m_kind, m_mover, m_step, arrival, arrivalName,
                                             *entry.sourceFolder, entry.sourceName))
                    m_issues.append(*issue);
            }
            return failure;
        }
        if (m_staging) {
            if (auto failure = moveOnFromStaging(index))
                return failure;
        }
        m_completed.push_back(index);
        if (m_kind == TransactionKind::trash) {
            const auto owner = entry.destinationFolder->status();
            if (owner)
                HomeTrash::writeTrashInfo(entry.destinationFolder->path(), entry.destinationName,
                                          m_items[index].source, owner->st_uid);
        }
        return std::nullopt;
    }

    // The second rename of a bundle checked in the staging folder, to its destination.
    std::optional<Failure> moveOnFromStaging(std::size_t index) {
        const AnchoredItem& entry = m_anchored[index];
        const QString& arrivalName = m_arrivalNames[index];
        m_mover.staged(int(index) + 1);
        const auto placed =
            renameNoReplace(*m_staging, arrivalName, *entry.destinationFolder, entry.destinationName);
        if (entryGone(*m_staging, arrivalName) &&
            entryIs(*entry.destinationFolder, entry.destinationName, entry.identity, entry.owner))
            return std::nullopt;
        const Failure failure =
            placed ? Failure{Case::verificationFailed, entry.sourceName, {}}
                   : Failure{Case::moveFailed, entry.sourceName, placed.error().description()};
        // From the staging folder the bundle goes back; from the Trash, only if it is ours.
        const bool staged = !entryGone(*m_staging, arrivalName);
        std::optional<FileIdentity> onlyIf;
        if (!staged && m_kind == TransactionKind::trash)
            onlyIf = entry.identity;
        if (auto issue = moveBackOut(m_kind, m_mover, m_step, staged ? *m_staging : *entry.destinationFolder,
                                     staged ? arrivalName : entry.destinationName, *entry.sourceFolder,
                                     entry.sourceName, onlyIf))
            m_issues.append(*issue);
        return failure;
    }

    void moveBack(const AnchoredItem& entry) {
        const auto movedBack =
            m_mover.move(MoveStep{MoveStep::Direction::rollback, ++m_step, *entry.destinationFolder,
                                  entry.destinationName, *entry.sourceFolder, entry.sourceName});
        if (entryGone(*entry.destinationFolder, entry.destinationName) &&
            entryIs(*entry.sourceFolder, entry.sourceName, entry.identity)) {
            if (m_kind == TransactionKind::trash)
                HomeTrash::removeTrashInfo(entry.destinationFolder->path(), entry.destinationName);
            return;
        }
        m_issues.append(
            movedBack ? transactionErrorText(m_kind, Case::verificationFailed, entry.destinationName, {})
                      : transactionErrorText(m_kind, Case::moveFailed, entry.destinationName,
                                             movedBack.error().description()));
        // What came back from the Trash instead of the bundle goes back there; nothing is ever taken
        // out of the Trash into a plug-in folder on the way back.
        if (movedBack && m_kind == TransactionKind::trash) {
            if (auto issue = moveBackOut(m_kind, m_mover, m_step, *entry.sourceFolder, entry.sourceName,
                                         *entry.destinationFolder, entry.destinationName))
                m_issues.append(*issue);
        }
    }

    const TransactionKind m_kind;
    const std::vector<PathPair>& m_items;
    MoveOperation& m_mover;
    const TrashLedger* const m_ledger;
    FolderHandles m_folders;
    std::vector<AnchoredItem> m_anchored;
    std::optional<DirectoryHandle> m_staging;
    // Where each item's first rename puts it: the staging folder's fresh name or its destination name.
    std::vector<QString> m_arrivalNames;
    std::vector<std::size_t> m_completed;
    // What a failed move or its rollback left for attention.
    QStringList m_issues;
    // The number of the last rollback move.
    int m_step = 0;
};

// Nothing moves before every test has passed and the intent is on disk; the commit mark is set only
// once every bundle is verified where it arrived, and any failure after the first move undoes the
// moves completed.
Outcome runTransaction(TransactionKind kind, const QString& transactionID, const std::vector<PathPair>& items,
                       MoveOperation* move, Progress& progress, PathLookups* lookups,
                       const TrashLedger* ledger = nullptr) {
    RenameMoveOperation realMove;
    MoveOperation& mover = move ? *move : realMove;
    Transaction transaction(kind, items, mover, ledger);

    if (auto failure = transaction.prepare(lookups))
        return failed(kind, *failure, {});
    if (auto failure = transaction.writeIntent(transactionID, progress))
        return failed(kind, *failure, {});
    std::optional<Failure> failure = transaction.moveEach();
    if (!failure) {
        mover.arrived();
        failure = progress.commit();
    }
    if (!failure)
        return succeededOutcome(kind, items);
    return failed(kind, *failure, transaction.rollBack());
}

template <class Item>
std::vector<PathPair> pathPairs(const std::vector<Item>& items) {
    std::vector<PathPair> pairs;
    pairs.reserve(items.size());
    for (const Item& item : items)
        pairs.push_back(PathPair{item.source, item.destination});
    return pairs;
}

template <class Result>
Result resultOf(const QString& transactionID, Outcome outcome) {
    Result result;
    result.transactionID = transactionID;
    result.succeeded = outcome.succeeded;
    result.rollbackComplete = outcome.rollbackComplete;
    result.destinationPaths = std::move(outcome.paths);
    result.message = std::move(outcome.message);
    return result;
}

// Restore and the Trash move take bundles out of their operation folders; only a success removes
// the folders it emptied, a failure leaves every one in place.
template <class Result, class Item>
Result performMoveOutOfQuarantine(TransactionKind kind, const QString& transactionID,
                                  const std::vector<Item>& items, MoveOperation* move,
                                  const TransactionRecord* record, PathLookups* lookups,
                                  const TrashLedger* ledger = nullptr) {
    Progress progress(record);
    Outcome outcome = runTransaction(kind, transactionID, pathPairs(items), move, progress, lookups, ledger);
    if (ledger) {
        removeEmptyStagingFolder(*ledger);
        if (!outcome.succeeded)
            forgetWhatIsNotInTheTrash(*ledger, items);
    }
    progress.end();
    if (outcome.succeeded)
        removeEmptiedSourceFolders(items);
    return resultOf<Result>(transactionID, std::move(outcome));
}

} // namespace

const TransactionTexts& transactionTexts(TransactionKind kind) {
    static const TransactionTexts quarantine{
        QStringLiteral(" is no longer present at its scanned location."),
        QStringLiteral("Quorvane will not overwrite the existing quarantine item "),
        QStringLiteral("macOS could not move "),
        QStringLiteral(". "),
        QStringLiteral("Quorvane could not verify the final disk state for "),
        QStringLiteral("No plugin bundles were supplied."),
        QStringLiteral("A quarantine operation folder is not a verified directory."),
        {},
        {},
        QStringLiteral("Every requested plugin bundle moved into verified quarantine."),
        QStringLiteral("The privileged quarantine failed and every completed move was rolled back. "),
        QStringLiteral("The privileged quarantine failed and rollback needs attention. "),
    };
    static const TransactionTexts restore{
        QStringLiteral(" is no longer present in its recorded quarantine location."),
        QStringLiteral("Quorvane will not overwrite the existing plugin bundle "),
        QStringLiteral("macOS could not restore "),
        QStringLiteral(". "),
        QStringLiteral("Quorvane could not verify the restored disk state for "),
        QStringLiteral("No quarantined plugin bundles were supplied."),
        QStringLiteral("The recorded quarantine operation folder is unavailable or unsafe."),
        QStringLiteral("The recorded original plugin folder is unavailable or unsafe."),
        {},
        QStringLiteral("Every requested plugin bundle returned to its verified original location."),
        QStringLiteral("The privileged restore failed and every completed move returned to quarantine. "),
        QStringLiteral("The privileged restore failed and rollback needs attention. "),
    };
    static const TransactionTexts trash{
        QStringLiteral(" is no longer present in its recorded quarantine location."),
        QStringLiteral("Quorvane will not overwrite the existing Finder Trash item "),
        QStringLiteral("macOS could not move "),
        QStringLiteral(" into Finder Trash. "),
        QStringLiteral("Quorvane could not verify the Finder Trash location for "),
        QStringLiteral("No quarantined plugin bundles were supplied."),
        QStringLiteral("The recorded quarantine operation folder is unavailable or unsafe."),
        {},
        QStringLiteral("The logged-in user\u2019s Finder Trash is unavailable or unsafe."),
        QStringLiteral("Every requested plugin bundle moved into the logged-in user\u2019s Finder Trash."),
        QStringLiteral("The privileged Trash move failed and every completed move returned to quarantine. "),
        QStringLiteral("The privileged Trash move failed and rollback needs attention. "),
    };
    static const TransactionTexts trashRestore{
        QStringLiteral(" is no longer present at its recorded Finder Trash path."),
        QStringLiteral("Quorvane will not overwrite the existing plugin bundle "),
        QStringLiteral("macOS could not restore "),
        QStringLiteral(" from Finder Trash. "),
        QStringLiteral("Quorvane could not verify the restored disk state for "),
        QStringLiteral("No Finder Trash recovery records were supplied."),
        {},
        QStringLiteral("The recorded original plugin folder is unavailable or unsafe."),
        {},
        QStringLiteral(
            "Every requested plugin bundle returned from Finder Trash to its verified original location."),
        QStringLiteral(
            "Trash recovery failed and every completed move returned to its exact Finder Trash path. "),
        QStringLiteral("Trash recovery failed and rollback needs attention. "),
    };
    switch (kind) {
    case TransactionKind::quarantine:
        return quarantine;
    case TransactionKind::restore:
        return restore;
    case TransactionKind::trash:
        return trash;
    case TransactionKind::trashRestore:
        return trashRestore;
    }
    return quarantine;
}

QString transactionErrorText(TransactionKind kind, TransactionErrorCase errorCase, const QString& name,
                             const QString& reason) {
    const TransactionTexts& texts = transactionTexts(kind);
    switch (errorCase) {
    case Case::sourceMissing:
        return name + texts.sourceMissingAfterName;
    case Case::destinationExists:
        return texts.destinationExistsBeforeName + name + QLatin1Char('.');
    case Case::moveFailed:
        return texts.moveFailedBeforeName + name + texts.moveFailedAfterName + reason;
    case Case::verificationFailed:
        return texts.verificationFailedBeforeName + name + QLatin1Char('.');
    case Case::noItems:
        return texts.noItems;
    case Case::invalidOperationDirectory:
        return texts.invalidOperationDirectory;
    case Case::invalidDestinationDirectory:
        return texts.invalidDestinationDirectory;
    case Case::invalidTrashDirectory:
        return texts.invalidTrashDirectory;
    case Case::folderCreationFailed:
        return reason;
    }
    return {};
}

PrivilegedQuarantineResult
performQuarantineTransaction(const QString& transactionID,
                             const std::vector<ValidatedPrivilegedQuarantineItem>& items, MoveOperation* move,
                             const TransactionRecord* record, PathLookups* lookups) {
    Progress progress(record);
    Outcome outcome =
        runTransaction(TransactionKind::quarantine, transactionID, pathPairs(items), move, progress, lookups);
    if (!outcome.succeeded)
        removeEmptyOperationFolders(items);
    progress.end();
    return resultOf<PrivilegedQuarantineResult>(transactionID, std::move(outcome));
}

PrivilegedRestoreResult performRestoreTransaction(const QString& transactionID,
                                                  const std::vector<ValidatedPrivilegedRestoreItem>& items,
                                                  MoveOperation* move, const TransactionRecord* record,
                                                  PathLookups* lookups) {
    return performMoveOutOfQuarantine<PrivilegedRestoreResult>(TransactionKind::restore, transactionID, items,
                                                               move, record, lookups);
}

PrivilegedTrashResult performTrashTransaction(const QString& transactionID,
                                              const std::vector<ValidatedPrivilegedTrashItem>& items,
                                              const TrashLedger& ledger, MoveOperation* move,
                                              const TransactionRecord* record, PathLookups* lookups) {
    return performMoveOutOfQuarantine<PrivilegedTrashResult>(TransactionKind::trash, transactionID, items,
                                                             move, record, lookups, &ledger);
}

PrivilegedTrashRestoreResult performTrashRestoreTransaction(
    const QString& transactionID, const std::vector<ValidatedPrivilegedTrashRestoreItem>& items,
    const TrashLedger& ledger, MoveOperation* move, const TransactionRecord* record, PathLookups* lookups) {
    Progress progress(record);
    Outcome outcome = runTransaction(TransactionKind::trashRestore, transactionID, pathPairs(items), move,
                                     progress, lookups, &ledger);
    removeEmptyStagingFolder(ledger);
    // Only a verified recovery ends a record; after a rollback every bundle is back under its record.
    if (outcome.succeeded) {
        QStringList recovered;
        for (const ValidatedPrivilegedTrashRestoreItem& item : items) {
            recovered.append(item.source);
            HomeTrash::removeTrashInfo(deletingLastPathComponent(item.source),
                                       lastPathComponent(item.source));
        }
        (void)ledger.remove(recovered);
    }
    progress.end();
    return resultOf<PrivilegedTrashRestoreResult>(transactionID, std::move(outcome));
}

void removeEmptyOperationFolders(const std::vector<ValidatedPrivilegedQuarantineItem>& items) {
    QSet<QString> folders;
    for (const ValidatedPrivilegedQuarantineItem& item : items)
        folders.insert(deletingLastPathComponent(item.destination));
    removeEmptyFolders(folders);
}

template <class Item>
void removeEmptiedSourceFolders(const std::vector<Item>& items) {
    removeEmptyFolders(sourceFolders(items));
}

template void removeEmptiedSourceFolders(const std::vector<ValidatedPrivilegedRestoreItem>&);
template void removeEmptiedSourceFolders(const std::vector<ValidatedPrivilegedTrashItem>&);

} // namespace quorvane
