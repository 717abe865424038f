// Writes and reads back a large state file and sets the figures against Qt's own JSON parsing and
// serialisation of the same document, which is the floor that our coding sits on.

#include "Model/Identity.h"
#include "Persistence/StateFile.h"
#include "Persistence/StateFileLocations.h"

#include "Support/ParallelFor.h"
#include "Support/Uuid.h"

#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace quorvane;

namespace {

constexpr int productCount = 10'000;
constexpr int bundlesPerProduct = 3;
constexpr int historyCount = 5'000;
constexpr int rounds = 7;
constexpr double allowedRatio = 3.0;

PersistedInventory largeInventory() {
    const QStringList formats = {QStringLiteral("AU"), QStringLiteral("VST3"), QStringLiteral("CLAP")};
    const QStringList folders = {QStringLiteral("/Library/Audio/Plug-Ins/Components/"),
                                 QStringLiteral("/Library/Audio/Plug-Ins/VST3/"),
                                 QStringLiteral("/Library/Audio/Plug-Ins/CLAP/")};
    const QStringList extensions = {QStringLiteral(".component"), QStringLiteral(".vst3"),
                                    QStringLiteral(".clap")};
    PersistedInventory state;
    state.schemaVersion = currentInventorySchemaVersion;
    state.lastScanDate = Timestamp{760000000.123456};
    std::vector<Plugin> plugins;
    plugins.reserve(productCount);
    for (int i = 0; i < productCount; ++i) {
        Plugin plugin;
        plugin.id = makeUuid();
        plugin.name = QStringLiteral("Product %1").arg(i);
        plugin.manufacturer = QStringLiteral("Manufacturer %1").arg(i % 250);
        plugin.version = QStringLiteral("%1.%2.0").arg(i % 13).arg(i % 7);
        plugin.formats = formats;
        plugin.architecture = i % 5 == 0 ? QStringLiteral("Intel") : QStringLiteral("Universal");
        plugin.size = QStringLiteral("%1.%2 MB").arg(i % 900).arg(i % 10);
        plugin.path = folders[0] + plugin.name + extensions[0];
        plugin.status = i % 3 == 0 ? PluginStatus::protected_ : PluginStatus::ok;
        plugin.isProtected = i % 3 == 0;
        std::vector<PluginBundleRecord> bundles;
        for (int b = 0; b < bundlesPerProduct; ++b) {
            PluginBundleRecord record;
            record.format = formats[b];
            record.architecture = plugin.architecture;
            record.size = plugin.size;
            record.path = folders[b] + plugin.name + extensions[b];
            if (i % 10 == 0 && b == 2) {
                const QString operation = uuidText(makeUuid());
                record.originalPath = record.path;
                record.quarantinePath = QStringLiteral("/Library/Application Support/Quorvane/Quarantine/") +
                                        operation + u'/' + plugin.name + extensions[b];
                record.quarantineOperationID = operation;
            }
            record.isProtected = plugin.isProtected;
            bundles.push_back(record);
        }
        plugin.bundles = std::move(bundles);
        if (plugin.isProtected)
            state.protectedKeys.append(productProtectionKey(plugin));
        plugins.push_back(std::move(plugin));
    }
    state.plugins = std::move(plugins);
    state.history.reserve(historyCount);
    for (int i = 0; i < historyCount; ++i) {
        HistoryItem item;
        item.id = makeUuid();
        item.plugin = QStringLiteral("Product %1").arg(i);
        item.kind = i % 2 == 0 ? HistoryKind::quarantine : HistoryKind::scan;
        item.detail =
            QStringLiteral("Moved the VST3 bundle through the privileged atomic quarantine transaction.");
        item.time = QStringLiteral("%1:%2 PM").arg(1 + i % 12).arg(i % 60, 2, 10, QLatin1Char('0'));
        // Lines written now keep their moment; one in ten is older and has none.
        if (i % 10 != 0)
            item.date = Timestamp{760000000.123456 - i * 3607.25};
        if (i % 2 == 0) {
            item.transactionID = uuidText(makeUuid());
            item.format = QStringLiteral("VST3");
        }
        state.history.push_back(std::move(item));
    }
    return state;
}

double medianMilliseconds(const std::function<void()>& work) {
    std::vector<double> samples;
    for (int round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const auto end = std::chrono::steady_clock::now();
        samples.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::ranges::sort(samples);
    return samples[samples.size() / 2];
}

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool report(const char* what, double ours, const char* baselineName, double baseline) {
    const double ratio = ours / baseline;
    const bool met = ratio <= allowedRatio;
    std::printf("%-34s %9.1f ms   %-28s %9.1f ms   ratio %5.2f  (target <= %.1f) %s\n", what, ours,
                baselineName, baseline, ratio, allowedRatio, met ? "met" : "MISSED");
    return met;
}

} // namespace

int main() {
    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 2;
    }
    const QString path = inventoryStateFileURL(folder.path());
    const PersistedInventory state = largeInventory();

