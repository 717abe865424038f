// The Inventory screen driven through the real window in the sandbox, with the testbed as the
// helper: a scan of the sample tree, a filter, a selection and a batch quarantine, then the disk,
// the state file and the history.

#include "App/RootView.h"
#include "App/Sandbox/Sandbox.h"
#include "Persistence/StateFile.h"
#include "Support/Fixtures/TemporaryTree.h"
#include "Views/Kit/FilterMenu.h"
#include "Views/Kit/PluginTable.h"
#include "Views/Kit/PluginTableModel.h"
#include "Views/Screens/Inventory/InventoryView.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(InventoryEndToEnd, AFilteredSelectionGoesToQuarantineThroughTheHelper) {
    testing::TemporaryTree dir;
    auto made = Sandbox::create(dir.path(QStringLiteral("sandbox")));
    ASSERT_TRUE(made) << made.error().toStdString();
    const std::unique_ptr<Sandbox> sandbox = std::move(*made);
    RootView window(sandbox->objects());
    window.resize(1440, 900);
    window.show();
    PluginInventoryStore& store = window.inventoryStore();
    PluginManagementService& service = window.managementService();
    ASSERT_TRUE(Sandbox::waitUntil([&] { return service.helperIsReachable(); }));
    auto* view = qobject_cast<InventoryView*>(window.currentScreen());
    ASSERT_NE(view, nullptr);

    // Scan from the toolbar.
    auto* scan = view->findChild<QPushButton*>(QStringLiteral("scanPluginsButton"));
    ASSERT_TRUE(scan->isEnabled());
    scan->click();
    ASSERT_TRUE(Sandbox::waitUntil([&] { return !store.isScanning() && !service.isWorking(); }));
    EXPECT_TRUE(store.lastScanDate().has_value());
    EXPECT_TRUE(view->findChild<QPushButton*>(QStringLiteral("exportCSVButton"))->isEnabled());

    // Only the native products, by the architecture filter.
    auto* architecture = view->findChild<FilterMenu*>(QStringLiteral("architectureFilter"));
    ASSERT_NE(architecture, nullptr);
    QAction* native = nullptr;
    for (QAction* action : architecture->menu()->actions())
        if (action->text() == QLatin1String("Apple Silicon"))
            native = action;
    ASSERT_NE(native, nullptr);
    native->trigger();
    QApplication::processEvents();
    const MultiSelectPluginTable* rows = view->table();
    QStringList shown;
    for (int row = 0; row < rows->shownRowCount(); ++row)
        shown << rows->shownPlugin(row).name;
    shown.sort();
    ASSERT_EQ(shown, (QStringList{QStringLiteral("Pro-R 2"), QStringLiteral("Surge XT")}));

    // Both rows, then "Quarantine Selected…" and the alert's action.
    view->table()->view()->selectAll();
    QApplication::processEvents();
    std::vector<PluginBundleRecord> chosen;
    for (const Plugin& plugin : view->model().selectedPlugins())
        for (const PluginBundleRecord& record : plugin.bundleRecords())
            chosen.push_back(record);
    ASSERT_EQ(chosen.size(), 3u);
    auto* quarantine = view->findChild<QPushButton*>(QStringLiteral("quarantineSelectedButton"));
    ASSERT_NE(quarantine, nullptr);
    ASSERT_TRUE(quarantine->isEnabled());
    quarantine->click();
    auto* alert = view->findChild<QMessageBox*>(QStringLiteral("batchQuarantineAlert"));
    ASSERT_NE(alert, nullptr);
    EXPECT_TRUE(alert->informativeText().startsWith(QStringLiteral(
        "Quorvane will move 2 selected plugins (3 format bundles) into reversible quarantine.")));
    alert->findChild<QPushButton*>(QStringLiteral("actionButton"))->click();
    ASSERT_TRUE(Sandbox::waitUntil([&] {
        return !service.isWorking() && store.notice() &&
               store.notice()->title == QLatin1String("Plugins Moved to Quarantine");
    })) << (store.notice() ? store.notice()->message.toStdString() : std::string("no notice"));
    QApplication::processEvents();

    // The screen: nothing selected, the two products gone from the active rows.
    EXPECT_TRUE(view->model().selectedPluginIDs().isEmpty());
    EXPECT_EQ(window.navigation().selectedPlugin(), std::nullopt);
    EXPECT_EQ(rows->shownRowCount(), 0);

    // The disk and the state file: every bundle sits in the quarantine folder, none where it was.
    const auto state = readStateFile(sandbox->stateFile());
    ASSERT_TRUE(state.has_value());
    EXPECT_FALSE(state->pendingPrivilegedQuarantine.has_value());
    int quarantinedRecords = 0;
    for (const Plugin& plugin : state->plugins) {
        for (const PluginBundleRecord& record : plugin.bundleRecords()) {
            for (const PluginBundleRecord& before : chosen) {
                if (record.id() != before.id())
                    continue;
                ++quarantinedRecords;
                ASSERT_TRUE(record.isQuarantined()) << record.path.toStdString();
                EXPECT_TRUE(QFileInfo::exists(*record.quarantinePath))
                    << record.quarantinePath->toStdString();
                EXPECT_FALSE(QFileInfo::exists(before.path)) << before.path.toStdString();
            }
        }
    }
    EXPECT_EQ(quarantinedRecords, 3);
    // The history: one quarantine line per bundle, newest first.
    ASSERT_GE(state->history.size(), 3u);
    for (std::size_t index = 0; index < 3; ++index)
        EXPECT_EQ(state->history[index].kind, HistoryKind::quarantine);
}

} // namespace
} // namespace quorvane
