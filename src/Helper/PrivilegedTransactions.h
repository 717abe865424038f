#pragma once

#include "Helper/MoveOperation.h"
#include "Helper/TransactionRecord.h"
#include "Helper/TrashLedger.h"
#include "Shared/PathPolicy.h"
#include "Shared/PrivilegedResults.h"
#include "Shared/ValidatedPrivilegedItems.h"

#include <QString>

#include <vector>

namespace quorvane {

enum class TransactionErrorCase {
    sourceMissing,
    destinationExists,
    moveFailed,
    verificationFailed,
    noItems,
    invalidOperationDirectory,
    invalidDestinationDirectory,
    invalidTrashDirectory,
    // Not one of the kinds' own cases: a failed creation of an operation folder, which carries the
    // system's reason as its whole text.
    folderCreationFailed,
};

// The error of one transaction kind: the case, the bundle's file name where the case names one, and
// the system's reason for moveFailed and folderCreationFailed.
template <TransactionKind Kind>
struct PrivilegedTransactionError {
    TransactionErrorCase errorCase = TransactionErrorCase::noItems;
    QString name;
    QString reason;

    QString description() const;
    bool operator==(const PrivilegedTransactionError&) const = default;
};

using PrivilegedQuarantineTransactionError = PrivilegedTransactionError<TransactionKind::quarantine>;
using PrivilegedRestoreTransactionError = PrivilegedTransactionError<TransactionKind::restore>;
using PrivilegedTrashTransactionError = PrivilegedTransactionError<TransactionKind::trash>;
using PrivilegedTrashRestoreTransactionError = PrivilegedTransactionError<TransactionKind::trashRestore>;

// The sentences of one kind. Texts that name a bundle are split around the name.
struct TransactionTexts {
    QString sourceMissingAfterName;
    QString destinationExistsBeforeName;
    QString moveFailedBeforeName;
    QString moveFailedAfterName;
    QString verificationFailedBeforeName;
    QString noItems;
    QString invalidOperationDirectory;
    QString invalidDestinationDirectory;
    QString invalidTrashDirectory;
    QString success;
    QString cleanFailureOpening;
    QString attentionFailureOpening;
};

const TransactionTexts& transactionTexts(TransactionKind kind);
QString transactionErrorText(TransactionKind kind, TransactionErrorCase errorCase, const QString& name,
                             const QString& reason);

template <TransactionKind Kind>
QString PrivilegedTransactionError<Kind>::description() const {
    return transactionErrorText(Kind, errorCase, name, reason);
}

// Each transaction moves every item and verifies it, or moves every completed item back, last
// first, and reports what could not be put back. An entry that fails its verification after a move
// (something exchanged for the bundle) is moved back out at once and is part of that rollback. `move`
// replaces the move step for forward and rollback moves alike; null means the real move. They never fail:
// every outcome is a result.
//
// With a `record`, the transaction is written there before the first move, each step as it is done,
// and marked committed once every move is verified; a failed transaction removes it once rolled back.
// A committed record is the caller's to remove, after its reply has gone out.
//
// `lookups`, the validation's of the same request, serves the path lookups of the preflight; the
// moves use none of it.
PrivilegedQuarantineResult performQuarantineTransaction(
    const QString& transactionID, const std::vector<ValidatedPrivilegedQuarantineItem>& items,
    MoveOperation* move = nullptr, const TransactionRecord* record = nullptr, PathLookups* lookups = nullptr);
PrivilegedRestoreResult performRestoreTransaction(const QString& transactionID,
                                                  const std::vector<ValidatedPrivilegedRestoreItem>& items,
                                                  MoveOperation* move = nullptr,
                                                  const TransactionRecord* record = nullptr,
                                                  PathLookups* lookups = nullptr);
// The two Trash kinds pass each bundle through the ledger's staging folder.
PrivilegedTrashResult performTrashTransaction(const QString& transactionID,
                                              const std::vector<ValidatedPrivilegedTrashItem>& items,
                                              const TrashLedger& ledger, MoveOperation* move = nullptr,
                                              const TransactionRecord* record = nullptr,
                                              PathLookups* lookups = nullptr);
PrivilegedTrashRestoreResult
performTrashRestoreTransaction(const QString& transactionID,
                               const std::vector<ValidatedPrivilegedTrashRestoreItem>& items,
                               const TrashLedger& ledger, MoveOperation* move = nullptr,
                               const TransactionRecord* record = nullptr, PathLookups* lookups = nullptr);

// rmdir of each distinct folder that held or was to hold an item, when it is empty; never anything
// that is not empty, never a failure reported.
void removeEmptyOperationFolders(const std::vector<ValidatedPrivilegedQuarantineItem>& items);
template <class Item>
void removeEmptiedSourceFolders(const std::vector<Item>& items);

} // namespace quorvane
