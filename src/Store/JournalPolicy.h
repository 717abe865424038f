#pragma once

#include "Model/PluginList.h"
#include "Shared/PathPolicy.h"
#include "Shared/PrivilegedRequests.h"

#include <QString>

#include <optional>
#include <vector>

namespace quorvane {

// A journal read back from the state file is input like any other: before the store believes it, each
// item must be a move the helper would have carried out (its kind's roots, the quarantine folder of
// its operation, the Trash of the user the application runs as, within the transaction size limit).
// The checks hold on either side of the move. Each answers why the journal fails, or nothing.
std::optional<QString> journalRefusal(const PrivilegedQuarantineRequest& journal, const PathPolicy& policy);
std::optional<QString> journalRefusal(const PrivilegedRestoreRequest& journal, const PathPolicy& policy);
std::optional<QString> journalRefusal(const PrivilegedTrashRequest& journal, const PathPolicy& policy,
                                      const QString& trashFolder);
std::optional<QString> journalRefusal(const PrivilegedTrashRestoreRequest& journal, const PathPolicy& policy,
                                      const QString& trashFolder);

// Checked against the inventory too: a quarantine whose operation identifier another record already
// holds, or whose destination is already another record's bundle, and a restore onto another
// record's bundle, could only leave two records owning one bundle.
std::optional<QString> journalRecordRefusal(const PrivilegedQuarantineRequest& journal,
                                            const PluginList& plugins);
std::optional<QString> journalRecordRefusal(const PrivilegedRestoreRequest& journal,
                                            const PluginList& plugins);

} // namespace quorvane
