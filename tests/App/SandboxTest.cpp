#include "App/Sandbox/Sandbox.h"
#include "App/RootView.h"
#include "Shared/PathPolicy.h"
#include "Support/Fixtures/TemporaryTree.h"
#include "Views/Kit/InfoBar.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/SymbolLabel.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>

#include <optional>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

const Plugin* findProduct(const PluginList& plugins, const QString& manufacturer, const QString& name) {
    for (const Plugin& plugin : plugins) {
        if (plugin.manufacturer == manufacturer && plugin.name == name)
            return &plugin;
    }
    return nullptr;
}

// The sandboxed window with the testbed as its helper: the handshake succeeds, a scan finds every
// sample bundle, protection comes from the sandbox's state and the shell rule, and a quarantine
// through the testbed moves the bundle on disk.
TEST(Sandbox, runsTheWindowOverTheSampleTreeWithTheTestbedAsHelper) {
    testing::TemporaryTree dir;
    auto sandbox = Sandbox::create(dir.path(QStringLiteral("sandbox")));
    ASSERT_TRUE(sandbox) << sandbox.error().toStdString();
    RootView window((*sandbox)->objects());
    PluginManagementService& service = window.managementService();
    PluginInventoryStore& store = window.inventoryStore();

    ASSERT_TRUE(Sandbox::waitUntil([&] { return service.helperIsReachable(); }))
        << (*sandbox)->testbed()->output().toStdString()
        << service.lastError().value_or(QString()).toStdString();
    EXPECT_EQ(service.status(), PluginManagementStatus::enabled);
    EXPECT_EQ(service.helperVersion(), QStringLiteral("40"));
    EXPECT_TRUE(service.isReadyForPrivilegedRequests());
    for (const DirectDistributionReadinessCheck& check : service.releaseReadinessChecks())
        EXPECT_TRUE(check.passed) << check.id.toStdString() << ": " << check.detail.toStdString();

    store.startScan(window.folderAccess().authorizedFolders(), &service);
    ASSERT_TRUE(Sandbox::waitUntil([&] { return !store.isScanning(); }));

    QStringList formatsSeen;
    for (const SampleBundle& sample : (*sandbox)->samples) {
        const Plugin* product = findProduct(store.plugins(), sample.manufacturer, sample.name);
        ASSERT_NE(product, nullptr) << sample.path.toStdString();
        EXPECT_TRUE(product->formats.contains(sample.format)) << sample.path.toStdString();
        formatsSeen.append(sample.format);
    }
    for (const char* format : {"AU", "VST2", "VST3", "AAX", "CLAP"})
        EXPECT_TRUE(formatsSeen.contains(QLatin1String(format))) << format;
    for (const QString& hosted : SampleTree::shellHostedNames()) {
        const Plugin* product = findProduct(store.plugins(), QStringLiteral("Waves"), hosted);
        ASSERT_NE(product, nullptr) << hosted.toStdString();
        EXPECT_EQ(product->status, PluginStatus::hostedByShell);
    }
    const Plugin* shell =
        findProduct(store.plugins(), QStringLiteral("Waves"), QStringLiteral("WaveShell1-AU 14.0"));
    ASSERT_NE(shell, nullptr);
    EXPECT_TRUE(shell->isProtected);
    const Plugin* kept =
        findProduct(store.plugins(), SampleTree::protectedManufacturer(), SampleTree::protectedName());
    ASSERT_NE(kept, nullptr);
    EXPECT_TRUE(kept->isProtected);

    const Plugin* proR = findProduct(store.plugins(), QStringLiteral("FabFilter"), QStringLiteral("Pro-R 2"));
    ASSERT_NE(proR, nullptr);
    EXPECT_FALSE(proR->isProtected);
    const PluginBundleRecord record = proR->bundleRecords().front();
    const auto request = store.beginPrivileged<PrivilegedKind::quarantine>({{proR->id, record.id()}});
    ASSERT_TRUE(request);
    std::optional<bool> committed;
    service.send(*request, [&](const PrivilegedQuarantineResult& result) {
        committed = store.completePrivileged(result, request->transactionID, request->items);
    });
    ASSERT_TRUE(Sandbox::waitUntil([&] { return committed.has_value(); }));
    EXPECT_TRUE(*committed);
    EXPECT_FALSE(QFileInfo::exists(record.path));
    QDirIterator moved(PathPolicy((*sandbox)->roots).quarantineRoot(), {QStringLiteral("Pro-R 2.vst3")},
                       QDir::Dirs, QDirIterator::Subdirectories);
    EXPECT_TRUE(moved.hasNext());
}

