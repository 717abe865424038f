#pragma once

#include <QString>

#include <sys/types.h>

#include <expected>
#include <functional>

namespace quorvane {

// Where the helper listens, and the uid that must own its socket, the socket's folder and the
// process behind it (0 for the system helper; the developer's own uid for a supervised child).
struct HelperEndpoint {
    QString socketPath;
    uid_t ownerUid = 0;

    bool operator==(const HelperEndpoint&) const = default;
};

// Registration state of the helper's service as the system reports it.
enum class ServiceRegistrationStatus {
    notRegistered,
    requiresApproval,
    enabled,
    notFound,
    unavailable,
};

enum class ServiceRegistryError {
    // systemctl, pkexec or the helper program could not be found or started.
    toolMissing,
    // The administrator closed the approval prompt.
    approvalDismissed,
    // The administrator approval was refused.
    approvalDenied,
    // No approval could be asked: polkit's authority is not running.
    approvalAuthorityMissing,
    // No approval could be asked: no polkit authentication agent runs in the session.
    approvalAgentMissing,
    // systemd is not the init system, so there is nothing to register the helper with.
    systemdMissing,
    // The helper's units are not installed.
    unitMissing,
    // The administrator has masked the helper's socket.
    unitMasked,
    // Anything else that made the change fail.
    commandFailed,
};

QString description(ServiceRegistryError error);

// What the application registers, unregisters and asks about the helper's service, in place of the
// platform's service-management facility. Status is read synchronously; a registration change may
// wait for the administrator, so it answers later, on the thread that asked, exactly once.
class ServiceRegistry {
public:
    using Completion = std::function<void(std::expected<void, ServiceRegistryError> outcome)>;

    virtual ~ServiceRegistry() = default;

    virtual ServiceRegistrationStatus status() = 0;
    virtual void registerService(Completion done) = 0;
    virtual void unregisterService(Completion done) = 0;
    // Where the registered helper listens.
    virtual HelperEndpoint endpoint() const = 0;
};

} // namespace quorvane
