// The history screen over 20,000 history lines, against a plain QTableView over a minimal table
// model of the same lines, measured in the same run: building and showing the screen, and the
// refresh after the store's history changes. The two take turns; prints the median of each and
// the ratio to the baseline, with the target of at most 2×.

#include "PairedTiming.h"
#include "Persistence/StateFile.h"
#include "Persistence/StateFileLocations.h"
#include "Store/PluginInventoryStore.h"
#include "Support/Uuid.h"
#include "Views/Screens/History/HistoryView.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

using namespace quorvane;

namespace {

constexpr int lineCount = 20000;
constexpr int repetitions = 21;
constexpr double targetRatio = 2.0;

// Product transactions of one to three formats between scans and protection changes, newest first.
std::vector<HistoryItem> historyLines() {
    const QStringList formats{QStringLiteral("AU"), QStringLiteral("VST3"), QStringLiteral("CLAP")};
    const HistoryKind transactions[] = {HistoryKind::quarantine, HistoryKind::restore, HistoryKind::trash};
    std::vector<HistoryItem> lines;
    lines.reserve(lineCount);
    for (int operation = 0; static_cast<int>(lines.size()) < lineCount; ++operation) {
        const QString plugin = QStringLiteral("Plugin %1").arg(operation % 4000, 5, 10, QLatin1Char('0'));
        const QString time = QStringLiteral("%1:%2 PM")
                                 .arg(operation / 60 % 12 + 1)
                                 .arg(operation % 60, 2, 10, QLatin1Char('0'));
        if (operation % 5 == 4) {
            lines.push_back({makeUuid(),
                             plugin,
                             HistoryKind::protection,
                             QStringLiteral("Protected as part of a batch selection"),
                             time,
                             {},
                             {},
                             {},
                             {}});
            continue;
        }
        const QString transaction = makeUuid().toString(QUuid::WithoutBraces);
        const int bundles = operation % 3 + 1;
        for (int bundle = 0; bundle < bundles && static_cast<int>(lines.size()) < lineCount; ++bundle)
            lines.push_back({makeUuid(),
                             plugin,
                             transactions[operation % 3],
                             QStringLiteral("Moved the %1 bundle through the helper.").arg(formats[bundle]),
                             time,
                             transaction,
                             formats[bundle],
                             {},
                             {}});
    }
    return lines;
}

// The baseline: the stored lines as they are, four text columns.
class PlainHistoryModel : public QAbstractTableModel {
public:
    explicit PlainHistoryModel(const std::vector<HistoryItem>& lines) : m_lines(lines) {}
    void reload(const std::vector<HistoryItem>& lines) {
        beginResetModel();
        m_lines = lines;
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_lines.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole)
            return {};
        const HistoryItem& line = m_lines[static_cast<std::size_t>(index.row())];
        switch (index.column()) {
        case 0:
            return line.time;
        case 1:
            return rawValue(line.kind);
        case 2:
            return line.plugin;
        default:
            return line.detail;
        }
    }

private:
    std::vector<HistoryItem> m_lines;
};

void showAndPaint(QWidget& widget) {
    widget.resize(1185, 900);
    widget.show();
    settleAndPaint(widget);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir folder;
    PersistedInventory state;
    state.schemaVersion = currentInventorySchemaVersion;
    state.history = historyLines();
    const QString support = folder.filePath(QStringLiteral("support"));
    if (!QDir().mkpath(support + QStringLiteral("/Quorvane")) ||
        !writeStateFile(state, inventoryStateFileURL(support))) {
        std::fprintf(stderr, "could not write the state file\n");
        return 1;
    }
    PluginInventoryStore store(
        StoreEnvironment::isolated(support, SystemRoots::underPrefix(folder.filePath(QStringLiteral("root"))),
                                   folder.filePath(QStringLiteral("home"))));
    if (store.history().size() != static_cast<std::size_t>(lineCount)) {
        std::fprintf(stderr, "the store did not load the history\n");
        return 1;
    }
    const ScreenServices services = ScreenServices::production();

    const auto [build, baselineBuild] = medianPair(
        [&] {
            HistoryView view(store, services);
            showAndPaint(view);
        },
        [&] {
            QTableView table;
            PlainHistoryModel model(store.history());
            table.setModel(&model);
            showAndPaint(table);
        },
        repetitions);

    HistoryView view(store, services);
    showAndPaint(view);
    QTableView table;
    PlainHistoryModel model(store.history());
    table.setModel(&model);
    showAndPaint(table);
    const auto [refresh, baselineRefresh] = medianPair(
        [&] {
            Q_EMIT store.historyChanged();
            settleAndPaint(view);
        },
        [&] {
            model.reload(store.history());
            settleAndPaint(table);
        },
        repetitions);

    std::printf("%-34s %13s %13s %9s\n", "history, 20,000 lines (median of 21)", "screen", "QTableView",
                "ratio");
    report("build and first paint", build, baselineBuild, targetRatio);
    report("refresh after a history change", refresh, baselineRefresh, targetRatio);
    return 0;
}
