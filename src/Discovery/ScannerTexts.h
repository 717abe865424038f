#pragma once

#include <QString>

#include <utility>
#include <vector>

namespace quorvane::ScannerTexts {

// Values the scanner writes into products and bundles when it knows no better, and the labels
// it gives.
inline const QString unavailable = QStringLiteral("Unavailable");
inline const QString unknown = QStringLiteral("Unknown");
inline const QString appleSilicon = QStringLiteral("Apple Silicon");
inline const QString intel = QStringLiteral("Intel");
inline const QString universal = QStringLiteral("Universal");
inline const QString mixed = QStringLiteral("Mixed");
inline const QString architectureSeparator = QStringLiteral(", ");
inline const QString waves = QStringLiteral("Waves");
inline const QString viaWaveShell = QStringLiteral("Via WaveShell");
inline const QString sharedSize = QStringLiteral("Shared");
inline const QString registryPath = QStringLiteral("macOS Audio Unit Registry");
inline const QString audioUnitFormat = QStringLiteral("AU");

// Lower-case text searched for in the bundle's names and identifier, and the manufacturer it
// stands for; searched in this order.
inline const std::vector<std::pair<QString, QString>>& manufacturerDisplayTable() {
    static const std::vector<std::pair<QString, QString>> table{
        {QStringLiteral("waveshell"), QStringLiteral("Waves")},
        {QStringLiteral("waves"), QStringLiteral("Waves")},
        {QStringLiteral("fabfilter"), QStringLiteral("FabFilter")},
        {QStringLiteral("native instruments"), QStringLiteral("Native Instruments")},
        {QStringLiteral("native-instruments"), QStringLiteral("Native Instruments")},
        {QStringLiteral("izotope"), QStringLiteral("iZotope")},
        {QStringLiteral("soundtoys"), QStringLiteral("Soundtoys")},
        {QStringLiteral("valhalla"), QStringLiteral("Valhalla DSP")},
        {QStringLiteral("universal audio"), QStringLiteral("Universal Audio")},
        {QStringLiteral("arturia"), QStringLiteral("Arturia")},
        {QStringLiteral("cradle"), QStringLiteral("Cradle")},
        {QStringLiteral("akaipro"), QStringLiteral("Akai Pro")},
        {QStringLiteral("analogobsession"), QStringLiteral("Analog Obsession")},
        {QStringLiteral("acondigital"), QStringLiteral("Acon Digital")},
        {QStringLiteral("29palms"), QStringLiteral("29Palms")},
    };
    return table;
}

inline const std::vector<QString>& infoPlistManufacturerKeys() {
    static const std::vector<QString> keys{QStringLiteral("AudioUnitManufacturer"),
                                           QStringLiteral("Manufacturer")};
    return keys;
}

// Parts of a bundle identifier that never name a manufacturer.
inline const std::vector<QString>& bundleIdentifierStopWords() {
    static const std::vector<QString> words{
        QStringLiteral("com"),     QStringLiteral("net"),       QStringLiteral("org"),
        QStringLiteral("audio"),   QStringLiteral("audiounit"), QStringLiteral("plugin"),
        QStringLiteral("plugins"), QStringLiteral("vst"),       QStringLiteral("vst3"),
        QStringLiteral("aax"),
    };
    return words;
}

// Tried in this order; only the first that matches is removed.
inline const std::vector<QString>& registryNamePrefixes() {
    static const std::vector<QString> prefixes{QStringLiteral("Waves: "), QStringLiteral("Waves - "),
                                               QStringLiteral("Waves ")};
    return prefixes;
}

} // namespace quorvane::ScannerTexts
