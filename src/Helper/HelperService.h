#pragma once

#include "Helper/HelperRequestPolicy.h"
#include "Helper/MoveOperation.h"
#include "Helper/TransactionRecord.h"
#include "Helper/TransactionRecovery.h"
#include "Helper/TrashLedger.h"
#include "Shared/FrameCodec.h"
#include "Shared/QuorvaneHelperProtocol.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>

namespace quorvane {

struct HelperServiceConfiguration {
    SystemRoots roots;
    // Held exclusively (flock) for the whole of each transaction; empty for none.
    QString transactionLockPath;
    // Null means the real move.
    MoveOperation* move = nullptr;
    // The build the handshake reports; only the testbed changes it.
    QString reportedBuild = helperBuild();
};

// The one object that answers the five calls, shared by every connection. It keeps nothing between
// calls. Transactions run one at a time in the whole process, and under the lock file, so a second
// request waits until the first has ended: nothing else moves the same bundles meanwhile.
class HelperService {
public:
    HelperService(HelperServiceConfiguration configuration, const ConsoleUserProvider& consoleUsers);

    std::pair<QString, QString> handshake(const QString& clientVersion);
    QByteArray quarantine(const QByteArray& requestData);
    QByteArray restore(const QByteArray& requestData);
    QByteArray moveToTrash(const QByteArray& requestData);
    QByteArray restoreFromTrash(const QByteArray& requestData);

    // Before the first connection is served: rolls back a transaction a killed helper left half
    // done, under the transaction lock. None when the lock could not be held (nothing is moved).
    std::optional<TransactionRecoveryReport> recoverInterruptedTransaction();
    // After a reply has gone out (or could not): the record of a transaction that committed is removed.
    void replySent();

    // Whether the client that sent a request has closed its end of the connection.
    using ClientGone = std::function<bool()>;

    // One call envelope → its reply. Nothing for a call the protocol does not know (unknown method,
    // wrong number of arguments): the connection is then closed unanswered. A request whose client
    // has gone by the time it holds the transaction lock moves nothing: an application launched
    // since may have found the lock free and the bundles unmoved, and settled its journal so.
    std::optional<FrameEnvelope> handle(const FrameEnvelope& call, const ClientGone& clientGone = {});

    const HelperRequestPolicy& policy() const { return m_policy; }

private:
    template <class Kind>
    QByteArray handleRequest(const QByteArray& requestData, const ClientGone& clientGone = {});

    HelperServiceConfiguration m_configuration;
    HelperRequestPolicy m_policy;
    TransactionRecord m_record;
    std::mutex m_transactionMutex;
    // A committed record waits for its reply to leave.
    std::atomic<bool> m_recordCommitted = false;
    // Under m_transactionMutex: how many transactions (and recoveries) have touched the record, and
    // that count when the last committed one ended.
    quint64 m_transactionsRun = 0;
    std::optional<quint64> m_committedAfterRun;
};

} // namespace quorvane
