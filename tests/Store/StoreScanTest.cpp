#include "StoreTestSupport.h"

#include "Model/SampleInventory.h"

#include <QSignalSpy>

#include <atomic>
#include <utility>

namespace quorvane::testing {
namespace {

const QString vst3Folder = QStringLiteral("/Library/Audio/Plug-Ins/VST3");
const QString componentsFolder = QStringLiteral("/Library/Audio/Plug-Ins/Components");
const QString fabFilter = QStringLiteral("FabFilter");
const QString proQ = QStringLiteral("Pro-Q 3");

class StoreScanTest : public StoreFixture {
protected:
    // Pro-Q 3 as VST3 and AU, Decapitator as VST3, all in the system folders.
    void writeStandardTree() {
        proQVst3 = writeBundleAt(vst3Folder, QStringLiteral("Pro-Q 3.vst3"), proQ,
                                 QStringLiteral("com.fabfilter.ProQ3"));
        proQAu = writeBundleAt(componentsFolder, QStringLiteral("Pro-Q 3.component"), proQ,
                               QStringLiteral("com.fabfilter.ProQ3"));
        decapitator =
            writeBundleAt(vst3Folder, QStringLiteral("Decapitator.vst3"), QStringLiteral("Decapitator"),
                          QStringLiteral("com.soundtoys.Decapitator"));
    }

    // A scan function that waits at `gate` and then runs the real scanner.
    void gateTheScanner() {
        scan = [this](const QList<QUrl>& folders, ScanControl& control,
                      const PluginScanner::ProgressCallback& progress) {
            if (!gate.wait(control))
                return ScanSummary{{}, {}, true};
            StoreEnvironment real = environment();
            return PluginScanner::scan(folders, control, progress, real.scanner);
        };
    }

    QString quarantineFolder(const QString& operation) const {
        return PathPolicy(roots).quarantineRoot() + u'/' + operation;
    }

