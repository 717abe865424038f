#pragma once

// Builders of plug-in bundles on disk: Info.plist text, Mach-O headers and whole bundle folders.
// Header-only; users link quorvane_platform (or a library above it).

#include "Support/Fixtures/TemporaryTree.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

namespace quorvane::testing {

namespace detail {

inline QString xmlEscaped(const QString& text) {
    return text.toHtmlEscaped();
}

inline void appendXmlValue(QString& out, const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        out += value.toBool() ? QStringLiteral("<true/>") : QStringLiteral("<false/>");
        break;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        out += QStringLiteral("<integer>%1</integer>").arg(value.toLongLong());
        break;
    case QMetaType::Double:
        out += QStringLiteral("<real>%1</real>").arg(value.toDouble());
        break;
    case QMetaType::QByteArray:
        out += QStringLiteral("<data>%1</data>").arg(QString::fromLatin1(value.toByteArray().toBase64()));
        break;
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        out += QStringLiteral("<array>");
        for (const QVariant& item : value.toList())
            appendXmlValue(out, item);
        out += QStringLiteral("</array>");
        break;
    case QMetaType::QVariantMap: {
        out += QStringLiteral("<dict>");
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it) {
            out += QStringLiteral("<key>") + xmlEscaped(it.key()) + QStringLiteral("</key>");
            appendXmlValue(out, it.value());
        }
        out += QStringLiteral("</dict>");
        break;
    }
    default:
        out += QStringLiteral("<string>") + xmlEscaped(value.toString()) + QStringLiteral("</string>");
        break;
    }
}

inline void appendWord(QByteArray& out, quint32 value, bool littleEndian) {
    for (int i = 0; i < 4; ++i) {
        const int shift = littleEndian ? 8 * i : 8 * (3 - i);
        out.append(static_cast<char>((value >> shift) & 0xFF));
    }
}

} // namespace detail

// An XML property list holding `root`.
inline QByteArray xmlPropertyList(const QVariant& root) {
    QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                  "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                  "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                                  "<plist version=\"1.0\">");
    detail::appendXmlValue(text, root);
    text += QStringLiteral("</plist>\n");
    return text.toUtf8();
}

inline constexpr quint32 cpuTypeArm64 = 0x0100000C;
inline constexpr quint32 cpuTypeX86 = 7;
inline constexpr quint32 cpuTypeX86_64 = 0x01000007;
inline constexpr quint32 cpuTypePowerPC = 18;

// A thin Mach-O header (magic, CPU type, subtype and some padding).
inline QByteArray thinMachO(quint32 cpuType, bool littleEndian = true, bool is64Bit = true) {
    QByteArray bytes;
    detail::appendWord(bytes, is64Bit ? 0xFEEDFACF : 0xFEEDFACE, littleEndian);
    detail::appendWord(bytes, cpuType, littleEndian);
    detail::appendWord(bytes, 0, littleEndian);
    bytes.append(QByteArray(20, '\0'));
    return bytes;
}

// A universal header with one entry per CPU type; `declaredCount` overrides the stated count.
inline QByteArray universalMachO(const QList<quint32>& cpuTypes, bool is64Bit = false,
                                 bool littleEndian = false,
                                 std::optional<quint32> declaredCount = std::nullopt) {
    QByteArray bytes;
    detail::appendWord(bytes, is64Bit ? 0xCAFEBABF : 0xCAFEBABE, littleEndian);
    detail::appendWord(bytes, declaredCount.value_or(static_cast<quint32>(cpuTypes.size())), littleEndian);
    const int entrySize = is64Bit ? 32 : 20;
    for (quint32 cpuType : cpuTypes) {
        detail::appendWord(bytes, cpuType, littleEndian);
        bytes.append(QByteArray(entrySize - 4, '\0'));
    }
    return bytes;
}

// One plug-in bundle folder: Contents/Info.plist, Contents/MacOS/<executable> and extra files.
struct BundleLayout {
    std::optional<QVariantMap> info;             // none: no Info.plist
    std::optional<QByteArray> rawInfo;           // written as Info.plist instead of `info`
    std::optional<QByteArray> executable;        // written as Contents/MacOS/<CFBundleExecutable or "Plugin">
    QList<std::pair<QString, QByteArray>> files; // relative to the bundle
};

inline QString writeBundle(const TemporaryTree& tree, const QString& relativePath,
                           const BundleLayout& layout) {
    const QString bundle = tree.makeDirectory(relativePath);
    if (layout.rawInfo)
        tree.writeFile(relativePath + QStringLiteral("/Contents/Info.plist"), *layout.rawInfo);
    else if (layout.info)
        tree.writeFile(relativePath + QStringLiteral("/Contents/Info.plist"), xmlPropertyList(*layout.info));
    if (layout.executable) {
        QString name = QStringLiteral("Plugin");
        if (layout.info &&
            layout.info->value(QStringLiteral("CFBundleExecutable")).typeId() == QMetaType::QString)
            name = layout.info->value(QStringLiteral("CFBundleExecutable")).toString();
        tree.writeFile(relativePath + QStringLiteral("/Contents/MacOS/") + name, *layout.executable);
    }
    for (const auto& [file, contents] : layout.files)
        tree.writeFile(relativePath + QLatin1Char('/') + file, contents);
    return bundle;
}

// A bundle folder at an absolute path with a placeholder Info.plist inside, as an installer leaves it.
inline QString makeBundle(const QString& path) {
    QDir().mkpath(path + QStringLiteral("/Contents"));
    QFile file(path + QStringLiteral("/Contents/Info.plist"));
    if (file.open(QIODevice::WriteOnly))
        file.write("<plist/>");
    return path;
}

// The usual Info.plist of a bundle.
inline QVariantMap bundleInfo(const QString& name, const QString& identifier, const QString& version,
                              const QString& executable = QStringLiteral("Plugin")) {
    QVariantMap info;
    info.insert(QStringLiteral("CFBundleName"), name);
    info.insert(QStringLiteral("CFBundleIdentifier"), identifier);
    info.insert(QStringLiteral("CFBundleShortVersionString"), version);
    info.insert(QStringLiteral("CFBundleExecutable"), executable);
    return info;
}

} // namespace quorvane::testing
