#include "FormatCleanupTestSupport.h"

#include <QSignalSpy>

namespace quorvane::testing {
namespace {

using Status = FormatCleanupRunStatus;

class FormatCleanupRunTest : public FormatCleanupTest {
protected:
    // A retire-VST2 preview of `count` products, every candidate ticked.
    void preview(int count, const QString& prefix = QStringLiteral("P")) {
        start(vst2Products(count, false, prefix));
        viewModel->setPreset(FormatCleanupPresetKind::retireVST2);
        viewModel->buildCleanupPreview();
        ASSERT_EQ(viewModel->plan()->candidates.size(), std::size_t(count));
    }
    // The source paths sent in the quarantine requests, in order.
    QStringList sentPaths() const {
        QStringList paths;
        for (const auto& request : fake.quarantines)
            for (const auto& item : request.items)
                paths.append(item.sourcePath);
        return paths;
    }
    static QStringList candidatePaths(const FormatCleanupPlan& plan, const FormatCleanupViewModel& model) {
        QStringList paths;
        for (const auto& candidate : plan.candidates)
            if (model.isSelected(candidate.selection))
                paths.append(candidate.path);
        return paths;
    }
    const FormatCleanupRunRecord& lastRun() const { return store->formatCleanupRuns().front(); }
};

TEST_F(FormatCleanupRunTest, RunsEndWithTheStatusTheirChunksEarned) {
    struct Case {
        const char* name;
        int bundles;
        int failRequest;
        Status status;
        std::vector<std::size_t> sent;
        int completedChunks;
        qsizetype quarantined;
    };
    for (const Case& c : std::vector<Case>{
             {"all of 600 commit", 600, 0, Status::completed, {256, 256, 88}, 0, 600},
             {"256 make one chunk", 256, 0, Status::completed, {256}, 0, 256},
             {"the second of three fails", 600, 2, Status::partiallyCompleted, {256, 256}, 1, 256},
             {"the first fails", 257, 1, Status::canceled, {256}, 0, 0},
         }) {
        SCOPED_TRACE(c.name);
        fake = {};
        fake.failRequest = c.failRequest;
        preview(c.bundles, QString::fromLatin1(c.name).left(8).remove(u' '));
        const FormatCleanupPlan plan = *viewModel->plan();
        const QStringList expectedOrder = candidatePaths(plan, *viewModel);
        QSignalSpy completed(run.get(), &FormatCleanupRunController::runCompleted);
        viewModel->requestConfirmation();
        viewModel->startCleanupPresetRun();
        store->waitForIdle();

        EXPECT_FALSE(viewModel->showConfirmation());
        EXPECT_FALSE(run->isBusy());
        EXPECT_TRUE(run->pendingChunks().empty());
        EXPECT_EQ(lastRun().status, c.status);
        std::vector<std::size_t> sent;
        for (const auto& request : fake.quarantines)
            sent.push_back(request.items.size());
        EXPECT_EQ(sent, c.sent);
        EXPECT_EQ(sentPaths(), expectedOrder.mid(0, sentPaths().size()));
        EXPECT_EQ(run->completedChunkCount(), c.completedChunks);
        EXPECT_EQ(store->quarantinedBundleCount(), c.quarantined);
        // Only a run that committed every chunk rebuilds the preview, against the new inventory.
        EXPECT_EQ(completed.size(), c.status == Status::completed ? 1 : 0);
        if (c.status == Status::completed) {
            ASSERT_TRUE(viewModel->plan().has_value());
            EXPECT_NE(viewModel->plan()->id, plan.id);
            EXPECT_EQ(viewModel->plan()->inventoryRevision, store->inventoryRevision());
        } else {
            // The preview stays, though it is now stale.
            ASSERT_TRUE(viewModel->plan().has_value());
            EXPECT_EQ(viewModel->plan()->id, plan.id);
        }
        TearDown();
    }
}

TEST_F(FormatCleanupRunTest, AnUnverifiedFirstChunkLeavesTheRunOpenUntilItsJournalIsSettled) {
    preview(2);
    fake.unverifiedRequest = 1;
    viewModel->startCleanupPresetRun();
    store->waitForIdle();
    EXPECT_FALSE(run->isBusy());
    EXPECT_EQ(lastRun().status, Status::pending);
    EXPECT_EQ(store->notice()->title, QStringLiteral("Quarantine Needs Attention"));
    ASSERT_TRUE(store->pendingPrivilegedQuarantine().has_value());

    // The moves did happen: the next launch commits the chunk and closes the run by what it holds.
    moveAll(fake.quarantines.at(0));
    viewModel.reset();
    run.reset();
    reopen();
    run = std::make_unique<FormatCleanupRunController>(*store, fake);
    makeViewModel();
    EXPECT_FALSE(store->pendingPrivilegedQuarantine().has_value());
    EXPECT_EQ(lastRun().status, Status::completed);
    ASSERT_EQ(viewModel->recentRuns().size(), 1u);
    EXPECT_EQ(viewModel->recentRuns()[0].remaining, 2);
}

TEST_F(FormatCleanupRunTest, OnlyTickedCandidatesAreSent) {
    preview(3);
    const auto candidates = viewModel->plan()->candidates;
    viewModel->setSelected(candidates[1].selection, false);
    viewModel->startCleanupPresetRun();
    store->waitForIdle();
    ASSERT_EQ(fake.quarantines.size(), 1u);
    EXPECT_EQ(sentPaths(), (QStringList{candidates[0].path, candidates[2].path}));
    EXPECT_EQ(lastRun().selections.size(), 2u);

    // The preview the completed run rebuilds by itself keeps the unticked candidate unticked, so
    // one more confirmation cannot move it; "Select Safe Defaults" still ticks it on request.
    ASSERT_TRUE(viewModel->plan().has_value());
    ASSERT_EQ(viewModel->plan()->candidates.size(), 1u);
    const PluginBundleSelection left = viewModel->plan()->candidates[0].selection;
    ASSERT_EQ(left.bundleID, candidates[1].selection.bundleID);
    EXPECT_TRUE(viewModel->selected().empty());
    EXPECT_FALSE(viewModel->canQuarantineSelected());
    viewModel->selectSafeDefaults();
    EXPECT_TRUE(viewModel->isSelected(left));
}

TEST_F(FormatCleanupRunTest, StartsThatStopLeaveTheRunStateUntouched) {
    // A helper that is not ready: nothing is journalled.
    preview(2);
    fake.ready = false;
    viewModel->startCleanupPresetRun();
    store->waitForIdle();
    EXPECT_TRUE(store->formatCleanupRuns().empty());
    EXPECT_FALSE(run->isBusy());

    // An expired preview: the store refuses with its notice.
    fake.ready = true;
    const auto stale = *viewModel->plan();
    store->setProtection(store->plugins().front(), true);
    ASSERT_FALSE(viewModel->plan().has_value());
    run->start(stale, {stale.candidates[0].selection});
    EXPECT_EQ(store->notice()->title, QStringLiteral("Cleanup Preview Expired"));
    EXPECT_TRUE(store->formatCleanupRuns().empty());
    EXPECT_FALSE(run->isBusy());
    EXPECT_TRUE(fake.quarantines.empty());
}

TEST_F(FormatCleanupRunTest, RunOutlivesTheScreenThatStartedIt) {
    preview(300);
    fake.hold = true;
    viewModel->startCleanupPresetRun();
    store->waitForIdle();
    ASSERT_EQ(fake.held.size(), 1u);
    EXPECT_TRUE(run->isBusy());
    EXPECT_TRUE(viewModel->isRunBusy());
    EXPECT_FALSE(viewModel->canBuildPreview());

    // The user shows another section: the screen goes while the first chunk is at the helper.
    viewModel.reset();
    fake.releaseOne();
    store->waitForIdle();
    ASSERT_EQ(fake.held.size(), 1u);
    EXPECT_EQ(run->completedChunkCount(), 1);
    EXPECT_EQ(store->quarantinedBundleCount(), 256);

    // Shown again, the screen finds the run under way; it shows no preview it was not asked for.
    makeViewModel();
    EXPECT_TRUE(viewModel->isRunBusy());
    EXPECT_FALSE(viewModel->plan().has_value());
    // A pending run is never offered for restore, though it holds bundles in quarantine.
    EXPECT_TRUE(viewModel->recentRuns().empty());
    fake.releaseOne();
    store->waitForIdle();
    EXPECT_FALSE(run->isBusy());
    EXPECT_EQ(lastRun().status, Status::completed);
    EXPECT_EQ(lastRun().childTransactionIDs.size(), 2u);
    EXPECT_EQ(store->quarantinedBundleCount(), 300);
    EXPECT_FALSE(viewModel->plan().has_value());
    EXPECT_FALSE(viewModel->isRunBusy());
}

TEST_F(FormatCleanupRunTest, PreviewStaysWhileARunCommitsItsChunks) {
    preview(300);
    fake.hold = true;
    const QUuid planID = viewModel->plan()->id;
    viewModel->startCleanupPresetRun();
    store->waitForIdle();
    fake.releaseOne();
    store->waitForIdle();
    // The first chunk made a new revision; the preview of the running screen is kept.
    ASSERT_TRUE(viewModel->plan().has_value());
    EXPECT_EQ(viewModel->plan()->id, planID);
    viewModel->setPreset(FormatCleanupPresetKind::auOnly);
    EXPECT_FALSE(viewModel->plan().has_value());
    fake.releaseOne();
    store->waitForIdle();
    EXPECT_EQ(lastRun().status, Status::completed);
}

TEST_F(FormatCleanupRunTest, RestoreOfACompletedRunPutsEveryBundleBackInChunks) {
    preview(257);
    viewModel->startCleanupPresetRun();
    store->waitForIdle();
    ASSERT_EQ(lastRun().status, Status::completed);
    const QUuid runID = lastRun().id;
    ASSERT_EQ(viewModel->recentRuns().size(), 1u);
    EXPECT_EQ(viewModel->recentRuns()[0].remaining, 257);
    EXPECT_TRUE(viewModel->canRestoreRuns());

    // Every notice the window is shown, as it is published.
    QStringList shown;
    const QObject listener;
    QObject::connect(store.get(), &PluginInventoryStore::noticeChanged, &listener, [&] {
        if (store->notice())
            shown << store->notice()->message;
    });
    viewModel->restoreCompletedRun(runID);
    store->waitForIdle();
    ASSERT_EQ(fake.restores.size(), 2u);
    EXPECT_EQ(fake.restores[0].items.size(), 256u);
    EXPECT_EQ(fake.restores[1].items.size(), 1u);
    EXPECT_FALSE(run->isBusy());
    EXPECT_EQ(store->quarantinedBundleCount(), 0);
    EXPECT_TRUE(viewModel->recentRuns().empty());
    // A restore leaves the run record as it was.
    EXPECT_EQ(lastRun().status, Status::completed);
    // One message for the whole restore, with its total.
    ASSERT_TRUE(store->notice().has_value());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Plugins Restored"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral("257 format bundles returned through the "
                             "administrator-approved helper in 2 verified transactions."));
    // No chunk was announced on its own on the way.
    EXPECT_EQ(shown, QStringList{store->notice()->message});
}