    QString proQVst3;
    QString proQAu;
    QString decapitator;
    ScanGate gate;
};

TEST_F(StoreScanTest, aFirstScanReplacesTheSampleInventoryThroughTheEventLoop) {
    writeStandardTree();
    const auto store = makeStore();
    QSignalSpy scanning(store.get(), &PluginInventoryStore::isScanningChanged);
    QSignalSpy pluginsSpy(store.get(), &PluginInventoryStore::pluginsChanged);
    QSignalSpy noticeSpy(store.get(), &PluginInventoryStore::noticeChanged);
    const InventoryRevisionToken before = store->inventoryRevision();

    store->startScan(allFolders(), nullptr);
    EXPECT_TRUE(store->isScanning());
    ASSERT_TRUE(store->scanControl());
    ASSERT_TRUE(noticeSpy.wait(10000));
    store->waitForIdle();

    EXPECT_EQ(scanning.count(), 2);

    EXPECT_FALSE(store->isScanning());
    EXPECT_FALSE(store->scanControl());
    EXPECT_FALSE(store->scanProgress());
    EXPECT_EQ(pluginsSpy.count(), 1);
    ASSERT_EQ(store->plugins().size(), 2u);
    const Plugin* product = findProduct(store->plugins(), proQ);
    ASSERT_NE(product, nullptr);
    EXPECT_EQ(product->manufacturer, fabFilter);
    EXPECT_EQ(product->bundleRecords().size(), 2u);
    EXPECT_EQ(store->lastScanDate(), clock);
    EXPECT_EQ(store->lastReconciliation(), (ScanReconciliationSummary{0, 0, 0, false}));
    EXPECT_EQ(store->lastScanNotice(), QStringLiteral("Scan complete. No inventory changes detected."));
    ASSERT_TRUE(store->notice());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Scan Complete"));
    EXPECT_EQ(store->notice()->message, QStringLiteral("Indexed 2 plugin products across 3 format bundles."));
    EXPECT_EQ(store->notice()->style, NoticeStyle::success);
    ASSERT_EQ(store->history().size(), 1u);
    EXPECT_EQ(store->history()[0].plugin, QStringLiteral("All Plugins"));
    EXPECT_EQ(store->history()[0].kind, HistoryKind::scan);
    EXPECT_EQ(store->history()[0].detail, QStringLiteral("2 plugins across 3 format bundles"));
    EXPECT_EQ(store->history()[0].time, QStringLiteral("3:04\u202FPM"));
    EXPECT_EQ(store->history()[0].date, clock);
    EXPECT_NE(store->inventoryRevision(), before);
    EXPECT_EQ(storedState().plugins, store->plugins());
    EXPECT_EQ(storedState().history, store->history());
    EXPECT_EQ(storedState().lastScanDate, clock);
}

TEST_F(StoreScanTest, aRescanCountsAddedAndMissingBundlesAgainstThePreviousScan) {
    writeStandardTree();
    const auto store = makeStore();
    runScan(*store, allFolders());
    ASSERT_TRUE(QDir(decapitator).removeRecursively());
    writeBundleAt(vst3Folder, QStringLiteral("EchoBoy.vst3"), QStringLiteral("EchoBoy"),
                  QStringLiteral("com.soundtoys.EchoBoy"));
    writeBundleAt(vst3Folder, QStringLiteral("Crystallizer.vst3"), QStringLiteral("Crystallizer"),
                  QStringLiteral("com.soundtoys.Crystallizer"));

    runScan(*store, allFolders());

    const QString summary = QStringLiteral("Rescan: 2 added, 1 missing, 0 manually restored.");
    EXPECT_EQ(store->lastReconciliation(), (ScanReconciliationSummary{2, 1, 0, false}));
    EXPECT_EQ(store->lastScanNotice(), summary);
    ASSERT_GE(store->history().size(), 3u);
    EXPECT_EQ(store->history()[0].kind, HistoryKind::scan);
    EXPECT_EQ(store->history()[0].detail, QStringLiteral("3 plugins across 4 format bundles"));
    EXPECT_EQ(store->history()[1].kind, HistoryKind::reconciliation);
    EXPECT_EQ(store->history()[1].plugin, QStringLiteral("All Plugins"));
    EXPECT_EQ(store->history()[1].detail, summary);
    EXPECT_EQ(store->history()[2].kind, HistoryKind::scan);
}

TEST_F(StoreScanTest, quarantinedRecordsSurviveARescanBesideTheirScannedFormats) {
    writeStandardTree();
    ASSERT_TRUE(QDir(proQAu).removeRecursively());
    const QString operation = QStringLiteral("9A0C7E1B-2D3F-4A5B-8C6D-7E8F9A0B1C2D");
    const QString auOriginal = system(componentsFolder) + QStringLiteral("/Pro-Q 3.component");
    const PluginBundleRecord quarantinedAu =
        quarantinedRecord(QStringLiteral("AU"), auOriginal,
                          quarantineFolder(operation) + QStringLiteral("/Pro-Q 3.component"), operation);
    const Plugin stored =
        product(proQ, fabFilter, {activeRecord(QStringLiteral("VST3"), proQVst3), quarantinedAu});
    const QString onlyOriginal = system(componentsFolder) + QStringLiteral("/Tremolator.component");
    const Plugin onlyInQuarantine =
        product(QStringLiteral("Tremolator"), QStringLiteral("Soundtoys"),
                {quarantinedRecord(QStringLiteral("AU"), onlyOriginal,
                                   quarantineFolder(operation) + QStringLiteral("/Tremolator.component"),
                                   operation)});
    PersistedInventory state = stateWith({stored, onlyInQuarantine});
    state.lastScanDate = Timestamp{1};
    writeState(state);
    const auto store = makeStore();

    runScan(*store, allFolders());

    const Plugin* merged = findProduct(store->plugins(), proQ);
    ASSERT_NE(merged, nullptr);
    ASSERT_TRUE(merged->bundles);
    ASSERT_EQ(merged->bundles->size(), 2u);
    EXPECT_EQ((*merged->bundles)[0].format, QStringLiteral("VST3"));
    EXPECT_EQ((*merged->bundles)[0].path, proQVst3);
    EXPECT_EQ((*merged->bundles)[1], quarantinedAu);
    EXPECT_EQ(merged->formats, (QStringList{QStringLiteral("AU"), QStringLiteral("VST3")}));
    EXPECT_EQ(merged->status, PluginStatus::partiallyQuarantined);
    EXPECT_NE(merged->id, stored.id);

    const Plugin* kept = findProduct(store->plugins(), QStringLiteral("Tremolator"));
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->id, onlyInQuarantine.id);
    EXPECT_EQ(kept->status, PluginStatus::quarantined);
    EXPECT_EQ(kept->bundles, onlyInQuarantine.bundles);
    EXPECT_EQ(store->quarantinedBundleCount(), 2);
    EXPECT_EQ(store->lastReconciliation(), (ScanReconciliationSummary{1, 0, 0, false}));

