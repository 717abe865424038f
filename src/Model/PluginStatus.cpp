#include "Model/PluginStatus.h"

namespace quorvane {

const EnumTextTable<PluginStatus>& pluginStatusTable() {
    static const EnumTextTable<PluginStatus> table{
        {PluginStatus::ok, QStringLiteral("OK")},
        {PluginStatus::legacy, QStringLiteral("Legacy")},
        {PluginStatus::protected_, QStringLiteral("Protected")},
        {PluginStatus::partiallyProtected, QStringLiteral("Partially Protected")},
        {PluginStatus::quarantined, QStringLiteral("Ready to Restore")},
        {PluginStatus::partiallyQuarantined, QStringLiteral("Partially Quarantined")},
        {PluginStatus::sharedShell, QStringLiteral("Shared Shell")},
        {PluginStatus::hostedByShell, QStringLiteral("Hosted by WaveShell")},
    };
    return table;
}

QString rawValue(PluginStatus status) {
    return pluginStatusTable().text(status);
}

std::optional<PluginStatus> pluginStatusFromRawValue(const QString& text) {
    return pluginStatusTable().parse(text);
}

} // namespace quorvane
