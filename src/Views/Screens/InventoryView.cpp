#include "Views/Screens/InventoryView.h"

#include "Discovery/PluginFolderAccess.h"
#include "HelperClient/PluginManagementService.h"
#include "Model/OperationNotice.h"
#include "Store/PluginInventoryStore.h"
#include "Support/LocaleText.h"
#include "Support/PlainText.h"
#include "Views/Kit/BatchSelectionBar.h"
#include "Views/Kit/ConfirmAlert.h"
#include "Views/Kit/FilterMenu.h"
#include "Views/Kit/InfoBar.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/MetricCard.h"
#include "Views/Kit/PageHeader.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/PathBox.h"
#include "Views/Kit/PluginDetailPane.h"
#include "Views/Kit/PluginTable.h"
#include "Views/Kit/PluginTableModel.h"
#include "Views/Kit/RevealInFinder.h"
#include "Views/Kit/RoundedBox.h"
#include "Views/Kit/SymbolLabel.h"
#include "Views/Kit/TextStyle.h"
#include "Views/Screens/CsvWriter.h"
#include "Views/Screens/PrivilegedActionRoad.h"
#include "Views/Screens/ScreenLayout.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvane {

namespace {

namespace text {
const QString all = QStringLiteral("All");
const QString title = QStringLiteral("Plugin Inventory");
const QString sampleSubtitle = QStringLiteral("Sample inventory — run a read-only scan to inspect this Mac.");
const QString scannedSubtitle = QStringLiteral("Read-only scan completed %1.");
const QString authorizeFolder = QStringLiteral("Authorize Folder…");
const QString foldersAuthorized = QStringLiteral("%1 folders authorized");
const QString exportCsv = QStringLiteral("Export CSV…");
const QString cancelScan = QStringLiteral("Cancel Scan");
const QString scanPlugins = QStringLiteral("Scan Plugins");
const QString preparing = QStringLiteral("Preparing standard plugin locations…");
const QString scanning = QStringLiteral("Scanning %1 plugins…");
const QString bundlesFound = QStringLiteral("%1 bundles found");
const QString limitedAccess = QStringLiteral("Limited Folder Access");
const QString limitedAccessDetail =
    QStringLiteral("Quorvane completed a partial read-only scan. Grant access only to the listed plugin "
                   "folders, then scan again.");
const QString openParent = QStringLiteral("Open Parent");
const QString storageError = QStringLiteral("Quorvane could not save its local inventory state: ");
const QString folderError = QStringLiteral("Folder authorization failed: ");
const QString helperStillAvailable =
    QStringLiteral(" Scanning, search, export, and protection remain available.");
const QString searchPlaceholder = QStringLiteral("Search plugins…");
const QString shown = QStringLiteral("%1 of %2 active plugins shown");
const QString clearFilters = QStringLiteral("Clear Filters");
const QString pluginNoun = QStringLiteral("plugin");
const QString protectSelected = QStringLiteral("Protect Selected");
const QString removeProtection = QStringLiteral("Remove Protection");
const QString quarantineSelected = QStringLiteral("Quarantine Selected…");
const QString clearSelection = QStringLiteral("Clear Selection");
const QString batchUnavailable = QStringLiteral("Batch quarantine unavailable: ");
const QString batchTitle = QStringLiteral("Quarantine Selected Plugins?");
const QString batchAction = QStringLiteral("Move to Quarantine");
const QString batchMessage =
    QStringLiteral("Quorvane will move %1 selected plugins (%2 format bundles) into reversible quarantine. "
                   "Every bundle has been preflighted; no permanent deletion will occur.");
const QString exportPanelTitle = QStringLiteral("Export Quorvane Inventory");
const QString exportFileName = QStringLiteral("Quorvane-Plugin-Inventory.csv");
const QString exportedTitle = QStringLiteral("Inventory Exported");
const QString exportedMessage = QStringLiteral("The CSV report was saved to the location you selected.");
const QString exportFailedFallback = QStringLiteral("The inventory could not be exported.");
const QString listSeparator = QStringLiteral(" | ");
} // namespace text

QString protectionLabel(int level) {
    switch (level) {
    case 1:
        return QStringLiteral("Partially Protected");
    case 2:
        return QStringLiteral("All Formats Protected");
    case 3:
        return QStringLiteral("Mandatory Protection");
    default:
        return QStringLiteral("Not Protected");
    }
}

QString bundleEntry(const PluginBundleRecord& record) {
    return record.format + QStringLiteral(" [") +
           (record.isProtected ? QStringLiteral("Protected") : QStringLiteral("Not Protected")) +
           QStringLiteral("]: ") + record.quarantinePath.value_or(record.path);
}

QStringList csvFields(const Plugin& plugin) {
    QStringList bundles;
    for (const PluginBundleRecord& record : plugin.bundleRecords())
        bundles << bundleEntry(record);
    return {plugin.name,
            plugin.manufacturer,
            plugin.version,
            plugin.formats.join(text::listSeparator),
            plugin.architecture,
            plugin.size,
            rawValue(plugin.status),
            protectionLabel(plugin.protectionLevel()),
            bundles.join(text::listSeparator)};
}

int activeBundleCount(const Plugin& plugin) {
    int count = 0;
    plugin.forEachBundleRecord([&](const PluginBundleRecord& record) { count += record.isActive() ? 1 : 0; });
    return count;
}

} // namespace

// Defers the change handlers to the end of an action, so they see what the action left.
class InventoryViewModel::ActionScope {
public:
    explicit ActionScope(InventoryViewModel& model) : m_model(model) { ++m_model.m_actionDepth; }
    ~ActionScope() {
        if (--m_model.m_actionDepth == 0) {
            m_model.settle();
            Q_EMIT m_model.changed();
        }
    }
    ActionScope(const ActionScope&) = delete;
    ActionScope& operator=(const ActionScope&) = delete;

private:
    InventoryViewModel& m_model;
};

