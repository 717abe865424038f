#pragma once

#include "App/InstanceLock.h"
#include "App/RootViewObjects.h"
#include "App/Sandbox/SampleTree.h"
#include "Discovery/FolderPicker.h"
#include "HelperClient/InstallLayout.h"
#include "Platform/SupervisedChildRegistry.h"
#include "Shared/SystemRoots.h"

#include <QPointer>
#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <expected>
#include <functional>
#include <memory>
#include <vector>

namespace quorvane {

// The whole program beneath one folder, for trying it and for end-to-end tests: the real window's
// objects over SystemRoots::underPrefix(DIR/root) holding the sample tree, a home folder with its
// Trash, the state file and the settings, and the helper testbed, started as a supervised child
// on the same roots, as the privileged helper. Built only with the tests; never installed.
//
// DIR/root       the system roots (the sample bundles, the quarantine folder)
// DIR/home       the console user's home and Trash
// DIR/data       the Application Support folder, holding the state file
// DIR/settings.ini, DIR/run/helper.sock
//
// Like the application, a sandbox holds the lock of its data folder while it lives: a second one
// on the same folder is refused before anything is written.
//
// A folder that already holds a sandbox (it has a state file) is reused as it stands, so
// quarantined bundles stay quarantined. On first use the sample tree is written, the roots are
// authorised for scanning and the sample product named by SampleTree is protected.
//
// An end-to-end test (GUI, offscreen) builds the same window in-process:
//
//     testing::TemporaryTree dir;
//     auto sandbox = Sandbox::create(dir.path());
//     ASSERT_TRUE(sandbox) << sandbox.error().toStdString();
//     RootView window((*sandbox)->objects());
//     ASSERT_TRUE(Sandbox::waitUntil([&] { return window.managementService().helperIsReachable(); }));
//     window.inventoryStore().startScan(window.folderAccess().authorizedFolders(),
//                                       &window.managementService());
//     ASSERT_TRUE(Sandbox::waitUntil([&] { return !window.inventoryStore().isScanning(); }));
//
// then drives the screens through their objectNames, and looks at (*sandbox)->roots,
// (*sandbox)->stateFile() and (*sandbox)->testbed() (the child, e.g. its output) as needed.
// The window must go before the sandbox object.
class Sandbox {
public:
    struct Options {
        // Appended to the testbed's command line, e.g. {"--fail-move", "2"}.
        QStringList testbedArguments;
        // Answers "Authorize Folder…"; none: the file dialog.
        std::shared_ptr<FolderPicker> picker;
        // Registers (starts) the helper as the service is made; false leaves it not enabled.
        bool startHelper = true;
    };

    [[nodiscard]] static std::expected<std::unique_ptr<Sandbox>, QString> create(const QString& directory);
    [[nodiscard]] static std::expected<std::unique_ptr<Sandbox>, QString> create(const QString& directory,
                                                                                 Options options);

    // Factories of the root view's three objects; call once per window.
    RootViewObjects objects() const;
    // The testbed's registry, once the root view has made its service; null before.
    SupervisedChildRegistry* testbed() const { return m_shared->testbed; }

    QString stateFile() const;
    // The Trash's files/ folder of the console user.
    QString trashFolder() const;
    // The build tree, laid out as an installation: the helper, the testbed and the systemd units.
    static InstallLayout buildTree();

    // Runs the event loop until `condition` holds or `timeoutMs` passes; true when it holds.
    static bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 30000);

    QString directory;
    SystemRoots roots;
    QString home;
    QString applicationSupport;
    QString settingsFile;
    QString socketPath;
    // Owns home and the Trash; the helper moves to the Trash only for a user who is not root.
    uid_t consoleUid = 0;
    std::vector<SampleBundle> samples;

private:
    struct Shared {
        QPointer<SupervisedChildRegistry> testbed;
    };

    Sandbox() = default;
    [[nodiscard]] std::expected<void, QString> prepare();

    Options m_options;
    InstanceLock m_lock;
    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
};

} // namespace quorvane
