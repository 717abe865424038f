#include "StoreTransactionSupport.h"

#include "Store/StoreTexts.h"

#include <QTest>

#include <atomic>
#include <future>

// A transaction that overlaps a scan: the walker's view of a bundle is older than the transaction's,
// so the record the transaction wrote or will write must come through the scan's completion.

namespace quorvane::testing {
namespace {

class ScanOverlapTest : public TransactionStoreTest {
protected:
    // The scanner finds `found` (under new ids, as a real walk would), having walked every folder
    // once `walkAllowed` is set; `walked` is set when it returns.
    void walkFinding(std::vector<Plugin> found) {
        for (Plugin& plugin : found)
            plugin.id = makeUuid();
        scan = [found, allowed = walkAllowed.get_future().share(),
                walked = std::make_shared<std::promise<void>>(std::move(walked))](
                   const QList<QUrl>&, ScanControl&, const PluginScanner::ProgressCallback&) {
            allowed.wait();
            walked->set_value();
            return ScanSummary{found, {}, false};
        };
    }
    void waitForScanEnd() const {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !store->isScanning(); }, 10000));
        store->waitForIdle();
    }
    // A quarantined Synth (its bundle in quarantine) and an active Other, which is all the walk finds.
    Plugin openWithQuarantinedSynth() {
        const Plugin other = synth(QStringLiteral("Other"));
        const Plugin quarantined = quarantinedUnder(synth(), uuidText(makeUuid()));
        const PluginBundleRecord record = quarantined.bundleRecords()[0];
        EXPECT_TRUE(moveBundle(record.path, *record.quarantinePath));
        walkFinding({other});
        open({quarantined, other});
        return quarantined;
    }
    // An active Synth and an active Other, opened and scanned by a walk that finds only Other.
    Plugin scanMissingAnActiveSynth() {
        const Plugin other = synth(QStringLiteral("Other"));
        const Plugin active = synth();
        walkFinding({other});
        open({active, other});
        store->startScan({}, nullptr);
        return active;
    }
    void restore(const Plugin& quarantined) {
        const auto request = store->beginPrivileged<PrivilegedKind::restore>({selection(quarantined)});
        ASSERT_TRUE(request.has_value()) << store->lastOperationError().value_or(QString()).toStdString();
        moveAll(*request);
        ASSERT_TRUE(store->completePrivileged(succeededResult<PrivilegedRestoreResult>(*request),
                                              request->transactionID, request->items));
    }
    // The scan's merge, once worked out off the window's thread, waits for `handBack` before it
    // goes back to the store.
    void holdTheMerge() {
        scanMerged = [this, allowed = handBack.get_future().share()] {
            merged.set_value();
            allowed.wait();
        };
    }
    void waitForTheMerge() {
        ASSERT_TRUE(QTest::qWaitFor(
            [done = merged.get_future()] {
                return done.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
            },
            10000));
    }
    std::promise<void> merged;
    std::promise<void> handBack;

    const Plugin* named(const QString& name) const {
        for (const Plugin& plugin : store->plugins())
            if (plugin.name == name)
                return &plugin;
        return nullptr;
    }

    // A scan started, its walk held, over an inventory whose Synth bundle the application moved to
    // the Trash; the walk will find it back at its original path. The Trash record.
    TrashedBundleRecord scanWithSynthInTheTrash() {
        const Plugin other = synth(QStringLiteral("Other"));
        const TrashedBundleRecord trashed = trashRecord(QStringLiteral("Synth"), true, false);
        walkFinding({other, synth()});
        QDir(vst3(QStringLiteral("Synth.vst3"))).removeRecursively();
        open({other}, [&](PersistedInventory& state) {
            state.lastScanDate = clock;
            state.trashedBundles = {trashed};
        });
        store->startScan({}, nullptr);
        return trashed;
    }

    std::promise<void> walkAllowed;
    std::promise<void> walked;
    std::future<void> walkDone = walked.get_future();
};

TEST_F(ScanOverlapTest, ARestoreCommittedAfterTheWalkerPassedSurvivesTheMerge) {
    const Plugin quarantined = openWithQuarantinedSynth();
    const PluginBundleRecord record = quarantined.bundleRecords()[0];

    store->startScan({}, nullptr);
    walkAllowed.set_value();
    walkDone.wait();
    restore(quarantined);
    waitForScanEnd();

    const Plugin* restored = named(QStringLiteral("Synth"));
    ASSERT_NE(restored, nullptr);
    ASSERT_EQ(restored->bundleRecords().size(), 1u);
    EXPECT_FALSE(restored->bundleRecords()[0].isQuarantined());
    EXPECT_EQ(restored->bundleRecords()[0].path, record.path);
    EXPECT_EQ(restored->status, PluginStatus::ok);
    EXPECT_EQ(storedState().plugins, store->plugins());
}

