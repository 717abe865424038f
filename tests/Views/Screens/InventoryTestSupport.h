#pragma once

#include "Discovery/FolderSecurityScope.h"
#include "Discovery/PluginFolderAccess.h"
#include "HelperClient/FakeHelperClient.h"
#include "ScreenTestSupport.h"
#include "Store/StoreTransactionSupport.h"
#include "Views/Screens/Inventory/InventoryView.h"

#include <QSettings>

#include <condition_variable>
#include <mutex>

namespace quorvane::testing {

class NoFolderPicker : public FolderPicker {
public:
    std::optional<QList<QUrl>> answer;
    std::optional<QList<QUrl>> chooseFolders(const FolderPickerRequest&) override { return answer; }
};

// Holds a scan after its first progress report until the test lets it finish or cancels it.
class ScanHold {
public:
    void release() {
        const std::lock_guard guard(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }
    StoreEnvironment::ScanFunction function(std::optional<ScanProgress> report) {
        return [this, report](const QList<QUrl>&, ScanControl& control,
                              const PluginScanner::ProgressCallback& progress) {
            if (report)
                progress(*report);
            std::unique_lock guard(m_mutex);
            while (!m_released && !control.isCancellationRequested())
                m_changed.wait_for(guard, std::chrono::milliseconds(5));
            ScanSummary summary;
            summary.wasCancelled = control.isCancellationRequested();
            return summary;
        };
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_released = false;
};

// The Inventory view-model over a store on a temporary machine, a helper service on fake
// connections and folder access on temporary settings; the root view's two bindings are plain
// values here.
class InventoryFixture : public TransactionStoreTest {
protected:
    void TearDown() override {
        model.reset();
        folderAccess.reset();
        TransactionStoreTest::TearDown();
        service.reset();
    }

    // Opens the store on `plugins` (with `adjust`), then the service (ready unless told) and the
    // model.
    void openScreen(const std::vector<Plugin>& plugins,
                    ServiceRegistrationStatus status = ServiceRegistrationStatus::enabled,
                    const std::function<void(PersistedInventory&)>& adjust = {}) {
        // A previous store's last write must land before this file is written, never after it.
        if (store)
            store->waitForIdle();
        PersistedInventory state = stateWith(plugins);
        if (adjust)
            adjust(state);
        ASSERT_TRUE(writeStateFile(state, statePath()).has_value());
        StoreEnvironment environment = isolatedEnvironment();
        if (scan)
            environment.scan = scan;
        store = std::make_unique<PluginInventoryStore>(environment);
        registry->status = status;
        service =
            std::make_unique<PluginManagementService>(std::make_unique<FakeServiceRegistry>(registry),
                                                      connections.factory(), InstallLayout{tree.path()});
        if (status == ServiceRegistrationStatus::enabled) {
            connections.last().reply(0, {QStringLiteral("QuorvaneHelper"), QStringLiteral("40")});
            drainEvents();
        }
        folderAccess = std::make_unique<PluginFolderAccess>(PluginFolderAccess::Services{
            std::make_shared<QSettings>(tree.path(QStringLiteral("settings.ini")), QSettings::IniFormat),
            picker, std::make_shared<PlatformFolderSecurityScope>()});
        openModel();
    }

    // The model over the current store, shown.
    void openModel() {
        model = std::make_unique<InventoryViewModel>(
            *folderAccess, *service, *store,
            Binding<std::optional<Plugin>>{[this] { return inspected; },
                                           [this](std::optional<Plugin> plugin) { inspected = plugin; }},
            Binding<QString>{[this] { return searchText; }, [this](QString text) { searchText = text; }},
            fakes.services());
        model->appear();
    }

    QSet<QUuid> ids(std::initializer_list<Plugin> plugins) const {
        QSet<QUuid> set;
        for (const Plugin& plugin : plugins)
            set.insert(plugin.id);
        return set;
    }
    QStringList names(const std::vector<Plugin>& plugins) const {
        QStringList list;
        for (const Plugin& plugin : plugins)
            list << plugin.name;
        return list;
    }
    // The call the service made for the last request.
    FakeConnectionState& helper() { return connections.last(); }

    std::optional<Plugin> inspected;
    QString searchText;
    FakeScreenServices fakes;
    std::shared_ptr<NoFolderPicker> picker = std::make_shared<NoFolderPicker>();
    std::shared_ptr<FakeRegistryState> registry = std::make_shared<FakeRegistryState>();
    FakeConnections connections;
    StoreEnvironment::ScanFunction scan;
    std::unique_ptr<PluginManagementService> service;
    std::unique_ptr<PluginFolderAccess> folderAccess;
    std::unique_ptr<InventoryViewModel> model;
};

// A product with the given formats, architecture and status, its records made from `paths`
// (nothing on disk).
inline Plugin listed(const QString& name, const QString& manufacturer, const QStringList& formats,
                     const QString& architecture = QStringLiteral("Universal"),
                     PluginStatus status = PluginStatus::ok) {
    std::vector<PluginBundleRecord> records;
    for (const QString& format : formats)
        records.push_back(bundleRecord(format, QStringLiteral("/Library/Audio/Plug-Ins/") + format + u'/' +
                                                   name + u'.' + format.toLower()));
    Plugin plugin = productOfRecords(name, manufacturer, std::move(records), {.architecture = architecture});
    plugin.status = status;
    return plugin;
}

} // namespace quorvane::testing
