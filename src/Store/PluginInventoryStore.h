#pragma once

#include "Discovery/ScanProgress.h"
#include "Model/OperationNotice.h"
#include "Model/PermanentQuarantineRule.h"
#include "Model/ScanReconciliationSummary.h"
#include "Model/TrashRecoveryEntry.h"
#include "Shared/PathPolicy.h"
#include "Store/CleanupRuns.h"
#include "Store/ScanSession.h"
#include "Store/StateWriter.h"
#include "Store/StoreEnvironment.h"
#include "Store/TransactionJournals.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

namespace quorvane {

// The one owner of the live inventory and of everything persisted with it: the published state,
// saving and the signals, with the entry points the screens call. Lives on the GUI thread; the scan
// runs on the scan session's worker and the state file is written by a StateWriter, both handing
// results back through queued calls. What must not happen before a write is on disk (a helper request
// leaving, a commit's notice) happens in that write's completion.
//
// Its sources: PluginInventoryStore.cpp (state, saving, setters), …Scan.cpp (what a scan's end
// writes), …Protection.cpp, …Rules.cpp (permanent-quarantine rules) and …Trash.cpp (Finder Trash
// records). Each other concern has a class the store owns: the scan's walk and merge (ScanSession),
// the privileged transactions' journals (TransactionJournals) and the runs of several transactions
// (CleanupRuns). What follows from the state alone is in InventoryLists.h and InventoryReport.h.
class PluginInventoryStore : public QObject {
    Q_OBJECT

public:
    using ProtectedKeySet = std::unordered_set<QString, PlainHash, PlainEqualTo>;
    using PathKeySet = std::unordered_set<QString, PlainHash, PlainEqualTo>;
    // The inventory is never changed in place: a change makes a new list that shares the products
    // it did not touch, so that the writer and the screens can hold the one they were given.
    using SharedPlugins = PluginList;

    // Loads the state file of `environment` (falling back to the earlier product's), migrates it and
    // resolves what an earlier run left pending.
    explicit PluginInventoryStore(StoreEnvironment environment = StoreEnvironment::production(),
                                  QObject* parent = nullptr);
    // Stops a running scan (its result is dropped) and waits for the last state-file write.
    ~PluginInventoryStore() override;

    // Published state; each has a change signal below.
    const PluginList& plugins() const { return m_plugins; }
    // The ids of the products the last change of plugins() replaced, added or removed; empty when it
    // may have changed any of them (a load, a scan). Read it in a slot of pluginsChanged().
    const QSet<QUuid>& changedPluginIDs() const { return m_changedPluginIDs; }
    bool isScanning() const { return m_isScanning; }
    const std::optional<Timestamp>& lastScanDate() const { return m_lastScanDate; }
    const QStringList& inaccessibleLocations() const { return m_inaccessibleLocations; }
    // Newest first.
    const std::vector<HistoryItem>& history() const { return m_history; }
    const std::optional<QString>& lastStorageError() const { return m_lastStorageError; }
    const std::optional<QString>& lastOperationError() const { return m_lastOperationError; }
    const std::optional<ScanProgress>& scanProgress() const { return m_scanProgress; }
    const std::optional<QString>& lastScanNotice() const { return m_lastScanNotice; }
    const std::optional<ScanReconciliationSummary>& lastReconciliation() const {
        return m_lastReconciliation;
    }
    bool fileActionsBlockedByStorage() const { return m_fileActionsBlockedByStorage; }
    // The data folder was on a read-only file system at start: nothing is read wrongly, nothing saved.
    bool dataFolderReadOnly() const { return m_dataFolderReadOnly; }
    const std::optional<OperationNotice>& notice() const { return m_notice; }
    // Clears the notice when it is still the one with this id, so dismissing an older alert never
    // clears a newer notice.
    void dismissNotice(const QUuid& id);
    // A screen's own notice (a successful export), shown like the store's.
    void presentNotice(const OperationNotice& notice);
    // Leaves out the success notice of the transaction begun as `transactionID`, for a caller that
    // closes a run of several transactions with one message of its own; a warning still shows.
    void withholdSuccessNotice(const QString& transactionID);
    const std::vector<TrashedBundleRecord>& trashedBundles() const { return m_trashedBundles; }
    const std::vector<FormatCleanupRunRecord>& formatCleanupRuns() const { return m_formatCleanupRuns; }
    const std::vector<PermanentQuarantineRule>& permanentQuarantineRules() const {
        return m_permanentQuarantineRules;
    }

