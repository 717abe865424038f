#pragma once

#include "Model/Plugin.h"
#include "Model/PluginList.h"
#include "Views/Kit/Binding.h"
#include "Views/Screens/Shared/AtomicExport.h"
#include "Views/Screens/Shared/ScreenLayout.h"
#include "Views/Screens/Shared/ScreenServices.h"

#include <QColor>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace quorvane {

class BatchSelectionBar;
class FilterMenu;
class KitButton;
class MultiSelectPluginTable;
class PluginDetailPane;
class PluginFolderAccess;
class PluginInventoryStore;
class PluginManagementService;

// The state and the decisions of the Inventory screen, without widgets: the filters and the search,
// the selection kept in step with the inventory and the filters, every count, text and enable rule
// the screen shows, the scan and export actions and the quarantine road.
//
// Derived values follow the store at once. Lists that a large inventory makes costly (the active
// products, the filtered rows and the folded search texts) are kept until the inventory or a filter
// changes, which gives the same values as computing them on every read. The metrics and the filter
// options are worked out when the inventory changes (the options moved by the products a change
// names), and a signal says when they did. A change settles the selection first, then tells each
// part of the screen it touched, by that part's own signal.
class InventoryViewModel : public QObject {
    Q_OBJECT
public:
    enum class Filter { format, manufacturer, architecture, status };
    // What the scan status area shows, in the order it is chosen.
    enum class ScanStatusArea { progress, preparing, limitedAccess, none };

    using Metric = MetricSpec;
    struct MessageBar {
        QString text;
        QColor color;
        bool operator==(const MessageBar&) const = default;
    };

    InventoryViewModel(PluginFolderAccess& folderAccess, PluginManagementService& managementService,
                       PluginInventoryStore& store, Binding<std::optional<Plugin>> selectedPlugin,
                       Binding<QString> query, ScreenServices services, QObject* parent = nullptr);

    PluginInventoryStore& store() const { return m_store; }
    // Counts the store's inventory lists this screen has seen; the table swaps its products only
    // when it moves on.
    quint64 generation() const { return m_generation; }
    // The ids of the products that changed between the list of `generation` and the current one;
    // none when that is not known (everything may have changed).
    std::optional<QSet<QUuid>> changedSince(quint64 generation) const;
    PluginManagementService& managementService() const { return m_service; }

    // State.
    QString query() const;
    void setQuery(const QString& query);
    QString filter(Filter filter) const;
    void setFilter(Filter filter, const QString& value);
    std::optional<Plugin> selectedPlugin() const;
    const QSet<QUuid>& selectedPluginIDs() const { return m_selectedPluginIDs; }
    void setSelectedPluginIDs(const QSet<QUuid>& ids);
    bool confirmBatchQuarantine() const { return m_confirmBatchQuarantine; }
    void setConfirmBatchQuarantine(bool confirm);
    const std::optional<QString>& exportError() const { return m_exportError; }
    // The "Export Failed" alert was closed.
    void dismissExportError();

    // Header, toolbar, cards and the scan status.
    QString subtitle() const;
    // None while no folder is authorised.
    std::optional<QString> folderLabel() const;
    bool isScanning() const;
    bool canExport() const;
    bool canScan() const;
    const std::vector<Metric>& metrics() const { return m_metrics; }
    ScanStatusArea scanStatusArea() const;
    QString scanProgressTitle() const;
    // What the status area says while the scan gathers its locations.
    static QString preparingText();
    QString scanProgressCount() const;
    int scanProgressValue() const;
    int scanProgressTotal() const;
    QString scanProgressLocation() const;
    QStringList inaccessibleLocations() const;
    std::vector<MessageBar> messageBars() const;
    // The bar under the table while the helper cannot quarantine.
    const std::optional<QString>& helperBlockingText() const { return m_helperBlockingText; }