    // The reinstalled AU at the quarantined record's original path shows only as that record (a
    // name in another case is another bundle on this disk).
    writeBundleAt(componentsFolder, QStringLiteral("Pro-Q 3.component"), proQ,
                  QStringLiteral("com.fabfilter.ProQ3"));
    runScan(*store, allFolders());
    merged = findProduct(store->plugins(), proQ);
    ASSERT_NE(merged, nullptr);
    ASSERT_EQ(merged->bundles->size(), 2u);
    EXPECT_EQ((*merged->bundles)[1], quarantinedAu);
}

TEST_F(StoreScanTest, aBundlePutBackFromTheTrashByHandIsCountedOnce) {
    writeStandardTree();
    TrashedBundleRecord trashed;
    trashed.id = makeUuid();
    trashed.pluginName = QStringLiteral("EchoBoy");
    trashed.manufacturer = QStringLiteral("Soundtoys");
    trashed.format = QStringLiteral("VST3");
    trashed.originalPath = system(vst3Folder) + QStringLiteral("/EchoBoy.vst3");
    trashed.trashPath = home + QStringLiteral("/.local/share/Trash/files/EchoBoy.vst3");
    trashed.operationDate = Timestamp{100};
    TrashedBundleRecord elsewhere = trashed;
    elsewhere.id = makeUuid();
    elsewhere.pluginName = QStringLiteral("Little Plate");
    elsewhere.originalPath = system(vst3Folder) + QStringLiteral("/Little Plate.vst3");
    PersistedInventory state = stateWith({});
    state.trashedBundles = std::vector<TrashedBundleRecord>{trashed, elsewhere};
    writeState(state);
    const auto store = makeStore();
    runScan(*store, allFolders());
    writeBundleAt(vst3Folder, QStringLiteral("EchoBoy.vst3"), QStringLiteral("EchoBoy"),
                  QStringLiteral("com.soundtoys.EchoBoy"));
    clock = Timestamp{725990000};

    runScan(*store, allFolders());

    const QString summary = QStringLiteral("Rescan: 0 added, 0 missing, 1 manually restored.");
    EXPECT_EQ(store->lastReconciliation(), (ScanReconciliationSummary{0, 0, 1, false}));
    EXPECT_EQ(store->lastScanNotice(), summary);
    ASSERT_GE(store->history().size(), 3u);
    EXPECT_EQ(store->history()[1].detail, summary);
    EXPECT_EQ(store->history()[2].kind, HistoryKind::externalRestore);
    EXPECT_EQ(store->history()[2].plugin, QStringLiteral("EchoBoy"));
    EXPECT_EQ(store->history()[2].detail,
              QStringLiteral("Detected VST3 bundle restored outside Quorvane at ") + trashed.originalPath);
    EXPECT_FALSE(store->history()[2].format);
    ASSERT_EQ(store->trashedBundles().size(), 2u);
    EXPECT_EQ(store->trashedBundles()[0].reconciledDate, Timestamp{725990000});
    EXPECT_FALSE(store->trashedBundles()[1].reconciledDate);
    EXPECT_EQ(storedState().trashedBundles, store->trashedBundles());

    const std::size_t lines = store->history().size();
    runScan(*store, allFolders());
    EXPECT_EQ(store->lastReconciliation(), (ScanReconciliationSummary{0, 0, 0, false}));
    EXPECT_EQ(store->history().size(), lines + 1);
}

TEST_F(StoreScanTest, aFirstScanReportsNoCountsButStillReportsManualRestores) {
    writeStandardTree();
    TrashedBundleRecord trashed;
    trashed.id = makeUuid();
    trashed.pluginName = QStringLiteral("Decapitator");
    trashed.manufacturer = QStringLiteral("Soundtoys");
    trashed.format = QStringLiteral("VST3");
    trashed.originalPath = decapitator;
    trashed.trashPath = home + QStringLiteral("/.local/share/Trash/files/Decapitator.vst3");
    PersistedInventory state = stateWith({});
    state.trashedBundles = std::vector<TrashedBundleRecord>{trashed};
    writeState(state);
    const auto store = makeStore();

    runScan(*store, allFolders());

    EXPECT_EQ(store->lastReconciliation(), (ScanReconciliationSummary{0, 0, 1, false}));
    EXPECT_EQ(store->lastScanNotice(), QStringLiteral("Rescan: 0 added, 0 missing, 1 manually restored."));
    ASSERT_EQ(store->history().size(), 2u);
    EXPECT_EQ(store->history()[0].kind, HistoryKind::scan);
    EXPECT_EQ(store->history()[1].kind, HistoryKind::externalRestore);
}

TEST_F(StoreScanTest, anUnreadableFolderDefersTheMissingCheckButStillCountsAdditions) {
    writeStandardTree();
    const auto store = makeStore();
    runScan(*store, allFolders());
    ASSERT_TRUE(QDir(proQAu).removeRecursively());
    writeBundleAt(componentsFolder, QStringLiteral("EchoBoy.component"), QStringLiteral("EchoBoy"),
                  QStringLiteral("com.soundtoys.EchoBoy"));
    unreadable.insert(system(vst3Folder));

    runScan(*store, allFolders());

    const QString summary = QStringLiteral("Rescan: 1 added, missing-bundle check deferred because some "
                                           "folders were unreadable, 0 manually restored.");
    EXPECT_EQ(store->inaccessibleLocations(), QStringList{system(vst3Folder)});
    EXPECT_EQ(store->lastReconciliation(), (ScanReconciliationSummary{1, 0, 0, true}));
    EXPECT_EQ(store->lastScanNotice(), summary);
    EXPECT_EQ(store->history()[1].detail, summary);
}

TEST_F(StoreScanTest, protectionSurvivesByBundleKeyAndByProductKey) {
    writeStandardTree();
    const Plugin storedProQ = product(
        proQ, fabFilter,
        {activeRecord(QStringLiteral("AU"), proQAu), activeRecord(QStringLiteral("VST3"), proQVst3, true)});
    PersistedInventory state = stateWith({storedProQ});
    state.protectedKeys = {QStringLiteral("soundtoys|decapitator")};
    writeState(state);
    const auto store = makeStore();

    runScan(*store, allFolders());

    const Plugin* scannedProQ = findProduct(store->plugins(), proQ);
    ASSERT_NE(scannedProQ, nullptr);
    ASSERT_TRUE(scannedProQ->bundles);
    for (const PluginBundleRecord& record : *scannedProQ->bundles)
        EXPECT_EQ(record.isProtected, record.format == QStringLiteral("VST3")) << record.format.toStdString();
    EXPECT_TRUE(scannedProQ->isProtected);
    EXPECT_EQ(scannedProQ->status, PluginStatus::partiallyProtected);

    const Plugin* scannedDecapitator = findProduct(store->plugins(), QStringLiteral("Decapitator"));
    ASSERT_NE(scannedDecapitator, nullptr);
    EXPECT_TRUE(scannedDecapitator->isProtected);
    for (const PluginBundleRecord& record : scannedDecapitator->bundleRecords())
        EXPECT_TRUE(record.isProtected);
    EXPECT_EQ(scannedDecapitator->status, PluginStatus::protected_);
}

// The bundle key folds case; this disk does not. A scanned bundle takes the protection of the
// record at its own path, and a protected key speaks for it only when no record is at its path
// (the vendor renamed it in another case).
TEST_F(StoreScanTest, aCaseTwinTakesTheProtectionOfItsOwnRecord) {
    const QString twin = writeBundleAt(vst3Folder, QStringLiteral("pro-q 3.vst3"), QStringLiteral("Heron"),
                                       QStringLiteral("com.orsolind.Heron"));
    decapitator = writeBundleAt(vst3Folder, QStringLiteral("Decapitator.vst3"), QStringLiteral("Decapitator"),
                                QStringLiteral("com.soundtoys.Decapitator"));
    PluginBundleRecord quarantined = quarantinedRecord(
        QStringLiteral("VST3"), system(vst3Folder) + QStringLiteral("/Pro-Q 3.vst3"),
        quarantineFolder(QStringLiteral("OP")) + QStringLiteral("/Pro-Q 3.vst3"), QStringLiteral("OP"));
    quarantined.isProtected = true;
    writeState(
        stateWith({product(proQ, fabFilter, {quarantined}),
                   product(QStringLiteral("Heron"), QStringLiteral("Orsolind"),
                           {activeRecord(QStringLiteral("VST3"), twin)}),
                   product(QStringLiteral("Decapitator"), QStringLiteral("Soundtoys"),
                           {activeRecord(QStringLiteral("VST3"),
                                         system(vst3Folder) + QStringLiteral("/DECAPITATOR.vst3"), true)})}));
    const auto store = makeStore();

    runScan(*store, allFolders());

    const auto lockAt = [&](const QString& path) {
        for (const Plugin& plugin : store->plugins())
            for (const PluginBundleRecord& record : plugin.bundleRecords())
                if (record.path == path)
                    return std::optional<bool>(record.isProtected);
        return std::optional<bool>();
    };
    EXPECT_EQ(lockAt(twin), false);
    EXPECT_EQ(lockAt(decapitator), true);
}

TEST_F(StoreScanTest, shellProductsAreAlwaysProtectedAndTheirKeysKept) {
    registry = std::make_shared<FakeAudioUnitRegistry>(std::vector<AudioUnitComponent>{
        {QStringLiteral("Waves"), QStringLiteral("Waves: SSL E-Channel Stereo"), QStringLiteral("14.0.0")}});
    writeBundleAt(vst3Folder, QStringLiteral("WaveShell1-VST3 14.0.vst3"),
                  QStringLiteral("WaveShell1-VST3 14.0"), QStringLiteral("com.waves.WaveShell1-VST3.14.0"));
    const auto store = makeStore();

    runScan(*store, allFolders());

    ASSERT_EQ(store->plugins().size(), 2u);
    for (const Plugin& plugin : store->plugins()) {
        EXPECT_TRUE(plugin.isMandatoryShell()) << plugin.name.toStdString();
        EXPECT_TRUE(plugin.isProtected) << plugin.name.toStdString();
        EXPECT_TRUE(store->protectedKeys().contains(productProtectionKey(plugin)))
            << plugin.name.toStdString();
    }
}

// A shell's key protects the products after it under the same key; a stored key protects every
// product under it, and the protected keys gain only the keys they lacked.
TEST_F(StoreScanTest, shellAndStoredKeysProtectTheProductsUnderThem) {
    Plugin shell = product(QStringLiteral("SSL"), QStringLiteral("Waves"),
                           {activeRecord(QStringLiteral("VST3"), QStringLiteral("/v/SSL.vst3"))});
    shell.status = PluginStatus::hostedByShell;
    const Plugin sameKeyAfter =
        product(QStringLiteral("ssl"), QStringLiteral("waves"),
                {activeRecord(QStringLiteral("AU"), QStringLiteral("/c/ssl.component"))});
    const Plugin storedKey =
        product(QStringLiteral("Tape"), QStringLiteral("Zed"),
                {activeRecord(QStringLiteral("AU"), QStringLiteral("/c/Tape.component"))});
    const Plugin unprotected =
        product(QStringLiteral("Zip"), QStringLiteral("Zed"),
                {activeRecord(QStringLiteral("AU"), QStringLiteral("/c/Zip.component"))});
    PersistedInventory state = stateWith({});
    state.protectedKeys = {QStringLiteral("zed|tape")};
    writeState(state);
    scan = [&](const QList<QUrl>&, ScanControl&, const PluginScanner::ProgressCallback&) {
        return ScanSummary{{shell, storedKey, unprotected, sameKeyAfter}, {}, false};
    };
    const auto store = makeStore();

    runScan(*store, allFolders());

    QStringList protectedNames;
    for (const Plugin& plugin : store->plugins()) {
        if (plugin.isProtected)
            protectedNames.push_back(plugin.name);
    }
    EXPECT_EQ(protectedNames,
              (QStringList{QStringLiteral("SSL"), QStringLiteral("Tape"), QStringLiteral("ssl")}));
    EXPECT_EQ(store->protectedKeys().size(), 2u);
    EXPECT_TRUE(store->protectedKeys().contains(QStringLiteral("waves|ssl")));
}

// A protection change made while the scan runs is not undone by its completion.
TEST_F(StoreScanTest, aFormatProtectionChangedDuringTheScanSurvivesItsCompletion) {
    writeStandardTree();
    const auto store = makeStore();
    runScan(*store, allFolders());
    gateTheScanner();
    const auto rebuilt = makeStore();
    const Plugin before = *findProduct(rebuilt->plugins(), proQ);
    const Plugin decapitatorBefore = *findProduct(rebuilt->plugins(), QStringLiteral("Decapitator"));
    ASSERT_TRUE(rebuilt->setFormatProtection(selectionOf(decapitatorBefore, QStringLiteral("VST3")), true));

    rebuilt->startScan(allFolders(), nullptr);
    ASSERT_TRUE(rebuilt->isScanning());
    ASSERT_TRUE(rebuilt->setFormatProtection(selectionOf(before, QStringLiteral("AU")), true));
    ASSERT_TRUE(rebuilt->setFormatProtection(selectionOf(decapitatorBefore, QStringLiteral("VST3")), false));
    gate.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rebuilt->isScanning(); }, 10000));
    rebuilt->waitForIdle();

    const Plugin* after = findProduct(rebuilt->plugins(), proQ);
    ASSERT_NE(after, nullptr);
    for (const PluginBundleRecord& record : after->bundleRecords())
        EXPECT_EQ(record.isProtected, record.format == QStringLiteral("AU")) << record.format.toStdString();
    EXPECT_EQ(after->status, PluginStatus::partiallyProtected);
    const Plugin* decapitatorAfter = findProduct(rebuilt->plugins(), QStringLiteral("Decapitator"));
    ASSERT_NE(decapitatorAfter, nullptr);
    EXPECT_FALSE(decapitatorAfter->isProtected);
    EXPECT_EQ(storedState().plugins, rebuilt->plugins());
}

