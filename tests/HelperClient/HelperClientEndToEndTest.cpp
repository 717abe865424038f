#include "EndToEndSupport.h"
#include "Shared/FrameCodec.h"
#include "Shared/QuorvaneHelperProtocol.h"
#include "Support/Uuid.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <atomic>
#include <poll.h>

namespace quorvane::testing {
namespace {

// The real client against the testbed helper over its socket.

// Synth.vst3, made in the VST3 folder, into a new quarantine operation.
PrivilegedQuarantineRequest quarantineOfOneBundle(const TestMachine& machine) {
    const QString operation = uuidText(makeUuid());
    const QString source = makeBundle(machine.vst3(QStringLiteral("Synth.vst3")));
    return {uuidText(makeUuid()),
            {{source, machine.policy.quarantineRoot() + u'/' + operation + QStringLiteral("/Synth.vst3"),
              operation}}};
}

TEST(HelperClientEndToEndTest, RegisteringStartsTheHelperAndTheHandshakeConnects) {
    TestMachine machine;
    TestbedService testbed(machine);
    PluginManagementService& service = *testbed.service;
    EXPECT_EQ(service.status(), PluginManagementStatus::notRegistered);
    ASSERT_TRUE(testbed.start()) << testbed.registry->output().toStdString();
    EXPECT_EQ(service.status(), PluginManagementStatus::enabled);
    EXPECT_TRUE(service.helperIsReachable()) << service.lastError().value_or(QString()).toStdString();
    EXPECT_EQ(service.helperVersion(), QStringLiteral("40"));
    EXPECT_TRUE(service.isReadyForPrivilegedRequests());

    service.connectAndHandshake(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return service.lastHandshakeNotice().has_value(); }, 20000));
    EXPECT_EQ(service.lastHandshakeNotice(),
              QStringLiteral("Secure helper test passed. QuorvaneHelper Build 40 is connected."));
}

TEST(HelperClientEndToEndTest, AHelperOfAnotherBuildIsNotReachable) {
    TestMachine machine;
    TestbedService testbed(machine, {QStringLiteral("--report-build"), QStringLiteral("39")});
    ASSERT_TRUE(testbed.start());
    const PluginManagementService& service = *testbed.service;
    EXPECT_FALSE(service.helperIsReachable());
    EXPECT_EQ(service.helperVersion(), QStringLiteral("39"));
    EXPECT_EQ(service.lastError(),
              QStringLiteral(
                  "The registered helper is Build 39. Choose Update Plugin Management to install Build 40."));
    EXPECT_TRUE(service.needsHelperUpdate());
    EXPECT_EQ(service.quarantineBlockingReason(),
              QStringLiteral("The privileged helper is enabled but has not completed its secure handshake."));
}

TEST(HelperClientEndToEndTest, AClientTheHelperDoesNotAcceptSeesTheConnectionEnd) {
    TestMachine machine;
    // The helper accepts only another program.
    TestbedService testbed(machine, {QStringLiteral("--client-exe"), QStringLiteral("/bin/sh")});
    ASSERT_TRUE(testbed.start());
    const PluginManagementService& service = *testbed.service;
    EXPECT_FALSE(service.helperIsReachable());
    EXPECT_EQ(service.helperVersion(), std::nullopt);
    EXPECT_EQ(service.lastError(), description(HelperConnectionError::interrupted));
    EXPECT_FALSE(service.hasConnection());
}

TEST(HelperClientEndToEndTest, AQuarantineRequestMovesTheBundles) {
    TestMachine machine;
    TestbedService testbed(machine);
    ASSERT_TRUE(testbed.start());
    const QString operation = uuidText(makeUuid());
    const QString source = makeBundle(machine.vst3(QStringLiteral("Synth.vst3")));
    const QString destination =
        machine.policy.quarantineRoot() + u'/' + operation + QStringLiteral("/Synth.vst3");
    const PrivilegedQuarantineRequest request{uuidText(makeUuid()), {{source, destination, operation}}};

    const auto result = testbed.sendAndWait<PrivilegedQuarantineResult>(
        [&](auto done) { testbed.service->send(request, done); });
    ASSERT_TRUE(result.has_value());
    EXPECT_TRUE(result->succeeded) << result->message.toStdString();
    EXPECT_EQ(result->transactionID, request.transactionID);
    EXPECT_EQ(result->destinationPaths, QStringList{destination});
    EXPECT_FALSE(TestMachine::isDirectory(source));
    EXPECT_TRUE(TestMachine::isDirectory(destination));
    EXPECT_FALSE(testbed.service->isWorking());
    EXPECT_EQ(testbed.service->lastError(), std::nullopt);
}

