#pragma once

#include "Model/HistoryItem.h"
#include "Model/Plugin.h"
#include "Model/PluginBundleSelection.h"
#include "Model/PluginList.h"
#include "Model/TrashedBundleRecord.h"
#include "Persistence/PersistedInventory.h"
#include "Persistence/PrivilegedInventoryCommitError.h"
#include "Planning/BundleActionPlan.h"
#include "Planning/InventoryRevisionToken.h"
#include "Shared/PrivilegedRequests.h"
#include "Shared/PrivilegedResults.h"
#include "Store/StoreStateError.h"
#include "Support/PlainText.h"
#include "Support/Timestamp.h"

#include <QSet>
#include <QString>
#include <QUuid>

#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

class QTimer;

namespace quorvane {

class PluginInventoryStore;

// The journals of the four privileged transaction kinds (quarantine, restore, Trash move, Trash
// recovery), at most one pending at a time. Each kind has a begin step that writes its journal into
// the state file before the request may leave, a complete step that accepts the helper's result only
// when it matches the journal and the disk agrees, and a finaliser that writes a verified
// transaction into the inventory. At launch the journals an earlier run left are resolved against
// the disk, and one the launch could not resolve is settled on request. Owned by the store, on its
// thread; it changes the store's state through the store's setters and saves through its writer.
class TransactionJournals {
public:
    using PathKeySet = std::unordered_set<QString, PlainHash, PlainEqualTo>;
    using SaveResult = std::expected<void, StoreStateError>;
    template <class Request>
    using Send = std::function<void(const std::optional<Request>& request)>;
    using Committed = std::function<void(bool committed)>;

    explicit TransactionJournals(PluginInventoryStore& store) : m_store(store) {}

    TransactionJournals(const TransactionJournals&) = delete;
    TransactionJournals& operator=(const TransactionJournals&) = delete;

    const std::optional<PrivilegedQuarantineRequest>& pendingQuarantine() const {
        return m_pendingPrivilegedQuarantine;
    }
    const std::optional<PrivilegedRestoreRequest>& pendingRestore() const {
        return m_pendingPrivilegedRestore;
    }
    const std::optional<PrivilegedTrashRequest>& pendingTrash() const { return m_pendingPrivilegedTrash; }
    const std::optional<PrivilegedTrashRestoreRequest>& pendingTrashRestore() const {
        return m_pendingPrivilegedTrashRestore;
    }
    bool hasPending() const;
    // Every journal change is saved (or follows a write's outcome, which asks again), so each save
    // asks for this check; it runs from the event loop, after the change's own put-backs, and emits
    // the store's pendingPrivilegedTransactionChanged() when hasPending() differs from the last one
    // published.
    void schedulePendingCheck();
    // The journals a state file held.
    void load(const PersistedInventory& state);
    // The journals into `state`, but those of transactions whose commit is being written.
    void persistOpenJournals(PersistedInventory& state) const;
    // The scanned places of the bundles that a written journal still names: quarantine sources,
    // restore destinations.
    PathKeySet inFlightScannedPaths() const;
    // Leaves out the success notice of the transaction begun as `transactionID`.
    void withholdSuccessNotice(const QString& transactionID) {
        m_withheldSuccessNotices.insert(transactionID);
    }

    // The blocking message of the plan the action would get now; none when it may be offered.
    std::optional<QString> bundleActionPlan(const std::vector<PluginBundleSelection>& selections,
                                            const std::optional<InventoryRevisionToken>& expectedRevision,
                                            BundleActionKind kind) const;

    // Begin, complete and finalise of each kind, as the store's beginPrivileged and its kin say;
    // `presetRunID` links a quarantine to the cleanup preset run it is a chunk of.
    template <PrivilegedKind kind>
    using Items = std::vector<typename PrivilegedKindDescription<kind>::Item>;
    template <PrivilegedKind kind>
    std::optional<PrivilegedRequest<kind>>
    begin(const std::vector<PluginBundleSelection>& selections,
          const std::optional<InventoryRevisionToken>& expectedRevision,
          const std::optional<QUuid>& presetRunID, Send<PrivilegedRequest<kind>> send);
    std::optional<PrivilegedTrashRestoreRequest> beginTrashRecovery(const std::vector<QUuid>& recordIDs,
                                                                    Send<PrivilegedTrashRestoreRequest> send);
    template <PrivilegedKind kind>
    bool complete(const PrivilegedResult<kind>& result, const QString& transactionID,
                  const Items<kind>& items, Committed then);
    template <PrivilegedKind kind>
    [[nodiscard]] std::expected<void, PrivilegedInventoryCommitError> finalise(const QString& transactionID,
                                                                               const Items<kind>& items);

