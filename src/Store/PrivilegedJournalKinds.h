#pragma once

// The four privileged transaction kinds as the store's journal code sees them: the journal field,
// the result's path list, the finaliser, the texts, and what a failed commit puts back. Only the
// store's own source files include this.

#include "Store/PluginInventoryStore.h"
#include "Store/PrivilegedTransactionTexts.h"

namespace quorvane {

struct PluginInventoryStore::QuarantineJournal {
    static inline const QString name = QStringLiteral("quarantine");
    using Request = PrivilegedQuarantineRequest;
    using Item = PrivilegedQuarantineItem;
    using Result = PrivilegedQuarantineResult;
    static constexpr auto journal = &PluginInventoryStore::m_pendingPrivilegedQuarantine;
    static constexpr auto finalise = &PluginInventoryStore::finalisePrivilegedQuarantine;
    static constexpr BundleActionKind action = BundleActionKind::quarantine;
    // The finaliser skips what it already applied, so partly applied records are kept and saved.
    static constexpr SnapshotParts putBack{false, false, false};
    static constexpr bool journalPutBackAtLaunch = false;
    static JournalTexts texts() {
        namespace T = PrivilegedTransactionTexts::Quarantine;
        return {T::refusalTitle, T::attentionTitle, T::failedSafelyTitle, T::successTitle,
                T::saveFailure,  T::mismatch,       T::keptJournal,       T::unverified,
                T::unfinished,   T::success,        T::completedUnsaved,  T::mixed};
    }
};

struct PluginInventoryStore::RestoreJournal {
    static inline const QString name = QStringLiteral("restore");
    using Request = PrivilegedRestoreRequest;
    using Item = PrivilegedRestoreItem;
    using Result = PrivilegedRestoreResult;
    static constexpr auto journal = &PluginInventoryStore::m_pendingPrivilegedRestore;
    static constexpr auto finalise = &PluginInventoryStore::finalisePrivilegedRestore;
    static constexpr BundleActionKind action = BundleActionKind::restore;
    static constexpr SnapshotParts putBack{true, true, false};
    static constexpr bool journalPutBackAtLaunch = true;
    static JournalTexts texts() {
        namespace T = PrivilegedTransactionTexts::Restore;
        return {T::refusalTitle, T::attentionTitle, T::failedSafelyTitle, T::successTitle,
                T::saveFailure,  T::mismatch,       T::keptJournal,       T::unverified,
                T::unfinished,   T::success,        T::completedUnsaved,  T::mixed};
    }
};

struct PluginInventoryStore::TrashJournal {
    static inline const QString name = QStringLiteral("Trash move");
    using Request = PrivilegedTrashRequest;
    using Item = PrivilegedTrashItem;
    using Result = PrivilegedTrashResult;
    static constexpr auto journal = &PluginInventoryStore::m_pendingPrivilegedTrash;
    static constexpr auto finalise = &PluginInventoryStore::finalisePrivilegedTrash;
    static constexpr BundleActionKind action = BundleActionKind::trash;
    static constexpr SnapshotParts putBack{true, true, true};
    static constexpr bool journalPutBackAtLaunch = true;
    static JournalTexts texts() {
        namespace T = PrivilegedTransactionTexts::Trash;
        return {T::refusalTitle, T::attentionTitle, T::failedSafelyTitle, T::successTitle,
                T::saveFailure,  T::mismatch,       T::keptJournal,       T::unverified,
                T::unfinished,   T::success,        T::completedUnsaved,  T::mixed};
    }
};

struct PluginInventoryStore::TrashRecoveryJournal {
    static inline const QString name = QStringLiteral("Finder Trash restore");
    using Request = PrivilegedTrashRestoreRequest;
    using Item = PrivilegedTrashRestoreItem;
    using Result = PrivilegedTrashRestoreResult;
    static constexpr auto journal = &PluginInventoryStore::m_pendingPrivilegedTrashRestore;
    static constexpr auto finalise = &PluginInventoryStore::finaliseTrashRecovery;
    static constexpr SnapshotParts putBack{false, true, true};
    static constexpr bool journalPutBackAtLaunch = true;
    static JournalTexts texts() {
        namespace T = PrivilegedTransactionTexts::TrashRecovery;
        return {T::refusalTitle, T::attentionTitle, T::failedSafelyTitle, T::successTitle,
                T::saveFailure,  T::mismatch,       T::keptJournal,       T::unverified,
                T::unfinished,   T::success,        T::completedUnsaved,  T::mixed};
    }
};

} // namespace quorvane
