// Times a cleanup preset preview over a large inventory (three formats per product, every bundle
// on disk under a temporary system tree) and a bundle action plan of one full transaction.
// Prints the preview time at 10,000 and 20,000 products and the growth ratio, whose target for an
// n log n preview is at most 2.3x.

#include "Planning/BundleActionPlanner.h"
#include "Planning/FormatCleanupPlanner.h"
#include "Shared/PathPolicy.h"
#include "Shared/QuorvaneHelperProtocol.h"
#include "Shared/SystemRoots.h"
#include "Support/Uuid.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace quorvane;

namespace {

constexpr int runs = 7;

PluginBundleRecord record(const QString& format, const QString& path) {
    PluginBundleRecord bundle;
    bundle.format = format;
    bundle.architecture = QStringLiteral("Universal");
    bundle.size = QStringLiteral("42.1 MB");
    bundle.path = path;
    return bundle;
}

// Products "<series> Synth <n>" of 250 manufacturers, each with AU, VST2 and VST3 bundles created on disk.
std::vector<Plugin> makeInventory(const SystemRoots& roots, int count, const QString& series) {
    const QString components = roots.path(QStringLiteral("/Library/Audio/Plug-Ins/Components"));
    const QString vst = roots.path(QStringLiteral("/Library/Audio/Plug-Ins/VST"));
    const QString vst3 = roots.path(QStringLiteral("/Library/Audio/Plug-Ins/VST3"));
    std::vector<Plugin> plugins;
    plugins.reserve(static_cast<size_t>(count));
    for (int index = 0; index < count; ++index) {
        // Reverse order so that the planner's sort has work to do.
        const int n = count - index;
        const QString name = QStringLiteral("%1 Synth %2").arg(series).arg(n);
        Plugin plugin;
        plugin.id = makeUuid();
        plugin.name = name;
        plugin.manufacturer = QStringLiteral("Maker %1").arg(n % 250);
        plugin.version = QStringLiteral("1.0");
        plugin.formats = QStringList{QStringLiteral("AU"), QStringLiteral("VST2"), QStringLiteral("VST3")};
        plugin.architecture = QStringLiteral("Universal");
        plugin.size = QStringLiteral("126.3 MB");
        std::vector<PluginBundleRecord> bundles{
            record(QStringLiteral("VST3"), vst3 + u'/' + name + QStringLiteral(".vst3")),
            record(QStringLiteral("AU"), components + u'/' + name + QStringLiteral(".component")),
            record(QStringLiteral("VST2"), vst + u'/' + name + QStringLiteral(".vst"))};
        for (const auto& bundle : bundles)
            QDir().mkpath(bundle.path);
        plugin.path = bundles.front().path;
        plugin.bundles = std::move(bundles);
        plugins.push_back(std::move(plugin));
    }
    return plugins;
}

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

template <class F>
double medianMilliseconds(F work) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_planning: cannot create a temporary folder\n");
        return 1;
    }
    const SystemRoots roots = SystemRoots::underPrefix(dir.path());
    const PathPolicy policy(roots);
    const SystemFileSystemProbe fileSystem(dir.path() + QStringLiteral("/home"));
    const InventoryRevisionToken revision = InventoryRevisionToken::fresh();

    std::printf(
        "bench_planning: median of %d runs, bundles on disk, auOnly preset (proposes VST2 and VST3)\n", runs);
    // Both sizes share one tree and alternate run by run, so that load from elsewhere on the
    // machine falls on both alike.
    const std::vector<Plugin> small = makeInventory(roots, 10000, QStringLiteral("Small"));
    const std::vector<Plugin> largest = makeInventory(roots, 20000, QStringLiteral("Large"));
    std::vector<double> smallTimes;
    std::vector<double> largeTimes;
    size_t smallCandidates = 0;
    size_t largeCandidates = 0;
    const auto preview = [&](const std::vector<Plugin>& plugins, size_t& candidates) {
        const auto start = std::chrono::steady_clock::now();
        const FormatCleanupPlan plan =
            makeFormatCleanupPlan(FormatCleanupPresetKind::auOnly, {}, plugins, revision, std::nullopt, false,
                                  fileSystem, true, policy);
        candidates = plan.candidates.size();
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    };
    for (int run = 0; run < runs; ++run) {
        smallTimes.push_back(preview(small, smallCandidates));
        largeTimes.push_back(preview(largest, largeCandidates));
    }
    const double at10k = median(smallTimes);
    const double at20k = median(largeTimes);
    std::printf("  cleanup preview, 10000 products x 3 formats: %9.1f ms (%zu candidates)\n", at10k,
                smallCandidates);
    std::printf("  cleanup preview, 20000 products x 3 formats: %9.1f ms (%zu candidates)\n", at20k,
                largeCandidates);
    const double ratio = at20k / at10k;
    std::printf("  ratio 20,000 / 10,000: %.2fx (target <= 2.30x, n log n): %s\n", ratio,
                ratio <= 2.3 ? "within target" : "OVER TARGET");

    std::vector<PluginBundleSelection> selections;
    for (int index = 0; index < maximumTransactionItemCount; ++index) {
        const Plugin& plugin = largest[static_cast<size_t>(index) * 70];
        selections.push_back({plugin.id, plugin.bundles->front().id()});
    }
    size_t items = 0;
    const double planMs = medianMilliseconds([&] {
        const BundleActionPlan plan =
            makeBundleActionPlan(BundleActionKind::quarantine, selections, largest, revision, std::nullopt,
                                 std::nullopt, false, fileSystem, std::nullopt, true, policy);
        items = plan.items.size();
    });
    std::printf("  quarantine plan, %d selections over %zu products: %.1f ms (%zu items)\n",
                maximumTransactionItemCount, largest.size(), planMs, items);
    return 0;
}
