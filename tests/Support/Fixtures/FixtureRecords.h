#pragma once

// Builders of inventory values: bundle records, quarantined records and products. Each test folder
// keeps the figures its tests read (sizes feed estimates, architecture feeds status) and passes them
// in. Header-only; users link quorvane_model (or a library above it).

#include "Model/Plugin.h"
#include "Model/PluginBundleRecord.h"
#include "Model/TrashedBundleRecord.h"
#include "Support/Uuid.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace quorvane::testing {

// What a scan measured of one bundle.
struct RecordFigures {
    QString architecture = QStringLiteral("Universal");
    QString size = QStringLiteral("12 MB");
};

// What a scan measured of a whole product.
struct ProductFigures {
    QString version = QStringLiteral("1.0");
    QString architecture = QStringLiteral("Universal");
    QString size = QStringLiteral("10 MB");
};

// The production path of a product's system VST3 bundle.
inline QString libraryVst3Path(const QString& name) {
    return QStringLiteral("/Library/Audio/Plug-Ins/VST3/") + name + QStringLiteral(".vst3");
}

// An active record.
inline PluginBundleRecord bundleRecord(const QString& format, const QString& path, bool isProtected = false,
                                       const RecordFigures& figures = {}) {
    PluginBundleRecord record;
    record.format = format;
    record.architecture = figures.architecture;
    record.size = figures.size;
    record.path = path;
    record.isProtected = isProtected;
    return record;
}

// `record` as quarantine leaves it; its path stays what the caller made it.
inline PluginBundleRecord withQuarantine(PluginBundleRecord record, const QString& originalPath,
                                         const QString& quarantinePath, const QString& operationID) {
    record.originalPath = originalPath;
    record.quarantinePath = quarantinePath;
    record.quarantineOperationID = operationID;
    return record;
}

// `record` moved by `operationID` from its path into the production quarantine folder.
inline PluginBundleRecord quarantinedUnderOperation(PluginBundleRecord record, const QString& operationID) {
    const QString copy = QStringLiteral("/Library/Application Support/Quorvane/Quarantine/") + operationID +
                         u'/' + record.path.section(u'/', -1);
    const QString originalPath = record.path;
    return withQuarantine(std::move(record), originalPath, copy, operationID);
}

// A product without stored records, as older state files hold it.
inline Plugin productWithoutRecords(const QString& name, const QString& manufacturer,
                                    const QStringList& formats, const QString& path,
                                    const ProductFigures& figures = {}) {
    Plugin plugin;
    plugin.id = makeUuid();
    plugin.name = name;
    plugin.manufacturer = manufacturer;
    plugin.version = figures.version;
    plugin.formats = formats;
    plugin.architecture = figures.architecture;
    plugin.size = figures.size;
    plugin.path = path;
    return plugin;
}

// A product made of `records`, all stored (even none): their formats in order, the first one's path,
// and protected when one of them is. The status is left ok.
inline Plugin productOfRecords(const QString& name, const QString& manufacturer,
                               std::vector<PluginBundleRecord> records, const ProductFigures& figures = {}) {
    QStringList formats;
    for (const PluginBundleRecord& record : records)
        formats.append(record.format);
    Plugin plugin = productWithoutRecords(name, manufacturer, formats,
                                          records.empty() ? QString() : records.front().path, figures);
    plugin.isProtected = std::ranges::any_of(records, &PluginBundleRecord::isProtected);
    plugin.bundles = std::move(records);
    return plugin;
}

// A record of a VST3 bundle that a transaction of its own moved to the Trash.
inline TrashedBundleRecord trashedVst3Record(const QString& name, const QString& manufacturer,
                                             const QString& originalPath, const QString& trashPath) {
    TrashedBundleRecord record;
    record.id = makeUuid();
    record.pluginName = name;
    record.manufacturer = manufacturer;
    record.format = QStringLiteral("VST3");
    record.originalPath = originalPath;
    record.trashPath = trashPath;
    record.operationDate = Timestamp{1};
    record.trashTransactionID = uuidText(makeUuid());
    return record;
}

} // namespace quorvane::testing