// The Plugin Management screen of the sandboxed window shows the testbed as a ready helper, and
// its secure helper test passes against it.
TEST(Sandbox, PluginManagementShowsTheHelperReady) {
    testing::TemporaryTree dir;
    auto sandbox = Sandbox::create(dir.path(QStringLiteral("sandbox")));
    ASSERT_TRUE(sandbox) << sandbox.error().toStdString();
    RootView window((*sandbox)->objects());
    window.show();
    window.navigation().setSection(AppSection::pluginManagement);
    QWidget* screen = window.currentScreen();
    ASSERT_EQ(screen->objectName(), QStringLiteral("pluginManagementView"));

    const auto title = [&] {
        return screen->findChild<SymbolLabel*>(QStringLiteral("managementStatusTitle"));
    };
    const auto label = [&](const char* name) { return screen->findChild<QLabel*>(QLatin1String(name)); };
    ASSERT_TRUE(Sandbox::waitUntil([&] {
        return title()->text() == QStringLiteral("Enabled") && title()->color() == Palette::green();
    })) << (*sandbox)->testbed()->output().toStdString();
    EXPECT_EQ(label("releaseReadinessCount")->text(), QStringLiteral("6/6"));
    EXPECT_TRUE(QFileInfo::exists(window.managementService().installLayout().approvalHelpPage()));
    EXPECT_EQ(screen->findChild<InfoBar*>(QStringLiteral("releaseReadinessSummary"))->text(),
              QStringLiteral("Ready for controlled release-candidate archive testing."));
    auto* test = screen->findChild<KitButton*>(QStringLiteral("testSecureHelperButton"));
    ASSERT_NE(test, nullptr);
    test->click();
    ASSERT_TRUE(Sandbox::waitUntil(
        [&] { return screen->findChild<InfoBar*>(QStringLiteral("handshakeNoticeInfoBar")) != nullptr; }));
    EXPECT_EQ(screen->findChild<InfoBar*>(QStringLiteral("handshakeNoticeInfoBar"))->text(),
              QStringLiteral("Secure helper test passed. QuorvaneHelper Build 40 is connected."));
}

// Processes whose command line mentions `text`.
int processesMentioning(const QString& text) {
    int found = 0;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile cmdline(QStringLiteral("/proc/") + entry + QStringLiteral("/cmdline"));
        if (entry.toInt() > 0 && cmdline.open(QIODevice::ReadOnly) &&
            cmdline.readAll().contains(text.toUtf8()))
            ++found;
    }
    return found;
}

struct Finished {
    int exitCode = -1;
    QString errors;
};

// Runs one of the build tree's programs offscreen and waits for it to end by itself.
std::optional<Finished> runToEnd(const QString& program, const QStringList& arguments,
                                 const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(Sandbox::buildTree().prefix + program, arguments);
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    return Finished{process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError())};
}

