#include "Platform/SystemdServiceRegistry.h"

#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>

namespace quorvane {

namespace {

struct ProcessOutcome {
    bool ran = false;
    int exitCode = -1;
    // The first line of standard output, trimmed: systemctl's answer word.
    QString word;
    QString errors;
};

QProcessEnvironment plainEnvironment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // systemctl's messages are matched below, so they must not be translated.
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    environment.insert(QStringLiteral("SYSTEMD_PAGER"), QString());
    return environment;
}

ProcessOutcome runSystemctl(const QStringList& arguments) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("systemctl"));
    if (program.isEmpty())
        return {};
    QProcess process;
    process.setProcessEnvironment(plainEnvironment());
    process.start(program, arguments);
    process.closeWriteChannel();
    if (!process.waitForStarted(-1) || !process.waitForFinished(-1) ||
        process.exitStatus() != QProcess::NormalExit)
        return {};
    ProcessOutcome outcome;
    outcome.ran = true;
    outcome.exitCode = process.exitCode();
    outcome.word =
        QString::fromUtf8(process.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0).trimmed();
    outcome.errors = QString::fromUtf8(process.readAllStandardError());
    return outcome;
}

bool mentionsMissingUnit(const QString& errors) {
    return errors.contains(QLatin1String("No such file or directory")) ||
           errors.contains(QLatin1String("does not exist")) || errors.contains(QLatin1String("not found"));
}

bool reportsMissingUnit(const ProcessOutcome& outcome) {
    return outcome.word == QLatin1String("not-found") || mentionsMissingUnit(outcome.errors);
}

bool isMasked(const QString& word) {
    return word == QLatin1String("masked") || word == QLatin1String("masked-runtime");
}

bool isEnabledWord(const QString& word) {
    return word == QLatin1String("enabled") || word == QLatin1String("enabled-runtime");
}

// The states of a loaded unit that is not listening (yet, or any more).
bool isKnownInactiveWord(const QString& word) {
    static const QStringList words{QStringLiteral("inactive"),   QStringLiteral("failed"),
                                   QStringLiteral("activating"), QStringLiteral("deactivating"),
                                   QStringLiteral("reloading"),  QStringLiteral("maintenance")};
    return words.contains(word);
}

ServiceRegistryError classifyFailure(int exitCode, const QString& errors) {
    // pkexec's own exit codes: 126 when the prompt was dismissed, 127 when authorisation failed,
    // which includes never having been able to ask (its message says why).
    if (exitCode == 126)
        return ServiceRegistryError::approvalDismissed;
    if (exitCode == 127) {
        if (errors.contains(QLatin1String("Error getting authority")))
            return ServiceRegistryError::approvalAuthorityMissing;
        if (errors.contains(QLatin1String("No authentication agent found")))
            return ServiceRegistryError::approvalAgentMissing;
        return ServiceRegistryError::approvalDenied;
    }
    if (errors.contains(QLatin1String("not been booted with systemd")))
        return ServiceRegistryError::systemdMissing;
    if (errors.contains(QLatin1String("masked")))
        return ServiceRegistryError::unitMasked;
    if (mentionsMissingUnit(errors))
        return ServiceRegistryError::unitMissing;
    return ServiceRegistryError::commandFailed;
}

} // namespace

SystemdServiceRegistry::SystemdServiceRegistry(HelperEndpoint endpoint, QString systemdRunFolder,
                                               QObject* parent)
    : QObject(parent), m_endpoint(std::move(endpoint)), m_systemdRunFolder(std::move(systemdRunFolder)) {}

QString SystemdServiceRegistry::socketUnit() {
    return QStringLiteral("com.orsolind.Quorvane.helper.socket");
}

QString SystemdServiceRegistry::serviceUnit() {
    return QStringLiteral("com.orsolind.Quorvane.helper.service");
}

