#pragma once

#include "HelperClient/PluginManagementService.h"
#include "Model/PluginBundleSelection.h"
#include "Model/PluginList.h"
#include "Shared/PrivilegedRequests.h"
#include "Shared/PrivilegedResults.h"
#include "Store/PluginInventoryStore.h"
#include "Store/PrivilegedTransactionRun.h"

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
// nothing happens), then the transaction's own road (PrivilegedTransactionRun.h) through the store
// and the helper service. The store verifies, commits and posts the notice once the commit is on
// disk.
template <class Request, class Result>
struct PrivilegedActionRoad {
    using Steps = PrivilegedTransactionSteps<Request, Result>;
    using Send = typename Steps::Sent;
    std::function<bool()> isReady;
    typename Steps::Begin begin;
    typename Steps::Send send;
    typename Steps::Complete complete;
};

// Runs `road`; `onCommitted` (the screen's selection reset) runs only when the store committed and
// `screen` still exists. A result that arrives after the screen has gone still reaches the store.
template <class Request, class Result>
void runPrivilegedAction(const PrivilegedActionRoad<Request, Result>& road, QObject* screen,
                         std::function<void()> onCommitted) {
    if (!road.isReady())
        return;
    runPrivilegedTransaction<Request, Result>(
        {road.begin, road.send, road.complete},
        [guard = QPointer<QObject>(screen),
         onCommitted = std::move(onCommitted)](const std::optional<Request>&, bool committed) {
            if (committed && guard && onCommitted)
                onCommitted();
        });
}

using QuarantineRoad = PrivilegedActionRoad<PrivilegedQuarantineRequest, PrivilegedQuarantineResult>;
using RestoreRoad = PrivilegedActionRoad<PrivilegedRestoreRequest, PrivilegedRestoreResult>;
using TrashRoad = PrivilegedActionRoad<PrivilegedTrashRequest, PrivilegedTrashResult>;
using TrashRecoveryRoad = PrivilegedActionRoad<PrivilegedTrashRestoreRequest, PrivilegedTrashRestoreResult>;

// The bundles a confirmation named, under the products that hold them now. A scan gives the
// products it finds new ids; a bundle whose product no longer holds it is followed, by its record
// key, to the one product that does. One that no product holds, or more than one, is left as named,
// for the planner to refuse with its reason: the bundles acted on are always the ones named.
std::vector<PluginBundleSelection> selectionsHeldNow(std::vector<PluginBundleSelection> named,
                                                     const PluginList& plugins);

// The roads through the application's store and helper service, planned against the current
// inventory with their bundles where selectionsHeldNow finds them. Both objects must outlive every
// request (the root view owns them).
QuarantineRoad quarantineRoad(PluginInventoryStore& store, PluginManagementService& service,
                              std::vector<PluginBundleSelection> selections);
RestoreRoad restoreRoad(PluginInventoryStore& store, PluginManagementService& service,
                        std::vector<PluginBundleSelection> selections);
TrashRoad trashRoad(PluginInventoryStore& store, PluginManagementService& service,
                    std::vector<PluginBundleSelection> selections);
TrashRecoveryRoad trashRecoveryRoad(PluginInventoryStore& store, PluginManagementService& service,
                                    std::vector<QUuid> recordIDs);

} // namespace quorvane
