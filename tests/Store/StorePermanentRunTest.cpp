#include "StoreTransactionSupport.h"

namespace quorvane::testing {
namespace {

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
