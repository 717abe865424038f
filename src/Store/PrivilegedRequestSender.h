#pragma once

#include "Shared/PrivilegedRequests.h"
#include "Shared/PrivilegedResults.h"
#include "Store/PrivilegedRequestReadiness.h"

#include <functional>

namespace quorvane {

// What everything that runs a privileged transaction needs of Plugin Management: its readiness and
// one `send` per kind, picked by the request's type. The helper service object implements it. Every
// completion runs on the GUI thread at most once; a local failure becomes a failed result with
// rollbackComplete set and the failure's sentence as its message.
class PrivilegedRequestSender : public PrivilegedRequestReadiness {
public:
    template <class Result>
    using Completion = std::function<void(const Result& result)>;

    virtual void send(const PrivilegedQuarantineRequest& request,
                      Completion<PrivilegedQuarantineResult> completion) = 0;
    virtual void send(const PrivilegedRestoreRequest& request,
                      Completion<PrivilegedRestoreResult> completion) = 0;
    virtual void send(const PrivilegedTrashRequest& request,
                      Completion<PrivilegedTrashResult> completion) = 0;
    virtual void send(const PrivilegedTrashRestoreRequest& request,
                      Completion<PrivilegedTrashRestoreResult> completion) = 0;
};

} // namespace quorvane
