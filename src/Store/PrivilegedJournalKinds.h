#pragma once

// The four privileged transaction kinds as the journals see them: besides the kind's own
// description, the texts and what a failed commit puts back. Only the journals' own source files
// include this.

#include "Store/PrivilegedTransactionTexts.h"
#include "Store/TransactionJournals.h"

namespace quorvane {

template <>
struct TransactionJournals::Journal<PrivilegedKind::quarantine>
    : PrivilegedKindDescription<PrivilegedKind::quarantine> {
    static inline const QString name = QStringLiteral("quarantine");
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

template <>
struct TransactionJournals::Journal<PrivilegedKind::restore>
    : PrivilegedKindDescription<PrivilegedKind::restore> {
    static inline const QString name = QStringLiteral("restore");
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

template <>
struct TransactionJournals::Journal<PrivilegedKind::trash>
    : PrivilegedKindDescription<PrivilegedKind::trash> {
    static inline const QString name = QStringLiteral("Trash move");
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

template <>
struct TransactionJournals::Journal<PrivilegedKind::trashRecovery>
    : PrivilegedKindDescription<PrivilegedKind::trashRecovery> {
    static inline const QString name = QStringLiteral("Finder Trash restore");
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