// With room for one connection, another client's arrival closes the application's idle one; the
// application opens it again by itself and its next request goes through.
TEST(HelperClientEndToEndTest, AnIdleConnectionClosedForAnotherClientIsOpenedAgainByItself) {
    TestMachine machine;
    TestbedService testbed(machine, {QStringLiteral("--max-connections"), QStringLiteral("1")});
    ASSERT_TRUE(testbed.start());
    ASSERT_TRUE(testbed.service->isReadyForPrivilegedRequests());
    QSignalSpy reachability(testbed.service.get(), &PluginManagementService::helperIsReachableChanged);

    auto other = UnixSocketChannel::connectTo(machine.testbed().socketPath);
    ASSERT_TRUE(other.has_value());
    // The helper closes the application's connection for the newcomer, and the newcomer's in turn
    // when the application comes back.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return reachability.count() >= 2 && testbed.service->isReadyForPrivilegedRequests(); }, 20000));
    EXPECT_EQ(testbed.service->lastError(), std::nullopt);
    pollfd closed{other->fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&closed, 1, 5000), 1);
    EXPECT_EQ(other->readFrame(maxFrameBodySize).error(), ChannelError::closedByPeer);

    const PrivilegedQuarantineRequest request = quarantineOfOneBundle(machine);
    const auto result = testbed.sendAndWait<PrivilegedQuarantineResult>(
        [&](auto done) { testbed.service->send(request, done); });
    ASSERT_TRUE(result.has_value());
    EXPECT_TRUE(result->succeeded) << result->message.toStdString();
}

TEST(HelperClientEndToEndTest, AHelperThatDiesMidRequestFailsTheRequestAndBecomesUnreachable) {
    TestMachine machine;
    TestbedService testbed(machine, {QStringLiteral("--pause-before-move"), QStringLiteral("1"),
                                     QStringLiteral("--pause-ms"), QStringLiteral("60000")});
    ASSERT_TRUE(testbed.start());
    const PrivilegedQuarantineRequest request = quarantineOfOneBundle(machine);
    const QString source = request.items.front().sourcePath;

    std::optional<PrivilegedQuarantineResult> result;
    testbed.service->send(request, [&](const auto& value) { result = value; });
    ASSERT_TRUE(testbed.registry->waitForOutput(QStringLiteral("pausing before move 1"), 30000));
    // Nothing times out: the request is still in flight.
    EXPECT_TRUE(testbed.service->isWorking());
    EXPECT_FALSE(result.has_value());

    testbed.registry->kill();
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 30000));
    const QString error = description(HelperConnectionError::interrupted);
    EXPECT_FALSE(result->succeeded);
    EXPECT_TRUE(result->rollbackComplete);
    EXPECT_EQ(result->message, error);
    EXPECT_EQ(result->transactionID, request.transactionID);
    EXPECT_EQ(testbed.service->lastError(), error);
    EXPECT_FALSE(testbed.service->isWorking());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !testbed.service->helperIsReachable(); }, 10000));
    EXPECT_TRUE(TestMachine::isDirectory(source));

    // The socket closes while the child is still exiting, so the registry may learn of its end
    // only after the request failed; the refresh reads what the registry knows.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return testbed.registry->status() == ServiceRegistrationStatus::unavailable; }, 10000));
    testbed.service->refreshStatus();
    EXPECT_EQ(testbed.service->status(), PluginManagementStatus::unavailable);
}

TEST(HelperClientEndToEndTest, RepairStopsAndRestartsTheHelper) {
    TestMachine machine;
    TestbedService testbed(machine);
    ASSERT_TRUE(testbed.start());
    const qint64 firstProcess = testbed.registry->processId();
    testbed.service->repairRegistration();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !testbed.service->isWorking() && testbed.service->helperIsReachable(); }, 30000));
    EXPECT_NE(testbed.registry->processId(), firstProcess);
    EXPECT_EQ(testbed.service->lastError(), std::nullopt);
}

TEST(HelperClientEndToEndTest, SupervisedChildReportsWhetherItsProgramExists) {
    TestMachine machine;
    auto options = machine.testbed();
    options.executable = machine.tree.path(QStringLiteral("missing-helper"));
    SupervisedChildRegistry registry(options);
    EXPECT_EQ(registry.status(), ServiceRegistrationStatus::notFound);
    std::optional<std::expected<void, ServiceRegistryError>> outcome;
    registry.registerService([&](auto value) { outcome = value; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 10000));
    ASSERT_FALSE(outcome->has_value());
    EXPECT_EQ(outcome->error(), ServiceRegistryError::toolMissing);
}

// The connection alone.

struct ConnectionProbe {
    std::atomic<int> interruptions = 0;
    std::atomic<int> invalidations = 0;
    std::mutex mutex;
    std::vector<HelperConnection::Reply> replies;

