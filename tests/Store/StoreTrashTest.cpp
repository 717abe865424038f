#include "Store/DisplayTime.h"
#include "StoreTransactionSupport.h"

namespace quorvane::testing {
namespace {

class StoreTrashTest : public TransactionStoreTest {
protected:
    // Quarantines the first records of `plugins` and moves them on to the Trash, through the journals.
    PrivilegedTrashRequest trashThroughJournal(const std::vector<PluginBundleSelection>& selections) {
        const auto request = store->beginPrivileged<PrivilegedKind::trash>(selections);
        EXPECT_TRUE(request.has_value()) << store->lastOperationError().value_or(QString()).toStdString();
        if (!request)
            return {};
        moveAll(*request);
        EXPECT_TRUE(committed([&](auto then) {
            store->completePrivileged(succeededResult<PrivilegedTrashResult>(*request),
                                      request->transactionID, request->items, then);
        }));
        return *request;
    }
    std::vector<PluginBundleSelection> selectionsOf(const QUuid& id) const {
        std::vector<PluginBundleSelection> selections;
        for (const PluginBundleRecord& record : findPlugin(id)->bundleRecords())
            selections.push_back({id, record.id()});
        return selections;
    }
};

TEST_F(StoreTrashTest, TheApplicationCreatesTheHomeTrashPrivateToTheUser) {
    const Plugin plugin = synth();
    open({plugin});
    quarantineThroughJournal({selection(plugin)});
    ASSERT_FALSE(onDisk(trashFolder()));
    EXPECT_EQ(store->planTrash(selectionsOf(plugin.id)), std::nullopt);
    for (const QString& folder : {trashFolder(), HomeTrash::infoFolder(home)}) {
        struct stat status {};
        ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0700u);
    }
}

TEST_F(StoreTrashTest, MovingTheLastFormatRemovesTheProductAndKeepsARecoveryRecord) {
    const Plugin plugin = synth();
    const Plugin bystander =
        product(QStringLiteral("Bystander"), {QStringLiteral("AU"), QStringLiteral("VST3")},
                {component(QStringLiteral("B.component")), vst3(QStringLiteral("B.vst3"))});
    open({plugin, bystander});
    const auto quarantine = quarantineThroughJournal({selection(plugin)});
    const auto request = trashThroughJournal(selectionsOf(plugin.id));
    EXPECT_EQ(store->notice()->title, QStringLiteral("Plugins Moved to Finder Trash"));
    EXPECT_EQ(
        store->notice()->message,
        QStringLiteral("1 format bundles moved through the administrator-approved helper as one recoverable "
                       "transaction."));
    ASSERT_EQ(store->plugins().size(), 1u);
    EXPECT_EQ(store->plugins()[0], bystander);
    ASSERT_EQ(store->trashedBundles().size(), 1u);
    const TrashedBundleRecord& record = store->trashedBundles()[0];
    EXPECT_EQ(record.pluginName, QStringLiteral("Synth"));
    EXPECT_EQ(record.manufacturer, QStringLiteral("Orsolind"));
    EXPECT_EQ(record.format, QStringLiteral("VST3"));
    EXPECT_EQ(record.originalPath, plugin.path);
    EXPECT_EQ(record.trashPath, request.items[0].destinationPath);
    EXPECT_EQ(record.operationDate, clock);
    EXPECT_EQ(record.trashTransactionID, request.transactionID);
    EXPECT_FALSE(record.reconciledDate.has_value());
    EXPECT_EQ(store->history()[0].kind, HistoryKind::trash);
    EXPECT_EQ(store->history()[0].detail,
              QStringLiteral("Moved quarantined VST3 bundle to Finder Trash through the privileged atomic "
                             "transaction; original location: ") +
                  plugin.path);
    // The emptied operation folder went with the pruning.
    EXPECT_FALSE(onDisk(deletingLastPathComponent(quarantine.items[0].destinationPath)));
}

TEST_F(StoreTrashTest, MovingOneOfTwoFormatsKeepsTheOtherAlone) {
    const Plugin plugin =
        product(QStringLiteral("Dual"), {QStringLiteral("AU"), QStringLiteral("VST3")},
                {component(QStringLiteral("Dual.component")), vst3(QStringLiteral("Dual.vst3"))});
    open({plugin});
    quarantineThroughJournal({selection(plugin, 1)});
    trashThroughJournal({{plugin.id, findPlugin(plugin.id)->bundleRecords()[1].id()}});
    const Plugin* remaining = findPlugin(plugin.id);
    ASSERT_NE(remaining, nullptr);
    EXPECT_EQ(remaining->formats, QStringList{QStringLiteral("AU")});
    ASSERT_EQ(remaining->bundles->size(), 1u);
    EXPECT_EQ(remaining->status, PluginStatus::ok);
}

class TrashFinaliserTest : public TransactionStoreTest {
protected:
    // A product whose one VST3 record sits in quarantine under `operation`.
    Plugin quarantined(const QString& name, const QString& operation, bool withOriginal = true) const {
        Plugin plugin = quarantinedUnder(synth(name), operation);
        if (!withOriginal)
            plugin.bundles->front().originalPath.reset();
        return plugin;
    }
    PrivilegedTrashItem trashItem(const Plugin& plugin) const {
        const PluginBundleRecord& record = plugin.bundles->front();
        return {*record.quarantinePath, trashFolder() + u'/' + lastPathComponent(record.path),
                *record.quarantineOperationID};
    }
};

TEST_F(TrashFinaliserTest, RefusesBeforeRemovingAnything) {
    const Plugin plugin = quarantined(QStringLiteral("Synth"), QStringLiteral("OP"));
    const Plugin noOriginal = quarantined(QStringLiteral("Bare"), QStringLiteral("OP2"), false);
    open({plugin, noOriginal});
    const auto plugins = store->plugins();
    EXPECT_EQ(store->finalisePrivileged<PrivilegedKind::trash>(QStringLiteral("TX"),
                                                               {trashItem(plugin), trashItem(plugin)}),
              std::unexpected(PrivilegedInventoryCommitError::duplicateInventoryRecord));
    auto otherOperation = trashItem(plugin);
    otherOperation.operationID = QStringLiteral("OTHER");
    EXPECT_EQ(store->finalisePrivileged<PrivilegedKind::trash>(QStringLiteral("TX"), {otherOperation}),
              std::unexpected(PrivilegedInventoryCommitError::missingInventoryRecord));
    EXPECT_EQ(store->finalisePrivileged<PrivilegedKind::trash>(QStringLiteral("TX"),
                                                               {trashItem(plugin), trashItem(noOriginal)}),
              std::unexpected(PrivilegedInventoryCommitError::missingInventoryRecord));
    EXPECT_EQ(store->plugins(), plugins);
    EXPECT_TRUE(store->trashedBundles().empty());
    EXPECT_TRUE(store->history().empty());
}

TEST_F(TrashFinaliserTest, RemovesExactlyTheMatchedRecord) {
    // Two records with one bundle key: an older quarantined copy first, the one being trashed second.
    Plugin plugin = quarantined(QStringLiteral("Synth"), QStringLiteral("OLD"));
    PluginBundleRecord second = plugin.bundles->front();
    second.quarantinePath = policy.quarantineRoot() + QStringLiteral("/NEW/Synth.vst3");
    second.quarantineOperationID = QStringLiteral("NEW");
    plugin.bundles->push_back(second);
    open({plugin});
    const PrivilegedTrashItem item{*second.quarantinePath, trashFolder() + QStringLiteral("/Synth.vst3"),
                                   QStringLiteral("NEW")};
    ASSERT_TRUE(store->finalisePrivileged<PrivilegedKind::trash>(QStringLiteral("TX"), {item}).has_value());
    ASSERT_EQ(store->plugins()[0].bundles->size(), 1u);
    EXPECT_EQ(store->plugins()[0].bundles->front().quarantineOperationID, QStringLiteral("OLD"));
}

TEST_F(TrashFinaliserTest, ACommitThatCannotBeSavedPutsEverythingBack) {
    const Plugin plugin = synth();
    open({plugin});
    quarantineThroughJournal({selection(plugin)});
    const auto plugins = store->plugins();
    const auto history = store->history();
    const auto request = store->beginPrivileged<PrivilegedKind::trash>({selection(plugins[0])});
    ASSERT_TRUE(request.has_value()) << store->lastOperationError().value_or(QString()).toStdString();
    moveAll(*request);
    store->waitForIdle();
    failSaves = true;
    EXPECT_FALSE(committed([&](auto then) {
        store->completePrivileged(succeededResult<PrivilegedTrashResult>(*request), request->transactionID,
                                  request->items, then);
    }));
    EXPECT_EQ(store->plugins(), plugins);
    EXPECT_EQ(store->history(), history);
    EXPECT_TRUE(store->trashedBundles().empty());
    EXPECT_EQ(store->pendingPrivilegedTrash(), request);
    EXPECT_EQ(store->notice()->message,
              QStringLiteral(
                  "The files moved successfully, but Quorvane could not finish its recovery journal. Do not "
                  "rescan or retry; reopen the app to reconcile the pending transaction."));
}

TEST_F(TrashFinaliserTest, PruningRemovesOnlyEmptyOperationFoldersNamedByAUuid) {
    const QString root = policy.quarantineRoot();
    const QString empty = root + u'/' + uuidText(makeUuid());
    const QString named = root + QStringLiteral("/Keep");
    const QString hidden = root + u'/' + uuidText(makeUuid());
    const QString full = root + u'/' + uuidText(makeUuid());
    const QString legacy = legacyQuarantineFolderURL(support) + u'/' + uuidText(makeUuid());
    for (const QString& folder : {empty, named, hidden, full, legacy})
        QDir().mkpath(folder);
    QFile(hidden + QStringLiteral("/.DS_Store")).open(QIODevice::WriteOnly);
    makeBundle(full + QStringLiteral("/Synth.vst3"));
    open({});
    EXPECT_FALSE(onDisk(empty));
    EXPECT_FALSE(onDisk(legacy));
    EXPECT_TRUE(onDisk(named));
    EXPECT_TRUE(onDisk(hidden));
    EXPECT_TRUE(onDisk(full));
}

// Trash recovery.

class TrashRecoveryTest : public TransactionStoreTest {
protected:
    void openWith(const std::vector<TrashedBundleRecord>& records) {
        open({}, [&](PersistedInventory& state) { state.trashedBundles = records; });
    }
};

TEST_F(TrashRecoveryTest, StatesComeFromTheDiskAndNewestComesFirst) {
    auto unsafe = trashRecord(QStringLiteral("Unsafe"), true, false, Timestamp{5});
    unsafe.originalPath = QStringLiteral("/tmp/Unsafe.vst3");
    const std::vector<TrashedBundleRecord> records{
        trashRecord(QStringLiteral("Ready"), true, false, Timestamp{1}),
        trashRecord(QStringLiteral("Occupied"), true, true, Timestamp{4}),
        trashRecord(QStringLiteral("Back"), false, true, Timestamp{3}),
        trashRecord(QStringLiteral("Gone"), false, false, Timestamp{3}),
        unsafe,
    };
    openWith(records);
    const auto entries = store->trashRecoveryEntries();
    std::vector<std::pair<QString, TrashRecoveryState>> seen;
    for (const auto& entry : entries)
        seen.emplace_back(entry.record.pluginName, entry.state);
    const std::vector<std::pair<QString, TrashRecoveryState>> expected{
        {QStringLiteral("Unsafe"), TrashRecoveryState::needsVerification},
        {QStringLiteral("Occupied"), TrashRecoveryState::destinationOccupied},
        {QStringLiteral("Back"), TrashRecoveryState::alreadyRestored},
        {QStringLiteral("Gone"), TrashRecoveryState::missingFromTrash},
        {QStringLiteral("Ready"), TrashRecoveryState::readyToRestore},
    };
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(store->restorableTrashRecordCount(), 1);
}

// A later Trash move may take the Trash name of an older record's bundle once that bundle has left
// the Trash: what lies there then is the later record's, never the older one's to restore.
TEST_F(TrashRecoveryTest, ARecordFollowsItsOwnBundleNotALaterOneUnderItsTrashName) {
    struct Case {
        const char* name;
        bool reconciled;
        TrashRecoveryState olderState;
        QString olderReason;
    };
    const Case cases[] = {
        {"Pro-R 2", true, TrashRecoveryState::alreadyRestored,
         QStringLiteral("Pro-R 2 — VST3 has already been reconciled.")},
        {"Pro-Q 3", false, TrashRecoveryState::missingFromTrash,
         QStringLiteral("Pro-Q 3 — VST3: Missing from Trash.")},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const QString name = QString::fromUtf8(test.name);
        auto older = trashRecord(name, false, false, Timestamp{1});
        if (test.reconciled)
            older.reconciledDate = Timestamp{2};
        const auto later = trashRecord(name, true, false, Timestamp{3});
        ASSERT_EQ(older.trashPath, later.trashPath);
        openWith({older, later});
        std::vector<std::pair<QUuid, TrashRecoveryState>> seen;
        for (const auto& entry : store->trashRecoveryEntries())
            seen.emplace_back(entry.id(), entry.state);
        EXPECT_EQ(seen, (std::vector<std::pair<QUuid, TrashRecoveryState>>{
                            {later.id, TrashRecoveryState::readyToRestore}, {older.id, test.olderState}}));
        EXPECT_EQ(store->restorableTrashRecordCount(), 1);
        EXPECT_EQ(store->trashRecoveryBlockingReason({older.id}), test.olderReason);
        EXPECT_EQ(store->trashRecoveryBlockingReason({later.id}), std::nullopt);
        store->verifyTrashRecords();
        EXPECT_EQ(store->trashedBundles()[0].missingDetectedDate.has_value(), !test.reconciled);
    }
}

TEST_F(TrashRecoveryTest, BlockingReasonsInTheirOrder) {
    const auto ready = trashRecord(QStringLiteral("Ready"), true, false);
    const auto occupied = trashRecord(QStringLiteral("Occupied"), true, true);
    auto reconciled = trashRecord(QStringLiteral("Done"), true, false);
    reconciled.reconciledDate = Timestamp{9};
    openWith({ready, occupied, reconciled});
    EXPECT_EQ(store->trashRecoveryBlockingReason({}),
              QStringLiteral("No Finder Trash recovery records are selected."));
    EXPECT_EQ(store->trashRecoveryBlockingReason(std::vector<QUuid>(257, ready.id)),
              QStringLiteral("A Trash recovery transaction can contain no more than 256 bundles."));
    EXPECT_EQ(store->trashRecoveryBlockingReason({ready.id, ready.id}),
              QStringLiteral("The Trash recovery selection contains a duplicate record."));
    EXPECT_EQ(store->trashRecoveryBlockingReason({makeUuid()}),
              QStringLiteral("A selected Trash recovery record no longer exists."));
    EXPECT_EQ(store->trashRecoveryBlockingReason({reconciled.id}),
              QStringLiteral("Done — VST3 has already been reconciled."));
    EXPECT_EQ(store->trashRecoveryBlockingReason({ready.id, occupied.id}),
              QStringLiteral("Occupied — VST3: Destination Occupied."));
    EXPECT_EQ(store->trashRecoveryBlockingReason({ready.id}), std::nullopt);
}

TEST_F(TrashRecoveryTest, TwoHundredFiftySixReadyRecordsPass) {
    std::vector<TrashedBundleRecord> records;
    std::vector<QUuid> ids;
    for (int index = 0; index < 256; ++index) {
        records.push_back(trashRecord(QStringLiteral("R%1").arg(index), true, false));
        ids.push_back(records.back().id);
    }
    openWith(records);
    EXPECT_EQ(store->trashRecoveryBlockingReason(ids), std::nullopt);
}

TEST_F(TrashRecoveryTest, VerificationNoticesWhatHappenedOutsideTheApplication) {
    const auto back = trashRecord(QStringLiteral("Back"), false, true);
    const auto gone = trashRecord(QStringLiteral("Gone"), false, false);
    const auto ready = trashRecord(QStringLiteral("Ready"), true, false);
    openWith({back, gone, ready});
    store->verifyTrashRecords();
    ASSERT_EQ(store->history().size(), 2u);
    EXPECT_EQ(store->history()[1].kind, HistoryKind::externalRestore);
    EXPECT_EQ(
        store->history()[1].detail,
        QStringLiteral("Detected VST3 bundle restored outside Quorvane at its recorded original location"));
    EXPECT_EQ(store->history()[0].kind, HistoryKind::missingTrashItem);
    EXPECT_EQ(
        store->history()[0].detail,
        QStringLiteral("VST3 bundle is absent from both its recorded Finder Trash path and original plugin "
                       "location"));
    EXPECT_EQ(store->trashedBundles()[0].reconciledDate, clock);
    EXPECT_FALSE(store->trashedBundles()[0].restoreTransactionID.has_value());
    EXPECT_EQ(store->trashedBundles()[1].missingDetectedDate, clock);
    EXPECT_EQ(store->trashRecoveryBlockingReason({back.id}),
              QStringLiteral("Back — VST3 has already been reconciled."));

    store->waitForIdle();
    const int writes = writeAttempts;
    store->verifyTrashRecords();
    store->waitForIdle();
    EXPECT_EQ(store->history().size(), 2u);
    EXPECT_EQ(writeAttempts, writes);
}

TEST_F(TrashRecoveryTest, VerificationWaitsWhileAJournalIsPending) {
    const auto back = trashRecord(QStringLiteral("Back"), false, true);
    const Plugin plugin = synth();
    // Both ends of the journal's item exist: a mixed disk, so the journal stays pending.
    const QString operation = uuidText(makeUuid());
    const QString destination =
        makeBundle(policy.quarantineRoot() + u'/' + operation + QStringLiteral("/Synth.vst3"));
    open({plugin}, [&](PersistedInventory& state) {
        state.trashedBundles = std::vector<TrashedBundleRecord>{back};
        state.pendingPrivilegedQuarantine =
            PrivilegedQuarantineRequest{uuidText(makeUuid()), {{plugin.path, destination, operation}}};
    });
    ASSERT_TRUE(store->hasPendingPrivilegedTransaction());
    store->verifyTrashRecords();
    EXPECT_FALSE(store->trashedBundles()[0].reconciledDate.has_value());
    EXPECT_TRUE(store->history().empty());
}

TEST_F(TrashRecoveryTest, ARecoveryThroughTheJournalReconcilesTheRecords) {
    const auto first = trashRecord(QStringLiteral("First"), true, false);
    const auto second = trashRecord(QStringLiteral("Second"), true, false);
    openWith({first, second});
    const auto request = store->beginTrashRecovery({first.id, second.id});
    ASSERT_TRUE(request.has_value());
    store->waitForIdle();
    EXPECT_EQ(storedState().pendingPrivilegedTrashRestore, request);
    const PrivilegedTrashRestoreItem expectedItem{first.trashPath, first.originalPath, uuidText(first.id),
                                                  QStringLiteral("First.vst3"), QStringLiteral("VST3")};
    EXPECT_EQ(request->items[0], expectedItem);
    moveAll(*request);
    auto result = succeededResult<PrivilegedTrashRestoreResult>(*request);
    auto missingOne = result;
    missingOne.destinationPaths.removeLast();
    EXPECT_FALSE(store->completePrivileged(missingOne, request->transactionID, request->items));
    EXPECT_EQ(
        store->notice()->message,
        QStringLiteral("The helper reported success, but Quorvane could not verify every restored plugin "
                       "location. Stop before retrying."));
    std::reverse(result.destinationPaths.begin(), result.destinationPaths.end());
    EXPECT_TRUE(store->completePrivileged(result, request->transactionID, request->items));
    store->waitForIdle();
    EXPECT_EQ(store->notice()->title, QStringLiteral("Plugins Restored from Finder Trash"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral(
                  "2 format bundles returned to their exact recorded original locations. Run a read-only "
                  "scan to refresh Inventory."));
    for (const TrashedBundleRecord& done : store->trashedBundles()) {
        EXPECT_EQ(done.reconciledDate, clock);
        EXPECT_EQ(done.restoreTransactionID, request->transactionID);
    }
    EXPECT_EQ(store->history()[0].kind, HistoryKind::trashRestore);
    EXPECT_EQ(
        store->history()[0].detail,
        QStringLiteral("Restored VST3 bundle from Finder Trash to its exact recorded original location"));
    EXPECT_FALSE(store->pendingPrivilegedTrashRestore().has_value());
}

TEST_F(TrashRecoveryTest, ItsOwnJournalIsBelievedAtTheNextLaunch) {
    const auto first = trashRecord(QStringLiteral("First"), true, false);
    openWith({first});
    const auto request = store->beginTrashRecovery({first.id});
    ASSERT_TRUE(request.has_value());
    moveAll(*request);
    reopen();
    EXPECT_FALSE(store->pendingPrivilegedTrashRestore().has_value());
    EXPECT_EQ(store->trashedBundles()[0].restoreTransactionID, request->transactionID);
    EXPECT_EQ(store->notice(), std::nullopt);
}

TEST_F(TrashRecoveryTest, AFailureWhoseTrashCopiesAreGoneKeepsTheJournal) {
    const auto first = trashRecord(QStringLiteral("First"), true, false);
    openWith({first});
    const auto request = store->beginTrashRecovery({first.id});
    ASSERT_TRUE(request.has_value());
    QDir(first.trashPath).removeRecursively();
    EXPECT_FALSE(store->completePrivileged(
        failedResult<PrivilegedTrashRestoreResult>(request->transactionID, QStringLiteral("It failed.")),
        request->transactionID, request->items));
    EXPECT_EQ(store->notice()->title, QStringLiteral("Trash Recovery Needs Attention"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral(
                  "It failed. Quorvane kept the pending Trash recovery journal. Stop and verify the listed "
                  "locations before retrying."));
    EXPECT_EQ(store->pendingPrivilegedTrashRestore(), request);
}

TEST_F(TrashRecoveryTest, FinalisingMatchesIdPathsAndFormat) {
    const auto first = trashRecord(QStringLiteral("First"), true, false);
    openWith({first});
    const PrivilegedTrashRestoreItem item{first.trashPath, first.originalPath, uuidText(first.id),
                                          QStringLiteral("First.vst3"), QStringLiteral("vst3")};
    auto notUuid = item;
    notUuid.recoveryRecordID = QStringLiteral("not-a-uuid");
    EXPECT_EQ(store->finalisePrivileged<PrivilegedKind::trashRecovery>(QStringLiteral("TX"), {notUuid}),
              std::unexpected(PrivilegedInventoryCommitError::missingInventoryRecord));
    EXPECT_EQ(store->finalisePrivileged<PrivilegedKind::trashRecovery>(QStringLiteral("TX"), {item, item}),
              std::unexpected(PrivilegedInventoryCommitError::missingInventoryRecord));
    EXPECT_FALSE(store->trashedBundles()[0].reconciledDate.has_value());
    ASSERT_TRUE(
        store->finalisePrivileged<PrivilegedKind::trashRecovery>(QStringLiteral("TX"), {item}).has_value());
    ASSERT_TRUE(
        store->finalisePrivileged<PrivilegedKind::trashRecovery>(QStringLiteral("TX2"), {item}).has_value());
    EXPECT_EQ(store->trashedBundles()[0].restoreTransactionID, QStringLiteral("TX"));
    EXPECT_EQ(store->history().size(), 1u);
}

// A pass over several records reads the clock once: every record it closes and every history line
// it writes carry that one moment, even while the clock runs.
TEST_F(TrashRecoveryTest, APassTakesItsMomentOnce) {
    for (const bool recovery : {false, true}) {
        SCOPED_TRACE(recovery ? "recovery" : "verification");
        const QString prefix = recovery ? QStringLiteral("Recovered") : QStringLiteral("Verified");
        const auto first = trashRecord(prefix + QStringLiteral("First"), recovery, !recovery);
        const auto second = trashRecord(prefix + QStringLiteral("Second"), recovery, !recovery);
        openWith({first, second});
        tickSeconds = 60;
        if (recovery) {
            std::vector<PrivilegedTrashRestoreItem> items;
            for (const TrashedBundleRecord& each : {first, second})
                items.push_back({each.trashPath, each.originalPath, uuidText(each.id),
                                 each.pluginName + QStringLiteral(".vst3"), each.format});
            ASSERT_TRUE(store->finalisePrivileged<PrivilegedKind::trashRecovery>(QStringLiteral("TX"), items)
                            .has_value());
        } else {
            store->verifyTrashRecords();
        }
        tickSeconds = 0;
        ASSERT_EQ(store->history().size(), 2u);
        const auto moment = store->trashedBundles()[0].reconciledDate;
        ASSERT_TRUE(moment.has_value());
        EXPECT_EQ(store->trashedBundles()[1].reconciledDate, moment);
        EXPECT_EQ(store->history()[0].time, shortTimeText(*moment));
        EXPECT_EQ(store->history()[1].time, shortTimeText(*moment));
    }
}

} // namespace
} // namespace quorvane::testing
