#pragma once

#include "Platform/ServiceRegistry.h"

#include <QObject>
#include <QProcess>
#include <QStringList>

namespace quorvane {

// Runs a helper program (the testbed) as a child of this process in place of the system's service,
// for development and the end-to-end tests. Registering starts it on `socketPath` and answers once
// it has logged that it is ready; unregistering stops it. The child runs as this process's user, so
// its socket is expected to belong to that user.
class SupervisedChildRegistry final : public QObject, public ServiceRegistry {
    Q_OBJECT

public:
    struct Options {
        QString executable;
        // Everything but the socket, which is added from `socketPath`.
        QStringList arguments;
        QString socketPath;
    };

    explicit SupervisedChildRegistry(Options options, QObject* parent = nullptr);
    // Stops a running child and waits for it.
    ~SupervisedChildRegistry() override;

    // notFound without an executable program, notRegistered before the first start and after a
    // stop, requiresApproval while starting, enabled once ready, unavailable after the child
    // ended by itself.
    ServiceRegistrationStatus status() override;
    void registerService(Completion done) override;
    void unregisterService(Completion done) override;
    HelperEndpoint endpoint() const override;

    // What the child wrote to stdout and stderr so far.
    QString output() const { return m_output; }
    qint64 processId() const { return m_process.processId(); }
    // Ends the child at once, as a crash would.
    void kill();
    // Waits until the child has written `text`, or has ended; true when the text was seen.
    bool waitForOutput(const QString& text, int timeoutMs);

private:
    enum class State { stopped, starting, ready, ended };

    void readOutput();
    void answerStart(std::expected<void, ServiceRegistryError> outcome);

    Options m_options;
    QProcess m_process;
    State m_state = State::stopped;
    bool m_stopping = false;
    QString m_output;
    std::vector<Completion> m_startWaiters;
    std::vector<Completion> m_stopWaiters;
};

} // namespace quorvane
