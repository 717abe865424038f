#include "Store/TransactionJournals.h"

#include "Store/PluginInventoryStore.h"

#include "Planning/BundleActionPlanner.h"
#include "Planning/FileSystemProbe.h"
#include "Shared/HomeTrashLocation.h"
#include "Store/PrivilegedJournalKinds.h"
#include "Store/PrivilegedTransactionTexts.h"
#include "Store/TransactionJournalSupport.h"
#include "Support/Paths.h"
#include "Support/Uuid.h"

#include <QDir>
#include <QFile>
#include <QMetaObject>
#include <QSet>

#include <sys/stat.h>

// The journal discipline the four privileged kinds share: the journals as the state file holds
// them, a preview of the plan an action would get, the begin step that writes the journal before the
// request may leave, and the complete step that accepts a result only when it matches the journal and
// the disk agrees; the quarantine and restore finalisers live here too.

namespace quorvane {

namespace Texts = PrivilegedTransactionTexts;

namespace {

// The application creates the home Trash's folders (as the user, private to the user) when they are
// missing; the helper never creates them.
void ensureHomeTrashFolders(const QString& home) {
    if (home.isEmpty())
        return;
    for (const QString& folder : {homeTrashFilesFolder(home), homeTrashInfoFolder(home)}) {
        QDir().mkpath(deletingLastPathComponent(folder));
        // mkdir never replaces or follows what is already there; the planner judges the result.
        (void)::mkdir(QFile::encodeName(folder).constData(), 0700);
    }
}

} // namespace

bool pathExists(const QString& path) {
    return SystemFileSystemProbe().fileExists(path);
}

bool TransactionJournals::hasPending() const {
    return m_pendingPrivilegedQuarantine || m_pendingPrivilegedRestore || m_pendingPrivilegedTrash ||
           m_pendingPrivilegedTrashRestore;
}

void TransactionJournals::load(const PersistedInventory& state) {
    m_pendingPrivilegedQuarantine = state.pendingPrivilegedQuarantine;
    m_pendingPrivilegedRestore = state.pendingPrivilegedRestore;
    m_pendingPrivilegedTrash = state.pendingPrivilegedTrash;
    m_pendingPrivilegedTrashRestore = state.pendingPrivilegedTrashRestore;
    m_publishedPending = hasPending();
}

void TransactionJournals::schedulePendingCheck() {
    if (std::exchange(m_pendingCheckQueued, true))
        return;
    QMetaObject::invokeMethod(
        &m_store,
        [this] {
            m_pendingCheckQueued = false;
            if (hasPending() == m_publishedPending)
                return;
            m_publishedPending = !m_publishedPending;
            emit m_store.pendingPrivilegedTransactionChanged();
        },
        Qt::QueuedConnection);
}

PluginListEdit TransactionJournals::inventoryWithStoredRecords() const {
    PluginListEdit plugins(m_store.plugins());
    plugins.materializeBundleRecords();
    return plugins;
}

QString TransactionJournals::homeFolder() const {
    const QString& home = m_store.environment().homeFolder;
    return home.isEmpty() ? SystemFileSystemProbe::passwordDatabaseHome() : home;
}

void TransactionJournals::persistOpenJournals(PersistedInventory& state) const {
    // A journal whose commit is on its way to disk is over: writing it with the finalised records
    // would make the next launch finalise it twice.
    const auto open = [this](const auto& journal) {
        return journal && !m_closingJournals.contains(journal->transactionID) ? journal : std::nullopt;
    };
    state.pendingPrivilegedQuarantine = open(m_pendingPrivilegedQuarantine);
    state.pendingPrivilegedRestore = open(m_pendingPrivilegedRestore);
    state.pendingPrivilegedTrash = open(m_pendingPrivilegedTrash);
    state.pendingPrivilegedTrashRestore = open(m_pendingPrivilegedTrashRestore);
}

TransactionJournals::PathKeySet TransactionJournals::inFlightScannedPaths() const {
    // A journal still being written has sent nothing, and one whose commit is being written has had
    // its answer: the helper moves none of their bundles any more.
    const auto sent = [&](const auto& journal) {
        return journal && !m_unwrittenJournals.contains(journal->transactionID) &&
               !m_closingJournals.contains(journal->transactionID);
    };
    PathKeySet paths;
    if (sent(m_pendingPrivilegedQuarantine))
        for (const auto& item : m_pendingPrivilegedQuarantine->items)
            paths.insert(pathKey(item.sourcePath));
    if (sent(m_pendingPrivilegedRestore))
        for (const auto& item : m_pendingPrivilegedRestore->items)
            paths.insert(pathKey(item.destinationPath));
    return paths;
}

BundleActionPlan
TransactionJournals::makeStorePlan(BundleActionKind kind,
                                   const std::vector<PluginBundleSelection>& selections,
                                   const std::optional<InventoryRevisionToken>& expectedRevision,
                                   const std::optional<QUuid>& presetRunID) const {
    if (kind == BundleActionKind::trash)
        ensureHomeTrashFolders(homeFolder());
    const SystemFileSystemProbe fileSystem(homeFolder());
    return makeBundleActionPlan(kind, selections, m_store.plugins(), m_store.m_inventoryRevision,
                                expectedRevision, presetRunID, m_store.hasPendingPrivilegedTransaction(),
                                fileSystem, std::nullopt, true, m_store.m_pathPolicy);
}

// Preview.

std::optional<QString>
TransactionJournals::bundleActionPlan(const std::vector<PluginBundleSelection>& selections,
                                      const std::optional<InventoryRevisionToken>& expectedRevision,
                                      BundleActionKind kind) const {
    if (m_store.m_fileActionsBlockedByStorage)
        return m_store.fileActionsBlockedText();
    return makeStorePlan(kind, selections, expectedRevision, std::nullopt).blockingMessage();
}

// Snapshots of what a failed commit puts back.

TransactionJournals::Snapshot TransactionJournals::takeSnapshot(SnapshotParts parts) const {
    Snapshot snapshot;
    if (parts.plugins)
        snapshot.plugins = m_store.m_plugins;
    if (parts.history)
        snapshot.history = m_store.m_history;
    if (parts.trashedBundles)
        snapshot.trashedBundles = m_store.m_trashedBundles;
    return snapshot;
}

void TransactionJournals::putBack(Snapshot snapshot) {
    if (snapshot.plugins)
        m_store.setPlugins(std::move(*snapshot.plugins));
    if (snapshot.history)
        m_store.setHistory(std::move(*snapshot.history));
    if (snapshot.trashedBundles)
        m_store.setTrashedBundles(std::move(*snapshot.trashedBundles));
}

// Begin.

template <PrivilegedKind kind>
std::optional<PrivilegedRequest<kind>>
TransactionJournals::begin(const std::vector<PluginBundleSelection>& selections,
                           const std::optional<InventoryRevisionToken>& expectedRevision,
                           const std::optional<QUuid>& presetRunID, Send<PrivilegedRequest<kind>> send) {
    using Kind = Journal<kind>;
    const JournalTexts texts = Kind::texts();
    const auto refuse = [&](const QString& title, const QString& message) {
        m_store.reportOperationError(title, message);
        if (send)
            send(std::nullopt);
        return std::optional<typename Kind::Request>();
    };
    m_store.setLastOperationError(std::nullopt);
    if (m_store.m_fileActionsBlockedByStorage)
        return refuse(texts.refusalTitle, m_store.fileActionsBlockedText());
    const BundleActionPlan plan = makeStorePlan(Kind::action, selections, expectedRevision, presetRunID);
    if (const auto message = plan.blockingMessage())
        return refuse(texts.refusalTitle, *message);

    typename Kind::Request request;
    for (const BundleActionPlanItem& item : plan.items) {
        if (item.destinationPath && item.operationID)
            request.items.push_back({item.sourcePath, *item.destinationPath, *item.operationID});
    }
    if (request.items.size() != plan.items.size() || request.items.empty())
        return refuse(texts.refusalTitle, Texts::planChanged);
    request.transactionID = uuidText(makeUuid());

    // The planner refuses while any journal is pending, so the kind's journal is free here.
    auto& journal = journalOf<Kind>();
    journal = request;
    if constexpr (Kind::kind == PrivilegedKind::quarantine) {
        if (presetRunID && !linkPresetRunChildTransaction(*presetRunID, request.transactionID)) {
            journal.reset();
            return refuse(Texts::Quarantine::presetLinkTitle, Texts::Quarantine::presetLinkBroken);
        }
    }
    // A running scan may walk the bundles' folders before or after the helper moves them; its
    // completion keeps their records as the inventory then holds them. A Trash move starts in
    // quarantine, which no scan walks.
    PathKeySet addedScanPaths;
    for (const typename Kind::Item& item : request.items) {
        QString key;
        if constexpr (Kind::action == BundleActionKind::quarantine)
            key = pathKey(item.sourcePath);
        else if constexpr (Kind::action == BundleActionKind::restore)
            key = pathKey(item.destinationPath);
        if (!key.isEmpty() && m_store.m_scan.noteTransactionPath(key))
            addedScanPaths.insert(std::move(key));
    }
    return writeJournal<Kind>(request, std::move(send), std::move(addedScanPaths));
}

bool TransactionJournals::linkPresetRunChildTransaction(const QUuid& runID, const QString& transactionID) {
    const auto childID = parseUuid(transactionID);
    if (!childID)
        return false;
    for (std::size_t index = 0; index < m_store.m_formatCleanupRuns.size(); ++index) {
        const FormatCleanupRunRecord& run = m_store.m_formatCleanupRuns[index];
        if (run.id != runID || run.status != FormatCleanupRunStatus::pending)
            continue;
        std::vector<FormatCleanupRunRecord> runs = m_store.m_formatCleanupRuns;
        runs[index].childTransactionIDs.push_back(*childID);
        m_store.setFormatCleanupRuns(std::move(runs));
        return true;
    }
    return false;
}

void TransactionJournals::unlinkPresetRunChildTransaction(const QString& transactionID) {
    const auto childID = parseUuid(transactionID);
    if (!childID)
        return;
    std::vector<FormatCleanupRunRecord> runs = m_store.m_formatCleanupRuns;
    for (FormatCleanupRunRecord& run : runs)
        std::erase(run.childTransactionIDs, *childID);
    m_store.setFormatCleanupRuns(std::move(runs));
}

// Complete.

template <PrivilegedKind kind>
bool TransactionJournals::complete(const PrivilegedResult<kind>& result, const QString& transactionID,
                                   const Items<kind>& items, Committed then) {
    using Kind = Journal<kind>;
    JournalTexts texts = Kind::texts();
    auto& journal = journalOf<Kind>();
    m_awaitingAnswer.remove(transactionID);
    // A caller that tells this transaction's success in its own words gets no success notice.
    if (m_withheldSuccessNotices.remove(transactionID))
        texts.successTitle.clear();
    const auto refuse = [&](const QString& title, const QString& message) {
        if (!message.isEmpty())
            m_store.reportOperationError(title, message);
        if (then)
            then(false);
        return false;
    };
    // A journal whose commit is being written has had its answer.
    if (!journal || journal->transactionID != transactionID || result.transactionID != transactionID ||
        journal->items != items || m_closingJournals.contains(transactionID))
        return refuse(texts.attentionTitle, texts.mismatch);
    if (dropUnverifiedJournal<Kind>())
        return refuse({}, {});

    if (!result.succeeded) {
        if (result.rollbackComplete && noItemMoved(items)) {
            journal.reset();
            m_store.saveState();
            return refuse(texts.failedSafelyTitle, result.message);
        }
        return refuse(texts.attentionTitle, result.message + texts.keptJournal);
    }

    QSet<QString> expected;
    for (const typename Kind::Item& item : items)
        expected.insert(item.destinationPath);
    const QStringList& reported = result.destinationPaths;
    const bool pathsAgree = expected == QSet<QString>(reported.begin(), reported.end());
    if (!pathsAgree || !everyItemMoved(items))
        return refuse(texts.attentionTitle, texts.unverified);

    finaliseAndSave<Kind>(
        transactionID, items,
        [this, texts, count = items.size(), then = std::move(then)](const std::optional<QString>& failure) {
            if (failure) {
                // The journal is still set (or kept out of every write when later changes hold the
                // commit); the file keeps what the next launch needs to settle it.
                m_store.setLastStorageError(failure);
                m_store.saveState();
                m_store.reportOperationError(texts.attentionTitle, texts.unfinished);
            } else {
                m_store.setLastStorageError(std::nullopt);
                m_store.renewInventoryRevision();
                if constexpr (Kind::kind == PrivilegedKind::trash)
                    pruneEmptyQuarantineFolders();
                if (!texts.successTitle.isEmpty())
                    m_store.postNotice(texts.successTitle, QString::number(count) + texts.success,
                                       NoticeStyle::success);
            }
            if (then)
                then(!failure);
        });
    return true;
}

// Finalisers: what the kinds share, then the quarantine and the restore (the Trash kinds' are in
// TrashJournals.cpp).

std::optional<QUuid> TransactionJournals::markPresetRunChildTransaction(const QString& transactionID) const {
    const auto childID = parseUuid(transactionID);
    if (!childID)
        return std::nullopt;
    for (const FormatCleanupRunRecord& run : m_store.m_formatCleanupRuns) {
        if (std::ranges::find(run.childTransactionIDs, *childID) != run.childTransactionIDs.end())
            return run.id;
    }
    return std::nullopt;
}

HistoryItem TransactionJournals::transactionHistoryLine(const QString& plugin, HistoryKind kind,
                                                        const QString& detail, const QString& format,
                                                        const QString& transactionID,
                                                        const std::optional<QUuid>& presetRunID,
                                                        std::optional<Timestamp> at) const {
    HistoryItem line = m_store.makeHistoryItem(plugin, kind, detail, format, at);
    line.transactionID = transactionID;
    line.presetRunID = presetRunID;
    return line;
}

void TransactionJournals::storeFinalisedRecords(PluginListEdit plugins,
                                                const std::vector<std::size_t>& touched,
                                                std::vector<HistoryItem> lines) {
    for (const std::size_t product : touched) {
        if (const PluginStatus status = plugins[product].derivedStatus(); status != plugins[product].status)
            plugins.change(product).status = status;
    }
    m_store.setPlugins(plugins);
    m_store.insertHistoryLinesFront(std::move(lines));
}

// The two kinds differ in how an item finds its record (the quarantine by the scanned path, any
// number of items per record; the restore by the quarantine path, operation and original location,
// one item per record), in what a failure keeps, and in what they write.

std::expected<void, PrivilegedInventoryCommitError>
TransactionJournals::finaliseItems(const QString& transactionID,
                                   const std::vector<PrivilegedQuarantineItem>& items) {
    if (items.empty())
        return {};
    PluginListEdit plugins = inventoryWithStoredRecords();
    const std::optional<QUuid> runID = markPresetRunChildTransaction(transactionID);
    // Only a record whose bundle is at the source now: a quarantined one keeps its old path, where a
    // reinstalled bundle may be. One that this item already moved is at its destination.
    const JournalItemMatches matches = matchJournalItems(
        plugins, items, BundleRecordIndex::By::scannedPath,
        [](const PluginBundleRecord& record, const PrivilegedQuarantineItem& item) {
            return record.isActive() || record.quarantinePath == item.destinationPath;
        },
        SharedRecordRule::allowed);
    // A failure keeps what the earlier items applied, as the retry at the next launch expects; an
    // item applied before is skipped, but its product's status is still refreshed.
    std::vector<HistoryItem> lines;
    std::vector<std::size_t> touched;
    for (std::size_t index = 0; index < matches.locations.size(); ++index) {
        const PrivilegedQuarantineItem& item = items[index];
        const auto [product, record] = matches.locations[index];
        if ((*plugins[product].bundles)[record].quarantinePath != item.destinationPath) {
            PluginBundleRecord& bundle = (*plugins.change(product).bundles)[record];
            bundle.originalPath = item.sourcePath;
            bundle.quarantinePath = item.destinationPath;
            bundle.quarantineOperationID = item.operationID;
            bundle.presetRunID = runID;
            lines.push_back(transactionHistoryLine(plugins[product].name, HistoryKind::quarantine,
                                                   Texts::Quarantine::historyDetail(bundle.format),
                                                   bundle.format, transactionID, runID));
        }
        touched.push_back(product);
    }
    storeFinalisedRecords(std::move(plugins), touched, std::move(lines));
    if (matches.error)
        return std::unexpected(*matches.error);
    return {};
}

std::expected<void, PrivilegedInventoryCommitError>
TransactionJournals::finaliseItems(const QString& transactionID,
                                   const std::vector<PrivilegedRestoreItem>& items) {
    if (items.empty())
        return {};
    PluginListEdit plugins = inventoryWithStoredRecords();
    const JournalItemMatches matches = matchJournalItems(
        plugins, items, BundleRecordIndex::By::quarantinePath,
        [](const PluginBundleRecord& record, const PrivilegedRestoreItem& item) {
            return record.quarantineOperationID == item.operationID &&
                   samePath(record.originalPath.value_or(record.path), item.destinationPath);
        },
        SharedRecordRule::refused);
    // A failure changes nothing but the storing of synthesised records.
    if (matches.error) {
        m_store.setPlugins(plugins);
        return std::unexpected(*matches.error);
    }

    std::vector<HistoryItem> lines;
    std::vector<std::size_t> touched;
    for (const auto& [product, record] : matches.locations) {
        if (const PluginBundleRecord& found = (*plugins[product].bundles)[record];
            !found.quarantinePath || !found.quarantineOperationID)
            continue;
        PluginBundleRecord& bundle = (*plugins.change(product).bundles)[record];
        const std::optional<QUuid> runID = bundle.presetRunID;
        bundle.quarantinePath.reset();
        bundle.quarantineOperationID.reset();
        bundle.presetRunID.reset();
        lines.push_back(transactionHistoryLine(plugins[product].name, HistoryKind::restore,
                                               Texts::Restore::historyDetail(bundle.format), bundle.format,
                                               transactionID, runID));
        touched.push_back(product);
    }
    storeFinalisedRecords(std::move(plugins), touched, std::move(lines));
    return {};
}

template <PrivilegedKind kind>
std::expected<void, PrivilegedInventoryCommitError>
TransactionJournals::finalise(const QString& transactionID, const Items<kind>& items) {
    return finaliseItems(transactionID, items);
}

// The store's entry points and the tests reach every kind's steps.

template std::optional<PrivilegedQuarantineRequest> TransactionJournals::begin<PrivilegedKind::quarantine>(
    const std::vector<PluginBundleSelection>&, const std::optional<InventoryRevisionToken>&,
    const std::optional<QUuid>&, Send<PrivilegedQuarantineRequest>);
template std::optional<PrivilegedRestoreRequest> TransactionJournals::begin<PrivilegedKind::restore>(
    const std::vector<PluginBundleSelection>&, const std::optional<InventoryRevisionToken>&,
    const std::optional<QUuid>&, Send<PrivilegedRestoreRequest>);
template std::optional<PrivilegedTrashRequest>
TransactionJournals::begin<PrivilegedKind::trash>(const std::vector<PluginBundleSelection>&,
                                                  const std::optional<InventoryRevisionToken>&,
                                                  const std::optional<QUuid>&, Send<PrivilegedTrashRequest>);
template bool TransactionJournals::complete(const PrivilegedQuarantineResult&, const QString&,
                                            const Items<PrivilegedKind::quarantine>&, Committed);
template bool TransactionJournals::complete(const PrivilegedRestoreResult&, const QString&,
                                            const Items<PrivilegedKind::restore>&, Committed);
template bool TransactionJournals::complete(const PrivilegedTrashResult&, const QString&,
                                            const Items<PrivilegedKind::trash>&, Committed);
template bool TransactionJournals::complete(const PrivilegedTrashRestoreResult&, const QString&,
                                            const Items<PrivilegedKind::trashRecovery>&, Committed);
template std::expected<void, PrivilegedInventoryCommitError>
TransactionJournals::finalise<PrivilegedKind::quarantine>(const QString&,
                                                          const Items<PrivilegedKind::quarantine>&);
template std::expected<void, PrivilegedInventoryCommitError>
TransactionJournals::finalise<PrivilegedKind::restore>(const QString&, const Items<PrivilegedKind::restore>&);
template std::expected<void, PrivilegedInventoryCommitError>
TransactionJournals::finalise<PrivilegedKind::trash>(const QString&, const Items<PrivilegedKind::trash>&);
template std::expected<void, PrivilegedInventoryCommitError>
TransactionJournals::finalise<PrivilegedKind::trashRecovery>(const QString&,
                                                             const Items<PrivilegedKind::trashRecovery>&);

} // namespace quorvane
