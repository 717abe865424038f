#include "FakeHelperClient.h"
#include "HelperClient/PluginManagementService.h"
#include "Support/Fixtures/TemporaryTree.h"

#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

// One privileged kind: its request and result, its sender, its blocking reason and its texts.
struct QuarantineSender {
    using Request = PrivilegedQuarantineRequest;
    using Result = PrivilegedQuarantineResult;
    static inline const QString method = QStringLiteral("quarantine");
    static inline const QString ownReason =
        QStringLiteral("Enable Plugin Management before moving system plugin bundles.");
    static inline const QString encodeFailure =
        QStringLiteral("Quorvane could not encode the quarantine request.");
    static inline const QString channelFailure =
        QStringLiteral("Quorvane could not create the privileged quarantine channel.");
    static inline const QString unreadable = QStringLiteral("Quorvane could not verify the helper response.");
    static Request request(const QString& path) {
        return {QStringLiteral("TX-Q"), {{path, path, QStringLiteral("OP")}}};
    }
    static const QStringList& paths(const Result& result) { return result.movedDestinationPaths; }
    static void send(PluginManagementService& service, const Request& request,
                     std::function<void(const Result&)> done) {
        service.sendQuarantineRequest(request, std::move(done));
    }
    static std::optional<QString> reason(const PluginManagementService& service) {
        return service.quarantineBlockingReason();
    }
};

struct RestoreSender {
    using Request = PrivilegedRestoreRequest;
    using Result = PrivilegedRestoreResult;
    static inline const QString method = QStringLiteral("restore");
    static inline const QString ownReason =
        QStringLiteral("Enable Plugin Management before restoring system plugin bundles.");
    static inline const QString encodeFailure =
        QStringLiteral("Quorvane could not encode the restore request.");
    static inline const QString channelFailure =
        QStringLiteral("Quorvane could not create the privileged restore channel.");
    static inline const QString unreadable =
        QStringLiteral("Quorvane could not verify the helper restore response.");
    static Request request(const QString& path) {
        return {QStringLiteral("TX-R"), {{path, path, QStringLiteral("OP")}}};
    }
    static const QStringList& paths(const Result& result) { return result.restoredDestinationPaths; }
    static void send(PluginManagementService& service, const Request& request,
                     std::function<void(const Result&)> done) {
        service.sendRestoreRequest(request, std::move(done));
    }
    static std::optional<QString> reason(const PluginManagementService& service) {
        return service.restoreBlockingReason();
    }
};

struct TrashSender {
    using Request = PrivilegedTrashRequest;
    using Result = PrivilegedTrashResult;
    static inline const QString method = QStringLiteral("moveToTrash");
    static inline const QString ownReason =
        QStringLiteral("Enable Plugin Management before moving quarantined bundles to Finder Trash.");
    static inline const QString encodeFailure =
        QStringLiteral("Quorvane could not encode the Finder Trash request.");
    static inline const QString channelFailure =
        QStringLiteral("Quorvane could not create the privileged Finder Trash channel.");
    static inline const QString unreadable =
        QStringLiteral("Quorvane could not verify the helper Finder Trash response.");
    static Request request(const QString& path) {
        return {QStringLiteral("TX-T"), {{path, path, QStringLiteral("OP")}}};
    }
    static const QStringList& paths(const Result& result) { return result.trashedDestinationPaths; }
    static void send(PluginManagementService& service, const Request& request,
                     std::function<void(const Result&)> done) {
        service.sendTrashRequest(request, std::move(done));
    }
    static std::optional<QString> reason(const PluginManagementService& service) {
        return service.trashBlockingReason();
    }
};