TEST_F(FormatCleanupRunTest, APreviewOutdatedDuringARestoreIsDroppedWhenTheRestoreEnds) {
    preview(2);
    viewModel->startCleanupPresetRun();
    store->waitForIdle();
    ASSERT_EQ(lastRun().status, Status::completed);
    // The preview rebuilt after the run reports its bundles as already in quarantine.
    ASSERT_TRUE(viewModel->plan().has_value());
    ASSERT_EQ(viewModel->plan()->exclusions.size(), 2u);

    viewModel->restoreCompletedRun(lastRun().id);
    store->waitForIdle();
    EXPECT_FALSE(run->isBusy());
    EXPECT_EQ(store->quarantinedBundleCount(), 0);
    EXPECT_FALSE(viewModel->plan().has_value());
    EXPECT_TRUE(viewModel->selected().empty());
}

TEST_F(FormatCleanupRunTest, RestoreStopsAtAChunkThatIsNotCommitted) {
    preview(300);
    viewModel->startCleanupPresetRun();
    store->waitForIdle();
    fake.failRequest = 4; // two quarantines, then the first restore chunk is answered, the second fails
    viewModel->restoreCompletedRun(lastRun().id);
    store->waitForIdle();
    EXPECT_EQ(fake.restores.size(), 2u);
    EXPECT_FALSE(run->isBusy());
    EXPECT_TRUE(run->restoreChunks().empty());
    EXPECT_EQ(store->quarantinedBundleCount(), 300 - 256);
    // Why it stopped, and what came back before.
    ASSERT_TRUE(store->notice().has_value());
    EXPECT_EQ(store->notice()->title, QStringLiteral("Restore Failed Safely"));
    EXPECT_EQ(store->notice()->message,
              QStringLiteral(
                  "The helper could not move it. Before the restore stopped, 256 format bundles returned "
                  "through the administrator-approved helper as one verified transaction."));
}

