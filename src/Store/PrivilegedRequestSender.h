#pragma once

#include "Shared/PrivilegedRequests.h"
#include "Shared/PrivilegedResults.h"
#include "Store/PrivilegedRequestReadiness.h"

#include <functional>

namespace quorvane {

// What the store's own multi-transaction runs need of Plugin Management: its readiness and the two
// senders the permanent-quarantine run calls. The helper service object implements it. Every
// completion runs on the GUI thread at most once; a local failure becomes a failed result with
// rollbackComplete set and the failure's sentence as its message.
class PrivilegedRequestSender : public PrivilegedRequestReadiness {
public:
    template <class Result>
    using Completion = std::function<void(const Result& result)>;

    virtual void sendQuarantineRequest(const PrivilegedQuarantineRequest& request,
                                       Completion<PrivilegedQuarantineResult> completion) = 0;
    virtual void sendTrashRequest(const PrivilegedTrashRequest& request,
                                  Completion<PrivilegedTrashResult> completion) = 0;
};

} // namespace quorvane