QProcessEnvironment offscreen() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return environment;
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// Killing the sandbox outright also ends its testbed, which would otherwise go on serving the
// folder. While it runs, a second sandbox on its folder ends at once; once it is killed, its lock
// is gone with it.
TEST(Sandbox, TheTestbedEndsWithTheSandboxEvenWhenItIsKilled) {
    testing::TemporaryTree dir;
    const QString folder = dir.path(QStringLiteral("killed-sandbox"));
    QProcess sandbox;
    sandbox.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sandbox.setProcessEnvironment(offscreen());
    sandbox.start(Sandbox::buildTree().prefix + QStringLiteral("/bin/quorvane-sandbox"), {folder});
    ASSERT_TRUE(sandbox.waitForStarted());
    ASSERT_TRUE(
        Sandbox::waitUntil([&] { return processesMentioning(folder + QStringLiteral("/run")) == 1; }));

    const auto second = runToEnd(QStringLiteral("/bin/quorvane-sandbox"), {folder}, offscreen());
    ASSERT_TRUE(second) << "the second sandbox did not end by itself";
    EXPECT_EQ(second->exitCode, 1);
    EXPECT_TRUE(second->errors.contains(QStringLiteral("Quorvane is already running")))
        << second->errors.toStdString();
    EXPECT_EQ(sandbox.state(), QProcess::Running);

    sandbox.kill();
    ASSERT_TRUE(sandbox.waitForFinished());
    EXPECT_TRUE(Sandbox::waitUntil([&] { return processesMentioning(folder) == 0; }, 10000));
    Sandbox::Options options;
    options.startHelper = false;
    EXPECT_TRUE(Sandbox::create(folder, options));
}

// The application itself refuses a data folder another instance holds, before it writes there.
TEST(Sandbox, TheApplicationDoesNotStartOnAFolderInUse) {
    testing::TemporaryTree dir;
    Sandbox::Options options;
    options.startHelper = false;
    auto running = Sandbox::create(dir.path(QStringLiteral("sandbox")), options);
    ASSERT_TRUE(running) << running.error().toStdString();
    const QByteArray before = contents((*running)->stateFile());

    QProcessEnvironment environment = offscreen();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), (*running)->applicationSupport);
    const auto second = runToEnd(QStringLiteral("/bin/quorvane"), {}, environment);
    ASSERT_TRUE(second) << "the application did not end by itself";
    EXPECT_EQ(second->exitCode, 1);
    EXPECT_TRUE(second->errors.contains(QStringLiteral("Quorvane is already running")))
        << second->errors.toStdString();
    EXPECT_EQ(contents((*running)->stateFile()), before);
}

// A folder that already holds a sandbox keeps its state: the first state file is not written
// again, so what the user did there survives a restart.
TEST(Sandbox, reusesAnExistingFolderAsItStands) {
    testing::TemporaryTree dir;
    const QString folder = dir.path(QStringLiteral("sandbox"));
    Sandbox::Options options;
    options.startHelper = false;
    auto first = Sandbox::create(folder, options);
    ASSERT_TRUE(first);
    QFile state((*first)->stateFile());
    ASSERT_TRUE(state.open(QIODevice::Append));
    state.write("\n");
    state.close();
    const qint64 size = QFileInfo(state).size();
    // A bundle the user moved away is not written again.
    const QString moved = (*first)->samples.front().path;
    ASSERT_TRUE(QDir(moved).removeRecursively());

    // Not while the first holds the folder.
    const auto refused = Sandbox::create(folder, options);
    ASSERT_FALSE(refused);
    EXPECT_TRUE(refused.error().startsWith(QStringLiteral("Quorvane is already running")));
    const size_t sampleCount = (*first)->samples.size();
    first->reset();

    auto second = Sandbox::create(folder, options);
    ASSERT_TRUE(second) << second.error().toStdString();
    EXPECT_EQ(QFileInfo((*second)->stateFile()).size(), size);
    EXPECT_FALSE(QFileInfo::exists(moved));
    EXPECT_EQ((*second)->samples.size(), sampleCount);
    EXPECT_FALSE(Sandbox::create(QString()));
}

} // namespace
} // namespace quorvane
