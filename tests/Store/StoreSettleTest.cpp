#include "Platform/TransactionLockFile.h"
#include "Shared/FrameCodec.h"
#include "StoreTransactionSupport.h"

#include <QCoreApplication>

#include <future>

// A journal the disk contradicts blocks scans and file actions at every launch until it is settled
// from the window, which records each item where the disk shows it.

namespace quorvane::testing {
namespace {

const QString settledTitle = QStringLiteral("Transaction Settled");

class SettleTest : public TransactionStoreTest {
protected:
    const QString operationID = uuidText(makeUuid());
    PrivilegedQuarantineItem quarantineItem(const Plugin& plugin) const {
        return {plugin.path,
                policy.quarantineRoot() + u'/' + operationID + u'/' + lastPathComponent(plugin.path),
                operationID};
    }
    static qsizetype linesOf(const std::vector<HistoryItem>& history, HistoryKind kind) {
        return std::ranges::count(history, kind, &HistoryItem::kind);
    }
};

// One bundle moved, one still in place, one removed by someone while the helper worked, and one
// moved whose old place an installer has filled again: the quarantine copy is still this item's.
TEST_F(SettleTest, AMixedQuarantineIsRecordedAsTheDiskShowsIt) {
    const Plugin moved = synth(QStringLiteral("Moved"));
    const Plugin kept = synth(QStringLiteral("Kept"));
    const Plugin gone = synth(QStringLiteral("Gone"));
    const Plugin refilled = synth(QStringLiteral("Refilled"));
    const PrivilegedQuarantineRequest journal{
        uuidText(makeUuid()),
        {quarantineItem(moved), quarantineItem(kept), quarantineItem(gone), quarantineItem(refilled)}};
    ASSERT_TRUE(moveBundle(journal.items[0].sourcePath, journal.items[0].destinationPath));
    ASSERT_TRUE(QDir(gone.path).removeRecursively());
    ASSERT_TRUE(moveBundle(journal.items[3].sourcePath, journal.items[3].destinationPath));
    ASSERT_TRUE(QDir().mkpath(refilled.path));
    open({moved, kept, gone, refilled},
         [&](PersistedInventory& state) { state.pendingPrivilegedQuarantine = journal; });
    ASSERT_EQ(store->pendingPrivilegedQuarantine(), journal);
    ASSERT_TRUE(store->canSettlePendingJournal());

    store->settlePendingJournal();
    store->waitForIdle();
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
    EXPECT_FALSE(storedState().pendingPrivilegedQuarantine.has_value());
    EXPECT_FALSE(store->canSettlePendingJournal());
    EXPECT_EQ(store->lastOperationError(), std::nullopt);
    ASSERT_TRUE(store->notice().has_value());
    EXPECT_EQ(store->notice()->title, settledTitle);
    EXPECT_EQ(store->notice()->message,
              QStringLiteral("Quorvane recorded what the disk shows: 2 moved, 1 still where they were, 1 "
                             "found at neither place (noted in History). Scans and file actions are "
                             "available again."));

    ASSERT_EQ(store->plugins().size(), 3u);
    for (const auto& [plugin, item] : {std::pair{&moved, 0}, std::pair{&refilled, 3}}) {
        const Plugin* quarantined = findPlugin(plugin->id);
        ASSERT_NE(quarantined, nullptr) << plugin->name.toStdString();
        EXPECT_EQ(quarantined->bundleRecords()[0].quarantinePath, journal.items[item].destinationPath);
        EXPECT_EQ(quarantined->status, PluginStatus::quarantined);
    }
    ASSERT_NE(findPlugin(kept.id), nullptr);
    EXPECT_TRUE(findPlugin(kept.id)->bundleRecords()[0].isActive());
    EXPECT_EQ(findPlugin(gone.id), nullptr);
    EXPECT_EQ(linesOf(store->history(), HistoryKind::quarantine), 2);
    ASSERT_EQ(linesOf(store->history(), HistoryKind::reconciliation), 1);
    EXPECT_EQ(store->history()[0].plugin, QStringLiteral("Gone"));
    EXPECT_EQ(store->history()[0].transactionID, journal.transactionID);
    EXPECT_EQ(storedState().plugins, store->plugins());
    EXPECT_EQ(store->planQuarantine({selection(*findPlugin(kept.id))}), std::nullopt);
}

// The bundle of an item is gone, and only its case twin, another product's, is at a place the
// folded key would match: that record is no item's and stays.
TEST_F(SettleTest, AGoneItemNeverTakesItsCaseTwinsRecord) {
    const Plugin twin = synth(QStringLiteral("cirrus"));
    const Plugin gone = quarantinedUnder(synth(QStringLiteral("Cirrus")), uuidText(makeUuid()));
    const PrivilegedQuarantineRequest journal{uuidText(makeUuid()),
                                              {quarantineItem(synth(QStringLiteral("Cirrus")))}};
    ASSERT_TRUE(QDir(journal.items[0].sourcePath).removeRecursively());
    open({twin, gone}, [&](PersistedInventory& state) { state.pendingPrivilegedQuarantine = journal; });
    ASSERT_TRUE(store->canSettlePendingJournal())
        << store->lastOperationError().value_or(QString()).toStdString();

    store->settlePendingJournal();
    store->waitForIdle();

    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
    ASSERT_NE(findPlugin(twin.id), nullptr);
    EXPECT_EQ(findPlugin(twin.id)->bundleRecords()[0].path, twin.path);
}

// A Trash recovery whose Trash copy went elsewhere: the record stays, missing from both places.
TEST_F(SettleTest, ARecoveryWhoseBundleIsNowhereMarksItsRecordMissing) {
    const TrashedBundleRecord back = trashRecord(QStringLiteral("Back"), false, true);
    const TrashedBundleRecord lost = trashRecord(QStringLiteral("Lost"), false, false);
    PrivilegedTrashRestoreRequest journal{uuidText(makeUuid()), {}};
    for (const TrashedBundleRecord* record : {&back, &lost})
        journal.items.push_back({record->trashPath, record->originalPath, uuidText(record->id),
                                 lastPathComponent(record->originalPath), record->format});
    open({}, [&](PersistedInventory& state) {
        state.trashedBundles = {back, lost};
        state.pendingPrivilegedTrashRestore = journal;
    });
    ASSERT_TRUE(store->canSettlePendingJournal());

    store->settlePendingJournal();
    store->waitForIdle();
    EXPECT_FALSE(storedState().pendingPrivilegedTrashRestore.has_value());
    const std::vector<TrashedBundleRecord> records = store->trashedBundles();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].restoreTransactionID, journal.transactionID);
    EXPECT_FALSE(records[1].reconciledDate.has_value());
    EXPECT_TRUE(records[1].missingDetectedDate.has_value());
    EXPECT_EQ(linesOf(store->history(), HistoryKind::trashRestore), 1);
    EXPECT_EQ(linesOf(store->history(), HistoryKind::missingTrashItem), 1);
}

