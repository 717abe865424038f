#include "Views/Screens/Shared/PrivilegedActionRoad.h"

#include "HelperClient/PluginManagementService.h"
#include "Store/PluginInventoryStore.h"

namespace quorvane {

namespace {

// Readiness through a guard: a road kept past the service's life reports not ready.
std::function<bool()> readiness(PluginManagementService& service) {
    return [service = QPointer<PluginManagementService>(&service)] {
        return service && service->isReadyForPrivilegedRequests();
    };
}

// The road of one kind: `begin` asks the store, then the service's sender and the store's completer
// for that kind.
template <class Request, class Result, class Begin, class Send, class Complete>
PrivilegedActionRoad<Request, Result> makeRoad(PluginInventoryStore& store, PluginManagementService& service,
                                               Begin begin, Send send, Complete complete) {
    return {readiness(service), std::move(begin),
            [&service, send](const Request& request, std::function<void(const Result&)> completion) {
                (service.*send)(request, std::move(completion));
            },
            completeThrough<Request, Result>(store, complete)};
}

} // namespace

QuarantineRoad quarantineRoad(PluginInventoryStore& store, PluginManagementService& service,
                              std::vector<PluginBundleSelection> selections) {
    return makeRoad<PrivilegedQuarantineRequest, PrivilegedQuarantineResult>(
        store, service,
        [&store, selections = std::move(selections)](auto send) {
            store.beginPrivilegedQuarantine(selections, {}, {}, std::move(send));
        },
        &PluginManagementService::sendQuarantineRequest, &PluginInventoryStore::completePrivilegedQuarantine);
}

RestoreRoad restoreRoad(PluginInventoryStore& store, PluginManagementService& service,
                        std::vector<PluginBundleSelection> selections) {
    return makeRoad<PrivilegedRestoreRequest, PrivilegedRestoreResult>(
        store, service,
        [&store, selections = std::move(selections)](auto send) {
            store.beginPrivilegedRestore(selections, {}, std::move(send));
        },
        &PluginManagementService::sendRestoreRequest, &PluginInventoryStore::completePrivilegedRestore);
}

TrashRoad trashRoad(PluginInventoryStore& store, PluginManagementService& service,
                    std::vector<PluginBundleSelection> selections) {
    return makeRoad<PrivilegedTrashRequest, PrivilegedTrashResult>(
        store, service,
        [&store, selections = std::move(selections)](auto send) {
            store.beginPrivilegedTrash(selections, {}, std::move(send));
        },
        &PluginManagementService::sendTrashRequest, &PluginInventoryStore::completePrivilegedTrash);
}

TrashRecoveryRoad trashRecoveryRoad(PluginInventoryStore& store, PluginManagementService& service,
                                    std::vector<QUuid> recordIDs) {
    return makeRoad<PrivilegedTrashRestoreRequest, PrivilegedTrashRestoreResult>(
        store, service,
        [&store, recordIDs = std::move(recordIDs)](auto send) {
            store.beginTrashRecovery(recordIDs, std::move(send));
        },
        &PluginManagementService::sendTrashRestoreRequest, &PluginInventoryStore::completeTrashRecovery);
}

} // namespace quorvane
