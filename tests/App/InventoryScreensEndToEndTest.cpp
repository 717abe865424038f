// The quarantine, Trash recovery and permanent-quarantine screens driven through the real window
// in the sandbox, with the testbed as the helper; each case checks the disk, the state file and the
// history afterwards.

#include "App/RootView.h"
#include "App/Sandbox/Sandbox.h"
#include "Persistence/StateFile.h"
#include "Platform/HomeTrash.h"
#include "Support/Fixtures/TemporaryTree.h"
#include "Support/Paths.h"
#include "Views/Kit/TrashConfirmationSheet.h"
#include "Views/Screens/PermanentQuarantine/PermanentQuarantineView.h"
#include "Views/Screens/Quarantine/QuarantineView.h"
#include "Views/Screens/TrashRecovery/TrashRecoveryView.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTableView>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

bool exists(const QString& path) {
    return QFileInfo::exists(path);
}

class InventoryScreensEndToEnd : public ::testing::Test {
protected:
    void open(Sandbox::Options options = {}) {
        auto made = Sandbox::create(dir.path(QStringLiteral("sandbox")), std::move(options));
        ASSERT_TRUE(made) << made.error().toStdString();
        sandbox = std::move(*made);
        window = std::make_unique<RootView>(sandbox->objects());
        window->resize(1440, 900);
        window->show();
        ASSERT_TRUE(Sandbox::waitUntil([&] { return service().helperIsReachable(); }))
            << service().lastError().value_or(QString()).toStdString();
        scan();
    }
    void TearDown() override { window.reset(); }

