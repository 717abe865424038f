#include "App/RootViewObjects.h"
#include "App/RootView.h"
#include "IsolatedRootObjects.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

QPixmap noImage(const QString&) {
    return {};
}

TEST(RootViewObjects, TheViewMakesStoreThenFolderAccessThenServiceOnceAndOwnsThem) {
    testing::IsolatedRootObjects isolated;
    const RootViewObjects inner = isolated.objects();
    QStringList made;
    PluginInventoryStore* store = nullptr;
    PluginFolderAccess* folders = nullptr;
    RootViewObjects recorded;
    recorded.makeInventoryStore = [&] {
        made << QStringLiteral("store");
        auto object = inner.makeInventoryStore();
        store = object.get();
        return object;
    };
    recorded.makeFolderAccess = [&] {
        made << QStringLiteral("folderAccess");
        auto object = inner.makeFolderAccess();
        folders = object.get();
        return object;
    };
    PluginManagementService* service = nullptr;
    recorded.makeManagementService = [&] {
        made << QStringLiteral("service");
        auto object = inner.makeManagementService();
        service = object.get();
        return object;
    };
    QPointer<PluginInventoryStore> storeAlive;
    {
        RootView view(recorded, &noImage);
        EXPECT_EQ(made, (QStringList{QStringLiteral("store"), QStringLiteral("folderAccess"),
                                     QStringLiteral("service")}));
        EXPECT_EQ(&view.managementService(), service);
        EXPECT_EQ(&view.inventoryStore(), store);
        EXPECT_EQ(&view.folderAccess(), folders);
        storeAlive = store;

        // Switching sections never makes the objects again.
        const qsizetype madeAtLaunch = made.size();
        for (AppSection section : allAppSections())
            view.navigation().setSection(section);
        QApplication::processEvents();
        EXPECT_EQ(made.size(), madeAtLaunch);
        EXPECT_EQ(&view.inventoryStore(), store);
    }
    EXPECT_TRUE(storeAlive.isNull());
}

TEST(RootViewObjects, TheStoreReadsTheInjectedStateFolderNotTheUsers) {
    testing::IsolatedRootObjects isolated;
    PersistedInventory state;
    state.schemaVersion = currentInventorySchemaVersion;
    ASSERT_TRUE(isolated.writeState(state));
    RootView view(isolated.objects(), &noImage);
    EXPECT_EQ(view.inventoryStore().environment().applicationSupport, isolated.applicationSupport());
    EXPECT_TRUE(view.inventoryStore().plugins().empty());
    EXPECT_FALSE(view.inventoryStore().environment().roots.isProduction());
}

} // namespace
} // namespace quorvane
