#include "FakeHelperClient.h"
#include "HelperClient/PluginManagementService.h"
#include "StoreTransactionSupport.h"

namespace quorvane::testing {
namespace {

// Exposes the run, which the store otherwise starts itself at the end of a scan.
class RunnableStore : public PluginInventoryStore {
public:
    using PluginInventoryStore::PluginInventoryStore;
    using PluginInventoryStore::startPermanentQuarantineRun;
};

class PermanentRunTest : public TransactionStoreTest {
protected:
    // Per match: a quarantined product holding the retired copy and an active product holding the
    // reinstalled one.
    void openWithMatches(int count, const QString& manufacturer = QStringLiteral("Orsolind"),
                         const QString& activeName = {}) {
        std::vector<Plugin> plugins;
        for (int index = 0; index < count; ++index) {
            const QString name = QStringLiteral("Synth%1").arg(index);
            const QString operation = uuidText(makeUuid());
            const Plugin retired = quarantinedUnder(
                product(name, {QStringLiteral("VST3")},
                        {vst3(QStringLiteral("Old/") + name + QStringLiteral(".vst3"))}, manufacturer),
                operation);
            const PluginBundleRecord& record = retired.bundles->front();
            moveBundle(record.path, *record.quarantinePath);
            Plugin active = product(activeName.isEmpty() ? name : activeName, {QStringLiteral("VST3")},
                                    {vst3(name + QStringLiteral(".vst3"))}, manufacturer);
            matches.push_back(
                {selection(active), selection(retired), active.name, manufacturer, QStringLiteral("VST3")});
            plugins.push_back(retired);
            plugins.push_back(active);
        }
        ASSERT_TRUE(writeStateFile(stateWith(plugins), statePath()).has_value());
        runnable = std::make_unique<RunnableStore>(environment());
    }
    void run(PrivilegedRequestReadiness* service) {
        const std::size_t size = std::min<std::size_t>(matches.size(), 256);
        runnable->startPermanentQuarantineRun({matches.begin(), matches.begin() + qsizetype(size)},
                                              {matches.begin() + qsizetype(size), matches.end()}, service);
        // Each phase waits for its journal's write; the fake helpers answer at once.
        runnable->waitForIdle();
    }
    void TearDown() override {
        runnable.reset();
        TransactionStoreTest::TearDown();
    }

