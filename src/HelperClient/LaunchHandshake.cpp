#include "HelperClient/LaunchHandshake.h"

#include "HelperClient/UnixSocketHelperConnection.h"
#include "Platform/SystemdServiceRegistry.h"
#include "Shared/FrameCodec.h"
#include "Shared/QuorvaneHelperProtocol.h"
#include "Shared/SystemRoots.h"
#include "Store/AppVersion.h"

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QTimer>

namespace quorvane {

namespace {

// One handshake on a connection of its own; deletes itself once it has called `done`.
class HandshakeCall final : public QObject {
public:
    HandshakeCall(std::unique_ptr<HelperConnection> connection, std::function<void()> done,
                  std::chrono::milliseconds patience)
        : m_connection(std::move(connection)), m_done(std::move(done)) {
        // Ended with the application at the latest.
        setParent(QCoreApplication::instance());
        QTimer::singleShot(patience, this, [this] { finish(); });
        const QPointer<HandshakeCall> self(this);
        // From the connection's threads. The call outlives them: destroying it waits for them.
        const auto finishLater = [self] {
            if (QObject* context = self.data())
                QMetaObject::invokeMethod(
                    context,
                    [self] {
                        if (self)
                            self->finish();
                    },
                    Qt::QueuedConnection);
        };
        if (!m_connection) {
            finishLater();
            return;
        }
        m_connection->setInterruptionHandler(finishLater);
        m_connection->resume();
        if (!m_connection->call(QString::fromLatin1(FrameMethod::handshake), {appVersionLabel()},
                                [finishLater](const HelperConnection::Reply&) { finishLater(); }))
            finishLater();
    }

private:
    void finish() {
        if (!m_done)
            return;
        if (m_connection) {
            m_connection->setInterruptionHandler({});
            m_connection->invalidate();
        }
        const auto done = std::move(m_done);
        m_done = nullptr;
        deleteLater();
        done();
    }

    std::unique_ptr<HelperConnection> m_connection;
    std::function<void()> m_done;
};

} // namespace

StoreEnvironment::HelperHandshake launchHandshake(std::shared_ptr<ServiceRegistry> registry,
                                                  HelperConnectionFactory connections,
                                                  std::chrono::milliseconds patience) {
    return [registry = std::move(registry), connections = std::move(connections),
            patience](std::function<void()> done) {
        if (registry->status() != ServiceRegistrationStatus::enabled)
            return false;
        new HandshakeCall(connections(registry->endpoint()), std::move(done), patience);
        return true;
    };
}

StoreEnvironment::HelperHandshake productionLaunchHandshake() {
    return launchHandshake(std::make_shared<SystemdServiceRegistry>(
                               HelperEndpoint{helperSocketPath(SystemRoots::production()), 0}),
                           UnixSocketHelperConnection::factory());
}

} // namespace quorvane
