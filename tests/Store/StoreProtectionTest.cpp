#include "StoreTestSupport.h"

#include <QSignalSpy>

namespace quorvane::testing {
namespace {

const QString vst3Path = QStringLiteral("/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3");
const QString auPath = QStringLiteral("/Library/Audio/Plug-Ins/Components/Pro-Q 3.component");

class StoreProtectionTest : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        proQ = product(
            QStringLiteral("Pro-Q 3"), QStringLiteral("FabFilter"),
            {activeRecord(QStringLiteral("AU"), auPath), activeRecord(QStringLiteral("VST3"), vst3Path)});
        // The same key in other letters.
        proQUpper = product(
            QStringLiteral("PRO-Q 3"), QStringLiteral("fabfilter"),
            {activeRecord(
                QStringLiteral("AAX"),
                QStringLiteral("/Library/Application Support/Avid/Audio/Plug-Ins/Pro-Q 3.aaxplugin"))});
        single =
            bareProduct(QStringLiteral("Decapitator"), QStringLiteral("Soundtoys"), {QStringLiteral("VST3")},
                        QStringLiteral("/Library/Audio/Plug-Ins/VST3/Decapitator.vst3"));
        multi = bareProduct(QStringLiteral("EchoBoy"), QStringLiteral("Soundtoys"),
                            {QStringLiteral("AU"), QStringLiteral("VST3")},
                            QStringLiteral("/Library/Audio/Plug-Ins/VST3/EchoBoy.vst3"));
        hosted = bareProduct(QStringLiteral("SSL E-Channel"), QStringLiteral("Waves"), {QStringLiteral("AU")},
                             QStringLiteral("Via WaveShell"), PluginStatus::hostedByShell);
        writeState(stateWith({proQ, proQUpper, single, multi, hosted}));
        store = makeStore();
    }

    const Plugin& current(const Plugin& plugin) const {
        const auto found = std::find_if(store->plugins().begin(), store->plugins().end(),
                                        [&](const Plugin& candidate) { return candidate.id == plugin.id; });
        return *found;
    }

    Plugin proQ, proQUpper, single, multi, hosted;
    std::unique_ptr<PluginInventoryStore> store;
};

// Screens hand the store elements of its own list; the change replaces that list while the
// product is still being read, so the store must work on a copy (ASan catches the other way).
TEST_F(StoreProtectionTest, aProductPassedFromThePluginsListItselfIsSafe) {
    store->setProtection(current(proQ), true);
    EXPECT_TRUE(current(proQ).isProtected);
    store->setBatchProtection(store->plugins().toVector(), false);
    EXPECT_FALSE(current(proQ).isProtected);
}

