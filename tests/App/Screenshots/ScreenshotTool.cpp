// Renders the window and each kit component to PNG files so a reviewer can look at them:
//   quorvane-screenshots --screenshot DIR
// Runs offscreen; not a feature of the application.

#include "App/FileDialogFolderPicker.h"
#include "App/QuorvaneApp.h"
#include "App/RootView.h"
#include "App/Sandbox/Sandbox.h"
#include "App/Sidebar.h"
#include "HelperClient/FakeHelperClient.h"
#include "IsolatedRootObjects.h"
#include "Platform/HomeTrash.h"
#include "Support/Fixtures/FixtureRecords.h"
#include "Views/Kit/BatchSelectionBar.h"
#include "Views/Kit/DetailRow.h"
#include "Views/Kit/DetailShell.h"
#include "Views/Kit/FilterMenu.h"
#include "Views/Kit/InfoBar.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/MetricCard.h"
#include "Views/Kit/PageHeader.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/PathBox.h"
#include "Views/Kit/PluginDetailPane.h"
#include "Views/Kit/PluginTable.h"
#include "Views/Kit/ProtectedDetailPane.h"
#include "Views/Kit/ProtectionControl.h"
#include "Views/Kit/QuarantineDetailPane.h"
#include "Views/Kit/StatusPill.h"
#include "Views/Kit/TrashConfirmationSheet.h"
#include "Views/Screens/FormatCleanup/FormatCleanupReview.h"
#include "Views/Screens/FormatCleanup/FormatCleanupView.h"
#include "Views/Screens/Quarantine/QuarantineView.h"
#include "Views/Screens/TrashRecovery/TrashRecoveryView.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QUuid>
#include <QVBoxLayout>

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <tuple>
#include <vector>

using namespace quorvane;

namespace {

QString outputFolder;
int failures = 0;
// The staged pages, gone before the application is.
std::vector<std::unique_ptr<QWidget>> stagedPages;

void write(QWidget* widget, const QString& name) {
    const QString file = QDir(outputFolder).filePath(name + QStringLiteral(".png"));
    if (!widget->grab().save(file)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(file));
        ++failures;
    } else {
        std::printf("%s\n", qPrintable(file));
    }
}

// A whole window is also shown at its smallest size, where cramped layouts show first, and at a
// large one, where stretched ones do.
void save(QWidget* widget, const QString& name, bool fitContent = true) {
    widget->show();
    QApplication::processEvents();
    if (fitContent)
        widget->adjustSize();
    QApplication::processEvents();
    write(widget, name);
    if (qobject_cast<RootView*>(widget) && !fitContent) {
        const QSize size = widget->size();
        for (const auto& [other, suffix] :
             {std::pair{widget->minimumSize(), QStringLiteral("-smallest")},
              std::pair{QSize(1920, qMax(1200, size.height())), QStringLiteral("-large")}}) {
            widget->resize(other);
            QApplication::processEvents();
            write(widget, name + suffix);
        }
        widget->resize(size);
        QApplication::processEvents();
    }
}

// A dark stage of a fixed width holding the widgets of one picture.
QWidget* stage(int width, const std::function<void(QWidget*, QVBoxLayout*)>& fill) {
    auto* page = new QWidget;
    page->setAutoFillBackground(true);
    QPalette colours = page->palette();
    colours.setColor(QPalette::Window, Palette::background());
    page->setPalette(colours);
    page->setFixedWidth(width);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(14);
    fill(page, column);
    stagedPages.emplace_back(page);
    return page;
}

PluginBundleRecord record(const QString& format, const QString& path, bool isProtected = false) {
    return quorvane::testing::bundleRecord(format, path, isProtected, {.size = QStringLiteral("18.4 MB")});
}

Plugin product(const QString& name, const QString& manufacturer, PluginStatus status,
               std::vector<PluginBundleRecord> bundles) {
    Plugin plugin = quorvane::testing::productOfRecords(
        name, manufacturer, std::move(bundles),
        {.version = QStringLiteral("2.4.1"), .size = QStringLiteral("36.8 MB")});
    if (plugin.bundles->empty())
        plugin.path = QStringLiteral("/Library/Audio/Plug-Ins/Components/WaveShell1-AU 15.component");
    plugin.status = status;
    return plugin;
}

std::vector<Plugin> samplePlugins() {
    return {
        product(
            QStringLiteral("Larkspur Compressor"), QStringLiteral("Fernhill Audio"), PluginStatus::ok,
            {record(QStringLiteral("AU"),
                    QStringLiteral("/Library/Audio/Plug-Ins/Components/Larkspur.component")),
             record(QStringLiteral("VST3"), QStringLiteral("/Library/Audio/Plug-Ins/VST3/Larkspur.vst3"))}),
        product(
            QStringLiteral("Tidewater Reverb"), QStringLiteral("Oxbow Labs"),
            PluginStatus::partiallyProtected,
            {record(QStringLiteral("AU"),
                    QStringLiteral("/Library/Audio/Plug-Ins/Components/Tidewater.component"), true),
             record(QStringLiteral("VST3"), QStringLiteral("/Library/Audio/Plug-Ins/VST3/Tidewater.vst3"))}),
        product(QStringLiteral("Old Tape Echo"), QStringLiteral("Fernhill Audio"), PluginStatus::legacy,
                {record(QStringLiteral("VST2"),
                        QStringLiteral("/Library/Audio/Plug-Ins/VST/Old Tape Echo.vst"))}),
        product(QStringLiteral("Quillon EQ"), QStringLiteral("Marrow & Pike"), PluginStatus::quarantined,
                {quorvane::testing::quarantinedUnderOperation(
                    record(QStringLiteral("AU"),
                           QStringLiteral("/Library/Audio/Plug-Ins/Components/Quillon.component")),
                    QStringLiteral("6F1C2B9E-3D4A-4E5F-8A7B-1C2D3E4F5A6B"))}),
        product(QStringLiteral("SSL Channel Mono"), QStringLiteral("Waves"), PluginStatus::hostedByShell, {}),
        product(QStringLiteral("WaveShell1-AU 15"), QStringLiteral("Waves"), PluginStatus::sharedShell, {}),
    };
}