    PluginInventoryStore& store() { return window->inventoryStore(); }
    PluginManagementService& service() { return window->managementService(); }
    void scan() {
        store().startScan(window->folderAccess().authorizedFolders(), &service());
        ASSERT_TRUE(Sandbox::waitUntil([&] { return !store().isScanning() && !service().isWorking(); }));
    }
    Plugin product(const QString& name) {
        for (const Plugin& plugin : store().plugins())
            if (plugin.name == name)
                return plugin;
        ADD_FAILURE() << "no product " << name.toStdString();
        return {};
    }
    // Quarantines one bundle of a product through the store and the helper, as the inventory
    // screen would; one bundle per transaction.
    void quarantine(const QString& name, const QString& format) {
        const Plugin plugin = product(name);
        for (const PluginBundleRecord& record : plugin.bundleRecords()) {
            if (record.format != format)
                continue;
            const auto request =
                store().beginPrivileged<PrivilegedKind::quarantine>({{plugin.id, record.id()}});
            ASSERT_TRUE(request) << store().lastOperationError().value_or(QString()).toStdString();
            std::optional<bool> committed;
            service().send(*request, [&](const PrivilegedQuarantineResult& result) {
                store().completePrivileged(result, request->transactionID, request->items,
                                           [&](bool value) { committed = value; });
            });
            ASSERT_TRUE(Sandbox::waitUntil([&] { return committed.has_value(); }));
            ASSERT_TRUE(*committed);
            return;
        }
        ADD_FAILURE() << "no " << format.toStdString() << " bundle of " << name.toStdString();
    }
    template <class View>
    View* show(AppSection section) {
        window->navigation().setSection(section);
        QApplication::processEvents();
        return qobject_cast<View*>(window->currentScreen());
    }
    // Ticks the rows of these products in the quarantine table, as a user's clicks would.
    void tick(QuarantineView* view, const QStringList& names) {
        auto* table = view->findChild<QTableView*>(QStringLiteral("pluginTableView"));
        ASSERT_NE(table, nullptr);
        for (int row = 0; row < table->model()->rowCount(); ++row) {
            if (names.contains(table->model()->index(row, 0).data().toString()))
                table->selectionModel()->select(table->model()->index(row, 0),
                                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    void click(QWidget* root, const QString& name) {
        auto* button = root->findChild<QPushButton*>(name);
        ASSERT_NE(button, nullptr) << name.toStdString();
        ASSERT_TRUE(button->isEnabled()) << name.toStdString();
        button->click();
        QApplication::processEvents();
    }
    // Presses the action of the alert open in the window.
    void confirmAlert(const QString& name) {
        QMessageBox* alert = nullptr;
        for (QMessageBox* box : window->findChildren<QMessageBox*>(name))
            if (box->isVisible())
                alert = box;
        ASSERT_NE(alert, nullptr) << name.toStdString();
        click(alert, QStringLiteral("actionButton"));
    }
    void waitForNotice(const QString& title) {
        EXPECT_TRUE(Sandbox::waitUntil([&] {
            return !service().isWorking() && store().notice() && store().notice()->title == title;
        })) << (store().notice()
                    ? store().notice()->title.toStdString() + ": " + store().notice()->message.toStdString()
                    : std::string("no notice"));
    }
    PersistedInventory stateFile() const {
        auto state = readStateFile(sandbox->stateFile());
        EXPECT_TRUE(state.has_value());
        return state.value_or(PersistedInventory{});
    }
    static const Plugin* find(const PersistedInventory& state, const QString& name) {
        for (const Plugin& plugin : state.plugins)
            if (plugin.name == name)
                return &plugin;
        return nullptr;
    }
    static std::vector<TrashedBundleRecord> trashed(const PersistedInventory& state) {
        return state.trashedBundles.value_or(std::vector<TrashedBundleRecord>{});
    }
    static std::vector<HistoryKind> kinds(const std::vector<HistoryItem>& history, std::size_t count) {
        std::vector<HistoryKind> result;
        for (std::size_t index = 0; index < std::min(count, history.size()); ++index)
            result.push_back(history[index].kind);
        return result;
    }

    testing::TemporaryTree dir;
    std::unique_ptr<Sandbox> sandbox;
    std::unique_ptr<RootView> window;
};

TEST_F(InventoryScreensEndToEnd, RestoreReturnsAQuarantinedBundleToItsRecordedOriginalLocation) {
    open();
    quarantine(QStringLiteral("Pro-R 2"), QStringLiteral("VST3"));
    const PluginBundleRecord held = product(QStringLiteral("Pro-R 2")).bundleRecords().at(0);
    ASSERT_TRUE(held.isQuarantined());
    ASSERT_FALSE(exists(*held.originalPath));

    auto* view = show<QuarantineView>(AppSection::quarantine);
    ASSERT_NE(view, nullptr);
    tick(view, {QStringLiteral("Pro-R 2")});
    click(view, QStringLiteral("restoreSelectedButton"));
    confirmAlert(QStringLiteral("confirmationAlert"));
    waitForNotice(QStringLiteral("Plugins Restored"));

    EXPECT_TRUE(exists(*held.originalPath));
    EXPECT_FALSE(exists(*held.quarantinePath));
    EXPECT_TRUE(view->model().selectedPluginIDs().isEmpty());
    const PersistedInventory state = stateFile();
    const Plugin* restored = find(state, QStringLiteral("Pro-R 2"));
    ASSERT_NE(restored, nullptr);
    EXPECT_FALSE(restored->bundleRecords().at(0).isQuarantined());
    EXPECT_EQ(restored->bundleRecords().at(0).path, *held.originalPath);
    EXPECT_FALSE(state.pendingPrivilegedRestore.has_value());
    EXPECT_EQ(kinds(state.history, 2),
              (std::vector<HistoryKind>{HistoryKind::restore, HistoryKind::quarantine}));
}

TEST_F(InventoryScreensEndToEnd, ABundleMovedToTheTrashComesBackFromTrashRecovery) {
    open();
    quarantine(QStringLiteral("Pro-R 2"), QStringLiteral("VST3"));
    const PluginBundleRecord held = product(QStringLiteral("Pro-R 2")).bundleRecords().at(0);

    auto* quarantineView = show<QuarantineView>(AppSection::quarantine);
    ASSERT_NE(quarantineView, nullptr);
    tick(quarantineView, {QStringLiteral("Pro-R 2")});
    click(quarantineView, QStringLiteral("trashSelectedButton"));
    TrashSheetFrame* sheet = quarantineView->batchTrashSheet();
    ASSERT_NE(sheet, nullptr);
    sheet->acknowledgement()->setChecked(true);
    sheet->confirmButton()->click();
    waitForNotice(QStringLiteral("Plugins Moved to Finder Trash"));

    ASSERT_EQ(store().trashedBundles().size(), 1u);
    const TrashedBundleRecord trashed = store().trashedBundles()[0];
    const QString name = lastPathComponent(trashed.trashPath);
    const QString info = HomeTrash::infoFolder(sandbox->home) + u'/' + name + QStringLiteral(".trashinfo");
    EXPECT_TRUE(exists(trashed.trashPath));
    EXPECT_TRUE(exists(info));
    EXPECT_FALSE(exists(*held.quarantinePath));
    EXPECT_EQ(trashed.originalPath, *held.originalPath);
    PersistedInventory state = stateFile();
    ASSERT_EQ(InventoryScreensEndToEnd::trashed(state).size(), 1u);
    EXPECT_EQ(InventoryScreensEndToEnd::trashed(state)[0].trashPath, trashed.trashPath);
    EXPECT_EQ(state.history.at(0).kind, HistoryKind::trash);

    auto* recovery = show<TrashRecoveryView>(AppSection::trashRecovery);
    ASSERT_NE(recovery, nullptr);
    auto* row = recovery->findChild<QWidget*>(QStringLiteral("trashRecoveryRow"));
    ASSERT_NE(row, nullptr);
    click(row, QStringLiteral("restoreFormatButton"));
    confirmAlert(QStringLiteral("trashRecoveryAlert"));
    waitForNotice(QStringLiteral("Plugins Restored from Finder Trash"));

    EXPECT_TRUE(exists(trashed.originalPath));
    EXPECT_FALSE(exists(trashed.trashPath));
    EXPECT_FALSE(exists(info));
    EXPECT_EQ(recovery->model().entries().at(0).state, TrashRecoveryState::alreadyRestored);
    state = stateFile();
    ASSERT_EQ(InventoryScreensEndToEnd::trashed(state).size(), 1u);
    EXPECT_TRUE(InventoryScreensEndToEnd::trashed(state)[0].reconciledDate.has_value());
    EXPECT_FALSE(state.pendingPrivilegedTrashRestore.has_value());
    EXPECT_EQ(state.history.at(0).kind, HistoryKind::trashRestore);
}

TEST_F(InventoryScreensEndToEnd, AFailedSecondMoveLeavesEveryBundleAndTheSelectionWhereTheyWere) {
    Sandbox::Options options;
    options.testbedArguments = {QStringLiteral("--fail-move"), QStringLiteral("2")};
    open(options);
    quarantine(QStringLiteral("Massive"), QStringLiteral("VST2"));
    quarantine(QStringLiteral("Massive"), QStringLiteral("VST3"));
    quarantine(QStringLiteral("Pro-R 2"), QStringLiteral("VST3"));
    std::vector<PluginBundleRecord> held = product(QStringLiteral("Massive")).bundleRecords();
    held.push_back(product(QStringLiteral("Pro-R 2")).bundleRecords().at(0));
    const std::size_t historyBefore = store().history().size();

    auto* view = show<QuarantineView>(AppSection::quarantine);
    ASSERT_NE(view, nullptr);
    tick(view, {QStringLiteral("Massive"), QStringLiteral("Pro-R 2")});
    ASSERT_EQ(view->model().selectedQuarantinedBundleCount(), 3);
    click(view, QStringLiteral("restoreSelectedButton"));
    confirmAlert(QStringLiteral("confirmationAlert"));
    waitForNotice(QStringLiteral("Restore Failed Safely"));

    for (const PluginBundleRecord& record : held) {
        EXPECT_TRUE(exists(*record.quarantinePath)) << record.quarantinePath->toStdString();
        EXPECT_FALSE(exists(*record.originalPath)) << record.originalPath->toStdString();
    }
    EXPECT_EQ(view->model().selectedPluginIDs().size(), 2);
    EXPECT_EQ(view->model().selectedQuarantinedBundleCount(), 3);
    const PersistedInventory state = stateFile();
    EXPECT_FALSE(state.pendingPrivilegedRestore.has_value());
    for (const QString& name : {QStringLiteral("Massive"), QStringLiteral("Pro-R 2")}) {
        const Plugin* plugin = find(state, name);
        ASSERT_NE(plugin, nullptr);
        for (const PluginBundleRecord& record : plugin->bundleRecords())
            EXPECT_TRUE(record.isQuarantined()) << name.toStdString();
    }
    EXPECT_EQ(state.history.size(), historyBefore);
}

TEST_F(InventoryScreensEndToEnd, APermanentRuleSendsAReinstalledCopyBackToQuarantineAndTheOldOneToTheTrash) {
    open();
    quarantine(QStringLiteral("Pro-R 2"), QStringLiteral("VST3"));
    const PluginBundleRecord old = product(QStringLiteral("Pro-R 2")).bundleRecords().at(0);

    auto* rules = show<PermanentQuarantineView>(AppSection::permanentQuarantine);
    ASSERT_NE(rules, nullptr);
    QCheckBox* toggle = nullptr;
    for (QWidget* row : rules->findChildren<QWidget*>(QStringLiteral("ruleRow")))
        if (row->property("manufacturer").toString() == QStringLiteral("FabFilter"))
            toggle = row->findChild<QCheckBox*>(QStringLiteral("ruleSwitch"));
    ASSERT_NE(toggle, nullptr);
    toggle->click();
    store().waitForIdle();
    ASSERT_TRUE(store().notice());
    EXPECT_EQ(store().notice()->title, QStringLiteral("Permanent Quarantine Enabled"));
    EXPECT_TRUE(store().isPermanentQuarantineEnabled(QStringLiteral("FabFilter")));

    // An installer puts the same bundle back into a vendor folder of the same plug-in folder (one
    // at the very original path would show only as the quarantined record), then a scan runs.
    const QString reinstalled = deletingLastPathComponent(*old.originalPath) + QStringLiteral("/FabFilter/") +
                                lastPathComponent(*old.originalPath);
    ASSERT_TRUE(QDir().mkpath(deletingLastPathComponent(reinstalled)));
    ASSERT_EQ(
        QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), *old.quarantinePath, reinstalled}), 0);
    scan();
    // Each phase leaves once the one before is on disk; no journal is left when both are done.
    ASSERT_TRUE(Sandbox::waitUntil([&] {
        return !service().isWorking() && store().trashedBundles().size() == 1 &&
               !store().hasPendingPrivilegedTransaction();
    }));