TEST_F(StoreProtectionTest, eachChangeNamesTheProductsItReplacedAndSharesTheRest) {
    struct Row {
        const char* name;
        std::function<void()> change;
        std::vector<const Plugin*> changed;
    };
    const std::vector<Row> rows{
        {"product protection", [&] { store->setProtection(proQ, true); }, {&proQ, &proQUpper}},
        {"format protection",
         [&] { store->setFormatProtection(selectionOf(proQ, QStringLiteral("VST3")), false); },
         {&proQ}},
        {"batch protection",
         [&] {
             store->setBatchProtection({single, hosted}, true);
         },
         {&single, &hosted}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const PluginList before = store->plugins();
        QSignalSpy changes(store.get(), &PluginInventoryStore::pluginsChanged);
        row.change();
        store->waitForIdle();
        ASSERT_EQ(changes.count(), 1);
        QSet<QUuid> expected;
        for (const Plugin* plugin : row.changed)
            expected.insert(plugin->id);
        EXPECT_EQ(store->changedPluginIDs(), expected);
        for (std::size_t index = 0; index < before.size(); ++index) {
            const bool shared = std::ranges::find(store->plugins().items(), before.item(index)) !=
                                store->plugins().items().end();
            EXPECT_EQ(shared, !expected.contains(before[index].id)) << before[index].name.toStdString();
        }
    }
}

TEST_F(StoreProtectionTest, dismissingAnOlderNoticeKeepsTheNewerOne) {
    store->setProtection(proQ, true);
    store->waitForIdle();
    ASSERT_TRUE(store->notice().has_value());
    const QUuid older = store->notice()->id;
    store->setProtection(single, true);
    store->waitForIdle();
    ASSERT_TRUE(store->notice().has_value());
    const QUuid newer = store->notice()->id;
    ASSERT_NE(older, newer);

    store->dismissNotice(older);
    ASSERT_TRUE(store->notice().has_value());
    EXPECT_EQ(store->notice()->id, newer);
    store->dismissNotice(newer);
    EXPECT_FALSE(store->notice().has_value());
}

TEST_F(StoreProtectionTest, protectingAProductProtectsEveryProductWithItsKey) {
    const InventoryRevisionToken revision = store->inventoryRevision();

    store->setProtection(proQ, true);
    store->waitForIdle();

    for (const Plugin* plugin : {&current(proQ), &current(proQUpper)}) {
        EXPECT_TRUE(plugin->isProtected);
        EXPECT_EQ(plugin->status, PluginStatus::protected_);
        for (const PluginBundleRecord& record : *plugin->bundles)
            EXPECT_TRUE(record.isProtected);
    }
    EXPECT_TRUE(store->protectedKeys().contains(QStringLiteral("fabfilter|pro-q 3")));
    ASSERT_EQ(store->history().size(), 1u);
    EXPECT_EQ(store->history()[0].kind, HistoryKind::protection);
    EXPECT_EQ(store->history()[0].plugin, QStringLiteral("Pro-Q 3"));
    EXPECT_EQ(store->history()[0].detail, QStringLiteral("All detected formats protected"));
    EXPECT_FALSE(store->history()[0].format);
    EXPECT_EQ(store->notice()->title, QStringLiteral("Plugin Protected"));
    EXPECT_EQ(store->notice()->message, QStringLiteral("Pro-Q 3 is locked against quarantine and Trash."));
    EXPECT_EQ(store->notice()->style, NoticeStyle::success);
    EXPECT_NE(store->inventoryRevision(), revision);
    EXPECT_EQ(storedState().plugins, store->plugins());
    EXPECT_EQ(storedState().protectedKeys, QStringList{QStringLiteral("fabfilter|pro-q 3")});

    store->setProtection(proQUpper, false);
    store->waitForIdle();

    EXPECT_FALSE(current(proQ).isProtected);
    EXPECT_EQ(current(proQ).status, PluginStatus::ok);
    EXPECT_TRUE(store->protectedKeys().empty());
    EXPECT_EQ(store->history()[0].kind, HistoryKind::protectionRemoved);
    EXPECT_EQ(store->history()[0].detail, QStringLiteral("Manual protection removed"));
    EXPECT_EQ(store->notice()->title, QStringLiteral("Protection Removed"));
    EXPECT_EQ(store->notice()->message, QStringLiteral("No files were moved."));
}

TEST_F(StoreProtectionTest, aSingleFormatProductGainsItsRecordWhenProtected) {
    store->setProtection(single, true);

    ASSERT_TRUE(current(single).bundles);
    ASSERT_EQ(current(single).bundles->size(), 1u);
    EXPECT_TRUE(current(single).bundles->front().isProtected);
    EXPECT_EQ(current(single).bundles->front().path, single.path);
}

TEST_F(StoreProtectionTest, protectionOfAMandatoryShellCannotBeRemoved) {
    QSignalSpy noticeSpy(store.get(), &PluginInventoryStore::noticeChanged);
    const int writes = writeAttempts;

    store->setProtection(hosted, false);
    store->setBatchProtection({hosted, hosted}, false);

    EXPECT_EQ(noticeSpy.count(), 0);
    EXPECT_TRUE(store->history().empty());
    EXPECT_EQ(writeAttempts, writes);

    store->setProtection(hosted, true);
    store->waitForIdle();
    EXPECT_TRUE(current(hosted).isProtected);
    EXPECT_EQ(store->notice()->title, QStringLiteral("Plugin Protected"));
}

TEST_F(StoreProtectionTest, aFailedProductSaveKeepsTheChangeAndWarns) {
    failSaves = true;
    store->setProtection(proQ, true);
    store->waitForIdle();

    EXPECT_TRUE(current(proQ).isProtected);
    EXPECT_EQ(store->history().size(), 1u);
    EXPECT_EQ(store->notice()->title, QStringLiteral("Local State Not Saved"));
    EXPECT_TRUE(store->lastStorageError());
}

TEST_F(StoreProtectionTest, oneFormatIsProtectedAndUnprotectedWithItsOwnLinesAndNotices) {
    const InventoryRevisionToken revision = store->inventoryRevision();

    EXPECT_TRUE(store->setFormatProtection(selectionOf(proQ, QStringLiteral("VST3")), true));
    store->waitForIdle();

    EXPECT_TRUE(current(proQ).isProtected);
    EXPECT_EQ(current(proQ).status, PluginStatus::partiallyProtected);
    EXPECT_TRUE(store->protectedKeys().empty());
    EXPECT_NE(store->inventoryRevision(), revision);
    EXPECT_FALSE(store->lastOperationError());
    ASSERT_EQ(store->history().size(), 1u);
    EXPECT_EQ(store->history()[0].kind, HistoryKind::formatProtection);
    EXPECT_EQ(store->history()[0].detail, QStringLiteral("VST3 format protected"));
    EXPECT_EQ(store->history()[0].format, QStringLiteral("VST3"));
    EXPECT_EQ(store->notice()->title, QStringLiteral("VST3 Format Protected"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral("Only the selected VST3 bundle is locked against file actions."));
    EXPECT_EQ(storedState().plugins, store->plugins());

    EXPECT_TRUE(store->setFormatProtection(selectionOf(proQ, QStringLiteral("VST3")), false));
    store->waitForIdle();

    EXPECT_FALSE(current(proQ).isProtected);
    EXPECT_EQ(store->history()[0].kind, HistoryKind::formatProtectionRemoved);
    EXPECT_EQ(store->history()[0].detail, QStringLiteral("VST3 format protection removed; no files moved"));
    EXPECT_EQ(store->notice()->title, QStringLiteral("VST3 Protection Removed"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral("Only the selected VST3 bundle changed. No files were moved."));
}

TEST_F(StoreProtectionTest, unprotectingOneFormatOfAProtectedProductDropsItsKey) {
    store->setProtection(proQ, true);

    EXPECT_TRUE(store->setFormatProtection(selectionOf(proQ, QStringLiteral("AU")), false));

    EXPECT_FALSE(store->protectedKeys().contains(QStringLiteral("fabfilter|pro-q 3")));
    EXPECT_EQ(current(proQ).status, PluginStatus::partiallyProtected);
    EXPECT_TRUE(current(proQ).bundles->at(1).isProtected);
}

TEST_F(StoreProtectionTest, aRequestForTheStateInEffectChangesNothing) {
    const int writes = writeAttempts;
    const InventoryRevisionToken revision = store->inventoryRevision();

    EXPECT_TRUE(store->setFormatProtection(selectionOf(proQ, QStringLiteral("AU")), false));
    EXPECT_EQ(store->notice()->title, QStringLiteral("Protection Already Removed"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral("AU already has the requested protection state. No files were moved."));

    ASSERT_TRUE(store->setFormatProtection(selectionOf(proQ, QStringLiteral("AU")), true));
    store->waitForIdle();
    const int afterChange = writeAttempts;
    EXPECT_TRUE(store->setFormatProtection(selectionOf(proQ, QStringLiteral("AU")), true));
    EXPECT_EQ(store->notice()->title, QStringLiteral("Format Already Protected"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral("AU already has the requested protection state. No files were moved."));
    EXPECT_EQ(store->notice()->style, NoticeStyle::success);
    EXPECT_EQ(writeAttempts, afterChange);
    EXPECT_EQ(afterChange, writes + 1);
    EXPECT_EQ(store->history().size(), 1u);
    EXPECT_NE(store->inventoryRevision(), revision);
}

TEST_F(StoreProtectionTest, refusedFormatChangesReportWhy) {
    struct Case {
        PluginBundleSelection selection;
        QString message;
    };
    const std::vector<Case> cases{
        {PluginBundleSelection{makeUuid(), bundleKey(QStringLiteral("VST3"), vst3Path)},
         QStringLiteral("This plugin record changed. Run a new scan and try again.")},
        {PluginBundleSelection{proQ.id, bundleKey(QStringLiteral("CLAP"), vst3Path)},
         QStringLiteral("This format record changed. Run a new scan and try again.")},
        {selectionOf(multi, QStringLiteral("AU")),
         QStringLiteral("This format record changed. Run a new scan and try again.")},
        {selectionOf(hosted, QStringLiteral("AU")),
         QStringLiteral("Shared shells and WaveShell-hosted products have mandatory protection.")},
    };
    const int writes = writeAttempts;
    for (const Case& refused : cases) {
        EXPECT_FALSE(store->setFormatProtection(refused.selection, true));
        EXPECT_EQ(store->notice()->title, QStringLiteral("Protection Change Blocked"));
        EXPECT_EQ(store->notice()->message, refused.message);
        EXPECT_EQ(store->notice()->style, NoticeStyle::warning);
        EXPECT_EQ(store->lastOperationError(), refused.message);
    }
    EXPECT_EQ(writeAttempts, writes);
    EXPECT_TRUE(store->history().empty());
}

// Two bundles of one product that differ only in case share a key: a lock could land on either, so
// it is refused, naming both.
TEST_F(StoreProtectionTest, aLockThatCannotTellTwoBundlesApartIsRefused) {
    const QString twinPath = QStringLiteral("/Library/Audio/Plug-Ins/VST3/pro-q 3.vst3");
    proQ = product(
        QStringLiteral("Pro-Q 3"), QStringLiteral("FabFilter"),
        {activeRecord(QStringLiteral("VST3"), vst3Path), activeRecord(QStringLiteral("VST3"), twinPath)});
    writeState(stateWith({proQ}));
    store = makeStore();
    const int writes = writeAttempts;

    EXPECT_FALSE(store->setFormatProtection({proQ.id, bundleKey(QStringLiteral("VST3"), twinPath)}, true));

    ASSERT_TRUE(store->notice());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Protection Change Blocked"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral("Quorvane cannot tell this bundle apart from another one it records: %1 and %2. "
                             "Rename or remove one of them, then scan again.")
                  .arg(vst3Path, twinPath));
    for (const PluginBundleRecord& record : current(proQ).bundleRecords())
        EXPECT_FALSE(record.isProtected);
    EXPECT_EQ(writeAttempts, writes);
}

TEST_F(StoreProtectionTest, aFailedFormatSaveRollsEverythingBackButTheStoredRecord) {
    store->setProtection(single, true);
    store->setProtection(single, false);
    store->setProtection(proQ, true);
    const auto pluginsBefore = store->plugins();
    const auto keysBefore = store->protectedKeys();
    const auto historyBefore = store->history();
    const InventoryRevisionToken revision = store->inventoryRevision();
    failSaves = true;

    // The change is in effect until its write fails.
    EXPECT_TRUE(store->setFormatProtection(selectionOf(proQ, QStringLiteral("VST3")), false));
    store->waitForIdle();

    EXPECT_EQ(store->plugins(), pluginsBefore);
    EXPECT_EQ(store->protectedKeys(), keysBefore);
    EXPECT_EQ(store->history(), historyBefore);
    EXPECT_EQ(store->inventoryRevision(), revision);
    EXPECT_EQ(store->notice()->title, QStringLiteral("Protection Change Not Saved"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral(
                  "Quorvane restored the previous protection state because the local inventory could not be "
                  "saved."));
    EXPECT_EQ(store->lastOperationError(), store->notice()->message);
    EXPECT_TRUE(store->lastStorageError());
}

TEST_F(StoreProtectionTest, aFailedSaveAfterStoringASynthesisedRecordKeepsThatRecord) {
    failSaves = true;
    ASSERT_FALSE(current(single).bundles);

    store->setFormatProtection(selectionOf(single, QStringLiteral("VST3")), true);
    store->waitForIdle();

    ASSERT_TRUE(current(single).bundles);
    EXPECT_FALSE(current(single).bundles->front().isProtected);
    EXPECT_FALSE(current(single).isProtected);
}

TEST_F(StoreProtectionTest, aBatchCountsEachKeyOnceAndWritesOneLinePerProduct) {
    store->setBatchProtection({proQ, proQUpper, single, proQ}, true);
    store->waitForIdle();

    EXPECT_TRUE(current(proQ).isProtected);
    EXPECT_TRUE(current(proQUpper).isProtected);
    EXPECT_TRUE(current(single).isProtected);
    EXPECT_EQ(store->notice()->title, QStringLiteral("Plugins Protected"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral("2 selected plugins are locked against quarantine and Trash."));
    ASSERT_EQ(store->history().size(), 2u);
    for (const HistoryItem& line : store->history()) {
        EXPECT_EQ(line.kind, HistoryKind::protection);
        EXPECT_EQ(line.detail, QStringLiteral("Protected as part of a batch selection"));
    }
    EXPECT_EQ(storedState().protectedKeys,
              (QStringList{QStringLiteral("fabfilter|pro-q 3"), QStringLiteral("soundtoys|decapitator")}));

    store->setBatchProtection({single, hosted}, false);
    store->waitForIdle();

    EXPECT_FALSE(current(single).isProtected);
    EXPECT_TRUE(current(proQ).isProtected);
    EXPECT_EQ(store->notice()->title, QStringLiteral("Protection Removed"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral("Protection was removed from 1 selected plugins. No files were moved."));
    EXPECT_EQ(store->history()[0].kind, HistoryKind::protectionRemoved);
    EXPECT_EQ(store->history()[0].detail, QStringLiteral("Protection removed as part of a batch selection"));
    EXPECT_EQ(store->history().size(), 3u);
}

TEST_F(StoreProtectionTest, anEmptyBatchDoesNothing) {
    QSignalSpy noticeSpy(store.get(), &PluginInventoryStore::noticeChanged);
    store->setBatchProtection({}, true);
    EXPECT_EQ(noticeSpy.count(), 0);
}

TEST_F(StoreProtectionTest, changesSignalOnlyWhatChanged) {
    QSignalSpy pluginsSpy(store.get(), &PluginInventoryStore::pluginsChanged);
    QSignalSpy historySpy(store.get(), &PluginInventoryStore::historyChanged);
    QSignalSpy rulesSpy(store.get(), &PluginInventoryStore::permanentQuarantineRulesChanged);
    QSignalSpy scanningSpy(store.get(), &PluginInventoryStore::isScanningChanged);

    store->setFormatProtection(selectionOf(proQ, QStringLiteral("AU")), true);

    EXPECT_EQ(pluginsSpy.count(), 1);
    EXPECT_EQ(historySpy.count(), 1);
    EXPECT_EQ(rulesSpy.count(), 0);
    EXPECT_EQ(scanningSpy.count(), 0);
}

} // namespace
} // namespace quorvane::testing
