#pragma once

#include "Helper/TransactionRecord.h"
#include "Helper/TrashLedger.h"

#include <QStringList>

namespace quorvane {

// What the helper found at its start and did about it.
struct TransactionRecoveryReport {
    enum class Found { nothing, unreadable, committed, finished, interrupted };

    Found found = Found::nothing;
    // Interrupted only: the bundles back under their source names (those that never left count too),
    // and the places of those that could not go back, which stay where they are.
    int returned = 0;
    QStringList leftInPlace;

    bool operator==(const TransactionRecoveryReport&) const = default;
};

// Settles the transaction a killed helper left in `record`, before anything else is served. A
// committed one is over: the Trash ledger, descriptions and emptied folders are brought in line
// with where its bundles are, and its record goes. So is one stopped after its last move, every bundle
// the very object it moved and at its destination: the application settles such a journal as done,
// so the bundles stay and the Trash ledger, descriptions and emptied folders follow them as after a
// reply. Any other is undone, last bundle first: each that is still the very object the transaction
// moved goes back to its source name from its destination or its staging name, never over anything;
// what cannot go back is logged and left where it is. The Trash ledger and the `.trashinfo` files
// then follow where each bundle ended up, emptied operation folders go, and the record is removed.
// Whatever the record, the temporary files of unfinished record writes, an empty staging folder and
// empty operation folders go too. A record that cannot be read is logged and kept, so that no transaction
// runs over it. An operation folder directly under `quarantineRoot` that a bundle left and that has been
// removed meanwhile (as emptied) is made again for it.
TransactionRecoveryReport recoverInterruptedTransaction(const TransactionRecord& record,
                                                        const TrashLedger& ledger,
                                                        const QString& quarantineRoot);

} // namespace quorvane
