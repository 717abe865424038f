#pragma once

#include "Platform/ServiceRegistry.h"
#include "Support/EnumText.h"

#include <QString>

namespace quorvane {

// Registration state of the helper as last read; neither stored nor sent.
enum class PluginManagementStatus {
    notRegistered,
    requiresApproval,
    enabled,
    notFound,
    unavailable,
};

// "Not Enabled", "Approval Required", "Enabled", "Helper Missing", "Status Unavailable".
const EnumTextTable<PluginManagementStatus>& pluginManagementStatusTitles();
QString title(PluginManagementStatus status);

PluginManagementStatus pluginManagementStatus(ServiceRegistrationStatus status);

} // namespace quorvane
