#include "Helper/TransactionRecord.h"
#include "HelperTestSupport.h"
#include "Platform/PeerIdentity.h"
#include "Platform/TransactionLockFile.h"
#include "Platform/UnixSocketChannel.h"
#include "Shared/FrameCodec.h"
#include "Shared/PrivilegedRequests.h"
#include "Shared/PrivilegedResults.h"
#include "Support/Paths.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <poll.h>
#include <thread>

namespace quorvane::testing {
namespace {

FrameEnvelope quarantineFrame(qint64 id, const PrivilegedQuarantineRequest& request) {
    return {id, FrameMethod::quarantine, {QString::fromUtf8(encode(request))}};
}

// The testbed as a child process on a temporary socket over temporary roots.
class Testbed {
public:
    Testbed(const HelperTree& tree, const QStringList& extra = {},
            const QString& clientExecutable = QCoreApplication::applicationFilePath())
        : socketPath(tree.tree.path("run/helper.sock")), lockPath(helperTransactionLockPath(tree.roots)) {
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(QUORVANE_HELPER_TESTBED),
                      QStringList{"--root", tree.roots.prefix, "--socket", socketPath, "--console-uid",
                                  QString::number(consoleTestUid()), "--console-home", tree.home,
                                  "--client-exe", clientExecutable} +
                          extra);
        ready = waitFor("QuorvaneHelper Build 40 is ready");
    }

    ~Testbed() {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(20000))
                process.kill();
            process.waitForFinished(5000);
        }
    }

    bool waitFor(const QString& text, int timeoutMs = 20000) { return waitForCount(text, 1, timeoutMs); }

    // True once the output holds `text` at least `count` times.
    bool waitForCount(const QString& text, qsizetype count, int timeoutMs = 20000) {
        QElapsedTimer timer;
        timer.start();
        while (output.count(text) < count) {
            if (timer.elapsed() > timeoutMs || process.state() == QProcess::NotRunning)
                return output.count(text) >= count;
            process.waitForReadyRead(100);
            output += QString::fromUtf8(process.readAll());
        }
        return true;
    }

    // Ends the pause of a testbed started with --resume-on-input.
    bool resume() { return process.write("\n") == 1 && process.waitForBytesWritten(20000); }

    UnixSocketChannel connect() const {
        auto channel = UnixSocketChannel::connectTo(socketPath);
        EXPECT_TRUE(channel.has_value());
        return channel ? std::move(*channel) : UnixSocketChannel();
    }

    // Sends the request without awaiting its answer; true once the move `step` is about to start.
    bool quarantineUntilPause(UnixSocketChannel& channel, const PrivilegedQuarantineRequest& request,
                              int step) {
        const auto body = encodeFrameBody(quarantineFrame(5, request));
        return body && channel.writeFrame(*body) &&
               waitFor(QStringLiteral("pausing before move %1").arg(step));
    }

    // A fresh connection has its handshake answered.
    bool answersHandshake(qint64 id = 1) const {
        auto channel = connect();
        return call(channel, FrameEnvelope{id, FrameMethod::handshake, {"x"}}).has_value();
    }

    static std::optional<FrameEnvelope> call(UnixSocketChannel& channel, const FrameEnvelope& envelope) {
        const auto body = encodeFrameBody(envelope);
        if (!body || !channel.writeFrame(*body))
            return std::nullopt;
        const auto reply = channel.readFrame(maxFrameBodySize);
        if (!reply)
            return std::nullopt;
        const auto decoded = decodeFrameBody(*reply);
        return decoded ? std::optional(*decoded) : std::nullopt;
    }

    QString socketPath;
    QString lockPath;
    QProcess process;
    QString output;
    bool ready = false;
};

class HelperEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!makeTrustworthy(QCoreApplication::applicationFilePath()))
            GTEST_SKIP() << "the helper accepts only a root-owned client: run the tests as root";
    }

    PrivilegedQuarantineRequest quarantineRequest(int count, const QString& prefix = "Bundle") {
        PrivilegedQuarantineRequest request{upperUuid(), {}};
        for (int index = 1; index <= count; ++index) {
            const QString name = QStringLiteral("%1-%2.vst3").arg(prefix).arg(index);
            request.items.push_back(
                {tree.makeBundle(tree.vst3(name)), tree.quarantined(operation, name), operation});
        }
        return request;
    }

    static PrivilegedQuarantineResult quarantine(UnixSocketChannel& channel,
                                                 const PrivilegedQuarantineRequest& request) {
        const auto reply = Testbed::call(channel, quarantineFrame(11, request));
        EXPECT_TRUE(reply.has_value());
        if (!reply)
            return {};
        EXPECT_EQ(reply->id, 11);
        EXPECT_EQ(reply->method, FrameMethod::reply);
        const auto result = decodePrivilegedQuarantineResult(reply->arguments.value(0).toUtf8());
        EXPECT_TRUE(result.has_value());
        return result ? *result : PrivilegedQuarantineResult{};
    }

    // Every bundle of the request is in exactly one of its two places.
    int countAtDestination(const PrivilegedQuarantineRequest& request) const {
        int moved = 0;
        for (const auto& item : request.items) {
            const bool atSource = isDirectory(item.sourcePath);
            const bool atDestination = isDirectory(item.destinationPath);
            EXPECT_NE(atSource, atDestination) << item.sourcePath.toStdString();
            moved += atDestination ? 1 : 0;
        }
        return moved;
    }

    HelperTree tree;
    QString operation = upperUuid();
};

TEST_F(HelperEndToEndTest, HandshakeNamesTheHelperAndItsBuild) {
    Testbed testbed(tree);
    ASSERT_TRUE(testbed.ready) << testbed.output.toStdString();
    auto channel = testbed.connect();
    EXPECT_TRUE(verifyHelperPeer(channel.fd(), 0).has_value());
    EXPECT_EQ(verifyHelperPeer(channel.fd(), consoleTestUid()).error(), PeerIdentityError::helperNotRoot);
    for (const QString& version : {QStringLiteral("Quorvane 1.0.1 (Build 40)"), QString()}) {
        const auto reply = Testbed::call(channel, FrameEnvelope{3, FrameMethod::handshake, {version}});
        ASSERT_TRUE(reply.has_value());
        EXPECT_EQ(*reply, (FrameEnvelope{3, FrameMethod::reply, {"QuorvaneHelper", "40"}}));
    }
    EXPECT_TRUE(testbed.waitFor("Accepted Quorvane handshake from client version Quorvane 1.0.1 (Build 40)"));

    Testbed other(tree, {"--report-build", "39"});
    ASSERT_TRUE(other.ready);
    auto second = other.connect();
    EXPECT_EQ(Testbed::call(second, FrameEnvelope{1, FrameMethod::handshake, {"x"}})->arguments,
              (QStringList{"QuorvaneHelper", "39"}));
}

TEST_F(HelperEndToEndTest, AnotherProgramIsRefusedBeforeAnyRequestIsRead) {
    Testbed testbed(tree, {}, QStringLiteral("/usr/bin/env"));
    ASSERT_TRUE(testbed.ready) << testbed.output.toStdString();
    const auto request = quarantineRequest(1);
    const auto before = tree.audit();
    auto channel = testbed.connect();
    EXPECT_FALSE(Testbed::call(channel, quarantineFrame(1, request)));
    EXPECT_EQ(tree.audit(), before);
    EXPECT_TRUE(testbed.waitFor("Refused a connection: The peer is not the installed Quorvane application."));
    EXPECT_FALSE(testbed.output.contains("quarantine request"));
}

TEST_F(HelperEndToEndTest, QuarantineAndRestoreThroughTheSocket) {
    Testbed testbed(tree);
    ASSERT_TRUE(testbed.ready);
    auto channel = testbed.connect();
    const auto request = quarantineRequest(3);
    const auto result = quarantine(channel, request);
    EXPECT_TRUE(result.succeeded) << result.message.toStdString();
    EXPECT_EQ(result.transactionID, request.transactionID);
    EXPECT_EQ(countAtDestination(request), 3);

    PrivilegedRestoreRequest restore{upperUuid(), {}};
    for (const auto& item : request.items)
        restore.items.push_back({item.destinationPath, item.sourcePath, operation});
    const auto reply =
        Testbed::call(channel, FrameEnvelope{12, FrameMethod::restore, {QString::fromUtf8(encode(restore))}});
    ASSERT_TRUE(reply.has_value());
    const auto restored = decodePrivilegedRestoreResult(reply->arguments.value(0).toUtf8());
    ASSERT_TRUE(restored.has_value());
    EXPECT_TRUE(restored->succeeded) << restored->message.toStdString();
    EXPECT_EQ(countAtDestination(request), 0);

    // An undecodable document is answered, not dropped.
    const auto invalid = Testbed::call(channel, FrameEnvelope{13, FrameMethod::moveToTrash, {"{"}});
    ASSERT_TRUE(invalid.has_value());
    const auto decoded = decodePrivilegedTrashResult(invalid->arguments.value(0).toUtf8());
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->transactionID, "invalid");
    EXPECT_TRUE(decoded->rollbackComplete);
    // The restore's record went once its reply was out, before the next call was read.
    EXPECT_FALSE(existsNoFollow(TransactionRecord(tree.ledger.folder()).path()));
}

