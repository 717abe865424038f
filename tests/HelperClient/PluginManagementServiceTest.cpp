#include "HelperClient/PluginManagementService.h"
#include "FakeHelperClient.h"
#include "Support/Fixtures/TemporaryTree.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

const QString wrongBuild39 =
    QStringLiteral("The registered helper is Build 39. Choose Update Plugin Management to install Build 40.");

class PluginManagementServiceTest : public FakeServiceTest {
protected:
    // Enabled, with the handshake of the first connection answered by the expected helper.
    void startReachable() {
        start(ServiceRegistrationStatus::enabled);
        ASSERT_EQ(connections.made.size(), 1u);
        answerHandshake();
        ASSERT_TRUE(service->isReadyForPrivilegedRequests());
    }

    void setLastErrorThroughFailedRegistration() {
        registry->registerFailure = ServiceRegistryError::commandFailed;
        service->registerHelper();
        registry->registerFailure.reset();
        ASSERT_EQ(service->lastError(), description(ServiceRegistryError::commandFailed));
    }
};

TEST_F(PluginManagementServiceTest, StartsFromTheRegistrationStateAndShakesHandsSilentlyWhenEnabled) {
    start(ServiceRegistrationStatus::enabled);
    EXPECT_EQ(service->status(), PluginManagementStatus::enabled);
    ASSERT_EQ(connections.made.size(), 1u);
    FakeConnectionState& connection = connections.last();
    EXPECT_TRUE(connection.resumed);
    EXPECT_EQ(connection.endpoint, registry->endpoint);
    ASSERT_EQ(connection.calls.size(), 1u);
    EXPECT_EQ(connection.calls[0].method, QStringLiteral("handshake"));
    EXPECT_EQ(connection.calls[0].arguments, QStringList{QStringLiteral("Quorvane 1.0.1 (Build 40)")});
    // Nothing is known before the reply.
    EXPECT_FALSE(service->helperIsReachable());

    answerHandshake();
    EXPECT_TRUE(service->helperIsReachable());
    EXPECT_EQ(service->helperVersion(), QStringLiteral("40"));
    EXPECT_EQ(service->lastError(), std::nullopt);
    // A silent handshake leaves no notice.
    EXPECT_EQ(service->lastHandshakeNotice(), std::nullopt);
    EXPECT_FALSE(service->needsHelperUpdate());
}

TEST_F(PluginManagementServiceTest, MapsEveryRegistrationStateAndConnectsOnlyWhenEnabled) {
    const std::vector<std::pair<ServiceRegistrationStatus, PluginManagementStatus>> cases{
        {ServiceRegistrationStatus::notRegistered, PluginManagementStatus::notRegistered},
        {ServiceRegistrationStatus::requiresApproval, PluginManagementStatus::requiresApproval},
        {ServiceRegistrationStatus::enabled, PluginManagementStatus::enabled},
        {ServiceRegistrationStatus::notFound, PluginManagementStatus::notFound},
        {ServiceRegistrationStatus::unavailable, PluginManagementStatus::unavailable},
    };
    for (const auto& [registration, expected] : cases) {
        connections.made.clear();
        start(registration);
        EXPECT_EQ(service->status(), expected);
        EXPECT_EQ(connections.made.size(), expected == PluginManagementStatus::enabled ? 1u : 0u);
        EXPECT_EQ(service->hasConnection(), expected == PluginManagementStatus::enabled);
        EXPECT_FALSE(service->needsHelperUpdate() && expected != PluginManagementStatus::enabled);
    }
}

TEST_F(PluginManagementServiceTest, StatusTitlesAreTheScreenTexts) {
    EXPECT_EQ(title(PluginManagementStatus::notRegistered), QStringLiteral("Not Enabled"));
    EXPECT_EQ(title(PluginManagementStatus::requiresApproval), QStringLiteral("Approval Required"));
    EXPECT_EQ(title(PluginManagementStatus::enabled), QStringLiteral("Enabled"));
    EXPECT_EQ(title(PluginManagementStatus::notFound), QStringLiteral("Helper Missing"));
    EXPECT_EQ(title(PluginManagementStatus::unavailable), QStringLiteral("Status Unavailable"));
}

// The failure table, row by row.

