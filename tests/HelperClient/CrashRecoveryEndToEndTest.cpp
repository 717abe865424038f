#include "EndToEndSupport.h"
#include "HelperClient/LaunchHandshake.h"
#include "Persistence/PersistedInventory.h"
#include "Persistence/StateFile.h"
#include "Persistence/StateFileLocations.h"
#include "Store/IsolatedStoreTest.h"
#include "Store/PluginInventoryStore.h"
#include "Support/Fixtures/FixtureRecords.h"
#include "Support/Paths.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

enum class Kind { quarantine, restore, trash, trashRecovery };

struct PathPair {
    QString source;
    QString destination;
};

// Socket activation in small: the helper counts as enabled while it is not running, and a connection
// to it starts it, answered once it is ready, as the socket keeps a client waiting until then.
class StartedOnConnect final : public ServiceRegistry {
public:
    explicit StartedOnConnect(SupervisedChildRegistry& child) : m_child(child) {}

    ServiceRegistrationStatus status() override { return ServiceRegistrationStatus::enabled; }
    void registerService(Completion done) override { m_child.registerService(std::move(done)); }
    void unregisterService(Completion done) override { m_child.unregisterService(std::move(done)); }
    HelperEndpoint endpoint() const override { return m_child.endpoint(); }

    HelperConnectionFactory connections() {
        return [this](const HelperEndpoint& endpoint) -> std::unique_ptr<HelperConnection> {
            const auto started = std::make_shared<bool>(false);
            m_child.registerService([started](auto) { *started = true; });
            (void)QTest::qWaitFor([&] { return *started; }, 30000);
            return std::make_unique<UnixSocketHelperConnection>(endpoint);
        };
    }

private:
    SupervisedChildRegistry& m_child;
};

// The helper killed in the middle of a three-bundle transaction, then the application launched,
// whose handshake starts the helper again: the real store, the real client and the testbed helper.
class CrashRecoveryEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        machine.makeConsoleTrash();
        support = machine.tree.makeDirectory(QStringLiteral("support"));
        helperFolder = deletingLastPathComponent(machine.policy.quarantineRoot());
    }

    StoreEnvironment environment() const {
        return StoreEnvironment::isolated(support, machine.roots, machine.home);
    }

    std::vector<PluginBundleSelection> selections() const {
        std::vector<PluginBundleSelection> all;
        for (const Plugin& plugin : store->plugins())
            for (const PluginBundleRecord& record : plugin.bundleRecords())
                all.push_back({plugin.id, record.id()});
        return all;
    }

    // Begins the kind's transaction over everything the store holds and sends it; `committed` is
    // set once its commit is on disk (or refused). The items' paths, none when nothing could begin.
    template <class Result, class Request, class Send>
    std::vector<PathPair> dispatch(const std::optional<Request>& request, Send send,
                                   std::optional<bool>& committed) {
        EXPECT_TRUE(request.has_value()) << store->lastOperationError().value_or("").toStdString();
        if (!request)
            return {};
        send(*request, [this, request, &committed](const Result& result) {
            store->completePrivileged(result, request->transactionID, request->items,
                                      [&committed](bool value) { committed = value; });
        });
        std::vector<PathPair> paths;
        for (const auto& item : request->items)
            paths.push_back({item.sourcePath, item.destinationPath});
        return paths;
    }

    std::vector<PathPair> start(Kind kind, std::optional<bool>& committed) {
        PluginManagementService& service = *testbed->service;
        switch (kind) {
        case Kind::quarantine:
            return dispatch<PrivilegedQuarantineResult>(
                store->beginPrivileged<PrivilegedKind::quarantine>(selections()),
                [&](auto& request, auto done) { service.send(request, done); }, committed);
        case Kind::restore:
            return dispatch<PrivilegedRestoreResult>(
                store->beginPrivileged<PrivilegedKind::restore>(selections()),
                [&](auto& request, auto done) { service.send(request, done); }, committed);
        case Kind::trash:
            return dispatch<PrivilegedTrashResult>(
                store->beginPrivileged<PrivilegedKind::trash>(selections()),
                [&](auto& request, auto done) { service.send(request, done); }, committed);
        case Kind::trashRecovery: {
            std::vector<QUuid> records;
            for (const TrashedBundleRecord& record : store->trashedBundles())
                records.push_back(record.id);
            return dispatch<PrivilegedTrashRestoreResult>(
                store->beginTrashRecovery(records),
                [&](auto& request, auto done) { service.send(request, done); }, committed);
        }
        }
        return {};
    }

    bool transact(Kind kind) {
        std::optional<bool> committed;
        if (start(kind, committed).empty())
            return false;
        return QTest::qWaitFor([&] { return committed.has_value(); }, 60000) && *committed;
    }

    // The Trash paths the helper's ledger holds a record for.
    QStringList ledgerPaths() const {
        QFile file(helperFolder + QStringLiteral("/TrashLedger.json"));
        QStringList paths;
        if (!file.open(QIODevice::ReadOnly))
            return paths;
        for (const auto& record : QJsonDocument::fromJson(file.readAll()).object()[u"records"].toArray())
            paths.append(record.toObject()[u"trashPath"].toString());
        return paths;
    }

    // Where the store's records say each bundle is: in its plug-in folder, in quarantine, in the
    // Trash or recovered from it.
    QStringList knownPaths() const {
        QStringList paths;
        for (const Plugin& plugin : store->plugins())
            for (const PluginBundleRecord& record : plugin.bundleRecords())
                paths.append(record.isQuarantined() ? *record.quarantinePath : record.path);
        // A recovered bundle keeps its Trash record, settled, until the next scan lists it again.
        for (const TrashedBundleRecord& record : store->trashedBundles())
            paths.append(record.restoreTransactionID ? record.originalPath : record.trashPath);
        return paths;
    }

    static std::optional<FileIdentity> identityAt(const QString& path) {
        struct stat status {};
        if (::lstat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISDIR(status.st_mode))
            return std::nullopt;
        return identityOf(status);
    }

    TestMachine machine;
    QString support;
    QString helperFolder;
    std::unique_ptr<TestbedService> testbed;
    std::unique_ptr<PluginInventoryStore> store;
};

