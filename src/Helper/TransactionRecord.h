#pragma once

#include "Platform/DirectoryHandle.h"

#include <QString>

#include <expected>
#include <optional>
#include <vector>

namespace quorvane {

enum class TransactionKind { quarantine, restore, trash, trashRestore };

// One bundle of a recorded transaction: where it comes from and goes to, the name it passes under
// in the staging folder (the two Trash kinds), which object it is and how far it has come.
struct TransactionRecordEntry {
    enum class Step { atSource, staged, atDestination };

    QString source;
    QString destination;
    // Empty for the kinds that move straight to the destination.
    QString stagingName;
    FileIdentity identity;
    uid_t owner = 0;
    Step step = Step::atSource;

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
// that a helper killed in the middle of one can undo it at its next start. Every change is written
// whole and synced before the call returns.
class TransactionRecord {
public:
    // `folder` is the helper's own folder beside the quarantine root (the Trash ledger's).
    explicit TransactionRecord(const QString& folder);

    QString path() const;

    // None when no transaction is recorded. A record that is not ours or does not parse fails.
    std::expected<std::optional<RecordedTransaction>, SyscallError> read() const;
    std::expected<void, SyscallError> write(const RecordedTransaction& transaction) const;
    std::expected<void, SyscallError> remove() const;

private:
    QString m_folder;
};

QString transactionKindText(TransactionKind kind);

} // namespace quorvane