TEST_F(PluginManagementServiceTest, HandshakeWhileNotEnabledOnlySetsTheUnavailableNotice) {
    start(ServiceRegistrationStatus::requiresApproval);
    setLastErrorThroughFailedRegistration();
    service->connectAndHandshake(true);
    EXPECT_FALSE(service->helperIsReachable());
    EXPECT_EQ(service->helperVersion(), std::nullopt);
    EXPECT_EQ(service->lastError(), description(ServiceRegistryError::commandFailed));
    EXPECT_EQ(service->lastHandshakeNotice(),
              QStringLiteral("Secure helper test unavailable until Plugin Management is enabled."));
    EXPECT_TRUE(connections.made.empty());
}

TEST_F(PluginManagementServiceTest, HandshakeOnAChannelThatCarriesNoCallClosesIt) {
    connections.refuseCalls = true;
    start(ServiceRegistrationStatus::enabled);
    service->connectAndHandshake(true);
    EXPECT_FALSE(service->helperIsReachable());
    EXPECT_EQ(service->helperVersion(), std::nullopt);
    EXPECT_EQ(service->lastError(),
              QStringLiteral("Quorvane could not create the helper communication channel."));
    EXPECT_EQ(service->lastHandshakeNotice(), QStringLiteral("Secure helper test failed."));
    EXPECT_FALSE(service->hasConnection());
    EXPECT_TRUE(connections.last().invalidated);
}

TEST_F(PluginManagementServiceTest, ReplyWithAnotherBuildOrNameKeepsTheConnection) {
    struct Case {
        QString name;
        QString build;
        QString error;
        QString notice;
    };
    const std::vector<Case> cases{
        {QStringLiteral("QuorvaneHelper"), QStringLiteral("39"), wrongBuild39,
         QStringLiteral("Secure helper test failed. The registered helper reported Build 39.")},
        {QStringLiteral("OtherHelper"), QStringLiteral("40"),
         QStringLiteral(
             "The registered helper is Build 40. Choose Update Plugin Management to install Build 40."),
         QStringLiteral("Secure helper test failed. The registered helper reported Build 40.")},
        {QStringLiteral("quorvanehelper"), QStringLiteral("40"),
         QStringLiteral(
             "The registered helper is Build 40. Choose Update Plugin Management to install Build 40."),
         QStringLiteral("Secure helper test failed. The registered helper reported Build 40.")},
    };
    for (const Case& testCase : cases) {
        connections.made.clear();
        start(ServiceRegistrationStatus::enabled);
        service->connectAndHandshake(true);
        connections.last().reply(0, {testCase.name, testCase.build});
        drainEvents();
        EXPECT_FALSE(service->helperIsReachable());
        EXPECT_EQ(service->helperVersion(), testCase.build);
        EXPECT_EQ(service->lastError(), testCase.error);
        EXPECT_EQ(service->lastHandshakeNotice(), testCase.notice);
        EXPECT_TRUE(service->hasConnection());
        EXPECT_FALSE(connections.last().invalidated);
        EXPECT_TRUE(service->needsHelperUpdate());
    }
}

TEST_F(PluginManagementServiceTest, PassingTestReportsTheConnectedBuild) {
    startReachable();
    service->connectAndHandshake(true);
    answerHandshake();
    EXPECT_EQ(service->lastHandshakeNotice(),
              QStringLiteral("Secure helper test passed. QuorvaneHelper Build 40 is connected."));
    EXPECT_TRUE(service->helperIsReachable());
}

TEST_F(PluginManagementServiceTest, ConnectionErrorDuringHandshakeClosesTheConnection) {
    start(ServiceRegistrationStatus::enabled);
    service->connectAndHandshake(true);
    connections.last().fail(0, HelperConnectionError::unreachable);
    drainEvents();
    const QString error = description(HelperConnectionError::unreachable);
    EXPECT_FALSE(service->helperIsReachable());
    EXPECT_EQ(service->helperVersion(), std::nullopt);
    EXPECT_EQ(service->lastError(), error);
    EXPECT_EQ(service->lastHandshakeNotice(), QStringLiteral("Secure helper test failed: ") + error);
    EXPECT_FALSE(service->hasConnection());
    EXPECT_TRUE(connections.last().invalidated);
}

TEST_F(PluginManagementServiceTest, ReplyOfTheWrongShapeIsAConnectionError) {
    start(ServiceRegistrationStatus::enabled);
    connections.last().reply(0, {QStringLiteral("QuorvaneHelper")});
    drainEvents();
    EXPECT_FALSE(service->helperIsReachable());
    EXPECT_EQ(service->lastError(), description(HelperConnectionError::protocolViolation));
    EXPECT_FALSE(service->hasConnection());
}

