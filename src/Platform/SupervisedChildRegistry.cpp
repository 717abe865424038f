#include "Platform/SupervisedChildRegistry.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace quorvane {

namespace {

// The line the helper logs once its socket accepts connections.
const QString readyLine = QStringLiteral(" is ready");

} // namespace

SupervisedChildRegistry::SupervisedChildRegistry(Options options, QObject* parent)
    : QObject(parent), m_options(std::move(options)) {
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // The child stops with this process even when it is killed and never runs its destructor, so
    // no helper is left serving the folder after the application has gone.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    connect(&m_process, &QProcess::readyRead, this, &SupervisedChildRegistry::readOutput);
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        m_state = State::stopped;
        answerStart(std::unexpected(ServiceRegistryError::toolMissing));
    });
    connect(&m_process, &QProcess::finished, this, [this](int, QProcess::ExitStatus) {
        readOutput();
        const bool wasStarting = m_state == State::starting;
        m_state = std::exchange(m_stopping, false) ? State::stopped : State::ended;
        if (wasStarting)
            answerStart(std::unexpected(ServiceRegistryError::commandFailed));
        // Answered from the event loop: a waiter may start the child again at once.
        for (Completion& done : std::exchange(m_stopWaiters, {}))
            QMetaObject::invokeMethod(
                this, [done = std::move(done)] { done({}); }, Qt::QueuedConnection);
    });
}

SupervisedChildRegistry::~SupervisedChildRegistry() {
    m_process.disconnect(this);
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    // The helper finishes a transaction in progress before it exits.
    if (!m_process.waitForFinished(60000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

ServiceRegistrationStatus SupervisedChildRegistry::status() {
    switch (m_state) {
    case State::ready:
        return ServiceRegistrationStatus::enabled;
    case State::starting:
        return ServiceRegistrationStatus::requiresApproval;
    case State::ended:
        return ServiceRegistrationStatus::unavailable;
    case State::stopped:
        break;
    }
    const QFileInfo program(m_options.executable);
    if (!program.isFile() || !program.isExecutable())
        return ServiceRegistrationStatus::notFound;
    return ServiceRegistrationStatus::notRegistered;
}

void SupervisedChildRegistry::registerService(Completion done) {
    if (m_state == State::ready) {
        QMetaObject::invokeMethod(
            this, [done] { done({}); }, Qt::QueuedConnection);
        return;
    }
    m_startWaiters.push_back(std::move(done));
    if (m_state == State::starting)
        return;
    m_state = State::starting;
    m_output.clear();
    m_process.start(m_options.executable,
                    m_options.arguments + QStringList{QStringLiteral("--socket"), m_options.socketPath});
}

void SupervisedChildRegistry::unregisterService(Completion done) {
    if (m_process.state() == QProcess::NotRunning) {
        m_state = State::stopped;
        QMetaObject::invokeMethod(
            this, [done] { done({}); }, Qt::QueuedConnection);
        return;
    }
    m_stopWaiters.push_back(std::move(done));
    m_stopping = true;
    m_process.terminate();
}

HelperEndpoint SupervisedChildRegistry::endpoint() const {
    return HelperEndpoint{m_options.socketPath, ::getuid()};
}

void SupervisedChildRegistry::kill() {
    if (m_process.state() != QProcess::NotRunning)
        m_process.kill();
}

bool SupervisedChildRegistry::waitForOutput(const QString& text, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!m_output.contains(text)) {
        if (timer.elapsed() > timeoutMs || m_process.state() == QProcess::NotRunning)
            return m_output.contains(text);
        m_process.waitForReadyRead(50);
    }
    return true;
}

void SupervisedChildRegistry::readOutput() {
    m_output += QString::fromUtf8(m_process.readAll());
    if (m_state == State::starting && m_output.contains(readyLine)) {
        m_state = State::ready;
        answerStart({});
    }
}

void SupervisedChildRegistry::answerStart(std::expected<void, ServiceRegistryError> outcome) {
    for (const Completion& done : std::exchange(m_startWaiters, {}))
        done(outcome);
}

} // namespace quorvane
