#pragma once

#include "Helper/HelperServer.h"
#include "Helper/MoveOperation.h"
#include "Platform/ConsoleUser.h"
#include "Platform/UnixSocketListener.h"
#include "Shared/SystemRoots.h"

#include <QString>

namespace quorvane {

struct HelperDaemonOptions {
    SystemRoots roots;
    UnixSocketListener listener;
    const ConsoleUserProvider* consoleUsers = nullptr;
    // The only program allowed to call.
    QString clientExecutable;
    // Who must own that program (see ClientRequirement).
    uid_t clientExecutableOwner = 0;
    MoveOperation* move = nullptr;
    QString reportedBuild;
    HelperServerLimits limits;
};

// The application binary installed beside the helper: <prefix>/bin/quorvane for a helper at
// <prefix>/libexec/quorvane/quorvane-helper, in the build tree as in an installation.
QString applicationExecutableBeside(const QString& helperExecutable);
// This process's own binary, from /proc/self/exe.
QString currentExecutable();

// Rolls back a transaction an earlier run left half done, logs the ready line and serves until
// SIGTERM, SIGINT or SIGHUP; a transaction in progress is finished first. Returns the process's exit
// code.
int runHelperDaemon(HelperDaemonOptions options);

} // namespace quorvane