// The helper closes the connection idle longest when it needs the room: an idle connection that had
// shaken hands is opened again silently, keeping the last error; one lost under a request, or an
// invalidation, only marks the helper unreachable.
TEST_F(PluginManagementServiceTest, AnIdleConnectionTheHelperClosesIsOpenedAgainSilently) {
    enum class End { interruptedWhileIdle, interruptedUnderARequest, invalidated };
    const PrivilegedQuarantineRequest request{QStringLiteral("TX"), {}};
    const QString failedResult = QStringLiteral(
        R"({"transactionID":"TX","succeeded":false,"rollbackComplete":true,"movedDestinationPaths":[],"message":"M"})");
    for (const End end : {End::interruptedWhileIdle, End::interruptedUnderARequest, End::invalidated}) {
        SCOPED_TRACE(int(end));
        connections.made.clear();
        startReachable();
        service->connectAndHandshake(true);
        answerHandshake();
        const auto notice = service->lastHandshakeNotice();
        service->send(request, [](const PrivilegedQuarantineResult&) {});
        FakeConnectionState& connection = connections.last();
        if (end == End::interruptedUnderARequest)
            connection.fail(1, HelperConnectionError::interrupted);
        else
            connection.reply(1, {failedResult});
        drainEvents();
        const auto error = service->lastError();
        if (end == End::invalidated)
            connection.invalidation();
        else
            connection.interrupt();
        drainEvents();
        EXPECT_FALSE(service->helperIsReachable());
        EXPECT_EQ(service->helperVersion(), QStringLiteral("40"));
        EXPECT_EQ(service->lastError(), error);
        EXPECT_EQ(service->lastHandshakeNotice(), notice);
        EXPECT_TRUE(service->hasConnection());
        if (end != End::interruptedWhileIdle) {
            EXPECT_EQ(connections.made.size(), 2u);
            EXPECT_TRUE(service->needsHelperUpdate());
            continue;
        }
        ASSERT_EQ(connections.made.size(), 3u);
        EXPECT_EQ(connections.last().calls.at(0).method, QStringLiteral("handshake"));
        answerHandshake();
        EXPECT_TRUE(service->isReadyForPrivilegedRequests());
        EXPECT_EQ(service->lastError(), QStringLiteral("M"));
        EXPECT_EQ(service->lastHandshakeNotice(), notice);
    }
}

TEST_F(PluginManagementServiceTest, RegistrationFailureSetsOnlyTheError) {
    start(ServiceRegistrationStatus::notRegistered);
    registry->registerFailure = ServiceRegistryError::approvalDismissed;
    service->registerHelper();
    EXPECT_EQ(service->lastError(),
              QStringLiteral("The administrator approval was dismissed. Plugin Management was not changed."));
    EXPECT_FALSE(service->isWorking());
    EXPECT_EQ(service->status(), PluginManagementStatus::notRegistered);
    EXPECT_EQ(registry->changes, std::vector<QString>{QStringLiteral("register")});
}

TEST_F(PluginManagementServiceTest, RepairWhoseUnregisterFailsDoesNotRegisterAndStillRefreshes) {
    startReachable();
    registry->unregisterFailure = ServiceRegistryError::approvalDenied;
    const int readsBefore = registry->statusReads;
    service->repairRegistration();
    EXPECT_EQ(registry->changes, std::vector<QString>{QStringLiteral("unregister")});
    EXPECT_EQ(service->lastError(), description(ServiceRegistryError::approvalDenied));
    EXPECT_GT(registry->statusReads, readsBefore);
    EXPECT_FALSE(service->isWorking());
    // Repair marks the helper unreachable first and closes the connection; the status is still
    // enabled, so the refresh opened a new one.
    EXPECT_TRUE(connections.made[0]->invalidated);
    EXPECT_EQ(connections.made.size(), 2u);
    EXPECT_FALSE(service->helperIsReachable());
    EXPECT_EQ(service->helperVersion(), QStringLiteral("40"));

    // The reconnect that follows succeeds, and the failure stays visible.
    answerHandshake();
    EXPECT_TRUE(service->helperIsReachable());
    EXPECT_EQ(service->lastError(), description(ServiceRegistryError::approvalDenied));
}

