#include "HelperClient/PluginManagementService.h"
#include "Persistence/StateFile.h"
#include "Persistence/StateFileLocations.h"
#include "Store/PluginInventoryStore.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/MetricCard.h"
#include "Views/Screens/About/AboutView.h"
#include "Views/Screens/History/HistoryCsvExport.h"
#include "Views/Screens/History/HistoryView.h"

#include "ScreenTestSupport.h"
#include "Support/Fixtures/FixtureRecords.h"
#include "Support/Fixtures/FixtureTextLocale.h"
#include "Support/Fixtures/TemporaryTree.h"

#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

HistoryItem line(HistoryKind kind, const QString& plugin, const QString& detail,
                 const QString& transaction = {}, const QString& format = {}) {
    return HistoryItem{QUuid::createUuid(),
                       plugin,
                       kind,
                       detail,
                       QStringLiteral("9:05 AM"),
                       transaction.isEmpty() ? std::nullopt : std::optional(transaction),
                       format.isEmpty() ? std::nullopt : std::optional(format),
                       {},
                       {}};
}

// Every field the CSV has to protect: a comma, a quote, a line feed, a bare carriage return and a
// name a spreadsheet would run as a formula.
std::vector<HistoryItem> awkwardHistory() {
    const QString moved = QStringLiteral("Moved through the helper.");
    return {
        line(HistoryKind::quarantine, "Fern, Hill", moved, "T1", "VST3"),
        line(HistoryKind::quarantine, "Fern, Hill", moved, "T1", "AU"),
        line(HistoryKind::scan, "Inventory", "Found the \"Pro\" edition.\nTwo folders were read."),
        line(HistoryKind::protection, "=HYPERLINK(\"x\")", "Protected\rall formats"),
        line(HistoryKind::restore, "Tidewater", moved, "T2", "AU"),
    };
}

// The store and helper service of a window beneath a temporary folder, the history given.
class ScreenObjects {
public:
    explicit ScreenObjects(std::vector<HistoryItem> history = {}) {
        PersistedInventory state;
        state.schemaVersion = currentInventorySchemaVersion;
        state.history = std::move(history);
        const QString support = tree.makeDirectory(QStringLiteral("support"));
        tree.makeDirectory(QStringLiteral("support/Quorvane"));
        EXPECT_TRUE(writeStateFile(state, inventoryStateFileURL(support)).has_value());
        StoreEnvironment environment = StoreEnvironment::isolated(
            support, SystemRoots::underPrefix(tree.makeDirectory(QStringLiteral("root"))),
            tree.makeDirectory(QStringLiteral("home")));
        // A fixed clock, so that the report's "Generated" line is the same however often it is made.
        environment.now = [] { return Timestamp{7.5e8}; };
        store = std::make_unique<PluginInventoryStore>(std::move(environment));
        service = std::make_unique<PluginManagementService>(
            std::make_unique<NotRegistered>(), [](const HelperEndpoint&) { return nullptr; },
            InstallLayout{tree.path()});
    }

    QString exportPath(const QString& name) const { return tree.path(name); }

    testing::TemporaryTree tree;
    testing::PinnedTextLocale locale;
    testing::FakeScreenServices fakes;
    std::unique_ptr<PluginInventoryStore> store;
    std::unique_ptr<PluginManagementService> service;

private:
    class NotRegistered : public ServiceRegistry {
    public:
        ServiceRegistrationStatus status() override { return ServiceRegistrationStatus::notRegistered; }
        void registerService(Completion done) override {
            done(std::unexpected(ServiceRegistryError::unitMissing));
        }
        void unregisterService(Completion done) override { done({}); }
        HelperEndpoint endpoint() const override { return {}; }
    };
};

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QMessageBox* exportFailedAlert(const QWidget& view) {
    QApplication::processEvents();
    return view.findChild<QMessageBox*>(QStringLiteral("exportFailedAlert"));
}

TEST(HistoryCsvDocumentTest, QuotesEveryAwkwardFieldAndEndsEachLineWithALineFeed) {
    const testing::PinnedTextLocale locale;
    // Lines written before the moment was kept have an empty "Date".
    const QByteArray expected =
        "Time,Operation,Product,Formats,Format Bundles,Detail,Result,Date\n"
        "9:05 AM,Moved to Quarantine,\"Fern, Hill\",AU + VST3,2,"
        "AU + VST3 moved to reversible quarantine as one product transaction.,Successful,\n"
        "9:05 AM,Scan Completed,Inventory,,,\"Found the \"\"Pro\"\" edition.\nTwo folders were read.\","
        "Successful,\n"
        "9:05 AM,Protection Enabled,\"'=HYPERLINK(\"\"x\"\")\",,,\"Protected\rall formats\",Successful,\n"
        "9:05 AM,Restored,Tidewater,AU,1,"
        "AU restored to the recorded original location as one product transaction.,Successful,\n";
    EXPECT_EQ(historyCsvDocument(awkwardHistory()), expected);

    HistoryItem dated = line(HistoryKind::scanCanceled, "Inventory", "Canceled.");
    dated.date = Timestamp::fromDateTime(QDateTime(QDate(2026, 12, 9), QTime(9, 5)));
    EXPECT_EQ(historyCsvDocument({dated}),
              "Time,Operation,Product,Formats,Format Bundles,Detail,Result,Date\n"
              "9:05 AM,Scan Canceled,Inventory,,,Canceled.,No changes made,2026-12-09\n");
}

