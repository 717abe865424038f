#pragma once

#include "Model/Identity.h"
#include "Persistence/StateFile.h"
#include "Persistence/StateFileLocations.h"
#include "Store/PluginInventoryStore.h"
#include "Support/Fixtures/FixtureAudioUnitRegistry.h"
#include "Support/Fixtures/FixturePluginBundles.h"
#include "Support/Fixtures/TemporaryTree.h"
#include "Support/LocaleText.h"
#include "Support/Uuid.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <QObject>
#include <QSet>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>
#include <unicode/timezone.h>

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <ostream>
#include <vector>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace quorvane::testing {

// Plug-in Management as the scan sees it.
class FakeReadiness : public PrivilegedRequestReadiness {
public:
    explicit FakeReadiness(bool ready) : m_ready(ready) {}
    bool isReadyForPrivilegedRequests() const override { return m_ready; }

private:
    bool m_ready;
};

// One permanent-quarantine run the store handed over.
struct RecordedRun {
    std::vector<PermanentQuarantineMatch> chunk;
    std::vector<PermanentQuarantineMatch> remaining;
    PrivilegedRequestReadiness* service = nullptr;
};

// Records what the store hands to the permanent-quarantine run instead of running it.
class RecordingStore : public PluginInventoryStore {
public:
    using PluginInventoryStore::PluginInventoryStore;
    std::vector<RecordedRun> runs;

protected:
    void startPermanentQuarantineRun(const std::vector<PermanentQuarantineMatch>& chunk,
                                     const std::vector<PermanentQuarantineMatch>& remaining,
                                     PrivilegedRequestReadiness* service) override {
        runs.push_back(RecordedRun{chunk, remaining, service});
    }
};

// A gate a scan thread waits at until the test opens it or the scan is cancelled.
class ScanGate {
public:
    void open() {
        const std::lock_guard guard(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    void close() {
        const std::lock_guard guard(m_mutex);
        m_open = false;
    }
    // True when opened, false when the scan was cancelled first.
    bool wait(ScanControl& control) {
        std::unique_lock guard(m_mutex);
        while (!m_open) {
            if (control.isCancellationRequested())
                return false;
            m_changed.wait_for(guard, std::chrono::milliseconds(5));
        }
        return true;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

// A store environment beneath a temporary folder: Application Support at support/, the system
// folders under root/, the home folder at home/. The clock is fixed and the state-file write can be
// made to fail.
class StoreFixture : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedLocale = textLocale();
        setTextLocale(QStringLiteral("en_US"));
        icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone("UTC"));
        support = tree.makeDirectory("support");
        roots = SystemRoots::underPrefix(tree.makeDirectory("root"));
        home = tree.makeDirectory("home");
        registry = std::make_shared<FakeAudioUnitRegistry>();
    }
    void TearDown() override { setTextLocale(m_savedLocale); }

    StoreEnvironment environment() {
        StoreEnvironment environment = StoreEnvironment::isolated(support, roots, home);
        environment.scanner.registry = registry;
        environment.scanner.openDirectory = [this](const QByteArray& path, int flags) {
            if (unreadable.contains(QString::fromUtf8(path))) {
                errno = EACCES;
                return -1;
            }
            return ::open(path.constData(), flags);
        };
        environment.now = [this] { return clock; };
        environment.writeStateFile = [this](const PersistedInventory& state,
                                            const QString& path) -> std::expected<void, StateFileError> {
            ++writeAttempts;
            if (failSaves)
                return std::unexpected(
                    StateFileError{StateFileFailure::fileNotWritten, path, QStringLiteral("Disk full")});
            return writeStateFile(state, path);
        };
        environment.operatingSystemVersion = QStringLiteral("Debian GNU/Linux 12 (bookworm)");
        if (scan)
            environment.scan = scan;
        return environment;
    }

    template <class Store = PluginInventoryStore>
    std::unique_ptr<Store> makeStore() {
        return std::make_unique<Store>(environment());
    }

    QString statePath() const { return inventoryStateFileURL(support); }
    QString legacyStatePath() const { return legacyInventoryStateFileURL(support); }
    QByteArray stateBytes() const { return readBytes(statePath()); }
    static QByteArray readBytes(const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return file.readAll();
    }
    void writeState(const PersistedInventory& state) { ASSERT_TRUE(writeStateFile(state, statePath())); }
    PersistedInventory storedState() const {
        auto read = readStateFile(statePath());
        EXPECT_TRUE(read.has_value());
        return read.value_or(PersistedInventory{});
    }

    QString system(const QString& literal) const { return roots.path(literal); }
    QString systemRelative(const QString& literal) const { return QStringLiteral("root") + literal; }
    QList<QUrl> allFolders() const {
        return {QUrl::fromLocalFile(system(QStringLiteral("/Library"))), QUrl::fromLocalFile(home)};
    }
    // A bundle on disk in one of the system folders.
    QString writeBundleAt(const QString& literalFolder, const QString& fileName, const QString& name,
                          const QString& identifier) {
        BundleLayout layout;
        layout.info = bundleInfo(name, identifier, QStringLiteral("1.0"));
        layout.executable = thinMachO(cpuTypeArm64);
        return writeBundle(tree, systemRelative(literalFolder) + u'/' + fileName, layout);
    }

    // Starts a scan and runs the event loop until it has completed.
    static void runScan(PluginInventoryStore& store, const QList<QUrl>& folders,
                        PrivilegedRequestReadiness* service = nullptr) {
        store.startScan(folders, service);
        ASSERT_TRUE(store.isScanning());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !store.isScanning(); }, 10000));
    }
    // Runs the event loop until every call queued so far has run.
    static void drainQueuedCalls() {
        bool reached = false;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&] { reached = true; }, Qt::QueuedConnection);
        ASSERT_TRUE(QTest::qWaitFor([&] { return reached; }, 5000));
    }

    TemporaryTree tree;
    QString support;
    SystemRoots roots;
    QString home;
    std::shared_ptr<FakeAudioUnitRegistry> registry;
    QSet<QString> unreadable;
    StoreEnvironment::ScanFunction scan;
    // 2024-01-02 15:04:05 UTC.
    Timestamp clock{725900645};
    bool failSaves = false;
    int writeAttempts = 0;