InventoryViewModel::InventoryViewModel(PluginFolderAccess& folderAccess,
                                       PluginManagementService& managementService,
                                       PluginInventoryStore& store,
                                       Binding<std::optional<Plugin>> selectedPlugin, Binding<QString> query,
                                       ScreenServices services, QObject* parent)
    : QObject(parent), m_folderAccess(folderAccess), m_service(managementService), m_store(store),
      m_selectedPlugin(std::move(selectedPlugin)), m_query(std::move(query)),
      m_services(std::move(services)) {
    onPluginsChanged();
    // The change handlers do not run for the values the screen starts with.
    m_seenGeneration = m_generation;
    m_seenFilteredIDs.clear();
    for (int row : filteredRows())
        m_seenFilteredIDs.push_back(activeList()[static_cast<size_t>(row)].id);
    m_seenFilterKey = filterKey();

    connect(&m_store, &PluginInventoryStore::pluginsChanged, this, &InventoryViewModel::onPluginsChanged);
    const auto emitChanged = [this] { Q_EMIT changed(); };
    for (auto signal :
         {&PluginInventoryStore::isScanningChanged, &PluginInventoryStore::scanProgressChanged,
          &PluginInventoryStore::lastScanDateChanged, &PluginInventoryStore::inaccessibleLocationsChanged,
          &PluginInventoryStore::lastScanNoticeChanged, &PluginInventoryStore::lastStorageErrorChanged,
          &PluginInventoryStore::lastOperationErrorChanged,
          &PluginInventoryStore::fileActionsBlockedByStorageChanged})
        connect(&m_store, signal, this, emitChanged);
    connectServiceReadiness(m_service, this, emitChanged);
    connect(&m_folderAccess, &PluginFolderAccess::authorizedFoldersChanged, this, emitChanged);
    connect(&m_folderAccess, &PluginFolderAccess::lastErrorChanged, this, emitChanged);
}

void InventoryViewModel::onPluginsChanged() {
    m_activeShared = std::make_shared<const std::vector<Plugin>>(m_store.activePlugins());
    m_activeIndex.clear();
    m_activeIndex.reserve(static_cast<qsizetype>(activeList().size()));
    m_activeTraits.assign(activeList().size(), 0);
    for (size_t index = 0; index < activeList().size(); ++index) {
        const Plugin& plugin = activeList()[index];
        m_activeIndex.insert(plugin.id, static_cast<int>(index));
        const int level = plugin.protectionLevel();
        m_activeTraits[index] =
            static_cast<quint8>((level == 0 || level == 1 ? protectable : 0) |
                                (level != 0 && !plugin.isMandatoryShell() ? unprotectable : 0));
    }
    ++m_generation;
    if (m_actionDepth > 0)
        return;
    settle();
    Q_EMIT changed();
}

// State.

QString InventoryViewModel::query() const {
    return m_query.get ? m_query.get() : QString();
}

void InventoryViewModel::setQuery(const QString& query) {
    const ActionScope scope(*this);
    if (m_query.set)
        m_query.set(query);
}

QString InventoryViewModel::filter(Filter filter) const {
    switch (filter) {
    case Filter::format:
        return m_selectedFormat;
    case Filter::manufacturer:
        return m_selectedManufacturer;
    case Filter::architecture:
        return m_selectedArchitecture;
    case Filter::status:
        return m_selectedStatus;
    }
    return {};
}

void InventoryViewModel::setFilter(Filter filter, const QString& value) {
    const ActionScope scope(*this);
    switch (filter) {
    case Filter::format:
        m_selectedFormat = value;
        break;
    case Filter::manufacturer:
        m_selectedManufacturer = value;
        break;
    case Filter::architecture:
        m_selectedArchitecture = value;
        break;
    case Filter::status:
        m_selectedStatus = value;
        break;
    }
}

std::optional<Plugin> InventoryViewModel::selectedPlugin() const {
    return m_selectedPlugin.get ? m_selectedPlugin.get() : std::nullopt;
}

void InventoryViewModel::setSelectedPlugin(const std::optional<Plugin>& plugin) {
    if (m_selectedPlugin.set)
        m_selectedPlugin.set(plugin);
}

void InventoryViewModel::setSelectedPluginIDs(const QSet<QUuid>& ids) {
    if (ids == m_selectedPluginIDs)
        return;
    const ActionScope scope(*this);
    setSelection(ids);
}

void InventoryViewModel::setConfirmBatchQuarantine(bool confirm) {
    if (confirm == m_confirmBatchQuarantine)
        return;
    const ActionScope scope(*this);
    m_confirmBatchQuarantine = confirm;
}

void InventoryViewModel::dismissExportError() {
    const ActionScope scope(*this);
    m_exportError.reset();
}

// Header, toolbar, cards and the scan status.

QString InventoryViewModel::subtitle() const {
    const auto& date = m_store.lastScanDate();
    if (!date)
        return text::sampleSubtitle;
    return text::scannedSubtitle.arg(m_services.formatters->abbreviatedDateShortTime(*date));
}

std::optional<QString> InventoryViewModel::folderLabel() const {
    const QList<QUrl>& folders = m_folderAccess.authorizedFolders();
    if (folders.isEmpty())
        return std::nullopt;
    if (folders.size() == 1)
        return folders.front().toLocalFile();
    return text::foldersAuthorized.arg(folders.size());
}

bool InventoryViewModel::isScanning() const {
    return m_store.isScanning();
}

bool InventoryViewModel::canExport() const {
    return !m_store.isScanning() && m_store.lastScanDate().has_value();
}

bool InventoryViewModel::canScan() const {
    return !m_service.isWorking();
}

std::vector<InventoryViewModel::Metric> InventoryViewModel::metrics() const {
    if (m_metricsGeneration == m_generation)
        return m_metrics;
    int multipleFormats = 0;
    int appleSilicon = 0;
    int needsReview = 0;
    for (const Plugin& plugin : activeList()) {
        multipleFormats += plugin.formats.size() >= 2 ? 1 : 0;
        const QString& architecture = plugin.architecture;
        if (architecture == QLatin1String("Apple Silicon") || architecture == QLatin1String("Universal"))
            ++appleSilicon;
        else if (architecture == QLatin1String("Intel") || architecture == QLatin1String("Unknown"))
            ++needsReview;
    }
    m_metrics = {
        {QStringLiteral("externaldrive"), QStringLiteral("Plugin Products"),
         QString::number(activeList().size()), QStringLiteral("Active inventory"), Palette::accent()},
        {QStringLiteral("doc.on.doc"), QStringLiteral("Multiple Formats"), QString::number(multipleFormats),
         QStringLiteral("More than one format"), Palette::amber()},
        {QStringLiteral("cpu"), QStringLiteral("Apple Silicon"), QString::number(appleSilicon),
         QStringLiteral("Native or Universal"), Palette::green()},
        {QStringLiteral("exclamationmark.circle"), QStringLiteral("Needs Review"),
         QString::number(needsReview), QStringLiteral("Informational notes"), Palette::amber()},
    };
    m_metricsGeneration = m_generation;
    return m_metrics;
}

InventoryViewModel::ScanStatusArea InventoryViewModel::scanStatusArea() const {
    if (m_store.isScanning())
        return m_store.scanProgress() ? ScanStatusArea::progress : ScanStatusArea::preparing;
    return m_store.inaccessibleLocations().isEmpty() ? ScanStatusArea::none : ScanStatusArea::limitedAccess;
}

QString InventoryViewModel::scanProgressTitle() const {
    const auto& progress = m_store.scanProgress();
    return progress ? text::scanning.arg(progress->format) : text::preparing;
}

QString InventoryViewModel::scanProgressCount() const {
    const auto& progress = m_store.scanProgress();
    return text::bundlesFound.arg(progress ? progress->discoveredBundles : 0);
}

