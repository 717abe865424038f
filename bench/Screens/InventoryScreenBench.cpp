// The Inventory screen with 20,000 products against a plain QTableView over a minimal table model
// of the same rows, in the same process: building the screen, one search keystroke, choosing a
// filter, selecting every row and the refresh after the store's product list changed. Prints the
// median of each and its ratio to the baseline; the targets are at most 2× the baseline and a
// keystroke under 50 ms. Runs offscreen unless a platform is set.

#include "Discovery/FolderSecurityScope.h"
#include "Discovery/PluginFolderAccess.h"
#include "HelperClient/PluginManagementService.h"
#include "Persistence/StateFile.h"
#include "Persistence/StateFileLocations.h"
#include "Store/PluginInventoryStore.h"
#include "Support/Uuid.h"
#include "Views/Kit/FilterMenu.h"
#include "Views/Kit/PluginTable.h"
#include "Views/Screens/Inventory/InventoryView.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

using namespace quorvane;

namespace {

constexpr int productCount = 20000;
constexpr int repetitions = 15;

const char* const formatNames[] = {"AU", "VST2", "VST3", "AAX", "CLAP"};
const char* const architectures[] = {"Universal", "Apple Silicon", "Intel", "Unknown"};

std::vector<Plugin> inventory() {
    std::vector<Plugin> plugins;
    plugins.reserve(productCount);
    for (int index = 0; index < productCount; ++index) {
        Plugin plugin;
        plugin.id = makeUuid();
        plugin.name = QStringLiteral("Plugin %1").arg(index, 6, 10, QLatin1Char('0'));
        plugin.manufacturer = QStringLiteral("Maker %1").arg(index % 499);
        plugin.version = QStringLiteral("1.0");
        plugin.architecture = QString::fromLatin1(architectures[index % 4]);
        plugin.size = QStringLiteral("12.3 MB");
        std::vector<PluginBundleRecord> records;
        for (int format = 0; format < 1 + index % 2; ++format) {
            PluginBundleRecord record;
            record.format = QString::fromLatin1(formatNames[(index + format) % 5]);
            record.architecture = plugin.architecture;
            record.size = plugin.size;
            record.path =
                QStringLiteral("/Library/Audio/Plug-Ins/%1/%2.bundle").arg(record.format, plugin.name);
            plugin.formats << record.format;
            records.push_back(record);
        }
        plugin.path = records.front().path;
        plugin.bundles = std::move(records);
        plugin.status = plugin.derivedStatus();
        plugins.push_back(std::move(plugin));
    }
    return plugins;
}

// A helper that is not registered, so nothing connects.
class IdleRegistry : public ServiceRegistry {
public:
    explicit IdleRegistry(QString socket) : m_socket(std::move(socket)) {}
    ServiceRegistrationStatus status() override { return ServiceRegistrationStatus::notRegistered; }
    void registerService(Completion done) override {
        done(std::unexpected(ServiceRegistryError::unitMissing));
    }
    void unregisterService(Completion done) override { done({}); }
    HelperEndpoint endpoint() const override { return {m_socket, 0}; }

private:
    QString m_socket;
};

// The baseline: six text columns, no roles beyond display, and a proxy that filters by name or
// manufacturer and by format.
struct Row {
    QString name;
    QString manufacturer;
    QString formats;
    QStringList formatList;
    QString architecture;
    QString size;
    QString status;
};

class MinimalModel : public QAbstractTableModel {
public:
    void setRows(std::vector<Row> rows) {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 6; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole)
            return {};
        const Row& row = m_rows[static_cast<size_t>(index.row())];
        const QString* fields[] = {&row.name,         &row.formats, &row.manufacturer,
                                   &row.architecture, &row.size,    &row.status};
        return *fields[index.column() == 1 ? 2 : index.column() == 2 ? 1 : index.column()];
    }
    const Row& row(int index) const { return m_rows[static_cast<size_t>(index)]; }

private:
    std::vector<Row> m_rows;
};

class MinimalFilter : public QSortFilterProxyModel {
public:
    QString search;
    QString format;
    void refilter() { invalidateRowsFilter(); }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex&) const override {
        const Row& row = static_cast<const MinimalModel*>(sourceModel())->row(sourceRow);
        if (!format.isEmpty() && !row.formatList.contains(format))
            return false;
        return search.isEmpty() || row.name.contains(search, Qt::CaseInsensitive) ||
               row.manufacturer.contains(search, Qt::CaseInsensitive);
    }
};

std::vector<Row> rowsOf(const PluginList& plugins) {
    std::vector<Row> rows;
    rows.reserve(plugins.size());
    for (const Plugin& plugin : plugins)
        rows.push_back({plugin.name, plugin.manufacturer, plugin.formats.join(QStringLiteral(", ")),
                        plugin.formats, plugin.architecture, plugin.size, rawValue(plugin.status)});
    return rows;
}

struct Baseline {
    std::unique_ptr<QTableView> view = std::make_unique<QTableView>();
    MinimalModel model;
    MinimalFilter filter;

    explicit Baseline(const PluginInventoryStore& store) {
        model.setRows(rowsOf(store.activePlugins()));
        filter.setSourceModel(&model);
        view->setModel(&filter);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->verticalHeader()->setDefaultSectionSize(28);
        view->resize(1100, 700);
        view->show();
        QApplication::processEvents();
    }
};

