#include "StoreSimulation.h"

#include "Discovery/PluginScanner.h"
#include "Persistence/StateFile.h"
#include "Store/StoreTexts.h"

#include <QDirIterator>
#include <QTest>

#include <algorithm>
#include <functional>

namespace quorvane::testing {

namespace {

const std::vector<std::pair<FaultKind, QString>>& kindNames() {
    static const std::vector<std::pair<FaultKind, QString>> names{
        {FaultKind::helperFailure, QStringLiteral("helperFailure")},
        {FaultKind::helperMixed, QStringLiteral("helperMixed")},
        {FaultKind::helperNoReply, QStringLiteral("helperNoReply")},
        {FaultKind::helperKill, QStringLiteral("helperKill")},
        {FaultKind::writerSlow, QStringLiteral("writerSlow")},
        {FaultKind::writerFailure, QStringLiteral("writerFailure")},
        {FaultKind::appKill, QStringLiteral("appKill")},
        {FaultKind::reinstall, QStringLiteral("reinstall")},
        {FaultKind::removal, QStringLiteral("removal")},
        {FaultKind::caseTwin, QStringLiteral("caseTwin")},
    };
    return names;
}

// A gate one thread waits at until another opens it; `abandon` lets every waiter through for good.
class Gate {
public:
    void close() {
        const std::lock_guard guard(m_mutex);
        m_open = false;
        m_reached = false;
    }
    void open() {
        const std::lock_guard guard(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    void wait() {
        std::unique_lock guard(m_mutex);
        m_reached = true;
        m_changed.wait(guard, [&] { return m_open; });
    }
    bool reached() {
        const std::lock_guard guard(m_mutex);
        return m_reached;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = true;
    bool m_reached = false;
};

// The writer thread: flowing (each write fails while the disk is failing), or held, each write
// waiting for a permit that says whether it fails.
class WriterControl {
public:
    void hold() {
        const std::lock_guard guard(m_mutex);
        m_held = true;
    }
    void flow() {
        const std::lock_guard guard(m_mutex);
        m_held = false;
        m_changed.notify_all();
    }
    bool held() {
        const std::lock_guard guard(m_mutex);
        return m_held;
    }
    // Lets one held write through; false when none waits.
    bool permit(bool fail) {
        std::unique_lock guard(m_mutex);
        // A write handed over just now may not have reached the gate yet.
        if (!m_changed.wait_for(guard, std::chrono::milliseconds(200), [&] { return m_waiting > 0; }))
            return false;
        m_permits.push_back(fail);
        m_changed.notify_all();
        const int written = m_written;
        m_changed.wait(guard, [&] { return m_written > written; });
        return true;
    }
    bool writeWaiting() {
        const std::lock_guard guard(m_mutex);
        return m_waiting > 0;
    }
    // On the writer thread, once the write is done.
    void afterWrite() {
        const std::lock_guard guard(m_mutex);
        ++m_written;
        m_changed.notify_all();
    }
    // On the writer thread: whether this write fails.
    bool beforeWrite(bool diskFailing) {
        std::unique_lock guard(m_mutex);
        ++m_waiting;
        m_changed.notify_all();
        m_changed.wait(guard, [&] { return !m_held || !m_permits.empty(); });
        --m_waiting;
        bool fail = diskFailing;
        if (!m_permits.empty()) {
            fail = m_permits.front();
            m_permits.pop_front();
        }
        return fail;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_held = false;
    int m_waiting = 0;
    int m_written = 0;
    std::deque<bool> m_permits;
};

// One transaction the helper was handed, and what it did on disk.
struct HelperJob {
    QString transactionID;
    std::vector<std::pair<QString, QString>> moves;
    std::vector<bool> moved;
    // Delivers the helper's answer to whoever sent the request; empty once the app that sent it is
    // gone.
    std::function<void(bool succeeded, bool rollbackComplete)> answer;
    bool cutShort = false;

    int movedCount() const { return int(std::ranges::count(moved, true)); }
    // What the helper checks before it moves anything: every source there, every destination free.
    // As the helper validates a request: every source there, no destination taken, no place named twice.
    bool feasible() const {
        QSet<QString> places;
        for (const auto& [source, destination] : moves)
            places << source << destination;
        return places.size() == qsizetype(2 * moves.size()) &&
               std::ranges::all_of(
                   moves, [](const auto& move) { return onDisk(move.first) && !onDisk(move.second); });
    }
};

// Moves the first `count` items of a feasible job.
void carryOut(HelperJob& job, std::size_t count) {
    for (std::size_t index = 0; index < count; ++index)
        job.moved[index] = moveBundle(job.moves[index].first, job.moves[index].second);
}

class Simulation final : public TransactionStoreTest, public PrivilegedRequestSender {
public:
    explicit Simulation(const SimulationOptions& options) : m_options(options), m_random(options.seed) {
        for (const FaultKind kind : options.kinds)
            m_enabled.insert(int(kind));
    }
    // A failed walk stops early: the store must go before the gates and the writer it waits at.
    ~Simulation() override { shutDown(); }
    void TestBody() override {}

    std::optional<QString> run() {
        SetUp();
        // Scans are told apart by their dates.
        tickSeconds = 1;
        duringWrite = [this](const PersistedInventory& state) {
            failSaves = m_writer.beforeWrite(m_diskFailing);
            if (!failSaves && state.lastScanDate)
                m_savedScan = std::max(m_savedScan.load(), state.lastScanDate->sinceReferenceDate);
        };
        scan = [this](const QList<QUrl>& folders, ScanControl& control,
                      const PluginScanner::ProgressCallback& progress) {
            m_walkGate.wait();
            ScanSummary summary = PluginScanner::scan(folders, control, progress,
                                                      PluginScanner::Environment::withRoots(roots, home));
            m_walked = true;
            return summary;
        };
        scanMerged = [this] { m_mergeGate.wait(); };
        for (int index = 0; index < 8; ++index)
            install(bundlePathFor(index), index / 2);
        launch();
        note(QStringLiteral("launch with %1 bundles").arg(diskBundles().size()));
        startScan();
        finishScan();
        if (auto failure = check())
            return failure;
        for (int step = 1; step <= m_options.steps; ++step) {
            runStep();
            if (auto failure = check())
                return failure;
        }
        // A last relaunch: whatever is left must be settled by it.
        relaunch(enabled(FaultKind::appKill));
        if (auto failure = check())
            return failure;
        if (store->canSettlePendingJournal()) {
            settleJournal();
            if (auto failure = check())
                return failure;
        }
        shutDown();
        return std::nullopt;
    }

    // The helper as the store's own runs reach it.
    bool isReadyForPrivilegedRequests() const override { return true; }
    void send(const PrivilegedQuarantineRequest& request,
              Completion<PrivilegedQuarantineResult> done) override {
        enqueue(request, std::move(done));
    }
    void send(const PrivilegedRestoreRequest& request, Completion<PrivilegedRestoreResult> done) override {
        enqueue(request, std::move(done));
    }
    void send(const PrivilegedTrashRequest& request, Completion<PrivilegedTrashResult> done) override {
        enqueue(request, std::move(done));
    }
    void send(const PrivilegedTrashRestoreRequest& request,
              Completion<PrivilegedTrashRestoreResult> done) override {
        enqueue(request, std::move(done));
    }

private:
    bool enabled(FaultKind kind) const { return m_enabled.contains(int(kind)); }
    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(m_random); }
    bool chance(int percent) { return pick(100) < percent; }
    void note(const QString& line) { m_log.append(QStringLiteral("%1: %2").arg(m_step).arg(line)); }

    // Bundles on disk.

    static const QStringList& names() {
        static const QStringList list{QStringLiteral("Alder"),  QStringLiteral("Brume"),
                                      QStringLiteral("Cirrus"), QStringLiteral("Dune"),
                                      QStringLiteral("Ember"),  QStringLiteral("Fjord"),
                                      QStringLiteral("Gale"),   QStringLiteral("Heron")};
        return list;
    }
    static const QStringList& vendors() {
        static const QStringList list{QStringLiteral("orsolind"), QStringLiteral("vantrel"),
                                      QStringLiteral("kessmark")};
        return list;
    }
    // Two formats of each product in turn.
    QString bundlePathFor(int index) const {
        const QString name = names().at((index / 2) % names().size());
        switch (index % 3) {
        case 0:
            return vst3(name + QStringLiteral(".vst3"));
        case 1:
            return component(name + QStringLiteral(".component"));
        default:
            return policy.approvedSystemPluginRoots().at(3) + u'/' + name + QStringLiteral(".clap");
        }
    }
    // Writes a bundle with the product name and vendor of `variant` at `path`, replacing what is there.
    void install(const QString& path, int variant) {
        QDir(path).removeRecursively();
        const QString name = names().at(variant % names().size()) +
                             (variant >= names().size() ? QStringLiteral(" %1").arg(variant) : QString());
        const QString vendor = vendors().at(variant % vendors().size());
        QDir().mkpath(path + QStringLiteral("/Contents"));
        QFile file(path + QStringLiteral("/Contents/Info.plist"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(xmlPropertyList(bundleInfo(name, QStringLiteral("com.%1.%2").arg(vendor, name.toLower()),
                                              QStringLiteral("1.%1").arg(variant))));
    }
    // Every bundle in the plug-in folders, the quarantine folder and the Trash.
    QStringList diskBundles() const {
        QStringList found;
        const auto entries = [&](const QString& folder) {
            QStringList paths;
            for (const QString& entry :
                 QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System))
                paths.append(folder + u'/' + entry);
            return paths;
        };
        for (const QString& root : policy.approvedSystemPluginRoots())
            found += entries(root);
        for (const QString& operation : entries(policy.quarantineRoot()))
            found += entries(operation);
        found += entries(trashFolder());
        return found;
    }

    // The store's life.

    void launch() {
        StoreEnvironment environment = this->environment();
        environment.writeStateFile =
            [this, write = environment.writeStateFile](const PersistedInventory& state, const QString& path) {
                auto written = write(state, path);
                m_writer.afterWrite();
                return written;
            };
        environment.helperHandshake = [this](std::function<void()> done) {
            restartHelper();
            QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(done), Qt::QueuedConnection);
            return true;
        };
        store = std::make_unique<PluginInventoryStore>(environment);
        // Each notice is read and dismissed, as the window's alert is before the next click: one left
        // showing would hold back the confirmations that follow it.
        QObject::connect(store.get(), &PluginInventoryStore::noticeChanged, [this] {
            if (store && store->notice()) {
                noticeSeen(store->notice()->title);
                store->dismissNotice(store->notice()->id);
            }
        });
        settle();
    }
    // The helper starts again and undoes a transaction a kill cut short.
    void restartHelper() {
        for (auto& [id, job] : m_jobs) {
            if (!job.cutShort)
                continue;
            job.cutShort = false;
            for (std::size_t index = 0; index < job.moves.size(); ++index)
                if (job.moved[index] && moveBundle(job.moves[index].second, job.moves[index].first))
                    job.moved[index] = false;
        }
    }
    void shutDown() {
        m_walkGate.open();
        m_mergeGate.open();
        m_writer.flow();
        store.reset();
    }
    static void drainEvents() {
        for (int round = 0; round < 3; ++round) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
    }
    // Runs what the step left queued; waits for the writer unless it is held.
    void settle() {
        drainEvents();
        if (!m_writer.held() && store) {
            store->waitForIdle();
            drainEvents();
            // Every answer is in.
            m_productOutcomeUnknown = false;
            for (const PendingFormat& pending : std::exchange(m_pendingFormats, {}))
                m_formatWord.remove(pending.path);
            m_formatsUntracked = false;
        }
    }
    // A kill keeps the state file as it is at that moment; a quit lets the writer finish.
    void relaunch(bool kill) {
        QByteArray onDisk;
        const double savedScan = m_savedScan;
        QFile file(statePath());
        const bool existed = kill && file.open(QIODevice::ReadOnly);
        if (existed)
            onDisk = file.readAll();
        file.close();
        // The helper goes on without the app: what it was handed it carries out, unanswered.
        for (const QString& id : std::exchange(m_queue, {})) {
            HelperJob& job = m_jobs.at(id);
            if (job.feasible())
                carryOut(job, job.moves.size());
        }
        for (auto& [id, job] : m_jobs)
            job.answer = {};
        shutDown();
        // Whatever the app wrote after the kill never happened.
        if (existed) {
            QFile back(statePath());
            EXPECT_TRUE(back.open(QIODevice::WriteOnly | QIODevice::Truncate));
            back.write(onDisk);
        } else if (kill) {
            QFile::remove(statePath());
        }
        m_diskFailing = false;
        m_scanning = false;
        if (kill)
            m_savedScan = savedScan;
        if (kill)
            for (const SeenChange& seen : m_seenByScan)
                if (seen.scanDate > m_savedScan)
                    m_outsideChanges.try_emplace(seen.path, seen.sequence);
        // A rule change the window never answered may or may not have been saved.
        for (const auto& [manufacturer, enable] : std::exchange(m_pendingRules, {}))
            m_ruleWord.remove(manufacturer);
        for (const PendingFormat& pending : std::exchange(m_pendingFormats, {}))
            m_formatWord.remove(pending.path);
        m_productOutcomeUnknown = false;
        m_formatsUntracked = false;
        note(kill ? QStringLiteral("app killed and relaunched") : QStringLiteral("app quit and relaunched"));
        launch();
        m_afterLaunch = true;
    }

    // The helper stand-in.

    template <class Request, class Result>
    void enqueue(const Request& request, std::function<void(const Result&)> deliver) {
        HelperJob job;
        job.transactionID = request.transactionID;
        for (const auto& item : request.items)
            job.moves.emplace_back(item.sourcePath, item.destinationPath);
        job.moved.assign(job.moves.size(), false);
        job.answer = [request, deliver = std::move(deliver)](bool succeeded, bool rollbackComplete) {
            deliver(succeeded ? succeededResult<Result>(request)
                              : failedResult<Result>(request.transactionID,
                                                     QStringLiteral("The helper could not move it."),
                                                     rollbackComplete));
        };
        m_jobs[request.transactionID] = std::move(job);
        m_queue.push_back(request.transactionID);
    }
    // The `send` of a begin step: the request joins the helper's queue, its answer completes it.
    template <PrivilegedKind kind, class Request = PrivilegedRequest<kind>,
              class Result = PrivilegedResult<kind>>
    PluginInventoryStore::Send<Request> sender(std::function<void(bool)> then = {}) {
        return [this, then](const std::optional<Request>& request) {
            if (!request) {
                if (then)
                    then(false);
                return;
            }
            PluginInventoryStore* target = store.get();
            enqueue<Request, Result>(*request, [target, request, then](const Result& result) {
                target->completePrivileged(result, request->transactionID, request->items,
                                           [then](bool committed) {
                                               if (then)
                                                   then(committed);
                                           });
            });
        };
    }
    void answerHelper() {
        const QString id = m_queue.front();
        m_queue.pop_front();
        HelperJob& job = m_jobs.at(id);
        const auto moveFirst = [&](std::size_t count) { carryOut(job, count); };
        if (!job.feasible()) {
            note(QStringLiteral("helper refuses %1: the disk no longer matches it").arg(id));
            std::exchange(job.answer, {})(false, true);
            return;
        }
        std::vector<FaultKind> outcomes;
        for (const FaultKind kind : {FaultKind::helperFailure, FaultKind::helperMixed,
                                     FaultKind::helperNoReply, FaultKind::helperKill})
            if (enabled(kind))
                outcomes.push_back(kind);
        const std::size_t count = job.moves.size();
        if (outcomes.empty() || chance(60)) {
            moveFirst(count);
            note(QStringLiteral("helper moves %1 item(s) of %2").arg(count).arg(id));
            std::exchange(job.answer, {})(true, true);
            return;
        }
        switch (outcomes[std::size_t(pick(int(outcomes.size())))]) {
        case FaultKind::helperFailure:
            note(QStringLiteral("helper fails %1 and rolls back").arg(id));
            std::exchange(job.answer, {})(false, true);
            break;
        case FaultKind::helperMixed: {
            const std::size_t moved = 1 + std::size_t(pick(int(count)));
            moveFirst(moved);
            note(QStringLiteral("helper fails %1 with %2 of %3 moved").arg(id).arg(moved).arg(count));
            std::exchange(job.answer, {})(false, false);
            break;
        }
        case FaultKind::helperNoReply: {
            const bool done = chance(50);
            if (done)
                moveFirst(count);
            note(QStringLiteral("helper %1 %2 and never answers").arg(done ? "carries out" : "drops", id));
            job.answer = {};
            break;
        }
        default: {
            const std::size_t moved = std::size_t(pick(int(count) + 1));
            moveFirst(moved);
            job.cutShort = moved > 0 && moved < count;
            note(QStringLiteral("helper killed after %1 of %2 moves of %3").arg(moved).arg(count).arg(id));
            std::exchange(job.answer, {})(false, true);
            break;
        }
        }
    }

    // Steps.

    std::vector<std::pair<const Plugin*, PluginBundleRecord>> records(bool quarantined) const {
        std::vector<std::pair<const Plugin*, PluginBundleRecord>> found;
        for (const Plugin& plugin : store->plugins())
            for (const PluginBundleRecord& record : plugin.bundleRecords())
                if (record.isQuarantined() == quarantined)
                    found.emplace_back(&plugin, record);
        return found;
    }
    std::vector<PluginBundleSelection> someSelections(bool quarantined) {
        auto candidates = records(quarantined);
        std::ranges::shuffle(candidates, m_random);
        std::vector<PluginBundleSelection> chosen;
        const int wanted = 1 + pick(3);
        for (const auto& [plugin, record] : candidates) {
            if (int(chosen.size()) == wanted)
                break;
            chosen.push_back({plugin->id, record.id()});
        }
        return chosen;
    }
    static QString describe(const std::vector<PluginBundleSelection>& selections) {
        QStringList keys;
        for (const PluginBundleSelection& selection : selections)
            keys.append(selection.bundleID);
        return keys.join(QStringLiteral(", "));
    }

    void runStep() {
        ++m_step;
        m_afterLaunch = false;
        using Step = std::function<void()>;
        std::vector<std::pair<int, Step>> steps{
            {8, [&] { protectProduct(); }}, {8, [&] { protectFormat(); }},
            {4, [&] { protectBatch(); }},   {12, [&] { quarantine(); }},
            {8, [&] { restore(); }},        {5, [&] { trash(); }},
            {5, [&] { recover(); }},        {5, [&] { switchRule(); }},
            {4, [&] { cleanupRun(); }},     {8, [&] { startScan(); }},
            {8, [&] { advanceScan(); }},    {m_queue.empty() ? 0 : 20, [&] { answerHelper(); }},
        };
        if (store->canSettlePendingJournal())
            steps.push_back({6, [&] { settleJournal(); }});
        if (enabled(FaultKind::writerSlow))
            steps.push_back({6, [&] { writerStep(); }});
        if (enabled(FaultKind::writerFailure))
            steps.push_back({4, [&] {
                                 m_diskFailing = !m_diskFailing;
                                 note(m_diskFailing ? QStringLiteral("disk starts failing")
                                                    : QStringLiteral("disk accepts writes again"));
                             }});
        if (enabled(FaultKind::appKill))
            steps.push_back({3, [&] { relaunch(true); }});
        if (enabled(FaultKind::reinstall))
            steps.push_back({4, [&] { reinstall(); }});
        if (enabled(FaultKind::removal))
            steps.push_back({2, [&] { removeBundle(); }});
        if (enabled(FaultKind::caseTwin))
            steps.push_back({2, [&] { caseTwin(); }});
        int total = 0;
        for (const auto& [weight, step] : steps)
            total += weight;
        int roll = pick(total);
        for (const auto& [weight, step] : steps) {
            if (roll < weight) {
                step();
                break;
            }
            roll -= weight;
        }
        settle();
    }

    void protectProduct() {
        if (store->plugins().empty())
            return;
        const Plugin plugin = store->plugins().at(std::size_t(pick(int(store->plugins().size()))));
        const bool protect = chance(50);
        note(QStringLiteral("%1 product %2").arg(protect ? "protect" : "unprotect", plugin.name));
        forgetFormatWords();
        m_productOutcomeUnknown = m_writer.held();
        store->setProtection(plugin, protect);
    }
    void protectFormat() {
        const auto candidates = records(false);
        if (candidates.empty())
            return;
        const auto& [plugin, record] = candidates.at(std::size_t(pick(int(candidates.size()))));
        const bool protect = chance(50);
        note(QStringLiteral("%1 format %2").arg(protect ? "protect" : "unprotect", record.path));
        m_pendingFormats.push_back({record.format, record.path, protect, !m_formatsUntracked});
        const QUuid before = store->notice() ? store->notice()->id : QUuid();
        store->setFormatProtection({plugin->id, record.id()}, protect);
        // A refusal or a lock already in effect is answered at once, and says nothing of the disk.
        if (store->notice() && store->notice()->id != before) {
            const QString& title = store->notice()->title;
            if (title == StoreTexts::Notice::formatAlreadyProtectedTitle ||
                title == StoreTexts::Notice::protectionAlreadyRemovedTitle ||
                title == StoreTexts::Notice::protectionChangeBlockedTitle)
                m_pendingFormats.pop_back();
        }
    }
    void protectBatch() {
        std::vector<Plugin> chosen;
        for (const Plugin& plugin : store->plugins())
            if (chance(40))
                chosen.push_back(plugin);
        const bool protect = chance(50);
        note(QStringLiteral("%1 %2 products").arg(protect ? "protect" : "unprotect").arg(chosen.size()));
        forgetFormatWords();
        m_productOutcomeUnknown = m_writer.held();
        store->setBatchProtection(std::move(chosen), protect);
    }
    void quarantine() {
        const auto selections = someSelections(false);
        note(QStringLiteral("quarantine %1").arg(describe(selections)));
        store->beginPrivileged<PrivilegedKind::quarantine>(selections, {},
                                                           sender<PrivilegedKind::quarantine>());
    }
    void restore() {
        const auto selections = someSelections(true);
        note(QStringLiteral("restore %1").arg(describe(selections)));
        store->beginPrivileged<PrivilegedKind::restore>(selections, {}, sender<PrivilegedKind::restore>());
    }
    void trash() {
        const auto selections = someSelections(chance(80));
        note(QStringLiteral("move to Trash %1").arg(describe(selections)));
        store->beginPrivileged<PrivilegedKind::trash>(selections, {}, sender<PrivilegedKind::trash>());
    }
    void recover() {
        std::vector<QUuid> ids;
        for (const TrashRecoveryEntry& entry : store->trashRecoveryEntries())
            if (entry.state == TrashRecoveryState::readyToRestore && chance(60))
                ids.push_back(entry.id());
        note(QStringLiteral("recover %1 record(s) from the Trash").arg(ids.size()));
        store->beginTrashRecovery(ids, sender<PrivilegedKind::trashRecovery>());
    }
    void switchRule() {
        const QStringList manufacturers = store->permanentQuarantineManufacturers();
        if (manufacturers.isEmpty())
            return;
        const QString manufacturer = manufacturers.at(pick(int(manufacturers.size())));
        const bool enable = !store->isPermanentQuarantineEnabled(manufacturer);
        note(
            QStringLiteral("%1 permanent quarantine of %2").arg(enable ? "enable" : "disable", manufacturer));
        if (!m_ruleWord.contains(manufacturer))
            m_ruleWord[manufacturer] = !enable;
        m_pendingRules.push_back({manufacturer, enable});
        store->setPermanentQuarantine(manufacturer, enable);
    }
    void cleanupRun() {
        const auto selections = someSelections(false);
        FormatCleanupPlan plan;
        plan.id = makeUuid();
        plan.preset = FormatCleanupPresetKind::custom;
        plan.inventoryRevision = store->inventoryRevision();
        for (const PluginBundleSelection& selection : selections) {
            FormatCleanupCandidate candidate;
            candidate.selection = selection;
            plan.candidates.push_back(candidate);
        }
        note(QStringLiteral("cleanup run of %1").arg(describe(selections)));
        store->cleanupRuns().beginCleanupPresetRun(
            plan, selections, [this, selections](const std::optional<QUuid>& runID) {
                if (!runID)
                    return;
                PluginInventoryStore* target = store.get();
                const auto finish = [target, runID](bool committed) {
                    target->cleanupRuns().finishCleanupPresetRun(
                        *runID,
                        committed ? FormatCleanupRunStatus::completed : FormatCleanupRunStatus::canceled);
                };
                if (!store->cleanupRuns().preparePresetRunChildTransaction(
                        *runID, selections, sender<PrivilegedKind::quarantine>(finish)))
                    finish(false);
            });
    }
    // The user settles a journal the launch left, as the window offers.
    void settleJournal() {
        note(QStringLiteral("settle the journal"));
        store->settlePendingJournal();
        drainEvents();
    }
    void startScan() {
        if (store->isScanning())
            return;
        m_walkGate.close();
        m_mergeGate.close();
        m_walked = false;
        note(QStringLiteral("scan starts"));
        store->startScan({QUrl::fromLocalFile(roots.prefix)}, this);
        m_scanning = store->isScanning();
    }
    void advanceScan() {
        if (!store->isScanning())
            return;
        if (!m_walked) {
            m_walkSequence = m_changeSequence;
            note(QStringLiteral("scan walks the disk"));
            m_walkGate.open();
            EXPECT_TRUE(QTest::qWaitFor([&] { return m_walked.load(); }, 20000));
            // The merge starts on its own thread and waits to be handed back.
            EXPECT_TRUE(
                QTest::qWaitFor([&] { return m_mergeGate.reached() || !store->isScanning(); }, 20000));
            return;
        }
        finishScan();
    }
    void finishScan() {
        if (!m_walked)
            advanceScan();
        note(QStringLiteral("scan merge handed back"));
        m_mergeGate.open();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !store->isScanning(); }, 20000));
        settle();
        // What the walk saw is now known; later changes are not. A kill before a state holding the
        // scan is on disk forgets it again. A bundle changed outside may now belong to a product
        // whose key is protected: the lock the window set on the old record no longer speaks for it.
        const double scanned = store->lastScanDate().value_or(Timestamp{}).sinceReferenceDate;
        std::erase_if(m_outsideChanges, [&](const auto& change) {
            if (change.second > m_walkSequence)
                return false;
            m_formatWord.remove(change.first);
            for (PendingFormat& pending : m_pendingFormats)
                if (pending.path == change.first)
                    pending.followed = false;
            m_seenByScan.push_back({change.first, change.second, scanned});
            return true;
        });
        // A scan protects every record of a product whose key is protected, whatever the window
        // said of one of its formats before (the walk may have found the bundle in such a product).
        for (const Plugin& plugin : store->plugins()) {
            if (!store->protectedKeys().contains(productProtectionKey(plugin)))
                continue;
            for (const PluginBundleRecord& record : plugin.bundleRecords()) {
                m_formatWord.remove(record.path);
                for (PendingFormat& pending : m_pendingFormats)
                    if (pending.path == record.path)
                        pending.followed = false;
            }
        }
        m_scanning = false;
    }
    void writerStep() {
        if (!m_writer.held()) {
            note(QStringLiteral("writer held"));
            m_writer.hold();
            return;
        }
        if (chance(25)) {
            note(QStringLiteral("writer flows again"));
            m_writer.flow();
            return;
        }
        const bool fail = enabled(FaultKind::writerFailure) && chance(50);
        if (!m_writer.permit(fail))
            return;
        note(QStringLiteral("one held write %1").arg(fail ? "fails" : "succeeds"));
        // Its completion is posted before the writer takes the next state, or just after it goes idle.
        (void)QTest::qWaitFor([&] { return m_writer.writeWaiting(); }, 50);
    }

