#include "Model/HistoryKind.h"

namespace quorvane {

const EnumTextTable<HistoryKind>& historyKindTable() {
    static const EnumTextTable<HistoryKind> table{
        {HistoryKind::scan, QStringLiteral("Scan Completed")},
        {HistoryKind::scanCanceled, QStringLiteral("Scan Canceled")},
        {HistoryKind::restore, QStringLiteral("Restored")},
        {HistoryKind::quarantine, QStringLiteral("Moved to Quarantine")},
        {HistoryKind::trash, QStringLiteral("Moved to macOS Trash")},
        {HistoryKind::trashRestore, QStringLiteral("Restored from Finder Trash")},
        {HistoryKind::protection, QStringLiteral("Protection Enabled")},
        {HistoryKind::protectionRemoved, QStringLiteral("Protection Removed")},
        {HistoryKind::formatProtection, QStringLiteral("Format Protection Enabled")},
        {HistoryKind::formatProtectionRemoved, QStringLiteral("Format Protection Removed")},
        {HistoryKind::canceled, QStringLiteral("Move to Trash Canceled")},
        {HistoryKind::reconciliation, QStringLiteral("Inventory Reconciled")},
        {HistoryKind::externalRestore, QStringLiteral("Manual Restore Detected")},
        {HistoryKind::missingTrashItem, QStringLiteral("Missing Trash Item Detected")},
        {HistoryKind::cleanupPresetStarted, QStringLiteral("Cleanup Preset Started")},
        {HistoryKind::cleanupPresetCompleted, QStringLiteral("Cleanup Preset Completed")},
        {HistoryKind::cleanupPresetPartiallyCompleted, QStringLiteral("Cleanup Preset Partially Completed")},
        {HistoryKind::cleanupPresetCanceled, QStringLiteral("Cleanup Preset Canceled")},
    };
    return table;
}

QString rawValue(HistoryKind kind) {
    return historyKindTable().text(kind);
}

std::optional<HistoryKind> historyKindFromRawValue(const QString& text) {
    return historyKindTable().parse(text);
}

bool isProductTransaction(HistoryKind kind) {
    switch (kind) {
    case HistoryKind::restore:
    case HistoryKind::quarantine:
    case HistoryKind::trash:
    case HistoryKind::trashRestore:
        return true;
    default:
        return false;
    }
}

} // namespace quorvane
