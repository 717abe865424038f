#pragma once

#include "Discovery/PluginFolderAccess.h"
#include "HelperClient/PluginManagementService.h"
#include "Store/PluginInventoryStore.h"
#include "Store/StoreEnvironment.h"
#include "Views/Screens/Shared/ScreenServices.h"

#include <functional>
#include <memory>

namespace quorvane {

// How the root view makes its three long-lived objects. It calls each factory once, in the order
// of the fields, and owns what they return for its whole life. The screens' services come along.
struct RootViewObjects {
    std::function<std::unique_ptr<PluginInventoryStore>()> makeInventoryStore;
    std::function<std::unique_ptr<PluginFolderAccess>()> makeFolderAccess;
    std::function<std::unique_ptr<PluginManagementService>()> makeManagementService;
    // The save panel, clipboard and formatters every screen gets; tests put fakes here.
    ScreenServices screenServices = ScreenServices::production();

    // The user's state and settings, the literal system folders, the file dialog as the folder
    // panel and the installed helper; the state file written by `writeStateFile` (empty: directly).
    static RootViewObjects production(StoreEnvironment::StateFileWriter writeStateFile = {});
    // A store over `store`, folder access with `folderAccess` and the service that
    // `makeManagementService` makes.
    static RootViewObjects
    with(StoreEnvironment store, PluginFolderAccess::Services folderAccess,
         std::function<std::unique_ptr<PluginManagementService>()> makeManagementService);
};

} // namespace quorvane
