#include "StoreTransactionSupport.h"

namespace quorvane::testing {
namespace {

class CleanupRunTest : public TransactionStoreTest {
protected:
    // `count` single-format VST2 products.
    std::vector<Plugin> products(int count) const {
        std::vector<Plugin> plugins;
        for (int index = 0; index < count; ++index)
            plugins.push_back(
                product(QStringLiteral("P%1").arg(index, 4, 10, QLatin1Char('0')), {QStringLiteral("VST2")},
                        {policy.approvedSystemPluginRoots().at(1) + QStringLiteral("/P%1.vst").arg(index)}));
        return plugins;
    }
    FormatCleanupPlan plan(const std::vector<Plugin>& plugins) const {
        FormatCleanupPlan value;
        value.id = makeUuid();
        value.preset = FormatCleanupPresetKind::retireVST2;
        value.inventoryRevision = store->inventoryRevision();
        for (const Plugin& plugin : plugins) {
            FormatCleanupCandidate candidate;
            candidate.selection = selection(plugin);
            value.candidates.push_back(candidate);
        }
        return value;
    }
    static std::vector<PluginBundleSelection> selections(const std::vector<Plugin>& plugins) {
        std::vector<PluginBundleSelection> all;
        for (const Plugin& plugin : plugins)
            all.push_back(selection(plugin));
        return all;
    }
    const FormatCleanupRunRecord& run() const { return store->formatCleanupRuns().front(); }

    // Drives a run as the format cleanup screen does, with the helper's moves done here; a chunk
    // number in `failing` is answered as failed safely, one in `refused` is never prepared.
    void drive(const QUuid& runID, const std::vector<PluginBundleSelection>& confirmed,
               const std::vector<int>& failing = {}, const std::vector<int>& refused = {}) {
        int commits = 0;
        for (std::size_t start = 0, chunkNumber = 1; start < confirmed.size(); start += 256, ++chunkNumber) {
            const std::vector<PluginBundleSelection> chunk(
                confirmed.begin() + qsizetype(start),
                confirmed.begin() + qsizetype(std::min(start + 256, confirmed.size())));
            const bool refuse = std::ranges::find(refused, int(chunkNumber)) != refused.end();
            const auto request =
                refuse ? std::nullopt : store->cleanupRuns().preparePresetRunChildTransaction(runID, chunk);
            if (!request) {
                store->cleanupRuns().finishCleanupPresetRun(
                    runID, commits == 0 ? FormatCleanupRunStatus::canceled
                                        : FormatCleanupRunStatus::partiallyCompleted);
                store->waitForIdle();
                return;
            }
            chunkSizes.push_back(request->items.size());
            const bool fails = std::ranges::find(failing, int(chunkNumber)) != failing.end();
            if (!fails)
                moveAll(*request);
            const bool done = committed([&](auto then) {
                store->completePrivileged(fails ? failedResult<PrivilegedQuarantineResult>(
                                                      request->transactionID, QStringLiteral("Refused."))
                                                : succeededResult<PrivilegedQuarantineResult>(*request),
                                          request->transactionID, request->items, then);
            });
            if (!done) {
                store->cleanupRuns().finishCleanupPresetRun(
                    runID, commits == 0 ? FormatCleanupRunStatus::canceled
                                        : FormatCleanupRunStatus::partiallyCompleted);
                store->waitForIdle();
                return;
            }
            ++commits;
        }
        store->cleanupRuns().finishCleanupPresetRun(runID, FormatCleanupRunStatus::completed);
        store->waitForIdle();
    }

    // Opens `plugins`, begins a run over every first record and drives it; the run's id.
    std::optional<QUuid> openAndDrive(const std::vector<Plugin>& plugins,
                                      const std::vector<int>& failing = {},
                                      const std::vector<int>& refused = {}) {
        open(plugins);
        const auto confirmed = selections(plugins);
        const auto runID = store->cleanupRuns().beginCleanupPresetRun(plan(plugins), confirmed);
        store->waitForIdle();
        EXPECT_TRUE(runID.has_value());
        if (runID)
            drive(*runID, confirmed, failing, refused);
        return runID;
    }