    void attach(HelperConnection& connection) {
        connection.setInterruptionHandler([this] { ++interruptions; });
        connection.setInvalidationHandler([this] { ++invalidations; });
    }
    HelperConnection::ReplyHandler handler() {
        return [this](const HelperConnection::Reply& reply) {
            std::lock_guard lock(mutex);
            replies.push_back(reply);
        };
    }
    std::size_t replyCount() {
        std::lock_guard lock(mutex);
        return replies.size();
    }
};

TEST(UnixSocketHelperConnectionTest, NoHelperAtTheSocketFailsEveryCallAndReportsAnInterruption) {
    TestMachine machine;
    UnixSocketHelperConnection connection({machine.tree.path(QStringLiteral("run/none.sock")), ::getuid()});
    ConnectionProbe probe;
    probe.attach(connection);
    ASSERT_TRUE(connection.call(QStringLiteral("handshake"), {QStringLiteral("x")}, probe.handler()));
    connection.resume();
    ASSERT_TRUE(QTest::qWaitFor([&] { return probe.replyCount() == 1 && probe.interruptions == 1; }, 10000));
    EXPECT_EQ(probe.replies[0], HelperConnection::Reply(std::unexpected(HelperConnectionError::unreachable)));
    // Later calls fail the same way.
    ASSERT_TRUE(connection.call(QStringLiteral("handshake"), {QStringLiteral("x")}, probe.handler()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return probe.replyCount() == 2; }, 10000));
    EXPECT_EQ(probe.replies[1], HelperConnection::Reply(std::unexpected(HelperConnectionError::unreachable)));
    connection.invalidate();
    EXPECT_FALSE(connection.call(QStringLiteral("handshake"), {}, probe.handler()));
}

TEST(UnixSocketHelperConnectionTest, ASocketOwnedBySomeoneElseIsNotTrusted) {
    TestMachine machine;
    TestbedService testbed(machine);
    ASSERT_TRUE(testbed.start());
    UnixSocketHelperConnection connection({testbed.registry->endpoint().socketPath, consoleTestUid});
    ConnectionProbe probe;
    connection.call(QStringLiteral("handshake"), {QStringLiteral("x")}, probe.handler());
    connection.resume();
    ASSERT_TRUE(QTest::qWaitFor([&] { return probe.replyCount() == 1; }, 10000));
    EXPECT_EQ(probe.replies[0], HelperConnection::Reply(std::unexpected(HelperConnectionError::untrusted)));
}

TEST(UnixSocketHelperConnectionTest, RepliesFindTheirCallsAndALocalCloseIsAnInvalidation) {
    TestMachine machine;
    TestbedService testbed(machine);
    ASSERT_TRUE(testbed.start());
    UnixSocketHelperConnection connection(testbed.registry->endpoint());
    ConnectionProbe probe;
    probe.attach(connection);
    connection.resume();
    for (int index = 0; index < 3; ++index)
        connection.call(QStringLiteral("handshake"), {QStringLiteral("client %1").arg(index)},
                        probe.handler());
    ASSERT_TRUE(QTest::qWaitFor([&] { return probe.replyCount() == 3; }, 10000));
    for (const auto& reply : probe.replies)
        EXPECT_EQ(reply, HelperConnection::Reply(QStringList{helperName(), helperBuild()}));
    connection.invalidate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return probe.invalidations == 1; }, 10000));
    EXPECT_EQ(probe.interruptions, 0);
}

TEST(UnixSocketHelperConnectionTest, ALocalCloseAnswersTheCallsStillOpen) {
    TestMachine machine;
    TestbedService testbed(machine, {QStringLiteral("--pause-before-move"), QStringLiteral("1"),
                                     QStringLiteral("--pause-ms"), QStringLiteral("60000")});
    ASSERT_TRUE(testbed.start());
    const QString operation = uuidText(makeUuid());
    const PrivilegedQuarantineRequest request{
        uuidText(makeUuid()),
        {{makeBundle(machine.vst3(QStringLiteral("Synth.vst3"))),
          machine.policy.quarantineRoot() + u'/' + operation + QStringLiteral("/Synth.vst3"), operation}}};
    auto connection = std::make_unique<UnixSocketHelperConnection>(testbed.registry->endpoint());
    ConnectionProbe probe;
    probe.attach(*connection);
    connection->resume();
    connection->call(QStringLiteral("quarantine"), {QString::fromUtf8(encode(request))}, probe.handler());
    ASSERT_TRUE(testbed.registry->waitForOutput(QStringLiteral("pausing before move 1"), 30000));
    connection.reset();
    ASSERT_EQ(probe.replyCount(), 1u);
    EXPECT_EQ(probe.replies[0], HelperConnection::Reply(std::unexpected(HelperConnectionError::invalidated)));
    EXPECT_EQ(probe.invalidations, 1);
    EXPECT_EQ(probe.interruptions, 0);
    // The paused transaction would otherwise hold up the helper's orderly stop.
    testbed.registry->kill();
}

} // namespace
} // namespace quorvane::testing