TEST(HistoryCsvDocumentTest, PythonsCsvReaderReadsBackEveryField) {
    const testing::PinnedTextLocale locale;
    const testing::TemporaryTree tree;
    const QString path = tree.writeFile(QStringLiteral("history.csv"), historyCsvDocument(awkwardHistory()));
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import csv, json, sys\n"
                                 "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                                 "    print(json.dumps(list(csv.reader(f))))"),
                  path});
    ASSERT_TRUE(python.waitForFinished(30000)) << python.errorString().toStdString();
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QJsonArray rows = QJsonDocument::fromJson(python.readAllStandardOutput()).array();

    std::vector<QStringList> expected{historyCsvHeader()};
    for (QStringList record : historyCsvRecords(groupHistoryOperations(awkwardHistory()))) {
        for (QString& field : record) {
            if (field.startsWith(u'='))
                field.prepend(u'\''); // what the spreadsheet guard adds
        }
        expected.push_back(record);
    }
    ASSERT_EQ(rows.size(), static_cast<qsizetype>(expected.size()));
    for (qsizetype i = 0; i < rows.size(); ++i) {
        QStringList read;
        for (const QJsonValue& field : rows[i].toArray())
            read << field.toString();
        EXPECT_EQ(read, expected[static_cast<std::size_t>(i)]) << "line " << i;
    }
}

TEST(HistoryViewExportTest, EmptyHistoryShowsZerosAndDisablesTheExport) {
    ScreenObjects objects;
    HistoryView view(*objects.store, objects.fakes.services());
    const auto* button = view.findChild<KitButton*>(QStringLiteral("exportHistoryButton"));
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->isEnabled());
    const auto values = view.findChildren<QLabel*>(QStringLiteral("metricValue"));
    ASSERT_EQ(values.size(), 4);
    for (const QLabel* value : values)
        EXPECT_EQ(value->text(), "0");
    EXPECT_EQ(
        view.findChild<QStackedWidget*>(QStringLiteral("historyContent"))->currentWidget()->objectName(),
        "historyEmptyState");
}

TEST(HistoryViewExportTest, CancelWritesNothingSuccessPostsTheNoticeFailureShowsTheAlert) {
    ScreenObjects objects(awkwardHistory());
    HistoryView view(*objects.store, objects.fakes.services());
    EXPECT_TRUE(view.findChild<KitButton*>(QStringLiteral("exportHistoryButton"))->isEnabled());
    EXPECT_EQ(view.listModel()->rowCount(), 4);

    view.exportHistory();
    ASSERT_EQ(objects.fakes.panel->asked.size(), 1u);
    EXPECT_EQ(objects.fakes.panel->asked[0].title, "Export Quorvane Operation History");
    EXPECT_EQ(objects.fakes.panel->asked[0].defaultFileName, "Quorvane-Operation-History.csv");
    EXPECT_FALSE(objects.store->notice());
    EXPECT_FALSE(view.exportError());
    EXPECT_EQ(exportFailedAlert(view), nullptr);

    const QString path = objects.exportPath(QStringLiteral("history.csv"));
    objects.fakes.panel->answer = path;
    view.exportHistory();
    EXPECT_EQ(readFile(path), historyCsvDocument(objects.store->history()));
    ASSERT_TRUE(objects.store->notice());
    EXPECT_EQ(objects.store->notice()->title, "History Exported");
    EXPECT_EQ(objects.store->notice()->message,
              "The operation-history CSV was saved to the location you selected.");
    objects.store->dismissNotice(objects.store->notice()->id);

    objects.fakes.panel->answer = objects.exportPath(QStringLiteral("missing/folder/history.csv"));
    view.exportHistory();
    EXPECT_FALSE(objects.store->notice());
    ASSERT_TRUE(view.exportError());
    QMessageBox* alert = exportFailedAlert(view);
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), "Export Failed");
    EXPECT_EQ(alert->informativeText(), *view.exportError());
    alert->buttons().front()->click();
    QApplication::processEvents();
    EXPECT_FALSE(view.exportError());
}