// Writes `state` for the store to load and opens the window on it at 1440×900.
std::unique_ptr<RootView> windowOver(const quorvane::testing::IsolatedRootObjects& isolated,
                                     const PersistedInventory& state) {
    if (!isolated.writeState(state))
        ++failures;
    auto window = std::make_unique<RootView>(isolated.objects());
    window->resize(1440, 900);
    window->show();
    return window;
}

// The window's screen of `section`, shown; none, counted as a failure, when it is not a `View`.
template <class View>
View* showScreen(RootView& window, AppSection section) {
    window.navigation().setSection(section);
    QApplication::processEvents();
    auto* view = qobject_cast<View*>(window.currentScreen());
    if (!view)
        ++failures;
    return view;
}

void renderWindow() {
    // The real store with no state file beneath a temporary folder: the sample inventory's badges.
    const quorvane::testing::IsolatedRootObjects isolated;
    RootView window(isolated.objects());
    window.resize(1440, 900);
    save(&window, QStringLiteral("window-inventory"), false);
    window.navigation().setSection(AppSection::trashRecovery);
    save(&window, QStringLiteral("window-trash-recovery"), false);
    window.navigation().setSection(std::nullopt);
    save(&window, QStringLiteral("window-no-section"), false);
    save(window.sidebar(), QStringLiteral("sidebar"));

    window.inventoryStore().reportOperationError(
        QStringLiteral("Quarantine Blocked"),
        QStringLiteral("Larkspur Compressor is protected. Remove protection before quarantining it."));
    QApplication::processEvents();
    if (QMessageBox* alert = window.findChild<QMessageBox*>(QStringLiteral("noticeAlert")))
        save(alert, QStringLiteral("window-notice-alert"));
    else
        ++failures;
    if (const auto notice = window.shellSource().notice())
        window.shellSource().dismissNotice(notice->id);

    const auto panel = FileDialogFolderPicker::makeDialog(PluginFolderAccess::panelRequest());
    panel->setDirectory(isolated.home());
    panel->resize(820, 520);
    save(panel.get(), QStringLiteral("window-folder-panel"), false);
}

