#include "Model/HistoryItem.h"
#include "Model/HistoryKind.h"
#include "Model/HistoryOperation.h"
#include "Model/ScanReconciliationSummary.h"

#include "ModelFixtures.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using testing::PinnedTextLocale;

const QString kAtomicQuarantine =
    "Moved the VST3 bundle through the privileged atomic quarantine transaction.";

HistoryItem line(HistoryKind kind, const QString& plugin, const QString& detail = kAtomicQuarantine,
                 std::optional<QString> transactionID = std::nullopt, const QString& time = "10:42",
                 std::optional<QString> format = std::nullopt) {
    return HistoryItem{QUuid::createUuid(), plugin, kind, detail, time, std::move(transactionID),
                       std::move(format),   {},     {}};
}

std::vector<int> sizes(const std::vector<HistoryOperation>& operations) {
    std::vector<int> result;
    for (const HistoryOperation& operation : operations)
        result.push_back(static_cast<int>(operation.items.size()));
    return result;
}

TEST(HistoryKindTest, EighteenTitlesInOrderAndExactParsing) {
    const QStringList expected{"Scan Completed",
                               "Scan Canceled",
                               "Restored",
                               "Moved to Quarantine",
                               "Moved to macOS Trash",
                               "Restored from Finder Trash",
                               "Protection Enabled",
                               "Protection Removed",
                               "Format Protection Enabled",
                               "Format Protection Removed",
                               "Move to Trash Canceled",
                               "Inventory Reconciled",
                               "Manual Restore Detected",
                               "Missing Trash Item Detected",
                               "Cleanup Preset Started",
                               "Cleanup Preset Completed",
                               "Cleanup Preset Partially Completed",
                               "Cleanup Preset Canceled"};
    QStringList texts;
    int index = 0;
    for (const auto& [kind, text] : historyKindTable().entries()) {
        EXPECT_EQ(static_cast<int>(kind), index++);
        texts.append(text);
        EXPECT_EQ(historyKindFromRawValue(text), kind);
    }
    EXPECT_EQ(texts, expected);
    EXPECT_EQ(historyKindFromRawValue("scan"), std::nullopt);
    EXPECT_EQ(historyKindFromRawValue("moved to quarantine"), std::nullopt);

    std::vector<HistoryKind> productKinds;
    for (const auto& [kind, text] : historyKindTable().entries()) {
        if (isProductTransaction(kind))
            productKinds.push_back(kind);
    }
    EXPECT_EQ(productKinds, (std::vector{HistoryKind::restore, HistoryKind::quarantine, HistoryKind::trash,
                                         HistoryKind::trashRestore}));
}

TEST(HistoryItemJsonTest, RoundTripsAndRejectsUnknownKinds) {
    HistoryItem item = line(HistoryKind::trash, "Diva", "Moved.", "TX-1", "10:42", "AU");
    item.presetRunID = QUuid::createUuid();
    item.date = Timestamp{786'000'123.25};
    const QJsonObject json = toJson(item);
    EXPECT_EQ(json.value("kind").toString(), "Moved to macOS Trash");
    EXPECT_EQ(json.value("date").toDouble(), 786'000'123.25);
    EXPECT_EQ(historyItemFromJson(json), item);

    // Lines written before the moment was kept have none, and still load.
    const HistoryItem bare = line(HistoryKind::scan, "All Plugins", "Found 3.");
    EXPECT_EQ(toJson(bare).keys(), QStringList({"detail", "id", "kind", "plugin", "time"}));
    EXPECT_EQ(historyItemFromJson(toJson(bare)), bare);

    QJsonObject wrongCase = json;
    wrongCase.insert("kind", "Moved To macOS Trash");
    EXPECT_FALSE(historyItemFromJson(wrongCase).has_value());
    QJsonObject withoutTime = json;
    withoutTime.remove("time");
    EXPECT_FALSE(historyItemFromJson(withoutTime).has_value());
}

TEST(GroupHistoryTest, EmptyHistoryHasNoOperations) {
    EXPECT_TRUE(groupHistoryOperations({}).empty());
    for (const auto& [kind, text] : historyKindTable().entries())
        EXPECT_EQ(historyOperationCount(kind, {}), 0);
}