struct TrashRestoreSender {
    using Request = PrivilegedTrashRestoreRequest;
    using Result = PrivilegedTrashRestoreResult;
    static inline const QString method = QStringLiteral("restoreFromTrash");
    static inline const QString ownReason =
        QStringLiteral("Enable Plugin Management before restoring bundles from Finder Trash.");
    static inline const QString encodeFailure =
        QStringLiteral("Quorvane could not encode the Finder Trash recovery request.");
    static inline const QString channelFailure =
        QStringLiteral("Quorvane could not create the privileged Finder Trash recovery channel.");
    static inline const QString unreadable =
        QStringLiteral("Quorvane could not verify the helper Finder Trash recovery response.");
    static Request request(const QString& path) {
        return {QStringLiteral("TX-TR"),
                {{path, path, QStringLiteral("ID"), QStringLiteral("A.vst3"), QStringLiteral("VST3")}}};
    }
    static const QStringList& paths(const Result& result) { return result.restoredDestinationPaths; }
    static void send(PluginManagementService& service, const Request& request,
                     std::function<void(const Result&)> done) {
        service.sendTrashRestoreRequest(request, std::move(done));
    }
    static std::optional<QString> reason(const PluginManagementService& service) {
        return service.trashRecoveryBlockingReason();
    }
};

template <class Kind>
class RequestSenderTest : public ::testing::Test {
protected:
    using Request = typename Kind::Request;
    using Result = typename Kind::Result;

    void start(ServiceRegistrationStatus status) {
        registry->status = status;
        service =
            std::make_unique<PluginManagementService>(std::make_unique<FakeServiceRegistry>(registry),
                                                      connections.factory(), InstallLayout{tree.path()});
    }
    void startReachable() {
        start(ServiceRegistrationStatus::enabled);
        connections.last().reply(0, {QStringLiteral("QuorvaneHelper"), QStringLiteral("40")});
        drainEvents();
        ASSERT_TRUE(service->isReadyForPrivilegedRequests());
    }
    // Sends and records every completion.
    void send(const Request& sent) {
        Kind::send(*service, sent, [this](const Result& result) { results.push_back(result); });
    }
    void expectMadeUpFailure(const Request& sent, const QString& message) {
        ASSERT_EQ(results.size(), 1u);
        const Result& result = results.front();
        EXPECT_EQ(result.transactionID, sent.transactionID);
        EXPECT_FALSE(result.succeeded);
        EXPECT_TRUE(result.rollbackComplete);
        EXPECT_TRUE(Kind::paths(result).isEmpty());
        EXPECT_EQ(result.message, message);
    }

    TemporaryTree tree;
    std::shared_ptr<FakeRegistryState> registry = std::make_shared<FakeRegistryState>();
    FakeConnections connections;
    std::unique_ptr<PluginManagementService> service;
    std::vector<Result> results;
    Request request = Kind::request(QStringLiteral("/Library/Audio/Plug-Ins/VST3/A.vst3"));
};

using Kinds = ::testing::Types<QuarantineSender, RestoreSender, TrashSender, TrashRestoreSender>;
TYPED_TEST_SUITE(RequestSenderTest, Kinds);

TYPED_TEST(RequestSenderTest, BlockingReasonsFollowTheirOrder) {
    using Kind = TypeParam;
    this->start(ServiceRegistrationStatus::requiresApproval);
    EXPECT_EQ(Kind::reason(*this->service), Kind::ownReason);
    EXPECT_FALSE(this->service->isReadyForPrivilegedRequests());

    this->connections.made.clear();
    this->start(ServiceRegistrationStatus::enabled);
    EXPECT_EQ(Kind::reason(*this->service),
              QStringLiteral("The privileged helper is enabled but has not completed its secure handshake."));

    this->connections.last().reply(0, {QStringLiteral("QuorvaneHelper"), QStringLiteral("40")});
    drainEvents();
    EXPECT_EQ(Kind::reason(*this->service), std::nullopt);
    EXPECT_TRUE(this->service->isReadyForPrivilegedRequests());

    this->send(this->request);
    EXPECT_EQ(Kind::reason(*this->service),
              QStringLiteral("A privileged plugin transaction is already in progress."));
    EXPECT_FALSE(this->service->isReadyForPrivilegedRequests());
}

TYPED_TEST(RequestSenderTest, NotReadyCompletesAtOnceWithTheKindsReason) {
    using Kind = TypeParam;
    this->start(ServiceRegistrationStatus::requiresApproval);
    this->send(this->request);
    this->expectMadeUpFailure(this->request, Kind::ownReason);
    EXPECT_FALSE(this->service->isWorking());
    EXPECT_EQ(this->service->lastError(), std::nullopt);
}