int InventoryViewModel::scanProgressValue() const {
    const auto& progress = m_store.scanProgress();
    return progress ? progress->completedLocations : 0;
}

int InventoryViewModel::scanProgressTotal() const {
    const auto& progress = m_store.scanProgress();
    return std::max(progress ? progress->totalLocations : 0, 1);
}

QString InventoryViewModel::scanProgressLocation() const {
    const auto& progress = m_store.scanProgress();
    return progress ? progress->location : QString();
}

QStringList InventoryViewModel::inaccessibleLocations() const {
    return m_store.inaccessibleLocations();
}

std::vector<InventoryViewModel::MessageBar> InventoryViewModel::messageBars() const {
    std::vector<MessageBar> bars;
    if (const auto& notice = m_store.lastScanNotice())
        bars.push_back({*notice, Palette::accent()});
    if (const auto& error = m_store.lastStorageError())
        bars.push_back({text::storageError + *error, Palette::amber()});
    if (const auto& error = m_folderAccess.lastError())
        bars.push_back({text::folderError + *error, Palette::amber()});
    if (const auto& error = m_store.lastOperationError())
        bars.push_back({*error, Palette::amber()});
    return bars;
}

std::optional<QString> InventoryViewModel::helperBlockingText() const {
    const std::optional<QString> reason = m_service.quarantineBlockingReason();
    if (!reason)
        return std::nullopt;
    return *reason + text::helperStillAvailable;
}

// Filters and search.

const std::vector<Plugin>& InventoryViewModel::activePlugins() const {
    return activeList();
}

InventoryViewModel::FilterKey InventoryViewModel::filterKey() const {
    return {m_generation,           query(),         m_selectedFormat, m_selectedManufacturer,
            m_selectedArchitecture, m_selectedStatus};
}

const std::vector<QString>& InventoryViewModel::searchKeys() const {
    if (m_searchKeysGeneration == m_generation)
        return m_searchKeys;
    // Texts folded for an earlier list are folded alike now; only new texts go through ICU.
    QHash<QString, QString> folded;
    folded.reserve(static_cast<qsizetype>(activeList().size()) * 2);
    std::vector<QString> keys;
    keys.reserve(activeList().size() * 2);
    const auto key = [&](const QString& text) {
        auto found = folded.constFind(text);
        if (found != folded.cend())
            return *found;
        auto earlier = m_foldedTexts.constFind(text);
        const QString made = earlier != m_foldedTexts.cend() ? *earlier : caseInsensitiveSearchKey(text);
        folded.insert(text, made);
        return made;
    };
    for (const Plugin& plugin : activeList()) {
        keys.push_back(key(plugin.name));
        keys.push_back(key(plugin.manufacturer));
    }
    m_foldedTexts = std::move(folded);
    m_searchKeys = std::move(keys);
    m_searchKeysGeneration = m_generation;
    return m_searchKeys;
}

const std::vector<int>& InventoryViewModel::filteredRows() const {
    FilterKey key = filterKey();
    if (m_filteredKey == key)
        return m_filteredRows;
    const bool searching = !key.query.isEmpty();
    const std::vector<QString>* keys = searching ? &searchKeys() : nullptr;
    const QString needle = searching ? caseInsensitiveSearchKey(key.query) : QString();
    std::vector<int> rows;
    rows.reserve(activeList().size());
    for (size_t index = 0; index < activeList().size(); ++index) {
        if (!passesFilterMenus(activeList()[index], key))
            continue;
        if (searching && !(*keys)[index * 2].contains(needle) && !(*keys)[index * 2 + 1].contains(needle))
            continue;
        rows.push_back(static_cast<int>(index));
    }
    m_filteredRows = std::move(rows);
    m_filteredKey = std::move(key);
    return m_filteredRows;
}

std::vector<Plugin> InventoryViewModel::filteredPlugins() const {
    std::vector<Plugin> plugins;
    for (int row : filteredRows())
        plugins.push_back(activeList()[static_cast<size_t>(row)]);
    return plugins;
}

bool InventoryViewModel::passesFilterMenus(const Plugin& plugin, const FilterKey& key) {
    if (key.format != text::all &&
        std::none_of(plugin.formats.begin(), plugin.formats.end(),
                     [&](const QString& format) { return plainEqual(format, key.format); }))
        return false;
    if (key.manufacturer != text::all && !plainEqual(plugin.manufacturer, key.manufacturer))
        return false;
    if (key.architecture != text::all && !plainEqual(plugin.architecture, key.architecture))
        return false;
    return key.status == text::all || plainEqual(rawValue(plugin.status), key.status);
}

bool InventoryViewModel::matchesFilters(const Plugin& plugin) const {
    const QString search = query();
    if (!search.isEmpty() && !localizedCaseInsensitiveContains(plugin.name, search) &&
        !localizedCaseInsensitiveContains(plugin.manufacturer, search))
        return false;
    return passesFilterMenus(plugin, filterKey());
}

QStringList InventoryViewModel::options(Filter filter) const {
    if (m_optionsGeneration != m_generation) {
        // Exact copies collapse in a hash first; only the distinct texts are sorted and compared.
        std::vector<QSet<QString>> values(4);
        for (const Plugin& plugin : activeList()) {
            for (const QString& format : plugin.formats)
                values[0].insert(format);
            values[1].insert(plugin.manufacturer);
            values[2].insert(plugin.architecture);
            values[3].insert(rawValue(plugin.status));
        }
        m_options.clear();
        for (const QSet<QString>& set : values) {
            QStringList distinct(set.begin(), set.end());
            std::sort(distinct.begin(), distinct.end(), plainLess);
            distinct.erase(std::unique(distinct.begin(), distinct.end(), plainEqual), distinct.end());
            m_options.push_back(QStringList{text::all} + distinct);
        }
        m_optionsGeneration = m_generation;
    }
    return m_options[static_cast<size_t>(filter)];
}

bool InventoryViewModel::hasActiveFilters() const {
    return !query().isEmpty() || m_selectedFormat != text::all || m_selectedManufacturer != text::all ||
           m_selectedArchitecture != text::all || m_selectedStatus != text::all;
}

QString InventoryViewModel::shownCountText() const {
    return text::shown.arg(filteredRows().size()).arg(activeList().size());
}

void InventoryViewModel::clearFilters() {
    const ActionScope scope(*this);
    if (m_query.set)
        m_query.set(QString());
    m_selectedFormat = text::all;
    m_selectedManufacturer = text::all;
    m_selectedArchitecture = text::all;
    m_selectedStatus = text::all;
}

// Selection.

const Plugin* InventoryViewModel::activePlugin(const QUuid& id) const {
    const auto found = m_activeIndex.constFind(id);
    return found == m_activeIndex.cend() ? nullptr : &activeList()[static_cast<size_t>(*found)];
}

