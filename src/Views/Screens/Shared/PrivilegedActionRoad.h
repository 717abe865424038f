#pragma once

#include "HelperClient/PluginManagementService.h"
#include "Model/PluginBundleSelection.h"
#include "Shared/PrivilegedRequests.h"
#include "Shared/PrivilegedResults.h"
#include "Store/PluginInventoryStore.h"

#include <QObject>
#include <QPointer>
#include <QUuid>

#include <functional>
#include <optional>
#include <vector>

namespace quorvane {

// Calls `onChange` whenever something besides the inventory changes what decides a file action's
// blocking reasons: the helper service's status, whether the helper answers, whether a request is
// in flight, and whether the store holds a journal still to settle. Every screen with file actions
// follows these, so a transaction another screen started leaves none of them stale.
template <class Slot>
void connectTransactionReadiness(const PluginInventoryStore& store, const PluginManagementService& service,
                                 const QObject* context, Slot onChange) {
    for (const auto signal :
         {&PluginManagementService::statusChanged, &PluginManagementService::helperIsReachableChanged,
          &PluginManagementService::isWorkingChanged})
        QObject::connect(&service, signal, context, onChange);
    QObject::connect(&store, &PluginInventoryStore::pendingPrivilegedTransactionChanged, context, onChange);
}

// The road every confirmed file action of a screen takes: the helper must be ready (otherwise
// nothing happens), the store writes the pending journal and hands the request on once it is on disk
// (or refuses and reports it itself), the helper service carries the request, and the helper's
// result goes back to the store with the request it answers. The store verifies, commits and posts
// the notice once the commit is on disk.
template <class Request, class Result>
struct PrivilegedActionRoad {
    using Send = std::function<void(const std::optional<Request>&)>;
    std::function<bool()> isReady;
    // Calls its argument once: with the request when its journal is on disk, else with none.
    std::function<void(Send)> begin;
    std::function<void(const Request&, std::function<void(const Result&)>)> send;
    // Tells its last argument whether the store committed the transaction.
    std::function<void(const Result&, const Request&, std::function<void(bool)>)> complete;
};

// Runs `road`; `onCommitted` (the screen's selection reset) runs only when the store committed and
// `screen` still exists. The completions own everything they need, so a result that arrives after
// the screen has gone still reaches the store, and one that arrives before `send` returns is handled
// the same way: nothing here is touched after the request is sent.
template <class Request, class Result>
void runPrivilegedAction(const PrivilegedActionRoad<Request, Result>& road, QObject* screen,
                         std::function<void()> onCommitted) {
    if (!road.isReady())
        return;
    road.begin([send = road.send, complete = road.complete, guard = QPointer<QObject>(screen),
                onCommitted = std::move(onCommitted)](const std::optional<Request>& request) {
        if (!request)
            return;
        send(*request, [complete, sent = *request, guard, onCommitted](const Result& result) {
            complete(result, sent, [guard, onCommitted](bool committed) {
                if (committed && guard && onCommitted)
                    onCommitted();
            });
        });
    });
}

using QuarantineRoad = PrivilegedActionRoad<PrivilegedQuarantineRequest, PrivilegedQuarantineResult>;
using RestoreRoad = PrivilegedActionRoad<PrivilegedRestoreRequest, PrivilegedRestoreResult>;
using TrashRoad = PrivilegedActionRoad<PrivilegedTrashRequest, PrivilegedTrashResult>;
using TrashRecoveryRoad = PrivilegedActionRoad<PrivilegedTrashRestoreRequest, PrivilegedTrashRestoreResult>;

// The roads through the application's store and helper service, planned against the current
// inventory. Both objects must outlive every request (the root view owns them).
QuarantineRoad quarantineRoad(PluginInventoryStore& store, PluginManagementService& service,
                              std::vector<PluginBundleSelection> selections);
RestoreRoad restoreRoad(PluginInventoryStore& store, PluginManagementService& service,
                        std::vector<PluginBundleSelection> selections);
TrashRoad trashRoad(PluginInventoryStore& store, PluginManagementService& service,
                    std::vector<PluginBundleSelection> selections);
TrashRecoveryRoad trashRecoveryRoad(PluginInventoryStore& store, PluginManagementService& service,
                                    std::vector<QUuid> recordIDs);

} // namespace quorvane
