#include "Views/Screens/PrivilegedActionRoad.h"

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

} // namespace

QuarantineRoad quarantineRoad(PluginInventoryStore& store, PluginManagementService& service,
                              std::vector<PluginBundleSelection> selections) {
    return {
        readiness(service),
        [&store, selections = std::move(selections)] { return store.beginPrivilegedQuarantine(selections); },
        [&service](const PrivilegedQuarantineRequest& request,
                   std::function<void(const PrivilegedQuarantineResult&)> completion) {
            service.sendQuarantineRequest(request, std::move(completion));
        },
        [&store](const PrivilegedQuarantineResult& result, const PrivilegedQuarantineRequest& request) {
            return store.completePrivilegedQuarantine(result, request.transactionID, request.items);
        }};
}

RestoreRoad restoreRoad(PluginInventoryStore& store, PluginManagementService& service,
                        std::vector<PluginBundleSelection> selections) {
    return {readiness(service),
            [&store, selections = std::move(selections)] { return store.beginPrivilegedRestore(selections); },
            [&service](const PrivilegedRestoreRequest& request,
                       std::function<void(const PrivilegedRestoreResult&)> completion) {
                service.sendRestoreRequest(request, std::move(completion));
            },
            [&store](const PrivilegedRestoreResult& result, const PrivilegedRestoreRequest& request) {
                return store.completePrivilegedRestore(result, request.transactionID, request.items);
            }};
}

TrashRoad trashRoad(PluginInventoryStore& store, PluginManagementService& service,
                    std::vector<PluginBundleSelection> selections) {
    return {readiness(service),
            [&store, selections = std::move(selections)] { return store.beginPrivilegedTrash(selections); },
            [&service](const PrivilegedTrashRequest& request,
                       std::function<void(const PrivilegedTrashResult&)> completion) {
                service.sendTrashRequest(request, std::move(completion));
            },
            [&store](const PrivilegedTrashResult& result, const PrivilegedTrashRequest& request) {
                return store.completePrivilegedTrash(result, request.transactionID, request.items);
            }};
}

TrashRecoveryRoad trashRecoveryRoad(PluginInventoryStore& store, PluginManagementService& service,
                                    std::vector<QUuid> recordIDs) {
    return {
        readiness(service),
        [&store, recordIDs = std::move(recordIDs)] { return store.beginTrashRecovery(recordIDs); },
        [&service](const PrivilegedTrashRestoreRequest& request,
                   std::function<void(const PrivilegedTrashRestoreResult&)> completion) {
            service.sendTrashRestoreRequest(request, std::move(completion));
        },
        [&store](const PrivilegedTrashRestoreResult& result, const PrivilegedTrashRestoreRequest& request) {
            return store.completeTrashRecovery(result, request.transactionID, request.items);
        }};
}

} // namespace quorvane