// A bundle restored during the scan and then removed before the walk reached it is gone: the
// record the restore wrote does not outlive it.
TEST_F(ScanOverlapTest, ABundleRestoredAndRemovedBeforeTheWalkLeavesNoRecord) {
    const Plugin quarantined = openWithQuarantinedSynth();
    const PluginBundleRecord record = quarantined.bundleRecords()[0];

    store->startScan({}, nullptr);
    // The restore's commit is still being written when the merge is worked out: it has had its
    // answer, and its bundle is gone all the same.
    std::promise<void> release;
    std::atomic<int> writes = 0;
    duringWrite = [&writes, held = release.get_future().share()](const PersistedInventory&) {
        if (writes++ > 0)
            held.wait();
    };
    restore(quarantined);
    ASSERT_TRUE(QDir(record.path).removeRecursively());
    walkAllowed.set_value();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store->isScanning(); }, 10000));
    release.set_value();
    store->waitForIdle();

    EXPECT_EQ(named(QStringLiteral("Synth")), nullptr);
}

// A quarantine whose journal is still being written has moved nothing: a bundle at its path that
// went before the walk is gone after the merge, and stays gone when that write then fails.
TEST_F(ScanOverlapTest, AQuarantineWhoseJournalIsNotWrittenYetCarriesNoRecordOfAGoneBundle) {
    const Plugin active = scanMissingAnActiveSynth();
    std::promise<void> release;
    duringWrite = [held = release.get_future().share()](const PersistedInventory&) { held.wait(); };
    failSaves = true;

    std::optional<std::optional<PrivilegedQuarantineRequest>> sent;
    ASSERT_TRUE(store->beginPrivileged<PrivilegedKind::quarantine>(
        {selection(active)}, std::nullopt,
        [&](std::optional<PrivilegedQuarantineRequest> request) { sent = std::move(request); }));
    ASSERT_TRUE(QDir(active.path).removeRecursively());
    walkAllowed.set_value();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store->isScanning(); }, 10000));
    release.set_value();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sent.has_value(); }, 10000));
    store->waitForIdle();

    EXPECT_FALSE(sent->has_value());
    EXPECT_EQ(named(QStringLiteral("Synth")), nullptr);
}

// A quarantine whose journal could not be written never began: a bundle at its path that the walk
// no longer found is gone after the merge, as any other.
TEST_F(ScanOverlapTest, AQuarantineWhoseJournalWasNotWrittenCarriesNoRecordThroughTheMerge) {
    const Plugin active = scanMissingAnActiveSynth();
    failSaves = true;
    EXPECT_FALSE(store->beginPrivileged<PrivilegedKind::quarantine>({selection(active)}).has_value());
    failSaves = false;
    walkAllowed.set_value();
    waitForScanEnd();

    EXPECT_EQ(named(QStringLiteral("Synth")), nullptr);
}

// The merge is worked out off the window's thread against the store as it was when the walk ended;
// a restore that commits meanwhile must not be undone by it.
TEST_F(ScanOverlapTest, ARestoreCommittedWhileTheMergeIsWorkedOutSurvivesIt) {
    const Plugin other = synth(QStringLiteral("Other"));
    const Plugin quarantined = quarantinedUnder(synth(), uuidText(makeUuid()));
    const PluginBundleRecord record = quarantined.bundleRecords()[0];
    ASSERT_TRUE(moveBundle(record.path, *record.quarantinePath));
    walkFinding({other});
    holdTheMerge();
    open({quarantined, other});

    store->startScan({}, nullptr);
    walkAllowed.set_value();
    waitForTheMerge();
    restore(quarantined);
    handBack.set_value();
    waitForScanEnd();

    const Plugin* restored = named(QStringLiteral("Synth"));
    ASSERT_NE(restored, nullptr);
    ASSERT_EQ(restored->bundleRecords().size(), 1u);
    EXPECT_FALSE(restored->bundleRecords()[0].isQuarantined());
    EXPECT_EQ(restored->status, PluginStatus::ok);
    EXPECT_EQ(storedState().plugins, store->plugins());
}