std::vector<Plugin> InventoryViewModel::selectedPlugins() const {
    std::vector<Plugin> selected;
    if (m_selectedPluginIDs.isEmpty())
        return selected;
    for (const Plugin& plugin : activeList()) {
        if (m_selectedPluginIDs.contains(plugin.id))
            selected.push_back(plugin);
    }
    return selected;
}

void InventoryViewModel::setSelection(const QSet<QUuid>& ids) {
    m_selectedPluginIDs = ids;
    m_summary.reset();
}

const InventoryViewModel::SelectionSummary& InventoryViewModel::selectionSummary() const {
    if (m_summary && m_summaryGeneration == m_generation)
        return *m_summary;
    SelectionSummary summary;
    for (const QUuid& id : m_selectedPluginIDs) {
        if (const auto found = m_activeIndex.constFind(id); found != m_activeIndex.cend()) {
            ++summary.count;
            summary.traits |= m_activeTraits[static_cast<size_t>(*found)];
        }
    }
    m_summary = summary;
    m_summaryGeneration = m_generation;
    return *m_summary;
}

int InventoryViewModel::selectedPluginCount() const {
    return selectionSummary().count;
}

bool InventoryViewModel::canProtectSelected() const {
    return selectionSummary().traits & protectable;
}

bool InventoryViewModel::canRemoveProtectionFromSelected() const {
    return selectionSummary().traits & unprotectable;
}

std::optional<QString> InventoryViewModel::batchQuarantineReason() const {
    if (auto reason = m_service.quarantineBlockingReason())
        return reason;
    return m_store.planQuarantine(activeBundleSelections(selectedPlugins()));
}

QString InventoryViewModel::batchQuarantineMessage() const {
    const std::vector<Plugin> selected = selectedPlugins();
    int bundles = 0;
    for (const Plugin& plugin : selected)
        bundles += activeBundleCount(plugin);
    return text::batchMessage.arg(selected.size()).arg(bundles);
}

void InventoryViewModel::clearSelection() {
    const ActionScope scope(*this);
    setSelection({});
    setSelectedPlugin(std::nullopt);
}

void InventoryViewModel::setBatchProtection(bool protect) {
    const ActionScope scope(*this);
    m_store.setBatchProtection(selectedPlugins(), protect);
}

std::optional<QString> InventoryViewModel::quarantineReason(const Plugin& plugin) const {
    if (auto reason = m_service.quarantineBlockingReason())
        return reason;
    return m_store.planQuarantine(activeBundleSelections({plugin}));
}

std::optional<QString> InventoryViewModel::bundleQuarantineReason(const Plugin& plugin,
                                                                  const PluginBundleRecord& bundle) const {
    if (auto reason = m_service.quarantineBlockingReason())
        return reason;
    return m_store.planQuarantine({PluginBundleSelection{plugin.id, bundle.id()}});
}

void InventoryViewModel::setProtection(const Plugin& plugin, bool protect) {
    const ActionScope scope(*this);
    m_store.setProtection(plugin, protect);
    // The product-level change finds the fresh record by manufacturer and name.
    const auto identity = [](const Plugin& product) {
        return lowercasedLocaleIndependent(product.manufacturer + u'|' + product.name);
    };
    const QString wanted = identity(plugin);
    const auto found = std::find_if(activeList().begin(), activeList().end(),
                                    [&](const Plugin& product) { return identity(product) == wanted; });
    setSelectedPlugin(found == activeList().end() ? std::nullopt : std::optional<Plugin>(*found));
}

void InventoryViewModel::setBundleProtection(const Plugin& plugin, const PluginBundleRecord& bundle,
                                             bool protect) {
    const ActionScope scope(*this);
    m_store.setFormatProtection(PluginBundleSelection{plugin.id, bundle.id()}, protect);
    const Plugin* fresh = activePlugin(plugin.id);
    setSelectedPlugin(fresh ? std::optional<Plugin>(*fresh) : std::nullopt);
}

void InventoryViewModel::quarantinePlugins(const std::vector<Plugin>& plugins) {
    quarantineSelections(activeBundleSelections(plugins));
}

void InventoryViewModel::quarantineSelections(const std::vector<PluginBundleSelection>& selections) {
    runPrivilegedAction(quarantineRoad(m_store, m_service, selections), this, [this] {
        const ActionScope scope(*this);
        setSelection({});
        setSelectedPlugin(std::nullopt);
    });
}

// The change handlers.

void InventoryViewModel::settle() {
    if (m_settling)
        return;
    m_settling = true;
    for (int pass = 0; pass < 16; ++pass) {
        const bool pluginsChanged = m_seenGeneration != m_generation;
        const bool idsChanged = m_seenIDs != m_selectedPluginIDs;
        // The same filters over the same list give the same rows; only a change is worth comparing.
        const FilterKey key = filterKey();
        const bool filtersMoved = key != m_seenFilterKey;
        std::vector<QUuid> filteredIDs;
        if (filtersMoved) {
            filteredIDs.reserve(filteredRows().size());
            for (int row : filteredRows())
                filteredIDs.push_back(activeList()[static_cast<size_t>(row)].id);
        }
        const bool filteredChanged = filtersMoved && filteredIDs != m_seenFilteredIDs;
        if (!pluginsChanged && !idsChanged && !filteredChanged) {
            m_seenFilterKey = key;
            break;
        }
        m_seenGeneration = m_generation;
        m_seenIDs = m_selectedPluginIDs;
        m_seenFilterKey = key;
        if (filtersMoved)
            m_seenFilteredIDs = std::move(filteredIDs);
        const QSet<QUuid> ids = m_selectedPluginIDs;
        if (pluginsChanged)
            reconcileSelectionWithInventory();
        if (idsChanged)
            syncInspectedPlugin(ids);
        if (filteredChanged)
            pruneSelectionToVisibleRows();
    }
    m_settling = false;
}

void InventoryViewModel::reconcileSelectionWithInventory() {
    QSet<QUuid> kept;
    for (const QUuid& id : std::as_const(m_selectedPluginIDs)) {
        if (m_activeIndex.contains(id))
            kept.insert(id);
    }
    setSelection(kept);
    if (m_selectedPluginIDs.isEmpty()) {
        setSelectedPlugin(std::nullopt);
        return;
    }
    if (const std::optional<Plugin> inspected = selectedPlugin();
        inspected && m_selectedPluginIDs.contains(inspected->id)) {
        if (const Plugin* fresh = activePlugin(inspected->id)) {
            setSelectedPlugin(*fresh);
            return;
        }
    }
    const auto first = std::find_if(activeList().begin(), activeList().end(), [&](const Plugin& plugin) {
        return m_selectedPluginIDs.contains(plugin.id);
    });
    setSelectedPlugin(first == activeList().end() ? std::nullopt : std::optional<Plugin>(*first));
}