    if (const auto written = writeStateFile(state, path); !written) {
        std::fprintf(stderr, "%s\n", qPrintable(written.error().description()));
        return 2;
    }
    const QByteArray bytes = contentsOf(path);
    std::printf("state file: %d products x %d bundles, %d history items, %.1f MB\n\n", productCount,
                bundlesPerProduct, historyCount, bytes.size() / 1e6);

    // Each round replaces the previous round's result, for Qt's figures as for ours.
    QJsonDocument parsed;
    const double rawParse = medianMilliseconds([&] { parsed = QJsonDocument::fromJson(bytes); });
    QByteArray text;
    const double rawSerialise = medianMilliseconds([&] { text = parsed.toJson(QJsonDocument::Indented); });

    bool loadFailed = false;
    PersistedInventory loaded;
    const double load = medianMilliseconds([&] {
        auto read = readStateFile(path);
        loadFailed = loadFailed || !read;
        if (read)
            loaded = std::move(*read);
    });
    bool saveFailed = false;
    const double save = medianMilliseconds([&] { saveFailed = saveFailed || !writeStateFile(loaded, path); });
    const double encode = medianMilliseconds([&] { text = encodePersistedInventory(loaded); });
    QJsonObject tree;
    const double treeBuild = medianMilliseconds([&] { tree = toJson(loaded); });
    const QJsonObject parsedObject = parsed.object();
    std::expected<PersistedInventory, JsonError> decoded;
    const double decodeOnly = medianMilliseconds([&] {
        decoded = persistedInventoryFromJson(parsedObject);
        loadFailed = loadFailed || !decoded;
    });
    if (loadFailed || saveFailed) {
        std::fprintf(stderr, "a load or save failed\n");
        return 2;
    }

    std::printf("median of %d rounds; the product and history records are coded on %zu threads\n", rounds,
                helperThreadsFor(productCount, jsonRecordsPerThread) + 1);
    const bool loadMet = report("load (read, parse, decode)", load, "QJsonDocument::fromJson", rawParse);
    std::printf("%-34s %9.1f ms\n", "  of which decoding the records", decodeOnly);
    const bool saveMet = report("save (encode, write, fsync)", save, "QJsonDocument::toJson", rawSerialise);
    std::printf("%-34s %9.1f ms\n", "  of which encoding in memory", encode);
    std::printf("%-34s %9.1f ms\n", "    of which building the JSON tree", treeBuild);
    std::printf("against parse + serialise together (%.1f ms): load %.2fx, save %.2fx\n\n",
                rawParse + rawSerialise, load / (rawParse + rawSerialise), save / (rawParse + rawSerialise));

    const bool equal = loaded == state;
    const bool identical = contentsOf(path) == bytes;
    std::printf("read back equal to the written inventory: %s\n", equal ? "yes" : "NO");
    std::printf("second save byte-identical to the first:  %s\n", identical ? "yes" : "NO");
    std::printf("targets: %s\n", loadMet && saveMet && equal && identical ? "all met" : "NOT all met");
    return equal && identical ? 0 : 1;
}