    // Unpublished state.
    const InventoryRevisionToken& inventoryRevision() const { return m_inventoryRevision; }
    const ProtectedKeySet& protectedKeys() const { return m_protectedKeys; }
    const std::optional<PrivilegedQuarantineRequest>& pendingPrivilegedQuarantine() const;
    const std::optional<PrivilegedRestoreRequest>& pendingPrivilegedRestore() const;
    const std::optional<PrivilegedTrashRequest>& pendingPrivilegedTrash() const;
    const std::optional<PrivilegedTrashRestoreRequest>& pendingPrivilegedTrashRestore() const;
    bool hasPendingPrivilegedTransaction() const;
    // The running scan's cancellation object; a screen cancels through requestCancellation().
    const std::shared_ptr<ScanControl>& scanControl() const { return m_scan.control(); }
    const StoreEnvironment& environment() const { return m_environment; }

    // State file.

    // The state file read and migrated (the earlier product's file is copied to the current
    // location); none when neither exists.
    [[nodiscard]] std::expected<std::optional<PersistedInventory>, StoreStateError> loadState();
    using SaveResult = std::expected<void, StoreStateError>;
    using SaveCompletion = std::function<void(const SaveResult& saved)>;
    // Hands a copy of the persisted state to the writer; `then` runs on this thread once that state
    // (or a newer one) is on disk or has failed to be written. While the store is blocked by an
    // unreadable state file nothing is written and `then` runs at once with the refusal.
    void saveState(SaveCompletion then = {});
    // Writes at once, on this thread; refused while the store is blocked by an unreadable state file.
    [[nodiscard]] SaveResult writeStateFile(const PersistedInventory& state);
    // A new revision, then the save; a failure keeps the in-memory change and posts
    // "Local State Not Saved". `saved` runs once the change is on disk.
    void saveStateReportingFailure(std::function<void()> saved = {});
    // Blocks until every state handed to the writer is on disk and what waited for it has run.
    void waitForIdle();
    void reportOperationError(const QString& title, const QString& message);

    // Scans: refused while blocked or while a journal is pending; nothing happens while a scan runs.
    // `service` may be null; it is asked about its readiness only when the scan completes.
    void startScan(const QList<QUrl>& authorizedFolders, PrivilegedRequestReadiness* service);
    // The scanned products merged with the quarantined records of the current inventory, in
    // manufacturer order. The current records of bundles found at `transactionPaths` (path keys) are
    // carried over too, in place of what the scan found there.
    std::vector<Plugin> mergeScanResult(std::vector<Plugin> scanned,
                                        const PathKeySet& transactionPaths = {}) const;

    // Protection. The product is taken by value: callers may pass an element of plugins(), which the
    // change replaces.
    void setProtection(Plugin plugin, bool protect);
    // False when refused at once. `then` learns, exactly once, whether the requested state is in
    // effect: at once when it already was, else when the change's write is known; a change that
    // could not be saved is put back.
    bool setFormatProtection(const PluginBundleSelection& selection, bool protect,
                             std::function<void(bool inEffect)> then = {});
    void setBatchProtection(std::vector<Plugin> plugins, bool protect);
    // Stores the synthesised record of a single-format product without records.
    void materializeBundleRecords(qsizetype index);

