#include "FakeHelperClient.h"
#include "HelperClient/PluginManagementService.h"

#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

// What a privileged kind is known by: its transaction id here, its frame method and its texts.
struct KindTexts {
    QString transactionID;
    QString method;
    QString ownReason;
    QString encodeFailure;
    QString channelFailure;
    QString unreadable;
};

const KindTexts quarantineTexts{"TX-Q",
                                "quarantine",
                                "Enable Plugin Management before moving system plugin bundles.",
                                "Quorvane could not encode the quarantine request.",
                                "Quorvane could not create the privileged quarantine channel.",
                                "Quorvane could not verify the helper response."};
const KindTexts restoreTexts{"TX-R",
                             "restore",
                             "Enable Plugin Management before restoring system plugin bundles.",
                             "Quorvane could not encode the restore request.",
                             "Quorvane could not create the privileged restore channel.",
                             "Quorvane could not verify the helper restore response."};
const KindTexts trashTexts{"TX-T",
                           "moveToTrash",
                           "Enable Plugin Management before moving quarantined bundles to Finder Trash.",
                           "Quorvane could not encode the Finder Trash request.",
                           "Quorvane could not create the privileged Finder Trash channel.",
                           "Quorvane could not verify the helper Finder Trash response."};
const KindTexts trashRestoreTexts{"TX-TR",
                                  "restoreFromTrash",
                                  "Enable Plugin Management before restoring bundles from Finder Trash.",
                                  "Quorvane could not encode the Finder Trash recovery request.",
                                  "Quorvane could not create the privileged Finder Trash recovery channel.",
                                  "Quorvane could not verify the helper Finder Trash recovery response."};

const QString inProgress = QStringLiteral("A privileged plugin transaction is already in progress.");

// One privileged kind: its request and result, its blocking reason and its texts.
template <class KindRequest, class KindResult, auto blockingReason, const KindTexts& kindTexts>
struct SenderKind {
    using Request = KindRequest;
    using Result = KindResult;
    static constexpr const KindTexts& texts = kindTexts;

    static Request request(const QString& path) {
        Request request{texts.transactionID, {}};
        if constexpr (std::is_same_v<Request, PrivilegedTrashRestoreRequest>)
            request.items.push_back(
                {path, path, QStringLiteral("ID"), QStringLiteral("A.vst3"), QStringLiteral("VST3")});
        else
            request.items.push_back({path, path, QStringLiteral("OP")});
        return request;
    }
    static void send(PluginManagementService& service, const Request& request,
                     std::function<void(const Result&)> done) {
        service.send(request, std::move(done));
    }
    static std::optional<QString> reason(const PluginManagementService& service) {
        return (service.*blockingReason)();
    }
};

using Service = PluginManagementService;
using QuarantineSender = SenderKind<PrivilegedQuarantineRequest, PrivilegedQuarantineResult,
                                    &Service::quarantineBlockingReason, quarantineTexts>;
using RestoreSender = SenderKind<PrivilegedRestoreRequest, PrivilegedRestoreResult,
                                 &Service::restoreBlockingReason, restoreTexts>;
using TrashSender =
    SenderKind<PrivilegedTrashRequest, PrivilegedTrashResult, &Service::trashBlockingReason, trashTexts>;
using TrashRestoreSender = SenderKind<PrivilegedTrashRestoreRequest, PrivilegedTrashRestoreResult,
                                      &Service::trashRecoveryBlockingReason, trashRestoreTexts>;

// Names each instantiation after its frame method.
struct KindName {
    template <class K>
    static std::string GetName(int) {
        return K::texts.method.toStdString();
    }
};

template <class Kind>
class RequestSenderTest : public FakeServiceTest {
protected:
    using Request = typename Kind::Request;
    using Result = typename Kind::Result;

    void startReachable() {
        start(ServiceRegistrationStatus::enabled);
        answerHandshake();
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
        EXPECT_TRUE(result.destinationPaths.isEmpty());
        EXPECT_EQ(result.message, message);
    }

