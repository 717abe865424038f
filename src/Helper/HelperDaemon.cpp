#include "Helper/HelperDaemon.h"

#include "Helper/HelperServer.h"
#include "Helper/HelperService.h"
#include "Platform/HelperLog.h"
#include "Shared/FrameCodec.h"
#include "Shared/QuorvaneHelperProtocol.h"
#include "Support/Paths.h"

#include <QFile>

#include <csignal>
#include <pthread.h>
#include <thread>

namespace quorvane {

QString applicationExecutableBeside(const QString& helperExecutable) {
    return standardizedPath(deletingLastPathComponent(helperExecutable) +
                            QStringLiteral("/../../bin/quorvane"));
}

QString currentExecutable() {
    return QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
}

int runHelperDaemon(HelperDaemonOptions options) {
    // Signals are taken by one thread only, so that they never interrupt a transaction.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    HelperServiceConfiguration configuration;
    configuration.roots = options.roots;
    configuration.transactionLockPath = helperTransactionLockPath(options.roots);
    configuration.move = options.move;
    configuration.reportedBuild = options.reportedBuild.isEmpty() ? helperBuild() : options.reportedBuild;
    HelperService service(configuration, *options.consoleUsers);

    const ConsoleUserProvider* consoleUsers = options.consoleUsers;
    ClientRequirement requirement{options.clientExecutable,
                                  [consoleUsers]() -> std::optional<uid_t> {
                                      const auto user = consoleUsers->consoleUser();
                                      if (!user)
                                          return std::nullopt;
                                      return user->uid;
                                  },
                                  options.clientExecutableOwner};
    HelperServer server(service, requirement, std::move(options.limits));

    std::thread signalWaiter([&server, stopSignals] {
        int received = 0;
        sigwait(&stopSignals, &received);
        qCInfo(helperLifecycleLog, "QuorvaneHelper is stopping");
        server.stop();
    });

    // Clients that connect meanwhile wait in the listen queue: nothing is served before the disk is
    // back to what the application's journal expects.
    (void)service.recoverInterruptedTransaction();
    qCInfo(helperLifecycleLog, "QuorvaneHelper Build %s is ready", qUtf8Printable(helperBuild()));
    server.run(options.listener);
    signalWaiter.join();
    return 0;
}

} // namespace quorvane