TEST_F(StoreScanTest, aSecondStartWhileScanningDoesNothing) {
    gateTheScanner();
    const auto store = makeStore();
    store->startScan(allFolders(), nullptr);
    const std::shared_ptr<ScanControl> control = store->scanControl();
    QSignalSpy noticeSpy(store.get(), &PluginInventoryStore::noticeChanged);

    store->startScan(allFolders(), nullptr);

    EXPECT_EQ(store->scanControl(), control);
    EXPECT_EQ(noticeSpy.count(), 0);
    gate.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store->isScanning(); }, 10000));
}

// Scans run on the store's one long-lived worker, not on threads started per scan.
TEST_F(StoreScanTest, everyScanWalksOnTheSameWorkerThread) {
    static thread_local bool counted = false;
    std::atomic<int> threadsSeen = 0;
    scan = [&](const QList<QUrl>&, ScanControl&, const PluginScanner::ProgressCallback&) {
        if (!std::exchange(counted, true))
            ++threadsSeen;
        return ScanSummary{};
    };
    const auto store = makeStore();
    for (int run = 0; run < 3; ++run)
        runScan(*store, allFolders());
    EXPECT_EQ(threadsSeen.load(), 1);
}

TEST_F(StoreScanTest, aPendingJournalBlocksTheScan) {
    // Both ends of the journal's move exist: a mixed disk keeps the journal pending.
    const QString operation = uuidText(makeUuid());
    const QString source = writeBundleAt(vst3Folder, QStringLiteral("A.vst3"), QStringLiteral("A"),
                                         QStringLiteral("com.example.A"));
    const QString destination =
        writeBundleAt(PathPolicy::literalQuarantineRoot() + u'/' + operation, QStringLiteral("A.vst3"),
                      QStringLiteral("A"), QStringLiteral("com.example.A"));
    PersistedInventory state = stateWith({});
    state.pendingPrivilegedQuarantine =
        PrivilegedQuarantineRequest{uuidText(makeUuid()), {{source, destination, operation}}};
    writeState(state);
    const auto store = makeStore();
    ASSERT_TRUE(store->pendingPrivilegedQuarantine());

    store->startScan(allFolders(), nullptr);

    EXPECT_FALSE(store->isScanning());
    EXPECT_FALSE(store->scanControl());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Scan Blocked"));
    EXPECT_EQ(
        store->notice()->message,
        QStringLiteral("A privileged plugin transaction still needs reconciliation. Do not rescan until that "
                       "transaction is resolved."));
    EXPECT_EQ(store->lastOperationError(), store->notice()->message);
}

