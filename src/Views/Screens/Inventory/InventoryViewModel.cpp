#include "Views/Screens/Inventory/InventoryViewModel.h"

#include "Discovery/PluginFolderAccess.h"
#include "Discovery/PluginScanner.h"
#include "HelperClient/PluginManagementService.h"
#include "Model/Identity.h"
#include "Model/OperationNotice.h"
#include "Store/InventoryThreads.h"
#include "Store/PluginInventoryStore.h"
#include "Support/LocaleText.h"
#include "Support/ParallelFor.h"
#include "Support/PlainText.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/RevealInFinder.h"
#include "Views/Screens/Shared/CsvWriter.h"
#include "Views/Screens/Shared/PrivilegedActionRoad.h"

#include <QDir>
#include <QSet>

#include <algorithm>
#include <utility>

namespace quorvane {

namespace {

namespace text {
const QString all = QStringLiteral("All");
const QString sampleSubtitle = QStringLiteral("Sample inventory — run a read-only scan to inspect this Mac.");
const QString scannedSubtitle = QStringLiteral("Read-only scan completed %1.");
const QString foldersAuthorized = QStringLiteral("%1 folders authorized");
const QString preparing = QStringLiteral("Preparing standard plugin locations…");
const QString scanning = QStringLiteral("Scanning %1 plugins…");
const QString bundlesFound = QStringLiteral("%1 bundles found");
const QString storageError = QStringLiteral("Quorvane could not save its local inventory state: ");
const QString unreadableState = QStringLiteral("Quorvane could not read its local inventory state: ");
const QString folderError = QStringLiteral("Folder authorization failed: ");
const QString helperStillAvailable =
    QStringLiteral(" Scanning, search, export, and protection remain available.");
const QString shown = QStringLiteral("%1 of %2 active plugins shown");
const QString batchMessage =
    QStringLiteral("Quorvane will move %1 selected plugins (%2 format bundles) into reversible quarantine. "
                   "Every bundle has been preflighted; no permanent deletion will occur.");
const QString exportPanelTitle = QStringLiteral("Export Quorvane Inventory");
const QString exportFileName = QStringLiteral("Quorvane-Plugin-Inventory.csv");
const QString exportedTitle = QStringLiteral("Inventory Exported");
const QString exportedMessage = QStringLiteral("The CSV report was saved to the location you selected.");
const QString listSeparator = QStringLiteral(" | ");
const QString folderAuthorizedTitle = QStringLiteral("Folder Authorized");
const QString folderCovers =
    QStringLiteral("Scans now look in the standard plugin locations within “%1”: %2.");
const QString folderCoversNone =
    QStringLiteral("“%1” holds none of the standard plugin locations, so a scan finds nothing in it. Scans "
                   "look only in the standard locations (such as Library/Audio/Plug-Ins/VST3) within the "
                   "folders you authorize.");
} // namespace text

// What newly authorised folders add to a scan, which reads only the standard locations within
// them: a folder holding none of them would otherwise go unnoticed until a scan finds nothing.
std::optional<OperationNotice> folderCoverageNotice(const QList<QUrl>& added,
                                                    const PluginScanner::Environment& environment) {
    if (added.isEmpty())
        return std::nullopt;
    QStringList sentences;
    bool coversAny = false;
    for (const QUrl& folder : added) {
        const QString shown = QDir::toNativeSeparators(folder.toLocalFile());
        QStringList covered;
        for (const PluginScanner::Location& location : PluginScanner::selectLocations({folder}, environment))
            covered << QStringLiteral("%1 (%2)").arg(QDir::toNativeSeparators(location.url.toLocalFile()),
                                                     location.format);
        coversAny = coversAny || !covered.isEmpty();
        sentences << (covered.isEmpty() ? text::folderCoversNone.arg(shown)
                                        : text::folderCovers.arg(shown, covered.join(QStringLiteral(", "))));
    }
    return OperationNotice::make(text::folderAuthorizedTitle, sentences.join(u' '),
                                 coversAny ? NoticeStyle::success : NoticeStyle::warning);
}

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

// How many lists back the changed products are known.
constexpr std::size_t maxRecentChanges = 8;

// The bar under the table while the helper cannot quarantine.
std::optional<QString> blockingText(const PluginManagementService& service) {
    const std::optional<QString> reason = service.quarantineBlockingReason();
    if (!reason)
        return std::nullopt;
    return *reason + text::helperStillAvailable;
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
            m_model.publish();
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
    takeActiveList();
    countAllOptions();
    updateOptions();
    updateMetrics();
    ++m_generation;
    m_helperBlockingText = blockingText(m_service);
    // The screen opens on nothing inspected but what its selection holds.
    m_inventoryMoved = true;
    settle();
    m_changedParts = 0;

    connect(&m_store, &PluginInventoryStore::pluginsChanged, this, &InventoryViewModel::onPluginsChanged);
    connect(&m_store, &PluginInventoryStore::inaccessibleLocationsChanged, this,
            &InventoryViewModel::inaccessibleLocationsChanged);
    for (auto signal :
         {&PluginInventoryStore::lastScanNoticeChanged, &PluginInventoryStore::lastStorageErrorChanged,
          &PluginInventoryStore::lastOperationErrorChanged,
          &PluginInventoryStore::fileActionsBlockedByStorageChanged})
        connect(&m_store, signal, this, &InventoryViewModel::messageBarsChanged);
    connect(&m_folderAccess, &PluginFolderAccess::lastErrorChanged, this,
            &InventoryViewModel::messageBarsChanged);
    const auto touching = [this](quint8 parts) { return [this, parts] { touch(parts); }; };
    connect(&m_store, &PluginInventoryStore::isScanningChanged, this, touching(headerPart | scanStatusPart));
    connect(&m_store, &PluginInventoryStore::lastScanDateChanged, this, touching(headerPart));
    for (auto signal :
         {&PluginInventoryStore::scanProgressChanged, &PluginInventoryStore::inaccessibleLocationsChanged})
        connect(&m_store, signal, this, touching(scanStatusPart));
    connect(&m_folderAccess, &PluginFolderAccess::authorizedFoldersChanged, this, touching(headerPart));
    // Whether the helper can move bundles decides its bar and every quarantine reason (a store whose
    // file actions are blocked gives those reasons too); a request in flight holds back a scan.
    connectTransactionReadiness(m_store, m_service, this, [this] {
        touch((updateHelperBlockingText() ? helperBlockingPart : 0) | partsWithReasons());
    });
    connect(&m_service, &PluginManagementService::isWorkingChanged, this, touching(headerPart));
    connect(&m_store, &PluginInventoryStore::fileActionsBlockedByStorageChanged, this,
            [this] { touch(partsWithReasons()); });
}

void InventoryViewModel::touch(quint8 parts) {
    m_changedParts |= parts;
    if (m_actionDepth == 0 && !m_settling)
        publish();
}

quint8 InventoryViewModel::partsWithReasons() const {
    // The plans behind the reasons look at every product's bundles, so they follow any change.
    return (m_selectedPluginIDs.isEmpty() ? 0 : selectionPart) | (selectedPlugin() ? inspectorPart : 0);
}

void InventoryViewModel::publish() {
    // Taken first: a part's receiver may start another change, which publishes its own parts.
    const quint8 parts = std::exchange(m_changedParts, 0);
    const std::pair<Part, void (InventoryViewModel::*)()> partSignals[] = {
        {headerPart, &InventoryViewModel::headerChanged},
        {scanStatusPart, &InventoryViewModel::scanStatusChanged},
        {helperBlockingPart, &InventoryViewModel::helperBlockingChanged},
        {filtersPart, &InventoryViewModel::filtersChanged},
        {selectionPart, &InventoryViewModel::selectionChanged},
        {inspectorPart, &InventoryViewModel::inspectorChanged},
        {alertsPart, &InventoryViewModel::alertsChanged},
    };
    for (const auto& [part, signal] : partSignals) {
        if (parts & part)
            Q_EMIT(this->*signal)();
    }
}

quint8 InventoryViewModel::traitsAt(const PluginList& plugins, std::size_t index) {
    const int level = plugins.protectionLevelAt(index);
    return static_cast<quint8>((level == 0 || level == 1 ? protectable : 0) |
                               (level != 0 && !plugins.isMandatoryShellAt(index) ? unprotectable : 0));
}

void InventoryViewModel::takeActiveList() {
    const PluginList previous = std::exchange(m_activeShared, m_store.sharedActivePlugins());
    if (m_generation > 0 && followChange(previous, m_store.changedPluginIDs()))
        return;
    const PluginList& plugins = activeList();
    m_activeIndex.clear();
    m_activeIndex.reserve(static_cast<qsizetype>(plugins.size()));
    for (size_t index = 0; index < plugins.size(); ++index)
        m_activeIndex.insert(plugins.idAt(index), static_cast<int>(index));
}

bool InventoryViewModel::followChange(const PluginList& previous, const QSet<QUuid>& changed) {
    const PluginList& plugins = activeList();
    if (changed.isEmpty() || m_activeIndex.size() != static_cast<qsizetype>(previous.size()))
        return false;
    QSet<QUuid> came;
    const auto went = [&](const QUuid& id) {
        // One that came again elsewhere has its new place already.
        if (!came.contains(id))
            m_activeIndex.remove(id);
    };
    std::size_t from = 0;
    for (std::size_t index = 0; index < plugins.size();) {
        const QUuid& id = plugins.idAt(index);
        if (from < previous.size() && previous.idAt(from) == id) {
            if (index != from)
                m_activeIndex[id] = static_cast<int>(index);
            ++index;
            ++from;
        } else if (from < previous.size() && changed.contains(previous.idAt(from))) {
            went(previous.idAt(from++));
        } else if (changed.contains(id)) {
            m_activeIndex.insert(id, static_cast<int>(index));
            came.insert(id);
            ++index;
        } else {
            return false;
        }
    }
    for (; from < previous.size(); ++from) {
        if (!changed.contains(previous.idAt(from)))
            return false;
        went(previous.idAt(from));
    }
    // An id held twice leaves the index short.
    return m_activeIndex.size() == static_cast<qsizetype>(plugins.size());
}

void InventoryViewModel::onPluginsChanged() {
    const PluginList previous = m_activeShared;
    const QSet<QUuid>& changedIDs = m_store.changedPluginIDs();
    // What the changed products were, found before the index follows the change.
    const bool previousUnique = m_activeIndex.size() == static_cast<qsizetype>(previous.size());
    std::vector<const Plugin*> before;
    for (const QUuid& id : changedIDs) {
        if (const Plugin* old = activePlugin(id))
            before.push_back(old);
    }
    takeActiveList();
    const PluginList& plugins = activeList();
    // A change of a few products moves the option counts by what those products had and have.
    // (An id held twice would be counted once there, so such a list is counted afresh.)
    if (changedIDs.isEmpty() || m_activeIndex.size() != static_cast<qsizetype>(plugins.size()) ||
        !previousUnique) {
        countAllOptions();
    } else {
        for (const Plugin* old : before)
            countOptions(*old, -1);
        for (const QUuid& id : changedIDs) {
            if (const Plugin* fresh = activePlugin(id))
                countOptions(*fresh, 1);
        }
    }
    updateOptions();
    updateMetrics();
    ++m_generation;
    if (m_recentChanges.size() == maxRecentChanges)
        m_recentChanges.erase(m_recentChanges.begin());
    m_recentChanges.push_back(
        {m_generation, changedIDs.isEmpty() ? std::nullopt : std::optional(changedIDs)});
    // What the products of several changes named adds up until the selection settles.
    if (!m_inventoryMoved)
        m_unsettledIDs = QSet<QUuid>();
    m_inventoryMoved = true;
    if (changedIDs.isEmpty())
        m_unsettledIDs.reset();
    else if (m_unsettledIDs)
        m_unsettledIDs->unite(changedIDs);
    // Said once the selection has settled on the new list.
    m_changedParts |= filtersPart | partsWithReasons();
    if (m_actionDepth == 0) {
        settle();
        publish();
    }
}

std::optional<QSet<QUuid>> InventoryViewModel::changedSince(quint64 generation) const {
    QSet<QUuid> ids;
    quint64 next = generation + 1;
    for (const ListChange& change : m_recentChanges) {
        if (change.generation < next)
            continue;
        if (change.generation != next || !change.ids)
            return std::nullopt;
        ids.unite(*change.ids);
        ++next;
    }
    if (next != m_generation + 1)
        return std::nullopt;
    return ids;
}

// State.

QString InventoryViewModel::query() const {
    return m_query.get ? m_query.get() : QString();
}

void InventoryViewModel::setQuery(const QString& query) {
    if (query == this->query())
        return;
    const ActionScope scope(*this);
    if (m_query.set)
        m_query.set(query);
    m_filterMoved = true;
    touch(filtersPart);
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
    if (value == this->filter(filter))
        return;
    const ActionScope scope(*this);
    m_filterMoved = true;
    touch(filtersPart);
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
    if (!m_selectedPlugin.set || plugin == selectedPlugin())
        return;
    m_selectedPlugin.set(plugin);
    touch(inspectorPart);
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
    touch(alertsPart);
}

void InventoryViewModel::dismissExportError() {
    if (!m_exportError)
        return;
    const ActionScope scope(*this);
    m_exportError.reset();
    touch(alertsPart);
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

void InventoryViewModel::updateMetrics() {
    const QHash<QString, int>& architectures = m_optionCounts[static_cast<size_t>(Filter::architecture)];
    const auto products = [&](const char* architecture) {
        return architectures.value(QLatin1String(architecture));
    };
    const int multipleFormats = m_multipleFormats;
    const int appleSilicon = products("Apple Silicon") + products("Universal");
    const int needsReview = products("Intel") + products("Unknown");
    std::vector<Metric> metrics = {
        {QStringLiteral("externaldrive"), QStringLiteral("Plugin Products"),
         QString::number(activeList().size()), QStringLiteral("Active inventory"), Palette::accent()},
        {QStringLiteral("doc.on.doc"), QStringLiteral("Multiple Formats"), QString::number(multipleFormats),
         QStringLiteral("More than one format"), Palette::amber()},
        {QStringLiteral("cpu"), QStringLiteral("Apple Silicon"), QString::number(appleSilicon),
         QStringLiteral("Native or Universal"), Palette::green()},
        {QStringLiteral("exclamationmark.circle"), QStringLiteral("Needs Review"),
         QString::number(needsReview), QStringLiteral("Informational notes"), Palette::amber()},
    };
    if (metrics == m_metrics)
        return;
    m_metrics = std::move(metrics);
    Q_EMIT metricsChanged();
}

InventoryViewModel::ScanStatusArea InventoryViewModel::scanStatusArea() const {
    if (m_store.isScanning())
        return m_store.scanProgress() ? ScanStatusArea::progress : ScanStatusArea::preparing;
    return m_store.inaccessibleLocations().isEmpty() ? ScanStatusArea::none : ScanStatusArea::limitedAccess;
}

QString InventoryViewModel::preparingText() {
    return text::preparing;
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
    if (const auto& error = m_store.lastStorageError()) {
        // A store blocked by its state file read it and never writes it; only a write can fail then.
        // On a read-only data folder the store's own sentence says what happened.
        const QString prefix = m_store.dataFolderReadOnly()            ? QString()
                               : m_store.fileActionsBlockedByStorage() ? text::unreadableState
                                                                       : text::storageError;
        bars.push_back({prefix + *error, Palette::amber()});
    }
    if (const auto& error = m_folderAccess.lastError())
        bars.push_back({text::folderError + *error, Palette::amber()});
    if (const auto& error = m_store.lastOperationError())
        bars.push_back({*error, Palette::amber()});
    return bars;
}

bool InventoryViewModel::updateHelperBlockingText() {
    std::optional<QString> text = blockingText(m_service);
    if (text == m_helperBlockingText)
        return false;
    m_helperBlockingText = std::move(text);
    return true;
}

// Filters and search.

const PluginList& InventoryViewModel::activePlugins() const {
    return activeList();
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

InventoryViewModel::RowFilter InventoryViewModel::rowFilter() const {
    const QString search = query();
    return {search,
            search.isEmpty() ? QString() : caseInsensitiveSearchKey(search),
            m_selectedFormat,
            m_selectedManufacturer,
            m_selectedArchitecture,
            m_selectedStatus};
}

bool InventoryViewModel::acceptsRow(const RowFilter& filter, const PluginList& plugins,
                                    std::size_t index) const {
    const Plugin& plugin = plugins[index];
    if (!passesFilterMenus(plugin, filter))
        return false;
    if (filter.needle.isEmpty())
        return true;
    if (plugins.isSameList(activeList())) {
        const std::vector<QString>& keys = searchKeys();
        return keys[index * 2].contains(filter.needle) || keys[index * 2 + 1].contains(filter.needle);
    }
    return caseInsensitiveSearchKey(plugin.name).contains(filter.needle) ||
           caseInsensitiveSearchKey(plugin.manufacturer).contains(filter.needle);
}

const std::vector<int>& InventoryViewModel::filteredRows() const {
    RowFilter filter = rowFilter();
    if (m_filteredGeneration == m_generation && m_filteredBy == filter)
        return m_filteredRows;
    std::vector<int> rows;
    rows.reserve(activeList().size());
    m_filteredMask.assign(activeList().size(), 0);
    for (size_t index = 0; index < activeList().size(); ++index) {
        if (acceptsRow(filter, activeList(), index)) {
            rows.push_back(static_cast<int>(index));
            m_filteredMask[index] = 1;
        }
    }
    m_filteredRows = std::move(rows);
    m_filteredBy = std::move(filter);
    m_filteredGeneration = m_generation;
    return m_filteredRows;
}

const std::vector<char>& InventoryViewModel::filteredMask() const {
    filteredRows();
    return m_filteredMask;
}

std::vector<Plugin> InventoryViewModel::filteredPlugins() const {
    std::vector<Plugin> plugins;
    for (int row : filteredRows())
        plugins.push_back(activeList()[static_cast<size_t>(row)]);
    return plugins;
}

bool InventoryViewModel::passesFilterMenus(const Plugin& plugin, const RowFilter& key) {
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
    return passesFilterMenus(plugin, rowFilter());
}

void InventoryViewModel::countOptions(const Plugin& plugin, int step) {
    const auto count = [&](Filter filter, const QString& option) {
        const auto which = static_cast<size_t>(filter);
        QHash<QString, int>& counts = m_optionCounts[which];
        auto found = counts.find(option);
        if (found == counts.end())
            found = counts.insert(option, 0);
        *found += step;
        // An option that came or went changes its menu's list.
        if (*found == 0 || *found == step) {
            if (*found == 0)
                counts.erase(found);
            m_optionsMoved[which] = true;
        }
    };
    for (const QString& format : plugin.formats)
        count(Filter::format, format);
    if (plugin.formats.size() >= 2)
        m_multipleFormats += step;
    count(Filter::manufacturer, plugin.manufacturer);
    count(Filter::architecture, plugin.architecture);
    count(Filter::status, rawValue(plugin.status));
}

void InventoryViewModel::countAllOptions() {
    // Each filter's pass over a large inventory runs on a thread of its own. Neighbours in
    // manufacturer order mostly share their values: a run of equal values is counted at once.
    const PluginList& plugins = activeList();
    const auto collect = [&](std::size_t which) {
        QHash<QString, int> counts;
        const auto add = [&](const QString& option, int run) { counts[option] += run; };
        const auto countRuns = [&](const auto& valueOf) {
            for (size_t start = 0; start < plugins.size();) {
                const QString& value = valueOf(plugins[start]);
                size_t end = start + 1;
                while (end < plugins.size() && valueOf(plugins[end]) == value)
                    ++end;
                add(value, static_cast<int>(end - start));
                start = end;
            }
        };
        switch (static_cast<Filter>(which)) {
        case Filter::format: {
            int multiple = 0;
            for (const Plugin& plugin : plugins) {
                for (const QString& format : plugin.formats)
                    add(format, 1);
                multiple += plugin.formats.size() >= 2 ? 1 : 0;
            }
            m_multipleFormats = multiple;
            break;
        }
        case Filter::manufacturer:
            countRuns([](const Plugin& plugin) -> const QString& { return plugin.manufacturer; });
            break;
        case Filter::architecture:
            countRuns([](const Plugin& plugin) -> const QString& { return plugin.architecture; });
            break;
        case Filter::status:
            for (size_t start = 0; start < plugins.size();) {
                size_t end = start + 1;
                while (end < plugins.size() && plugins[end].status == plugins[start].status)
                    ++end;
                add(rawValue(plugins[start].status), static_cast<int>(end - start));
                start = end;
            }
            break;
        }
        m_optionCounts[which] = std::move(counts);
        m_optionsMoved[which] = true;
    };
    forEachIndexInParallel(m_optionCounts.size(),
                           plugins.size() >= productsPerThread ? m_optionCounts.size() - 1 : 0, collect);
}

void InventoryViewModel::updateOptions() {
    for (size_t which = 0; which < m_options.size(); ++which) {
        if (!m_optionsMoved[which])
            continue;
        m_optionsMoved[which] = false;
        // Only the distinct texts are sorted and compared.
        const QHash<QString, int>& counts = m_optionCounts[which];
        QStringList distinct;
        distinct.reserve(counts.size());
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            distinct << it.key();
        std::sort(distinct.begin(), distinct.end(), plainLess);
        distinct.erase(std::unique(distinct.begin(), distinct.end(), plainEqual), distinct.end());
        QStringList options = QStringList{text::all} + distinct;
        if (options == m_options[which])
            continue;
        m_options[which] = std::move(options);
        Q_EMIT optionsChanged(static_cast<Filter>(which));
    }
}

QStringList InventoryViewModel::options(Filter filter) const {
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
    if (!hasActiveFilters())
        return;
    const ActionScope scope(*this);
    m_filterMoved = true;
    touch(filtersPart);
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
    if (ids == m_selectedPluginIDs)
        return;
    m_selectedPluginIDs = ids;
    m_summary.reset();
    m_selectionMoved = true;
    touch(selectionPart);
}

const InventoryViewModel::SelectionSummary& InventoryViewModel::selectionSummary() const {
    if (m_summary && m_summaryGeneration == m_generation)
        return *m_summary;
    SelectionSummary summary;
    for (const QUuid& id : m_selectedPluginIDs) {
        if (const auto found = m_activeIndex.constFind(id); found != m_activeIndex.cend()) {
            ++summary.count;
            summary.traits |= traitsAt(activeList(), static_cast<size_t>(*found));
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
    const QString wanted = productProtectionKey(plugin);
    const auto found = std::find_if(activeList().begin(), activeList().end(), [&](const Plugin& product) {
        return productProtectionKey(product) == wanted;
    });
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
    // In this order each handler sees what the one before it left, and none undoes another: the
    // selection keeps what is active, then what is shown, and the inspector follows the selection.
    const std::optional<QSet<QUuid>> changedIDs = std::exchange(m_unsettledIDs, std::nullopt);
    if (m_inventoryMoved)
        reconcileSelectionWithInventory(changedIDs);
    // A new filter may hide any selected product; a change of a few products only those.
    if (m_filterMoved || (m_inventoryMoved && !changedIDs))
        pruneSelectionToVisibleRows(std::nullopt);
    else if (m_inventoryMoved)
        pruneSelectionToVisibleRows(changedIDs);
    m_inventoryMoved = false;
    m_filterMoved = false;
    if (std::exchange(m_selectionMoved, false))
        syncInspectedPlugin();
    m_settling = false;
}

void InventoryViewModel::reconcileSelectionWithInventory(const std::optional<QSet<QUuid>>& changedIDs) {
    // Only the products a change names can have left the active list.
    QSet<QUuid> kept = m_selectedPluginIDs;
    const QSet<QUuid>& candidates = changedIDs ? *changedIDs : m_selectedPluginIDs;
    for (const QUuid& id : candidates) {
        if (!m_activeIndex.contains(id))
            kept.remove(id);
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

void InventoryViewModel::syncInspectedPlugin() {
    const QSet<QUuid>& ids = m_selectedPluginIDs;
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

void InventoryViewModel::pruneSelectionToVisibleRows(const std::optional<QSet<QUuid>>& changedIDs) {
    if (m_selectedPluginIDs.isEmpty())
        return;
    const std::vector<char>& shown = filteredMask();
    QSet<QUuid> visible = m_selectedPluginIDs;
    const QSet<QUuid>& candidates = changedIDs ? *changedIDs : m_selectedPluginIDs;
    for (const QUuid& id : candidates) {
        const auto found = m_activeIndex.constFind(id);
        if (found == m_activeIndex.cend() || !shown[static_cast<size_t>(*found)])
            visible.remove(id);
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
    const QList<QUrl> before = m_folderAccess.authorizedFolders();
    m_folderAccess.authorizeFolders();
    QList<QUrl> added;
    for (const QUrl& folder : m_folderAccess.authorizedFolders()) {
        if (!before.contains(folder))
            added << folder;
    }
    if (auto notice = folderCoverageNotice(added, m_store.environment().scanner))
        m_store.presentNotice(std::move(*notice));
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
        touch(alertsPart);
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

QByteArray InventoryViewModel::csvDocument(const PluginList& plugins) {
    CsvWriter writer(csvHeader());
    for (const Plugin& plugin : plugins)
        writer.addRow(csvFields(plugin));
    return writer.bytes();
}

} // namespace quorvane
