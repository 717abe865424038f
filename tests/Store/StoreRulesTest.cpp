#include "StoreTestSupport.h"

#include <QSignalSpy>

namespace quorvane::testing {
namespace {

class StoreRulesTest : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        writeState(
            stateWith({bareProduct(QStringLiteral("A"), QStringLiteral("waves"), {QStringLiteral("AU")},
                                   QStringLiteral("/a")),
                       bareProduct(QStringLiteral("B"), QStringLiteral("Waves"), {QStringLiteral("AU")},
                                   QStringLiteral("/b")),
                       bareProduct(QStringLiteral("C"), QStringLiteral("UAD"), {QStringLiteral("AU")},
                                   QStringLiteral("/c")),
                       bareProduct(QStringLiteral("D"), QStringLiteral("Waves"), {QStringLiteral("AU")},
                                   QStringLiteral("/d"), PluginStatus::quarantined),
                       bareProduct(QStringLiteral("E"), QStringLiteral("Universal Audio, Inc."),
                                   {QStringLiteral("AU")}, QStringLiteral("/e"))}));
        store = makeStore();
    }

    QStringList ruleManufacturers() const {
        QStringList names;
        for (const PermanentQuarantineRule& rule : store->permanentQuarantineRules())
            names.push_back(rule.manufacturer);
        return names;
    }

    std::unique_ptr<PluginInventoryStore> store;
};

TEST_F(StoreRulesTest, theRowsAreTheDistinctManufacturersInPlainOrder) {
    EXPECT_EQ(store->permanentQuarantineManufacturers(),
              (QStringList{QStringLiteral("UAD"), QStringLiteral("Universal Audio, Inc."),
                           QStringLiteral("Waves"), QStringLiteral("waves")}));
}

TEST_F(StoreRulesTest, theRowsFollowTheProductsAScanFinds) {
    const std::vector<Plugin> found{bareProduct(QStringLiteral("F"), QStringLiteral("Fernhill"),
                                                {QStringLiteral("AU")}, QStringLiteral("/f"))};
    scan = [found](const QList<QUrl>&, ScanControl&, const PluginScanner::ProgressCallback&) {
        return ScanSummary{found, {}, false};
    };
    store = makeStore();
    ASSERT_FALSE(store->permanentQuarantineManufacturers().contains(QStringLiteral("Fernhill")));
    runScan(*store, allFolders());
    EXPECT_TRUE(store->permanentQuarantineManufacturers().contains(QStringLiteral("Fernhill")));
}

TEST_F(StoreRulesTest, enablingAndRemovingSaveAndPostTheirNotices) {
    QSignalSpy rulesSpy(store.get(), &PluginInventoryStore::permanentQuarantineRulesChanged);
    const InventoryRevisionToken revision = store->inventoryRevision();

    store->setPermanentQuarantine(QStringLiteral("Waves"), true);
    store->waitForIdle();

    ASSERT_EQ(store->permanentQuarantineRules().size(), 1u);
    EXPECT_EQ(store->permanentQuarantineRules()[0],
              (PermanentQuarantineRule{QStringLiteral("Waves"), clock}));
    EXPECT_EQ(storedState().permanentQuarantineRules, store->permanentQuarantineRules());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Permanent Quarantine Enabled"));
    EXPECT_EQ(
        store->notice()->message,
        QStringLiteral("Exact future replacements from Waves will be re-quarantined after a verified scan."));
    EXPECT_TRUE(store->isPermanentQuarantineEnabled(QStringLiteral("  waves\n")));
    EXPECT_TRUE(store->isPermanentQuarantineEnabled(QStringLiteral("WAVES")));
    EXPECT_FALSE(store->isPermanentQuarantineEnabled(QStringLiteral("UAD")));
    EXPECT_EQ(rulesSpy.count(), 1);

    store->setPermanentQuarantine(QStringLiteral("waves"), false);
    store->waitForIdle();

    EXPECT_TRUE(store->permanentQuarantineRules().empty());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Permanent Quarantine Removed"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral("Future replacements from waves will remain installed until reviewed."));
    EXPECT_TRUE(store->history().empty());
    EXPECT_EQ(store->inventoryRevision(), revision);
    EXPECT_FALSE(store->lastOperationError());

    const int writes = writeAttempts;
    store->setPermanentQuarantine(QStringLiteral("Nobody"), false);
    store->waitForIdle();
    EXPECT_EQ(writeAttempts, writes + 1);
    EXPECT_EQ(store->notice()->title, QStringLiteral("Permanent Quarantine Removed"));
}

TEST_F(StoreRulesTest, aliasesShareOneRuleAndTheLaterEnablingWins) {
    store->setPermanentQuarantine(QStringLiteral("Universal Audio"), true);
    clock = Timestamp{clock.sinceReferenceDate + 60};

    store->setPermanentQuarantine(QStringLiteral("UAD"), true);

    ASSERT_EQ(store->permanentQuarantineRules().size(), 1u);
    EXPECT_EQ(store->permanentQuarantineRules()[0], (PermanentQuarantineRule{QStringLiteral("UAD"), clock}));
    EXPECT_TRUE(store->isPermanentQuarantineEnabled(QStringLiteral("Universal Audio, Inc.")));

    clock = Timestamp{clock.sinceReferenceDate + 60};
    store->setPermanentQuarantine(QStringLiteral("UAD"), true);
    ASSERT_EQ(store->permanentQuarantineRules().size(), 1u);
    EXPECT_EQ(store->permanentQuarantineRules()[0].enabledAt, clock);
}

TEST_F(StoreRulesTest, rulesStayInPlainOrderOfTheirManufacturers) {
    store->setPermanentQuarantine(QStringLiteral("beta"), true);
    store->setPermanentQuarantine(QStringLiteral("Alpha"), true);
    EXPECT_EQ(ruleManufacturers(), (QStringList{QStringLiteral("Alpha"), QStringLiteral("beta")}));

    store->setPermanentQuarantine(QStringLiteral("alpha"), true);
    EXPECT_EQ(ruleManufacturers(), (QStringList{QStringLiteral("alpha"), QStringLiteral("beta")}));
}

TEST_F(StoreRulesTest, aFailedSaveRestoresThePriorRules) {
    store->setPermanentQuarantine(QStringLiteral("Waves"), true);
    store->waitForIdle();
    const auto before = store->permanentQuarantineRules();
    failSaves = true;
    const QString message = QStringLiteral(
        "Quorvane restored the prior permanent-quarantine rule because local state could not be saved.");

    for (const auto& [manufacturer, enabled] :
         {std::pair{QStringLiteral("UAD"), true}, std::pair{QStringLiteral("Waves"), false}}) {
        store->setPermanentQuarantine(manufacturer, enabled);
        store->waitForIdle();
        EXPECT_EQ(store->permanentQuarantineRules(), before);
        EXPECT_EQ(store->notice()->title, QStringLiteral("Rule Change Not Saved"));
        EXPECT_EQ(store->notice()->message, message);
        EXPECT_EQ(store->notice()->style, NoticeStyle::warning);
        EXPECT_EQ(store->lastOperationError(), message);
        EXPECT_EQ(store->lastStorageError(),
                  StateFileError(StateFileFailure::fileNotWritten, statePath(), QStringLiteral("Disk full"))
                      .description());
    }
    failSaves = false;
    store->setPermanentQuarantine(QStringLiteral("UAD"), true);
    store->waitForIdle();
    EXPECT_FALSE(store->lastStorageError());
}

} // namespace
} // namespace quorvane::testing