    std::vector<Result> results;
    Request request = Kind::request(QStringLiteral("/Library/Audio/Plug-Ins/VST3/A.vst3"));
};

using Kinds = ::testing::Types<QuarantineSender, RestoreSender, TrashSender, TrashRestoreSender>;
TYPED_TEST_SUITE(RequestSenderTest, Kinds, KindName);

TYPED_TEST(RequestSenderTest, BlockingReasonsFollowTheirOrder) {
    using Kind = TypeParam;
    this->start(ServiceRegistrationStatus::requiresApproval);
    EXPECT_EQ(Kind::reason(*this->service), Kind::texts.ownReason);
    EXPECT_FALSE(this->service->isReadyForPrivilegedRequests());

    this->connections.made.clear();
    this->start(ServiceRegistrationStatus::enabled);
    EXPECT_EQ(Kind::reason(*this->service),
              QStringLiteral("The privileged helper is enabled but has not completed its secure handshake."));

    this->answerHandshake();
    EXPECT_EQ(Kind::reason(*this->service), std::nullopt);
    EXPECT_TRUE(this->service->isReadyForPrivilegedRequests());

    this->send(this->request);
    EXPECT_EQ(Kind::reason(*this->service), inProgress);
    EXPECT_FALSE(this->service->isReadyForPrivilegedRequests());
}

TYPED_TEST(RequestSenderTest, NotReadyCompletesAtOnceWithTheKindsReason) {
    using Kind = TypeParam;
    this->start(ServiceRegistrationStatus::requiresApproval);
    this->send(this->request);
    this->expectMadeUpFailure(this->request, Kind::texts.ownReason);
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
    this->expectMadeUpFailure(second, inProgress);
    EXPECT_TRUE(this->service->isWorking());
    FakeConnectionState& connection = this->connections.last();
    ASSERT_EQ(connection.calls.size(), 2u);
    EXPECT_EQ(connection.calls[1].method, Kind::texts.method);
    EXPECT_EQ(connection.calls[1].arguments, QStringList{QString::fromUtf8(encode(this->request))});
}

TYPED_TEST(RequestSenderTest, UnencodableRequestTouchesNoState) {
    using Kind = TypeParam;
    this->startReachable();
    const auto huge = Kind::request(QStringLiteral("/") + QString(5 * 1024 * 1024, u'a'));
    this->send(huge);
    this->expectMadeUpFailure(huge, Kind::texts.encodeFailure);
    EXPECT_FALSE(this->service->isWorking());
    EXPECT_EQ(this->service->lastError(), std::nullopt);
    EXPECT_EQ(this->connections.last().calls.size(), 1u);
}

TYPED_TEST(RequestSenderTest, ChannelThatCarriesNoCallFailsWithTheChannelText) {
    using Kind = TypeParam;
    this->startReachable();
    this->connections.last().refuseCalls = true;
    this->send(this->request);
    this->expectMadeUpFailure(this->request, Kind::texts.channelFailure);
    EXPECT_FALSE(this->service->isWorking());
    EXPECT_EQ(this->service->lastError(), Kind::texts.channelFailure);
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
        SCOPED_TRACE(QStringLiteral("reply [%1]").arg(reply.join(u',')).toStdString());
        this->results.clear();
        this->startReachable();
        this->send(this->request);
        this->connections.last().reply(1, reply);
        drainEvents();
        this->expectMadeUpFailure(this->request, Kind::texts.unreadable);
        EXPECT_EQ(this->service->lastError(), Kind::texts.unreadable);
        EXPECT_FALSE(this->service->isWorking());
    }
}

TYPED_TEST(RequestSenderTest, DecodedResultsPassThroughUnchanged) {
    using KindResult = typename TypeParam::Result;
    for (const bool succeeded : {false, true}) {
        SCOPED_TRACE(succeeded ? "succeeded" : "failed");
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
