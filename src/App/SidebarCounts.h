#pragma once

#include "Model/HistoryItem.h"
#include "Model/HistoryOperation.h"
#include "Model/Plugin.h"
#include "Model/PluginList.h"
#include "Views/Kit/AppSection.h"

#include <QString>

#include <optional>
#include <vector>

namespace quorvane {

// The five numbers of the sidebar badges, as the root view computes them from the store.
struct SidebarCounts {
    qsizetype inventoryCount = 0;     // products with an active format (the store's activePlugins())
    qsizetype protectedCount = 0;     // products whose isProtected is set, quarantined ones included
    qsizetype quarantineCount = 0;    // quarantined format bundles, not products
    qsizetype trashRecoveryCount = 0; // Finder Trash records ready to restore
    qsizetype historyCount = 0;       // grouped history operations, not raw lines

    bool operator==(const SidebarCounts&) const = default;
};

// The decimal count of the five badged sections (no grouping, no cap, "0" for zero); none for
// the other five.
std::optional<QString> sidebarBadgeText(AppSection section, const SidebarCounts& counts);

// The root view's own count of protected products; the history count is countHistoryOperations.
qsizetype countProtectedPlugins(const PluginList& plugins);

} // namespace quorvane
