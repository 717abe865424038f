#include "Planning/PlannerRecords.h"

namespace quorvane {

std::vector<PluginBundleRecord> plannerRecords(const Plugin& plugin) {
    if (plugin.bundles && !plugin.bundles->empty())
        return *plugin.bundles;
    if (plugin.status == PluginStatus::hostedByShell || plugin.formats.size() != 1)
        return {};
    return {plugin.singleFormatRecord()};
}

} // namespace quorvane