// The helper is asked first, once, and the disk is read after its answer: a helper that undoes
// the transaction as it starts leaves nothing moved, and the records as they were.
TEST_F(SettleTest, TheDiskIsReadOnceTheHelperHasAnswered) {
    for (const bool helperUndoes : {false, true}) {
        SCOPED_TRACE(helperUndoes ? "the helper undoes it" : "the helper leaves it");
        const Plugin first = synth(helperUndoes ? QStringLiteral("UndoneOne") : QStringLiteral("KeptOne"));
        const Plugin second = synth(helperUndoes ? QStringLiteral("UndoneTwo") : QStringLiteral("KeptTwo"));
        store.reset();
        ASSERT_TRUE(writeStateFile(stateWith({first, second}), statePath()).has_value());
        StoreEnvironment asking = environment();
        int asked = 0;
        std::function<void()> answer;
        asking.helperHandshake = [&](std::function<void()> done) {
            ++asked;
            answer = std::move(done);
            return true;
        };
        store = std::make_unique<PluginInventoryStore>(asking);
        const auto journal =
            store->beginPrivileged<PrivilegedKind::quarantine>({selection(first), selection(second)});
        ASSERT_TRUE(journal.has_value());
        store->waitForIdle();
        ASSERT_TRUE(moveBundle(journal->items[0].sourcePath, journal->items[0].destinationPath));

        store->settlePendingJournal();
        EXPECT_FALSE(store->canSettlePendingJournal());
        store->settlePendingJournal();
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(store->pendingPrivilegedQuarantine(), journal);
        if (helperUndoes) {
            ASSERT_TRUE(moveBundle(journal->items[0].destinationPath, journal->items[0].sourcePath));
        }
        answer();
        QCoreApplication::processEvents();
        store->waitForIdle();

        EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
        EXPECT_FALSE(storedState().pendingPrivilegedQuarantine.has_value());
        EXPECT_EQ(store->notice()->title, settledTitle);
        EXPECT_EQ(findPlugin(first.id)->status, helperUndoes ? PluginStatus::ok : PluginStatus::quarantined);
        EXPECT_EQ(linesOf(store->history(), HistoryKind::quarantine), helperUndoes ? 0 : 1);
    }
}