TEST_F(StoreScanTest, aCanceledScanKeepsTheInventoryAndStillSaves) {
    writeStandardTree();
    gateTheScanner();
    PersistedInventory state =
        stateWith({product(proQ, fabFilter, {activeRecord(QStringLiteral("VST3"), proQVst3)})});
    state.lastScanDate = Timestamp{42};
    writeState(state);
    const auto store = makeStore();
    const std::vector<Plugin> before = store->plugins().toVector();
    const InventoryRevisionToken revision = store->inventoryRevision();

    store->startScan(allFolders(), nullptr);
    store->scanControl()->requestCancellation();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store->isScanning(); }, 10000));
    store->waitForIdle();

    EXPECT_EQ(store->plugins(), before);
    EXPECT_EQ(store->lastScanDate(), Timestamp{42});
    EXPECT_FALSE(store->lastReconciliation());
    EXPECT_FALSE(store->scanControl());
    EXPECT_EQ(store->lastScanNotice(),
              QStringLiteral("Scan canceled. The previous inventory was kept unchanged."));
    EXPECT_EQ(store->notice()->title, QStringLiteral("Scan Canceled"));
    EXPECT_EQ(store->notice()->message, QStringLiteral("The previous inventory remains unchanged."));
    EXPECT_EQ(store->notice()->style, NoticeStyle::warning);
    ASSERT_EQ(store->history().size(), 1u);
    EXPECT_EQ(store->history()[0].kind, HistoryKind::scanCanceled);
    EXPECT_EQ(store->history()[0].plugin, QStringLiteral("All Plugins"));
    EXPECT_EQ(store->history()[0].detail,
              QStringLiteral("Scan canceled; the previous inventory was kept unchanged"));
    EXPECT_EQ(writeAttempts, 1);
    EXPECT_NE(store->inventoryRevision(), revision);
    EXPECT_EQ(storedState().history, store->history());
}

