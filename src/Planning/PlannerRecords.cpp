#include "Planning/PlannerRecords.h"

namespace quorvane {

std::vector<PluginBundleRecord> plannerRecords(const Plugin& plugin) {
    if (plugin.bundles && !plugin.bundles->empty())
        return *plugin.bundles;
    if (plugin.status == PluginStatus::hostedByShell || plugin.formats.size() != 1)
        return {};
    PluginBundleRecord record;
    record.format = plugin.formats.front();
    record.architecture = plugin.architecture;
    record.size = plugin.size;
    record.path = plugin.path;
    record.originalPath = plugin.originalPath;
    record.quarantinePath = plugin.quarantinePath;
    record.quarantineOperationID = plugin.quarantineOperationID;
    record.isProtected = plugin.isProtected;
    return {record};
}

} // namespace quorvane
