#include "Store/PluginInventoryStore.h"

#include "Model/SampleInventory.h"
#include "Persistence/InventoryStateMigration.h"
#include "Persistence/StateFile.h"
#include "Persistence/StateFileLocations.h"
#include "Store/DisplayTime.h"
#include "Store/InventoryLists.h"
#include "Store/InventoryReport.h"
#include "Store/PrivilegedTransactionTexts.h"
#include "Store/StoreOrders.h"
#include "Store/StoreTexts.h"
#include "Support/Paths.h"
#include "Support/Uuid.h"

#include <QFileInfo>
#include <QScopedValueRollback>

#include <algorithm>
#include <utility>

namespace quorvane {

namespace {

// Runs on the writer's thread as well as this one: it touches nothing of the store.
[[nodiscard]] PluginInventoryStore::SaveResult
writeStateFileTo(const StoreEnvironment::StateFileWriter& write, const PersistedInventory& state,
                 const QString& path) {
    if (path.isEmpty())
        return std::unexpected(StoreStateError{StateFileError{StateFileFailure::noLocation, {}, {}}});
    auto written = write ? write(state, path) : quorvane::writeStateFile(state, path);
    if (!written)
        return std::unexpected(StoreStateError{written.error()});
    return {};
}

// A quarantined single-format product of an older build that has no records yet gets the one record
// that describes its quarantined bundle, so that a restore can find it.
Plugin withQuarantinedRecord(const Plugin& plugin) {
    if (plugin.bundles || plugin.status != PluginStatus::quarantined || plugin.formats.size() != 1 ||
        !plugin.originalPath || !plugin.quarantinePath || !plugin.quarantineOperationID)
        return plugin;
    Plugin upgraded = plugin;
    upgraded.bundles = std::vector<PluginBundleRecord>{plugin.singleFormatRecord()};
    return upgraded;
}

// Sets `field` and emits `changed` when the value differs.
template <class T>
void assign(PluginInventoryStore& store, T& field, T value, void (PluginInventoryStore::*changed)()) {
    if (field == value)
        return;
    field = std::move(value);
    emit(store.*changed)();
}

} // namespace

PluginInventoryStore::PluginInventoryStore(StoreEnvironment environment, QObject* parent)
    : QObject(parent), m_environment(std::move(environment)), m_pathPolicy(m_environment.roots),
      m_plugins(sampleInventory()), m_inventoryRevision(InventoryRevisionToken::fresh()),
      m_scan(m_environment,
             {m_plugins, m_protectedKeys, m_trashedBundles, m_permanentQuarantineRules,
              [this] { return m_journals.inFlightScannedPaths(); }},
             {.progress =
                  [this](const ScanProgress& progress) {
                      if (m_isScanning)
                          setScanProgress(progress);
                  },
              .canceled = [this] { finishCanceledScan(); },
              .merged =
                  [this](ScanSession::Merge merge, const ScanSummary& summary,
                         const ScanSession::Context& context) {
                      applyScanMerge(std::move(merge), summary, context);
                  }}) {
    m_dataFolderReadOnly = m_environment.dataFolderIsReadOnly();
    m_journals.pruneEmptyQuarantineFolders();
    // A write killed before its rename leaves a whole copy of the state behind; no write runs yet.
    removeStaleStateFileCopies(stateFilePath());
    auto loaded = loadState();
    if (!loaded) {
        setPlugins(PluginList());
        setFileActionsBlockedByStorage(true);
        setLastStorageError(loaded.error().description());
        postNotice(StoreTexts::Notice::inventoryUpgradeBlockedTitle,
                   StoreTexts::Notice::inventoryUpgradeBlockedMessage, NoticeStyle::warning);
        return;
    }
    if (m_dataFolderReadOnly) {
        // Nothing can be saved: a journal stays pending, unresolved, and nothing may change.
        if (*loaded)
            applyLoadedState(**loaded);
        setFileActionsBlockedByStorage(true);
        const QString message =
            StoreTexts::Notice::dataFolderReadOnlyMessage(deletingLastPathComponent(stateFilePath()));
        setLastStorageError(message);
        postNotice(StoreTexts::Notice::dataFolderReadOnlyTitle, message, NoticeStyle::warning);
        return;
    }
    if (!*loaded) {
        startStateWriter();
        return;
    }
    applyLoadedState(**loaded);
    m_journals.resolveLaunchJournals();
    startStateWriter();
}

void PluginInventoryStore::startStateWriter() {
    m_stateWriter = std::make_unique<StateWriter>(
        [path = stateFilePath(), write = m_environment.writeStateFile](const PersistedInventory& state) {
            return writeStateFileTo(write, state, path);
        });
}

PluginInventoryStore::~PluginInventoryStore() = default;

void PluginInventoryStore::applyLoadedState(const PersistedInventory& state) {
    std::vector<Plugin> plugins;
    plugins.reserve(state.plugins.size());
    for (const Plugin& plugin : state.plugins)
        plugins.push_back(withQuarantinedRecord(plugin));
    setPlugins(std::move(plugins));
    setLastScanDate(state.lastScanDate);
    setHistory(state.history);
    m_protectedKeys = ProtectedKeySet(state.protectedKeys.begin(), state.protectedKeys.end());
    setInaccessibleLocations(state.inaccessibleLocations.value_or(QStringList{}));
    setLastReconciliation(state.lastReconciliation);
    setTrashedBundles(state.trashedBundles.value_or(std::vector<TrashedBundleRecord>{}));
    setFormatCleanupRuns(state.formatCleanupRuns.value_or(std::vector<FormatCleanupRunRecord>{}));
    setPermanentQuarantineRules(
        state.permanentQuarantineRules.value_or(std::vector<PermanentQuarantineRule>{}));
    m_journals.load(state);
}

// State file.

QString PluginInventoryStore::stateFilePath() const {
    return inventoryStateFileURL(m_environment.applicationSupport);
}

std::expected<std::optional<PersistedInventory>, StoreStateError> PluginInventoryStore::loadState() {
    const QString current = stateFilePath();
    if (current.isEmpty())
        return std::unexpected(StoreStateError{StateFileError{StateFileFailure::noLocation, {}, {}}});

    const bool fromLegacy = !QFileInfo::exists(current);
    const QString source =
        fromLegacy ? legacyInventoryStateFileURL(m_environment.applicationSupport) : current;
    if (fromLegacy && !QFileInfo::exists(source))
        return std::optional<PersistedInventory>{};

    auto read = readStateFile(source);
    if (!read)
        return std::unexpected(StoreStateError{read.error()});
    auto migrated = InventoryStateMigration::migrate(*read);
    if (!migrated)
        return std::unexpected(StoreStateError{migrated.error()});
    // The earlier product's file is always copied over, so that the next start reads the current one.
    if ((fromLegacy || migrated->didMigrate) && !m_dataFolderReadOnly) {
        if (auto written = writeStateFile(migrated->state); !written)
            return std::unexpected(written.error());
    }
    return std::optional<PersistedInventory>{std::move(migrated->state)};
}

void PluginInventoryStore::saveState(SaveCompletion then) {
    m_journals.schedulePendingCheck();
    // Every state holds the changes left unsettled before it, so its outcome is theirs too.
    SaveCompletion completion = [this, number = ++m_saveCount,
                                 own = std::move(then)](const SaveResult& saved) {
        if (own)
            own(saved);
        if (saved || number == m_saveCount)
            settleChanges(saved.has_value());
    };
    // Start-up writes at once; a store blocked by an unreadable state file never gets a writer, and
    // writeStateFile refuses.
    if (!m_stateWriter) {
        const SaveResult saved = writeStateFile(persistedState());
        completion(saved);
        return;
    }
    m_stateWriter->submit(persistedState(), std::move(completion));
}

void PluginInventoryStore::waitForIdle() {
    if (m_stateWriter)
        m_stateWriter->waitForIdle();
}

PersistedInventory PluginInventoryStore::persistedState() const {
    PersistedInventory state;
    state.schemaVersion = currentInventorySchemaVersion;
    state.plugins = m_plugins;
    state.lastScanDate = m_lastScanDate;
    // Sorted, so that saving the same state twice gives the same bytes.
    state.protectedKeys = QStringList(m_protectedKeys.begin(), m_protectedKeys.end());
    sortStringsAscending(state.protectedKeys);
    state.history = m_history;
    state.inaccessibleLocations = m_inaccessibleLocations;
    state.lastReconciliation = m_lastReconciliation;
    state.trashedBundles = m_trashedBundles;
    state.formatCleanupRuns = m_formatCleanupRuns;
    state.permanentQuarantineRules = m_permanentQuarantineRules;
    m_journals.persistOpenJournals(state);
    return state;
}

PluginInventoryStore::SaveResult PluginInventoryStore::writeStateFile(const PersistedInventory& state) {
    // An unreadable file may hold a newer build's inventory: overwriting it would lose that.
    if (m_fileActionsBlockedByStorage)
        return std::unexpected(StoreStateError{StateWritesBlocked{m_dataFolderReadOnly}});
    return writeStateFileTo(m_environment.writeStateFile, state, stateFilePath());
}

const QString& PluginInventoryStore::fileActionsBlockedText() const {
    return m_dataFolderReadOnly ? PrivilegedTransactionTexts::dataFolderReadOnly
                                : PrivilegedTransactionTexts::storageBlocked;
}

void PluginInventoryStore::renewInventoryRevision() {
    m_inventoryRevision = InventoryRevisionToken::fresh();
    emit inventoryRevisionChanged();
}

void PluginInventoryStore::saveStateReportingFailure(std::function<void()> saved) {
    renewInventoryRevision();
    saveOrRevert({}, [this, saved = std::move(saved)](bool written) {
        if (written) {
            if (saved)
                saved();
            return;
        }
        const QString description = m_lastStorageError.value_or(QString());
        postNotice(StoreTexts::Notice::localStateNotSavedTitle,
                   StoreTexts::Notice::localStateNotSavedMessage(description), NoticeStyle::warning);
    });
}

void PluginInventoryStore::saveOrRevert(std::function<void()> revert, std::function<void(bool saved)> then) {
    // The change's confirmation comes once its write is done; a warning raised meanwhile (a refused
    // or failed transaction) is newer news and keeps the notice while it shows.
    const auto confirm = [this, then = std::move(then), warnings = m_warningsPosted](bool saved) {
        const QScopedValueRollback quiet(m_confirmationsHidden, m_warningsPosted != warnings && m_notice &&
                                                                    m_notice->style == NoticeStyle::warning);
        if (then)
            then(saved);
    };
    saveState([this, revert = std::move(revert), confirm](const SaveResult& saved) {
        if (!saved)
            setLastStorageError(saved.error().description());
        m_unsettledChanges.push_back({revert, confirm});
    });
}

void PluginInventoryStore::settleChanges(bool saved) {
    const std::vector<UnsettledChange> changes = std::exchange(m_unsettledChanges, {});
    if (changes.empty())
        return;
    if (saved) {
        setLastStorageError(std::nullopt);
    } else {
        // Newest first, so that each put-back finds what the changes after it left.
        for (auto change = changes.rbegin(); change != changes.rend(); ++change) {
            if (change->revert)
                change->revert();
        }
    }
    // Oldest first, so that the newest change's notice is the one left showing.
    for (const UnsettledChange& change : changes) {
        if (change.then)
            change.then(saved);
    }
}

void PluginInventoryStore::reportOperationError(const QString& title, const QString& message) {
    setLastOperationError(message);
    postNotice(title, message, NoticeStyle::warning);
}

// Derived lists and the report.

const PluginList& PluginInventoryStore::activePlugins() const {
    if (!m_activePlugins)
        m_activePlugins = quorvane::activePlugins(m_plugins);
    return *m_activePlugins;
}

qsizetype PluginInventoryStore::activePluginCount() const {
    return m_activePlugins ? static_cast<qsizetype>(m_activePlugins->size())
                           : quorvane::activePluginCount(plugins());
}

std::vector<Plugin> PluginInventoryStore::quarantinedPlugins() const {
    return quorvane::quarantinedPlugins(plugins());
}

qsizetype PluginInventoryStore::quarantinedBundleCount() const {
    return quorvane::quarantinedBundleCount(plugins());
}

QString PluginInventoryStore::diagnosticReport(const std::optional<QString>& managementSection) const {
    const InventoryReportInputs inputs{
        .plugins = plugins(),
        .historyRecords = static_cast<qsizetype>(m_history.size()),
        .lastScanDate = m_lastScanDate,
        .lastReconciliation = m_lastReconciliation,
        .inaccessibleLocations = m_inaccessibleLocations,
        .environment = m_environment,
        .generated = now(),
    };
    return quorvane::diagnosticReport(inputs, managementSection);
}

// Helpers.

Timestamp PluginInventoryStore::now() const {
    return m_environment.now ? m_environment.now() : Timestamp::now();
}

HistoryItem PluginInventoryStore::makeHistoryItem(const QString& plugin, HistoryKind kind,
                                                  const QString& detail, const std::optional<QString>& format,
                                                  std::optional<Timestamp> at) const {
    HistoryItem item;
    item.id = makeUuid();
    item.plugin = plugin;
    item.kind = kind;
    item.detail = detail;
    item.date = at ? *at : now();
    item.time = shortTimeText(*item.date);
    item.format = format;
    return item;
}

void PluginInventoryStore::insertHistoryLinesFront(std::vector<HistoryItem> lines) {
    if (lines.empty())
        return;
    std::vector<HistoryItem> history;
    history.reserve(m_history.size() + lines.size());
    history.insert(history.end(), std::make_move_iterator(lines.rbegin()),
                   std::make_move_iterator(lines.rend()));
    history.insert(history.end(), m_history.begin(), m_history.end());
    setHistory(std::move(history));
}

void PluginInventoryStore::insertHistoryFront(HistoryItem item) {
    std::vector<HistoryItem> history;
    history.reserve(m_history.size() + 1);
    history.push_back(std::move(item));
    history.insert(history.end(), m_history.begin(), m_history.end());
    setHistory(std::move(history));
}

void PluginInventoryStore::postNotice(const QString& title, const QString& message, NoticeStyle style) {
    if (style == NoticeStyle::warning)
        ++m_warningsPosted;
    else if (m_confirmationsHidden)
        return;
    setNotice(OperationNotice::make(title, message, style));
}

// Setters.

std::optional<QString>
PluginInventoryStore::planQuarantine(const std::vector<PluginBundleSelection>& selections,
                                     const std::optional<InventoryRevisionToken>& expectedRevision) const {
    return bundleActionPlan(selections, expectedRevision, BundleActionKind::quarantine);
}

std::optional<QString>
PluginInventoryStore::planRestore(const std::vector<PluginBundleSelection>& selections,
                                  const std::optional<InventoryRevisionToken>& expectedRevision) const {
    return bundleActionPlan(selections, expectedRevision, BundleActionKind::restore);
}

std::optional<QString>
PluginInventoryStore::planTrash(const std::vector<PluginBundleSelection>& selections,
                                const std::optional<InventoryRevisionToken>& expectedRevision) const {
    return bundleActionPlan(selections, expectedRevision, BundleActionKind::trash);
}

PluginListEdit PluginInventoryStore::inventoryToChange() const {
    return PluginListEdit(m_plugins);
}

void PluginInventoryStore::setPlugins(PluginList value) {
    // Every caller hands over a list it made; comparing it with the old one product by product
    // would cost as much as a copy of the inventory.
    if (m_plugins.isSameList(value))
        return;
    m_plugins = std::move(value);
    m_changedPluginIDs.clear();
    m_activePlugins.reset();
    m_manufacturers.reset();
    emit pluginsChanged();
}
void PluginInventoryStore::setPlugins(PluginListEdit& edit) {
    if (!edit.changedAny())
        return;
    m_plugins = edit.list();
    m_changedPluginIDs = edit.changedIDs();
    m_activePlugins.reset();
    m_manufacturers.reset();
    emit pluginsChanged();
}
void PluginInventoryStore::setIsScanning(bool value) {
    assign(*this, m_isScanning, value, &PluginInventoryStore::isScanningChanged);
}
void PluginInventoryStore::setLastScanDate(std::optional<Timestamp> value) {
    assign(*this, m_lastScanDate, value, &PluginInventoryStore::lastScanDateChanged);
}
void PluginInventoryStore::setInaccessibleLocations(QStringList value) {
    assign(*this, m_inaccessibleLocations, std::move(value),
           &PluginInventoryStore::inaccessibleLocationsChanged);
}
void PluginInventoryStore::setHistory(std::vector<HistoryItem> value) {
    assign(*this, m_history, std::move(value), &PluginInventoryStore::historyChanged);
}
void PluginInventoryStore::setLastStorageError(std::optional<QString> value) {
    assign(*this, m_lastStorageError, std::move(value), &PluginInventoryStore::lastStorageErrorChanged);
}
void PluginInventoryStore::setLastOperationError(std::optional<QString> value) {
    assign(*this, m_lastOperationError, std::move(value), &PluginInventoryStore::lastOperationErrorChanged);
}
void PluginInventoryStore::setScanProgress(std::optional<ScanProgress> value) {
    assign(*this, m_scanProgress, std::move(value), &PluginInventoryStore::scanProgressChanged);
}
void PluginInventoryStore::setLastScanNotice(std::optional<QString> value) {
    assign(*this, m_lastScanNotice, std::move(value), &PluginInventoryStore::lastScanNoticeChanged);
}
void PluginInventoryStore::setLastReconciliation(std::optional<ScanReconciliationSummary> value) {
    assign(*this, m_lastReconciliation, value, &PluginInventoryStore::lastReconciliationChanged);
}
void PluginInventoryStore::setFileActionsBlockedByStorage(bool value) {
    assign(*this, m_fileActionsBlockedByStorage, value,
           &PluginInventoryStore::fileActionsBlockedByStorageChanged);
}
void PluginInventoryStore::dismissNotice(const QUuid& id) {
    if (m_notice && m_notice->id == id)
        setNotice(std::nullopt);
}

void PluginInventoryStore::presentNotice(const OperationNotice& notice) {
    setNotice(notice);
}

void PluginInventoryStore::setNotice(std::optional<OperationNotice> value) {
    assign(*this, m_notice, std::move(value), &PluginInventoryStore::noticeChanged);
}
void PluginInventoryStore::setTrashedBundles(std::vector<TrashedBundleRecord> value) {
    assign(*this, m_trashedBundles, std::move(value), &PluginInventoryStore::trashedBundlesChanged);
}
void PluginInventoryStore::setFormatCleanupRuns(std::vector<FormatCleanupRunRecord> value) {
    assign(*this, m_formatCleanupRuns, std::move(value), &PluginInventoryStore::formatCleanupRunsChanged);
}
void PluginInventoryStore::setPermanentQuarantineRules(std::vector<PermanentQuarantineRule> value) {
    assign(*this, m_permanentQuarantineRules, std::move(value),
           &PluginInventoryStore::permanentQuarantineRulesChanged);
}

// The privileged transactions, through the journals.

std::optional<QString>
PluginInventoryStore::bundleActionPlan(const std::vector<PluginBundleSelection>& selections,
                                       const std::optional<InventoryRevisionToken>& expectedRevision,
                                       BundleActionKind kind) const {
    return m_journals.bundleActionPlan(selections, expectedRevision, kind);
}

const std::optional<PrivilegedQuarantineRequest>& PluginInventoryStore::pendingPrivilegedQuarantine() const {
    return m_journals.pendingQuarantine();
}

const std::optional<PrivilegedRestoreRequest>& PluginInventoryStore::pendingPrivilegedRestore() const {
    return m_journals.pendingRestore();
}

const std::optional<PrivilegedTrashRequest>& PluginInventoryStore::pendingPrivilegedTrash() const {
    return m_journals.pendingTrash();
}

const std::optional<PrivilegedTrashRestoreRequest>&
PluginInventoryStore::pendingPrivilegedTrashRestore() const {
    return m_journals.pendingTrashRestore();
}

bool PluginInventoryStore::hasPendingPrivilegedTransaction() const {
    return m_journals.hasPending();
}

void PluginInventoryStore::withholdSuccessNotice(const QString& transactionID) {
    m_journals.withholdSuccessNotice(transactionID);
}

std::optional<PrivilegedTrashRestoreRequest>
PluginInventoryStore::beginTrashRecovery(const std::vector<QUuid>& recordIDs,
                                         Send<PrivilegedTrashRestoreRequest> send) {
    return m_journals.beginTrashRecovery(recordIDs, std::move(send));
}

bool PluginInventoryStore::canSettlePendingJournal() const {
    return m_journals.canSettlePendingJournal();
}

void PluginInventoryStore::settlePendingJournal() {
    m_journals.settlePendingJournal();
}

// The permanent-quarantine run, through CleanupRuns.

void PluginInventoryStore::startPermanentQuarantineRun(const std::vector<PermanentQuarantineMatch>& chunk,
                                                       const std::vector<PermanentQuarantineMatch>& remaining,
                                                       PrivilegedRequestReadiness* service) {
    m_cleanupRuns.runPermanentQuarantineChunk(chunk, remaining, service);
}

} // namespace quorvane