    std::vector<std::size_t> chunkSizes;
};

TEST_F(CleanupRunTest, BeginningKeepsEachConfirmedSelectionOnce) {
    const auto plugins = products(2);
    open(plugins);
    const auto confirmed = selections(plugins);
    const auto runID =
        store->cleanupRuns().beginCleanupPresetRun(plan(plugins), {confirmed[1], confirmed[0], confirmed[1]});
    store->waitForIdle();
    ASSERT_TRUE(runID.has_value());
    EXPECT_EQ(run().id, *runID);
    EXPECT_EQ(run().status, FormatCleanupRunStatus::pending);
    EXPECT_EQ(run().selections.size(), 2u);
    EXPECT_EQ(run().createdAt, clock);
    EXPECT_EQ(store->history()[0].kind, HistoryKind::cleanupPresetStarted);
    EXPECT_EQ(store->history()[0].plugin, QStringLiteral("Retire VST2"));
    EXPECT_EQ(store->history()[0].detail,
              QStringLiteral("2 reviewed format bundles queued for reversible quarantine"));
    EXPECT_EQ(store->history()[0].presetRunID, runID);
    EXPECT_EQ(storedState().formatCleanupRuns->front(), run());
}

TEST_F(CleanupRunTest, BeginningRefusesWithItsReasons) {
    const auto plugins = products(2);
    open(plugins);
    const FormatCleanupPlan preview = plan({plugins[0]});
    EXPECT_FALSE(store->cleanupRuns().beginCleanupPresetRun(preview, {}).has_value());
    EXPECT_EQ(
        store->notice()->message,
        QStringLiteral("The confirmed format list is empty or no longer matches the reviewed preview."));
    EXPECT_FALSE(store->cleanupRuns().beginCleanupPresetRun(preview, selections(plugins)).has_value());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Cleanup Preset Blocked"));

    failSaves = true;
    std::optional<std::optional<QUuid>> started;
    store->cleanupRuns().beginCleanupPresetRun(preview, {selection(plugins[0])},
                                               [&](const std::optional<QUuid>& runID) { started = runID; });
    store->waitForIdle();
    ASSERT_TRUE(started.has_value());
    EXPECT_FALSE(started->has_value());
    EXPECT_EQ(store->notice()->message,
              QStringLiteral("Quorvane could not save the preset-run journal. No plugin files were moved."));
    EXPECT_TRUE(store->formatCleanupRuns().empty());
    EXPECT_TRUE(store->history().empty());
    failSaves = false;

    quarantineThroughJournal({selection(plugins[1])});
    EXPECT_FALSE(store->cleanupRuns().beginCleanupPresetRun(preview, {selection(plugins[0])}).has_value());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Cleanup Preview Expired"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral("The inventory changed after this preset was previewed. Build "
                             "a new preview before moving any files."));
}

