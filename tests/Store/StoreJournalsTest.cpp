#include "StoreTransactionSupport.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace quorvane::testing {
namespace {

const QString pendingReason =
    QStringLiteral("A previous privileged plugin transaction still needs reconciliation.");

class StoreJournalsTest : public TransactionStoreTest {
protected:
    // The next write is held until `releaseHeldWrite` is set, then fails; the writes after it succeed.
    void holdAndFailTheNextWrite() {
        duringWrite = [this](const PersistedInventory&) {
            if (++heldWrites == 1)
                heldWriteReleased.wait();
            failSaves = heldWrites == 1;
        };
    }

    std::promise<void> releaseHeldWrite;
    std::shared_future<void> heldWriteReleased = releaseHeldWrite.get_future().share();
    // The writes since holdAndFailTheNextWrite.
    std::atomic<int> heldWrites = 0;
};

TEST_F(StoreJournalsTest, BeginWritesTheJournalBeforeTheRequestLeaves) {
    const Plugin plugin = synth();
    open({plugin});
    EXPECT_EQ(store->planQuarantine({selection(plugin)}), std::nullopt);
    // A slow disk: the write waits until the test lets it go.
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    duringWrite = [released](const PersistedInventory&) { released.wait(); };
    std::vector<std::optional<PrivilegedQuarantineRequest>> sent;
    std::optional<PrivilegedQuarantineRequest> onDiskWhenSent;
    const auto request = store->beginPrivileged<PrivilegedKind::quarantine>(
        {selection(plugin)}, {}, [&](const std::optional<PrivilegedQuarantineRequest>& ready) {
            sent.push_back(ready);
            onDiskWhenSent = storedState().pendingPrivilegedQuarantine;
        });
    ASSERT_TRUE(request.has_value());
    QCoreApplication::processEvents();
    EXPECT_TRUE(sent.empty());
    release.set_value();
    store->waitForIdle();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], request);
    EXPECT_EQ(onDiskWhenSent, request);
    EXPECT_EQ(parseUuid(request->transactionID).has_value(), true);
    EXPECT_EQ(request->transactionID, request->transactionID.toUpper());
    ASSERT_EQ(request->items.size(), 1u);
    EXPECT_EQ(request->items[0].sourcePath, plugin.path);
    EXPECT_EQ(store->pendingPrivilegedQuarantine(), request);
    EXPECT_EQ(storedState().pendingPrivilegedQuarantine, request);
    EXPECT_EQ(store->lastStorageError(), std::nullopt);
}

// A caller that sends the request begin returns gets it only once its journal is on disk (or none).
TEST_F(StoreJournalsTest, ARequestBeginReturnsIsOnlyHandedOutOnceItsJournalIsOnDisk) {
    const Plugin plugin = synth();
    for (const bool fails : {false, true}) {
        open({plugin});
        // A slow disk.
        duringWrite = [this, fails](const PersistedInventory&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            failSaves = fails;
        };
        const auto request = store->beginPrivileged<PrivilegedKind::quarantine>({selection(plugin)});
        const auto onDisk = storedState().pendingPrivilegedQuarantine;
        duringWrite = {};
        failSaves = false;
        EXPECT_EQ(request.has_value(), !fails);
        EXPECT_EQ(onDisk, request);
        EXPECT_EQ(store->pendingPrivilegedQuarantine(), request);
    }
}

