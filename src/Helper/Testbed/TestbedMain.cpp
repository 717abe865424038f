// The helper for development and the end-to-end tests: the same library under temporary roots, on
// its own socket, with a fixed console user and fault injection. Never installed.
//
//   quorvane-helper-testbed --root DIR [--socket PATH] [--console-uid N --console-home DIR]
//       [--client-exe PATH] [--fail-move N] [--fail-rollback-step N] [--pause-before-move N]
//       [--pause-before-placement N] [--pause-before-commit 1] [--pause-before-lock 1]
//       [--pause-ms MS] [--resume-on-input 1]
//       [--fault-transaction N] [--report-build BUILD]
//       [--max-connections N] [--partial-frame-ms MS] [--fail-connection-thread N]
//
// The faults hit every transaction, or with --fault-transaction only the n-th one.
//
// --pause-before-placement N pauses a Trash move or recovery between the two renames of its n-th
// bundle; --pause-before-commit 1 once every bundle is moved, before the transaction is marked
// committed; --pause-before-lock 1 each request once read, before it takes the transaction lock.
// With --resume-on-input, a pause also ends when a byte arrives on standard input.
// --fail-connection-thread N makes starting the thread of the N-th accepted connection fail as it
// does when the system is out of threads.

#include "Helper/FaultInjectingMoveOperation.h"
#include "Helper/HelperDaemon.h"
#include "Platform/ConsoleUser.h"
#include "Platform/HelperLog.h"
#include "Shared/FrameCodec.h"
#include "Support/Paths.h"

#include <QDir>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

int usage(const char* problem) {
    std::fprintf(stderr, "quorvane-helper-testbed: %s\n", problem);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    using namespace quorvane;
    ::umask(022);
    HelperLog::install();

    std::map<QString, QString> values;
    for (int index = 1; index < argc; ++index) {
        const QString flag = QString::fromLocal8Bit(argv[index]);
        if (!flag.startsWith(QLatin1String("--")) || index + 1 >= argc)
            return usage("every option takes one value");
        values[flag.mid(2)] = QString::fromLocal8Bit(argv[++index]);
    }
    const auto value = [&](const char* name) {
        const auto found = values.find(QString::fromLatin1(name));
        return found == values.end() ? QString() : found->second;
    };
    const auto number = [&](const char* name) { return value(name).toInt(); };

    if (value("root").isEmpty())
        return usage("--root is required");
    const SystemRoots roots = SystemRoots::underPrefix(value("root"));
    if (roots.isProduction())
        return usage("--root must not be /");

    std::optional<ConsoleUser> fixedUser;
    if (!value("console-uid").isEmpty())
        fixedUser = ConsoleUser{uid_t(value("console-uid").toUInt()), QStringLiteral("console"),
                                value("console-home")};
    LogindConsoleUserProvider logind;
    FixedConsoleUserProvider fixed(fixedUser);
    const bool useFixed = !value("console-uid").isEmpty();

    const QString socketPath =
        value("socket").isEmpty() ? helperSocketPath(roots) : standardizedPath(value("socket"));
    QDir().mkpath(deletingLastPathComponent(socketPath));
    QDir().mkpath(deletingLastPathComponent(helperTransactionLockPath(roots)));
    auto listener = UnixSocketListener::listenAt(socketPath, 0666);
    if (!listener)
        return usage(qPrintable(
            QStringLiteral("cannot listen on %1: %2").arg(socketPath, listener.error().description())));

    FaultPlan plan;
    plan.failMove = number("fail-move");
    plan.failRollbackStep = number("fail-rollback-step");
    plan.pauseBeforeMove = number("pause-before-move");
    plan.onlyTransaction = number("fault-transaction");
    plan.pauseBeforePlacement = number("pause-before-placement");
    plan.pauseBeforeCommit = number("pause-before-commit") != 0;
    plan.pauseBeforeLock = number("pause-before-lock") != 0;
    if (!value("pause-ms").isEmpty())
        plan.pause = std::chrono::milliseconds(number("pause-ms"));
    if (number("resume-on-input") != 0)
        plan.resumeDescriptor = STDIN_FILENO;
    RenameMoveOperation realMove;
    FaultInjectingMoveOperation faults(plan, realMove);

    HelperDaemonOptions options;
    options.roots = roots;
    options.listener = std::move(*listener);
    options.consoleUsers = useFixed ? static_cast<const ConsoleUserProvider*>(&fixed) : &logind;
    options.clientExecutable = value("client-exe").isEmpty()
                                   ? applicationExecutableBeside(currentExecutable())
                                   : standardizedPath(value("client-exe"));
    // The application it serves is a build of the developer's own, not a root-owned installation.
    options.clientExecutableOwner = ::getuid();
    options.move = plan == FaultPlan{} ? nullptr : &faults;
    options.reportedBuild = value("report-build");
    if (!value("max-connections").isEmpty())
        options.limits.maxConnections = number("max-connections");
    if (!value("partial-frame-ms").isEmpty())
        options.limits.partialFrameTimeout = std::chrono::milliseconds(number("partial-frame-ms"));
    if (const int failing = number("fail-connection-thread"); failing > 0) {
        options.limits.startThread = [failing, started = 0](std::function<void()> serve) mutable {
            if (++started == failing)
                throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                                        "thread creation refused by the testbed");
            return std::thread(std::move(serve));
        };
    }
    return runHelperDaemon(std::move(options));
}