void renderBasics() {
    QWidget* cards = stage(900, [](QWidget* page, QVBoxLayout* column) {
        auto* row = new QHBoxLayout;
        row->addWidget(new MetricCard(QStringLiteral("externaldrive"), QStringLiteral("Plugins"),
                                      QStringLiteral("128"), QStringLiteral("Active products"),
                                      Palette::accent(), page));
        row->addWidget(new MetricCard(QStringLiteral("shield.checkered"), QStringLiteral("Protected"),
                                      QStringLiteral("14"), QStringLiteral("Locked against file actions"),
                                      Palette::amber(), page));
        row->addWidget(new MetricCard(QStringLiteral("arrow.uturn.backward.circle"),
                                      QStringLiteral("Restorable"), QStringLiteral("3"),
                                      QStringLiteral("Ready in Trash"), Palette::green(), page));
        column->addLayout(row);
    });
    save(cards, QStringLiteral("kit-metric-cards"));

    QWidget* pills = stage(360, [](QWidget* page, QVBoxLayout* column) {
        for (const auto& entry : pluginStatusTable().entries())
            column->addWidget(new StatusPill(entry.first, page));
    });
    save(pills, QStringLiteral("kit-status-pills"));

    static QString manufacturer = QStringLiteral("All");
    static QString format = QStringLiteral("VST3");
    QWidget* header = stage(900, [](QWidget* page, QVBoxLayout* column) {
        auto* actions = new QWidget;
        auto* buttons = new QHBoxLayout(actions);
        buttons->setContentsMargins(0, 0, 0, 0);
        buttons->addWidget(new FilterMenu(QStringLiteral("Manufacturer"),
                                          {[] { return manufacturer; }, [](QString v) { manufacturer = v; }},
                                          {QStringLiteral("All"), QStringLiteral("Fernhill Audio")},
                                          actions));
        buttons->addWidget(
            new FilterMenu(QStringLiteral("Format"), {[] { return format; }, [](QString v) { format = v; }},
                           {QStringLiteral("All"), QStringLiteral("AU"), QStringLiteral("VST3")}, actions));
        buttons->addWidget(new KitButton(QStringLiteral("Scan"), QStringLiteral("arrow.clockwise"),
                                         ButtonStyle::borderedProminent, actions));
        buttons->addWidget(new KitButton(QStringLiteral("Export CSV"), QStringLiteral("square.and.arrow.up"),
                                         ButtonStyle::bordered, actions));
        column->addWidget(new PageHeader(
            QStringLiteral("Inventory"),
            QStringLiteral("Every plug-in bundle found in the standard and authorised folders."), actions,
            page));
    });
    save(header, QStringLiteral("kit-page-header"));
    if (auto* menu = header->findChild<FilterMenu*>()) {
        menu->menu()->popup(QPoint(0, 0));
        QApplication::processEvents();
        save(menu->menu(), QStringLiteral("kit-filter-menu-open"));
        menu->menu()->hide();
    }

    QWidget* small = stage(520, [](QWidget* page, QVBoxLayout* column) {
        column->addWidget(
            new InfoBar(QStringLiteral("All detected formats are protected."), Palette::amber(), page));
        column->addWidget(
            new InfoBar(QStringLiteral("This bundle will leave Quorvane quarantine. It will not be "
                                       "permanently deleted and will remain tracked in Trash Recovery."),
                        Palette::red(), page));
        column->addWidget(new DetailRow(QStringLiteral("Version"), QStringLiteral("2.4.1"), page));
        column->addWidget(new DetailRow(QStringLiteral("Formats"), QStringLiteral("AU, VST3, AAX"), page));
        column->addWidget(new PathBox(QStringLiteral("Bundle Location"),
                                      QStringLiteral("/Library/Audio/Plug-Ins/VST3/Larkspur.vst3"), page));
        column->addWidget(new PathBox(
            QStringLiteral("Current Quarantine Location"),
            QStringLiteral(
                "/Library/Application Support/Quorvane/Quarantine/6F1C2B9E-3D4A-4E5F-8A7B-1C2D3E4F5A6B/"
                "Some/Very/Deep/Folder/Structure/That/Goes/On/And/On/Larkspur Compressor Extended "
                "Edition.vst3"),
            page));
        auto* buttons = new QHBoxLayout;
        buttons->addWidget(new KitButton(QStringLiteral("Prominent"), QStringLiteral("shippingbox"),
                                         ButtonStyle::borderedProminent, page));
        buttons->addWidget(
            new KitButton(QStringLiteral("Bordered"), QStringLiteral("folder"), ButtonStyle::bordered, page));
        auto* red = new KitButton(QStringLiteral("Move to Trash…"), QStringLiteral("trash"),
                                  ButtonStyle::bordered, page);
        red->setTint(Palette::red());
        buttons->addWidget(red);
        auto* disabled = new KitButton(QStringLiteral("Disabled"), QStringLiteral("shippingbox"),
                                       ButtonStyle::borderedProminent, page);
        disabled->setEnabled(false);
        buttons->addWidget(disabled);
        column->addLayout(buttons);
    });
    save(small, QStringLiteral("kit-info-detail-path-buttons"));

    QWidget* toggles = stage(420, [](QWidget* page, QVBoxLayout* column) {
        for (const bool ticked : {false, true}) {
            auto* box = new QCheckBox(ticked ? QStringLiteral("Ticked") : QStringLiteral("Not ticked"), page);
            box->setChecked(ticked);
            box->setFocusPolicy(Qt::NoFocus);
            column->addWidget(box);
        }
    });
    save(toggles, QStringLiteral("kit-checkboxes"));
}

void renderTables() {
    static std::optional<Plugin> selected;
    static QSet<QUuid> chosen;
    const std::vector<Plugin> plugins = samplePlugins();
    selected = plugins[1];
    chosen = {plugins[0].id, plugins[3].id};
    QWidget* single = stage(1000, [&](QWidget* page, QVBoxLayout* column) {
        auto* table =
            new PluginTable({[] { return selected; }, [](std::optional<Plugin> p) { selected = p; }}, page);
        table->setPlugins(plugins);
        table->setMinimumHeight(240);
        column->addWidget(table);
        auto* actions = new QWidget;
        auto* row = new QHBoxLayout(actions);
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(new KitButton(QStringLiteral("Quarantine Selected…"), QStringLiteral("shippingbox"),
                                     ButtonStyle::borderedProminent, actions));
        column->addWidget(new BatchSelectionBar(2, QStringLiteral("plugin"), actions, page));
        auto* multi =
            new MultiSelectPluginTable({[] { return chosen; }, [](QSet<QUuid> s) { chosen = s; }}, page);
        multi->setPlugins(plugins);
        multi->setMinimumHeight(240);
        column->addWidget(multi);
    });
    save(single, QStringLiteral("kit-plugin-tables"));
}

