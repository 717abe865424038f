#include "EndToEndSupport.h"
#include "Persistence/PersistedInventory.h"
#include "Persistence/StateFile.h"
#include "Persistence/StateFileLocations.h"
#include "Store/IsolatedStoreTest.h"
#include "Store/PluginInventoryStore.h"
#include "Support/Fixtures/FixtureRecords.h"
#include "Support/Paths.h"
#include "Support/Uuid.h"

#include <gtest/gtest.h>

#include <functional>

namespace quorvane::testing {
namespace {

// The real store on temporary roots and the real client against the testbed helper.
class StoreEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        machine.makeConsoleTrash();
        support = machine.tree.makeDirectory(QStringLiteral("support"));
    }

    StoreEnvironment environment() const {
        return StoreEnvironment::isolated(support, machine.roots, machine.home);
    }
    Plugin product(const QString& name) const {
        const QString path = makeBundle(machine.vst3(name + QStringLiteral(".vst3")));
        return productOfRecords(
            name, QStringLiteral("Orsolind"),
            {bundleRecord(QStringLiteral("VST3"), path, false, {.size = QStringLiteral("1 MB")})},
            {.size = QStringLiteral("1 MB")});
    }
    std::unique_ptr<PluginInventoryStore> openStore(const std::vector<Plugin>& plugins) const {
        EXPECT_TRUE(writeStateFile(stateWith(plugins), inventoryStateFileURL(support)).has_value());
        return std::make_unique<PluginInventoryStore>(environment());
    }
    static std::vector<PluginBundleSelection> selectionsOf(const PluginInventoryStore& store) {
        std::vector<PluginBundleSelection> selections;
        for (const Plugin& plugin : store.plugins())
            for (const PluginBundleRecord& record : plugin.bundleRecords())
                selections.push_back({plugin.id, record.id()});
        return selections;
    }

    // begin → sender → complete, waiting until the commit is on disk.
    template <class Result, class Request, class Send, class Complete>
    std::optional<bool> transact(const Request& request, Send send, Complete complete,
                                 Result* seen = nullptr) {
        std::optional<bool> committed;
        send(request, [&](const Result& result) {
            if (seen)
                *seen = result;
            complete(result, request.transactionID, request.items, [&](bool value) { committed = value; });
        });
        (void)QTest::qWaitFor([&] { return committed.has_value(); }, 120000);
        return committed;
    }

    bool quarantineAll(PluginInventoryStore& store, PluginManagementService& service) {
        const auto request = store.beginPrivileged<PrivilegedKind::quarantine>(selectionsOf(store));
        if (!request)
            return false;
        return transact<PrivilegedQuarantineResult>(
                   *request, [&](auto& r, auto done) { service.send(r, done); },
                   [&](auto& result, auto& id, auto& items, auto then) {
                       store.completePrivileged(result, id, items, then);
                   })
            .value_or(false);
    }

    TestMachine machine;
    QString support;
};

TEST_F(StoreEndToEndTest, QuarantineThenRestore) {
    TestbedService testbed(machine);
    ASSERT_TRUE(testbed.start());
    const Plugin plugin = product(QStringLiteral("Synth"));
    auto store = openStore({plugin});
    ASSERT_TRUE(quarantineAll(*store, *testbed.service))
        << store->lastOperationError().value_or("").toStdString();
    const PluginBundleRecord quarantined = store->plugins()[0].bundleRecords()[0];
    ASSERT_TRUE(quarantined.isQuarantined());
    EXPECT_TRUE(TestMachine::isDirectory(*quarantined.quarantinePath));
    EXPECT_FALSE(TestMachine::isDirectory(plugin.path));

    const auto request = store->beginPrivileged<PrivilegedKind::restore>(selectionsOf(*store));
    ASSERT_TRUE(request.has_value()) << store->lastOperationError().value_or("").toStdString();
    const auto committed = transact<PrivilegedRestoreResult>(
        *request, [&](auto& r, auto done) { testbed.service->send(r, done); },
        [&](auto& result, auto& id, auto& items, auto then) {
            store->completePrivileged(result, id, items, then);
        });
    ASSERT_EQ(committed, true) << store->notice()->message.toStdString();
    EXPECT_TRUE(TestMachine::isDirectory(plugin.path));
    EXPECT_TRUE(store->plugins()[0].bundleRecords()[0].isActive());
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
}