// A request that left for the helper and has had no answer may still be carried out, whatever the
// disk shows now: its journal is not settled until the answer (or the connection's end) comes.
TEST_F(SettleTest, AJournalWhoseRequestAwaitsItsAnswerIsNotSettled) {
    const Plugin first = synth(QStringLiteral("First"));
    const Plugin second = synth(QStringLiteral("Second"));
    open({first, second});
    std::optional<PrivilegedQuarantineRequest> sent;
    store->beginPrivileged<PrivilegedKind::quarantine>(
        {selection(first), selection(second)}, {},
        [&](std::optional<PrivilegedQuarantineRequest> request) { sent = request; });
    store->waitForIdle();
    ASSERT_TRUE(sent.has_value());
    ASSERT_TRUE(moveBundle(sent->items[0].sourcePath, sent->items[0].destinationPath));

    EXPECT_FALSE(store->canSettlePendingJournal());
    store->settlePendingJournal();
    store->waitForIdle();
    QCoreApplication::processEvents();
    EXPECT_EQ(store->pendingPrivilegedQuarantine(), sent);
    EXPECT_EQ(store->lastOperationError(),
              QStringLiteral("The privileged helper is still working on this transaction. Wait until it has "
                             "finished, then settle it."));

    // The answer comes: a failure that left the first bundle moved; now the disk can be read.
    PrivilegedQuarantineResult failed = succeededResult<PrivilegedQuarantineResult>(*sent);
    failed.succeeded = false;
    failed.rollbackComplete = false;
    EXPECT_FALSE(store->completePrivileged(failed, sent->transactionID, sent->items));
    EXPECT_TRUE(store->canSettlePendingJournal());
}

// A journal still being written has not sent its request yet, which leaves once it is on disk: it is
// not settled meanwhile.
TEST_F(SettleTest, AJournalStillBeingWrittenIsNotSettled) {
    const Plugin first = synth(QStringLiteral("First"));
    const Plugin second = synth(QStringLiteral("Second"));
    open({first, second});
    std::promise<void> release;
    duringWrite = [held = release.get_future().share()](const PersistedInventory&) { held.wait(); };
    std::optional<std::optional<PrivilegedQuarantineRequest>> sent;
    store->beginPrivileged<PrivilegedKind::quarantine>(
        {selection(first), selection(second)}, {},
        [&](std::optional<PrivilegedQuarantineRequest> request) { sent = request; });
    const auto journal = store->pendingPrivilegedQuarantine();
    ASSERT_TRUE(journal.has_value());
    ASSERT_TRUE(QDir(journal->items[0].sourcePath).removeRecursively());

    EXPECT_FALSE(store->canSettlePendingJournal());
    release.set_value();
    store->waitForIdle();
    QCoreApplication::processEvents();
    ASSERT_TRUE(sent.has_value());
    EXPECT_TRUE(sent->has_value());
}

TEST_F(SettleTest, NothingIsSettledWhileTheHelperMayStillActOrTheWriteFails) {
    struct Row {
        const char* name;
        bool anyMoved;
        bool helperHoldsLock;
        bool writeFails;
    };
    const std::vector<Row> rows{
        {"no move shows yet", false, false, false},
        {"the helper holds its transaction lock", true, true, false},
        {"the settled state cannot be written", true, false, true},
    };
    int round = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Plugin first = synth(QStringLiteral("One%1").arg(++round));
        const Plugin second = synth(QStringLiteral("Two%1").arg(round));
        open({first, second});
        const auto begun =
            store->beginPrivileged<PrivilegedKind::quarantine>({selection(first), selection(second)});
        ASSERT_TRUE(begun.has_value());
        store->waitForIdle();
        const PrivilegedQuarantineRequest journal = *begun;
        if (row.anyMoved) {
            ASSERT_TRUE(moveBundle(journal.items[0].sourcePath, journal.items[0].destinationPath));
        }
        std::optional<TransactionLockFile> lock;
        if (row.helperHoldsLock) {
            const QString path = helperTransactionLockPath(roots);
            QDir().mkpath(deletingLastPathComponent(path));
            auto held = TransactionLockFile::tryAcquire(path);
            ASSERT_TRUE(held.has_value());
            lock.emplace(std::move(*held));
        }
        failSaves = row.writeFails;
        EXPECT_EQ(store->canSettlePendingJournal(), row.writeFails);

        store->settlePendingJournal();
        store->waitForIdle();
        QCoreApplication::processEvents();
        EXPECT_EQ(store->pendingPrivilegedQuarantine(), journal);
        EXPECT_EQ(store->plugins(), (std::vector<Plugin>{first, second}));
        EXPECT_EQ(storedState().pendingPrivilegedQuarantine, journal);
        ASSERT_TRUE(store->notice().has_value());
        EXPECT_NE(store->notice()->title, settledTitle);
        failSaves = false;
        store.reset();
        QDir(policy.quarantineRoot()).removeRecursively();
        QDir().mkpath(policy.quarantineRoot());
    }
}

} // namespace
} // namespace quorvane::testing