TYPED_TEST(RequestSenderTest, SecondRequestWhileOneIsInFlightLeavesTheFirstAlone) {
    using Kind = TypeParam;
    this->startReachable();
    this->send(this->request);
    ASSERT_TRUE(this->results.empty());
    auto second = this->request;
    second.transactionID = QStringLiteral("SECOND");
    this->send(second);
    this->expectMadeUpFailure(second,
                              QStringLiteral("A privileged plugin transaction is already in progress."));
    EXPECT_TRUE(this->service->isWorking());
    FakeConnectionState& connection = this->connections.last();
    ASSERT_EQ(connection.calls.size(), 2u);
    EXPECT_EQ(connection.calls[1].method, Kind::method);
    EXPECT_EQ(connection.calls[1].arguments, QStringList{QString::fromUtf8(encode(this->request))});
}

TYPED_TEST(RequestSenderTest, UnencodableRequestTouchesNoState) {
    using Kind = TypeParam;
    this->startReachable();
    const auto huge = Kind::request(QStringLiteral("/") + QString(5 * 1024 * 1024, u'a'));
    this->send(huge);
    this->expectMadeUpFailure(huge, Kind::encodeFailure);
    EXPECT_FALSE(this->service->isWorking());
    EXPECT_EQ(this->service->lastError(), std::nullopt);
    EXPECT_EQ(this->connections.last().calls.size(), 1u);
}

TYPED_TEST(RequestSenderTest, ChannelThatCarriesNoCallFailsWithTheChannelText) {
    using Kind = TypeParam;
    this->startReachable();
    this->connections.last().refuseCalls = true;
    this->send(this->request);
    this->expectMadeUpFailure(this->request, Kind::channelFailure);
    EXPECT_FALSE(this->service->isWorking());
    EXPECT_EQ(this->service->lastError(), Kind::channelFailure);
}

TYPED_TEST(RequestSenderTest, ConnectionErrorCompletesWithItsDescription) {
    this->startReachable();
    this->send(this->request);
    EXPECT_TRUE(this->service->isWorking());
    this->connections.last().fail(1, HelperConnectionError::interrupted);
    drainEvents();
    const QString error = description(HelperConnectionError::interrupted);
    this->expectMadeUpFailure(this->request, error);
    EXPECT_FALSE(this->service->isWorking());
    EXPECT_EQ(this->service->lastError(), error);
}

TYPED_TEST(RequestSenderTest, UnreadableReplyCompletesWithTheKindsText) {
    using Kind = TypeParam;
    for (const QStringList& reply : {QStringList{QStringLiteral("{\"transactionID\":\"TX\"}")}, QStringList{},
                                     QStringList{QStringLiteral("not json")}}) {
        this->results.clear();
        this->startReachable();
        this->send(this->request);
        this->connections.last().reply(1, reply);
        drainEvents();
        this->expectMadeUpFailure(this->request, Kind::unreadable);
        EXPECT_EQ(this->service->lastError(), Kind::unreadable);
        EXPECT_FALSE(this->service->isWorking());
    }
}

TYPED_TEST(RequestSenderTest, DecodedResultsPassThroughUnchanged) {
    using KindResult = typename TypeParam::Result;
    for (const bool succeeded : {false, true}) {
        this->results.clear();
        this->startReachable();
        this->send(this->request);
        // Another transaction id on purpose: the store, not the sender, compares it.
        KindResult result;
        result.transactionID = QStringLiteral("OTHER");
        result.succeeded = succeeded;
        result.rollbackComplete = !succeeded;
        result.message = succeeded ? QStringLiteral("Moved.") : QStringLiteral("The helper refused.");
        this->connections.last().reply(1, {QString::fromUtf8(encode(result))});
        drainEvents();
        ASSERT_EQ(this->results.size(), 1u);
        EXPECT_EQ(this->results.front(), result);
        EXPECT_EQ(this->service->lastError(), succeeded ? std::nullopt : std::optional(result.message));
        EXPECT_FALSE(this->service->isWorking());
        EXPECT_TRUE(this->service->isReadyForPrivilegedRequests());
    }
}

} // namespace
} // namespace quorvane::testing
