#include "Platform/TransactionLockFile.h"
#include "Shared/FrameCodec.h"
#include "StoreTransactionSupport.h"

#include <QTest>
#include <QTimer>

namespace quorvane::testing {
namespace {

const QString pendingReason =
    QStringLiteral("A previous privileged plugin transaction still needs reconciliation.");

class LaunchResolutionTest : public TransactionStoreTest {
protected:
    const QString operationID = uuidText(makeUuid());
    // A product whose VST3 record is quarantined under `operation`, its bundle in quarantine.
    Plugin quarantined(const QString& name, const QString& operation) const {
        Plugin plugin = quarantinedUnder(synth(name), operation);
        const PluginBundleRecord& record = plugin.bundles->front();
        moveBundle(record.path, *record.quarantinePath);
        return plugin;
    }
    PrivilegedQuarantineItem quarantineItem(const Plugin& plugin) const {
        return {plugin.path,
                policy.quarantineRoot() + u'/' + operationID + u'/' + lastPathComponent(plugin.path),
                operationID};
    }
};

TEST_F(LaunchResolutionTest, AJournalWhoseBundlesNeverMovedIsDroppedSilently) {
    const Plugin plugin = synth();
    const PrivilegedQuarantineRequest journal{uuidText(makeUuid()), {quarantineItem(plugin)}};
    open({plugin}, [&](PersistedInventory& state) { state.pendingPrivilegedQuarantine = journal; });
    EXPECT_FALSE(store->pendingPrivilegedQuarantine().has_value());
    EXPECT_FALSE(storedState().pendingPrivilegedQuarantine.has_value());
    EXPECT_EQ(store->lastOperationError(), std::nullopt);
    EXPECT_EQ(store->notice(), std::nullopt);
    EXPECT_EQ(store->plugins()[0], plugin);
}

TEST_F(LaunchResolutionTest, AJournalWhoseBundlesAllMovedIsFinalised) {
    const Plugin plugin = quarantined(QStringLiteral("Synth"), operationID);
    const PluginBundleRecord& record = plugin.bundles->front();
    const PrivilegedRestoreRequest journal{uuidText(makeUuid()),
                                           {{*record.quarantinePath, record.path, operationID}}};
    moveBundle(*record.quarantinePath, record.path);
    open({plugin}, [&](PersistedInventory& state) { state.pendingPrivilegedRestore = journal; });
    EXPECT_FALSE(store->pendingPrivilegedRestore().has_value());
    EXPECT_FALSE(storedState().pendingPrivilegedRestore.has_value());
    EXPECT_TRUE(store->plugins()[0].bundleRecords()[0].isActive());
    ASSERT_EQ(store->history().size(), 1u);
    EXPECT_EQ(store->history()[0].kind, HistoryKind::restore);
    EXPECT_EQ(store->history()[0].transactionID, journal.transactionID);
    EXPECT_EQ(store->lastStorageError(), std::nullopt);
}

TEST_F(LaunchResolutionTest, AMixedTrashJournalStaysAndBlocksEveryAction) {
    const Plugin first = quarantined(QStringLiteral("One"), uuidText(makeUuid()));
    const Plugin second = quarantined(QStringLiteral("Two"), uuidText(makeUuid()));
    std::vector<PrivilegedTrashItem> items;
    for (const Plugin* plugin : {&first, &second}) {
        const PluginBundleRecord& record = plugin->bundles->front();
        items.push_back({*record.quarantinePath, trashFolder() + u'/' + lastPathComponent(record.path),
                         *record.quarantineOperationID});
    }
    moveBundle(items[0].sourcePath, items[0].destinationPath);
    const PrivilegedTrashRequest journal{uuidText(makeUuid()), items};
    open({first, second}, [&](PersistedInventory& state) { state.pendingPrivilegedTrash = journal; });
    EXPECT_EQ(store->pendingPrivilegedTrash(), journal);
    EXPECT_EQ(storedState().pendingPrivilegedTrash, journal);
    EXPECT_EQ(
        store->lastOperationError(),
        QStringLiteral("A pending privileged Trash move has a mixed disk state. Stop and verify Finder Trash "
                       "and Quarantine before taking another file action."));
    EXPECT_EQ(store->planRestore({selection(second)}), pendingReason);
    EXPECT_EQ(store->planTrash({selection(second)}), pendingReason);
    EXPECT_EQ(store->notice(), std::nullopt);
}

TEST_F(LaunchResolutionTest, AnItemPresentAtBothEndsIsMixed) {
    const Plugin plugin = synth();
    const PrivilegedQuarantineItem item = quarantineItem(plugin);
    makeBundle(item.destinationPath);
    open({plugin}, [&](PersistedInventory& state) {
        state.pendingPrivilegedQuarantine = PrivilegedQuarantineRequest{uuidText(makeUuid()), {item}};
    });
    EXPECT_TRUE(store->pendingPrivilegedQuarantine().has_value());
    EXPECT_EQ(store->lastOperationError(),
              QStringLiteral("A pending privileged quarantine has a mixed disk state. Stop and verify plugin "
                             "locations before taking another file action."));
}

TEST_F(LaunchResolutionTest, AJournalWithoutItemsIsFinalisedAndCleared) {
    open({synth()}, [&](PersistedInventory& state) {
        state.pendingPrivilegedTrashRestore = PrivilegedTrashRestoreRequest{uuidText(makeUuid()), {}};
    });
    EXPECT_FALSE(store->pendingPrivilegedTrashRestore().has_value());
    EXPECT_EQ(store->lastOperationError(), std::nullopt);
    EXPECT_TRUE(store->history().empty());
}

TEST_F(LaunchResolutionTest, TrashJournalsAreDroppedOrFinalisedByTheDisk) {
    for (const bool moved : {false, true}) {
        const Plugin plugin = quarantined(QStringLiteral("Synth"), uuidText(makeUuid()));
        const PluginBundleRecord& record = plugin.bundles->front();
        const PrivilegedTrashItem item{*record.quarantinePath, trashFolder() + QStringLiteral("/Synth.vst3"),
                                       *record.quarantineOperationID};
        QDir().mkpath(trashFolder());
        if (moved)
            moveBundle(item.sourcePath, item.destinationPath);
        const QString operationFolder = deletingLastPathComponent(item.sourcePath);
        open({plugin}, [&](PersistedInventory& state) {
            state.pendingPrivilegedTrash = PrivilegedTrashRequest{uuidText(makeUuid()), {item}};
        });
        EXPECT_FALSE(store->pendingPrivilegedTrash().has_value());
        EXPECT_EQ(onDisk(operationFolder), !moved);
        EXPECT_EQ(store->trashedBundles().size(), moved ? 1u : 0u);
        QDir(trashFolder()).removeRecursively();
        QDir(policy.quarantineRoot()).removeRecursively();
        QDir().mkpath(policy.quarantineRoot());
    }
}

TEST_F(LaunchResolutionTest, AFinaliserErrorKeepsTheJournalAndReportsIt) {
    // Each journal looks fully moved on disk, but names a record the inventory does not have, or one
    // that two products claim. Whatever the kind, its bundles must stay findable by the journal.
    enum class Kind { quarantine, restore, trash };
    struct Row {
        const char* name;
        Kind kind;
        bool twoClaimants;
        PrivilegedInventoryCommitError error;
        const char* text;
    };
    const std::vector<Row> rows{
        {"restore of an unknown record", Kind::restore, false,
         PrivilegedInventoryCommitError::missingInventoryRecord,
         "A completed privileged restore still needs inventory reconciliation. Do not retry the operation."},
        {"quarantine of an unknown record", Kind::quarantine, false,
         PrivilegedInventoryCommitError::missingInventoryRecord,
         "A completed privileged quarantine still needs inventory reconciliation. Do not retry the "
         "operation."},
        {"quarantine of a bundle two products claim", Kind::quarantine, true,
         PrivilegedInventoryCommitError::duplicateInventoryRecord,
         "A completed privileged quarantine still needs inventory reconciliation. Do not retry the "
         "operation."},
        {"Trash move of an unknown record", Kind::trash, false,
         PrivilegedInventoryCommitError::missingInventoryRecord,
         "A completed privileged Trash move still needs inventory reconciliation. Do not retry the "
         "operation."},
    };
    QDir().mkpath(trashFolder());
    int round = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString tag = QString::number(++round);
        const Plugin plugin = synth(QStringLiteral("Synth") + tag);
        std::vector<Plugin> plugins{plugin};
        const QString name = QStringLiteral("Other") + tag + QStringLiteral(".vst3");
        const QString placed = vst3(name);
        const QString held = policy.quarantineRoot() + u'/' + operationID + u'/' + name;
        std::function<void(PersistedInventory&)> journal;
        switch (row.kind) {
        case Kind::quarantine: {
            if (row.twoClaimants) {
                Plugin first = product(QStringLiteral("First") + tag, {QStringLiteral("VST3")}, {placed});
                Plugin second = first;
                second.id = makeUuid();
                second.name = QStringLiteral("Second") + tag;
                plugins = {first, second};
            }
            makeBundle(held);
            QFile::remove(placed);
            QDir(placed).removeRecursively();
            const PrivilegedQuarantineRequest request{uuidText(makeUuid()), {{placed, held, operationID}}};
            journal = [request](PersistedInventory& state) { state.pendingPrivilegedQuarantine = request; };
            break;
        }
        case Kind::restore: {
            makeBundle(placed);
            const PrivilegedRestoreRequest request{uuidText(makeUuid()), {{held, placed, operationID}}};
            journal = [request](PersistedInventory& state) { state.pendingPrivilegedRestore = request; };
            break;
        }
        case Kind::trash: {
            const QString trashed = trashFolder() + u'/' + name;
            makeBundle(trashed);
            const PrivilegedTrashRequest request{uuidText(makeUuid()), {{held, trashed, operationID}}};
            journal = [request](PersistedInventory& state) { state.pendingPrivilegedTrash = request; };
            break;
        }
        }
        open(plugins, journal);
        PersistedInventory expected = stateWith(plugins);
        journal(expected);
        EXPECT_TRUE(store->hasPendingPrivilegedTransaction());
        EXPECT_EQ(store->pendingPrivilegedQuarantine(), expected.pendingPrivilegedQuarantine);
        EXPECT_EQ(store->pendingPrivilegedRestore(), expected.pendingPrivilegedRestore);
        EXPECT_EQ(store->pendingPrivilegedTrash(), expected.pendingPrivilegedTrash);
        // The next write keeps it too.
        store->saveState();
        store->waitForIdle();
        const PersistedInventory stored = storedState();
        EXPECT_EQ(stored.pendingPrivilegedQuarantine, expected.pendingPrivilegedQuarantine);
        EXPECT_EQ(stored.pendingPrivilegedRestore, expected.pendingPrivilegedRestore);
        EXPECT_EQ(stored.pendingPrivilegedTrash, expected.pendingPrivilegedTrash);
        EXPECT_EQ(store->lastOperationError(), QString::fromUtf8(row.text));
        EXPECT_EQ(store->lastStorageError(), description(row.error));
        EXPECT_EQ(store->planQuarantine({selection(plugins[0])}), pendingReason);
        EXPECT_EQ(store->plugins()[0], plugins[0]);
    }
}

TEST_F(LaunchResolutionTest, AJournalTheHelperCouldNotHaveCarriedOutIsDroppedWithAWarning) {
    // Each forged journal looks fully moved on disk, so believing it would finalise it or block the
    // application for good. A genuine restore beside it must still be settled.
    enum class Kind { quarantine, restore, trash, trashRecovery };
    const std::vector<std::pair<Kind, const char*>> cases{
        {Kind::quarantine, "quarantine into a folder of its own choosing"},
        {Kind::restore, "restore outside the plug-in folders"},
        {Kind::trash, "Trash move outside the user's Trash"},
        {Kind::trashRecovery, "Trash recovery from outside the user's Trash"},
    };
    QDir().mkpath(trashFolder());
    int round = 0;
    for (const auto& [kind, name] : cases) {
        SCOPED_TRACE(name);
        const QString tag = QString::number(++round);
        const QString outside = home + QStringLiteral("/elsewhere/Synth") + tag + QStringLiteral(".vst3");
        const QString transaction = uuidText(makeUuid());
        const Plugin plugin = kind == Kind::quarantine
                                  ? synth(QStringLiteral("Synth") + tag)
                                  : quarantined(QStringLiteral("Synth") + tag, operationID);
        const QString held = plugin.bundles->front().quarantinePath.value_or(plugin.path);
        const QString lost = vst3(QStringLiteral("Lost") + tag + QStringLiteral(".vst3"));
        if (kind == Kind::trashRecovery) {
            makeBundle(outside);
            ASSERT_TRUE(moveBundle(outside, lost));
        } else {
            ASSERT_TRUE(moveBundle(held, outside));
        }

        const QString other = uuidText(makeUuid());
        const Plugin back = quarantined(QStringLiteral("Back") + tag, other);
        const PluginBundleRecord& backRecord = back.bundles->front();
        moveBundle(*backRecord.quarantinePath, backRecord.path);
        const PrivilegedRestoreRequest genuine{uuidText(makeUuid()),
                                               {{*backRecord.quarantinePath, backRecord.path, other}}};

        open({plugin, back}, [&](PersistedInventory& state) {
            state.pendingPrivilegedRestore = genuine;
            switch (kind) {
            case Kind::quarantine:
                state.pendingPrivilegedQuarantine =
                    PrivilegedQuarantineRequest{transaction, {{held, outside, operationID}}};
                break;
            case Kind::restore:
                state.pendingPrivilegedRestore =
                    PrivilegedRestoreRequest{transaction, {{held, outside, operationID}}};
                break;
            case Kind::trash:
                state.pendingPrivilegedTrash =
                    PrivilegedTrashRequest{transaction, {{held, outside, operationID}}};
                break;
            case Kind::trashRecovery:
                state.pendingPrivilegedTrashRestore = PrivilegedTrashRestoreRequest{
                    transaction,
                    {{outside, lost, uuidText(makeUuid()), lastPathComponent(lost), QStringLiteral("VST3")}}};
                break;
            }
        });
        EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
        const PersistedInventory stored = storedState();
        EXPECT_FALSE(stored.pendingPrivilegedQuarantine || stored.pendingPrivilegedRestore ||
                     stored.pendingPrivilegedTrash || stored.pendingPrivilegedTrashRestore);
        ASSERT_TRUE(store->notice().has_value());
        EXPECT_EQ(store->notice()->title, QStringLiteral("Privileged Journal Dropped"));
        EXPECT_EQ(store->notice()->style, NoticeStyle::warning);
        EXPECT_EQ(store->lastOperationError(), store->notice()->message);
        EXPECT_EQ(store->lastStorageError(), std::nullopt);
        EXPECT_TRUE(store->trashedBundles().empty());
        ASSERT_NE(findPlugin(plugin.id), nullptr);
        EXPECT_EQ(*findPlugin(plugin.id), plugin);
        for (const HistoryItem& line : store->history())
            EXPECT_NE(line.transactionID, transaction);
        // The genuine restore stood in the restore journal unless the forged one took its place.
        EXPECT_EQ(findPlugin(back.id)->bundleRecords()[0].isActive(), kind != Kind::restore);
    }
}

TEST_F(LaunchResolutionTest, AJournalThatWouldGiveOneBundleTwoRecordsIsDropped) {
    // Fully moved on disk, but finalising either would record a move against the wrong record.
    const QString twinName = QStringLiteral("SYNTH.vst3");
    for (const bool restore : {false, true}) {
        SCOPED_TRACE(restore ? "a restore onto a case twin's bundle" : "a quarantine of one bundle twice");
        const Plugin plugin = synth();
        std::vector<Plugin> plugins{plugin};
        std::function<void(PersistedInventory&)> journal;
        const QString other = uuidText(makeUuid());
        if (!restore) {
            const PrivilegedQuarantineItem item = quarantineItem(plugin);
            const PrivilegedQuarantineItem twin{
                vst3(twinName), policy.quarantineRoot() + u'/' + other + u'/' + twinName, other};
            ASSERT_TRUE(moveBundle(item.sourcePath, item.destinationPath));
            makeBundle(twin.destinationPath);
            journal = [=](PersistedInventory& state) {
                state.pendingPrivilegedQuarantine =
                    PrivilegedQuarantineRequest{uuidText(makeUuid()), {item, twin}};
            };
        } else {
            Plugin back = quarantinedUnder(
                product(QStringLiteral("Back"), {QStringLiteral("VST3")}, {vst3(twinName)}), other);
            const PluginBundleRecord& record = back.bundles->front();
            ASSERT_TRUE(moveBundle(record.path, *record.quarantinePath));
            plugins.push_back(back);
            const PrivilegedRestoreItem item{*record.quarantinePath, record.path, other};
            ASSERT_TRUE(moveBundle(item.sourcePath, item.destinationPath));
            journal = [=](PersistedInventory& state) {
                state.pendingPrivilegedRestore = PrivilegedRestoreRequest{uuidText(makeUuid()), {item}};
            };
        }
        open(plugins, journal);
        EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
        EXPECT_EQ(store->notice().value_or(OperationNotice{}).title,
                  QStringLiteral("Privileged Journal Dropped"));
        EXPECT_TRUE(store->history().empty());
        EXPECT_EQ(store->plugins(), plugins);
        QDir(vst3(twinName)).removeRecursively();
    }
}

TEST_F(LaunchResolutionTest, TheApplicationsOwnJournalsAreBelieved) {
    // Each kind's journal as the store writes it, found again at the next launch with its moves done.
    const Plugin plugin = synth();
    open({plugin});
    const auto quarantine = store->beginPrivileged<PrivilegedKind::quarantine>({selection(plugin)});
    ASSERT_TRUE(quarantine.has_value());
    moveAll(*quarantine);
    reopen();
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
    EXPECT_TRUE(findPlugin(plugin.id)->bundleRecords()[0].isQuarantined());

    const auto trash = store->beginPrivileged<PrivilegedKind::trash>({selection(plugin)});
    ASSERT_TRUE(trash.has_value());
    moveAll(*trash);
    reopen();
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
    EXPECT_EQ(store->trashedBundles().size(), 1u);

    const Plugin other = quarantined(QStringLiteral("Other"), operationID);
    open({other});
    const auto restore = store->beginPrivileged<PrivilegedKind::restore>({selection(other)});
    ASSERT_TRUE(restore.has_value());
    moveAll(*restore);
    reopen();
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
    EXPECT_TRUE(findPlugin(other.id)->bundleRecords()[0].isActive());
    EXPECT_EQ(store->notice(), std::nullopt);
}

TEST_F(LaunchResolutionTest, OpenCleanupRunsCloseOnlyWhenNoJournalIsLeft) {
    const Plugin plugin = synth();
    const FormatCleanupRunRecord run{makeUuid(),
                                     makeUuid(),
                                     FormatCleanupPresetKind::noAAX,
                                     clock,
                                     FormatCleanupRunStatus::pending,
                                     {selection(plugin)},
                                     {}};
    const PrivilegedQuarantineItem item = quarantineItem(plugin);
    makeBundle(item.destinationPath);
    open({plugin}, [&](PersistedInventory& state) {
        state.formatCleanupRuns = std::vector<FormatCleanupRunRecord>{run};
        state.pendingPrivilegedQuarantine = PrivilegedQuarantineRequest{uuidText(makeUuid()), {item}};
    });
    EXPECT_EQ(store->formatCleanupRuns()[0].status, FormatCleanupRunStatus::pending);

    open({plugin}, [&](PersistedInventory& state) {
        state.formatCleanupRuns = std::vector<FormatCleanupRunRecord>{run};
    });
    EXPECT_EQ(store->formatCleanupRuns()[0].status, FormatCleanupRunStatus::canceled);
}

TEST_F(LaunchResolutionTest, NothingIsConcludedWhileTheHelperHoldsItsTransactionLock) {
    const Plugin plugin = synth();
    const PrivilegedQuarantineRequest journal{uuidText(makeUuid()), {quarantineItem(plugin)}};
    const QString lockPath = helperTransactionLockPath(roots);
    QDir().mkpath(deletingLastPathComponent(lockPath));
    auto lock = TransactionLockFile::acquire(lockPath);
    ASSERT_TRUE(lock.has_value());
    open({plugin}, [&](PersistedInventory& state) { state.pendingPrivilegedQuarantine = journal; });
    // Everything is still at its source, but the helper may be about to move it.
    EXPECT_EQ(store->pendingPrivilegedQuarantine(), journal);
    EXPECT_EQ(store->lastOperationError(),
              QStringLiteral("The privileged helper is still finishing a plugin transaction. Quorvane will "
                             "reconcile it as soon as the helper is done."));
    QTest::qWait(700);
    EXPECT_EQ(store->pendingPrivilegedQuarantine(), journal);

    // The helper finishes the move, then lets go.
    moveBundle(journal.items[0].sourcePath, journal.items[0].destinationPath);
    lock->release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store->pendingPrivilegedQuarantine().has_value(); }, 10000));
    EXPECT_TRUE(store->plugins()[0].bundleRecords()[0].isQuarantined());
    EXPECT_EQ(store->lastOperationError(), std::nullopt);
}