void InventoryViewModel::syncInspectedPlugin(const QSet<QUuid>& ids) {
    if (ids.isEmpty()) {
        setSelectedPlugin(std::nullopt);
        return;
    }
    if (const std::optional<Plugin> inspected = selectedPlugin(); inspected && ids.contains(inspected->id))
        return;
    for (int row : filteredRows()) {
        const Plugin& plugin = activeList()[static_cast<size_t>(row)];
        if (ids.contains(plugin.id)) {
            setSelectedPlugin(plugin);
            return;
        }
    }
    setSelectedPlugin(std::nullopt);
}

void InventoryViewModel::pruneSelectionToVisibleRows() {
    if (m_selectedPluginIDs.isEmpty())
        return;
    QSet<QUuid> visible;
    for (int row : filteredRows()) {
        const QUuid& id = activeList()[static_cast<size_t>(row)].id;
        if (m_selectedPluginIDs.contains(id))
            visible.insert(id);
    }
    setSelection(visible);
}

// Scan, folders and export.

void InventoryViewModel::appear() {
    clearSelection();
}

void InventoryViewModel::scanPlugins() {
    m_store.startScan(m_folderAccess.authorizedFolders(), &m_service);
}

void InventoryViewModel::cancelScan() {
    if (m_store.isScanning() && m_store.scanControl())
        m_store.scanControl()->requestCancellation();
}

void InventoryViewModel::authorizeFolders() {
    m_folderAccess.authorizeFolders();
}

void InventoryViewModel::openParentFolder(const QString& location) {
    quorvane::openParentFolder(location);
}

void InventoryViewModel::exportCSV(QWidget* parent) {
    const SaveRequest request{text::exportPanelTitle, text::exportFileName,
                              QStringLiteral("Comma-separated values (*.csv)"), QStringLiteral("csv")};
    const ExportOutcome outcome = exportAtomically(*m_services.saveLocation, parent, request,
                                                   [this] { return csvDocument(activeList()); });
    switch (outcome.kind) {
    case ExportOutcome::Kind::cancelled:
        return;
    case ExportOutcome::Kind::written:
        m_store.presentNotice(
            OperationNotice::make(text::exportedTitle, text::exportedMessage, NoticeStyle::success));
        return;
    case ExportOutcome::Kind::failed: {
        const ActionScope scope(*this);
        m_exportError = outcome.error;
        return;
    }
    }
}

QStringList InventoryViewModel::csvHeader() {
    return {QStringLiteral("Plugin"),  QStringLiteral("Manufacturer"), QStringLiteral("Version"),
            QStringLiteral("Formats"), QStringLiteral("Architecture"), QStringLiteral("Size"),
            QStringLiteral("Status"),  QStringLiteral("Protected"),    QStringLiteral("Bundle Locations")};
}

QString InventoryViewModel::csvRow(const Plugin& plugin) {
    return CsvWriter::line(csvFields(plugin));
}

QByteArray InventoryViewModel::csvDocument(const std::vector<Plugin>& plugins) {
    CsvWriter writer(csvHeader());
    for (const Plugin& plugin : plugins)
        writer.addRow(csvFields(plugin));
    return writer.bytes();
}

// The widget.

