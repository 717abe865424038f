#include "App/RootViewObjects.h"

#include "App/FileDialogFolderPicker.h"
#include "HelperClient/LaunchHandshake.h"

namespace quorvane {

RootViewObjects RootViewObjects::production(StoreEnvironment::StateFileWriter writeStateFile) {
    StoreEnvironment store = StoreEnvironment::production();
    store.writeStateFile = std::move(writeStateFile);
    store.helperHandshake = productionLaunchHandshake();
    return with(std::move(store),
                PluginFolderAccess::Services::production(std::make_shared<FileDialogFolderPicker>()),
                [] { return PluginManagementService::production(); });
}

RootViewObjects
RootViewObjects::with(StoreEnvironment store, PluginFolderAccess::Services folderAccess,
                      std::function<std::unique_ptr<PluginManagementService>()> makeManagementService) {
    RootViewObjects objects;
    objects.makeInventoryStore = [store = std::move(store)] {
        return std::make_unique<PluginInventoryStore>(store);
    };
    objects.makeFolderAccess = [folderAccess = std::move(folderAccess)] {
        return std::make_unique<PluginFolderAccess>(folderAccess);
    };
    objects.makeManagementService = std::move(makeManagementService);
    return objects;
}

} // namespace quorvane
