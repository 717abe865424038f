#pragma once

#include "Model/Plugin.h"
#include "Model/PluginBundleRecord.h"
#include "Support/Fixtures/FixtureRecords.h"
#include "Support/Fixtures/FixtureTextLocale.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#include <optional>
#include <vector>

namespace quorvane::testing {

inline PluginBundleRecord activeRecord(const QString& format, const QString& path, bool isProtected = false) {
    return bundleRecord(format, path, isProtected,
                        {.architecture = QStringLiteral("Apple Silicon"), .size = QStringLiteral("12 KB")});
}

// Its path is the quarantined copy (the Store-level builder keeps the original).
inline PluginBundleRecord quarantinedRecord(const QString& format, const QString& originalPath,
                                            const QString& quarantinePath) {
    return withQuarantine(activeRecord(format, quarantinePath), originalPath, quarantinePath,
                          QStringLiteral("0F8C2C1E-4D57-4C3B-9C43-2D3B1D7A9E01"));
}

// The formats are given apart from the records, so that tests can make them disagree.
inline Plugin product(const QString& name, const QString& manufacturer,
                      std::optional<std::vector<PluginBundleRecord>> bundles = std::nullopt,
                      QStringList formats = {QStringLiteral("VST3")}) {
    Plugin plugin = productWithoutRecords(
        name, manufacturer, formats, libraryVst3Path(name),
        {.architecture = QStringLiteral("Apple Silicon"), .size = QStringLiteral("12 KB")});
    plugin.bundles = std::move(bundles);
    return plugin;
}

inline QJsonObject jsonObject(const char* text) {
    return QJsonDocument::fromJson(QByteArray(text)).object();
}

} // namespace quorvane::testing
