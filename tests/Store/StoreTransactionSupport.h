#pragma once

#include "Model/Identity.h"
#include "Platform/HomeTrash.h"
#include "Shared/PathPolicy.h"
#include "Shared/PrivilegedResults.h"
#include "Store/IsolatedStoreTest.h"
#include "Store/PluginInventoryStore.h"
#include "Store/PrivilegedRequestSender.h"
#include "Support/Fixtures/FixturePluginBundles.h"
#include "Support/Fixtures/FixtureRecords.h"
#include "Support/Paths.h"
#include "Support/Uuid.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace quorvane::testing {

inline bool onDisk(const QString& path) {
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0;
}

// Moves one bundle as the helper would, creating the destination's folder.
inline bool moveBundle(const QString& from, const QString& to) {
    QDir().mkpath(deletingLastPathComponent(to));
    return QDir().rename(from, to);
}

template <class Request>
void moveAll(const Request& request) {
    for (const auto& item : request.items)
        EXPECT_TRUE(moveBundle(item.sourcePath, item.destinationPath)) << item.sourcePath.toStdString();
}

// A helper's successful result for a request whose bundles have been moved.
template <class Result, class Request>
Result succeededResult(const Request& request) {
    Result result;
    result.transactionID = request.transactionID;
    result.succeeded = true;
    result.rollbackComplete = true;
    result.message = QStringLiteral("Done.");
    QStringList paths;
    for (const auto& item : request.items)
        paths.append(item.destinationPath);
    result.destinationPaths = paths;
    return result;
}

// A helper's failed result: no paths, and the rollback complete unless told otherwise.
template <class Result>
Result failedResult(const QString& transactionID, const QString& message, bool rollbackComplete = true) {
    Result result = failureWithNothingMoved<Result>(transactionID, message);
    result.rollbackComplete = rollbackComplete;
    return result;
}

// A store over a temporary machine: the system folders under machine/, the user's home at home/. The
// state-file write can be made to fail.
class TransactionStoreTest : public IsolatedStoreTest {
protected:
    TransactionStoreTest() : IsolatedStoreTest(QStringLiteral("machine"), Timestamp{760000000}) {}

    void SetUp() override {
        for (const QString& root : policy.approvedSystemPluginRoots())
            QDir().mkpath(root);
        QDir().mkpath(policy.quarantineRoot());
    }
    void TearDown() override { store.reset(); }

    StoreEnvironment environment() {
        StoreEnvironment environment = isolatedEnvironment();
        if (scan)
            environment.scan = scan;
        environment.scanMerged = scanMerged;
        return environment;
    }

    // Writes a state file holding `plugins` (and what `adjust` adds), then opens a store on it.
    void open(const std::vector<Plugin>& plugins,
              const std::function<void(PersistedInventory&)>& adjust = {}) {
        // The previous store's last write must land before this file is written, never after it.
        store.reset();
        PersistedInventory state = stateWith(plugins);
        if (adjust)
            adjust(state);
        ASSERT_TRUE(writeStateFile(state, statePath()).has_value());
        reopen();
    }
    void reopen() {
        store.reset();
        store = std::make_unique<PluginInventoryStore>(environment());
    }

    QString vst3(const QString& name) const { return policy.approvedSystemPluginRoots().at(2) + u'/' + name; }
    QString component(const QString& name) const {
        return policy.approvedSystemPluginRoots().at(0) + u'/' + name;
    }
    // The console user's Trash: the one in the home folder here, which belongs to the user running
    // the tests.
    QString trashFolder() const { return HomeTrash::filesFolder(home); }

    // An active product with one stored record per path; each bundle is created on disk.
    static Plugin product(const QString& name, const QStringList& formats, const QStringList& paths,
                          const QString& manufacturer = QStringLiteral("Orsolind")) {
        std::vector<PluginBundleRecord> records;
        for (qsizetype index = 0; index < paths.size(); ++index)
            records.push_back(bundleRecord(formats.value(index), makeBundle(paths[index]), false,
                                           {.size = QStringLiteral("1 MB")}));
        Plugin plugin =
            productOfRecords(name, manufacturer, std::move(records), {.size = QStringLiteral("1 MB")});
        plugin.formats = formats;
        return plugin;
    }
    Plugin synth(const QString& name = QStringLiteral("Synth")) const {
        return product(name, {QStringLiteral("VST3")}, {vst3(name + QStringLiteral(".vst3"))});
    }
    // `plugin` with its first record quarantined under `operation`, the copy at
    // <quarantine root>/<operation>/<file name>; nothing moves on disk.
    Plugin quarantinedUnder(Plugin plugin, const QString& operation) const {
        PluginBundleRecord& record = plugin.bundles->front();
        record = withQuarantine(
            record, record.path,
            policy.quarantineRoot() + u'/' + operation + u'/' + lastPathComponent(record.path), operation);
        plugin.status = PluginStatus::quarantined;
        return plugin;
    }
    // The Trash record of <name>.vst3, moved to the user's Trash by a transaction of its own (by
    // `transaction` when given); its bundle is made in the Trash and at its original place as asked.
    TrashedBundleRecord trashRecord(const QString& name, bool inTrash, bool atOriginal,
                                    Timestamp date = Timestamp{1},
                                    const std::optional<QString>& transaction = std::nullopt) const {
        const QString file = name + QStringLiteral(".vst3");
        TrashedBundleRecord record =
            trashedVst3Record(name, QStringLiteral("Orsolind"), vst3(file), trashFolder() + u'/' + file);
        record.operationDate = date;
        if (transaction)
            record.trashTransactionID = transaction;
        if (inTrash)
            makeBundle(record.trashPath);
        if (atOriginal)
            makeBundle(record.originalPath);
        return record;
    }
    static PluginBundleSelection selection(const Plugin& plugin, std::size_t record = 0) {
        return {plugin.id, plugin.bundleRecords().at(record).id()};
    }
    const Plugin* findPlugin(const QUuid& id) const {
        for (const Plugin& plugin : store->plugins())
            if (plugin.id == id)
                return &plugin;
        return nullptr;
    }