void renderInspectors() {
    const std::vector<Plugin> plugins = samplePlugins();
    QWidget* protectedPage = stage(1200, [&](QWidget* page, QVBoxLayout*) {
        auto* row = new QHBoxLayout;
        page->layout()->addItem(row);
        auto* empty = new ProtectedDetailPane({}, {}, page);
        empty->setPlugin(std::nullopt, {});
        auto* partly = new ProtectedDetailPane({}, {}, page);
        partly->setPlugin(plugins[1], plugins[1].bundleRecords());
        auto* hosted = new ProtectedDetailPane({}, {}, page);
        hosted->setPlugin(plugins[4], {});
        for (auto* inspector : {empty, partly, hosted}) {
            inspector->setFixedSize(380, 760);
            row->addWidget(inspector);
        }
    });
    save(protectedPage, QStringLiteral("kit-protected-inspectors"));

    PluginDetailPane::Actions actions;
    actions.quarantineReason = [](const Plugin&) -> std::optional<QString> {
        return QStringLiteral("Tidewater Reverb \u2014 AU: Protected bundles cannot be quarantined.");
    };
    actions.bundleQuarantineReason = [](const Plugin&,
                                        const PluginBundleRecord& b) -> std::optional<QString> {
        if (b.isProtected)
            return QStringLiteral("Tidewater Reverb \u2014 AU: Protected bundles cannot be quarantined.");
        return std::nullopt;
    };
    QWidget* pluginPage = stage(1200, [&](QWidget* page, QVBoxLayout*) {
        auto* row = new QHBoxLayout;
        page->layout()->addItem(row);
        auto* partly = new PluginDetailPane(actions, page);
        partly->setPlugin(plugins[1], plugins[1].bundleRecords());
        auto* ok = new PluginDetailPane({}, page);
        ok->setPlugin(plugins[0], plugins[0].bundleRecords());
        auto* hosted = new PluginDetailPane({}, page);
        hosted->setPlugin(plugins[4], {});
        for (auto* inspector : {partly, ok, hosted}) {
            inspector->setFixedSize(380, 1100);
            row->addWidget(inspector);
        }
    });
    save(pluginPage, QStringLiteral("kit-plugin-inspectors"));

    QuarantineDetailPane::Actions quarantineActions;
    quarantineActions.trashReason = [](const Plugin&) -> std::optional<QString> {
        return QStringLiteral("Plugin Management is not enabled.");
    };
    QWidget* quarantinePage = stage(520, [&](QWidget* page, QVBoxLayout* column) {
        auto* inspector = new QuarantineDetailPane(quarantineActions, page);
        inspector->setPlugin(plugins[3], plugins[3].bundleRecords());
        inspector->setFixedSize(480, 900);
        column->addWidget(inspector);
    });
    save(quarantinePage, QStringLiteral("kit-quarantine-inspector"));
}

void renderSheets() {
    const std::vector<Plugin> plugins = samplePlugins();
    auto* single = new TrashConfirmationSheet(plugins[3], plugins[3].bundleRecords().front(), {}, {});
    save(single, QStringLiteral("kit-trash-sheet"));
    auto* batch = new BatchTrashConfirmationSheet(1, 3, {}, {});
    batch->acknowledgement()->setChecked(true);
    save(batch, QStringLiteral("kit-batch-trash-sheet"));

    QWidget* host = stage(500, [&](QWidget* page, QVBoxLayout* column) {
        column->addWidget(new ProtectionControl(plugins[1], {}, page));
    });
    save(host, QStringLiteral("kit-protection-control-partial"));
    if (auto* button = host->findChild<QPushButton*>(QStringLiteral("removeAllProtectionButton"))) {
        button->click();
        QApplication::processEvents();
        if (auto* alert = host->findChild<QMessageBox*>(QStringLiteral("confirmationAlert")))
            save(alert, QStringLiteral("kit-confirmation-alert"));
    }
}

// One history line of every kind, the product transactions of several formats each.
std::vector<HistoryItem> historyOfEveryKind() {
    std::vector<HistoryItem> lines;
    int minute = 59;
    const auto add = [&](HistoryKind kind, const QString& plugin, const QString& detail,
                         std::optional<QString> transaction = {}, std::optional<QString> format = {}) {
        lines.push_back(HistoryItem{
            QUuid::createUuid(),
            plugin,
            kind,
            detail,
            QStringLiteral("10:%1 AM").arg(minute, 2, 10, QLatin1Char('0')),
            std::move(transaction),
            std::move(format),
            {},
            // The older lines are of another day, which their rows show.
            lines.size() < 8 ? Timestamp::now()
                             : Timestamp::fromDateTime(QDateTime(QDate(2026, 12, 1), QTime(10, minute)))});
        if (!lines.back().transactionID || lines.size() % 2 == 0)
            --minute;
    };
    const QString moved = QStringLiteral("Moved through the administrator-approved helper.");
    add(HistoryKind::cleanupPresetCompleted, QStringLiteral("AU + VST3"),
        QStringLiteral("412 reviewed format bundles moved into reversible quarantine"));
    add(HistoryKind::cleanupPresetPartiallyCompleted, QStringLiteral("Retire VST2"),
        QStringLiteral("1 child transactions completed before the run stopped"));
    add(HistoryKind::cleanupPresetCanceled, QStringLiteral("No AAX"),
        QStringLiteral("The cleanup preset was canceled; no additional bundles were moved"));
    add(HistoryKind::cleanupPresetStarted, QStringLiteral("AU + VST3"),
        QStringLiteral("412 reviewed format bundles queued for reversible quarantine"));
    for (const char* format : {"AU", "VST3", "CLAP"})
        add(HistoryKind::quarantine, QStringLiteral("Larkspur Compressor"), moved, QStringLiteral("T1"),
            QString::fromLatin1(format));
    for (const char* format : {"VST3", "AU"})
        add(HistoryKind::restore, QStringLiteral("Tidewater Reverb"), moved, QStringLiteral("T2"),
            QString::fromLatin1(format));
    for (const char* format : {"VST2", "AAX"})
        add(HistoryKind::trash, QStringLiteral("Old Tape Echo"), moved, QStringLiteral("T3"),
            QString::fromLatin1(format));
    add(HistoryKind::trashRestore, QStringLiteral("Quillon EQ"), moved, QStringLiteral("T4"),
        QStringLiteral("AU"));
    add(HistoryKind::missingTrashItem, QStringLiteral("Quillon EQ"),
        QStringLiteral("The AU bundle is no longer in the Trash or at its original location."));
    add(HistoryKind::externalRestore, QStringLiteral("Quillon EQ"),
        QStringLiteral("The AU bundle was put back outside Quorvane."));
    add(HistoryKind::reconciliation, QStringLiteral("Inventory"),
        QStringLiteral("Rescan: 3 added, 0 missing, 1 manually restored."));
    add(HistoryKind::canceled, QStringLiteral("Old Tape Echo"),
        QStringLiteral("The move to the Trash was canceled before any file moved."));
    add(HistoryKind::formatProtectionRemoved, QStringLiteral("Tidewater Reverb"),
        QStringLiteral("Protection removed from the VST3 bundle"));
    add(HistoryKind::formatProtection, QStringLiteral("Tidewater Reverb"),
        QStringLiteral("Protected the AU bundle"));
    add(HistoryKind::protectionRemoved, QStringLiteral("Larkspur Compressor"),
        QStringLiteral("Protection removed as part of a batch selection"));
    add(HistoryKind::protection, QStringLiteral("Larkspur Compressor"),
        QStringLiteral("Protected as part of a batch selection"));
    add(HistoryKind::scanCanceled, QStringLiteral("Inventory"),
        QStringLiteral("Scan canceled. The previous inventory was kept unchanged."));
    add(HistoryKind::scan, QStringLiteral("Inventory"),
        QStringLiteral("Scan complete. 6 plugin products found across 9 format bundles."));
    return lines;
}