// Killed before its last move is done, a transaction is undone; killed after it but before its commit
// mark, it stands, as the application, which settles a journal whose every bundle moved as done,
// takes it. Either way the helper and the inventory agree on where each bundle is.
TEST_F(CrashRecoveryEndToEndTest, AKilledTransactionEndsWithEveryBundleInOnePlaceTheInventoryKnows) {
    struct Row {
        Kind kind;
        // The testbed's pause, where the helper is killed.
        const char* pause;
        int step;
    };
    const std::vector<Row> rows{
        {Kind::quarantine, "pause-before-move", 2},    {Kind::quarantine, "pause-before-move", 3},
        {Kind::restore, "pause-before-move", 2},       {Kind::restore, "pause-before-move", 3},
        {Kind::trash, "pause-before-move", 2},         {Kind::trash, "pause-before-move", 3},
        {Kind::trashRecovery, "pause-before-move", 2}, {Kind::trashRecovery, "pause-before-move", 3},
        {Kind::trash, "pause-before-placement", 2},    {Kind::trashRecovery, "pause-before-placement", 3},
        {Kind::quarantine, "pause-before-commit", 1},  {Kind::restore, "pause-before-commit", 1},
        {Kind::trash, "pause-before-commit", 1},       {Kind::trashRecovery, "pause-before-commit", 1},
    };
    // The transactions that put the bundles where each kind starts from.
    const std::map<Kind, std::vector<Kind>> preparation{
        {Kind::quarantine, {}},
        {Kind::restore, {Kind::quarantine}},
        {Kind::trash, {Kind::quarantine}},
        {Kind::trashRecovery, {Kind::quarantine, Kind::trash}}};
    int round = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message()
                     << "kind " << int(row.kind) << ", " << row.pause << " " << row.step);
        ++round;
        std::vector<Plugin> plugins;
        for (const char* name : {"One", "Two", "Three"}) {
            const QString bundle = QStringLiteral("%1%2.vst3").arg(QLatin1String(name)).arg(round);
            plugins.push_back(productOfRecords(
                QStringLiteral("%1%2").arg(QLatin1String(name)).arg(round), QStringLiteral("Orsolind"),
                {bundleRecord(QStringLiteral("VST3"), makeBundle(machine.vst3(bundle)), false, {})}, {}));
        }
        ASSERT_TRUE(writeStateFile(stateWith(plugins), inventoryStateFileURL(support)).has_value());
        store = std::make_unique<PluginInventoryStore>(environment());
        const std::vector<Kind>& before = preparation.at(row.kind);
        testbed = std::make_unique<TestbedService>(
            machine, QStringList{QLatin1String("--") + QLatin1String(row.pause), QString::number(row.step),
                                 QStringLiteral("--pause-ms"), QStringLiteral("60000"),
                                 QStringLiteral("--fault-transaction"), QString::number(before.size() + 1)});
        ASSERT_TRUE(testbed->start());
        for (const Kind kind : before)
            ASSERT_TRUE(transact(kind));

        const auto pluginsBefore = store->plugins();
        const auto trashedBefore = store->trashedBundles();
        const auto historyBefore = store->history();
        std::optional<bool> committed;
        const std::vector<PathPair> items = start(row.kind, committed);
        ASSERT_EQ(items.size(), 3u);
        std::vector<std::optional<FileIdentity>> identities;
        for (const PathPair& item : items)
            identities.push_back(identityAt(item.source));
        const std::string pause = row.pause;
        const bool finished = pause == "pause-before-commit";
        const QString paused = finished ? QStringLiteral("pausing before the commit")
                               : pause == "pause-before-move"
                                   ? QStringLiteral("pausing before move %1").arg(row.step)
                                   : QStringLiteral("pausing before placing move %1").arg(row.step);
        ASSERT_TRUE(testbed->registry->waitForOutput(paused, 30000))
            << testbed->registry->output().toStdString();
        testbed->registry->kill();
        ASSERT_TRUE(QTest::qWaitFor([&] { return committed.has_value(); }, 30000));
        store.reset();
        testbed.reset();

        // The application is launched on the half-moved disk; its handshake starts the helper again.
        EXPECT_FALSE(identityAt(items[0].source).has_value());
        testbed = std::make_unique<TestbedService>(machine);
        const auto socket = std::make_shared<StartedOnConnect>(*testbed->registry);
        StoreEnvironment launched = environment();
        launched.helperHandshake = launchHandshake(socket, socket->connections());
        store = std::make_unique<PluginInventoryStore>(launched);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !store->hasPendingPrivilegedTransaction(); }, 30000))
            << store->lastOperationError().value_or("").toStdString()
            << testbed->registry->output().toStdString();
        store->waitForIdle();
        // The helper has started (for a journal whose bundles all moved, only at the next connection)
        // and settled its record before it answers.
        bool answered = false;
        ASSERT_TRUE(launched.helperHandshake([&answered] { answered = true; }));
        ASSERT_TRUE(QTest::qWaitFor([&] { return answered; }, 30000));
        EXPECT_EQ(testbed->registry->status(), ServiceRegistrationStatus::enabled);

        EXPECT_EQ(store->lastOperationError(), std::nullopt);
        const auto stored = readStateFile(inventoryStateFileURL(support));
        ASSERT_TRUE(stored.has_value());
        EXPECT_FALSE(stored->pendingPrivilegedQuarantine || stored->pendingPrivilegedRestore ||
                     stored->pendingPrivilegedTrash || stored->pendingPrivilegedTrashRestore);
        if (!finished) {
            EXPECT_EQ(store->plugins(), pluginsBefore);
            EXPECT_EQ(store->trashedBundles(), trashedBefore);
            EXPECT_EQ(store->history(), historyBefore);
        }
        const QStringList known = knownPaths();
        for (std::size_t index = 0; index < items.size(); ++index) {
            SCOPED_TRACE(items[index].source.toStdString());
            const QString& here = finished ? items[index].destination : items[index].source;
            const QString& gone = finished ? items[index].source : items[index].destination;
            EXPECT_TRUE(identities[index].has_value());
            EXPECT_EQ(identityAt(here), identities[index]);
            EXPECT_FALSE(QFileInfo::exists(gone));
            EXPECT_TRUE(known.contains(here));
            EXPECT_FALSE(known.contains(gone));
            if (row.kind == Kind::trash || row.kind == Kind::trashRecovery) {
                const QString trashPath =
                    row.kind == Kind::trashRecovery ? items[index].source : items[index].destination;
                const bool inTrash = trashPath == here;
                const QString info = HomeTrash::infoFolder(machine.home) + u'/' +
                                     lastPathComponent(trashPath) + QStringLiteral(".trashinfo");
                EXPECT_EQ(QFile::exists(info), inTrash);
                EXPECT_EQ(ledgerPaths().contains(trashPath), inTrash);
            }
        }
        EXPECT_FALSE(QFileInfo::exists(helperFolder + QStringLiteral("/Staging")));
        EXPECT_FALSE(QFileInfo::exists(helperFolder + QStringLiteral("/Transaction.json")));
        store.reset();
        testbed.reset();
    }
}

} // namespace
} // namespace quorvane::testing