TEST_F(StoreScanTest, progressIsShownOnlyWhileItsOwnScanRuns) {
    PluginScanner::ProgressCallback firstScanProgress;
    PluginScanner::ProgressCallback currentProgress;
    std::mutex callbacks;
    scan = [&](const QList<QUrl>&, ScanControl& control, const PluginScanner::ProgressCallback& progress) {
        {
            const std::lock_guard guard(callbacks);
            if (!firstScanProgress)
                firstScanProgress = progress;
            currentProgress = progress;
        }
        progress(
            ScanProgress{QStringLiteral("VST3"), QStringLiteral("/Library/Audio/Plug-Ins/VST3"), 0, 10, 0});
        if (!gate.wait(control))
            return ScanSummary{{}, {}, true};
        return ScanSummary{};
    };
    const auto store = makeStore();
    const ScanProgress first{QStringLiteral("VST3"), QStringLiteral("/Library/Audio/Plug-Ins/VST3"), 0, 10,
                             0};

    store->startScan(allFolders(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->scanProgress() == first; }, 10000));
    gate.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store->isScanning(); }, 10000));
    EXPECT_FALSE(store->scanProgress());

    // Late: after its scan completed.
    firstScanProgress(ScanProgress{QStringLiteral("AU"), QStringLiteral("late"), 5, 10, 3});
    drainQueuedCalls();
    EXPECT_FALSE(store->scanProgress());

    // Superseded: the first scan's report while a second scan runs.
    gate.close();
    store->startScan(allFolders(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->scanProgress() == first; }, 10000));
    firstScanProgress(ScanProgress{QStringLiteral("AU"), QStringLiteral("superseded"), 5, 10, 3});
    drainQueuedCalls();
    EXPECT_EQ(store->scanProgress(), first);
    const ScanProgress own{QStringLiteral("CLAP"), QStringLiteral("own"), 9, 10, 4};
    {
        const std::lock_guard guard(callbacks);
        currentProgress(own);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->scanProgress() == own; }, 10000));
    gate.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store->isScanning(); }, 10000));
}

