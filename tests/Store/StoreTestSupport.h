#pragma once

#include "IsolatedStoreTest.h"
#include "Model/Identity.h"
#include "Store/PluginInventoryStore.h"
#include "Support/Fixtures/FixtureAudioUnitRegistry.h"
#include "Support/Fixtures/FixturePluginBundles.h"
#include "Support/Fixtures/FixtureRecords.h"
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

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

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

// A store environment beneath a temporary folder, with the system folders under root/. The clock is
// fixed, folders can be made unreadable and the state-file write can be made to fail.
class StoreFixture : public IsolatedStoreTest {
protected:
    // 2024-01-02 15:04:05 UTC.
    StoreFixture() : IsolatedStoreTest(QStringLiteral("root"), Timestamp{725900645}) {}

    void SetUp() override {
        icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone("UTC"));
        registry = std::make_shared<FakeAudioUnitRegistry>();
    }

    StoreEnvironment environment() {
        StoreEnvironment environment = isolatedEnvironment();
        environment.scanner.registry = registry;
        environment.scanner.openDirectory = [this](const QByteArray& path, int flags) {
            if (unreadable.contains(QString::fromUtf8(path))) {
                errno = EACCES;
                return -1;
            }
            return ::open(path.constData(), flags);
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

    QString legacyStatePath() const { return legacyInventoryStateFileURL(support); }
    QByteArray stateBytes() const { return readBytes(statePath()); }
    static QByteArray readBytes(const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return file.readAll();
    }
    void writeState(const PersistedInventory& state) { ASSERT_TRUE(writeStateFile(state, statePath())); }

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
        store.waitForIdle();
    }
    // Runs the event loop until every call queued so far has run.
    static void drainQueuedCalls() {
        bool reached = false;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&] { reached = true; }, Qt::QueuedConnection);
        ASSERT_TRUE(QTest::qWaitFor([&] { return reached; }, 5000));
    }

    std::shared_ptr<FakeAudioUnitRegistry> registry;
    QSet<QString> unreadable;
    StoreEnvironment::ScanFunction scan;
};

// Value builders.

inline PluginBundleRecord activeRecord(const QString& format, const QString& path, bool isProtected = false) {
    return bundleRecord(format, path, isProtected,
                        {.architecture = QStringLiteral("Apple Silicon"), .size = QStringLiteral("1.2 MB")});
}

// Its path stays the original one (the Model-level builder uses the copy).
inline PluginBundleRecord quarantinedRecord(const QString& format, const QString& originalPath,
                                            const QString& quarantinePath, const QString& operationID) {
    return withQuarantine(activeRecord(format, originalPath), originalPath, quarantinePath, operationID);
}

// With the status the store would derive.
inline Plugin product(const QString& name, const QString& manufacturer,
                      std::vector<PluginBundleRecord> records) {
    Plugin plugin =
        productOfRecords(name, manufacturer, std::move(records),
                         {.architecture = QStringLiteral("Apple Silicon"), .size = QStringLiteral("1.2 MB")});
    plugin.status = plugin.derivedStatus();
    return plugin;
}

// A product without stored records.
inline Plugin bareProduct(const QString& name, const QString& manufacturer, const QStringList& formats,
                          const QString& path, PluginStatus status = PluginStatus::ok) {
    Plugin plugin =
        productWithoutRecords(name, manufacturer, formats, path, {.size = QStringLiteral("3.4 MB")});
    plugin.status = status;
    return plugin;
}

inline PluginBundleSelection selectionOf(const Plugin& plugin, const QString& format) {
    for (const PluginBundleRecord& record : plugin.bundleRecords()) {
        if (record.format == format)
            return PluginBundleSelection{plugin.id, record.id()};
    }
    return PluginBundleSelection{plugin.id, bundleKey(format, plugin.path)};
}

// Over a PluginList or a vector of products; the product returned lives in `plugins`.
template <class Plugins>
const Plugin* findProduct(const Plugins& plugins, const QString& name) {
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
