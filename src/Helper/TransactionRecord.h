#pragma once

#include "Platform/DirectoryHandle.h"

#include <QString>

#include <expected>
#include <optional>
#include <vector>

namespace quorvane {

enum class TransactionKind { quarantine, restore, trash, trashRestore };

// One bundle of a recorded transaction: where it comes from and goes to, the name it passes under
// in the staging folder (the two Trash kinds) and which object it is. How far it has come is not
// recorded: the object is looked for by its identity in those places.
struct TransactionRecordEntry {
    QString source;
    QString destination;
    // Empty for the kinds that move straight to the destination.
    QString stagingName;
    FileIdentity identity;
    uid_t owner = 0;

    bool operator==(const TransactionRecordEntry&) const = default;
};

struct RecordedTransaction {
    TransactionKind kind = TransactionKind::quarantine;
    QString transactionID;
    // Every move done and verified; the reply may have reached the application.
    bool committed = false;
    std::vector<TransactionRecordEntry> entries;

    bool operator==(const RecordedTransaction&) const = default;
};

// The helper's record of the transaction it runs, kept beside the Trash ledger, root's alone, so
// that a helper killed in the middle of one can undo it at its next start. Per transaction it is
// written whole and synced once, the intent, before the first move, and synced once more with its
// commit mark set in place.
class TransactionRecord {
public:
    // `folder` is the helper's own folder beside the quarantine root (the Trash ledger's).
    explicit TransactionRecord(const QString& folder);

    QString path() const;

    // None when no transaction is recorded. A record that is not ours or does not parse fails.
    [[nodiscard]] std::expected<std::optional<RecordedTransaction>, SyscallError> read() const;
    [[nodiscard]] std::expected<void, SyscallError> write(const RecordedTransaction& transaction) const;
    // Sets the commit mark of the record on disk in place and syncs it.
    [[nodiscard]] std::expected<void, SyscallError> markCommitted() const;
    // Unsynced: a record that comes back after a power loss is one of a transaction that had ended,
    // and the next start finds its bundles where the disk has them again. Its file is reused by the
    // next write.
    [[nodiscard]] std::expected<void, SyscallError> remove() const;

private:
    QString m_folder;
};

QString transactionKindText(TransactionKind kind);

} // namespace quorvane
