#pragma once

#include "HelperClient/DirectDistributionReadiness.h"
#include "HelperClient/HelperConnection.h"
#include "HelperClient/InstallLayout.h"
#include "HelperClient/PluginManagementStatus.h"
#include "Platform/ServiceRegistry.h"
#include "Shared/PrivilegedRequests.h"
#include "Shared/PrivilegedResults.h"
#include "Store/PrivilegedRequestSender.h"

#include <QObject>
#include <QPointer>
#include <QScopeGuard>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quorvane {

// The application's one client of the privileged helper: it registers the helper's service, reads
// its status, keeps at most one connection to it, proves with a handshake that the expected helper
// build answers, and carries each privileged request there and its result back. Lives on the GUI
// thread; answers from the connection's threads come back through queued calls.
//
// Nothing times out: a helper that never answers leaves `isWorking` set. Two guards keep the
// connection sound: every connection has a generation, and the callbacks of an older one are
// dropped; and while a privileged request is in flight no refresh, test or reconnect closes or
// replaces its connection (a close asked for meanwhile waits for the request's answer).
class PluginManagementService : public QObject, public PrivilegedRequestSender {
    Q_OBJECT

public:
    // Reads the status at once and, when the helper is enabled, starts a silent handshake.
    PluginManagementService(std::unique_ptr<ServiceRegistry> registry, HelperConnectionFactory connections,
                            InstallLayout layout = InstallLayout::ofRunningApplication(),
                            QObject* parent = nullptr);
    // The systemd units and the helper's system socket.
    static std::unique_ptr<PluginManagementService> production(QObject* parent = nullptr);
    // Closes the connection; answers still on their way are dropped, with no completion called.
    ~PluginManagementService() override;

    PluginManagementService(const PluginManagementService&) = delete;
    PluginManagementService& operator=(const PluginManagementService&) = delete;

    // Published state; each has a change signal below.
    PluginManagementStatus status() const { return m_status; }
    bool helperIsReachable() const { return m_helperIsReachable; }
    const std::optional<QString>& helperVersion() const { return m_helperVersion; }
    const std::optional<QString>& lastError() const { return m_lastError; }
    const std::optional<QString>& lastHandshakeNotice() const { return m_lastHandshakeNotice; }
    bool isWorking() const { return m_isWorking; }

    bool hasConnection() const { return m_connection != nullptr; }
    // Where the application, the helper and the helper's units are installed.
    const InstallLayout& installLayout() const { return m_layout; }

    // "Refresh Status": reads the registration state and connects when enabled.
    void refreshStatus();
    // "Enable Plugin Management": registers unless already enabled, then refreshes.
    void registerHelper();
    // "Repair / Update Plugin Management": unregisters, registers again, then refreshes.
    void repairRegistration();
    // "Test Secure Helper" with `reportResult`; silently from refreshStatus. Does nothing while a
    // privileged request is in flight.
    void connectAndHandshake(bool reportResult);
    bool needsHelperUpdate() const;

    // Readiness and blocking reasons: a reason is none exactly when ready.
    bool isReadyForPrivilegedRequests() const override;
    std::optional<QString> quarantineBlockingReason() const;
    std::optional<QString> restoreBlockingReason() const;
    std::optional<QString> trashBlockingReason() const;
    std::optional<QString> trashRecoveryBlockingReason() const;

    // The senders. The completion runs on the GUI thread at most once: at once for a local failure,
    // later with the helper's result or a failure made up from the request. It is not called when
    // the service goes away first.
    void send(const PrivilegedQuarantineRequest& request,
              Completion<PrivilegedQuarantineResult> completion) override;
    void send(const PrivilegedRestoreRequest& request,
              Completion<PrivilegedRestoreResult> completion) override;
    void send(const PrivilegedTrashRequest& request, Completion<PrivilegedTrashResult> completion) override;
    void send(const PrivilegedTrashRestoreRequest& request,
              Completion<PrivilegedTrashRestoreResult> completion) override;

    // Computed afresh on every call.
    std::vector<DirectDistributionReadinessCheck> releaseReadinessChecks() const;
    // The helper section of the diagnostic report; its first line is "Plugin Management".
    QString diagnosticsSection() const;

signals:
    void statusChanged();
    void helperIsReachableChanged();
    void helperVersionChanged();
    void lastErrorChanged();
    void lastHandshakeNoticeChanged();
    void isWorkingChanged();

private:
    struct QuarantineKind;
    struct RestoreKind;
    struct TrashKind;
    struct TrashRestoreKind;

    std::optional<QString> blockingReason(const QString& kindSentence) const;
    template <class Kind>
    void sendAs(const typename Kind::Request& request, Completion<typename Kind::Result> completion);
    template <class Kind>
    void finishRequest(const HelperConnection::Reply& reply, const QString& transactionID,
                       const Completion<typename Kind::Result>& completion);
    void finishHandshake(const HelperConnection::Reply& reply, bool reportResult, bool keepLastError);
    void finishRegistrationChange(std::expected<void, ServiceRegistryError> outcome);
    void invalidateConnection();
    void closeIfDeferred();
    void connectionInterrupted();
    // Marks the service idle without telling anyone; the returned guard tells them when it goes.
    [[nodiscard]] QScopeGuard<std::function<void()>> publishIdleAfterCompletion();

    // Runs `work` on the GUI thread if the service still exists; safe from any thread, because the
    // service waits for its connections' threads before it goes away.
    template <class Work>
    static void onServiceThread(const QPointer<PluginManagementService>& service, Work work);

    void setStatus(PluginManagementStatus value);
    void setHelperIsReachable(bool value);
    void setHelperVersion(std::optional<QString> value);
    void setLastError(std::optional<QString> value);
    void setLastHandshakeNotice(std::optional<QString> value);
    void setIsWorking(bool value);

    PluginManagementStatus m_status = PluginManagementStatus::notRegistered;
    bool m_helperIsReachable = false;
    std::optional<QString> m_helperVersion;
    std::optional<QString> m_lastError;
    std::optional<QString> m_lastHandshakeNotice;
    bool m_isWorking = false;

    std::unique_ptr<ServiceRegistry> m_registry;
    HelperConnectionFactory m_connections;
    InstallLayout m_layout;
    std::unique_ptr<HelperConnection> m_connection;
    // Counts connections; a callback whose generation is not the current one is dropped.
    quint64 m_generation = 0;
    bool m_requestInFlight = false;
    bool m_closeAfterRequest = false;
    // Set while a silent handshake runs that must not wipe out the last error: the refresh after a
    // failed registration change, or the reconnect after the helper closed an idle connection.
    bool m_keepLastError = false;
    // The current connection has shaken hands and no request on it has failed: when the helper closes
    // it, it was idle and is opened again at once.
    bool m_reconnectWhenClosed = false;
};

} // namespace quorvane