    // Permanent-quarantine rules.
    QStringList permanentQuarantineManufacturers() const;
    bool isPermanentQuarantineEnabled(const QString& manufacturer) const;
    void setPermanentQuarantine(const QString& manufacturer, bool enabled);

    // Derived lists and the report (InventoryLists.h, InventoryReport.h) over the current state.
    // Worked out once per change of the inventory; the inventory itself when every product is active.
    const PluginList& activePlugins() const;
    const SharedPlugins& sharedActivePlugins() const { return activePlugins(); }
    // activePlugins().size(), without working the list out.
    qsizetype activePluginCount() const;
    std::vector<Plugin> quarantinedPlugins() const;
    qsizetype quarantinedBundleCount() const;
    QString diagnosticReport(const std::optional<QString>& managementSection) const;

    // Privileged transactions, one kind at a time (TransactionJournals.h). Begin writes the kind's
    // journal and hands the request to `send` once it is on disk, or none after a refusal (reported)
    // or a failed write; without `send` it returns only once the journal's write is known. Complete
    // returns false when it refused the helper's result at once; `then` learns, exactly once, whether
    // the transaction was committed, once that is on disk. A finaliser writes a verified transaction.
    template <class Request>
    using Send = TransactionJournals::Send<Request>;
    using Committed = TransactionJournals::Committed;
    template <PrivilegedKind kind>
    using Items = TransactionJournals::Items<kind>;

    // The blocking message of the plan the action would get now; none when it may be offered.
    std::optional<QString> bundleActionPlan(const std::vector<PluginBundleSelection>& selections,
                                            const std::optional<InventoryRevisionToken>& expectedRevision,
                                            BundleActionKind kind) const;
    std::optional<QString>
    planQuarantine(const std::vector<PluginBundleSelection>& selections,
                   const std::optional<InventoryRevisionToken>& expectedRevision = {}) const;
    std::optional<QString>
    planRestore(const std::vector<PluginBundleSelection>& selections,
                const std::optional<InventoryRevisionToken>& expectedRevision = {}) const;
    std::optional<QString>
    planTrash(const std::vector<PluginBundleSelection>& selections,
              const std::optional<InventoryRevisionToken>& expectedRevision = {}) const;

    // Quarantine, restore or Trash move of the selected bundles (a Trash move creates the user's home
    // Trash folders first when they are missing); `presetRunID` links a quarantine to the cleanup
    // preset run it is a chunk of.
    template <PrivilegedKind kind>
    requires(kind != PrivilegedKind::trashRecovery) std::optional<PrivilegedRequest<kind>> beginPrivileged(
        const std::vector<PluginBundleSelection>& selections,
        const std::optional<InventoryRevisionToken>& expectedRevision = {},
        Send<PrivilegedRequest<kind>> send = {}, const std::optional<QUuid>& presetRunID = {}) {
        return m_journals.begin<kind>(selections, expectedRevision, presetRunID, std::move(send));
    }
    std::optional<PrivilegedTrashRestoreRequest>
    beginTrashRecovery(const std::vector<QUuid>& recordIDs, Send<PrivilegedTrashRestoreRequest> send = {});
    template <PrivilegedKind kind>
    bool completePrivileged(const PrivilegedResult<kind>& result, const QString& transactionID,
                            const Items<kind>& items, Committed then = {}) {
        return m_journals.complete<kind>(result, transactionID, items, std::move(then));
    }
    template <PrivilegedKind kind>
    [[nodiscard]] std::expected<void, PrivilegedInventoryCommitError>
    finalisePrivileged(const QString& transactionID, const Items<kind>& items) {
        return m_journals.finalise<kind>(transactionID, items);
    }