void renderScreens() {
    const quorvane::testing::IsolatedRootObjects isolated;
    PersistedInventory state;
    state.schemaVersion = currentInventorySchemaVersion;
    state.plugins = samplePlugins();
    state.history = historyOfEveryKind();
    state.inaccessibleLocations =
        QStringList{QStringLiteral("/Library/Audio/Plug-Ins/VST"),
                    isolated.home() + QStringLiteral("/Library/Audio/Plug-Ins/VST3")};
    state.lastScanDate = Timestamp::now();
    state.lastReconciliation = ScanReconciliationSummary{3, 0, 1, false};
    auto owned = windowOver(isolated, state);
    RootView& window = *owned;
    window.navigation().setSection(AppSection::history);
    save(&window, QStringLiteral("window-history"), false);
    // The older half of the kinds, below the first screenful.
    if (auto* list = window.findChild<QAbstractItemView*>(QStringLiteral("historyList"))) {
        list->scrollToBottom();
        save(&window, QStringLiteral("window-history-older"), false);
    } else {
        ++failures;
    }
    window.navigation().setSection(AppSection::safetyGuide);
    save(&window, QStringLiteral("window-safety-guide"), false);
    window.navigation().setSection(AppSection::about);
    save(&window, QStringLiteral("window-about"), false);

    const quorvane::testing::IsolatedRootObjects blank;
    RootView empty(blank.objects());
    empty.resize(1440, 900);
    empty.navigation().setSection(AppSection::history);
    save(&empty, QStringLiteral("window-history-empty"), false);
}

// A Trash record of `name` under the isolated roots and home; what exists on disk is up to the caller.
TrashedBundleRecord trashRecord(const quorvane::testing::IsolatedRootObjects& isolated, const QString& name,
                                double minutesAgo, const QString& transaction) {
    TrashedBundleRecord record;
    record.id = QUuid::createUuid();
    record.pluginName = name;
    record.manufacturer = QStringLiteral("Fernhill Audio");
    record.format = QStringLiteral("VST3");
    record.originalPath = isolated.roots().path(QStringLiteral("/Library/Audio/Plug-Ins/VST3/")) + name +
                          QStringLiteral(".vst3");
    record.trashPath = HomeTrash::filesFolder(isolated.home()) + u'/' + name + QStringLiteral(".vst3");
    record.operationDate = Timestamp{Timestamp::now().sinceReferenceDate - minutesAgo * 60};
    record.trashTransactionID = transaction;
    return record;
}

