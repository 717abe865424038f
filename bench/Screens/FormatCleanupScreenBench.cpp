// The format cleanup screen's preview list over 20,000 candidates, against a plain QTableView over
// a minimal table model of the same candidates, measured in the same run: a new preview shown and
// painted (both sides plan it, with the on-disk check), and a selection change repainted. The two
// take turns; prints the median of each and the ratio to the baseline, with the target of at most
// 2×.

#include "HelperClient/PluginManagementService.h"
#include "PairedTiming.h"
#include "Persistence/StateFile.h"
#include "Persistence/StateFileLocations.h"
#include "Planning/FileSystemProbe.h"
#include "Planning/FormatCleanupPlanner.h"
#include "Platform/ServiceRegistry.h"
#include "Store/PluginInventoryStore.h"
#include "Support/Uuid.h"
#include "Views/Screens/FormatCleanup/FormatCleanupRunController.h"
#include "Views/Screens/FormatCleanup/FormatCleanupView.h"
#include "Views/Screens/Shared/ScreenServices.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QDir>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

using namespace quorvane;

namespace {

constexpr int candidateCount = 20000;
constexpr int repetitions = 11;
constexpr double targetRatio = 2.0;

// A registry with nothing registered: the service never connects.
class NoRegistry final : public ServiceRegistry {
public:
    ServiceRegistrationStatus status() override { return ServiceRegistrationStatus::notRegistered; }
    void registerService(Completion done) override { done({}); }
    void unregisterService(Completion done) override { done({}); }
    HelperEndpoint endpoint() const override { return {}; }
};

// Products with an AU and a VST2 bundle each; the VST2 folders exist, so every one is a candidate
// of "Retire VST2".
std::vector<Plugin> products(const SystemRoots& roots) {
    std::vector<Plugin> plugins;
    const QString components = roots.path(QStringLiteral("/Library/Audio/Plug-Ins/Components"));
    const QString vst = roots.path(QStringLiteral("/Library/Audio/Plug-Ins/VST"));
    for (int index = 0; index < candidateCount; ++index) {
        const QString name = QStringLiteral("Plugin %1").arg(index, 6, 10, QLatin1Char('0'));
        Plugin plugin;
        plugin.id = makeUuid();
        plugin.name = name;
        plugin.manufacturer = QStringLiteral("Maker %1").arg(index % 300);
        plugin.version = QStringLiteral("1.0");
        plugin.formats = {QStringLiteral("AU"), QStringLiteral("VST2")};
        plugin.size = QStringLiteral("2 MB");
        plugin.path = components + u'/' + name + QStringLiteral(".component");
        PluginBundleRecord au{
            QStringLiteral("AU"), {}, QStringLiteral("1 MB"), plugin.path, {}, {}, {}, {}, false};
        PluginBundleRecord vst2{QStringLiteral("VST2"),
                                {},
                                QStringLiteral("1 MB"),
                                vst + u'/' + name + QStringLiteral(".vst"),
                                {},
                                {},
                                {},
                                {},
                                false};
        QDir().mkpath(vst2.path);
        plugin.bundles = std::vector<PluginBundleRecord>{au, vst2};
        plugins.push_back(std::move(plugin));
    }
    return plugins;
}

// The baseline: the candidates as they are, four text columns.
class PlainCandidateModel : public QAbstractTableModel {
public:
    void reload(std::vector<FormatCleanupCandidate> candidates) {
        beginResetModel();
        m_candidates = std::move(candidates);
        endResetModel();
    }
    void touchAll() {
        if (!m_candidates.empty())
            Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, 3));
    }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_candidates.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole)
            return {};
        const FormatCleanupCandidate& candidate = m_candidates[static_cast<std::size_t>(index.row())];
        switch (index.column()) {
        case 0:
            return candidate.pluginName;
        case 1:
            return candidate.format;
        case 2:
            return candidate.path;
        default:
            return QString::number(candidate.sizeInBytes.value_or(0));
        }
    }

private:
    std::vector<FormatCleanupCandidate> m_candidates;
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir folder;
    const SystemRoots roots = SystemRoots::underPrefix(folder.filePath(QStringLiteral("root")));
    PersistedInventory state;
    state.schemaVersion = currentInventorySchemaVersion;
    state.plugins = products(roots);
    const QString support = folder.filePath(QStringLiteral("support"));
    const QString home = folder.filePath(QStringLiteral("home"));
    if (!QDir().mkpath(support + QStringLiteral("/Quorvane")) || !QDir().mkpath(home) ||
        !writeStateFile(state, inventoryStateFileURL(support))) {
        std::fprintf(stderr, "could not write the state file\n");
        return 1;
    }
    PluginInventoryStore store(StoreEnvironment::isolated(support, roots, home));
    PluginManagementService service(std::make_unique<NoRegistry>(), {}, InstallLayout{folder.path()});
    FormatCleanupRunController run(store, service);

    FormatCleanupView view(service, store, run, ScreenServices::production());
    view.resize(1185, 900);
    view.show();
    view.viewModel().setPreset(FormatCleanupPresetKind::retireVST2);
    QTableView table;
    PlainCandidateModel model;
    table.setModel(&model);
    table.resize(1185, 900);
    table.show();
    QApplication::processEvents();

    const PathPolicy policy(roots);
    const SystemFileSystemProbe probe(home);
    const auto [preview, baselinePreview] = medianPair(
        [&] {
            view.viewModel().buildCleanupPreview();
            settleAndPaint(view);
        },
        [&] {
            model.reload(makeFormatCleanupPlan(FormatCleanupPresetKind::retireVST2, {}, store.plugins(),
                                               store.inventoryRevision(), std::nullopt, false, probe, true,
                                               policy)
                             .candidates);
            settleAndPaint(table);
        },
        repetitions);
    if (view.viewModel().plan()->candidates.size() != std::size_t(candidateCount)) {
        std::fprintf(stderr, "the preview holds %zu candidates\n",
                     view.viewModel().plan()->candidates.size());
        return 1;
    }

    bool clear = true;
    const auto [selection, baselineSelection] = medianPair(
        [&] {
            if (clear)
                view.viewModel().clearSelection();
            else
                view.viewModel().selectSafeDefaults();
            clear = !clear;
            settleAndPaint(view);
        },
        [&] {
            model.touchAll();
            settleAndPaint(table);
        },
        repetitions);

    std::printf("%-34s %13s %13s %9s\n", "cleanup preview, 20,000 candidates", "screen", "QTableView",
                "ratio");
    report("preview and first paint", preview, baselinePreview, targetRatio);
    report("selection change", selection, baselineSelection, targetRatio);
    return 0;
}
