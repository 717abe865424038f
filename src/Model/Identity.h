#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVarLengthArray>

namespace quorvane {

struct Plugin;

// The five formats in their canonical order: AU, VST2, VST3, AAX, CLAP. History summaries and the
// planners list formats in this order.
const QStringList& canonicalPluginFormats();

// Upper-case format name → lower-case bundle extension without a dot. Look it up with a
// normalised format.
const QMap<QString, QString>& pluginFormatExtensions();

// Trimmed of whitespace and newlines, then upper-cased (locale-independent).
QString normalizedFormat(const QString& format);

// A path as bundle identities and path sets compare it: standardised, then lower-cased (not
// trimmed).
QString pathKey(const QString& path);

// Identity of one format bundle: the normalised format, "|", and the pathKey of its path.
QString bundleKey(const QString& format, const QString& path);

// Identity of a manufacturer: trimmed, folded for case and diacritics in the text locale,
// lower-cased, with the Universal Audio aliases joined under "universal audio".
QString manufacturerKey(const QString& manufacturer);

// The form of every entry of the stored protected keys: manufacturer, "|" and name, lower-cased as
// a whole, not trimmed.
QString productProtectionKey(const Plugin& plugin);
QString productProtectionKey(const QString& manufacturer, const QString& name);

// Returns use(key) for the product's protection key. When both texts are plain ASCII the key is
// built on the stack and handed over without a copy, valid only during the call: a pass over the
// whole inventory then allocates nothing.
template <class Use>
auto withProductProtectionKey(const QString& manufacturer, const QString& name, Use use) {
    QVarLengthArray<char16_t, 256> key;
    const auto appendLowered = [&key](const QString& text) {
        for (const QChar character : text) {
            const char16_t unit = character.unicode();
            if (unit >= 0x80)
                return false;
            key.append(unit >= u'A' && unit <= u'Z' ? char16_t(unit ^ 0x20) : unit);
        }
        return true;
    };
    const bool ascii = appendLowered(manufacturer) && (key.append(u'|'), appendLowered(name));
    if (!ascii)
        return use(productProtectionKey(manufacturer, name));
    return use(QString::fromRawData(reinterpret_cast<const QChar*>(key.constData()), key.size()));
}

} // namespace quorvane
