#include "Views/Screens/Shared/PrivilegedActionRoad.h"

#include "HelperClient/PluginManagementService.h"
#include "Store/PluginInventoryStore.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace quorvane {

namespace {

// Readiness through a guard: a road kept past the service's life reports not ready.
std::function<bool()> readiness(PluginManagementService& service) {
    return [service = QPointer<PluginManagementService>(&service)] {
        return service && service->isReadyForPrivilegedRequests();
    };
}

// The road of one kind: `begin` asks the store, then the service sends and the store completes, each
// through its overload for the request type.
template <class Request, class Result, class Begin>
PrivilegedActionRoad<Request, Result> makeRoad(PluginInventoryStore& store, PluginManagementService& service,
                                               Begin begin) {
    return {readiness(service), std::move(begin),
            [&service](const Request& request, std::function<void(const Result&)> completion) {
                service.send(request, std::move(completion));
            },
            completeThrough<Request, Result>(store)};
}

} // namespace

std::vector<PluginBundleSelection> selectionsHeldNow(std::vector<PluginBundleSelection> named,
                                                     const PluginList& plugins) {
    // The products holding each named bundle: first among the named products, which is enough
    // unless the inventory changed beneath the confirmation.
    QSet<QUuid> namedProducts;
    QHash<QString, QList<QUuid>> holders;
    for (const PluginBundleSelection& selection : named) {
        namedProducts.insert(selection.pluginID);
        holders.insert(selection.bundleID, {});
    }
    const auto collect = [&](const Plugin& plugin) {
        plugin.forEachBundleRecord([&](const PluginBundleRecord& record) {
            const auto found = holders.find(record.id());
            if (found != holders.end() && !found->contains(plugin.id))
                found->append(plugin.id);
        });
    };
    for (const Plugin& plugin : plugins) {
        if (namedProducts.contains(plugin.id))
            collect(plugin);
    }
    const auto heldAsNamed = [&](const PluginBundleSelection& selection) {
        return holders.value(selection.bundleID).contains(selection.pluginID);
    };
    if (std::ranges::all_of(named, heldAsNamed))
        return named;
    for (const Plugin& plugin : plugins) {
        if (!namedProducts.contains(plugin.id))
            collect(plugin);
    }
    for (PluginBundleSelection& selection : named) {
        const QList<QUuid> holding = holders.value(selection.bundleID);
        if (!holding.contains(selection.pluginID) && holding.size() == 1)
            selection.pluginID = holding.front();
    }
    return named;
}

// The road of a kind that acts on bundle selections: it begins with the bundles the selections
// name in the inventory as it is then.
template <PrivilegedKind kind>
PrivilegedActionRoad<PrivilegedRequest<kind>, PrivilegedResult<kind>>
selectionRoad(PluginInventoryStore& store, PluginManagementService& service,
              std::vector<PluginBundleSelection> selections) {
    return makeRoad<PrivilegedRequest<kind>, PrivilegedResult<kind>>(
        store, service, [&store, selections = std::move(selections)](auto send) {
            store.beginPrivileged<kind>(selectionsHeldNow(selections, store.plugins()), {}, std::move(send));
        });
}

QuarantineRoad quarantineRoad(PluginInventoryStore& store, PluginManagementService& service,
                              std::vector<PluginBundleSelection> selections) {
    return selectionRoad<PrivilegedKind::quarantine>(store, service, std::move(selections));
}

RestoreRoad restoreRoad(PluginInventoryStore& store, PluginManagementService& service,
                        std::vector<PluginBundleSelection> selections) {
    return selectionRoad<PrivilegedKind::restore>(store, service, std::move(selections));
}

TrashRoad trashRoad(PluginInventoryStore& store, PluginManagementService& service,
                    std::vector<PluginBundleSelection> selections) {
    return selectionRoad<PrivilegedKind::trash>(store, service, std::move(selections));
}

TrashRecoveryRoad trashRecoveryRoad(PluginInventoryStore& store, PluginManagementService& service,
                                    std::vector<QUuid> recordIDs) {
    return makeRoad<PrivilegedTrashRestoreRequest, PrivilegedTrashRestoreResult>(
        store, service, [&store, recordIDs = std::move(recordIDs)](auto send) {
            store.beginTrashRecovery(recordIDs, std::move(send));
        });
}

} // namespace quorvane