    // Finder Trash recovery: every Trash record with its state on disk, newest first.
    std::vector<TrashRecoveryEntry> trashRecoveryEntries() const;
    qsizetype restorableTrashRecordCount() const;
    // Notices bundles the user restored or deleted outside the application; skipped while a
    // journal is pending.
    void verifyTrashRecords();
    std::optional<QString> trashRecoveryBlockingReason(const std::vector<QUuid>& recordIDs) const;
    // The same reason with each record's state taken from `observed`, entries the caller read
    // earlier, so that a screen judges many rows by one look at the disk.
    std::optional<QString> trashRecoveryBlockingReason(const std::vector<QUuid>& recordIDs,
                                                       const std::vector<TrashRecoveryEntry>& observed) const;

    // Settling a journal the launch could not resolve, which blocks scans and file actions until
    // then: each item is recorded where the disk shows it (TransactionJournals.h says when it is offered).
    bool canSettlePendingJournal() const;
    void settlePendingJournal();

    // Format cleanup preset runs, which the format cleanup screen drives chunk by chunk.
    CleanupRuns& cleanupRuns() { return m_cleanupRuns; }
    const CleanupRuns& cleanupRuns() const { return m_cleanupRuns; }

signals:
    void pluginsChanged();
    void isScanningChanged();
    void lastScanDateChanged();
    void inaccessibleLocationsChanged();
    void historyChanged();
    void lastStorageErrorChanged();
    void lastOperationErrorChanged();
    void scanProgressChanged();
    void lastScanNoticeChanged();
    void lastReconciliationChanged();
    void fileActionsBlockedByStorageChanged();
    void noticeChanged();
    void trashedBundlesChanged();
    void formatCleanupRunsChanged();
    void permanentQuarantineRulesChanged();
    // The revision is not published state, but a preview built against it must notice it change.
    void inventoryRevisionChanged();
    // hasPendingPrivilegedTransaction() turned true or false. Emitted once the operation that
    // opened or cleared the journal has returned, so whoever follows it reads the journals, the
    // inventory and the helper service as that operation left them.
    void pendingPrivilegedTransactionChanged();

protected:
    // Hands a chunk of at most 256 exact replacements (and the rest, for later) to the privileged
    // permanent-quarantine run.
    virtual void startPermanentQuarantineRun(const std::vector<PermanentQuarantineMatch>& chunk,
                                             const std::vector<PermanentQuarantineMatch>& remaining,
                                             PrivilegedRequestReadiness* service);

private:
    friend class CleanupRuns;
    friend class TransactionJournals;

    // What saveState writes: the journals of transactions whose commit is being written are left out.
    PersistedInventory persistedState() const;
    void applyLoadedState(const PersistedInventory& state);
    void startStateWriter();

    // Scan lifecycle.
    void applyScanMerge(ScanSession::Merge merge, const ScanSummary& summary,
                        const ScanSession::Context& context);
    void finishCanceledScan();
    void endScan();

    // The protection steps of one product for every product whose key is `key`.
    void applyProductProtection(PluginListEdit& plugins, const QString& key, bool protect) const;

    // Saves; `then` learns whether the change was saved. A failed write leaves the change to the
    // write of a later state when one was handed over (that state holds the change too); when none
    // was, `revert` takes back what is still the change's own effect. The failure is kept in
    // lastStorageError.
    void saveOrRevert(std::function<void()> revert, std::function<void(bool saved)> then);
    // The unsettled changes learn that a state holding them is on disk, or, when the last state
    // handed over failed, are put back.
    void settleChanges(bool saved);

    // A change of the inventory, to put back with setPlugins.
    PluginListEdit inventoryToChange() const;
    const TrashedBundleRecord* trashedBundle(const QUuid& id) const;
    // Why file actions are refused while the storage blocks them: a read-only data folder or a state
    // file that could not be upgraded.
    const QString& fileActionsBlockedText() const;

    void renewInventoryRevision();
    Timestamp now() const;
    // A line at `at`, or now; a pass that writes several lines takes its moment once.
    HistoryItem makeHistoryItem(const QString& plugin, HistoryKind kind, const QString& detail,
                                const std::optional<QString>& format = std::nullopt,
                                std::optional<Timestamp> at = std::nullopt) const;
    void insertHistoryFront(HistoryItem item);
    // Each line inserted at the front in turn: the last one ends up first.
    void insertHistoryLinesFront(std::vector<HistoryItem> lines);
    void postNotice(const QString& title, const QString& message, NoticeStyle style);
    QString stateFilePath() const;