TEST_F(PluginManagementServiceTest, RepairUnregistersThenRegistersAndReconnects) {
    startReachable();
    service->repairRegistration();
    EXPECT_EQ(registry->changes,
              (std::vector<QString>{QStringLiteral("unregister"), QStringLiteral("register")}));
    EXPECT_EQ(service->status(), PluginManagementStatus::enabled);
    EXPECT_EQ(service->lastError(), std::nullopt);
    EXPECT_EQ(connections.made.size(), 2u);
}

TEST_F(PluginManagementServiceTest, RegisterWhenEnabledOnlyRefreshesAndReconnects) {
    startReachable();
    service->registerHelper();
    EXPECT_TRUE(registry->changes.empty());
    EXPECT_EQ(connections.made.size(), 2u);
    EXPECT_EQ(connections.last().calls.at(0).method, QStringLiteral("handshake"));
}

TEST_F(PluginManagementServiceTest, RegistrationWaitsForTheAdministratorAndRefusesEverythingMeanwhile) {
    start(ServiceRegistrationStatus::notRegistered);
    registry->answerAtOnce = false;
    QSignalSpy working(service.get(), &PluginManagementService::isWorkingChanged);
    service->registerHelper();
    EXPECT_TRUE(service->isWorking());
    const int reads = registry->statusReads;
    service->registerHelper();
    service->repairRegistration();
    EXPECT_EQ(registry->statusReads, reads);
    EXPECT_EQ(registry->changes.size(), 1u);
    EXPECT_EQ(service->quarantineBlockingReason(),
              QStringLiteral("A privileged plugin transaction is already in progress."));

    registry->finishPending();
    EXPECT_FALSE(service->isWorking());
    EXPECT_EQ(working.count(), 2);
    EXPECT_EQ(service->status(), PluginManagementStatus::enabled);
    EXPECT_EQ(connections.made.size(), 1u);
}

TEST_F(PluginManagementServiceTest, RefreshWhenNoLongerEnabledClosesTheConnection) {
    startReachable();
    registry->status = ServiceRegistrationStatus::notRegistered;
    service->refreshStatus();
    EXPECT_EQ(service->status(), PluginManagementStatus::notRegistered);
    EXPECT_FALSE(service->helperIsReachable());
    EXPECT_EQ(service->helperVersion(), std::nullopt);
    EXPECT_FALSE(service->hasConnection());
    EXPECT_TRUE(connections.last().invalidated);
}

TEST_F(PluginManagementServiceTest, ANewHandshakeKeepsReachabilityUntilItsReply) {
    startReachable();
    service->connectAndHandshake(false);
    EXPECT_TRUE(service->helperIsReachable());
    EXPECT_TRUE(connections.made[0]->invalidated);
    connections.last().reply(0, {QStringLiteral("QuorvaneHelper"), QStringLiteral("39")});
    drainEvents();
    EXPECT_FALSE(service->helperIsReachable());
}

TEST_F(PluginManagementServiceTest, ClosingTheOldConnectionDoesNotMarkTheHelperUnreachable) {
    startReachable();
    service->connectAndHandshake(false);
    // The close silenced the old connection's handlers before it invalidated it.
    EXPECT_FALSE(connections.made[0]->invalidation);
    EXPECT_FALSE(connections.made[0]->interruption);
    drainEvents();
    EXPECT_TRUE(service->helperIsReachable());
}

TEST_F(PluginManagementServiceTest, CallbacksOfAnOlderConnectionNeverTouchTheNewerOne) {
    start(ServiceRegistrationStatus::enabled);
    FakeConnectionState& old = *connections.made[0];
    const auto oldHandshake = old.calls[0].handler;
    const auto oldInterruption = old.interruption;
    service->connectAndHandshake(false);
    answerHandshake();
    ASSERT_TRUE(service->helperIsReachable());

    // A late answer and a late interruption of the first connection.
    oldHandshake(QStringList{QStringLiteral("QuorvaneHelper"), QStringLiteral("39")});
    oldHandshake(std::unexpected(HelperConnectionError::interrupted));
    oldInterruption();
    drainEvents();
    EXPECT_TRUE(service->helperIsReachable());
    EXPECT_EQ(service->helperVersion(), QStringLiteral("40"));
    EXPECT_EQ(service->lastError(), std::nullopt);
    EXPECT_TRUE(service->hasConnection());
}