TEST_F(LaunchResolutionTest, AMixedJournalIsSettledOnlyAfterTheHelperWasAsked) {
    // The helper undoes a transaction it was killed in at its next start, which the handshake causes.
    struct Row {
        const char* name;
        bool hook;
        bool enabled;
        bool helperUndoes;
    };
    const std::vector<Row> rows{
        {"no helper to ask", false, false, false},
        {"the helper is not enabled", true, false, false},
        {"the helper undoes the transaction", true, true, true},
        {"the helper finds nothing to undo", true, true, false},
    };
    const QString mixed = QStringLiteral("A pending privileged quarantine has a mixed disk state. Stop and "
                                         "verify plugin locations before taking another file action.");
    int round = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Plugin first = synth(QStringLiteral("One%1").arg(++round));
        const Plugin second = synth(QStringLiteral("Two%1").arg(round));
        const PrivilegedQuarantineRequest journal{uuidText(makeUuid()),
                                                  {quarantineItem(first), quarantineItem(second)}};
        ASSERT_TRUE(moveBundle(journal.items[0].sourcePath, journal.items[0].destinationPath));
        PersistedInventory state = stateWith({first, second});
        state.pendingPrivilegedQuarantine = journal;
        ASSERT_TRUE(writeStateFile(state, statePath()).has_value());

        StoreEnvironment launched = environment();
        int asked = 0;
        if (row.hook)
            launched.helperHandshake = [&](std::function<void()> done) {
                ++asked;
                if (!row.enabled)
                    return false;
                QTimer::singleShot(50, [&, done] {
                    if (row.helperUndoes)
                        moveBundle(journal.items[0].destinationPath, journal.items[0].sourcePath);
                    done();
                });
                return true;
            };
        store = std::make_unique<PluginInventoryStore>(launched);
        EXPECT_EQ(asked, row.hook ? 1 : 0);
        EXPECT_EQ(store->pendingPrivilegedQuarantine(), journal);
        EXPECT_EQ(store->lastOperationError() == mixed, !row.enabled);
        if (row.enabled) {
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return !store->pendingPrivilegedQuarantine() || store->lastOperationError(); }, 10000));
        }
        EXPECT_EQ(asked, row.hook ? 1 : 0);
        EXPECT_EQ(store->pendingPrivilegedQuarantine().has_value(), !row.helperUndoes);
        EXPECT_EQ(store->lastOperationError(), row.helperUndoes ? std::nullopt : std::optional(mixed));
        store.reset();
        QDir(policy.quarantineRoot()).removeRecursively();
        QDir().mkpath(policy.quarantineRoot());
    }
}

} // namespace
} // namespace quorvane::testing
