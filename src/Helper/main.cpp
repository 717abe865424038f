// The privileged helper as systemd runs it: no arguments, no environment, production roots.

#include "Helper/HelperDaemon.h"
#include "Platform/ConsoleUser.h"
#include "Platform/HelperLog.h"

#include <cstdlib>
#include <sys/stat.h>

int main() {
    using namespace quorvane;
    ::umask(022);
    // sd_listen_fds reads and then removes LISTEN_FDS/LISTEN_PID; nothing else of the environment is
    // ever looked at, by us or by the libraries.
    auto listener = UnixSocketListener::fromSocketActivation();
    ::clearenv();
    HelperLog::install();
    if (!listener) {
        qCCritical(helperLifecycleLog, "QuorvaneHelper must be started by its systemd socket unit");
        return EXIT_FAILURE;
    }
    LogindConsoleUserProvider consoleUsers;
    HelperDaemonOptions options;
    options.roots = SystemRoots::production();
    options.listener = std::move(*listener);
    options.consoleUsers = &consoleUsers;
    options.clientExecutable = applicationExecutableBeside(currentExecutable());
    return runHelperDaemon(std::move(options));
}