TEST(GroupHistoryTest, LinesOfOneTransactionJoinUntilAnotherKindSplitsThem) {
    const std::vector<HistoryItem> lines{line(HistoryKind::quarantine, "Diva", "a", "TX", "10:43"),
                                         line(HistoryKind::quarantine, "Diva", "b", "TX", "10:42"),
                                         line(HistoryKind::quarantine, "Diva", "c", "TX", "10:41")};
    const auto operations = groupHistoryOperations(lines);
    ASSERT_EQ(operations.size(), 1u);
    EXPECT_EQ(operations[0].id, lines[0].id);
    EXPECT_EQ(operations[0].time, "10:43");
    EXPECT_EQ(operations[0].kind, HistoryKind::quarantine);
    EXPECT_EQ(operations[0].plugin, "Diva");

    std::vector<HistoryItem> split = lines;
    split.insert(split.begin() + 1, line(HistoryKind::scan, "All Plugins", "Found 3."));
    EXPECT_EQ(sizes(groupHistoryOperations(split)), (std::vector{1, 1, 2}));
    EXPECT_EQ(historyOperationCount(HistoryKind::quarantine, split), 2);
    EXPECT_EQ(historyOperationCount(HistoryKind::scan, split), 1);
}

TEST(GroupHistoryTest, LinesWithoutTransactionJoinOnTimeAndAtomicDetails) {
    const QString upper = "Restored the AU bundle through the privileged ATOMIC restore transaction.";
    EXPECT_EQ(sizes(groupHistoryOperations({line(HistoryKind::restore, "Diva", kAtomicQuarantine),
                                            line(HistoryKind::restore, "Diva", upper)})),
              (std::vector{2}));
    EXPECT_EQ(
        sizes(groupHistoryOperations({line(HistoryKind::restore, "Diva", kAtomicQuarantine, {}, "10:42"),
                                      line(HistoryKind::restore, "Diva", upper, {}, "10:43")})),
        (std::vector{1, 1}));
    EXPECT_EQ(sizes(groupHistoryOperations({line(HistoryKind::restore, "Diva", kAtomicQuarantine),
                                            line(HistoryKind::restore, "Diva", "Restored.")})),
              (std::vector{1, 1}));
    EXPECT_EQ(sizes(groupHistoryOperations({line(HistoryKind::restore, "Diva", "Restored."),
                                            line(HistoryKind::restore, "Diva", kAtomicQuarantine)})),
              (std::vector{1, 1}));
}

TEST(GroupHistoryTest, TransactionIdentifiersNeverMixWithLinesWithout) {
    EXPECT_EQ(sizes(groupHistoryOperations({line(HistoryKind::trash, "Diva"),
                                            line(HistoryKind::trash, "Diva", kAtomicQuarantine, "TX")})),
              (std::vector{1, 1}));
    EXPECT_EQ(sizes(groupHistoryOperations({line(HistoryKind::trash, "Diva", kAtomicQuarantine, "TX"),
                                            line(HistoryKind::trash, "Diva")})),
              (std::vector{1, 1}));
    EXPECT_EQ(sizes(groupHistoryOperations({line(HistoryKind::trash, "Diva", "x", "TX-1"),
                                            line(HistoryKind::trash, "Diva", "x", "TX-2")})),
              (std::vector{1, 1}));
    EXPECT_EQ(sizes(groupHistoryOperations({line(HistoryKind::trash, "Diva", "x", "TX"),
                                            line(HistoryKind::trash, "Serum", "x", "TX"),
                                            line(HistoryKind::quarantine, "Serum", "x", "TX")})),
              (std::vector{1, 1, 1}));
}

TEST(GroupHistoryTest, OtherKindsNeverJoin) {
    const std::vector<HistoryItem> lines{line(HistoryKind::protection, "Diva", kAtomicQuarantine, "TX"),
                                         line(HistoryKind::protection, "Diva", kAtomicQuarantine, "TX")};
    EXPECT_EQ(sizes(groupHistoryOperations(lines)), (std::vector{1, 1}));
    EXPECT_EQ(historyOperationCount(HistoryKind::protection, lines), 2);
}

HistoryOperation operationOf(HistoryKind kind, const std::vector<HistoryItem>& items) {
    EXPECT_FALSE(items.empty() || items.front().kind != kind);
    const auto operations = groupHistoryOperations(items);
    EXPECT_EQ(operations.size(), 1u);
    return operations.empty() ? HistoryOperation{} : operations.front();
}