namespace {

// The system's green, which the authorised-folder label uses instead of the palette's.
QColor systemGreen() {
    return QColor::fromRgbF(0.20, 0.78, 0.35);
}

QWidget* makeRow(QWidget* parent, int spacing, QHBoxLayout** layout) {
    auto* row = new QWidget(parent);
    *layout = new QHBoxLayout(row);
    (*layout)->setContentsMargins(0, 0, 0, 0);
    (*layout)->setSpacing(spacing);
    return row;
}

QLabel* makeMonospaced(const QString& content, int pixelSize, QWidget* parent) {
    auto* label = new QLabel(content, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(monospacedFont(pixelSize));
    setForeground(label, Palette::secondaryText());
    return label;
}

} // namespace

InventoryView::InventoryView(PluginFolderAccess& folderAccess, PluginManagementService& managementService,
                             PluginInventoryStore& store, Binding<std::optional<Plugin>> selectedPlugin,
                             Binding<QString> query, ScreenServices services, QWidget* parent)
    : QWidget(parent),
      m_model(new InventoryViewModel(folderAccess, managementService, store, std::move(selectedPlugin),
                                     std::move(query), std::move(services), this)) {
    setObjectName(QStringLiteral("inventoryView"));
    QVBoxLayout* body = makeScreenColumn(this, 22);

    // Header and scan toolbar.
    QHBoxLayout* toolbarLayout = nullptr;
    QWidget* toolbar = makeRow(this, 12, &toolbarLayout);
    toolbar->setObjectName(QStringLiteral("scanToolbar"));
    auto* authorize = new KitButton(text::authorizeFolder, QStringLiteral("folder.badge.plus"),
                                    ButtonStyle::bordered, toolbar);
    authorize->setObjectName(QStringLiteral("authorizeFolderButton"));
    connect(authorize, &QPushButton::clicked, m_model, &InventoryViewModel::authorizeFolders);
    toolbarLayout->addWidget(authorize);
    auto* folderLabel = new SymbolLabel(QStringLiteral("checkmark.shield.fill"), QString(),
                                        TextStyle::caption, systemGreen(), toolbar);
    folderLabel->setObjectName(QStringLiteral("authorizedFoldersLabel"));
    folderLabel->setMaximumWidth(260);
    m_folderLabel = folderLabel;
    m_folderText = folderLabel->textLabel();
    toolbarLayout->addWidget(folderLabel);
    m_exportButton =
        new KitButton(text::exportCsv, QStringLiteral("square.and.arrow.up"), ButtonStyle::bordered, toolbar);
    m_exportButton->setObjectName(QStringLiteral("exportCSVButton"));
    connect(m_exportButton, &QPushButton::clicked, this, [this] { m_model->exportCSV(this); });
    toolbarLayout->addWidget(m_exportButton);
    m_cancelButton = new KitButton(text::cancelScan, QStringLiteral("xmark"), ButtonStyle::bordered, toolbar);
    m_cancelButton->setObjectName(QStringLiteral("cancelScanButton"));
    connect(m_cancelButton, &QPushButton::clicked, m_model, &InventoryViewModel::cancelScan);
    toolbarLayout->addWidget(m_cancelButton);
    m_scanButton = new KitButton(text::scanPlugins, QStringLiteral("arrow.clockwise"),
                                 ButtonStyle::borderedProminent, toolbar);
    m_scanButton->setObjectName(QStringLiteral("scanPluginsButton"));
    connect(m_scanButton, &QPushButton::clicked, m_model, &InventoryViewModel::scanPlugins);
    toolbarLayout->addWidget(m_scanButton);
    auto* header = new PageHeader(text::title, m_model->subtitle(), toolbar, this);
    m_subtitle = header->findChild<QLabel*>(QStringLiteral("pageSubtitle"));
    body->addWidget(header);

    // Metric cards.
    QHBoxLayout* metricsLayout = nullptr;
    m_metrics = makeRow(this, 14, &metricsLayout);
    m_metrics->setObjectName(QStringLiteral("metricCards"));
    body->addWidget(m_metrics);

    // Scan status area: at most one of its three panels shows.
    m_statusArea = new QWidget(this);
    m_statusArea->setObjectName(QStringLiteral("scanStatusArea"));
    auto* statusLayout = new QVBoxLayout(m_statusArea);
    statusLayout->setContentsMargins(0, 0, 0, 0);
    m_progressPanel = new RoundedBox(Palette::panel(), std::nullopt, wellRadius, m_statusArea);
    m_progressPanel->setObjectName(QStringLiteral("scanProgressPanel"));
    auto* progressLayout = new QVBoxLayout(m_progressPanel);
    progressLayout->setContentsMargins(12, 12, 12, 12);
    progressLayout->setSpacing(8);
    QHBoxLayout* progressRow = nullptr;
    QWidget* progressHeading = makeRow(m_progressPanel, 8, &progressRow);
    m_progressTitle = makeLabel(QString(), TextStyle::body, std::nullopt, progressHeading);
    m_progressTitle->setObjectName(QStringLiteral("scanProgressTitle"));
    m_progressTitle->setFont(systemFont(bodyPixelSize, QFont::DemiBold));
    m_progressCount = makeMonospaced(QString(), 11, progressHeading);
    m_progressCount->setObjectName(QStringLiteral("scanProgressCount"));
    progressRow->addWidget(m_progressTitle);
    progressRow->addStretch(1);
    progressRow->addWidget(m_progressCount);
    progressLayout->addWidget(progressHeading);
    m_progressBar = new QProgressBar(m_progressPanel);
    m_progressBar->setObjectName(QStringLiteral("scanProgressBar"));
    m_progressBar->setTextVisible(false);
    progressLayout->addWidget(m_progressBar);
    m_progressLocation = makeMonospaced(QString(), 10, m_progressPanel);
    m_progressLocation->setObjectName(QStringLiteral("scanProgressLocation"));
    // One line that never widens the screen: a long path is shortened to the panel's width.
    m_progressLocation->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    progressLayout->addWidget(m_progressLocation);
    statusLayout->addWidget(m_progressPanel);

    m_preparing = new QWidget(m_statusArea);
    m_preparing->setObjectName(QStringLiteral("scanPreparing"));
    auto* preparingLayout = new QVBoxLayout(m_preparing);
    preparingLayout->setContentsMargins(0, 0, 0, 0);
    preparingLayout->addWidget(makeLabel(text::preparing, TextStyle::body, std::nullopt, m_preparing));
    auto* busy = new QProgressBar(m_preparing);
    busy->setObjectName(QStringLiteral("scanPreparingBar"));
    busy->setRange(0, 0);
    busy->setTextVisible(false);
    preparingLayout->addWidget(busy);
    statusLayout->addWidget(m_preparing);

    m_limitedPanel = new RoundedBox(withOpacity(Palette::amber(), 0.08), withOpacity(Palette::amber(), 0.5),
                                    wellRadius, m_statusArea);
    m_limitedPanel->setObjectName(QStringLiteral("limitedAccessPanel"));
    auto* limitedLayout = new QVBoxLayout(m_limitedPanel);
    limitedLayout->setContentsMargins(12, 12, 12, 12);
    limitedLayout->setSpacing(9);
    limitedLayout->addWidget(new SymbolLabel(QStringLiteral("lock.trianglebadge.exclamationmark"),
                                             text::limitedAccess, TextStyle::headline, Palette::amber(),
                                             m_limitedPanel));
    auto* limitedDetail =
        makeLabel(text::limitedAccessDetail, TextStyle::caption, Palette::secondaryText(), m_limitedPanel);
    limitedDetail->setWordWrap(true);
    limitedLayout->addWidget(limitedDetail);
    m_limitedRows = new QVBoxLayout;
    m_limitedRows->setSpacing(4);
    limitedLayout->addLayout(m_limitedRows);
    statusLayout->addWidget(m_limitedPanel);
    body->addWidget(m_statusArea);

    // Message bars.
    m_messages = new QWidget(this);
    m_messages->setObjectName(QStringLiteral("messageBars"));
    auto* messagesLayout = new QVBoxLayout(m_messages);
    messagesLayout->setContentsMargins(0, 0, 0, 0);
    messagesLayout->setSpacing(8);
    body->addWidget(m_messages);

    // Filter bar and list header.
    QHBoxLayout* filterLayout = nullptr;
    m_filterBar = makeRow(this, 12, &filterLayout);
    m_filterBar->setObjectName(QStringLiteral("filterBar"));
    m_search = new QLineEdit(m_filterBar);
    m_search->setObjectName(QStringLiteral("searchField"));
    m_search->setPlaceholderText(text::searchPlaceholder);
    m_search->setClearButtonEnabled(true);
    // The rounded-border field.
    m_search->setStyleSheet(
        QStringLiteral("QLineEdit { background: %1; border: 1px solid %2; border-radius: 6px;"
                       " padding: 4px 8px; }")
            .arg(Palette::raisedPanel().name(QColor::HexArgb),
                 withOpacity(QColor(Qt::white), 0.2).name(QColor::HexArgb)));
    m_search->setText(m_model->query());
    connect(m_search, &QLineEdit::textChanged, m_model, &InventoryViewModel::setQuery);
    filterLayout->addWidget(m_search, 1);
    m_filterMenus.resize(4, nullptr);
    m_shownOptions.resize(4);
    body->addWidget(m_filterBar);

    QHBoxLayout* listHeaderLayout = nullptr;
    QWidget* listHeader = makeRow(this, 8, &listHeaderLayout);
    listHeader->setObjectName(QStringLiteral("listHeader"));
    m_shownCount = makeLabel(QString(), TextStyle::caption, Palette::secondaryText(), listHeader);
    m_shownCount->setObjectName(QStringLiteral("shownCountLabel"));
    listHeaderLayout->addWidget(m_shownCount);
    listHeaderLayout->addStretch(1);
    auto* clear = new KitButton(text::clearFilters, QString(), ButtonStyle::plain, listHeader);
    clear->setTint(Palette::accent());
    clear->setObjectName(QStringLiteral("clearFiltersButton"));
    connect(clear, &QPushButton::clicked, m_model, &InventoryViewModel::clearFilters);
    m_clearFilters = clear;
    listHeaderLayout->addWidget(clear);
    body->addWidget(listHeader);

    // Batch bar block.
    m_selectionBlock = new QWidget(this);
    m_selectionBlock->setObjectName(QStringLiteral("selectionBlock"));
    auto* selectionLayout = new QVBoxLayout(m_selectionBlock);
    selectionLayout->setContentsMargins(0, 0, 0, 0);
    selectionLayout->setSpacing(6);
    body->addWidget(m_selectionBlock);

    // Table and inspector.
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->setObjectName(QStringLiteral("inventorySplit"));
    split->setChildrenCollapsible(false);
    m_table = new MultiSelectPluginTable({[this] { return m_tableIDs = m_model->selectedPluginIDs(); },
                                          [this](QSet<QUuid> ids) {
                                              m_tableIDs = ids;
                                              m_model->setSelectedPluginIDs(ids);
                                          }},
                                         split);
    m_table->setMinimumWidth(650);
    split->addWidget(m_table);
    PluginDetailPane::Actions actions{
        [this](const Plugin& plugin) { return m_model->quarantineReason(plugin); },
        [this](const Plugin& plugin, const PluginBundleRecord& bundle) {
            return m_model->bundleQuarantineReason(plugin, bundle);
        },
        [this](const Plugin& plugin, bool protect) { m_model->setProtection(plugin, protect); },
        [this](const Plugin& plugin, const PluginBundleRecord& bundle, bool protect) {
            m_model->setBundleProtection(plugin, bundle, protect);
        },
        [this](const Plugin& plugin) { m_model->quarantinePlugins({plugin}); },
        [this](const Plugin& plugin, const PluginBundleRecord& bundle) {
            m_model->quarantineSelections({PluginBundleSelection{plugin.id, bundle.id()}});
        }};
    m_inspector = new PluginDetailPane(std::move(actions), split);
    m_inspector->setMinimumWidth(285);
    m_inspector->setMaximumWidth(350);
    split->addWidget(m_inspector);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);
    split->setSizes({900, 315});
    body->addWidget(split, 1);

