#include "HelperClient/PluginManagementService.h"

#include "HelperClient/PluginManagementTexts.h"
#include "HelperClient/UnixSocketHelperConnection.h"
#include "Platform/SystemdServiceRegistry.h"
#include "Shared/FrameCodec.h"
#include "Shared/QuorvaneHelperProtocol.h"
#include "Shared/SystemRoots.h"
#include "Store/AppVersion.h"

namespace quorvane {

namespace Texts = PluginManagementTexts;

PluginManagementService::PluginManagementService(std::unique_ptr<ServiceRegistry> registry,
                                                 HelperConnectionFactory connections, InstallLayout layout,
                                                 QObject* parent)
    : QObject(parent), m_registry(std::move(registry)), m_connections(std::move(connections)),
      m_layout(std::move(layout)) {
    refreshStatus();
}

std::unique_ptr<PluginManagementService> PluginManagementService::production(QObject* parent) {
    auto registry = std::make_unique<SystemdServiceRegistry>(
        HelperEndpoint{helperSocketPath(SystemRoots::production()), 0});
    return std::make_unique<PluginManagementService>(std::move(registry),
                                                     UnixSocketHelperConnection::factory(),
                                                     InstallLayout::ofRunningApplication(), parent);
}

PluginManagementService::~PluginManagementService() {
    if (m_connection) {
        m_connection->setInvalidationHandler({});
        m_connection->setInterruptionHandler({});
        m_connection.reset();
    }
}

template <class Work>
void PluginManagementService::onServiceThread(const QPointer<PluginManagementService>& service, Work work) {
    QObject* context = service.data();
    if (!context)
        return;
    QMetaObject::invokeMethod(
        context,
        [service, work = std::move(work)]() mutable {
            if (service)
                work(*service);
        },
        Qt::QueuedConnection);
}

// Registration.

void PluginManagementService::refreshStatus() {
    setStatus(pluginManagementStatus(m_registry->status()));
    if (m_status != PluginManagementStatus::enabled) {
        setHelperIsReachable(false);
        setHelperVersion(std::nullopt);
        invalidateConnection();
        return;
    }
    connectAndHandshake(false);
}

void PluginManagementService::registerHelper() {
    if (m_isWorking)
        return;
    if (m_status == PluginManagementStatus::enabled) {
        refreshStatus();
        return;
    }
    setIsWorking(true);
    setLastError(std::nullopt);
    m_registry->registerService([self = QPointer(this)](std::expected<void, ServiceRegistryError> outcome) {
        if (self)
            self->finishRegistrationChange(outcome);
    });
}

void PluginManagementService::repairRegistration() {
    if (m_isWorking)
        return;
    setIsWorking(true);
    setLastError(std::nullopt);
    setHelperIsReachable(false);
    invalidateConnection();
    m_registry->unregisterService(
        [self = QPointer(this)](std::expected<void, ServiceRegistryError> unregistered) {
            if (!self)
                return;
            if (!unregistered) {
                self->finishRegistrationChange(unregistered);
                return;
            }
            self->m_registry->registerService([self](std::expected<void, ServiceRegistryError> registered) {
                if (self)
                    self->finishRegistrationChange(registered);
            });
        });
}

void PluginManagementService::finishRegistrationChange(std::expected<void, ServiceRegistryError> outcome) {
    if (!outcome)
        setLastError(description(outcome.error()));
    setIsWorking(false);
    // The silent reconnect that follows must not wipe out why the change failed.
    m_keepLastError = !outcome;
    refreshStatus();
    m_keepLastError = false;
}

bool PluginManagementService::needsHelperUpdate() const {
    if (m_status != PluginManagementStatus::enabled)
        return false;
    return !m_helperIsReachable || !m_helperVersion || *m_helperVersion != helperBuild();
}

// Connection and handshake.

void PluginManagementService::connectAndHandshake(bool reportResult) {
    if (m_requestInFlight)
        return;
    if (m_status != PluginManagementStatus::enabled) {
        setHelperIsReachable(false);
        setHelperVersion(std::nullopt);
        if (reportResult)
            setLastHandshakeNotice(Texts::Handshake::unavailableUntilEnabled);
        return;
    }
    invalidateConnection();
    const bool keepLastError = m_keepLastError && !reportResult;
    if (!keepLastError)
        setLastError(std::nullopt);
    if (reportResult)
        setLastHandshakeNotice(std::nullopt);

    std::unique_ptr<HelperConnection> connection = m_connections(m_registry->endpoint());
    const QPointer<PluginManagementService> self(this);
    const quint64 generation = m_generation;
    bool called = false;
    if (connection) {
        const auto markUnreachable = [self, generation] {
            onServiceThread(self, [generation](PluginManagementService& service) {
                if (generation == service.m_generation)
                    service.setHelperIsReachable(false);
            });
        };
        connection->setInterruptionHandler([self, generation] {
            onServiceThread(self, [generation](PluginManagementService& service) {
                if (generation == service.m_generation)
                    service.connectionInterrupted();
            });
        });
        connection->setInvalidationHandler(markUnreachable);
        m_connection = std::move(connection);
        m_connection->resume();
        called = m_connection->call(
            QString::fromLatin1(FrameMethod::handshake), {appVersionLabel()},
            [self, generation, reportResult, keepLastError](const HelperConnection::Reply& reply) {
                onServiceThread(
                    self, [generation, reportResult, keepLastError, reply](PluginManagementService& service) {
                        // The answer of a connection that has been closed or replaced meanwhile.
                        if (generation != service.m_generation)
                            return;
                        service.finishHandshake(reply, reportResult, keepLastError);
                    });
            });
    }
    if (!called) {
        setHelperIsReachable(false);
        setHelperVersion(std::nullopt);
        setLastError(Texts::Handshake::channelUnavailable);
        if (reportResult)
            setLastHandshakeNotice(Texts::Handshake::testFailed);
        invalidateConnection();
    }
}

void PluginManagementService::finishHandshake(const HelperConnection::Reply& reply, bool reportResult,
                                              bool keepLastError) {
    if (!reply || reply->size() != 2) {
        const QString error = description(reply ? HelperConnectionError::protocolViolation : reply.error());
        setHelperIsReachable(false);
        setHelperVersion(std::nullopt);
        setLastError(error);
        if (reportResult)
            setLastHandshakeNotice(Texts::Handshake::testFailedWithError(error));
        invalidateConnection();
        return;
    }
    const QString& name = reply->at(0);
    const QString& build = reply->at(1);
    setHelperVersion(build);
    const bool reachable = name == helperName() && build == helperBuild();
    setHelperIsReachable(reachable);
    m_reconnectWhenClosed = reachable;
    if (!reachable)
        setLastError(Texts::Handshake::wrongBuild(build, helperBuild()));
    else if (!keepLastError)
        setLastError(std::nullopt);
    if (reportResult)
        setLastHandshakeNotice(reachable ? Texts::Handshake::testPassed(build)
                                         : Texts::Handshake::testFailedWithBuild(build));
}

void PluginManagementService::invalidateConnection() {
    if (m_requestInFlight) {
        m_closeAfterRequest = true;
        return;
    }
    ++m_generation;
    m_reconnectWhenClosed = false;
    if (!m_connection)
        return;
    // Cleared first, so that this close does not mark the helper unreachable.
    m_connection->setInvalidationHandler({});
    m_connection->setInterruptionHandler({});
    m_connection->invalidate();
    m_connection.reset();
}

QScopeGuard<std::function<void()>> PluginManagementService::publishIdleAfterCompletion() {
    // Idle at once, so that the completion may chain the next request, but told to those who follow
    // `isWorking` only once the completion has handed the result to the store: they then read the
    // journal that result settled, not the one still open. A chained request has published itself.
    m_isWorking = false;
    return qScopeGuard(std::function<void()>([self = QPointer<PluginManagementService>(this)] {
        if (self && !self->m_isWorking)
            emit self->isWorkingChanged();
    }));
}

void PluginManagementService::closeIfDeferred() {
    if (std::exchange(m_closeAfterRequest, false))
        invalidateConnection();
}

void PluginManagementService::connectionInterrupted() {
    setHelperIsReachable(false);
    // The helper closes the connection idle longest when it needs the room for another client. One
    // that was idle is opened again silently, so the file actions stay available; a connection lost
    // during a request or a handshake has already said so and is left to the user.
    if (!std::exchange(m_reconnectWhenClosed, false) || m_requestInFlight)
        return;
    m_keepLastError = true;
    connectAndHandshake(false);
    m_keepLastError = false;
}

// Readiness and blocking reasons.

bool PluginManagementService::isReadyForPrivilegedRequests() const {
    return m_status == PluginManagementStatus::enabled && m_helperIsReachable && !m_isWorking;
}

std::optional<QString> PluginManagementService::blockingReason(const QString& kindSentence) const {
    if (m_isWorking)
        return Texts::Blocking::inProgress;
    if (m_status == PluginManagementStatus::enabled && m_helperIsReachable)
        return std::nullopt;
    if (m_status != PluginManagementStatus::enabled)
        return kindSentence;
    return Texts::Blocking::handshakePending;
}

std::optional<QString> PluginManagementService::quarantineBlockingReason() const {
    return blockingReason(Texts::Blocking::quarantine);
}

std::optional<QString> PluginManagementService::restoreBlockingReason() const {
    return blockingReason(Texts::Blocking::restore);
}

std::optional<QString> PluginManagementService::trashBlockingReason() const {
    return blockingReason(Texts::Blocking::trash);
}

std::optional<QString> PluginManagementService::trashRecoveryBlockingReason() const {
    return blockingReason(Texts::Blocking::trashRecovery);
}

// Senders.

struct PluginManagementService::QuarantineKind : PrivilegedKindDescription<PrivilegedKind::quarantine> {
    static constexpr auto reason = &PluginManagementService::quarantineBlockingReason;
    static const QString& encodeFailure() { return Texts::Sender::quarantineEncodeFailure; }
    static const QString& channelFailure() { return Texts::Sender::quarantineChannelFailure; }
    static const QString& unreadableReply() { return Texts::Sender::quarantineUnreadableReply; }
};

struct PluginManagementService::RestoreKind : PrivilegedKindDescription<PrivilegedKind::restore> {
    static constexpr auto reason = &PluginManagementService::restoreBlockingReason;
    static const QString& encodeFailure() { return Texts::Sender::restoreEncodeFailure; }
    static const QString& channelFailure() { return Texts::Sender::restoreChannelFailure; }
    static const QString& unreadableReply() { return Texts::Sender::restoreUnreadableReply; }
};

struct PluginManagementService::TrashKind : PrivilegedKindDescription<PrivilegedKind::trash> {
    static constexpr auto reason = &PluginManagementService::trashBlockingReason;
    static const QString& encodeFailure() { return Texts::Sender::trashEncodeFailure; }
    static const QString& channelFailure() { return Texts::Sender::trashChannelFailure; }
    static const QString& unreadableReply() { return Texts::Sender::trashUnreadableReply; }
};

struct PluginManagementService::TrashRestoreKind : PrivilegedKindDescription<PrivilegedKind::trashRecovery> {
    static constexpr auto reason = &PluginManagementService::trashRecoveryBlockingReason;
    static const QString& encodeFailure() { return Texts::Sender::trashRecoveryEncodeFailure; }
    static const QString& channelFailure() { return Texts::Sender::trashRecoveryChannelFailure; }
    static const QString& unreadableReply() { return Texts::Sender::trashRecoveryUnreadableReply; }
};

namespace {

// The largest id a connection may give a call, so that a request checked with it fits any frame.
constexpr qint64 largestCallID = qint64(1) << 53;

} // namespace

template <class Kind>
void PluginManagementService::sendAs(const typename Kind::Request& request,
                                     Completion<typename Kind::Result> completion) {
    using Result = typename Kind::Result;
    if (!isReadyForPrivilegedRequests() || !m_connection) {
        const std::optional<QString> reason = (this->*Kind::reason)();
        completion(failureWithNothingMoved<Result>(request.transactionID,
                                                   reason.value_or(Texts::Sender::unreachable)));
        return;
    }
    const QStringList arguments{QString::fromUtf8(encode(request))};
    const QString method = QString::fromLatin1(Kind::method);
    if (!encodeFrameBody(FrameEnvelope{largestCallID, method, arguments})) {
        completion(failureWithNothingMoved<Result>(request.transactionID, Kind::encodeFailure()));
        return;
    }
    setIsWorking(true);
    setLastError(std::nullopt);
    m_requestInFlight = true;
    const QPointer<PluginManagementService> self(this);
    const QString transactionID = request.transactionID;
    const bool called = m_connection->call(
        method, arguments, [self, transactionID, completion](const HelperConnection::Reply& reply) {
            onServiceThread(self, [reply, transactionID, completion](PluginManagementService& service) {
                service.finishRequest<Kind>(reply, transactionID, completion);
            });
        });
    if (!called) {
        m_requestInFlight = false;
        const auto publishIdle = publishIdleAfterCompletion();
        setLastError(Kind::channelFailure());
        closeIfDeferred();
        completion(failureWithNothingMoved<Result>(request.transactionID, Kind::channelFailure()));
    }
}

template <class Kind>
void PluginManagementService::finishRequest(const HelperConnection::Reply& reply,
                                            const QString& transactionID,
                                            const Completion<typename Kind::Result>& completion) {
    using Result = typename Kind::Result;
    m_requestInFlight = false;
    const auto publishIdle = publishIdleAfterCompletion();
    // A close that waited for this answer happens before the caller can chain another request.
    closeIfDeferred();
    if (!reply) {
        const QString error = description(reply.error());
        // The connection failed under a request: the user hears of it, nothing reconnects silently.
        m_reconnectWhenClosed = false;
        setLastError(error);
        completion(failureWithNothingMoved<Result>(transactionID, error));
        return;
    }
    const auto decoded = reply->size() == 1 ? decodePrivilegedResult<Kind::kind>(reply->at(0).toUtf8())
                                            : std::expected<Result, JsonError>(std::unexpected(JsonError{}));
    if (!decoded) {
        setLastError(Kind::unreadableReply());
        completion(failureWithNothingMoved<Result>(transactionID, Kind::unreadableReply()));
        return;
    }
    setLastError(decoded->succeeded ? std::nullopt : std::optional(decoded->message));
    completion(*decoded);
}

void PluginManagementService::send(const PrivilegedQuarantineRequest& request,
                                   Completion<PrivilegedQuarantineResult> completion) {
    sendAs<QuarantineKind>(request, std::move(completion));
}

void PluginManagementService::send(const PrivilegedRestoreRequest& request,
                                   Completion<PrivilegedRestoreResult> completion) {
    sendAs<RestoreKind>(request, std::move(completion));
}

void PluginManagementService::send(const PrivilegedTrashRequest& request,
                                   Completion<PrivilegedTrashResult> completion) {
    sendAs<TrashKind>(request, std::move(completion));
}

void PluginManagementService::send(const PrivilegedTrashRestoreRequest& request,
                                   Completion<PrivilegedTrashRestoreResult> completion) {
    sendAs<TrashRestoreKind>(request, std::move(completion));
}

// Readiness checks and diagnostics.

std::vector<DirectDistributionReadinessCheck> PluginManagementService::releaseReadinessChecks() const {
    DirectDistributionReadinessInput input;
    input.appBuild = applicationBuild();
    input.expectedBuild = helperBuild();
    input.helperBuild = m_helperVersion;
    input.helperExecutableEmbedded = m_layout.hasHelperExecutable();
    input.daemonPlistEmbedded = m_layout.hasServiceUnits();
    input.helperRegistered = m_status == PluginManagementStatus::enabled;
    input.secureHandshakeConnected = m_helperIsReachable;
    return makeReleaseReadinessChecks(input);
}

QString PluginManagementService::diagnosticsSection() const {
    namespace Diagnostics = Texts::Diagnostics;
    const std::vector<DirectDistributionReadinessCheck> checks = releaseReadinessChecks();
    QStringList lines;
    for (const DirectDistributionReadinessCheck& check : checks)
        lines.append(Diagnostics::checkBullet + check.title + Diagnostics::checkSeparator +
                     (check.passed ? Diagnostics::pass : Diagnostics::actionRequired));
    return Diagnostics::heading + Diagnostics::helperStatus + title(m_status) + Diagnostics::secureHandshake +
           (m_helperIsReachable ? Diagnostics::connected : Diagnostics::notConnected) +
           Diagnostics::expectedBuild + helperBuild() + Diagnostics::reportedBuild +
           m_helperVersion.value_or(Diagnostics::noResponse) + Diagnostics::releaseReadiness +
           QString::number(passedReadinessCheckCount(checks)) + u'/' + QString::number(checks.size()) +
           u'\n' + lines.join(u'\n');
}

// Change-signalling setters.

void PluginManagementService::setStatus(PluginManagementStatus value) {
    if (m_status == value)
        return;
    m_status = value;
    emit statusChanged();
}

void PluginManagementService::setHelperIsReachable(bool value) {
    if (m_helperIsReachable == value)
        return;
    m_helperIsReachable = value;
    emit helperIsReachableChanged();
}

void PluginManagementService::setHelperVersion(std::optional<QString> value) {
    if (m_helperVersion == value)
        return;
    m_helperVersion = std::move(value);
    emit helperVersionChanged();
}

void PluginManagementService::setLastError(std::optional<QString> value) {
    if (m_lastError == value)
        return;
    m_lastError = std::move(value);
    emit lastErrorChanged();
}

void PluginManagementService::setLastHandshakeNotice(std::optional<QString> value) {
    if (m_lastHandshakeNotice == value)
        return;
    m_lastHandshakeNotice = std::move(value);
    emit lastHandshakeNoticeChanged();
}

void PluginManagementService::setIsWorking(bool value) {
    if (m_isWorking == value)
        return;
    m_isWorking = value;
    emit isWorkingChanged();
}

} // namespace quorvane