    // Quarantines `plugins`' first records through the journal, with the helper's moves done here.
    PrivilegedQuarantineRequest
    quarantineThroughJournal(const std::vector<PluginBundleSelection>& selections) {
        const auto request = store->beginPrivileged<PrivilegedKind::quarantine>(selections);
        EXPECT_TRUE(request.has_value()) << store->lastOperationError().value_or(QString()).toStdString();
        if (!request)
            return {};
        moveAll(*request);
        EXPECT_TRUE(committed([&](auto then) {
            store->completePrivileged(succeededResult<PrivilegedQuarantineResult>(*request),
                                      request->transactionID, request->items, then);
        }));
        return *request;
    }

    // Runs a complete step, handing it `then`, and waits until its commit is on disk; whether the
    // store committed.
    bool committed(const std::function<void(PluginInventoryStore::Committed)>& complete) {
        std::optional<bool> outcome;
        complete([&](bool value) { outcome = value; });
        store->waitForIdle();
        EXPECT_TRUE(outcome.has_value());
        return outcome.value_or(false);
    }

    PathPolicy policy{roots};
    // Replaces the scanner of the stores opened afterwards.
    StoreEnvironment::ScanFunction scan;
    std::function<void()> scanMerged;
    std::unique_ptr<PluginInventoryStore> store;
};

// A helper that answers at once, after doing (or not doing) the moves itself.
class FakePrivilegedSender final : public PrivilegedRequestSender {
public:
    bool ready = true;
    // Move failure of the n-th call (1-based), answered as failed safely; 0 for none.
    int failCall = 0;
    int calls = 0;
    std::vector<PrivilegedTrashRequest> trashRequests;
    std::vector<PrivilegedQuarantineRequest> quarantineRequests;

    bool isReadyForPrivilegedRequests() const override { return ready; }
    void send(const PrivilegedQuarantineRequest& request,
              Completion<PrivilegedQuarantineResult> completion) override {
        quarantineRequests.push_back(request);
        completion(answer<PrivilegedQuarantineResult>(request));
    }
    void send(const PrivilegedTrashRequest& request, Completion<PrivilegedTrashResult> completion) override {
        trashRequests.push_back(request);
        completion(answer<PrivilegedTrashResult>(request));
    }
    // The permanent-quarantine run sends nothing else.
    void send(const PrivilegedRestoreRequest&, Completion<PrivilegedRestoreResult>) override {
        ADD_FAILURE() << "the run sent a restore";
    }
    void send(const PrivilegedTrashRestoreRequest&, Completion<PrivilegedTrashRestoreResult>) override {
        ADD_FAILURE() << "the run sent a Trash recovery";
    }

private:
    template <class Result, class Request>
    Result answer(const Request& request) {
        if (++calls == failCall)
            return failedResult<Result>(request.transactionID,
                                        QStringLiteral("The helper could not move it."));
        moveAll(request);
        return succeededResult<Result>(request);
    }
};

// Exposes the run, which the store otherwise starts itself at the end of a scan.
class RunnableStore : public PluginInventoryStore {
public:
    using PluginInventoryStore::PluginInventoryStore;
    using PluginInventoryStore::startPermanentQuarantineRun;
};

// The permanent-quarantine run started by hand over matches made on disk; the helper client's
// tests hand it their service in place of the fake helper.
class PermanentRunTest : public TransactionStoreTest {
protected:
    // Per match: a quarantined product holding the retired copy and an active product holding the
    // reinstalled one.
    void openWithMatches(int count, const QString& manufacturer = QStringLiteral("Orsolind"),
                         const QString& activeName = {}) {
        std::vector<Plugin> plugins;
        for (int index = 0; index < count; ++index) {
            const QString name = QStringLiteral("Synth%1").arg(index);
            const QString operation = uuidText(makeUuid());
            const Plugin retired = quarantinedUnder(
                product(name, {QStringLiteral("VST3")},
                        {vst3(QStringLiteral("Old/") + name + QStringLiteral(".vst3"))}, manufacturer),
                operation);
            const PluginBundleRecord& record = retired.bundles->front();
            moveBundle(record.path, *record.quarantinePath);
            Plugin active = product(activeName.isEmpty() ? name : activeName, {QStringLiteral("VST3")},
                                    {vst3(name + QStringLiteral(".vst3"))}, manufacturer);
            matches.push_back(
                {selection(active), selection(retired), active.name, manufacturer, QStringLiteral("VST3")});
            plugins.push_back(retired);
            plugins.push_back(active);
        }
        ASSERT_TRUE(writeStateFile(stateWith(plugins), statePath()).has_value());
        runnable = std::make_unique<RunnableStore>(environment());
    }
    void run(PrivilegedRequestReadiness* service) {
        const std::size_t size = std::min<std::size_t>(matches.size(), 256);
        runnable->startPermanentQuarantineRun({matches.begin(), matches.begin() + qsizetype(size)},
                                              {matches.begin() + qsizetype(size), matches.end()}, service);
        // Each phase waits for its journal's write; the fake helpers answer at once.
        runnable->waitForIdle();
    }
    void TearDown() override {
        runnable.reset();
        TransactionStoreTest::TearDown();
    }

    std::vector<PermanentQuarantineMatch> matches;
    std::unique_ptr<RunnableStore> runnable;
    FakePrivilegedSender helper;
};

} // namespace quorvane::testing
