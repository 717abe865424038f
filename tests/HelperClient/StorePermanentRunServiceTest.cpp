#include "FakeHelperClient.h"
#include "HelperClient/PluginManagementService.h"
#include "Store/StoreTransactionSupport.h"

namespace quorvane::testing {
namespace {

// The run handed the helper client's service while Plugin Management is not enabled.
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

} // namespace
} // namespace quorvane::testing