    m_helperBar = new QWidget(this);
    m_helperBar->setObjectName(QStringLiteral("helperBlockingArea"));
    auto* helperLayout = new QVBoxLayout(m_helperBar);
    helperLayout->setContentsMargins(0, 0, 0, 0);
    body->addWidget(m_helperBar);

    connect(m_model, &InventoryViewModel::changed, this, &InventoryView::refresh);
    m_model->appear();
    refresh();
}

void InventoryView::refresh() {
    refreshHeader();
    refreshStatusArea();
    refreshMessages();
    refreshFilters();
    refreshTable();
    refreshSelectionBlock();
    refreshInspector();
    refreshAlerts();
}

void InventoryView::refreshHeader() {
    if (m_subtitle)
        m_subtitle->setText(m_model->subtitle());
    const std::optional<QString> folders = m_model->folderLabel();
    m_folderLabel->setVisible(folders.has_value());
    if (folders) {
        m_folderText->setToolTip(*folders);
        m_folderText->setText(QFontMetrics(m_folderText->font()).elidedText(*folders, Qt::ElideMiddle, 220));
    }
    m_exportButton->setEnabled(m_model->canExport());
    const bool scanning = m_model->isScanning();
    m_cancelButton->setVisible(scanning);
    m_scanButton->setVisible(!scanning);
    m_scanButton->setEnabled(m_model->canScan());

    std::vector<InventoryViewModel::Metric> metrics = m_model->metrics();
    if (metrics == m_shownMetrics)
        return;
    clearLayout(m_metrics->layout());
    for (const auto& metric : metrics)
        m_metrics->layout()->addWidget(
            new MetricCard(metric.icon, metric.title, metric.value, metric.detail, metric.color, m_metrics));
    m_shownMetrics = std::move(metrics);
}

void InventoryView::refreshStatusArea() {
    const auto area = m_model->scanStatusArea();
    using Area = InventoryViewModel::ScanStatusArea;
    m_statusArea->setVisible(area != Area::none);
    m_progressPanel->setVisible(area == Area::progress);
    m_preparing->setVisible(area == Area::preparing);
    m_limitedPanel->setVisible(area == Area::limitedAccess);
    if (area == Area::progress) {
        m_progressTitle->setText(m_model->scanProgressTitle());
        m_progressCount->setText(m_model->scanProgressCount());
        m_progressBar->setRange(0, m_model->scanProgressTotal());
        m_progressBar->setValue(std::min(m_model->scanProgressValue(), m_model->scanProgressTotal()));
        const QString location = m_model->scanProgressLocation();
        const int width = m_progressLocation->width();
        m_progressLocation->setText(
            width > 0 ? QFontMetrics(m_progressLocation->font()).elidedText(location, Qt::ElideMiddle, width)
                      : location);
        m_progressLocation->setToolTip(location);
    }
    const QStringList locations = m_model->inaccessibleLocations();
    if (area != Area::limitedAccess || locations == m_shownLocations)
        return;
    clearLayout(m_limitedRows);
    for (const QString& location : locations) {
        QHBoxLayout* rowLayout = nullptr;
        QWidget* row = makeRow(m_limitedPanel, 8, &rowLayout);
        row->setObjectName(QStringLiteral("inaccessibleLocationRow"));
        // Selectable, and wrapped anywhere so that a long path never widens the screen.
        auto* path = new WrappingText(location, monospacedFont(10), 3, row);
        path->setObjectName(QStringLiteral("inaccessibleLocation"));
        setForeground(path, Palette::secondaryText());
        rowLayout->addWidget(path, 1);
        auto* open = new KitButton(text::openParent, QString(), ButtonStyle::plain, row);
        open->setObjectName(QStringLiteral("openParentButton"));
        connect(open, &QPushButton::clicked, m_model,
                [model = m_model, location] { model->openParentFolder(location); });
        rowLayout->addWidget(open);
        m_limitedRows->addWidget(row);
    }
    m_shownLocations = locations;
}

void InventoryView::refreshMessages() {
    std::vector<InventoryViewModel::MessageBar> bars = m_model->messageBars();
    if (bars != m_shownMessages) {
        clearLayout(m_messages->layout());
        for (const auto& bar : bars)
            m_messages->layout()->addWidget(new InfoBar(bar.text, bar.color, m_messages));
        m_shownMessages = std::move(bars);
    }
    m_messages->setVisible(!m_shownMessages.empty());

    const std::optional<QString> helper = m_model->helperBlockingText();
    if (helper != m_shownHelperText) {
        auto* helperBars = static_cast<QVBoxLayout*>(m_helperBar->layout());
        clearLayout(helperBars);
        addAmberBar(helperBars, helper, QStringLiteral("helperBlockingBar"), m_helperBar);
        m_shownHelperText = helper;
    }
    m_helperBar->setVisible(helper.has_value());
}

