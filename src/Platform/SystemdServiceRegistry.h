#pragma once

#include "Platform/ServiceRegistry.h"

#include <QObject>
#include <QString>
#include <QStringList>

namespace quorvane {

// The helper's systemd units: the socket systemd listens on and the service it starts on the first
// connection. Status comes from `systemctl is-enabled` and `is-active`; a registration change runs
// `systemctl` through `pkexec`, so the administrator approves it. Both programs are looked up on
// PATH when they are needed.
class SystemdServiceRegistry final : public QObject, public ServiceRegistry {
    Q_OBJECT

public:
    // `endpoint`: where the socket unit listens. `systemdRunFolder`: the folder systemd makes when it
    // runs as the init system.
    explicit SystemdServiceRegistry(HelperEndpoint endpoint,
                                    QString systemdRunFolder = QStringLiteral("/run/systemd/system"),
                                    QObject* parent = nullptr);

    static QString socketUnit();
    static QString serviceUnit();

    ServiceRegistrationStatus status() override;
    // `pkexec systemctl enable --now <socket>`.
    void registerService(Completion done) override;
    // `pkexec systemctl disable --now <socket> <service>`.
    void unregisterService(Completion done) override;
    HelperEndpoint endpoint() const override;

private:
    void runPrivileged(const QStringList& systemctlArguments, Completion done);

    HelperEndpoint m_endpoint;
    QString m_systemdRunFolder;
};

} // namespace quorvane
