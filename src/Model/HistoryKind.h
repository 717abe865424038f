#pragma once

#include "Support/EnumText.h"

#include <QString>

#include <optional>

namespace quorvane {

// Stored by its raw text, which is also the title shown to the user.
enum class HistoryKind {
    scan,
    scanCanceled,
    restore,
    quarantine,
    trash,
    trashRestore,
    protection,
    protectionRemoved,
    formatProtection,
    formatProtectionRemoved,
    canceled,
    reconciliation,
    externalRestore,
    missingTrashItem,
    cleanupPresetStarted,
    cleanupPresetCompleted,
    cleanupPresetPartiallyCompleted,
    cleanupPresetCanceled,
};

// The eighteen cases in order with their raw texts ("Scan Completed" … "Cleanup Preset Canceled").
const EnumTextTable<HistoryKind>& historyKindTable();
QString rawValue(HistoryKind kind);
std::optional<HistoryKind> historyKindFromRawValue(const QString& text);

// restore, quarantine, trash and trashRestore: the kinds whose lines group into one operation.
bool isProductTransaction(HistoryKind kind);

} // namespace quorvane