    // Filters and search.
    // What a shown row must pass: the four filter menus and the search, folded once.
    struct RowFilter {
        QString query;
        QString needle;
        QString format;
        QString manufacturer;
        QString architecture;
        QString status;
        bool operator==(const RowFilter&) const = default;
    };
    RowFilter rowFilter() const;
    // Whether `plugins[index]` passes `filter`; the active list's folded texts are kept.
    bool acceptsRow(const RowFilter& filter, const PluginList& plugins, std::size_t index) const;
    const PluginList& activePlugins() const;
    const PluginList& sharedActivePlugins() const { return m_activeShared; }
    // Indices into activePlugins() of the shown rows, in store order.
    const std::vector<int>& filteredRows() const;
    // One flag per active product: whether it is shown.
    const std::vector<char>& filteredMask() const;
    std::vector<Plugin> filteredPlugins() const;
    bool matchesFilters(const Plugin& plugin) const;
    QStringList options(Filter filter) const;
    bool hasActiveFilters() const;
    QString shownCountText() const;
    void clearFilters();

    // Selection and actions.
    std::vector<Plugin> selectedPlugins() const;
    int selectedPluginCount() const;
    bool canProtectSelected() const;
    bool canRemoveProtectionFromSelected() const;
    std::optional<QString> batchQuarantineReason() const;
    QString batchQuarantineMessage() const;
    void clearSelection();
    void setBatchProtection(bool protect);
    std::optional<QString> quarantineReason(const Plugin& plugin) const;
    std::optional<QString> bundleQuarantineReason(const Plugin& plugin,
                                                  const PluginBundleRecord& bundle) const;
    void setProtection(const Plugin& plugin, bool protect);
    void setBundleProtection(const Plugin& plugin, const PluginBundleRecord& bundle, bool protect);
    void quarantinePlugins(const std::vector<Plugin>& plugins);
    void quarantineSelections(const std::vector<PluginBundleSelection>& selections);

    // Scan, folders and export.
    void appear();
    void scanPlugins();
    void cancelScan();
    void authorizeFolders();
    void openParentFolder(const QString& location);
    void exportCSV(QWidget* parent);

    static QStringList csvHeader();
    static QString csvRow(const Plugin& plugin);
    static QByteArray csvDocument(const PluginList& plugins);

Q_SIGNALS:
    // Each part of the screen has its signal, sent once a change has settled and only when
    // something that part shows may have changed; together they come in the order the screen is
    // laid out.
    // subtitle(), folderLabel(), canExport(), isScanning() or canScan().
    void headerChanged();
    // What the scan status area shows: scanStatusArea() and the scan's progress.
    void scanStatusChanged();
    // helperBlockingText() has a new value.
    void helperBlockingChanged();
    // The search, a filter choice, or the products they apply to: the rows shown and their count.
    void filtersChanged();
    // The selection, or what the batch bar says of it (its count, the buttons, the reason).
    void selectionChanged();
    // selectedPlugin(), or what its inspector says of it (its quarantine reasons).
    void inspectorChanged();
    // confirmBatchQuarantine() or exportError().
    void alertsChanged();
    // metrics() has new values.
    void metricsChanged();
    // An option of that filter menu came or went.
    void optionsChanged(InventoryViewModel::Filter filter);
    // inaccessibleLocations() has new values.
    void inaccessibleLocationsChanged();
    // Something messageBars() says changed.
    void messageBarsChanged();

private:
    // The parts of the screen a change touches; see the signals.
    enum Part : quint8 {
        headerPart = 1,
        scanStatusPart = 2,
        helperBlockingPart = 4,
        filtersPart = 8,
        selectionPart = 16,
        inspectorPart = 32,
        alertsPart = 64,
    };
    // Marks `parts` as changed; outside an action their signals go at once.
    void touch(quint8 parts);
    // The parts whose quarantine reasons follow the helper and the store's file-action state.
    quint8 partsWithReasons() const;
    void publish();
    void onPluginsChanged();
    // Takes the store's new active list; the id index is made again only when the products' places
    // may have moved.
    void takeActiveList();
    // Follows a change of a few products from `previous`: the index moves by the products that came
    // or went before each. False when the lists do not line up so; the index is then to be made
    // afresh.
    bool followChange(const PluginList& previous, const QSet<QUuid>& changed);
    void setSelectedPlugin(const std::optional<Plugin>& plugin);
    // Runs the change handlers for what changed since the last settle, once each.
    void settle();
    void reconcileSelectionWithInventory(const std::optional<QSet<QUuid>>& changedIDs);
    void syncInspectedPlugin();
    void pruneSelectionToVisibleRows(const std::optional<QSet<QUuid>>& changedIDs);
    const Plugin* activePlugin(const QUuid& id) const;
    // How many selected products are active, and every trait any of them has; worked out in one
    // pass and kept until the selection or the product list changes.
    struct SelectionSummary {
        int count = 0;
        quint8 traits = 0;
    };
    const SelectionSummary& selectionSummary() const;
    // Every change of the selection goes through here, which drops its summary.
    void setSelection(const QSet<QUuid>& ids);
    const std::vector<QString>& searchKeys() const;

