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
    case ServiceRegistryError::approvalAuthorityMissing:
        return QStringLiteral(
            "The administrator approval could not be asked: polkit, which asks for it, is not "
            "running on this system. Enabling Plugin Management needs systemd and polkit. "
            "Plugin Management was not changed.");
    case ServiceRegistryError::approvalAgentMissing:
        return QStringLiteral("The administrator approval could not be asked: no polkit authentication agent "
                              "runs in this session. Plugin Management was not changed.");
    case ServiceRegistryError::systemdMissing:
        return QStringLiteral(
            "Plugin Management could not be enabled: this system does not run systemd, which "
            "starts the privileged helper. Enabling Plugin Management needs systemd and "
            "polkit. Plugin Management was not changed.");
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