    // Change-signalling setters: each emits only when the value changes, but for the products,
    // whose setters take a list as changed and emit unless it is the very list the store holds.
    // A whole new list (a load, a scan) may have changed every product; an edit says which it changed.
    void setPlugins(PluginList value);
    void setPlugins(PluginListEdit& edit);
    void setIsScanning(bool value);
    void setLastScanDate(std::optional<Timestamp> value);
    void setInaccessibleLocations(QStringList value);
    void setHistory(std::vector<HistoryItem> value);
    void setLastStorageError(std::optional<QString> value);
    void setLastOperationError(std::optional<QString> value);
    void setScanProgress(std::optional<ScanProgress> value);
    void setLastScanNotice(std::optional<QString> value);
    void setLastReconciliation(std::optional<ScanReconciliationSummary> value);
    void setFileActionsBlockedByStorage(bool value);
    void setNotice(std::optional<OperationNotice> value);
    void setTrashedBundles(std::vector<TrashedBundleRecord> value);
    void setFormatCleanupRuns(std::vector<FormatCleanupRunRecord> value);
    void setPermanentQuarantineRules(std::vector<PermanentQuarantineRule> value);

    StoreEnvironment m_environment;
    PathPolicy m_pathPolicy;

    // In declaration order of the inventory's state.
    PluginList m_plugins;
    QSet<QUuid> m_changedPluginIDs;
    // activePlugins() and permanentQuarantineManufacturers() of m_plugins; none until asked after a
    // change.
    mutable std::optional<PluginList> m_activePlugins;
    mutable std::optional<QStringList> m_manufacturers;
    bool m_isScanning = false;
    std::optional<Timestamp> m_lastScanDate;
    QStringList m_inaccessibleLocations;
    std::vector<HistoryItem> m_history;
    std::optional<QString> m_lastStorageError;
    std::optional<QString> m_lastOperationError;
    std::optional<ScanProgress> m_scanProgress;
    std::optional<QString> m_lastScanNotice;
    std::optional<ScanReconciliationSummary> m_lastReconciliation;
    bool m_fileActionsBlockedByStorage = false;
    // The state file's folder is on a read-only file system: file actions are blocked by it.
    bool m_dataFolderReadOnly = false;
    std::optional<OperationNotice> m_notice;
    InventoryRevisionToken m_inventoryRevision;
    ProtectedKeySet m_protectedKeys;
    std::vector<TrashedBundleRecord> m_trashedBundles;
    std::vector<FormatCleanupRunRecord> m_formatCleanupRuns;
    std::vector<PermanentQuarantineRule> m_permanentQuarantineRules;
    TransactionJournals m_journals{*this};
    CleanupRuns m_cleanupRuns{*this};
    // How many states have been handed to the writer; a failed write compares it to learn whether
    // later changes followed.
    quint64 m_saveCount = 0;
    // Changes saved through saveOrRevert whose outcome is not known yet, oldest first: the write of
    // a later state that holds them settles those whose own write failed.
    struct UnsettledChange {
        std::function<void()> revert;
        std::function<void(bool saved)> then;
    };
    std::vector<UnsettledChange> m_unsettledChanges;
    // Warning notices posted so far, and whether a late confirmation is being told while a warning
    // posted after its change began still shows: success notices are then left out.
    quint64 m_warningsPosted = 0;
    bool m_confirmationsHidden = false;
    // Made once start-up is over: loading and the launch resolution write on this thread, so that
    // the store comes up with its outcome known.
    std::unique_ptr<StateWriter> m_stateWriter;
    // Declared last, so destroyed first: a running scan stops before the state it reads goes.
    ScanSession m_scan;
};

} // namespace quorvane
