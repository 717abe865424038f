#include "App/Sandbox/Sandbox.h"

#include "App/FileDialogFolderPicker.h"
#include "Discovery/PluginFolderAccess.h"
#include "HelperClient/UnixSocketHelperConnection.h"
#include "Model/Identity.h"
#include "Persistence/StateFile.h"
#include "Persistence/StateFileLocations.h"
#include "Platform/HomeTrash.h"
#include "Shared/PathPolicy.h"
#include "Store/StoreEnvironment.h"
#include "Support/Paths.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QThread>

#include <unistd.h>

namespace quorvane {

namespace {

// Stands in for the desktop user when the sandbox runs as root, whose Trash the helper refuses.
constexpr uid_t standInConsoleUid = 60001;

bool makeFolder(const QString& path) {
    return QDir().mkpath(path);
}

} // namespace

std::expected<std::unique_ptr<Sandbox>, QString> Sandbox::create(const QString& directory) {
    return create(directory, Options{});
}

std::expected<std::unique_ptr<Sandbox>, QString> Sandbox::create(const QString& directory, Options options) {
    if (directory.isEmpty())
        return std::unexpected(QStringLiteral("The sandbox needs a folder."));
    std::unique_ptr<Sandbox> sandbox(new Sandbox);
    sandbox->m_options = std::move(options);
    sandbox->directory = standardizedPath(QDir(directory).absolutePath());
    if (auto prepared = sandbox->prepare(); !prepared)
        return std::unexpected(prepared.error());
    return sandbox;
}

std::expected<void, QString> Sandbox::prepare() {
    const auto cannotCreate = [](const QString& path) {
        return std::unexpected(QStringLiteral("Cannot create %1.").arg(path));
    };
    applicationSupport = directory + QStringLiteral("/data");
    auto lock = InstanceLock::acquire(applicationSupport);
    if (!lock)
        return std::unexpected(lock.error());
    m_lock = std::move(*lock);
    const QString rootFolder = directory + QStringLiteral("/root");
    if (!makeFolder(rootFolder))
        return cannotCreate(rootFolder);
    roots = SystemRoots::underPrefix(rootFolder);
    home = directory + QStringLiteral("/home");
    settingsFile = directory + QStringLiteral("/settings.ini");
    socketPath = directory + QStringLiteral("/run/helper.sock");

    // A folder without a state file is new: it gets the sample tree, the protected product and the
    // authorised roots. Otherwise everything stays as the last run left it.
    const bool firstUse = !QFileInfo::exists(stateFile());
    const PathPolicy policy(roots);
    for (const QString& folder : policy.approvedSystemPluginRoots() + QStringList{policy.quarantineRoot()}) {
        if (!makeFolder(folder))
            return cannotCreate(folder);
    }
    if (firstUse) {
        auto written = SampleTree::write(roots);
        if (!written)
            return cannotCreate(written.error());
        samples = std::move(*written);
    } else {
        samples = SampleTree::bundles(roots);
    }

    // The helper moves into the Trash of a console user other than root, and only when that user
    // owns it.
    consoleUid = ::getuid() == 0 ? standInConsoleUid : ::getuid();
    for (const QString& folder : {HomeTrash::filesFolder(home), HomeTrash::infoFolder(home)}) {
        if (!makeFolder(folder))
            return cannotCreate(folder);
    }
    if (::getuid() == 0) {
        for (QString folder = HomeTrash::filesFolder(home); folder.startsWith(home);
             folder = deletingLastPathComponent(folder))
            (void)::chown(QFile::encodeName(folder).constData(), consoleUid, consoleUid);
        (void)::chown(QFile::encodeName(HomeTrash::infoFolder(home)).constData(), consoleUid, consoleUid);
    }

    if (firstUse) {
        if (!makeFolder(deletingLastPathComponent(stateFile())))
            return cannotCreate(stateFile());
        PersistedInventory state;
        state.schemaVersion = currentInventorySchemaVersion;
        state.protectedKeys = {
            productProtectionKey(SampleTree::protectedManufacturer(), SampleTree::protectedName())};
        if (!writeStateFile(state, stateFile()))
            return cannotCreate(stateFile());

        // The roots are authorised together with the first state file, so a scan covers them.
        PluginFolderAccess access({std::make_shared<QSettings>(settingsFile, QSettings::IniFormat), nullptr,
                                   std::make_shared<PlatformFolderSecurityScope>()});
        if (auto added = access.addFolder(QUrl::fromLocalFile(roots.prefix)); !added)
            return std::unexpected(description(added.error()));
    }
    return {};
}

QString Sandbox::stateFile() const {
    return inventoryStateFileURL(applicationSupport);
}

QString Sandbox::trashFolder() const {
    return HomeTrash::filesFolder(home);
}

InstallLayout Sandbox::buildTree() {
    return InstallLayout{QStringLiteral(QUORVANE_BUILD_TREE)};
}

RootViewObjects Sandbox::objects() const {
    std::shared_ptr<FolderPicker> picker = m_options.picker;
    if (!picker)
        picker = std::make_shared<FileDialogFolderPicker>();
    PluginFolderAccess::Services folders{std::make_shared<QSettings>(settingsFile, QSettings::IniFormat),
                                         std::move(picker), std::make_shared<PlatformFolderSecurityScope>()};

    SupervisedChildRegistry::Options child{
        buildTree().prefix + QStringLiteral("/libexec/quorvane/quorvane-helper-testbed"),
        QStringList{QStringLiteral("--root"), roots.prefix, QStringLiteral("--console-uid"),
                    QString::number(consoleUid), QStringLiteral("--console-home"), home,
                    QStringLiteral("--client-exe"), QCoreApplication::applicationFilePath()} +
            m_options.testbedArguments,
        socketPath};
    auto makeService = [child, shared = m_shared, start = m_options.startHelper] {
        auto registry = std::make_unique<SupervisedChildRegistry>(child);
        shared->testbed = registry.get();
        auto service = std::make_unique<PluginManagementService>(
            std::move(registry), UnixSocketHelperConnection::factory(), buildTree());
        if (start)
            service->registerHelper();
        return service;
    };
    return RootViewObjects::with(StoreEnvironment::isolated(applicationSupport, roots, home),
                                 std::move(folders), std::move(makeService));
}

bool Sandbox::waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

} // namespace quorvane