ServiceRegistrationStatus SystemdServiceRegistry::status() {
    const ProcessOutcome socket = runSystemctl({QStringLiteral("is-enabled"), socketUnit()});
    const ProcessOutcome service = runSystemctl({QStringLiteral("is-enabled"), serviceUnit()});
    if (!socket.ran || !service.ran)
        return ServiceRegistrationStatus::unavailable;
    if (reportsMissingUnit(socket) || reportsMissingUnit(service))
        return ServiceRegistrationStatus::notFound;
    if (isMasked(socket.word) || isMasked(service.word))
        return ServiceRegistrationStatus::requiresApproval;
    if (socket.word == QLatin1String("disabled"))
        return ServiceRegistrationStatus::notRegistered;
    if (!isEnabledWord(socket.word))
        return ServiceRegistrationStatus::unavailable;
    const ProcessOutcome active = runSystemctl({QStringLiteral("is-active"), socketUnit()});
    if (!active.ran)
        return ServiceRegistrationStatus::unavailable;
    if (active.word == QLatin1String("active"))
        return ServiceRegistrationStatus::enabled;
    // Enabled but not listening: starting it needs the administrator again.
    if (isKnownInactiveWord(active.word))
        return ServiceRegistrationStatus::requiresApproval;
    return ServiceRegistrationStatus::unavailable;
}

void SystemdServiceRegistry::registerService(Completion done) {
    runPrivileged({QStringLiteral("enable"), QStringLiteral("--now"), socketUnit()}, std::move(done));
}

void SystemdServiceRegistry::unregisterService(Completion done) {
    runPrivileged({QStringLiteral("disable"), QStringLiteral("--now"), socketUnit(), serviceUnit()},
                  std::move(done));
}

HelperEndpoint SystemdServiceRegistry::endpoint() const {
    return m_endpoint;
}

void SystemdServiceRegistry::runPrivileged(const QStringList& systemctlArguments, Completion done) {
    const QString pkexec = QStandardPaths::findExecutable(QStringLiteral("pkexec"));
    const QString systemctl = QStandardPaths::findExecutable(QStringLiteral("systemctl"));
    auto* process = new QProcess(this);
    // Exactly one answer, also when both the error and the finished signal arrive.
    auto answer = std::make_shared<Completion>(std::move(done));
    const auto finish = [process, answer](std::expected<void, ServiceRegistryError> outcome) {
        if (!*answer)
            return;
        const Completion completion = std::exchange(*answer, Completion());
        process->deleteLater();
        completion(outcome);
    };
    // Without systemd as the init system nothing can be enabled, so the administrator is not asked.
    const bool systemdRuns = QFileInfo(m_systemdRunFolder).isDir();
    if (!systemdRuns || pkexec.isEmpty() || systemctl.isEmpty()) {
        const ServiceRegistryError error =
            systemdRuns ? ServiceRegistryError::toolMissing : ServiceRegistryError::systemdMissing;
        // Answered from the event loop, like every other outcome.
        QMetaObject::invokeMethod(
            process, [finish, error] { finish(std::unexpected(error)); }, Qt::QueuedConnection);
        return;
    }
    process->setProcessEnvironment(plainEnvironment());
    connect(process, &QProcess::errorOccurred, process, [finish](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(std::unexpected(ServiceRegistryError::toolMissing));
    });
    connect(process, &QProcess::finished, process,
            [process, finish](int exitCode, QProcess::ExitStatus exitStatus) {
                if (exitStatus != QProcess::NormalExit) {
                    finish(std::unexpected(ServiceRegistryError::commandFailed));
                    return;
                }
                if (exitCode == 0) {
                    finish({});
                    return;
                }
                finish(std::unexpected(
                    classifyFailure(exitCode, QString::fromUtf8(process->readAllStandardError()))));
            });
    process->start(pkexec, QStringList{systemctl} + systemctlArguments);
    process->closeWriteChannel();
}

} // namespace quorvane
