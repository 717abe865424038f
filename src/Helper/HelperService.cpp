#include "Helper/HelperService.h"

#include "Helper/PrivilegedTransactions.h"
#include "Platform/HelperLog.h"
#include "Platform/TransactionLockFile.h"
#include "Shared/PrivilegedResults.h"
#include "Shared/QuorvaneHelperProtocol.h"
#include "Support/Paths.h"

#include <type_traits>

namespace quorvane {

namespace {

const char* flag(bool value) {
    return value ? "true" : "false";
}

struct QuarantineKind : PrivilegedKindDescription<PrivilegedKind::quarantine> {
    static constexpr const char* rejected = "Rejected privileged quarantine request: %s";
    static constexpr const char* starting = "Starting privileged quarantine %s with %lld bundles";
    static constexpr const char* finished =
        "Finished privileged quarantine; success: %s, rollback complete: %s";
    static auto decode(const QByteArray& data) { return decodePrivilegedQuarantineRequest(data); }
    static auto validate(const HelperRequestPolicy& policy, const Request& request, PathLookups& lookups) {
        return policy.validateQuarantineRequest(request, &lookups);
    }
    template <class Items>
    static Result perform(const QString& id, const Items& items, const TrashLedger& ledger,
                          MoveOperation* move, const TransactionRecord& record, PathLookups& lookups) {
        (void)ledger;
        return performQuarantineTransaction(id, items, move, &record, &lookups);
    }
};

struct RestoreKind : PrivilegedKindDescription<PrivilegedKind::restore> {
    static constexpr const char* rejected = "Rejected privileged restore request: %s";
    static constexpr const char* starting = "Starting privileged restore %s with %lld bundles";
    static constexpr const char* finished = "Finished privileged restore; success: %s, rollback complete: %s";
    static auto decode(const QByteArray& data) { return decodePrivilegedRestoreRequest(data); }
    static auto validate(const HelperRequestPolicy& policy, const Request& request, PathLookups& lookups) {
        return policy.validateRestoreRequest(request, &lookups);
    }
    template <class Items>
    static Result perform(const QString& id, const Items& items, const TrashLedger& ledger,
                          MoveOperation* move, const TransactionRecord& record, PathLookups& lookups) {
        (void)ledger;
        return performRestoreTransaction(id, items, move, &record, &lookups);
    }
};

struct TrashKind : PrivilegedKindDescription<PrivilegedKind::trash> {
    static constexpr const char* rejected = "Rejected privileged Trash request: %s";
    static constexpr const char* starting = "Starting privileged Trash move %s with %lld bundles";
    static constexpr const char* finished =
        "Finished privileged Trash move; success: %s, rollback complete: %s";
    static auto decode(const QByteArray& data) { return decodePrivilegedTrashRequest(data); }
    static auto validate(const HelperRequestPolicy& policy, const Request& request, PathLookups& lookups) {
        return policy.validateTrashRequest(request, &lookups);
    }
    template <class Items>
    static Result perform(const QString& id, const Items& items, const TrashLedger& ledger,
                          MoveOperation* move, const TransactionRecord& record, PathLookups& lookups) {
        return performTrashTransaction(id, items, ledger, move, &record, &lookups);
    }
    // The Trash paths as the application named them. Validation put them on the home's real path,
    // while the application reaches its Trash through the home its account names, maybe a link.
    static void nameAsRequested(Result& result, const Request& request) {
        if (!result.succeeded)
            return;
        result.destinationPaths.clear();
        for (const PrivilegedTrashItem& item : request.items)
            result.destinationPaths.append(standardizedPath(item.destinationPath));
    }
};

struct TrashRestoreKind : PrivilegedKindDescription<PrivilegedKind::trashRecovery> {
    static constexpr const char* rejected = "Rejected privileged Trash recovery request: %s";
    static constexpr const char* starting = "Starting privileged Trash recovery %s with %lld bundles";
    static constexpr const char* finished =
        "Finished privileged Trash recovery; success: %s, rollback complete: %s";
    static auto decode(const QByteArray& data) { return decodePrivilegedTrashRestoreRequest(data); }
    static auto validate(const HelperRequestPolicy& policy, const Request& request, PathLookups& lookups) {
        return policy.validateTrashRestoreRequest(request, &lookups);
    }
    template <class Items>
    static Result perform(const QString& id, const Items& items, const TrashLedger& ledger,
                          MoveOperation* move, const TransactionRecord& record, PathLookups& lookups) {
        return performTrashRestoreTransaction(id, items, ledger, move, &record, &lookups);
    }
};

} // namespace

HelperService::HelperService(HelperServiceConfiguration configuration,
                             const ConsoleUserProvider& consoleUsers)
    : m_configuration(std::move(configuration)), m_policy(PathPolicy(m_configuration.roots), consoleUsers),
      m_record(m_policy.ledger().folder()) {}

std::optional<TransactionRecoveryReport> HelperService::recoverInterruptedTransaction() {
    std::unique_lock serialised(m_transactionMutex);
    // Held like a transaction's, so that the application's probe waits for the rollback too.
    std::optional<TransactionLockFile> lockFile;
    if (!m_configuration.transactionLockPath.isEmpty()) {
        auto acquired = TransactionLockFile::acquire(m_configuration.transactionLockPath);
        if (!acquired) {
            qCCritical(helperLifecycleLog,
                       "The transaction lock file could not be held: %s; an interrupted transaction is not "
                       "rolled back",
                       qUtf8Printable(acquired.error().description()));
            return std::nullopt;
        }
        lockFile = std::move(*acquired);
    }
    ++m_transactionsRun;
    return quorvane::recoverInterruptedTransaction(m_record, m_policy.ledger(),
                                                   m_policy.pathPolicy().quarantineRoot());
}

void HelperService::replySent() {
    if (!m_recordCommitted.exchange(false))
        return;
    std::unique_lock serialised(m_transactionMutex);
    // The record is only ever written under this lock, so when no transaction has run since the
    // commit, the record on disk is still that committed one and need not be read to be known.
    const bool untouched = m_committedAfterRun == m_transactionsRun;
    m_committedAfterRun.reset();
    if (untouched) {
        (void)m_record.remove();
        return;
    }
    // A later transaction may have written its own record meanwhile; only a committed one is over.
    if (const auto recorded = m_record.read(); recorded && *recorded && (*recorded)->committed)
        (void)m_record.remove();
}

std::pair<QString, QString> HelperService::handshake(const QString& clientVersion) {
    qCInfo(helperServiceLog, "Accepted Quorvane handshake from client version %s",
           qUtf8Printable(clientVersion));
    return {helperName(), m_configuration.reportedBuild};
}

template <class Kind>
QByteArray HelperService::handleRequest(const QByteArray& requestData, const ClientGone& clientGone) {
    using Result = typename Kind::Result;
    Result result;
    const auto request = Kind::decode(requestData);
    if (!request) {
        const QString message = request.error().description();
        qCCritical(helperServiceLog, Kind::rejected, qUtf8Printable(message));
        result = failureWithNothingMoved<Result>(invalidTransactionID(), message);
    } else {
        if (m_configuration.move)
            m_configuration.move->beforeLock();
        // Validation runs under the lock too, so that what it saw on disk is what the transaction
        // starts from: no other transaction runs in between.
        std::unique_lock serialised(m_transactionMutex);
        std::optional<TransactionLockFile> lockFile;
        std::optional<QString> lockFailure;
        if (!m_configuration.transactionLockPath.isEmpty()) {
            if (auto acquired = TransactionLockFile::acquire(m_configuration.transactionLockPath))
                lockFile = std::move(*acquired);
            else
                lockFailure = acquired.error().description();
        }
        // What validation finds on disk serves the preflight too: the lock keeps every other
        // transaction out in between.
        PathLookups lookups;
        // Without the lock the application's probe would see no transaction running and could settle
        // its journal while bundles move, so nothing moves.
        if (lockFailure) {
            const QString message =
                QStringLiteral("The transaction lock file could not be held: %1").arg(*lockFailure);
            qCCritical(helperServiceLog, Kind::rejected, qUtf8Printable(message));
            result = failureWithNothingMoved<Result>(request->transactionID, message);
        } else if (clientGone && clientGone()) {
            const QString message = QStringLiteral("The client left before its request could start.");
            qCCritical(helperServiceLog, Kind::rejected, qUtf8Printable(message));
            result = failureWithNothingMoved<Result>(request->transactionID, message);
        } else if (const auto items = Kind::validate(m_policy, *request, lookups); !items) {
            const QString message = description(items.error());
            qCCritical(helperServiceLog, Kind::rejected, qUtf8Printable(message));
            result = failureWithNothingMoved<Result>(request->transactionID, message);
        } else {
            qCInfo(helperServiceLog, Kind::starting,
                   qUtf8Printable(HelperLog::privateHash(request->transactionID)),
                   static_cast<long long>(items->size()));
            ++m_transactionsRun;
            result = Kind::perform(request->transactionID, *items, m_policy.ledger(), m_configuration.move,
                                   m_record, lookups);
            if (result.succeeded) {
                m_committedAfterRun = m_transactionsRun;
                m_recordCommitted = true;
            }
            if constexpr (std::is_same_v<Kind, TrashKind>)
                Kind::nameAsRequested(result, *request);
            // The transaction has ended: whoever probes the lock file may now see it free.
            lockFile.reset();
            qCInfo(helperServiceLog, Kind::finished, flag(result.succeeded), flag(result.rollbackComplete));
        }
    }
    QByteArray encoded = encode(result);
    if (encoded.isEmpty())
        encoded = privilegedFallbackReply<Kind::kind>();
    return encoded;
}

QByteArray HelperService::quarantine(const QByteArray& requestData) {
    return handleRequest<QuarantineKind>(requestData);
}

QByteArray HelperService::restore(const QByteArray& requestData) {
    return handleRequest<RestoreKind>(requestData);
}

QByteArray HelperService::moveToTrash(const QByteArray& requestData) {
    return handleRequest<TrashKind>(requestData);
}

QByteArray HelperService::restoreFromTrash(const QByteArray& requestData) {
    return handleRequest<TrashRestoreKind>(requestData);
}

std::optional<QByteArray> HelperService::handle(const FrameEnvelope& call, const ClientGone& clientGone) {
    if (call.arguments.size() != 1)
        return std::nullopt;
    FrameEnvelope reply{call.id, QString::fromLatin1(FrameMethod::reply), {}};
    const QString& argument = call.arguments.front();
    if (call.method == QLatin1String(FrameMethod::handshake)) {
        const auto [name, build] = handshake(argument);
        reply.arguments = {name, build};
        if (auto body = encodeFrameBody(reply))
            return std::move(*body);
        return std::nullopt;
    }
    const QByteArray data = argument.toUtf8();
    QByteArray result;
    QByteArray (*fallback)() = nullptr;
    const auto serve = [&]<class Kind>(Kind) {
        if (call.method != QLatin1String(Kind::method))
            return false;
        result = handleRequest<Kind>(data, clientGone);
        fallback = &privilegedFallbackReply<Kind::kind>;
        return true;
    };
    if (!serve(QuarantineKind{}) && !serve(RestoreKind{}) && !serve(TrashKind{}) &&
        !serve(TrashRestoreKind{}))
        return std::nullopt;
    reply.arguments = {QString::fromUtf8(result)};
    if (auto body = encodeFrameBody(reply))
        return std::move(*body);
    // A result that does not fit in a frame cannot travel; the fixed document always does.
    reply.arguments = {QString::fromUtf8(fallback())};
    if (auto body = encodeFrameBody(reply))
        return std::move(*body);
    return std::nullopt;
}

} // namespace quorvane