// The Inventory screen during a scan, after a partial scan with unreadable folders, and with a
// selection; the scan is held after its first report until the picture is taken.
void renderInventory() {
    const quorvane::testing::IsolatedRootObjects scanning;
    RootViewObjects objects = scanning.objects();
    auto release = std::make_shared<std::atomic<bool>>(false);
    StoreEnvironment environment = scanning.storeEnvironment();
    environment.scan = [release](const QList<QUrl>&, ScanControl& control,
                                 const PluginScanner::ProgressCallback& progress) {
        progress(
            ScanProgress{QStringLiteral("VST3"), QStringLiteral("/Library/Audio/Plug-Ins/VST3"), 2, 5, 38});
        while (!*release && !control.isCancellationRequested())
            QThread::msleep(5);
        ScanSummary summary;
        summary.wasCancelled = true;
        return summary;
    };
    objects.makeInventoryStore = [environment] {
        return std::make_unique<PluginInventoryStore>(environment);
    };
    {
        RootView window(objects);
        window.resize(1440, 900);
        window.show();
        window.inventoryStore().startScan({}, &window.managementService());
        Sandbox::waitUntil([&] { return window.inventoryStore().scanProgress().has_value(); }, 5000);
        save(&window, QStringLiteral("window-inventory-scanning"), false);
        *release = true;
        Sandbox::waitUntil([&] { return !window.inventoryStore().isScanning(); }, 5000);
    }

    const quorvane::testing::IsolatedRootObjects isolated;
    PersistedInventory state;
    state.schemaVersion = currentInventorySchemaVersion;
    state.plugins = samplePlugins();
    state.lastScanDate = Timestamp::now();
    state.inaccessibleLocations = QStringList{QStringLiteral("/Library/Audio/Plug-Ins/VST3/Oxbow Labs"),
                                              QStringLiteral("/Users/Shared/Plug-Ins/Fernhill Audio")};
    auto owned = windowOver(isolated, state);
    RootView& window = *owned;
    save(&window, QStringLiteral("window-inventory-limited-access"), false);
    auto* table = window.currentScreen()->findChild<QTableView*>(QStringLiteral("pluginTableView"));
    if (!table) {
        ++failures;
        return;
    }
    for (int row : {0, 1})
        table->selectionModel()->select(table->model()->index(row, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    save(&window, QStringLiteral("window-inventory-selection"), false);
    window.resize(3840, 2160);
    QApplication::processEvents();
    write(&window, QStringLiteral("window-inventory-selection-4k"));
    window.resize(1440, 900);
}

void makeFolder(const QString& path, bool exists) {
    if (exists && !QDir().mkpath(path))
        ++failures;
}

// The quarantine, protected, permanent-quarantine and Trash recovery screens, empty and filled; the
// Trash list holds one record in each state, three of them one restorable transaction.
void renderInventoryScreens() {
    const quorvane::testing::IsolatedRootObjects blank;
    PersistedInventory nothing;
    nothing.schemaVersion = currentInventorySchemaVersion;
    if (!blank.writeState(nothing))
        ++failures;
    RootView empty(blank.objects());
    empty.resize(1440, 900);
    for (const auto& [section, name] : std::vector<std::pair<AppSection, QString>>{
             {AppSection::protected_, QStringLiteral("protected")},
             {AppSection::quarantine, QStringLiteral("quarantine")},
             {AppSection::permanentQuarantine, QStringLiteral("permanent-quarantine")},
             {AppSection::trashRecovery, QStringLiteral("trash-recovery")}}) {
        empty.navigation().setSection(section);
        save(&empty, QStringLiteral("window-") + name + QStringLiteral("-empty"), false);
    }

    const quorvane::testing::IsolatedRootObjects isolated;
    const QString transaction = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    std::vector<TrashedBundleRecord> records{
        trashRecord(isolated, QStringLiteral("Larkspur Compressor"), 5, transaction),
        trashRecord(isolated, QStringLiteral("Tidewater Reverb"), 5, transaction),
        trashRecord(isolated, QStringLiteral("Quillon EQ"), 5, transaction),
        trashRecord(isolated, QStringLiteral("Old Tape Echo"), 90, QStringLiteral("A")),
        trashRecord(isolated, QStringLiteral("Marrow Delay"), 600, QStringLiteral("B")),
        trashRecord(isolated, QStringLiteral("Fennel Chorus"), 3000, QStringLiteral("C")),
        trashRecord(isolated, QStringLiteral("Unsafe Path"), 6000, QStringLiteral("D")),
    };
    records.back().originalPath = QStringLiteral("/tmp/Unsafe Path.vst3");
    records[3].reconciledDate = Timestamp::now();
    // Ready ×3, already restored, destination occupied, missing from Trash, needs verification.
    const std::vector<std::pair<bool, bool>> onDisk{{true, false}, {true, false}, {true, false},
                                                    {false, true}, {true, true},  {false, false},
                                                    {true, false}};
    for (std::size_t index = 0; index < records.size(); ++index) {
        makeFolder(records[index].trashPath, onDisk[index].first);
        makeFolder(records[index].originalPath, onDisk[index].second);
    }
    PersistedInventory state;
    state.schemaVersion = currentInventorySchemaVersion;
    state.plugins = samplePlugins();
    state.trashedBundles = records;
    state.permanentQuarantineRules =
        std::vector<PermanentQuarantineRule>{{QStringLiteral("Marrow & Pike"), Timestamp::now()}};
    auto owned = windowOver(isolated, state);
    RootView& window = *owned;
    window.navigation().setSection(AppSection::protected_);
    save(&window, QStringLiteral("window-protected"), false);
    window.navigation().setSection(AppSection::permanentQuarantine);
    save(&window, QStringLiteral("window-permanent-quarantine"), false);

    window.navigation().setSection(AppSection::quarantine);
    QApplication::processEvents();
    if (auto* table = window.currentScreen()->findChild<QTableView*>(QStringLiteral("pluginTableView")))
        table->selectionModel()->select(table->model()->index(0, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    else
        ++failures;
    save(&window, QStringLiteral("window-quarantine"), false);
    // On a 4K display at one pixel per point: how wide the inspector grows.
    window.resize(3840, 2160);
    QApplication::processEvents();
    write(&window, QStringLiteral("window-quarantine-4k"));
    window.resize(1440, 900);
    if (auto* view = qobject_cast<QuarantineView*>(window.currentScreen())) {
        view->presentBatchRestore();
        QApplication::processEvents();
        if (auto* alert = window.findChild<QMessageBox*>(QStringLiteral("confirmationAlert")))
            save(alert, QStringLiteral("quarantine-batch-restore-alert"));
        else
            ++failures;
    }

    window.navigation().setSection(AppSection::trashRecovery);
    QApplication::processEvents();
    // Tall enough to show a row in every state.
    window.resize(1440, 1900);
    save(&window, QStringLiteral("window-trash-recovery-rows"), false);
    window.resize(1440, 900);
    if (auto* view = qobject_cast<TrashRecoveryView*>(window.currentScreen())) {
        view->model().setSelected(records[0].id, true);
        view->model().setSelected(records[4].id, true);
        view->refresh();
        save(&window, QStringLiteral("window-trash-recovery-selection"), false);
    }
}

// Answers every call still open on the fake connections as a helper reporting `build`.
void answerHandshakes(quorvane::testing::FakeConnections& connections, const QString& build) {
    for (const auto& connection : connections.made) {
        for (std::size_t index = 0; index < connection->calls.size(); ++index) {
            if (!connection->calls[index].answered)
                connection->reply(index, {QStringLiteral("QuorvaneHelper"), build});
        }
    }
    quorvane::testing::drainEvents();
}

// The Plugin Management screen in each state of the helper, with a fake registry and fake
// connections, and once with the sandbox's testbed as a real helper.
void renderPluginManagement() {
    struct State {
        const char* name;
        ServiceRegistrationStatus status;
        QString reportedBuild;
        bool testHelper = false;
        bool registering = false;
    };
    const State states[] = {
        {"not-enabled", ServiceRegistrationStatus::notRegistered, {}},
        {"registering", ServiceRegistrationStatus::notRegistered, {}, false, true},
        {"approval-required", ServiceRegistrationStatus::requiresApproval, {}},
        {"update-needed", ServiceRegistrationStatus::enabled, QStringLiteral("39")},
        {"enabled-tested", ServiceRegistrationStatus::enabled, QStringLiteral("40"), true},
        {"helper-missing", ServiceRegistrationStatus::notFound, {}},
        {"status-unavailable", ServiceRegistrationStatus::unavailable, {}},
    };
    for (const State& state : states) {
        const quorvane::testing::IsolatedRootObjects isolated;
        auto registry = std::make_shared<quorvane::testing::FakeRegistryState>();
        registry->status = state.status;
        quorvane::testing::FakeConnections connections;
        RootView window(RootViewObjects::with(isolated.storeEnvironment(), isolated.folderServices(), [&] {
            return std::make_unique<PluginManagementService>(
                std::make_unique<quorvane::testing::FakeServiceRegistry>(registry), connections.factory(),
                Sandbox::buildTree());
        }));
        window.resize(1440, 900);
        window.show();
        window.navigation().setSection(AppSection::pluginManagement);
        QApplication::processEvents();
        answerHandshakes(connections, state.reportedBuild);
        if (state.testHelper) {
            if (auto* test = window.findChild<QPushButton*>(QStringLiteral("testSecureHelperButton")))
                test->click();
            answerHandshakes(connections, state.reportedBuild);
        }
        if (state.registering) {
            registry->answerAtOnce = false;
            window.managementService().registerHelper();
        }
        save(&window, QStringLiteral("window-plugin-management-") + QLatin1String(state.name), false);
    }

    QTemporaryDir folder;
    auto sandbox = Sandbox::create(folder.path());
    if (!sandbox) {
        std::fprintf(stderr, "sandbox: %s\n", qPrintable(sandbox.error()));
        ++failures;
        return;
    }
    RootView window((*sandbox)->objects());
    window.resize(1440, 900);
    window.show();
    window.navigation().setSection(AppSection::pluginManagement);
    if (!Sandbox::waitUntil([&] { return window.managementService().helperIsReachable(); }))
        ++failures;
    QApplication::processEvents();
    save(&window, QStringLiteral("window-plugin-management-sandbox"), false);
}

// The Format Cleanup screen over the sandbox's sample tree: at first display, and a preview of
// Writes `window` at 1440 by 900 and, as `name` with "-4k", at 3840 by 2160 (a 4K display at one
// pixel per point), `arrange` run at each size once its layout has settled; then back to 1440 by 900.
void writeOrdinaryAnd4k(QWidget* window, const QString& name, const std::function<void()>& arrange = {}) {
    for (const auto& [size, suffix] :
         {std::pair{QSize(1440, 900), QString()}, std::pair{QSize(3840, 2160), QStringLiteral("-4k")}}) {
        window->resize(size);
        // A list's new height reaches the page's layout over a few rounds of events.
        for (int round = 0; round < 5; ++round)
            QApplication::processEvents();
        if (arrange) {
            arrange();
            QApplication::processEvents();
        }
        write(window, name + suffix);
    }
    window->resize(1440, 900);
}

// "AU Only" with warnings and exclusions open and one opt-in ticked, with its confirmation alert.
void renderFormatCleanup() {
    QTemporaryDir folder;
    Sandbox::Options options;
    options.startHelper = false;
    auto sandbox = Sandbox::create(folder.path(), options);
    if (!sandbox) {
        std::fprintf(stderr, "sandbox: %s\n", qPrintable(sandbox.error()));
        ++failures;
        return;
    }
    RootView window((*sandbox)->objects());
    window.resize(1440, 900);
    window.show();
    window.inventoryStore().startScan(window.folderAccess().authorizedFolders(), &window.managementService());
    if (!Sandbox::waitUntil([&] { return !window.inventoryStore().isScanning(); }))
        ++failures;
    // The Inventory with a product in its inspector, at an ordinary size and on a 4K display at
    // one pixel per point: how wide the inspector grows.
    window.navigation().setSection(AppSection::inventory);
    QApplication::processEvents();
    if (auto* table =
            window.currentScreen()->findChild<QAbstractItemView*>(QStringLiteral("pluginTableView"))) {
        table->setFocus();
        for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Space}) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QApplication::sendEvent(table, &press);
        }
    }
    writeOrdinaryAnd4k(&window, QStringLiteral("window-inventory-inspector"));
    auto* view = showScreen<FormatCleanupView>(window, AppSection::formatCleanup);
    if (!view)
        return;
    save(&window, QStringLiteral("window-format-cleanup"), false);

    FormatCleanupViewModel& model = view->viewModel();
    model.setPreset(FormatCleanupPresetKind::auOnly);
    model.buildCleanupPreview();
    for (const FormatCleanupCandidate& candidate : model.plan()->candidates) {
        if (candidate.removesLastActiveFormat) {
            model.setSelected(candidate.selection, true);
            break;
        }
    }
    // The candidate list at an ordinary size and on a 4K display at one pixel per point.
    writeOrdinaryAnd4k(&window, QStringLiteral("window-format-cleanup-list"));
    if (auto* group = view->findChild<DisclosureGroup*>(QStringLiteral("warningsAndExclusions")))
        group->setOpen(true);
    window.resize(1440, 1500);
    save(&window, QStringLiteral("window-format-cleanup-preview"), false);
    // As narrow as the window goes, tall enough for the warnings to wrap in view.
    window.resize(window.minimumWidth(), 1500);
    QApplication::processEvents();
    write(&window, QStringLiteral("window-format-cleanup-preview-narrow"));
    window.resize(1440, 900);
    if (QMessageBox* alert = presentCleanupConfirmation(view, model))
        save(alert, QStringLiteral("format-cleanup-confirmation"));
    else
        ++failures;
}

} // namespace

