#include "Planning/PlannerRecords.h"

namespace quorvane {

std::vector<PluginBundleRecord> plannerRecords(const Plugin& plugin) {
    if (plugin.bundles && !plugin.bundles->empty())
        return *plugin.bundles;
    if (plugin.status == PluginStatus::hostedByShell || plugin.formats.size() != 1)
        return {};
    return {plugin.singleFormatRecord()};
}

bool removesEveryActiveFormat(const Plugin& plugin, const BundleIDSet& bundleIDs) {
    bool anyActive = false;
    for (const auto& record : plannerRecords(plugin)) {
        if (!record.isActive())
            continue;
        if (!bundleIDs.contains(record.id()))
            return false;
        anyActive = true;
    }
    return anyActive;
}

QString bundleSentence(const QString& pluginName, const QString& format, const QString& sentence) {
    return pluginName + QStringLiteral(" \u2014 ") + format + QStringLiteral(": ") + sentence;
}

} // namespace quorvane