double milliseconds(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    QApplication::processEvents();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// The median of `repetitions` timed runs of `work`; `reset` runs untimed before each.
double median(const std::function<void()>& work, const std::function<void()>& reset = {}) {
    std::vector<double> times;
    for (int run = 0; run < repetitions; ++run) {
        if (reset)
            reset();
        QApplication::processEvents();
        times.push_back(milliseconds(work));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void report(const char* what, double screen, double baseline) {
    std::printf("%-28s %9.2f ms %9.2f ms %6.2fx %s\n", what, screen, baseline, screen / baseline,
                screen <= 2 * baseline ? "ok" : "over 2x");
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir dir;
    const QString support = dir.path() + QStringLiteral("/support");
    QDir().mkpath(support + QStringLiteral("/Quorvane"));
    PersistedInventory state;
    state.schemaVersion = currentInventorySchemaVersion;
    state.plugins = inventory();
    state.lastScanDate = Timestamp::now();
    if (!writeStateFile(state, inventoryStateFileURL(support))) {
        std::fprintf(stderr, "could not write the state file\n");
        return 1;
    }
    QDir().mkpath(dir.path() + QStringLiteral("/root"));
    QDir().mkpath(dir.path() + QStringLiteral("/home"));
    PluginInventoryStore store(
        StoreEnvironment::isolated(support, SystemRoots::underPrefix(dir.path() + QStringLiteral("/root")),
                                   dir.path() + QStringLiteral("/home")));
    PluginManagementService service(
        std::make_unique<IdleRegistry>(dir.path() + QStringLiteral("/helper.sock")),
        [](const HelperEndpoint&) { return nullptr; }, InstallLayout{dir.path()});
    PluginFolderAccess folders(PluginFolderAccess::Services{
        std::make_shared<QSettings>(dir.path() + QStringLiteral("/settings.ini"), QSettings::IniFormat),
        nullptr, std::make_shared<PlatformFolderSecurityScope>()});
    std::optional<Plugin> inspected;
    QString query;
    const auto makeScreen = [&] {
        auto screen = std::make_unique<InventoryView>(
            folders, service, store,
            Binding<std::optional<Plugin>>{[&] { return inspected; },
                                           [&](std::optional<Plugin> p) { inspected = p; }},
            Binding<QString>{[&] { return query; }, [&](QString text) { query = text; }},
            ScreenServices::production());
        screen->resize(1300, 900);
        screen->show();
        return screen;
    };

    std::printf("%d products, median of %d runs\n", productCount, repetitions);
    std::printf("%-28s %12s %12s %7s\n", "", "screen", "baseline", "ratio");

    std::unique_ptr<InventoryView> screen;
    std::unique_ptr<Baseline> baseline;
    const double buildScreen = median([&] { screen = makeScreen(); }, [&] { screen.reset(); });
    const double buildBaseline =
        median([&] { baseline = std::make_unique<Baseline>(store); }, [&] { baseline.reset(); });
    report("build", buildScreen, buildBaseline);

    // One keystroke: a character typed, then taken back (each is a keystroke).
    auto* search = screen->findChild<QLineEdit*>(QStringLiteral("searchField"));
    search->setText(QStringLiteral("Plugin 01"));
    baseline->filter.search = QStringLiteral("Plugin 01");
    baseline->filter.refilter();
    bool typed = false;
    const double keyScreen = median([&] {
        if (typed)
            search->backspace();
        else
            search->insert(QStringLiteral("2"));
        typed = !typed;
    });
    typed = false;
    const double keyBaseline = median([&] {
        baseline->filter.search = typed ? QStringLiteral("Plugin 01") : QStringLiteral("Plugin 012");
        baseline->filter.refilter();
        typed = !typed;
    });
    report("search keystroke", keyScreen, keyBaseline);
    search->clear();
    baseline->filter.search.clear();
    baseline->filter.refilter();

    // A format chosen in its menu, and back to All.
    auto* formatMenu = screen->findChild<FilterMenu*>(QStringLiteral("formatFilter"));
    const auto choose = [&](const QString& option) {
        for (QAction* action : formatMenu->menu()->actions())
            if (action->text() == option)
                action->trigger();
    };
    bool chosen = false;
    const double filterScreen = median([&] {
        choose(chosen ? QStringLiteral("All") : QStringLiteral("VST3"));
        chosen = !chosen;
    });
    chosen = false;
    const double filterBaseline = median([&] {
        baseline->filter.format = chosen ? QString() : QStringLiteral("VST3");
        baseline->filter.refilter();
        chosen = !chosen;
    });
    report("choose a filter", filterScreen, filterBaseline);
    choose(QStringLiteral("All"));
    baseline->filter.format.clear();
    baseline->filter.refilter();

    // Every row selected.
    QTableView* table = screen->table()->view();
    const double selectScreen = median([&] { table->selectAll(); }, [&] { table->clearSelection(); });
    const double selectBaseline =
        median([&] { baseline->view->selectAll(); }, [&] { baseline->view->clearSelection(); });
    report("select all", selectScreen, selectBaseline);
    // From one row already selected, as after a click: the inspector and the batch bar stay.
    const double extendScreen = median([&] { table->selectAll(); }, [&] { table->selectRow(0); });
    const double extendBaseline =
        median([&] { baseline->view->selectAll(); }, [&] { baseline->view->selectRow(0); });
    report("select all after one row", extendScreen, extendBaseline);
    table->clearSelection();
    baseline->view->clearSelection();

    // The store's product list changed.
    const double refreshScreen = median([&] { Q_EMIT store.pluginsChanged(); });
    screen.reset();
    const double refreshBaseline = median([&] { baseline->model.setRows(rowsOf(store.activePlugins())); });
    report("refresh after store change", refreshScreen, refreshBaseline);
    std::printf("keystroke %s 50 ms\n", keyScreen < 50 ? "under" : "over");
    return 0;
}