void InventoryView::refreshFilters() {
    if (m_search->text() != m_model->query()) {
        const QSignalBlocker blocker(m_search);
        m_search->setText(m_model->query());
    }
    using Filter = InventoryViewModel::Filter;
    static const std::pair<Filter, const char*> menus[] = {{Filter::format, "Format"},
                                                           {Filter::manufacturer, "Manufacturer"},
                                                           {Filter::architecture, "Architecture"},
                                                           {Filter::status, "Status"}};
    static const char* names[] = {"formatFilter", "manufacturerFilter", "architectureFilter", "statusFilter"};
    auto* layout = static_cast<QHBoxLayout*>(m_filterBar->layout());
    for (size_t index = 0; index < 4; ++index) {
        const Filter filter = menus[index].first;
        QStringList options = m_model->options(filter);
        if (m_filterMenus[index] && options == m_shownOptions[index]) {
            m_filterMenus[index]->refresh();
            continue;
        }
        auto* menu =
            new FilterMenu(QString::fromLatin1(menus[index].second),
                           {[model = m_model, filter] { return model->filter(filter); },
                            [model = m_model, filter](QString value) { model->setFilter(filter, value); }},
                           options, m_filterBar);
        menu->setObjectName(QString::fromLatin1(names[index]));
        if (m_filterMenus[index]) {
            // The layout hands back the old menu's item, which is ours to delete.
            delete layout->replaceWidget(m_filterMenus[index], menu);
            m_filterMenus[index]->hide();
            m_filterMenus[index]->setParent(nullptr);
            m_filterMenus[index]->deleteLater();
        } else {
            layout->addWidget(menu);
        }
        m_filterMenus[index] = menu;
        m_shownOptions[index] = std::move(options);
    }
    m_shownCount->setText(m_model->shownCountText());
    m_clearFilters->setVisible(m_model->hasActiveFilters());
}

void InventoryView::refreshTable() {
    if (!m_tableFilled || m_tableGeneration != m_model->generation()) {
        m_table->setPlugins(m_model->sharedActivePlugins(), m_model->filteredRows());
        m_tableGeneration = m_model->generation();
        m_tableFilled = true;
    } else if (m_table->model()->rows() != m_model->filteredRows()) {
        m_table->setRows(m_model->filteredRows());
    } else if (m_tableIDs != m_model->selectedPluginIDs()) {
        m_table->refreshSelection();
    }
}

void InventoryView::refreshSelectionBlock() {
    std::optional<SelectionRendering> rendering;
    if (!m_model->selectedPluginIDs().isEmpty())
        rendering =
            SelectionRendering{m_model->selectedPluginCount(), m_model->canProtectSelected(),
                               m_model->canRemoveProtectionFromSelected(), m_model->batchQuarantineReason()};
    m_selectionBlock->setVisible(rendering.has_value());
    if (rendering == m_shownSelection)
        return;
    m_shownSelection = rendering;
    if (!rendering)
        return;
    if (!m_batchBar) {
        // Built once and updated in place, so a new selection costs no widgets.
        auto* actions = new QWidget;
        auto* actionsLayout = new QHBoxLayout(actions);
        actionsLayout->setContentsMargins(0, 0, 0, 0);
        actionsLayout->setSpacing(8);
        m_protectButton = new KitButton(text::protectSelected, QStringLiteral("shield.checkered"),
                                        ButtonStyle::bordered, actions);
        m_protectButton->setObjectName(QStringLiteral("protectSelectedButton"));
        connect(m_protectButton, &QPushButton::clicked, m_model,
                [model = m_model] { model->setBatchProtection(true); });
        m_removeButton = new KitButton(text::removeProtection, QStringLiteral("shield.slash"),
                                       ButtonStyle::bordered, actions);
        m_removeButton->setObjectName(QStringLiteral("removeProtectionButton"));
        connect(m_removeButton, &QPushButton::clicked, m_model,
                [model = m_model] { model->setBatchProtection(false); });
        m_quarantineButton = new KitButton(text::quarantineSelected, QStringLiteral("shippingbox"),
                                           ButtonStyle::borderedProminent, actions);
        m_quarantineButton->setObjectName(QStringLiteral("quarantineSelectedButton"));
        connect(m_quarantineButton, &QPushButton::clicked, m_model,
                [model = m_model] { model->setConfirmBatchQuarantine(true); });
        auto* clear = new KitButton(text::clearSelection, QString(), ButtonStyle::plain, actions);
        clear->setObjectName(QStringLiteral("clearSelectionButton"));
        connect(clear, &QPushButton::clicked, m_model, &InventoryViewModel::clearSelection);
        for (QWidget* button : {static_cast<QWidget*>(m_protectButton), static_cast<QWidget*>(m_removeButton),
                                static_cast<QWidget*>(m_quarantineButton), static_cast<QWidget*>(clear)})
            actionsLayout->addWidget(button);
        m_batchBar = new BatchSelectionBar(rendering->count, text::pluginNoun, actions, m_selectionBlock);
        m_selectionBlock->layout()->addWidget(m_batchBar);
        m_batchReason = makeLabel(QString(), TextStyle::caption2, Palette::amber(), m_selectionBlock);
        m_batchReason->setObjectName(QStringLiteral("batchQuarantineUnavailable"));
        m_batchReason->setWordWrap(true);
        m_selectionBlock->layout()->addWidget(m_batchReason);
    }
    m_batchBar->setCount(rendering->count);
    m_protectButton->setEnabled(rendering->canProtect);
    m_removeButton->setEnabled(rendering->canRemove);
    m_quarantineButton->setEnabled(!rendering->reason);
    m_batchReason->setVisible(rendering->reason.has_value());
    m_batchReason->setText(rendering->reason ? text::batchUnavailable + *rendering->reason : QString());
}

void InventoryView::refreshInspector() {
    const std::optional<Plugin> plugin = m_model->selectedPlugin();
    m_inspector->setPlugin(plugin, plugin ? plugin->bundleRecords() : std::vector<PluginBundleRecord>{});
}

void InventoryView::refreshAlerts() {
    if (m_model->confirmBatchQuarantine() && !m_batchAlert) {
        m_batchAlert =
            presentConfirmation(this, text::batchTitle, m_model->batchQuarantineMessage(), text::batchAction,
                                [model = QPointer<InventoryViewModel>(m_model)] {
                                    if (model)
                                        model->quarantinePlugins(model->selectedPlugins());
                                });
        m_batchAlert->setObjectName(QStringLiteral("batchQuarantineAlert"));
        connect(m_batchAlert, &QMessageBox::finished, m_model,
                [model = m_model] { model->setConfirmBatchQuarantine(false); });
    }
    if (m_model->exportError() && !m_exportAlert) {
        m_exportAlert = presentExportFailure(this, *m_model->exportError(), text::exportFailedFallback,
                                             [model = QPointer<InventoryViewModel>(m_model)] {
                                                 if (model)
                                                     model->dismissExportError();
                                             });
    }
}

} // namespace quorvane
