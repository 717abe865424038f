#pragma once

#include "Discovery/ScanControl.h"
#include "Discovery/ScanProgress.h"
#include "Discovery/ScanSummary.h"
#include "Model/PermanentQuarantineMatch.h"
#include "Model/Plugin.h"
#include "Model/PluginList.h"
#include "Model/ScanReconciliationSummary.h"
#include "Model/TrashedBundleRecord.h"
#include "Store/PrivilegedRequestReadiness.h"
#include "Store/StoreEnvironment.h"
#include "Support/PlainText.h"
#include "Support/PlainTextSet.h"
#include "Support/SerialWorker.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

namespace quorvane {

// The store's scans, one at a time: the walk runs on the session's worker thread, then the merge of
// what it found into the inventory is worked out there too against the store's state as the walk
// ended, and worked out again on this thread when that state changed meanwhile. Lives on the store's
// thread and reads the store's state where the store keeps it; what a scan ends in goes back to the
// store through its callbacks. A QObject only so that what the worker posts back is dropped once it
// is gone.
class ScanSession : public QObject {
public:
    using KeySet = std::unordered_set<QString, PlainHash, PlainEqualTo>;
    using SharedPlugins = PluginList;

    // What a scan's completion needs from its start.
    struct Context {
        QList<QUrl> authorizedFolders;
        std::shared_ptr<ScanControl> control;
        bool hadPreviousScan = false;
        // The products as the scan began; the thread that works out the scan's merge compares their
        // active bundle paths with what the walk found.
        SharedPlugins previousPlugins;
        // Path keys of the scanned locations of the bundles that transactions begun during the scan
        // move: the walk may have seen them before or after the move, so the inventory as it stands
        // at completion, not the walk, speaks for them.
        KeySet transactionPaths;
        PrivilegedRequestReadiness* service = nullptr;
        // Set when the service is a QObject, so that one destroyed during the scan counts as absent.
        QPointer<QObject> serviceObject;
        bool serviceIsObject = false;

        PrivilegedRequestReadiness* liveService() const;
    };

    // What the merge reads of the store. It is kept only when the store still holds these when it
    // is done.
    struct MergeInputs {
        SharedPlugins plugins;
        KeySet protectedKeys;
        std::vector<TrashedBundleRecord> trashedBundles;
        KeySet transactionPaths;
        // The path keys of those that a written journal still names: the helper may be moving them.
        KeySet inFlightPaths;
        // The rules whose matches the merge looks for; not compared: a change to them alone leaves
        // the merge standing and only their matches are looked for again.
        std::vector<PermanentQuarantineRule> permanentQuarantineRules;
    };

    // The scanned products merged into the inventory, with what the completion records of them.
    struct Merge {
        PluginList merged;
        // The keys of the mandatory shells, which the protected keys gain.
        std::vector<QString> shellKeys;
        ScanReconciliationSummary reconciliation;
        // Trash records whose bundles are back at their original paths.
        std::vector<TrashedBundleRecord> restored;
        // What these permanent-quarantine rules find in the merged products.
        std::vector<PermanentQuarantineRule> matchedRules;
        std::vector<PermanentQuarantineMatch> permanentQuarantineMatches;
    };

    // The store's state the merge reads, where the store keeps it; it outlives the session.
    struct State {
        const SharedPlugins& plugins;
        const KeySet& protectedKeys;
        const std::vector<TrashedBundleRecord>& trashedBundles;
        const std::vector<PermanentQuarantineRule>& permanentQuarantineRules;
        // The scanned places of the bundles that a written journal still names.
        std::function<KeySet()> inFlightPaths;
    };

    // Called on this thread.
    struct Callbacks {
        // A progress report of the running scan.
        std::function<void(const ScanProgress& progress)> progress;
        // The walk was cancelled.
        std::function<void()> canceled;
        // The merge, worked out against the store as it stands now.
        std::function<void(Merge merge, const ScanSummary& summary, const Context& context)> merged;
    };

    ScanSession(const StoreEnvironment& environment, State state, Callbacks callbacks);
    // Asks a running scan to stop and waits for its thread; its result is dropped.
    ~ScanSession() override;

    ScanSession(const ScanSession&) = delete;
    ScanSession& operator=(const ScanSession&) = delete;

    // The running scan's cancellation object, from start() until end(); none between scans.
    const std::shared_ptr<ScanControl>& control() const { return m_control; }
    // Between start() and the scan's callback.
    bool inProgress() const { return m_context.has_value(); }

    // Walks `authorizedFolders`. `service` may be null; it is asked about its readiness only when the
    // scan completes.
    void start(const QList<QUrl>& authorizedFolders, bool hadPreviousScan,
               PrivilegedRequestReadiness* service);
    // The store is done with the scan: later progress reports are dropped.
    void end() { m_control.reset(); }
    // A transaction begun during the scan moves the bundle at `key` (a path key). True when the
    // running scan had no transaction at that path yet.
    bool noteTransactionPath(QString key);
    // A transaction never began after all (its journal could not be written): the paths it noted
    // first are forgotten, if `control`'s scan still runs.
    void forgetTransactionPaths(const std::shared_ptr<ScanControl>& control, const KeySet& keys);

    // The scanned products merged with the quarantined records of `stored`, in manufacturer order.
    // The records of bundles found at `transactionPaths` are carried over too, in place of what the
    // scan found there: while a journal at `inFlightPaths` names them, or their bundles are there.
    static std::vector<Plugin> mergeScanned(const PluginList& stored, std::vector<Plugin> scanned,
                                            const KeySet& transactionPaths, const KeySet& inFlightPaths);

private:
    static Merge computeMerge(const ScanSummary& summary, bool hadPreviousScan,
                              const PlainTextSet& previousActivePaths, const MergeInputs& inputs);
    MergeInputs mergeInputs(const Context& context) const;
    bool mergeInputsHold(const MergeInputs& inputs, const Context& context) const;
    void acceptResult(const std::shared_ptr<ScanControl>& control, ScanSummary summary);
    void acceptMerge(const std::shared_ptr<ScanControl>& control,
                     const std::shared_ptr<const ScanSummary>& summary,
                     const PlainTextSet& previousActivePaths, const MergeInputs& inputs, Merge merge);

    const StoreEnvironment& m_environment;
    State m_state;
    Callbacks m_callbacks;
    std::shared_ptr<ScanControl> m_control;
    // The context of the running scan.
    std::optional<Context> m_context;
    // Walks and merges, one after the other; last, so that it goes first.
    SerialWorker m_worker;
};

} // namespace quorvane
