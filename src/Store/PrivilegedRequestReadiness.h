#pragma once

namespace quorvane {

// The one question a scan asks of Plugin Management before it hands over exact
// permanent-quarantine replacements. The helper service object implements it.
class PrivilegedRequestReadiness {
public:
    virtual ~PrivilegedRequestReadiness() = default;

    // Enabled, reachable and not busy with another request.
    virtual bool isReadyForPrivilegedRequests() const = 0;
};

} // namespace quorvane