    // The cleanup-preset run that began the transaction, if any.
    std::optional<QUuid> markPresetRunChildTransaction(const QString& transactionID) const;

    // Launch: the four resolutions, then the cleanup-preset runs, in that order; the emptied
    // quarantine folders pruned first.
    void resolveLaunchJournals();
    void pruneEmptyQuarantineFolders();

    // A journal the launch could not resolve (the disk shows some of its moves and not others, or
    // its moves cannot be recorded) blocks scans and file actions until it is settled: each item is
    // then recorded where the disk shows it (or as gone, with a history line), the journal is
    // cleared and a notice says what was found. Offered only while no helper can still act on it;
    // the helper is asked first, so that one cut short undoes its transaction before the disk is read.
    bool canSettlePendingJournal() const;
    void settlePendingJournal();

private:
    // Each kind as the journals see it (PrivilegedJournalKinds.h).
    template <PrivilegedKind kind>
    struct Journal;
    // What a failed commit of a kind puts back.
    struct SnapshotParts {
        bool plugins = false;
        bool history = false;
        bool trashedBundles = false;
    };
    struct Snapshot {
        std::optional<PluginList> plugins;
        std::optional<std::vector<HistoryItem>> history;
        std::optional<std::vector<TrashedBundleRecord>> trashedBundles;
    };
    struct JournalTexts {
        QString refusalTitle;
        QString attentionTitle;
        QString failedSafelyTitle;
        QString successTitle;
        QString saveFailure;
        QString mismatch;
        QString keptJournal;
        QString unverified;
        QString unfinished;
        QString success;
        QString completedUnsaved;
        QString mixed;
    };

