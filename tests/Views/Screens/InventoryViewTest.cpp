#include "InventoryTestSupport.h"
#include "Views/Kit/BatchSelectionBar.h"
#include "Views/Kit/FilterMenu.h"
#include "Views/Kit/InfoBar.h"
#include "Views/Kit/PluginDetailPane.h"
#include "Views/Kit/PluginTable.h"
#include "Views/Kit/PluginTableModel.h"
#include "Views/Kit/TextStyle.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

class InventoryViewTest : public InventoryFixture {
protected:
    void TearDown() override {
        view.reset();
        InventoryFixture::TearDown();
    }
    void show(const std::vector<Plugin>& plugins,
              ServiceRegistrationStatus status = ServiceRegistrationStatus::enabled,
              const std::function<void(PersistedInventory&)>& adjust = {}) {
        openScreen(plugins, status, adjust);
        model.reset(); // the view makes its own
        view = std::make_unique<InventoryView>(
            *folderAccess, *service, *store,
            Binding<std::optional<Plugin>>{[this] { return inspected; },
                                           [this](std::optional<Plugin> plugin) { inspected = plugin; }},
            Binding<QString>{[this] { return searchText; }, [this](QString text) { searchText = text; }},
            fakes.services());
        view->resize(1300, 900);
        view->show();
        QApplication::processEvents();
    }
    template <class T = QWidget>
    T* find(const QString& name) const {
        return view->findChild<T*>(name);
    }
    bool shown(const QString& name) const {
        QWidget* widget = find(name);
        return widget && widget->isVisibleTo(view.get());
    }
    QStringList rowNames() const {
        QStringList names;
        for (int row = 0; row < view->table()->shownRowCount(); ++row)
            names << view->table()->shownPlugin(row).name;
        return names;
    }

    InventoryViewModel* screenModel() const { return &view->model(); }
    // Selects every row and asks "Quarantine Selected Plugins?".
    QMessageBox* openBatchAlert() {
        view->table()->view()->selectAll();
        QApplication::processEvents();
        find<QPushButton>(QStringLiteral("quarantineSelectedButton"))->click();
        return view->findChild<QMessageBox*>(QStringLiteral("batchQuarantineAlert"));
    }

    std::unique_ptr<InventoryView> view;
};

TEST_F(InventoryViewTest, ShowsTheModelsTextsAndEnableRules) {
    show({listed(QStringLiteral("Alpha"), QStringLiteral("North"),
                 {QStringLiteral("AU"), QStringLiteral("VST3")}),
          listed(QStringLiteral("Beta"), QStringLiteral("South"), {QStringLiteral("VST3")},
                 QStringLiteral("Intel"))},
         ServiceRegistrationStatus::notRegistered);
    EXPECT_EQ(find<QLabel>(QStringLiteral("pageTitle"))->text(), QStringLiteral("Plugin Inventory"));
    EXPECT_EQ(find<QLabel>(QStringLiteral("pageSubtitle"))->text(), screenModel()->subtitle());
    QStringList values;
    for (QLabel* label :
         find(QStringLiteral("metricCards"))->findChildren<QLabel*>(QStringLiteral("metricValue")))
        values << label->text();
    EXPECT_EQ(values, (QStringList{QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("1"),
                                   QStringLiteral("1")}));
    EXPECT_FALSE(find<QPushButton>(QStringLiteral("exportCSVButton"))->isEnabled());
    EXPECT_TRUE(shown(QStringLiteral("scanPluginsButton")));
    EXPECT_FALSE(shown(QStringLiteral("cancelScanButton")));
    EXPECT_FALSE(shown(QStringLiteral("authorizedFoldersLabel")));
    EXPECT_FALSE(shown(QStringLiteral("scanStatusArea")));
    EXPECT_FALSE(shown(QStringLiteral("selectionBlock")));
    ASSERT_TRUE(shown(QStringLiteral("helperBlockingBar")));
    EXPECT_EQ(find<InfoBar>(QStringLiteral("helperBlockingBar"))->text(),
              *screenModel()->helperBlockingText());
    for (const QString& name : {QStringLiteral("formatFilter"), QStringLiteral("manufacturerFilter"),
                                QStringLiteral("architectureFilter"), QStringLiteral("statusFilter")})
        EXPECT_NE(find<FilterMenu>(name), nullptr) << name.toStdString();
    EXPECT_EQ(find<QLineEdit>(QStringLiteral("searchField"))->placeholderText(),
              QStringLiteral("Search plugins…"));
    EXPECT_EQ(find<QLabel>(QStringLiteral("shownCountLabel"))->text(),
              QStringLiteral("2 of 2 active plugins shown"));
    EXPECT_FALSE(shown(QStringLiteral("clearFiltersButton")));
}