private:
    QString m_savedLocale;
};

// Value builders.

inline PluginBundleRecord activeRecord(const QString& format, const QString& path, bool isProtected = false) {
    PluginBundleRecord record;
    record.format = format;
    record.architecture = QStringLiteral("Apple Silicon");
    record.size = QStringLiteral("1.2 MB");
    record.path = path;
    record.isProtected = isProtected;
    return record;
}

inline PluginBundleRecord quarantinedRecord(const QString& format, const QString& originalPath,
                                            const QString& quarantinePath, const QString& operationID) {
    PluginBundleRecord record = activeRecord(format, originalPath);
    record.originalPath = originalPath;
    record.quarantinePath = quarantinePath;
    record.quarantineOperationID = operationID;
    return record;
}

inline Plugin product(const QString& name, const QString& manufacturer,
                      std::vector<PluginBundleRecord> records) {
    Plugin plugin;
    plugin.id = makeUuid();
    plugin.name = name;
    plugin.manufacturer = manufacturer;
    plugin.version = QStringLiteral("1.0");
    for (const PluginBundleRecord& record : records)
        plugin.formats.push_back(record.format);
    plugin.architecture = QStringLiteral("Apple Silicon");
    plugin.size = QStringLiteral("1.2 MB");
    plugin.path = records.empty() ? QString() : records.front().path;
    plugin.bundles = std::move(records);
    plugin.status = plugin.derivedStatus();
    plugin.isProtected = std::any_of(plugin.bundles->begin(), plugin.bundles->end(),
                                     [](const PluginBundleRecord& record) { return record.isProtected; });
    return plugin;
}

// A product without stored records.
inline Plugin bareProduct(const QString& name, const QString& manufacturer, const QStringList& formats,
                          const QString& path, PluginStatus status = PluginStatus::ok) {
    Plugin plugin;
    plugin.id = makeUuid();
    plugin.name = name;
    plugin.manufacturer = manufacturer;
    plugin.version = QStringLiteral("1.0");
    plugin.formats = formats;
    plugin.architecture = QStringLiteral("Universal");
    plugin.size = QStringLiteral("3.4 MB");
    plugin.path = path;
    plugin.status = status;
    return plugin;
}

inline PersistedInventory stateWith(std::vector<Plugin> plugins) {
    PersistedInventory state;
    state.schemaVersion = currentInventorySchemaVersion;
    state.plugins = std::move(plugins);
    return state;
}

inline PluginBundleSelection selectionOf(const Plugin& plugin, const QString& format) {
    for (const PluginBundleRecord& record : plugin.bundleRecords()) {
        if (record.format == format)
            return PluginBundleSelection{plugin.id, record.id()};
    }
    return PluginBundleSelection{plugin.id, bundleKey(format, plugin.path)};
}

inline const Plugin* findProduct(const std::vector<Plugin>& plugins, const QString& name) {
    for (const Plugin& plugin : plugins) {
        if (plugin.name == name)
            return &plugin;
    }
    return nullptr;
}

inline QStringList historyDetails(const std::vector<HistoryItem>& history) {
    QStringList details;
    for (const HistoryItem& item : history)
        details.push_back(item.detail);
    return details;
}

} // namespace quorvane::testing
