#include "App/SidebarCounts.h"

#include "Model/HistoryOperation.h"

#include <algorithm>

namespace quorvane {

std::optional<QString> sidebarBadgeText(AppSection section, const SidebarCounts& counts) {
    switch (section) {
    case AppSection::inventory:
        return QString::number(counts.inventoryCount);
    case AppSection::protected_:
        return QString::number(counts.protectedCount);
    case AppSection::quarantine:
        return QString::number(counts.quarantineCount);
    case AppSection::trashRecovery:
        return QString::number(counts.trashRecoveryCount);
    case AppSection::history:
        return QString::number(counts.historyCount);
    case AppSection::formatCleanup:
    case AppSection::permanentQuarantine:
    case AppSection::pluginManagement:
    case AppSection::safetyGuide:
    case AppSection::about:
        return std::nullopt;
    }
    return std::nullopt;
}

qsizetype countProtectedPlugins(const PluginList& plugins) {
    return plugins.counts().protectedProducts;
}

} // namespace quorvane