TEST_F(InventoryViewTest, TypingFiltersTheRowsAndSelectingShowsTheBatchBar) {
    Plugin guarded = synth(QStringLiteral("Guarded"));
    (*guarded.bundles)[0].isProtected = true;
    show({synth(QStringLiteral("Alpha")), synth(QStringLiteral("Beta")), guarded});
    EXPECT_EQ(rowNames(),
              (QStringList{QStringLiteral("Alpha"), QStringLiteral("Beta"), QStringLiteral("Guarded")}));

    QTest::keyClicks(find<QLineEdit>(QStringLiteral("searchField")), QStringLiteral("ta"));
    EXPECT_EQ(searchText, QStringLiteral("ta"));
    EXPECT_EQ(rowNames(), QStringList{QStringLiteral("Beta")});
    EXPECT_EQ(find<QLabel>(QStringLiteral("shownCountLabel"))->text(),
              QStringLiteral("1 of 3 active plugins shown"));
    ASSERT_TRUE(shown(QStringLiteral("clearFiltersButton")));
    // "Clear Filters" is the one way to clear: the field has no clear button of its own beside it.
    EXPECT_FALSE(find<QLineEdit>(QStringLiteral("searchField"))->isClearButtonEnabled());
    find<QPushButton>(QStringLiteral("clearFiltersButton"))->click();
    EXPECT_EQ(rowNames().size(), 3);
    EXPECT_TRUE(find<QLineEdit>(QStringLiteral("searchField"))->text().isEmpty());

    view->table()->view()->selectAll();
    QApplication::processEvents();
    ASSERT_TRUE(shown(QStringLiteral("selectionBlock")));
    EXPECT_EQ(find<BatchSelectionBar>(QStringLiteral("batchSelectionBar"))->text(),
              QStringLiteral("3 plugins selected"));
    EXPECT_FALSE(find<QPushButton>(QStringLiteral("quarantineSelectedButton"))->isEnabled());
    EXPECT_TRUE(find<QLabel>(QStringLiteral("batchQuarantineUnavailable"))
                    ->text()
                    .startsWith(QStringLiteral("Batch quarantine unavailable: Guarded — VST3")));
    EXPECT_EQ(inspected->name, QStringLiteral("Alpha"));

    // Two selected without the protected one: the alert asks, and its action takes the road.
    view->table()->view()->selectionModel()->clearSelection();
    view->table()->view()->selectRow(0);
    view->table()->view()->selectionModel()->select(view->table()->view()->model()->index(1, 0),
                                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QApplication::processEvents();
    auto* quarantine = find<QPushButton>(QStringLiteral("quarantineSelectedButton"));
    ASSERT_TRUE(quarantine->isEnabled());
    quarantine->click();
    auto* alert = view->findChild<QMessageBox*>(QStringLiteral("batchQuarantineAlert"));
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), QStringLiteral("Quarantine Selected Plugins?"));
    EXPECT_TRUE(alert->informativeText().startsWith(
        QStringLiteral("Quorvane will move 2 selected plugins (2 format bundles)")));
    alert->findChild<QPushButton*>(QStringLiteral("actionButton"))->click();
    QApplication::processEvents();
    EXPECT_FALSE(screenModel()->confirmBatchQuarantine());
    ASSERT_TRUE(store->pendingPrivilegedQuarantine().has_value());
    EXPECT_EQ(store->pendingPrivilegedQuarantine()->items.size(), 2u);
}