TEST_F(StoreScanTest, aFailedSaveAfterTheScanReplacesTheNoticeAndKeepsTheMerge) {
    writeStandardTree();
    const auto store = makeStore();
    failSaves = true;

    runScan(*store, allFolders());

    EXPECT_EQ(store->plugins().size(), 2u);
    EXPECT_EQ(store->notice()->title, QStringLiteral("Local State Not Saved"));
    EXPECT_TRUE(store->lastStorageError());
    EXPECT_FALSE(QFile::exists(statePath()));
}

TEST_F(StoreScanTest, aStoreDestroyedDuringItsScanStopsTheScanAndDropsTheResult) {
    gateTheScanner();
    auto store = makeStore();
    store->startScan(allFolders(), nullptr);
    ASSERT_TRUE(store->isScanning());

    store.reset();
    drainQueuedCalls();

    EXPECT_EQ(writeAttempts, 0);
}

// Exact permanent-quarantine replacements: reinstalled copies in the user's folder of products
// whose older copies sit in quarantine.
class PermanentQuarantineAfterScanTest : public StoreScanTest {
protected:
    void SetUp() override {
        StoreScanTest::SetUp();
        std::vector<Plugin> stored;
        std::vector<Plugin> scanned;
        for (int i = 0; i < 300; ++i) {
            const QString name = QStringLiteral("Plug %1").arg(i, 3, 10, QLatin1Char('0'));
            const QString file = name + QStringLiteral(".vst3");
            const QString operation = uuidText(makeUuid());
            stored.push_back(
                product(name, QStringLiteral("Acme"),
                        {quarantinedRecord(QStringLiteral("VST3"), system(vst3Folder) + u'/' + file,
                                           quarantineFolder(operation) + u'/' + file, operation)}));
            scanned.push_back(
                product(name, QStringLiteral("Acme"),
                        {activeRecord(QStringLiteral("VST3"),
                                      home + QStringLiteral("/Library/Audio/Plug-Ins/VST3/") + file)}));
        }
        PersistedInventory state = stateWith(stored);
        state.lastScanDate = Timestamp{1};
        state.permanentQuarantineRules =
            std::vector<PermanentQuarantineRule>{{QStringLiteral("ACME "), Timestamp{2}}};
        writeState(state);
        scan = [scanned](const QList<QUrl>&, ScanControl&, const PluginScanner::ProgressCallback&) {
            return ScanSummary{scanned, {}, false};
        };
    }
};

