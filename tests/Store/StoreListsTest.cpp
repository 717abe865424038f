#include "StoreTestSupport.h"

#include "Store/StoreOrders.h"
#include "Support/StableSort.h"

namespace quorvane::testing {
namespace {

class StoreListsTest : public StoreFixture {};

TEST_F(StoreListsTest, activeAndQuarantinedListsJudgeRecordsAndStatus) {
    const PluginBundleRecord active = activeRecord(QStringLiteral("VST3"), QStringLiteral("/v/a.vst3"));
    const PluginBundleRecord quarantined =
        quarantinedRecord(QStringLiteral("AU"), QStringLiteral("/c/a.component"),
                          QStringLiteral("/q/OP/a.component"), QStringLiteral("OP"));
    PluginBundleRecord halfQuarantined = active;
    halfQuarantined.quarantinePath = QStringLiteral("/q/OP/a.vst3");

    const Plugin mixed = product(QStringLiteral("Mixed"), QStringLiteral("A"), {active, quarantined});
    const Plugin allQuarantined = product(QStringLiteral("Gone"), QStringLiteral("A"), {quarantined});
    const Plugin bareQuarantined =
        bareProduct(QStringLiteral("Bare"), QStringLiteral("A"), {QStringLiteral("AU")},
                    QStringLiteral("/c/b.component"), PluginStatus::partiallyQuarantined);
    Plugin emptyOk = bareProduct(QStringLiteral("Empty"), QStringLiteral("A"), {}, QStringLiteral("/x"));
    emptyOk.bundles = std::vector<PluginBundleRecord>{};
    Plugin statusSaysQuarantined = product(QStringLiteral("Says"), QStringLiteral("A"), {active});
    statusSaysQuarantined.status = PluginStatus::quarantined;
    const Plugin half = product(QStringLiteral("Half"), QStringLiteral("A"), {halfQuarantined});
    Plugin hostedWithRecord = product(QStringLiteral("Hosted"), QStringLiteral("Waves"), {quarantined});
    hostedWithRecord.status = PluginStatus::hostedByShell;
    writeState(stateWith(
        {mixed, allQuarantined, bareQuarantined, emptyOk, statusSaysQuarantined, half, hostedWithRecord}));
    const auto store = makeStore();

    const auto names = [](const auto& plugins) {
        QStringList result;
        for (const Plugin& plugin : plugins)
            result.push_back(plugin.name);
        return result;
    };
    EXPECT_EQ(names(store->activePlugins()), (QStringList{QStringLiteral("Mixed"), QStringLiteral("Empty"),
                                                          QStringLiteral("Says"), QStringLiteral("Half")}));
    EXPECT_EQ(store->activePluginCount(), 4);
    EXPECT_EQ(names(store->quarantinedPlugins()),
              (QStringList{QStringLiteral("Mixed"), QStringLiteral("Gone"), QStringLiteral("Bare"),
                           QStringLiteral("Says"), QStringLiteral("Hosted")}));
    // Counts use the records a product shows: none for a shell-hosted one.
    EXPECT_EQ(store->quarantinedBundleCount(), 2);
}

TEST_F(StoreListsTest, theMergedInventoryIsInPlainManufacturerOrder) {
    writeState(stateWith({}));
    const auto store = makeStore();
    const std::vector<Plugin> merged =
        store->mergeScanResult({bareProduct(QStringLiteral("b"), QStringLiteral("acme"),
                                            {QStringLiteral("AU")}, QStringLiteral("/1")),
                                bareProduct(QStringLiteral("z"), QStringLiteral("Waves"),
                                            {QStringLiteral("AU")}, QStringLiteral("/2")),
                                bareProduct(QStringLiteral("a"), QStringLiteral("acme"),
                                            {QStringLiteral("AU")}, QStringLiteral("/3"))});
    ASSERT_EQ(merged.size(), 3u);
    EXPECT_EQ(merged[0].manufacturer, QStringLiteral("Waves"));
    EXPECT_EQ(merged[1].name, QStringLiteral("a"));
    EXPECT_EQ(merged[2].name, QStringLiteral("b"));
}

// The quarantined records of stored products join the first scanned product under their product
// key (compared without case); one whose key was not scanned is carried over, and a later stored
// product under the same key joins the carried one.
TEST_F(StoreListsTest, quarantinedRecordsJoinTheFirstProductUnderTheirKey) {
    const auto quarantinedAt = [](const QString& format, const QString& name) {
        return quarantinedRecord(format, QStringLiteral("/c/") + name, QStringLiteral("/q/OP/") + name,
                                 QStringLiteral("OP"));
    };
    const PluginBundleRecord scannedAu = quarantinedAt(QStringLiteral("AU"), QStringLiteral("s.component"));
    const PluginBundleRecord carriedAu = quarantinedAt(QStringLiteral("AU"), QStringLiteral("g.component"));
    const PluginBundleRecord carriedClap = quarantinedAt(QStringLiteral("CLAP"), QStringLiteral("g.clap"));
    writeState(stateWith({product(QStringLiteral("Scanned"), QStringLiteral("Acme"), {scannedAu}),
                          product(QStringLiteral("Gone"), QStringLiteral("Acme"), {carriedAu}),
                          product(QStringLiteral("GONE"), QStringLiteral("acme"), {carriedClap})}));
    const auto store = makeStore();

    const std::vector<Plugin> merged = store->mergeScanResult(
        {product(QStringLiteral("SCANNED"), QStringLiteral("ACME"),
                 {activeRecord(QStringLiteral("VST3"), QStringLiteral("/v/first.vst3"))}),
         product(QStringLiteral("Scanned"), QStringLiteral("Acme"),
                 {activeRecord(QStringLiteral("VST3"), QStringLiteral("/v/second.vst3"))})});

    ASSERT_EQ(merged.size(), 3u);
    EXPECT_EQ(merged[0].name, QStringLiteral("SCANNED"));
    ASSERT_TRUE(merged[0].bundles);
    ASSERT_EQ(merged[0].bundles->size(), 2u);
    EXPECT_EQ((*merged[0].bundles)[1], scannedAu);
    EXPECT_EQ(merged[0].status, PluginStatus::partiallyQuarantined);
    EXPECT_EQ(merged[1].name, QStringLiteral("Gone"));
    EXPECT_EQ(merged[1].bundles, (std::vector<PluginBundleRecord>{carriedAu, carriedClap}));
    EXPECT_EQ(merged[1].formats, (QStringList{QStringLiteral("AU"), QStringLiteral("CLAP")}));
    EXPECT_EQ(merged[1].status, PluginStatus::quarantined);
    EXPECT_EQ(merged[2].name, QStringLiteral("Scanned"));
    EXPECT_EQ(merged[2].bundles->size(), 1u);
}

// A scanned bundle at a quarantined record's original path is shown only as that record; its twin
// in another case is another bundle on this disk, and stays.
TEST_F(StoreListsTest, aCaseTwinOfAQuarantinedRecordsPlaceKeepsItsScannedRecord) {
    const PluginBundleRecord quarantined =
        quarantinedRecord(QStringLiteral("VST3"), QStringLiteral("/v/Dune.vst3"),
                          QStringLiteral("/q/OP/Dune.vst3"), QStringLiteral("OP"));
    writeState(stateWith({product(QStringLiteral("Dune"), QStringLiteral("Acme"), {quarantined})}));
    const auto store = makeStore();

    const std::vector<Plugin> merged = store->mergeScanResult(
        {product(QStringLiteral("Dune"), QStringLiteral("Acme"),
                 {activeRecord(QStringLiteral("VST3"), QStringLiteral("/v/Dune.vst3")),
                  activeRecord(QStringLiteral("VST3"), QStringLiteral("/v/dune.vst3"))})});

    ASSERT_EQ(merged.size(), 1u);
    QStringList places;
    for (const PluginBundleRecord& record : merged[0].bundleRecords())
        places.append(record.isQuarantined() ? *record.quarantinePath : record.path);
    places.sort();
    EXPECT_EQ(places, (QStringList{QStringLiteral("/q/OP/Dune.vst3"), QStringLiteral("/v/dune.vst3")}));
}

TEST(StoreOrdersTest, rulesSortByManufacturerInPlainOrder) {
    std::vector<PermanentQuarantineRule> rules{{QStringLiteral("beta"), Timestamp{1}},
                                               {QStringLiteral("Alpha"), Timestamp{2}},
                                               {QStringLiteral("Zeta"), Timestamp{3}}};
    stableMergeSort(rules, permanentQuarantineRuleOrder);
    EXPECT_EQ(rules[0].manufacturer, QStringLiteral("Alpha"));
    EXPECT_EQ(rules[1].manufacturer, QStringLiteral("Zeta"));
    EXPECT_EQ(rules[2].manufacturer, QStringLiteral("beta"));
}

TEST(StoreOrdersTest, trashEntriesRunNewestFirstAndKeepTiesInOrder) {
    const auto entry = [](double date, const QString& name) {
        TrashRecoveryEntry value;
        value.record.id = makeUuid();
        value.record.pluginName = name;
        value.record.operationDate = Timestamp{date};
        return value;
    };
    std::vector<TrashRecoveryEntry> entries{
        entry(10, QStringLiteral("first")), entry(30, QStringLiteral("newest")),
        entry(10, QStringLiteral("second")), entry(5, QStringLiteral("oldest"))};
    stableMergeSort(entries, trashRecoveryEntryOrder);
    QStringList order;
    for (const TrashRecoveryEntry& value : entries)
        order.push_back(value.record.pluginName);
    EXPECT_EQ(order, (QStringList{QStringLiteral("newest"), QStringLiteral("first"), QStringLiteral("second"),
                                  QStringLiteral("oldest")}));
}

TEST(StoreOrdersTest, stringsSortAscendingInPlainOrder) {
    QStringList strings{QStringLiteral("waves"), QStringLiteral("\u00C5ngstr\u00F6m"),
                        QStringLiteral("Waves"), QStringLiteral("acme")};
    sortStringsAscending(strings);
    EXPECT_EQ(strings, (QStringList{QStringLiteral("Waves"), QStringLiteral("acme"), QStringLiteral("waves"),
                                    QStringLiteral("\u00C5ngstr\u00F6m")}));
}

} // namespace
} // namespace quorvane::testing