// The message bars show what the store and the folder access say, as they say it.
TEST_F(InventoryViewTest, MessageBarsFollowTheStoreAndTheFolderAccess) {
    show({synth(QStringLiteral("Alpha"))});
    const auto barTexts = [&] {
        QStringList texts;
        for (InfoBar* bar : find(QStringLiteral("messageBars"))->findChildren<InfoBar*>())
            texts << bar->text();
        return texts;
    };
    EXPECT_FALSE(shown(QStringLiteral("messageBars")));
    folderAccess->setLastError(QStringLiteral("No access."));
    store->reportOperationError(QStringLiteral("Blocked"), QStringLiteral("Refused here."));
    QApplication::processEvents();
    ASSERT_TRUE(shown(QStringLiteral("messageBars")));
    EXPECT_EQ(barTexts(), (QStringList{QStringLiteral("Folder authorization failed: No access."),
                                       *store->lastOperationError()}));
    folderAccess->setLastError(std::nullopt);
    QApplication::processEvents();
    EXPECT_EQ(barTexts(), QStringList{*store->lastOperationError()});
}

// Protecting one product changes its row only: the table keeps the user's selection and current row.
TEST_F(InventoryViewTest, ProtectingOneProductKeepsTheSelectionAndTheCurrentRow) {
    show({synth(QStringLiteral("Alpha")), synth(QStringLiteral("Beta")), synth(QStringLiteral("Gamma"))});
    QTableView* table = view->table()->view();
    QItemSelectionModel* selection = table->selectionModel();
    selection->select(table->model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->setCurrentIndex(table->model()->index(2, 0),
                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QApplication::processEvents();
    QSignalSpy resets(table->model(), &QAbstractItemModel::modelReset);
    QSignalSpy selectionChanges(selection, &QItemSelectionModel::selectionChanged);

    const Plugin gamma = view->table()->shownPlugin(2);
    screenModel()->setProtection(gamma, true);
    QApplication::processEvents();
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(selectionChanges.count(), 0);
    EXPECT_EQ(table->currentIndex().row(), 2);
    EXPECT_EQ(selection->selectedRows().size(), 2);
    EXPECT_NE(view->table()->shownPlugin(2).protectionLevel(), 0);
    EXPECT_EQ(screenModel()->selectedPluginCount(), 2);
}

// A product a change takes out of the chosen filter leaves the rows shown, and the selection, at once.
TEST_F(InventoryViewTest, AProductThatNoLongerPassesTheFilterLeavesTheRows) {
    show({synth(QStringLiteral("Alpha")), synth(QStringLiteral("Beta")), synth(QStringLiteral("Gamma"))});
    screenModel()->setFilter(InventoryViewModel::Filter::status, QStringLiteral("OK"));
    QTableView* table = view->table()->view();
    table->selectRow(1);
    QApplication::processEvents();
    const Plugin beta = view->table()->shownPlugin(1);
    ASSERT_EQ(beta.name, QStringLiteral("Beta"));
    QSignalSpy resets(view->table()->model(), &QAbstractItemModel::modelReset);

    screenModel()->setProtection(beta, true);
    QApplication::processEvents();
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(rowNames(), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Gamma")}));
    EXPECT_TRUE(screenModel()->selectedPluginIDs().isEmpty());
    EXPECT_TRUE(table->selectionModel()->selectedRows().isEmpty());
    EXPECT_EQ(find<QLabel>(QStringLiteral("shownCountLabel"))->text(),
              QStringLiteral("2 of 3 active plugins shown"));
}

// Typing re-filters the rows the table has, without handing it its products again: a selected row
// still shown stays selected and current.
TEST_F(InventoryViewTest, TypingRefiltersWithoutRebuildingTheRows) {
    show({synth(QStringLiteral("Alpha")), synth(QStringLiteral("Beta")), synth(QStringLiteral("Zeta"))});
    QTableView* table = view->table()->view();
    table->selectionModel()->setCurrentIndex(table->model()->index(1, 0),
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QApplication::processEvents();
    const QUuid beta = view->table()->shownPlugin(1).id;
    QSignalSpy resets(view->table()->model(), &QAbstractItemModel::modelReset);

    QTest::keyClicks(find<QLineEdit>(QStringLiteral("searchField")), QStringLiteral("ta"));
    EXPECT_EQ(rowNames(), (QStringList{QStringLiteral("Beta"), QStringLiteral("Zeta")}));
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(table->currentIndex().row(), 0);
    EXPECT_EQ(table->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(screenModel()->selectedPluginIDs(), QSet<QUuid>{beta});
}

TEST_F(InventoryViewTest, MoveAllFormatsActsOnTheProductTheAlertNamed) {
    const Plugin named = synth(QStringLiteral("Named"));
    const Plugin other = synth(QStringLiteral("Other"));
    show({named, other});
    view->table()->view()->selectAll();
    QApplication::processEvents();
    ASSERT_EQ(inspected->id, named.id);
    view->inspector()->findChild<QPushButton*>(QStringLiteral("quarantinePluginButton"))->click();
    auto* alert = view->inspector()->findChild<QMessageBox*>(QStringLiteral("confirmationAlert"));
    ASSERT_NE(alert, nullptr);

    // Another road quarantines the named product meanwhile: the inspector moves to the other one.
    quarantineThroughJournal({selection(named)});
    ASSERT_EQ(inspected->id, other.id);

    alert->findChild<QPushButton*>(QStringLiteral("actionButton"))->click();
    EXPECT_EQ(helper().calls.size(), 1u); // the handshake only
    EXPECT_EQ(store->notice()->title, QStringLiteral("Privileged Quarantine Blocked"));
    EXPECT_EQ(store->activePlugins().size(), 1u);
}

// The batch alert acts on the products it named, re-planned: one of them quarantined meanwhile
// (and so dropped from the selection) refuses the whole batch rather than moving the rest alone.
TEST_F(InventoryViewTest, TheBatchAlertActsOnExactlyWhatItNamed) {
    const Plugin first = synth(QStringLiteral("First"));
    const Plugin second = synth(QStringLiteral("Second"));
    show({first, second});
    QMessageBox* alert = openBatchAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_TRUE(alert->informativeText().startsWith(QStringLiteral("Quorvane will move 2 selected plugins")));

    quarantineThroughJournal({selection(first)});
    ASSERT_EQ(screenModel()->selectedPluginIDs(), QSet<QUuid>{second.id});

    alert->findChild<QPushButton*>(QStringLiteral("actionButton"))->click();
    QApplication::processEvents();
    EXPECT_EQ(helper().calls.size(), 1u); // the handshake only
    EXPECT_FALSE(store->pendingPrivilegedQuarantine().has_value());
    ASSERT_TRUE(store->notice().has_value());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Privileged Quarantine Blocked"));
    EXPECT_EQ(store->activePlugins().size(), 1u);
}

// A scan while the batch alert is open gives the products it finds new ids, and so empties the
// selection: confirming still moves exactly the bundles the alert named, found under their new
// products, or refuses when one of them is gone.
TEST_F(InventoryViewTest, TheBatchAlertFollowsItsBundlesThroughAScan) {
    struct Case {
        const char* name;
        bool secondStillFound;
        std::size_t moved;
    };
    for (const Case& test : {Case{"both found again", true, 2}, Case{"one gone", false, 0}}) {
        SCOPED_TRACE(test.name);
        const Plugin first = synth(QStringLiteral("First") + QString::fromLatin1(test.name).left(3));
        const Plugin second = synth(QStringLiteral("Second") + QString::fromLatin1(test.name).left(3));
        std::vector<Plugin> found{first};
        if (test.secondStillFound)
            found.push_back(second);
        for (Plugin& plugin : found)
            plugin.id = makeUuid();
        scan = [found](const QList<QUrl>&, ScanControl&, const PluginScanner::ProgressCallback&) {
            return ScanSummary{found, {}, false};
        };
        show({first, second});
        QMessageBox* alert = openBatchAlert();
        ASSERT_NE(alert, nullptr);

        store->startScan({}, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !store->isScanning(); }, 5000));
        store->waitForIdle();
        ASSERT_TRUE(screenModel()->selectedPluginIDs().isEmpty());

        alert->findChild<QPushButton*>(QStringLiteral("actionButton"))->click();
        QApplication::processEvents();
        const auto& journal = store->pendingPrivilegedQuarantine();
        QStringList moved;
        for (const auto& item : journal ? journal->items : std::vector<PrivilegedQuarantineItem>{})
            moved << item.sourcePath;
        EXPECT_EQ(std::size_t(moved.size()), test.moved);
        if (test.moved > 0) {
            EXPECT_EQ(moved, (QStringList{first.bundles->front().path, second.bundles->front().path}));
        } else {
            ASSERT_TRUE(store->notice().has_value());
            EXPECT_EQ(store->notice()->title, QStringLiteral("Privileged Quarantine Blocked"));
        }
        view.reset();
    }
}

TEST_F(InventoryViewTest, AFailedExportShowsItsAlertUntilDismissed) {
    show({});
    fakes.panel->answer = tree.path(QStringLiteral("missing/inventory.csv"));
    screenModel()->exportCSV(view.get());
    QApplication::processEvents();
    auto* alert = view->findChild<QMessageBox*>(QStringLiteral("exportFailedAlert"));
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), QStringLiteral("Export Failed"));
    ASSERT_TRUE(screenModel()->exportError().has_value());
    EXPECT_FALSE(screenModel()->exportError()->isEmpty());
    EXPECT_EQ(alert->informativeText(), *screenModel()->exportError());
    EXPECT_EQ(alert->findChild<QPushButton*>(QStringLiteral("okButton"))->text(), QStringLiteral("OK"));
    alert->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    QApplication::processEvents();
    EXPECT_EQ(screenModel()->exportError(), std::nullopt);
}

TEST_F(InventoryViewTest, LongFolderPathsNeverWidenTheScreen) {
    const QString longPath = QStringLiteral("/Library/Audio/Plug-Ins/VST3/") + QString(400, u'x');
    ScanHold hold;
    scan = hold.function(ScanProgress{QStringLiteral("VST3"), longPath, 0, 3, 7});
    show({}, ServiceRegistrationStatus::enabled,
         [&](PersistedInventory& state) { state.inaccessibleLocations = QStringList{longPath}; });
    view->resize(1100, 800);
    QApplication::processEvents();
    const int pathWidth = QFontMetrics(monospacedFont(10)).horizontalAdvance(longPath);
    ASSERT_TRUE(shown(QStringLiteral("limitedAccessPanel")));
    EXPECT_LT(view->minimumSizeHint().width(), pathWidth);

    store->startScan({}, service.get());
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown(QStringLiteral("scanProgressPanel")); }, 5000));
    EXPECT_LT(view->minimumSizeHint().width(), pathWidth);
    EXPECT_EQ(find<QLabel>(QStringLiteral("scanProgressLocation"))->toolTip(), longPath);
    hold.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store->isScanning(); }, 5000));
}

} // namespace
} // namespace quorvane::testing