TEST_F(HelperEndToEndTest, TwoClientsAtOnceAreServedOneTransactionAfterTheOther) {
    Testbed testbed(tree, {"--pause-before-move", "1", "--pause-ms", "300"});
    ASSERT_TRUE(testbed.ready);
    const auto first = quarantineRequest(4, "First");
    const auto second = quarantineRequest(4, "Second");
    PrivilegedQuarantineResult firstResult;
    PrivilegedQuarantineResult secondResult;
    std::thread a([&] {
        auto channel = testbed.connect();
        firstResult = quarantine(channel, first);
    });
    std::thread b([&] {
        auto channel = testbed.connect();
        secondResult = quarantine(channel, second);
    });
    a.join();
    b.join();
    EXPECT_TRUE(firstResult.succeeded) << firstResult.message.toStdString();
    EXPECT_TRUE(secondResult.succeeded) << secondResult.message.toStdString();
    EXPECT_EQ(countAtDestination(first), 4);
    EXPECT_EQ(countAtDestination(second), 4);

    EXPECT_TRUE(testbed.waitForCount("Finished privileged quarantine", 2));
    const QRegularExpression lines("(Starting|Finished) privileged quarantine");
    QStringList order;
    for (auto match = lines.globalMatch(testbed.output); match.hasNext();)
        order.append(match.next().captured(1));
    EXPECT_EQ(order, (QStringList{"Starting", "Finished", "Starting", "Finished"}));
}

TEST_F(HelperEndToEndTest, MalformedAndOversizedFramesCloseTheConnection) {
    Testbed testbed(tree);
    ASSERT_TRUE(testbed.ready);
    const std::vector<QByteArray> violations{
        QByteArray::fromHex("ffffffff"),
        QByteArray::fromHex("00400001") + QByteArray(16, 'x'),
        QByteArray::fromHex("00000007") + "garbage",
        *encodeFrame(FrameEnvelope{1, "unknownMethod", {"x"}}),
        *encodeFrame(FrameEnvelope{1, FrameMethod::handshake, {}}),
    };
    for (const QByteArray& bytes : violations) {
        auto channel = testbed.connect();
        ASSERT_TRUE(channel.writeRaw(bytes).has_value());
        EXPECT_EQ(channel.readFrame(maxFrameBodySize).error(), ChannelError::closedByPeer)
            << bytes.left(8).toHex().data();
    }
    EXPECT_TRUE(testbed.answersHandshake());
}

TEST_F(HelperEndToEndTest, AClientLeavingMidTransactionDoesNotStopIt) {
    Testbed testbed(tree, {"--pause-before-move", "2", "--pause-ms", "60000", "--resume-on-input", "1"});
    ASSERT_TRUE(testbed.ready);
    const auto request = quarantineRequest(3);
    {
        auto channel = testbed.connect();
        ASSERT_TRUE(testbed.quarantineUntilPause(channel, request, 2)) << testbed.output.toStdString();
        EXPECT_TRUE(TransactionLockFile::isHeld(testbed.lockPath));
        // Handshakes never wait for a transaction.
        EXPECT_TRUE(testbed.answersHandshake(2));
        EXPECT_TRUE(TransactionLockFile::isHeld(testbed.lockPath));
    }
    // Both clients have gone before the transaction goes on.
    ASSERT_TRUE(testbed.resume());
    ASSERT_TRUE(testbed.waitFor("Finished privileged quarantine; success: true, rollback complete: true"));
    EXPECT_EQ(countAtDestination(request), 3);
    EXPECT_FALSE(TransactionLockFile::isHeld(testbed.lockPath));
    EXPECT_TRUE(testbed.answersHandshake());
}