TEST_F(StoreEndToEndTest, QuarantineThenTrashThenRecovery) {
    TestbedService testbed(machine);
    ASSERT_TRUE(testbed.start());
    const Plugin plugin = product(QStringLiteral("Synth"));
    auto store = openStore({plugin});
    ASSERT_TRUE(quarantineAll(*store, *testbed.service));

    const auto trash = store->beginPrivileged<PrivilegedKind::trash>(selectionsOf(*store));
    ASSERT_TRUE(trash.has_value()) << store->lastOperationError().value_or("").toStdString();
    const auto trashed = transact<PrivilegedTrashResult>(
        *trash, [&](auto& r, auto done) { testbed.service->send(r, done); },
        [&](auto& result, auto& id, auto& items, auto then) {
            store->completePrivileged(result, id, items, then);
        });
    ASSERT_EQ(trashed, true) << store->notice()->message.toStdString();
    EXPECT_TRUE(store->plugins().empty());
    ASSERT_EQ(store->trashedBundles().size(), 1u);
    const TrashedBundleRecord record = store->trashedBundles()[0];
    const QString info = HomeTrash::infoFolder(machine.home) + u'/' + lastPathComponent(record.trashPath) +
                         QStringLiteral(".trashinfo");
    EXPECT_TRUE(TestMachine::isDirectory(record.trashPath));
    EXPECT_TRUE(QFile::exists(info));
    // The emptied operation folder was pruned.
    EXPECT_FALSE(TestMachine::isDirectory(deletingLastPathComponent(trash->items[0].sourcePath)));

    ASSERT_EQ(store->trashRecoveryBlockingReason({record.id}), std::nullopt);
    const auto recovery = store->beginTrashRecovery({record.id});
    ASSERT_TRUE(recovery.has_value());
    const auto recovered = transact<PrivilegedTrashRestoreResult>(
        *recovery, [&](auto& r, auto done) { testbed.service->send(r, done); },
        [&](auto& result, auto& id, auto& items, auto then) {
            store->completePrivileged(result, id, items, then);
        });
    ASSERT_EQ(recovered, true) << store->notice()->message.toStdString();
    EXPECT_TRUE(TestMachine::isDirectory(plugin.path));
    EXPECT_FALSE(TestMachine::isDirectory(record.trashPath));
    EXPECT_FALSE(QFile::exists(info));
    EXPECT_TRUE(store->trashedBundles()[0].reconciledDate.has_value());
}

TEST_F(StoreEndToEndTest, AMoveFailureInTheHelperClearsTheJournalAndMovesNothing) {
    TestbedService testbed(machine, {QStringLiteral("--fail-move"), QStringLiteral("2")});
    ASSERT_TRUE(testbed.start());
    const Plugin first = product(QStringLiteral("One"));
    const Plugin second = product(QStringLiteral("Two"));
    auto store = openStore({first, second});
    const auto request = store->beginPrivileged<PrivilegedKind::quarantine>(selectionsOf(*store));
    ASSERT_TRUE(request.has_value());
    PrivilegedQuarantineResult result;
    const auto committed = transact<PrivilegedQuarantineResult>(
        *request, [&](auto& r, auto done) { testbed.service->send(r, done); },
        [&](auto& value, auto& id, auto& items, auto then) {
            store->completePrivileged(value, id, items, then);
        },
        &result);
    ASSERT_EQ(committed, false);
    EXPECT_FALSE(result.succeeded);
    EXPECT_TRUE(result.rollbackComplete);
    EXPECT_FALSE(store->pendingPrivilegedQuarantine().has_value());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Quarantine Failed Safely"));
    EXPECT_EQ(store->notice()->message, result.message);
    EXPECT_FALSE(result.message.isEmpty());
    EXPECT_TRUE(TestMachine::isDirectory(first.path));
    EXPECT_TRUE(TestMachine::isDirectory(second.path));
    EXPECT_EQ(testbed.service->lastError(), result.message);
}

