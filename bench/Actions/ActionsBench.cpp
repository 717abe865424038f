// What a user waits for after a click: the real window over the sandbox (offscreen, the testbed as
// the helper, a real state file) at 2,000 and 20,000 products. For each action it prints the
// longest stall of the GUI thread's event loop while the action runs and the time until the screen
// shows its result (painted). The stalls are what the window cannot answer for; the target is at
// most 50 ms. Runs offscreen unless a platform is set; `--products N` runs one size only.

#include "App/QuorvaneApp.h"
#include "App/RootView.h"
#include "App/Sandbox/Sandbox.h"
#include "Support/Fixtures/FixturePluginBundles.h"
#include "Views/Kit/PluginTable.h"
#include "Views/Screens/Inventory/InventoryView.h"
#include "Views/Screens/PermanentQuarantine/PermanentQuarantineView.h"
#include "Views/Screens/Quarantine/QuarantineView.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

using namespace quorvane;

namespace {

// Real VST3 bundles beside the sample tree, so that every scan finds `count` more products.
bool writeFillerBundles(const SystemRoots& roots, int count) {
    const QString folder = roots.path(QStringLiteral("/Library/Audio/Plug-Ins/VST3"));
    const QByteArray executable = testing::thinMachO(testing::cpuTypeArm64);
    for (int index = 0; index < count; ++index) {
        const QString name = QStringLiteral("Filler %1").arg(index, 6, 10, QLatin1Char('0'));
        QVariantMap info =
            testing::bundleInfo(name, QStringLiteral("org.filler.p%1").arg(index), QStringLiteral("1.0"));
        info.insert(QStringLiteral("Manufacturer"), QStringLiteral("Maker %1").arg(index % 499));
        const QString contents = folder + u'/' + name + QStringLiteral(".vst3/Contents");
        if (!QDir().mkpath(contents + QStringLiteral("/MacOS")))
            return false;
        QFile plist(contents + QStringLiteral("/Info.plist"));
        QFile binary(contents + QStringLiteral("/MacOS/Plugin"));
        if (!plist.open(QIODevice::WriteOnly) || plist.write(testing::xmlPropertyList(info)) < 0 ||
            !binary.open(QIODevice::WriteOnly) || binary.write(executable) < 0)
            return false;
    }
    return true;
}

struct Timing {
    double worstStallMs = 0;
    double resultMs = 0;
    bool shown = false;
};

// Runs `action` from inside the event loop, with a 1 ms heartbeat, until `shown` holds, then paints
// the window. The longest gap between heartbeats is the stall; the action's own synchronous work
// falls into the first gap.
Timing measure(QWidget& window, const std::function<void()>& action, const std::function<bool()>& shown,
               int timeoutMs = 120000) {
    Timing timing;
    QElapsedTimer clock;
    QEventLoop loop;
    qint64 last = 0;
    qint64 worst = 0;
    bool started = false;
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    beat.setInterval(1);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, now - last);
        last = now;
        if (started && shown()) {
            timing.shown = true;
            loop.quit();
        }
    });
    QTimer::singleShot(0, [&] {
        clock.start();
        last = 0;
        started = true;
        action();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    beat.start();
    loop.exec();
    beat.stop();
    // The paint is a stall of its own and part of the wait.
    const qint64 beforePaint = clock.nsecsElapsed();
    (void)window.grab();
    const qint64 painted = clock.nsecsElapsed();
    worst = std::max({worst, painted - beforePaint, painted - last});
    timing.worstStallMs = static_cast<double>(worst) / 1e6;
    timing.resultMs = static_cast<double>(painted) / 1e6;
    return timing;
}

void report(const char* what, const Timing& timing) {
    std::printf("  %-40s stall %9.1f ms  result %9.1f ms  %s\n", what, timing.worstStallMs, timing.resultMs,
                !timing.shown               ? "NOT SHOWN"
                : timing.worstStallMs <= 50 ? "ok"
                                            : "over 50 ms");
    std::fflush(stdout);
}

QPushButton* button(QWidget* root, const char* name) {
    return root ? root->findChild<QPushButton*>(QString::fromLatin1(name)) : nullptr;
}

QPushButton* visibleAlertAction(QWidget& window, const char* name) {
    for (QMessageBox* box : window.findChildren<QMessageBox*>(QString::fromLatin1(name)))
        if (box->isVisible())
            return button(box, "actionButton");
    return nullptr;
}

bool run(int fillerCount) {
    QTemporaryDir dir;
    auto made = Sandbox::create(dir.path() + QStringLiteral("/sandbox"));
    if (!made) {
        std::fprintf(stderr, "%s\n", qPrintable(made.error()));
        return false;
    }
    std::unique_ptr<Sandbox> sandbox = std::move(*made);
    if (!writeFillerBundles(sandbox->roots, fillerCount)) {
        std::fprintf(stderr, "could not write the filler bundles\n");
        return false;
    }
    RootView window(sandbox->objects());
    window.resize(1440, 900);
    window.show();
    PluginInventoryStore& store = window.inventoryStore();
    PluginManagementService& service = window.managementService();
    const auto idle = [&] { return !store.isScanning() && !service.isWorking(); };
    if (!Sandbox::waitUntil([&] { return service.helperIsReachable(); })) {
        std::fprintf(stderr, "the testbed did not answer\n");
        return false;
    }
    store.startScan(window.folderAccess().authorizedFolders(), &service);
    if (!Sandbox::waitUntil(idle, 600000))
        return false;
    // The scan's state is written in the background; its size is known once it is on disk.
    store.waitForIdle();
    std::printf("%zu products (%d filler), state file %.1f MB\n", store.plugins().size(), fillerCount,
                static_cast<double>(QFileInfo(sandbox->stateFile()).size()) / 1e6);

    auto* inventory = qobject_cast<InventoryView*>(window.currentScreen());
    QTableView* table = inventory->table()->view();
    QItemSelectionModel* selection = table->selectionModel();
    const auto select = [&](int first, int count) {
        table->clearSelection();
        const QItemSelection rows(table->model()->index(first, 0),
                                  table->model()->index(first + count - 1, 0));
        selection->select(rows, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QApplication::processEvents();
    };
    const auto protectedCount = [&] { return store.protectedKeys().size(); };

    // One product, by the batch bar of a one-row selection.
    select(1, 1);
    std::size_t before = protectedCount();
    report("protect one product", measure(
                                      window, [&] { button(inventory, "protectSelectedButton")->click(); },
                                      [&] { return protectedCount() == before + 1; }));

    select(2, 1000);
    before = protectedCount();
    report("protect a 1,000-product selection",
           measure(
               window, [&] { button(inventory, "protectSelectedButton")->click(); },
               [&] { return protectedCount() >= before + 999; }));

    // One unprotected bundle quarantined from the inventory, then restored from the quarantine.
    select(1500 % std::max<int>(table->model()->rowCount() - 1, 1), 1);
    button(inventory, "quarantineSelectedButton")->click();
    QApplication::processEvents();
    const auto noticeIs = [&](const char* title) {
        return idle() && store.notice() && store.notice()->title == QLatin1String(title);
    };
    report("quarantine one bundle",
           measure(
               window, [&] { visibleAlertAction(window, "batchQuarantineAlert")->click(); },
               [&] { return noticeIs("Plugins Moved to Quarantine"); }));

    window.navigation().setSection(AppSection::quarantine);
    QApplication::processEvents();
    auto* quarantine = qobject_cast<QuarantineView*>(window.currentScreen());
    auto* held = quarantine->findChild<QTableView*>(QStringLiteral("pluginTableView"));
    held->selectionModel()->select(held->model()->index(0, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    button(quarantine, "restoreSelectedButton")->click();
    QApplication::processEvents();
    report("restore it", measure(
                             window, [&] { visibleAlertAction(window, "confirmationAlert")->click(); },
                             [&] { return noticeIs("Plugins Restored"); }));

    window.navigation().setSection(AppSection::permanentQuarantine);
    QApplication::processEvents();
    QCheckBox* toggle = nullptr;
    for (QWidget* row : window.currentScreen()->findChildren<QWidget*>(QStringLiteral("ruleRow")))
        if (row->property("manufacturer").toString() == QStringLiteral("FabFilter"))
            toggle = row->findChild<QCheckBox*>(QStringLiteral("ruleSwitch"));
    report("enable a permanent-quarantine rule",
           measure(
               window, [&] { toggle->click(); },
               [&] { return store.isPermanentQuarantineEnabled(QStringLiteral("FabFilter")); }));

    window.navigation().setSection(AppSection::inventory);
    QApplication::processEvents();
    inventory = qobject_cast<InventoryView*>(window.currentScreen());
    bool scanning = false;
    report("scan and its completion", measure(
                                          window, [&] { button(inventory, "scanPluginsButton")->click(); },
                                          [&] {
                                              scanning = scanning || store.isScanning();
                                              return scanning && idle();
                                          },
                                          600000));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QuorvaneApp::configure(application);
    std::vector<int> sizes{2000, 20000};
    if (argc == 3 && std::strcmp(argv[1], "--products") == 0)
        sizes = {std::atoi(argv[2])};
    for (const int size : sizes)
        if (!run(size))
            return 1;
    return 0;
}
