#include "HelperClient/PluginManagementStatus.h"

#include "HelperClient/PluginManagementTexts.h"

namespace quorvane {

const EnumTextTable<PluginManagementStatus>& pluginManagementStatusTitles() {
    namespace Status = PluginManagementTexts::Status;
    static const EnumTextTable<PluginManagementStatus> table{
        {PluginManagementStatus::notRegistered, Status::notRegistered},
        {PluginManagementStatus::requiresApproval, Status::requiresApproval},
        {PluginManagementStatus::enabled, Status::enabled},
        {PluginManagementStatus::notFound, Status::notFound},
        {PluginManagementStatus::unavailable, Status::unavailable},
    };
    return table;
}

QString title(PluginManagementStatus status) {
    return pluginManagementStatusTitles().text(status);
}

PluginManagementStatus pluginManagementStatus(ServiceRegistrationStatus status) {
    switch (status) {
    case ServiceRegistrationStatus::notRegistered:
        return PluginManagementStatus::notRegistered;
    case ServiceRegistrationStatus::requiresApproval:
        return PluginManagementStatus::requiresApproval;
    case ServiceRegistrationStatus::enabled:
        return PluginManagementStatus::enabled;
    case ServiceRegistrationStatus::notFound:
        return PluginManagementStatus::notFound;
    case ServiceRegistrationStatus::unavailable:
        break;
    }
    return PluginManagementStatus::unavailable;
}

} // namespace quorvane
