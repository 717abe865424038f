#include "Model/Identity.h"

#include "Model/Plugin.h"
#include "Shared/PathPolicy.h"
#include "Support/LocaleText.h"
#include "Support/Paths.h"

#include <array>

namespace quorvane {

const QStringList& canonicalPluginFormats() {
    static const QStringList formats{QStringLiteral("AU"), QStringLiteral("VST2"), QStringLiteral("VST3"),
                                     QStringLiteral("AAX"), QStringLiteral("CLAP")};
    return formats;
}

const QMap<QString, QString>& pluginFormatExtensions() {
    // One table for the application and the helper: the path policy's.
    return PathPolicy::pluginFormatExtensions();
}

QString normalizedFormat(const QString& format) {
    return uppercasedLocaleIndependent(format.trimmed());
}

QString pathKey(const QString& path) {
    return lowercasedLocaleIndependent(standardizedPath(path));
}

QString bundleKey(const QString& format, const QString& path) {
    return normalizedFormat(format) + QLatin1Char('|') + pathKey(path);
}

QString manufacturerKey(const QString& manufacturer) {
    static const std::array<QString, 4> aliases{QStringLiteral("uad"), QStringLiteral("universal audio"),
                                                QStringLiteral("universal audio inc."),
                                                QStringLiteral("universal audio, inc.")};
    const QString folded = lowercasedLocaleIndependent(foldCaseAndDiacritics(manufacturer.trimmed()));
    for (const QString& alias : aliases) {
        if (plainEqual(folded, alias))
            return QStringLiteral("universal audio");
    }
    return folded;
}

QString productProtectionKey(const QString& manufacturer, const QString& name) {
    return lowercasedLocaleIndependent(manufacturer + QLatin1Char('|') + name);
}

QString productProtectionKey(const Plugin& plugin) {
    return productProtectionKey(plugin.manufacturer, plugin.name);
}

} // namespace quorvane