TEST_F(StoreEndToEndTest, AHelperKilledMidTransactionLeavesAJournalTheNextLaunchResolves) {
    TestbedService testbed(machine, {QStringLiteral("--pause-before-move"), QStringLiteral("2"),
                                     QStringLiteral("--pause-ms"), QStringLiteral("60000")});
    ASSERT_TRUE(testbed.start());
    const Plugin first = product(QStringLiteral("One"));
    const Plugin second = product(QStringLiteral("Two"));
    auto store = openStore({first, second});
    const auto request = store->beginPrivileged<PrivilegedKind::quarantine>(selectionsOf(*store));
    ASSERT_TRUE(request.has_value());
    std::optional<bool> committed;
    testbed.service->send(*request, [&](const PrivilegedQuarantineResult& result) {
        committed = store->completePrivileged(result, request->transactionID, request->items);
    });
    ASSERT_TRUE(testbed.registry->waitForOutput(QStringLiteral("pausing before move 2"), 30000));

    // A second launch while the helper is still inside the transaction concludes nothing.
    auto relaunched = std::make_unique<PluginInventoryStore>(environment());
    EXPECT_EQ(relaunched->pendingPrivilegedQuarantine(), request);
    EXPECT_EQ(relaunched->lastOperationError(),
              QStringLiteral(
                  "The privileged helper is still finishing a plugin transaction. Quorvane will reconcile "
                  "it as soon as the helper is done."));

    testbed.registry->kill();
    ASSERT_TRUE(QTest::qWaitFor([&] { return committed.has_value(); }, 30000));
    EXPECT_EQ(committed, false);
    // One bundle moved before the helper died: the first store keeps its journal.
    EXPECT_EQ(store->pendingPrivilegedQuarantine(), request);
    EXPECT_EQ(store->notice()->title, QStringLiteral("Quarantine Needs Attention"));

    const QString mixed =
        QStringLiteral("A pending privileged quarantine has a mixed disk state. Stop and verify "
                       "plugin locations before taking another file action.");
    ASSERT_TRUE(QTest::qWaitFor([&] { return relaunched->lastOperationError() == mixed; }, 10000))
        << relaunched->lastOperationError().value_or("").toStdString();
    EXPECT_EQ(relaunched->pendingPrivilegedQuarantine(), request);
    store.reset();
    relaunched.reset();
    auto third = std::make_unique<PluginInventoryStore>(environment());
    EXPECT_EQ(third->lastOperationError(), mixed);
    EXPECT_EQ(third->planQuarantine(selectionsOf(*third)),
              QStringLiteral("A previous privileged plugin transaction still needs reconciliation."));
}

TEST_F(StoreEndToEndTest, ACleanupPresetOverMoreThan256BundlesRunsInChunks) {
    TestbedService testbed(machine);
    ASSERT_TRUE(testbed.start());
    std::vector<Plugin> plugins;
    for (int index = 0; index < 300; ++index)
        plugins.push_back(product(QStringLiteral("P%1").arg(index)));
    auto store = openStore(plugins);
    FormatCleanupPlan plan;
    plan.id = makeUuid();
    plan.preset = FormatCleanupPresetKind::custom;
    plan.inventoryRevision = store->inventoryRevision();
    for (const PluginBundleSelection& selection : selectionsOf(*store)) {
        FormatCleanupCandidate candidate;
        candidate.selection = selection;
        plan.candidates.push_back(candidate);
    }
    const auto confirmed = selectionsOf(*store);
    const auto runID = store->cleanupRuns().beginCleanupPresetRun(plan, confirmed);
    ASSERT_TRUE(runID.has_value());

    // The format cleanup screen's chain: each chunk starts from the completion of the one before.
    std::vector<std::size_t> chunkSizes;
    bool finished = false;
    std::function<void(std::size_t)> next = [&](std::size_t start) {
        if (start >= confirmed.size()) {
            store->cleanupRuns().finishCleanupPresetRun(*runID, FormatCleanupRunStatus::completed);
            finished = true;
            return;
        }
        const std::vector<PluginBundleSelection> chunk(
            confirmed.begin() + qsizetype(start),
            confirmed.begin() + qsizetype(std::min(start + 256, confirmed.size())));
        // Each request leaves once its journal is on disk.
        store->cleanupRuns().preparePresetRunChildTransaction(
            *runID, chunk, [&, start](const std::optional<PrivilegedQuarantineRequest>& request) {
                if (!request) {
                    finished = true;
                    return;
                }
                chunkSizes.push_back(request->items.size());
                testbed.service->send(*request, [&, sent = *request, start](const auto& result) {
                    store->completePrivileged(result, sent.transactionID, sent.items,
                                              [&, start](bool committed) {
                                                  if (!committed)
                                                      finished = true;
                                                  else
                                                      next(start + 256);
                                              });
                });
            });
    };
    next(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished; }, 240000));
    EXPECT_EQ(chunkSizes, (std::vector<std::size_t>{256, 44}));
    EXPECT_EQ(store->formatCleanupRuns().front().status, FormatCleanupRunStatus::completed)
        << store->notice()->message.toStdString();
    EXPECT_EQ(store->quarantinedBundleCount(), 300);
    EXPECT_EQ(store->formatCleanupRuns().front().childTransactionIDs.size(), 2u);
}

} // namespace
} // namespace quorvane::testing
