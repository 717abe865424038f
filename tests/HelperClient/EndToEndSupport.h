#pragma once

#include "HelperClient/PluginManagementService.h"
#include "HelperClient/UnixSocketHelperConnection.h"
#include "Platform/HomeTrash.h"
#include "Platform/SupervisedChildRegistry.h"
#include "Shared/PathPolicy.h"
#include "Shared/SystemRoots.h"
#include "Support/Fixtures/FixturePluginBundles.h"
#include "Support/Fixtures/TemporaryTree.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::testing {

// An unused uid that owns the fake console user's home and Trash, as a real desktop user would.
inline constexpr uid_t consoleTestUid = 60001;

// A temporary machine: the approved plug-in roots and the quarantine root under a prefix, and a
// console user whose home Trash belongs to that user.
class TestMachine {
public:
    TestMachine()
        : roots(SystemRoots::underPrefix(tree.makeDirectory(QStringLiteral("machine")))), policy(roots),
          home(tree.makeDirectory(QStringLiteral("home/console"))), trash(HomeTrash::filesFolder(home)) {
        for (const QString& root : policy.approvedSystemPluginRoots())
            QDir().mkpath(root);
    }

    // The Trash's files/ and info/ folders, owned by the console user.
    void makeConsoleTrash() const {
        QDir().mkpath(trash);
        QDir().mkpath(HomeTrash::infoFolder(home));
        for (const QString& folder : {trash, HomeTrash::infoFolder(home), trash.section(u'/', 0, -2), home})
            (void)::chown(QFile::encodeName(folder).constData(), consoleTestUid, consoleTestUid);
    }

    QString vst3(const QString& name) const { return policy.approvedSystemPluginRoots().at(2) + u'/' + name; }
    QString component(const QString& name) const {
        return policy.approvedSystemPluginRoots().at(0) + u'/' + name;
    }

    static bool isDirectory(const QString& path) {
        struct stat status {};
        return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
    }

    SupervisedChildRegistry::Options testbed(const QStringList& extra = {}) const {
        return {QStringLiteral(QUORVANE_HELPER_TESTBED),
                QStringList{QStringLiteral("--root"), roots.prefix, QStringLiteral("--console-uid"),
                            QString::number(consoleTestUid), QStringLiteral("--console-home"), home,
                            QStringLiteral("--client-exe"), QCoreApplication::applicationFilePath()} +
                    extra,
                tree.path(QStringLiteral("run/helper.sock"))};
    }

    TemporaryTree tree;
    SystemRoots roots;
    PathPolicy policy;
    QString home;
    QString trash;
};

// The service object with the testbed as its supervised helper and the real socket connection.
struct TestbedService {
    explicit TestbedService(const TestMachine& machine, const QStringList& extra = {}) {
        auto owned = std::make_unique<SupervisedChildRegistry>(machine.testbed(extra));
        registry = owned.get();
        service = std::make_unique<PluginManagementService>(
            std::move(owned), UnixSocketHelperConnection::factory(), InstallLayout{machine.tree.path()});
    }

    // Registers (starts the testbed) and waits for the handshake's outcome.
    bool start() {
        service->registerHelper();
        return QTest::qWaitFor(
            [&] {
                return !service->isWorking() &&
                       (service->helperVersion().has_value() || service->lastError().has_value());
            },
            30000);
    }

    template <class Result, class Send>
    std::optional<Result> sendAndWait(Send send, int timeoutMs = 60000) {
        std::optional<Result> result;
        send([&](const Result& value) { result = value; });
        (void)QTest::qWaitFor([&] { return result.has_value(); }, timeoutMs);
        return result;
    }

    SupervisedChildRegistry* registry = nullptr;
    std::unique_ptr<PluginManagementService> service;
};

} // namespace quorvane::testing