TEST_F(CleanupRunTest, SixHundredBundlesRunAsThreeChildTransactions) {
    const auto plugins = products(600);
    const auto runID = openAndDrive(plugins);
    ASSERT_TRUE(runID.has_value());
    EXPECT_EQ(chunkSizes, (std::vector<std::size_t>{256, 256, 88}));
    EXPECT_EQ(run().status, FormatCleanupRunStatus::completed);
    EXPECT_EQ(run().childTransactionIDs.size(), 3u);
    EXPECT_EQ(store->quarantinedBundleCount(), 600);
    EXPECT_EQ(store->notice()->title, QStringLiteral("Cleanup Preset Completed"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral("600 reviewed format bundles moved into reversible quarantine"));
    for (const Plugin& plugin : store->plugins())
        EXPECT_EQ(plugin.bundleRecords()[0].presetRunID, runID);
    EXPECT_EQ(store->cleanupRuns().presetRunRestoreSelections(*runID).size(), 600u);
}

TEST_F(CleanupRunTest, ARunThatStopsCountsOnlyTheChildTransactionsThatCommitted) {
    const auto plugins = products(600);
    // The second chunk refused before its journal was written, or sent and failed.
    for (const auto& [refused, failing, expected] :
         std::vector<std::tuple<std::vector<int>, std::vector<int>, QString>>{
             {{2}, {}, QStringLiteral("1 child transactions completed before the run stopped")},
             {{}, {2}, QStringLiteral("1 child transactions completed before the run stopped")}}) {
        ASSERT_TRUE(openAndDrive(plugins, failing, refused).has_value());
        EXPECT_EQ(run().status, FormatCleanupRunStatus::partiallyCompleted);
        EXPECT_EQ(store->history()[0].kind, HistoryKind::cleanupPresetPartiallyCompleted);
        EXPECT_EQ(store->history()[0].detail, expected);
        EXPECT_EQ(store->notice()->title, QStringLiteral("Cleanup Preset Stopped"));
        EXPECT_EQ(store->notice()->message, expected);
        EXPECT_EQ(store->notice()->style, NoticeStyle::warning);
        // Undo the moves for the next round.
        for (const Plugin& plugin : store->plugins()) {
            const PluginBundleRecord record = plugin.bundleRecords()[0];
            if (record.isQuarantined())
                moveBundle(*record.quarantinePath, record.path);
        }
    }
}

TEST_F(CleanupRunTest, AFirstChildThatFailsCancelsTheRun) {
    const auto plugins = products(3);
    const auto runID = openAndDrive(plugins, {1});
    ASSERT_TRUE(runID.has_value());
    EXPECT_EQ(run().status, FormatCleanupRunStatus::canceled);
    EXPECT_EQ(store->history()[0].detail,
              QStringLiteral("The cleanup preset was canceled; no additional bundles were moved"));
    EXPECT_EQ(store->notice()->title, QStringLiteral("Cleanup Preset Stopped"));

    // A finished run stays as it is.
    const auto history = store->history();
    store->cleanupRuns().finishCleanupPresetRun(*runID, FormatCleanupRunStatus::completed);
    EXPECT_EQ(run().status, FormatCleanupRunStatus::canceled);
    EXPECT_EQ(store->history(), history);
    EXPECT_FALSE(
        store->cleanupRuns().preparePresetRunChildTransaction(*runID, {selection(plugins[0])}).has_value());
    EXPECT_EQ(store->notice()->message,
              QStringLiteral("The preset-run journal is missing or no longer pending."));
}

TEST_F(CleanupRunTest, AChunkOutsideTheRunIsRefused) {
    const auto plugins = products(2);
    open(plugins);
    const auto runID =
        store->cleanupRuns().beginCleanupPresetRun(plan({plugins[0]}), {selection(plugins[0])});
    ASSERT_TRUE(runID.has_value());
    for (const auto& chunk : {std::vector<PluginBundleSelection>{}, std::vector{selection(plugins[1])}}) {
        EXPECT_FALSE(store->cleanupRuns().preparePresetRunChildTransaction(*runID, chunk).has_value());
        EXPECT_EQ(store->notice()->message,
                  QStringLiteral("This child transaction contains a format that was not "
                                 "part of the reviewed preset preview."));
    }
    EXPECT_FALSE(store->hasPendingPrivilegedTransaction());
}

TEST_F(CleanupRunTest, AQuarantineLinkedToAFinishedRunIsRefusedBeforeAnythingIsSaved) {
    const auto plugins = products(1);
    open(plugins);
    const auto runID = store->cleanupRuns().beginCleanupPresetRun(plan(plugins), selections(plugins));
    ASSERT_TRUE(runID.has_value());
    store->cleanupRuns().finishCleanupPresetRun(*runID, FormatCleanupRunStatus::completed);
    store->waitForIdle();
    const int writes = writeAttempts;
    EXPECT_FALSE(store
                     ->beginPrivileged<PrivilegedKind::quarantine>(selections(plugins),
                                                                   store->inventoryRevision(), {}, runID)
                     .has_value());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Cleanup Preset Blocked"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral("The preset-run journal no longer matches this helper transaction."));
    EXPECT_EQ(writeAttempts, writes);
    EXPECT_FALSE(store->pendingPrivilegedQuarantine().has_value());
}

TEST_F(CleanupRunTest, AtLaunchOpenRunsAreJudgedByWhatIsStillQuarantined) {
    const auto plugins = products(2);
    open(plugins);
    const auto confirmed = selections(plugins);
    const auto all = store->cleanupRuns().beginCleanupPresetRun(plan(plugins), confirmed);
    const auto none = store->cleanupRuns().beginCleanupPresetRun(plan(plugins), confirmed);
    ASSERT_TRUE(all && none);
    ASSERT_TRUE(store->cleanupRuns().preparePresetRunChildTransaction(*all, confirmed).has_value());
    auto request = *store->pendingPrivilegedQuarantine();
    moveAll(request);
    ASSERT_TRUE(store->completePrivileged(succeededResult<PrivilegedQuarantineResult>(request),
                                          request.transactionID, request.items));
    reopen();
    const auto status = [&](const QUuid& id) {
        for (const auto& run : store->formatCleanupRuns())
            if (run.id == id)
                return run.status;
        return FormatCleanupRunStatus::pending;
    };
    EXPECT_EQ(status(*all), FormatCleanupRunStatus::completed);
    EXPECT_EQ(status(*none), FormatCleanupRunStatus::canceled);

    // A restored bundle no longer counts for its run.
    const auto restore = store->beginPrivileged<PrivilegedKind::restore>(
        {store->cleanupRuns().presetRunRestoreSelections(*all)[0]});
    ASSERT_TRUE(restore.has_value());
    moveAll(*restore);
    ASSERT_TRUE(store->completePrivileged(succeededResult<PrivilegedRestoreResult>(*restore),
                                          restore->transactionID, restore->items));
    EXPECT_EQ(store->cleanupRuns().presetRunRestoreSelections(*all).size(), 1u);
}

TEST_F(CleanupRunTest, AtLaunchARunWithSomeBundlesQuarantinedIsPartiallyCompleted) {
    const auto plugins = products(2);
    open(plugins);
    const auto confirmed = selections(plugins);
    const auto runID = store->cleanupRuns().beginCleanupPresetRun(plan(plugins), confirmed);
    ASSERT_TRUE(runID.has_value());
    ASSERT_TRUE(
        store->cleanupRuns().preparePresetRunChildTransaction(*runID, {selection(plugins[0])}).has_value());
    auto request = *store->pendingPrivilegedQuarantine();
    moveAll(request);
    ASSERT_TRUE(store->completePrivileged(succeededResult<PrivilegedQuarantineResult>(request),
                                          request.transactionID, request.items));
    reopen();
    EXPECT_EQ(run().status, FormatCleanupRunStatus::partiallyCompleted);
    EXPECT_EQ(store->history()[0].detail,
              QStringLiteral("1 child transactions completed before the run stopped"));
}

} // namespace
} // namespace quorvane::testing
