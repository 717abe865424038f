#include "App/StoreShellSource.h"
#include "App/NoticePresenter.h"
#include "App/RootView.h"
#include "App/SectionListModel.h"
#include "App/Sidebar.h"
#include "IsolatedRootObjects.h"
#include "Model/Identity.h"
#include "Shared/HomeTrashLocation.h"
#include "Support/Fixtures/FixtureRecords.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using testing::bundleRecord;
using testing::IsolatedRootObjects;
using testing::productOfRecords;
using testing::quarantinedUnderOperation;

QPixmap noImage(const QString&) {
    return {};
}

void settle() {
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

// The badge texts of the ten rows in sidebar order; empty for a row without a badge.
QStringList badges(const RootView& view) {
    const SectionListModel* model = view.sidebar()->model();
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->data(model->index(row), SectionListModel::badgeRole).toString();
    return texts;
}

QStringList badgesOf(qsizetype inventory, qsizetype protectedCount, qsizetype quarantine, qsizetype trash,
                     qsizetype history) {
    const auto n = [](qsizetype value) { return QString::number(value); };
    return {n(inventory), n(protectedCount), n(quarantine), {}, {}, n(trash), n(history), {}, {}, {}};
}

Plugin product(const QString& name, PluginStatus status, bool isProtected,
               std::vector<PluginBundleRecord> bundles) {
    Plugin plugin = productOfRecords(name, QStringLiteral("Fernhill Audio"), std::move(bundles),
                                     {.size = QStringLiteral("36 MB")});
    plugin.status = status;
    plugin.isProtected = isProtected;
    return plugin;
}

HistoryItem line(const QString& plugin, HistoryKind kind, const QString& detail,
                 const std::optional<QString>& transaction) {
    HistoryItem item;
    item.id = QUuid::createUuid();
    item.plugin = plugin;
    item.kind = kind;
    item.detail = detail;
    item.time = QStringLiteral("09:41");
    item.transactionID = transaction;
    return item;
}

TrashedBundleRecord trashed(const QString& name, const QString& originalPath, const QString& trashPath) {
    TrashedBundleRecord entry;
    entry.id = QUuid::createUuid();
    entry.pluginName = name;
    entry.manufacturer = QStringLiteral("Fernhill Audio");
    entry.format = QStringLiteral("VST3");
    entry.originalPath = originalPath;
    entry.trashPath = trashPath;
    entry.operationDate = Timestamp{700000000};
    return entry;
}

struct Fixture {
    IsolatedRootObjects isolated;
    QString vst3;
    QString trashFiles;
    std::unique_ptr<RootView> view;

    Fixture() {
        vst3 = isolated.tree.makeDirectory(QStringLiteral("root/Library/Audio/Plug-Ins/VST3"));
        trashFiles = homeTrashFilesFolder(isolated.home());
        QDir().mkpath(trashFiles);
    }
    QString plugIn(const QString& file) const { return vst3 + QLatin1Char('/') + file; }
    QString inTrash(const QString& file) const { return trashFiles + QLatin1Char('/') + file; }
    // A bundle folder at `path`.
    static void place(const QString& path) { ASSERT_TRUE(QDir().mkpath(path + QStringLiteral("/Contents"))); }
    void open() {
        view = std::make_unique<RootView>(isolated.objects(), &noImage);
        view->show();
        QApplication::processEvents();
    }
};

TEST(StoreShellSource, WithoutAStateFileTheBadgesCountTheSampleInventory) {
    Fixture fixture;
    fixture.open();
    EXPECT_EQ(badges(*fixture.view), badgesOf(8, 2, 0, 0, 0));
}

TEST(StoreShellSource, BadgesCountALoadedStateAndFollowTheStore) {
    Fixture fixture;
    const QString operation = QStringLiteral("6F1C2B9E-3D4A-4E5F-8A7B-1C2D3E4F5A6B");
    PersistedInventory state;
    state.schemaVersion = currentInventorySchemaVersion;
    std::vector<Plugin> plugins;
    // Wholly quarantined with three bundles: 3 on the Quarantine badge, none on Inventory.
    plugins.push_back(product(
        QStringLiteral("Larkspur"), PluginStatus::quarantined, false,
        {quarantinedUnderOperation(
             bundleRecord(QStringLiteral("AU"), fixture.plugIn(QStringLiteral("L.component"))), operation),
         quarantinedUnderOperation(
             bundleRecord(QStringLiteral("VST2"), fixture.plugIn(QStringLiteral("L.vst"))), operation),
         quarantinedUnderOperation(
             bundleRecord(QStringLiteral("VST3"), fixture.plugIn(QStringLiteral("L.vst3"))), operation)}));
    // Protected and partly quarantined: still in the inventory.
    PluginBundleRecord kept = bundleRecord(QStringLiteral("VST3"), fixture.plugIn(QStringLiteral("T.vst3")));
    kept.isProtected = true;
    plugins.push_back(
        product(QStringLiteral("Tidewater"), PluginStatus::partiallyQuarantined, true,
                {kept, quarantinedUnderOperation(
                           bundleRecord(QStringLiteral("AU"), fixture.plugIn(QStringLiteral("T.component"))),
                           operation)}));
    plugins.push_back(
        product(QStringLiteral("Quillon"), PluginStatus::ok, false,
                {bundleRecord(QStringLiteral("VST3"), fixture.plugIn(QStringLiteral("Q.vst3")))}));
    state.protectedKeys = {productProtectionKey(plugins[1])};
    state.plugins = std::move(plugins);
    // Three lines of one quarantine transaction and one scan line: two operations.
    for (const QString& format : {QStringLiteral("AU"), QStringLiteral("VST2"), QStringLiteral("VST3")})
        state.history.push_back(line(QStringLiteral("Larkspur"), HistoryKind::quarantine,
                                     format + QStringLiteral(" bundle moved to quarantine"), operation));
    state.history.push_back(
        line(QStringLiteral("Inventory"), HistoryKind::scan, QStringLiteral("3 products"), std::nullopt));
    // Ready, occupied (its original is back in place) and missing from the Trash.
    fixture.place(fixture.inTrash(QStringLiteral("Ready.vst3")));
    fixture.place(fixture.inTrash(QStringLiteral("Busy.vst3")));
    fixture.place(fixture.plugIn(QStringLiteral("Busy.vst3")));
    state.trashedBundles = std::vector<TrashedBundleRecord>{
        trashed(QStringLiteral("Ready"), fixture.plugIn(QStringLiteral("Ready.vst3")),
                fixture.inTrash(QStringLiteral("Ready.vst3"))),
        trashed(QStringLiteral("Busy"), fixture.plugIn(QStringLiteral("Busy.vst3")),
                fixture.inTrash(QStringLiteral("Busy.vst3"))),
        trashed(QStringLiteral("Gone"), fixture.plugIn(QStringLiteral("Gone.vst3")),
                fixture.inTrash(QStringLiteral("Gone.vst3")))};
    ASSERT_TRUE(fixture.isolated.writeState(state));

    fixture.open();
    ASSERT_EQ(fixture.view->inventoryStore().plugins().size(), 3u);
    EXPECT_EQ(badges(*fixture.view), badgesOf(2, 1, 4, 1, 2));

    // The occupied record becomes ready once its original location is free again; the badge follows
    // at the store's next change, here a protection change that also adds one history line.
    QSignalSpy counted(&fixture.view->shellSource(), &ShellSource::sidebarCountsChanged);
    ASSERT_TRUE(QDir(fixture.plugIn(QStringLiteral("Busy.vst3"))).removeRecursively());
    // A copy, as a screen holds: the store replaces its list while it works.
    const Plugin quillon = fixture.view->inventoryStore().plugins()[2];
    fixture.view->inventoryStore().setProtection(quillon, true);
    // The badges are counted once the action's changes have all been published.
    settle();
    EXPECT_EQ(badges(*fixture.view), badgesOf(2, 2, 4, 2, 3));
    EXPECT_EQ(counted.count(), 1);

    // A change that moves no count is not announced as one.
    counted.clear();
    fixture.view->inventoryStore().reportOperationError(QStringLiteral("Scan Blocked"),
                                                        QStringLiteral("Later."));
    settle();
    EXPECT_EQ(counted.count(), 0);

    fixture.view->inventoryStore().setProtection(Plugin(fixture.view->inventoryStore().plugins()[2]), false);
    settle();
    EXPECT_EQ(badges(*fixture.view), badgesOf(2, 1, 4, 2, 4));
}

TEST(StoreShellSource, ARecordOutsideTheApprovedFoldersIsNotRestorable) {
    Fixture fixture;
    PersistedInventory state;
    state.schemaVersion = currentInventorySchemaVersion;
    const QString elsewhere = fixture.isolated.tree.makeDirectory(QStringLiteral("home/Plug-Ins"));
    fixture.place(fixture.inTrash(QStringLiteral("Stray.vst3")));
    state.trashedBundles = std::vector<TrashedBundleRecord>{
        trashed(QStringLiteral("Stray"), elsewhere + QStringLiteral("/Stray.vst3"),
                fixture.inTrash(QStringLiteral("Stray.vst3")))};
    ASSERT_TRUE(fixture.isolated.writeState(state));
    fixture.open();
    EXPECT_EQ(badges(*fixture.view), badgesOf(0, 0, 0, 0, 0));
}

void pressOk(RootView& view) {
    QMessageBox* alert = view.noticePresenter()->alert();
    ASSERT_NE(alert, nullptr);
    auto* ok = alert->findChild<QPushButton*>(QStringLiteral("okButton"));
    ASSERT_NE(ok, nullptr);
    ok->click();
    settle();
}

TEST(StoreShellSource, TheStoresNoticeIsTheAlertAndAnOldDismissalNeverClearsANewerOne) {
    Fixture fixture;
    fixture.open();
    RootView& view = *fixture.view;
    PluginInventoryStore& store = view.inventoryStore();
    EXPECT_EQ(view.noticePresenter()->alert(), nullptr);

    store.reportOperationError(QStringLiteral("Scan Blocked"), QStringLiteral("Later."));
    const OperationNotice first = *store.notice();
    ASSERT_NE(view.noticePresenter()->alert(), nullptr);
    EXPECT_EQ(view.noticePresenter()->alert()->text(), QStringLiteral("Scan Blocked"));
    EXPECT_EQ(view.noticePresenter()->alert()->informativeText(), QStringLiteral("Later."));

    // The same texts again are a new notice.
    store.reportOperationError(QStringLiteral("Scan Blocked"), QStringLiteral("Later."));
    const OperationNotice second = *store.notice();
    ASSERT_NE(first.id, second.id);
    EXPECT_EQ(view.noticePresenter()->shownNoticeId(), second.id);

    view.shellSource().dismissNotice(first.id);
    EXPECT_EQ(view.shellSource().notice(), second);
    EXPECT_NE(view.noticePresenter()->alert(), nullptr);

    pressOk(view);
    EXPECT_EQ(view.shellSource().notice(), std::nullopt);
    EXPECT_EQ(view.noticePresenter()->alert(), nullptr);

    // The next notice shows a new alert; dismissing the earlier one again changes nothing.
    store.setProtection(Plugin(store.plugins().front()), true);
    store.waitForIdle();
    ASSERT_TRUE(store.notice().has_value());
    const OperationNotice third = *store.notice();
    view.shellSource().dismissNotice(second.id);
    ASSERT_NE(view.noticePresenter()->alert(), nullptr);
    EXPECT_EQ(view.noticePresenter()->shownNoticeId(), third.id);
    EXPECT_EQ(view.shellSource().notice(), third);
}

TEST(StoreShellSource, ANoticeLeftByTheStoresLaunchIsShown) {
    Fixture fixture;
    QDir().mkpath(QFileInfo(fixture.isolated.stateFile()).path());
    QFile file(fixture.isolated.stateFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{ not json");
    file.close();
    fixture.open();
    ASSERT_TRUE(fixture.view->inventoryStore().notice().has_value());
    ASSERT_NE(fixture.view->noticePresenter()->alert(), nullptr);
    EXPECT_EQ(fixture.view->noticePresenter()->alert()->text(),
              fixture.view->inventoryStore().notice()->title);
    EXPECT_EQ(badges(*fixture.view), badgesOf(0, 0, 0, 0, 0));
}

} // namespace
} // namespace quorvane