TEST_F(StoreJournalsTest, ASaveFailureInBeginLeavesEverythingAsItWas) {
    const Plugin plugin = synth();
    open({plugin});
    const QByteArray before = [&] {
        QFile file(statePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    failSaves = true;
    std::vector<std::optional<PrivilegedQuarantineRequest>> sent;
    store->beginPrivileged<PrivilegedKind::quarantine>(
        {selection(plugin)}, {},
        [&](const std::optional<PrivilegedQuarantineRequest>& ready) { sent.push_back(ready); });
    store->waitForIdle();
    EXPECT_EQ(sent, (std::vector<std::optional<PrivilegedQuarantineRequest>>{std::nullopt}));
    EXPECT_FALSE(store->pendingPrivilegedQuarantine().has_value());
    ASSERT_TRUE(store->notice().has_value());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Privileged Quarantine Blocked"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral(
                  "Quorvane could not save the pending transaction journal. No plugin files were moved."));
    EXPECT_TRUE(store->lastStorageError().has_value());
    QFile file(statePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

TEST_F(StoreJournalsTest, APendingJournalIsToldOnceTheOperationThatOpensOrClearsItHasReturned) {
    const Plugin plugin = synth();
    open({plugin});
    QSignalSpy told(store.get(), &PluginInventoryStore::pendingPrivilegedTransactionChanged);
    // The writes' outcomes first, then what the event loop was asked to do meanwhile.
    const auto settle = [&] {
        store->waitForIdle();
        QCoreApplication::processEvents();
    };

    // A journal written and put back again by a failed save was never there.
    failSaves = true;
    store->beginPrivileged<PrivilegedKind::quarantine>({selection(plugin)});
    settle();
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
    EXPECT_EQ(told.count(), 0);

    failSaves = false;
    const auto request = store->beginPrivileged<PrivilegedKind::quarantine>({selection(plugin)});
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(told.count(), 0);
    settle();
    EXPECT_EQ(told.count(), 1);

    // A commit that cannot be saved keeps the journal: nothing to tell.
    moveAll(*request);
    failSaves = true;
    ASSERT_FALSE(committed([&](auto then) {
        store->completePrivileged(succeededResult<PrivilegedQuarantineResult>(*request),
                                  request->transactionID, request->items, then);
    }));
    settle();
    EXPECT_EQ(told.count(), 1);

    failSaves = false;
    ASSERT_TRUE(committed([&](auto then) {
        store->completePrivileged(succeededResult<PrivilegedQuarantineResult>(*request),
                                  request->transactionID, request->items, then);
    }));
    settle();
    EXPECT_EQ(told.count(), 2);
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
}

TEST_F(StoreJournalsTest, WithAnUnreadableStateFileEveryPreviewAnswersTheUpgradeText) {
    QDir().mkpath(deletingLastPathComponent(statePath()));
    QFile file(statePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{ not json");
    file.close();
    reopen();
    ASSERT_TRUE(store->fileActionsBlockedByStorage());
    const QString text = QStringLiteral(
        "The Build 39 inventory could not be upgraded safely. Plugin file actions are blocked.");
    for (const auto kind : {BundleActionKind::quarantine, BundleActionKind::restore, BundleActionKind::trash})
        EXPECT_EQ(store->bundleActionPlan({}, std::nullopt, kind), text);
    EXPECT_FALSE(store->beginPrivileged<PrivilegedKind::restore>({}).has_value());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Privileged Restore Blocked"));
    EXPECT_EQ(store->notice()->message, text);
}

TEST_F(StoreJournalsTest, APendingJournalBlocksEveryOtherBundleAction) {
    const Plugin plugin = synth();
    open({plugin});
    ASSERT_TRUE(store->beginPrivileged<PrivilegedKind::quarantine>({selection(plugin)}).has_value());
    store->waitForIdle();
    const int writes = writeAttempts;
    EXPECT_EQ(store->planRestore({selection(plugin)}), pendingReason);
    EXPECT_FALSE(store->beginPrivileged<PrivilegedKind::trash>({selection(plugin)}).has_value());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Privileged Trash Move Blocked"));
    EXPECT_EQ(store->notice()->message, pendingReason);
    EXPECT_EQ(writeAttempts, writes);
}

TEST_F(StoreJournalsTest, AResultThatDoesNotBelongToTheJournalChangesNothing) {
    const Plugin plugin = synth();
    open({plugin});
    const auto request = store->beginPrivileged<PrivilegedKind::quarantine>({selection(plugin)});
    ASSERT_TRUE(request.has_value());
    moveAll(*request);
    auto result = succeededResult<PrivilegedQuarantineResult>(*request);
    const QString mismatch = QStringLiteral(
        "The helper response does not match Quorvane’s pending transaction journal. Stop before retrying.");

    EXPECT_FALSE(store->completePrivileged(result, uuidText(makeUuid()), request->items));
    result.transactionID = request->transactionID.toLower();
    EXPECT_FALSE(store->completePrivileged(result, request->transactionID, request->items));
    EXPECT_EQ(store->notice()->title, QStringLiteral("Quarantine Needs Attention"));
    EXPECT_EQ(store->notice()->message, mismatch);
    EXPECT_EQ(store->pendingPrivilegedQuarantine(), request);
    EXPECT_EQ(store->plugins().front(), plugin);

    EXPECT_FALSE(store->completePrivileged(
        succeededResult<PrivilegedRestoreResult>(PrivilegedRestoreRequest{request->transactionID, {}}),
        request->transactionID, {}));
    EXPECT_EQ(
        store->notice()->message,
        QStringLiteral(
            "The helper response does not match Quorvane’s pending restore journal. Stop before retrying."));
}

TEST_F(StoreJournalsTest, AFailureProvedOnDiskClearsTheJournal) {
    const Plugin plugin = synth();
    open({plugin});
    const auto request = store->beginPrivileged<PrivilegedKind::quarantine>({selection(plugin)});
    ASSERT_TRUE(request.has_value());
    const auto result =
        failedResult<PrivilegedQuarantineResult>(request->transactionID, QStringLiteral("Nothing moved."));
    EXPECT_FALSE(store->completePrivileged(result, request->transactionID, request->items));
    EXPECT_FALSE(store->pendingPrivilegedQuarantine().has_value());
    store->waitForIdle();
    EXPECT_FALSE(storedState().pendingPrivilegedQuarantine.has_value());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Quarantine Failed Safely"));
    EXPECT_EQ(store->notice()->message, QStringLiteral("Nothing moved."));
    EXPECT_EQ(store->lastOperationError(), QStringLiteral("Nothing moved."));
}

TEST_F(StoreJournalsTest, AFailureTheDiskDoesNotProveKeepsTheJournal) {
    const Plugin first = synth(QStringLiteral("One"));
    const Plugin second = synth(QStringLiteral("Two"));
    open({first, second});
    const auto request =
        store->beginPrivileged<PrivilegedKind::quarantine>({selection(first), selection(second)});
    ASSERT_TRUE(request.has_value());
    const QString kept =
        QStringLiteral(" Quorvane kept the pending transaction journal. Stop and verify the listed "
                       "plugin locations before retrying.");
    // One source went missing although the helper says it rolled back; then a rollback it admits
    // is incomplete.
    ASSERT_TRUE(moveBundle(request->items[1].sourcePath, request->items[1].destinationPath));
    for (const bool rollbackComplete : {true, false}) {
        const auto result = failedResult<PrivilegedQuarantineResult>(
            request->transactionID, QStringLiteral("Move failed."), rollbackComplete);
        EXPECT_FALSE(store->completePrivileged(result, request->transactionID, request->items));
        EXPECT_EQ(store->notice()->title, QStringLiteral("Quarantine Needs Attention"));
        EXPECT_EQ(store->notice()->message, QStringLiteral("Move failed.") + kept);
        EXPECT_EQ(store->pendingPrivilegedQuarantine(), request);
    }
}

TEST_F(StoreJournalsTest, ASuccessIsAcceptedOnlyWhenPathsAndDiskAgree) {
    const Plugin first = synth(QStringLiteral("One"));
    const Plugin second = synth(QStringLiteral("Two"));
    open({first, second});
    const auto request =
        store->beginPrivileged<PrivilegedKind::quarantine>({selection(first), selection(second)});
    ASSERT_TRUE(request.has_value());
    const QString unverified =
        QStringLiteral("The helper reported success, but Quorvane could not verify every final "
                       "bundle location. Stop before retrying.");
    auto result = succeededResult<PrivilegedQuarantineResult>(*request);

    // Nothing has moved yet.
    EXPECT_FALSE(store->completePrivileged(result, request->transactionID, request->items));
    EXPECT_EQ(store->notice()->message, unverified);
    moveAll(*request);
    // A destination of another transaction.
    auto foreign = result;
    foreign.destinationPaths[1] = policy.quarantineRoot() + QStringLiteral("/OTHER/Two.vst3");
    EXPECT_FALSE(store->completePrivileged(foreign, request->transactionID, request->items));
    EXPECT_EQ(store->notice()->message, unverified);
    EXPECT_EQ(store->pendingPrivilegedQuarantine(), request);

    // Another order, and a repeat, pass.
    result.destinationPaths = {result.destinationPaths[1], result.destinationPaths[0],
                               result.destinationPaths[1]};
    const InventoryRevisionToken before = store->inventoryRevision();
    EXPECT_TRUE(store->completePrivileged(result, request->transactionID, request->items));
    store->waitForIdle();
    EXPECT_FALSE(store->pendingPrivilegedQuarantine().has_value());
    EXPECT_NE(store->inventoryRevision(), before);
    EXPECT_EQ(store->notice()->title, QStringLiteral("Plugins Moved to Quarantine"));
    EXPECT_EQ(
        store->notice()->message,
        QStringLiteral(
            "2 format bundles moved through the administrator-approved helper as one verified transaction."));
    EXPECT_EQ(store->notice()->style, NoticeStyle::success);
    EXPECT_EQ(store->plugins()[0].status, PluginStatus::quarantined);
}

TEST_F(StoreJournalsTest, APlanMadeBeforeACommitIsStale) {
    const Plugin first = synth(QStringLiteral("One"));
    const Plugin second = synth(QStringLiteral("Two"));
    open({first, second});
    const InventoryRevisionToken before = store->inventoryRevision();
    quarantineThroughJournal({selection(first)});
    EXPECT_EQ(
        store->notice()->message,
        QStringLiteral(
            "1 format bundles moved through the administrator-approved helper as one verified transaction."));
    const int writes = writeAttempts;
    EXPECT_FALSE(store->beginPrivileged<PrivilegedKind::quarantine>({selection(second)}, before).has_value());
    EXPECT_TRUE(store->notice()->message.contains(QStringLiteral("changed")));
    EXPECT_EQ(writeAttempts, writes);
}

TEST_F(StoreJournalsTest, AQuarantineCommitThatCannotBeSavedKeepsTheJournalAndTheAppliedRecords) {
    const Plugin plugin = synth();
    open({plugin});
    const auto request = store->beginPrivileged<PrivilegedKind::quarantine>({selection(plugin)});
    ASSERT_TRUE(request.has_value());
    moveAll(*request);
    store->waitForIdle();
    failSaves = true;
    EXPECT_FALSE(committed([&](auto then) {
        store->completePrivileged(succeededResult<PrivilegedQuarantineResult>(*request),
                                  request->transactionID, request->items, then);
    }));
    EXPECT_EQ(store->pendingPrivilegedQuarantine(), request);
    EXPECT_EQ(store->notice()->title, QStringLiteral("Quarantine Needs Attention"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral(
                  "The files moved successfully, but Quorvane could not finish its inventory journal. Do "
                  "not rescan or retry; reopen the app to reconcile the pending transaction."));
    EXPECT_TRUE(store->lastStorageError().has_value());
    EXPECT_TRUE(store->plugins()[0].bundleRecords()[0].isQuarantined());
}

TEST_F(StoreJournalsTest, ARestoreCommitThatCannotBeSavedPutsTheInventoryBack) {
    const Plugin plugin = synth();
    open({plugin});
    quarantineThroughJournal({selection(plugin)});
    const std::vector<Plugin> plugins = store->plugins().toVector();
    const std::vector<HistoryItem> history = store->history();
    const auto request = store->beginPrivileged<PrivilegedKind::restore>({selection(store->plugins()[0])});
    ASSERT_TRUE(request.has_value()) << store->lastOperationError().value_or(QString()).toStdString();
    moveAll(*request);
    store->waitForIdle();
    failSaves = true;
    EXPECT_FALSE(committed([&](auto then) {
        store->completePrivileged(succeededResult<PrivilegedRestoreResult>(*request), request->transactionID,
                                  request->items, then);
    }));
    EXPECT_EQ(store->plugins(), plugins);
    EXPECT_EQ(store->history(), history);
    EXPECT_EQ(store->pendingPrivilegedRestore(), request);
    EXPECT_EQ(store->notice()->message,
              QStringLiteral(
                  "The files returned successfully, but Quorvane could not finish its inventory journal. "
                  "Do not rescan or retry; reopen the app to reconcile the pending transaction."));
}

// The commit's write fails after a later change was handed to the writer: that later state holds
// the commit too, so putting the inventory back would lose the change, and writing the journal
// again beside the finalised records would have the next launch finalise it twice.
TEST_F(StoreJournalsTest, ACommitWriteThatFailsAfterALaterChangeLosesNeitherOfThem) {
    const Plugin plugin = synth();
    const Plugin other = synth(QStringLiteral("Other"));
    open({plugin, other});
    quarantineThroughJournal({selection(plugin)});
    const auto request = store->beginPrivileged<PrivilegedKind::restore>({selection(store->plugins()[0])});
    ASSERT_TRUE(request.has_value());
    store->waitForIdle();
    moveAll(*request);
    // The commit's write is held, then fails; the writes after it succeed.
    holdAndFailTheNextWrite();
    std::optional<bool> outcome;
    store->completePrivileged(succeededResult<PrivilegedRestoreResult>(*request), request->transactionID,
                              request->items, [&](bool value) { outcome = value; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return heldWrites == 1; }, 10000));
    store->setProtection(*findPlugin(other.id), true);
    releaseHeldWrite.set_value();
    store->waitForIdle();

    EXPECT_EQ(outcome, false);
    // The protection's notice follows its own write, after this one.
    EXPECT_EQ(store->lastOperationError(),
              QStringLiteral(
                  "The files returned successfully, but Quorvane could not finish its inventory journal. "
                  "Do not rescan or retry; reopen the app to reconcile the pending transaction."));
    EXPECT_TRUE(findPlugin(other.id)->isProtected);
    EXPECT_TRUE(findPlugin(plugin.id)->bundleRecords()[0].isActive());
    EXPECT_TRUE(store->hasPendingPrivilegedTransaction());
    EXPECT_FALSE(storedState().pendingPrivilegedRestore.has_value());

    duringWrite = {};
    reopen();
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
    EXPECT_TRUE(findPlugin(other.id)->isProtected);
    EXPECT_TRUE(findPlugin(plugin.id)->bundleRecords()[0].isActive());
    EXPECT_EQ(store->history().size(), 3u);
}

// A format lock's write fails while a quarantine of the same product commits; the commit's write,
// which holds the lock too, succeeds.
TEST_F(StoreJournalsTest, AFailedFormatLockNeverUndoesAQuarantineCommittedAfterIt) {
    const Plugin plugin =
        product(QStringLiteral("Duo"), {QStringLiteral("VST3"), QStringLiteral("AU")},
                {vst3(QStringLiteral("Duo.vst3")), component(QStringLiteral("Duo.component"))});
    open({plugin});
    const auto request = store->beginPrivileged<PrivilegedKind::quarantine>({selection(plugin, 1)});
    ASSERT_TRUE(request.has_value());
    moveAll(*request);
    holdAndFailTheNextWrite();
    std::optional<bool> locked;
    store->setFormatProtection(selection(plugin, 0), true, [&](bool inEffect) { locked = inEffect; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return heldWrites == 1; }, 10000));
    std::optional<bool> outcome;
    store->completePrivileged(succeededResult<PrivilegedQuarantineResult>(*request), request->transactionID,
                              request->items, [&](bool value) { outcome = value; });
    releaseHeldWrite.set_value();
    store->waitForIdle();
    duringWrite = {};

    EXPECT_EQ(outcome, true);
    EXPECT_EQ(locked, true);
    for (const PluginList& plugins : {store->plugins(), storedState().plugins}) {
        ASSERT_EQ(plugins.size(), 1u);
        const std::vector<PluginBundleRecord> records = plugins[0].bundleRecords();
        EXPECT_TRUE(records.at(0).isProtected);
        EXPECT_TRUE(records.at(1).isQuarantined());
    }
}

TEST_F(StoreJournalsTest, QuarantineThenRestoreReturnsTheRecordToActive) {
    const Plugin plugin = synth();
    open({plugin});
    quarantineThroughJournal({selection(plugin)});
    const auto request = store->beginPrivileged<PrivilegedKind::restore>({selection(store->plugins()[0])});
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(request->items[0].destinationPath, plugin.path);
    moveAll(*request);
    EXPECT_TRUE(store->completePrivileged(succeededResult<PrivilegedRestoreResult>(*request),
                                          request->transactionID, request->items));
    store->waitForIdle();
    EXPECT_EQ(store->notice()->title, QStringLiteral("Plugins Restored"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral("1 format bundles returned through the administrator-approved helper as one "
                             "verified transaction."));
    const PluginBundleRecord record = store->plugins()[0].bundleRecords()[0];
    EXPECT_TRUE(record.isActive());
    EXPECT_EQ(record.originalPath, plugin.path);
    EXPECT_EQ(store->plugins()[0].status, PluginStatus::ok);
    ASSERT_EQ(store->history().size(), 2u);
    EXPECT_EQ(store->history()[0].kind, HistoryKind::restore);
    EXPECT_EQ(store->history()[0].detail,
              QStringLiteral("Restored VST3 bundle through the privileged atomic restore transaction"));
    EXPECT_EQ(store->history()[0].transactionID, request->transactionID);
    EXPECT_EQ(store->history()[1].detail,
              QStringLiteral("Moved VST3 bundle through the privileged atomic quarantine transaction"));
}

TEST_F(StoreJournalsTest, ANewProductAtAQuarantinedBundlesOldPlaceCanBeQuarantinedToo) {
    // The vendor installs a new version where the quarantined one was, under another product name.
    const Plugin old = synth(QStringLiteral("Synth"));
    open({old});
    quarantineThroughJournal({selection(old)});
    const Plugin quarantinedOld = store->plugins()[0];
    const Plugin fresh = product(QStringLiteral("Synth 2"), {QStringLiteral("VST3")}, {old.path});
    open({quarantinedOld, fresh});
    const PrivilegedQuarantineRequest request = quarantineThroughJournal({selection(fresh)});
    ASSERT_EQ(request.items.size(), 1u);
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
    EXPECT_EQ(*findPlugin(old.id), quarantinedOld);
    EXPECT_EQ(findPlugin(fresh.id)->bundleRecords()[0].quarantinePath, request.items[0].destinationPath);
    ASSERT_FALSE(store->history().empty());
    EXPECT_EQ(store->history()[0].transactionID, request.transactionID);

    // Found again at a launch, the same journal settles the same way.
    const Plugin newer = product(QStringLiteral("Synth 3"), {QStringLiteral("VST3")}, {old.path});
    open({quarantinedOld, newer});
    const auto again = store->beginPrivileged<PrivilegedKind::quarantine>({selection(newer)});
    ASSERT_TRUE(again.has_value());
    store->waitForIdle();
    moveAll(*again);
    reopen();
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
    EXPECT_EQ(store->lastOperationError(), std::nullopt);
    EXPECT_TRUE(findPlugin(newer.id)->bundleRecords()[0].isQuarantined());
    EXPECT_EQ(*findPlugin(old.id), quarantinedOld);
}

// Finalisers.

class FinaliserTest : public TransactionStoreTest {
protected:
    PrivilegedQuarantineItem quarantineItem(const QString& source,
                                            const QString& operation = QStringLiteral("OP")) {
        return {source, policy.quarantineRoot() + u'/' + operation + u'/' + lastPathComponent(source),
                operation};
    }
};

TEST_F(FinaliserTest, QuarantineFinalisedTwiceChangesNothingTheSecondTime) {
    const Plugin plugin = synth();
    open({plugin});
    const std::vector<PrivilegedQuarantineItem> items{quarantineItem(plugin.path)};
    ASSERT_TRUE(
        store->finalisePrivileged<PrivilegedKind::quarantine>(QStringLiteral("TX"), items).has_value());
    const auto plugins = store->plugins();
    const auto history = store->history();
    ASSERT_EQ(history.size(), 1u);
    ASSERT_TRUE(
        store->finalisePrivileged<PrivilegedKind::quarantine>(QStringLiteral("TX"), items).has_value());
    EXPECT_EQ(store->plugins(), plugins);
    EXPECT_EQ(store->history(), history);
    const PluginBundleRecord record = plugins[0].bundleRecords()[0];
    EXPECT_EQ(record.originalPath, plugin.path);
    EXPECT_EQ(record.quarantinePath, items[0].destinationPath);
    EXPECT_EQ(record.quarantineOperationID, QStringLiteral("OP"));
    EXPECT_EQ(record.path, plugin.path);
}

TEST_F(FinaliserTest, QuarantineMatchesOneRecordPerProduct) {
    const QString path = vst3(QStringLiteral("Shared.vst3"));
    Plugin twice =
        product(QStringLiteral("Twice"), {QStringLiteral("VST3"), QStringLiteral("VST3")}, {path, path});
    Plugin other = product(QStringLiteral("Other"), {QStringLiteral("VST3")}, {path});
    // The same bundle, written differently.
    other.bundles->front().path = vst3(QStringLiteral("./SHARED.vst3"));
    open({twice});
    ASSERT_TRUE(
        store->finalisePrivileged<PrivilegedKind::quarantine>(QStringLiteral("TX"), {quarantineItem(path)})
            .has_value());
    EXPECT_TRUE((*store->plugins()[0].bundles)[0].isQuarantined());
    EXPECT_FALSE((*store->plugins()[0].bundles)[1].isQuarantined());

    open({twice, other});
    EXPECT_EQ(
        store->finalisePrivileged<PrivilegedKind::quarantine>(QStringLiteral("TX"), {quarantineItem(path)}),
        std::unexpected(PrivilegedInventoryCommitError::duplicateInventoryRecord));
    EXPECT_EQ(store->finalisePrivileged<PrivilegedKind::quarantine>(QStringLiteral("TX"),
                                                                    {quarantineItem(vst3("None.vst3"))}),
              std::unexpected(PrivilegedInventoryCommitError::missingInventoryRecord));
}

TEST_F(FinaliserTest, QuarantineStoresTheSynthesisedRecordOfASingleFormatProduct) {
    Plugin legacy = synth(QStringLiteral("Legacy"));
    legacy.bundles.reset();
    const Plugin plugin = synth();
    open({legacy, plugin});
    ASSERT_TRUE(store
                    ->finalisePrivileged<PrivilegedKind::quarantine>(QStringLiteral("TX"),
                                                                     {quarantineItem(plugin.path)})
                    .has_value());
    ASSERT_TRUE(store->plugins()[0].bundles.has_value());
    EXPECT_EQ(store->plugins()[0].bundles->size(), 1u);
}

TEST_F(FinaliserTest, ThreeItemsWriteThreeLinesTheLastFirst) {
    const Plugin plugin = product(
        QStringLiteral("Multi"), {QStringLiteral("AU"), QStringLiteral("VST3"), QStringLiteral("CLAP")},
        {component(QStringLiteral("Multi.component")), vst3(QStringLiteral("Multi.vst3")),
         policy.approvedSystemPluginRoots().at(3) + QStringLiteral("/Multi.clap")});
    open({plugin});
    std::vector<PrivilegedQuarantineItem> items;
    for (const PluginBundleRecord& record : *plugin.bundles)
        items.push_back(quarantineItem(record.path));
    ASSERT_TRUE(
        store->finalisePrivileged<PrivilegedKind::quarantine>(QStringLiteral("TX"), items).has_value());
    ASSERT_EQ(store->history().size(), 3u);
    EXPECT_EQ(store->history()[0].format, QStringLiteral("CLAP"));
    EXPECT_EQ(store->history()[2].format, QStringLiteral("AU"));
    EXPECT_EQ(store->plugins()[0].status, PluginStatus::quarantined);
}

TEST_F(FinaliserTest, RestoreMatchesExactlyAndTwiceIsMissing) {
    const Plugin plugin = synth();
    open({plugin});
    const auto item = quarantineItem(plugin.path, QStringLiteral("OP-A"));
    ASSERT_TRUE(
        store->finalisePrivileged<PrivilegedKind::quarantine>(QStringLiteral("TX"), {item}).has_value());
    const auto plugins = store->plugins();

    // The operation id must match exactly.
    const PrivilegedRestoreItem wrongCase{item.destinationPath, item.sourcePath, QStringLiteral("op-a")};
    EXPECT_EQ(store->finalisePrivileged<PrivilegedKind::restore>(QStringLiteral("R"), {wrongCase}),
              std::unexpected(PrivilegedInventoryCommitError::missingInventoryRecord));
    // Two items naming one record.
    const PrivilegedRestoreItem restore{item.destinationPath, item.sourcePath, item.operationID};
    EXPECT_EQ(store->finalisePrivileged<PrivilegedKind::restore>(QStringLiteral("R"), {restore, restore}),
              std::unexpected(PrivilegedInventoryCommitError::duplicateInventoryRecord));
    EXPECT_EQ(store->plugins(), plugins);

    // Paths differing in letter case and by "." segments match.
    const PrivilegedRestoreItem loose{
        item.destinationPath.toUpper().replace(QStringLiteral("/OP-A/"), QStringLiteral("/./OP-A/")),
        deletingLastPathComponent(item.sourcePath) + QStringLiteral("/../VST3/Synth.vst3"), item.operationID};
    ASSERT_TRUE(store->finalisePrivileged<PrivilegedKind::restore>(QStringLiteral("R"), {loose}).has_value());
    EXPECT_TRUE(store->plugins()[0].bundleRecords()[0].isActive());
    EXPECT_EQ(store->finalisePrivileged<PrivilegedKind::restore>(QStringLiteral("R"), {restore}),
              std::unexpected(PrivilegedInventoryCommitError::missingInventoryRecord));
}

TEST_F(FinaliserTest, RestoreOfAPresetRunBundleCarriesTheRunIdAndDropsIt) {
    const Plugin plugin = synth();
    const QUuid runID = makeUuid();
    const QString transactionID = uuidText(makeUuid());
    open({plugin}, [&](PersistedInventory& state) {
        state.formatCleanupRuns = std::vector<FormatCleanupRunRecord>{{runID,
                                                                       makeUuid(),
                                                                       FormatCleanupPresetKind::retireVST2,
                                                                       clock,
                                                                       FormatCleanupRunStatus::completed,
                                                                       {selection(plugin)},
                                                                       {*parseUuid(transactionID)}}};
    });
    const auto item = quarantineItem(plugin.path);
    ASSERT_TRUE(store->finalisePrivileged<PrivilegedKind::quarantine>(transactionID, {item}).has_value());
    EXPECT_EQ(store->plugins()[0].bundleRecords()[0].presetRunID, runID);
    EXPECT_EQ(store->history()[0].presetRunID, runID);
    ASSERT_TRUE(store
                    ->finalisePrivileged<PrivilegedKind::restore>(
                        QStringLiteral("R"), {{item.destinationPath, item.sourcePath, item.operationID}})
                    .has_value());
    EXPECT_EQ(store->history()[0].presetRunID, runID);
    EXPECT_EQ(store->plugins()[0].bundleRecords()[0].presetRunID, std::nullopt);
}

} // namespace
} // namespace quorvane::testing