TEST_F(HelperEndToEndTest, AStopRequestWaitsForTheTransactionInProgress) {
    Testbed testbed(tree, {"--pause-before-move", "2", "--pause-ms", "60000", "--resume-on-input", "1"});
    ASSERT_TRUE(testbed.ready);
    const auto request = quarantineRequest(3);
    auto channel = testbed.connect();
    ASSERT_TRUE(testbed.quarantineUntilPause(channel, request, 2)) << testbed.output.toStdString();
    testbed.process.terminate();
    // The stop has been taken while the transaction is still paused.
    ASSERT_TRUE(testbed.waitFor("QuorvaneHelper is stopping"));
    EXPECT_EQ(testbed.process.state(), QProcess::Running);
    EXPECT_TRUE(TransactionLockFile::isHeld(testbed.lockPath));
    ASSERT_TRUE(testbed.resume());
    ASSERT_TRUE(testbed.process.waitForFinished(20000));
    testbed.output += QString::fromUtf8(testbed.process.readAll());
    EXPECT_EQ(testbed.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(testbed.process.exitCode(), 0);
    EXPECT_TRUE(testbed.output.contains("Finished privileged quarantine; success: true"));
    EXPECT_EQ(countAtDestination(request), 3);
}

TEST_F(HelperEndToEndTest, AFolderExchangedInTheTrashDuringARecoveryNeverReachesAPluginFolder) {
    Testbed testbed(tree, {"--pause-before-move", "1", "--pause-ms", "60000", "--resume-on-input", "1"});
    ASSERT_TRUE(testbed.ready) << testbed.output.toStdString();
    auto channel = testbed.connect();
    // Each call pauses before its first move until the test lets it go on, after `exchange`.
    int pauses = 0;
    const auto paused = [&](const char* method, const QByteArray& request,
                            const std::function<void()>& exchange) {
        const auto body = encodeFrameBody(FrameEnvelope{7, method, {QString::fromUtf8(request)}});
        EXPECT_TRUE(body && channel.writeFrame(*body));
        ++pauses;
        EXPECT_TRUE(testbed.waitForCount("pausing before move 1", pauses));
        EXPECT_EQ(testbed.output.count("pausing before move 1"), pauses);
        exchange();
        EXPECT_TRUE(testbed.resume());
        const auto reply = channel.readFrame(maxFrameBodySize);
        if (!reply)
            return QByteArray();
        const auto decoded = decodeFrameBody(*reply);
        return decoded ? decoded->arguments.value(0).toUtf8() : QByteArray();
    };
    const auto request = quarantineRequest(1, "Synth");
    const QString quarantined = request.items[0].destinationPath;
    const QString trashed = tree.trashed("Synth-1.vst3");
    ASSERT_TRUE(
        decodePrivilegedQuarantineResult(paused(FrameMethod::quarantine, encode(request), [] {}))->succeeded);
    ASSERT_TRUE(
        decodePrivilegedTrashResult(
            paused(FrameMethod::moveToTrash,
                   encode(PrivilegedTrashRequest{upperUuid(), {{quarantined, trashed, operation}}}), [] {}))
            ->succeeded);

    // Between the checks and the move the user exchanges the bundle for a folder of their own.
    std::vector<AuditEntry> atExchange;
    const auto result = decodePrivilegedTrashRestoreResult(paused(
        FrameMethod::restoreFromTrash,
        encode(PrivilegedTrashRestoreRequest{
            upperUuid(), {{trashed, request.items[0].sourcePath, upperUuid(), "Synth-1.vst3", "VST3"}}}),
        [&] {
            QDir().rename(trashed, tree.trashed("Kept"));
            ASSERT_EQ(::mkdir(QFile::encodeName(trashed).constData(), 0777), 0);
            (void)::chmod(QFile::encodeName(trashed).constData(), 0777);
            (void)::chown(QFile::encodeName(trashed).constData(), consoleTestUid(), consoleTestUid());
            atExchange = tree.audit();
        }));
    ASSERT_TRUE(result.has_value());
    EXPECT_FALSE(result->succeeded);
    EXPECT_TRUE(result->rollbackComplete);
    EXPECT_EQ(result->message,
              "Trash recovery failed and every completed move returned to its exact Finder Trash "
              "path. Quorvane could not verify the restored disk state for Synth-1.vst3.");
    // The user's folder is back in the Trash, the plug-in folder holds nothing, the staging folder and
    // the transaction's record are gone (the record's file set aside for the next one).
    const QString record = TransactionRecord(tree.ledger.folder()).path();
    const auto helperOwn = [&](const AuditEntry& entry) {
        return entry.path == tree.ledger.stagingFolder() || entry.path == record ||
               entry.path == record + ".new";
    };
    std::erase_if(atExchange, helperOwn);
    auto after = tree.audit();
    std::erase_if(after, helperOwn);
    EXPECT_EQ(after, atExchange);
    EXPECT_FALSE(existsNoFollow(request.items[0].sourcePath));
    EXPECT_TRUE(tree.ledger.find(trashed).has_value());
}

TEST_F(HelperEndToEndTest, ExhaustionCostsOnlyTheConnectionConcerned) {
    const auto handshake = *encodeFrameBody(FrameEnvelope{1, FrameMethod::handshake, {"x"}});
    struct Row {
        const char* name;
        QStringList flags;
        std::function<void(Testbed&)> disturb;
    };
    const std::vector<Row> rows{
        {"no thread for a connection",
         {"--fail-connection-thread", "1"},
         [](Testbed& testbed) {
             auto refused = testbed.connect();
             EXPECT_EQ(refused.readFrame(maxFrameBodySize).error(), ChannelError::closedByPeer);
             EXPECT_TRUE(testbed.waitFor("A connection could not be served and was closed"));
         }},
        {"a stalled partial frame",
         {"--partial-frame-ms", "300", "--max-connections", "2"},
         [&](Testbed& testbed) {
             auto stalled = testbed.connect();
             ASSERT_TRUE(stalled.writeRaw(handshake.left(2)));
             // Someone else is served meanwhile, and the stalled connection is then closed.
             EXPECT_TRUE(testbed.answersHandshake());
             EXPECT_EQ(stalled.readFrame(maxFrameBodySize).error(), ChannelError::closedByPeer);
         }},
    };
    int round = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Testbed testbed(tree, row.flags);
        ASSERT_TRUE(testbed.ready) << testbed.output.toStdString();
        row.disturb(testbed);
        const auto request = quarantineRequest(1, QStringLiteral("After%1").arg(++round));
        auto channel = testbed.connect();
        EXPECT_TRUE(quarantine(channel, request).succeeded);
        EXPECT_EQ(countAtDestination(request), 1);
        EXPECT_EQ(testbed.process.state(), QProcess::Running);
    }
}