TEST(HistoryViewExportTest, ANewHistoryLineKeepsTheListWhereTheReaderScrolledIt) {
    std::vector<HistoryItem> history;
    for (int index = 0; index < 60; ++index)
        history.push_back(line(HistoryKind::scan, "Inventory", QStringLiteral("Scan %1.").arg(index)));
    ScreenObjects objects(std::move(history));
    HistoryView view(*objects.store, objects.fakes.services());
    view.resize(900, 700);
    view.show();
    QApplication::processEvents();
    auto* list = view.findChild<QListView*>(QStringLiteral("historyList"));
    ASSERT_NE(list, nullptr);
    QScrollBar* scroll = list->verticalScrollBar();
    ASSERT_GT(scroll->maximum(), 400);
    scroll->setValue(400);

    objects.store->setProtection(testing::productWithoutRecords("Fern", "Hill", {"AU"}, "/x/Fern.component"),
                                 true);
    QApplication::processEvents();
    EXPECT_EQ(view.listModel()->rowCount(), 61);
    EXPECT_EQ(scroll->value(), 400);
}

// Rows are read against the day they were made; shown again on another day (the window left open
// past midnight), the screen reads them anew.
TEST(HistoryViewExportTest, ShownOnAnotherDayTheRowsReadTheirDateAgain) {
    HistoryItem now = line(HistoryKind::scan, "Inventory", "Scanned.");
    now.date = Timestamp::now();
    ScreenObjects objects({now});
    HistoryView view(*objects.store, objects.fakes.services());
    EXPECT_EQ(view.listModel()->row(0).time, "9:05 AM");

    // As if made on the day before: the line is from the next day, so its date shows.
    view.listModel()->setOperations(groupHistoryOperations(objects.store->history()),
                                    QDate::currentDate().addDays(-1));
    ASSERT_NE(view.listModel()->row(0).time, "9:05 AM");
    view.show();
    QApplication::processEvents();
    EXPECT_EQ(view.listModel()->row(0).time, "9:05 AM");
}

TEST(AboutViewExportTest, SavesTheStoresReportWithTheHelperSectionInside) {
    ScreenObjects objects;
    AboutView view(*objects.store, *objects.service, objects.fakes.services());
    const QString path = objects.exportPath(QStringLiteral("report.txt"));
    objects.fakes.panel->answer = path;
    view.exportDiagnosticReport();

    ASSERT_EQ(objects.fakes.panel->asked.size(), 1u);
    EXPECT_EQ(objects.fakes.panel->asked[0].title, "Export Quorvane Diagnostic Report");
    EXPECT_EQ(objects.fakes.panel->asked[0].defaultFileName, "Quorvane-Diagnostic-Report.txt");
    const QString saved = QString::fromUtf8(readFile(path));
    EXPECT_EQ(saved, objects.store->diagnosticReport(objects.service->diagnosticsSection()));
    EXPECT_TRUE(saved.startsWith("Quorvane Diagnostic Report\nApp: Quorvane 1.0.1 (Build 40)\n"));
    EXPECT_TRUE(saved.contains("\n\nPlugin Management\nHelper status: Not Enabled\nSecure handshake: Not "
                               "Connected\n"));
    EXPECT_FALSE(saved.contains("Status was not included in this report."));
    EXPECT_FALSE(saved.endsWith(u'\n'));
    ASSERT_TRUE(objects.store->notice());
    EXPECT_EQ(objects.store->notice()->title, "Diagnostic Report Exported");
    EXPECT_EQ(objects.store->notice()->message, "The support report was saved to the location you selected.");
    objects.store->dismissNotice(objects.store->notice()->id);

    objects.fakes.panel->answer.reset();
    view.exportDiagnosticReport();
    EXPECT_FALSE(objects.store->notice());
    EXPECT_EQ(exportFailedAlert(view), nullptr);

    objects.fakes.panel->answer = objects.exportPath(QStringLiteral("missing/report.txt"));
    view.exportDiagnosticReport();
    EXPECT_FALSE(objects.store->notice());
    ASSERT_NE(exportFailedAlert(view), nullptr);
    EXPECT_TRUE(view.exportError());
}

TEST(AboutViewExportTest, ShowsTheNeverScannedStateOfAFreshStore) {
    ScreenObjects objects;
    AboutView view(*objects.store, *objects.service, objects.fakes.services());
    QStringList rows;
    for (const auto* value : view.findChildren<QLabel*>(QStringLiteral("detailValue")))
        rows << value->text();
    EXPECT_EQ(rows, (QStringList{"Quorvane 1.0.1 (Build 40)", "No response", "Not Connected", "Never", "0"}));
    EXPECT_NE(view.findChild<QWidget*>(QStringLiteral("noUnreadableFolders")), nullptr);
    EXPECT_EQ(view.findChild<QWidget*>(QStringLiteral("lastReconciliationTitle")), nullptr);
}

} // namespace
} // namespace quorvane