TEST_F(PermanentQuarantineAfterScanTest, aReadyHelperGetsTheFirst256AndTheRestForLater) {
    const auto store = makeStore<RecordingStore>();
    FakeReadiness ready(true);

    runScan(*store, allFolders(), &ready);

    ASSERT_EQ(store->runs.size(), 1u);
    EXPECT_EQ(store->runs[0].chunk.size(), 256u);
    EXPECT_EQ(store->runs[0].remaining.size(), 44u);
    EXPECT_EQ(store->runs[0].service, &ready);
    EXPECT_EQ(store->runs[0].chunk.front().pluginName, QStringLiteral("Plug 000"));
    EXPECT_EQ(store->runs[0].remaining.front().pluginName, QStringLiteral("Plug 256"));
    EXPECT_EQ(store->lastScanNotice(), QStringLiteral("Rescan: 300 added, 0 missing, 0 manually restored."));
}

class ObjectReadiness : public QObject, public FakeReadiness {
public:
    ObjectReadiness() : FakeReadiness(true) {}
};

TEST_F(PermanentQuarantineAfterScanTest, withoutAReadyHelperOnlyTheScanNoticeReportsTheCount) {
    const QString unavailable = QStringLiteral("Scan complete. 300 exact permanent-quarantine replacements "
                                               "found, but Plugin Management was unavailable; no "
                                               "files were moved.");
    FakeReadiness notReady(false);
    for (PrivilegedRequestReadiness* service : {static_cast<PrivilegedRequestReadiness*>(&notReady),
                                                static_cast<PrivilegedRequestReadiness*>(nullptr)}) {
        const auto store = makeStore<RecordingStore>();
        const int writesBefore = writeAttempts;
        runScan(*store, allFolders(), service);
        EXPECT_TRUE(store->runs.empty());
        EXPECT_EQ(store->lastScanNotice(), unavailable);
        EXPECT_EQ(store->notice()->title, QStringLiteral("Scan Complete"));
        // The scan's save and the run's; the second may take the first's place while it waits.
        EXPECT_GE(writeAttempts, writesBefore + 1);
        EXPECT_LE(writeAttempts, writesBefore + 2);
        EXPECT_EQ(storedState().plugins, store->plugins());
    }

    // A service destroyed while the scan ran counts as absent.
    ScanGate wait;
    const StoreEnvironment::ScanFunction immediate = scan;
    scan = [&](const QList<QUrl>& folders, ScanControl& control,
               const PluginScanner::ProgressCallback& progress) {
        wait.wait(control);
        return immediate(folders, control, progress);
    };
    const auto store = makeStore<RecordingStore>();
    auto service = std::make_unique<ObjectReadiness>();
    store->startScan(allFolders(), service.get());
    service.reset();
    wait.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store->isScanning(); }, 10000));
    EXPECT_TRUE(store->runs.empty());
    EXPECT_EQ(store->lastScanNotice(), unavailable);
}

} // namespace
} // namespace quorvane::testing