    template <class Kind>
    auto& journalOf();
    // The finaliser of each kind, picked by its items' type: writes a verified transaction into the
    // inventory.
    [[nodiscard]] std::expected<void, PrivilegedInventoryCommitError>
    finaliseItems(const QString& transactionID, const std::vector<PrivilegedQuarantineItem>& items);
    [[nodiscard]] std::expected<void, PrivilegedInventoryCommitError>
    finaliseItems(const QString& transactionID, const std::vector<PrivilegedRestoreItem>& items);
    [[nodiscard]] std::expected<void, PrivilegedInventoryCommitError>
    finaliseItems(const QString& transactionID, const std::vector<PrivilegedTrashItem>& items);
    [[nodiscard]] std::expected<void, PrivilegedInventoryCommitError>
    finaliseItems(const QString& transactionID, const std::vector<PrivilegedTrashRestoreItem>& items);
    // Writes the kind's journal, just set to `request`; `send` gets the request once it is on disk.
    // A failed write takes the journal (and a cleanup run's link to it) back and is reported.
    // Returns the request; without `send` only once its journal is on disk (none when it failed).
    // `scanPaths` are the path keys the request added to the running scan's transaction paths,
    // taken out again when the write fails: that transaction never began.
    template <class Kind>
    std::optional<typename Kind::Request> writeJournal(const typename Kind::Request& request,
                                                       Send<typename Kind::Request> send,
                                                       PathKeySet scanPaths = {});
    template <class Kind>
    void resolvePending();
    // Drops the kind's journal with a warning notice when the helper could not have carried it out
    // (its refusal would have moved nothing); true when it did.
    template <class Kind>
    bool dropUnverifiedJournal();
    // Finalises a transaction whose moves are verified and saves the result without its journal,
    // which is cleared once that is on disk; `then` gets none then, else the failure. While the
    // write runs the journal stays set, so no other transaction or scan starts. A failed write puts
    // the inventory back as it was, unless later changes were handed to the writer meanwhile: they
    // hold the finalised records too, and putting back would lose them, so the records stay and
    // the journal stays out of every write (the file holds either the journal or the commit, and
    // the next launch settles the journal).
    template <class Kind>
    void finaliseAndSave(const QString& transactionID, const std::vector<typename Kind::Item>& items,
                         std::function<void(const std::optional<QString>& failure)> then);
    BundleActionPlan makeStorePlan(BundleActionKind kind,
                                   const std::vector<PluginBundleSelection>& selections,
                                   const std::optional<InventoryRevisionToken>& expectedRevision,
                                   const std::optional<QUuid>& presetRunID) const;
    bool linkPresetRunChildTransaction(const QUuid& runID, const QString& transactionID);
    void unlinkPresetRunChildTransaction(const QString& transactionID);
    Snapshot takeSnapshot(SnapshotParts parts) const;
    void putBack(Snapshot snapshot);
    // The history line of one bundle of a committed transaction, at `at` (none: now).
    HistoryItem transactionHistoryLine(const QString& plugin, HistoryKind kind, const QString& detail,
                                       const QString& format, const QString& transactionID,
                                       const std::optional<QUuid>& presetRunID,
                                       std::optional<Timestamp> at = std::nullopt) const;
    // The change a finaliser makes: every product's synthesised records stored.
    PluginListEdit inventoryWithStoredRecords() const;
    // Gives the `touched` products their derived status, then stores the inventory and the lines.
    void storeFinalisedRecords(PluginListEdit plugins, const std::vector<std::size_t>& touched,
                               std::vector<HistoryItem> lines);
    // Every item's move shows on disk: nothing left at its source, something at its destination.
    template <class Item>
    static bool everyItemMoved(const std::vector<Item>& items);
    // No item's move shows on disk: something still at its source, nothing at its destination.
    template <class Item>
    static bool noItemMoved(const std::vector<Item>& items);
    bool helperTransactionRunning() const;
    // The user's home folder: the environment's, else the password database's.
    QString homeFolder() const;
    // Why no journal can be settled now; none when one can. Once the helper has answered the
    // settling's handshake, a journal none of whose moves shows is settled too.
    std::optional<QString> settleRefusal(bool helperAnswered) const;
    // Settles the kind's journal against the disk; false when it has none to settle.
    template <class Kind>
    bool settleJournal(bool helperAnswered);
    template <class Kind>
    void recordGoneItems(const QString& transactionID, const std::vector<typename Kind::Item>& gone);
    // Removes the records at `locations` (product, record) and the products left without one; the
    // others get their formats and status from what remains.
    static void removeBundleRecords(PluginListEdit& plugins,
                                    std::vector<std::pair<std::size_t, std::size_t>> locations);
    // Looks at the journals again once the helper has released its transaction lock.
    void waitForHelperTransaction();
    // True while the launch handshake runs, after which the journals are looked at again; false
    // when there is none to wait for (no hook, the helper not enabled, or it has been done).
    bool awaitHelperRecovery();

    PluginInventoryStore& m_store;
    std::optional<PrivilegedQuarantineRequest> m_pendingPrivilegedQuarantine;
    std::optional<PrivilegedRestoreRequest> m_pendingPrivilegedRestore;
    std::optional<PrivilegedTrashRequest> m_pendingPrivilegedTrash;
    std::optional<PrivilegedTrashRestoreRequest> m_pendingPrivilegedTrashRestore;
    // What pendingPrivilegedTransactionChanged() last told, and whether a check is queued.
    bool m_publishedPending = false;
    bool m_pendingCheckQueued = false;
    // Settling a journal waits for the helper's answer to its handshake.
    bool m_settleAsked = false;
    // Polls the helper's transaction lock while a journal waits for the helper to finish.
    QTimer* m_helperTransactionWait = nullptr;
    enum class LaunchHandshake { notAsked, running, done };
    LaunchHandshake m_launchHandshake = LaunchHandshake::notAsked;
    // Transactions whose commit is being written: their journals stay set but are left out of the
    // state handed to the writer.
    QSet<QString> m_closingJournals;
    // Transactions whose journal is still being written: no request of theirs has left, so the
    // helper has moved nothing of theirs.
    QSet<QString> m_unwrittenJournals;
    // Transactions whose request was handed to the helper's connection and has had no answer yet:
    // the helper may still carry them out, whatever the disk shows meanwhile.
    QSet<QString> m_awaitingAnswer;
    // Transactions whose success notice their caller tells in its own words.
    QSet<QString> m_withheldSuccessNotices;
};

} // namespace quorvane
