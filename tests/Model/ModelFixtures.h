#pragma once

#include "Model/Plugin.h"
#include "Model/PluginBundleRecord.h"
#include "Support/LocaleText.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#include <optional>
#include <vector>

namespace quorvane::testing {

// Pins the locale of folding and case-insensitive matching for one test.
class PinnedTextLocale {
public:
    explicit PinnedTextLocale(const QString& locale = QStringLiteral("en_US")) : m_previous(textLocale()) {
        setTextLocale(locale);
    }
    ~PinnedTextLocale() { setTextLocale(m_previous); }
    PinnedTextLocale(const PinnedTextLocale&) = delete;
    PinnedTextLocale& operator=(const PinnedTextLocale&) = delete;

private:
    QString m_previous;
};

inline PluginBundleRecord activeRecord(const QString& format, const QString& path, bool isProtected = false) {
    PluginBundleRecord record;
    record.format = format;
    record.architecture = QStringLiteral("Apple Silicon");
    record.size = QStringLiteral("12 KB");
    record.path = path;
    record.isProtected = isProtected;
    return record;
}

inline PluginBundleRecord quarantinedRecord(const QString& format, const QString& originalPath,
                                            const QString& quarantinePath) {
    PluginBundleRecord record = activeRecord(format, quarantinePath);
    record.originalPath = originalPath;
    record.quarantinePath = quarantinePath;
    record.quarantineOperationID = QStringLiteral("0F8C2C1E-4D57-4C3B-9C43-2D3B1D7A9E01");
    return record;
}

inline Plugin product(const QString& name, const QString& manufacturer,
                      std::optional<std::vector<PluginBundleRecord>> bundles = std::nullopt,
                      QStringList formats = {QStringLiteral("VST3")}) {
    Plugin plugin;
    plugin.id = QUuid::createUuid();
    plugin.name = name;
    plugin.manufacturer = manufacturer;
    plugin.version = QStringLiteral("1.0");
    plugin.formats = formats;
    plugin.architecture = QStringLiteral("Apple Silicon");
    plugin.size = QStringLiteral("12 KB");
    plugin.path = QStringLiteral("/Library/Audio/Plug-Ins/VST3/") + name + QStringLiteral(".vst3");
    plugin.bundles = std::move(bundles);
    return plugin;
}

inline QJsonObject jsonObject(const char* text) {
    return QJsonDocument::fromJson(QByteArray(text)).object();
}

} // namespace quorvane::testing