TEST_F(FormatCleanupRunTest, RecentRunsAreFinishedRunsStillHoldingBundlesFiveAtMost) {
    // Eight runs, newest first, with the number of bundles each still holds in quarantine.
    const std::vector<std::pair<Status, int>> runs{
        {Status::completed, 1}, {Status::canceled, 1},  {Status::partiallyCompleted, 2},
        {Status::completed, 0}, {Status::completed, 1}, {Status::partiallyCompleted, 1},
        {Status::completed, 1}, {Status::completed, 1},
    };
    std::vector<Plugin> plugins;
    std::vector<FormatCleanupRunRecord> records;
    for (std::size_t index = 0; index < runs.size(); ++index) {
        FormatCleanupRunRecord record;
        record.id = QUuid::createUuid();
        record.preset = index % 2 ? FormatCleanupPresetKind::noAAX : FormatCleanupPresetKind::retireVST2;
        record.status = runs[index].first;
        for (int bundle = 0; bundle < runs[index].second; ++bundle) {
            Plugin plugin = quarantinedUnder(synth(QStringLiteral("R%1-%2").arg(index).arg(bundle)),
                                             QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
            PluginBundleRecord& quarantined = plugin.bundles->front();
            quarantined.presetRunID = record.id;
            ASSERT_TRUE(moveBundle(*quarantined.originalPath, *quarantined.quarantinePath));
            record.selections.push_back(selection(plugin));
            plugins.push_back(plugin);
        }
        records.push_back(record);
    }
    start(plugins, true, [&](PersistedInventory& state) { state.formatCleanupRuns = records; });
    const auto shown = viewModel->recentRuns();
    const std::vector<std::size_t> expected{0, 2, 4, 5, 6};
    ASSERT_EQ(shown.size(), expected.size());
    for (std::size_t index = 0; index < expected.size(); ++index) {
        EXPECT_EQ(shown[index].id, records[expected[index]].id) << index;
        EXPECT_EQ(shown[index].remaining, runs[expected[index]].second) << index;
        EXPECT_EQ(shown[index].preset, records[expected[index]].preset) << index;
    }

    // A busy helper disables every restore.
    fake.hold = true;
    viewModel->restoreCompletedRun(records[0].id);
    store->waitForIdle();
    EXPECT_TRUE(run->isBusy());
    EXPECT_FALSE(viewModel->canRestoreRuns());
    fake.releaseOne();
    store->waitForIdle();
    EXPECT_FALSE(run->isBusy());
    EXPECT_EQ(viewModel->recentRuns().size(), 5u);
    EXPECT_EQ(viewModel->recentRuns().back().id, records[7].id);
}

} // namespace
} // namespace quorvane::testing
