#pragma once

#include "App/RootViewObjects.h"
#include "Discovery/FolderSecurityScope.h"
#include "Persistence/StateFile.h"
#include "Persistence/StateFileLocations.h"
#include "Shared/SystemRoots.h"
#include "Support/Fixtures/TemporaryTree.h"

#include <QSettings>

#include <memory>

namespace quorvane::testing {

// Answers the folder panel with a fixed choice.
class AnsweringFolderPicker : public FolderPicker {
public:
    std::optional<QList<QUrl>> answer;
    int asked = 0;
    std::optional<QList<QUrl>> chooseFolders(const FolderPickerRequest&) override {
        ++asked;
        return answer;
    }
};

// A helper service that is not registered: it never connects and never runs systemctl.
class UnregisteredServiceRegistry : public ServiceRegistry {
public:
    explicit UnregisteredServiceRegistry(QString socketPath) : m_socketPath(std::move(socketPath)) {}
    ServiceRegistrationStatus status() override { return ServiceRegistrationStatus::notRegistered; }
    void registerService(Completion done) override {
        done(std::unexpected(ServiceRegistryError::unitMissing));
    }
    void unregisterService(Completion done) override { done({}); }
    HelperEndpoint endpoint() const override { return {m_socketPath, 0}; }

private:
    QString m_socketPath;
};

// The root view's three objects with everything beneath one temporary folder: the state file,
// the system roots, the home folder, the settings and the helper's socket.
class IsolatedRootObjects {
public:
    TemporaryTree tree;
    std::shared_ptr<AnsweringFolderPicker> picker = std::make_shared<AnsweringFolderPicker>();

    QString applicationSupport() const { return tree.path(QStringLiteral("data")); }
    SystemRoots roots() const { return SystemRoots::underPrefix(tree.makeDirectory(QStringLiteral("root"))); }
    QString home() const { return tree.makeDirectory(QStringLiteral("home")); }
    QString stateFile() const { return inventoryStateFileURL(applicationSupport()); }

    bool writeState(const PersistedInventory& state) const {
        tree.makeDirectory(QStringLiteral("data/Quorvane"));
        return writeStateFile(state, stateFile()).has_value();
    }

    StoreEnvironment storeEnvironment() const {
        return StoreEnvironment::isolated(applicationSupport(), roots(), home());
    }

    PluginFolderAccess::Services folderServices() const {
        return {std::make_shared<QSettings>(tree.path(QStringLiteral("settings.ini")), QSettings::IniFormat),
                picker, std::make_shared<PlatformFolderSecurityScope>()};
    }

    RootViewObjects objects() const {
        return RootViewObjects::with(
            storeEnvironment(), folderServices(),
            [socket = tree.path(QStringLiteral("helper.sock")), prefix = tree.path()] {
                return std::make_unique<PluginManagementService>(
                    std::make_unique<UnregisteredServiceRegistry>(socket),
                    [](const HelperEndpoint&) { return nullptr; }, InstallLayout{prefix});
            });
    }
};

} // namespace quorvane::testing
