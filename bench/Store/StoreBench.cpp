// Scan completion, the derived lists and batch protection of the inventory store at two inventory
// sizes. Prints the
// median time of each at 10,000 and 20,000 products (a tenth of them with a quarantined record) and
// the ratio between the two sizes, measured against the n log n target of at most 2.3×. Each size
// runs in three processes of eleven timed runs each. Times also grow with the share of the data
// that falls out of the caches; count-instructions.sh beside this file counts the work alone.

#include "Discovery/PluginOrders.h"
#include "Persistence/StateFile.h"
#include "Persistence/StateFileLocations.h"
#include "Store/InventoryLists.h"
#include "Store/PluginInventoryStore.h"
#include "Support/LocaleText.h"
#include "Support/Uuid.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace quorvane;

namespace {

constexpr double targetRatio = 2.3;
constexpr int repetitions = 11;
constexpr int processesPerSize = 3;

PluginBundleRecord record(const QString& format, const QString& path) {
    PluginBundleRecord value;
    value.format = format;
    value.architecture = QStringLiteral("Universal");
    value.size = QStringLiteral("12.3 MB");
    value.path = path;
    return value;
}

Plugin product(int index, std::vector<PluginBundleRecord> records) {
    Plugin plugin;
    plugin.id = makeUuid();
    plugin.name = QStringLiteral("Plugin %1").arg(index, 6, 10, QLatin1Char('0'));
    plugin.manufacturer = QStringLiteral("Maker %1").arg(index % 997);
    plugin.version = QStringLiteral("1.0");
    for (const PluginBundleRecord& value : records)
        plugin.formats.push_back(value.format);
    plugin.architecture = QStringLiteral("Universal");
    plugin.size = QStringLiteral("12.3 MB");
    plugin.path = records.front().path;
    plugin.bundles = std::move(records);
    plugin.status = plugin.derivedStatus();
    return plugin;
}

struct Inventory {
    std::vector<Plugin> stored;
    std::vector<Plugin> scanned;
};

// Every product has a VST3 bundle on disk; every tenth also has its AU in quarantine.
Inventory makeInventory(int products) {
    Inventory inventory;
    for (int i = 0; i < products; ++i) {
        const QString base = QStringLiteral("/Library/Audio/Plug-Ins/VST3/Plugin %1.vst3").arg(i);
        std::vector<PluginBundleRecord> stored{record(QStringLiteral("VST3"), base)};
        if (i % 10 == 0) {
            PluginBundleRecord quarantined =
                record(QStringLiteral("AU"),
                       QStringLiteral("/Library/Audio/Plug-Ins/Components/Plugin %1.component").arg(i));
            quarantined.originalPath = quarantined.path;
            quarantined.quarantinePath =
                QStringLiteral("/Library/Application Support/Quorvane/Quarantine/OP%1/Plugin %1.component")
                    .arg(i);
            quarantined.quarantineOperationID = QStringLiteral("OP%1").arg(i);
            stored.push_back(quarantined);
        }
        inventory.stored.push_back(product(i, stored));
        inventory.scanned.push_back(product(i, {record(QStringLiteral("VST3"), base)}));
    }
    // A walk hands its products over in the order the scanner sorts them into.
    sortByManufacturer(inventory.scanned);
    return inventory;
}

// `prepare` runs before each run of `work`, outside the timed span.
double medianMilliseconds(
    const std::function<void()>& work, const std::function<void()>& prepare = [] {}) {
    prepare();
    work(); // warm-up
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

struct Figures {
    double scanCompletion = 0;
    double merge = 0;
    double derivedLists = 0;
    // Protecting, or unprotecting, every tenth product as one batch selection.
    double batchProtection = 0;
    // One copy of the inventory: a purely linear pass over the same data, as a reference for
    // what memory alone costs at each size.
    double inventoryCopy = 0;
};

Figures measure(int products) {
    QTemporaryDir folder;
    const Inventory inventory = makeInventory(products);
    PersistedInventory state;
    state.schemaVersion = currentInventorySchemaVersion;
    state.plugins = inventory.stored;
    state.lastScanDate = Timestamp::now();
    if (!writeStateFile(state, inventoryStateFileURL(folder.path()))) {
        std::fprintf(stderr, "could not write the state file\n");
        std::exit(1);
    }

    StoreEnvironment environment =
        StoreEnvironment::isolated(folder.path(), SystemRoots::underPrefix(folder.path()), folder.path());
    const std::vector<Plugin> scanned = inventory.scanned;
    // A walk hands over products of its own; each run's copy of them is made outside the timed span.
    auto walked = std::make_shared<std::vector<Plugin>>();
    environment.scan = [walked](const QList<QUrl>&, ScanControl&, const PluginScanner::ProgressCallback&) {
        return ScanSummary{std::move(*walked), {}, false};
    };
    // The state file's encoding is measured by its own benchmark.
    environment.writeStateFile = [](const PersistedInventory&,
                                    const QString&) -> std::expected<void, StateFileError> { return {}; };
    PluginInventoryStore store(environment);

    Figures figures;
    figures.scanCompletion = medianMilliseconds(
        [&] {
            QEventLoop loop;
            QObject::connect(&store, &PluginInventoryStore::isScanningChanged, &loop, [&] {
                if (!store.isScanning())
                    loop.quit();
            });
            store.startScan({}, nullptr);
            loop.exec();
        },
        [&] { *walked = scanned; });
    // A scan completion hands its products over by move and keeps the merged ones, so neither the
    // copy made for each run nor the freeing of its result is timed.
    std::vector<Plugin> input;
    std::vector<Plugin> output;
    figures.merge = medianMilliseconds([&] { output = store.mergeScanResult(std::move(input)); },
                                       [&] {
                                           output.clear();
                                           input = scanned;
                                       });
    figures.derivedLists = medianMilliseconds([&] {
        // The store keeps its active list until the next change; this is the work of working it out.
        (void)activePlugins(store.plugins());
        (void)store.quarantinedPlugins();
        (void)store.quarantinedBundleCount();
    });
    std::vector<Plugin> selection;
    for (std::size_t i = 0; i < store.plugins().size(); i += 10)
        selection.push_back(store.plugins()[i]);
    bool protect = false;
    figures.batchProtection = medianMilliseconds([&] {
        protect = !protect;
        store.setBatchProtection(selection, protect);
    });
    // What every change starts from: the list of the shared products, to edit.
    figures.inventoryCopy = medianMilliseconds([&] {
        const PluginListEdit edit(store.plugins());
        (void)edit;
    });
    return figures;
}

void print(const char* what, double small, double large) {
    const double ratio = large / small;
    std::printf("%-40s %10.1f ms %10.1f ms %8.2fx  %s (target <= %.1fx)\n", what, small, large, ratio,
                ratio <= targetRatio ? "within" : "ABOVE", targetRatio);
}

// Each size is measured in a process of its own, so that the larger inventory does not start from
// the heap the smaller one left behind.
Figures measureInOwnProcess(const QString& program, int products) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(program, {QStringLiteral("--one"), QString::number(products)});
    const bool finished = child.waitForFinished(-1);
    const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
    if (!finished || child.exitCode() != 0 || fields.size() != 5) {
        std::fprintf(stderr, "the measurement of %d products failed\n", products);
        std::exit(1);
    }
    return Figures{fields[0].toDouble(), fields[1].toDouble(), fields[2].toDouble(), fields[3].toDouble(),
                   fields[4].toDouble()};
}

// Each figure's median over the processes of one size.
Figures medianOf(const std::vector<Figures>& runs) {
    const auto median = [&](double Figures::*field) {
        std::vector<double> values;
        for (const Figures& run : runs)
            values.push_back(run.*field);
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    return Figures{median(&Figures::scanCompletion), median(&Figures::merge), median(&Figures::derivedLists),
                   median(&Figures::batchProtection), median(&Figures::inventoryCopy)};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    setTextLocale(QStringLiteral("en_US"));
    const QStringList arguments = application.arguments();
    if (arguments.size() == 3 && arguments[1] == QStringLiteral("--one")) {
        const Figures figures = measure(arguments[2].toInt());
        std::printf("%.4f %.4f %.4f %.4f %.4f\n", figures.scanCompletion, figures.merge, figures.derivedLists,
                    figures.batchProtection, figures.inventoryCopy);
        return 0;
    }
    // Other sizes may be given for a closer look at the scaling: bench_store [small large].
    const int smallSize = arguments.size() > 2 ? arguments[1].toInt() : 10000;
    const int largeSize = arguments.size() > 2 ? arguments[2].toInt() : 20000;
    const QString program = QCoreApplication::applicationFilePath();
    // The sizes take turns, so that a slower spell of the machine falls on both, and the median
    // process of each size counts, so that one process the machine placed badly does not decide.
    std::vector<Figures> smallRuns;
    std::vector<Figures> largeRuns;
    for (int run = 0; run < processesPerSize; ++run) {
        smallRuns.push_back(measureInOwnProcess(program, smallSize));
        largeRuns.push_back(measureInOwnProcess(program, largeSize));
    }
    const Figures small = medianOf(smallRuns);
    const Figures large = medianOf(largeRuns);
    std::printf("%-40s %13d %13d %9s\n", "median of 3 x 11 (products)", smallSize, largeSize, "ratio");
    print("scan completion (finishScan, no write)", small.scanCompletion, large.scanCompletion);
    print("mergeScanResult", small.merge, large.merge);
    print("activePlugins + quarantinedPlugins", small.derivedLists, large.derivedLists);
    print("setBatchProtection (a tenth selected)", small.batchProtection, large.batchProtection);
    print("copy of the inventory (linear reference)", small.inventoryCopy, large.inventoryCopy);
    return 0;
}