    std::vector<PermanentQuarantineMatch> matches;
    std::unique_ptr<RunnableStore> runnable;
    FakePrivilegedSender helper;
};

TEST_F(PermanentRunTest, SixHundredMatchesRunAsThreeChunksOfTwoPhases) {
    openWithMatches(600);
    run(&helper);
    ASSERT_EQ(helper.trashRequests.size(), 3u);
    ASSERT_EQ(helper.quarantineRequests.size(), 3u);
    const std::vector<std::size_t> sizes{256, 256, 88};
    for (std::size_t chunk = 0; chunk < 3; ++chunk) {
        EXPECT_EQ(helper.trashRequests[chunk].items.size(), sizes[chunk]);
        EXPECT_EQ(helper.quarantineRequests[chunk].items.size(), sizes[chunk]);
    }
    EXPECT_EQ(
        runnable->lastScanNotice(),
        QStringLiteral("Permanent Quarantine replaced 88 exact bundle copies: old copies are in Finder Trash "
                       "and replacements are safely quarantined."));
    EXPECT_EQ(runnable->trashedBundles().size(), 600u);
    EXPECT_EQ(runnable->plugins().size(), 600u);
    EXPECT_EQ(runnable->quarantinedBundleCount(), 600);
    EXPECT_FALSE(runnable->hasPendingPrivilegedTransaction());
}

TEST_F(PermanentRunTest, OneMatchIsACopyAndTwoAreCopies) {
    openWithMatches(1);
    run(&helper);
    EXPECT_EQ(runnable->lastScanNotice(),
              QStringLiteral(
                  "Permanent Quarantine replaced 1 exact bundle copy: old copies are in Finder Trash and "
                  "replacements are safely quarantined."));
    matches.clear();
    openWithMatches(2);
    run(&helper);
    EXPECT_EQ(runnable->lastScanNotice(),
              QStringLiteral(
                  "Permanent Quarantine replaced 2 exact bundle copies: old copies are in Finder Trash and "
                  "replacements are safely quarantined."));
}

TEST_F(PermanentRunTest, AHelperThatIsNotReadyStopsTheRunSafely) {
    openWithMatches(1);
    auto registry = std::make_shared<FakeRegistryState>();
    registry->status = ServiceRegistrationStatus::requiresApproval;
    FakeConnections connections;
    PluginManagementService service(std::make_unique<FakeServiceRegistry>(registry), connections.factory(),
                                    InstallLayout{tree.path()});
    run(&service);
    EXPECT_FALSE(runnable->pendingPrivilegedTrash().has_value());
    EXPECT_EQ(runnable->notice()->title, QStringLiteral("Trash Move Failed Safely"));
    EXPECT_EQ(runnable->notice()->message,
              QStringLiteral("Enable Plugin Management before moving quarantined bundles to Finder Trash."));
    EXPECT_EQ(
        runnable->lastScanNotice(),
        QStringLiteral("Permanent Quarantine stopped: the retired quarantine copy could not be verified in "
                       "Finder Trash. The reinstalled bundle remains active."));
}

TEST_F(PermanentRunTest, AReinstalledCopyThatVanishedIsNotQuarantined) {
    openWithMatches(1);
    matches[0].active.bundleID = QStringLiteral("VST3|/nowhere/gone.vst3");
    run(&helper);
    EXPECT_EQ(helper.trashRequests.size(), 1u);
    EXPECT_TRUE(helper.quarantineRequests.empty());
    EXPECT_EQ(runnable->trashedBundles().size(), 1u);
    EXPECT_EQ(
        runnable->lastScanNotice(),
        QStringLiteral("Permanent Quarantine retired the prior copies to Finder Trash, but did not move the "
                       "reinstalled bundles. They remain active for review."));
}

TEST_F(PermanentRunTest, ACopyInsideAWavesShellIsNeverResolved) {
    openWithMatches(1, QStringLiteral("Waves"), QStringLiteral("WaveShell1-VST3 14.0"));
    run(&helper);
    EXPECT_EQ(helper.trashRequests.size(), 1u);
    EXPECT_TRUE(helper.quarantineRequests.empty());
    EXPECT_EQ(
        runnable->lastScanNotice(),
        QStringLiteral("Permanent Quarantine retired the prior copies to Finder Trash, but did not move the "
                       "reinstalled bundles. They remain active for review."));
}

TEST_F(PermanentRunTest, WhenPhaseTwoOfTheSecondChunkFailsTheThirdIsNotStarted) {
    openWithMatches(600);
    // Calls: trash 1, quarantine 1, trash 2, quarantine 2.
    helper.failCall = 4;
    run(&helper);
    EXPECT_EQ(helper.trashRequests.size(), 2u);
    EXPECT_EQ(helper.quarantineRequests.size(), 2u);
    EXPECT_EQ(
        runnable->lastScanNotice(),
        QStringLiteral("Permanent Quarantine retired the prior copies to Finder Trash, but the reinstalled "
                       "bundles remain active because their quarantine transaction did not verify."));
    EXPECT_EQ(runnable->trashedBundles().size(), 512u);
    EXPECT_FALSE(runnable->hasPendingPrivilegedTransaction());
}

TEST_F(PermanentRunTest, APhaseOneThatCannotBeginMovesNothing) {
    openWithMatches(1);
    matches[0].retired.bundleID = QStringLiteral("VST3|/nowhere/old.vst3");
    run(&helper);
    EXPECT_TRUE(helper.trashRequests.empty());
    EXPECT_EQ(runnable->lastScanNotice(),
              QStringLiteral("Permanent Quarantine stopped before moving any replacement "
                             "bundle. Review the warning and rescan."));
}

} // namespace
} // namespace quorvane::testing