// The merge looks for the matches of the permanent-quarantine rules it was given; a rule enabled
// while it is worked out counts at the scan's completion.
TEST_F(ScanOverlapTest, ARuleEnabledWhileTheMergeIsWorkedOutFindsItsMatch) {
    const QString maker = QStringLiteral("Orsolind");
    const Plugin retired = quarantinedUnder(product(QStringLiteral("Synth"), {QStringLiteral("VST3")},
                                                    {vst3(QStringLiteral("Old/Synth.vst3"))}, maker),
                                            uuidText(makeUuid()));
    const PluginBundleRecord& record = retired.bundles->front();
    ASSERT_TRUE(moveBundle(record.path, *record.quarantinePath));
    walkFinding({product(QStringLiteral("Synth"), {QStringLiteral("VST3")},
                         {vst3(QStringLiteral("Synth.vst3"))}, maker)});
    holdTheMerge();
    open({retired});

    store->startScan({}, nullptr);
    walkAllowed.set_value();
    waitForTheMerge();
    store->setPermanentQuarantine(maker, true);
    handBack.set_value();
    waitForScanEnd();

    EXPECT_EQ(store->lastScanNotice(), StoreTexts::ScanNotice::permanentQuarantineUnavailable(1));
}

TEST_F(ScanOverlapTest, AQuarantineAnsweredAfterTheScanFindsItsRecordAndCanBeRestored) {
    const Plugin other = synth(QStringLiteral("Other"));
    const Plugin plugin = synth();
    walkFinding({other});
    open({plugin, other}, [&](PersistedInventory& state) { state.lastScanDate = clock; });

    store->startScan({}, nullptr);
    const auto request = store->beginPrivileged<PrivilegedKind::quarantine>({selection(plugin)});
    ASSERT_TRUE(request.has_value()) << store->lastOperationError().value_or(QString()).toStdString();
    // The helper moves the bundle before the walker reaches its folder.
    moveAll(*request);
    walkAllowed.set_value();
    waitForScanEnd();
    EXPECT_EQ(store->lastReconciliation()->missingBundles, 0);
    EXPECT_EQ(storedState().pendingPrivilegedQuarantine, request);

    ASSERT_TRUE(store->completePrivileged(succeededResult<PrivilegedQuarantineResult>(*request),
                                          request->transactionID, request->items));
    store->waitForIdle();
    const Plugin* moved = named(QStringLiteral("Synth"));
    ASSERT_NE(moved, nullptr);
    ASSERT_EQ(moved->bundleRecords().size(), 1u);
    const PluginBundleRecord record = moved->bundleRecords()[0];
    EXPECT_EQ(record.quarantinePath, request->items[0].destinationPath);
    EXPECT_EQ(moved->status, PluginStatus::quarantined);
    EXPECT_EQ(store->planRestore({{moved->id, record.id()}}), std::nullopt);
    EXPECT_FALSE(storedState().pendingPrivilegedQuarantine.has_value());
}

// A bundle updated in place since the last scan comes back from the walk under another product; the
// quarantine begun meanwhile moves the one bundle its record names, so the merge keeps that record
// alone and the commit finds exactly it.
TEST_F(ScanOverlapTest, AQuarantineOfABundleUpdatedInPlaceKeepsOneRecordOfItsPath) {
    const Plugin plugin = synth();
    const Plugin sibling = product(QStringLiteral("Synth"), {QStringLiteral("AU")},
                                   {component(QStringLiteral("Synth.component"))});
    Plugin updated = plugin;
    updated.name = QStringLiteral("Synth 2");
    Plugin rebranded = plugin;
    rebranded.manufacturer = QStringLiteral("Velmora");
    const PluginBundleRecord record = plugin.bundleRecords()[0];
    for (const auto& [found, foundSibling] : {std::pair{updated, false}, std::pair{rebranded, true}}) {
        SCOPED_TRACE(found.name.toStdString() + ' ' + found.manufacturer.toStdString());
        walkAllowed = {};
        walked = {};
        walkDone = walked.get_future();
        std::vector<Plugin> walk{found};
        if (foundSibling)
            walk.push_back(sibling);
        walkFinding(walk);
        open({plugin, sibling}, [&](PersistedInventory& state) { state.lastScanDate = clock; });

        store->startScan({}, nullptr);
        const auto request = store->beginPrivileged<PrivilegedKind::quarantine>({selection(plugin)});
        ASSERT_TRUE(request.has_value()) << store->lastOperationError().value_or(QString()).toStdString();
        walkAllowed.set_value();
        waitForScanEnd();
        qsizetype records = 0;
        for (const Plugin& product : store->plugins())
            for (const PluginBundleRecord& candidate : product.bundleRecords())
                records += plainEqual(candidate.id(), record.id()) ? 1 : 0;
        EXPECT_EQ(records, 1);

        moveAll(*request);
        EXPECT_TRUE(committed([&](auto then) {
            store->completePrivileged(succeededResult<PrivilegedQuarantineResult>(*request),
                                      request->transactionID, request->items, then);
        }));
        ASSERT_TRUE(moveBundle(request->items[0].destinationPath, record.path));
    }
}

