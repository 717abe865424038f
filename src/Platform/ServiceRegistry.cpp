#include "Platform/ServiceRegistry.h"

namespace quorvane {

QString description(ServiceRegistryError error) {
    switch (error) {
    case ServiceRegistryError::toolMissing:
        return QStringLiteral("Quorvane could not run the system tools that register the privileged helper.");
    case ServiceRegistryError::approvalDismissed:
        return QStringLiteral("The administrator approval was dismissed. Plugin Management was not changed.");
    case ServiceRegistryError::approvalDenied:
        return QStringLiteral(
            "The administrator approval was not granted. Plugin Management was not changed.");
    case ServiceRegistryError::unitMissing:
        return QStringLiteral("The privileged helper’s system service is not installed.");
    case ServiceRegistryError::unitMasked:
        return QStringLiteral(
            "The privileged helper’s system service has been disabled by the administrator.");
    case ServiceRegistryError::commandFailed:
        return QStringLiteral("The system could not change the privileged helper’s registration.");
    }
    return {};
}

} // namespace quorvane