    // Outside changes.

    void outsideChange(const QString& path) {
        m_outsideChanges[path] = ++m_changeSequence;
        m_everChanged.insert(path);
        m_formatWord.remove(path);
    }
    void reinstall() {
        // At a path a record names: an active bundle's, or a quarantined or trashed one's original.
        QStringList paths;
        for (const Plugin& plugin : store->plugins())
            for (const PluginBundleRecord& record : plugin.bundleRecords())
                paths.append(record.originalPath.value_or(record.path));
        for (const TrashedBundleRecord& record : store->trashedBundles())
            paths.append(record.originalPath);
        paths.append(bundlePathFor(pick(12)));
        const QString path = paths.at(pick(int(paths.size())));
        const int variant = pick(16);
        note(QStringLiteral("outside: reinstall at %1 as variant %2").arg(path).arg(variant));
        install(path, variant);
        outsideChange(path);
    }
    void removeBundle() {
        QStringList active;
        for (const QString& root : policy.approvedSystemPluginRoots())
            for (const QString& entry : QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
                active.append(root + u'/' + entry);
        if (active.isEmpty())
            return;
        const QString path = active.at(pick(int(active.size())));
        note(QStringLiteral("outside: remove %1").arg(path));
        QDir(path).removeRecursively();
        outsideChange(path);
    }
    void caseTwin() {
        const QString path = bundlePathFor(pick(12));
        const QString twin = deletingLastPathComponent(path) + u'/' + lastPathComponent(path).toLower();
        note(QStringLiteral("outside: %1 and %2").arg(path, twin));
        install(path, pick(8));
        install(twin, 8 + pick(8));
        outsideChange(path);
        outsideChange(twin);
    }

    // The window's word on rules: what it said was saved must be what the store holds.
    // A product's protection changes every one of its formats: what the window said of them no
    // longer holds, and the answers still to come for them are only counted.
    void forgetFormatWords() {
        m_formatWord.clear();
        for (PendingFormat& pending : m_pendingFormats)
            pending.followed = false;
    }
    // The answers can no longer be told apart: none is followed until every write has landed.
    void loseTrackOfFormats() {
        for (const PendingFormat& pending : std::exchange(m_pendingFormats, {}))
            m_formatWord.remove(pending.path);
        m_formatsUntracked = true;
    }
    void noticeSeen(const QString& title) {
        note(QStringLiteral("notice \u201c%1\u201d").arg(title));
        formatAnswerSeen(title);
        const bool saved = title == StoreTexts::Notice::permanentQuarantineEnabledTitle ||
                           title == StoreTexts::Notice::permanentQuarantineRemovedTitle;
        if ((!saved && title != StoreTexts::Notice::ruleChangeNotSavedTitle) || m_pendingRules.empty())
            return;
        const auto [manufacturer, enable] = m_pendingRules.front();
        m_pendingRules.pop_front();
        if (saved)
            m_ruleWord[manufacturer] = enable;
    }
    // Each format lock gets one answer once its write lands, in the order of the writes. One that
    // was not saved reads like a product's, which may be pending too.
    void formatAnswerSeen(const QString& title) {
        const bool notSaved = title == StoreTexts::Notice::protectionChangeNotSavedTitle;
        const bool answer = title.endsWith(QLatin1String(" Format Protected")) ||
                            (title.endsWith(QLatin1String(" Protection Removed")) &&
                             title != StoreTexts::Notice::protectionRemovedTitle);
        if (m_formatsUntracked || (!answer && !notSaved))
            return;
        if (m_pendingFormats.empty() || (notSaved && m_productOutcomeUnknown)) {
            if (answer || !m_pendingFormats.empty())
                loseTrackOfFormats();
            return;
        }
        const PendingFormat front = m_pendingFormats.front();
        m_pendingFormats.pop_front();
        if (notSaved || !front.followed)
            return;
        if (title == (front.protect ? StoreTexts::Notice::formatProtectedTitle(front.format)
                                    : StoreTexts::Notice::formatProtectionRemovedTitle(front.format)))
            m_formatWord[front.path] = front.protect;
        else
            loseTrackOfFormats();
    }

    // Invariants.

    std::optional<QString> check() {
        QStringList problems;
        // Paths a transaction still in the store's hands or the helper's may have moved.
        QSet<QString> inFlight;
        QSet<QString> pendingTransactions;
        const auto journal = [&](const auto& request) {
            if (!request)
                return;
            pendingTransactions.insert(request->transactionID);
            for (const auto& item : request->items)
                inFlight << item.sourcePath << item.destinationPath;
        };
        journal(store->pendingPrivilegedQuarantine());
        journal(store->pendingPrivilegedRestore());
        journal(store->pendingPrivilegedTrash());
        journal(store->pendingPrivilegedTrashRestore());
        for (const QString& id : m_queue)
            for (const auto& [from, to] : m_jobs.at(id).moves)
                inFlight << from << to;
        for (const auto& [id, job] : m_jobs)
            if (job.answer || job.cutShort)
                for (const auto& [from, to] : job.moves)
                    inFlight << from << to;

        QHash<QString, int> known;
        // A bundle found at a quarantined record's original place is shown only as that record.
        QSet<QString> shadowed;
        for (const Plugin& plugin : store->plugins())
            for (const PluginBundleRecord& record : plugin.bundleRecords()) {
                const QString place =
                    record.isQuarantined() ? record.quarantinePath.value_or(QString()) : record.path;
                ++known[place];
                if (record.isQuarantined())
                    shadowed << record.originalPath.value_or(record.path);
                if (record.isActive() && !onDisk(place) && !inFlight.contains(place) &&
                    !m_outsideChanges.contains(place))
                    problems.append(QStringLiteral("active record of %1 names %2, where no bundle is")
                                        .arg(plugin.name, place));
            }
        // A bundle its quarantined record no longer shadows (the record went on to the Trash) is
        // found by the next walk, as a change made outside would be.
        for (const QString& path : std::exchange(m_shadowed, shadowed))
            if (!shadowed.contains(path))
                m_outsideChanges.try_emplace(path, ++m_changeSequence);
        // A Trash record names its Trash copy. Once recovered or found back it names the bundle at
        // its original place until a scan finds it there, and a copy a reinstall left in the Trash.
        QSet<QString> recovered;
        for (const TrashedBundleRecord& record : store->trashedBundles()) {
            if (!record.reconciledDate && !record.missingDetectedDate)
                ++known[record.trashPath];
            else if (record.reconciledDate)
                recovered << record.originalPath << record.trashPath;
        }
        for (const QString& path : diskBundles()) {
            const int count = known.value(path);
            if (count > 1)
                problems.append(QStringLiteral("%1 is known %2 times").arg(path).arg(count));
            else if (count == 0 && !inFlight.contains(path) && !m_outsideChanges.contains(path) &&
                     !recovered.contains(path) && !shadowed.contains(path))
                problems.append(QStringLiteral("%1 is on disk but unknown to the state").arg(path));
        }

        QHash<QString, int> lines;
        QHash<QString, QStringList> named;
        // Lines of moves only: settling a journal also names, under its id, a bundle found nowhere.
        for (const HistoryItem& item : store->history())
            if (item.transactionID && isProductTransaction(item.kind)) {
                ++lines[*item.transactionID];
                named[*item.transactionID].append(item.plugin + u' ' + item.format.value_or(QString()));
            }
        for (const auto& [id, job] : m_jobs) {
            const bool settled =
                !pendingTransactions.contains(id) && !inFlight.contains(job.moves.front().first);
            const int moved = job.movedCount();
            // A bundle changed outside after its move can no longer show it: settling then records
            // it as gone.
            const bool touched = std::ranges::any_of(job.moves, [&](const auto& move) {
                return m_everChanged.contains(move.first) || m_everChanged.contains(move.second);
            });
            if (lines.value(id) > moved || (settled && !touched && lines.value(id) != moved))
                problems.append(
                    QStringLiteral("history holds %1 line(s) of %2 (%3), which moved %4 bundle(s)")
                        .arg(lines.value(id))
                        .arg(id, named.value(id).join(QStringLiteral(", ")))
                        .arg(moved));
        }

        // A journal the launch could not resolve blocks file actions until the window settles it.
        if (m_afterLaunch && !pendingTransactions.isEmpty() && !store->canSettlePendingJournal())
            problems.append(QStringLiteral("a relaunch left a journal the window cannot settle: %1 (%2)")
                                .arg(QStringList(pendingTransactions.values()).join(u','),
                                     store->lastOperationError().value_or(QString())));
        QSet<QString> awaited;
        for (const PendingFormat& pending : m_pendingFormats)
            awaited.insert(pending.path);
        for (const Plugin& plugin : store->plugins())
            for (const PluginBundleRecord& record : plugin.bundleRecords())
                if (record.isActive() && !awaited.contains(record.path) &&
                    m_formatWord.contains(record.path) &&
                    m_formatWord.value(record.path) != record.isProtected && !m_writer.held())
                    problems.append(QStringLiteral("the %1 lock of %2 is %3, the window said %4")
                                        .arg(record.format, record.path)
                                        .arg(record.isProtected)
                                        .arg(m_formatWord.value(record.path)));
        if (m_pendingRules.empty())
            for (auto it = m_ruleWord.cbegin(); it != m_ruleWord.cend(); ++it)
                if (!m_writer.held() && store->isPermanentQuarantineEnabled(it.key()) != it.value())
                    problems.append(QStringLiteral("permanent quarantine of %1 is %2, the window said %3")
                                        .arg(it.key())
                                        .arg(store->isPermanentQuarantineEnabled(it.key()))
                                        .arg(it.value()));
        if (problems.isEmpty())
            return std::nullopt;
        QStringList state;
        for (const Plugin& plugin : store->plugins())
            for (const PluginBundleRecord& record : plugin.bundleRecords())
                state.append(QStringLiteral("%1 (%2): %3%4")
                                 .arg(plugin.name, plugin.manufacturer, record.path,
                                      record.quarantinePath.value_or(QString()).prepend(
                                          record.isQuarantined() ? u" in " : u"")));
        for (const TrashedBundleRecord& record : store->trashedBundles())
            state.append(QStringLiteral("in Trash: %1%2")
                             .arg(record.trashPath,
                                  record.reconciledDate ? QStringLiteral(" (reconciled)") : QString()));
        for (std::size_t index = 0; index < std::min<std::size_t>(store->history().size(), 6); ++index)
            state.append(QStringLiteral("history: %1 %2")
                             .arg(store->history()[index].plugin, store->history()[index].detail));
        state.append(QStringLiteral("last error: %1").arg(store->lastOperationError().value_or(QString())));
        QStringList kinds;
        for (const FaultKind kind : m_options.kinds)
            kinds.append(faultKindName(kind));
        return QStringLiteral("seed %1, step %2 (replay: QUORVANE_SIM_SEED=%1 QUORVANE_SIM_STEPS=%3 "
                              "QUORVANE_SIM_KINDS=%4):\n  %5\nsteps:\n  %6\nstate:\n  %7")
            .arg(m_options.seed)
            .arg(m_step)
            .arg(m_options.steps)
            .arg(kinds.join(u','))
            .arg(problems.join(QStringLiteral("\n  ")), m_log.join(QStringLiteral("\n  ")),
                 state.join(QStringLiteral("\n  ")));
    }

    SimulationOptions m_options;
    std::mt19937_64 m_random;
    QSet<int> m_enabled;
    QStringList m_log;
    int m_step = 0;
    bool m_afterLaunch = false;

    Gate m_walkGate;
    Gate m_mergeGate;
    std::atomic<bool> m_walked = false;
    bool m_scanning = false;
    WriterControl m_writer;
    std::atomic<bool> m_diskFailing = false;

    std::map<QString, HelperJob> m_jobs;
    std::deque<QString> m_queue;

    // Paths changed outside, with the sequence number of the change; a scan whose walk began after
    // it makes it known.
    std::map<QString, int> m_outsideChanges;
    // The original places the quarantined records shadowed at the last check.
    QSet<QString> m_shadowed;
    // Outside changes a finished scan saw, with that scan's date, and the date of the newest scan
    // a successful write holds.
    struct SeenChange {
        QString path;
        int sequence = 0;
        double scanDate = 0;
    };
    std::vector<SeenChange> m_seenByScan;
    // Every path ever changed outside.
    QSet<QString> m_everChanged;
    std::atomic<double> m_savedScan = 0;
    int m_changeSequence = 0;
    int m_walkSequence = 0;

    QHash<QString, bool> m_ruleWord;
    struct PendingFormat {
        QString format;
        QString path;
        bool protect = false;
        bool followed = true;
    };
    std::deque<PendingFormat> m_pendingFormats;
    bool m_productOutcomeUnknown = false;
    bool m_formatsUntracked = false;
    QHash<QString, bool> m_formatWord;
    std::deque<std::pair<QString, bool>> m_pendingRules;
};

} // namespace

QString faultKindName(FaultKind kind) {
    for (const auto& [value, name] : kindNames())
        if (value == kind)
            return name;
    return {};
}

std::expected<std::vector<FaultKind>, QString> parseFaultKinds(const QString& text) {
    std::vector<FaultKind> kinds;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        const QString name = part.trimmed();
        if (name == QLatin1String("all")) {
            for (const auto& [kind, kindName] : kindNames())
                kinds.push_back(kind);
            continue;
        }
        const auto found =
            std::ranges::find_if(kindNames(), [&](const auto& entry) { return entry.second == name; });
        if (found == kindNames().end())
            return std::unexpected(QStringLiteral("Unknown fault kind \u201c%1\u201d.").arg(name));
        kinds.push_back(found->first);
    }
    return kinds;
}

std::optional<QString> runSimulation(const SimulationOptions& options) {
    Simulation simulation(options);
    return simulation.run();
}

} // namespace quorvane::testing