TEST_F(PluginManagementServiceTest, NoRefreshTestOrReconnectClosesAConnectionCarryingARequest) {
    startReachable();
    std::optional<PrivilegedQuarantineResult> result;
    service->send({QStringLiteral("TX"), {}},
                  [&](const PrivilegedQuarantineResult& value) { result = value; });
    ASSERT_TRUE(service->isWorking());
    FakeConnectionState& connection = connections.last();

    service->connectAndHandshake(true);
    service->refreshStatus();
    EXPECT_EQ(connections.made.size(), 1u);
    EXPECT_FALSE(connection.invalidated);

    // The registration went away meanwhile: the close waits for the request's answer.
    registry->status = ServiceRegistrationStatus::notRegistered;
    service->refreshStatus();
    EXPECT_EQ(service->status(), PluginManagementStatus::notRegistered);
    EXPECT_FALSE(service->helperIsReachable());
    EXPECT_FALSE(connection.invalidated);

    const PrivilegedQuarantineResult reply{QStringLiteral("TX"), true, true, {}, QStringLiteral("done")};
    connection.reply(1, {QString::fromUtf8(encode(reply))});
    drainEvents();
    ASSERT_EQ(result, reply);
    EXPECT_FALSE(service->isWorking());
    EXPECT_TRUE(connection.invalidated);
    EXPECT_FALSE(service->hasConnection());
}

TEST_F(PluginManagementServiceTest, IdleIsToldOnlyAfterTheCompletionHasTakenTheResult) {
    startReachable();
    int completions = 0;
    std::vector<std::pair<bool, int>> told; // isWorking, and the completions run, at each change signal
    QObject::connect(service.get(), &PluginManagementService::isWorkingChanged, service.get(),
                     [&] { told.emplace_back(service->isWorking(), completions); });
    const auto answer = [&](std::size_t call, const QString& transaction) {
        const PrivilegedQuarantineResult reply{transaction, true, true, {}, QStringLiteral("done")};
        connections.last().reply(call, {QString::fromUtf8(encode(reply))});
        drainEvents();
    };
    // The first completion chains a second request at once, as a cleanup run does with its chunks.
    service->send({QStringLiteral("TX1"), {}}, [&](const PrivilegedQuarantineResult&) {
        ++completions;
        ASSERT_TRUE(service->isReadyForPrivilegedRequests());
        service->send({QStringLiteral("TX2"), {}}, [&](const PrivilegedQuarantineResult&) { ++completions; });
    });
    answer(1, QStringLiteral("TX1"));
    EXPECT_TRUE(service->isWorking());
    answer(2, QStringLiteral("TX2"));
    EXPECT_FALSE(service->isWorking());
    // Never idle between the two, and idle only once the last completion has run.
    EXPECT_EQ(told, (std::vector<std::pair<bool, int>>{{true, 0}, {true, 1}, {false, 2}}));
}

TEST_F(PluginManagementServiceTest, NeedsUpdateOnlyWhenEnabledWithoutTheExpectedBuild) {
    start(ServiceRegistrationStatus::notRegistered);
    EXPECT_FALSE(service->needsHelperUpdate());
    connections.made.clear();
    start(ServiceRegistrationStatus::enabled);
    // No reply yet: no version.
    EXPECT_TRUE(service->needsHelperUpdate());
    answerHandshake();
    EXPECT_FALSE(service->needsHelperUpdate());
}

TEST_F(PluginManagementServiceTest, SignalsOnlyWhenAValueChanges) {
    start(ServiceRegistrationStatus::enabled);
    QSignalSpy status(service.get(), &PluginManagementService::statusChanged);
    QSignalSpy reachable(service.get(), &PluginManagementService::helperIsReachableChanged);
    QSignalSpy version(service.get(), &PluginManagementService::helperVersionChanged);
    answerHandshake();
    service->refreshStatus();
    answerHandshake();
    EXPECT_EQ(status.count(), 0);
    EXPECT_EQ(reachable.count(), 1);
    EXPECT_EQ(version.count(), 1);
}

TEST_F(PluginManagementServiceTest, AnswersArrivingAfterTheServiceIsGoneAreDropped) {
    startReachable();
    bool completed = false;
    service->send({QStringLiteral("TX"), {}}, [&](const PrivilegedRestoreResult&) { completed = true; });
    FakeConnectionState& connection = connections.last();
    const auto handler = connection.calls.at(1).handler;
    service.reset();
    EXPECT_TRUE(connection.destroyed);
    handler(QStringList{
        QString::fromUtf8(encode(PrivilegedRestoreResult{QStringLiteral("TX"), true, true, {}, {}}))});
    drainEvents();
    EXPECT_FALSE(completed);
}

} // namespace
} // namespace quorvane::testing