TEST(HistoryOperationTest, FormatsFromStoredFieldOrDetail) {
    PinnedTextLocale locale;
    const HistoryOperation operation =
        operationOf(HistoryKind::quarantine,
                    {line(HistoryKind::quarantine, "Diva", "Moved the aax Bundle atomic.", "TX", "1", ""),
                     line(HistoryKind::quarantine, "Diva", "atomic", "TX", "1", "vst3"),
                     line(HistoryKind::quarantine, "Diva", "atomic", "TX", "1", "VST3"),
                     line(HistoryKind::quarantine, "Diva", "atomic", "TX", "1", "Custom"),
                     line(HistoryKind::quarantine, "Diva", "atomic VST2 bundle", "TX"),
                     line(HistoryKind::quarantine, "Diva", "no format here", "TX")});
    EXPECT_EQ(operation.formats(), QStringList({"VST2", "VST3", "AAX", "Custom", "vst3"}));
}

TEST(HistoryOperationTest, SummariesByKind) {
    PinnedTextLocale locale;
    EXPECT_EQ(
        operationOf(HistoryKind::quarantine, {line(HistoryKind::quarantine, "Diva", "x", "TX", "1", "VST3"),
                                              line(HistoryKind::quarantine, "Diva", "x", "TX", "1", "AU")})
            .summary(),
        "AU + VST3 moved to reversible quarantine as one product transaction.");
    EXPECT_EQ(operationOf(HistoryKind::restore, {line(HistoryKind::restore, "Diva", "Restored atomically.")})
                  .summary(),
              "1 format bundle restored to the recorded original location as one product transaction.");
    EXPECT_EQ(
        operationOf(HistoryKind::restore, {line(HistoryKind::restore, "Diva", "atomic", "TX"),
                                           line(HistoryKind::restore, "Diva", "atomic", "TX", "1", "AU")})
            .summary(),
        "AU restored to the recorded original locations as one product transaction.");
    EXPECT_EQ(operationOf(HistoryKind::trash, {line(HistoryKind::trash, "Diva", "x", "TX", "1", "AU"),
                                               line(HistoryKind::trash, "Diva", "x", "TX", "1", "AU"),
                                               line(HistoryKind::trash, "Diva", "x", "TX", "1", "VST3")})
                  .summary(),
              "AU + VST3 moved to Finder Trash as one recoverable product transaction.");
    EXPECT_EQ(operationOf(HistoryKind::trashRestore,
                          {line(HistoryKind::trashRestore, "Diva", "x", "TX", "1", "VST3"),
                           line(HistoryKind::trashRestore, "Diva", "x", "TX", "1", "VST3")})
                  .summary(),
              "VST3 restored from Finder Trash to the recorded original locations.");
    EXPECT_EQ(operationOf(HistoryKind::trashRestore, {line(HistoryKind::trashRestore, "Diva", "x", "TX"),
                                                      line(HistoryKind::trashRestore, "Diva", "y", "TX")})
                  .summary(),
              "2 format bundles restored from Finder Trash to the recorded original locations.");
    EXPECT_EQ(operationOf(HistoryKind::scan,
                          {line(HistoryKind::scan, "All Plugins", "Found 12 plugins in 3 folders.")})
                  .summary(),
              "Found 12 plugins in 3 folders.");
}

TEST(ScanReconciliationSummaryTest, SentencesAndJson) {
    EXPECT_EQ((ScanReconciliationSummary{3, 0, 1, false}).summaryText(),
              "Rescan: 3 added, 0 missing, 1 manually restored.");
    EXPECT_EQ((ScanReconciliationSummary{2, 7, 0, true}).summaryText(),
              "Rescan: 2 added, missing-bundle check deferred because some folders were unreadable, 0 "
              "manually restored.");

    const ScanReconciliationSummary summary{4, 5, 6, true};
    EXPECT_EQ(
        QJsonDocument(toJson(summary)).toJson(QJsonDocument::Compact),
        QByteArray(
            R"({"addedBundles":4,"manuallyRestoredBundles":6,"missingBundles":5,"missingCheckWasLimited":true})"));
    EXPECT_EQ(scanReconciliationSummaryFromJson(toJson(summary)), summary);
    for (const char* key :
         {"addedBundles", "missingBundles", "manuallyRestoredBundles", "missingCheckWasLimited"}) {
        QJsonObject object = toJson(summary);
        object.remove(key);
        EXPECT_FALSE(scanReconciliationSummaryFromJson(object).has_value()) << key;
    }
    QJsonObject fractional = toJson(summary);
    fractional.insert("addedBundles", 1.5);
    EXPECT_FALSE(scanReconciliationSummaryFromJson(fractional).has_value());
}

} // namespace
} // namespace quorvane
