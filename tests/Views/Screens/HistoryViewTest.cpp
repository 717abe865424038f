#include "Views/Screens/History/HistoryView.h"

#include "Support/Fixtures/FixtureTextLocale.h"

#include <QAbstractItemModelTester>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

// One history line; `transaction` empty means none.
HistoryItem line(HistoryKind kind, const QString& plugin, const QString& detail,
                 const QString& transaction = {}, const QString& format = {},
                 const QString& time = QStringLiteral("10:42")) {
    return HistoryItem{QUuid::createUuid(),
                       plugin,
                       kind,
                       detail,
                       time,
                       transaction.isEmpty() ? std::nullopt : std::optional(transaction),
                       format.isEmpty() ? std::nullopt : std::optional(format),
                       {},
                       {}};
}

// A history of every kind of row the screen tells apart, newest first.
std::vector<HistoryItem> mixedHistory() {
    const QString moved = QStringLiteral("Moved through the administrator-approved helper.");
    return {
        line(HistoryKind::quarantine, "Larkspur", moved, "T1", "CLAP"),
        line(HistoryKind::quarantine, "Larkspur", moved, "T1", "AU"),
        line(HistoryKind::quarantine, "Larkspur", moved, "T1", "VST3"),
        line(HistoryKind::restore, "Tidewater", moved, "T2", "AU"),
        line(HistoryKind::restore, "Tidewater", moved, "T3", "AU"),
        line(HistoryKind::scan, "Inventory", "Scanned 12 bundles. The VST3 bundle of Quillon was new."),
        line(HistoryKind::cleanupPresetPartiallyCompleted, "AU + VST3",
             "1 child transactions completed before the run stopped"),
        line(HistoryKind::scanCanceled, "Inventory", "Scan canceled."),
        line(HistoryKind::trashRestore, "Quillon", moved, "T4", "VST2"),
        line(HistoryKind::trash, "Quillon", moved, "T5", "VST2"),
        line(HistoryKind::trash, "Quillon", moved, "T5", "AAX"),
    };
}

TEST(HistoryRowsTest, GroupedOperationsGiveOneRowEachWithChipsCountsAndOutcomes) {
    const testing::PinnedTextLocale locale;
    struct Expected {
        QString plugin;
        QStringList chips;
        QString bundleCount;
        QString summary;
        QString outcome;
        bool successful;
    };
    const std::vector<Expected> expected{
        {"Larkspur",
         {"AU", "VST3", "CLAP"},
         "3 bundles",
         "AU + VST3 + CLAP moved to reversible quarantine as one product transaction.",
         "Successful",
         true},
        {"Tidewater",
         {"AU"},
         "",
         "AU restored to the recorded original location as one product transaction.",
         "Successful",
         true},
        {"Tidewater",
         {"AU"},
         "",
         "AU restored to the recorded original location as one product transaction.",
         "Successful",
         true},
        {"Inventory",
         {"VST3"},
         "",
         "Scanned 12 bundles. The VST3 bundle of Quillon was new.",
         "Successful",
         true},
        {"AU + VST3",
         {},
         "",
         "1 child transactions completed before the run stopped",
         "Partially Completed",
         false},
        {"Inventory", {}, "", "Scan canceled.", "No changes made", false},
        {"Quillon",
         {"VST2"},
         "",
         "VST2 restored from Finder Trash to the recorded original location.",
         "Successful",
         true},
        {"Quillon",
         {"VST2", "AAX"},
         "2 bundles",
         "VST2 + AAX moved to Finder Trash as one recoverable product transaction.",
         "Successful",
         true},
    };
    const auto operations = groupHistoryOperations(mixedHistory());
    ASSERT_EQ(operations.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        const HistoryRow row = makeHistoryRow(operations[i], QDate(2026, 12, 10));
        EXPECT_EQ(row.id, operations[i].items.front().id);
        EXPECT_EQ(row.plugin, expected[i].plugin);
        EXPECT_EQ(row.chips, expected[i].chips);
        EXPECT_EQ(row.bundleCount, expected[i].bundleCount);
        EXPECT_EQ(row.summary, expected[i].summary);
        EXPECT_EQ(row.outcome, expected[i].outcome);
        EXPECT_EQ(row.successful, expected[i].successful);
    }

    const HistoryMetrics metrics = historyMetrics(operations);
    EXPECT_EQ(metrics.productActions, 8);
    EXPECT_EQ(metrics.restored, 3); // two restores and one recovery from the Trash
    EXPECT_EQ(metrics.quarantined, 1);
    EXPECT_EQ(metrics.trashed, 1);
    EXPECT_EQ(historyMetrics({}).productActions, 0);
}

// A row shows the date of an operation from another day above its time; the date of its newest
// line counts.
TEST(HistoryRowsTest, OperationsOfAnotherDayShowTheirDate) {
    const testing::PinnedTextLocale locale;
    const QDate today(2026, 12, 10);
    const auto at = [](QDate day, QTime time) { return Timestamp::fromDateTime(QDateTime(day, time)); };
    const struct {
        std::optional<Timestamp> newest;
        std::optional<Timestamp> oldest;
        QString shown;
    } cases[] = {
        {at(today, QTime(0, 0)), at(QDate(2026, 12, 9), QTime(23, 59)), "1:09 PM"},
        {at(QDate(2026, 12, 9), QTime(23, 59)), at(today, QTime(0, 1)), "Dec 9, 2026\n1:09 PM"},
        {at(QDate(2025, 12, 10), QTime(13, 9)), std::nullopt, "Dec 10, 2025\n1:09 PM"},
        {std::nullopt, at(QDate(2025, 12, 10), QTime(13, 9)), "1:09 PM"},
    };
    for (const auto& test : cases) {
        std::vector<HistoryItem> lines{
            line(HistoryKind::quarantine, "Larkspur", "Moved.", "T1", "AU", "1:09 PM"),
            line(HistoryKind::quarantine, "Larkspur", "Moved.", "T1", "VST3", "1:09 PM")};
        lines[0].date = test.newest;
        lines[1].date = test.oldest;
        const auto operations = groupHistoryOperations(lines);
        ASSERT_EQ(operations.size(), 1u);
        EXPECT_EQ(makeHistoryRow(operations.front(), today).time, test.shown);
    }
}

TEST(HistoryRowsTest, ListModelDrawsNoDividerUnderTheLastRowOnly) {
    const testing::PinnedTextLocale locale;
    HistoryOperationListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setOperations(groupHistoryOperations(mixedHistory()));
    ASSERT_EQ(model.rowCount(), 8);
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex index = model.index(row);
        EXPECT_EQ(index.data(HistoryOperationListModel::dividerRole).toBool(), row != 7) << row;
        EXPECT_EQ(index.data(HistoryOperationListModel::chipsRole).toStringList(), model.row(row).chips);
    }
    model.setOperations({});
    EXPECT_EQ(model.rowCount(), 0);
}

} // namespace
} // namespace quorvane