    const TrashedBundleRecord trashed = store().trashedBundles()[0];
    EXPECT_EQ(trashed.originalPath, *old.originalPath);
    EXPECT_TRUE(exists(trashed.trashPath));
    EXPECT_FALSE(exists(*old.quarantinePath));
    EXPECT_FALSE(exists(reinstalled));
    const PluginBundleRecord fresh = product(QStringLiteral("Pro-R 2")).bundleRecords().at(0);
    ASSERT_TRUE(fresh.isQuarantined());
    EXPECT_NE(fresh.quarantinePath, old.quarantinePath);
    EXPECT_TRUE(exists(*fresh.quarantinePath));
    EXPECT_EQ(fresh.originalPath, reinstalled);
    // The rest of that manufacturer's products stay installed.
    for (const PluginBundleRecord& record : product(QStringLiteral("Pro-Q 3")).bundleRecords())
        EXPECT_TRUE(exists(record.path)) << record.path.toStdString();

    const PersistedInventory state = stateFile();
    ASSERT_EQ(state.permanentQuarantineRules.value_or(std::vector<PermanentQuarantineRule>{}).size(), 1u);
    ASSERT_EQ(InventoryScreensEndToEnd::trashed(state).size(), 1u);
    const Plugin* stored = find(state, QStringLiteral("Pro-R 2"));
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->bundleRecords().at(0).quarantinePath, fresh.quarantinePath);
    std::vector<HistoryKind> recorded;
    for (const HistoryItem& item : state.history)
        recorded.push_back(item.kind);
    EXPECT_NE(std::ranges::find(recorded, HistoryKind::trash), recorded.end());
    EXPECT_GE(std::ranges::count(recorded, HistoryKind::quarantine), 2);
}

} // namespace
} // namespace quorvane