    PluginFolderAccess& m_folderAccess;
    PluginManagementService& m_service;
    PluginInventoryStore& m_store;
    Binding<std::optional<Plugin>> m_selectedPlugin;
    Binding<QString> m_query;
    ScreenServices m_services;

    QString m_selectedFormat = QStringLiteral("All");
    QString m_selectedManufacturer = QStringLiteral("All");
    QString m_selectedArchitecture = QStringLiteral("All");
    QString m_selectedStatus = QStringLiteral("All");
    std::optional<QString> m_exportError;
    QSet<QUuid> m_selectedPluginIDs;
    bool m_confirmBatchQuarantine = false;

    // The active products of the store's current list, shared with the table.
    PluginList m_activeShared;
    const PluginList& activeList() const { return m_activeShared; }
    QHash<QUuid, int> m_activeIndex;
    // What the batch buttons ask of the active product at `index`, read from the list's look-ups:
    // asking it of every selected product on each selection change would cost a name test each.
    enum Trait : quint8 { protectable = 1, unprotectable = 2 };
    static quint8 traitsAt(const PluginList& plugins, std::size_t index);
    quint64 m_generation = 0;
    // The products each of the last few lists changed (none: everything may have), by generation.
    struct ListChange {
        quint64 generation = 0;
        std::optional<QSet<QUuid>> ids;
    };
    std::vector<ListChange> m_recentChanges;
    mutable std::optional<SelectionSummary> m_summary;
    mutable quint64 m_summaryGeneration = 0;

    // Whether `plugin` passes the four filter menus of `filter` (the search aside).
    static bool passesFilterMenus(const Plugin& plugin, const RowFilter& filter);
    // The shown rows, kept until the inventory or the filter changes.
    mutable std::optional<RowFilter> m_filteredBy;
    mutable quint64 m_filteredGeneration = 0;
    mutable std::vector<int> m_filteredRows;
    mutable std::vector<char> m_filteredMask;
    // How many active products have each option of each filter menu (formats count once per
    // format listed), kept in step with every change; the menus' lists are sorted again only when
    // an option comes or goes.
    std::array<QHash<QString, int>, 4> m_optionCounts;
    std::array<QStringList, 4> m_options;
    std::array<bool, 4> m_optionsMoved{};
    // Active products with two formats or more, counted with the options.
    int m_multipleFormats = 0;
    void countAllOptions();
    void countOptions(const Plugin& plugin, int step);
    // Sorts again the menus whose options came or went, and says which changed.
    void updateOptions();
    std::vector<Metric> m_metrics;
    // From the option counts: reads no product.
    void updateMetrics();
    // Worked out again whenever the helper's readiness moves; says whether it changed.
    std::optional<QString> m_helperBlockingText;
    bool updateHelperBlockingText();
    // Folded name and manufacturer of each active product, made on the first search.
    mutable std::optional<quint64> m_searchKeysGeneration;
    mutable std::vector<QString> m_searchKeys;
    mutable QHash<QString, QString> m_foldedTexts;

    // What changed since the last settle: the inventory (with the products it names, none meaning
    // any of them), the filter, the selection.
    bool m_inventoryMoved = false;
    std::optional<QSet<QUuid>> m_unsettledIDs;
    bool m_filterMoved = false;
    bool m_selectionMoved = false;
    bool m_settling = false;
    // The parts whose signals are still to go.
    quint8 m_changedParts = 0;
    // Inside an action: the change handlers run once it has finished, as after a redraw.
    int m_actionDepth = 0;
    class ActionScope;
};

} // namespace quorvane