// The walk saw a bundle that a quarantine then moved and a Trash move took away: no record names
// its old place, unless a bundle is there again when the scan completes.
TEST_F(ScanOverlapTest, ABundleTrashedAfterTheWalkSawItLeavesNoRecordAtItsOldPlace) {
    const Plugin other = synth(QStringLiteral("Other"));
    const Plugin plugin = synth();
    const QString path = plugin.bundleRecords()[0].path;
    for (const bool reinstalled : {false, true}) {
        SCOPED_TRACE(reinstalled);
        makeBundle(path);
        walkAllowed = {};
        walked = {};
        walkDone = walked.get_future();
        walkFinding({other, plugin});
        open({plugin, other}, [&](PersistedInventory& state) { state.lastScanDate = clock; });

        store->startScan({}, nullptr);
        const auto quarantine = store->beginPrivileged<PrivilegedKind::quarantine>({selection(plugin)});
        ASSERT_TRUE(quarantine.has_value()) << store->lastOperationError().value_or(QString()).toStdString();
        moveAll(*quarantine);
        ASSERT_TRUE(committed([&](auto then) {
            store->completePrivileged(succeededResult<PrivilegedQuarantineResult>(*quarantine),
                                      quarantine->transactionID, quarantine->items, then);
        }));
        const auto trash =
            store->beginPrivileged<PrivilegedKind::trash>({selection(*named(QStringLiteral("Synth")))});
        ASSERT_TRUE(trash.has_value()) << store->lastOperationError().value_or(QString()).toStdString();
        moveAll(*trash);
        ASSERT_TRUE(committed([&](auto then) {
            store->completePrivileged(succeededResult<PrivilegedTrashResult>(*trash), trash->transactionID,
                                      trash->items, then);
        }));
        if (reinstalled)
            makeBundle(path);
        walkAllowed.set_value();
        waitForScanEnd();

        EXPECT_EQ(store->lastReconciliation()->manuallyRestoredBundles, 0);
        qsizetype records = 0;
        for (const Plugin& product : store->plugins())
            for (const PluginBundleRecord& record : product.bundleRecords())
                records += record.path == path ? 1 : 0;
        EXPECT_EQ(records, reinstalled ? 1 : 0);
    }
}

// The walk finds a recovered bundle back at its original path before the recovery commits: it is
// the recovery's own, not one put back by hand.
TEST_F(ScanOverlapTest, ATrashRecoveryDuringTheScanIsNotCountedAsRestoredByHand) {
    const TrashedBundleRecord trashed = scanWithSynthInTheTrash();
    const auto request = store->beginTrashRecovery({trashed.id});
    ASSERT_TRUE(request.has_value()) << store->lastOperationError().value_or(QString()).toStdString();
    moveAll(*request);
    walkAllowed.set_value();
    waitForScanEnd();
    EXPECT_EQ(store->lastReconciliation()->manuallyRestoredBundles, 0);
    EXPECT_TRUE(store->completePrivileged(succeededResult<PrivilegedTrashRestoreResult>(*request),
                                          request->transactionID, request->items));
    store->waitForIdle();

    ASSERT_EQ(store->trashedBundles().size(), 1u);
    EXPECT_EQ(store->trashedBundles()[0].restoreTransactionID, request->transactionID);
    EXPECT_EQ(store->history()[0].kind, HistoryKind::trashRestore);
    EXPECT_EQ(std::ranges::count(store->history(), HistoryKind::externalRestore, &HistoryItem::kind), 0);
    EXPECT_NE(named(QStringLiteral("Synth")), nullptr);
}

// A recovery whose journal could not be written never began: a bundle put back by hand at its place
// is counted so.
TEST_F(ScanOverlapTest, ATrashRecoveryWhoseJournalWasNotWrittenLeavesAHandRestoreCounted) {
    const TrashedBundleRecord trashed = scanWithSynthInTheTrash();
    failSaves = true;
    EXPECT_FALSE(store->beginTrashRecovery({trashed.id}).has_value());
    failSaves = false;
    walkAllowed.set_value();
    waitForScanEnd();

    EXPECT_EQ(store->lastReconciliation()->manuallyRestoredBundles, 1);
}

} // namespace
} // namespace quorvane::testing