// A long cleanup candidate list (four hundred products, each with a VST3 and a VST2 beside its AU)
// at an ordinary size and on a 4K display at one pixel per point.
void renderLongCleanupList() {
    const quorvane::testing::IsolatedRootObjects isolated;
    PersistedInventory state;
    state.schemaVersion = currentInventorySchemaVersion;
    const SystemRoots roots = isolated.roots();
    std::vector<Plugin> plugins;
    for (int index = 0; index < 400; ++index) {
        const QString name = QStringLiteral("Product %1").arg(index + 1, 3, 10, QLatin1Char('0'));
        std::vector<PluginBundleRecord> records;
        for (const auto& [format, folder, extension] :
             {std::tuple{QStringLiteral("AU"), QStringLiteral("Components"), QStringLiteral(".component")},
              std::tuple{QStringLiteral("VST3"), QStringLiteral("VST3"), QStringLiteral(".vst3")},
              std::tuple{QStringLiteral("VST2"), QStringLiteral("VST"), QStringLiteral(".vst")}}) {
            const QString path =
                roots.path(QStringLiteral("/Library/Audio/Plug-Ins/") + folder + u'/' + name + extension);
            makeFolder(path, true);
            records.push_back(quorvane::testing::bundleRecord(format, path));
        }
        plugins.push_back(quorvane::testing::productOfRecords(name, QStringLiteral("Fernhill"), records));
    }
    state.plugins = std::move(plugins);
    auto owned = windowOver(isolated, state);
    RootView& window = *owned;
    auto* view = showScreen<FormatCleanupView>(window, AppSection::formatCleanup);
    if (!view)
        return;
    view->viewModel().setPreset(FormatCleanupPresetKind::auOnly);
    view->viewModel().buildCleanupPreview();
    auto* scroll = view->findChild<QScrollArea*>(QStringLiteral("formatCleanupScroll"));
    auto* panel = view->findChild<QWidget*>(QStringLiteral("candidatePanel"));
    // Scrolled down to the list, as a user would.
    writeOrdinaryAnd4k(&window, QStringLiteral("window-format-cleanup-long-list"), [&] {
        if (scroll && panel)
            scroll->verticalScrollBar()->setValue(panel->mapTo(scroll->widget(), QPoint(0, 0)).y() - 24);
    });
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QuorvaneApp::configure(application);
    const QStringList arguments = application.arguments();
    const int at = arguments.indexOf(QStringLiteral("--screenshot"));
    if (at < 0 || at + 1 >= arguments.size()) {
        std::fprintf(stderr, "usage: quorvane-screenshots --screenshot DIR\n");
        return 2;
    }
    outputFolder = arguments[at + 1];
    if (!QDir().mkpath(outputFolder)) {
        std::fprintf(stderr, "could not create %s\n", qPrintable(outputFolder));
        return 1;
    }
    renderWindow();
    renderBasics();
    renderTables();
    renderInspectors();
    renderSheets();
    renderScreens();
    renderInventory();
    renderInventoryScreens();
    renderPluginManagement();
    renderFormatCleanup();
    renderLongCleanupList();
    stagedPages.clear();
    return failures == 0 ? 0 : 1;
}
