#include "App/RootView.h"
#include "App/Sandbox/Sandbox.h"
#include "Views/Screens/History/HistoryCsvExport.h"
#include "Views/Screens/History/HistoryView.h"
#include "Views/Screens/ScreenTestSupport.h"

#include "Support/Fixtures/TemporaryTree.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QPushButton>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

const Plugin& product(const PluginInventoryStore& store, const QString& name) {
    for (const Plugin& plugin : store.plugins()) {
        if (plugin.name == name)
            return plugin;
    }
    throw std::runtime_error(name.toStdString());
}

std::vector<PluginBundleSelection> everyBundle(const Plugin& plugin) {
    std::vector<PluginBundleSelection> selections;
    for (const PluginBundleRecord& record : plugin.bundleRecords())
        selections.push_back({plugin.id, record.id()});
    return selections;
}

// Sends the store's request through the testbed and hands the result back; true when committed
// (once the commit is on disk).
template <class Request, class Send, class Complete>
bool runThroughHelper(const std::optional<Request>& request, Send send, Complete complete) {
    if (!request)
        return false;
    std::optional<bool> committed;
    send(*request, [&](const auto& result) {
        complete(result, request->transactionID, request->items, [&](bool value) { committed = value; });
    });
    return Sandbox::waitUntil([&] { return committed.has_value(); }) && *committed;
}

// The rows Python's csv module reads from the file.
std::vector<QStringList> readWithPython(const QString& path) {
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import csv, json, sys\n"
                                 "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                                 "    print(json.dumps(list(csv.reader(f))))"),
                  path});
    if (!python.waitForFinished(30000) || python.exitCode() != 0)
        return {};
    std::vector<QStringList> rows;
    for (const QJsonValue& row : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        QStringList fields;
        for (const QJsonValue& field : row.toArray())
            fields << field.toString();
        rows.push_back(fields);
    }
    return rows;
}

// Operations through the real store and the testbed helper show in the history screen as one row
// per product action, and its CSV reads back field for field.
TEST(HistoryEndToEnd, ListsEachOperationAndItsCsvReadsBack) {
    testing::TemporaryTree dir;
    auto sandbox = Sandbox::create(dir.path(QStringLiteral("sandbox")));
    ASSERT_TRUE(sandbox) << sandbox.error().toStdString();
    RootViewObjects objects = (*sandbox)->objects();
    testing::FakeScreenServices fakes;
    objects.screenServices = fakes.services();
    RootView window(objects);
    PluginManagementService& service = window.managementService();
    PluginInventoryStore& store = window.inventoryStore();
    ASSERT_TRUE(Sandbox::waitUntil([&] { return service.helperIsReachable(); }))
        << service.lastError().value_or(QString()).toStdString();
    store.startScan(window.folderAccess().authorizedFolders(), &service);
    ASSERT_TRUE(Sandbox::waitUntil([&] { return !store.isScanning(); }));

    const auto quarantine = [&](const QString& name) {
        return runThroughHelper(
            store.beginPrivileged<PrivilegedKind::quarantine>(everyBundle(product(store, name))),
            [&](const auto& request, auto done) { service.send(request, done); },
            [&](const auto& result, const auto& id, const auto& items, auto then) {
                store.completePrivileged(result, id, items, then);
            });
    };
    ASSERT_TRUE(quarantine(QStringLiteral("Massive")));
    ASSERT_TRUE(quarantine(QStringLiteral("Pro-R 2")));
    ASSERT_TRUE(runThroughHelper(
        store.beginPrivileged<PrivilegedKind::restore>(
            quarantinedBundleSelections({product(store, QStringLiteral("Massive"))})),
        [&](const auto& request, auto done) { service.send(request, done); },
        [&](const auto& result, const auto& id, const auto& items, auto then) {
            store.completePrivileged(result, id, items, then);
        }));
    store.setProtection(product(store, QStringLiteral("Surge XT")), true);

    window.navigation().setSection(AppSection::history);
    auto* view = qobject_cast<HistoryView*>(window.currentScreen());
    ASSERT_NE(view, nullptr);
    const HistoryOperationListModel& rows = *view->listModel();
    ASSERT_GE(rows.rowCount(), 5);
    struct Expected {
        QString plugin;
        QString icon;
        QStringList chips;
        QString bundleCount;
    };
    const std::vector<Expected> newestFirst{
        {"Surge XT", "shield.checkered", {}, ""},
        {"Massive", "arrow.uturn.backward.circle", {"VST2", "VST3"}, "2 bundles"},
        {"Pro-R 2", "shippingbox", {"VST3"}, ""},
        {"Massive", "shippingbox", {"VST2", "VST3"}, "2 bundles"},
    };
    for (std::size_t i = 0; i < newestFirst.size(); ++i) {
        SCOPED_TRACE(i);
        const HistoryRow& row = rows.row(static_cast<int>(i));
        EXPECT_EQ(row.plugin, newestFirst[i].plugin);
        EXPECT_EQ(row.style.icon, newestFirst[i].icon);
        EXPECT_EQ(row.chips, newestFirst[i].chips);
        EXPECT_EQ(row.bundleCount, newestFirst[i].bundleCount);
        EXPECT_EQ(row.outcome, "Successful");
    }
    EXPECT_EQ(rows.row(rows.rowCount() - 1).style.icon, "waveform.path.ecg"); // the scan, oldest

    const QString path = dir.path(QStringLiteral("history.csv"));
    fakes.panel->answer = path;
    view->findChild<QPushButton*>(QStringLiteral("exportHistoryButton"))->click();
    ASSERT_TRUE(store.notice());
    EXPECT_EQ(store.notice()->title, "History Exported");

    std::vector<QStringList> expected{historyCsvHeader()};
    for (const QStringList& record : historyCsvRecords(groupHistoryOperations(store.history())))
        expected.push_back(record);
    EXPECT_EQ(readWithPython(path), expected);
    EXPECT_EQ(expected[2][1], "Restored");
    EXPECT_EQ(expected[2][3], "VST2 + VST3");
    EXPECT_EQ(expected[2][4], "2");
}

} // namespace
} // namespace quorvane