// True when something arrives, or the peer closes, within the bound; a failure bound, not a timing.
bool readableWithin(const UnixSocketChannel& channel, int milliseconds = 5000) {
    pollfd watched{channel.fd(), POLLIN, 0};
    return ::poll(&watched, 1, milliseconds) == 1;
}

bool closedByHelper(UnixSocketChannel& channel) {
    return readableWithin(channel) &&
           channel.readFrame(maxFrameBodySize).error() == ChannelError::closedByPeer;
}

bool handshakeAnswered(UnixSocketChannel& channel) {
    return channel.writeFrame(*encodeFrameBody(FrameEnvelope{1, FrameMethod::handshake, {"x"}})) &&
           readableWithin(channel) && channel.readFrame(maxFrameBodySize).has_value();
}

TEST_F(HelperEndToEndTest, AtTheCapTheConnectionIdleLongestMakesRoomForANewClient) {
    struct Row {
        const char* name;
        std::function<void(UnixSocketChannel&)> hold;
    };
    const std::vector<Row> rows{
        {"idle after a handshake", [](UnixSocketChannel& held) { EXPECT_TRUE(handshakeAnswered(held)); }},
        {"stalled inside a 4 MiB frame",
         [](UnixSocketChannel& held) { EXPECT_TRUE(held.writeRaw(QByteArray::fromHex("00400000") + "x")); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Testbed testbed(tree, {"--max-connections", "2"});
        ASSERT_TRUE(testbed.ready) << testbed.output.toStdString();
        std::vector<UnixSocketChannel> held;
        for (int index = 0; index < 2; ++index) {
            held.push_back(testbed.connect());
            row.hold(held.back());
        }
        // Each newcomer is served, and the connections held longest make way for them. Which held
        // one goes first is not asserted: the helper marks a connection idle only just after its
        // reply leaves, so on a loaded machine the older one can still count as serving then.
        std::vector<UnixSocketChannel> newcomers;
        for (std::size_t index = 0; index < held.size(); ++index) {
            newcomers.push_back(testbed.connect());
            EXPECT_TRUE(handshakeAnswered(newcomers.back()));
        }
        for (UnixSocketChannel& oldest : held)
            EXPECT_TRUE(closedByHelper(oldest));
    }
}

TEST_F(HelperEndToEndTest, AConnectionServingARequestIsNeverClosedToMakeRoom) {
    Testbed testbed(tree, {"--max-connections", "2", "--pause-before-move", "1", "--pause-ms", "60000",
                           "--resume-on-input", "1"});
    ASSERT_TRUE(testbed.ready) << testbed.output.toStdString();
    const auto request = quarantineRequest(1);
    auto serving = testbed.connect();
    ASSERT_TRUE(testbed.quarantineUntilPause(serving, request, 1)) << testbed.output.toStdString();
    auto idle = testbed.connect();
    ASSERT_TRUE(handshakeAnswered(idle));
    // Twice at the cap: each time the idle connection goes, never the one in its transaction.
    auto second = testbed.connect();
    EXPECT_TRUE(handshakeAnswered(second));
    EXPECT_TRUE(closedByHelper(idle));
    auto third = testbed.connect();
    EXPECT_TRUE(handshakeAnswered(third));
    EXPECT_TRUE(closedByHelper(second));
    ASSERT_TRUE(testbed.resume());
    ASSERT_TRUE(readableWithin(serving, 20000));
    const auto reply = serving.readFrame(maxFrameBodySize);
    ASSERT_TRUE(reply.has_value());
    const auto result =
        decodePrivilegedQuarantineResult(decodeFrameBody(*reply)->arguments.value(0).toUtf8());
    ASSERT_TRUE(result.has_value());
    EXPECT_TRUE(result->succeeded) << result->message.toStdString();
    EXPECT_EQ(countAtDestination(request), 1);
}

// A request read but not yet under the transaction lock: an application killed meanwhile and
// launched again finds the lock free and its bundles unmoved, and drops its journal. The request
// must then never be carried out; one whose client is still there is.
TEST_F(HelperEndToEndTest, ARequestWhoseClientLeftBeforeItTookTheLockMovesNothing) {
    for (const bool clientLeaves : {true, false}) {
        SCOPED_TRACE(clientLeaves);
        Testbed testbed(tree, {"--pause-before-lock", "1", "--pause-ms", "60000", "--resume-on-input", "1"});
        ASSERT_TRUE(testbed.ready);
        const auto request = quarantineRequest(2, clientLeaves ? "Left" : "Stayed");
        auto channel = testbed.connect();
        const auto body = encodeFrameBody(quarantineFrame(5, request));
        ASSERT_TRUE(body && channel.writeFrame(*body));
        ASSERT_TRUE(testbed.waitFor("pausing before the transaction lock")) << testbed.output.toStdString();
        EXPECT_FALSE(TransactionLockFile::isHeld(testbed.lockPath));
        if (clientLeaves)
            channel.close();
        ASSERT_TRUE(testbed.resume());
        ASSERT_TRUE(testbed.waitFor(clientLeaves ? "Rejected privileged quarantine request"
                                                 : "Finished privileged quarantine"))
            << testbed.output.toStdString();
        EXPECT_EQ(countAtDestination(request), clientLeaves ? 0 : 2);
    }
}

TEST_F(HelperEndToEndTest, KilledAfterTheKthMoveLeavesEveryBundleInExactlyOnePlace) {
    for (int k = 0; k <= 3; ++k) {
        SCOPED_TRACE(k);
        const auto request = quarantineRequest(4, QStringLiteral("Killed%1").arg(k));
        Testbed testbed(tree, {"--pause-before-move", QString::number(k + 1), "--pause-ms", "60000"});
        ASSERT_TRUE(testbed.ready);
        auto channel = testbed.connect();
        ASSERT_TRUE(testbed.quarantineUntilPause(channel, request, k + 1)) << testbed.output.toStdString();
        EXPECT_TRUE(TransactionLockFile::isHeld(testbed.lockPath));
        ::kill(pid_t(testbed.process.processId()), SIGKILL);
        testbed.process.waitForFinished(10000);
        EXPECT_EQ(countAtDestination(request), k);
        EXPECT_FALSE(TransactionLockFile::isHeld(testbed.lockPath));
        EXPECT_EQ(channel.readFrame(maxFrameBodySize).error(), ChannelError::closedByPeer);
    }
}

} // namespace
} // namespace quorvane::testing
