#include "Store/PluginInventoryStore.h"

// The store's calls into the privileged-transaction code. Each does nothing until that code is
// written; its owner moves the definition into the file of its concern.

namespace quorvane {

void PluginInventoryStore::pruneEmptyQuarantineFolders() {
    // Filled in with the quarantine-folder pruning of the privileged-transaction code.
}

void PluginInventoryStore::resolvePendingQuarantine() {
    // Filled in with the privileged-transaction journals.
}

void PluginInventoryStore::resolvePendingRestore() {
    // Filled in with the privileged-transaction journals.
}

void PluginInventoryStore::resolvePendingTrash() {
    // Filled in with the privileged-transaction journals.
}

void PluginInventoryStore::resolvePendingTrashRestore() {
    // Filled in with the privileged-transaction journals.
}

void PluginInventoryStore::reconcileCleanupPresetRuns() {
    // Filled in with the cleanup-preset runs.
}

void PluginInventoryStore::startPermanentQuarantineRun(const std::vector<PermanentQuarantineMatch>&,
                                                       const std::vector<PermanentQuarantineMatch>&,
                                                       PrivilegedRequestReadiness*) {
    // Filled in with the two-phase permanent-quarantine run.
}

} // namespace quorvane
